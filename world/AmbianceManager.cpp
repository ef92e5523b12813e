#include "world/AmbianceManager.h"

#include <algorithm>
#include <cmath>

#include "core/ABBox.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "render/GraphicsEngine.h"
#include "sound/Jukebox.h"
#include "world/Level.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/SectorDataManager.h"
#include "world/World.h"

namespace GAME {

namespace {

// Adds weight times the colour's red, green and blue.
void AddWeighted(Color& sum, const Color& color, float weight) {
    sum.r += color.r * weight;
    sum.g += color.g * weight;
    sum.b += color.b * weight;
}

void AddGrey(Color& sum, float amount) { AddWeighted(sum, Color(1, 1, 1, 1), amount); }

Color Tinted(const Color& color, const Color& tint) {
    return Color(color.r * tint.r, color.g * tint.g, color.b * tint.b, 1.0f);
}

// A cell coordinate of a position; the sector layers clamp it into their grid.
int ToCell(float value) { return TruncateClamped(value, -(1 << 30), 1 << 30); }

}  // namespace

AmbianceManager::AmbianceManager() {
    Reset();
    defaultCycle_.SetDefault();
}

// ---------------------------------------------------------------------------------------------
// The smoothed environment blend
// ---------------------------------------------------------------------------------------------

void AmbianceManager::SmoothedValue::Step(float dt) {
    const float diff = target - current;
    current = std::fabs(diff) <= epsilon ? target : current + std::clamp(dt, 0.0f, 1.0f) * rate * diff;
}

// ---------------------------------------------------------------------------------------------
// Life cycle and settings
// ---------------------------------------------------------------------------------------------

void AmbianceManager::Reset() {
    environmentEffects_ = true;
    targetInBossZone_ = false;
    textScale_ = 1.0f;
    targetPosition_ = WorldVec3();
    blend_ = SmoothedValue();
    shadowIntensity_ = 1.0f;
    bloomIncrements_ = {0.0f, 0.0f, 0.0f};
    for (EnvironmentRecord& record : environments_) record.nightLightScale = 1.0f;
    seen_.clear();
    areaName_.clear();
    musicPlaylist_.clear();
    ambientPlaylist_.clear();
    eventMusic_.clear();
}

void AmbianceManager::SetTarget(const WorldVec3& position, const WorldFrustum& frustum) {
    targetPosition_ = position;
    targetFrustum_ = frustum;
}

void AmbianceManager::SetTime(float hours) { time_ = WrapToRange(hours, 0.0f, 24.0f); }

void AmbianceManager::IncrementBloomParams(float threshold, float blurStrength, float saturation) {
    bloomIncrements_[0] = std::clamp(bloomIncrements_[0] + threshold, -1.0f, 1.0f);
    bloomIncrements_[1] = std::clamp(bloomIncrements_[1] + blurStrength, -4.0f, 4.0f);
    bloomIncrements_[2] = std::clamp(bloomIncrements_[2] + saturation, -1.0f, 1.0f);
}

bool AmbianceManager::IsSeen(const std::string& name) const {
    return std::find(seen_.begin(), seen_.end(), name) != seen_.end();
}

// ---------------------------------------------------------------------------------------------
// The frame
// ---------------------------------------------------------------------------------------------

void AmbianceManager::Update(int elapsedMilliseconds) {
    if (timeEnabled_) time_ = WrapToRange(time_ + float(elapsedMilliseconds) * timeScale_ * kHoursPerMillisecond, 0, 24);

    World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr;
    if (world == nullptr) return;
    Region* region = targetPosition_.GetRegion();
    if (region == nullptr || world->GetRegionIndex(region) < 0) return;
    const Level* level = region->GetLevel();
    if (level == nullptr || !level->IsLoaded()) return;

    ComputeEnvironment(targetPosition_);
    ComputePortalEnvironments();

    const SectorDataManager& sectors = *gEngine->GetSectorDataManager();
    const SectorLayers& layers = level->GetSectorLayers();
    const Vec3& position = targetPosition_.GetRegionPosition();
    const auto styleAt = [&](int layer) {
        return sectors.GetSectorData(layer, layers.GetTargetId(layer, ToCell(position.x), ToCell(position.z)));
    };

    UpdateAreaName(elapsedMilliseconds,
                   static_cast<const NameSectorData*>(styleAt(SectorDataManager::kName)));
    if (const SectorData* ambient = styleAt(SectorDataManager::kAmbient))
        UpdateMusic(static_cast<const AmbientSectorData&>(*ambient));
    targetInBossZone_ = styleAt(SectorDataManager::kBoss) != nullptr;

    blend_.target = GetEnvironment(region) == kUnderground ? 0.0f : 1.0f;
    blend_.Step(float(elapsedMilliseconds));

    const auto* cycleStyle = static_cast<const DayNightCycleSectorData*>(styleAt(SectorDataManager::kDayNightCycle));
    const DayNightCycle& cycle = cycleStyle != nullptr ? cycleStyle->GetDayNightCycle() : defaultCycle_;
    isDay_ = cycle.GetIsDay(time_);
    UpdateShadowIntensity(cycle);
}

void AmbianceManager::UpdateAreaName(int elapsedMilliseconds, const NameSectorData* style) {
    if (captionTimer_ > 0.0f) captionTimer_ = std::max(0.0f, captionTimer_ - float(elapsedMilliseconds) * 0.001f);
    float alpha = 1.0f;
    if (captionTimer_ == 0.0f) {
        alpha = 0.0f;
    } else if (captionTimer_ > kCaptionSeconds - kCaptionFadeSeconds) {
        alpha = 1.0f - (captionTimer_ - (kCaptionSeconds - kCaptionFadeSeconds)) / kCaptionFadeSeconds;
    } else if (captionTimer_ < kCaptionFadeSeconds) {
        alpha = captionTimer_ / kCaptionFadeSeconds;
    }
    if (style != nullptr && style->tag != areaName_) {
        areaName_ = style->tag;
        captionTimer_ = kCaptionSeconds;
        alpha = 0.0f;
        if (!IsSeen(areaName_)) {
            textScale_ = 1.0f;
            seen_.push_back(areaName_);
        } else {
            textScale_ = 0.0f;
        }
        if (!style->firstVisitOnly) textScale_ = 1.0f;
    }
    gEngine->SetTextCinematic(style != nullptr && style->cinematic);
    gEngine->SetCinematicText(areaName_, alpha * textScale_);
}

void AmbianceManager::UpdateMusic(const AmbientSectorData& style) {
    Jukebox& jukebox = *Singleton<Jukebox>::Get();
    if (jukebox.IsPlayingMusic()) {
        if (style.musicPlaylist != musicPlaylist_) {
            jukebox.LoadMusicPlaylist(style.musicPlaylist.c_str());
            musicPlaylist_ = style.musicPlaylist;
        }
        if (style.eventMusic != eventMusic_ && !IsSeen(style.eventMusic)) {
            jukebox.PlayEventMusic(style.eventMusic.c_str(), false);
            eventMusic_ = style.eventMusic;
            seen_.push_back(eventMusic_);
        }
    }
    if (style.ambientSoundPlaylist != ambientPlaylist_) {
        jukebox.LoadAmbientPlaylist(style.ambientSoundPlaylist.c_str(), false);
        ambientPlaylist_ = style.ambientSoundPlaylist;
    }
}

void AmbianceManager::UpdateShadowIntensity(const DayNightCycle& cycle) {
    const float rise = cycle.GetSunRise();
    const float set = cycle.GetSunSet();
    float f = 0.0f;
    if (DayNightCycle::GetTimeFraction(time_, set, set + kShadowFadeHours, f)) {
        shadowIntensity_ = f;
    } else if (DayNightCycle::GetTimeFraction(time_, rise - kShadowFadeHours, rise, f)) {
        shadowIntensity_ = 1.0f - f;
    } else if (DayNightCycle::GetTimeFraction(time_, set + kShadowFadeHours, rise - kShadowFadeHours, f)) {
        shadowIntensity_ = 1.0f;
    }
}

// ---------------------------------------------------------------------------------------------
// Environments
// ---------------------------------------------------------------------------------------------

SceneAmbiance::Environment AmbianceManager::GetEnvironment(Region* region) {
    return region != nullptr && region->IsUnderground() ? kUnderground : kOutdoor;
}

void AmbianceManager::GatherSectorData(int layer, const WorldVec3& position, float radius,
                                       mem::vector<WeightedStyle>& out) {
    out.clear();
    World* world = gEngine->GetWorld();
    const SectorDataManager& sectors = *gEngine->GetSectorDataManager();
    mem::vector<Region*> regions;
    world->GetRegionsInBox(regions, position.GetRegion(),
                           ABBox(position.GetRegionPosition(), Vec3(radius, 1.0f, radius)));
    uint64_t total = 0;
    for (Region* region : regions) {
        const Level* level = region->GetLevel();
        if (level == nullptr || !level->IsLoaded()) continue;
        const SectorLayers& layers = level->GetSectorLayers();
        const int width = int(layers.GetWidth());
        const int height = int(layers.GetHeight());
        if (width == 0 || height == 0) continue;
        const Vec3 p = region->GetRelativePosition(position);
        const int x0 = std::clamp(ToCell(p.x - radius), 0, width - 1);
        const int x1 = std::clamp(ToCell(p.x + radius + 0.5f), 0, width - 1);
        const int z0 = std::clamp(ToCell(p.z - radius), 0, height - 1);
        const int z1 = std::clamp(ToCell(p.z + radius + 0.5f), 0, height - 1);
        std::array<uint32_t, 256> counts{};
        for (int z = z0; z <= z1; ++z) {
            for (int x = x0; x <= x1; ++x) ++counts[layers.GetValue(layer, x, z)];
        }
        total += counts[0];
        for (unsigned value = 1; value < counts.size(); ++value) {
            if (counts[value] == 0) continue;
            total += counts[value];
            const UniqueId& id = layers.GetUniqueIdForValue(layer, uint8_t(value));
            if (const SectorData* style = sectors.GetSectorData(layer, id)) out.push_back({style, float(counts[value])});
        }
    }
    // Each style kept has a count in the total, so nothing is divided by 0.
    for (WeightedStyle& entry : out) entry.weight /= float(total);
}

void AmbianceManager::ComputeEnvironment(const WorldVec3& position) {
    const Environment which = GetEnvironment(position.GetRegion());
    EnvironmentRecord& record = environments_[size_t(which)];
    ComputeLighting(position, which);
    ComputeFog(position, record);
    const float light = GetLightColor(which).GetLuminance();
    const float sky = GetSkyAmbientColor(which).GetLuminance();
    // The factor is the single-precision value just above 10.
    record.nightLightScale = 1.0f - std::clamp(((light + sky) * 0.5f - 0.3f) * 10.000001f, 0.0f, 1.0f);
    ComputeBloom(position, record);
}

void AmbianceManager::ComputeLighting(const WorldVec3& position, Environment which) {
    EnvironmentRecord& record = environments_[size_t(which)];
    record.lightColor = record.skyColor = record.groundColor = Color(0, 0, 0, 1);
    Vec3 direction(0, 0, 0);
    float remaining = 1.0f;
    const auto add = [&](const DayNightCycle& cycle, float weight) {
        Color light, sky, ground;
        cycle.GetLighting(time_, light, sky, ground);
        AddWeighted(record.lightColor, light, weight);
        AddWeighted(record.skyColor, sky, weight);
        AddWeighted(record.groundColor, ground, weight);
        direction += cycle.GetLightDirection(time_, false) * weight;
        remaining -= weight;
    };
    if (environmentEffects_) {
        mem::vector<WeightedStyle> styles;
        GatherSectorData(SectorDataManager::kDayNightCycle, position, kDayNightRadius, styles);
        for (const WeightedStyle& entry : styles)
            add(static_cast<const DayNightCycleSectorData*>(entry.style)->GetDayNightCycle(), entry.weight);
    }
    if (which == kOutdoor) {
        add(defaultCycle_, remaining);
    } else {
        // Underground, unpainted cells light with a white ambient and no sun.
        AddGrey(record.skyColor, remaining);
        AddGrey(record.groundColor, remaining);
    }
    const float length = direction.Length();
    record.lightDirection = length > 0.0f ? direction / length : Vec3(0, 1, 0);
}

void AmbianceManager::ComputeFog(const WorldVec3& position, EnvironmentRecord& record) const {
    record.fogColor = record.lightTint = record.skyTint = record.groundTint = Color(0, 0, 0, 1);
    float distances[4] = {0, 0, 0, 0};
    float densities[2] = {0, 0};
    float remaining = 1.0f;
    mem::vector<WeightedStyle> styles;
    GatherSectorData(SectorDataManager::kFog, position, kFogRadius, styles);
    for (const WeightedStyle& entry : styles) {
        const auto& fog = static_cast<const FogSectorData&>(*entry.style);
        const float w = entry.weight;
        AddWeighted(record.fogColor, fog.colors[0], w);
        AddWeighted(record.lightTint, fog.colors[1], w);
        AddWeighted(record.skyTint, fog.colors[2], w);
        AddWeighted(record.groundTint, fog.colors[3], w);
        for (int i = 0; i < 4; ++i) distances[i] += w * float(fog.integers[i]);
        if (environmentEffects_) {
            densities[0] += w * fog.values[0];
            densities[1] += w * fog.values[1];
        }
        remaining -= w;
    }
    // Uncovered ground is untinted.
    AddGrey(record.lightTint, remaining);
    AddGrey(record.skyTint, remaining);
    AddGrey(record.groundTint, remaining);
    // The distances are the fog styles' own, whatever share of the cells they cover; with no fog
    // style there are none (and no density).
    const float covered = 1.0f - remaining;
    const float k = covered > 1e-6f ? 1.0f / covered : 0.0f;
    record.depthFog = Vec3(k * distances[0], k * distances[1], densities[0]);
    record.heightFog = Vec3(k * distances[2], k * distances[3], densities[1]);
}

void AmbianceManager::ComputeBloom(const WorldVec3& position, EnvironmentRecord& record) const {
    mem::vector<WeightedStyle> styles;
    GatherSectorData(SectorDataManager::kBloom, position, kBloomRadius, styles);
    float sum[3] = {0, 0, 0};
    for (const WeightedStyle& entry : styles) {
        const auto& bloom = static_cast<const BloomSectorData&>(*entry.style);
        for (int i = 0; i < 3; ++i) sum[i] += entry.weight * bloom.values[i];
    }
    record.bloom = Vec3(std::clamp(sum[0] + bloomIncrements_[0], 0.0f, 1.0f),
                        std::clamp(sum[1] + bloomIncrements_[1], 0.0f, 4.0f),
                        std::clamp(sum[2] + bloomIncrements_[2], 0.0f, 1.0f));
}

void AmbianceManager::ComputePortalEnvironments() {
    World* world = gEngine->GetWorld();
    Region* viewer = targetFrustum_.GetRegion();
    if (viewer == nullptr) return;
    mem::vector<Region*> regions;
    world->GetRegionsInFrustum(regions, viewer, targetFrustum_.GetRegionFrustum(), false);
    for (Region* region : regions) {
        Frustum local;
        targetFrustum_.GetRelativeFrustum(region, local);
        for (int i = 0; i < region->GetNumPortals(); ++i) {
            const Portal* portal = region->GetPortal(i);
            if (!portal->TestIntersection(local)) continue;
            if (const Portal* connected = portal->GetConnectedPortal())
                ComputeEnvironment(connected->GetChokePoint().GetOrigin());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// What the scene reads
// ---------------------------------------------------------------------------------------------

Color AmbianceManager::GetLightColor(Environment environment) const {
    const EnvironmentRecord& record = Get(environment);
    return environmentEffects_ ? Tinted(record.lightColor, record.lightTint) : record.lightColor;
}

Color AmbianceManager::GetSkyAmbientColor(Environment environment) const {
    const EnvironmentRecord& record = Get(environment);
    return environmentEffects_ ? Tinted(record.skyColor, record.skyTint) : record.skyColor;
}

Color AmbianceManager::GetGroundAmbientColor(Environment environment) const {
    const EnvironmentRecord& record = Get(environment);
    return environmentEffects_ ? Tinted(record.groundColor, record.groundTint) : record.groundColor;
}

const Vec3& AmbianceManager::GetLightDirection(Environment environment) const {
    return Get(environment).lightDirection;
}

bool AmbianceManager::GetIsFogEnabled(Environment environment) const {
    const GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics != nullptr && !graphics->GetIsFogEnabled()) return false;
    const EnvironmentRecord& record = Get(environment);
    return record.depthFog.z > 0.0001f || record.heightFog.z > 0.0001f;
}

const Color& AmbianceManager::GetFogColor(Environment environment) const { return Get(environment).fogColor; }

const Vec3& AmbianceManager::GetDepthFog(Environment environment) const { return Get(environment).depthFog; }

const Vec3& AmbianceManager::GetHeightFog(Environment environment) const { return Get(environment).heightFog; }

Vec3 AmbianceManager::GetBloomParameters(Environment environment) const {
    return environmentEffects_ ? Get(environment).bloom : Vec3(0, 0, 0);
}

float AmbianceManager::GetNightLightScale(Environment environment) const { return Get(environment).nightLightScale; }

float AmbianceManager::GetInterpolatedNightLightScale() const {
    const float under = GetNightLightScale(kUnderground);
    return under + blend_.current * (GetNightLightScale(kOutdoor) - under);
}

}  // namespace GAME
