#include "terrain/TerrainPlug.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/Intersection.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionTests.h"
#include "terrain/TerrainBase.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainPlug, TerrainObject);

void TerrainPlug::Write(BinaryWriter& writer) const {
    writer.Write(uint32_t(triangles_.size()));
    writer.Write(triangles_.data(), uint32_t(triangles_.size() * sizeof(Triangle)));
    writer.Write(uint32_t(layers_.size()));
    for (const unsigned layer : layers_) writer.Write(uint32_t(layer));
}

bool TerrainPlug::Read(BinaryReader& reader, unsigned numTerrainLayers) {
    triangles_.clear();
    layers_.clear();
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed() || count > kMaxTriangles || uint64_t(count) * sizeof(Triangle) > reader.GetRemaining())
        return false;
    triangles_.resize(count);
    reader.ReadBytes(triangles_.data(), uint32_t(count * sizeof(Triangle)));
    const uint32_t numLayers = reader.ReadUInt32();
    if (reader.Failed() || uint64_t(numLayers) * 4 > reader.GetRemaining()) {
        triangles_.clear();
        return false;
    }
    for (uint32_t i = 0; i < numLayers; ++i) {
        const uint32_t layer = reader.ReadUInt32();
        if (layer < numTerrainLayers) layers_.push_back(layer);
    }
    return true;
}

void TerrainPlug::UpdateBounds() {
    if (triangles_.empty()) {
        SetBoundingBox(ABBox(Vec3(0.1f, 0.1f, 0.1f), Vec3(0.1f, 0.1f, 0.1f)));
        return;
    }
    Vec3 low(Infinity, Infinity, Infinity), high(-Infinity, -Infinity, -Infinity);
    for (const Triangle& triangle : triangles_) {
        for (const Vertex* vertex : {&triangle.a, &triangle.b, &triangle.c}) {
            low = Min(low, vertex->GetPoint());
            high = Max(high, vertex->GetPoint());
        }
    }
    SetBoundingBox(ABBox((low + high) * 0.5f, (high - low) * 0.5f));
}

namespace {

// Exact lexicographic order of stored vertices: position in stored order, then normal.
bool VertexLess(const TerrainPlug::Vertex& a, const TerrainPlug::Vertex& b) {
    float x[6], y[6];
    static_assert(sizeof(x) == sizeof(TerrainPlug::Vertex));
    std::memcpy(x, &a, sizeof(x));
    std::memcpy(y, &b, sizeof(y));
    return std::lexicographical_compare(x, x + 6, y, y + 6);
}

}  // namespace

void TerrainPlug::FindBoundaryEdges() {
    const auto edgeLess = [](const Edge& x, const Edge& y) {
        if (VertexLess(x.from, y.from)) return true;
        if (VertexLess(y.from, x.from)) return false;
        return VertexLess(x.to, y.to);
    };
    std::set<Edge, decltype(edgeLess)> edges(edgeLess);
    for (const Triangle& t : triangles_) {
        edges.insert({t.a, t.b});
        edges.insert({t.b, t.c});
        edges.insert({t.c, t.a});
    }
    boundaryEdges_.clear();
    for (const Triangle& t : triangles_) {
        for (const Edge& edge : {Edge{t.a, t.b}, Edge{t.b, t.c}, Edge{t.c, t.a}}) {
            if (!edges.contains(Edge{edge.to, edge.from})) boundaryEdges_.push_back(edge);
        }
    }
}

void TerrainPlug::GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface) const {
    float best = Infinity;
    for (const Triangle& t : triangles_) {
        const Vec3 a = t.a.GetPoint(), b = t.b.GetPoint(), c = t.c.GetPoint();
        const float distance = IntersectRayTriangle(ray, c, b, a);
        if (!(distance < best)) continue;
        if (Dot(Cross(b - a, b - c), ray.direction) > 0.0f) continue;  // met from behind
        best = distance;
    }
    hit.distance = best;
    hit.surface = PhysicsSurface::None;
    if (best < Infinity) hit.point = ray.GetPoint(best);
}

int TerrainPlug::CollideTriangles(const OBBox& box, CollisionContact* contacts, int max) const {
    int found = 0;
    for (const Triangle& t : triangles_) {
        if (found >= max) break;
        const Vec3 corners[3] = {t.c.GetPoint(), t.b.GetPoint(), t.a.GetPoint()};
        const int count = CollideTriangleOBBox(corners, box, contacts + found, max - found);
        for (int i = found; i < found + count; ++i) contacts[i].entity = nullptr;
        found += count;
    }
    return found;
}

int TerrainPlug::FindCollisions(const TerrainBase&, const OBBox& box, CollisionContact* contacts, int max,
                                PhysicsSurface) const {
    return max > 0 ? CollideTriangles(box, contacts, max) : 0;
}

void TerrainPlug::FindCollisions(const TerrainBase&, mem::vector<CollisionBox>& boxes, PhysicsSurface) const {
    constexpr int kTriangleContacts = 8;
    for (CollisionBox& box : boxes) {
        if (!ABBox::Overlap(box.GetABBox(), GetBoundingBox())) continue;
        for (const Triangle& t : triangles_) {
            const Vec3 corners[3] = {t.c.GetPoint(), t.b.GetPoint(), t.a.GetPoint()};
            CollisionContact found[kTriangleContacts];
            const int count = CollideTriangleOBBox(corners, box.GetOBBox(), found, kTriangleContacts);
            for (int i = 0; i < count; ++i) {
                found[i].entity = nullptr;
                box.AddContact(found[i]);
            }
        }
    }
}

void TerrainPlug::RefreshLayers() {
    if (terrain_) terrain_->GetLayersInBox(layers_, GetBoundingBox());
}

}  // namespace GAME
