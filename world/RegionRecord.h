#pragma once
// RegionRecord: a region as the world file stores it (one record of its region chunk).
//
// Stored form (little-endian): name (u32 byte count, bytes); box centre (3 f32); box half size
// (3 f32); offset from the world (3 i32, x, y, z); id (4 u32, word 0 first); then, in files of
// version 6 and later, the zone record (u32 byte count, bytes). Region::Save writes the current
// form; the world file reader reads both.

#include <string>

#include "core/ABBox.h"
#include "core/IntVec3.h"
#include "world/RegionId.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

struct RegionRecord {
    std::string name;        // the region's name
    std::string zoneRecord;  // the record file naming the region's zone; empty when none
    ABBox box;               // the bounding box, in region space
    IntVec3 offset;          // offset of the region's space from the world origin
    RegionId id;             // the region's identity; invalid in records that carry none

    // False, with the error logged, when the record runs past the data; the record is then
    // unspecified.
    bool Read(BinaryReader& reader, bool withZoneRecord);
    void Write(BinaryWriter& writer) const;
};

}  // namespace GAME
