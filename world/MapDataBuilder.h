#pragma once
// MapDataBuilder: draws a region seen from straight above into a picture, the region's map data
// (its mini-map image and icon), for the editor's map data rebuild (Region::RebuildMapData).
//
// The picture covers the box [min, max] (the region's space) on x and z at pixelsPerUnit pixels a
// unit: column x shows x = min.x + x / pixelsPerUnit, and row y (top row first) z = min.z + y /
// pixelsPerUnit. It is drawn by the normal renderer with an orthographic camera 1000 units above
// the box centre looking down, lit by a default day/night cycle at 10 o'clock (its sun, casting
// shadows, and its ambient colours), without fog or reflections. Of the entities only those that
// belong on a mini-map are drawn (Entity::IncludeInMinimap, DetailMapFilterFunction); the ground,
// water, grid tiles, decals and effects always are. The result is a TGA file held in memory (24-bit
// colour).
//
// Decisions:
// - Where nothing is drawn the picture is red: the renderer clears with the red background itself
//   (it clears its target before drawing, so a red clear of the canvas alone would not show).
// - The engine state the drawing changes (the entity render filter, map rendering, reflections,
//   the canvas's target) is put back on every way out.
// - Without a running graphics engine, for an empty box, or when the target cannot be made, no
//   picture is made.

#include <cstdint>
#include <memory>

#include "core/Mem.h"
#include "core/Vec3.h"
#include "engine/FilterFunction.h"

namespace GAME {

class Entity;
class Region;
class RenderSurface;

// Keeps the entities that are drawn on the mini-map.
class DetailMapFilterFunction final : public FilterFunction<Entity> {
public:
    bool operator()(const Entity* entity) const override;
};

class MapDataBuilder {
public:
    MapDataBuilder() = default;
    ~MapDataBuilder();
    MapDataBuilder(const MapDataBuilder&) = delete;
    MapDataBuilder& operator=(const MapDataBuilder&) = delete;

    // Draws the region and, placed where they lie from it, the extra regions (neighbours whose
    // contents reach over the box). True when a picture was made; an earlier one is replaced.
    bool Build(Region* region, const mem::vector<Region*>& extraRegions, const Vec3& min, const Vec3& max,
               float pixelsPerUnit);
    // Hands the picture over (the builder forgets it); false, and nothing changed, without one.
    bool TakeResult(unsigned& width, unsigned& height, mem::vector<unsigned char>& bytes);
    void ReleaseResult() { encoded_.clear(); }

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }

private:
    void Render();
    bool Encode();

    int width_ = 0;   // pixels
    int height_ = 0;
    int boxWidth_ = 0;  // world units, truncated
    int boxDepth_ = 0;
    Region* region_ = nullptr;
    const mem::vector<Region*>* extraRegions_ = nullptr;
    Vec3 min_;
    Vec3 max_;
    RenderSurface* target_ = nullptr;    // owned while building
    mem::vector<uint8_t> pixels_;        // 4 bytes a pixel, R, G, B, A, top row first
    mem::vector<unsigned char> encoded_;  // the TGA file
};

}  // namespace GAME
