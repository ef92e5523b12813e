#include "world/RegionRecord.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

bool RegionRecord::Read(BinaryReader& reader, bool withZoneRecord) {
    reader.ReadString(name);
    box.centre = reader.ReadVec3();
    box.halfSize = reader.ReadVec3();
    offset.x = reader.ReadInt32();
    offset.y = reader.ReadInt32();
    offset.z = reader.ReadInt32();
    id.Read(reader);
    if (withZoneRecord) reader.ReadString(zoneRecord);
    if (reader.Failed()) {
        Log(LogPriority::Error, "Region record truncated or corrupt at byte %u", reader.GetPosition());
        return false;
    }
    return true;
}

void RegionRecord::Write(BinaryWriter& writer) const {
    writer.Write(name);
    writer.Write(box.centre);
    writer.Write(box.halfSize);
    writer.Write(offset.x);
    writer.Write(offset.y);
    writer.Write(offset.z);
    id.Write(writer);
    writer.Write(zoneRecord);
}

}  // namespace GAME
