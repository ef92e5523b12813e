#include "terrain/Terrain.h"

#include <algorithm>
#include <cmath>

#include "core/Coords.h"
#include "core/Log.h"
#include "core/SimplePolygon.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "pathing/ImpassableData.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/RenderDevice.h"
#include "terrain/TerrainBlock.h"
#include "terrain/TerrainObject.h"
#include "terrain/TerrainPathMeshCalculator.h"
#include "terrain/TerrainPlug.h"
#include "terrain/TerrainRenderInterface.h"
#include "terrain/TerrainTile.h"
#include "terrain/TerrainType.h"
#include "world/Level.h"
#include "world/Region.h"

namespace GAME {

namespace {

GraphicsEngine* Graphics() { return gEngine ? gEngine->GetGraphicsEngine() : nullptr; }

}  // namespace

void MakeInvisibleCallback::operator()(int x, int z) {
    if (x >= 0 && z >= 0 && unsigned(x) < terrain_.GetNumXSamples() && unsigned(z) < terrain_.GetNumYSamples())
        terrain_.SetInvisible(x, z, true);
}

Terrain::Terrain(Region* region)
    : TerrainBase(TerrainBaseType::Editable, region), renderInterface_(std::make_unique<TerrainRenderInterface>(*this)) {
    if (GraphicsEngine* graphics = Graphics()) impassableShader_ = graphics->LoadShader2(kImpassableShader);
}

Terrain::~Terrain() {
    Unload();
    if (GraphicsEngine* graphics = Graphics(); graphics && impassableShader_) graphics->UnloadShader2(impassableShader_);
}

void Terrain::HoldImpassableShader() {
    GraphicsEngine* graphics = Graphics();
    if (!impassableShaderHeld_ && graphics) impassableShaderHeld_ = graphics->LoadShader2(kImpassableShader);
}

void Terrain::ReleaseImpassableShader() {
    GraphicsEngine* graphics = Graphics();
    if (impassableShaderHeld_ && graphics) graphics->UnloadShader2(impassableShaderHeld_);
    impassableShaderHeld_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Size
// ---------------------------------------------------------------------------------------------

bool Terrain::New(unsigned cellsX, unsigned cellsY) {
    Unload();
    if (cellsX > kMaxCells || cellsY > kMaxCells || !SetNumSamples(cellsX + 1, cellsY + 1)) {
        Log(LogPriority::Error, "Terrain: %u x %u cells is not a terrain size (0 or a power of two up to %u)", cellsX,
            cellsY, kMaxCells);
        return false;
    }
    const size_t samples = size_t(cellsX + 1) * (cellsY + 1);
    heights_.assign(samples, 0.0f);
    hidden_.assign(samples, 0);
    offsets_.assign(samples, Offset());
    passability_.assign(size_t(cellsX) * cellsY, 0);
    SetHeightField(HeightField(cellsX + 1, cellsY + 1, heights_.data(), hidden_.data(), 1, 1, 1));
    HoldImpassableShader();
    InitializeBlocks(true);
    return true;
}

bool Terrain::SetNumXSamples(unsigned samples) {
    if (heights_.empty() && TerrainBase::SetNumXSamples(samples)) return true;
    Log(LogPriority::Error, "Terrain: %u samples along x refused (%s)", samples,
        heights_.empty() ? "not a terrain size" : "the terrain holds samples");
    return false;
}

bool Terrain::SetNumYSamples(unsigned samples) {
    if (heights_.empty() && TerrainBase::SetNumYSamples(samples)) return true;
    Log(LogPriority::Error, "Terrain: %u samples along z refused (%s)", samples,
        heights_.empty() ? "not a terrain size" : "the terrain holds samples");
    return false;
}

void Terrain::Unload() {
    for (TerrainLayer& layer : layers_) DestroyLayer(layer);
    layers_.clear();
    // The interface forgets the blocks, which go now.
    renderInterface_->Update(IntVec3(), {});
    // The blocks give their grass back to the pool before the ground mesh and the pool go.
    TerrainBase::Unload();
    DestroyMapGeometry();
    heights_.clear();
    hidden_.clear();
    offsets_.clear();
    passability_.clear();
    dirtyRects_.Clear();
    opacityDirtyRects_.Clear();
    SetHeightField(HeightField());
    ReleaseImpassableShader();
}

// ---------------------------------------------------------------------------------------------
// Heights
// ---------------------------------------------------------------------------------------------

void Terrain::SetBaseHeight(unsigned x, unsigned z, float height) {
    const size_t i = SampleIndex(x, z);
    Offset& offset = offsets_[i];
    offset.baseHeight = height;
    heights_[i] = height + (offset.targetHeight - height) * offset.blend;
}

void Terrain::GetTerrainVertex(Vec3& out, unsigned x, unsigned z) const {
    out = Vec3(float(x), GetHeight(x, z), float(z));
}

// ---------------------------------------------------------------------------------------------
// Rebuild after edits
// ---------------------------------------------------------------------------------------------

bool Terrain::ClipRect(DirtyRect& rect, int width, int height) {
    // In 64 bits: a hostile rectangle's far edge may not fit an int.
    const int64_t right = std::min<int64_t>(int64_t(rect.left) + rect.width, width);
    const int64_t bottom = std::min<int64_t>(int64_t(rect.top) + rect.height, height);
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    if (right <= rect.left || bottom <= rect.top) return false;
    rect.width = int(right - rect.left);
    rect.height = int(bottom - rect.top);
    return true;
}

DirtyRectSet Terrain::Grow(const DirtyRectSet& set, int width, int height) {
    DirtyRectSet grown;
    for (int i = 0; i < set.GetNumRects(); ++i) {
        const DirtyRect& rect = set.GetRect(i);
        DirtyRect ring(rect.left - 1, rect.top - 1, rect.width + 2, rect.height + 2);
        if (ClipRect(ring, width, height)) grown.AddRect(ring);
    }
    return grown;
}

void Terrain::AddDirtyRect(const DirtyRect& samples) {
    DirtyRect rect = samples;
    if (ClipRect(rect, int(GetNumXSamples()), int(GetNumYSamples()))) dirtyRects_.AddRect(rect);
}

void Terrain::ProcessDirtyRects() {
    if (dirtyRects_.GetNumRects() == 0) return;
    pathMeshStale_ = true;
    for (int i = 0; i < dirtyRects_.GetNumRects(); ++i) UpdateHeightMap(dirtyRects_.GetRect(i));
    // A sample's normal follows its neighbours' heights, so the vertices one sample around the
    // marks change too.
    UpdateVertexBuffer(Grow(dirtyRects_, int(GetNumXSamples()), int(GetNumYSamples())));
    // Normals and grass reach a sample's neighbours, so objects a little beyond the rectangles
    // change too.
    mem::vector<TerrainObject*> objects;
    GetObjectsInDirtySet(objects, dirtyRects_, 5.0f);
    for (TerrainObject* object : objects) object->Invalidate();
    // Hidden samples are made again from the attached tiles there.
    for (int i = 0; i < dirtyRects_.GetNumRects(); ++i) MakeVisible(dirtyRects_.GetRect(i));
    for (const TerrainObject* object : objects) {
        const TerrainTile* tile = AttachedTile(object);
        if (tile == nullptr) continue;
        for (int c = 0; c < tile->GetNumContours(); ++c) MakeInvisible(tile->GetContour(c));
    }
    // The plugs touched are made again over their whole area.
    for (TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) {
            AddDirtyRect(GetRectForBox(object->GetBoundingBox()));
            RemoveObjectFromSpace(object);
            delete object;
            continue;
        }
        if (!object->GetRTTIClassInfo()->IsA(&TerrainBlock::classInfo)) continue;
        auto* block = static_cast<TerrainBlock*>(object);
        block->Unload();
        block->ComputeBounds();
        UpdateObjectInSpace(block);
    }
    BuildPlugs(dirtyRects_);
    dirtyRects_.Clear();
}

void Terrain::UpdateHeightMap(const DirtyRect& samples) {
    // Points within the blending radius of the rectangle reach into it, so the tiles are looked
    // for that far around it.
    mem::vector<TerrainObject*> objects;
    const Vec3 half(float(samples.width) * 0.5f + kTileBlendRadius, Infinity,
                    float(samples.height) * 0.5f + kTileBlendRadius);
    GetObjectsInBox(objects, ABBox(Vec3(float(samples.left) + float(samples.width) * 0.5f, 0.0f,
                                        float(samples.top) + float(samples.height) * 0.5f),
                                   half));
    struct Weights {
        float sum = 0.0f;        // of c^8
        float heightSum = 0.0f;  // of c^8 x the point's height
        float blend = 0.0f;      // the largest c^4
    };
    const int width = samples.width, height = samples.height;
    mem::vector<Weights> weights(size_t(width) * size_t(height));
    const auto nearest = [](float a) { return int(std::lround(a)); };
    for (const TerrainObject* object : objects) {
        const TerrainTile* tile = AttachedTile(object);
        if (tile == nullptr) continue;
        for (int c = 0; c < tile->GetNumContours(); ++c) {
            const SimplePolygon contour = tile->GetContour(c);
            for (size_t k = 0; k < contour.Size(); ++k) {
                const float px = contour[k].x - float(samples.left), pz = contour[k].z - float(samples.top);
                const int i1 = std::min(nearest(px + kTileBlendRadius + 1.0f), width);
                const int j1 = std::min(nearest(pz + kTileBlendRadius + 1.0f), height);
                for (int j = std::max(nearest(pz - kTileBlendRadius), 0); j < j1; ++j) {
                    for (int i = std::max(nearest(px - kTileBlendRadius), 0); i < i1; ++i) {
                        const float d2 = (px - float(i)) * (px - float(i)) + (pz - float(j)) * (pz - float(j));
                        const float f = std::max(1.0f - d2 / (kTileBlendRadius * kTileBlendRadius), 0.0f);
                        const float c1 = (std::cos((1.0f - f) * Pi) + 1.0f) * 0.5f;
                        const float c4 = (c1 * c1) * (c1 * c1);
                        Weights& w = weights[size_t(j) * size_t(width) + size_t(i)];
                        w.sum += c4 * c4;
                        w.heightSum += c4 * c4 * contour[k].height;
                        w.blend = std::max(w.blend, c4);
                    }
                }
            }
        }
    }
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            const Weights& w = weights[size_t(j) * size_t(width) + size_t(i)];
            const size_t index = SampleIndex(unsigned(samples.left + i), unsigned(samples.top + j));
            Offset& offset = offsets_[index];
            offset.targetHeight = w.sum != 0.0f ? w.heightSum / w.sum : 0.0f;
            offset.blend = w.sum != 0.0f ? w.blend : 0.0f;
            heights_[index] = offset.baseHeight + (offset.targetHeight - offset.baseHeight) * offset.blend;
        }
    }
}

void Terrain::AddTileDirtyRects(const TerrainTile* tile) {
    const float r = tile->GetMaxDistance();
    for (int c = 0; c < tile->GetNumContours(); ++c) {
        const SimplePolygon contour = tile->GetContour(c);
        if (contour.Size() == 0) continue;
        float minX = Infinity, minZ = Infinity, maxX = -Infinity, maxZ = -Infinity;
        for (size_t k = 0; k < contour.Size(); ++k) {
            minX = std::min(minX, contour[k].x);
            maxX = std::max(maxX, contour[k].x);
            minZ = std::min(minZ, contour[k].z);
            maxZ = std::max(maxZ, contour[k].z);
        }
        const int x0 = std::max(int(minX - r), 0), z0 = std::max(int(minZ - r), 0);
        const int width = std::min(int(maxX - minX + 2.0f * r + 1.5f), int(GetNumXSamples()) - x0);
        const int height = std::min(int(maxZ - minZ + 2.0f * r + 1.5f), int(GetNumYSamples()) - z0);
        AddDirtyRect(DirtyRect(x0, z0, width, height));
    }
}

const TerrainTile* Terrain::AttachedTile(const TerrainObject* object) {
    if (!object->GetRTTIClassInfo()->IsA(&TerrainTile::classInfo)) return nullptr;
    const auto* tile = static_cast<const TerrainTile*>(object);
    return tile->GetAttached() ? tile : nullptr;
}

ABBox Terrain::GetBoxForRect(const DirtyRect& samples) {
    const Vec3 half(float(samples.width) * 0.5f, 5.0f, float(samples.height) * 0.5f);
    return ABBox(Vec3(float(samples.left) + half.x, 0.0f, float(samples.top) + half.z), half);
}

void Terrain::GetBlocksInDirtySet(const DirtyRectSet& set, mem::vector<int>& out) const {
    const int columns = int(GetNumBlocksX()), rows = int(GetNumBlocksY());
    const int cells = int(kBlockCells);
    for (int i = 0; i < set.GetNumRects(); ++i) {
        const DirtyRect& rect = set.GetRect(i);
        const int firstColumn = rect.left < 1 ? 0 : (rect.left - 1) / cells;
        const int firstRow = rect.top < 1 ? 0 : (rect.top - 1) / cells;
        const int lastColumn = std::min(int((int64_t(rect.left) + rect.width + cells - 1) / cells), columns - 1);
        const int lastRow = std::min(int((int64_t(rect.top) + rect.height + cells - 1) / cells), rows - 1);
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = firstColumn; column <= lastColumn; ++column) {
                const int index = row * columns + column;
                if (std::find(out.begin(), out.end(), index) == out.end()) out.push_back(index);
            }
        }
    }
}

bool Terrain::Overlap(const DirtyRectSet& set, const SimplePolygon& polygon) {
    if (polygon.Size() == 0) return false;
    float minX = polygon[0].x, minZ = polygon[0].z, maxX = minX, maxZ = minZ;
    for (size_t k = 1; k < polygon.Size(); ++k) {
        minX = std::min(minX, polygon[k].x);
        minZ = std::min(minZ, polygon[k].z);
        maxX = std::max(maxX, polygon[k].x);
        maxZ = std::max(maxZ, polygon[k].z);
    }
    // Kept well inside an int, so that the width stays one too for any outline.
    const auto cell = [](float value) { return TruncateClamped(value, -int(kMaxCells) - 1, int(kMaxCells) + 1); };
    const int x0 = cell(minX), z0 = cell(minZ);
    const DirtyRect cells(x0, z0, cell(maxX + 0.5f) - x0 + 1, cell(maxZ + 0.5f) - z0 + 1);
    for (int i = 0; i < set.GetNumRects(); ++i) {
        if (DirtyRect::Overlap(set.GetRect(i), cells)) return true;
    }
    return false;
}

void Terrain::GetObjectsInDirtySet(mem::vector<TerrainObject*>& out, const DirtyRectSet& set, float margin) const {
    const ABBox terrainBox = GetBoundingBox();
    for (int i = 0; i < set.GetNumRects(); ++i) {
        const DirtyRect& rect = set.GetRect(i);
        const Vec3 halfSize(float(rect.width) * 0.5f + margin, terrainBox.halfSize.y, float(rect.height) * 0.5f + margin);
        const Vec3 centre(float(rect.left) + float(rect.width) * 0.5f, terrainBox.centre.y,
                          float(rect.top) + float(rect.height) * 0.5f);
        GetObjectsInBox(out, ABBox(centre, halfSize));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// ---------------------------------------------------------------------------------------------
// The frame and the device
// ---------------------------------------------------------------------------------------------

void Terrain::Update(const Frustum* frusta, unsigned count, int elapsedMs) {
    ProcessDirtyRects();
    if (pathMeshStale_) UpdatePathMesh();
    ProcessDirtyOpacityRects();
    UnloadOldObjects();
    UpdateObjects(frusta, count, elapsedMs);
}

bool Terrain::LowQuality() const { return renderInterface_->LowQuality(); }

void Terrain::AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) {
    TerrainBase::AddToScene(renderer, frustum);
    if (textureComplexity_ && GetRegion()) {
        renderInterface_->DrawLayerCountLabels(*Singleton<DebugRenderManager>::Get(), Coords());
    }
}

TerrainRenderInterfaceBase* Terrain::GetRenderInterface() const { return renderInterface_.get(); }

void Terrain::PreLoad(int priority, const Frustum* frusta, unsigned count) {
    mem::vector<TerrainObject*> objects;
    GetObjectsInFrustum(objects, frusta, count, nullptr);
    for (TerrainObject* object : objects) {
        if (!object->IsLoaded(true)) object->Load(priority, true);
    }
}

void Terrain::PreDeviceReset() {
    TerrainBase::PreDeviceReset();
    if (RenderDevice* device = GetRenderDevice()) {
        for (TerrainLayer& layer : layers_) {
            if (layer.opacityTexture) device->DestroyTexture(layer.opacityTexture);
        }
    }
    DestroyMapGeometry();
}

void Terrain::PostDeviceReset() {
    for (TerrainLayer& layer : layers_) CreateOpacityTexture(layer);
    CreateMapGeometry();
    TerrainBase::PostDeviceReset();
}

void Terrain::CreateMapGeometry() {
    RenderDevice* device = GetRenderDevice();
    if (!device || heights_.empty()) return;
    const RenderVertexElement elements[2] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Normal, RenderVertexElementType::Float3},
    };
    vertexDeclaration_ = device->CreateVertexDeclaration(elements, 2);
    vertexBuffer_ = device->CreateVertexBuffer(0, uint32_t(heights_.size()) * kVertexSize);
    if (!vertexBuffer_) {
        Log(LogPriority::Error, "Couldn't create terrain vertex buffer");
        return;
    }
    DirtyRectSet all;
    all.AddRect(DirtyRect(0, 0, int(GetNumXSamples()), int(GetNumYSamples())));
    UpdateVertexBuffer(all);
    grass_.CreateIndexBuffer();
}

void Terrain::DestroyMapGeometry() {
    grass_.Clear();
    RenderDevice* device = GetRenderDevice();
    if (!device) return;
    if (vertexBuffer_) device->DestroyVertexBuffer(vertexBuffer_);
    if (vertexDeclaration_) device->DestroyVertexDeclaration(vertexDeclaration_);
}

void Terrain::UpdateVertexBuffer(const DirtyRectSet& samples) {
    if (!vertexBuffer_) return;
    auto* vertices = static_cast<float*>(vertexBuffer_->Lock(0, uint32_t(heights_.size()) * kVertexSize, 0));
    if (!vertices) {
        Log(LogPriority::Error, "Couldn't lock terrain vertex buffer");
        return;
    }
    for (int i = 0; i < samples.GetNumRects(); ++i) {
        const DirtyRect& rect = samples.GetRect(i);
        for (int z = rect.top; z < rect.Bottom(); ++z) {
            for (int x = rect.left; x < rect.Right(); ++x) {
                WriteGroundVertex(vertices + SampleIndex(unsigned(x), unsigned(z)) * (kVertexSize / sizeof(float)),
                                  unsigned(x), unsigned(z));
            }
        }
    }
    vertexBuffer_->Unlock();
}

// ---------------------------------------------------------------------------------------------
// Cell-range queries
// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------------------------

bool Terrain::InternalAddLayer(const std::string& recordName, const uint8_t* opacity) {
    TerrainType* type = TerrainType::Create(recordName);
    if (!type) return false;
    type->LoadTextures();
    const size_t cells = size_t(GetNumXSamples() - 1) * (GetNumYSamples() - 1);
    const uint8_t fill = layers_.empty() ? 255 : 0;
    TerrainLayer layer;
    layer.terrainType = type;
    if (opacity) {
        layer.opacity.assign(opacity, opacity + cells);
    } else {
        layer.opacity.assign(cells, fill);
    }
    layer.visibility.assign(cells, fill);
    CreateOpacityTexture(layer);
    layers_.push_back(std::move(layer));
    return true;
}

void Terrain::CreateOpacityTexture(TerrainLayer& layer) const {
    RenderDevice* device = GetRenderDevice();
    if (!device || layer.opacity.empty()) return;
    layer.opacityTexture = device->CreateTexture(int(GetNumXSamples() - 1), int(GetNumYSamples() - 1),
                                                 layer.opacity.data(), 0, RenderDevice::kTextureUpdatable);
}

void Terrain::DestroyLayer(TerrainLayer& layer) const {
    if (layer.opacityTexture) {
        if (RenderDevice* device = GetRenderDevice()) device->DestroyTexture(layer.opacityTexture);
        layer.opacityTexture = nullptr;
    }
    layer.opacity.clear();
    layer.visibility.clear();
    TerrainType::Destroy(layer.terrainType);
}

bool Terrain::AddLayer(const std::string& recordName) {
    if (GetNumXSamples() < 2 || GetNumYSamples() < 2) {
        Log(LogPriority::Error, "Terrain: a terrain without cells takes no layer");
        return false;
    }
    if (!InternalAddLayer(recordName, nullptr)) return false;
    UpdateVisibilityMap(DirtyRect(0, 0, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1)));
    if (layers_.size() == 1) RefreshAllObjects();
    return true;
}

void Terrain::DeleteLayer(unsigned layer) {
    DestroyLayer(layers_[layer]);
    layers_.erase(layers_.begin() + layer);
    if (layer == 0 && !layers_.empty()) {
        std::fill(layers_[0].opacity.begin(), layers_[0].opacity.end(), uint8_t(255));
        UpdateLayerOpacity(0);
    }
    UpdateVisibilityMap(DirtyRect(0, 0, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1)));
    RefreshAllObjects();
}

void Terrain::MoveUpLayer(unsigned layer) {
    if (layer == 0) return;
    std::swap(layers_[layer], layers_[layer - 1]);
    UpdateVisibilityMap(DirtyRect(0, 0, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1)));
    RefreshAllObjects();
}

void Terrain::MoveDownLayer(unsigned layer) {
    if (layer + 1 >= layers_.size()) return;
    std::swap(layers_[layer], layers_[layer + 1]);
    UpdateVisibilityMap(DirtyRect(0, 0, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1)));
    RefreshAllObjects();
}

void Terrain::SetLayerTerrainType(unsigned layer, const char* recordName) {
    TerrainType* type = TerrainType::Create(recordName);
    if (!type) return;
    TerrainType::Destroy(layers_[layer].terrainType);
    layers_[layer].terrainType = type;
    type->LoadTextures();
    RefreshAllObjects();
}

void Terrain::SetLayerOpacity(unsigned layer, unsigned x, unsigned z, uint8_t value) {
    if (layer != 0) layers_[layer].opacity[CellIndex(x, z)] = value;
}

void Terrain::UpdateLayerOpacity(unsigned layer) {
    TerrainLayer& record = layers_[layer];
    if (record.opacityTexture) record.opacityTexture->UpdatePixels(record.opacity.data());
}

void Terrain::AddOpacityDirtyRect(const DirtyRect& cells) {
    DirtyRect rect = cells;
    if (GetNumXSamples() > 1 && GetNumYSamples() > 1 &&
        ClipRect(rect, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1)))
        opacityDirtyRects_.AddRect(rect);
}

void Terrain::ProcessDirtyOpacityRects() {
    if (opacityDirtyRects_.GetNumRects() == 0) return;
    // A cell's state depends on its neighbours, so the ring around a painted area changes too.
    const DirtyRectSet grown = Grow(opacityDirtyRects_, int(GetNumXSamples() - 1), int(GetNumYSamples() - 1));
    for (int i = 0; i < grown.GetNumRects(); ++i) UpdateVisibilityMap(grown.GetRect(i));
    mem::vector<TerrainObject*> objects;
    GetObjectsInDirtySet(objects, grown, 0.0f);
    for (TerrainObject* object : objects) object->RefreshLayers();
    opacityDirtyRects_.Clear();
}

void Terrain::UpdateVisibilityMap(const DirtyRect& cells) {
    const size_t count = layers_.size();
    if (count == 0) return;
    const int lastX = int(GetNumXSamples()) - 2, lastZ = int(GetNumYSamples()) - 2;
    for (size_t i = count - 1; i >= 1; --i) {
        const mem::vector<uint8_t>& opacity = layers_[i].opacity;
        mem::vector<uint32_t>& visibility = layers_[i].visibility;
        for (int z = cells.top; z < cells.Bottom(); ++z) {
            for (int x = cells.left; x < cells.Right(); ++x) {
                const size_t cell = CellIndex(unsigned(x), unsigned(z));
                if (i + 1 < count) {
                    const uint32_t above = layers_[i + 1].visibility[cell];
                    if (above == Covered || above == Opaque) {
                        visibility[cell] = Covered;
                        continue;
                    }
                }
                uint8_t low = 255, high = 0;
                for (int nz = std::max(z - 1, 0); nz <= std::min(z + 1, lastZ); ++nz) {
                    for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, lastX); ++nx) {
                        const uint8_t value = opacity[CellIndex(unsigned(nx), unsigned(nz))];
                        low = std::min(low, value);
                        high = std::max(high, value);
                    }
                }
                visibility[cell] = low >= kOpaqueOpacity ? Opaque : high < kTransparentOpacity ? Transparent : Blended;
            }
        }
    }
    mem::vector<uint32_t>& base = layers_[0].visibility;
    for (int z = cells.top; z < cells.Bottom(); ++z) {
        for (int x = cells.left; x < cells.Right(); ++x) {
            const size_t cell = CellIndex(unsigned(x), unsigned(z));
            if (count == 1) {
                base[cell] = Opaque;
                continue;
            }
            const uint32_t above = layers_[1].visibility[cell];
            base[cell] = above == Transparent || above == Blended ? Opaque : Covered;
        }
    }
}

void Terrain::GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const {
    out.clear();
    if (layers_.empty()) return;
    const Vec3 low = box.GetMin(), high = box.GetMax();
    const int lastX = int(GetNumXSamples()) - 2, lastZ = int(GetNumYSamples()) - 2;
    const int x0 = TruncateClamped(low.x, 0, lastX + 1), z0 = TruncateClamped(low.z, 0, lastZ + 1);
    const int x1 = TruncateClamped(high.x + 0.5f, -1, lastX), z1 = TruncateClamped(high.z + 0.5f, -1, lastZ);
    if (z0 > z1) return;
    for (size_t i = layers_.size(); i-- > 0;) {
        bool shows = false, covers = true;
        for (int z = z0; z <= z1; ++z) {
            for (int x = x0; x <= x1; ++x) {
                const uint32_t state = layers_[i].visibility[CellIndex(unsigned(x), unsigned(z))];
                shows = shows || state == Blended || state == Opaque;
                covers = covers && state == Opaque;
            }
        }
        if (shows) out.insert(out.begin(), unsigned(i));
        if (covers) break;
    }
}

void Terrain::RefreshAllObjects() {
    mem::vector<TerrainObject*> objects;
    GetAllObjects(objects);
    for (TerrainObject* object : objects) object->RefreshLayers();
}

// ---------------------------------------------------------------------------------------------
// Passability
// ---------------------------------------------------------------------------------------------

bool Terrain::IsImpassable(unsigned x, unsigned z) const {
    if (x + 1 >= GetNumXSamples() || z + 1 >= GetNumYSamples()) return true;
    return passability_[CellIndex(x, z)] != 0;
}

void Terrain::SetPassable(unsigned x, unsigned z, uint8_t mode) {
    if (mode == 0 || x + 1 >= GetNumXSamples() || z + 1 >= GetNumYSamples()) return;
    uint8_t& cell = passability_[CellIndex(x, z)];
    const uint8_t value = mode == 1 ? 0 : 1;
    pathMeshStale_ = pathMeshStale_ || cell != value;
    cell = value;
}

void Terrain::SetImpassableData(const ImpassableData& data) {
    if (!data.HasBeenLoadedOrPrimed() || GetNumYSamples() == 1) return;
    const uint32_t cellsX = GetNumXSamples() - 1, cellsY = GetNumYSamples() - 1;
    if (data.GetCellsX() != cellsX || data.GetCellsY() != cellsY) {
        Log(LogPriority::Warning, "Terrain: passability of %u x %u cells does not fit a terrain of %u x %u cells",
            data.GetCellsX(), data.GetCellsY(), cellsX, cellsY);
        return;
    }
    for (uint32_t z = 0; z < cellsY; ++z) {
        for (uint32_t x = 0; x < cellsX; ++x) passability_[CellIndex(x, z)] = data.GetImpassable(x, z);
    }
}

void Terrain::GetImpassableData(ImpassableData& data) const {
    const uint32_t cellsX = GetNumXSamples() > 0 ? GetNumXSamples() - 1 : 0;
    const uint32_t cellsY = GetNumYSamples() > 0 ? GetNumYSamples() - 1 : 0;
    data.Prime(cellsX, cellsY);
    for (uint32_t z = 0; z < cellsY; ++z) {
        for (uint32_t x = 0; x < cellsX; ++x) data.SetImpassable(x, z, passability_[CellIndex(x, z)] != 0);
    }
}

void Terrain::PathingFirstPass() {
    if (GetNumXSamples() < 2 || GetNumYSamples() < 2) return;
    for (unsigned z = 0; z + 1 < GetNumYSamples(); ++z) {
        for (unsigned x = 0; x + 1 < GetNumXSamples(); ++x) {
            passability_[CellIndex(x, z)] = hidden_[SampleIndex(x, z)] ? 0 : SlopeImpassable(int(x), int(z));
        }
    }
    pathMeshStale_ = true;
}

void Terrain::UpdatePathMesh() {
    pathMeshStale_ = false;
    Level* level = GetRegion() != nullptr ? GetRegion()->GetLevel() : nullptr;
    if (level == nullptr || level->GetGround() != this) return;
    level->RebuildPathMesh(TerrainPathMeshCalculator(*this).CreateWalkableFaces());
}

void Terrain::GetWalkableFaces(mem::vector<PathFace>& out) const {
    const mem::vector<PathFace> faces = TerrainPathMeshCalculator(*this).CreateWalkableFaces();
    out.insert(out.end(), faces.begin(), faces.end());
}

void Terrain::RenderImpassableAreas(GraphicsPrimitiveDrawer& drawer, const Coords& toWorld) const {
    const GraphicsEngine* graphics = gEngine ? gEngine->GetGraphicsEngine() : nullptr;
    if (!graphics || GetNumXSamples() < 2 || GetNumYSamples() < 2) return;
    drawer.SetShader(graphics->GetOverlayShader());
    // One primitive a cell: the drawer stages a bounded number of vertices per primitive.
    for (unsigned x = 0; x + 1 < GetNumXSamples(); ++x) {
        for (unsigned z = 0; z + 1 < GetNumYSamples(); ++z) {
            if (!passability_[CellIndex(x, z)]) continue;
            drawer.SetColor((x & 1) == (z & 1) ? Color(1.0f, 0.0f, 0.0f, 0.25f) : Color(0.0f, 0.0f, 0.0f, 0.25f));
            Vec3 triangles[2][3];
            GetHeightField().GetCellTriangles(x, z, triangles[0], triangles[1]);
            drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Triangles);
            for (const Vec3* corners : triangles) {
                for (int i = 0; i < 3; ++i) drawer.SetVertex(toWorld.TransformPoint(corners[i]));
            }
            drawer.End();
        }
    }
    drawer.Flush();
}

void Terrain::RenderBorder(GraphicsPrimitiveDrawer& drawer) const {
    if (heights_.empty()) return;
    drawer.SetColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
    const auto segment = [&](unsigned x0, unsigned z0, unsigned x1, unsigned z1) {
        drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
        drawer.SetVertex(GetHeightField().GetPoint(x0, z0));
        drawer.SetVertex(GetHeightField().GetPoint(x1, z1));
        drawer.End();
    };
    const unsigned lastX = GetNumXSamples() - 1, lastZ = GetNumYSamples() - 1;
    for (unsigned x = 0; x < lastX; ++x) {
        segment(x, 0, x + 1, 0);
        segment(x, lastZ, x + 1, lastZ);
    }
    for (unsigned z = 0; z < lastZ; ++z) {
        segment(0, z, 0, z + 1);
        segment(lastX, z, lastX, z + 1);
    }
}

bool Terrain::SlopeImpassable(int x, int z) const {
    const unsigned lastX = GetNumXSamples() - 1, lastZ = GetNumYSamples() - 1;
    const unsigned x0 = std::min(unsigned(x), lastX), x1 = std::min(unsigned(x) + 1, lastX);
    const unsigned z0 = std::min(unsigned(z), lastZ), z1 = std::min(unsigned(z) + 1, lastZ);
    const float corners[4] = {GetHeight(x0, z0), GetHeight(x1, z0), GetHeight(x0, z1), GetHeight(x1, z1)};
    const float mean = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25f;
    return std::any_of(corners, corners + 4,
                       [mean](float height) { return std::fabs(height - mean) > kMaxSlopeDeviation; });
}

// ---------------------------------------------------------------------------------------------
// Hidden samples
// ---------------------------------------------------------------------------------------------

bool Terrain::IsInvisible(int x, int z) const {
    if (x < 0 || z < 0 || unsigned(x) >= GetNumXSamples() || unsigned(z) >= GetNumYSamples()) return false;
    return hidden_[SampleIndex(unsigned(x), unsigned(z))] != 0;
}

void Terrain::SetInvisible(int x, int z, bool invisible) {
    hidden_[SampleIndex(unsigned(x), unsigned(z))] = invisible ? 1 : 0;
    MarkGroundChanged();
}

void Terrain::MakeVisible(const DirtyRect& samples) {
    for (int z = samples.top; z < samples.Bottom(); ++z) {
        for (int x = samples.left; x < samples.Right(); ++x) SetInvisible(x, z, false);
    }
}

void Terrain::MakeInvisible(const SimplePolygon& polygon) {
    MakeInvisibleCallback callback(*this);
    Rasterize(polygon, callback);
}

void Terrain::Rasterize(const SimplePolygon& polygon, TerrainRasterizeCallback& callback) const {
    const size_t n = polygon.Size();
    if (n < 3) return;
    // Each corner moves half a unit along the sum of its edges' perpendiculars (-dz, dx).
    struct Point {
        float x, z;
    };
    mem::vector<Point> points(n);
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(polygon[i].x) || !std::isfinite(polygon[i].z)) return;
    }
    for (size_t i = 0; i < n; ++i) {
        const SimplePolygon::Vertex& previous = polygon[(i + n - 1) % n];
        const SimplePolygon::Vertex& vertex = polygon[i];
        const SimplePolygon::Vertex& next = polygon[(i + 1) % n];
        float px = -(vertex.z - previous.z) - (next.z - vertex.z);
        float pz = (vertex.x - previous.x) + (next.x - vertex.x);
        const float length = std::sqrt(px * px + pz * pz);
        if (length > 0.0f) {
            px *= 0.5f / length;
            pz *= 0.5f / length;
        }
        points[i] = Point{vertex.x + px, vertex.z + pz};
    }
    struct Edge {
        float z0, z1;  // lower end first
        float x0, slope;
        float XAt(float z) const { return x0 + (z - z0) * slope; }
    };
    mem::vector<Edge> edges;
    mem::vector<float> levels;
    for (size_t i = 0; i < n; ++i) {
        Point a = points[i], b = points[(i + 1) % n];
        levels.push_back(a.z);
        if (a.z == b.z) continue;
        if (b.z < a.z) std::swap(a, b);
        edges.push_back(Edge{a.z, b.z, a.x, (b.x - a.x) / (b.z - a.z)});
    }
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    // Reports are clipped to the grid: nothing outside it has a sample, and a hostile outline
    // must not walk rows and columns without end.
    const int lastX = int(GetNumXSamples()) - 1, lastZ = int(GetNumYSamples()) - 1;
    mem::vector<const Edge*> active;
    for (size_t band = 0; band + 1 < levels.size(); ++band) {
        const float za = levels[band], zb = levels[band + 1], middle = (za + zb) * 0.5f;
        active.clear();
        for (const Edge& edge : edges) {
            if (edge.z0 <= za && edge.z1 >= zb) active.push_back(&edge);
        }
        std::sort(active.begin(), active.end(),
                  [middle](const Edge* a, const Edge* b) { return a->XAt(middle) < b->XAt(middle); });
        for (size_t pair = 0; pair + 1 < active.size(); pair += 2) {
            const Edge& left = *active[pair];
            const Edge& right = *active[pair + 1];
            const int firstRow = TruncateClamped(za, 0, lastZ + 1);
            for (int z = firstRow; float(z) <= zb && z <= lastZ; ++z) {
                const float top = float(z), bottom = float(z + 1);
                const float leftX = std::min(left.XAt(std::max(top, left.z0)), left.XAt(std::min(bottom, left.z1)));
                const float rightX =
                    std::max(right.XAt(std::max(top, right.z0)), right.XAt(std::min(bottom, right.z1)));
                const int lastColumn = rightX >= 0.0f ? TruncateClamped(rightX, 0, lastX) : -1;
                for (int x = TruncateClamped(leftX, 0, lastX + 1); x <= lastColumn; ++x) callback(x, z);
            }
        }
    }
}

}  // namespace GAME
