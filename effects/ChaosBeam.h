#pragma once
// ChaosBeam (class "ChaosBeam"): a lightning-like bundle of jittering strands between a start and
// an end point, rebuilt every update. Each strand has a point every 0.2 units (at most 500),
// displaced by a wobble all strands share (sines and cosines of time and of the point's index,
// growing over the first 20 points from each end) and by a jitter of its own with a random period
// of 0.5 to 1.5 s, damped within 1 unit of the start and boosted up to 2.5 times within 1 unit of
// the end.
//
// Record keys: "TextureStretch" (texture length), "Texture", "Shader".
//
// A particle effect may be attached: every update hands it the strands' segments (each pair of
// neighbouring points, as offsets from the start) to emit along, and the beam stops it and lets it
// remove itself when the beam goes. The beam holds it by object id, so an effect destroyed first
// is simply no longer fed.
//
// Decisions made here: a record without a positive "TextureStretch" keeps the default length (6);
// a beam too short for a point has no strands (no division by its zero point count); the bounds
// reach 20 units around both ends, so long beams are not culled while on screen; Liberate queues
// the destruction once.

#include <vector>

#include "effects/LineEffect.h"

namespace GAME {

class EffectEntity;

class ChaosBeam final : public LineEffect {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr const char* kDefaultTexture = "Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex";
    static constexpr const char* kDefaultShader = "Shaders/Effects/Chaos.ssh";
    // Points per unit of beam, and at most per strand.
    static constexpr float kPointsPerUnit = 5.0f;
    static constexpr int kMaxPoints = 500;

    ChaosBeam();
    // Stops the attached effect, which then removes itself once its particles are gone.
    ~ChaosBeam() override;

    bool Load(const LoadTable& table) override;
    void UpdateSelf(int elapsedMs) override;

    // Also sets the bounds to reach 20 units around both points.
    void SetEndPoints(const WorldVec3& start, const WorldVec3& end) override;
    // n strands, each with a new random period (the polyline list keeps one more, always empty).
    void SetNumBeams(int count);
    void SetTimeScale(float scale) { timeScale_ = scale; }
    void SetAmpScale(float scale) { ampScale_ = scale; }
    // Kept for the host; the beam itself does not read it.
    void SetOffset(int offset) { offset_ = offset; }
    int GetOffset() const { return offset_; }
    // The effect fed with the strands' segments (null: none).
    void SetEffect(EffectEntity* effect);
    EffectEntity* GetEffect() const;
    // Leaves the world and is destroyed (once).
    void Liberate();
    const std::vector<int>& GetPeriods() const { return periods_; }

private:
    void BuildStrands();
    void FeedEffect(EffectEntity& effect) const;

    std::vector<int> periods_;  // milliseconds, one per strand
    int numBeams_ = 0;
    int elapsed_ = 0;           // counts while the start has a region, paused or not
    int offset_ = 0;
    uint32_t effectId_ = 0;  // object id of the attached effect; 0 for none
    float timeScale_ = 1.0f;
    float ampScale_ = 1.0f;
    bool liberated_ = false;
};

}  // namespace GAME
