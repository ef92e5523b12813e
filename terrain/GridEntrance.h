#pragma once
// GridEntrance: a tile whose mesh carries exactly one portal, joining an interior (a grid region)
// and the region the entrance stands in. Entering a level, it makes that portal in its region
// from the mesh's portal (with the mesh's "ChokePoint" attach point as the choke point), placed at
// the entrance and moved with it; leaving, it destroys it. An entrance whose mesh has no portal,
// or more than one, makes none.
//
// The stream (after the tile's): the portal's id, the connected portal's id (four u32 each, word
// 0 first) and the connected RegionId. The ids written are the live portal's; an entrance without
// one (out of a level, or its mesh not loadable) writes back the ids it was read with or given,
// so saving never loses a connection. A new portal takes the stored id when there is one, else
// keeps the id its region gave it.

#include "core/UniqueId.h"
#include "terrain/Tile.h"
#include "world/RegionId.h"

namespace GAME {

class Portal;

class GridEntrance : public Tile {
    GAME_RTTI_DECLARE_CLASS()

public:
    GridEntrance() = default;

    bool Read(BinaryReader& reader) override;
    void Write(BinaryWriter& writer) const override;
    // The tile's behaviour, then the portal is made, destroyed or moved.
    void OnAddToLevel(Level* level) override;
    void OnRemoveFromLevel(Level* level) override;
    void OnMoveInLevel(Level* level) override;

    // The ids the next portal takes and a portal-less entrance writes (for tools that join
    // regions).
    void SetPortalIds(const UniqueId& id, const UniqueId& connectedId, const RegionId& connectedRegion);
    Portal* GetPortal() const { return portal_; }
    bool DoesPortalExist() const { return portal_ != nullptr; }
    // Both stored ids set and the stored region id valid.
    bool IsPortalInfoValid() const;
    const UniqueId& GetConnectedPortalId() const { return connectedId_; }
    const RegionId& GetConnectedRegionId() const { return connectedRegion_; }
    // Forwarded to the portal; nothing without one.
    void SetPortalCastsShadows(bool castsShadows);
    void SetPortalIsOpen(bool open);
    // False without a portal.
    bool GetPortalIsOpen() const;
    // The entrance's and its stored ids to the log.
    void DumpIds() const;

protected:
    virtual void CreatePortal();
    void RemovePortal();
    void MovePortal();

private:
    UniqueId id_;
    UniqueId connectedId_;
    RegionId connectedRegion_;
    Portal* portal_ = nullptr;  // made and owned by the region, which destroys it with itself
};

}  // namespace GAME
