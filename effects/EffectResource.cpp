#include "effects/EffectResource.h"

#include "effects/EffectData.h"
#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "files/ResourceManager.h"

namespace GAME {

EffectResource::EffectResource(BaseResourceManager* manager, const std::string& fileName)
    : Resource(manager, fileName, ResourceType::Effect) {}

EffectResource::~EffectResource() = default;

Resource::InitResult EffectResource::Initialize(const void* data, uint32_t size) {
    // BufferLoad logs a bad file and leaves the effect empty, which plays as an effect with no
    // emitters; reporting it as a failure would only make the loader retry or drop it.
    data_ = std::make_unique<EffectData>();
    data_->BufferLoad(data, size);
    return InitResult::Success;
}

void EffectResource::InitializeDefault() { Destroy(); }

void EffectResource::Destroy() { data_.reset(); }

size_t EffectResource::GetSystemMemoryUsage() const {
    return Resource::GetSystemMemoryUsage() + sizeof(*this) + (data_ ? data_->GetAllocatedSize() + sizeof(EffectData) : 0);
}

const EffectData* EffectResource::GetEffectData() const {
    EnsureAvailable();
    return data_.get();
}

// The engine's effect resource manager is made here, above the engine, which holds it by its base.
void Engine::CreateEffectResourceManager(ResourceLoader& loader) {
    effectResourceManager_ = std::make_unique<ResourceManager<EffectResource>>(loader);
}

const EffectResource* LoadTable::LoadResourceEffect(const char* key, int index) const {
    const std::string* item = FindItem(key, index);
    BaseResourceManager* const manager = gEngine != nullptr ? gEngine->GetEffectResourceManager() : nullptr;
    if (item == nullptr || manager == nullptr) return nullptr;
    return static_cast<ResourceManager<EffectResource>*>(manager)->LoadResource(*item);
}

}  // namespace GAME
