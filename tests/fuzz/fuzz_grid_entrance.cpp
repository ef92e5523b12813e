// Fuzzes a grid entrance's stream (its part of a level's per-entity data: the tile's, then the
// portal's id, the connected portal's and the connected region's). What reads must write back to
// the bytes it read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzRecords.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "terrain/GridEntrance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::test::FuzzRecords records{"fuzz_grid_entrance", {{"records/entrance.dbr", "Class,GridEntrance,\n"}}};
    if (size > 0x10000) return 0;
    GAME::ObjectManager* objects = GAME::Singleton<GAME::ObjectManager>::Get();
    auto* entrance = objects->CreateObjectFromFile<GAME::GridEntrance>("records/entrance.dbr");
    if (entrance == nullptr) std::abort();
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    if (entrance->Read(reader)) {
        GAME::BinaryWriter writer;
        entrance->Write(writer);
        if (writer.GetPosition() != reader.GetPosition() ||
            std::memcmp(writer.GetBuffer(), data, writer.GetPosition()) != 0)
            std::abort();
        entrance->IsPortalInfoValid();
    }
    objects->DestroyObjectEx(entrance, __FILE__, __LINE__);
    objects->DestroyPendingObjects(-1);
    return 0;
}
