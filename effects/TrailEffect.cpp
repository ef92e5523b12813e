#include "effects/TrailEffect.h"

#include <algorithm>
#include <cmath>

#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Singleton.h"
#include "effects/RibbonStrip.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "world/Region.h"
#include "world/World.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(TrailEffect, Entity);

namespace {

// The uniform Catmull-Rom point at t between p1 and p2.
Vec3 CatmullRom(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float t) {
    return (p1 * 2.0f + (p2 - p0) * t + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * (t * t) +
            (p1 * 3.0f - p0 - p2 * 3.0f + p3) * (t * t * t)) *
           0.5f;
}

// The four control points around segments i and i + 1, the missing ends mirrored.
template <class Get>
void ControlPoints(const std::vector<TrailPoint>& segments, size_t i, Get get, Vec3 out[4]) {
    out[1] = get(segments[i]);
    out[2] = get(segments[i + 1]);
    out[0] = i > 0 ? get(segments[i - 1]) : out[1] - (out[2] - out[1]);
    out[3] = i + 2 < segments.size() ? get(segments[i + 2]) : out[2] + (out[2] - out[1]);
}

Vec3 ToVec3(const IntVec3& v) { return Vec3(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)); }

}  // namespace

TrailEffect::TrailEffect() = default;

TrailEffect::~TrailEffect() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    if (RenderDevice* device = graphics->GetRenderDevice()) device->DestroyVertexDeclaration(declaration_);
}

bool TrailEffect::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    colour_ = Color(static_cast<float>(table.GetInt("Red256", 0)) / 255.0f,
                    static_cast<float>(table.GetInt("Green256", 0)) / 255.0f,
                    static_cast<float>(table.GetInt("Blue256", 0)) / 255.0f,
                    static_cast<float>(table.GetInt("Alpha256", 0)) / 255.0f);
    fadeTime_ = table.GetInt("MSFadeTime", 500);
    textureName_ = table.GetValue("Texture", textureName_.c_str());
    shaderName_ = table.GetValue("Shader", shaderName_.c_str());
    if (GraphicsEngine* graphics = GetEngineGraphics()) {
        if (texture_) graphics->UnloadTexture(texture_);
        if (shader_) graphics->UnloadShader2(shader_);
        texture_ = graphics->LoadTexture(textureName_);
        shader_ = graphics->LoadShader2(shaderName_);
    }
    shrinkSpeed_ = table.GetFloat("TrailShrinkSpeed", 7.0f);
    textureRepeat_ = table.GetBool("TextureRepeat", true);
    dragUVs_ = table.GetBool("DragUVs", true);
    textureDistance_ = table.GetFloat("TextureDistance", 1.0f);
    fadeAlpha_ = table.GetBool("FadeAlpha", true);
    return true;
}

bool TrailEffect::PreLoad(int priority, bool enqueue) {
    if (!Entity::PreLoad(priority, enqueue)) return false;
    if (!enqueue) return true;
    for (const Resource* resource : {static_cast<const Resource*>(texture_), static_cast<const Resource*>(shader_)}) {
        if (resource && resource->GetResourceLoader())
            resource->GetResourceLoader()->EnqueueResource(resource, ResourcePriority::High, true, false);
    }
    return true;
}

void TrailEffect::InitialUpdate() {
    Entity::InitialUpdate();
    const GraphicsEngine* graphics = GetEngineGraphics();
    if (RenderDevice* device = graphics ? graphics->GetRenderDevice() : nullptr) {
        if (!declaration_) declaration_ = RibbonStrip::CreateDeclaration(*device);
    }
    SetDefaultAnchors();
    UpdateBoundingBox();
}

void TrailEffect::SetDefaultAnchors() { SetAnchors(Vec3(), Vec3(0.0f, 0.0f, -1.0f)); }

void TrailEffect::SetAnchorPoints(const WorldVec3& first, const WorldVec3& second) {
    if (Region* region = GetRegion()) SetAnchors(region->GetRelativePosition(first), region->GetRelativePosition(second));
}

void TrailEffect::Start() {
    UpdateBoundingBox();
    running_ = true;
}

void TrailEffect::UpdateBoundingBox() {
    const Vec3 centre = GetRegion() ? GetCoords().GetOrigin().GetRegionPosition() : Vec3();
    SetRegionBoundingBox(ABBox(centre, Vec3(1.0f, 1.0f, 1.0f)), false);
}

void TrailEffect::AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) {
    if (texture_ && texture_->GetIsReadyToUse() && shader_ && shader_->GetIsReadyToUse())
        renderer.AddRenderable(this, GetRegion());
}

void TrailEffect::LogInfo() const {
    Log(LogPriority::Info, "WeaponTrail:");
    Entity::LogInfo();
}

void TrailEffect::UpdateSelf(int elapsedMs) {
    Entity::UpdateSelf(elapsedMs);
    if (destroyQueued_) return;
    if (elapsedMs > kRestartMs) segments_.clear();
    FollowRegion();
    InternalUpdate(elapsedMs, GetCoords().GetRegionCoords());
    CleanSegmentList();
    UpdateBoundingBox();
    FillPoints();
    if (liberated_ && segments_.size() < 2) {
        destroyQueued_ = true;
        if (World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr) world->RemoveEntity(this);
        Singleton<ObjectManager>::Get()->DestroyObjectEx(this, __FILE__, __LINE__);
    }
}

void TrailEffect::FollowRegion() {
    Region* current = GetRegion();
    if (!region_) region_ = current;
    if (!current || current == region_) return;
    // A point relative to the old region lies at point + old offset - new offset in the new one.
    const Vec3 shift = ToVec3(region_->GetOffsetFromWorld() - current->GetOffsetFromWorld());
    for (std::vector<TrailPoint>* list : {&segments_, &points_}) {
        for (TrailPoint& point : *list) {
            point.upper += shift;
            point.lower += shift;
        }
    }
    region_ = current;
}

void TrailEffect::InternalUpdate(int elapsedMs, const Coords& coords) {
    if (!GetParent() && !graceTaken_) {
        graceTaken_ = true;
        return;
    }
    if (coords.origin.Length() < 0.1f) return;

    TrailPoint segment{anchor1_, anchor2_, 0.0f, colour_};
    if (!running_) segment.colour.a = 0.0f;
    const float moved = segments_.empty() ? 0.0f : (segments_.back().upper - anchor1_).Length();
    if (!segments_.empty()) segment.u = segments_.back().u + moved / TextureDistance();
    if ((segments_.empty() || moved >= 0.0001f) && segments_.size() < segmentLimit_ && !liberated_)
        segments_.push_back(segment);

    const float scale = 1.0f - static_cast<float>(elapsedMs) * 0.001f * shrinkSpeed_;
    for (TrailPoint& s : segments_) {
        const Vec3 middle = (s.upper + s.lower) * 0.5f;
        s.upper = middle + (s.upper - middle) * scale;
        s.lower = middle + (s.lower - middle) * scale;
    }
    if (fadeAlpha_) {
        const float fade = fadeTime_ > 0 ? static_cast<float>(elapsedMs) / static_cast<float>(fadeTime_) : 1.0f;
        for (TrailPoint& s : segments_) s.colour.a = std::max(0.0f, s.colour.a - fade);
    }
}

void TrailEffect::CleanSegmentList() {
    // One pass removes at most every second dead segment; the rest go on later updates.
    for (size_t p = 0; p + 1 < segments_.size(); ++p) {
        const bool dead = fadeAlpha_ ? segments_[p].colour.a <= 0.0001f && segments_[p + 1].colour.a <= 0.0001f
                                     : (segments_[p].upper - segments_[p].lower).Length() <= 0.01f;
        if (!dead) break;
        segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(p));
    }
}

void TrailEffect::FillPoints() {
    points_.clear();
    if (segments_.size() < 2) return;
    points_.push_back(segments_[0]);
    for (size_t i = 0; i + 1 < segments_.size(); ++i) {
        const TrailPoint& from = segments_[i];
        const TrailPoint& to = segments_[i + 1];
        const float gap = std::max((from.upper - to.upper).Length(), (from.lower - to.lower).Length());
        // Across a gap over 2 the strip joins straight to the next pair's points.
        if (gap > 2.0f) continue;
        const int steps = std::min(static_cast<int>(gap * 10.0f), 32);
        Vec3 uppers[4];
        Vec3 lowers[4];
        ControlPoints(segments_, i, [](const TrailPoint& s) { return s.upper; }, uppers);
        ControlPoints(segments_, i, [](const TrailPoint& s) { return s.lower; }, lowers);
        for (int k = 1; k <= steps; ++k) {
            const float t = static_cast<float>(k) / static_cast<float>(steps);
            points_.push_back(TrailPoint{CatmullRom(uppers[0], uppers[1], uppers[2], uppers[3], t),
                                         CatmullRom(lowers[0], lowers[1], lowers[2], lowers[3], t),
                                         from.u + (to.u - from.u) * t, Color::Lerp(from.colour, to.colour, t)});
        }
        points_.push_back(to);
    }
}

void TrailEffect::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                             const GraphicsSceneRenderer& renderer) const {
    if (points_.size() < 2 || segments_.size() < 2 || !declaration_ || !shader_) return;
    RibbonVertex* vertices = RibbonStrip::Lock(canvas);
    if (!vertices) return;
    const bool ownUVs = !dragUVs_ && textureRepeat_;
    const bool debug = gEngine != nullptr && gEngine->GetTrailDebugging();
    const GraphicsEngine* graphics = GetEngineGraphics();
    float running = 0.0f;
    float lastStep = 0.0f;
    uint32_t pairs = 0;
    for (size_t n = points_.size(); n > 0 && pairs < kMaxDrawnPoints; --n) {
        const TrailPoint& point = points_[n - 1];
        Color colour = point.colour;
        if (!textureRepeat_ && running + lastStep > 0.99f) colour.a = 0.0f;
        const float along = ownUVs ? point.u : running;
        const uint32_t packed = colour.ToPacked();
        vertices[2 * pairs] = RibbonVertex{pass.regionToScene.TransformPoint(point.upper), along, 0.0f, packed};
        vertices[2 * pairs + 1] = RibbonVertex{pass.regionToScene.TransformPoint(point.lower), along, 1.0f, packed};
        if (n > 1) {
            const TrailPoint& older = points_[n - 2];
            lastStep = (point.upper - older.upper).Length() / TextureDistance();
            running += lastStep;
            if (debug && pairs > 0 && graphics) {
                DebugRenderManager& lines = *Singleton<DebugRenderManager>::Get();
                const Color red(1.0f, 0.0f, 0.0f, point.colour.a);
                lines.RenderLine(GetRegion(), point.upper, older.upper, red, graphics->GetBasicShader());
                lines.RenderLine(GetRegion(), point.lower, older.lower, red, graphics->GetBasicShader());
                lines.RenderLine(GetRegion(), point.upper, point.lower, red, graphics->GetBasicShader());
            }
        }
        ++pairs;
    }
    RibbonStrip::Draw(canvas, pairs, *declaration_, *shader_, renderer.GetWorldToScreenMatrix(), texture_,
                      GetObjectName().c_str());
}

}  // namespace GAME
