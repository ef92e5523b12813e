#include "terrain/TerrainTile.h"

#include "core/Intersection.h"
#include "core/Log.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/SimplePolygon.h"
#include "engine/Engine.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsShader2.h"
#include "scene/RenderablePass.h"
#include "scene/GraphicsMesh.h"
#include "terrain/TerrainBase.h"

namespace GAME {

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TerrainTile, TerrainObject);

TerrainTile::TerrainTile() { UpdateBounds(); }

TerrainTile::~TerrainTile() = default;

void TerrainTile::SetCoords(const Coords& coords) {
    coords_ = coords;
    UpdateBounds();
}

void TerrainTile::SetMesh(const GraphicsMesh* mesh) {
    mesh_ = mesh;
    UpdateBounds();
}

void TerrainTile::UpdateBounds() {
    if (mesh_ == nullptr) {
        SetBoundingBox(ABBox(coords_.origin, Vec3()));
        return;
    }
    const ABBox& box = mesh_->GetBoundingBox();
    SetBoundingBox(ABBox(OBBox(box.halfSize, coords_ * Coords::Translation(box.centre))));
}

int TerrainTile::GetNumContours() const { return mesh_ != nullptr ? mesh_->GetNumContours() : 0; }

SimplePolygon TerrainTile::GetContour(int index) const {
    const GraphicsMesh::Contour& contour = mesh_->GetContour(index);
    mem::vector<SimplePolygon::Vertex> vertices(contour.points.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        const Vec3 position = coords_.TransformPoint(contour.points[i].position);
        const Vec3 normal = coords_.TransformVector(contour.points[i].normal);
        vertices[i] = {position.x, position.z, position.y, {normal.x, normal.y, normal.z}};
    }
    return SimplePolygon(std::move(vertices));
}

void TerrainTile::GetIntersection(const Ray& ray, Intersection& hit, PhysicsSurface surface) const {
    hit.distance = Infinity;
    const PhysicsMesh* physics = mesh_ != nullptr ? mesh_->GetPhysicsMesh() : nullptr;
    if (physics == nullptr) return;
    // The placement is rigid, so distances along the ray are the same in the mesh's space.
    const Coords toMesh = coords_.Inverse();
    physics->GetIntersection(Ray(toMesh.TransformPoint(ray.origin), toMesh.TransformVector(ray.direction)), hit,
                             surface);
    if (hit.distance < Infinity) hit.point = ray.GetPoint(hit.distance);
}

void TerrainTile::Load(int priority, bool preLoad) {
    TerrainObject::Load(priority, preLoad);
    ResourceLoader* loader = gEngine != nullptr ? gEngine->GetResourceLoader() : nullptr;
    // The priority the terrain hands down is the frame's elapsed time, not a queue: the mesh always
    // waits in the normal one, and a loaded mesh counts as used.
    if (loader != nullptr) loader->EnqueueResource(mesh_, ResourcePriority::Normal, preLoad, true);
}

void TerrainTile::RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                             const GraphicsSceneRenderer& renderer) const {
    if (mesh_ == nullptr || !BeginLayerPass(pass, style, renderer, coords_)) return;
    pass.shader->Render("TerrainTile");
    mesh_->RenderBlendedFaces(canvas.GetRenderDevice(), *pass.shader);
    pass.shader->End();
}

void TerrainTile::LogInfo() const {
    Log(LogPriority::Info, "TerrainTile:");
    if (mesh_ == nullptr)
        Log(LogPriority::Info, "   mesh: NULL");
    else
        mesh_->LogInfo();
    Log(LogPriority::Info, "   attached: %u", unsigned(attached_));
    Log(LogPriority::Info, "   maxDistance: %f", double(maxDistance_));
    Log(LogPriority::Info, "   coords origin: (%f, %f, %f)", double(coords_.origin.x), double(coords_.origin.y),
        double(coords_.origin.z));
    Log(LogPriority::Info, "   numLayers: %u", unsigned(GetLayers().size()));
    LogObjectState();
}

}  // namespace GAME
