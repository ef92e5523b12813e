#include "effects/DecalTypeMgr.h"

#include "core/CriticalSectionLock.h"
#include "core/Singleton.h"
#include "effects/DecalType.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"

namespace GAME {

namespace {

DecalTypeMgr* gManager = nullptr;

std::string NormalName(std::string name) {
    FileSystem::ConvertFileName(name);
    return name;
}

void DestroyType(const DecalType* type) {
    Singleton<ObjectManager>::Get()->DestroyObjectEx(const_cast<DecalType*>(type), __FILE__, __LINE__);
}

}  // namespace

DecalTypeMgr& DecalTypeMgr::Get() {
    if (gManager == nullptr) gManager = new DecalTypeMgr();
    return *gManager;
}

void DecalTypeMgr::Destroy() {
    delete gManager;
    gManager = nullptr;
}

DecalTypeMgr::~DecalTypeMgr() {
    for (uint32_t i = 0; i < count_; ++i) DestroyType(entries_[i].type);
}

const DecalType* DecalTypeMgr::LoadDecalType(const std::string& recordName) {
    if (recordName.empty()) return nullptr;
    CriticalSectionLock lock(lock_);
    const std::string wanted = NormalName(recordName);
    for (uint32_t i = 0; i < count_; ++i) {
        if (NormalName(entries_[i].type->GetObjectName()) == wanted) {
            ++entries_[i].refCount;
            return entries_[i].type;
        }
    }
    if (count_ >= kMaxTypes) return nullptr;
    const DecalType* const type = Singleton<ObjectManager>::Get()->CreateObjectFromFile<DecalType>(recordName);
    if (type == nullptr) return nullptr;
    entries_[count_++] = Entry{1, type};
    return type;
}

bool DecalTypeMgr::ReferenceDecalType(const DecalType* type) {
    for (uint32_t i = 0; i < count_; ++i) {
        if (entries_[i].type == type) {
            ++entries_[i].refCount;
            return true;
        }
    }
    return false;
}

void DecalTypeMgr::UnloadDecalType(const DecalType* type) {
    if (type == nullptr) return;
    CriticalSectionLock lock(lock_);
    for (uint32_t i = 0; i < count_; ++i) {
        Entry& entry = entries_[i];
        if (entry.type != type) continue;
        if (entry.refCount >= 2) {
            --entry.refCount;
            return;
        }
        DestroyType(type);
        // The entries stay dense: the last one takes the freed place.
        entry = entries_[--count_];
        entries_[count_] = Entry{};
        return;
    }
}

uint32_t DecalTypeMgr::GetRefCount(const DecalType* type) const {
    for (uint32_t i = 0; i < count_; ++i) {
        if (entries_[i].type == type) return entries_[i].refCount;
    }
    return 0;
}

}  // namespace GAME
