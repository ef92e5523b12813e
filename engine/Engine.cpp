#include "engine/Engine.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "core/CriticalSectionLock.h"
#include "core/FatalError.h"
#include "core/GameClock.h"
#include "core/SingletonManager.h"
#include "core/Thread.h"
#include "core/UniqueIdMap.h"
#include "core/WorldVec3.h"
#include "editor/EditorFilter.h"
#include "effects/DecalTypeMgr.h"
#include "engine/MapChunkCallback.h"
#include "engine/ObjectManager.h"
#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/LocalizationManager.h"
#include "files/Options.h"
#include "files/ResourceLoader.h"
#include "files/TableDepot.h"
#include "network/StandAloneConnectionManager.h"
#include "pathing/PathFinder.h"
#include "physics/PhysicsEngine.h"
#include "render/DebugRenderManager.h"
#include "render/Display.h"
#include "render/GraphicsEngine.h"
#include "render/InputDevice.h"
#include "render/RenderDevice.h"
#include "render/ResetObject.h"
#include "render/RenderDebugger.h"
#include "render/StatisticsWidget.h"
#include "sound/Jukebox.h"
#include "sound/SoundManager.h"
#include "world/AmbianceManager.h"
#include "world/SectorDataManager.h"
#include "world/FOWSavingThread.h"
#include "world/InstanceGroupManager.h"
#include "world/LevelLoadingThread.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

namespace GAME {

Engine* gEngine = nullptr;

namespace {

// Hands every GAME::Log line to the engine.
void ForwardLogToEngine(LogPriority priority, unsigned category, const char* message) {
    if (Engine* engine = gEngine) engine->Log(priority, category, "%s", message);
}

}  // namespace

Engine::Engine()
    : previousLogSink_(SetLogSink(&ForwardLogToEngine)), sectorDataManager_(std::make_unique<SectorDataManager>()),
      world_(std::make_unique<World>()), ambianceManager_(std::make_unique<AmbianceManager>()) {
    gEngine = this;
    world_->SetInstanceGroupStore(InstanceGroupManager::Get());
}

Engine::~Engine() {
    Shutdown();
    UnloadWorld();
    DeleteChunkCallbacks();
    SetLogSink(previousLogSink_);
    if (gEngine == this) gEngine = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------------------------

bool Engine::Initialize(void* window, const GraphicsEngineSettings& settings, bool suppressInput, bool,
                        FileSystem* fileSystem) {
    if (initialized_) {
        Log(LogPriority::Error, "Engine::Initialize: the engine is already running");
        return false;
    }
    if (!fileSystem) {
        Log(LogPriority::Error, "Engine::Initialize: no file system");
        return false;
    }
    fileSystem_ = fileSystem;

    OpenLogFiles();
    SetUpMainThread();
    SetLanguage();
    CreateGraphicsDevice(window, settings);
    CreateLogCategories();
    StartTime();
    LoadDatabase();
    StartResourceLoader();
    InitializeGraphics(window, settings);
    if (!suppressInput) StartInput(window);
    StartDisplay(!suppressInput);
    StartSound();
    StartPhysics();
    StartNetwork();
    StartFrames();
    initialized_ = true;
    Log(LogPriority::Info, engineLogCategory_, "Engine started (language %s)",
        GetOptions()->GetString(Options::StringName::language).c_str());
    return true;
}

void Engine::Update(const WorldFrustum& viewer, bool updateWorld) {
    AdvanceFrame();
    if (updateWorld) {
        UpdatePhysics(viewer);
        world_->Update({viewer});
        world_->UpdateRegionUsage();
        world_->PostLoadPass();
    }
    ambianceManager_->Update(updateTime_);
    DestroyPendingObjects();
    UnloadUnreferencedResources();
    SingletonManager::Update();
    UpdateNetwork();
    EvictOldResources();
    ReadInput();
    BaseResourceManager::SetThreadUnloadFence();
}

void Engine::UnloadWorld() { world_->Unload(); }

SceneAmbiance* Engine::GetSceneAmbiance() const { return ambianceManager_.get(); }

void Engine::Render() {
    if (!graphicsEngine_) return;
    const RenderDevice* device = graphicsEngine_->GetRenderDevice();
    if (display_ && device != nullptr && !device->DeviceLost()) display_->Update();
    graphicsEngine_->Update(true);
}

void Engine::ShowRenderDebugger(bool show) {
    if (renderDebugger_) renderDebugger_->SetVisible(show);
}

void Engine::PresentSurface() {
    if (graphicsEngine_) graphicsEngine_->PresentSurface();
}

void Engine::Shutdown() {
    if (!initialized_) return;
    Log(LogPriority::Info, engineLogCategory_, "Engine shutting down after %u frames", GetFrameCount());
    StopResourceLoaderThread();
    ShutdownNetwork();
    UnloadWorld();
    LevelLoadingThread::Get().Stop();
    FOWSavingThread::Get().Stop();  // writes the fog the unloaded regions handed over
    DestroyManagers();
    DestroyDisplay();
    DestroyObjects();
    physicsEngine_.reset();  // after the objects, whose physics objects hold its bodies
    ReleaseResetObjects();
    ReleaseSubsystems();
    DeleteChunkCallbacks();
    SingletonManager::DestroyAll();
    CloseLogFiles();
    initialized_ = false;
}

// ---------------------------------------------------------------------------------------------
// Initialize steps
// ---------------------------------------------------------------------------------------------

void Engine::OpenLogFiles() { logFiles_.Open(logPath_); }

void Engine::SetUpMainThread() {
    // The main thread is not pinned to a processor: on Linux the threads it starts would inherit
    // the pinning and share that one processor.
    Thread::SetMainThread();
    Thread::SetCurrentThreadName(kMainThreadName);
}

void Engine::SetLanguage() {
    const std::string language = GetOptions()->GetString(Options::StringName::language);
    LocalizationManager::Instance().SetLanguage(*fileSystem_, language);
}

void Engine::CreateGraphicsDevice(void* window, const GraphicsEngineSettings& settings) {
    graphicsEngine_ = std::make_unique<GraphicsEngine>();
    if (!graphicsEngine_->CreateDevice(window, settings)) {
        FatalError(LocalizationManager::Instance().Localize("tagGraphicsDeviceError").c_str());
    }
}

void Engine::CreateLogCategories() {
    engineLogCategory_ = CreateLogCategory("Engine");
    CreateLogCategory("Graphics");
}

void Engine::StartTime() {
    GameClock& clock = GameClock::Get();
    clock.Reset();
    clock.SetPaused(true);
}

void Engine::LoadDatabase() {
    database_ = std::make_unique<TableDepot>(*fileSystem_);
    Singleton<ObjectManager>::Get()->SetTableDepot(database_.get());
}

void Engine::StartResourceLoader() {
    resourceLoader_ = std::make_unique<ResourceLoader>(*fileSystem_);
    CreateEffectResourceManager(*resourceLoader_);
    if (!resourceLoader_->StartThread())
        Log(LogPriority::Error, "The resource loader thread could not be started; resources load when first used");
}

void Engine::InitializeGraphics(void* window, const GraphicsEngineSettings& settings) {
    if (!graphicsEngine_->Initialize(window, settings, resourceLoader_.get())) {
        FatalError(LocalizationManager::Instance().Localize("tagGraphicsEngineError").c_str());
    }
}

void Engine::StartInput(void* window) {
    inputDevice_ = InputDevice::Create();
    if (!inputDevice_->Initialize(window, kKeyboardBufferSize, kMouseBufferSize)) {
        Log(LogPriority::Error, "The input device could not be started; the engine runs without input");
        inputDevice_.reset();
    }
}

void Engine::StartDisplay(bool debugWidgets) {
    display_ = std::make_unique<Display>();
    graphicsEngine_->SetDisplay(display_.get());
    // Debug text is drawn only once the debug renderer has a font.
    Singleton<DebugRenderManager>::Get()->SetFont(graphicsEngine_->GetDefaultFont());
    if (!debugWidgets) return;
    // First, so that it stays in front and sees every draw call of the frame.
    renderDebugger_ = std::make_unique<RenderDebugger>();
    display_->AddWidget(renderDebugger_.get());
    statisticsWidget_ = std::make_unique<StatisticsWidget>();
    display_->AddWidget(statisticsWidget_.get());
}

void Engine::StartSound() {
    Singleton<SoundManager>::Get();
    Singleton<Jukebox>::Get()->SetAmbiance(ambianceManager_.get());
}

void Engine::StartNetwork() { connectionManager_ = std::make_unique<StandAloneConnectionManager>(); }

void Engine::StartFrames() {
    GameClock& clock = GameClock::Get();
    clock.Advance();  // still paused: the time spent starting up is not play
    clock.SetPaused(false);
    frameTimer_.Reset();
}

// ---------------------------------------------------------------------------------------------
// Update steps
// ---------------------------------------------------------------------------------------------

void Engine::AdvanceFrame() {
    GameClock::Get().Advance();
    const uint32_t frame = frameCount_.fetch_add(1, std::memory_order_relaxed) + 1;
    frameTimer_.Update(false);
    updateTime_ = frameTimer_.GetElapsedTime();
    statisticText_.clear();
    if (resourceLoader_) resourceLoader_->SetFrameCount(frame);
}

void Engine::DestroyPendingObjects() {
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame);
}

void Engine::UnloadUnreferencedResources() {
    if (graphicsEngine_) graphicsEngine_->UnloadUnreferencedResources();
}

void Engine::StartPhysics() {
    physicsEngine_ = std::make_unique<PhysicsEngine>();
    if (!physicsEngine_->Initialize(world_.get())) Log(LogPriority::Error, "Couldn't initialize physics engine.");
}

void Engine::UpdatePhysics(const WorldFrustum& viewer) {
    // A viewer in no region sees no world to simulate.
    if (!physicsEngine_ || viewer.GetRegion() == nullptr) return;
    Vec3 corners[kMaxViewerCorners];
    const int count = Frustum::GetCornerPoints(corners, kMaxViewerCorners, viewer.GetRegionFrustum());
    Vec3 position;
    for (int i = 0; i < count; ++i) position += corners[i] / static_cast<float>(count);
    physicsEngine_->Update(WorldVec3(viewer.GetRegion(), position));
}

void Engine::UpdateNetwork() {
    if (connectionManager_) connectionManager_->Update();
}

void Engine::EvictOldResources() {
    if (graphicsEngine_) graphicsEngine_->EvictOldResources(kEvictionFrames);
}

void Engine::ReadInput() {
    if (!inputDevice_) return;
    inputDevice_->Update();
    if (display_) display_->HandleInput(*inputDevice_);
}

// ---------------------------------------------------------------------------------------------
// Shutdown steps
// ---------------------------------------------------------------------------------------------

void Engine::StopResourceLoaderThread() {
    if (resourceLoader_) resourceLoader_->StopThread();
}

void Engine::ShutdownNetwork() {
    connectionManager_.reset();
    networkEntityList_.Clear();
}

namespace {

struct ManagerDestroyers {
    std::mutex lock;
    mem::vector<Engine::ManagerDestroyFunction> functions;
};

ManagerDestroyers& GetManagerDestroyers() {
    static ManagerDestroyers destroyers;
    return destroyers;
}

}  // namespace

void Engine::RegisterManagerDestroyer(ManagerDestroyFunction destroy) {
    ManagerDestroyers& destroyers = GetManagerDestroyers();
    std::lock_guard<std::mutex> hold(destroyers.lock);
    if (std::find(destroyers.functions.begin(), destroyers.functions.end(), destroy) == destroyers.functions.end()) {
        destroyers.functions.push_back(destroy);
    }
}

void Engine::DestroyManagers() {
    mem::vector<ManagerDestroyFunction> registered;
    {
        ManagerDestroyers& destroyers = GetManagerDestroyers();
        std::lock_guard<std::mutex> hold(destroyers.lock);
        registered = destroyers.functions;
    }
    for (ManagerDestroyFunction destroy : registered) destroy();  // after the world, whose levels hold their contents
    Singleton<Jukebox>::Destroy();
    Singleton<PathFinder>::Destroy();
    DecalTypeMgr::Destroy();  // after the world, whose levels hold decal types
    inputDevice_.reset();
    // With the font it was handed and the requests still queued.
    Singleton<DebugRenderManager>::Destroy();
    Singleton<EditorFilter>::Destroy();
    Singleton<UniqueIdMap>::Destroy();
}

void Engine::DestroyDisplay() {
    if (graphicsEngine_) graphicsEngine_->SetDisplay(nullptr);
    display_.reset();
    statisticsWidget_.reset();
    renderDebugger_.reset();
}

void Engine::DestroyObjects() {
    ObjectManager* objects = Singleton<ObjectManager>::Get();
    objects->DestroyPendingObjects(-1);
    objects->LogLeakedObjects();
    Singleton<ObjectManager>::Destroy();
}

void Engine::ReleaseResetObjects() {
    // Told one by one from a copy, as before a reset; forgotten afterwards, so that an object
    // that outlives the engine has nothing left to give back.
    for (ResetObject* object : GetResetObjects())
        if (IsResetObjectRegistered(object)) object->PreDeviceReset();
    CriticalSectionLock lock(resetObjectLock_);
    resetObjects_.clear();
}

void Engine::ReleaseSubsystems() {
    Singleton<SoundManager>::Destroy();
    graphicsEngine_.reset();
    // The device is gone with the graphics engine: its library row goes too, or every start in
    // one process would fill another row of the device factory's table.
    RenderDevice::UnloadLibraries();
    effectResourceManager_.reset();
    resourceLoader_.reset();
    database_.reset();
    // The main thread holds no resource any more: do not hold back frees in other threads.
    BaseResourceManager::RemoveThreadFenceCounter();
}

void Engine::DeleteChunkCallbacks() {
    for (const auto& [chunkId, callback] : chunkCallbacks_) delete callback;
    chunkCallbacks_.clear();
}

void Engine::CloseLogFiles() {
    if (!logFiles_.Close()) Log(LogPriority::Warning, "The log files could not be written completely");
}

// ---------------------------------------------------------------------------------------------
// Log
// ---------------------------------------------------------------------------------------------

void Engine::Log(LogPriority priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Log(priority, 0, format, args);
    va_end(args);
}

void Engine::Log(LogPriority priority, unsigned category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Log(priority, category, format, args);
    va_end(args);
}

void Engine::Log(LogPriority priority, unsigned category, const char* format, va_list args) {
    // An engine made while another lived replaced that one's forwarding, which would lead back here.
    if (previousLogSink_ != &ForwardLogToEngine) LogToSink(previousLogSink_, priority, category, format, args);
}

unsigned Engine::CreateLogCategory(const char* name) {
    const std::string text = name ? name : "";
    std::lock_guard<std::mutex> lock(logCategoryLock_);
    const auto it = std::find(logCategories_.begin(), logCategories_.end(), text);
    if (it != logCategories_.end()) return static_cast<unsigned>(it - logCategories_.begin()) + 1;
    logCategories_.push_back(text);
    return static_cast<unsigned>(logCategories_.size());
}

std::string Engine::GetLogCategoryName(unsigned category) const {
    std::lock_guard<std::mutex> lock(logCategoryLock_);
    return category >= 1 && category <= logCategories_.size() ? logCategories_[category - 1] : std::string();
}

void Engine::WriteToLogFiles(LogPriority priority, unsigned category, const char* text) {
    logFiles_.Write(priority, GetLogCategoryName(category), text);
}

// ---------------------------------------------------------------------------------------------
// Subsystems and state
// ---------------------------------------------------------------------------------------------

Options* Engine::GetOptions() {
    std::lock_guard<std::mutex> lock(optionsLock_);
    if (!options_) {
        options_ = std::make_unique<Options>();
        if (!defaultSettingsPath_.empty()) options_->Load(defaultSettingsPath_);
        if (!normalSettingsPath_.empty()) options_->Load(normalSettingsPath_);
    }
    return options_.get();
}

RecordResourceLoader* Engine::GetRecordResourceLoader() const { return graphicsEngine_.get(); }

void Engine::AddStatisticText(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    if (length >= 0) statisticText_.emplace_back(line);
}

bool Engine::IsNetworkServer() const { return connectionManager_ && connectionManager_->IsServer(); }

bool Engine::IsNetworkClient() const { return connectionManager_ && connectionManager_->IsClient(); }

void Engine::SetCinematicText(const std::string& text, float alpha) {
    cinematicText_ = text;
    cinematicTextAlpha_ = alpha;
}

// ---------------------------------------------------------------------------------------------
// Device reset
// ---------------------------------------------------------------------------------------------

void Engine::RegisterResetObject(ResetObject* object) {
    CriticalSectionLock lock(resetObjectLock_);
    if (object && std::find(resetObjects_.begin(), resetObjects_.end(), object) == resetObjects_.end())
        resetObjects_.push_back(object);
}

void Engine::UnregisterResetObject(ResetObject* object) {
    CriticalSectionLock lock(resetObjectLock_);
    resetObjects_.erase(std::remove(resetObjects_.begin(), resetObjects_.end(), object), resetObjects_.end());
}

mem::vector<ResetObject*> Engine::GetResetObjects() const {
    CriticalSectionLock lock(resetObjectLock_);
    return resetObjects_;
}

bool Engine::IsResetObjectRegistered(const ResetObject* object) const {
    CriticalSectionLock lock(resetObjectLock_);
    return std::find(resetObjects_.begin(), resetObjects_.end(), object) != resetObjects_.end();
}

void Engine::PreDeviceReset() {
    if (graphicsEngine_) graphicsEngine_->PreDeviceReset();
    world_->PreDeviceReset();
    // Told one by one from a copy: an object may unregister (or delete) another while it is told.
    for (ResetObject* object : GetResetObjects())
        if (IsResetObjectRegistered(object)) object->PreDeviceReset();
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
}

void Engine::ReloadGenerationDependentData() {
    if (world_) world_->ReloadGenerationDependentData();
}

void Engine::PostDeviceReset() {
    for (ResetObject* object : GetResetObjects())
        if (IsResetObjectRegistered(object)) object->PostDeviceReset();
    world_->PostDeviceReset();
    if (graphicsEngine_) graphicsEngine_->PostDeviceReset();
}

// ---------------------------------------------------------------------------------------------
// Map-chunk callbacks
// ---------------------------------------------------------------------------------------------

bool Engine::InstallMapChunkCallback(MapChunkCallback* callback) {
    if (!callback) return false;
    const unsigned chunkId = callback->GetChunkId();
    if (!chunkCallbacks_.emplace(chunkId, callback).second) {
        Log(LogPriority::Error, "Duplicate MapChunkCallback being installed for Id %d", static_cast<int>(chunkId));
        return false;
    }
    return true;
}

}  // namespace GAME
