#include "SampleYard.h"

#include <cmath>

#include "LevelBuilder.h"
#include "SampleOutdoors.h"
#include "SamplePhysics.h"

namespace GAME::sample {

namespace {

// The ground under (x, z) in the first region, whose space is the world's.
Vec3 OnGround(float x, float z) { return Vec3(x, WorldGroundHeight(x, z), z); }

}  // namespace

bool FurnishYard(LevelBuilder& yard) {
    // Two crates side by side east of the fire and one on top of them (unit boxes about their
    // centres).
    const Vec3 crates[kYardCrates] = {OnGround(15.5f, 4.0f) + Vec3(0.0f, 0.5f, 0.0f),
                                      OnGround(16.6f, 4.2f) + Vec3(0.0f, 0.5f, 0.0f),
                                      OnGround(16.0f, 4.1f) + Vec3(0.0f, 1.5f, 0.0f)};
    for (int i = 0; i < kYardCrates; ++i) {
        Coords frame = Coords::RotationY(0.25f * float(i));
        frame.origin = crates[i];
        if (!yard.AddEntity(kCrateRecord, frame)) return false;
    }
    // The creatures south-west and north of the fire, turned towards it.
    const Vec3 creatures[kYardCreatures] = {OnGround(9.5f, 4.0f), OnGround(10.0f, 12.0f)};
    for (const Vec3& at : creatures) {
        const float towardsFire = std::atan2(kMarksCentre.x - at.x, kMarksCentre.y - at.z);
        Coords frame = Coords::RotationY(towardsFire);
        frame.origin = at;
        if (!yard.AddEntity(kRagDollRecord, frame)) return false;
    }
    return true;
}

}  // namespace GAME::sample
