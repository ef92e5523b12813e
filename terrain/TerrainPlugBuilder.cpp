// The editable terrain's plug builder: the seams the rebuild closes between visible ground and
// the hidden samples under the meshes cut into it.

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "core/SimplePolygon.h"
#include "pathing/TriangulationData.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainTile.h"

namespace GAME {

DirtyRect Terrain::GetRectForBox(const ABBox& box) const {
    const Vec3 low = box.centre - box.halfSize, high = box.centre + box.halfSize;
    int x0 = int(low.x - 0.5f - 1.0f), z0 = int(low.z - 0.5f - 1.0f);
    int width = int(high.x + 0.5f - float(x0) + 2.0f), height = int(high.z + 0.5f - float(z0) + 2.0f);
    x0 = std::max(x0, 0);
    z0 = std::max(z0, 0);
    const int numX = int(GetNumXSamples()), numZ = int(GetNumYSamples());
    if (x0 + width >= numX) width = numX - x0 - 1;
    if (z0 + height >= numZ) height = numZ - z0 - 1;
    return DirtyRect(x0, z0, std::max(width, 0), std::max(height, 0));
}

void Terrain::BuildPlugs(const DirtyRectSet& samples) {
    if (GetNumBlocksX() == 0) return;  // no cells, and no tree to hold plugs
    // An outline point at a sample; the far ends of outline segments may lie one past the grid,
    // where the nearest sample stands in.
    const auto point = [this](int x, int z) {
        TriangulationData::Point p;
        p.x = float(x);
        p.z = float(z);
        const unsigned sx = unsigned(std::clamp(x, 0, int(GetNumXSamples()) - 1));
        const unsigned sz = unsigned(std::clamp(z, 0, int(GetNumYSamples()) - 1));
        p.height = GetHeight(sx, sz);
        p.normal = GetFastNormal(sx, sz);
        return p;
    };

    TriangulationData data;
    data.SetSnapTolerance(kPlugSnapTolerance);
    // The boundary between hidden and visible samples, with the hidden side on the left.
    for (int r = 0; r < samples.GetNumRects(); ++r) {
        const DirtyRect& rect = samples.GetRect(r);
        for (int j = rect.top; j < rect.top + rect.height; ++j) {
            for (int i = rect.left - 1; i < rect.left + rect.width - 1; ++i) {
                const bool here = IsInvisible(i, j), next = IsInvisible(i + 1, j);
                if (here == next) continue;
                if (next)
                    data.AddSegment(point(i + 1, j + 1), point(i + 1, j));
                else
                    data.AddSegment(point(i + 1, j), point(i + 1, j + 1));
            }
        }
        for (int j = rect.top - 1; j < rect.top + rect.height - 1; ++j) {
            for (int i = rect.left; i < rect.left + rect.width; ++i) {
                const bool here = IsInvisible(i, j), next = IsInvisible(i, j + 1);
                if (here == next) continue;
                if (next)
                    data.AddSegment(point(i, j + 1), point(i + 1, j + 1));
                else
                    data.AddSegment(point(i + 1, j + 1), point(i, j + 1));
            }
        }
    }
    // The attached tiles close the hidden ground from inside: their contours run with the tile's
    // outside on the left, so the seam between them and the visible ground is what gets filled.
    mem::vector<TerrainObject*> objects;
    GetObjectsInDirtySet(objects, samples, 0.0f);
    for (const TerrainObject* object : objects) {
        const TerrainTile* tile = AttachedTile(object);
        if (tile == nullptr) continue;
        for (int c = 0; c < tile->GetNumContours(); ++c) {
            const SimplePolygon contour = tile->GetContour(c);
            const auto corner = [&contour](size_t k) {
                const SimplePolygon::Vertex& v = contour[k];
                return TriangulationData::Point{v.x, v.z, v.height, Vec3(v.extra[0], v.extra[1], v.extra[2])};
            };
            for (size_t k = 0; k < contour.Size(); ++k) data.AddSegment(corner(k), corner((k + 1) % contour.Size()));
        }
    }
    // The plugs next to the set already fill their part: their open edges, reversed, cancel the
    // outline along them or close it against them.
    const auto toPoint = [](const TerrainPlug::Vertex& v) {
        return TriangulationData::Point{v.position[0], v.position[1], v.position[2],
                                        Vec3(v.normal[0], v.normal[1], v.normal[2])};
    };
    for (const TerrainObject* object : objects) {
        if (!object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) continue;
        for (const TerrainPlug::Edge& edge : static_cast<const TerrainPlug*>(object)->GetBoundaryEdges())
            data.ToggleSegment(toPoint(edge.to), toPoint(edge.from));
    }
    if (data.Triangulate() == 0) return;

    float minX = Infinity, minZ = Infinity;
    for (const TriangulationData::Triangle& triangle : data.GetTriangles()) {
        for (const uint32_t index : triangle.index) {
            minX = std::min(minX, data.GetPoint(index).x);
            minZ = std::min(minZ, data.GetPoint(index).z);
        }
    }
    const float originX = std::floor(minX / kPlugBucketSize) * kPlugBucketSize;
    const float originZ = std::floor(minZ / kPlugBucketSize) * kPlugBucketSize;
    // Buckets by (column, row) of the triangle's first corner, in a fixed order so that the same
    // outline always gives the same plugs.
    std::map<std::pair<int, int>, TerrainPlug*> plugs;
    for (const TriangulationData::Triangle& triangle : data.GetTriangles()) {
        const TriangulationData::Point& first = data.GetPoint(triangle.index[0]);
        const std::pair<int, int> bucket(int((first.x - originX) / kPlugBucketSize),
                                         int((first.z - originZ) / kPlugBucketSize));
        TerrainPlug*& plug = plugs[bucket];
        if (!plug) {
            plug = new TerrainPlug;  // owned by the terrain from here on (Unload, the next rebuild)
            plug->SetTerrain(this);
        }
        TerrainPlug::Vertex corners[3];
        for (int k = 0; k < 3; ++k) {
            const TriangulationData::Point& p = data.GetPoint(triangle.index[k]);
            corners[k] = {{p.x, p.z, p.height}, {p.normal.x, p.normal.y, p.normal.z}};
        }
        plug->AddTriangle({corners[0], corners[1], corners[2]});
    }
    for (const auto& [bucket, plug] : plugs) {
        plug->FindBoundaryEdges();
        plug->UpdateBounds();
        plug->CreateRenderData();
        AddObjectToSpace(plug);
        plug->RefreshLayers();
    }
}

}  // namespace GAME
