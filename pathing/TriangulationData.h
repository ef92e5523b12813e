#pragma once
// TriangulationData: a constrained triangulation of directed segments in the XZ plane, for the
// terrain's plug builder (the seams between the ground and the meshes cut into it).
//
// Callers add segments whose end points are snapped together within a tolerance, toggle segments
// that meet earlier geometry, and triangulate. The triangles kept are those on the LEFT of the
// directed segments: every segment the plug builder makes has the area to fill on its left
// (the visibility boundary runs with the hidden samples on its left, tile contours with their
// outside on the left, neighbouring plugs' edges are toggled in reverse so that the old plug lies on
// the right). An "odd nesting depth" rule would ignore those directions and fill the overlap of two
// tile contours, or a contour loop with no hidden ground around it. "Left" is computed as a winding
// number: each crossing of a segment into its left side adds 1, into its right side subtracts 1,
// and faces with a positive count are kept, so opposite segments on one edge cancel.
//
// The triangulator (CGAL's constrained Delaunay triangulation, included by the source only) runs
// under one process-wide lock. Where segments cross, it inserts a point at the crossing; such
// points are numbered after the caller's points and take their height and normal from the first
// segment through them, interpolated along it.

#include <cstdint>
#include <unordered_map>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "pathing/SnapGrid.h"

namespace GAME {

class TriangulationData {
public:
    // A point of the outline: the XZ position and the attributes carried to the triangles'
    // corners. 24 bytes, the vertex layout of the plugs built from the triangles.
    struct Point {
        float x = 0.0f;       // position on the ground plane
        float z = 0.0f;
        float height = 0.0f;  // y of the point, carried along
        Vec3 normal;          // surface normal at the point, carried along
    };
    static_assert(sizeof(Point) == 24);

    // Three point indices, counter-clockwise in (x, z) with x to the right and z up.
    struct Triangle {
        uint32_t index[3];
    };

    // Points within this distance in (x, z) are the same point; 0 (the default) merges exact copies.
    void SetSnapTolerance(double tolerance) { snap_.SetTolerance(tolerance); }

    // Adds or finds both end points and appends the directed segment. A segment whose ends snap to
    // one point adds the point only; one with a non-finite coordinate is refused and logged.
    void AddSegment(const Point& from, const Point& to);
    // Removes one segment between the two snapped points, in either direction, or appends from -> to
    // when there is none. Does nothing when either point is not in the point list.
    void ToggleSegment(const Point& from, const Point& to);

    // Triangulates the current segments and returns the number of triangles kept. The triangles and
    // the crossing points stay valid until the next Triangulate.
    uint32_t Triangulate();
    const mem::vector<Triangle>& GetTriangles() const { return triangles_; }

    // The caller's points, then the crossing points of the last Triangulate.
    uint32_t GetNumPoints() const { return static_cast<uint32_t>(points_.size() + crossingPoints_.size()); }
    const Point& GetPoint(uint32_t index) const;
    uint32_t GetNumSegments() const { return static_cast<uint32_t>(segments_.size()); }

private:
    struct Segment {
        uint32_t from, to;
    };
    static uint64_t GetKey(uint32_t a, uint32_t b);
    uint32_t FindOrAddPoint(const Point& point);
    void AppendSegment(uint32_t from, uint32_t to);
    void RemoveSegment(uint32_t position);

    SnapGrid snap_;                     // the points' (x, 0, z), numbered like points_
    mem::vector<Point> points_;
    mem::vector<Segment> segments_;
    // Unordered end-point pair -> positions in segments_, for toggling.
    std::unordered_multimap<uint64_t, uint32_t> segmentsByEnds_;
    mem::vector<Point> crossingPoints_;
    mem::vector<Triangle> triangles_;
};

}  // namespace GAME
