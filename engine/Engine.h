#pragma once
// Engine: the root of the engine. The host makes one, gives it its paths and a mounted file
// system, initializes it, calls Update and Render once a frame, shuts it down and deletes it.
// gEngine is the one instance (the constructor stores it; null while there is none); every part
// of the engine reaches the engine through it, and render devices receive it at creation.
//
// From Initialize to Shutdown the engine owns the subsystems it starts: the graphics engine with
// its render device, the record store, the resource loader with its thread, sound, the network
// connection, and the log files. The object
// manager, the unique id map and the other managers are singletons that it destroys at shutdown.
//
// Initialize, in order: creates the HTML and XML log files; names the calling thread "Main Thread"
// and records it as the main thread; sets the localization language from the options; creates the
// graphics engine and its render device for the window and settings; makes the log categories
// "Engine" and "Graphics"; starts game time, paused; creates the record store over the file system
// and hands it to the object manager; creates the resource loader and starts its thread;
// initializes the graphics engine over the loader; creates the input device for the window unless
// input is suppressed (one that cannot start is logged, and the engine runs without input); makes
// the display, hands it to the graphics engine and, unless input is suppressed, puts the statistics
// widget on it; hands the debug renderer the graphics engine's default font for its text; creates
// the sound manager and hands the jukebox the ambiance manager to call back; makes the stand-alone
// connection manager active, so the engine starts offline; unpauses game time (the start-up does
// not count as play) and resets the frame timer. A graphics engine that cannot start is fatal
// (FatalError with the localized "tagGraphicsDeviceError" or "tagGraphicsEngineError").
//
// Update, in order, on the main thread: advances game time, counts the frame and measures it
// (GetUpdateTime); with updateWorld, steps the physics around the viewer (UpdatePhysics) and
// streams the world's regions for the viewer (World::Update, UpdateRegionUsage, PostLoadPass);
// updates the ambiance manager by the frame's milliseconds; deletes up to
// ObjectManager::kMaxDestroyedPerFrame objects pending
// destruction; unloads the graphics resources nobody references; updates the singletons; updates
// the active connection manager; evicts graphics resources unused for kEvictionFrames frames; reads
// the frame's input (InputDevice::Update) and hands its events to the display's widgets; sets the
// main thread's resource unload fence.
//
// Render updates the display's widgets (unless the render device is lost) and draws the interface
// frame, with the widgets in it, through the graphics engine; the host shows it with
// PresentSurface.
//
// Shutdown, in order: stops the resource loader thread; shuts down networking; unloads the world
// (its regions, levels and entities) and stops the level loading thread and the fog-of-war saving
// thread (which writes what it was handed first); destroys the jukebox, the path finder, the input
// device, the debug renderer (with its font), the editor filter and the unique id map; takes the
// display from the graphics engine and destroys it with the statistics widget; deletes every object
// pending destruction and logs the objects never destroyed; releases the object manager; has every
// registered reset object release its device resources (PreDeviceReset) and forgets it; releases
// sound, the graphics engine (then unloads the render device libraries), the resource loader and
// the record store; deletes the installed map-chunk callbacks and the remaining singletons; closes
// the log files last.
//
// Logging: the constructor installs a sink (core/Log.h) that hands every GAME::Log line to
// gEngine->Log, and the destructor puts back the sink it replaced. The base Log keeps no log of its
// own: a host that wants one overrides it (WriteToLogFiles puts a line into the log files). It hands
// the line on to the sink the engine replaced, when there was one, because a sink installed before
// the engine (a host's own, or a test's capture) would otherwise lose every line while the engine
// lives. An engine made while another lives replaced that one's forwarding: its base Log drops the
// line rather than hand it back to itself.
//
// Threads: Initialize, Update, Render, Shutdown and the setters run on the main thread. Log,
// CreateLogCategory, GetOptions and the reset-object list may be used from any thread.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/CriticalSection.h"
#include "core/GameTimer.h"
#include "core/Log.h"
#include "core/Mem.h"
#include "engine/LogFiles.h"
#include "network/NetworkEntityList.h"

namespace GAME {

class AmbianceManager;
class BaseResourceManager;
class ConnectionManager;
class Display;
class Entity;
class FileSystem;
class GraphicsEngine;
class InputDevice;
class MapChunkCallback;
class NetworkController;
class Options;
class PhysicsEngine;
class RecordResourceLoader;
class ResetObject;
class ResourceLoader;
class SceneAmbiance;
class SectorDataManager;
class RenderDebugger;
class StatisticsWidget;
class TableDepot;
class World;
class WorldFrustum;
struct GraphicsEngineSettings;
template <class T>
class FilterFunction;

class Engine {
public:
    static constexpr const char* kMainThreadName = "Main Thread";
    // The record of the font style of debug text and overlays.
    static constexpr const char* kUtilityFontStyle = "Records/Engine/Styles/Utility.dbr";
    // Graphics resources not used for this many frames give up their data (they load again on use).
    static constexpr uint32_t kEvictionFrames = 1800;
    // Keyboard and mouse events the input device keeps for one frame.
    static constexpr unsigned kKeyboardBufferSize = 64;
    static constexpr unsigned kMouseBufferSize = 64;
    // The most corners of the viewer's frustum the physics centre is taken from.
    static constexpr int kMaxViewerCorners = 64;

    // Stores the engine in gEngine and installs the log sink.
    Engine();
    // Shuts down when the host has not (the derived engine is gone by then, so those messages
    // reach only the base Log), deletes the map-chunk callbacks, and clears gEngine.
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Paths, set by the host before Initialize. The settings paths are the defaults file and the
    // user's options file; the log files go to the log path (the working directory when empty).
    void SetBaseUserPath(const std::string& path) { baseUserPath_ = path; }
    void SetLogPath(const std::string& path) { logPath_ = path; }
    void SetDumpPath(const std::string& path) { dumpPath_ = path; }
    void SetDefaultSettingsPath(const std::string& path) { defaultSettingsPath_ = path; }
    void SetNormalSettingsPath(const std::string& path) { normalSettingsPath_ = path; }
    void SetKeymapPath(const std::string& path) { keymapPath_ = path; }
    void SetSavePath(const std::string& path) { savePath_ = path; }
    const std::string& GetBaseUserPath() const { return baseUserPath_; }
    const std::string& GetLogPath() const { return logPath_; }
    const std::string& GetDumpPath() const { return dumpPath_; }
    const std::string& GetDefaultSettingsPath() const { return defaultSettingsPath_; }
    const std::string& GetNormalSettingsPath() const { return normalSettingsPath_; }
    const std::string& GetKeymapPath() const { return keymapPath_; }
    const std::string& GetSavePath() const { return savePath_; }

    // Starts the engine (see above) on the window with the graphics settings. suppressInput
    // leaves out input and the debug widgets; the second flag is accepted as hosts pass it. The
    // file system must outlive the engine's shutdown. False, with an error, without a file system
    // or when the engine is already running.
    virtual bool Initialize(void* window, const GraphicsEngineSettings& settings, bool suppressInput, bool,
                            FileSystem* fileSystem);
    // One frame (see above), for the viewer's frustum; updateWorld says whether the world moves on.
    void Update(const WorldFrustum& viewer, bool updateWorld);
    // Updates the display's widgets and draws the interface frame through the graphics engine, for
    // the host to present; without a graphics engine there is nothing to draw.
    void Render();
    // Shows the frame Render drew, unless the render device is lost.
    void PresentSurface();
    // Stops the engine (see above); does nothing when it is not running.
    void Shutdown();
    // A process-wide manager of a folder the engine does not include (the water types) registers
    // how it is destroyed; Shutdown calls every one registered with the engine's own managers,
    // while the objects and the graphics engine its contents release into still exist. Registering
    // a function again changes nothing; any thread.
    using ManagerDestroyFunction = void (*)();
    static void RegisterManagerDestroyer(ManagerDestroyFunction destroy);
    bool IsInitialized() const { return initialized_; }

    // The log: priority, optional category (from CreateLogCategory; 0 for none), printf format.
    void Log(LogPriority priority, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Log(LogPriority priority, unsigned category, const char* format, ...) __attribute__((format(printf, 4, 5)));
    // Both forms end here; the base hands the line to the sink the engine replaced, if any.
    virtual void Log(LogPriority priority, unsigned category, const char* format, va_list args);
    // The id of a named category, made on first request: 1, 2, ... in order of creation.
    unsigned CreateLogCategory(const char* name);
    // The category's name; empty for 0 or an id never made.
    std::string GetLogCategoryName(unsigned category) const;

    // Subsystems.
    // The file system given to Initialize; null before.
    FileSystem* GetFileSystem() const { return fileSystem_; }
    // Null while the engine is not running.
    ResourceLoader* GetResourceLoader() const { return resourceLoader_.get(); }
    // The user's options, made and loaded (defaults file, then the user's file) on first use.
    Options* GetOptions();
    // Null while the engine is not running.
    GraphicsEngine* GetGraphicsEngine() const { return graphicsEngine_.get(); }
    // The graphics engine as the loader of the resources records name (files sits below render);
    // null while the engine is not running.
    RecordResourceLoader* GetRecordResourceLoader() const;
    // The manager of the effect files' resources (EffectResource); null while the engine is not
    // running.
    BaseResourceManager* GetEffectResourceManager() const { return effectResourceManager_.get(); }
    // The sector styles of the loaded world (empty without one); lives as long as the engine.
    SectorDataManager* GetSectorDataManager() const { return sectorDataManager_.get(); }
    // The one world, empty until a world or map file is loaded; unloaded at shutdown.
    World* GetWorld() const { return world_.get(); }
    // Unloads the world and resets the ambiance (names announced, music played, the viewer).
    void UnloadWorld();
    // The ambiance around the viewer, updated every frame; lives as long as the engine. The scene
    // reads it as SceneAmbiance.
    AmbianceManager* GetAmbianceManager() const { return ambianceManager_.get(); }
    SceneAmbiance* GetSceneAmbiance() const;
    // The keyboard and mouse; null while the engine is not running, or when input was suppressed
    // or could not start.
    InputDevice* GetInputDevice() const { return inputDevice_.get(); }
    // The widgets on the screen, which the graphics engine draws each frame; null while the engine
    // is not running. Hosts add their interface screens here (and remove them before deleting
    // them).
    Display* GetDisplay() const { return display_.get(); }
    // Shows or hides the render debugger, the display's front widget; nothing while the engine
    // is not running or runs without input (and so without debug widgets).
    void ShowRenderDebugger(bool show);
    // The rigid-body simulation; null while the engine is not running.
    PhysicsEngine* GetPhysicsEngine() const { return physicsEngine_.get(); }

    // The frame.
    // Updates so far; any thread may ask (loading threads build objects that note the frame).
    uint32_t GetFrameCount() const { return frameCount_.load(std::memory_order_relaxed); }
    // Game milliseconds between the last two Updates: the elapsed time the world is updated by.
    int GetUpdateTime() const { return updateTime_; }
    // Distances (world units) by which the viewer's frustum is pushed out to choose the levels to
    // load, the entities to preload and the entities to update.
    float GetLevelLoadInflation() const { return levelLoadInflation_; }
    float GetEntityPreLoadInflation() const { return entityPreLoadInflation_; }
    float GetEntityUpdateInflation() const { return entityUpdateInflation_; }
    void SetLevelLoadInflation(float distance) { levelLoadInflation_ = distance; }
    void SetEntityPreLoadInflation(float distance) { entityPreLoadInflation_ = distance; }
    void SetEntityUpdateInflation(float distance) { entityUpdateInflation_ = distance; }

    // Adds a line to this frame's statistics overlay; the lines are cleared when the next frame
    // starts.
    void AddStatisticText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const mem::vector<std::string>& GetStatisticText() const { return statisticText_; }

    // The network.
    bool IsNetworkServer() const;
    bool IsNetworkClient() const;
    // Server or client.
    bool IsNetworkEnabled() const { return IsNetworkServer() || IsNetworkClient(); }
    // The entities replicated to each client.
    NetworkEntityList* GetNetworkEntityList() { return &networkEntityList_; }
    // The host's network controller; not owned, may be null.
    NetworkController* GetNetworkController() const { return networkController_; }
    void SetNetworkController(NetworkController* controller) { networkController_ = controller; }

    // Rendering state.
    // Entities the scene leaves out unless the filter accepts them; null (the default) keeps all.
    // Not owned.
    const FilterFunction<Entity>* GetEntityRenderFilter() const { return entityRenderFilter_; }
    void SetEntityRenderFilter(const FilterFunction<Entity>* filter) { entityRenderFilter_ = filter; }
    // True while the overhead map is drawn.
    void SetMapRendering(bool mapRendering) { mapRendering_ = mapRendering; }
    bool IsMapRendering() const { return mapRendering_; }
    const char* GetUtilityFontStyle() const { return kUtilityFontStyle; }
    // Whether text escapes are interpreted (true by default); when false every character is drawn.
    bool DoCharacterProcessing() const { return characterProcessing_; }
    void SetCharacterProcessing(bool process) { characterProcessing_ = process; }
    // The area-name caption: shown or not, its text and its opacity.
    void SetTextCinematic(bool show) { textCinematic_ = show; }
    bool IsTextCinematic() const { return textCinematic_; }
    void SetCinematicText(const std::string& text, float alpha);
    const std::string& GetCinematicText() const { return cinematicText_; }
    float GetCinematicTextAlpha() const { return cinematicTextAlpha_; }

    // Modes; the editors' hosts override them.
    virtual bool IsEditorMode() const { return false; }
    virtual bool IsPSEditorMode() const { return false; }
    // Trails draw their quads as lines.
    bool GetTrailDebugging() const { return trailDebugging_; }
    void SetTrailDebugging(bool debugging) { trailDebugging_ = debugging; }

    // Device reset. Objects register to be told before and after the render device is reset;
    // registering twice or unregistering an unknown object changes nothing, and an object may
    // unregister (itself or another) while it is told. Shutdown tells them a last PreDeviceReset,
    // before the device goes, and forgets them.
    void RegisterResetObject(ResetObject* object);
    void UnregisterResetObject(ResetObject* object);
    // Tells the graphics engine, then the world, then every registered object, then deletes every
    // object pending destruction.
    void PreDeviceReset();
    // Tells every registered object, then the world, then the graphics engine.
    void PostDeviceReset();
    // The graphics engine changed its generation (the detail level changed at run time): the
    // world rebuilds what depends on it.
    void ReloadGenerationDependentData();

    // Map-chunk callbacks. Installs the host's reader under its chunk id; the engine owns it from
    // then on. A second callback for an id is refused (false, with an error) and stays the
    // caller's.
    bool InstallMapChunkCallback(MapChunkCallback* callback);
    mem::map<unsigned, MapChunkCallback*>& GetChunkCallbackMap() { return chunkCallbacks_; }

protected:
    // For an engine that runs without Initialize (tools, tests): the file system its levels and
    // records are read through. It must outlive the engine's use of it.
    void SetFileSystem(FileSystem* fileSystem) { fileSystem_ = fileSystem; }
    // Puts a line into the HTML and XML log files (while they are open), for hosts whose Log
    // writes there.
    void WriteToLogFiles(LogPriority priority, unsigned category, const char* text);
    // For engines that read and write files without being initialised (tools, tests).
    void UseFileSystem(FileSystem* fileSystem) { fileSystem_ = fileSystem; }

private:
    // Initialize, step by step.
    void OpenLogFiles();
    void SetUpMainThread();
    void SetLanguage();
    void CreateGraphicsDevice(void* window, const GraphicsEngineSettings& settings);
    void CreateLogCategories();
    void StartTime();
    void LoadDatabase();
    void StartResourceLoader();
    // Defined with the effect resource (effects sit above the engine).
    void CreateEffectResourceManager(ResourceLoader& loader);
    void InitializeGraphics(void* window, const GraphicsEngineSettings& settings);
    void StartInput(void* window);
    void StartDisplay(bool debugWidgets);
    void StartSound();
    void StartPhysics();
    // The physics step around the viewer: the middle of its frustum's corners (its region's origin
    // for a frustum without corners).
    void UpdatePhysics(const WorldFrustum& viewer);
    void StartNetwork();
    void StartFrames();

    // Update, step by step.
    void AdvanceFrame();
    void DestroyPendingObjects();
    void UnloadUnreferencedResources();
    void UpdateNetwork();
    void EvictOldResources();
    void ReadInput();

    // Shutdown, step by step.
    void StopResourceLoaderThread();
    void ShutdownNetwork();
    void DestroyManagers();
    void DestroyDisplay();
    void DestroyObjects();
    // The last PreDeviceReset of every registered reset object, which the engine then forgets.
    void ReleaseResetObjects();
    void ReleaseSubsystems();
    void DeleteChunkCallbacks();
    void CloseLogFiles();

    // The registered reset objects, in registration order, to tell one by one.
    mem::vector<ResetObject*> GetResetObjects() const;
    bool IsResetObjectRegistered(const ResetObject* object) const;

    const LogSink previousLogSink_;  // the sink before the engine's, put back by the destructor
    bool initialized_ = false;

    std::string baseUserPath_;
    std::string logPath_;
    std::string dumpPath_;
    std::string defaultSettingsPath_;
    std::string normalSettingsPath_;
    std::string keymapPath_;
    std::string savePath_;

    mutable std::mutex logCategoryLock_;
    mem::vector<std::string> logCategories_;  // category id - 1 -> name
    unsigned engineLogCategory_ = 0;          // "Engine", the category of the engine's own lines
    LogFiles logFiles_;

    FileSystem* fileSystem_ = nullptr;         // the host's
    std::mutex optionsLock_;
    std::unique_ptr<Options> options_;         // made on first use
    std::unique_ptr<TableDepot> database_;
    std::unique_ptr<ResourceLoader> resourceLoader_;
    std::unique_ptr<BaseResourceManager> effectResourceManager_;  // goes before the loader it uses
    std::unique_ptr<GraphicsEngine> graphicsEngine_;  // goes before the loader its managers use
    std::unique_ptr<SectorDataManager> sectorDataManager_;
    std::unique_ptr<World> world_;
    std::unique_ptr<AmbianceManager> ambianceManager_;
    std::unique_ptr<PhysicsEngine> physicsEngine_;
    std::unique_ptr<InputDevice> inputDevice_;
    std::unique_ptr<Display> display_;
    std::unique_ptr<RenderDebugger> renderDebugger_;      // in front of the statistics, hidden at first
    std::unique_ptr<StatisticsWidget> statisticsWidget_;  // on the display unless input is suppressed

    std::atomic<uint32_t> frameCount_{0};  // written by Update, read from any thread
    int updateTime_ = 0;
    GameTimer frameTimer_;                     // measures the game time between Updates
    float levelLoadInflation_ = 50.0f;
    float entityPreLoadInflation_ = 30.0f;
    float entityUpdateInflation_ = 20.0f;
    mem::vector<std::string> statisticText_;   // this frame's overlay lines

    std::unique_ptr<ConnectionManager> connectionManager_;  // the active one; null when not running
    NetworkEntityList networkEntityList_;
    NetworkController* networkController_ = nullptr;

    const FilterFunction<Entity>* entityRenderFilter_ = nullptr;
    bool mapRendering_ = false;
    bool characterProcessing_ = true;
    bool textCinematic_ = false;
    std::string cinematicText_;
    float cinematicTextAlpha_ = 0.0f;
    bool trailDebugging_ = false;

    mutable CriticalSection resetObjectLock_;
    mem::vector<ResetObject*> resetObjects_;
    mem::map<unsigned, MapChunkCallback*> chunkCallbacks_;  // owned
};

extern Engine* gEngine;

// gEngine's graphics engine; null without an engine or while it is not running.
inline GraphicsEngine* GetEngineGraphics() { return gEngine != nullptr ? gEngine->GetGraphicsEngine() : nullptr; }

}  // namespace GAME
