// Fuzzes the sector-data reader (".sd" files and the map file's chunk 24): whatever loads must
// save and load again to the same number of styles in every layer, and every style must be found
// again by its id.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/SectorDataManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::SectorDataManager manager;
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    if (!manager.Load(reader)) return 0;
    GAME::BinaryWriter writer;
    manager.Save(writer);
    GAME::SectorDataManager copy;
    GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
    if (!copy.Load(again) || !again.IsAtEnd()) std::abort();
    for (int layer = 0; layer < GAME::SectorDataManager::kNumLayers; ++layer) {
        if (copy.GetNumSectorData(layer) != manager.GetNumSectorData(layer)) std::abort();
        for (int i = 0; i < manager.GetNumSectorData(layer); ++i) {
            if (!copy.IsValidSectorValue(layer, manager.GetSectorData(layer, i)->id)) std::abort();
        }
    }
    return 0;
}
