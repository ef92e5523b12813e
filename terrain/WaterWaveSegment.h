#pragma once
// WaterWaveSegment: the shore waves of one stretch of a wave set: bands of water that run in and
// fade along the stretch, and two rollers that break up the beach. Its vertex buffer (dynamic) is
// rewritten every frame as they move (UpdateWaves).
//
// Vertices are 32 bytes: f32 x 3 position; f32 x 2 texture coordinate; f32 x 2 direction (x, z);
// u32 colour whose alpha byte carries the fade (the low 24 bits 0). In the buffer, in order:
// - the bands: nw of them, 4 vertices each (a quad), drawn as a triangle list;
// - when both end points are wider than 1: for each of the two rollers, nr + 1 rows of 4
//   vertices (the roller's face, lifted in its middle), drawn as three strips between the four
//   columns, then nr + 1 rows of 2 vertices (its foam edge), drawn as one strip.
// Every draw reads the shared wave indices (WriteIndexPattern).
//
// Decisions made here:
// - Fades are clamped into [0, 1] before they become a byte, so a roller pushed past the ends by
//   a negative speed from a file cannot wrap its alpha.
// - A wave spacing of 0 or less (the editor's, unclamped) counts as 0.001, so the band count
//   stays finite.
// - A roller lies across the stretch at s times the half width there (s = 1 out at sea, -1 on the
//   beach), its face 1 unit deep; the rows run between the curve parameters offset and
//   offset + width.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec2.h"
#include "terrain/WaterCurve.h"

namespace GAME {

// The parameters of a wave set, shared by its segments.
struct WaveParams {
    float rollerSpeed = 1.0f;   // how fast the rollers run up the beach
    float rollerHeight = 0.5f;  // their lift
    float waveSpacing = 1.0f;   // sets the band count; kept within [1, 10] when loaded
    uint32_t drawFlags = 3;     // kDrawBands | kDrawRollers

    static constexpr uint32_t kDrawBands = 1;
    static constexpr uint32_t kDrawRollers = 2;
};

class WaterWaveSegment final : public WaterElement {
public:
    static constexpr uint32_t kMaxBands = 100;
    static constexpr uint32_t kMaxRollerSteps = 50;
    static constexpr uint32_t kRollerStripStart = kMaxBands * 6;                          // 600
    static constexpr uint32_t kEdgeStripStart = kRollerStripStart + 3 * (kMaxRollerSteps + 1) * 2;  // 906
    static constexpr uint32_t kNumIndices = kEdgeStripStart + (kMaxRollerSteps + 1) * 2;   // 1,008

    struct Vertex {
        Vec3 position;
        Vec2 texCoord;
        Vec2 direction;
        uint32_t colour = 0;
    };
    static_assert(sizeof(Vertex) == 32);

    struct Roller {
        float position = 0.0f;  // s, in [-1, 1]: 1 out at sea, -1 up the beach
        float width = 1.0f;     // share of the stretch it covers, [0.6, 1]
        float offset = 0.0f;    // where along the stretch it starts, [0, 1 - width]
    };

    explicit WaterWaveSegment(const WaveParams* params) : WaterElement(ElementType::WaveElement), params_(params) {}

    // Builds the stretch from p to q at the water height: counts, box, directions and the vertex
    // buffer (logged when it cannot be made; none without a device). The random phases and rollers
    // are drawn on the first build only.
    void Build(RenderDevice* device, const ControlPoint& p, const ControlPoint& q, float height);
    void ReleaseGeometry() { DestroyVertexBuffer(); }
    // Advances the bands and rollers by the milliseconds and rewrites the vertices and the buffer
    // (nothing without a buffer or for no time).
    void UpdateWaves(int elapsedMs);

    // Waves have no depths to refresh.
    bool UpdateGeometry(const LevelGround*) override { return true; }
    // Pass 0: the rollers' faces; pass 1: their foam edges (both with kDrawRollers); pass 2: the
    // bands (with kDrawBands).
    void Render(RenderDevice& device, int pass) const override;
    const char* GetStyleName() const override { return "Invalid"; }
    const char* GetReflectStyleName() const override { return "Invalid"; }

    float GetLength() const { return length_; }
    uint32_t GetNumRollerSteps() const { return numRollerSteps_; }
    uint32_t GetNumBands() const { return numBands_; }
    bool HasRollers() const { return hasRollers_; }
    float GetPhase(uint32_t band) const { return phases_[band]; }
    const Roller& GetRoller(int index) const { return rollers_[index]; }
    const mem::vector<Vertex>& GetVertices() const { return vertices_; }

    // The shared indices: 100 quads (0 1 2, 0 2 3 from 4k), then three runs of 51 pairs
    // (4i + c, 4i + c + 1) for columns c = 0, 1, 2, then one run of 51 pairs (2i, 2i + 1).
    static void WriteIndexPattern(uint16_t (&indices)[kNumIndices]);

private:
    Vec2 CurvePoint(float t) const;
    uint32_t GetRollerStart(int roller) const;
    void NewRollerShape(Roller& roller);
    void WriteBands(float step);
    void WriteRoller(int index);

    const WaveParams* params_;
    float length_ = 0.0f;
    float drawnHeight_ = 0.0f;
    float startWidth_ = 0.0f;
    float endWidth_ = 0.0f;
    uint32_t numRollerSteps_ = 0;  // nr
    uint32_t numBands_ = 0;        // nw
    bool hasRollers_ = false;
    bool randomised_ = false;
    float phases_[kMaxBands] = {};
    Roller rollers_[2];
    Vec2 bezier_[4];
    Vec2 rollerDirections_[2];
    mem::vector<Vertex> vertices_;
};

}  // namespace GAME
