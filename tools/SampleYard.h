#pragma once
// The yard: what stands around the fire in the first region of the sample world (around
// kMarksCentre, SampleOutdoors.h), beside the scorch marks: a row of crates (the physics sample's
// crate actor, Records/Sample/Crate.dbr) in the air north of the fire, a creature (its rag-doll
// actor) in the air north-east of it, and two creatures (its standing creature actor) facing the
// fire. A level keeps no physics types and an actor plays no animation of its own: the sample
// host's flight starts the physics sample on the level (StartPhysicsSample), so the crates drop to
// the ground and the rag doll falls onto it, and has the standing creatures wave.

namespace GAME {
class LevelBuilder;
}  // namespace GAME

namespace GAME::sample {

constexpr int kYardCrates = 3;
constexpr int kYardCreatures = 2;  // standing
constexpr int kYardRagDolls = 1;

// Where the crates (each a unit box about its centre) come to rest: that many units over the ground
// at its centre.
constexpr float kYardCrateRestHeight = 0.5f;

// Places the crates and creatures in the first region's level; the physics sample's records must
// be written first. False, with the failure logged, when one could not be made.
bool FurnishYard(LevelBuilder& yard);

}  // namespace GAME::sample
