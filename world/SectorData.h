#pragma once
// SectorData: the named styles that designers paint onto the ground of levels, one kind per sector
// layer: fog, name (the place name shown on entry), ambient (music and ambient sound), boss,
// day/night cycle and bloom. The SectorDataManager owns them; each level's SectorLayers maps its
// painted cells to their ids; the ambiance manager reads them.
//
// Every style has a name, a UniqueId and two editor display colours (alpha and omega, drawn as a
// checker over the painted cells). A new style is named "New Sector Style", gets a fresh id, and
// colours of random red, green and blue in steps of 0.001 with alpha 0.5.

#include <cstdint>
#include <string>

#include "core/Color.h"
#include "core/UniqueId.h"
#include "world/DayNightCycle.h"

namespace GAME {

class SectorData {
public:
    SectorData();
    virtual ~SectorData() = default;
    SectorData(const SectorData&) = default;
    SectorData& operator=(const SectorData&) = default;

    std::string name = "New Sector Style";
    UniqueId id;
    Color renderColorAlpha;
    Color renderColorOmega;
};

// The four colours, two floats and four integers of a fog style; the ambiance manager blends the
// fog styles found around its target and gives them their meaning.
class FogSectorData : public SectorData {
public:
    Color colors[4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    float values[2] = {0.0f, 0.0f};
    int32_t integers[4] = {10, 50, 10, 0};
};

class NameSectorData : public SectorData {
public:
    std::string tag = "tagNothing";  // the text tag of the place name
    bool firstVisitOnly = true;      // false: shown on every entry
    bool cinematic = false;          // shown in the engine's cinematic text mode
};

class AmbientSectorData : public SectorData {
public:
    std::string musicPlaylist;
    std::string ambientSoundPlaylist;
    std::string eventMusic;          // played on the first visit
};

class BossSectorData : public SectorData {};

class DayNightCycleSectorData : public SectorData {
public:
    // The cycle starts as the built-in default.
    DayNightCycleSectorData();
    DayNightCycle& GetDayNightCycle() { return cycle_; }
    const DayNightCycle& GetDayNightCycle() const { return cycle_; }

private:
    DayNightCycle cycle_;
};

class BloomSectorData : public SectorData {
public:
    float values[3] = {0.25f, 1.0f, 0.5f};
    uint32_t reserved[5] = {0, 0, 0, 0, 0};  // stored as zeros, never read back
};

}  // namespace GAME
