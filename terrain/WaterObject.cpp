#include "terrain/WaterObject.h"

#include <algorithm>
#include <cmath>

#include "render/RenderDevice.h"
#include "terrain/Water.h"
#include "terrain/WaterType.h"
#include "terrain/WaterTypeManager.h"
#include "world/LevelGround.h"

namespace GAME {

uint16_t PackWaterDepth(const Vec3& vertex, const LevelGround* ground) {
    const float groundHeight = ground ? ground->GetHeightInterpolated(vertex.x, vertex.z) : 0.0f;
    const float d = std::clamp(vertex.y - groundHeight, 0.0f, 255.0f);
    if (!(d > 0.0f)) return 0;  // also NaN heights
    const float whole = std::trunc(d);
    return uint16_t((unsigned(whole) << 8) | unsigned((d - whole) * 255.0f));
}

RenderVertexDeclaration* CreateWaterVertexDeclaration(RenderDevice& device) {
    const RenderVertexElement elements[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
        {0, RenderVertexUsage::Normal, RenderVertexElementType::Float2},
        {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
    };
    return device.CreateVertexDeclaration(elements, 4);
}

WaterElement::~WaterElement() { DestroyVertexBuffer(); }

const RenderTexture* WaterElement::GetReflectionTexture() const {
    return reflectionPlane_ && reflectionPlane_->surface ? reflectionPlane_->surface->GetTexture() : nullptr;
}

RenderVertexBuffer* WaterElement::CreateVertexBuffer(RenderDevice& device, uint32_t size, uint32_t flags) {
    DestroyVertexBuffer();
    vertexBuffer_ = device.CreateVertexBuffer(flags, size);
    if (vertexBuffer_) device_ = &device;
    return vertexBuffer_;
}

void WaterElement::DestroyVertexBuffer() {
    if (vertexBuffer_) device_->DestroyVertexBuffer(vertexBuffer_);
    vertexBuffer_ = nullptr;
    device_ = nullptr;
}

WaterObject::~WaterObject() { WaterTypeManager::Get().ReleaseWaterType(waterType_); }

Region* WaterObject::GetRegion() const { return water_ ? water_->GetRegion() : nullptr; }

void WaterObject::UpdateWaterType() {
    if (waterType_) waterType_->Update();
}

const char* WaterObject::GetWaterTypeName() const {
    return waterType_ ? waterType_->GetTypeName().c_str() : nullptr;
}

bool WaterObject::AcquireWaterType(const char* name) {
    WaterTypeManager& manager = WaterTypeManager::Get();
    manager.ReleaseWaterType(waterType_);
    waterType_ = manager.GetWaterType(name ? name : "");
    return waterType_ != nullptr;
}

}  // namespace GAME
