#include "pathing/TriangulationData.h"

#include <climits>
#include <cmath>
#include <deque>
#include <exception>
#include <mutex>

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Constrained_triangulation_plus_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include "core/Log.h"

namespace GAME {

namespace {

constexpr uint32_t kNoIndex = 0xffffffffu;
constexpr int kNoWinding = INT_MIN;

struct VertexInfo {
    uint32_t index = kNoIndex;  // the point's index, kNoIndex until a crossing point is numbered
};
struct FaceInfo {
    int winding = kNoWinding;  // signed count of segment crossings from outside
};

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<VertexInfo, Kernel>;
using FaceBase = CGAL::Constrained_triangulation_face_base_2<Kernel, CGAL::Triangulation_face_base_with_info_2<FaceInfo, Kernel>>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
// Exact predicates let segments cross; each crossing becomes a vertex.
using Delaunay = CGAL::Constrained_Delaunay_triangulation_2<Kernel, DataStructure, CGAL::Exact_predicates_tag>;
// The "plus" form remembers the input segment behind every constrained edge, split ones included,
// which gives each edge its direction for the winding walk.
using Triangulation = CGAL::Constrained_triangulation_plus_2<Delaunay>;

// One triangulation at a time in the whole process (the plug builder runs on the main thread and on
// the level-loading thread).
std::mutex gTriangulatorLock;

bool IsFinite(const TriangulationData::Point& p) { return std::isfinite(p.x) && std::isfinite(p.z); }

}  // namespace

uint64_t TriangulationData::GetKey(uint32_t a, uint32_t b) {
    return a < b ? (uint64_t(a) << 32 | b) : (uint64_t(b) << 32 | a);
}

const TriangulationData::Point& TriangulationData::GetPoint(uint32_t index) const {
    return index < points_.size() ? points_[index] : crossingPoints_[index - points_.size()];
}

uint32_t TriangulationData::FindOrAddPoint(const Point& point) {
    const uint32_t index = snap_.FindOrAdd(Vec3(point.x, 0.0f, point.z));
    if (index == points_.size()) points_.push_back(point);
    return index;
}

void TriangulationData::AppendSegment(uint32_t from, uint32_t to) {
    segmentsByEnds_.emplace(GetKey(from, to), static_cast<uint32_t>(segments_.size()));
    segments_.push_back(Segment{from, to});
}

void TriangulationData::RemoveSegment(uint32_t position) {
    const auto eraseEntry = [this](uint32_t at) {
        const Segment& s = segments_[at];
        auto [first, last] = segmentsByEnds_.equal_range(GetKey(s.from, s.to));
        for (auto it = first; it != last; ++it) {
            if (it->second == at) {
                segmentsByEnds_.erase(it);
                return;
            }
        }
    };
    // The last segment moves into the freed place.
    const uint32_t lastPosition = static_cast<uint32_t>(segments_.size() - 1);
    eraseEntry(position);
    if (position != lastPosition) {
        eraseEntry(lastPosition);
        segments_[position] = segments_[lastPosition];
        segmentsByEnds_.emplace(GetKey(segments_[position].from, segments_[position].to), position);
    }
    segments_.pop_back();
}

void TriangulationData::AddSegment(const Point& from, const Point& to) {
    if (!IsFinite(from) || !IsFinite(to)) {
        Log(LogPriority::Error, "TriangulationData: refused a segment with a non-finite end point");
        return;
    }
    const uint32_t a = FindOrAddPoint(from);
    const uint32_t b = FindOrAddPoint(to);
    if (a != b) AppendSegment(a, b);
}

void TriangulationData::ToggleSegment(const Point& from, const Point& to) {
    if (!IsFinite(from) || !IsFinite(to)) return;
    const uint32_t a = snap_.Find(Vec3(from.x, 0.0f, from.z));
    const uint32_t b = snap_.Find(Vec3(to.x, 0.0f, to.z));
    if (a == SnapGrid::kNotFound || b == SnapGrid::kNotFound || a == b) return;
    const auto existing = segmentsByEnds_.find(GetKey(a, b));
    if (existing != segmentsByEnds_.end())
        RemoveSegment(existing->second);
    else
        AppendSegment(a, b);
}

uint32_t TriangulationData::Triangulate() {
    triangles_.clear();
    crossingPoints_.clear();

    // The net direction of the segments on each pair of points (positive: lower index to higher);
    // opposite segments cancel, and repeated ones count once.
    mem::hash_map<uint64_t, int> pairDirection;
    for (const Segment& s : segments_) pairDirection[GetKey(s.from, s.to)] += s.from < s.to ? 1 : -1;

    std::lock_guard<std::mutex> lock(gTriangulatorLock);
    try {
        Triangulation triangulation;
        mem::vector<Triangulation::Vertex_handle> vertices(points_.size());
        Triangulation::Face_handle hint;
        const auto insertPoint = [&](uint32_t index) {
            if (vertices[index] != Triangulation::Vertex_handle()) return;
            const Point& p = points_[index];
            vertices[index] = triangulation.insert(Triangulation::Point(p.x, p.z), hint);
            vertices[index]->info().index = index;
            hint = vertices[index]->face();
        };
        struct Constraint {
            Triangulation::Constraint_id id;
            uint32_t from, to;  // the segment's end points, in its net direction
        };
        mem::vector<Constraint> constraints;
        for (const Segment& s : segments_) {
            auto it = pairDirection.find(GetKey(s.from, s.to));
            if (it->second == 0) continue;
            const int direction = it->second;
            it->second = 0;  // one constraint per pair
            insertPoint(s.from);
            insertPoint(s.to);
            const uint32_t low = std::min(s.from, s.to), high = std::max(s.from, s.to);
            const uint32_t from = direction > 0 ? low : high, to = direction > 0 ? high : low;
            constraints.push_back(Constraint{triangulation.insert_constraint(vertices[from], vertices[to]), from, to});
        }
        if (triangulation.dimension() < 2) return 0;

        // Number the crossing points and give them the attributes of their segment, and record
        // the direction of every constrained edge (split edges included).
        mem::hash_map<uint64_t, int> edgeDirection;
        for (const Constraint& constraint : constraints) {
            const Triangulation::Constraint_id id = constraint.id;
            if (id == Triangulation::Constraint_id(nullptr)) continue;
            const Point a = points_[constraint.from];
            const Point b = points_[constraint.to];
            const double length = std::hypot(double(b.x) - a.x, double(b.z) - a.z);
            Triangulation::Vertex_handle previous;
            for (auto it = triangulation.vertices_in_constraint_begin(id); it != triangulation.vertices_in_constraint_end(id); ++it) {
                const Triangulation::Vertex_handle v = *it;
                if (v->info().index == kNoIndex) {
                    const double x = v->point().x(), z = v->point().y();
                    const float t = length > 0.0 ? static_cast<float>(std::hypot(x - a.x, z - a.z) / length) : 0.0f;
                    Point crossing;
                    crossing.x = static_cast<float>(x);
                    crossing.z = static_cast<float>(z);
                    crossing.height = a.height + (b.height - a.height) * t;
                    crossing.normal = (a.normal + (b.normal - a.normal) * t).Unit();
                    v->info().index = GetNumPoints();
                    crossingPoints_.push_back(crossing);
                }
                if (previous != Triangulation::Vertex_handle()) {
                    const uint32_t from = previous->info().index, to = v->info().index;
                    edgeDirection[GetKey(from, to)] += from < to ? 1 : -1;
                }
                previous = v;
            }
        }

        // Walk out from the infinite faces. Face f lies on the left of its edge i, which runs from
        // vertex ccw(i) to vertex cw(i); stepping over it to the right subtracts that edge's direction.
        std::deque<Triangulation::Face_handle> open;
        for (Triangulation::Face_handle f : triangulation.all_face_handles()) {
            f->info().winding = triangulation.is_infinite(f) ? 0 : kNoWinding;
            if (triangulation.is_infinite(f)) open.push_back(f);
        }
        while (!open.empty()) {
            const Triangulation::Face_handle f = open.front();
            open.pop_front();
            for (int i = 0; i < 3; ++i) {
                const Triangulation::Face_handle g = f->neighbor(i);
                if (g->info().winding != kNoWinding) continue;
                int step = 0;
                if (f->is_constrained(i)) {
                    const uint32_t from = f->vertex(triangulation.ccw(i))->info().index;
                    const uint32_t to = f->vertex(triangulation.cw(i))->info().index;
                    const auto it = edgeDirection.find(GetKey(from, to));
                    if (it != edgeDirection.end()) {
                        const int direction = from < to ? it->second : -it->second;
                        step = (direction > 0) - (direction < 0);
                    }
                }
                g->info().winding = f->info().winding - step;
                open.push_back(g);
            }
        }

        for (Triangulation::Face_handle f : triangulation.finite_face_handles()) {
            if (f->info().winding <= 0) continue;
            triangles_.push_back(Triangle{{f->vertex(0)->info().index, f->vertex(1)->info().index, f->vertex(2)->info().index}});
        }
    } catch (const std::exception& error) {
        Log(LogPriority::Error, "TriangulationData: the triangulation failed: %s", error.what());
        triangles_.clear();
        crossingPoints_.clear();
    }
    return static_cast<uint32_t>(triangles_.size());
}

}  // namespace GAME
