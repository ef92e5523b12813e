#pragma once
// SampleFlight: the sample host's flight over the sample world. Over a running engine it loads the
// sample map and flies the camera along a fixed path through the regions, one engine frame at a
// time, so the regions stream in and out under it; the world is drawn under the host's interface
// (a caption naming where the camera is) and the engine's statistics overlay. The host, its test
// and the flight benchmark run the same flight.
//
// The path is a list of points, each a view of something the sample world holds (kFlightPath);
// the camera flies from each point to the next in an equal share of the frames, easing in and out
// and turning the shorter way round (or, on a leg to or from an interior, cuts from one to the
// other half way; ViewAlongLeg), and arrives at the last point on the last frame. A frame in which
// the camera arrives at a point is that point's shot frame: the host saves its screenshot then
// (the first point only starts the flight).
//
// The flight plays the game's part for the fog of war too: the ground the camera looks at is
// uncovered each frame, and the camera region's fog is shown as a small map in the top right corner
// (white where nothing was seen yet).
//
// The flight plays the game's part for the creatures: each creature actor of a level that comes in
// plays the sample creature's wave, looping, but for the rag dolls. It also starts the physics
// sample on the first region's level (the yard's crates and rag doll, SampleYard.h) once that
// level is loaded and post-loaded and its bodies are boxed, which with a loading thread may be
// frames after the region comes in; when the level streams out and back in, its physics starts again.
//
// The flight keeps the transparency manager the world is drawn with: its target is the camera's
// target and its frustum the middle of the view up to kSeeThroughMargin short of the target, so
// that what stands between the camera and the target turns see-through, and regions fade in and
// out as the target moves between them (behind a doorway facing away, the region there shows
// when the target nears the doorway).
//
// Warm-up: the loading ends with the engine updated for the first frame, every region that came in
// drawn offscreen (World::WarmUp; after the update, which places the levels' actors where the
// frames see them and fade them), however it came in, and the view from each point of the path
// drawn offscreen once (GraphicsEngine::WarmUp), so that the driver compiles what the frames draw
// before the first of them.
//
// Streaming: the world loads what the camera sees (far plane kFarPlane) and, at each point of the
// path, the flight lets go of the regions the camera no longer sees (World::UnloadExtraRegions);
// without it a level would stay loaded for hundreds of frames after it was last seen. Loads and
// unloads are counted from the world's loaded regions before and after each frame. Frame time is
// measured from the start of Step to after the frame is presented, without the host's saving.
// Step paces the frames (kFramePeriod).

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "HostCamera.h"

#include "core/Mem.h"
#include "core/Vec2.h"
#include "render/DisplayWidget.h"
#include "world/GraphicsTransparencyManager.h"

namespace GAME {

class Engine;
class GraphicsAnim;
class Region;

namespace sample {

// A view along the path: the camera looks at the ground at place (world x and z) from distance
// units away, from the yaw and pitch (degrees) around it. An interior lies aside from the outdoors,
// reached through a doorway: the camera looks at its floor (height 0), and cuts to it and away from
// it rather than fly through the space between.
struct FlightPoint {
    const char* name;  // names the shot
    Vec2 place;
    float yaw;
    float pitch;
    float distance;
    bool interior = false;
};

// Starts high over the first region, comes down to the fire there (burning since the first frame),
// looks down at the lake, looks east across the hills of the east and down at the river, looks west
// across the land of the west, comes back to the crypt's entrance in the first region and ends in
// the crypt (SampleOutdoors.h and SampleGrid.h say where each lies). The views across the land
// are low enough that the hills stand against the sky, and high enough that the ground shows
// between the grass blades.
extern const std::array<FlightPoint, 8> kFlightPath;

// The view a fraction (0 to 1) of the way along the leg from one point of the path to the next:
// eased in and out from the one to the other, the yaw turning by at most half a turn (from 300 to
// 20 degrees through 0, not back through 180); on a leg to or from an interior, the one point
// before half way and the other from there. It takes the name and the inside of the nearer point.
FlightPoint ViewAlongLeg(const FlightPoint& from, const FlightPoint& to, float fraction);

// The frame-time percentiles and streaming counts of a flight.
struct FlightSummary {
    int frames = 0;
    double p50Ms = 0.0;
    double p99Ms = 0.0;
    double maxMs = 0.0;
    double firstMs = 0.0;
    double maxAfterFirstMs = 0.0;  // the worst frame but the first (which may still be making things)
    double totalMs = 0.0;
    int regionsLoaded = 0;    // times a region's level came in
    int regionsUnloaded = 0;  // times one went
    // The levels the level loading thread read during the flight: their wall-clock time over the
    // processor time they took, summed and at worst.
    double loadWallOverCpu = 0.0;
    double worstLoadWallOverCpu = 0.0;
};

class SampleFlight {
public:
    static constexpr int kDefaultFrames = 360;
    // The camera sees this far; regions within the engine's level-load distance beyond what it
    // sees are read ahead, and regions farther away are let go.
    static constexpr float kFarPlane = 100.0f;
    // The longest the flight waits before its first frame for the regions that frame sees.
    static constexpr std::chrono::seconds kFirstViewWait{60};
    // Frames start at most 60 times a second, as they would on a display's refresh (the wait is
    // not part of the frame's time), so the level loading thread has the time it would have in
    // a game.
    static constexpr std::chrono::microseconds kFramePeriod{16667};
    // The see-through frustum: the image rectangle kSeeThroughMin..kSeeThroughMax (image
    // coordinates, the target in the middle), ending this far before the target.
    static constexpr Vec2 kSeeThroughMin{0.35f, 0.25f};
    static constexpr Vec2 kSeeThroughMax{0.65f, 0.75f};
    static constexpr float kSeeThroughMargin = 2.0f;
    // How near a doorway the target lets the region behind it fade in: the sample's rooms are
    // small (the crypt is 20 across), so the middle of the crypt lies beyond its doorway's fade.
    static constexpr float kDoorwayFadeStart = 4.0f;
    static constexpr float kDoorwayFadeEnd = 6.0f;

    // Loads the sample map into the engine's world (the engine's data holds the sample data) and
    // puts the flight's view on its display. With streaming, the regions the first frame sees are
    // read (on the level loading thread) before it, as a game's loading screen reads them; without
    // it every region is loaded first and kept loaded. frames is the flight's length, at least one
    // frame a leg of the path.
    SampleFlight(Engine& engine, int frames, bool streaming = true);
    ~SampleFlight();
    SampleFlight(const SampleFlight&) = delete;
    SampleFlight& operator=(const SampleFlight&) = delete;

    // False when the map did not load or holds no region (logged).
    bool IsReady() const { return ready_; }
    bool IsDone() const { return frame_ >= frames_; }
    int GetFrame() const { return frame_; }
    int GetNumFrames() const { return frames_; }
    // Runs the next frame: updates the engine for the camera's place on the path, draws the frame
    // and, before presenting it, calls beforePresent with the index of the path point the camera
    // arrived at in this frame (-1 between points) so the frame can be saved.
    template <typename BeforePresent>
    void Step(BeforePresent&& beforePresent) {
        std::this_thread::sleep_until(lastStart_ + kFramePeriod);
        const auto start = std::chrono::steady_clock::now();
        lastStart_ = start;
        const int point = BeginFrame();
        const auto saveStart = std::chrono::steady_clock::now();
        beforePresent(point);
        EndFrame(start, std::chrono::steady_clock::now() - saveStart);
    }
    // The number of regions whose levels are loaded now.
    int GetNumRegionsLoaded() const;
    // The path point nearest to the camera's place on the path.
    const FlightPoint& GetCurrentPoint() const;
    FlightSummary Summarize() const;

private:
    // The flight's view: the world through the camera, outdoors under the sky (its colour where
    // the regions drew nothing), then the caption.
    class View final : public DisplayWidget {
    public:
        explicit View(SampleFlight& flight) : flight_(flight) {}
        void Render(GraphicsCanvas& canvas) const override;

    private:
        SampleFlight& flight_;
    };

    // Places the camera, updates and draws the frame; the point reached, or -1.
    int BeginFrame();
    // Places the camera for the frame, updates the engine for its view and follows its target.
    void UpdateFrame();
    // The transparency manager follows the camera's target.
    void FollowTarget();
    // The loading screen's last step: the engine updated for the first frame, every region in
    // drawn offscreen, then the view from each point of the path (see above), so that the driver
    // compiles what the flight's frames draw before the first one.
    void WarmUp();
    // Presents the frame and notes its time (without what the host spent saving it) and streaming.
    void EndFrame(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::duration saving);
    // Moves the camera to its place at the frame.
    void PlaceCamera(int frame);
    // Reads the regions of the first frame's view, with their resources, before it (see above).
    void LoadFirstView();
    // Starts the wave of the creatures in the region's level.
    void AnimateCreatures(Region& region) const;
    // Starts the yard's physics when its level is loaded and its bodies are boxed (their meshes
    // load in the background), unless it has started on the level already.
    void StartYardPhysics();

    Engine& engine_;
    const GraphicsAnim* wave_;
    HostCamera camera_;
    GraphicsTransparencyManager transparency_;
    View view_{*this};
    int frames_;
    bool streaming_;
    bool ready_ = false;
    int frame_ = 0;
    std::chrono::steady_clock::time_point lastStart_;  // of the last frame
    bool reached_ = false;  // this frame reached a point of the path
    mem::vector<Region*> loaded_;  // after the last frame
    std::vector<double> times_;    // milliseconds a frame
    int regionsLoaded_ = 0;
    int regionsUnloaded_ = 0;
    bool yardPhysicsStarted_ = false;  // on the yard's level since it last came in
};

}  // namespace sample
}  // namespace GAME
