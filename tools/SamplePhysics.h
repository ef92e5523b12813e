#pragma once
// The physics sample: crates dropped onto flat ground and a creature that falls as a rag doll
// down a slope.
//   Records/Sample/Crate.dbr    an actor drawn as the unit box (Meshes/Box.msh), whose box is its
//                               collision box
//   Records/Sample/RagDoll.dbr  an actor drawn as the sample creature (Meshes/Creature.msh), whose
//                               rag doll it falls as
//   Records/Sample/Creature.dbr the same creature as an actor the game gives no physics: it stays
//                               standing
//   Levels/Physics.lvl          a terrain 32 units square, flat at height kPhysicsGroundHeight for
//                               x below kPhysicsSlopeStart and rising 1 in 2 beyond, in its
//                               run-time form; six crates in the air over the flat part (two of
//                               them one above the other) and the creature over the slope
// A level file keeps no physics types: the game gives them (StartPhysicsSample).

namespace GAME {
class FileSystem;
class Level;
}  // namespace GAME

namespace GAME::sample {

constexpr const char* kCrateRecord = "Records/Sample/Crate.dbr";
constexpr const char* kRagDollRecord = "Records/Sample/RagDoll.dbr";
constexpr const char* kCreatureRecord = "Records/Sample/Creature.dbr";
constexpr const char* kPhysicsLevel = "Levels/Physics.lvl";
constexpr float kPhysicsGroundHeight = 2.0f;
constexpr float kPhysicsSlopeStart = 14.0f;
constexpr int kPhysicsCrates = 6;

// The ground's height at x.
float PhysicsGroundHeight(float x);
// False, with the failure logged, when a file could not be written. The meshes are written apart.
bool WritePhysics(FileSystem& files);
// The level's crates start simulating as rigid bodies and its creatures as rag dolls. False, and
// nothing starts, while one of them has no box yet (its mesh is loading, or it has not had its
// first update): a body needs its box for its mass and its contacts.
bool StartPhysicsSample(Level& level);

}  // namespace GAME::sample
