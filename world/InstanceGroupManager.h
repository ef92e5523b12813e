#pragma once
// InstanceGroupManager: the owner of every InstanceGroup (a singleton), and the game's group
// affiliations: which entity classes (or classes derived from them) may join a group of each type,
// declared at start-up. A type without affiliations accepts no entity.
//
// The world reads and writes the groups as chunk 17 of its world and map files through the
// InstanceGroupStore interface (the engine hands the manager to its world):
//   u32 0, u32 group count, then the group records (InstanceGroup) in group order.
// A group's index is its place in creation and load order. Groups outlive their members' levels:
// members are kept by id with where they were last seen. Unloading the world deletes the groups.
//
// Decision: affiliation types are kept sorted by name, so "the first type" (of a new group) and
// GetKeyIndex are the same from run to run.
//
// Threads: CreateNewGroup, DeleteGroup, Load and Clear hold the list lock; callers that walk the
// list while another thread may change it bracket the walk with LockGroupList / UnlockGroupList.
// Everything else runs on the main thread.

#include <memory>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "world/InstanceGroup.h"
#include "world/InstanceGroupStore.h"

namespace GAME {

class RTTI_ClassInfo;
struct WorldRay;

class InstanceGroupManager final : public InstanceGroupStore {
public:
    static constexpr const char* kNewGroupName = "New Group";

    // The manager, made on first use; it lives until Destroy (the engine's shutdown leaves it).
    static InstanceGroupManager* Get();
    // Deletes the manager with its groups; the engine's world keeps chunk 17 as bytes from then.
    static void Destroy();
    ~InstanceGroupManager();
    InstanceGroupManager(const InstanceGroupManager&) = delete;
    InstanceGroupManager& operator=(const InstanceGroupManager&) = delete;

    void LockGroupList() const { lock_.Enter(); }
    void UnlockGroupList() const { lock_.Exit(); }

    // Affiliations.
    void AddGroupAffiliation(const char* type, const RTTI_ClassInfo* classInfo);
    // The type has affiliations and the entity is of a listed class or derives from one.
    bool FilterEntity(const std::string& type, const Entity* entity) const;
    // Appends every type with affiliations, in order.
    void GetGroupTypes(mem::vector<std::string>& out) const;
    // The type's place in that order; -1 when it has no affiliations.
    int GetKeyIndex(const char* type) const;

    // Groups.
    // A group of the first affiliated type (empty without any) named "New Group", at the end.
    InstanceGroup* CreateNewGroup();
    // Deletes the group and every child link to it; nothing for an index out of range.
    void DeleteGroup(int index);
    int GetNumGroups() const { return int(groups_.size()); }
    InstanceGroup* GetGroup(int index) const { return groups_[size_t(index)].get(); }
    // The first group of the name / the group of the id; null when there is none.
    InstanceGroup* GetGroup(const char* name) const;
    InstanceGroup* GetGroup(const UniqueId& groupId) const;
    // Append group indices: of the exact type / that hold the id (once per group), in order.
    void GetGroupsOfType(const char* type, mem::vector<int>& out) const;
    void GetGroupsThatContain(const UniqueId& id, mem::vector<int>& out) const;

    // Members across groups.
    // The first group's data of the member; null when no group holds it.
    const InstanceGroup::EntityData* GetEntityData(const UniqueId& id) const;
    void UpdateEntityData(Entity* entity);
    // Removes an entity with an id from every group.
    void DisavowAllKnowledge(Entity* entity);

    // The index of the first group whose centre disc the ray meets; -1 for none.
    int WorldGroupSelection(const WorldRay& ray) const;

    // InstanceGroupStore: chunk 17.
    void Save(BinaryWriter& writer) const override;
    bool Load(BinaryReader& reader, const char* fileName) override { return Load(reader, false, fileName); }
    void Clear() override;
    // Reads the groups after the existing ones (append) or in their place. False, with an error
    // naming the record and its version, for a block that is cut short or damaged, or that does
    // not end where its last record ends (a record of a later version holding fields this engine
    // cannot pass over); then none of the block's groups is kept. A record of a later version
    // read as version 2 may still be misread (its fields may happen to end where the block
    // ends): the first one logs a warning naming the file (fileName), chunk 17, the record and
    // its version.
    bool Load(BinaryReader& reader, bool append, const char* fileName = "");

private:
    InstanceGroupManager() = default;

    mutable CriticalSection lock_;
    mem::map<std::string, mem::vector<const RTTI_ClassInfo*>> affiliations_;
    mem::vector<std::unique_ptr<InstanceGroup>> groups_;
};

}  // namespace GAME
