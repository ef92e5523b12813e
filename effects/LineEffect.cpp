#include "effects/LineEffect.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Log.h"
#include "core/Mat4.h"
#include "effects/RibbonStrip.h"
#include "engine/Engine.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "world/Region.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(LineEffect, Entity);

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Unloads the named resource's predecessor and loads its successor (none for an empty name).
template <class T, class Load, class Unload>
void Replace(const T*& current, const std::string& fileName, Load load, Unload unload) {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    if (current) (graphics->*unload)(current);
    current = fileName.empty() ? nullptr : (graphics->*load)(fileName);
}

// The point index a window fraction falls on, truncated; 0 for a fraction below 0 (or NaN), and
// just past the end for one beyond it.
uint32_t WindowIndex(uint32_t count, float fraction) {
    const double index = std::trunc(static_cast<double>(count) * fraction);
    if (!(index > 0.0)) return 0;
    return index > count ? count + 1 : static_cast<uint32_t>(index);
}

}  // namespace

LineEffect::LineEffect()
    : boundsMin_(kInfinity, kInfinity, kInfinity), boundsMax_(-kInfinity, -kInfinity, -kInfinity) {
    SetTexture(kDefaultTexture);
    SetShader(kDefaultShader);
    const GraphicsEngine* graphics = GetEngineGraphics();
    if (RenderDevice* device = graphics ? graphics->GetRenderDevice() : nullptr)
        declaration_ = RibbonStrip::CreateDeclaration(*device);
}

LineEffect::~LineEffect() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    if (RenderDevice* device = graphics->GetRenderDevice()) device->DestroyVertexDeclaration(declaration_);
}

void LineEffect::SetTexture(const std::string& fileName) {
    Replace(texture_, fileName, &GraphicsEngine::LoadTexture, &GraphicsEngine::UnloadTexture);
}

void LineEffect::SetShader(const std::string& fileName) {
    Replace(shader_, fileName, &GraphicsEngine::LoadShader2, &GraphicsEngine::UnloadShader2);
}

void LineEffect::SetBeams(const std::vector<std::vector<Vec3>>& beams, const Vec3& boundsMin, const Vec3& boundsMax) {
    beams_ = beams;
    boundsMin_ = boundsMin;
    boundsMax_ = boundsMax;
    UpdateBoundingBox();
}

void LineEffect::SetEndPoints(const WorldVec3& start, const WorldVec3& end) {
    start_ = start;
    end_ = end;
    UpdateBoundingBox();
}

float LineEffect::GetFadeMultiplier(int) const { return fade_; }

void LineEffect::UpdateSelf(int elapsedMs) {
    Entity::UpdateSelf(elapsedMs);
    if (!paused_) time_ += elapsedMs;
    if (pauseAtTarget_ && !pausedAtTarget_ && topPercent_ > 0.9999f) paused_ = pausedAtTarget_ = true;
}

void LineEffect::UpdateBoundingBox() {
    Region* region = GetRegion() ? GetRegion() : start_.GetRegion();
    const Vec3 start = region ? region->GetRelativePosition(start_) : start_.GetRegionPosition();
    const bool empty = !(boundsMin_.x <= boundsMax_.x && boundsMin_.y <= boundsMax_.y && boundsMin_.z <= boundsMax_.z);
    const Vec3 centre = empty ? start : start + (boundsMin_ + boundsMax_) * 0.5f;
    SetRegionBoundingBox(ABBox(centre, empty ? Vec3() : (boundsMax_ - boundsMin_) * 0.5f), false);
}

void LineEffect::AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) {
    // Empty bounds: nothing to show yet (and a box the renderer would refuse).
    if (boundsMin_.x > boundsMax_.x) return;
    renderer.AddRenderable(this, GetRegion());
}

void LineEffect::LogInfo() const {
    Log(LogPriority::Info, "LineEffect:");
    Entity::LogInfo();
}

uint32_t LineEffect::WritePolyline(int beam, uint32_t top, uint32_t bottom, const Vec3& start,
                                   const Coords& regionToScene, const Coords& camera, float theta,
                                   RibbonVertex* vertices) const {
    const std::vector<Vec3>& points = beams_[static_cast<size_t>(beam)];
    const uint32_t count = static_cast<uint32_t>(points.size());
    const float fade = GetFadeMultiplier(beam);
    const float repeat = textureLength_ > 0.0f ? textureLength_ : 1.0f;
    const int taper = taperPoints_;
    const Vec3 across = camera.xAxis * std::cos(theta) + camera.yAxis * std::sin(theta);
    const Vec3 fixedAcross = Cross(camera.yAxis, regionToScene.TransformVector(points.front() - points.back())).Unit();
    float length = 0.0f;
    uint32_t pairs = 0;
    for (uint32_t j = 0; j < top; ++j) {
        // The length runs one segment ahead: point j's coordinate counts the segment after it.
        if (j + 1 < count) length += (points[j + 1] - points[j]).Length();
        if (j < bottom) continue;
        if (pairs == RibbonStrip::kMaxPairs) break;
        // Narrowed and faded over the taper points at each end of the window.
        float a = 1.0f;
        if (static_cast<int64_t>(j) < static_cast<int64_t>(bottom) + taper) {
            a = static_cast<float>(taper - 1 - static_cast<int>(j - bottom)) / static_cast<float>(taper);
            if (taper > 1) a = 1.0f - a;
        }
        float b = 1.0f;
        // Compared unsigned, as stored windows expect: a window no longer than the taper keeps b.
        if (j > static_cast<uint32_t>(static_cast<int>(top) - taper - 1)) {
            b = static_cast<float>(taper - static_cast<int>(top) + static_cast<int>(j)) / static_cast<float>(taper);
            if (taper > 1) b = 1.0f - b;
        }
        const float k = std::min(a, b);
        const float halfWidth = k * width_ * 0.5f;
        const Vec3 side = (fixedOrientation_ ? fixedAcross : across) * halfWidth;
        const Vec3 centre = start + regionToScene.TransformVector(points[j]);
        const uint32_t colour =
            Color(k * fade * color_.r, k * fade * color_.g, k * fade * color_.b, k * fade * color_.a).ToPacked();
        const float v = length / repeat;
        vertices[2 * pairs] = RibbonVertex{centre - side, 0.0f, v, colour};
        vertices[2 * pairs + 1] = RibbonVertex{centre + side, 1.0f, v, colour};
        ++pairs;
    }
    return pairs;
}

void LineEffect::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                            const GraphicsSceneRenderer& renderer) const {
    if (!start_.GetRegion() || !shader_ || !declaration_) return;
    Region* region = pass.region ? pass.region : start_.GetRegion();
    const Vec3 start = pass.regionToScene.TransformPoint(region->GetRelativePosition(start_));
    const Vec3 end = pass.regionToScene.TransformPoint(region->GetRelativePosition(end_));
    const Coords& camera = renderer.GetCamera().GetCoords();
    const Vec3 c = camera.Inverse().TransformVector(start - end);
    const float theta = std::atan2(c.x, -c.y);
    const Mat4& worldToScreen = renderer.GetWorldToScreenMatrix();

    for (size_t beam = 0; beam < beams_.size(); ++beam) {
        const uint32_t count = static_cast<uint32_t>(beams_[beam].size());
        const uint32_t top = WindowIndex(count, topPercent_);
        const uint32_t bottom = WindowIndex(count, bottomPercent_);
        if (top > count || bottom > count) return;
        if (top < bottom + 2) continue;
        RibbonVertex* vertices = RibbonStrip::Lock(canvas);
        if (!vertices) return;
        const uint32_t pairs = WritePolyline(static_cast<int>(beam), top, bottom, start, pass.regionToScene, camera,
                                             theta, vertices);
        RibbonStrip::Draw(canvas, pairs, *declaration_, *shader_, worldToScreen, texture_, GetObjectName().c_str());
    }
}

}  // namespace GAME
