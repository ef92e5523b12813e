#pragma once
// GraphicsEngine: the renderer's front end. It creates the render device, owns the canvas, the
// graphics resource managers, the basic shaders and the shared textures, the feature switches and
// the frame statistics, and turns the user's graphics options into device settings, texture
// reduction and the hardware generation whose data (shader sections, mesh data) is used.
//
// Life: the engine constructs it, calls CreateDevice and then Initialize, Update once a frame and
// deletes it at shutdown. Main thread only, except the queries resources make while they load on
// the loader thread (GetRenderDevice, GetGenerationName, GetTextureReduction, LoadTexture,
// UnloadTexture, the shared textures), which are safe from any thread.
//
// Options: the engine's options (gEngine->GetOptions()) drive the device settings, qualities and
// gamma every frame. Without an engine or options, the settings stay as the host gave them.
//
// Resource managers: textures, fonts, shaders and meshes (budgeted) and animations (not budgeted);
// every operation over all managers passes over empty slots. The order of those operations is
// effects (when the engine has them), fonts, meshes, shaders, textures, animations.
//
// Texture reduction: a texture drops max(global level + directory level, 0) top mip levels. The
// global level follows the texture quality (high -2, medium 0, low 1); the directory level is that
// of the first row of the directory table whose path begins the texture's normalised file name
// (rows ordered by decreasing path length).

#include "core/Mem.h"
#include "core/SystemTimer.h"
#include "files/RecordResourceLoader.h"
#include "render/RenderDevice.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace GAME {

class BaseResourceManager;
class Display;
class GraphicsAnim;
class GraphicsBudget;
class GraphicsCanvas;
class GraphicsFont;
class GraphicsMesh;
class GraphicsShader2;
class GraphicsTexture;
class Image;
class Options;
class ResourceLoader;
struct GraphicsEngineSettings;
struct Rect;
template <class T>
class GraphicsResourceManager;
template <class T>
class ResourceManager;

// The frame statistics (GraphicsEngine::GetStats).
struct GraphicsStats {
    float physicalMemory = 0.0f;      // MiB the process uses
    float freeVideoMemory = 0.0f;     // MiB
    float framesPerSecond = 0.0f;     // over the last 15 frames
    int faces = 0;                    // this frame
    float facesPerSecond = 0.0f;      // over the last 15 frames
    int drawCalls = 0;                // this frame
    int reflections = 0;              // this frame
    int lights = 0;                   // this frame
    int shadowCastingLights = 0;      // this frame
};

// The graphics engine's on/off switches (GraphicsEngine's Enable... and Is... accessors). All off at
// construction; Initialize turns on shadows, lighting, rendering, reflections, transparency, fog,
// bloom and every kind of scene content, and turns off show lights, wire frame and statistics.
// The main thread sets them (the options are applied every frame) while levels loading on their
// thread read some (a terrain asks for its quality), so each is atomic.
struct GraphicsSwitches {
    std::atomic<bool> showLights{false};          // the scene's lights are drawn as debug shapes
    std::atomic<bool> showBoundingBoxes{false};   // bounding boxes are drawn as debug shapes
    std::atomic<bool> regionList{false};          // the region walk is written to the statistics overlay
    std::atomic<bool> wireframe{false};           // scenes draw as wire frames
    std::atomic<bool> stats{false};               // Update adds the frame statistics to the statistics overlay
    std::atomic<bool> shadows{false};             // lights cast shadows; mirrored in the option "shadows"
    std::atomic<bool> lighting{false};            // scenes are lit
    std::atomic<bool> rendering{false};           // the world is drawn at all
    std::atomic<bool> reflections{false};         // reflections render; follows the reflection quality (on at 2)
    std::atomic<bool> fog{false};                 // depth and height fog
    std::atomic<bool> terrain{false};             // scene content: terrain
    std::atomic<bool> grass{false};               // scene content: grass
    std::atomic<bool> gridTiles{false};           // scene content: grid tiles
    std::atomic<bool> meshes{false};              // scene content: meshes
    std::atomic<bool> effects{false};             // scene content: effects
    std::atomic<bool> decals{false};              // scene content: decals
    std::atomic<bool> water{false};               // scene content: water
    std::atomic<bool> transparency{false};        // transparent objects are drawn
    std::atomic<bool> bloom{false};               // the bloom pass; mirrored in the option "advancedEffects"
    std::atomic<bool> lowQualityTerrain{false};   // cheaper terrain; on at detail level 0
    std::atomic<bool> lowQualityLighting{false};  // fewer shadows and no specular; on at detail level 0
    std::atomic<bool> shadowDebugging{false};     // shadow maps are drawn on the screen
    std::atomic<bool> optimizationTest{false};    // a renderer's switch for trying out an optimisation
};

class GraphicsEngine : public RecordResourceLoader {
public:
    static constexpr const char* kBasicShader = "Shaders/Basic.ssh";
    static constexpr const char* kOverlayShader = "Shaders/Overlay.ssh";
    static constexpr const char* kDefaultFont = "Fonts/Arial.fnt";
    // The size interface layouts are designed at.
    static constexpr float kLayoutWidth = 1024.0f;
    static constexpr float kLayoutHeight = 768.0f;
    // Primary-surface attempts before CreateDevice gives up, and the pause between them.
    static constexpr int kSurfaceAttempts = 100;
    static constexpr int kSurfaceRetryMs = 100;
    // The least total video memory the hardware check accepts.
    static constexpr size_t kMinVideoMemory = 59768832;  // 57 MiB

    GraphicsEngine();
    // Takes the font styles' fonts back first (StyleManager::ReleaseFonts), then releases every
    // resource and the device.
    virtual ~GraphicsEngine();
    GraphicsEngine(const GraphicsEngine&) = delete;
    GraphicsEngine& operator=(const GraphicsEngine&) = delete;

    // -- Life cycle --------------------------------------------------------------------------------

    // Loads the device library named by the settings and makes the primary surface for the window
    // (up to kSurfaceAttempts tries; between tries the options go back to the hardware defaults,
    // the engine pauses kSurfaceRetryMs and the device is initialised again). Settings of width or
    // height 0 ask for the hardware defaults, saved to the options file. Then the hardware check:
    // unless the option "skipCompatibilityChecks" is on, an unknown generation or less than
    // kMinVideoMemory of video memory ends the process with the localized "tagInstallerText35".
    // False (logged, except when the library does not load) when there is no device or surface.
    bool CreateDevice(void* window, const GraphicsEngineSettings& settings);
    // Makes the resource managers over the loader (which must outlive the engine): textures, fonts,
    // shaders and meshes with the budget keeper, then animations without it. Then the canvas, the
    // scene and shadow-map renderers' shared resources, the default font, the shared textures, the
    // basic shaders and the basic vertex declaration, and takes the options. After CreateDevice
    // succeeded.
    bool Initialize(void* window, const GraphicsEngineSettings& settings, ResourceLoader* loader);
    // Once a frame: the video-memory budget, the options, and the interface frame between the
    // canvas's BeginFrame and EndFrame: with a display, a device that is not lost and renderDisplay,
    // the statistics lines (with statistics on; see Engine::AddStatisticText) and then the display's
    // widgets. The host presents the frame with PresentSurface.
    // Draws the display once as a frame would (noise passes, widgets, statistics) into an
    // offscreen surface of the primary surface's size and formats, never presented: the driver
    // compiles the program variants of the pipeline states the next frame uses now, while a host
    // shows its loading screen, not in that frame. Called once the first view is read.
    void WarmUp();
    void Update(bool renderDisplay);

    // -- Options -----------------------------------------------------------------------------------

    // Applies the options: reflections, normal-renderer target sizes, texture reduction, the
    // effective generation, low-quality switches, device settings (a change resets the device)
    // and gamma. Every frame. New target sizes remake the normal renderer's targets (as does a new
    // generation). The generation changes only when the detail level asks for another than it
    // last did, so that one set by hand (SetGeneration) lasts until then.
    void UpdateFromOptions();
    // Writes the defaults for this hardware (generation, video memory, card) into the options.
    void SetOptionsToDefaults(Options* options);

    // -- Resources ---------------------------------------------------------------------------------

    // The shared resource of the file with one more reference; null when there is no manager or
    // the name is empty.
    const GraphicsTexture* LoadTexture(const std::string& fileName) override;
    const GraphicsFont* LoadFont(const std::string& fileName);
    const GraphicsShader2* LoadShader2(const std::string& fileName) override;
    const GraphicsAnim* LoadAnimation(const std::string& fileName);
    const GraphicsMesh* LoadMesh(const std::string& fileName) override;
    // One reference less.
    void UnloadTexture(const GraphicsTexture* texture);
    void UnloadFont(const GraphicsFont* font);
    void UnloadShader2(const GraphicsShader2* shader);
    void UnloadAnimation(const GraphicsAnim* animation);
    void UnloadMesh(const GraphicsMesh* mesh);
    void ReloadAllResources();
    // Every loaded resource of every manager is loaded again: at once, with the loader paused,
    // when full; otherwise queued.
    void ReloadAllResources(bool full);
    void UnloadUnreferencedResources();
    // Evicts textures and meshes not touched for frames or not used for twice that; fonts, shaders
    // and animations not touched for frames.
    void EvictOldResources(uint32_t frames);
    void ListLoadedResources();
    void WriteResourceLog(FILE* file);
    BaseResourceManager* GetTextureResourceManager() const;
    BaseResourceManager* GetFontResourceManager() const;
    BaseResourceManager* GetShaderResourceManager() const;
    BaseResourceManager* GetMeshResourceManager() const { return meshManager_.get(); }
    BaseResourceManager* GetAnimationResourceManager() const { return animationManager_.get(); }

    // -- Texture reduction -------------------------------------------------------------------------

    // A change reloads the textures.
    void SetTextureReduction(int level);
    int GetTextureReduction() const { return textureReduction_.load(); }
    // Replaces the row of the same (normalised) path, else adds one in length order.
    void SetDirectoryTextureReduction(const std::string& path, int level);
    // The reduction of a texture file (see the header comment).
    int GetTextureReduction(const std::string& fileName) const;

    // -- Accessors ---------------------------------------------------------------------------------

    GraphicsCanvas* GetCanvas() const { return canvas_.get(); }
    RenderDevice* GetRenderDevice() const { return device_; }
    const GraphicsShader2* GetBasicShader() const { return basicShader_; }
    const GraphicsShader2* GetOverlayShader() const { return overlayShader_; }
    // kDefaultFont, for text that has no style of its own.
    const GraphicsFont* GetDefaultFont() const { return defaultFont_; }
    // Position float3, normal float3, texture coordinate float2, colour: 36 bytes a vertex.
    const RenderVertexDeclaration* GetBasicVertexDeclaration() const { return basicDeclaration_; }
    // The checker board that stands in for textures with bad data.
    const RenderTexture* GetDefaultTexture() const { return defaultTexture_.load(); }
    // The grey texture that stands in for textures without video memory.
    const RenderTexture* GetEmptyTexture() const { return emptyTexture_.load(); }
    int GetWidth() const { return settings_.width; }
    int GetHeight() const { return settings_.height; }
    bool IsFullscreen() const { return (settings_.flags & RenderDeviceSettings::kFullScreen) != 0; }
    const RenderDeviceSettings& GetDeviceSettings() const { return settings_; }

    // The effective generation: the device's, lowered by the detail level, or the one last set.
    RenderGenerationId GetGenerationId() const { return generation_.load(); }
    const char* GetGenerationName() const;
    // A change reloads shaders and meshes (at once), has the engine's world rebuild what depends on
    // the generation (when this is the engine's graphics engine), then reloads textures (queued)
    // and remakes the normal renderer's targets.
    void SetGeneration(RenderGenerationId generation);
    void SetGeneration(const char* name);
    // GeForce3 1, GeForce4 3, GeForce5 5, GeForce6 6, Radeon9000 5, R200 4, otherwise 0.
    int GetPixelShaderVersion() const;
    // 24 for GeForce3 and GeForce4, otherwise 27.
    int GetMaxNumBones() const;
    // "Low", "Medium", "High"; null for any other quality.
    static const char* GetQualityName(int quality);

    // The widgets drawn each frame (not owned; may be null).
    void SetDisplay(const Display* display) { display_ = display; }
    const Display* GetDisplay() const { return display_; }
    void GetSupportedDisplayModes(mem::vector<RenderDisplayMode>& modes) const;
    void UnregisterVertexDeclaration(RenderVertexDeclaration* declaration);
    void GetStats(GraphicsStats& stats) const;
    // The sizes of the normal renderer's shadow and reflection targets (from the shadow quality).
    unsigned GetNormalRendererTargetSize(int index) const { return targetSizes_[index & 1]; }

    // -- Switches ----------------------------------------------------------------------------------

    void EnableStats(bool enable) { switches_.stats = enable; }
    bool AreStatsEnabled() const { return switches_.stats; }
    void EnableVerticalSync(bool enable);
    void EnableWireframe(bool enable) { switches_.wireframe = enable; }
    bool IsWireframeEnabled() const { return switches_.wireframe; }
    // Also the option "shadows".
    void EnableShadows(bool enable);
    bool AreShadowsEnabled() const { return switches_.shadows; }
    void EnableLighting(bool enable) { switches_.lighting = enable; }
    bool IsLightingEnabled() const { return switches_.lighting; }
    void UseLowQualityLighting(bool enable) { switches_.lowQualityLighting = enable; }
    bool UseLowQualityLighting() const { return switches_.lowQualityLighting; }
    void EnableRendering(bool enable) { switches_.rendering = enable; }
    bool IsRenderingEnabled() const { return switches_.rendering; }
    void EnableTerrain(bool enable) { switches_.terrain = enable; }
    bool IsTerrainEnabled() const { return switches_.terrain; }
    void UseLowQualityTerrain(bool enable) { switches_.lowQualityTerrain = enable; }
    bool UseLowQualityTerrain() const { return switches_.lowQualityTerrain; }
    void EnableGrass(bool enable) { switches_.grass = enable; }
    bool IsGrassEnabled() const { return switches_.grass; }
    void EnableGridTiles(bool enable) { switches_.gridTiles = enable; }
    bool AreGridTilesEnabled() const { return switches_.gridTiles; }
    void EnableMeshes(bool enable) { switches_.meshes = enable; }
    bool AreMeshesEnabled() const { return switches_.meshes; }
    void EnableEffects(bool enable) { switches_.effects = enable; }
    bool AreEffectsEnabled() const { return switches_.effects; }
    void EnableDecals(bool enable) { switches_.decals = enable; }
    bool AreDecalsEnabled() const { return switches_.decals; }
    void EnableWater(bool enable) { switches_.water = enable; }
    bool IsWaterEnabled() const { return switches_.water; }
    void EnableShowLights(bool enable) { switches_.showLights = enable; }
    bool IsShowLightsEnabled() const { return switches_.showLights; }
    void EnableShowBoundingBoxes(bool enable) { switches_.showBoundingBoxes = enable; }
    bool IsShowBoundingBoxesEnabled() const { return switches_.showBoundingBoxes; }
    void EnableRegionList(bool enable) { switches_.regionList = enable; }
    bool IsRegionListEnabled() const { return switches_.regionList; }
    void EnableTransparency(bool enable) { switches_.transparency = enable; }
    bool IsTransparencyEnabled() const { return switches_.transparency; }
    // Also the option "advancedEffects".
    void EnableBloom(bool enable);
    bool IsBloomEnabled() const { return switches_.bloom; }
    void EnableReflections(bool enable) { switches_.reflections = enable; }
    bool AreReflectionsEnabled() const { return switches_.reflections; }
    void EnableFog(bool enable) { switches_.fog = enable; }
    bool GetIsFogEnabled() const { return switches_.fog; }
    void SetShadowDebugging(bool enable) { switches_.shadowDebugging = enable; }
    bool GetShadowDebugging() const { return switches_.shadowDebugging; }
    void SetOptimizationTest(bool enable) { switches_.optimizationTest = enable; }
    bool GetOptimizationTest() const { return switches_.optimizationTest; }

    // Counters of this frame.
    void IncrementReflectionCount(int count) { reflectionCount_ += count; }
    void IncrementLightCount(int lights, int shadowCasting) {
        lightCount_ += lights;
        shadowCasterCount_ += shadowCasting;
    }

    // -- Device reset and output -------------------------------------------------------------------

    // Resets the device with the current settings.
    void ForceDeviceReset();
    // Before the device resets: every resource is loaded again (while the device is lost they
    // wait), then the normal renderer's targets, the canvas's, the shared textures' and the
    // primary surface's device objects go.
    void PreDeviceReset();
    // After the reset: the primary surface, the shared textures and the normal renderer's targets
    // are made again.
    void PostDeviceReset();
    // Hands the primary surface to the device to show, unless the device is lost.
    void PresentSurface();
    // Reads a surface back at its own size (the primary surface at the device settings' size)
    // into an RGBA image, rows top first. False (logged, and an empty image) when nothing could be
    // read.
    bool ReadRenderSurface(const RenderSurface* surface, Image& image) const;
    // Saves what the surface holds as a JPEG file (Image::SaveJPG); false (logged) when it could
    // not be read or written.
    bool SaveRenderSurface(const char* path, const RenderSurface* surface) const;
    // SaveRenderSurface of the primary surface.
    bool SaveScreenShot(const char* path) const;

    // -- Layout scaling (interfaces are designed at 1024 x 768) -------------------------------------

    // Scales every float of a null-terminated list of pointers by width / 1024 (X) or height / 768
    // (Y).
    void GetResAdjValuesX(float* first, ...) const;
    void GetResAdjValuesY(float* first, ...) const;
    // x and width by width / 1024, y and height by height / 768; width and height rounded.
    void GetResAdjRect(const Rect& in, Rect& out) const;
    bool IsDownsizing() const;

protected:
    // Waits between two primary-surface attempts (a test may count instead of waiting).
    virtual void WaitBeforeRetry(int milliseconds);

private:
    // Makes the scene resources' managers (defined in scene/GraphicsEngineScene.cpp).
    void CreateSceneManagers(ResourceLoader& loader);
    // Makes what the scene and shadow-map renderers share (shaders, textures) unless it is there
    // (defined there too).
    void CreateSceneResources();
    // Releases what the scene renderers share (render targets, shaders, textures) while the
    // canvas and managers still exist (defined there too).
    void DestroySceneResources();
    // The normal renderer's shared render targets: made (again) at the target sizes for the
    // canvas, or released (defined there too).
    void CreateNormalRendererTargets();
    void DestroyNormalRendererTargets();
    // A row of the directory reduction table.
    struct DirectoryReduction {
        std::string path;  // normalised
        int reduction;
    };

    Options* GetOptions() const;
    // Device settings from the options (see UpdateFromOptions), starting from the given ones.
    RenderDeviceSettings GetSettingsFromOptions(const RenderDeviceSettings& current) const;
    // Makes the primary surface; false after kSurfaceAttempts failures.
    bool CreatePrimarySurface(void* window, Options* options);
    // Ends the process unless the hardware can run the engine (or the checks are off).
    void CheckHardware(Options* options) const;
    void SaveOptions(Options* options) const;
    void CreateSharedTextures();
    void DestroySharedTextures();
    void FillDirectoryReductions();
    // The generation the detail level asks of the device's.
    RenderGenerationId GetGenerationForDetail(int detailLevel) const;
    void ApplyGamma(const Options& options);
    void UpdateStatistics();
    void AddStatisticLines(float budgetMs, float displayMs) const;
    // The existing managers in resource-operation order (see the header comment).
    mem::vector<BaseResourceManager*> GetManagers() const;
    // Every manager slot (null when empty) with its title in resource logs: fonts, meshes,
    // shaders, textures, animations.
    mem::vector<std::pair<const char*, BaseResourceManager*>> GetTitledManagers() const;
    void ScaleValues(float scale, float* first, va_list args) const;

    RenderDevice* device_ = nullptr;
    RenderDeviceSettings settings_;
    void* window_ = nullptr;
    RenderSurface* primarySurface_ = nullptr;
    std::unique_ptr<GraphicsCanvas> canvas_;
    const Display* display_ = nullptr;
    std::atomic<RenderGenerationId> generation_{RenderGenerationId::Unknown};
    RenderGenerationId detailGeneration_ = RenderGenerationId::Unknown;  // the detail level's, last applied

    std::unique_ptr<GraphicsBudget> budget_;
    std::unique_ptr<GraphicsResourceManager<GraphicsTexture>> textureManager_;
    std::unique_ptr<GraphicsResourceManager<GraphicsFont>> fontManager_;
    std::unique_ptr<GraphicsResourceManager<GraphicsShader2>> shaderManager_;
    // The scene's resources (meshes, animations) are typed in scene/, which builds on this folder:
    // their managers are held by their base here, and made and used by the operations defined in
    // scene/GraphicsEngineScene.cpp, so that render/ never includes scene/.
    std::unique_ptr<BaseResourceManager> meshManager_;       // a GraphicsResourceManager<GraphicsMesh>
    std::unique_ptr<BaseResourceManager> animationManager_;  // a ResourceManager<GraphicsAnim>

    const GraphicsShader2* basicShader_ = nullptr;
    const GraphicsShader2* overlayShader_ = nullptr;
    const GraphicsFont* defaultFont_ = nullptr;
    RenderVertexDeclaration* basicDeclaration_ = nullptr;
    std::atomic<RenderTexture*> defaultTexture_{nullptr};
    std::atomic<RenderTexture*> emptyTexture_{nullptr};

    std::atomic<int> textureReduction_{0};
    mutable std::mutex directoryLock_;  // the table is read by loading threads
    mem::vector<DirectoryReduction> directoryReductions_;

    unsigned targetSizes_[2] = {1024, 512};

    SystemTimer frameTimer_;
    uint64_t faceAccumulator_ = 0;
    int facesPerSecond_ = 0;
    float framesPerSecond_ = 0.0f;
    int reflectionCount_ = 0;
    int lightCount_ = 0;
    int shadowCasterCount_ = 0;
    float displayMs_ = 0.0f;  // the last display render
    // The counts of the last frame drawn (faces, draw calls, reflections, lights), for the
    // statistics overlay: its lines go in before the display draws, when this frame's are still 0.
    GraphicsStats lastFrame_;

    GraphicsSwitches switches_;
    bool forceFullScreen_ = false;
    bool forceWindowed_ = false;
};

}  // namespace GAME
