#include "world/InstanceGroup.h"

#include <algorithm>

#include "core/Log.h"
#include "core/Singleton.h"
#include "core/UniqueIdMap.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "world/InstanceGroupManager.h"
#include "world/Region.h"

namespace GAME {

namespace {

// Bytes of one stored member: id, region id, position.
constexpr uint32_t kMemberSize = 16 + 16 + 12;
constexpr uint32_t kIdSize = 16;

// The entity registered under the id, when it stands in a region.
Entity* FindPlacedEntity(const UniqueId& id) {
    Entity* entity = UniqueIdMap::Get()->GetEntity(id);
    return entity != nullptr && entity->GetRegion() != nullptr ? entity : nullptr;
}

}  // namespace

InstanceGroup::InstanceGroup(const char* type) : type_(type ? type : "") { groupId_.Create(); }

void InstanceGroup::SetType(const char* type) {
    type_ = type ? type : "";
    ids_.clear();
    data_.clear();
}

bool InstanceGroup::ListContains(const UniqueId& id) const { return std::find(ids_.begin(), ids_.end(), id) != ids_.end(); }

const InstanceGroup::EntityData* InstanceGroup::GetEntityData(const UniqueId& id) const {
    const auto found = std::find(ids_.begin(), ids_.end(), id);
    return found != ids_.end() ? &data_[size_t(found - ids_.begin())] : nullptr;
}

bool InstanceGroup::FilterEntity(Entity* entity) const { return InstanceGroupManager::Get()->FilterEntity(type_, entity); }

// ---------------------------------------------------------------------------------------------
// Members and children
// ---------------------------------------------------------------------------------------------

void InstanceGroup::AddEntity(Entity* entity) {
    if (entity == nullptr) return;
    if (FilterEntity(entity) && !ListContains(entity->GetUniqueID())) {
        ids_.push_back(entity->GetUniqueID());
        const Region* region = entity->GetRegion();
        data_.push_back(EntityData{region != nullptr ? region->GetId() : RegionId(),
                                   entity->GetCoords().GetOrigin().GetRegionPosition()});
    }
    CalcCenter();
}

void InstanceGroup::UpdateEntityData(Entity* entity) {
    if (entity == nullptr || entity->GetRegion() == nullptr || !entity->HasUniqueID()) return;
    const auto found = std::find(ids_.begin(), ids_.end(), entity->GetUniqueID());
    if (found == ids_.end()) return;
    data_[size_t(found - ids_.begin())] =
        EntityData{entity->GetRegion()->GetId(), entity->GetCoords().GetOrigin().GetRegionPosition()};
}

void InstanceGroup::RemoveAt(size_t index) {
    ids_.erase(ids_.begin() + std::ptrdiff_t(index));
    data_.erase(data_.begin() + std::ptrdiff_t(index));
}

void InstanceGroup::RemoveEntity(int index) {
    if (index >= 0 && index < GetNumID()) RemoveAt(size_t(index));
}

void InstanceGroup::RemoveEntity(Entity* entity) {
    if (entity != nullptr && entity->HasUniqueID()) RemoveID(entity->GetUniqueID());
}

void InstanceGroup::RemoveID(const UniqueId& id) {
    for (size_t i = ids_.size(); i-- > 0;) {
        if (ids_[i] == id) RemoveAt(i);
    }
    CalcCenter();
}

bool InstanceGroup::MoveEntityUp(int index) {
    if (index < 1 || index >= GetNumID()) return false;
    std::swap(ids_[size_t(index)], ids_[size_t(index - 1)]);
    std::swap(data_[size_t(index)], data_[size_t(index - 1)]);
    return true;
}

bool InstanceGroup::MoveEntityDown(int index) {
    if (index < 0 || index >= GetNumID() - 1) return false;
    std::swap(ids_[size_t(index)], ids_[size_t(index + 1)]);
    std::swap(data_[size_t(index)], data_[size_t(index + 1)]);
    return true;
}

void InstanceGroup::AddChild(const InstanceGroup* child) {
    if (child != nullptr && std::find(children_.begin(), children_.end(), child->GetGroupID()) == children_.end())
        children_.push_back(child->GetGroupID());
}

void InstanceGroup::RemoveAllLinksTo(const UniqueId& groupId) {
    children_.erase(std::remove(children_.begin(), children_.end(), groupId), children_.end());
}

// ---------------------------------------------------------------------------------------------
// Centre and drawing
// ---------------------------------------------------------------------------------------------

void InstanceGroup::CalcCenter() {
    Region* reference = nullptr;
    Vec3 sum(0, 0, 0);
    int found = 0;
    for (const UniqueId& id : ids_) {
        const Entity* entity = FindPlacedEntity(id);
        if (entity == nullptr) continue;
        if (reference == nullptr) reference = entity->GetRegion();
        sum += reference->GetRelativePosition(entity->GetCoords().GetOrigin());
        ++found;
    }
    if (found > 0) center_ = WorldVec3(reference, sum / float(found));
}

void InstanceGroup::Render(Region* region, GraphicsPrimitiveDrawer& drawer, bool selected) {
    CalcCenter();
    const Color colour = selected ? Color(0.85f, 0.0f, 0.0f, 1.0f) : Color(0.0f, 0.0f, 0.0f, 1.0f);
    if (const GraphicsEngine* graphics = GetEngineGraphics()) drawer.SetShader(graphics->GetOverlayShader());
    drawer.SetRegion(region);
    drawer.SetColor(colour);
    const Vec3 centre = region->GetRelativePosition(center_);
    for (const UniqueId& id : ids_) {
        Entity* entity = FindPlacedEntity(id);
        if (entity == nullptr) continue;
        UpdateEntityData(entity);
        if (Singleton<DebugRenderManager>::HasInstantiated())
            Singleton<DebugRenderManager>::Get()->RenderBox(entity->GetRegion(), entity->GetRegionBoundingBox(false),
                                                            colour);
        if (ids_.size() > 1) {
            drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
            drawer.SetVertex(region->GetRelativePosition(entity->GetCoords().GetOrigin()));
            drawer.SetVertex(centre);
            drawer.End();
        }
    }
    if (ids_.empty() || center_.GetRegion() == nullptr) return;
    DrawSolidCircle(drawer, centre, kCenterRadius, 24);
    const InstanceGroupManager& manager = *InstanceGroupManager::Get();
    for (const UniqueId& childId : children_) {
        const InstanceGroup* child = manager.GetGroup(childId);
        if (child == nullptr || child->GetCenter().GetRegion() == nullptr) continue;
        DrawArrow(drawer, centre, region->GetRelativePosition(child->GetCenter()), colour, colour, Vec3(0, 1, 0));
    }
}

// ---------------------------------------------------------------------------------------------
// Stored form
// ---------------------------------------------------------------------------------------------

void InstanceGroup::Save(BinaryWriter& writer) const {
    writer.Write(kVersion);
    writer.Write(name_);
    writer.Write(type_);
    writer.Write(uint32_t(ids_.size()));
    for (size_t i = 0; i < ids_.size(); ++i) {
        writer.WriteWordOrder(ids_[i]);
        data_[i].region.Write(writer);
        writer.Write(data_[i].position);
    }
    writer.WriteWordOrder(groupId_);
    writer.Write(uint32_t(children_.size()));
    for (const UniqueId& child : children_) writer.WriteWordOrder(child);
}

bool InstanceGroup::Load(BinaryReader& reader, uint32_t& version) {
    version = reader.ReadUInt32();
    // A newer record begins with the fields of version 2, which are read; version 0 is damage.
    if (reader.Failed() || version < 1) {
        Log(LogPriority::Error, "Instance group record of unknown version %u", version);
        return false;
    }
    if (!reader.ReadString(name_) || !reader.ReadString(type_)) return false;
    const uint32_t count = reader.ReadUInt32();
    // Every member takes its bytes: a count that cannot fit is damage, not an allocation.
    if (reader.Failed() || count > reader.GetRemaining() / kMemberSize) return false;
    ids_.resize(count);
    data_.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        ids_[i] = reader.ReadUniqueIdWordOrder();
        data_[i].region.Read(reader);
        data_[i].position = reader.ReadVec3();
    }
    if (version >= 2) {
        const UniqueId id = reader.ReadUniqueIdWordOrder();
        const uint32_t children = reader.ReadUInt32();
        if (reader.Failed() || children > reader.GetRemaining() / kIdSize) return false;
        groupId_ = id;
        children_.resize(children);
        for (UniqueId& child : children_) child = reader.ReadUniqueIdWordOrder();
    }
    return !reader.Failed();
}

}  // namespace GAME
