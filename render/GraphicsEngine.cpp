#include "render/GraphicsEngine.h"
#include "render/GraphicsNoiseGen.h"

#include "core/Color.h"
#include "core/FatalError.h"
#include "core/Log.h"
#include "core/Rect.h"
#include "core/Singleton.h"
#include "core/System.h"
#include "core/Time.h"
#include "engine/Engine.h"
#include "engine/ObjectManager.h"
#include "files/ResourceManager.h"
#include "files/FileSystem.h"
#include "files/LocalizationManager.h"
#include "files/Options.h"
#include "render/Display.h"
#include "render/GraphicsBudget.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngineSettings.h"
#include "render/GraphicsFont.h"
#include "render/GraphicsResourceManager.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/Image.h"
#include "render/StyleManager.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <thread>

namespace GAME {

namespace {

using Bool = Options::BoolName;
using Quality = Options::QualityName;
using Float = Options::FloatName;

constexpr const char* kHardwareTag = "tagInstallerText35";

// The defaults of a card, by its device id: detail level, reflection, texture and shadow
// quality, shadows.
struct CardDefaults {
    uint32_t deviceId;
    int detailLevel;
    int reflectionQuality;
    int textureQuality;
    int shadowQuality;
    bool shadows;
};

constexpr CardDefaults kCards[] = {
    {0x80C, 0, 1, 0, 0, true},  {0x808, 0, 1, 0, 0, true},  {0x80A, 0, 1, 0, 0, true},
    {0x819, 0, 1, 0, 0, true},  {0x809, 0, 1, 1, 0, true},  {0x80B, 0, 1, 1, 0, true},
    {0x805, 0, 1, 1, 0, true},  {0x807, 0, 1, 1, 0, true},  {0x81A, 0, 1, 1, 0, true},
    {0x818, 0, 1, 1, 1, true},  {0x838, 0, 1, 1, 1, true},  {0x801, 0, 1, 1, 1, true},
    {0x868, 0, 1, 1, 1, true},  {0x866, 0, 1, 1, 1, true},  {0x867, 0, 1, 1, 1, true},
    {0x82F, 1, 1, 1, 1, true},  {0x831, 1, 1, 1, 1, true},  {0x830, 1, 1, 1, 1, true},
    {0x82A, 1, 1, 1, 1, true},  {0x829, 1, 1, 1, 1, true},  {0x40D, 0, 0, 0, 0, false},
    {0x40E, 0, 0, 0, 0, false}, {0x410, 0, 0, 0, 0, false},
};

// The content directories whose textures are reduced more (or less) than the rest.
struct DirectoryDefault {
    const char* path;
    int reduction;
};

constexpr DirectoryDefault kDirectoryDefaults[] = {
    {"creatures", 2},       {"characters", 1}, {"items", 1},  {"effects", 1}, {"environment", 1},
    {"terrainTextures", 0}, {"system", 0},     {"ui", 0},     {"fonts", 0},   {"skins", 0},
};

// Gamma ranges: an option value v in 0..1 gives lo + v x (hi - lo).
constexpr float kGammaRange[2] = {0.25f, 1.75f};
constexpr float kBrightnessRange[2] = {0.25f, 0.75f};
constexpr float kContrastRange[2] = {0.25f, 0.75f};

float MapToRange(float value, const float (&range)[2]) {
    return std::clamp(range[0] + value * (range[1] - range[0]), range[0], range[1]);
}

bool SameSettings(const RenderDeviceSettings& a, const RenderDeviceSettings& b) {
    return a.width == b.width && a.height == b.height && a.colorFormat == b.colorFormat &&
           a.depthFormat == b.depthFormat && a.flags == b.flags && a.antiAliasing == b.antiAliasing;
}

// The shared textures: a 64 x 64 checker board of 8 x 8 cells in yellow and blue (bytes c, c,
// 255 - c, 255), and a 16 x 16 texture of bytes 128.
mem::vector<uint32_t> MakeCheckerBoard() {
    mem::vector<uint32_t> pixels(64 * 64);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            const uint32_t c = ((x / 8 + y / 8) & 1) != 0 ? 255 : 0;
            // Bytes c, c, 255 - c, 255 in memory.
            pixels[y * 64 + x] = c | c << 8 | (255 - c) << 16 | 255u << 24;
        }
    }
    return pixels;
}

}  // namespace

GraphicsEngine::GraphicsEngine() = default;

GraphicsEngine::~GraphicsEngine() {
    // The noise generator holds device objects and a shader of this engine.
    if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Destroy();
    // The font styles hold fonts of this engine's manager.
    StyleManager::ReleaseFonts(*this);
    DestroySceneResources();
    UnloadShader2(basicShader_);
    UnloadShader2(overlayShader_);
    UnloadFont(defaultFont_);
    basicShader_ = nullptr;
    overlayShader_ = nullptr;
    defaultFont_ = nullptr;
    canvas_.reset();
    fontManager_.reset();
    meshManager_.reset();
    shaderManager_.reset();
    textureManager_.reset();
    animationManager_.reset();
    budget_.reset();
    if (device_ != nullptr) {
        device_->DestroyVertexDeclaration(basicDeclaration_);
        DestroySharedTextures();
        device_->DestroyRenderSurface(primarySurface_);
        RenderDevice::Destroy(device_);
    }
}

// ---------------------------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------------------------

bool GraphicsEngine::CreateDevice(void* window, const GraphicsEngineSettings& settings) {
    forceFullScreen_ = settings.forceFullScreen;
    forceWindowed_ = settings.forceWindowed;
    window_ = window;

    device_ = RenderDevice::Create(settings.deviceName.c_str());
    if (device_ == nullptr) return false;
    if (!device_->Initialize()) {
        Log(LogPriority::Error, "Couldn't initialize the rendering device");
        return false;
    }
    generation_ = device_->GetGenerationId();

    Options* const options = GetOptions();
    if (settings.width == 0 || settings.height == 0) {
        SetOptionsToDefaults(options);
        SaveOptions(options);
    }
    settings_.width = settings.width;
    settings_.height = settings.height;
    settings_.colorFormat = RenderTextureFormat::RGBA;
    settings_.depthFormat = RenderTextureFormat::D24;
    settings_.flags = (settings.fullScreen ? RenderDeviceSettings::kFullScreen : 0) |
                      (settings.verticalSync ? RenderDeviceSettings::kVerticalSync : 0) |
                      (settings.tripleBuffering ? RenderDeviceSettings::kTripleBuffering : 0);

    if (!CreatePrimarySurface(window, options)) return false;
    CheckHardware(options);
    return true;
}

bool GraphicsEngine::CreatePrimarySurface(void* window, Options* options) {
    for (int attempt = 0; attempt < kSurfaceAttempts; ++attempt) {
        if (options != nullptr) settings_ = GetSettingsFromOptions(settings_);
        primarySurface_ = device_->CreatePrimarySurface(window, settings_);
        if (primarySurface_ != nullptr) return true;
        // The options may ask for more than the hardware can: try its defaults.
        if (options != nullptr) {
            SetOptionsToDefaults(options);
            settings_ = GetSettingsFromOptions(settings_);
        }
        primarySurface_ = device_->CreatePrimarySurface(window, settings_);
        if (primarySurface_ != nullptr) {
            SaveOptions(options);
            return true;
        }
        WaitBeforeRetry(kSurfaceRetryMs);
        device_->Initialize();
    }
    Log(LogPriority::Error, "Couldn't create the primary rendering surface");
    return false;
}

void GraphicsEngine::WaitBeforeRetry(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GraphicsEngine::CheckHardware(Options* options) const {
    if (options != nullptr && options->GetBool(Bool::skipCompatibilityChecks)) return;
    if (GetGenerationId() == RenderGenerationId::Unknown || device_->GetVideoMemory() < kMinVideoMemory) {
        FatalError(LocalizationManager::Instance().Localize(kHardwareTag).c_str());
    }
}

bool GraphicsEngine::Initialize(void* window, const GraphicsEngineSettings& /*settings*/, ResourceLoader* loader) {
    if (device_ == nullptr || loader == nullptr) return false;
    window_ = window;
    device_->SetClearColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    device_->Clear(RenderDevice::kClearColor, 1.0f);

    budget_ = std::make_unique<GraphicsBudget>(*device_);
    textureManager_ = std::make_unique<GraphicsResourceManager<GraphicsTexture>>(*loader, *this, budget_.get());
    fontManager_ = std::make_unique<GraphicsResourceManager<GraphicsFont>>(*loader, *this, budget_.get());
    shaderManager_ = std::make_unique<GraphicsResourceManager<GraphicsShader2>>(*loader, *this, budget_.get());
    CreateSceneManagers(*loader);

    Log(LogPriority::Info, "%s", device_->GetDescription());
    canvas_ = std::make_unique<GraphicsCanvas>(*device_, primarySurface_, this);
    CreateSceneResources();
    defaultFont_ = LoadFont(kDefaultFont);

    GraphicsSwitches& on = switches_;
    on.showLights = on.wireframe = on.stats = false;
    on.shadows = on.lighting = on.rendering = on.reflections = on.transparency = on.fog = on.bloom = true;
    on.terrain = on.grass = on.gridTiles = on.meshes = on.effects = on.decals = on.water = true;

    CreateSharedTextures();
    Log(LogPriority::Info, "Graphics engine initialized successfully");

    basicShader_ = LoadShader2(kBasicShader);
    overlayShader_ = LoadShader2(kOverlayShader);

    const RenderVertexElement elements[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Normal, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
        {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
    };
    basicDeclaration_ = device_->CreateVertexDeclaration(elements, 4);

    UpdateFromOptions();
    FillDirectoryReductions();
    return true;
}

void GraphicsEngine::CreateSharedTextures() {
    const mem::vector<uint32_t> checkerBoard = MakeCheckerBoard();
    defaultTexture_ = device_->CreateTextureFromPixels(64, 64, checkerBoard.data(), 1, 0);
    const mem::vector<uint32_t> grey(16 * 16, 0x80808080u);
    emptyTexture_ = device_->CreateTextureFromPixels(16, 16, grey.data(), 1, 0);
}

void GraphicsEngine::DestroySharedTextures() {
    RenderTexture* texture = defaultTexture_.exchange(nullptr);
    device_->DestroyTexture(texture);
    texture = emptyTexture_.exchange(nullptr);
    device_->DestroyTexture(texture);
}

void GraphicsEngine::Update(bool renderDisplay) {
    reflectionCount_ = lightCount_ = shadowCasterCount_ = 0;
    const uint64_t start = GetPerformanceCounter();
    if (budget_ != nullptr) budget_->MaintainBudget();
    UpdateFromOptions();
    const float budgetMs = ElapsedMilliseconds(start, GetPerformanceCounter());
    if (canvas_ == nullptr || !canvas_->BeginFrame()) return;
    device_->EnableWireframe(false);
    // Noise textures are drawn before anything that samples them this frame.
    if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->Update(*canvas_);
    UpdateStatistics();
    if (display_ != nullptr && !device_->DeviceLost() && renderDisplay) {
        // The statistics are drawn by a widget of the display, so their lines go in before it
        // renders (added after, they would be cleared with the next frame unseen); the display's
        // time is therefore the previous frame's.
        if (switches_.stats) AddStatisticLines(budgetMs, displayMs_);
        const uint64_t displayStart = GetPerformanceCounter();
        display_->Render(*canvas_);
        displayMs_ = ElapsedMilliseconds(displayStart, GetPerformanceCounter());
    }
    faceAccumulator_ += device_->GetNumFacesRendered();
    lastFrame_.faces = static_cast<int>(device_->GetNumFacesRendered());
    lastFrame_.drawCalls = static_cast<int>(device_->GetNumDrawCalls());
    lastFrame_.reflections = reflectionCount_;
    lastFrame_.lights = lightCount_;
    lastFrame_.shadowCastingLights = shadowCasterCount_;
    canvas_->EndFrame();
}

void GraphicsEngine::WarmUp() {
    if (canvas_ == nullptr || display_ == nullptr || device_->DeviceLost() || !canvas_->BeginFrame()) return;
    RenderSurface* const primary = canvas_->GetPrimarySurface();
    // Drivers key their variants on the target's formats: the primary surface's.
    RenderSurface* surface = canvas_->CreateTemporaryTextureSurface(canvas_->GetWidth(), canvas_->GetHeight(),
                                                                    RenderTextureFormat::RGBA, RenderTextureFormat::D24);
    if (surface != nullptr) {
        canvas_->SetPrimarySurface(surface);
        canvas_->SetWarmingUp(true);
        if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->Update(*canvas_);
        if (switches_.stats) AddStatisticLines(0.0f, displayMs_);
        display_->Render(*canvas_);
        canvas_->SetWarmingUp(false);
        canvas_->SetPrimarySurface(primary);
        canvas_->SetTargetSurface(primary);
        canvas_->SetDefaultState();
    }
    canvas_->EndFrame();
}

void GraphicsEngine::UpdateStatistics() {
    const uint32_t frame = gEngine != nullptr ? gEngine->GetFrameCount() : 0;
    if (frame % 15 != 0) return;
    frameTimer_.Update(false);
    const int elapsed = frameTimer_.GetElapsedTime();
    // Fifteen frames within one millisecond measure nothing.
    if (elapsed <= 0) return;
    framesPerSecond_ = 1000.0f / static_cast<float>(elapsed) * 15.0f;
    facesPerSecond_ = static_cast<int>(faceAccumulator_ * 1000 / static_cast<uint64_t>(elapsed));
    faceAccumulator_ = 0;
}

void GraphicsEngine::AddStatisticLines(float budgetMs, float displayMs) const {
    if (gEngine == nullptr) return;
    constexpr double kMiB = 1048576.0;
    gEngine->AddStatisticText("%s", device_->GetDescription());
    gEngine->AddStatisticText("%0.2f MB physical memory used", double(GetProcessMemoryUsage()) / kMiB);
    gEngine->AddStatisticText("%0.2f MB video memory free", double(device_->GetAvailableVideoMemory()) / kMiB);
    gEngine->AddStatisticText("%0.2f FPS, %d faces, %.2fM faces per second", double(framesPerSecond_),
                              lastFrame_.faces, double(facesPerSecond_) * 1e-6);
    gEngine->AddStatisticText("%d draw calls, %d reflections", lastFrame_.drawCalls, lastFrame_.reflections);
    gEngine->AddStatisticText("%d lights, %d shadow casting", lastFrame_.lights, lastFrame_.shadowCastingLights);
    const ObjectManager* const objects = Singleton<ObjectManager>::Get();
    gEngine->AddStatisticText("%d objects, %d objects pending delete", objects->GetNumObjects(),
                              objects->GetNumDeletedObjects());
    gEngine->AddStatisticText(" -Maintain budget %-3.2f", double(budgetMs));
    gEngine->AddStatisticText(" -Display render %-3.2f", double(displayMs));
}

// ---------------------------------------------------------------------------------------------
// Options
// ---------------------------------------------------------------------------------------------

Options* GraphicsEngine::GetOptions() const { return gEngine != nullptr ? gEngine->GetOptions() : nullptr; }

void GraphicsEngine::SaveOptions(Options* options) const {
    if (options == nullptr || gEngine == nullptr || gEngine->GetNormalSettingsPath().empty()) return;
    options->Save(gEngine->GetNormalSettingsPath());
}

RenderDeviceSettings GraphicsEngine::GetSettingsFromOptions(const RenderDeviceSettings& current) const {
    RenderDeviceSettings settings = current;
    const Options* const options = GetOptions();
    if (options == nullptr) return settings;
    settings.antiAliasing = options->GetBool(Bool::antiAliasing) ? 1 : 0;
    settings.flags = 0;
    // Options exist only through the engine.
    if (!gEngine->IsEditorMode()) {
        const bool fullScreen = (forceFullScreen_ || options->GetBool(Bool::fullscreen)) && !forceWindowed_;
        if (fullScreen) settings.flags |= RenderDeviceSettings::kFullScreen;
        const Options::Int2 resolution = options->GetInt2(Options::Int2Name::resolution);
        settings.width = resolution.x;
        settings.height = resolution.y;
    }
    if (options->GetBool(Bool::syncToRefresh) && !forceWindowed_) settings.flags |= RenderDeviceSettings::kVerticalSync;
    if (options->GetBool(Bool::tripleBuffer)) settings.flags |= RenderDeviceSettings::kTripleBuffering;
    if (options->GetBool(Bool::detailObjects)) settings.flags |= RenderDeviceSettings::kDetailObjects;
    if (options->GetBool(Bool::advancedEffects)) settings.flags |= RenderDeviceSettings::kAdvancedEffects;
    return settings;
}

void GraphicsEngine::UpdateFromOptions() {
    Options* const options = GetOptions();
    if (options == nullptr || device_ == nullptr) return;
    switches_.reflections = options->GetQuality(Quality::reflectionQuality) == 2;

    static constexpr unsigned kTargetSizes[3][2] = {{512, 256}, {1024, 512}, {2048, 1024}};
    const int shadowQuality = std::clamp(options->GetQuality(Quality::shadowQuality), 0, 2);
    const bool newSizes =
        targetSizes_[0] != kTargetSizes[shadowQuality][0] || targetSizes_[1] != kTargetSizes[shadowQuality][1];
    targetSizes_[0] = kTargetSizes[shadowQuality][0];
    targetSizes_[1] = kTargetSizes[shadowQuality][1];

    static constexpr int kReductionForQuality[3] = {1, 0, -2};
    SetTextureReduction(kReductionForQuality[std::clamp(options->GetQuality(Quality::textureQuality), 0, 2)]);

    const int detailLevel = options->GetQuality(Quality::detailLevel);
    const RenderGenerationId generation = GetGenerationForDetail(detailLevel);
    const bool newGeneration = generation != detailGeneration_ && generation != GetGenerationId();
    detailGeneration_ = generation;
    if (newGeneration) {
        SetGeneration(generation);  // remakes the targets
    } else if (newSizes) {
        CreateNormalRendererTargets();
    }
    switches_.lowQualityLighting = switches_.lowQualityTerrain = detailLevel == 0;

    const RenderDeviceSettings settings = GetSettingsFromOptions(settings_);
    if (!SameSettings(settings, settings_)) {
        Log(LogPriority::Warning, "Resetting device due to settings change.");
        // Taken even when the reset fails, so that a failing device is not reset every frame.
        settings_ = settings;
        if (!device_->ResetDevice(settings_)) Log(LogPriority::Warning, "The device could not be reset");
    }
    ApplyGamma(*options);
}

void GraphicsEngine::ApplyGamma(const Options& options) {
    device_->SetGammaRamp(MapToRange(options.GetFloat(Float::brightness), kBrightnessRange),
                          MapToRange(options.GetFloat(Float::contrast), kContrastRange),
                          MapToRange(options.GetFloat(Float::gamma), kGammaRange));
}

RenderGenerationId GraphicsEngine::GetGenerationForDetail(int detailLevel) const {
    const RenderGenerationId device = device_->GetGenerationId();
    if (detailLevel >= 2) return device;
    switch (device) {
        case RenderGenerationId::GeForce5:
        case RenderGenerationId::GeForce6:
            return detailLevel == 1 ? RenderGenerationId::GeForce4 : RenderGenerationId::GeForce3;
        case RenderGenerationId::GeForce4:
            return detailLevel == 0 ? RenderGenerationId::GeForce3 : RenderGenerationId::GeForce4;
        case RenderGenerationId::Radeon9000: return RenderGenerationId::R200;
        default: return device;
    }
}

void GraphicsEngine::SetOptionsToDefaults(Options* options) {
    if (options == nullptr || device_ == nullptr) return;
    int texture = 1, shadow = 1, detail = 1, reflection = 1;
    bool shadows = true, detailObjects = true, advancedEffects = true;
    const RenderGenerationId generation = GetGenerationId();
    switch (generation) {
        case RenderGenerationId::GeForce3:
            texture = shadow = detail = reflection = 0;
            shadows = detailObjects = advancedEffects = false;
            break;
        case RenderGenerationId::GeForce4:
            texture = 1;
            shadow = detail = reflection = 0;
            detailObjects = advancedEffects = false;
            shadows = true;
            break;
        case RenderGenerationId::GeForce5:
        case RenderGenerationId::Radeon9000:
            detailObjects = false;
            shadow = detail = reflection = 1;
            break;
        case RenderGenerationId::GeForce6:
            detailObjects = true;
            shadow = detail = reflection = 2;
            break;
        case RenderGenerationId::R200:
            texture = shadow = detail = reflection = 0;
            detailObjects = advancedEffects = false;
            shadows = true;
            break;
        default: break;
    }
    const size_t memoryMiB = device_->GetVideoMemory() >> 20;
    if (memoryMiB < 96) {
        texture = shadow = 0;
    } else if (memoryMiB < 192) {
        texture = generation == RenderGenerationId::GeForce3 || generation == RenderGenerationId::R200 ? 0 : 1;
        shadow = std::min(shadow, 1);
    } else if (memoryMiB >= 512) {
        texture = 2;
    }
    const uint32_t deviceId = device_->GetDeviceId();
    for (const CardDefaults& card : kCards) {
        if (card.deviceId == deviceId) {
            detail = card.detailLevel;
            reflection = card.reflectionQuality;
            texture = card.textureQuality;
            shadow = card.shadowQuality;
            shadows = card.shadows;
            break;
        }
    }
    options->SetInt2(Options::Int2Name::resolution, {1024, 768});
    options->SetQuality(Quality::detailLevel, detail);
    options->SetQuality(Quality::reflectionQuality, reflection);
    options->SetQuality(Quality::textureQuality, texture);
    options->SetQuality(Quality::shadowQuality, shadow);
    options->SetBool(Bool::shadows, shadows);
    options->SetBool(Bool::detailObjects, detailObjects);
    options->SetBool(Bool::advancedEffects, advancedEffects);
    options->SetBool(Bool::tripleBuffer, false);
    options->SetBool(Bool::antiAliasing, false);
    options->SetBool(Bool::cameraShake, true);
    options->SetBool(Bool::fullscreen, true);
    options->SetFloat(Float::brightness, 0.5f);
    options->SetFloat(Float::contrast, 0.5f);
    options->SetFloat(Float::gamma, 0.5f);
}

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------

const GraphicsTexture* GraphicsEngine::LoadTexture(const std::string& fileName) {
    return textureManager_ != nullptr ? textureManager_->LoadResource(fileName) : nullptr;
}

const GraphicsFont* GraphicsEngine::LoadFont(const std::string& fileName) {
    return fontManager_ != nullptr && !fileName.empty() ? fontManager_->LoadResource(fileName) : nullptr;
}

const GraphicsShader2* GraphicsEngine::LoadShader2(const std::string& fileName) {
    return shaderManager_ != nullptr ? shaderManager_->LoadResource(fileName) : nullptr;
}

void GraphicsEngine::UnloadTexture(const GraphicsTexture* texture) {
    if (textureManager_ != nullptr) textureManager_->UnloadResource(texture);
}

void GraphicsEngine::UnloadFont(const GraphicsFont* font) {
    if (fontManager_ != nullptr) fontManager_->UnloadResource(font);
}

void GraphicsEngine::UnloadShader2(const GraphicsShader2* shader) {
    if (shaderManager_ != nullptr) shaderManager_->UnloadResource(shader);
}

BaseResourceManager* GraphicsEngine::GetTextureResourceManager() const { return textureManager_.get(); }

BaseResourceManager* GraphicsEngine::GetFontResourceManager() const { return fontManager_.get(); }

BaseResourceManager* GraphicsEngine::GetShaderResourceManager() const { return shaderManager_.get(); }

mem::vector<BaseResourceManager*> GraphicsEngine::GetManagers() const {
    mem::vector<BaseResourceManager*> managers;
    for (const auto& [title, manager] : GetTitledManagers()) {
        if (manager != nullptr) managers.push_back(manager);
    }
    return managers;
}

void GraphicsEngine::ReloadAllResources() { ReloadAllResources(true); }

void GraphicsEngine::ReloadAllResources(bool full) {
    if (full) BaseResourceManager::SetThreadFencesPaused(true);
    for (BaseResourceManager* manager : GetManagers()) manager->ReloadAllResources(full);
    if (full) BaseResourceManager::SetThreadFencesPaused(false);
    if (canvas_ != nullptr) canvas_->SetDefaultState();
}

void GraphicsEngine::UnloadUnreferencedResources() {
    for (BaseResourceManager* manager : GetManagers()) manager->UnloadUnreferencedResources();
}

void GraphicsEngine::EvictOldResources(uint32_t frames) {
    for (BaseResourceManager* manager : GetManagers()) {
        if (manager == textureManager_.get() || manager == meshManager_.get()) {
            manager->EvictOldResources(frames, 2 * frames, 0, 200);
        } else {
            manager->EvictOldResources(frames, 0xFFFFFFFFu, 0, 0);
        }
    }
}

mem::vector<std::pair<const char*, BaseResourceManager*>> GraphicsEngine::GetTitledManagers() const {
    return {{"Fonts", GetFontResourceManager()},
            {"Meshes", meshManager_.get()},
            {"Shaders", GetShaderResourceManager()},
            {"Textures", GetTextureResourceManager()},
            {"Animations", GetAnimationResourceManager()}};
}

void GraphicsEngine::ListLoadedResources() {
    static const std::string kRule(49, '=');
    static const std::string kThinRule(49, '-');
    Log(LogPriority::Info, "Loaded Resources");
    Log(LogPriority::Info, "%s", kRule.c_str());
    Log(LogPriority::Info, "%s", "");
    for (const auto& [title, manager] : GetTitledManagers()) {
        Log(LogPriority::Info, "%s", title);
        Log(LogPriority::Info, "%s", kThinRule.c_str());
        if (manager != nullptr) manager->ListLoadedResources();
        Log(LogPriority::Info, "%s", "");
    }
}

void GraphicsEngine::WriteResourceLog(FILE* file) {
    for (const auto& [title, manager] : GetTitledManagers()) {
        if (manager != nullptr) manager->WriteResourceLog(title, file);
    }
}

// ---------------------------------------------------------------------------------------------
// Texture reduction
// ---------------------------------------------------------------------------------------------

void GraphicsEngine::SetTextureReduction(int level) {
    if (textureReduction_.exchange(level) == level) return;
    if (textureManager_ != nullptr) textureManager_->ReloadAllResources(false);
}

void GraphicsEngine::SetDirectoryTextureReduction(const std::string& path, int level) {
    std::string normal = path;
    FileSystem::ConvertFileName(normal);
    std::lock_guard<std::mutex> lock(directoryLock_);
    for (DirectoryReduction& row : directoryReductions_) {
        if (row.path == normal) {
            row.reduction = level;
            return;
        }
    }
    const auto before = std::find_if(directoryReductions_.begin(), directoryReductions_.end(),
                                     [&](const DirectoryReduction& row) { return row.path.size() <= normal.size(); });
    directoryReductions_.insert(before, DirectoryReduction{normal, level});
}

int GraphicsEngine::GetTextureReduction(const std::string& fileName) const {
    std::string normal = fileName;
    FileSystem::ConvertFileName(normal);
    int directory = 0;
    {
        std::lock_guard<std::mutex> lock(directoryLock_);
        for (const DirectoryReduction& row : directoryReductions_) {
            if (normal.compare(0, row.path.size(), row.path) == 0) {
                directory = row.reduction;
                break;
            }
        }
    }
    return std::max(textureReduction_.load() + directory, 0);
}

void GraphicsEngine::FillDirectoryReductions() {
    for (const DirectoryDefault& row : kDirectoryDefaults) SetDirectoryTextureReduction(row.path, row.reduction);
}

// ---------------------------------------------------------------------------------------------
// Generation and queries
// ---------------------------------------------------------------------------------------------

const char* GraphicsEngine::GetGenerationName() const { return RenderDevice::GetNameForGeneration(GetGenerationId()); }

void GraphicsEngine::SetGeneration(RenderGenerationId generation) {
    if (generation_.exchange(generation) == generation) return;
    for (BaseResourceManager* manager : {GetShaderResourceManager(), meshManager_.get()}) {
        if (manager != nullptr) manager->ReloadAllResources(true);
    }
    // The world's ground follows (its bump maps need a capable generation).
    if (gEngine != nullptr && gEngine->GetGraphicsEngine() == this) gEngine->ReloadGenerationDependentData();
    if (textureManager_ != nullptr) textureManager_->ReloadAllResources(false);
    if (canvas_ != nullptr) canvas_->SetDefaultState();
    CreateNormalRendererTargets();
}

void GraphicsEngine::SetGeneration(const char* name) { SetGeneration(RenderDevice::GetGenerationForName(name)); }

int GraphicsEngine::GetPixelShaderVersion() const {
    switch (GetGenerationId()) {
        case RenderGenerationId::GeForce3: return 1;
        case RenderGenerationId::GeForce4: return 3;
        case RenderGenerationId::GeForce5: return 5;
        case RenderGenerationId::GeForce6: return 6;
        case RenderGenerationId::Radeon9000: return 5;
        case RenderGenerationId::R200: return 4;
        default: return 0;
    }
}

int GraphicsEngine::GetMaxNumBones() const {
    const RenderGenerationId generation = GetGenerationId();
    return generation == RenderGenerationId::GeForce3 || generation == RenderGenerationId::GeForce4 ? 24 : 27;
}

const char* GraphicsEngine::GetQualityName(int quality) {
    static const char* const kNames[] = {"Low", "Medium", "High"};
    return quality >= 0 && quality < 3 ? kNames[quality] : nullptr;
}

void GraphicsEngine::GetSupportedDisplayModes(mem::vector<RenderDisplayMode>& modes) const {
    modes.clear();
    if (device_ != nullptr) device_->GetSupportedDisplayModes(modes);
}

void GraphicsEngine::UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) {
    if (device_ != nullptr) device_->UnregisterVertexDeclaration(declaration);
}

void GraphicsEngine::GetStats(GraphicsStats& stats) const {
    constexpr float kMiB = 1048576.0f;
    stats.physicalMemory = static_cast<float>(GetProcessMemoryUsage()) / kMiB;
    stats.freeVideoMemory = device_ != nullptr ? static_cast<float>(device_->GetAvailableVideoMemory()) / kMiB : 0.0f;
    stats.framesPerSecond = framesPerSecond_;
    stats.faces = device_ != nullptr ? static_cast<int>(device_->GetNumFacesRendered()) : 0;
    stats.facesPerSecond = static_cast<float>(facesPerSecond_);
    stats.drawCalls = device_ != nullptr ? static_cast<int>(device_->GetNumDrawCalls()) : 0;
    stats.reflections = reflectionCount_;
    stats.lights = lightCount_;
    stats.shadowCastingLights = shadowCasterCount_;
}

// ---------------------------------------------------------------------------------------------
// Switches backed by options
// ---------------------------------------------------------------------------------------------

void GraphicsEngine::EnableVerticalSync(bool enable) {
    if (device_ != nullptr) device_->EnableVerticalSync(enable);
}

void GraphicsEngine::EnableShadows(bool enable) {
    switches_.shadows = enable;
    if (Options* const options = GetOptions()) options->SetBool(Bool::shadows, enable);
}

void GraphicsEngine::EnableBloom(bool enable) {
    switches_.bloom = enable;
    if (Options* const options = GetOptions()) options->SetBool(Bool::advancedEffects, enable);
}

// ---------------------------------------------------------------------------------------------
// Device reset and output
// ---------------------------------------------------------------------------------------------

void GraphicsEngine::ForceDeviceReset() {
    if (device_ != nullptr && !device_->ResetDevice(settings_)) {
        Log(LogPriority::Warning, "The device could not be reset");
    }
}

void GraphicsEngine::PreDeviceReset() {
    if (device_ == nullptr) return;
    ReloadAllResources(true);
    DestroyNormalRendererTargets();
    if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->PreDeviceReset();
    if (canvas_ != nullptr) canvas_->PreDeviceReset();
    DestroySharedTextures();
    device_->DestroyRenderSurface(primarySurface_);
}

void GraphicsEngine::PostDeviceReset() {
    if (device_ == nullptr) return;
    BaseResourceManager::SetThreadFencesPaused(false);
    primarySurface_ = device_->CreatePrimarySurface(window_, settings_);
    if (primarySurface_ != nullptr) {
        if (canvas_ != nullptr) canvas_->SetPrimarySurface(primarySurface_);
        CreateSharedTextures();
        CreateNormalRendererTargets();
        if (Singleton<GraphicsNoiseGen>::HasInstantiated()) Singleton<GraphicsNoiseGen>::Get()->PostDeviceReset();
    }
}

void GraphicsEngine::PresentSurface() {
    if (device_ == nullptr || device_->DeviceLost() || primarySurface_ == nullptr || canvas_ == nullptr) return;
    canvas_->PresentSurface(primarySurface_);
}

bool GraphicsEngine::ReadRenderSurface(const RenderSurface* surface, Image& image) const {
    image.Destroy();
    if (surface == nullptr || device_ == nullptr) return false;
    const bool primary = surface == primarySurface_;
    const RenderTexture* const texture = surface->GetTexture();
    // Any surface is read at its own size, so that the pixels fill the image exactly.
    const int width = primary || texture == nullptr ? settings_.width : texture->GetWidth();
    const int height = primary || texture == nullptr ? settings_.height : texture->GetHeight();
    if (width <= 0 || height <= 0) {
        Log(LogPriority::Error, "The render surface has no size to read");
        return false;
    }
    if (!image.Create(uint32_t(width), uint32_t(height), Image::Format::RGBA)) return false;
    bool read = false;
    if (primary) {
        read = device_->ReadFrameBuffer(reinterpret_cast<Pixel*>(image.GetBuffer()), width, height);
        // The frame buffer comes bottom row first.
        if (read) image.FlipVertically();
    } else {
        read = surface->ReadPixels(image.GetBuffer(), width, height, RenderTextureFormat::RGBA);
    }
    if (!read) {
        Log(LogPriority::Error, "The render surface could not be read");
        image.Destroy();
    }
    return read;
}

bool GraphicsEngine::SaveRenderSurface(const char* path, const RenderSurface* surface) const {
    Image image;
    if (!ReadRenderSurface(surface, image)) return false;
    const Image::Error error = image.SaveJPG(path);
    if (error != Image::Error::None) {
        Log(LogPriority::Error, "The picture could not be saved to %s (error %u)", path != nullptr ? path : "",
            static_cast<unsigned>(error));
        return false;
    }
    return true;
}

bool GraphicsEngine::SaveScreenShot(const char* path) const { return SaveRenderSurface(path, primarySurface_); }

// ---------------------------------------------------------------------------------------------
// Layout scaling
// ---------------------------------------------------------------------------------------------

void GraphicsEngine::ScaleValues(float scale, float* first, va_list args) const {
    for (float* value = first; value != nullptr; value = va_arg(args, float*)) *value *= scale;
}

void GraphicsEngine::GetResAdjValuesX(float* first, ...) const {
    va_list args;
    va_start(args, first);
    ScaleValues(static_cast<float>(GetWidth()) / kLayoutWidth, first, args);
    va_end(args);
}

void GraphicsEngine::GetResAdjValuesY(float* first, ...) const {
    va_list args;
    va_start(args, first);
    ScaleValues(static_cast<float>(GetHeight()) / kLayoutHeight, first, args);
    va_end(args);
}

void GraphicsEngine::GetResAdjRect(const Rect& in, Rect& out) const {
    const float scaleX = static_cast<float>(GetWidth()) / kLayoutWidth;
    const float scaleY = static_cast<float>(GetHeight()) / kLayoutHeight;
    out.x = in.x * scaleX;
    out.y = in.y * scaleY;
    out.width = std::floor(in.width * scaleX + 0.5f);
    out.height = std::floor(in.height * scaleY + 0.5f);
}

bool GraphicsEngine::IsDownsizing() const {
    return GetWidth() < static_cast<int>(kLayoutWidth) || GetHeight() < static_cast<int>(kLayoutHeight);
}

}  // namespace GAME
