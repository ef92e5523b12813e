#pragma once
// LevelDecals: the batched marks a level keeps (the effects folder's DecalSet), held by the level
// through this interface and made through the maker the effects folder installs when the engine
// library loads (SetMaker). Without a maker a level keeps no decals and placements are ignored.
// World::PlaceDecal feeds it; the level updates it every frame and adds it to the scene last.
// Main thread only.

#include <cstdint>
#include <memory>

namespace GAME {

class DecalType;
class Frustum;
class GraphicsSceneRenderer;
class Region;
struct Coords;

class LevelDecals {
public:
    // Makes the decals of the region's level.
    using Maker = std::unique_ptr<LevelDecals> (*)(Region* owner);

    virtual ~LevelDecals() = default;

    // Places a decal of the type at the coordinates (in the owner region's space); flags as the
    // caller gives them. False when nothing was placed.
    virtual bool AddDecal(const DecalType* type, const Coords& coords, uint32_t flags) = 0;
    // Once a frame.
    virtual void Update(uint32_t elapsedMs) = 0;
    // Queues the decals for drawing under the owner region.
    virtual void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) = 0;

    static void SetMaker(Maker maker);
    // New decals for the region through the installed maker; null without one.
    static std::unique_ptr<LevelDecals> Make(Region* owner);
};

}  // namespace GAME
