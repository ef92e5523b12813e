#pragma once
// PhysicsGrassWind: a gust that bends the grass ahead of it, in its region's space. The grass of
// the ground under the circle of radius around (x, z) is pushed along (directionX, directionZ),
// harder towards the rim.

namespace GAME {

class Region;

struct PhysicsGrassWind {
    float strength = 0.0f;
    float radius = 0.0f;
    float x = 0.0f;
    float z = 0.0f;
    float directionX = 0.0f;
    float directionZ = 0.0f;
    Region* region = nullptr;  // whose space the position is in; the world blows no wind without one
};

}  // namespace GAME
