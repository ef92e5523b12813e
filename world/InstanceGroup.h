#pragma once
// InstanceGroup: a named, typed group of placed entities anywhere in the world (all members of
// one encounter, say), with links to child groups. Members are kept by UniqueId with the region
// and region-relative position where each was last seen, so a group can be shown and reasoned
// about while its members' levels are not loaded. Which entity classes may join a group of a type
// is declared with InstanceGroupManager::AddGroupAffiliation. The manager owns every group.
//
// Stored form (one record; little-endian, strings as u32 length and bytes, ids as four u32 words,
// word 0 first):
//   u32 version (2), name, type, u32 member count n, n times (member id, RegionId, 3 f32
//   position), then from version 2: the group id, u32 child count m, m child ids.
// A version-1 record keeps the group's own id and has no children; a record of a later version
// is read as version 2 (its fields come first). Records carry no length, so the fields a later
// version adds cannot be passed over: the manager refuses a block in which such fields are left,
// and warns of any record of a later version (InstanceGroupManager.h). A record of version 0, or
// one that is cut short, fails the load.
//
// Decision: changing the type empties the members, ids and data together, so they stay paired.
//
// Threads: main thread (the manager's list lock guards the list of groups, not a group).

#include <string>

#include "core/Mem.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "core/WorldVec3.h"
#include "world/RegionId.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;
class Entity;
class GraphicsPrimitiveDrawer;
class Region;

class InstanceGroup {
public:
    // Where a member was last seen.
    struct EntityData {
        RegionId region;
        Vec3 position;  // relative to the region
    };

    static constexpr uint32_t kVersion = 2;
    // The radius of the disc drawn at the centre, which rays pick the group by.
    static constexpr float kCenterRadius = 0.5f;

    // A fresh group id, the type, an empty name, no members, no children, a centre without region.
    explicit InstanceGroup(const char* type);

    const UniqueId& GetGroupID() const { return groupId_; }
    const std::string& GetName() const { return name_; }
    void SetName(const char* name) { name_ = name ? name : ""; }
    const char* GetType() const { return type_.c_str(); }
    const std::string& GetTypeString() const { return type_; }
    // Sets the type and removes every member.
    void SetType(const char* type);
    const WorldVec3& GetCenter() const { return center_; }

    int GetNumID() const { return int(ids_.size()); }
    const UniqueId& GetID(int index) const { return ids_[size_t(index)]; }
    bool ListContains(const UniqueId& id) const;
    // out becomes a copy of the member ids.
    void FillIdList(mem::vector<UniqueId>& out) const { out = ids_; }
    const EntityData& GetEntityData(int index) const { return data_[size_t(index)]; }
    // Null when the id is not a member.
    const EntityData* GetEntityData(const UniqueId& id) const;
    int GetNumChildren() const { return int(children_.size()); }
    const UniqueId& GetChildId(int index) const { return children_[size_t(index)]; }

    // Whether the manager's affiliations let the entity join a group of this type.
    bool FilterEntity(Entity* entity) const;
    // Adds an accepted entity that is not yet a member, with where it stands; then recomputes
    // the centre. Nothing for null.
    void AddEntity(Entity* entity);
    // A member in a region takes its current region and position.
    void UpdateEntityData(Entity* entity);
    // Nothing for an index out of range.
    void RemoveEntity(int index);
    void RemoveEntity(Entity* entity);
    // Removes every member with the id (the rest keep their order), then recomputes the centre.
    void RemoveID(const UniqueId& id);
    // Swap with the member before / after; false (nothing changes) at the ends.
    bool MoveEntityUp(int index);
    bool MoveEntityDown(int index);
    // Appends the child's group id unless listed.
    void AddChild(const InstanceGroup* child);
    void RemoveChild(const InstanceGroup* child) { RemoveAllLinksTo(child->GetGroupID()); }
    void RemoveAllLinksTo(const UniqueId& groupId);

    // The average position of the members found in the world (by their ids), in the region of the
    // first one found; unchanged when none is found.
    void CalcCenter();
    // Editor drawing, positions relative to region: a box at each member found (and a line to the
    // centre with several members), a disc at the centre, and arrows to the child groups. Black,
    // or red when selected.
    void Render(Region* region, GraphicsPrimitiveDrawer& drawer, bool selected);

    void Save(BinaryWriter& writer) const;
    // False for a record that is cut short or of version 0; the group may then hold part of it.
    // version receives the record's version (0 when even that is cut).
    bool Load(BinaryReader& reader, uint32_t& version);

private:
    void RemoveAt(size_t index);

    UniqueId groupId_;
    std::string type_;
    std::string name_;
    mem::vector<UniqueId> ids_;
    mem::vector<EntityData> data_;  // one per id, at the same index
    WorldVec3 center_;
    mem::vector<UniqueId> children_;
};

}  // namespace GAME
