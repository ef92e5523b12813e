#pragma once
// WaterPath: a river: a WaterCurve whose stretches are WaterPathSegments in the water's tree,
// drawn with the path's water type. The first stretch fades in, the last fades out.
//
// Decisions made here:
// - The path owns its segments; each is taken out of the tree before it is deleted.
// - Fewer than two points give no segments (a stored count of 0 must not make count - 1 of them).

#include <memory>

#include "core/MathUtil.h"
#include "terrain/WaterCurve.h"
#include "terrain/WaterPathSegment.h"

namespace GAME {

class WaterPath final : public WaterCurve {
public:
    WaterPath(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water);
    // Takes every segment out of the tree; the base gives back the water type.
    ~WaterPath() override;

    // Takes the water type of that name, sets the height and adds the first point. False (logged)
    // when there is no such type; the path stays usable without one.
    bool Initialize(const char* typeName, float height, const ControlPoint& first);
    // Gives back the held type and takes the one of that name for the path and every segment.
    void SetWaterType(const char* typeName);

    void AddControlPoint(const ControlPoint& point) override;
    void RemoveEndControlPoint() override;
    void UpdateSegment(unsigned index) override;
    void UpdateHeight(float height) override;
    // Rebuilds every segment.
    void Update() override;
    // The path record: the type name, height, u32 point count, then per point its seven floats
    // and 36 zero bytes. False (logged) when the type is not registered; the record is read whole.
    bool Load(BinaryReader& reader, unsigned version) override;
    void Save(BinaryWriter& writer) const override;
    // Each segment's centre line in translucent white at the path's height, then the handles.
    void DrawEditing(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const override;

    // The distance along the ray to the water plane when it is below maxDistance and the point
    // there lies on a segment (the first one that holds it: its index and curve parameter are
    // handed back); +infinity otherwise.
    float RayIntersection(const Ray& ray, float maxDistance, unsigned& segment, float& t) const;
    // The drift at parameter t of a segment: the curve's direction there (the end point's tangent
    // from t = 0.95 on) at the type's scroll speed. v unchanged without the segment or a type.
    void CalcSurfaceVelocity(unsigned segment, float t, Vec3& v) const;
    // Build or give back every segment's vertex buffer (device reset).
    void ConstructSegmentGeometry();
    void DestroySegmentGeometry();

    unsigned GetNumSegments() const { return unsigned(segments_.size()); }
    const WaterPathSegment& GetSegment(unsigned index) const { return *segments_[index]; }

private:
    // End flags of segment i: it starts the path, ends it, or both.
    uint32_t GetEndFlags(unsigned index) const;
    void BuildSegment(unsigned index);
    void UpdateReflectionPlane();

    mem::vector<std::unique_ptr<WaterPathSegment>> segments_;  // i joins points i and i + 1
};

}  // namespace GAME
