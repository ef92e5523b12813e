#pragma once
// AmbianceManager: decides once a frame what the world around the viewer looks and sounds like.
// The engine holds one, updates it every frame and resets it when the world unloads; the host
// sets the viewer (SetTarget). Renderers and lights read the results through SceneAmbiance; the
// jukebox calls back through JukeboxAmbiance.
//
// Inputs: the time of day (advanced by the frame's milliseconds, 30 game hours a real hour by
// default, so a day lasts 48 minutes), the viewer's position and frustum, the sector styles
// painted on the sector layers of the levels around the viewer, and the manager's own default
// DayNightCycle.
//
// Styles blend by space, not by time: a style's weight is the share of the cells within a radius
// of the viewer (20 units for fog and day/night styles, 5 for bloom) painted with it, so walking
// from one painted fog into another fades over 40 units. Only the move between underground and
// outdoor is smoothed over time (the environment blend, a tenth of the way a frame).
//
// Each frame both environment records can be filled: the viewer's own, and the one seen through
// each portal in view (computed just beyond the portal, at the connected portal's choke point); a
// later position overwrites an earlier one of the same environment.
//
// The styles under the viewer's cell also choose the area name shown as cinematic text (faded in
// over 3 seconds, held, faded out over 3; at full size on the first visit of a world only, unless
// the style says every visit), the music and ambient playlists handed to the jukebox, event music
// played once per world, the boss-zone flag and the day/night cycle that says whether it is day.
//
// Decisions: with no fog style around (or only unpainted cells) the fog distances are 0, not the
// division by no weight; regions whose levels have no sector planes add nothing; a light
// direction with no weight behind it points straight up.
//
// Threads: main thread only.

#include <array>
#include <cstdint>
#include <string>

#include "core/Mem.h"
#include "core/WorldVec3.h"
#include "scene/SceneAmbiance.h"
#include "sound/JukeboxAmbiance.h"
#include "world/DayNightCycle.h"
#include "world/WorldFrustum.h"

namespace GAME {

class AmbientSectorData;
class Level;
class NameSectorData;
class Region;
class SectorData;

class AmbianceManager final : public SceneAmbiance, public JukeboxAmbiance {
public:
    // Milliseconds to hours.
    static constexpr float kHoursPerMillisecond = 2.777778e-7f;
    // Radii (units) over which styles are gathered around a position.
    static constexpr float kFogRadius = 20.0f;
    static constexpr float kDayNightRadius = 20.0f;
    static constexpr float kBloomRadius = 5.0f;
    // Seconds of the area-name caption: fade in, hold, fade out.
    static constexpr float kCaptionSeconds = 9.0f;
    static constexpr float kCaptionFadeSeconds = 3.0f;
    // Hours over which the shadow intensity rises after sunset and falls before sunrise.
    static constexpr float kShadowFadeHours = 0.1f;

    // One environment's results, filled by ComputeEnvironment.
    struct EnvironmentRecord {
        Color lightColor{0, 0, 0, 1};   // summed from the day/night cycles
        Color skyColor{0, 0, 0, 1};
        Color groundColor{0, 0, 0, 1};
        Color lightTint{1, 1, 1, 1};    // summed from the fog styles
        Color skyTint{1, 1, 1, 1};
        Color groundTint{1, 1, 1, 1};
        Vec3 lightDirection{0, 1, 0};
        Color fogColor{0, 0, 0, 1};
        Vec3 heightFog;                 // two distances, density
        Vec3 depthFog;                  // start, end, density
        float nightLightScale = 1.0f;
        Vec3 bloom;
    };

    // A style found around a position and the share of the cells painted with it.
    struct WeightedStyle {
        const SectorData* style;
        float weight;
    };

    // Reset, then 9 o'clock, time running at 30 game hours an hour, the default cycle.
    AmbianceManager();
    AmbianceManager(const AmbianceManager&) = delete;
    AmbianceManager& operator=(const AmbianceManager&) = delete;

    // The frame's step: the clock always; the rest only with a target whose region is in the
    // engine's world with its level loaded.
    void Update(int elapsedMilliseconds);
    void SetTarget(const WorldVec3& position, const WorldFrustum& frustum);
    // Effects on, no target, every name and the seen list forgotten, blend outdoor, shadows 1.
    void Reset();
    // The next Update loads the place's music playlist again.
    void ResetAmbientMusic() override { musicPlaylist_.clear(); }

    void EnableEnvironmentEffects(bool enable) { environmentEffects_ = enable; }
    void SetTimeEnabled(bool enabled) { timeEnabled_ = enabled; }
    void SetTimeScale(float gameHoursPerHour) { timeScale_ = gameHoursPerHour; }
    // Wrapped into [0, 24).
    void SetTime(float hours);
    float GetTime() const { return time_; }
    bool TargetIsInBossMusicZone() const { return targetInBossZone_; }
    // Added to the bloom styles' values, kept in [-1, 1], [-4, 4] and [-1, 1].
    void IncrementBloomParams(float threshold, float blurStrength, float saturation);
    DayNightCycle& GetDefaultDayNightCycle() { return defaultCycle_; }
    const std::string& GetAreaName() const { return areaName_; }
    float GetEnvironmentBlend() const { return blend_.current; }

    // SceneAmbiance.
    Color GetLightColor(Environment environment) const override;
    Color GetSkyAmbientColor(Environment environment) const override;
    Color GetGroundAmbientColor(Environment environment) const override;
    const Vec3& GetLightDirection(Environment environment) const override;
    bool GetIsFogEnabled(Environment environment) const override;
    const Color& GetFogColor(Environment environment) const override;
    const Vec3& GetDepthFog(Environment environment) const override;
    const Vec3& GetHeightFog(Environment environment) const override;
    Vec3 GetBloomParameters(Environment environment) const override;
    float GetNightLightScale(Environment environment) const override;
    float GetInterpolatedNightLightScale() const override;
    float GetShadowIntensity() const override { return shadowIntensity_; }
    bool GetIsDay() const override { return isDay_; }

    // The environment of a place: underground when its region is.
    static Environment GetEnvironment(Region* region);
    // The styles of a layer within radius of the position (x and z; 1 unit up and down), over
    // every loaded level there, each with its share of the cells looked at.
    static void GatherSectorData(int layer, const WorldVec3& position, float radius, mem::vector<WeightedStyle>& out);

private:
    // A value that moves a share of the way to its target each step and snaps within epsilon.
    struct SmoothedValue {
        float current = 1.0f;
        float target = 1.0f;
        float rate = 0.1f;
        float epsilon = 0.001f;
        // dt is clamped into [0, 1], so a step never passes the target.
        void Step(float dt);
    };

    // Fills the environment record of the position's region.
    void ComputeEnvironment(const WorldVec3& position);
    void ComputeLighting(const WorldVec3& position, Environment which);
    void ComputeFog(const WorldVec3& position, EnvironmentRecord& record) const;
    void ComputeBloom(const WorldVec3& position, EnvironmentRecord& record) const;
    // The environments behind the portals in the target's frustum.
    void ComputePortalEnvironments();
    void UpdateAreaName(int elapsedMilliseconds, const NameSectorData* style);
    void UpdateMusic(const AmbientSectorData& style);
    void UpdateShadowIntensity(const DayNightCycle& cycle);
    bool IsSeen(const std::string& name) const;
    const EnvironmentRecord& Get(Environment environment) const { return environments_[size_t(environment)]; }

    mem::vector<std::string> seen_;  // area names announced and event music played in this world
    std::string areaName_;
    float captionTimer_ = 0.0f;      // seconds left of the caption
    float textScale_ = 1.0f;
    std::string musicPlaylist_;
    std::string ambientPlaylist_;
    std::string eventMusic_;
    WorldVec3 targetPosition_;
    WorldFrustum targetFrustum_;
    bool environmentEffects_ = true;
    SmoothedValue blend_;            // 0 underground, 1 outdoor
    float shadowIntensity_ = 1.0f;
    std::array<float, 3> bloomIncrements_{};
    std::array<EnvironmentRecord, kNumEnvironments> environments_;
    bool isDay_ = true;
    bool targetInBossZone_ = false;
    bool timeEnabled_ = true;
    float time_ = 9.0f;
    float timeScale_ = 30.0f;
    DayNightCycle defaultCycle_;
};

}  // namespace GAME
