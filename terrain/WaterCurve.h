#pragma once
// WaterCurve: the base of water paths (rivers) and wave sets (shore waves): a chain of control
// points on the horizontal plane y = height, joined pairwise by cubic Bezier stretches. It holds
// the points, the height and the point being edited, mirrors the chain, picks points with a ray
// and draws the editor's handles; the concrete curve owns one element per stretch and rebuilds it
// when its points move (AddControlPoint ... UpdateHeight).
//
// The Bezier of the stretch from point a to point b: a's position, a's position + a's tangent,
// b's position - b's tangent, b's position.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec2.h"
#include "terrain/WaterObject.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class GraphicsPrimitiveDrawer;
class WorldCoords;
struct Ray;

// One control point (28 bytes, seven f32, as stored): position on the curve's plane, the Bezier
// handle in world units, the unit normal (-tangent z, tangent x) and the half width of the water.
struct ControlPoint {
    float x = 0.0f;
    float z = 0.0f;
    float tangentX = 0.0f;
    float tangentZ = 0.0f;
    float normalX = 0.0f;
    float normalZ = 0.0f;
    float width = 0.0f;  // from the centre line to either bank

    Vec2 GetPosition() const { return Vec2(x, z); }
    Vec2 GetTangent() const { return Vec2(tangentX, tangentZ); }
    Vec2 GetNormal() const { return Vec2(normalX, normalZ); }
    // The normal from the tangent (zero for a zero tangent).
    void UpdateNormal();
};
static_assert(sizeof(ControlPoint) == 28);

// A control point in the water block: its seven floats, then 36 zero bytes.
constexpr uint32_t kStoredControlPointSize = 64;
void WriteControlPoint(BinaryWriter& writer, const ControlPoint& point);
ControlPoint ReadControlPoint(BinaryReader& reader);
// The stored point count and points into points; false, with the reader failed, when the count
// is larger than the bytes left could hold.
bool ReadControlPoints(BinaryReader& reader, mem::vector<ControlPoint>& points);
void WriteControlPoints(BinaryWriter& writer, const mem::vector<ControlPoint>& points);

// The point at t of the stretch from a to b, and the stretch's four Bezier points.
Vec2 GetBezierPoint(const ControlPoint& a, const ControlPoint& b, float t);
void GetBezierPoints(const ControlPoint& a, const ControlPoint& b, Vec2 (&points)[4]);
// The stretch's length as the sum of the distances between its points at t = 0, 1/steps, ..., 1
// (0 for 0 steps).
float CalcBezierLength(const ControlPoint& a, const ControlPoint& b, unsigned steps);

class WaterCurve : public WaterObject {
public:
    enum class CurveType : uint32_t { Path = 0, WaveSet = 1 };
    // What a pick found. NearAlongView and NearAcrossView: within 1 unit of a point but not on it,
    // the offset from the point running along (within 45 degrees of) the camera's horizontal view
    // direction or across it.
    enum class SelectionType : uint32_t {
        Nothing = 0,
        Point = 1,
        NearAlongView = 2,
        NearAcrossView = 3,
        ForwardHandle = 4,
        BackwardHandle = 5,
    };

    WaterCurve(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water, CurveType type);

    // Appends a point (it becomes the current one) and builds the stretch it closes.
    virtual void AddControlPoint(const ControlPoint& point) = 0;
    // Drops the last point and the stretch it closed.
    virtual void RemoveEndControlPoint() = 0;
    // Rebuilds stretch i (points i and i + 1) after a point moved.
    virtual void UpdateSegment(unsigned index) = 0;
    // Moves the whole curve to another height.
    virtual void UpdateHeight(float height) = 0;
    // The handles of every point in blue: the tangent line through the point and a circle at
    // either end of it.
    virtual void DrawEditing(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const;

    // Mirror the points about x = axis, z = axis, or exchange x and z; widths stay, normals follow
    // the tangents; then every stretch is rebuilt.
    void MirrorX(float axis) override;
    void MirrorZ(float axis) override;
    void MirrorXZ() override;

    CurveType GetCurveType() const { return curveType_; }
    float GetHeight() const { return height_; }
    unsigned GetNumControlPoints() const { return unsigned(points_.size()); }
    const ControlPoint& GetControlPoint(unsigned index) const { return points_[index]; }
    // The point being edited; null for a curve without points.
    ControlPoint* GetCurrentControlPoint();
    unsigned GetCurrentControlPointIndex() const { return currentPoint_; }
    // Rebuilds the stretches on either side of the current point after the editor moved it.
    void UpdateCurrentControlPoint();

    // Picks a point or a handle end where the ray meets the curve's plane; a point within 1 unit,
    // or a handle end within 0.5, becomes the current point. The camera's view direction, flattened
    // onto the plane, tells NearAlongView from NearAcrossView.
    SelectionType SelectPoint(const Ray& ray, const WorldCoords& camera);
    // Two circles (radius 0.5 and 1) and a cross at every point.
    void DrawSelectionPoints(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const;

protected:
    const CurveType curveType_;
    float height_ = 0.0f;
    unsigned currentPoint_ = 0;
    mem::vector<ControlPoint> points_;
};

}  // namespace GAME
