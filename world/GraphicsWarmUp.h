#pragma once
// GraphicsWarmUp: draws a region whose level has just come in once, whole and from above, into a
// tiny offscreen target, through the portal renderer as a frame draws it (the regions around it
// and behind its doorways, lit, shadowed, reflected, fogged when a loaded level paints fog, with a
// see-through pass over all of it, and again with half of the actors and grid cells in view at
// half opacity, as a wall draws while it fades and those beside it draw its transparency mask;
// each see-through draw with the doorways fading, as near one, and without, as deep inside a
// room), so that the driver compiles the program variants its materials use in each pipeline
// state (meshes, ground and plug passes, water and waves, noise passes, particles, the mask and
// composite passes) while the level loads rather than at the first frame that shows them. The
// device makes only the draws in a pipeline state no warm-up has drawn yet
// (RenderDevice::SetWarmingUp), so a region drawing what its neighbours drew costs no driver work.
//
// Decisions:
// - The target is RGBA with 24-bit depth, the primary surface's formats: drivers key their
//   variants on the target's formats, not its size. Its side is not a power of two, as a
//   screen's seldom are: passes that read the target back (the glow's copy) are compiled for
//   how they address such a texture, which differs from a power-of-two one.
// - The camera looks down at the middle of the level's box from above its corner, so the region
//   and what borders it lie in view; a level without a box is drawn from its origin.
// - Each of its draws hands the canvas's temporary surfaces back first and reuses them, as frames
//   do, so it is called between frames (the loaders call it from the engine's update), never
//   while a frame holds one.
// - Nothing of the warm-up reaches the screen: the canvas's target and viewport are put back and
//   the temporary surface is the canvas's own. Nor does it leave a trace: the section opacities and
//   fade marks of the actors and cells it fades are put back as they were.

namespace GAME {

class GraphicsCanvas;
class Region;

class GraphicsWarmUp {
public:
    static constexpr int kSize = 20;

    // Draws the region as above; nothing without a loaded level.
    static void DrawRegion(GraphicsCanvas& canvas, Region& region);
};

}  // namespace GAME
