// Fuzzes the editable terrain's editor block reader: the first byte picks the level-file version
// (its low bit: 12 without passability, else 14), the rest is the block. Layer records come from a
// small record store ("records/grass.dbr" is a terrain type, "records/door.dbr" another class). A
// block that loads must save and load again to the same bytes; one that fails leaves the terrain
// empty.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzRecords.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "terrain/Terrain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::test::FuzzRecords records(
        "fuzz_terrain_block",
        {{"records/grass.dbr", "Class,TerrainType,\nsurfaceType,Grass,\n"}, {"records/door.dbr", "Class,Entity,\n"}});
    if (size < 1 || size > 0x100000) return 0;
    const int version = (data[0] & 1) ? 12 : 14;
    {
        GAME::Terrain terrain(nullptr);
        GAME::BinaryReader reader(data + 1, static_cast<uint32_t>(size - 1));
        if (terrain.Load(reader, version)) {
            GAME::BinaryWriter first;
            terrain.Save(first);
            GAME::Terrain again(nullptr);
            GAME::BinaryReader copy(first.GetBuffer(), first.GetPosition());
            if (!again.Load(copy, 14)) std::abort();
            GAME::BinaryWriter second;
            again.Save(second);
            if (second.GetPosition() != first.GetPosition() ||
                std::memcmp(second.GetBuffer(), first.GetBuffer(), first.GetPosition()) != 0)
                std::abort();
            mem::vector<unsigned> layers;
            terrain.GetLayersInBox(layers, terrain.GetBoundingBox());
            for (const unsigned layer : layers) terrain.GetLayerOpacityInterpolated(layer, -3.0f, 1e9f);
        } else if (terrain.GetNumXSamples() != 0 || terrain.GetNumTextureLayers() != 0) {
            std::abort();
        }
    }
    GAME::Singleton<GAME::ObjectManager>::Get()->DestroyPendingObjects(-1);
    return 0;
}
