#pragma once
// ZoneManager: the teleport map's grouping of the world's zones into five pages (acts), read once
// from the record "Records/InGameUI/TeleportMap/TeleportMap.dbr" (arrays "Act1ZoneList" to
// "Act5ZoneList" of zone record names), with each listed zone's display data from its own record
// ("ZoneNameTag", "TeleportNameTag", "mapIndex") and a random key colour. It answers which page a
// region belongs to, through the region's zone record, and draws the zones' colour key.
//
// Zone record names are kept and compared in the file system's normal form (lower case, '/'), so a
// list entry written with capitals or backslashes matches the region's record.
//
// A missing teleport map leaves every list empty (every region is then on page 0); a missing zone
// record leaves its name in its page's list without zone data.
//
// One instance, made on first use (Get) and destroyed with the engine's other singletons.
// Threads: main thread.

#include <string>

#include "core/Color.h"
#include "core/Mem.h"

namespace GAME {

class GraphicsCanvas;
class Region;

enum class ZonePage : int { Act1 = 0, Act2 = 1, Act3 = 2, Act4 = 3, Act5 = 4 };

class ZoneManager {
public:
    static constexpr int kNumPages = 5;
    static constexpr const char* kTeleportMapRecord = "Records/InGameUI/TeleportMap/TeleportMap.dbr";
    static constexpr const char* kPageKeys[kNumPages] = {"Act1ZoneList", "Act2ZoneList", "Act3ZoneList",
                                                         "Act4ZoneList", "Act5ZoneList"};
    static constexpr const char* kKeyFontStyle = "Records/UI/FontStyles/LargeTabText_White.dbr";
    // The colour key: a 30-pixel square a zone, one every 34 pixels down.
    static constexpr int kKeySize = 30;
    static constexpr int kKeySpacing = 34;

    struct ZoneData {
        std::string zoneNameTag;      // "ZoneNameTag"
        std::string teleportNameTag;  // "TeleportNameTag"
        int mapIndex = 0;             // "mapIndex"
        Color keyColor;               // random, alpha 1
    };

    // Reads the teleport map and the zone records through the object manager.
    ZoneManager();
    virtual ~ZoneManager() = default;
    ZoneManager(const ZoneManager&) = default;
    ZoneManager& operator=(const ZoneManager&) = default;

    // The instance, made on first call; Destroy deletes it (the next Get reads the records again).
    static ZoneManager* Get();
    static void Destroy();

    // The zone records of the page; a value past the last page gives the last page's list.
    const mem::vector<std::string>& GetZoneList(ZonePage page) const;
    // Null when the record is not a listed zone with a record of its own.
    const ZoneData* GetZoneData(const std::string& zoneRecord) const;
    // The first page whose list holds the region's zone record; page 0 for a null region or an
    // unlisted zone.
    ZonePage GetActFromRegion(const Region* region) const;

    // The colour key of every zone with data, in the order of their record names, from the top
    // left of the canvas.
    void RenderKey(GraphicsCanvas& canvas) const;

private:
    void LoadZoneData(const std::string& zoneRecord);
    void RenderZoneKey(int x, int y, const ZoneData& zone, GraphicsCanvas& canvas) const;

    mem::vector<std::string> pages_[kNumPages];
    mem::map<std::string, ZoneData> zones_;
};

}  // namespace GAME
