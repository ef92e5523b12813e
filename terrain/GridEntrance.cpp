#include "terrain/GridEntrance.h"

#include "core/Log.h"

#include <string>
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "world/Portal.h"
#include "world/Region.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(GridEntrance, Tile);

namespace {

void WriteWords(BinaryWriter& writer, const UniqueId& id) {
    for (uint32_t word : id.ToNameOrderWords()) writer.Write(static_cast<unsigned int>(word));
}

}  // namespace



bool GridEntrance::Read(BinaryReader& reader) {
    if (!Tile::Read(reader)) return false;
    id_ = reader.ReadUniqueIdWordOrder();
    connectedId_ = reader.ReadUniqueIdWordOrder();
    connectedRegion_.Read(reader);
    return !reader.Failed();
}

void GridEntrance::Write(BinaryWriter& writer) const {
    Tile::Write(writer);
    WriteWords(writer, portal_ ? portal_->GetId() : id_);
    WriteWords(writer, portal_ ? portal_->GetConnectedPortalId() : connectedId_);
    (portal_ ? portal_->GetConnectedRegionId() : connectedRegion_).Write(writer);
}

void GridEntrance::OnAddToLevel(Level* level) {
    Tile::OnAddToLevel(level);
    CreatePortal();
}

void GridEntrance::OnRemoveFromLevel(Level* level) {
    Tile::OnRemoveFromLevel(level);
    RemovePortal();
}

void GridEntrance::OnMoveInLevel(Level* level) {
    Tile::OnMoveInLevel(level);
    MovePortal();
}

void GridEntrance::SetPortalIds(const UniqueId& id, const UniqueId& connectedId, const RegionId& connectedRegion) {
    id_ = id;
    connectedId_ = connectedId;
    connectedRegion_ = connectedRegion;
}

bool GridEntrance::IsPortalInfoValid() const {
    return !id_.IsNull() && !connectedId_.IsNull() && !connectedRegion_.IsInvalid();
}

void GridEntrance::CreatePortal() {
    Region* region = GetRegion();
    const GraphicsMeshInstance* instance = GetMeshInstance();
    const GraphicsMesh* mesh = instance ? instance->GetMesh() : nullptr;
    if (!region || !mesh || mesh->GetNumPortals() != 1) return;
    // Entering again without leaving first replaces the portal rather than leaving one behind;
    // the replaced portal's ids are the ones to keep.
    if (portal_) {
        id_ = portal_->GetId();
        connectedId_ = portal_->GetConnectedPortalId();
        connectedRegion_ = portal_->GetConnectedRegionId();
        RemovePortal();
    }
    portal_ = region->CreatePortal();
    if (!id_.IsNull()) portal_->SetId(id_);
    portal_->SetFromMesh(*mesh);
    portal_->SetConnectedPortalId(connectedId_);
    portal_->SetConnectedRegionId(connectedRegion_);
    portal_->SetCoords(GetCoords().GetRegionCoords());
}

void GridEntrance::RemovePortal() {
    if (!portal_) return;
    // The ids stay with the entrance, to be written and given to the next portal.
    id_ = portal_->GetId();
    connectedId_ = portal_->GetConnectedPortalId();
    connectedRegion_ = portal_->GetConnectedRegionId();
    if (Region* region = portal_->GetRegion()) region->DestroyPortal(portal_);
    portal_ = nullptr;
}

void GridEntrance::MovePortal() {
    if (portal_) portal_->SetCoords(GetCoords().GetRegionCoords());
}

void GridEntrance::SetPortalCastsShadows(bool castsShadows) {
    if (portal_) portal_->SetCastsShadows(castsShadows);
}

void GridEntrance::SetPortalIsOpen(bool open) {
    if (portal_) portal_->SetIsOpen(open);
}

bool GridEntrance::GetPortalIsOpen() const { return portal_ && portal_->GetIsOpen(); }

void GridEntrance::DumpIds() const {
    Log(LogPriority::Info, "^bGridEntrance: Id (%d)  Name (%s)", int(GetObjectId()), GetObjectName().c_str());
    Log(LogPriority::Info, "^gPortal ID (%x:%x:%x:%x)", id_.GetPart(0), id_.GetPart(1), id_.GetPart(2), id_.GetPart(3));
    Log(LogPriority::Info, "^gConn Portal ID (%x:%x:%x:%x)", connectedId_.GetPart(0), connectedId_.GetPart(1),
        connectedId_.GetPart(2), connectedId_.GetPart(3));
    Log(LogPriority::Info, "^gConn Region ID (%x:%x:%x:%x)", connectedRegion_.GetWord(0), connectedRegion_.GetWord(1),
        connectedRegion_.GetWord(2), connectedRegion_.GetWord(3));
    Log(LogPriority::Info, "^b%s", std::string(76, '-').c_str());
}

}  // namespace GAME
