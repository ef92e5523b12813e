#include "effects/DecalSet.h"

#include "core/Coords.h"
#include "core/Mat4.h"
#include "effects/DecalType.h"
#include "effects/DecalTypeMgr.h"
#include "engine/Engine.h"
#include "files/Options.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"

#include <algorithm>

namespace GAME {

namespace {

struct ParameterNames {
    Name objectToWorld = Name::Create("objectToWorldMatrix");
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name baseTexture = Name::Create("baseTexture");
};

const ParameterNames& Names() {
    static const ParameterNames names;
    return names;
}

// Levels keep their decals in a DecalSet; installed when the engine library loads.
struct MakerInstaller {
    MakerInstaller() {
        LevelDecals::SetMaker([](Region* owner) -> std::unique_ptr<LevelDecals> { return std::make_unique<DecalSet>(owner); });
    }
} gMakerInstaller;

bool DetailObjectsShown() {
    Options* const options = gEngine != nullptr ? gEngine->GetOptions() : nullptr;
    return options != nullptr && options->GetBool(Options::BoolName::detailObjects);
}

}  // namespace

DecalSet::DecalSet(Region* owner) : owner_(owner) { CreateVertexDeclaration(); }

DecalSet::~DecalSet() {
    for (const TypeSlot& slot : slots_) DecalTypeMgr::Get().UnloadDecalType(slot.type);
    if (device_ != nullptr && vertexDeclaration_ != nullptr) device_->DestroyVertexDeclaration(vertexDeclaration_);
}

void DecalSet::CreateVertexDeclaration() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr || graphics->GetRenderDevice() == nullptr) return;
    device_ = graphics->GetRenderDevice();
    const RenderVertexElement elements[] = {{0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
                                            {0, RenderVertexUsage::Tangent, RenderVertexElementType::Float3},
                                            {0, RenderVertexUsage::Binormal, RenderVertexElementType::Float3},
                                            {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
                                            {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4}};
    vertexDeclaration_ = device_->CreateVertexDeclaration(elements, 5);
}

bool DecalSet::AddDecal(const DecalType* type, const Coords& coords, uint32_t flags) {
    if (type == nullptr) return false;
    PlacedDecal& record = decals_[head_];
    TypeSlot* const overwritten = (record.flags & kFlagUsed) != 0 ? record.slot : nullptr;
    // The overwritten decal's slot counts as free when that decal is its last.
    const auto vacates = [&](const TypeSlot& slot) { return &slot == overwritten && slot.count <= 1; };

    TypeSlot* chosen = nullptr;
    TypeSlot* free = nullptr;
    for (uint32_t i = 0; i < kTypeSlots; ++i) {
        TypeSlot& slot = slots_[i];
        if (slot.type == type) {
            chosen = &slot;
            break;
        }
        if (free != nullptr || (slot.type != nullptr && !vacates(slot))) continue;
        free = &slot;
        if (i >= typeSlotsUsed_) {
            typeSlotsUsed_ = i + 1;
            break;
        }
    }
    if (chosen == nullptr) chosen = free;
    if (chosen == nullptr) return false;

    if (overwritten != nullptr) {
        if (overwritten->count > 1 || overwritten->type == type) {
            --overwritten->count;
        } else {
            DecalTypeMgr::Get().UnloadDecalType(overwritten->type);
            *overwritten = TypeSlot{};
        }
    }
    if (chosen->type == nullptr) {
        chosen->type = type;
        chosen->count = 0;
        DecalTypeMgr::Get().ReferenceDecalType(type);
    }
    ++chosen->count;

    record.flags = (flags & ~kClearedFlags) | kFlagUsed;
    record.color = 0xFFFFFFFFu;
    record.slot = chosen;
    record.origin = coords.origin;
    record.xAxis = coords.xAxis;
    record.zAxis = coords.zAxis;
    decalCount_ = std::min(decalCount_ + 1, kRing);
    head_ = (head_ + 1) & (kRing - 1);
    bucketsStale_ = true;
    return true;
}

void DecalSet::Update(uint32_t) { RebuildBuckets(); }

void DecalSet::RebuildBuckets() const {
    uint32_t start = 0;
    for (uint32_t i = 0; i < typeSlotsUsed_; ++i) {
        slots_[i].bucketStart = start;
        slots_[i].bucketFill = 0;
        start += slots_[i].count;
    }
    for (uint32_t j = 0; j < decalCount_; ++j) {
        const PlacedDecal& record = decals_[j];
        const uint32_t age = j >= head_ ? j - head_ : j + kRing - head_;
        record.color = std::min(age, 255u) << 24 | 0x00FFFFFFu;
        const TypeSlot& slot = *record.slot;
        buckets_[slot.bucketStart + slot.bucketFill++] = &record;
    }
    bucketsStale_ = false;
}

void DecalSet::AddToScene(GraphicsSceneRenderer& renderer, const Frustum*) {
    if (DetailObjectsShown()) renderer.AddRenderable(this, owner_);
}

int DecalSet::GetNumRenderPasses(const Name&, RenderGenerationId) const { return int(typeSlotsUsed_); }

const ABBox& DecalSet::GetRenderPassBoundingBox() const {
    static const ABBox kNoBox;
    return kNoBox;
}

const DecalType* DecalSet::GetPassType(int pass) const {
    return pass >= 0 && uint32_t(pass) < typeSlotsUsed_ ? slots_[pass].type : nullptr;
}

int DecalSet::GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId) const {
    const DecalType* const type = GetPassType(pass);
    const GraphicsShader2* const shader = type != nullptr ? type->GetShader() : nullptr;
    if (shader == nullptr) return 0;
    const uint32_t index = shader->FindStyleByName(style);
    return index == GraphicsShader2::kNoStyle ? 0 : shader->GetSortOrder(index);
}

const GraphicsShader2* DecalSet::GetShader2(int pass, const Name&) const {
    const DecalType* const type = GetPassType(pass);
    return type != nullptr ? type->GetShader() : nullptr;
}

const Name& DecalSet::GetShaderStyle(int, const Name& style, RenderGenerationId, const GraphicsLight*) const {
    return style;
}

const GraphicsTexture* DecalSet::GetTexture(int pass, const Name&) const {
    const DecalType* const type = GetPassType(pass);
    return type != nullptr ? type->GetTexture() : nullptr;
}

void DecalSet::MakeQuad(const PlacedDecal& decal, float width, float height, Vertex out[4]) {
    const Vec3 x = decal.xAxis * (width * 0.5f);
    const Vec3 z = decal.zAxis * (height * 0.5f);
    const float u0 = (decal.flags & kFlagRightVariant) != 0 ? 0.5f : 0.0f;
    const float u1 = u0 + ((decal.flags & kFlagTwoVariants) != 0 ? 0.5f : 1.0f);
    const Vec3 corners[4] = {decal.origin - x - z, decal.origin + x - z, decal.origin + x + z, decal.origin - x + z};
    const float us[4] = {u0, u1, u1, u0};
    const float vs[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) out[i] = Vertex{corners[i], decal.xAxis, decal.zAxis, us[i], vs[i], decal.color};
}

void DecalSet::RenderPass(const RenderablePass& pass, const Name&, GraphicsCanvas& canvas,
                          const GraphicsSceneRenderer& renderer) const {
    const DecalType* const type = GetPassType(pass.pass);
    if (type == nullptr || type->GetTexture() == nullptr || type->GetShader() == nullptr ||
        vertexDeclaration_ == nullptr) {
        return;
    }
    if (bucketsStale_) RebuildBuckets();
    const TypeSlot& slot = slots_[pass.pass];
    const uint32_t n = slot.bucketFill;
    RenderDynamicVertexBuffer* const vertexBuffer = canvas.GetDynamicVertexBuffer();
    RenderDynamicIndexBuffer* const indexBuffer = canvas.GetDynamicIndexBuffer();
    if (n == 0 || vertexBuffer == nullptr || indexBuffer == nullptr) return;

    auto* const vertices = static_cast<Vertex*>(vertexBuffer->Lock(4 * n * uint32_t(sizeof(Vertex))));
    if (vertices == nullptr) return;
    for (uint32_t k = 0; k < n; ++k) MakeQuad(*buckets_[slot.bucketStart + k], type->GetWidth(), type->GetHeight(), vertices + 4 * k);
    vertexBuffer->Unlock();
    uint32_t* const indices = indexBuffer->Lock(6 * n);
    if (indices == nullptr) return;
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t b = 4 * k;
        const uint32_t quad[6] = {b + 2, b + 1, b, b, b + 3, b + 2};
        std::copy(quad, quad + 6, indices + 6 * k);
    }
    indexBuffer->Unlock();

    RenderDevice& device = canvas.GetRenderDevice();
    vertexBuffer->SetStreamSource(0, uint32_t(sizeof(Vertex)));
    indexBuffer->SetIndices();
    const GraphicsShader2& shader = *type->GetShader();
    shader.Begin();
    device.SetVertexDeclaration(vertexDeclaration_);
    const Mat4 objectToWorld(pass.regionToScene);
    shader.SetFloat4x4(Names().objectToWorld, 0, objectToWorld);
    shader.SetFloat4x4(Names().objectToScreen, 0, renderer.GetWorldToScreenMatrix() * objectToWorld);
    shader.SetTexture(Names().baseTexture, 0, type->GetTexture()->GetTexture());
    shader.Render("DecalSet");
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, indexBuffer->GetDrawOffset(), 4 * n, 2 * n, 0, 0);
    shader.End();
}

}  // namespace GAME
