#pragma once
// The yard: what stands around the fire in the first region of the sample world (around
// kMarksCentre, SampleOutdoors.h), beside the scorch marks: a stack of crates (the physics
// sample's crate actor, Records/Sample/Crate.dbr) and two creatures (its creature actor) facing
// the fire. A level keeps no physics types and an actor plays no animation of its own: the crates
// stand still, and the sample host's flight has the creatures wave.

namespace GAME {
class LevelBuilder;
}  // namespace GAME

namespace GAME::sample {

constexpr int kYardCrates = 3;
constexpr int kYardCreatures = 2;

// Places the crates and creatures in the first region's level; the physics sample's records must
// be written first. False, with the failure logged, when one could not be made.
bool FurnishYard(LevelBuilder& yard);

}  // namespace GAME::sample
