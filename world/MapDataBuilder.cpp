#include "world/MapDataBuilder.h"

#include <cmath>

#include "core/WorldCoords.h"
#include "render/Viewport.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "files/BinaryWriter.h"
#include "render/Camera.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/Image.h"
#include "render/RenderDevice.h"
#include "scene/GraphicsLight.h"
#include "scene/GraphicsNormalRenderer.h"
#include "world/DayNightCycle.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldScene.h"

namespace GAME {

namespace {

constexpr float kCameraHeight = 1000.0f;
constexpr float kTimeOfDay = 10.0f;
const Color kRed(1.0f, 0.0f, 0.0f, 1.0f);

// What the drawing changes on the engine, put back when it goes.
class MapRenderingState {
public:
    MapRenderingState(Engine& engine, GraphicsEngine& graphics, const FilterFunction<Entity>& filter)
        : engine_(engine), graphics_(graphics), reflections_(graphics.AreReflectionsEnabled()) {
        engine_.SetEntityRenderFilter(&filter);
        engine_.SetMapRendering(true);
        graphics_.EnableReflections(false);
    }
    ~MapRenderingState() {
        graphics_.EnableReflections(reflections_);
        engine_.SetMapRendering(false);
        engine_.SetEntityRenderFilter(nullptr);
    }
    MapRenderingState(const MapRenderingState&) = delete;
    MapRenderingState& operator=(const MapRenderingState&) = delete;

private:
    Engine& engine_;
    GraphicsEngine& graphics_;
    const bool reflections_;
};

}  // namespace

bool DetailMapFilterFunction::operator()(const Entity* entity) const { return entity->IncludeInMinimap(); }

MapDataBuilder::~MapDataBuilder() {
    GraphicsEngine* graphics = GetEngineGraphics();
    if (target_ && graphics && graphics->GetRenderDevice()) graphics->GetRenderDevice()->DestroyRenderSurface(target_);
}

bool MapDataBuilder::Build(Region* region, const mem::vector<Region*>& extraRegions, const Vec3& min, const Vec3& max,
                           float pixelsPerUnit) {
    pixels_.clear();
    encoded_.clear();
    region_ = region;
    extraRegions_ = &extraRegions;
    min_ = min;
    max_ = max;
    boxWidth_ = int(max.x - min.x);
    boxDepth_ = int(max.z - min.z);
    width_ = int(float(boxWidth_) * pixelsPerUnit);
    height_ = int(float(boxDepth_) * pixelsPerUnit);
    GraphicsEngine* graphics = GetEngineGraphics();
    RenderDevice* device = graphics ? graphics->GetRenderDevice() : nullptr;
    if (!region || !device || !graphics->GetCanvas() || width_ <= 0 || height_ <= 0) return false;

    if (target_) device->DestroyRenderSurface(target_);
    target_ = device->CreateRenderSurface(width_, height_, RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    if (!target_) return false;
    Render();
    pixels_.resize(size_t(width_) * size_t(height_) * 4);
    const bool read = target_->ReadPixels(pixels_.data(), width_, height_, RenderTextureFormat::RGBA);
    device->DestroyRenderSurface(target_);
    return read && Encode();
}

void MapDataBuilder::Render() {
    GraphicsEngine& graphics = *GetEngineGraphics();
    GraphicsCanvas& canvas = *graphics.GetCanvas();
    const DetailMapFilterFunction filter;
    const MapRenderingState state(*gEngine, graphics, filter);
    canvas.SetTargetSurface(target_);
    canvas.BeginFrame();
    const Viewport viewport(0, 0, width_, height_);
    canvas.SetViewport(viewport);

    Camera camera;
    camera.SetType(CameraType::Orthographic);
    const Vec3 centre = (min_ + max_) * 0.5f;
    camera.SetCoords(Coords::LookAt(centre + Vec3(0.0f, kCameraHeight, 0.0f), centre, Vec3(0.0f, 0.0f, -1.0f)));
    camera.SetNearPlane(0.1f);
    camera.SetFarPlane(4000.0f);
    camera.SetWidth(float(boxWidth_));
    camera.SetHeight(float(boxDepth_));

    DayNightCycle cycle;
    cycle.SetDefault();
    Color light, sky, ground;
    cycle.GetLighting(kTimeOfDay, light, sky, ground);
    GraphicsLight sun;
    sun.SetType(GraphicsLight::Type::Directional);
    sun.SetCastsShadows(true);
    sun.SetColor(light);
    // The cycle gives the direction towards the sun; the light shines the other way.
    sun.SetObjectToWorldCoords(WorldCoords(
        region_, Coords::LookIn(Vec3(), -cycle.GetLightDirection(kTimeOfDay, false), Vec3(0.0f, 1.0f, 0.0f))));

    WorldScene scene(nullptr);
    GraphicsNormalRenderer renderer(&scene);
    renderer.SetBackgroundColor(kRed);
    renderer.SetGenerationId(graphics.GetGenerationId());
    if (const World* world = gEngine->GetWorld()) renderer.SetShadowSoftness(world->GetShadowSoftness());
    renderer.EnableShadows(true);
    renderer.EnableLighting(true);
    renderer.EnableWater(true);
    renderer.EnableTerrain(true);
    renderer.EnableGrass(true);
    renderer.EnableGridTiles(true);
    renderer.EnableMeshes(true);
    renderer.EnableDecals(true);
    renderer.EnableEffects(true);
    renderer.EnableFog(false);
    // The viewer first: it takes the graphics engine's shadow switch, which the light then follows.
    renderer.SetViewer(region_, camera, viewport, camera.GetFrustum(viewport));
    renderer.AddLight(sun);
    renderer.SetSkyAmbientColor(sky);
    renderer.SetGroundAmbientColor(ground);
    renderer.AddRegionToScene(region_, Coords(), nullptr);
    for (Region* extra : *extraRegions_) renderer.AddRegionToScene(extra, extra->GetRelativeTransformation(region_), nullptr);
    renderer.Render(canvas, false, false);

    canvas.SetTargetSurface(nullptr);
    canvas.SetDefaultState();
    canvas.EndFrame();
}

bool MapDataBuilder::Encode() {
    Image image;
    if (!image.Create(unsigned(width_), unsigned(height_), Image::Format::RGBA, pixels_.data()) ||
        !image.ChangeFormat(Image::Format::RGB)) {
        return false;
    }
    BinaryWriter writer(1024);
    if (!image.WriteTGA(writer) || writer.Failed()) return false;
    encoded_.assign(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    return true;
}

bool MapDataBuilder::TakeResult(unsigned& width, unsigned& height, mem::vector<unsigned char>& bytes) {
    if (encoded_.empty()) return false;
    width = unsigned(width_);
    height = unsigned(height_);
    bytes = std::move(encoded_);
    encoded_.clear();
    return true;
}

}  // namespace GAME
