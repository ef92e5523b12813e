#include "terrain/WaterPath.h"

#include <cmath>

#include "core/Color.h"
#include "core/Log.h"
#include "core/Ray.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "terrain/WaterType.h"

namespace GAME {

WaterPath::WaterPath(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water)
    : WaterCurve(index, tree, device, water, CurveType::Path) {}

WaterPath::~WaterPath() {
    for (std::unique_ptr<WaterPathSegment>& segment : segments_) tree_.RemoveFromNode(*segment);
}

bool WaterPath::Initialize(const char* typeName, float height, const ControlPoint& first) {
    const bool found = AcquireWaterType(typeName);
    if (!found) Log(LogPriority::Error, "Failed to load water type '%s' for water path.", typeName ? typeName : "");
    height_ = height;
    UpdateReflectionPlane();
    AddControlPoint(first);
    return found;
}

void WaterPath::SetWaterType(const char* typeName) {
    AcquireWaterType(typeName);
    for (std::unique_ptr<WaterPathSegment>& segment : segments_) segment->SetWaterType(waterType_);
}

uint32_t WaterPath::GetEndFlags(unsigned index) const {
    return (index + 1 == segments_.size() ? WaterPathSegment::kEndsPath : 0u) |
           (index == 0 ? WaterPathSegment::kStartsPath : 0u);
}

void WaterPath::BuildSegment(unsigned index) {
    segments_[index]->Build(device_, points_[index], points_[index + 1], height_, GetEndFlags(index), ground_);
}

void WaterPath::AddControlPoint(const ControlPoint& point) {
    points_.push_back(point);
    currentPoint_ = unsigned(points_.size()) - 1;
    if (points_.size() < 2) return;
    auto segment = std::make_unique<WaterPathSegment>();
    segment->SetWaterType(waterType_);
    segment->SetReflectionPlane(&reflectionPlane_);
    segments_.push_back(std::move(segment));
    const unsigned last = unsigned(segments_.size()) - 1;
    BuildSegment(last);
    tree_.AddObject(*segments_[last]);
    UpdateReflectionPlane();
    if (last > 0) UpdateSegment(last - 1);  // it no longer ends the path
}

void WaterPath::RemoveEndControlPoint() {
    if (!segments_.empty()) {
        tree_.RemoveFromNode(*segments_.back());
        segments_.pop_back();
    }
    if (!points_.empty()) points_.pop_back();
    currentPoint_ = points_.empty() ? 0 : unsigned(points_.size()) - 1;
    if (!segments_.empty()) UpdateSegment(unsigned(segments_.size()) - 1);  // the new last one fades out
    UpdateReflectionPlane();
}

void WaterPath::UpdateSegment(unsigned index) {
    if (index >= segments_.size() || index + 1 >= points_.size()) return;
    BuildSegment(index);
    tree_.UpdateObject(*segments_[index]);
}

void WaterPath::Update() {
    for (unsigned i = 0; i < segments_.size(); ++i) UpdateSegment(i);
    UpdateReflectionPlane();
}

void WaterPath::UpdateHeight(float height) {
    if (height == height_) return;
    height_ = height;
    reflectionPlane_.box.centre.y = height;  // also with no segments to make the box from
    Update();
}

void WaterPath::UpdateReflectionPlane() {
    reflectionPlane_.plane.d = -height_;
    if (segments_.empty()) return;
    ABBox box = segments_[0]->GetBoundingBox();
    for (size_t i = 1; i < segments_.size(); ++i) box = ABBox::Union(box, segments_[i]->GetBoundingBox());
    box.centre.y = height_;
    reflectionPlane_.box = box;
}

void WaterPath::DrawEditing(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const {
    drawer.SetColor(Color(1.0f, 1.0f, 1.0f, 0.9f));
    const Vec3 atHeight(offset.x, height_ + offset.y, offset.z);
    for (const std::unique_ptr<WaterPathSegment>& segment : segments_) segment->DrawOutline(drawer, atHeight);
    WaterCurve::DrawEditing(drawer, offset);
}

float WaterPath::RayIntersection(const Ray& ray, float maxDistance, unsigned& segment, float& t) const {
    const float distance = Plane(Vec3(0.0f, 1.0f, 0.0f), -height_).GetRayDistance(ray);
    if (!(distance < maxDistance)) return Infinity;
    const Vec3 hit = ray.GetPoint(distance);
    for (unsigned i = 0; i < segments_.size(); ++i) {
        if (WaterPathSegment::IsInside(Vec2(hit.x, hit.z), points_[i], points_[i + 1], t)) {
            segment = i;
            return distance;
        }
    }
    return Infinity;
}

void WaterPath::CalcSurfaceVelocity(unsigned segment, float t, Vec3& v) const {
    if (segment >= segments_.size() || !waterType_) return;
    const ControlPoint& p = points_[segment];
    const ControlPoint& q = points_[segment + 1];
    const Vec2 direction =
        (t < 0.95f ? GetBezierPoint(p, q, t + 0.05f) - GetBezierPoint(p, q, t) : q.GetTangent()).Unit();
    const float speed = waterType_->GetSettings().ScrollSpeed;
    v = Vec3(direction.x * speed, 0.0f, direction.y * speed);
}

bool WaterPath::Load(BinaryReader& reader, unsigned) {
    std::string name;
    reader.ReadString(name);  // a bad length leaves the name empty
    const bool typed = AcquireWaterType(name.c_str());
    height_ = reader.ReadFloat();
    for (std::unique_ptr<WaterPathSegment>& segment : segments_) tree_.RemoveFromNode(*segment);
    segments_.clear();
    ReadControlPoints(reader, points_);
    currentPoint_ = 0;
    for (unsigned i = 0; i + 1 < points_.size(); ++i) {
        auto segment = std::make_unique<WaterPathSegment>();
        segment->SetWaterType(waterType_);
        segment->SetReflectionPlane(&reflectionPlane_);
        segments_.push_back(std::move(segment));
    }
    for (unsigned i = 0; i < segments_.size(); ++i) {
        BuildSegment(i);
        tree_.AddObject(*segments_[i]);
    }
    UpdateReflectionPlane();
    if (!typed) Log(LogPriority::Error, "Failed to load water type '%s' for water path.", name.c_str());
    return typed;
}

void WaterPath::Save(BinaryWriter& writer) const {
    const char* name = GetWaterTypeName();
    writer.Write(std::string(name ? name : ""));
    writer.Write(height_);
    WriteControlPoints(writer, points_);
}

void WaterPath::ConstructSegmentGeometry() {
    for (unsigned i = 0; i < segments_.size(); ++i) BuildSegment(i);
}

void WaterPath::DestroySegmentGeometry() {
    for (std::unique_ptr<WaterPathSegment>& segment : segments_) segment->ReleaseGeometry();
}

}  // namespace GAME
