#include "terrain/WaterTypeManager.h"

#include <strings.h>

#include <utility>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "engine/Engine.h"
#include "terrain/WaterType.h"

namespace GAME {

namespace {

CriticalSection gInstanceLock;
std::unique_ptr<WaterTypeManager> gInstance;

}  // namespace

WaterTypeManager& WaterTypeManager::Get() {
    CriticalSectionLock hold(gInstanceLock);
    if (!gInstance) {
        gInstance = std::make_unique<WaterTypeManager>();
        // The engine's shutdown destroys the manager with its own.
        Engine::RegisterManagerDestroyer(&WaterTypeManager::Destroy);
    }
    return *gInstance;
}

void WaterTypeManager::Destroy() {
    CriticalSectionLock hold(gInstanceLock);
    gInstance.reset();
}

WaterTypeManager::~WaterTypeManager() {
    for (const WaterTypeRef& ref : refs_) {
        if (ref.type && gEngine) {
            Log(LogPriority::Warning, "Warning: removing water type '%s' with '%u' references remaining.",
                ref.type->GetTypeName().c_str(), unsigned(ref.count));
        }
    }
}

const WaterTypeManager::WaterTypeRef* WaterTypeManager::Find(const std::string& name) const {
    for (const WaterTypeRef& ref : refs_) {
        if (ref.type && strcasecmp(ref.type->GetTypeName().c_str(), name.c_str()) == 0) return &ref;
    }
    return nullptr;
}

WaterTypeManager::WaterTypeRef* WaterTypeManager::Find(const std::string& name) {
    return const_cast<WaterTypeRef*>(std::as_const(*this).Find(name));
}

bool WaterTypeManager::IsWaterType(const std::string& name) const {
    CriticalSectionLock hold(lock_);
    return Find(name) != nullptr;
}

int WaterTypeManager::GetReferenceCount(const std::string& name) const {
    CriticalSectionLock hold(lock_);
    const WaterTypeRef* ref = Find(name);
    return ref ? ref->count : 0;
}

WaterType* WaterTypeManager::GetWaterType(const std::string& name) {
    CriticalSectionLock hold(lock_);
    WaterTypeRef* ref = Find(name);
    if (!ref) return nullptr;
    ++ref->count;
    return ref->type.get();
}

WaterType* WaterTypeManager::CreateWaterType(const std::string& name) {
    CriticalSectionLock hold(lock_);
    if (WaterType* existing = GetWaterType(name)) return existing;
    return Add(std::make_unique<WaterType>(name));
}

WaterType* WaterTypeManager::AddWaterType(const WaterType& source) {
    CriticalSectionLock hold(lock_);
    if (Find(source.GetTypeName())) return nullptr;
    return Add(std::make_unique<WaterType>(source));
}

WaterType* WaterTypeManager::Add(std::unique_ptr<WaterType> type) {
    WaterType* added = type.get();
    WaterTypeRef* slot = nullptr;
    for (WaterTypeRef& ref : refs_) {
        if (!ref.type) {
            slot = &ref;
            break;
        }
    }
    if (!slot) slot = &refs_.emplace_back();
    slot->type = std::move(type);
    slot->count = 1;
    added->LoadResources();
    return added;
}

bool WaterTypeManager::ReleaseWaterType(const WaterType* type) {
    if (!type) return false;
    CriticalSectionLock hold(lock_);
    for (WaterTypeRef& ref : refs_) {
        if (ref.type.get() != type) continue;
        if (ref.count > 0) --ref.count;
        if (ref.count > 0) return false;
        ref.type.reset();
        ref.count = 0;
        return true;
    }
    return false;
}

bool WaterTypeManager::RenameWaterType(const std::string& oldName, const std::string& newName) {
    CriticalSectionLock hold(lock_);
    WaterTypeRef* ref = Find(oldName);
    if (!ref || Find(newName)) return false;
    ref->type->SetTypeName(newName);
    return true;
}

void WaterTypeManager::GetWaterTypeNames(mem::vector<std::string>& names) const {
    CriticalSectionLock hold(lock_);
    names.clear();
    for (const WaterTypeRef& ref : refs_) {
        if (ref.type) names.push_back(ref.type->GetTypeName());
    }
}

}  // namespace GAME
