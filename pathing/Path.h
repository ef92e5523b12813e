#pragma once
// Path: the result of a path search, the way points from the start to the goal, each in the region
// it lies in. The start and the goal are the positions asked for; the points between are the
// corners the path turns at.

#include "core/Mem.h"
#include "core/WorldVec3.h"

namespace GAME {

struct Path {
    mem::vector<WorldVec3> points;  // start first, goal last
};

}  // namespace GAME
