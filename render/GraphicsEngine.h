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
// Resource managers: textures, fonts, shaders (budgeted) and animations (not budgeted) exist; the
// slot for meshes stays empty until meshes exist, and every operation over all managers passes
// over empty slots. The order of those operations is effects (when the engine has them), fonts,
// meshes, shaders, textures, animations.
//
// Texture reduction: a texture drops max(global level + directory level, 0) top mip levels. The
// global level follows the texture quality (high -2, medium 0, low 1); the directory level is that
// of the first row of the directory table whose path begins the texture's normalised file name
// (rows ordered by decreasing path length).

#include "core/Mem.h"
#include "core/SystemTimer.h"
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

class GraphicsEngine {
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
    // Makes the resource managers over the loader (which must outlive the engine): textures, fonts
    // and shaders with the budget keeper, then animations without it. Then the canvas,
    // the default font, the shared textures, the basic shaders and the basic vertex declaration,
    // and takes the options. After CreateDevice succeeded.
    bool Initialize(void* window, const GraphicsEngineSettings& settings, ResourceLoader* loader);
    // Once a frame: the video-memory budget, the options, and the interface frame (the display's
    // widgets and, with statistics on, the statistics lines) between the canvas's BeginFrame and
    // EndFrame. The host presents the frame with PresentSurface.
    void Update(bool renderDisplay);

    // -- Options -----------------------------------------------------------------------------------

    // Applies the options: reflections, normal-renderer target sizes, texture reduction, the
    // effective generation, low-quality switches, device settings (a change resets the device)
    // and gamma. Every frame.
    void UpdateFromOptions();
    // Writes the defaults for this hardware (generation, video memory, card) into the options.
    void SetOptionsToDefaults(Options* options);

    // -- Resources ---------------------------------------------------------------------------------

    // The shared resource of the file with one more reference; null when there is no manager or
    // the name is empty.
    const GraphicsTexture* LoadTexture(const std::string& fileName);
    const GraphicsFont* LoadFont(const std::string& fileName);
    const GraphicsShader2* LoadShader2(const std::string& fileName);
    const GraphicsAnim* LoadAnimation(const std::string& fileName);
    // One reference less.
    void UnloadTexture(const GraphicsTexture* texture);
    void UnloadFont(const GraphicsFont* font);
    void UnloadShader2(const GraphicsShader2* shader);
    void UnloadAnimation(const GraphicsAnim* animation);
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
    BaseResourceManager* GetAnimationResourceManager() const;

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
    bool IsFullscreen() const { return (settings_.flags & RenderDeviceSettings::FullScreen) != 0; }
    const RenderDeviceSettings& GetDeviceSettings() const { return settings_; }

    // The effective generation: the device's, lowered by the detail level.
    RenderGenerationId GetGenerationId() const { return generation_.load(); }
    const char* GetGenerationName() const;
    // A change reloads shaders and meshes (at once), then textures (queued).
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

    void EnableStats(bool enable) { stats_ = enable; }
    bool AreStatsEnabled() const { return stats_; }
    void EnableVerticalSync(bool enable);
    void EnableWireframe(bool enable) { wireframe_ = enable; }
    bool IsWireframeEnabled() const { return wireframe_; }
    // Also the option "shadows".
    void EnableShadows(bool enable);
    bool AreShadowsEnabled() const { return shadows_; }
    void EnableLighting(bool enable) { lighting_ = enable; }
    bool IsLightingEnabled() const { return lighting_; }
    void UseLowQualityLighting(bool enable) { lowQualityLighting_ = enable; }
    bool UseLowQualityLighting() const { return lowQualityLighting_; }
    void EnableRendering(bool enable) { rendering_ = enable; }
    bool IsRenderingEnabled() const { return rendering_; }
    void EnableTerrain(bool enable) { terrain_ = enable; }
    bool IsTerrainEnabled() const { return terrain_; }
    void UseLowQualityTerrain(bool enable) { lowQualityTerrain_ = enable; }
    bool UseLowQualityTerrain() const { return lowQualityTerrain_; }
    void EnableGrass(bool enable) { grass_ = enable; }
    bool IsGrassEnabled() const { return grass_; }
    void EnableGridTiles(bool enable) { gridTiles_ = enable; }
    bool AreGridTilesEnabled() const { return gridTiles_; }
    void EnableMeshes(bool enable) { meshes_ = enable; }
    bool AreMeshesEnabled() const { return meshes_; }
    void EnableEffects(bool enable) { effects_ = enable; }
    bool AreEffectsEnabled() const { return effects_; }
    void EnableDecals(bool enable) { decals_ = enable; }
    bool AreDecalsEnabled() const { return decals_; }
    void EnableWater(bool enable) { water_ = enable; }
    bool IsWaterEnabled() const { return water_; }
    void EnableShowLights(bool enable) { showLights_ = enable; }
    bool IsShowLightsEnabled() const { return showLights_; }
    void EnableShowBoundingBoxes(bool enable) { showBoundingBoxes_ = enable; }
    bool IsShowBoundingBoxesEnabled() const { return showBoundingBoxes_; }
    void EnableRegionList(bool enable) { regionList_ = enable; }
    bool IsRegionListEnabled() const { return regionList_; }
    void EnableTransparency(bool enable) { transparency_ = enable; }
    bool IsTransparencyEnabled() const { return transparency_; }
    // Also the option "advancedEffects".
    void EnableBloom(bool enable);
    bool IsBloomEnabled() const { return bloom_; }
    void EnableReflections(bool enable) { reflections_ = enable; }
    bool AreReflectionsEnabled() const { return reflections_; }
    void EnableFog(bool enable) { fog_ = enable; }
    bool GetIsFogEnabled() const { return fog_; }
    void SetShadowDebugging(bool enable) { shadowDebugging_ = enable; }
    bool GetShadowDebugging() const { return shadowDebugging_; }
    void SetOptimizationTest(bool enable) { optimizationTest_ = enable; }
    bool GetOptimizationTest() const { return optimizationTest_; }

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
    // wait), then the canvas's, the shared textures' and the primary surface's device objects go.
    void PreDeviceReset();
    // After the reset: the primary surface and the shared textures are made again.
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

    std::unique_ptr<GraphicsBudget> budget_;
    std::unique_ptr<GraphicsResourceManager<GraphicsTexture>> textureManager_;
    std::unique_ptr<GraphicsResourceManager<GraphicsFont>> fontManager_;
    std::unique_ptr<GraphicsResourceManager<GraphicsShader2>> shaderManager_;
    std::unique_ptr<BaseResourceManager> meshManager_;       // made with meshes
    std::unique_ptr<ResourceManager<GraphicsAnim>> animationManager_;

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

    bool showLights_ = false;
    bool showBoundingBoxes_ = false;
    bool regionList_ = false;
    bool wireframe_ = false;
    bool stats_ = false;
    bool shadows_ = false;
    bool lighting_ = false;
    bool rendering_ = false;
    bool reflections_ = false;
    bool fog_ = false;
    bool terrain_ = false;
    bool grass_ = false;
    bool gridTiles_ = false;
    bool meshes_ = false;
    bool effects_ = false;
    bool decals_ = false;
    bool water_ = false;
    bool transparency_ = false;
    bool bloom_ = false;
    bool lowQualityTerrain_ = false;
    bool lowQualityLighting_ = false;
    bool shadowDebugging_ = false;
    bool optimizationTest_ = false;
    bool forceFullScreen_ = false;
    bool forceWindowed_ = false;
};

}  // namespace GAME
