#pragma once
// GeometryBus: faces gathered from the pieces of the world inside a box. Each piece that can
// offer faces answers GeometryBusStop(box, faces) by appending its own; a piece with none to offer
// appends nothing.

#include "core/Vec3.h"

namespace GAME {

struct GeometryBus {
    // One triangle, its corners in the space of the piece that offered it.
    struct SimpleFace {
        Vec3 a;
        Vec3 b;
        Vec3 c;
    };
};

}  // namespace GAME
