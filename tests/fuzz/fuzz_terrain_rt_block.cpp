// Fuzzes the run-time terrain block reader. Layer records come from a small record store
// ("records/grass.dbr" is a terrain type). A block that loads must answer the ground's questions
// over its whole grid and beyond; one that fails leaves the terrain empty.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzRecords.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "physics/CollisionContact.h"
#include "terrain/TerrainRT.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GAME::test::FuzzRecords records("fuzz_terrain_rt_block",
                                           {{"records/grass.dbr", "Class,TerrainType,\nsurfaceType,Grass,\n"}});
    if (size > 0x100000) return 0;
    {
        GAME::TerrainRT terrain(nullptr);
        GAME::BinaryReader reader(data, static_cast<uint32_t>(size));
        if (terrain.Load(reader, 14)) {
            const GAME::ABBox box = terrain.GetBoundingBox();
            GAME::Intersection hit;
            terrain.GetIntersection(GAME::Ray(box.centre + GAME::Vec3(0.3f, 50.0f, 0.7f), GAME::Vec3(0, -1, 0)), hit,
                                    GAME::PhysicsSurface::None);
            GAME::CollisionContact contacts[8];
            terrain.FindCollisions(GAME::OBBox(box), contacts, 8, GAME::PhysicsSurface::None);
            mem::vector<unsigned> layers;
            terrain.GetLayersInBox(layers, GAME::ABBox(box.centre, box.halfSize + GAME::Vec3(5, 5, 5)));
            for (const unsigned layer : layers) terrain.GetLayerOpacityInterpolated(layer, -0.5f, 1e9f);
            terrain.GetNormalInterpolated(-2.0f, 1e9f);
        } else if (terrain.GetNumXSamples() != 0 || terrain.GetNumTextureLayers() != 0) {
            std::abort();
        }
    }
    GAME::Singleton<GAME::ObjectManager>::Get()->DestroyPendingObjects(-1);
    return 0;
}
