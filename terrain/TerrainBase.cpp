#include "terrain/TerrainBase.h"

#include <algorithm>
#include <cmath>

#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/SimplePolygon.h"
#include "core/Vec2.h"
#include "core/WorldVec3.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsSceneRenderer.h"
#include "terrain/TerrainBlock.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRenderInterfaceBase.h"
#include "terrain/TerrainTile.h"
#include "terrain/TerrainType.h"
#include "world/Level.h"
#include "world/PhysicsGrassWind.h"
#include "world/Region.h"

namespace GAME {

namespace {

// The coordinate clamped to [0, last]; NaN reads as 0.
float ClampToGrid(float value, float last) { return value > 0.0f ? std::min(value, last) : 0.0f; }

// The corner indices and the fraction of a clamped coordinate on an axis of count entries.
struct GridSpan {
    uint32_t low;
    uint32_t high;
    float fraction;

    GridSpan(float value, uint32_t count) {
        const float clamped = ClampToGrid(value, float(count - 1));
        low = std::min(uint32_t(clamped), count - 1);
        high = low + 1 < count ? low + 1 : low;
        fraction = clamped - float(low);
    }
};

float Blend(float a, float b, float t) { return a + (b - a) * t; }

float Component(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

uint32_t CeilPowerOfTwo(uint32_t n) {
    uint32_t power = 1;
    while (power < n) power <<= 1;
    return power;
}

}  // namespace

TerrainBase::TerrainBase(TerrainBaseType type, Region* region) : type_(type), region_(region) {}

TerrainBase::~TerrainBase() { DestroySpace(); }

TerrainBase* TerrainBase::GetLevelTerrain(const Level* level) {
    return level != nullptr ? dynamic_cast<TerrainBase*>(level->GetGround()) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The kind's life
// ---------------------------------------------------------------------------------------------

void TerrainBase::Unload() {
    // Tiles belong to their entities and outlive this; leaving the tree clears their links, so
    // removing them later touches no freed node.
    DestroySpace();
    numXSamples_ = 0;
    numYSamples_ = 0;
}

void TerrainBase::AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) {
    TerrainRenderInterfaceBase* renderInterface = GetRenderInterface();
    if (!region_ || !renderInterface) return;
    mem::vector<TerrainObject*> objects;
    GetObjectsInFrustum(objects, &frustum, 1, nullptr);
    objects.erase(std::remove_if(objects.begin(), objects.end(), [](const TerrainObject* o) { return !o->IsReady(); }),
                  objects.end());
    if (objects.empty()) return;
    for (TerrainObject* object : objects) {
        object->Touch();
        object->AddToScene(renderer, *this);
    }
    renderInterface->Update(region_->GetOffsetFromWorld(), objects);
    renderer.AddRenderable(renderInterface, region_);
}

void TerrainBase::PreDeviceReset() {
    if (TerrainRenderInterfaceBase* renderInterface = GetRenderInterface()) renderInterface->ReleaseCellLists();
    mem::vector<TerrainObject*> objects;
    GetAllObjects(objects);
    for (TerrainObject* object : objects) object->PreDeviceReset();
}

void TerrainBase::PostDeviceReset() {
    mem::vector<TerrainObject*> objects;
    GetAllObjects(objects);
    for (TerrainObject* object : objects) object->PostDeviceReset();
}

void TerrainBase::ReloadGenerationDependentData() {
    for (unsigned layer = 0; layer < GetNumTextureLayers(); ++layer) {
        if (TerrainType* type = GetLayerTerrainType(layer)) type->ReloadBumpmaps();
    }
}

// ---------------------------------------------------------------------------------------------
// Heights, normals and opacities
// ---------------------------------------------------------------------------------------------

float TerrainBase::GetHeightInterpolated(float x, float z) const {
    if (numXSamples_ == 0 || numYSamples_ == 0) return 0.0f;
    const GridSpan sx(x, numXSamples_);
    const GridSpan sz(z, numYSamples_);
    const float a = Blend(GetHeight(sx.low, sz.low), GetHeight(sx.high, sz.low), sx.fraction);
    const float b = Blend(GetHeight(sx.low, sz.high), GetHeight(sx.high, sz.high), sx.fraction);
    return Blend(a, b, sz.fraction);
}

Vec3 TerrainBase::GetFastNormal(unsigned x, unsigned z) const {
    if (numXSamples_ == 0 || numYSamples_ == 0) return Vec3(0.0f, 1.0f, 0.0f);
    x = std::min(x, numXSamples_ - 1);
    z = std::min(z, numYSamples_ - 1);
    // At an edge the missing neighbour is the one across, so the difference there is 0.
    float dx = 0.0f;
    if (numXSamples_ > 1) {
        const float left = GetHeight(x > 0 ? x - 1 : x + 1, z);
        const float right = GetHeight(x + 1 < numXSamples_ ? x + 1 : x - 1, z);
        dx = left - right;
    }
    float dz = 0.0f;
    if (numYSamples_ > 1) {
        const float down = GetHeight(x, z > 0 ? z - 1 : z + 1);
        const float up = GetHeight(x, z + 1 < numYSamples_ ? z + 1 : z - 1);
        dz = down - up;
    }
    return Vec3(dx, 2.0f, dz).Unit();
}

Vec3 TerrainBase::GetNormalInterpolated(float x, float z) const {
    if (numXSamples_ == 0 || numYSamples_ == 0) return Vec3(0.0f, 1.0f, 0.0f);
    const GridSpan sx(x, numXSamples_);
    const GridSpan sz(z, numYSamples_);
    const auto blendX = [&](unsigned row) {
        return GetFastNormal(sx.low, row) * (1.0f - sx.fraction) + GetFastNormal(sx.high, row) * sx.fraction;
    };
    return (blendX(sz.low) * (1.0f - sz.fraction) + blendX(sz.high) * sz.fraction).Unit();
}

uint8_t TerrainBase::GetLayerOpacityInterpolated(unsigned layer, float x, float z) const {
    if (numXSamples_ < 2 || numYSamples_ < 2) return 0;
    // Only the cell indices are clamped: the grass samples half a cell before each blade, so just
    // before the first row and column the fractions are negative and extrapolate from the first
    // cell; the result is then clamped.
    const auto span = [](float value, uint32_t cells, uint32_t& low, uint32_t& high) {
        low = uint32_t(TruncateClamped(value, 0, int(cells) - 1));
        high = low + 1 < cells ? low + 1 : low;
        return value - float(low);
    };
    uint32_t x0 = 0, x1 = 0, z0 = 0, z1 = 0;
    const float fx = span(x, numXSamples_ - 1, x0, x1);
    const float fz = span(z, numYSamples_ - 1, z0, z1);
    const float a = Blend(GetLayerOpacity(layer, x0, z0), GetLayerOpacity(layer, x1, z0), fx);
    const float b = Blend(GetLayerOpacity(layer, x0, z1), GetLayerOpacity(layer, x1, z1), fx);
    const float value = Blend(a, b, fz);
    return value > 0.0f ? uint8_t(std::min(value, 255.0f)) : uint8_t(0);
}

void TerrainBase::GetIntersection(const Ray& ray, int x0, int z0, int x1, int z1, Intersection& hit, int& cellX,
                                  int& cellZ) const {
    heightField_.GetIntersection(ray, x0, z0, x1, z1, hit, cellX, cellZ);
}

void TerrainBase::FindCollisions(CollisionBox& box, int x0, int z0, int x1, int z1, PhysicsSurface) const {
    heightField_.FindCollisions(box, x0, z0, x1, z1);
}

int TerrainBase::FindCollisions(const OBBox& box, int x0, int z0, int x1, int z1, CollisionContact* contacts, int max,
                                PhysicsSurface) const {
    return heightField_.FindCollisions(box, x0, z0, x1, z1, contacts, max);
}

void TerrainBase::PreLoadObjects(int priority, const Frustum* frusta, unsigned count) {
    mem::vector<TerrainObject*> objects;
    mem::vector<bool> inFirst;
    GetObjectsInFrustum(objects, frusta, count, &inFirst);
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]->IsLoaded(inFirst[i])) objects[i]->Load(priority, inFirst[i]);
    }
}

void TerrainBase::WriteGroundVertex(float* vertex, unsigned x, unsigned z) const {
    const Vec3 normal = GetFastNormal(x, z);
    const float values[6] = {float(x), GetHeight(x, z), float(z), normal.x, normal.y, normal.z};
    std::copy(values, values + 6, vertex);
}

// ---------------------------------------------------------------------------------------------
// Grass
// ---------------------------------------------------------------------------------------------

void TerrainBase::DisplaceGrass(float x, float z, float radius, float strength) {
    mem::vector<TerrainObject*> objects;
    GetObjectsInBox(objects, ABBox(Vec3(x, 0.0f, z), Vec3(radius, Infinity, radius)));
    for (TerrainObject* object : objects) object->DisplaceGrass(x, z, radius, strength);
}

void TerrainBase::CreateGrassWind(const PhysicsGrassWind& wind) {
    mem::vector<TerrainObject*> objects;
    GetObjectsInBox(objects, ABBox(Vec3(wind.x, 0.0f, wind.z), Vec3(wind.radius, Infinity, wind.radius)));
    for (TerrainObject* object : objects) object->CreateGrassWind(wind);
}

void TerrainBase::RemoveGrassWind() {
    mem::vector<TerrainObject*> objects;
    GetAllObjects(objects);
    for (TerrainObject* object : objects) object->RemoveGrassWind();
}

// ---------------------------------------------------------------------------------------------
// The grid
// ---------------------------------------------------------------------------------------------

RenderDevice* TerrainBase::GetRenderDevice() {
    GraphicsEngine* graphics = gEngine ? gEngine->GetGraphicsEngine() : nullptr;
    return graphics ? graphics->GetRenderDevice() : nullptr;
}

TerrainBlock* TerrainBase::GetBlock(unsigned column, unsigned row) const {
    if (column >= numBlocksX_ || row >= numBlocksY_) return nullptr;
    return &blocks_[size_t(row) * numBlocksX_ + column];
}

LevelGround::Area TerrainBase::GetArea() const {
    if (numXSamples_ == 0 || numYSamples_ == 0) return {};
    return {numXSamples_ - 1, numYSamples_ - 1};
}

ABBox TerrainBase::GetBoundingBox() const {
    // Computed in floats so that an unloaded terrain (no samples) is an empty box, not a huge one.
    const float halfX = numXSamples_ > 0 ? float(numXSamples_ - 1) * 0.5f : 0.0f;
    const float halfZ = numYSamples_ > 0 ? float(numYSamples_ - 1) * 0.5f : 0.0f;
    float centreY = kNoTreeHeight;
    float halfY = kNoTreeHeight;
    if (space_) {
        centreY = space_->GetBoundingBox().centre.y;
        halfY = space_->GetBoundingBox().halfSize.y;
    }
    return ABBox(Vec3(halfX, centreY, halfZ), Vec3(halfX, halfY, halfZ));
}

bool TerrainBase::SetNumSamples(uint32_t numXSamples, uint32_t numYSamples) {
    if (!IsValidSampleCount(numXSamples) || !IsValidSampleCount(numYSamples)) return false;
    numXSamples_ = numXSamples;
    numYSamples_ = numYSamples;
    return true;
}

bool TerrainBase::SetNumXSamples(uint32_t samples) {
    if (!IsValidSampleCount(samples)) return false;
    numXSamples_ = samples;
    return true;
}

bool TerrainBase::SetNumYSamples(uint32_t samples) {
    if (!IsValidSampleCount(samples)) return false;
    numYSamples_ = samples;
    return true;
}

void TerrainBase::InitializeBlocks(bool createMapGeometry) {
    if (createMapGeometry) CreateMapGeometry();
    ConstructBlocks();
}

void TerrainBase::ConstructBlocks() {
    DestroySpace();
    // The number of 9-cell blocks that cover X - 1 cells (0 for a terrain of one sample).
    numBlocksX_ = (numXSamples_ + kBlockCells - 2) / kBlockCells;
    numBlocksY_ = (numYSamples_ + kBlockCells - 2) / kBlockCells;
    blocks_ = std::make_unique<TerrainBlock[]>(size_t(numBlocksX_) * numBlocksY_);
    for (uint32_t row = 0; row < numBlocksY_; ++row) {
        const uint32_t z0 = row * kBlockCells;
        const uint32_t ny = std::min(z0 + kBlockCells, numYSamples_ - 1) - z0 + 1;
        for (uint32_t column = 0; column < numBlocksX_; ++column) {
            const uint32_t x0 = column * kBlockCells;
            const uint32_t nx = std::min(x0 + kBlockCells, numXSamples_ - 1) - x0 + 1;
            GetBlock(column, row)->Initialize(*this, column, row, nx, ny);
        }
    }
    const uint32_t blocks = std::max(numBlocksX_, numBlocksY_);
    const float half = blocks == 0 ? 0.0f : float(kBlockCells) * float(CeilPowerOfTwo(blocks)) * 0.5f;
    space_ = std::make_unique<TerrainSpace>(Vec2(half, half), Vec2(half, half));
    const size_t count = size_t(numBlocksX_) * numBlocksY_;
    for (size_t i = 0; i < count; ++i) space_->AddObject(blocks_[i]);
}

void TerrainBase::DestroyTerrainBlocks() {
    // Every block leaves the tree, built or not, before the array goes.
    const size_t count = size_t(numBlocksX_) * numBlocksY_;
    for (size_t i = 0; i < count; ++i) {
        loadedObjects_.erase(&blocks_[i]);
        RemoveObjectFromSpace(&blocks_[i]);
    }
    DeleteBlocks();
    DestroyMapGeometry();
}

void TerrainBase::DestroySpace() {
    if (space_) {
        mem::vector<TerrainObject*> objects;
        space_->GetAll(objects);
        for (TerrainObject* object : objects) {
            space_->RemoveFromNode(*object);
            // Plugs belong to their terrain; tiles to their entities, which outlive this.
            if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) delete object;
        }
    }
    loadedObjects_.clear();
    DeleteBlocks();
    space_.reset();
}

void TerrainBase::DeleteBlocks() {
    blocks_.reset();
    numBlocksX_ = 0;
    numBlocksY_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------------------------

void TerrainBase::AddObjectToSpace(TerrainObject* object) {
    if (space_ && object) space_->AddObject(*object);
}

void TerrainBase::RemoveObjectFromSpace(TerrainObject* object) {
    if (space_ && object) space_->RemoveFromNode(*object);
}

void TerrainBase::UpdateObjectInSpace(TerrainObject* object) {
    if (space_ && object) space_->UpdateObject(*object);
}

void TerrainBase::AddLoadedObject(TerrainObject* object) {
    if (space_ && object) loadedObjects_.insert(object);
}

bool TerrainBase::IsObjectLoaded(const TerrainObject* object) const {
    return loadedObjects_.count(object) != 0;
}

void TerrainBase::UnloadOldObjects() {
    const uint32_t frame = TerrainObject::GetCurrentFrame();
    for (auto it = loadedObjects_.begin(); it != loadedObjects_.end();) {
        TerrainObject* object = *it;
        if (frame - object->GetLastFrameUsed() >= kIdleFrames) {
            it = loadedObjects_.erase(it);
            object->Unload();
        } else {
            ++it;
        }
    }
}

void TerrainBase::UpdateObjects(const Frustum* frusta, unsigned count, int elapsedMs) {
    mem::vector<TerrainObject*> objects;
    GetObjectsInFrustum(objects, frusta, count, nullptr);
    for (TerrainObject* object : objects) object->Update(*this, elapsedMs);
}

// ---------------------------------------------------------------------------------------------
// Tiles
// ---------------------------------------------------------------------------------------------

TerrainTile* TerrainBase::CreateTile(const Coords& coords, const GraphicsMesh* mesh) {
    auto* tile = new TerrainTile;  // owned by the caller's entity, given back through DestroyTile
    tile->SetTerrain(this);
    tile->SetCoords(coords);
    tile->SetMesh(mesh);
    AddTile(tile);
    return tile;
}

void TerrainBase::DestroyTile(TerrainTile* tile) {
    RemoveTile(tile);
    delete tile;
}

void TerrainBase::MoveTile(TerrainTile* tile, const Coords& coords) {
    RemoveTile(tile);
    tile->SetCoords(coords);
    AddTile(tile);
}

void TerrainBase::AddTile(TerrainTile* tile) {
    if (tile == nullptr) return;
    AddObjectToSpace(tile);
    tile->RefreshLayers();
    tile->SetAttached(!IsTileOverlapping(tile));
    if (tile->GetAttached()) AddTileDirtyRects(tile);
}

void TerrainBase::RemoveTile(TerrainTile* tile) {
    if (tile == nullptr) return;
    // The ground it held is marked while the tile still says where it was.
    if (tile->GetAttached()) AddTileDirtyRects(tile);
    tile->SetAttached(false);
    RemoveObjectFromSpace(tile);
}

bool TerrainBase::IsTileOverlapping(const TerrainTile* tile) const {
    const ABBox box = GetBoundingBox();
    const Vec3 low = box.centre - box.halfSize, high = box.centre + box.halfSize;
    for (int i = 0; i < tile->GetNumContours(); ++i) {
        const SimplePolygon contour = tile->GetContour(i);
        for (size_t k = 0; k < contour.Size(); ++k) {
            const SimplePolygon::Vertex& v = contour[k];
            if (v.x <= low.x + 1.0f || v.z <= low.z + 1.0f || v.x >= high.x - 1.0f || v.z >= high.z - 1.0f)
                return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------------------------

void TerrainBase::GetObjectsInBox(mem::vector<TerrainObject*>& out, const ABBox& box) const {
    if (space_) space_->GetInBox(out, box);
}

void TerrainBase::GetAllObjects(mem::vector<TerrainObject*>& out) const {
    if (space_) space_->GetAll(out);
}

void TerrainBase::GetObjectsInFrustum(mem::vector<TerrainObject*>& out, const Frustum* frusta, unsigned count,
                                      mem::vector<bool>* inFirst) const {
    if (space_) space_->GetInFrustum(out, frusta, count, inFirst);
}

int TerrainBase::FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface surface) const {
    return CollideObjects(ABBox(box), box, contacts, max, surface);
}

int TerrainBase::FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const Region* region,
                                PhysicsSurface surface) const {
    OBBox box;
    if (!entity || !entity->GetCollisionProxy(box)) return 0;
    // The entity's region origin seen from the terrain's region.
    const Vec3 offset =
        region ? region->GetRelativePosition(WorldVec3(entity->GetRegion(), Vec3(0.0f, 0.0f, 0.0f))) : Vec3();
    ABBox query = entity->GetRegionBoundingBox(false);
    query.Translate(offset);
    box.coords.origin += offset;
    return CollideObjects(query, box, contacts, max, surface);
}

int TerrainBase::CollideObjects(const ABBox& query, const OBBox& box, CollisionContact* contacts, int max,
                                PhysicsSurface surface) const {
    if (!space_ || max <= 0) return 0;
    mem::vector<TerrainObject*> objects;
    space_->GetInBox(objects, query);
    int total = 0;
    for (TerrainObject* object : objects) {
        if (total >= max) break;
        total += object->FindCollisions(*this, box, contacts + total, max - total, surface);
    }
    return total;
}

void TerrainBase::FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& bounds, PhysicsSurface surface) const {
    mem::vector<TerrainObject*> objects;
    GetObjectsInBox(objects, bounds);
    for (const TerrainObject* object : objects) object->FindCollisions(*this, boxes, surface);
}

void TerrainBase::GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface surface) const {
    out.distance = Infinity;
    out.surface = PhysicsSurface::None;
    if (space_) space_->Pick(ray, out, surface);
}

bool TerrainBase::IsPointInFace(const IntersectionFace& face, const Vec3& point) {
    return GetLeastFaceWeight(face, point) >= 0.0f;
}

float TerrainBase::GetLeastFaceWeight(const IntersectionFace& face, const Vec3& point) {
    // Work in the two axes the normal leans on least (x wins ties, then y).
    const float nx = std::fabs(face.plane.normal.x), ny = std::fabs(face.plane.normal.y);
    const float nz = std::fabs(face.plane.normal.z);
    int i = 0, j = 1;  // dropping z: (x, y)
    if (nx >= ny && nx >= nz) {
        i = 2;  // dropping x: (z, y)
        j = 1;
    } else if (ny >= nz) {
        i = 2;  // dropping y: (z, x)
        j = 0;
    }
    const float ai = Component(face.a, i), aj = Component(face.a, j);
    const float bi = Component(face.b, i), bj = Component(face.b, j);
    const float ci = Component(face.c, i), cj = Component(face.c, j);
    const float pi = Component(point, i), pj = Component(point, j);
    const float d = (cj - aj) * (bi - ai) - (bj - aj) * (ci - ai);
    if (d == 0.0f) return -Infinity;
    const float u = ((cj - pj) * (bi - pi) - (bj - pj) * (ci - pi)) / d;
    const float v = ((cj - aj) * (pi - ai) - (pj - aj) * (ci - ai)) / d;
    const float w = 1.0f - (u + v);
    // Written so that a NaN weight counts as outside.
    if (!(u >= -Infinity && v >= -Infinity && w >= -Infinity)) return -Infinity;
    return std::min(u, std::min(v, w));
}

float TerrainBase::GetFaceIntersection(const IntersectionFace& face, const Ray& ray) {
    float least = 0.0f;
    const float t = GetFacePlaneIntersection(face, ray, least);
    return least >= 0.0f && MeetsFront(face, ray) ? t : Infinity;
}

bool TerrainBase::MeetsFront(const IntersectionFace& face, const Ray& ray) {
    return Dot(Cross(face.b - face.a, face.b - face.c), ray.direction) >= 0.0f;
}

float TerrainBase::GetFacePlaneIntersection(const IntersectionFace& face, const Ray& ray, float& leastWeight) {
    const float t = face.plane.GetRayDistance(ray);
    leastWeight = t < Infinity ? GetLeastFaceWeight(face, ray.GetPoint(t)) : -Infinity;
    return t;
}

}  // namespace GAME
