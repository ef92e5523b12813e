// Fuzzes the fog-of-war reader (".fow" files): whatever it accepts has valid sizes and finite
// positive scales, stamps and queries stay inside the grid, and it saves and reads back to the
// same cells; whatever it refuses leaves the fog as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/BinaryWriter.h"
#include "world/FogOfWar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) return 0;
    GAME::FogOfWar fog;
    fog.Initialize(40, 40);
    if (!fog.Read(data, static_cast<uint32_t>(size), "fuzz")) {
        if (fog.GetXSize() != 64 || fog.GetYSize() != 64 || fog.GetData()[0] != 255) std::abort();
        return 0;
    }
    const int x = fog.GetXSize(), y = fog.GetYSize();
    if (x < 16 || x > 512 || y < 16 || y > 512 || !(fog.GetXScale() > 0) || !(fog.GetYScale() > 0)) std::abort();
    const float width = float(x) / fog.GetXScale(), depth = float(y) / fog.GetYScale();
    for (const float f : {-0.5f, 0.0f, 0.3f, 0.999f, 1.5f}) {
        const GAME::Vec3 p(f * width, 0.0f, (1.0f - f) * depth);
        fog.IsInFog(p);
        fog.AddVisibility(p);
        GAME::StampFogPair(&fog, &fog, p, 0);
    }
    GAME::BinaryWriter writer;
    fog.Save(writer);
    GAME::FogOfWar copy;
    if (!copy.Read(writer.GetBuffer(), writer.GetPosition(), "copy") || !(copy == fog) ||
        std::memcmp(copy.GetData(), fog.GetData(), size_t(x) * size_t(y)) != 0)
        std::abort();
    return 0;
}
