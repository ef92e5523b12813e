#pragma once
// EffectResource: an effect file loaded once per name and shared by every effect that plays it
// (the engine's effect resource manager makes them). It owns the file's EffectData.
//
// A file that does not read (a wrong version, truncated or corrupt records) still counts as
// loaded, with its error logged and an empty EffectData: an effect made from it has no emitters
// and is complete at once. A missing file gives no EffectData at all.

#include <memory>

#include "files/Resource.h"

namespace GAME {

class EffectData;

class EffectResource final : public Resource {
public:
    EffectResource(BaseResourceManager* manager, const std::string& fileName);
    ~EffectResource() override;

    InitResult Initialize(const void* data, uint32_t size) override;
    void InitializeDefault() override;
    void Destroy() override;
    size_t GetSystemMemoryUsage() const override;

    // Loads the resource first when needed; null when it holds no data.
    const EffectData* GetEffectData() const;
    // Loaded, so an effect can be made without waiting.
    bool GetIsReadyToUse() const { return GetLoadedState() == LoadedState::Loaded; }

private:
    std::unique_ptr<EffectData> data_;
};

}  // namespace GAME
