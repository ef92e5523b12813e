#include "terrain/Water.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Intersection.h"
#include "core/Log.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "core/WorldCoords.h"
#include "effects/EffectEntity.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/Options.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsSceneRenderer.h"
#include "world/Region.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/LoadTable.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "render/RenderDevice.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "terrain/WaterWaveSet.h"

namespace GAME {

// -- Slot tables ----------------------------------------------------------------------------------

template <class T, size_t N>
unsigned Water::SlotTable<T, N>::FindFree() const {
    for (unsigned slot = 0; slot < N; ++slot) {
        if (!slots[slot]) return slot;
    }
    return unsigned(N);
}

template <class T, size_t N>
void Water::SlotTable<T, N>::Put(unsigned slot, std::unique_ptr<T> object) {
    slots[slot] = std::move(object);
    count = std::max(count, slot + 1);
}

template <class T, size_t N>
std::unique_ptr<T> Water::SlotTable<T, N>::Take(const T* object) {
    for (unsigned slot = 0; slot < count; ++slot) {
        if (slots[slot].get() != object) continue;
        if (slot + 1 == count) --count;
        return std::move(slots[slot]);
    }
    return nullptr;
}

template <class T, size_t N>
void Water::SlotTable<T, N>::Clear() {
    for (std::unique_ptr<T>& slot : slots) slot.reset();
    count = 0;
}

// -- Lifetime -------------------------------------------------------------------------------------

Water::~Water() { ReleaseAll(); }

void Water::ReleaseAll() {
    layers_.Clear();
    paths_.Clear();
    waveSets_.Clear();
    tree_.reset();
    ReleaseIndexBuffers();
    ripples_.Destroy();
    UnloadTextures();
    renderInterface_.Destroy();
}

void Water::LoadTextures() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (!graphics) return;
    waterShader_ = graphics->LoadShader2(kWaterShader);
    wavesShader_ = graphics->LoadShader2(kWavesShader);
    for (int i = 0; i < 3; ++i) wavesTextures_[i] = graphics->LoadTexture(kWavesTextures[i]);
}

void Water::UnloadTextures() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (graphics) {
        for (const GraphicsShader2* shader : {waterShader_, wavesShader_}) {
            if (shader) graphics->UnloadShader2(shader);
        }
        for (const GraphicsTexture* texture : wavesTextures_) {
            if (texture) graphics->UnloadTexture(texture);
        }
    }
    waterShader_ = wavesShader_ = nullptr;
    for (const GraphicsTexture*& texture : wavesTextures_) texture = nullptr;
}

const Name& Water::GetWavesStyle(int i) {
    static const Name blend = Name::Create("blendStyle");
    static const Name bump = Name::Create("bumpStyle");
    return i == 1 ? bump : blend;
}

void Water::GetBlocksInFrustum(mem::vector<WaterElement*>& out, const Frustum* frusta, unsigned count) const {
    if (tree_) tree_->GetInFrustum(out, frusta, count);
}

void Water::AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) {
    if (!region_ || !renderer.IsRenderFlagSet(GraphicsSceneRenderer::kWater)) return;
    UpdateWaterTypes();
    if (!renderInterface_.Update(region_->GetOffsetFromWorld(), frustum)) return;
    renderer.AddRenderable(&renderInterface_, region_);
    const Options* options = gEngine ? gEngine->GetOptions() : nullptr;
    if (options && options->GetBool(Options::BoolName::detailObjects)) renderer.AddRenderable(&ripples_, region_);
}

void Water::AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region, const Frustum& frustum) {
    ResetReflectionSurfaces();
    if (frustum.GetNumPlanes() == 0) return;
    mem::vector<WaterElement*> elements;
    GetBlocksInFrustum(elements, &frustum, 1);
    mem::vector<const GraphicsReflectionPlane*> met;
    for (const WaterElement* element : elements) {
        GraphicsReflectionPlane* plane = element->GetReflectionPlane();
        if (!plane) continue;
        if (std::find(met.begin(), met.end(), plane) == met.end()) {
            met.push_back(plane);
            plane->region = region;
            manager.AddReflectionPlane(*plane);
        }
        manager.UpdatePlaneElementBounds(plane, element->GetBoundingBox());
    }
}

void Water::ResetReflectionSurfaces() {
    for (unsigned i = 0; i < layers_.count; ++i) {
        if (layers_.slots[i]) layers_.slots[i]->ResetReflectionSurface();
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (paths_.slots[i]) paths_.slots[i]->ResetReflectionSurface();
    }
}

void Water::Initialize(unsigned width, unsigned depth, const LevelGround* ground, RenderDevice* device) {
    ReleaseAll();  // through the device that made it
    ground_ = ground;
    device_ = device;
    if (!device_) return;
    MakeGrid(width, depth);
    CreateIndexBuffers();
    renderInterface_.Initialize(*device_);
    ripples_.Initialize(*device_);
    LoadInteraction();
    LoadTextures();
}

void Water::InitializeWithoutDevice(unsigned width, unsigned depth, const LevelGround* ground) {
    ReleaseAll();
    ground_ = ground;
    device_ = nullptr;
    MakeGrid(width, depth);
}

void Water::MakeGrid(unsigned width, unsigned depth) {
    width_ = width;
    depth_ = depth;
    blocksX_ = (width + 8) / 9;
    blocksZ_ = (depth + 8) / 9;
    const float half = float(std::max(width, depth)) * 0.5f;
    tree_ = std::make_unique<WaterSpace>(Vec2(float(width) * 0.5f, float(depth) * 0.5f), Vec2(half, half));
}

void Water::CreateIndexBuffers() {
    ReleaseIndexBuffers();
    blockIndices_ = device_->CreateIndexBuffer(kBlockIndices, RenderIndexFormat::Index16);
    if (auto* indices = blockIndices_ ? static_cast<uint16_t*>(blockIndices_->Lock()) : nullptr) {
        // Rows of 10 vertices (a block's grid, a path's rows) as one strip: each band between
        // two rows pairs a vertex of the far row with the one of the near row, every other band
        // walking back. Walking back makes the triangles joining bands degenerate (three vertices
        // on one edge column); running every band forward would join the last vertex of a row
        // to the first of the row after next with a sliver across the next band. A band walking
        // back takes its pairs near row first, so that all its triangles face as the first
        // band's, (v + 10, v, v + 11).
        for (uint32_t pair = 0; pair < kBlockIndices / 2; ++pair) {
            const uint32_t band = pair / 10;
            const bool forward = band % 2 == 0;
            const uint32_t column = forward ? pair % 10 : 9 - pair % 10;
            const uint16_t nearRow = uint16_t(band * 10 + column), farRow = uint16_t(nearRow + 10);
            indices[2 * pair] = forward ? farRow : nearRow;
            indices[2 * pair + 1] = forward ? nearRow : farRow;
        }
        blockIndices_->Unlock();
    } else {
        Log(LogPriority::Warning, "Unable to create index Buffer for water.");
    }
    wavesIndices_ = device_->CreateIndexBuffer(WaterWaveSegment::kNumIndices, RenderIndexFormat::Index16);
    if (auto* indices = wavesIndices_ ? static_cast<uint16_t*>(wavesIndices_->Lock()) : nullptr) {
        uint16_t pattern[WaterWaveSegment::kNumIndices];
        WaterWaveSegment::WriteIndexPattern(pattern);
        std::memcpy(indices, pattern, sizeof pattern);
        wavesIndices_->Unlock();
    } else {
        Log(LogPriority::Warning, "Unable to create index buffer for waves.");
    }
}

void Water::ReleaseIndexBuffers() {
    for (RenderIndexBuffer** buffer : {&blockIndices_, &wavesIndices_}) {
        if (*buffer && device_) device_->DestroyIndexBuffer(*buffer);
        *buffer = nullptr;
    }
}

void Water::LoadInteraction() {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    if (!objects) return;
    const LoadTable& table = objects->GetLoadTable(kInteractionRecord);
    const char* keys[3] = {"WakeSplashEffect", "ObjectSplashEffect", "BodySplashEffect"};
    for (int i = 0; i < 3; ++i) splashEffects_[i] = table.GetValue(keys[i], "");
}

const std::string& Water::GetSplashEffect(SplashType kind) const {
    static const std::string none;
    const int i = int(kind) - 1;
    return i >= 0 && i < 3 ? splashEffects_[i] : none;
}

// -- The water block ------------------------------------------------------------------------------

bool Water::Load(BinaryReader& reader) {
    if (!tree_) return false;
    if (reader.ReadUInt32() != kMagic) {
        Log(LogPriority::Error, "Invalid water data, water will not be loaded.");
        return false;
    }
    const uint32_t version = reader.ReadUInt32();
    if (version != kVersion) {
        Log(LogPriority::Warning, "Warning water data is version %u, current version is %u, please rebuild the map.",
            version, kVersion);
    }
    const uint32_t numTypes = reader.ReadUInt32();
    const uint32_t numLayers = reader.ReadUInt32();
    const uint32_t numPaths = reader.ReadUInt32();
    const uint32_t numWaveSets = version >= 2 ? reader.ReadUInt32() : 0;
    if (reader.Failed() || numLayers > kMaxLayers || numPaths > kMaxPaths || numWaveSets > kMaxWaveSets) {
        Log(LogPriority::Error, "Water data is cut short or counts more water than a level holds; water will not be loaded.");
        return false;
    }

    mem::vector<WaterType*> loadedTypes;
    bool whole = true;
    for (uint32_t i = 0; i < numTypes && whole; ++i) {
        WaterType type;
        type.Load(reader);
        whole = !reader.Failed();
        if (whole) {
            if (WaterType* added = WaterTypeManager::Get().AddWaterType(type)) loadedTypes.push_back(added);
        }
    }
    // Each kind of record into its table: slot i for record i, empty where the record failed.
    const auto readRecords = [&](auto& table, uint32_t count, const char* message, auto make) {
        for (uint32_t i = 0; i < count && whole; ++i) {
            auto object = make(i);
            const bool loaded = object->Load(reader, version);
            whole = !reader.Failed();
            if (loaded && whole) {
                table.Put(i, std::move(object));
            } else if (whole) {
                Log(LogPriority::Error, message, i);
            }
        }
    };
    readRecords(layers_, numLayers, "Failed to load water layer %u.", [&](uint32_t i) {
        auto layer = std::make_unique<WaterLayer>(i, blocksX_, blocksZ_, kBlockSize, *tree_, device_, this);
        layer->SetGround(ground_);
        return layer;
    });
    readRecords(paths_, numPaths, "Failed to load water path %u.", [&](uint32_t i) {
        auto path = std::make_unique<WaterPath>(i, *tree_, device_, this);
        path->SetGround(ground_);
        return path;
    });
    readRecords(waveSets_, numWaveSets, "Failed to load water wave set %u.",
                [&](uint32_t i) { return std::make_unique<WaterWaveSet>(i, *tree_, device_, this); });
    for (WaterType* type : loadedTypes) WaterTypeManager::Get().ReleaseWaterType(type);
    if (!whole) {
        Log(LogPriority::Error, "Water data is cut short; water will not be loaded.");
        layers_.Clear();
        paths_.Clear();
        waveSets_.Clear();
        return false;
    }
    return true;
}

void Water::Save(BinaryWriter& writer) {
    Cleanup();
    uint32_t numLayers = 0, numPaths = 0, numWaveSets = 0;
    mem::vector<const WaterType*> types;
    for (unsigned i = 0; i < layers_.count; ++i) {
        const WaterLayer* layer = layers_.slots[i].get();
        if (!layer) continue;
        numLayers += layer->GetNumBlocks() > 0 ? 1 : 0;
        if (layer->GetWaterType()) types.push_back(layer->GetWaterType());
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        const WaterPath* path = paths_.slots[i].get();
        if (!path) continue;
        numPaths += path->GetNumControlPoints() > 1 ? 1 : 0;
        if (path->GetWaterType()) types.push_back(path->GetWaterType());
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        const WaterWaveSet* waves = waveSets_.slots[i].get();
        numWaveSets += waves && waves->GetNumControlPoints() > 1 ? 1 : 0;
    }
    writer.Write(kMagic);
    writer.Write(kVersion);
    writer.Write(uint32_t(types.size()));
    writer.Write(numLayers);
    writer.Write(numPaths);
    writer.Write(numWaveSets);
    for (const WaterType* type : types) type->Save(writer);
    for (unsigned i = 0; i < layers_.count; ++i) {
        const WaterLayer* layer = layers_.slots[i].get();
        if (layer && layer->GetNumBlocks() > 0) layer->Save(writer);
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        const WaterPath* path = paths_.slots[i].get();
        if (path && path->GetNumControlPoints() > 1) path->Save(writer);
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        const WaterWaveSet* waves = waveSets_.slots[i].get();
        if (waves && waves->GetNumControlPoints() > 1) waves->Save(writer);
    }
}

// -- Frame ----------------------------------------------------------------------------------------

void Water::Update(int elapsedMs) {
    if (elapsedMs <= 0) return;
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        if (waveSets_.slots[i]) waveSets_.slots[i]->UpdateWaves(elapsedMs);
    }
    ripples_.Update(elapsedMs);
}

void Water::UpdateWaterTypes() {
    for (unsigned i = 0; i < layers_.count; ++i) {
        if (layers_.slots[i]) layers_.slots[i]->UpdateWaterType();
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (paths_.slots[i]) paths_.slots[i]->UpdateWaterType();
    }
}

// -- Queries --------------------------------------------------------------------------------------

Water::SurfaceHit Water::CastRay(const Ray& ray) const {
    SurfaceHit hit;
    for (unsigned i = 0; i < layers_.count; ++i) {
        const WaterLayer* layer = layers_.slots[i].get();
        if (!layer) continue;
        const float distance = layer->RayIntersection(ray, hit.distance);
        if (distance < hit.distance) hit = SurfaceHit{distance, layer, nullptr, 0, 0.0f};
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        const WaterPath* path = paths_.slots[i].get();
        if (!path) continue;
        unsigned segment = 0;
        float t = 0.0f;
        const float distance = path->RayIntersection(ray, hit.distance, segment, t);
        if (distance < hit.distance) hit = SurfaceHit{distance, nullptr, path, segment, t};
    }
    return hit;
}

bool Water::GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface excluded) const {
    out.distance = Infinity;
    out.point = Vec3();
    if (excluded == PhysicsSurface::Water || excluded == PhysicsSurface::Unwalkable) return false;
    const SurfaceHit hit = CastRay(ray);
    if (!std::isfinite(hit.distance)) return false;
    out.distance = hit.distance;
    out.point = ray.GetPoint(hit.distance);
    out.surface = PhysicsSurface::Water;
    out.entity = nullptr;
    return true;
}

bool Water::GetWaterPointInfo(const Vec3& p, Vec3& surfacePoint, Vec3& velocity) const {
    surfacePoint = Vec3();
    velocity = Vec3();
    const SurfaceHit hit = CastRay(Ray{p, Vec3(0.0f, 1.0f, 0.0f)});
    if (!std::isfinite(hit.distance)) return false;
    surfacePoint = p + Vec3(0.0f, hit.distance, 0.0f);
    if (hit.layer) hit.layer->CalcSurfaceVelocity(velocity);
    if (hit.path) hit.path->CalcSurfaceVelocity(hit.segment, hit.t, velocity);
    return true;
}

int Water::FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const {
    if (!contacts || max < 1 || excluded == PhysicsSurface::Water || excluded == PhysicsSurface::Unwalkable) return 0;
    const ABBox bounds(box);
    const Ray up{bounds.centre - Vec3(0.0f, bounds.halfSize.y, 0.0f), Vec3(0.0f, 1.0f, 0.0f)};
    Intersection hit;
    if (!GetIntersection(up, hit, PhysicsSurface::None)) return 0;
    if (hit.distance >= 2.0f * bounds.halfSize.y) return 0;
    contacts[0] = CollisionContact{hit.point, Vec3(0.0f, 1.0f, 0.0f), hit.distance, PhysicsSurface::Water, nullptr};
    return 1;
}

int Water::FindCollisions(const Entity* entity, CollisionContact* contacts, int max, PhysicsSurface excluded) const {
    OBBox box;
    if (!entity || !entity->GetCollisionProxy(box)) return 0;
    if (region_ && entity->GetRegion() && entity->GetRegion() != region_) {
        box.coords.origin += region_->GetRelativePosition(WorldVec3(entity->GetRegion(), Vec3()));
    }
    return FindCollisions(box, contacts, max, excluded);
}

void Water::FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox&, PhysicsSurface excluded) const {
    for (CollisionBox& box : boxes) {
        CollisionContact contact;
        if (FindCollisions(box.GetOBBox(), &contact, 1, excluded) == 1) box.AddContact(contact);
    }
}

// -- Splashes -------------------------------------------------------------------------------------

void Water::CreateRipple(const Vec3& position, float radius, float strength, SplashType kind) {
    const Vec3 below = position - Vec3(0.0f, 2.0f, 0.0f);
    Vec3 surface, velocity;
    if (!GetWaterPointInfo(below, surface, velocity)) return;
    if (!(surface.y - below.y < 4.0f)) return;  // 2 units or more under the surface, or NaN
    if (strength >= 1.0f) ripples_.CreateRipple(surface, 0.5f, radius * 4.0f);
    if (kind == SplashType::Wake && !(surface.y - position.y > 0.0f)) return;  // a wake only under the surface
    const std::string& effect = GetSplashEffect(kind);
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    if (effect.empty() || !objects) return;
    EffectEntity* splash = objects->CreateObjectFromFile<EffectEntity>(effect);
    if (!splash) return;
    splash->StartEmitting();
    splash->AddToWorld(WorldCoords(region_, Coords::Translation(surface)), true);
}

// -- Editing --------------------------------------------------------------------------------------

WaterLayer* Water::AddWaterLayer(const char* typeName, float height) {
    const unsigned slot = layers_.FindFree();
    if (!tree_ || layers_.count == kMaxLayers || slot == kMaxLayers) return nullptr;
    auto layer = std::make_unique<WaterLayer>(slot, blocksX_, blocksZ_, kBlockSize, *tree_, device_, this);
    layer->SetGround(ground_);
    layer->Initialize(typeName, height, Vec2(float(width_), float(depth_)));
    WaterLayer* added = layer.get();
    layers_.Put(slot, std::move(layer));
    return added;
}

void Water::RemoveWaterLayer(WaterLayer*& layer) {
    std::unique_ptr<WaterLayer> owned = layers_.Take(layer);
    layer = nullptr;
}

WaterLayer* Water::FindLayer(const char* typeName, float height) const {
    for (unsigned i = 0; i < layers_.count; ++i) {
        WaterLayer* layer = layers_.slots[i].get();
        const char* name = layer ? layer->GetWaterTypeName() : nullptr;
        if (name && typeName && layer->GetHeight() == height && strcasecmp(name, typeName) == 0) return layer;
    }
    return nullptr;
}

WaterPath* Water::AddWaterPath(const char* typeName, float height, const ControlPoint& first) {
    const unsigned slot = paths_.FindFree();
    if (!typeName || !WaterTypeManager::Get().IsWaterType(typeName) || !tree_ || slot == kMaxPaths) {
        return nullptr;
    }
    auto path = std::make_unique<WaterPath>(slot, *tree_, device_, this);
    path->SetGround(ground_);
    path->Initialize(typeName, height, first);
    WaterPath* added = path.get();
    paths_.Put(slot, std::move(path));
    return added;
}

WaterWaveSet* Water::AddWaveSet(float height, const ControlPoint& first) {
    const unsigned slot = waveSets_.FindFree();
    if (!tree_ || slot == kMaxWaveSets) return nullptr;
    auto waves = std::make_unique<WaterWaveSet>(slot, *tree_, device_, this);
    waves->Initialize(height, first);
    WaterWaveSet* added = waves.get();
    waveSets_.Put(slot, std::move(waves));
    return added;
}

WaterCurve* Water::AddWaterCurve(const char* typeName, float height, const ControlPoint& first,
                                 WaterCurve::CurveType type) {
    switch (type) {
        case WaterCurve::CurveType::Path:
            return AddWaterPath(typeName, height, first);
        case WaterCurve::CurveType::WaveSet:
            return AddWaveSet(height, first);
    }
    return nullptr;
}

void Water::RemoveWaterCurve(WaterCurve* curve) {
    if (!curve) return;
    if (curve->GetCurveType() == WaterCurve::CurveType::Path) {
        paths_.Take(static_cast<WaterPath*>(curve));
    } else {
        waveSets_.Take(static_cast<WaterWaveSet*>(curve));
    }
}

WaterCurve* Water::SelectCurve(const Ray& ray, WaterCurve::SelectionType& selection, const WorldCoords& camera) const {
    selection = WaterCurve::SelectionType::Nothing;
    const auto pick = [&](WaterCurve* curve) {
        if (curve) selection = curve->SelectPoint(ray, camera);
        return selection != WaterCurve::SelectionType::Nothing;
    };
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (pick(paths_.slots[i].get())) return paths_.slots[i].get();
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        if (pick(waveSets_.slots[i].get())) return waveSets_.slots[i].get();
    }
    return nullptr;
}

void Water::DrawCurveSelectionPoints(GraphicsPrimitiveDrawer& drawer, const Vec3& offset,
                                     WaterCurve::CurveType type) const {
    if (type == WaterCurve::CurveType::Path) {
        for (unsigned i = 0; i < paths_.count; ++i) {
            if (paths_.slots[i]) paths_.slots[i]->DrawSelectionPoints(drawer, offset);
        }
    } else {
        for (unsigned i = 0; i < waveSets_.count; ++i) {
            if (waveSets_.slots[i]) waveSets_.slots[i]->DrawSelectionPoints(drawer, offset);
        }
    }
}

void Water::Mirror(const Vec3& centre, bool x, bool z, bool xz) {
    const auto mirror = [&](WaterObject* object) {
        if (!object) return;
        if (xz) object->MirrorXZ();
        if (x) object->MirrorX(centre.x);
        if (z) object->MirrorZ(centre.z);
    };
    for (unsigned i = 0; i < layers_.count; ++i) mirror(layers_.slots[i].get());
    for (unsigned i = 0; i < paths_.count; ++i) mirror(paths_.slots[i].get());
    for (unsigned i = 0; i < waveSets_.count; ++i) mirror(waveSets_.slots[i].get());
}

bool Water::UpdateWaterType(const WaterType* type) const {
    bool any = false;
    const auto update = [&](WaterObject* object) {
        if (!object || object->GetWaterType() != type) return;
        object->Update();
        any = true;
    };
    for (unsigned i = 0; i < layers_.count; ++i) update(layers_.slots[i].get());
    for (unsigned i = 0; i < paths_.count; ++i) update(paths_.slots[i].get());
    return any;
}

void Water::RemoveWaterType(const WaterType* type) {
    for (unsigned i = 0; i < layers_.count; ++i) {
        WaterLayer* layer = layers_.slots[i].get();
        if (layer && layer->GetWaterType() == type) RemoveWaterLayer(layer);
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        WaterPath* path = paths_.slots[i].get();
        if (path && path->GetWaterType() == type) RemoveWaterCurve(path);
    }
}

bool Water::IsWaterTypeUsed(const WaterType* type) const {
    for (unsigned i = 0; i < layers_.count; ++i) {
        if (layers_.slots[i] && layers_.slots[i]->GetWaterType() == type) return true;
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (paths_.slots[i] && paths_.slots[i]->GetWaterType() == type) return true;
    }
    return false;
}

void Water::Cleanup() {
    for (unsigned i = 0; i < layers_.count; ++i) {
        WaterLayer* layer = layers_.slots[i].get();
        if (!layer) continue;
        layer->Cleanup();
        if (layer->GetNumBlocks() == 0) RemoveWaterLayer(layer);
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        WaterPath* path = paths_.slots[i].get();
        if (path && path->GetNumControlPoints() < 2) RemoveWaterCurve(path);
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        WaterWaveSet* waves = waveSets_.slots[i].get();
        if (waves && waves->GetNumControlPoints() < 2) RemoveWaterCurve(waves);
    }
}

// -- Device reset ---------------------------------------------------------------------------------

void Water::PreDeviceReset() {
    ReleaseIndexBuffers();
    ResetReflectionSurfaces();
    for (unsigned i = 0; i < layers_.count; ++i) {
        if (layers_.slots[i]) layers_.slots[i]->DestroyBlockGeometry();
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (paths_.slots[i]) paths_.slots[i]->DestroySegmentGeometry();
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        if (waveSets_.slots[i]) waveSets_.slots[i]->DestroySegmentGeometry();
    }
    ripples_.ReleaseBuffers();
}

void Water::PostDeviceReset() {
    if (!device_) return;
    CreateIndexBuffers();
    for (unsigned i = 0; i < layers_.count; ++i) {
        if (layers_.slots[i]) layers_.slots[i]->ConstructBlockGeometry();
    }
    for (unsigned i = 0; i < paths_.count; ++i) {
        if (paths_.slots[i]) paths_.slots[i]->ConstructSegmentGeometry();
    }
    for (unsigned i = 0; i < waveSets_.count; ++i) {
        if (waveSets_.slots[i]) waveSets_.slots[i]->ConstructSegmentGeometry();
    }
    ripples_.CreateBuffers();
}

void Water::LogInfo() const {
    Log(LogPriority::Info, "   size: (%u, %u)", width_, depth_);
    Log(LogPriority::Info, "   numBlocks: (%u, %u)", blocksX_, blocksZ_);
    Log(LogPriority::Info, "   numLayers: %u", layers_.count);
    Log(LogPriority::Info, "   numPaths: %u", paths_.count);
}

WaterLayer* Water::GetLayer(unsigned slot) const { return slot < layers_.count ? layers_.slots[slot].get() : nullptr; }
WaterPath* Water::GetPath(unsigned slot) const { return slot < paths_.count ? paths_.slots[slot].get() : nullptr; }
WaterWaveSet* Water::GetWaveSet(unsigned slot) const {
    return slot < waveSets_.count ? waveSets_.slots[slot].get() : nullptr;
}

namespace {

struct MakerInstaller {
    MakerInstaller() {
        LevelWater::SetMaker([](Region* region) -> LevelWater* { return new Water(region); });
    }
} gMakerInstaller;

}  // namespace

}  // namespace GAME
