// Fuzzes the "LVL" reader: the input is a level file image. Entity records come from a small record
// store ("records/a.dbr" and "records/b.dbr" make entities). A load that succeeds must save and
// load again to the same entities and sector layers (a run-time ground is not saved again); a load that
// fails must leave the level empty.
// Either way every entity the load made must be destroyed with the level.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzRecords.h"
#include "core/ABBox.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "world/Level.h"
#include "world/Region.h"

namespace {

struct Harness {
    GAME::test::FuzzRecords records{"fuzz_level",
                                    {{"records/a.dbr", "Class,Entity,\n"}, {"records/b.dbr", "Class,Entity,\n"}}};
    GAME::Region region{nullptr, 0, "Fuzz", GAME::ABBox(GAME::Vec3(), GAME::Vec3(100, 100, 100)),
                        GAME::IntVec3(), GAME::RegionId()};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size > 0x100000) return 0;
    GAME::ObjectManager* objects = GAME::Singleton<GAME::ObjectManager>::Get();
    {
        GAME::Level level(&harness.region);
        if (level.Load(data, static_cast<uint32_t>(size), false)) {
            GAME::BinaryWriter writer;
            level.Save(writer, false);
            GAME::Level again(&harness.region);
            if (!again.Load(writer.GetBuffer(), writer.GetPosition(), false)) std::abort();
            if (again.GetNumEntities() != level.GetNumEntities()) std::abort();
            const GAME::SectorLayers& layers = level.GetSectorLayers();
            const GAME::SectorLayers& copy = again.GetSectorLayers();
            // A grid travels in the file; without one the reloaded level sizes its own from its ground,
            // and a run-time ground is saved empty, so the copy may size it from no ground at all.
            if (layers.IsInitialized() &&
                (copy.GetWidth() != layers.GetWidth() || copy.GetHeight() != layers.GetHeight()))
                std::abort();
            for (int layer = 0; layer < GAME::SectorLayers::kNumLayers; ++layer) {
                if (copy.GetTargetId(layer, 3, 7) != layers.GetTargetId(layer, 3, 7)) std::abort();
            }
        } else if (level.IsLoaded() || level.GetNumEntities() != 0) {
            std::abort();
        }
    }
    objects->DestroyPendingObjects(-1);
    if (objects->GetNumObjects() != 0) std::abort();
    return 0;
}
