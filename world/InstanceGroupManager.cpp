#include "world/InstanceGroupManager.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/RTTI.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldRay.h"

namespace GAME {

namespace {

// Not one of the engine's singletons that shut down with it: engines come and go (tools, tests)
// and the worlds they made keep reading chunk 17 through the manager until Destroy.
std::mutex gManagerLock;
std::unique_ptr<InstanceGroupManager> gManager;

}  // namespace

InstanceGroupManager* InstanceGroupManager::Get() {
    std::lock_guard lock(gManagerLock);
    if (!gManager) gManager.reset(new InstanceGroupManager);
    return gManager.get();
}

void InstanceGroupManager::Destroy() {
    std::unique_ptr<InstanceGroupManager> gone;
    std::lock_guard lock(gManagerLock);
    gone = std::move(gManager);
}

InstanceGroupManager::~InstanceGroupManager() {
    // The engine's world reads chunk 17 through the manager; it keeps the bytes once it is gone.
    World* world = gEngine != nullptr ? gEngine->GetWorld() : nullptr;
    if (world != nullptr && world->GetInstanceGroupStore() == this) world->SetInstanceGroupStore(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Affiliations
// ---------------------------------------------------------------------------------------------

void InstanceGroupManager::AddGroupAffiliation(const char* type, const RTTI_ClassInfo* classInfo) {
    affiliations_[type ? type : ""].push_back(classInfo);
}

bool InstanceGroupManager::FilterEntity(const std::string& type, const Entity* entity) const {
    const auto found = affiliations_.find(type);
    if (entity == nullptr || found == affiliations_.end()) return false;
    const RTTI_ClassInfo* entityClass = entity->GetRTTIClassInfo();
    return std::any_of(found->second.begin(), found->second.end(),
                       [&](const RTTI_ClassInfo* listed) { return entityClass->IsA(listed); });
}

void InstanceGroupManager::GetGroupTypes(mem::vector<std::string>& out) const {
    for (const auto& entry : affiliations_) out.push_back(entry.first);
}

int InstanceGroupManager::GetKeyIndex(const char* type) const {
    const auto found = affiliations_.find(type ? type : "");
    return found == affiliations_.end() ? -1 : int(std::distance(affiliations_.begin(), found));
}

// ---------------------------------------------------------------------------------------------
// Groups
// ---------------------------------------------------------------------------------------------

InstanceGroup* InstanceGroupManager::CreateNewGroup() {
    CriticalSectionLock lock(lock_);
    auto group = std::make_unique<InstanceGroup>(affiliations_.empty() ? "" : affiliations_.begin()->first.c_str());
    group->SetName(kNewGroupName);
    groups_.push_back(std::move(group));
    return groups_.back().get();
}

void InstanceGroupManager::DeleteGroup(int index) {
    CriticalSectionLock lock(lock_);
    if (index < 0 || index >= GetNumGroups()) return;
    std::unique_ptr<InstanceGroup> gone = std::move(groups_[size_t(index)]);
    groups_.erase(groups_.begin() + index);
    for (const std::unique_ptr<InstanceGroup>& group : groups_) group->RemoveAllLinksTo(gone->GetGroupID());
}

InstanceGroup* InstanceGroupManager::GetGroup(const char* name) const {
    for (const std::unique_ptr<InstanceGroup>& group : groups_) {
        if (name != nullptr && group->GetName() == name) return group.get();
    }
    return nullptr;
}

InstanceGroup* InstanceGroupManager::GetGroup(const UniqueId& groupId) const {
    for (const std::unique_ptr<InstanceGroup>& group : groups_) {
        if (group->GetGroupID() == groupId) return group.get();
    }
    return nullptr;
}

void InstanceGroupManager::GetGroupsOfType(const char* type, mem::vector<int>& out) const {
    for (int i = 0; i < GetNumGroups(); ++i) {
        if (type != nullptr && groups_[size_t(i)]->GetTypeString() == type) out.push_back(i);
    }
}

void InstanceGroupManager::GetGroupsThatContain(const UniqueId& id, mem::vector<int>& out) const {
    for (int i = 0; i < GetNumGroups(); ++i) {
        if (groups_[size_t(i)]->ListContains(id)) out.push_back(i);
    }
}

const InstanceGroup::EntityData* InstanceGroupManager::GetEntityData(const UniqueId& id) const {
    for (const std::unique_ptr<InstanceGroup>& group : groups_) {
        if (const InstanceGroup::EntityData* data = group->GetEntityData(id)) return data;
    }
    return nullptr;
}

void InstanceGroupManager::UpdateEntityData(Entity* entity) {
    if (entity == nullptr || !entity->HasUniqueID()) return;
    for (const std::unique_ptr<InstanceGroup>& group : groups_) {
        if (group->ListContains(entity->GetUniqueID())) group->UpdateEntityData(entity);
    }
}

void InstanceGroupManager::DisavowAllKnowledge(Entity* entity) {
    if (entity == nullptr || !entity->HasUniqueID()) return;
    for (const std::unique_ptr<InstanceGroup>& group : groups_) group->RemoveID(entity->GetUniqueID());
}

int InstanceGroupManager::WorldGroupSelection(const WorldRay& ray) const {
    for (int i = 0; i < GetNumGroups(); ++i) {
        const WorldVec3& centre = groups_[size_t(i)]->GetCenter();
        if (centre.GetRegion() == nullptr) continue;
        const Ray local(centre.GetRegion()->GetRelativePosition(ray.origin), ray.direction);
        const Sphere sphere(centre.GetRegionPosition(), InstanceGroup::kCenterRadius);
        if (sphere.GetIntersection(local) < std::numeric_limits<float>::infinity()) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Chunk 17
// ---------------------------------------------------------------------------------------------

void InstanceGroupManager::Save(BinaryWriter& writer) const {
    writer.Write(0u);
    writer.Write(uint32_t(groups_.size()));
    for (const std::unique_ptr<InstanceGroup>& group : groups_) group->Save(writer);
}

void InstanceGroupManager::Clear() {
    CriticalSectionLock lock(lock_);
    groups_.clear();
}

bool InstanceGroupManager::Load(BinaryReader& reader, bool append, const char* fileName) {
    CriticalSectionLock lock(lock_);
    reader.ReadUInt32();
    const uint32_t count = reader.ReadUInt32();
    if (!append) groups_.clear();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Instance groups (chunk 17) are cut short");
        return false;
    }
    const size_t before = groups_.size();
    uint32_t version = 0;  // of the last record read
    bool newer = false;    // a record of a later version was read
    for (uint32_t i = 0; i < count; ++i) {
        auto group = std::make_unique<InstanceGroup>("Temporary");
        const bool read = group->Load(reader, version);
        // Read as version 2, it may leave fields of its own behind, from which the records after
        // it would be read, or take them from the next record: either may still end where the
        // block ends.
        if (version > InstanceGroup::kVersion && !newer) {
            newer = true;
            Log(LogPriority::Warning,
                "Instance groups (chunk 17) of %s: record %u is of version %u, read as version %u; fields of its "
                "version this engine does not know may be misread",
                fileName, i + 1, version, InstanceGroup::kVersion);
        }
        if (!read) {
            Log(LogPriority::Error, "Instance groups (chunk 17): record %u of %u (version %u) cannot be read", i + 1,
                count, version);
            groups_.resize(before);
            return false;
        }
        groups_.push_back(std::move(group));
    }
    // Records carry no length: only a chunk that ends where its last record ends was read whole.
    if (!reader.IsAtEnd()) {
        Log(LogPriority::Error, "Instance groups (chunk 17): %u bytes are left after record %u of %u (version %u)",
            reader.GetRemaining(), count, count, version);
        groups_.resize(before);
        return false;
    }
    return true;
}

}  // namespace GAME
