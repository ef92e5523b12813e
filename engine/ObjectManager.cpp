#include "engine/ObjectManager.h"

#include <algorithm>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/RTTI.h"
#include "files/TableDepot.h"

namespace GAME {

namespace {

// The host id of every object made while the engine plays stand-alone.
constexpr uint32_t kStandAloneHostId = 0;

const char* GetClassName(const Object* object) { return object->GetRTTIClassInfo()->GetClassName(); }

}  // namespace

ObjectManager::~ObjectManager() {
    DestroyPendingObjects(-1);
    for (;;) {
        mem::vector<Object*> remaining;
        {
            CriticalSectionLock lock(lock_);
            for (const auto& [id, object] : byId_) remaining.push_back(object);
            byId_.clear();
            live_.clear();
        }
        if (remaining.empty()) break;
        // Destructors may queue (or make) other objects: go round until nothing is left.
        for (Object* object : remaining) delete object;
        DestroyPendingObjects(-1);
    }
}

void ObjectManager::SetTableDepot(TableDepot* depot) {
    CriticalSectionLock lock(lock_);
    depot_ = depot;
}

Object* ObjectManager::CreateObject(const char* className, uint32_t objectId) {
    Object* object = RTTI_ClassInfo::CreateObject(className);
    if (object) Register(object, objectId);
    return object;
}

Object* ObjectManager::CreateObjectFromFile(const std::string& recordName, uint32_t objectId, bool load) {
    return CreateFromRecord(recordName, objectId, load, nullptr);
}

Object* ObjectManager::CreateFromRecord(const std::string& recordName, uint32_t objectId, bool load,
                                        const RTTI_ClassInfo* requiredClass) {
    TableDepot* depot = GetTableDepot(recordName);
    const LoadTable* table = depot ? depot->LoadTableFile(recordName) : nullptr;
    if (!table) return nullptr;

    const char* className = table->GetValue("Class", nullptr);
    if (!className) {
        Log(LogPriority::Error, "ObjectManager: record '%s' names no Class", recordName.c_str());
        return nullptr;
    }
    const RTTI_ClassInfo* classInfo = RTTI_ClassInfo::Find(className);
    if (!classInfo || classInfo->IsAbstract()) {
        Log(LogPriority::Error, "ObjectManager: record '%s' names the class '%s', which cannot be created",
            recordName.c_str(), className);
        return nullptr;
    }
    if (requiredClass && !classInfo->IsA(requiredClass)) {
        Log(LogPriority::Error, "ObjectManager: record '%s' names the class %s, which is not derived from %s",
            recordName.c_str(), className, requiredClass->GetClassName());
        return nullptr;
    }

    Object* object = classInfo->CreateObject();
    object->SetObjectName(table->GetRecordName().c_str());
    Register(object, objectId);
    if (load && !object->Load(*table)) {
        Log(LogPriority::Error, "ObjectManager: %s '%s' failed to load", className, recordName.c_str());
        // Load may have handed the object out (its id, its unique id): delete it at the frame
        // boundary like any other object.
        DestroyObjectEx(object, __FILE__, __LINE__);
        return nullptr;
    }
    return object;
}

bool ObjectManager::LoadObjectData(Object* object) {
    if (!object) return false;
    const LoadTable* table = LoadTableFile(object->GetObjectName());
    return table && object->Load(*table);
}

void ObjectManager::Register(Object* object, uint32_t objectId) {
    CriticalSectionLock lock(lock_);
    if (objectId != 0 && byId_.contains(objectId)) {
        Log(LogPriority::Warning, "ObjectManager: object id %u is in use; %s '%s' gets a new id", objectId,
            GetClassName(object), object->GetObjectName().c_str());
        objectId = 0;
    }
    if (objectId == 0) objectId = AllocateIdLocked();
    object->SetObjectId(objectId);
    byId_.emplace(objectId, object);
    live_.insert(object);
}

uint32_t ObjectManager::AllocateIdLocked() {
    for (;;) {
        const uint32_t id = Object::MakeObjectId(kStandAloneHostId, nextCounter_);
        nextCounter_ = nextCounter_ == Object::kCounterMask ? 1 : nextCounter_ + 1;
        if (!byId_.contains(id)) return id;
    }
}

void ObjectManager::DestroyObjectEx(Object* object, const char* file, int line) {
    if (!object) return;
    CriticalSectionLock lock(lock_);
    if (pendingObjects_.contains(object)) {
        const auto first = std::find_if(pending_.begin(), pending_.end(),
                                        [object](const Pending& pending) { return pending.object == object; });
        Log(LogPriority::Info, "ObjectManager: %s:%d destroys an object already queued by %s:%d", file, line,
            first->file, first->line);
        return;
    }
    // Compared by address only: the object may be gone already.
    if (!live_.contains(object)) {
        Log(LogPriority::Error, "ObjectManager: %s:%d destroys an object the manager does not hold", file, line);
        return;
    }
    byId_.erase(object->GetObjectId());
    live_.erase(object);
    object->destroyed_.store(true, std::memory_order_relaxed);
    pending_.push_back({object, file, line});
    pendingObjects_.insert(object);
}

int ObjectManager::DestroyPendingObjects(int maxObjects) {
    int destroyed = 0;
    while (maxObjects < 0 || destroyed < maxObjects) {
        Object* object = nullptr;
        {
            CriticalSectionLock lock(lock_);
            if (pending_.empty()) break;
            object = pending_.front().object;
            pending_.pop_front();
            pendingObjects_.erase(object);
        }
        delete object;
        ++destroyed;
    }
    return destroyed;
}

int ObjectManager::LogLeakedObjects() const {
    CriticalSectionLock lock(lock_);
    mem::vector<const Object*> leaked;
    for (const auto& [id, object] : byId_) leaked.push_back(object);
    std::sort(leaked.begin(), leaked.end(),
              [](const Object* a, const Object* b) { return a->GetObjectId() < b->GetObjectId(); });
    for (const Object* object : leaked)
        Log(LogPriority::Warning, "Object never destroyed: %s '%s' (id %u)", GetClassName(object),
            object->GetObjectName().c_str(), object->GetObjectId());
    if (!leaked.empty()) Log(LogPriority::Warning, "%d objects were never destroyed", static_cast<int>(leaked.size()));
    return static_cast<int>(leaked.size());
}

Object* ObjectManager::GetObject(uint32_t objectId) const {
    CriticalSectionLock lock(lock_);
    const auto it = byId_.find(objectId);
    return it != byId_.end() ? it->second : nullptr;
}

Object* ObjectManager::GetObjectByName(const Name& name) const { return GetObjectByName(name, nullptr); }

Object* ObjectManager::GetObjectByName(const Name& name, const Object* except) const {
    CriticalSectionLock lock(lock_);
    Object* found = nullptr;
    for (const auto& [id, object] : byId_)
        if (object != except && object->GetObjectNameHash() == name && (!found || id < found->GetObjectId()))
            found = object;
    return found;
}

TableDepot* ObjectManager::GetTableDepot(const std::string& recordName) const {
    CriticalSectionLock lock(lock_);
    if (!depot_) Log(LogPriority::Error, "ObjectManager: no record store to read '%s' from", recordName.c_str());
    return depot_;
}

const LoadTable* ObjectManager::LoadTableFile(const std::string& recordName) {
    TableDepot* depot = GetTableDepot(recordName);
    return depot ? depot->LoadTableFile(recordName) : nullptr;
}

const LoadTable& ObjectManager::GetLoadTable(const std::string& recordName) {
    TableDepot* depot = GetTableDepot(recordName);
    return depot ? depot->GetLoadTable(recordName) : emptyTable_;
}

int ObjectManager::GetNumObjects() const {
    CriticalSectionLock lock(lock_);
    return static_cast<int>(byId_.size());
}

int ObjectManager::GetNumDeletedObjects() const {
    CriticalSectionLock lock(lock_);
    return static_cast<int>(pending_.size());
}

}  // namespace GAME
