#include "SampleFlight.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "SampleAnimations.h"
#include "SampleData.h"
#include "SampleGrid.h"
#include "SampleMeshes.h"
#include "SampleOutdoors.h"
#include "SamplePhysics.h"

#include "core/Color.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/Rect.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "render/Display.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/Viewport.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "world/AmbianceManager.h"
#include "world/FogOfWar.h"
#include "world/GraphicsPortalRenderer.h"
#include "world/Level.h"
#include "world/LevelLoadingThread.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/RegionLoader.h"
#include "world/World.h"

namespace GAME::sample {

namespace {

constexpr Color kSkyColor(0.45f, 0.62f, 0.85f, 1.0f);
// The side of the fog-of-war map, in pixels.
constexpr float kFogMapSize = 96.0f;
// The middle of the crypt's floor, in the world.
constexpr float kCryptHalfSize = 0.5f * kGridCellWidth * float(kCryptCells);
constexpr Vec2 kCryptCentre(float(kCryptOffset.x) + kCryptHalfSize, float(kCryptOffset.z) + kCryptHalfSize);

// Eases in and out over [0, 1].
float Ease(float t) { return t * t * (3.0f - 2.0f * t); }

float Mix(float a, float b, float t) { return a + (b - a) * t; }

Viewport ScreenViewport(const GraphicsEngine& graphics) {
    return Viewport(0, 0, graphics.GetWidth(), graphics.GetHeight());
}

}  // namespace

// Yaw 0 puts the camera on the target's +z side, 90 on its +x side.
const std::array<FlightPoint, 8> kFlightPath = {{
    {"start", Vec2(24.0f, 24.0f), 225.0f, 60.0f, 50.0f},
    {"fire", kMarksCentre, 225.0f, 50.0f, 20.0f},
    {"lake", kLakeCentre, 250.0f, 50.0f, 50.0f},
    {"hills", Vec2(176.0f, 64.0f), 270.0f, 14.0f, 60.0f},
    {"river", kRiverCourse[1], 20.0f, 60.0f, 28.0f},
    {"west", Vec2(36.0f, 100.0f), 90.0f, 15.0f, 60.0f},
    {"entrance", Vec2(kCryptEntrance.x, kCryptEntrance.z), 180.0f, 25.0f, 20.0f},
    {"crypt", kCryptCentre, 200.0f, 60.0f, 30.0f, true},
}};

SampleFlight::SampleFlight(Engine& engine, int frames, bool streaming)
    : engine_(engine),
      wave_(engine.GetGraphicsEngine()->LoadAnimation(kCreatureWaveAnimation)),
      camera_(*engine.GetWorld()),
      frames_(std::max(frames, int(kFlightPath.size()) - 1)),
      streaming_(streaming) {
    World& world = *engine.GetWorld();
    ready_ = world.Load(kSampleMap, true, true);
    if (!ready_) return;
    // The flight starts over the first region (its yard); a world without one has nothing to show.
    if (world.GetNumRegions() == 0) {
        Log(LogPriority::Error, "Sample flight: the world %s has no regions to fly over", kSampleMap);
        ready_ = false;
        return;
    }
    camera_.SetCameraFarPlane(kFarPlane);
    if (streaming_) {
        LoadFirstView();
    } else {
        for (int i = 0; i < world.GetNumRegions(); ++i) world.GetRegion(i)->LoadLevel(true);
    }
    loaded_ = world.GetLoadedRegions();
    regionsLoaded_ = int(loaded_.size());  // streamed in before the first frame
    for (Region* region : loaded_) AnimateCreatures(*region);
    StartYardPhysics();
    LevelLoadingThread::Get().ResetLoadTimes();
    engine.GetDisplay()->AddWidget(&view_);
    WarmUp();
}

SampleFlight::~SampleFlight() {
    engine_.GetDisplay()->RemoveWidget(&view_);
    engine_.UnloadWorld();
    engine_.GetGraphicsEngine()->UnloadAnimation(wave_);
}

void SampleFlight::AnimateCreatures(Region& region) const {
    if (region.GetLevel() == nullptr) return;
    std::string doll = kRagDollRecord;
    FileSystem::ConvertFileName(doll);
    mem::vector<Entity*> entities;
    region.GetLevel()->GetEntities(entities);
    for (Entity* entity : entities) {
        if (entity->GetObjectName() == doll) continue;
        auto* actor = dynamic_cast<Actor*>(entity);
        GraphicsMeshInstance* body = actor != nullptr ? actor->GetMeshInstance() : nullptr;
        if (body != nullptr && body->GetMesh() != nullptr && body->GetMesh()->GetFileName() == kCreatureMesh)
            body->GetAnimChannel(0).PlayAnimation(wave_, true, 1.0f, 0);
    }
}

void SampleFlight::StartYardPhysics() {
    Region& yard = *engine_.GetWorld()->GetRegion(0);
    if (!yardPhysicsStarted_ && yard.IsLevelLoaded()) yardPhysicsStarted_ = StartPhysicsSample(*yard.GetLevel());
}

void SampleFlight::LoadFirstView() {
    PlaceCamera(0);
    World& world = *engine_.GetWorld();
    const WorldFrustum view = camera_.GetFrustum(ScreenViewport(*engine_.GetGraphicsEngine()));
    const auto deadline = std::chrono::steady_clock::now() + kFirstViewWait;
    // The post-load pass finishes a level a step at a time, as it does once a frame.
    const auto read = [&](RegionLoader& loader) {
        for (;;) {
            loader.Update(0);
            if (loader.GetIsDone() || loader.GetHasFailed() || std::chrono::steady_clock::now() > deadline)
                return loader.GetIsDone();
            world.PostLoadPass();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    RegionLoader inView(view, true);
    bool done = read(inView);
    // Then the regions behind the doorways of those within reach of the view, which the first
    // frame looks through.
    const float reach = engine_.GetLevelLoadInflation();
    mem::vector<Region*> behind;
    for (Region* region : world.GetLoadedRegions()) {
        Frustum local;
        view.GetRelativeFrustum(region, local);
        for (int i = 0; i < region->GetNumPortals(); ++i) {
            Region* next = region->GetPortal(i)->GetConnectedRegion();
            if (next != nullptr && !next->IsLevelLoaded() && std::count(behind.begin(), behind.end(), next) == 0 &&
                region->GetPortal(i)->TestIntersection(local.Expand(reach)))
                behind.push_back(next);
        }
    }
    RegionLoader throughDoors(engine_.GetResourceLoader(), behind, true);
    done = read(throughDoors) && done;
    if (!done)
        Log(LogPriority::Warning, "Sample flight: the first view's regions are not all in; the flight starts anyway");
}

int SampleFlight::GetNumRegionsLoaded() const { return int(engine_.GetWorld()->GetLoadedRegions().size()); }

const FlightPoint& SampleFlight::GetCurrentPoint() const {
    const int legs = int(kFlightPath.size()) - 1;
    const int nearest = frames_ > 1 ? (2 * frame_ * legs + frames_ - 1) / (2 * (frames_ - 1)) : legs;
    return kFlightPath[size_t(std::min(legs, nearest))];
}

FlightPoint ViewAlongLeg(const FlightPoint& from, const FlightPoint& to, float fraction) {
    const float t = from.interior || to.interior ? (fraction < 0.5f ? 0.0f : 1.0f) : Ease(fraction);
    // The turn from one yaw to the other, wrapped into [-180, 180).
    const float turn = to.yaw - from.yaw - 360.0f * std::floor((to.yaw - from.yaw + 180.0f) / 360.0f);
    const FlightPoint& nearer = fraction < 0.5f ? from : to;
    return {nearer.name, Vec2(Mix(from.place.x, to.place.x, t), Mix(from.place.y, to.place.y, t)), from.yaw + turn * t,
            Mix(from.pitch, to.pitch, t), Mix(from.distance, to.distance, t), nearer.interior};
}

void SampleFlight::PlaceCamera(int frame) {
    // Frame f of n lies at f * legs / (n - 1) along the path: the last frame at its end.
    const int legs = int(kFlightPath.size()) - 1;
    const float along = frames_ > 1 ? float(frame) * float(legs) / float(frames_ - 1) : float(legs);
    const int leg = std::min(int(along), legs - 1);
    const FlightPoint view = ViewAlongLeg(kFlightPath[size_t(leg)], kFlightPath[size_t(leg) + 1], along - float(leg));
    const float height = view.interior ? 0.0f : WorldGroundHeight(view.place.x, view.place.y);
    camera_.SetTarget(Vec3(view.place.x, height, view.place.y));
    camera_.SetCameraYaw(DegreesToRadians(view.yaw));
    camera_.SetCameraPitch(DegreesToRadians(view.pitch));
    camera_.SetCameraDistance(view.distance);
    camera_.Update();
}

void SampleFlight::UpdateFrame() {
    PlaceCamera(frame_);
    World& world = *engine_.GetWorld();
    if (!streaming_) {
        for (int i = 0; i < world.GetNumRegions(); ++i) world.GetRegion(i)->MarkAsUsedThisFrame();
    }
    const WorldFrustum frustum = camera_.GetFrustum(ScreenViewport(*engine_.GetGraphicsEngine()));
    engine_.GetAmbianceManager()->SetTarget(camera_.GetTargetPosition(), frustum);
    // The ground the camera looks at is uncovered: the fog map shows the way flown.
    world.AddFOWVisibility(camera_.GetTargetPosition(), 0);
    engine_.Update(frustum, true);
    FollowTarget();
}

void SampleFlight::FollowTarget() {
    transparency_.SetTargetPosition(camera_.GetTargetPosition());
    const float seeThroughFar = std::max(camera_.GetCameraDistance() - kSeeThroughMargin, 0.0f);
    transparency_.SetTransparencyFrustum(camera_.GetSubFrustum(kSeeThroughMin, kSeeThroughMax, seeThroughFar,
                                                               ScreenViewport(*engine_.GetGraphicsEngine())));
}

void SampleFlight::WarmUp() {
    UpdateFrame();
    World& world = *engine_.GetWorld();
    world.EnableWarmUp(true);
    const mem::vector<Region*> loaded = world.GetLoadedRegions();
    for (Region* region : loaded) world.WarmUp(*region);
    const int legs = int(kFlightPath.size()) - 1;
    for (int point = 0; point <= legs; ++point) {
        PlaceCamera(frames_ > 1 ? point * (frames_ - 1) / legs : 0);
        FollowTarget();
        engine_.GetGraphicsEngine()->WarmUp();
    }
    PlaceCamera(frame_);
    FollowTarget();
}

int SampleFlight::BeginFrame() {
    UpdateFrame();
    engine_.Render();
    // The frame that reaches a point of the path (the first frame only starts from one).
    const int legs = int(kFlightPath.size()) - 1;
    if (frames_ < 2) return legs;
    if (frame_ == 0) return -1;
    const int before = (frame_ - 1) * legs / (frames_ - 1);
    const int now = frame_ * legs / (frames_ - 1);
    reached_ = now != before;
    return reached_ ? now : -1;
}

void SampleFlight::EndFrame(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::duration saving) {
    engine_.PresentSurface();
    const auto spent = std::chrono::steady_clock::now() - start - saving;
    times_.push_back(std::chrono::duration<double, std::milli>(spent).count());

    World& world = *engine_.GetWorld();
    const mem::vector<Region*>& loaded = world.GetLoadedRegions();
    for (Region* region : loaded) {
        if (std::count(loaded_.begin(), loaded_.end(), region) != 0) continue;
        ++regionsLoaded_;
        AnimateCreatures(*region);
        if (region->GetIndex() == 0) yardPhysicsStarted_ = false;
    }
    StartYardPhysics();
    for (Region* region : loaded_) regionsUnloaded_ += std::count(loaded.begin(), loaded.end(), region) == 0;
    loaded_ = loaded;
    // At each point of the path the regions left behind go, unless the next frame sees them (a
    // level otherwise stays for hundreds of frames after it was last seen).
    if (streaming_ && reached_) world.UnloadExtraRegions();
    reached_ = false;
    ++frame_;
}

FlightSummary SampleFlight::Summarize() const {
    FlightSummary summary;
    summary.frames = int(times_.size());
    summary.regionsLoaded = regionsLoaded_;
    summary.regionsUnloaded = regionsUnloaded_;
    if (times_.empty()) return summary;
    std::vector<double> sorted = times_;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double share) { return sorted[std::min(sorted.size() - 1, size_t(share * double(sorted.size())))]; };
    const LevelLoadingThread::LoadTimes loads = LevelLoadingThread::Get().GetLoadTimes();
    summary.loadWallOverCpu = loads.cpuMs > 0.0 ? loads.wallMs / loads.cpuMs : 0.0;
    summary.worstLoadWallOverCpu = loads.worstRatio;
    summary.p50Ms = at(0.50);
    summary.p99Ms = at(0.99);
    summary.maxMs = sorted.back();
    summary.firstMs = times_.front();
    summary.maxAfterFirstMs = times_.size() > 1 ? *std::max_element(times_.begin() + 1, times_.end()) : 0.0;
    for (const double time : sorted) summary.totalMs += time;
    return summary;
}

void SampleFlight::View::Render(GraphicsCanvas& canvas) const {
    canvas.SetDefaultState();
    canvas.ClearRenderSurface(nullptr, kSkyColor, RenderDevice::kClearColor | RenderDevice::kClearDepth);
    const HostCamera& camera = flight_.camera_;
    const Viewport viewport(0, 0, canvas.GetWidth(), canvas.GetHeight());
    Region* region = camera.GetRegion();
    if (region != nullptr) {
        const bool underground = region->IsUnderground();
        GraphicsPortalRenderer world(canvas, region, camera.GetRegionCamera(), viewport, underground);
        world.SetFrustum(camera.GetRegionFrustum(viewport));
        world.SetTransparencyManager(&flight_.transparency_);
        world.SetFadeParameters(kDoorwayFadeStart, kDoorwayFadeEnd);
        world.Render();
        // The regions clear to black (the ground's layers blend over it): outdoors the sky fills
        // what they left at the far plane.
        if (!underground) {
            canvas.SetDefaultState();
            canvas.SetDepth(1.0f);
            canvas.RenderRect(Rect(0.0f, 0.0f, float(canvas.GetWidth()), float(canvas.GetHeight())),
                              RenderBlendFactor::One, RenderBlendFactor::Zero, kSkyColor);
            canvas.SetDepth(0.0f);
        }
    }
    canvas.SetDefaultState();
    // The fog of war of the camera's region, in the top right corner: white where nothing was seen.
    FogOfWar* fog = region != nullptr ? region->GetFogOfWar(false) : nullptr;
    if (fog != nullptr && fog->GetTexture() != nullptr) {
        canvas.RenderRect(Rect(float(canvas.GetWidth()) - kFogMapSize - 8.0f, 8.0f, kFogMapSize, kFogMapSize),
                          Rect(0.0f, 0.0f, float(fog->GetXSize()), float(fog->GetYSize())), fog->GetTexture(),
                          RenderBlendFactor::One, RenderBlendFactor::Zero, Color(1.0f, 1.0f, 1.0f, 1.0f), false);
        canvas.SetDefaultState();
    }
    const std::string caption = std::string("Sample world: ") + flight_.GetCurrentPoint().name + "  (frame " +
                                std::to_string(flight_.frame_ + 1) + " of " + std::to_string(flight_.frames_) + ")";
    canvas.RenderText(Rect(0.0f, float(canvas.GetHeight()) - 28.0f, float(canvas.GetWidth()), 0.0f), caption.c_str(),
                      kTitleStyle, 1.0f, XAlignment::Center, YAlignment::Top);
}

}  // namespace GAME::sample
