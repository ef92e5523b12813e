#include "terrain/TerrainObject.h"

#include "core/Intersection.h"
#include "core/Log.h"
#include "engine/Engine.h"

namespace GAME {

RTTI_ClassInfo TerrainObject::classInfo("TerrainObject", nullptr, nullptr);

TerrainObject::TerrainObject() : lastFrameUsed_(GetCurrentFrame()) {}

TerrainObject::~TerrainObject() = default;

void TerrainObject::Update(const TerrainBase&, int) {}

void TerrainObject::AddToScene(GraphicsSceneRenderer&, const TerrainBase&) {}

void TerrainObject::Unload() { preLoaded_ = NotLoaded; }

void TerrainObject::Load(int, bool preLoad) { preLoaded_ = preLoad ? PreLoaded : Loaded; }

int TerrainObject::FindCollisions(const TerrainBase&, const OBBox&, CollisionContact*, int, PhysicsSurface) const {
    return 0;
}

void TerrainObject::FindCollisions(const TerrainBase&, mem::vector<CollisionBox>&, PhysicsSurface) const {}

void TerrainObject::GetIntersection(const Ray&, Intersection& hit, PhysicsSurface) const {
    hit.distance = Infinity;
    hit.surface = PhysicsSurface::None;
}

void TerrainObject::Invalidate() {}

void TerrainObject::LogObjectState() const {
    Log(LogPriority::Info, "   bounds origin: (%f, %f, %f)", double(bounds_.centre.x), double(bounds_.centre.y),
        double(bounds_.centre.z));
    Log(LogPriority::Info, "   bounds extents: (%f, %f, %f)", double(bounds_.halfSize.x), double(bounds_.halfSize.y),
        double(bounds_.halfSize.z));
    Log(LogPriority::Info, "   lastFrameUsed: %u", lastFrameUsed_);
    Log(LogPriority::Info, "   preLoaded: %u", unsigned(preLoaded_));
}

void TerrainObject::RefreshLayers() {}

void TerrainObject::DisplaceGrass(float, float, float, float) {}

void TerrainObject::CreateGrassWind(const PhysicsGrassWind&) {}

void TerrainObject::RemoveGrassWind() {}

void TerrainObject::PreDeviceReset() {}

void TerrainObject::PostDeviceReset() {}

uint32_t TerrainObject::GetCurrentFrame() { return gEngine ? gEngine->GetFrameCount() : 0; }

}  // namespace GAME
