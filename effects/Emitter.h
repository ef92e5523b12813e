#pragma once
// Emitter: the running instance of one EmitterData. It owns a flat particle array, its own clock
// (looping or finishing at the duration, the domain of the radius curve), an orientation turned
// by the emitter spin curves, and emission from a shape, from two anchor curves or along bone
// segments. Particles age and move under gravity and drag, taking colour, size, spin and frame
// from the age curves.
//
// The emitter keeps no pointer to its data: every call that needs it takes it, and the owner
// keeps the data alive. Randomness comes from Rand15 only, so a seeded run is repeatable.
//
// A simulation step runs only when the emitter has been drawn since its last step (RenderPass or
// MarkDrawn): an emitter out of sight keeps its clock running but does no per-particle work, and
// its next step ages the particles by all the time that passed.
//
// Drawing: the emitter is a renderable of the scene renderer, queued under its parent entity's
// region (or the editor region in the particle-system editor). Each live particle is a quad of
// four vertices that share its position and differ in their corners; the shader expands them
// facing the camera. Particles are grouped by texture frame, one draw per frame in use, in frame
// order; there is no depth sorting. In a loading warm-up (GraphicsCanvas::IsWarmingUp) an emitter
// with no live particle still draws its pass, one quad of no size, so the driver compiles the
// variant the first particles need before they come. The emitter with the light flag owns a point
// light that fades in over two seconds and follows the emitter's offset.
//
// Decisions made here, where stored data could otherwise break the simulation:
// - particles age and die with or without a loaded texture (frame 0 without one), so an effect
//   whose texture is missing still completes;
// - a duration of 0 or less finishes the emitter at once instead of looping on a NaN clock;
// - the array never shrinks below the live count, anchored or not;
// - a bone segment too short to draw a distance on emits at its end point;
// - owed particles are counted in double, so emission does not stall after 2^24 particles;
// - the drawn box of a local emitter is moved to the emitter's origin, so the scene renderer culls
//   and lights it where it is drawn;
// - a particle on a frame the texture lacks is drawn with frame 0, logged once per draw.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "core/ABBox.h"
#include "core/Coords.h"
#include "core/GameTimer.h"
#include "core/WorldCoords.h"
#include "core/WorldVec3.h"
#include "effects/SingleShaderRenderable.h"

namespace GAME {

class EmitterData;
class EmitterLight;
class Entity;
class Frustum;
class GraphicsShader2;
class GraphicsTexture;
class RenderVertexDeclaration;
class Region;

// One record of the particle array (sixteen 4-byte fields, drawn as they stand).
struct Particle {
    float life = 0.0f;     // seconds it lives
    float age = 0.0f;      // seconds since emission
    float spin = 0.0f;     // rotation in degrees
    float size = 0.0f;     // size curve at the age
    float stretch = 0.0f;  // stretch curve at the age
    uint32_t frame = 0;    // texture frame
    Vec3 position;         // region space, or emitter space when emitting locally
    Vec3 velocity;         // units per second, same space
    Vec3 colour;           // colour curves at the age
    float alpha = 0.0f;    // alpha curve at the age

    // Age 0, spin 1, position and velocity stored. Moving to the centre, the particle heads for it
    // at the same speed and dies on arrival (or at once when born on it).
    void Initialize(const Vec3& position, const Vec3& centre, const Vec3& velocity, bool moveToCentre);
    // A whole number of degrees, 0 to 359.
    void SetRandomSpin();
};
static_assert(sizeof(Particle) == 64, "the particle record is sixteen 4-byte fields");

// One emission segment of a bone emitter: a bone and its parent.
struct EmitterBone {
    Vec3 start;          // the bone's position
    Vec3 end;            // its parent's position
    float length = 0.0f; // distance from start to end
    int32_t emitted = 0; // particles emitted from this segment so far
    double owed = 0.0;   // particles owed to this segment so far
    bool active = true;  // false: particles are counted as emitted but not created
};

// One corner of a drawn particle (four per particle, 68 bytes).
struct ParticleVertex {
    Vec3 position;        // the particle's position
    float corner[2];      // (0,0), (1,0), (1,1), (0,1) in order
    float axis[4];        // the velocity when aligned to it, else (0, 1, 0); then the stretch
    float shape[4];       // rotation in radians (0 when aligned), size, length (the speed when
                          // stretched more than 0.01, else 0), 0
    float colour[4];      // red, green, blue, alpha; all 0 once the particle dies within the
                          // time accumulated since the last step
};
static_assert(sizeof(ParticleVertex) == 68, "a particle vertex is seventeen floats");

class Emitter final : public SingleShaderRenderable {
public:
    static constexpr int kMaxParticles = 10000;

    explicit Emitter(const EmitterData& data);
    ~Emitter();
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;

    // Starts the clock again (live particles stay) and turns the orientation by the data's
    // initial rotation about x, then y, then z.
    void Reset(const EmitterData& data);
    // One game update at the effect's coordinates; box receives the emitter's bounds (region
    // space, or emitter space when emitting locally). bones, when given, replaces shape emission.
    void Update(const WorldCoords& coords, ABBox& box, const EmitterData& data,
                const std::vector<EmitterBone>* bones);

    void StartEmitting() { restart_ = true; stopped_ = false; }
    // No new particles; live ones finish.
    void StopEmitting() { stopped_ = true; }
    // A paused emitter steps with zero time.
    void SetPause(bool paused) { paused_ = paused; }
    void SetAnchored(bool anchored) { anchored_ = anchored; }
    // Append a position to an anchor's history; the last four positions are the control points
    // of the curve anchored particles are emitted along (the first, repeated, until a fifth is set).
    void SetAnchor1(const WorldVec3& position) { SetAnchor(position, anchor1History_, anchor1Points_); }
    void SetAnchor2(const WorldVec3& position) { SetAnchor(position, anchor2History_, anchor2Points_); }
    // Set by drawing: the next update runs a simulation step.
    void MarkDrawn() { drawn_ = true; }
    // Scales the light's intensity (an entity fading its light).
    void SetLightMultiplier(float multiplier) { lightMultiplier_ = multiplier; }
    // The entity whose region the emitter is drawn in; null draws nothing outside the editor.
    void SetParentEntity(Entity* parent) { parent_ = parent; }
    // The region the particle-system editor draws the emitter and its debug lines in.
    void SetEditorRegion(Region* region) { editorRegion_ = region; }
    // A local emitter drawn with the effect's position but not its turn.
    void SetLocalOrientFix(bool fix) { localOrientFix_ = fix; }
    void SetBoundingBox(const ABBox& box) { box_ = box; }

    // With the effects flag of the renderer: the light (scaled by the multiplier and, for a
    // night light outside the editors, by the ambiance's night-light scale), then the emitter
    // itself under its parent's region (the editor region in the particle-system editor).
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum);
    // Queues the texture and the shader with the loader when asked to.
    void PreLoad(int priority, bool enqueue) const;
    // Null until the data first asks for a light.
    EmitterLight* GetLight() const { return light_.get(); }
    // Smooths the cost of the last update and draw into the score and returns it.
    float GetFrameScore();
    // The object and its arrays, in bytes.
    size_t CalculateMemoryUsage() const;
    const GraphicsShader2* GetShader() const { return shader_; }
    const GraphicsTexture* GetTexture() const { return texture_; }

    // GraphicsRenderable: one pass for a style the shader has.
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    // Region space; a local emitter's box is placed at its origin.
    const ABBox& GetRenderPassBoundingBox() const override { return drawnBox_; }
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    using SingleShaderRenderable::GetTexture;
    // Fills the canvas's dynamic buffers with the quads and draws them, one draw per frame in use.
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

    const Particle* GetParticles() const { return particles_.data(); }
    int GetNumParticles() const { return liveCount_; }
    int GetCapacity() const { return static_cast<int>(particles_.size()); }
    bool HasActiveParticles() const { return liveCount_ > 0; }
    bool HasEmittedParticles() const { return emitted_ > 0; }
    bool GetIsEmitLocally() const { return emitLocally_; }
    bool GetAlignToVelocity() const { return alignToVelocity_; }
    float GetEmitterTime() const { return emitterTime_; }
    const Coords& GetOrientation() const { return orientation_; }
    const std::vector<EmitterBone>& GetBones() const { return bones_; }
    const Vec3* GetAnchor1Points() const { return anchor1Points_; }
    Region* GetAnchorRegion() const { return anchorRegion_; }
    // No particle lives, and the emitter has finished or was stopped.
    bool IsComplete() const;
    // 0 for a looping emitter, else the emitter time over the rate curve's span (1 for none).
    float GetProgress(const EmitterData& data) const;

private:
    void SetAnchor(const WorldVec3& position, std::deque<WorldVec3>& history, Vec3 points[4]);
    void UpdateTexture(const EmitterData& data);
    void UpdateShader(const EmitterData& data);
    // The frame a local emitter's particles live in: the region coords, with identity axes under
    // the local orient fix.
    Coords LocalFrame(const WorldCoords& coords) const;
    void DrawParticles(const RenderablePass& pass, GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer) const;
    // The pass of an emitter with no live particle in a loading warm-up: one quad of no size and
    // no colour, which covers no pixel; the emitter is left as it was (not even marked drawn).
    void DrawEmptyPass(const RenderablePass& pass, GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer) const;
    // Sets the buffers the quads were written to and the shader's constants, then draws
    // quadsOnFrame(f) quads with texture frame f for each of frames, one draw per frame in use,
    // from the first index on.
    template <typename QuadsOnFrame>
    void DrawQuads(const RenderablePass& pass, GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                   uint32_t quads, size_t frames, QuadsOnFrame quadsOnFrame) const;
    void UpdateLight(const EmitterData& data);
    void DrawDebugLines(const EmitterData& data) const;
    // One list of first vertices per texture frame, each with room for the whole array.
    bool RebuildFaceGroup() const;
    // Writes the quads and frame lists; false when the lists do not account for every particle.
    bool WriteVertices(ParticleVertex* vertices) const;
    void AllocateParticleArray(const EmitterData& data);
    void UpdateBoneList(const std::vector<EmitterBone>* bones);
    void EmitParticles(const EmitterData& data, const std::vector<EmitterBone>* bones);
    void EmitParticle(const Coords& frame, const EmitterData& data);
    void EmitAnchoredParticle(const WorldVec3& anchor1, const WorldVec3& anchor2, const EmitterData& data);
    void EmitBoneParticles(int count, const EmitterData& data);
    // The next free record, counted live; null when the array is full.
    Particle* NewParticle();
    // A random direction (each part in [-0.5, 0.5)) at the emitter time's speed.
    Vec3 RandomVelocity(const EmitterData& data) const;
    void UpdateParticles(const EmitterData& data);

    std::vector<Particle> particles_;  // capacity records; the first liveCount_ are alive
    int liveCount_ = 0;

    bool restart_ = true;
    bool paused_ = false;
    bool alignToVelocity_ = false;
    bool stopped_ = false;
    bool finished_ = false;
    mutable bool drawn_ = true;  // a new emitter steps on its first update
    bool anchored_ = false;
    bool emitLocally_ = false;
    bool enabled_ = true;
    bool nightLight_ = false;
    bool orientVertically_ = false;
    bool localOrientFix_ = false;

    float delta_ = 0.0f;        // seconds of this step (at most 0.1)
    float accumulated_ = 0.0f;  // seconds since the last step
    float emitterTime_ = 0.0f;
    double owed_ = 0.0;
    int32_t emitted_ = 0;
    Vec3 offset_;  // the offset curves at the emitter time, centred

    Region* anchorRegion_ = nullptr;  // shared by both anchors: the last one set wins
    Vec3 anchor1Points_[4];
    Vec3 anchor2Points_[4];
    std::deque<WorldVec3> anchor1History_;
    std::deque<WorldVec3> anchor2History_;
    float anchorLength_ = 0.0f;

    WorldVec3 position_;
    WorldVec3 previousPosition_;
    ABBox box_;
    ABBox drawnBox_;  // box_ in region space
    std::vector<EmitterBone> bones_;
    WorldCoords coords_;
    Coords orientation_;
    GameTimer timer_;

    float lightMultiplier_ = 1.0f;
    Entity* parent_ = nullptr;
    Region* editorRegion_ = nullptr;
    std::unique_ptr<EmitterLight> light_;
    float lightFade_ = 0.0f;  // 0 to 1 over the light's first two seconds

    mutable uint64_t cost_ = 0;  // performance-counter ticks of the last update and draws
    float frameScore_ = 0.0f;

    RenderVertexDeclaration* declaration_ = nullptr;  // owned; null without a render device
    // First vertices of the particles on each texture frame, rebuilt when the frame count or the
    // capacity changes.
    mutable std::vector<std::vector<uint32_t>> faceGroups_;
    mutable size_t faceGroupCapacity_ = 0;
};

}  // namespace GAME
