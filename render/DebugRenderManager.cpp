#include "render/DebugRenderManager.h"

#include "core/ABBox.h"
#include "core/CriticalSectionLock.h"
#include "core/Frustum.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "core/Plane.h"
#include "core/Sphere.h"
#include "engine/Engine.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "core/WorldVec3.h"

#include <cmath>
#include <string>

namespace GAME {

namespace {

using Type = GraphicsPrimitiveDrawer::PrimitiveType;

// Line segments between the pairs of points, in one primitive.
void DrawLines(GraphicsPrimitiveDrawer& drawer, std::initializer_list<Vec3> points) {
    drawer.Begin(Type::Lines);
    for (const Vec3& point : points) drawer.SetVertex(point);
    drawer.End();
}

// -- Items ------------------------------------------------------------------------------------------

// Text in the engine's utility font style. Drawn only when a font was set at the request.
class TextItem : public DebugRenderItem {
public:
    TextItem(const GraphicsFont* font, const char* text, const Color& color)
        : font_(font), text_(text != nullptr ? text : ""), color_(color) {}

protected:
    void DrawText(GraphicsPrimitiveDrawer& drawer, const Vec2& position) const {
        if (font_ == nullptr || gEngine == nullptr) return;
        drawer.Flush();  // the shapes requested earlier lie below the text
        drawer.GetCanvas().RenderColoredText(int(position.x), int(position.y), text_, gEngine->GetUtilityFontStyle(),
                                             color_);
    }
    bool HasFont() const { return font_ != nullptr; }

private:
    const GraphicsFont* font_;
    std::string text_;
    Color color_;
};

class ScreenTextItem final : public TextItem {
public:
    ScreenTextItem(const GraphicsFont* font, const char* text, const Color& color, const Vec2& position)
        : TextItem(font, text, color), position_(position) {}
    void Draw(GraphicsPrimitiveDrawer& drawer) const override { DrawText(drawer, position_); }

private:
    Vec2 position_;
};

class WorldTextItem final : public TextItem {
public:
    WorldTextItem(const GraphicsFont* font, const char* text, const Color& color, const Region* region,
                  const Vec3& position)
        : TextItem(font, text, color), region_(region), position_(position) {}

    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        if (!HasFont()) return;
        const Camera& camera = drawer.GetCamera();
        const Region* cameraRegion = drawer.GetCameraRegion();
        const Vec3 position =
            position_ + (region_ != nullptr && cameraRegion != nullptr ? GetOffsetDifference(region_, cameraRegion)
                                                                       : Vec3());
        // A point behind the camera would project mirrored onto the screen.
        if (camera.GetCoords().Inverse().TransformPoint(position).z <= camera.GetNearPlane()) return;
        const Viewport& viewport = drawer.GetViewport();
        DrawText(drawer, camera.Project(position, viewport) + Vec2(float(viewport.x), float(viewport.y)));
    }

private:
    const Region* region_;
    Vec3 position_;
};

// The shapes: each in its region's space and its colour.
class ShapeItem : public DebugRenderItem {
public:
    ShapeItem(const Region* region, const Color& color) : region_(region), color_(color) {}

protected:
    void Prepare(GraphicsPrimitiveDrawer& drawer) const {
        drawer.SetColor(color_);
        drawer.SetRegion(region_);
    }

private:
    const Region* region_;
    Color color_;
};

class BoxItem final : public ShapeItem {
public:
    BoxItem(const Region* region, const OBBox& box, const Color& color) : ShapeItem(region, color), box_(box) {}
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        Prepare(drawer);
        DrawWireframeBox(drawer, box_);
    }

private:
    OBBox box_;
};

class SphereItem final : public ShapeItem {
public:
    SphereItem(const Region* region, const Sphere& sphere, const Color& color)
        : ShapeItem(region, color), sphere_(sphere) {}

    // 16 rings, each a circle of latitude at polar angle t and a meridian at azimuth 2t, each of
    // 16 segments a fifteenth of a turn long (the last one overlaps the first).
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        Prepare(drawer);
        constexpr int kRings = 16;
        constexpr float kStep = 2.0f * Pi / 15.0f;
        const auto point = [this](float polar, float azimuth) {
            return sphere_.centre + Vec3(std::sin(polar) * std::cos(azimuth), std::cos(polar),
                                         std::sin(polar) * std::sin(azimuth)) *
                                        sphere_.radius;
        };
        for (int ring = 0; ring < kRings; ++ring) {
            const float t = float(ring) * Pi / 15.0f;
            drawer.Begin(Type::Lines);
            for (int k = 0; k < kRings; ++k) {
                drawer.SetVertex(point(t, float(k) * kStep));
                drawer.SetVertex(point(t, float(k + 1) * kStep));
                drawer.SetVertex(point(float(k) * kStep, 2.0f * t));
                drawer.SetVertex(point(float(k + 1) * kStep, 2.0f * t));
            }
            drawer.End();
        }
    }

private:
    Sphere sphere_;
};

// The part of the convex polygon on the inner side of the plane.
mem::vector<Vec3> ClipPolygon(const mem::vector<Vec3>& polygon, const Plane& plane) {
    mem::vector<Vec3> inside;
    for (size_t i = 0; i < polygon.size(); ++i) {
        const Vec3& a = polygon[i];
        const Vec3& b = polygon[(i + 1) % polygon.size()];
        const float da = plane.GetDistance(a);
        const float db = plane.GetDistance(b);
        if (da >= 0.0f) inside.push_back(a);
        if ((da >= 0.0f) != (db >= 0.0f)) inside.push_back(a + (b - a) * (da / (da - db)));
    }
    return inside;
}

class FrustumItem final : public ShapeItem {
public:
    // Half the side of the square that stands for each plane before the others cut it.
    static constexpr float kExtent = 5000.0f;

    FrustumItem(const Region* region, const Frustum& frustum, const Color& color)
        : ShapeItem(region, color), frustum_(frustum) {}

    // Each plane's face: a large square on the plane cut by every other plane, outlined.
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        drawer.GetCanvas().SetDefaultState();
        Prepare(drawer);
        for (uint32_t i = 0; i < frustum_.GetNumPlanes(); ++i) {
            const Plane& plane = frustum_.GetPlane(i);
            const Vec3 centre = plane.normal * -plane.d;
            const Vec3 u = plane.normal.GetPerpendicular() * kExtent;
            const Vec3 v = Cross(plane.normal, u);
            mem::vector<Vec3> face = {centre + u + v, centre - u + v, centre - u - v, centre + u - v};
            for (uint32_t j = 0; j < frustum_.GetNumPlanes() && face.size() > 2; ++j) {
                if (j != i) face = ClipPolygon(face, frustum_.GetPlane(j));
            }
            if (face.size() < 3) continue;
            drawer.Begin(Type::Lines);
            for (size_t k = 0; k < face.size(); ++k) {
                drawer.SetVertex(face[k]);
                drawer.SetVertex(face[(k + 1) % face.size()]);
            }
            drawer.End();
        }
    }

private:
    Frustum frustum_;
};

class LineItem final : public ShapeItem {
public:
    LineItem(const GraphicsShader2* shader, const Region* region, const Vec3& start, const Vec3& end,
             const Color& color)
        : ShapeItem(region, color), shader_(shader), start_(start), end_(end) {}
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        Prepare(drawer);
        if (shader_ != nullptr) drawer.SetShader(shader_);
        DrawLines(drawer, {start_, end_});
    }

private:
    const GraphicsShader2* shader_;
    Vec3 start_;
    Vec3 end_;
};

class ArrowItem final : public ShapeItem {
public:
    ArrowItem(const Region* region, const Vec3& start, const Vec3& end, const Color& color)
        : ShapeItem(region, color), start_(start), end_(end) {}
    // The head strokes reach back a fifth of the length and aside a tenth, across the view.
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        Prepare(drawer);
        const Vec3 arrow = end_ - start_;
        const float length = arrow.Length();
        const Vec3 back = arrow.Unit() * (-0.2f * length);
        const Vec3 side = Cross(arrow, drawer.GetCamera().GetCoords().zAxis).Unit() * (0.1f * length);
        DrawLines(drawer, {start_, end_, end_, end_ + back + side, end_, end_ + back - side});
    }

private:
    Vec3 start_;
    Vec3 end_;
};

class ConeItem final : public ShapeItem {
public:
    ConeItem(const Region* region, const Vec3& apex, const Vec3& end, float angle, const Color& color)
        : ShapeItem(region, color), apex_(apex), end_(end), angle_(angle) {}
    // The base circle in steps of a fifteenth of a turn.
    void Draw(GraphicsPrimitiveDrawer& drawer) const override {
        Prepare(drawer);
        constexpr int kPoints = 15;
        const Vec3 axis = end_ - apex_;
        const float radius = axis.Length() * std::tan(angle_);
        const Vec3 u = axis.GetPerpendicular() * radius;
        const Vec3 v = Cross(axis.Unit(), u);
        const auto point = [&](int k) {
            const float a = 2.0f * Pi * float(k) / float(kPoints);
            return end_ + u * std::cos(a) + v * std::sin(a);
        };
        drawer.Begin(Type::Lines);
        for (int k = 0; k < kPoints; ++k) {
            drawer.SetVertex(apex_);
            drawer.SetVertex(point(k));
            drawer.SetVertex(point(k));
            drawer.SetVertex(point(k + 1));
        }
        drawer.End();
    }

private:
    Vec3 apex_;
    Vec3 end_;
    float angle_;
};

}  // namespace

// -------------------------------------------------------------------------------------------------
// Requests
// -------------------------------------------------------------------------------------------------

DebugRenderManager::DebugRenderManager() = default;
DebugRenderManager::~DebugRenderManager() = default;

void DebugRenderManager::Queue(std::unique_ptr<DebugRenderItem> item) {
    CriticalSectionLock lock(queueLock_);
    queue_.push_back(std::move(item));
}

size_t DebugRenderManager::GetNumQueued() const {
    CriticalSectionLock lock(queueLock_);
    return queue_.size();
}

void DebugRenderManager::RenderText(const char* text, const Vec2& position, const Color& color) {
    if (enabled_) Queue(std::make_unique<ScreenTextItem>(font_.load(), text, color, position));
}

void DebugRenderManager::RenderText(const char* text, Region* region, const Vec3& position, const Color& color) {
    if (enabled_) Queue(std::make_unique<WorldTextItem>(font_.load(), text, color, region, position));
}

void DebugRenderManager::RenderBox(Region* region, const OBBox& box, const Color& color) {
    if (enabled_) Queue(std::make_unique<BoxItem>(region, box, color));
}

void DebugRenderManager::RenderBox(Region* region, const ABBox& box, const Color& color) {
    RenderBox(region, OBBox(box), color);
}

void DebugRenderManager::RenderSphere(Region* region, const Sphere& sphere, const Color& color) {
    if (enabled_) Queue(std::make_unique<SphereItem>(region, sphere, color));
}

void DebugRenderManager::RenderFrustum(Region* region, const Frustum& frustum, const Color& color) {
    if (enabled_) Queue(std::make_unique<FrustumItem>(region, frustum, color));
}

void DebugRenderManager::RenderLine(Region* region, const Vec3& start, const Vec3& end, const Color& color,
                                    const GraphicsShader2* shader) {
    if (enabled_) Queue(std::make_unique<LineItem>(shader, region, start, end, color));
}

void DebugRenderManager::RenderArrow(Region* region, const Vec3& start, const Vec3& end, const Color& color) {
    if (enabled_) Queue(std::make_unique<ArrowItem>(region, start, end, color));
}

void DebugRenderManager::RenderCone(Region* region, const Vec3& apex, const Vec3& end, float angle,
                                    const Color& color) {
    if (enabled_) Queue(std::make_unique<ConeItem>(region, apex, end, angle, color));
}

// -------------------------------------------------------------------------------------------------
// Drawing
// -------------------------------------------------------------------------------------------------

void DebugRenderManager::Flush(GraphicsCanvas& canvas, Region* cameraRegion, const Camera& camera,
                               const Viewport& viewport) {
    mem::vector<std::unique_ptr<DebugRenderItem>> items;
    {
        CriticalSectionLock lock(queueLock_);
        items.swap(queue_);
    }
    if (items.empty()) return;
    canvas.SetViewport(viewport);
    canvas.Clear(RenderDevice::kClearDepth, 1.0f);
    GraphicsPrimitiveDrawer drawer(canvas);
    drawer.SetCamera(cameraRegion, camera, viewport);
    const GraphicsShader2* basicShader = drawer.GetShader();
    canvas.EnableWireframe(false);
    for (std::unique_ptr<DebugRenderItem>& item : items) {
        drawer.SetShader(basicShader);
        item->Draw(drawer);
        item.reset();
    }
    drawer.Flush();
}

}  // namespace GAME
