#pragma once
// PathDebugDrawer: where the path mesh's debug drawing goes. The level adapts its primitive drawer
// to it, so the pathing layer draws without depending on the renderer.

#include "core/Vec3.h"

namespace GAME {

class PathDebugDrawer {
public:
    // One line segment, in world space.
    virtual void DrawLine(const Vec3& from, const Vec3& to) = 0;

protected:
    ~PathDebugDrawer() = default;
};

}  // namespace GAME
