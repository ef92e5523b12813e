#include "terrain/WaterCurve.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/Color.h"
#include "core/CubicBezier2D.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "core/WorldCoords.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsPrimitiveDrawer.h"

namespace GAME {

void ControlPoint::UpdateNormal() {
    const Vec2 normal = Vec2(-tangentZ, tangentX).Unit();
    normalX = normal.x;
    normalZ = normal.y;
}

void WriteControlPoint(BinaryWriter& writer, const ControlPoint& point) {
    for (const float value : {point.x, point.z, point.tangentX, point.tangentZ, point.normalX, point.normalZ, point.width}) {
        writer.Write(value);
    }
    const unsigned char zeros[kStoredControlPointSize - sizeof(ControlPoint)] = {};
    writer.Write(zeros, sizeof zeros);
}

ControlPoint ReadControlPoint(BinaryReader& reader) {
    ControlPoint point;
    for (float* value : {&point.x, &point.z, &point.tangentX, &point.tangentZ, &point.normalX, &point.normalZ, &point.width}) {
        *value = reader.ReadFloat();
    }
    reader.Skip(kStoredControlPointSize - sizeof(ControlPoint));
    return point;
}

bool ReadControlPoints(BinaryReader& reader, mem::vector<ControlPoint>& points) {
    const uint32_t count = reader.ReadUInt32();
    points.clear();
    if (count > reader.GetRemaining() / kStoredControlPointSize) {
        reader.Skip(UINT32_MAX);  // more points than bytes: the block is cut short
        return false;
    }
    points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) points.push_back(ReadControlPoint(reader));
    return !reader.Failed();
}

void WriteControlPoints(BinaryWriter& writer, const mem::vector<ControlPoint>& points) {
    writer.Write(uint32_t(points.size()));
    for (const ControlPoint& point : points) WriteControlPoint(writer, point);
}

void GetBezierPoints(const ControlPoint& a, const ControlPoint& b, Vec2 (&points)[4]) {
    points[0] = a.GetPosition();
    points[1] = a.GetPosition() + a.GetTangent();
    points[2] = b.GetPosition() - b.GetTangent();
    points[3] = b.GetPosition();
}

Vec2 GetBezierPoint(const ControlPoint& a, const ControlPoint& b, float t) {
    Vec2 p[4];
    GetBezierPoints(a, b, p);
    return CubicBezier2D(p[0], p[1], p[2], p[3], t);
}

float CalcBezierLength(const ControlPoint& a, const ControlPoint& b, unsigned steps) {
    float length = 0.0f;
    Vec2 previous = a.GetPosition();
    for (unsigned i = 1; i <= steps; ++i) {
        const Vec2 point = GetBezierPoint(a, b, float(i) / float(steps));
        length += (point - previous).Length();
        previous = point;
    }
    return length;
}

WaterCurve::WaterCurve(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water, CurveType type)
    : WaterObject(index, tree, device, water), curveType_(type) {}

ControlPoint* WaterCurve::GetCurrentControlPoint() {
    return currentPoint_ < points_.size() ? &points_[currentPoint_] : nullptr;
}

void WaterCurve::UpdateCurrentControlPoint() {
    if (currentPoint_ > 0) UpdateSegment(currentPoint_ - 1);
    if (currentPoint_ + 1 < points_.size()) UpdateSegment(currentPoint_);
}

void WaterCurve::MirrorX(float axis) {
    for (ControlPoint& point : points_) {
        point.x = 2.0f * axis - point.x;
        point.tangentX = -point.tangentX;
        point.UpdateNormal();
    }
    Update();
}

void WaterCurve::MirrorZ(float axis) {
    for (ControlPoint& point : points_) {
        point.z = 2.0f * axis - point.z;
        point.tangentZ = -point.tangentZ;
        point.UpdateNormal();
    }
    Update();
}

void WaterCurve::MirrorXZ() {
    for (ControlPoint& point : points_) {
        std::swap(point.x, point.z);
        std::swap(point.tangentX, point.tangentZ);
        point.UpdateNormal();
    }
    Update();
}

WaterCurve::SelectionType WaterCurve::SelectPoint(const Ray& ray, const WorldCoords& camera) {
    const float distance = Plane(Vec3(0.0f, 1.0f, 0.0f), -height_).GetRayDistance(ray);
    if (!std::isfinite(distance)) return SelectionType::Nothing;
    const Vec3 hit3 = ray.GetPoint(distance);
    const Vec2 hit(hit3.x, hit3.z);
    const Coords frame = camera.GetRegionCoords();
    Vec2 view = Vec2(frame.zAxis.x, frame.zAxis.z).Unit();
    if (view == Vec2()) view = Vec2(frame.xAxis.x, frame.xAxis.z).Unit();  // looking straight down
    for (unsigned i = 0; i < points_.size(); ++i) {
        const ControlPoint& point = points_[i];
        const Vec2 position = point.GetPosition();
        const float d = (position - hit).Length();
        if (d < 1.0f) {
            currentPoint_ = i;
            if (d < 0.5f) return SelectionType::Point;
            const Vec2 offset = (position - hit) * (1.0f / d);
            return std::fabs(offset.x * view.x + offset.y * view.y) >= 0.70710677f ? SelectionType::NearAlongView
                                                                                   : SelectionType::NearAcrossView;
        }
        const Vec2 tangent = point.GetTangent();
        const Vec2 reach = tangent + tangent.Unit() * 0.5f;
        if ((position + reach - hit).Length() < 0.5f) {
            currentPoint_ = i;
            return SelectionType::ForwardHandle;
        }
        if ((position - reach - hit).Length() < 0.5f) {
            currentPoint_ = i;
            return SelectionType::BackwardHandle;
        }
    }
    return SelectionType::Nothing;
}

void WaterCurve::DrawSelectionPoints(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const {
    for (const ControlPoint& point : points_) {
        const Vec3 c = Vec3(point.x, height_, point.z) + offset;
        DrawWireframeCircle(drawer, c, 0.5f, 20);
        DrawWireframeCircle(drawer, c, 1.0f, 20);
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
        drawer.SetVertex(c - Vec3(0.5f, 0.0f, 0.0f));
        drawer.SetVertex(c + Vec3(0.5f, 0.0f, 0.0f));
        drawer.SetVertex(c - Vec3(0.0f, 0.0f, 0.5f));
        drawer.SetVertex(c + Vec3(0.0f, 0.0f, 0.5f));
        drawer.End();
    }
}

void WaterCurve::DrawEditing(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const {
    drawer.SetColor(Color(0.0f, 0.0f, 1.0f, 1.0f));
    for (const ControlPoint& point : points_) {
        const Vec3 centre = Vec3(point.x, height_, point.z) + offset;
        const Vec3 tangent(point.tangentX, 0.0f, point.tangentZ);
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
        drawer.SetVertex(centre - tangent);
        drawer.SetVertex(centre + tangent);
        drawer.End();
        const Vec3 push = tangent.Unit() * 0.5f;
        DrawWireframeCircle(drawer, centre + tangent + push, 0.5f, 16);
        DrawWireframeCircle(drawer, centre - tangent - push, 0.5f, 16);
    }
}

}  // namespace GAME
