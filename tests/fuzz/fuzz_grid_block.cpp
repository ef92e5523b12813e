// Fuzzes the grid block reader (an interior level's ground): whatever loads must save and load
// again to the same grid, lattice and features.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "world/GridRegion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::GridRegion grid(nullptr);
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    if (!grid.LoadBlock(reader)) return 0;
    GAME::BinaryWriter writer;
    grid.SaveBlock(writer);
    GAME::GridRegion copy(nullptr);
    GAME::BinaryReader again(writer.GetBuffer(), writer.GetPosition());
    if (!copy.LoadBlock(again)) std::abort();
    if (copy.GetXNumCells() != grid.GetXNumCells() || copy.GetYNumCells() != grid.GetYNumCells() ||
        copy.GetZNumCells() != grid.GetZNumCells() || copy.GetPortalRecords().size() != grid.GetPortalRecords().size())
        std::abort();
    for (int x = 0; x < grid.GetXNumCells(); ++x)
        for (int y = 0; y < grid.GetYNumCells(); ++y)
            for (int z = 0; z < grid.GetZNumCells(); ++z)
                if (!(copy.GetCellFeature(x, y, z) == grid.GetCellFeature(x, y, z)) ||
                    copy.GetCellFloor(x, y, z) != grid.GetCellFloor(x, y, z))
                    std::abort();
    return 0;
}
