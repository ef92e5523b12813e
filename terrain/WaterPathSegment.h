#pragma once
// WaterPathSegment: the water of one stretch of a river (a WaterPath) between two control points:
// a strip ten vertices wide between the stretch's two banks, one row every step along it.
//
// The banks are Bezier curves of their own, each control point pushed out by its width along its
// normal, the inner handles along the centre curve's normals at t = 1/3 and 2/3. The stretch has
// n = min(trunc(length / 2), 64) steps (length measured over 20 steps), so (n + 1) x 10 vertices,
// row by row from the first point, each row from the left bank (+normal) to the right:
//   f32 x 3 position at the water height; f32 x 2 texture coordinate (width x across / scale y,
//   along), the along coordinate repeating a whole number of times (at least once) per stretch;
//   f32 x 2 flow direction (the banks' direction turned to the right); u32 colour: alpha in bits
//   24-31 (fading in over the first step of a path and out over its last), the packed depth in
//   bits 0-15.
// It is drawn as one strip of n x 20 - 2 triangles with the water's block index buffer
// (Water::GetBlockIndexBuffer), whose rows of ten run the path's steps as they run a block's rows.
//
// Decisions made here:
// - A stretch shorter than 2 units has no steps: no vertex buffer, no vertices, no draw (a count
//   of n x 20 - 2 would wrap).
// - The segment keeps its vertices on the CPU, so the depths can be refreshed into the buffer
//   (which the device may map write-only) and a device reset rebuilds nothing but the buffer.
// - Where a bank does not move over a step its direction from the step before is kept.
// - A path of one stretch fades at both ends; where the start and end fades meet (one step)
//   the transparent end wins.

#include <cstdint>

#include "core/Mem.h"
#include "core/Vec2.h"
#include "terrain/WaterCurve.h"

namespace GAME {

class WaterPathSegment final : public WaterElement {
public:
    static constexpr uint32_t kAcross = 10;       // vertices across the river
    static constexpr uint32_t kMaxSteps = 64;
    static constexpr uint32_t kStartsPath = 1;    // end flags
    static constexpr uint32_t kEndsPath = 2;

    struct Vertex {
        Vec3 position;
        Vec2 texCoord;
        Vec2 flow;
        uint32_t colour = 0;
    };
    static_assert(sizeof(Vertex) == 32);

    WaterPathSegment() : WaterElement(ElementType::PathSegment) {}

    // Builds the strip of the stretch from p to q at the height, its box, and its vertex buffer on
    // the device (logged when it cannot be made; the CPU vertices stay), when there is one.
    void Build(RenderDevice* device, const ControlPoint& p, const ControlPoint& q, float height, uint32_t endFlags,
               const LevelGround* ground);
    // Gives back the vertex buffer (device reset); the vertices stay.
    void ReleaseGeometry() { DestroyVertexBuffer(); }
    // Writes the depths over the ground into the vertices and the buffer; false (logged) without a
    // buffer.
    bool UpdateGeometry(const LevelGround* ground) override;
    void Render(RenderDevice& device, int pass) const override;
    const char* GetStyleName() const override { return "waterPathStyle"; }
    const char* GetReflectStyleName() const override { return "waterPathReflectStyle"; }
    // The centre line from p to q through the steps.
    void DrawOutline(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const;

    uint32_t GetNumSteps() const { return numSteps_; }
    uint32_t GetNumPrimitives() const { return numSteps_ ? numSteps_ * 20 - 2 : 0; }
    const mem::vector<Vertex>& GetVertices() const { return vertices_; }

    // Whether the point on the water plane lies on the stretch from p to q: not behind p along its
    // tangent nor past q, and within the width (linear from p's to q's) of the nearest centre-curve
    // point, whose parameter is found by bisection to within 0.05 and handed back in t.
    static bool IsInside(const Vec2& point, const ControlPoint& p, const ControlPoint& q, float& t);

private:
    void WriteBuffer();

    uint32_t numSteps_ = 0;
    Vec2 bezier_[4];
    mem::vector<Vertex> vertices_;
};

}  // namespace GAME
