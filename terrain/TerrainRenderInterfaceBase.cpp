#include "terrain/TerrainRenderInterfaceBase.h"

#include <algorithm>
#include <limits>

#include "core/Coords.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Sphere.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainBlock.h"
#include "terrain/TerrainType.h"

namespace GAME {

namespace {

struct TerrainNames {
    // Styles beyond the scene renderer's own.
    Name none = Name::Create("None");
    Name alpha = Name::Create("alphaStyle");
    Name directionalShadowFilter = Name::Create("dShadowFilterStyle");
    Name pointShadowFilter = Name::Create("pShadowFilterStyle");
    Name reflection = Name::Create("reflectionStyle");
    // Parameters.
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name objectToRegion = Name::Create("objectToRegionMatrix");
    Name regionToSceneOffset = Name::Create("regionToSceneOffset");
    Name objectToWorld = Name::Create("objectToWorldMatrix");
    Name terrainOffset = Name::Create("terrainOffset");
    Name textureOffset = Name::Create("textureOffset");
    Name textureScale = Name::Create("textureScale");
    Name opacityTexture = Name::Create("opacityTexture");
};

const TerrainNames& Names() {
    static const TerrainNames names;
    return names;
}

// Blocks whose cells fit the canvas's dynamic index buffer at once.
constexpr uint32_t kBlocksPerBatch =
    GraphicsCanvas::kDynamicBufferBytes / sizeof(uint32_t) / TerrainRenderInterfaceBase::kIndicesPerBlock;

GraphicsEngine* GetGraphicsEngine() { return gEngine ? gEngine->GetGraphicsEngine() : nullptr; }

Sphere GetLightSphere(const RenderablePass& pass) {
    return Sphere(Vec3(pass.lightSphere[0], pass.lightSphere[1], pass.lightSphere[2]), pass.lightSphere[3]);
}

bool Reaches(const Sphere& sphere, const ABBox& box) {
    return sphere.radius <= 0.0f || box.GetSquaredDistance(sphere.centre) <= sphere.radius * sphere.radius;
}

}  // namespace

TerrainRenderInterfaceBase::TerrainRenderInterfaceBase(const TerrainBase& terrain) : terrain_(terrain) {
    if (RenderDevice* device = TerrainBase::GetRenderDevice()) {
        const RenderVertexElement elements[4] = {
            {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
            {0, RenderVertexUsage::Normal, RenderVertexElementType::Float3},
            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
            {1, RenderVertexUsage::TexCoord1, RenderVertexElementType::Float2},
        };
        grassVertexDeclaration_ = device->CreateVertexDeclaration(elements, 4);
    }
    if (GraphicsEngine* graphics = GetGraphicsEngine()) {
        grassShader_ = graphics->LoadShader2(kGrassShader);
        lowQualityShader_ = graphics->LoadShader2(kLowQualityShader);
        standardShader_ = graphics->LoadShader2(kStandardShader);
    }
    layerShader_ = standardShader_;
}

TerrainRenderInterfaceBase::~TerrainRenderInterfaceBase() {
    ReleaseCellLists();
    if (GraphicsEngine* graphics = GetGraphicsEngine()) {
        for (const GraphicsShader2* shader : {grassShader_, lowQualityShader_, standardShader_}) {
            if (shader) graphics->UnloadShader2(shader);
        }
    }
    if (RenderDevice* device = TerrainBase::GetRenderDevice()) device->DestroyVertexDeclaration(grassVertexDeclaration_);
}

// ---------------------------------------------------------------------------------------------
// The frame
// ---------------------------------------------------------------------------------------------

void TerrainRenderInterfaceBase::Update(const IntVec3& worldOffset, const mem::vector<TerrainObject*>& objects) {
    worldOffset_ = worldOffset;
    const mem::vector<TerrainBlock*> previous = std::move(blocks_);
    blocks_.clear();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    Vec3 low(kInfinity, kInfinity, kInfinity), high(-kInfinity, -kInfinity, -kInfinity);
    bool any = false;
    for (TerrainObject* object : objects) {
        if (!object) continue;
        if (object->GetRTTIClassInfo()->IsA(&TerrainBlock::classInfo)) {
            auto* block = static_cast<TerrainBlock*>(object);
            block->Prepare();
            blocks_.push_back(block);
        }
        const Vec3 boxLow = object->GetBoundingBox().GetMin(), boxHigh = object->GetBoundingBox().GetMax();
        low = Vec3(std::min(low.x, boxLow.x), std::min(low.y, boxLow.y), std::min(low.z, boxLow.z));
        high = Vec3(std::max(high.x, boxHigh.x), std::max(high.y, boxHigh.y), std::max(high.z, boxHigh.z));
        any = true;
    }
    // Without objects the box is empty rather than infinite, which the scene renderer would refuse.
    bounds_ = any ? ABBox((high + low) * 0.5f, (high - low) * 0.5f) : ABBox();
    if (blocks_ != previous) InvalidateCellLists();
    const GraphicsEngine* graphics = GetGraphicsEngine();
    lowQuality_ = graphics && graphics->UseLowQualityTerrain();
    layerShader_ = lowQuality_ ? lowQualityShader_ : standardShader_;
}

void TerrainRenderInterfaceBase::GetBlocksInLayer(unsigned layer, mem::vector<TerrainBlock*>& out,
                                                  const Sphere& sphere) const {
    out.clear();
    out.reserve(blocks_.size());
    for (TerrainBlock* block : blocks_) {
        if (!Reaches(sphere, block->GetBoundingBox())) continue;
        block->Prepare();
        if (block->HasLayer(layer)) out.push_back(block);
    }
}

void TerrainRenderInterfaceBase::ReleaseCellLists() {
    RenderDevice* device = TerrainBase::GetRenderDevice();
    for (CellList& list : cellLists_) {
        if (list.buffer && device) device->DestroyIndexBuffer(list.buffer);
    }
    cellLists_.clear();
}

void TerrainRenderInterfaceBase::InvalidateCellLists() const {
    for (CellList& list : cellLists_) list.current = false;
}

void TerrainRenderInterfaceBase::DrawLayerCountLabels(DebugRenderManager&, const Coords&) const {}

void TerrainRenderInterfaceBase::GetTextureOffset(const IntVec3& worldOffset, float& u, float& v) {
    u = float(worldOffset.x % 10) * 0.1f;
    v = float(worldOffset.z % 10) * 0.1f;
}

// ---------------------------------------------------------------------------------------------
// Passes
// ---------------------------------------------------------------------------------------------

int TerrainRenderInterfaceBase::GetNumRenderPasses(const Name&, RenderGenerationId) const {
    return blocks_.empty() ? 0 : 3;
}

int TerrainRenderInterfaceBase::GetRenderPassSortOrder(int pass, const Name&, RenderGenerationId) const {
    switch (pass) {
        case kSolidPass: return -1;
        case kGroundPass: return 3;
        case kGrassPass: return 1000;
        default: return 0;
    }
}

const GraphicsShader2* TerrainRenderInterfaceBase::GetShader2(int pass, const Name&) const {
    return pass == kGrassPass ? grassShader_ : layerShader_;
}

// The solid pass prepares what the ground pass of the same style blends over: the depth (ambient
// styles, and the light styles of the low-quality shader), the light mask in alpha (light styles
// without shadows), the shadow-filtered mask (light styles with shadows) or the fog.
const Name& TerrainRenderInterfaceBase::GetShaderStyle(int pass, const Name& style, RenderGenerationId,
                                                       const GraphicsLight* light) const {
    if (pass == kGroundPass) return GetLayerPassStyle(style);
    if (pass != kSolidPass) return style;
    return GetSolidPassStyle(style, light, lowQuality_);
}

const Name& TerrainRenderInterfaceBase::GetLayerPassStyle(const Name& style) {
    return style == SceneStyleNames::Get().fog ? Names().none : style;
}

const Name& TerrainRenderInterfaceBase::GetSolidPassStyle(const Name& style, const GraphicsLight* light,
                                                          bool lowQuality) {
    const SceneStyleNames& scene = SceneStyleNames::Get();
    const TerrainNames& names = Names();
    const bool shadows = light == nullptr || light->GetCastsShadows();
    if (!lowQuality) {
        if (style == scene.directionalDiffuseAmbient || style == scene.pointDiffuseAmbient ||
            style == scene.ambientLight || style == scene.pointSimpleAmbient) {
            return scene.depth;
        }
        if (style == scene.pointSimple || !shadows) return names.alpha;
        if (style == scene.directionalDiffuse) return names.directionalShadowFilter;
        if (style == scene.pointDiffuse) return names.pointShadowFilter;
        return style == scene.fog ? scene.fog : names.none;
    }
    if (style == scene.ambientLight || style == scene.directionalDiffuse || style == scene.pointDiffuse ||
        style == scene.pointSimple || !shadows) {
        return scene.depth;
    }
    if (style == scene.directionalDiffuseAmbient) return names.directionalShadowFilter;
    if (style == scene.pointDiffuseAmbient || style == scene.pointSimpleAmbient) return names.pointShadowFilter;
    return style == scene.fog ? scene.fog : names.none;
}

void TerrainRenderInterfaceBase::BeginPass(const RenderablePass& pass, const GraphicsSceneRenderer& renderer,
                                           const Coords& objectToRegion) {
    const TerrainNames& names = Names();
    pass.shader->Begin();
    pass.shader->SetFloat4x4(names.objectToRegion, 0, Mat4(objectToRegion));
    pass.shader->SetFloat4x4(names.objectToScreen, 0,
                             renderer.GetWorldToScreenMatrix() * Mat4(pass.regionToScene * objectToRegion));
    pass.shader->SetFloat3(names.regionToSceneOffset, 0, pass.regionToScene.origin);
}

void TerrainRenderInterfaceBase::SetGroundTextureParameters(const TerrainBase& terrain, const GraphicsShader2& shader,
                                                            const IntVec3& worldOffset) {
    float u = 0.0f, v = 0.0f;
    GetTextureOffset(worldOffset, u, v);
    const TerrainNames& names = Names();
    shader.SetFloat2(names.textureOffset, 0, u, v);
    shader.SetFloat2(names.textureScale, 0, 1.0f / float(terrain.GetNumXSamples() - 1),
                     1.0f / float(terrain.GetNumYSamples() - 1));
}

void TerrainRenderInterfaceBase::SetLayerParameters(const TerrainBase& terrain, const GraphicsShader2& shader,
                                                    unsigned layer) {
    if (const TerrainType* type = terrain.GetLayerTerrainType(layer)) type->SetShaderParams(&shader, 0);
    shader.SetTexture(Names().opacityTexture, 0, terrain.GetLayerOpacityTexture(layer));
}

void TerrainRenderInterfaceBase::RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                                            const GraphicsSceneRenderer& renderer) const {
    switch (pass.pass) {
        case kSolidPass: RenderGroundSolid(canvas, renderer, pass); break;
        case kGroundPass: RenderGround(canvas, renderer, pass, style != Names().reflection); break;
        case kGrassPass:
            if (!gEngine || !gEngine->IsMapRendering()) RenderGrass(canvas, renderer, pass);
            break;
        default: break;
    }
}

bool TerrainRenderInterfaceBase::BeginGround(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                                             const RenderablePass& pass, RenderDynamicIndexBuffer*& indices) const {
    indices = canvas.GetDynamicIndexBuffer();
    const RenderVertexBuffer* vertices = GetGroundVertexBuffer();
    const RenderVertexDeclaration* declaration = GetGroundVertexDeclaration();
    if (!renderer.IsRenderFlagSet(GraphicsSceneRenderer::kTerrain) || !indices || !vertices || !declaration) {
        return false;
    }
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetStreamSource(0, vertices, 0, TerrainBase::kGroundVertexSize);
    device.SetVertexDeclaration(declaration);
    BeginPass(pass, renderer, Coords());
    return true;
}

uint32_t TerrainRenderInterfaceBase::WriteCells(const TerrainBlock& block, unsigned layer, uint32_t* out) const {
    const unsigned numX = terrain_.GetNumXSamples();
    const unsigned x0 = block.GetColumn() * TerrainBase::kBlockCells;
    const unsigned z0 = block.GetRow() * TerrainBase::kBlockCells;
    uint32_t written = 0;
    for (unsigned z = z0; z + 1 < z0 + block.GetNumYSamples(); ++z) {
        for (unsigned x = x0; x + 1 < x0 + block.GetNumXSamples(); ++x) {
            if (terrain_.IsInvisible(int(x), int(z))) continue;
            if (layer != kAllLayers && !LayerShowsInCell(layer, x, z)) continue;
            const uint32_t v = z * numX + x;  // sample (x, z)
            const uint32_t cell[6] = {v + numX + 1, v + numX, v, v, v + 1, v + numX + 1};
            std::copy(cell, cell + 6, out + written);
            written += 6;
        }
    }
    return written;
}

bool TerrainRenderInterfaceBase::DrawCells(RenderDevice& device, RenderDynamicIndexBuffer& indices,
                                           const GraphicsShader2& shader, const char* label,
                                           const mem::vector<TerrainBlock*>& blocks, unsigned layer) const {
    const uint32_t numVertices = terrain_.GetNumXSamples() * terrain_.GetNumYSamples();
    for (size_t first = 0; first < blocks.size(); first += kBlocksPerBatch) {
        const size_t count = std::min<size_t>(kBlocksPerBatch, blocks.size() - first);
        uint32_t* out = indices.Lock(uint32_t(count) * kIndicesPerBlock);
        if (!out) {
            Log(LogPriority::Warning, "Couldn't lock index buffer for rendering");
            return false;
        }
        uint32_t written = 0;
        for (size_t b = first; b < first + count; ++b) written += WriteCells(*blocks[b], layer, out + written);
        indices.Unlock();
        if (written == 0) continue;
        shader.Render(label);
        indices.SetIndices();
        const RenderIndexedDraw draw = indices.PrepareDraw(numVertices, written / 3, 0, 0);
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, draw.baseVertex, draw.vertexCount,
                                    draw.primitiveCount, draw.startIndex, draw.flags);
    }
    return true;
}

const TerrainRenderInterfaceBase::CellList* TerrainRenderInterfaceBase::GetCellList(RenderDevice& device,
                                                                                    unsigned layer) const {
    if (cellListsRevision_ != terrain_.GetGroundRevision()) {
        InvalidateCellLists();
        cellListsRevision_ = terrain_.GetGroundRevision();
    }
    const size_t slot = layer == kAllLayers ? 0 : size_t(layer) + 1;
    if (cellLists_.size() <= slot) cellLists_.resize(slot + 1);
    CellList& list = cellLists_[slot];
    if (list.current) return &list;
    mem::vector<uint32_t> cells(blocks_.size() * kIndicesPerBlock);
    uint32_t written = 0;
    for (const TerrainBlock* block : blocks_) {
        if (layer == kAllLayers || block->HasLayer(layer)) written += WriteCells(*block, layer, cells.data() + written);
    }
    if (written > list.capacity) {
        if (list.buffer) device.DestroyIndexBuffer(list.buffer);
        list.buffer = device.CreateIndexBuffer(written, RenderIndexFormat::Index32);
        list.capacity = list.buffer ? written : 0;
        if (!list.buffer) {
            Log(LogPriority::Warning, "Couldn't make the terrain's index buffer of %u indices", written);
            return nullptr;
        }
    }
    if (written > 0) {
        std::copy(cells.begin(), cells.begin() + written, static_cast<uint32_t*>(list.buffer->Lock()));
        list.buffer->Unlock();
    }
    list.count = written;
    list.current = true;
    return &list;
}

void TerrainRenderInterfaceBase::DrawCellList(RenderDevice& device, const GraphicsShader2& shader, const char* label,
                                              const CellList& list) const {
    shader.Render(label);
    device.SetIndices(list.buffer);
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0,
                                terrain_.GetNumXSamples() * terrain_.GetNumYSamples(), list.count / 3, 0, 0);
}

void TerrainRenderInterfaceBase::RenderGroundSolid(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                                                   const RenderablePass& pass) const {
    RenderDynamicIndexBuffer* indices = nullptr;
    if (!BeginGround(canvas, renderer, pass, indices)) return;
    const Sphere sphere = GetLightSphere(pass);
    if (sphere.radius <= 0.0f) {
        const CellList* list = GetCellList(canvas.GetRenderDevice(), kAllLayers);
        if (list && list->count > 0) DrawCellList(canvas.GetRenderDevice(), *pass.shader, "TerrainGroundSolid", *list);
    } else {
        mem::vector<TerrainBlock*> lit;
        lit.reserve(blocks_.size());
        for (TerrainBlock* block : blocks_) {
            if (Reaches(sphere, block->GetBoundingBox())) lit.push_back(block);
        }
        DrawCells(canvas.GetRenderDevice(), *indices, *pass.shader, "TerrainGroundSolid", lit, kAllLayers);
    }
    pass.shader->End();
}

void TerrainRenderInterfaceBase::RenderGround(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                                              const RenderablePass& pass, bool topDown) const {
    RenderDynamicIndexBuffer* indices = nullptr;
    if (!BeginGround(canvas, renderer, pass, indices)) return;
    SetGroundTextureParameters(terrain_, *pass.shader, worldOffset_);
    const Sphere sphere = GetLightSphere(pass);
    const unsigned numLayers = terrain_.GetNumTextureLayers();
    mem::vector<TerrainBlock*> blocks;
    for (unsigned n = 0; n < numLayers; ++n) {
        const unsigned layer = topDown ? numLayers - 1 - n : n;
        const TerrainType* type = terrain_.GetLayerTerrainType(layer);
        if (!type) continue;
        if (sphere.radius <= 0.0f) {
            const CellList* list = GetCellList(canvas.GetRenderDevice(), layer);
            if (!list || list->count == 0) continue;
            pass.shader->Begin();
            SetLayerParameters(terrain_, *pass.shader, layer);
            DrawCellList(canvas.GetRenderDevice(), *pass.shader, "TerrainGround", *list);
            pass.shader->End();
            continue;
        }
        GetBlocksInLayer(layer, blocks, sphere);
        if (blocks.empty()) continue;
        pass.shader->Begin();
        SetLayerParameters(terrain_, *pass.shader, layer);
        DrawCells(canvas.GetRenderDevice(), *indices, *pass.shader, "TerrainGround", blocks, layer);
        pass.shader->End();
    }
    pass.shader->End();
}

void TerrainRenderInterfaceBase::RenderGrass(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                                             const RenderablePass& pass) const {
    const RenderIndexBuffer* quads = GetGrassIndexBuffer();
    if (!renderer.IsRenderFlagSet(GraphicsSceneRenderer::kGrass) || !quads || !grassVertexDeclaration_) return;
    RenderDevice& device = canvas.GetRenderDevice();
    device.SetIndices(quads);
    device.SetVertexDeclaration(grassVertexDeclaration_);
    const TerrainNames& names = Names();
    const Mat4 objectToWorld(pass.regionToScene);
    pass.shader->Begin();
    pass.shader->SetFloat4x4(names.objectToWorld, 0, objectToWorld);
    pass.shader->SetFloat4x4(names.objectToScreen, 0, renderer.GetWorldToScreenMatrix() * objectToWorld);
    pass.shader->SetFloat3(names.terrainOffset, 0, pass.regionToScene.origin);
    const Sphere sphere = GetLightSphere(pass);
    mem::vector<TerrainBlock*> blocks;
    for (unsigned layer = 0; layer < terrain_.GetNumTextureLayers(); ++layer) {
        const TerrainType* type = terrain_.GetLayerTerrainType(layer);
        if (!type) continue;
        GetBlocksInLayer(layer, blocks, sphere);
        if (blocks.empty()) continue;
        pass.shader->Begin();
        type->SetGrassShaderParams(pass.shader);
        pass.shader->Render("TerrainGrass");
        for (const TerrainBlock* block : blocks) {
            const TerrainBlock::GrassRecord* record = block->GetGrassRecord(layer);
            if (!record || record->count == 0 || !record->geometry.vertices || !record->geometry.displacements) {
                continue;
            }
            device.SetStreamSource(0, record->geometry.vertices, 0, TerrainBase::kGrassVertexSize);
            device.SetStreamSource(1, record->geometry.displacements, 0, TerrainBase::kGrassDisplacementSize);
            device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4 * record->count, 2 * record->count, 0,
                                        0);
        }
        pass.shader->End();
    }
    pass.shader->End();
}

void TerrainRenderInterfaceBase::LogInfo() const {
    Log(LogPriority::Info, "TerrainRenderInterfaceBase:");
    Log(LogPriority::Info, "   num blocks: %u", unsigned(blocks_.size()));
    Log(LogPriority::Info, "   world offset: (%i, %i, %i)", worldOffset_.x, worldOffset_.y, worldOffset_.z);
    Log(LogPriority::Info, "   bounds origin: (%f, %f, %f)", double(bounds_.centre.x), double(bounds_.centre.y),
        double(bounds_.centre.z));
    Log(LogPriority::Info, "   bounds extents: (%f, %f, %f)", double(bounds_.halfSize.x), double(bounds_.halfSize.y),
        double(bounds_.halfSize.z));
}

}  // namespace GAME
