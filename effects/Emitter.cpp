#include "effects/Emitter.h"

#include <algorithm>
#include <cmath>

#include "core/Frustum.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "core/OBBox.h"
#include "core/Random.h"
#include "core/Singleton.h"
#include "core/Time.h"
#include "effects/EmitterData.h"
#include "effects/EmitterLight.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "files/ResourceLoader.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "scene/SceneAmbiance.h"
#include "world/Region.h"

namespace GAME {

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kDegreesToRadians = 3.1415927f * 0.0055555557f;
constexpr float kRandScale = 1.0f / 32767.0f;
constexpr float kMaxDelta = 0.1f;

float CurveAt(const EmitterData& data, int slot, float x) { return data.GetCurve(slot)->GetYFast(x); }

// A centred curve is read as y - range / 2.
float CentredAt(const EmitterData& data, int slot, float x) {
    const CurveData* curve = data.GetCurve(slot);
    return curve->GetYFast(x) - curve->GetRange() * 0.5f;
}

// A curve read at each particle's age. A flat curve (every point at one y: most of an emitter's
// curves keep their default line) is read once per update instead.
class AgeCurve {
public:
    explicit AgeCurve(const CurveData& curve) : curve_(curve), flat_(curve.IsFlat()), y_(curve.GetPoints().front().y) {}
    float operator()(float age) const { return flat_ ? y_ : curve_.GetYFast(age); }

private:
    const CurveData& curve_;
    const bool flat_;
    const float y_;
};

float Duration(const EmitterData& data) { return data.GetCurve(EmitterData::Curve_Radius)->GetDomain(); }

// A point drawn uniformly in the cube of half size radius (three draws, x then y then z).
Vec3 DrawInCube(float radius, bool flat) {
    Vec3 p;
    p.x = -radius + static_cast<float>(Rand15()) * kRandScale * 2.0f * radius;
    if (!flat) p.y = -radius + static_cast<float>(Rand15()) * kRandScale * 2.0f * radius;
    p.z = -radius + static_cast<float>(Rand15()) * kRandScale * 2.0f * radius;
    return p;
}

// Rejection sampling inside radius (strictly, or on the surface too); the origin once ten draws
// have missed.
Vec3 DrawInside(float radius, bool flat, bool inclusive) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const Vec3 p = DrawInCube(radius, flat);
        const float length = p.Length();
        if (inclusive ? length <= radius : length < radius) return p;
    }
    return Vec3();
}

// The uniform Catmull-Rom point at f between the second and third control points.
Vec3 CatmullRom(const Vec3 points[4], float f) {
    const Vec3& p0 = points[0];
    const Vec3& p1 = points[1];
    const Vec3& p2 = points[2];
    const Vec3& p3 = points[3];
    return (p1 * 2.0f + (p2 - p0) * f + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * (f * f) +
            (p1 * 3.0f - p0 - p2 * 3.0f + p3) * (f * f * f)) *
           0.5f;
}

bool InEditor() { return gEngine != nullptr && gEngine->IsPSEditorMode(); }

// The cost is counted in ticks of 100 ns, the unit the frame score's scale was made for.
uint64_t CostTicksSince(uint64_t start) { return (GetPerformanceCounter() - start) / 100; }

// The shader parameters the emitter sets, made once.
struct ParameterNames {
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name invObjectToWorld = Name::Create("invObjectToWorldMatrix");
    Name orientVertically = Name::Create("orientVertically");
    Name baseTexture = Name::Create("baseTexture");

    static const ParameterNames& Get() {
        static const ParameterNames names;
        return names;
    }
};

// The corners of a particle's quad, in vertex order.
constexpr float kCorners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

// The particle's vertex at each corner of its quad.
void WriteQuad(ParticleVertex vertex, ParticleVertex* quad) {
    for (int corner = 0; corner < 4; ++corner) {
        vertex.corner[0] = kCorners[corner][0];
        vertex.corner[1] = kCorners[corner][1];
        quad[corner] = vertex;
    }
}

// The two triangles of the quad whose first vertex is first.
uint32_t* WriteQuadIndices(uint32_t first, uint32_t* indices) {
    const uint32_t quad[6] = {first + 2, first + 1, first, first, first + 3, first + 2};
    return std::copy(std::begin(quad), std::end(quad), indices);
}

}  // namespace

void Particle::Initialize(const Vec3& position_, const Vec3& centre, const Vec3& velocity_, bool moveToCentre) {
    age = 0.0f;
    spin = 1.0f;
    position = position_;
    velocity = velocity_;
    if (!moveToCentre) return;
    const float speed = velocity.Length();
    const Vec3 toCentre = centre - position;
    const float distance = toCentre.Length();
    if (distance == 0.0f) {
        velocity = Vec3();
        life = 0.0f;
        return;
    }
    velocity = toCentre * (speed / distance);
    life = std::min(life, distance / speed);
}

void Particle::SetRandomSpin() { spin = static_cast<float>(Rand15() % 360); }

Emitter::Emitter(const EmitterData& data) {
    timer_.Reset();
    Reset(data);
    const GraphicsEngine* graphics = GetEngineGraphics();
    if (RenderDevice* device = graphics ? graphics->GetRenderDevice() : nullptr) {
        // Position, corner, axis and stretch, rotation-size-length, colour.
        static const RenderVertexElement kElements[] = {
            {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
            {0, RenderVertexUsage::TexCoord1, RenderVertexElementType::Float4},
            {0, static_cast<RenderVertexUsage>(8), RenderVertexElementType::Float4},
            {0, RenderVertexUsage::Color, RenderVertexElementType::Float4},
        };
        declaration_ = device->CreateVertexDeclaration(kElements, 5);
    }
}

Emitter::~Emitter() {
    light_.reset();
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    if (RenderDevice* device = graphics->GetRenderDevice()) device->DestroyVertexDeclaration(declaration_);
}

void Emitter::Reset(const EmitterData& data) {
    finished_ = false;
    restart_ = true;
    emitterTime_ = 0.0f;
    timer_.Update(false);
    UpdateTexture(data);
    UpdateShader(data);
    bones_.clear();
    orientation_ = Coords::RotationZ(data.GetFloat(EmitterData::Float_RotationZ) * kDegreesToRadians) *
                   Coords::RotationY(data.GetFloat(EmitterData::Float_RotationY) * kDegreesToRadians) *
                   Coords::RotationX(data.GetFloat(EmitterData::Float_RotationX) * kDegreesToRadians);
}

bool Emitter::IsComplete() const { return liveCount_ == 0 && (finished_ || stopped_); }

float Emitter::GetProgress(const EmitterData& data) const {
    if (data.GetLoop()) return 0.0f;
    // Measured against the rate curve's span, which the editor keeps equal to the duration.
    const float span = data.GetCurve(EmitterData::Curve_Rate)->GetDomain();
    return span > 0.0f ? emitterTime_ / span : 1.0f;
}

void Emitter::SetAnchor(const WorldVec3& position, std::deque<WorldVec3>& history, Vec3 points[4]) {
    history.push_back(position);
    if (history.size() <= 4) {
        // Until a fifth position arrives the curve is the first one, repeated.
        anchorRegion_ = history.front().GetRegion();
        std::fill(points, points + 4, history.front().GetRegionPosition());
        return;
    }
    history.pop_front();
    anchorRegion_ = history.back().GetRegion();
    for (int i = 0; i < 4; ++i) {
        WorldVec3 relative = history[static_cast<size_t>(i)];
        relative.MakeRelative(anchorRegion_);
        points[i] = relative.GetRegionPosition();
    }
}

void Emitter::UpdateTexture(const EmitterData& data) {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    const std::string& name = data.GetTextureName();
    if (texture_ && texture_->GetFileName() == name) return;
    if (!texture_ && name.empty()) return;
    if (texture_) graphics->UnloadTexture(texture_);
    texture_ = name.empty() ? nullptr : graphics->LoadTexture(name);
}

void Emitter::UpdateShader(const EmitterData& data) {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    const std::string& name = data.GetShaderName();
    if (shader_ && shader_->GetFileName() == name) return;
    if (!shader_ && name.empty()) return;
    if (shader_) graphics->UnloadShader2(shader_);
    shader_ = name.empty() ? nullptr : graphics->LoadShader2(name);
}

void Emitter::UpdateLight(const EmitterData& data) {
    const bool wanted = data.GetBoolean(EmitterData::Bool_Light);
    if (!light_) {
        if (!wanted) return;
        light_ = std::make_unique<EmitterLight>();
        light_->Disable();
    }
    const Coords local = coords_.GetRegionCoords();
    light_->SetPosition(WorldVec3(coords_.GetRegion(), local.origin + orientation_.TransformVector(offset_)));
    if (!wanted) {
        light_->Disable();
        return;
    }
    light_->Enable();
    light_->SetShadowCasting(data.GetBoolean(EmitterData::Bool_LightShadows));
    light_->SetSimpleMode(data.GetBoolean(EmitterData::Bool_LightSimple));
    lightFade_ = std::min(1.0f, lightFade_ + delta_ * 0.5f);
    light_->SetColor(Color(CurveAt(data, EmitterData::Curve_LightRed, emitterTime_) * lightFade_,
                           CurveAt(data, EmitterData::Curve_LightGreen, emitterTime_) * lightFade_,
                           CurveAt(data, EmitterData::Curve_LightBlue, emitterTime_) * lightFade_, 1.0f));
    light_->SetRadius(CurveAt(data, EmitterData::Curve_LightRadius, emitterTime_));
}

void Emitter::DrawDebugLines(const EmitterData& data) const {
    if (!editorRegion_) return;
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const GraphicsEngine* graphics = GetEngineGraphics();
    const GraphicsShader2* basic = graphics ? graphics->GetBasicShader() : nullptr;
    const Color axisColours[3] = {Color(1.0f, 0.0f, 0.0f, 1.0f), Color(0.0f, 1.0f, 0.0f, 1.0f),
                                  Color(0.0f, 0.0f, 1.0f, 1.0f)};
    const Vec3 axes[3] = {Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f)};
    for (int a = 0; a < 3; ++a) {
        debug.RenderLine(editorRegion_, Vec3(), axes[a] * 50.0f, axisColours[a], basic);
        // Ticks every half unit over the first ten, reaching 0.05 to each side.
        const Vec3 across = axes[(a + 1) % 3] * 0.05f;
        for (int tick = 1; tick <= 20; ++tick) {
            const Vec3 at = axes[a] * (static_cast<float>(tick) * 0.5f);
            debug.RenderLine(editorRegion_, at - across, at + across, axisColours[a], basic);
        }
    }
    // The emission shape's outline about its offset, in the three axis planes.
    const float radius = CurveAt(data, EmitterData::Curve_Radius, emitterTime_);
    const Vec3 centre = orientation_.TransformVector(offset_);
    const Color white(1.0f, 1.0f, 1.0f, 1.0f);
    for (int plane = 0; plane < 3; ++plane) {
        const Vec3 u = axes[plane] * radius;
        const Vec3 v = axes[(plane + 1) % 3] * radius;
        Vec3 previous = centre + u;
        for (float angle = 0.2f; angle < 6.3f; angle += 0.2f) {
            const Vec3 next = centre + u * std::cos(angle) + v * std::sin(angle);
            debug.RenderLine(editorRegion_, previous, next, white, basic);
            previous = next;
        }
        debug.RenderLine(editorRegion_, previous, centre + u, white, basic);
    }
}

void Emitter::Update(const WorldCoords& coords, ABBox& box, const EmitterData& data,
                     const std::vector<EmitterBone>* bones) {
    const uint64_t start = GetPerformanceCounter();
    emitLocally_ = data.GetBoolean(EmitterData::Bool_EmitLocally);
    box_ = ABBox(emitLocally_ ? Vec3() : coords.GetOrigin().GetRegionPosition(), Vec3(1.0f, 1.0f, 1.0f));
    enabled_ = data.GetEnabled();
    nightLight_ = data.GetBoolean(EmitterData::Bool_LightNightScale);

    timer_.Update(false);
    accumulated_ += static_cast<float>(timer_.GetElapsedTime()) * 0.001f;
    delta_ = std::min(accumulated_, kMaxDelta);

    const float duration = Duration(data);
    const bool loops = data.GetLoop() && duration > 0.0f;
    if (!stopped_ && (!finished_ || loops)) {
        emitterTime_ += delta_;
        if (loops) {
            emitterTime_ -= std::trunc(emitterTime_ / duration) * duration;
        } else if (emitterTime_ >= duration) {
            emitterTime_ = std::max(duration, 0.0f);
            finished_ = true;
        }
    }

    if (drawn_) {
        drawn_ = false;
        alignToVelocity_ = data.GetBoolean(EmitterData::Bool_AlignToVelocity);
        if (paused_) accumulated_ = delta_ = 0.0f;
        AllocateParticleArray(data);
        UpdateTexture(data);
        UpdateShader(data);
        if (InEditor() && data.GetDebugLines()) DrawDebugLines(data);
        position_ = coords.GetOrigin();
        coords_ = coords;
        if (restart_) {
            previousPosition_ = position_;
            restart_ = false;
        }
        offset_ = Vec3(CentredAt(data, EmitterData::Curve_OffsetX, emitterTime_),
                       CentredAt(data, EmitterData::Curve_OffsetY, emitterTime_),
                       CentredAt(data, EmitterData::Curve_OffsetZ, emitterTime_));
        UpdateLight(data);
        UpdateBoneList(bones);
        EmitParticles(data, bones);
        if (liveCount_ > 0) UpdateParticles(data);
        accumulated_ = 0.0f;
    }

    const float reach = light_ ? std::max(1.0f, light_->GetRadius()) : 1.0f;
    box_.halfSize = Vec3(std::max(box_.halfSize.x, reach), std::max(box_.halfSize.y, reach),
                         std::max(box_.halfSize.z, reach));
    box = box_;
    drawnBox_ = box_;
    if (emitLocally_) {
        OBBox placed(box_);
        placed.Transform(LocalFrame(coords));
        drawnBox_ = ABBox(placed);
    }
    previousPosition_ = position_;
    cost_ = CostTicksSince(start);
}

Coords Emitter::LocalFrame(const WorldCoords& coords) const {
    Coords frame = coords.GetRegionCoords();
    if (localOrientFix_) frame = Coords::Translation(frame.origin);
    return frame;
}

void Emitter::AllocateParticleArray(const EmitterData& data) {
    const double wanted = static_cast<double>(data.GetFloat(EmitterData::Float_Life)) *
                          data.GetCurve(EmitterData::Curve_Rate)->GetMaxY() * 1.25;
    // Compared in double so that huge or non-finite stored values cannot overflow the integer.
    double need = std::max({10.0, static_cast<double>(liveCount_), std::isfinite(wanted) ? std::trunc(wanted) : 0.0});
    if (anchored_ && anchorLength_ > 0.0001f) need = std::max(std::trunc(need * anchorLength_), static_cast<double>(liveCount_));
    if (need > kMaxParticles) {
        Log(LogPriority::Warning, "Emitter has requested %u particles which is more than the maximum of %u.",
            static_cast<unsigned>(std::min(need, 4294967295.0)), static_cast<unsigned>(kMaxParticles));
        need = kMaxParticles;
        liveCount_ = std::min(liveCount_, kMaxParticles);
    }
    const size_t needed = static_cast<size_t>(need);
    if (needed <= particles_.size() && particles_.size() <= needed + 200) return;
    particles_.resize(needed + 100);
}

void Emitter::UpdateBoneList(const std::vector<EmitterBone>* bones) {
    if (!bones) return;
    if (bones_.empty()) {
        bones_ = *bones;
        return;
    }
    const size_t kept = std::min(bones_.size(), bones->size());
    bones_.resize(bones->size());
    for (size_t i = 0; i < bones->size(); ++i) {
        if (i >= kept) {
            bones_[i] = (*bones)[i];
            continue;
        }
        bones_[i].start = (*bones)[i].start;
        bones_[i].end = (*bones)[i].end;
        bones_[i].length = (*bones)[i].length;
    }
}

void Emitter::EmitParticles(const EmitterData& data, const std::vector<EmitterBone>* bones) {
    if (stopped_ || (finished_ && !(data.GetLoop() && Duration(data) > 0.0f))) return;
    const float rate = CurveAt(data, EmitterData::Curve_Rate, emitterTime_);
    const bool followAnchors = anchored_ && !InEditor();
    if (followAnchors && !anchor1History_.empty() && !anchor2History_.empty()) {
        anchorLength_ = std::max(0.1f, (anchor1History_.back() - anchor2History_.back()).Length());
        owed_ += static_cast<double>(rate) * delta_ * anchorLength_;
    } else {
        owed_ += static_cast<double>(rate) * delta_;
    }
    const int count = static_cast<int>(std::trunc(owed_) - emitted_);

    const int spinSlots[3] = {EmitterData::Curve_EmitterSpinX, EmitterData::Curve_EmitterSpinY,
                              EmitterData::Curve_EmitterSpinZ};
    const Vec3 axes[3] = {Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f)};
    for (int axis = 0; axis < 3; ++axis) {
        const float angle = CentredAt(data, spinSlots[axis], emitterTime_) * delta_;
        if (std::fabs(angle) > 0.0001f) orientation_ = Coords::Rotation(axes[axis], angle) * orientation_;
    }

    if (bones) {
        EmitBoneParticles(count, data);
        emitted_ += count;
        return;
    }
    Region* region = coords_.GetRegion();
    if (!region) return;
    const Coords local = coords_.GetRegionCoords();
    WorldVec3 previous = previousPosition_;
    previous.MakeRelative(region);
    WorldVec3 current = position_;
    current.MakeRelative(region);
    const Vec3 from = previous.GetRegionPosition();
    const Vec3 path = current.GetRegionPosition() - from;
    for (int i = 0; i < count; ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(count);
        if (followAnchors) {
            // Nothing to emit along until an anchor has been set.
            if (anchorRegion_) {
                EmitAnchoredParticle(WorldVec3(anchorRegion_, CatmullRom(anchor1Points_, f)),
                                     WorldVec3(anchorRegion_, CatmullRom(anchor2Points_, f)), data);
            }
        } else if (emitLocally_) {
            EmitParticle(Coords::Identity, data);
        } else {
            Coords frame = local;
            frame.origin = from + path * f;
            EmitParticle(frame, data);
        }
        ++emitted_;  // also when the array was full: the rate is not made up later
    }
}

Particle* Emitter::NewParticle() {
    if (liveCount_ >= static_cast<int>(particles_.size())) return nullptr;
    return &particles_[static_cast<size_t>(liveCount_++)];
}

void Emitter::EmitParticle(const Coords& frame, const EmitterData& data) {
    Particle* particle = NewParticle();
    if (!particle) return;
    orientVertically_ = data.GetBoolean(EmitterData::Bool_OrientVertically);

    const float spread = CurveAt(data, EmitterData::Curve_Spread, emitterTime_) * kDegreesToRadians;
    const float elevation =
        1.57f + (spread != 0.0f ? static_cast<float>(Rand15()) * kRandScale * spread - spread * 0.5f : 0.0f);
    const float azimuth = static_cast<float>(Rand15()) * kRandScale * 2.0f * kPi - spread * 0.5f;
    Vec3 direction(std::cos(azimuth) * std::cos(elevation), std::sin(elevation),
                   std::sin(azimuth) * std::cos(elevation));
    if (data.GetBoolean(EmitterData::Bool_FlatEmission)) direction.y = 0.0f;
    Vec3 velocity = direction.Unit() * CurveAt(data, EmitterData::Curve_Speed, emitterTime_);

    Vec3 start = offset_;
    const float radius = std::max(0.01f, CurveAt(data, EmitterData::Curve_Radius, emitterTime_));
    if (anchored_) {
        start.z = anchorLength_ != 0.0f ? start.z + static_cast<float>(Rand15()) * kRandScale * anchorLength_ : 0.0f;
    } else {
        switch (data.GetInteger(EmitterData::Integer_Shape)) {
        case EmitterData::Shape_SphereVolume: start += DrawInside(radius, false, false); break;
        case EmitterData::Shape_Disc: start += DrawInside(radius, true, false); break;
        case EmitterData::Shape_Ring: {
            const float angle = static_cast<float>(Rand15()) * kRandScale * 2.0f * kPi;
            start.x += std::cos(angle) * radius;
            start.z += std::sin(angle) * radius;
            break;
        }
        case EmitterData::Shape_VerticalLine: start.y += static_cast<float>(Rand15()) * kRandScale * radius; break;
        case EmitterData::Shape_SphereSurface: start += DrawInside(radius, false, true).Unit() * radius; break;
        default: break;
        }
    }
    particle->life = data.GetFloat(EmitterData::Float_Life);

    velocity = frame.TransformVector(orientation_.TransformVector(velocity));
    if (velocity == Vec3()) velocity = Vec3(0.001f, 0.001f, 0.001f);
    const Vec3 position = frame.TransformPoint(orientation_.TransformPoint(start));
    const Vec3 centre = frame.TransformPoint(orientation_.TransformPoint(offset_));
    particle->Initialize(position, centre, velocity, data.GetBoolean(EmitterData::Bool_MoveToCentre));
    if (data.GetBoolean(EmitterData::Bool_RandomSpin)) particle->SetRandomSpin();
}

Vec3 Emitter::RandomVelocity(const EmitterData& data) const {
    Vec3 direction;
    direction.x = static_cast<float>(Rand15() % 1000) * 0.001f - 0.5f;
    direction.y = static_cast<float>(Rand15() % 1000) * 0.001f - 0.5f;
    direction.z = static_cast<float>(Rand15() % 1000) * 0.001f - 0.5f;
    const Vec3 velocity = direction.Unit() * CurveAt(data, EmitterData::Curve_Speed, emitterTime_);
    return velocity.LengthSquared() < 0.001f ? Vec3(0.0f, 0.001f, 0.0f) : velocity;
}

void Emitter::EmitAnchoredParticle(const WorldVec3& anchor1, const WorldVec3& anchor2, const EmitterData& data) {
    WorldVec3 first = anchor1;
    first.MakeRelative(coords_.GetRegion());
    WorldVec3 second = anchor2;
    second.MakeRelative(coords_.GetRegion());
    const Vec3 p1 = first.GetRegionPosition();
    Vec3 p2 = second.GetRegionPosition();
    if (p1 == p2) p2.x += 0.01f;
    Particle* particle = NewParticle();
    if (!particle) return;
    const Vec3 position = p1 + (p2 - p1) * (static_cast<float>(Rand15() % 1000) * 0.001f);
    particle->life = data.GetFloat(EmitterData::Float_Life);
    particle->Initialize(position, offset_, RandomVelocity(data), data.GetBoolean(EmitterData::Bool_MoveToCentre));
    if (data.GetBoolean(EmitterData::Bool_RandomSpin)) particle->SetRandomSpin();
}

void Emitter::EmitBoneParticles(int count, const EmitterData& data) {
    for (EmitterBone& bone : bones_) {
        bone.owed += static_cast<double>(count) * bone.length;
        const int due = static_cast<int>(std::trunc(bone.owed - bone.emitted));
        if (!bone.active) {
            bone.emitted += due;
            continue;
        }
        const Vec3 direction = (bone.start - bone.end).Unit();
        // A segment shorter than a thousandth leaves no range to draw on: its end point it is.
        const int range = static_cast<int>(std::trunc(bone.length * 1000.0f));
        for (int i = 0; i < due && liveCount_ < GetCapacity(); ++i) {
            Particle* particle = NewParticle();
            const float distance = range > 0 ? static_cast<float>(Rand15() % range) * 0.001f : 0.0f;
            particle->life = data.GetFloat(EmitterData::Float_Life);
            particle->Initialize(bone.end + direction * distance, offset_, RandomVelocity(data),
                                 data.GetBoolean(EmitterData::Bool_MoveToCentre));
            if (data.GetBoolean(EmitterData::Bool_RandomSpin)) particle->SetRandomSpin();
            ++bone.emitted;
        }
    }
}

void Emitter::UpdateParticles(const EmitterData& data) {
    const int64_t frames = texture_ ? texture_->GetNumFrames() : 0;
    const int64_t fps = data.GetInteger(EmitterData::Integer_FramesPerSecond);
    const bool toCentre = data.GetBoolean(EmitterData::Bool_MoveToCentre);
    const float gravityFactor = toCentre ? 0.0f : delta_;
    const float dragFactor = toCentre ? 0.0f : 1.0f;
    const AgeCurve alpha(*data.GetCurve(EmitterData::Curve_Alpha));
    const AgeCurve red(*data.GetCurve(EmitterData::Curve_Red));
    const AgeCurve green(*data.GetCurve(EmitterData::Curve_Green));
    const AgeCurve blue(*data.GetCurve(EmitterData::Curve_Blue));
    const AgeCurve spin(*data.GetCurve(EmitterData::Curve_Spin));
    const AgeCurve size(*data.GetCurve(EmitterData::Curve_Size));
    const AgeCurve gravity(*data.GetCurve(EmitterData::Curve_Gravity));
    const AgeCurve stretch(*data.GetCurve(EmitterData::Curve_Stretch));
    const AgeCurve drag(*data.GetCurve(EmitterData::Curve_Drag));
    const float spinCentre = data.GetCurve(EmitterData::Curve_Spin)->GetRange() * 0.5f;
    const float gravityCentre = data.GetCurve(EmitterData::Curve_Gravity)->GetRange() * 0.5f;

    Vec3 low(1e30f, 1e30f, 1e30f);
    Vec3 high(-1e30f, -1e30f, -1e30f);
    for (int i = 0; i < liveCount_;) {
        Particle& p = particles_[static_cast<size_t>(i)];
        p.age += accumulated_;
        if (p.age >= p.life) {
            // Swap in the last live record and look at this slot again.
            p = particles_[static_cast<size_t>(--liveCount_)];
            continue;
        }
        const float age = p.age;
        p.size = size(age);
        p.stretch = stretch(age);
        p.position += p.velocity * accumulated_;
        p.spin += (spin(age) - spinCentre) * accumulated_;
        p.velocity.y -= (gravity(age) - gravityCentre) * gravityFactor;
        p.velocity *= 1.0f - drag(age) * dragFactor;
        p.colour = Vec3(red(age), green(age), blue(age));
        p.alpha = alpha(age);
        if (frames > 0) {
            // Frames are wrapped into [0, frames) in 64 bits, so hostile rates cannot index outside.
            const int64_t step =
                fps != 0 ? static_cast<int64_t>(static_cast<double>(fps) * age)
                         : static_cast<int64_t>(static_cast<double>(age) / p.life * static_cast<double>(frames));
            p.frame = static_cast<uint32_t>(((step % frames) + frames) % frames);
        } else {
            p.frame = 0;
        }
        low = Vec3(std::min(low.x, p.position.x), std::min(low.y, p.position.y), std::min(low.z, p.position.z));
        high = Vec3(std::max(high.x, p.position.x), std::max(high.y, p.position.y), std::max(high.z, p.position.z));
        ++i;
    }
    if (liveCount_ == 0) low = high = particles_[0].position;
    const float pad = data.GetCurve(EmitterData::Curve_Size)->GetMaxY();
    const Vec3 padding(pad, pad, pad);
    low -= padding;
    high += padding;
    box_ = ABBox((low + high) * 0.5f, (high - low) * 0.5f);
}

// -- Drawing ------------------------------------------------------------------------------------

void Emitter::AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) {
    if (!renderer.IsRenderFlagSet(GraphicsSceneRenderer::kEffects)) return;
    if (light_) {
        float intensity = lightMultiplier_;
        const bool inEditor = gEngine != nullptr && (gEngine->IsEditorMode() || gEngine->IsPSEditorMode());
        if (nightLight_ && !inEditor) {
            if (const SceneAmbiance* ambiance = gEngine != nullptr ? gEngine->GetSceneAmbiance() : nullptr)
                intensity *= ambiance->GetNightLightScale(SceneAmbiance::kOutdoor);
        }
        light_->SetIntensity(intensity);
        light_->AddToScene(renderer, frustum);
    }
    if (!enabled_) return;
    if (InEditor()) {
        renderer.AddRenderable(this, editorRegion_);
    } else if (parent_) {
        renderer.AddRenderable(this, parent_->GetRegion());
    }
}

void Emitter::PreLoad(int, bool enqueue) const {
    if (!enqueue) return;
    for (const Resource* resource : {static_cast<const Resource*>(texture_), static_cast<const Resource*>(shader_)}) {
        if (resource && resource->GetResourceLoader())
            resource->GetResourceLoader()->EnqueueResource(resource, ResourcePriority::Normal, false, false);
    }
}

float Emitter::GetFrameScore() {
    // Each call moves the score a tenth of the way to the latest cost, 1.0 for 10 ms.
    frameScore_ += (static_cast<float>(cost_) / 1000.0f * 0.01f - frameScore_) * 0.1f;
    return frameScore_;
}

size_t Emitter::CalculateMemoryUsage() const {
    size_t bytes = sizeof(*this) + particles_.capacity() * sizeof(Particle) + bones_.capacity() * sizeof(EmitterBone);
    for (const std::vector<uint32_t>& group : faceGroups_) bytes += group.capacity() * sizeof(uint32_t);
    return bytes;
}

int Emitter::GetNumRenderPasses(const Name& style, RenderGenerationId) const {
    return shader_ && shader_->FindStyleByName(style) != GraphicsShader2::kNoStyle ? 1 : 0;
}

int Emitter::GetRenderPassSortOrder(int, const Name& style, RenderGenerationId) const {
    return shader_ ? shader_->GetSortOrder(shader_->FindStyleByName(style)) : 0;
}

void Emitter::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                         const GraphicsSceneRenderer& renderer) const {
    const uint64_t start = GetPerformanceCounter();
    if (!shader_ || !texture_) return;
    if (liveCount_ == 0 && canvas.IsWarmingUp()) {
        DrawEmptyPass(pass, canvas, renderer);
        return;
    }
    drawn_ = true;
    if (liveCount_ > 0) DrawParticles(pass, canvas, renderer);
    cost_ += CostTicksSince(start);
}

bool Emitter::RebuildFaceGroup() const {
    faceGroups_.clear();
    faceGroupCapacity_ = 0;
    try {
        faceGroups_.resize(static_cast<size_t>(texture_->GetNumFrames()));
        for (std::vector<uint32_t>& group : faceGroups_) group.reserve(particles_.size());
    } catch (const std::bad_alloc&) {
        faceGroups_.clear();
        if (parent_) {
            Log(LogPriority::Error, "Failed to allocate face group of %u particles in effect '%s'.",
                static_cast<unsigned>(particles_.size()), parent_->GetObjectName().c_str());
        } else {
            Log(LogPriority::Error, "Failed to allocate face group of %u particles.",
                static_cast<unsigned>(particles_.size()));
        }
        return false;
    }
    faceGroupCapacity_ = particles_.size();
    return true;
}

bool Emitter::WriteVertices(ParticleVertex* vertices) const {
    const uint32_t frames = static_cast<uint32_t>(faceGroups_.size());
    uint32_t invalid = 0;
    uint32_t invalidFrame = 0;
    for (int i = 0; i < liveCount_; ++i) {
        const Particle& p = particles_[static_cast<size_t>(i)];
        uint32_t frame = p.frame;
        if (frame >= frames) {
            invalid += 1;
            invalidFrame = frame;
            frame = 0;
        }
        const uint32_t first = 4 * static_cast<uint32_t>(i);
        faceGroups_[frame].push_back(first);

        const bool dying = p.age + accumulated_ >= p.life;
        const Vec3 axis = alignToVelocity_ ? p.velocity : Vec3(0.0f, 1.0f, 0.0f);
        const float rotation = alignToVelocity_ ? 0.0f : p.spin * kDegreesToRadians;
        const float length = p.stretch > 0.01f ? p.velocity.Length() : 0.0f;
        ParticleVertex vertex{p.position,
                              {0.0f, 0.0f},
                              {axis.x, axis.y, axis.z, p.stretch},
                              {rotation, p.size, length, 0.0f},
                              {p.colour.x, p.colour.y, p.colour.z, p.alpha}};
        if (dying) std::fill(std::begin(vertex.colour), std::end(vertex.colour), 0.0f);
        WriteQuad(vertex, vertices + first);
    }
    // Once per draw rather than once per particle: a bad texture must not flood the log.
    if (invalid > 0) Log(LogPriority::Error, "Particle using invalid frame %u of %u frames.", invalidFrame, frames);
    size_t listed = 0;
    for (const std::vector<uint32_t>& group : faceGroups_) listed += group.size();
    return listed == static_cast<size_t>(liveCount_);
}

void Emitter::DrawParticles(const RenderablePass& pass, GraphicsCanvas& canvas,
                            const GraphicsSceneRenderer& renderer) const {
    // A texture without frames has nothing to draw with (and no list to fall back on).
    if (texture_->GetNumFrames() <= 0 || !declaration_) return;
    if (faceGroups_.size() != static_cast<size_t>(texture_->GetNumFrames()) || faceGroupCapacity_ != particles_.size()) {
        if (!RebuildFaceGroup()) return;
    }
    RenderDynamicVertexBuffer* vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* indexBuffer = canvas.GetDynamicIndexBuffer();
    if (!vertexBuffer || !indexBuffer) return;
    for (std::vector<uint32_t>& group : faceGroups_) group.clear();

    const uint32_t live = static_cast<uint32_t>(liveCount_);
    auto* vertices = static_cast<ParticleVertex*>(vertexBuffer->Lock(4 * live * sizeof(ParticleVertex)));
    if (!vertices) return;
    const bool listed = WriteVertices(vertices);
    vertexBuffer->Unlock();
    if (!listed) return;

    uint32_t* indices = indexBuffer->Lock(6 * live);
    if (!indices) return;
    uint32_t* const end = indices + 6 * live;
    for (const std::vector<uint32_t>& group : faceGroups_) {
        for (const uint32_t b : group) indices = WriteQuadIndices(b, indices);
    }
    indexBuffer->Unlock();
    if (indices != end) return;
    DrawQuads(pass, canvas, renderer, live, faceGroups_.size(),
              [this](size_t frame) { return static_cast<uint32_t>(faceGroups_[frame].size()); });
}

void Emitter::DrawEmptyPass(const RenderablePass& pass, GraphicsCanvas& canvas,
                            const GraphicsSceneRenderer& renderer) const {
    if (texture_->GetNumFrames() <= 0 || !declaration_) return;
    RenderDynamicVertexBuffer* vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* indexBuffer = canvas.GetDynamicIndexBuffer();
    if (!vertexBuffer || !indexBuffer) return;
    auto* vertices = static_cast<ParticleVertex*>(vertexBuffer->Lock(4 * sizeof(ParticleVertex)));
    if (!vertices) return;
    // A particle of no size and no colour in the middle of the emitter's box.
    WriteQuad(ParticleVertex{box_.centre, {0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {}, {}}, vertices);
    vertexBuffer->Unlock();
    uint32_t* indices = indexBuffer->Lock(6);
    if (!indices) return;
    WriteQuadIndices(0, indices);
    indexBuffer->Unlock();
    DrawQuads(pass, canvas, renderer, 1, 1, [](size_t) { return 1u; });
}

template <typename QuadsOnFrame>
void Emitter::DrawQuads(const RenderablePass& pass, GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                        uint32_t quads, size_t frames, QuadsOnFrame quadsOnFrame) const {
    RenderDynamicVertexBuffer* vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* indexBuffer = canvas.GetDynamicIndexBuffer();
    RenderDevice& device = canvas.GetRenderDevice();
    vertexBuffer->SetStreamSource(0, sizeof(ParticleVertex));
    indexBuffer->SetIndices();
    device.SetVertexDeclaration(declaration_);

    const ParameterNames& names = ParameterNames::Get();
    shader_->Begin();
    if (emitLocally_) {
        const Coords objectToWorld = pass.regionToScene * LocalFrame(coords_);
        shader_->SetFloat4x4(names.invObjectToWorld, 0, Mat4(objectToWorld.Inverse()));
        shader_->SetFloat4x4(names.objectToScreen, 0, renderer.GetWorldToScreenMatrix() * Mat4(objectToWorld));
    } else {
        shader_->SetFloat4x4(names.invObjectToWorld, 0, Mat4(Coords::Identity));
        shader_->SetFloat4x4(names.objectToScreen, 0, renderer.GetWorldToScreenMatrix() * Mat4(pass.regionToScene));
    }
    shader_->SetFloat(names.orientVertically, 0, orientVertically_ ? 1.0f : 0.0f);
    uint32_t firstIndex = 0;
    for (size_t frame = 0; frame < frames; ++frame) {
        const uint32_t count = quadsOnFrame(frame);
        if (count == 0) continue;
        shader_->Begin();
        shader_->SetTexture(names.baseTexture, 0, texture_->GetTexture(static_cast<int>(frame)));
        shader_->Render("Emitter");
        const RenderIndexedDraw draw = indexBuffer->PrepareDraw(4 * quads, 2 * count, firstIndex, 0);
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, draw.baseVertex, draw.vertexCount,
                                    draw.primitiveCount, draw.startIndex, draw.flags);
        shader_->End();
        firstIndex += 6 * count;
    }
    shader_->End();
}

void Emitter::LogInfo() const {
    Log(LogPriority::Info, "Emitter:");
    Log(LogPriority::Info, "   bounds origin: (%f, %f, %f)", double(box_.centre.x), double(box_.centre.y),
        double(box_.centre.z));
    Log(LogPriority::Info, "   bounds extents: (%f, %f, %f)", double(box_.halfSize.x), double(box_.halfSize.y),
        double(box_.halfSize.z));
    Log(LogPriority::Info, "   offset: (%f, %f, %f)", double(offset_.x), double(offset_.y), double(offset_.z));
    Log(LogPriority::Info, "   numParticles: %u", static_cast<unsigned>(liveCount_));
    Log(LogPriority::Info, "   parent: %p", static_cast<const void*>(parent_));
    Log(LogPriority::Info, "   light: %p", static_cast<const void*>(light_.get()));
    if (const Region* region = coords_.GetRegion()) {
        const Vec3 origin = coords_.GetRegionCoords().origin;
        Log(LogPriority::Info, "   region: %s(%u)", region->GetName().c_str(), static_cast<unsigned>(region->GetIndex()));
        Log(LogPriority::Info, "   coords position: (%f, %f, %f)", double(origin.x), double(origin.y), double(origin.z));
    } else {
        Log(LogPriority::Info, "   region: NULL");
    }
    const auto logLocation = [](const char* label, const WorldVec3& location) {
        const Vec3 p = location.GetRegionPosition();
        Log(LogPriority::Info, "   %s: [%p](%f, %f, %f)", label, static_cast<const void*>(location.GetRegion()),
            double(p.x), double(p.y), double(p.z));
    };
    logLocation("location", position_);
    logLocation("old location", previousPosition_);
}

}  // namespace GAME
