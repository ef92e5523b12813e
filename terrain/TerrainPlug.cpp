#include "terrain/TerrainPlug.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/Intersection.h"
#include "core/Log.h"
#include "core/Thread.h"
#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Ray.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionTests.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"
#include "scene/RenderablePass.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainRenderInterfaceBase.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainPlug, TerrainObject);

void TerrainPlug::Write(BinaryWriter& writer) const {
    writer.Write(uint32_t(triangles_.size()));
    writer.Write(triangles_.data(), uint32_t(triangles_.size() * sizeof(Triangle)));
    writer.Write(uint32_t(GetLayers().size()));
    for (const unsigned layer : GetLayers()) writer.Write(uint32_t(layer));
}

bool TerrainPlug::Read(BinaryReader& reader, unsigned numTerrainLayers) {
    triangles_.clear();
    SetLayers({});
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
    mem::vector<unsigned> layers;
    for (uint32_t i = 0; i < numLayers; ++i) {
        const uint32_t layer = reader.ReadUInt32();
        if (layer < numTerrainLayers) layers.push_back(layer);
    }
    SetLayers(layers);
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

// ---------------------------------------------------------------------------------------------
// Render data
// ---------------------------------------------------------------------------------------------

TerrainPlug::~TerrainPlug() { ReleaseRenderData(); }

void TerrainPlug::ReleaseRenderData() {
    RenderDevice* device = TerrainBase::GetRenderDevice();
    if (device == nullptr) return;
    if (vertexBuffer_ != nullptr) device->DestroyVertexBuffer(vertexBuffer_);
    if (indexBuffer_ != nullptr) device->DestroyIndexBuffer(indexBuffer_);
    if (vertexDeclaration_ != nullptr) device->DestroyVertexDeclaration(vertexDeclaration_);
}

void TerrainPlug::CreateRenderData() {
    ReleaseRenderData();
    triangleCount_ = uint32_t(triangles_.size());
    vertexCount_ = 3 * triangleCount_;
    RenderDevice* device = TerrainBase::GetRenderDevice();
    if (triangles_.empty()) {
        SetBoundingBox(ABBox(Vec3(0.1f, 0.1f, 0.1f), Vec3(0.1f, 0.1f, 0.1f)));
        return;
    }
    UpdateBounds();
    if (device == nullptr) return;
    const RenderVertexElement elements[2] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Normal, RenderVertexElementType::Float3},
    };
    vertexDeclaration_ = device->CreateVertexDeclaration(elements, 2);
    vertexBuffer_ = device->CreateVertexBuffer(0, vertexCount_ * TerrainBase::kGroundVertexSize);
    indexBuffer_ = device->CreateIndexBuffer(vertexCount_, RenderIndexFormat::Index16);
    auto* vertices = vertexBuffer_ != nullptr ? static_cast<float*>(vertexBuffer_->Lock()) : nullptr;
    auto* indices = indexBuffer_ != nullptr ? static_cast<uint16_t*>(indexBuffer_->Lock()) : nullptr;
    if (vertexDeclaration_ == nullptr || vertices == nullptr || indices == nullptr) {
        Log(LogPriority::Error, "TerrainPlug: couldn't make the render data of %u triangles", triangleCount_);
        if (vertices != nullptr) vertexBuffer_->Unlock();
        if (indices != nullptr) indexBuffer_->Unlock();
        ReleaseRenderData();
        return;
    }
    for (const Triangle& t : triangles_) {
        for (const Vertex* v : {&t.a, &t.b, &t.c}) {
            const Vec3 p = v->GetPoint();
            const float vertex[6] = {p.x, p.y, p.z, v->normal[0], v->normal[1], v->normal[2]};
            std::memcpy(vertices, vertex, sizeof(vertex));
            vertices += 6;
        }
    }
    for (uint32_t i = 0; i < vertexCount_; ++i) indices[i] = uint16_t(i);
    vertexBuffer_->Unlock();
    indexBuffer_->Unlock();
    // The run-time terrain makes its plugs on the level loading thread; it leaves the main thread
    // room between them.
    Thread::YieldAfterSlice();
}

void TerrainPlug::PreDeviceReset() { ReleaseRenderData(); }

void TerrainPlug::AddToScene(GraphicsSceneRenderer& renderer, const TerrainBase& terrain) {
    if (terrain.DrawsPlugs()) TerrainLayeredObject::AddToScene(renderer, terrain);
}

void TerrainPlug::PostDeviceReset() { CreateRenderData(); }

void TerrainPlug::RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                             const GraphicsSceneRenderer& renderer) const {
    const TerrainRenderInterfaceBase* ground = GetTerrain() != nullptr ? GetTerrain()->GetRenderInterface() : nullptr;
    if (ground == nullptr || ground->GetGroundVertexDeclaration() == nullptr || !HasRenderData() ||
        !BeginLayerPass(pass, style, renderer, Coords())) {
        return;
    }
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetIndices(indexBuffer_);
    device.SetStreamSource(0, vertexBuffer_, 0, TerrainBase::kGroundVertexSize);
    device.SetVertexDeclaration(vertexDeclaration_);
    pass.shader->Render("TerrainPlug");
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, vertexCount_, triangleCount_, 0, 0);
    pass.shader->End();
}

void TerrainPlug::LogInfo() const {
    Log(LogPriority::Info, "TerrainPlug:");
    Log(LogPriority::Info, "   terrain: %p", static_cast<const void*>(GetTerrain()));
    Log(LogPriority::Info, "   node: %p", GetSpaceNode());
    Log(LogPriority::Info, "   numVertices: %u", vertexCount_);
    Log(LogPriority::Info, "   numFaces: %u", uint32_t(triangles_.size()));
    Log(LogPriority::Info, "   numTriangles: %u", triangleCount_);
    Log(LogPriority::Info, "   numLayers: %u", uint32_t(GetLayers().size()));
    Log(LogPriority::Info, "   vertexBuffer: %p", static_cast<const void*>(vertexBuffer_));
    Log(LogPriority::Info, "   indexBuffer: %p", static_cast<const void*>(indexBuffer_));
    LogObjectState();
}

}  // namespace GAME
