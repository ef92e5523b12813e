// Fuzzes the water block reader (a level's water chunk) on a 64 x 64 water over no ground, on the
// recording device. A block that loads must save, load and save again to the same bytes; one that
// fails leaves the water empty. The water types a block registers are dropped after each input, and
// so is the device's call log, which otherwise grows with every input until memory runs out.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "support/RecordingDevice.h"
#include "terrain/Water.h"
#include "terrain/WaterTypeManager.h"

namespace {

bool Load(GAME::Water& water, const uint8_t* data, size_t size) {
    GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
    return water.Load(reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::test::RecordingDevice device;
    if (size > 0x100000) return 0;
    {
        GAME::Water water(nullptr);
        water.Initialize(64, 64, nullptr, &device);
        if (Load(water, data, size)) {
            GAME::BinaryWriter first;
            water.Save(first);
            GAME::Water again(nullptr);
            again.Initialize(64, 64, nullptr, &device);
            if (!Load(again, first.GetBuffer(), first.GetPosition())) std::abort();
            GAME::BinaryWriter second;
            again.Save(second);
            if (second.GetPosition() != first.GetPosition() ||
                std::memcmp(second.GetBuffer(), first.GetBuffer(), first.GetPosition()) != 0)
                std::abort();
        } else if (water.GetNumLayers() + water.GetNumPaths() + water.GetNumWaveSets() != 0) {
            std::abort();
        }
    }
    GAME::WaterTypeManager::Destroy();
    device.ClearCalls();
    return 0;
}
