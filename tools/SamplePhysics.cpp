#include "SamplePhysics.h"

#include "LevelBuilder.h"
#include "SampleData.h"
#include "SampleMeshes.h"

#include "core/OBBox.h"
#include "engine/Entity.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "terrain/Terrain.h"

#include <algorithm>

namespace GAME::sample {

namespace {

constexpr float kHalfSize = 16.0f;

}  // namespace

float PhysicsGroundHeight(float x) { return kPhysicsGroundHeight + std::max(0.0f, x - kPhysicsSlopeStart) * 0.5f; }

bool WritePhysics(FileSystem& files) {
    if (!WriteText(files, kCrateRecord, std::string("Class,Actor,\nmesh,") + kBoxMesh + ",\n") ||
        !WriteText(files, kRagDollRecord, std::string("Class,Actor,\nmesh,") + kCreatureMesh + ",\n") ||
        !WriteText(files, kCreatureRecord, std::string("Class,Actor,\nmesh,") + kCreatureMesh + ",\n"))
        return false;

    TableDepot records(files);
    LevelBuilder builder(records, Vec2(kHalfSize, kHalfSize));
    Terrain* terrain = builder.MakeTerrain();
    if (terrain == nullptr || !terrain->AddLayer(kGrassTerrainType)) return false;
    const unsigned samples = terrain->GetNumXSamples();
    for (unsigned z = 0; z < samples; ++z)
        for (unsigned x = 0; x < samples; ++x) terrain->SetBaseHeight(x, z, PhysicsGroundHeight(float(x)));
    terrain->AddDirtyRect(DirtyRect(0, 0, int(samples), int(samples)));
    terrain->ProcessDirtyRects();

    // Three pairs of crates, each pair over one spot: the upper one lands on the lower.
    for (int i = 0; i < kPhysicsCrates; ++i) {
        const Vec3 at(4.0f + 3.0f * float(i / 2), kPhysicsGroundHeight + 2.0f + 1.5f * float(i % 2), 8.0f + 0.2f * float(i));
        Coords frame = Coords::RotationY(0.3f * float(i));
        frame.origin = at;
        if (!builder.AddEntity(kCrateRecord, frame)) return false;
    }
    if (!builder.AddEntity(kRagDollRecord, Coords::Translation(Vec3(22.0f, PhysicsGroundHeight(22.0f) + 2.5f, 16.0f))))
        return false;
    return builder.Save(files, kPhysicsLevel, true);
}

bool StartPhysicsSample(Level& level) {
    // Entities are named by their records' file names in the file system's form.
    std::string crate = kCrateRecord;
    std::string doll = kRagDollRecord;
    FileSystem::ConvertFileName(crate);
    FileSystem::ConvertFileName(doll);
    mem::vector<Entity*> all;
    level.GetEntities(all);
    mem::vector<Entity*> simulated;
    for (Entity* entity : all) {
        if (entity->GetObjectName() != crate && entity->GetObjectName() != doll) continue;
        OBBox box;
        if (!entity->GetCollisionProxy(box) || !(box.halfSize.x > 0.0f && box.halfSize.y > 0.0f && box.halfSize.z > 0.0f))
            return false;
        simulated.push_back(entity);
    }
    for (Entity* entity : simulated) {
        entity->SetPhysicsType(entity->GetObjectName() == crate ? Entity::PhysicsType::RigidBody
                                                                : Entity::PhysicsType::RagDoll);
    }
    return true;
}

}  // namespace GAME::sample
