#include "terrain/WaterRenderInterface.h"

#include <algorithm>

#include "core/Frustum.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "engine/Engine.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "scene/GraphicsSceneRenderer.h"
#include "scene/RenderablePass.h"
#include "terrain/Water.h"
#include "terrain/WaterType.h"

namespace GAME {

namespace {

constexpr uint32_t kStride = 32;

struct WaterNames {
    Name objectToWorld = Name::Create("objectToWorldMatrix");
    Name objectToScreen = Name::Create("objectToScreenMatrix");
    Name reflectTexture = Name::Create("reflectTexture");
    Name baseTexture = Name::Create("baseTexture");
    Name blockStyle = Name::Create("waterBlockStyle");
    Name blockReflectStyle = Name::Create("waterBlockReflectStyle");
    Name pathStyle = Name::Create("waterPathStyle");
    Name pathReflectStyle = Name::Create("waterPathReflectStyle");
};

const WaterNames& Names() {
    static const WaterNames names;
    return names;
}

bool ReflectionsEnabled() {
    const GraphicsEngine* graphics = GetEngineGraphics();
    return graphics && graphics->AreReflectionsEnabled();
}

}  // namespace

WaterRenderInterface::~WaterRenderInterface() { Destroy(); }

void WaterRenderInterface::Initialize(RenderDevice& device) {
    Destroy();
    device_ = &device;
    declaration_ = CreateWaterVertexDeclaration(device);
}

void WaterRenderInterface::Destroy() {
    if (declaration_ && device_) device_->DestroyVertexDeclaration(declaration_);
    declaration_ = nullptr;
}

bool WaterRenderInterface::Update(const IntVec3& offset, const Frustum& frustum) {
    offset_ = offset;
    visible_.clear();
    water_.GetBlocksInFrustum(visible_, &frustum, 1);
    if (visible_.empty()) return false;
    Vec3 low = visible_[0]->GetBoundingBox().centre - visible_[0]->GetBoundingBox().halfSize;
    Vec3 high = visible_[0]->GetBoundingBox().centre + visible_[0]->GetBoundingBox().halfSize;
    for (const WaterElement* element : visible_) {
        low = Min(low, element->GetBoundingBox().centre - element->GetBoundingBox().halfSize);
        high = Max(high, element->GetBoundingBox().centre + element->GetBoundingBox().halfSize);
    }
    bounds_ = ABBox((low + high) * 0.5f, (high - low) * 0.5f);
    // Grouped by type, each group in the order gathered.
    std::stable_sort(visible_.begin(), visible_.end(), [](const WaterElement* a, const WaterElement* b) {
        return std::less<const WaterType*>()(a->GetWaterType(), b->GetWaterType());
    });
    return true;
}

int WaterRenderInterface::GetNumRenderPasses(const Name&, RenderGenerationId) const {
    return visible_.empty() ? 0 : kNumPasses;
}

const GraphicsShader2* WaterRenderInterface::GetShader2(int pass, const Name&) const {
    return pass < 2 ? water_.GetWaterShader() : water_.GetWavesShader();
}

const Name& WaterRenderInterface::GetShaderStyle(int pass, const Name& style, RenderGenerationId,
                                                 const GraphicsLight*) const {
    if (style != SceneStyleNames::Get().emissive) return style;
    const WaterNames& names = Names();
    const bool reflect = ReflectionsEnabled();
    switch (pass) {
        case 0: return reflect ? names.blockReflectStyle : names.blockStyle;
        case 1: return reflect ? names.pathReflectStyle : names.pathStyle;
        default: return Water::GetWavesStyle(pass - 2);
    }
}

void WaterRenderInterface::RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                                      const GraphicsSceneRenderer& renderer) const {
    const SceneStyleNames& styles = SceneStyleNames::Get();
    const bool fog = style == styles.fog;
    if ((style != styles.emissive && !fog) || !pass.shader) return;
    const WaterNames& names = Names();
    const Mat4 objectToWorld(pass.regionToScene);
    pass.shader->Begin();
    pass.shader->SetFloat4x4(names.objectToWorld, 0, objectToWorld);
    pass.shader->SetFloat4x4(names.objectToScreen, 0, renderer.GetWorldToScreenMatrix() * objectToWorld);
    RenderDevice& device = canvas.GetRenderDevice();
    if (pass.pass < 2) {
        if (declaration_ && water_.GetBlockIndexBuffer()) {
            device.SetVertexDeclaration(declaration_);
            device.SetIndices(water_.GetBlockIndexBuffer());
            RenderElements(uint32_t(pass.pass), device, ReflectionsEnabled());
        }
    } else if (!fog) {
        RenderWaveElements(device, pass.pass - 2);
    }
    pass.shader->End();
}

void WaterRenderInterface::RenderElements(uint32_t type, RenderDevice& device, bool useReflection) const {
    const GraphicsShader2* shader = water_.GetWaterShader();
    if (!shader) return;
    const WaterType* previousType = nullptr;
    const RenderTexture* previousTexture = nullptr;
    const RenderVertexBuffer* previousBuffer = nullptr;
    bool begun = false;
    for (const WaterElement* element : visible_) {
        if (uint32_t(element->GetElementType()) != type || !element->GetVertexBuffer()) continue;
        const RenderTexture* texture = useReflection ? element->GetReflectionTexture() : nullptr;
        if (!begun || element->GetWaterType() != previousType || texture != previousTexture) {
            if (begun) shader->End();
            shader->Begin();
            begun = true;
            if (element->GetWaterType()) element->GetWaterType()->SetShaderParams(shader, offset_);
            shader->SetTexture(Names().reflectTexture, 0, texture);
            shader->Render("Water");
            previousType = element->GetWaterType();
            previousTexture = texture;
        }
        if (element->GetVertexBuffer() != previousBuffer) {
            device.SetStreamSource(0, element->GetVertexBuffer(), 0, kStride);
            previousBuffer = element->GetVertexBuffer();
        }
        element->Render(device, 0);
    }
    if (begun) shader->End();
}

void WaterRenderInterface::RenderWaveElements(RenderDevice& device, int texture) const {
    const GraphicsShader2* shader = water_.GetWavesShader();
    if (!shader || !declaration_ || !water_.GetWavesIndexBuffer()) return;
    device.SetIndices(water_.GetWavesIndexBuffer());
    device.SetVertexDeclaration(declaration_);
    shader->Begin();
    const GraphicsTexture* waves = water_.GetWavesTexture(texture);
    shader->SetTexture(Names().baseTexture, 0, waves ? waves->GetTexture() : nullptr);
    shader->Render("WaveElements");
    const RenderVertexBuffer* previous = nullptr;
    for (const WaterElement* element : visible_) {
        if (element->GetElementType() != WaterElement::ElementType::WaveElement || !element->GetVertexBuffer()) continue;
        if (element->GetVertexBuffer() != previous) {
            device.SetStreamSource(0, element->GetVertexBuffer(), 0, kStride);
            previous = element->GetVertexBuffer();
        }
        element->Render(device, texture);
    }
    shader->End();
}

void WaterRenderInterface::LogInfo() const {
    Log(LogPriority::Info, "WaterRenderInterface");
    water_.LogInfo();
}

}  // namespace GAME
