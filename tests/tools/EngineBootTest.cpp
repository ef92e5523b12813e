// The engine end to end: it boots with the GL device on an offscreen window over the generated
// sample data, draws and presents frames, and the sample shaders and textures work on the real
// device (the programs compile and draw, the DDS and TEX files parse).

#include "SampleAnimations.h"
#include "SampleData.h"
#include "SampleDecals.h"
#include "SampleEffects.h"
#include "SampleFlight.h"
#include "SampleMeshes.h"
#include "SampleOutdoors.h"
#include "SamplePhysics.h"
#include "SampleRibbons.h"
#include "SampleScene.h"
#include "SampleYard.h"

#include "core/ABBox.h"
#include "core/Color.h"
#include "core/Coords.h"
#include "core/Mat4.h"
#include "core/Rect.h"
#include "core/Singleton.h"
#include "effects/Billboard.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "physics/PhysicsEngine.h"
#include "render/Camera.h"
#include "render/DebugRenderManager.h"
#include "render/Display.h"
#include "render/DisplayWidget.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsEngineSettings.h"
#include "render/GraphicsFont.h"
#include "render/GraphicsNoiseGen.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/Image.h"
#include "render/InterfaceSkin.h"
#include "render/StatisticsWidget.h"
#include "render/StyleManager.h"
#include "scene/GMIEffectIcey.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsMeshInstance.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLGraphicsBed.h"
#include "support/LogCapture.h"
#include "support/OffscreenWindow.h"
#include "support/PlainSceneRenderer.h"
#include "support/TempDirectory.h"
#include "terrain/Water.h"
#include "terrain/WaterType.h"
#include "world/Level.h"
#include "world/FOWSavingThread.h"
#include "world/LevelLoadingThread.h"
#include "world/Region.h"
#include "world/World.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace GAME::test {
namespace {

constexpr int kWidth = 640;  // the sample options' resolution
constexpr int kHeight = 480;

class EngineBootTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Get() != nullptr && sample::WriteSampleData(data.GetPath()) &&
                    files.AddDirectory(data.GetPath()));
        engine.SetLogPath(user.Join("Logs"));
        engine.SetDefaultSettingsPath(data.Join(sample::kOptionsFile));
        engine.SetNormalSettingsPath(user.Join("Settings/Options.txt"));
        GraphicsEngineSettings settings;
        settings.width = kWidth;
        settings.height = kHeight;
        ASSERT_TRUE(engine.Initialize(window.Get(), settings, true, false, &files));
        graphics = engine.GetGraphicsEngine();
        device = graphics->GetRenderDevice();
    }

    void TearDown() override { engine.Shutdown(); }

    // The primary surface's pixel, as bytes R, G, B, A.
    Pixel ReadPixel(int x, int y) {
        Image image;
        Pixel pixel;
        if (graphics->ReadRenderSurface(graphics->GetCanvas()->GetPrimarySurface(), image) &&
            uint32_t(x) < image.GetWidth() && uint32_t(y) < image.GetHeight()) {
            std::memcpy(&pixel, image.GetBuffer() + (size_t(y) * image.GetWidth() + x) * 4, 4);
        }
        return pixel;
    }

    void ClearTo(const Color& color, float depth = 1.0f) {
        device->SetClearColor(color);
        device->Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, depth);
    }

    TempDirectory data;
    TempDirectory user;
    FileSystem files;
    OffscreenWindow window{kWidth, kHeight};
    Engine engine;
    GraphicsEngine* graphics = nullptr;
    RenderDevice* device = nullptr;
};

void ExpectPixel(const Pixel& pixel, int r, int g, int b) {
    EXPECT_LE(std::max({std::abs(pixel.r - r), std::abs(pixel.g - g), std::abs(pixel.b - b)}), 2)
        << pixel.r << ", " << pixel.g << ", " << pixel.b;
}

TEST_F(EngineBootTest, PresentsAClearedFrame) {
    LogCapture log;
    EXPECT_EQ(std::pair(graphics->GetWidth(), graphics->GetGenerationId()),
              std::pair(kWidth, RenderGenerationId::GeForce6));
    for (int frame = 0; frame < 3; ++frame) {
        engine.Update(WorldFrustum(), true);
        engine.Render();
        ClearTo(Color(0.0f, 0.5f, 1.0f, 1.0f));
        engine.PresentSurface();
    }
    ExpectPixel(ReadPixel(0, 0), 0, 128, 255);
    ExpectPixel(ReadPixel(kWidth - 1, kHeight - 1), 0, 128, 255);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// One vertex of the basic vertex declaration.
struct BasicVertex {
    float position[3];
    float normal[3];
    float uv[2];
    uint32_t color;  // 0xAARRGGBB
};

// Every style of the sample shaders draws what it says, over grey (51, alpha 0): a quad over the
// screen whose vertices all stand at (0, 1, 0) with the normal (0, 0.6, 0.8) (objectToWorld and
// objectToRegion make them so), white, diffuse 0.5 (so a mesh's colour is the light): sky red and
// ground green blend to ambient (0.8, 0.2, 0); the blue light shines straight along the normal
// (1), from the point light 5 away of reach 10 half as bright; the fog 10 from the camera is 40%
// deep, its height fog 15%; the shadow styles give depth (0.5 here; a point light's face at (-0.5,
// -0.5, 0) 0.07 away) and draw back faces too, which the others cull. The ground's layers, half
// opaque, add under the destination's alpha, and its fog, 5 further away, is 80% deep; grass blades
// take their own normal (0, 0, 1), lit 0.8. The water's colour (0, 0.5, 1) is half opaque 256 deep
// (the vertex colour's depth), its reflection (white) half mixed in; the waves' bump doubles the grey.
// The decals' depth bias draws them over depth a little in front of their faces.
TEST_F(EngineBootTest, TheSampleShadersLightFogAndShadeAsTheirStylesSay) {
    LogCapture log;
    // The quad facing the viewer, then turned away.
    BasicVertex quad[8];
    const float corners[8][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (int i = 0; i < 8; ++i) quad[i] = {{corners[i][0], corners[i][1], 0.5f}, {0, 0, 1}, {0.5f, 0.5f}, 0xFFFFFFFFu};
    RenderVertexBuffer* buffer = device->CreateVertexBuffer(0, sizeof(quad));
    std::memcpy(buffer->Lock(), quad, sizeof(quad));
    buffer->Unlock();
    const uint32_t texels[2] = {0xFFFFFFFFu, 0x80FFFFFFu};
    RenderTexture* white = device->CreateTextureFromPixels(1, 1, &texels[0], 1, 0);
    RenderTexture* halfOpaque = device->CreateTextureFromPixels(1, 1, &texels[1], 1, 0);
    const Mat4 toPoint(0, 0, 0, 0, 0, 0, 0.6f, 0.7f, 0, 0, 0.8f, -0.4f, 0, 0, 0, 1);
    const Mat4 pointFace(1, 0, 0, 0, 0, 0, 0, -0.5f, 0, 1, 0, 0, 0, 0, 0, 1);  // y = -0.5, z = the quad's y
    struct Draw {
        const char* style;
        float opacity;
        bool back;  // the quad turned away
        int r, g, b;
    };
    const Draw basic[] = {{"normal", 1, false, 255, 0, 0}};  // white times "color"
    const Draw lit[] = {{"ambientLightStyle", 1, false, 204, 51, 0},
                        {"dLightDiffuseAmbientStyle", 1, false, 204, 51, 255},
                        {"pLightDiffuseAmbientStyle", 1, false, 204, 51, 128},
                        {"pLightSimpleAmbientStyle", 1, false, 204, 51, 128},
                        {"reflectionStyle", 1, false, 204, 51, 255},
                        {"dLightDiffuseStyle", 1, false, 51, 51, 255},
                        {"pLightDiffuseStyle", 1, false, 51, 51, 179},
                        {"pLightSimpleStyle", 1, false, 51, 51, 179},
                        {"fogStyle", 1, false, 133, 82, 56},
                        {"depthStyle", 1, false, 51, 51, 51},
                        {"shadow", 1, true, 128, 128, 128},
                        {"transparencyMaskStyle", 1, false, 0, 0, 0},
                        {"pLightShadowStyle", 1, true, 18, 18, 18},
                        {"ambientLightStyle", 0.25f, false, 89, 51, 38},
                        {"ambientLightStyle", 1, true, 51, 51, 51}};
    const Draw dissolve[] = {{"ambientLightStyle", 1, false, 163, 41, 51}};  // a fifth the edge's blue
    const Draw icey[] = {{"ambientLightStyle", 1, false, 140, 102, 89}};     // half the white, half opaque
    const Draw ground[] = {{"depthStyle", 1, false, 51, 51, 51},         {"alphaStyle", 1, false, 51, 51, 51},
                           {"fogStyle", 1, false, 214, 112, 61},         {"ambientLightStyle", 1, false, 153, 77, 51},
                           {"reflectionStyle", 1, false, 128, 51, 26},   {"dLightDiffuseStyle", 1, false, 51, 51, 179},
                           {"pLightSimpleStyle", 1, false, 51, 51, 179}, {"dLightDiffuseAmbientStyle", 1, false, 153, 77, 179}};
    const Draw grass[] = {{"ambientLightStyle", 1, false, 128, 128, 0}, {"dLightDiffuseStyle", 1, false, 51, 51, 255},
                          {"pLightDiffuseAmbientStyle", 1, false, 128, 128, 204}};
    const Draw water[] = {{"waterBlockStyle", 1, false, 26, 89, 153}, {"waterPathReflectStyle", 1, false, 89, 121, 153}};
    const Draw waves[] = {{"blendStyle", 1, false, 255, 255, 255}, {"bumpStyle", 1, false, 102, 102, 102}};
    const Draw effect[] = {{"emissiveStyle", 1, true, 255, 255, 255}};  // a white particle, decal or ribbon
    const Draw mask[] = {{"normal", 1, false, 51, 51, 51}, {"shadow", 1, true, 0, 0, 0}};  // only alpha, or black
    // The sum of two layers' levels (0.375), drawn and added; flat ground's normal.
    const Draw noise[] = {{"compositeBaseStyle", 1, false, 96, 96, 96},
                          {"compositeAddStyle", 1, false, 147, 147, 147},
                          {"convertStyle", 1, false, 128, 128, 255}};
    const struct {
        const char* file;
        std::span<const Draw> draws;
        int sortOrder;
    } shaders[] = {{"Shaders/Basic.ssh", basic, 0},
                   {"Shaders/Overlay.ssh", basic, 10000},
                   {"Shaders/Standard.ssh", lit, 0},
                   {"Shaders/StandardSkinned.ssh", lit, 0},
                   {"Shaders/StandardT.ssh", lit, 10000},
                   {"Shaders/StandardSkinnedT.ssh", lit, 10000},
                   {"Shaders/StandardDissolveStatic.ssh", dissolve, 0},
                   {"Shaders/StandardDissolveSkinned.ssh", dissolve, 0},
                   {"Addon/Shaders/IceyStatic.ssh", icey, 10000},
                   {"Addon/Shaders/IceySkinned.ssh", icey, 10000},
                   {"Shaders/Terrain/TerrainStandard.ssh", ground, 0},
                   {"Shaders/Grass.ssh", grass, 0},
                   {"Shaders/Water/WaterBasic.ssh", water, 0},
                   {"Shaders/Water/WaterWaves.ssh", waves, 0},
                   {sample::ParticleShaderName(sample::ParticleBlend::Additive), effect, 10100},
                   {sample::ParticleShaderName(sample::ParticleBlend::Combine), effect, 10100},
                   {sample::ParticleShaderName(sample::ParticleBlend::AdditiveSmooth), effect, 10100},
                   {sample::kDecalShader, effect, 2000},
                   {sample::kRibbonShader, effect, 0},
                   {sample::kChaosShader, effect, 0},
                   {sample::kPortalMaskShader, mask, 0},
                   {GraphicsNoiseGen::kShaderFile, noise, 0}};
    engine.Update(WorldFrustum(), true);
    engine.Render();
    for (const auto& file : shaders) {
        const GraphicsShader2* shader = graphics->LoadShader2(file.file);
        for (const Draw& draw : file.draws) {
            SCOPED_TRACE(std::string(file.file) + " " + draw.style + " " + std::to_string(draw.opacity));
            const uint32_t style = shader->FindStyleByName(Name::Create(draw.style));
            EXPECT_EQ(shader->GetSortOrder(style), file.sortOrder);
            ClearTo(Color(0.2f, 0.2f, 0.2f, 0.0f), file.file == sample::kDecalShader ? 0.49998f : 1.0f);
            ASSERT_TRUE(shader->Begin(style));
            const auto set4 = [&](const char* name, float x, float y, float z, float w) {
                shader->SetFloat4(Name::Create(name), 0, x, y, z, w);
            };
            const auto set3 = [&](const char* name, float x, float y, float z) {
                shader->SetFloat3(Name::Create(name), 0, x, y, z);
            };
            const bool face = std::string(draw.style) == "pLightShadowStyle";
            shader->SetFloat4x4(Name::Create("objectToScreenMatrix"), 0, face ? pointFace : Mat4());
            for (const char* matrix : {"objectToWorldMatrix", "objectToRegionMatrix"})
                shader->SetFloat4x4(Name::Create(matrix), 0, toPoint);
            shader->SetFloat4x4(Name::Create("worldToShadowMatrix"), 0, Mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
            for (uint32_t bone = 0; bone < 2; ++bone) shader->SetFloat4x3(Name::Create("boneMatrix"), bone, Coords::Identity);
            set4("color", 1, 0, 0, 1);
            set4("diffuseColor", 0.5f, 0.5f, 0.5f, 1);
            set4("skyAmbientColor", 1, 0, 0, 1);
            set4("groundAmbientColor", 0, 1, 0, 1);
            set4("lightColor", 0, 0, 1, 1);
            set3("lightDirection", 0, -0.6f, -0.8f);
            set3("lightPosition", 0, 4, 4);
            shader->SetFloat(Name::Create("lightMaxDistance"), 0, 10);
            set4("transparencyValue", 1, 1, 2 * draw.opacity, 1);
            shader->SetFloat(Name::Create("blendedGlobalFadeFactor"), 0, 0.5f);
            set3("cameraOrigin", 0, 1, -10);
            set3("regionToSceneOffset", 0, 0, 5);
            set3("depthFogParams", 5, 0.1f, 0.8f);
            set3("heightFogParams", 2, 0.25f, 0.6f);
            set4("fogColor", 1, 0.5f, 0.25f, 1);
            shader->SetFloat(Name::Create("dissolveValue"), 0, 0.9f);
            set3("dissolveColor", 0, 0, 1);
            shader->SetFloat(Name::Create("iceyAlphaMultiplier"), 0, 0.5f);
            set3("waterColor", 0, 0.5f, 1);
            set4("depthParams", 56, 456, 0.2f, 0.8f);
            set3("surfaceParams", 0, 0, 1);
            set4("level", 0.25f, 0.5f, 0.5f, 0.125f);
            set4("textureScale", 1, 1, 0, 1);
            for (const char* texture : {"baseTexture", "dissolveTexture", "envmapTexture", "reflectTexture"})
                shader->SetTexture(Name::Create(texture), 0, white);
            shader->SetTexture(Name::Create("opacityTexture"), 0, halfOpaque);
            for (int i = 0; i < 8; ++i) shader->SetTexture(Name::Create(("texture" + std::to_string(i)).c_str()), 0, white);
            shader->Render("EngineBootTest");
            device->SetVertexDeclaration(graphics->GetBasicVertexDeclaration());
            device->SetStreamSource(0, buffer, 0, sizeof(BasicVertex));
            device->DrawPrimitive(RenderPrimitiveType::TriangleStrip, draw.back ? 4 : 0, 2);
            shader->End();
            ExpectPixel(ReadPixel(kWidth / 4, kHeight / 2), draw.r, draw.g, draw.b);
        }
        graphics->UnloadShader2(shader);
    }
    device->DestroyTexture(white);
    device->DestroyTexture(halfOpaque);
    device->DestroyVertexBuffer(buffer);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(EngineBootTest, DebugShapesDrawThroughTheSampleBasicShader) {
    LogCapture log;
    engine.Update(WorldFrustum(), true);
    engine.Render();
    ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    // 10 pixels a unit: the box's outline runs 20 pixels left and right of the centre, 10 above
    // and below; its inside stays clear.
    Camera camera;
    camera.SetType(CameraType::Orthographic);
    camera.SetWidth(64.0f);
    camera.SetHeight(48.0f);
    Region region(nullptr, 0, "region", ABBox(), IntVec3(), RegionId(1, 0, 0, 0));
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    debug.RenderBox(&region, ABBox(Vec3(0.0f, 0.0f, 10.0f), Vec3(2.0f, 1.0f, 1.0f)), Color(0.0f, 1.0f, 0.0f, 1.0f));
    debug.Flush(*graphics->GetCanvas(), &region, camera, Viewport(0, 0, kWidth, kHeight));
    const auto green = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const Pixel pixel = ReadPixel(x, y);
                if (pixel.g > 200 && pixel.r < 50) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(green(kWidth / 2, kHeight / 2 - 11, kWidth / 2, kHeight / 2 - 9));
    EXPECT_TRUE(green(kWidth / 2 + 19, kHeight / 2, kWidth / 2 + 21, kHeight / 2));
    EXPECT_FALSE(green(kWidth / 2 - 15, kHeight / 2 - 5, kWidth / 2 + 15, kHeight / 2 + 5));
    engine.PresentSurface();
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(EngineBootTest, TheSampleTexturesParseAndTheFilterProgramsShadeThem) {
    LogCapture log;
    const GraphicsTexture* checker = graphics->LoadTexture("Textures/Checker.dds");
    EXPECT_EQ(std::pair(checker->GetWidth(), checker->GetInitResult()), std::pair(64, Resource::InitResult::Success));
    const GraphicsTexture* gradient = graphics->LoadTexture("Textures/Gradient.dds");
    EXPECT_EQ(std::pair(gradient->GetWidth(), gradient->GetHeight()), std::pair(128, 16));
    const GraphicsTexture* pulse = graphics->LoadTexture("Textures/Pulse.tex");
    EXPECT_EQ(std::pair(pulse->GetNumFrames(), pulse->GetWidth()), std::pair(4, 16));

    // Each filter style shades a texture drawn at its size, offsets 0: the blur with one full
    // weight copies the textures' colours; the bright part of the skin's blue and orange above
    // half, saturated; the gradient's alpha as grey.
    const GraphicsShader2* filter = graphics->LoadShader2("Shaders/Filter.ssh");
    engine.Update(WorldFrustum(), true);
    engine.Render();
    const std::string sky = WaterType::Settings().SkyMapFilename;
    const struct {
        const char* style;
        const char* texture;
        int x, y, r, g, b;
    } draws[] = {{"normal", "Textures/Checker.dds", 2, 2, 0xE0, 0xE0, 0xE0},
                 {"normal", "Textures/Checker.dds", 10, 2, 0x40, 0x40, 0x40},
                 {"extractHot", sample::kSkinBitmap, 8, 8, 0, 0, 0x40},
                 {"extractHot", sample::kSkinBitmap, 40, 8, 0x60, 0, 0},
                 {"alphaMask", "Textures/Gradient.dds", 64, 8, 0x80, 0x80, 0x80},
                 {"alphaMask", "Textures/Gradient.dds", 2, 8, 4, 4, 4},
                 {"normal", "Textures/Terrain/Grass.dds", 1, 1, 0x4C, 0x8C, 0x32},
                 {"normal", "Textures/Terrain/Grass.dds", 5, 1, 0x3A, 0x7A, 0x28},
                 {"normal", "Textures/Terrain/Rock.dds", 17, 1, 0x5A, 0x55, 0x50},
                 {"normal", "Textures/Terrain/Blades.dds", 16, 31, 0x3C, 0x9A, 0x2A},
                 {"normal", "Textures/Terrain/Blades.dds", 48, 31, 0x5A, 0xAA, 0x30},
                 {"normal", "Textures/Pulse.tex", 2, 2, 0xFF, 0, 0},
                 {"normal", sample::kScorchTexture, 16, 16, 0x20, 0x18, 0x10},
                 {"normal", Billboard::kMissingRecordTexture, 1, 1, 0, 0, 0},
                 {"normal", Billboard::kMissingRecordTexture, 5, 1, 0xFF, 0, 0xFF},
                 {"normal", "Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex", 1, 1, 0xB0, 0x40, 0xFF},
                 {"alphaMask", "Effects/MonsterFX/Daduver_Chaos_Bolt_Line01.tex", 8, 1, 254, 254, 254},
                 {"normal", Water::kWavesTextures[1], 0, 0, 139, 139, 139},
                 {"normal", sky.c_str(), 0, 31, 253, 253, 253}};
    for (const auto& draw : draws) {
        SCOPED_TRACE(std::string(draw.style) + " " + draw.texture);
        const GraphicsTexture* texture = graphics->LoadTexture(draw.texture);
        ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
        ASSERT_TRUE(filter->Begin(filter->FindStyleByName(Name::Create(draw.style))));
        EXPECT_TRUE(filter->SetTexture(Name::Create("texture"), 0, texture->GetTexture()) &&
                    filter->SetFloat4(Name::Create("sampleWeight0"), 0, 1.0f, 0.0f, 0.0f, 0.0f) &&
                    filter->SetFloat4(Name::Create("sampleWeight1"), 0, 0.0f, 0.0f, 0.0f, 0.0f) &&
                    filter->SetFloat4(Name::Create("extractConst"), 0, 0.5f, 0.5f, 0.5f, 1.0f) &&
                    filter->SetFloat(Name::Create("saturation"), 0, 1.0f) &&
                    filter->SetInt(Name::Create("blendDstFactor"), 0, static_cast<int>(RenderBlendFactor::Zero)));
        filter->Render(draw.style);
        device->DrawTexturedRect(Rect(0, 0, 1, 1), Rect(0, 0, float(texture->GetWidth()), float(texture->GetHeight())),
                                 0xFFFFFFFFu, 0.0f);
        filter->End();
        ExpectPixel(ReadPixel(draw.x, draw.y), draw.r, draw.g, draw.b);
        graphics->UnloadTexture(texture);
    }
    graphics->UnloadShader2(filter);
    for (const GraphicsTexture* texture : {checker, gradient, pulse}) graphics->UnloadTexture(texture);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(EngineBootTest, TheSampleStylesDrawTextAndTheScreenshotKeepsIt) {
    LogCapture log;
    // At 480 lines the styles come to the sizes their fonts were drawn at.
    const FontStyle& title = *Singleton<StyleManager>::Get()->GetStyle(sample::kTitleStyle);
    EXPECT_EQ(std::tuple(title.size, title.fontName, title.attributes),
              std::tuple(20, std::string("Fonts/Albertus MT.fnt"), RenderFontStyle::Bold));
    const FontStyle& body = *Singleton<StyleManager>::Get()->GetStyle(sample::kBodyStyle);
    EXPECT_EQ(std::pair(body.size, body.fontName), std::pair(12, std::string("Fonts/Arial.fnt")));
    const FontStyle& utility = *Singleton<StyleManager>::Get()->GetStyle(engine.GetUtilityFontStyle());
    EXPECT_EQ(utility.size, 12);
    EXPECT_EQ(graphics->GetDefaultFont()->MeasureText("Sample", 12, RenderFontStyle::Regular),
              body.font->MeasureText("Sample", 12, RenderFontStyle::Regular));

    engine.Update(WorldFrustum(), true);
    engine.Render();
    ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    GraphicsCanvas& canvas = *graphics->GetCanvas();
    const float width = canvas.RenderText(Rect(0.0f, 100.0f, float(kWidth), 0.0f), "Title", sample::kTitleStyle, 1.0f,
                                          XAlignment::Center, YAlignment::Top);
    EXPECT_TRUE(width > 40.0f && width == float(title.font->MeasureText("Title", 20, RenderFontStyle::Bold))) << width;
    // The title's colour shows inside its line, left of the centre; nothing is drawn above it.
    bool golden = false;
    for (int x = kWidth / 2 - int(width) / 2; x < kWidth / 2 && !golden; ++x) {
        for (int y = 100; y < 120 && !golden; ++y) {
            const Pixel pixel = ReadPixel(x, y);
            golden = pixel.r > 200 && pixel.g > 150 && pixel.b < 120;
        }
    }
    EXPECT_TRUE(golden);
    ExpectPixel(ReadPixel(kWidth / 2, 90), 0, 0, 0);

    const std::string shot = user.Join("Shots/screenshot.jpg");
    ASSERT_TRUE(graphics->SaveScreenShot(shot.c_str()));
    engine.PresentSurface();
    Image image;
    ASSERT_EQ(image.Load(shot.c_str(), Image::Format::None), Image::Error::None);
    EXPECT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(uint32_t(kWidth), uint32_t(kHeight)));
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(EngineBootTest, TheSampleSkinsAreasDrawTheirRegions) {
    LogCapture log;
    const InterfaceSkin skin(sample::kInterfaceSkin);
    ASSERT_EQ(skin.GetNumAreas(), 3);
    engine.Update(WorldFrustum(), true);
    engine.Render();
    ClearTo(Color(0.0f, 0.0f, 0.0f, 1.0f));
    GraphicsCanvas& canvas = *graphics->GetCanvas();
    canvas.SetDefaultState();
    // Each area scaled to 64 x 64 pixels side by side.
    float x = 16.0f;
    for (const char* name : {sample::kButtonUpArea, sample::kButtonDownArea, sample::kBarArea}) {
        const InterfaceSkin::Area* area = skin.GetArea(name);
        ASSERT_NE(area, nullptr) << name;
        ASSERT_EQ(area->texture->GetInitResult(), Resource::InitResult::Success) << name;
        canvas.RenderRect(Rect(x, 16.0f, 64.0f, 64.0f), area->region, area->texture, Color(1.0f, 1.0f, 1.0f, 1.0f));
        x += 80.0f;
    }
    // Well inside each rectangle, away from the filtered edges between the regions.
    ExpectPixel(ReadPixel(48, 48), 0x30, 0x60, 0xC0);
    ExpectPixel(ReadPixel(128, 48), 0xE0, 0x80, 0x20);
    ExpectPixel(ReadPixel(208, 48), 0xFF, 0xFF, 0xFF);
    ExpectPixel(ReadPixel(8, 48), 0, 0, 0);
    engine.PresentSurface();
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// Fills the screen with red.
struct FillWidget final : DisplayWidget {
    void Render(GraphicsCanvas& canvas) const override {
        canvas.ClearRenderSurface(nullptr, Color(1.0f, 0.0f, 0.0f, 1.0f), RenderDevice::kClearColor);
    }
};

TEST_F(EngineBootTest, TheDisplayDrawsInTheFrameWithTheStatisticsOnTop) {
    LogCapture log;
    FillWidget fill;
    StatisticsWidget statistics;
    Display& display = *engine.GetDisplay();
    display.AddWidget(&statistics);
    display.AddWidget(&fill);
    graphics->EnableStats(true);
    // The overlay's lines go in before the display draws, so they count the frame before.
    for (int frame = 0; frame < 2; ++frame) {
        engine.Update(WorldFrustum(), true);
        engine.Render();
    }
    display.RemoveWidget(&fill);
    display.RemoveWidget(&statistics);
    ExpectPixel(ReadPixel(kWidth - 1, kHeight - 1), 255, 0, 0);
    // The statistics box darkens the red under it in the top left corner, with light text in it.
    const Pixel box = ReadPixel(StatisticsWidget::kMargin - 2, StatisticsWidget::kMargin - 2);
    EXPECT_TRUE(std::abs(box.r - 128) <= 4 && box.g <= 2) << int(box.r) << " " << int(box.g);
    Image image;
    ASSERT_TRUE(graphics->ReadRenderSurface(graphics->GetCanvas()->GetPrimarySurface(), image));
    int textPixels = 0;
    for (int y = StatisticsWidget::kMargin; y < StatisticsWidget::kMargin + 12; ++y) {
        for (int x = StatisticsWidget::kMargin; x < StatisticsWidget::kMargin + 120; ++x) {
            if (image.GetBuffer()[(size_t(y) * image.GetWidth() + size_t(x)) * 4 + 1] > 128) ++textPixels;
        }
    }
    EXPECT_TRUE(textPixels > 20 && engine.GetStatisticText().size() >= 9u) << textPixels;
    // The statistics box and its text are drawn, and counted.
    int drawCalls = 0;
    int faces = 0;
    for (const std::string& line : engine.GetStatisticText()) {
        if (line.find(" draw calls") != std::string::npos) std::sscanf(line.c_str(), "%d", &drawCalls);
        if (line.find(" FPS, ") != std::string::npos) std::sscanf(line.c_str(), "%*f FPS, %d", &faces);
    }
    EXPECT_TRUE(drawCalls > 0 && faces > 0) << drawCalls << " draws, " << faces << " faces";
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// A scene renderer that sends no frame constants: the mesh shaders' default ambient lights evenly.
// Draws in "ambientLightStyle" what add gives the renderer (with the region it stands for), 10
// pixels a unit, looking along +z from z = -10 (+x is to the left), over black; the pixels.
std::vector<uint32_t> DrawScene(Engine& engine, const std::function<void(GraphicsSceneRenderer&, Region*)>& add) {
    GraphicsEngine& graphics = *engine.GetGraphicsEngine();
    Camera camera;
    camera.SetType(CameraType::Orthographic);
    camera.SetWidth(64.0f);
    camera.SetHeight(48.0f);
    camera.SetCoords(Coords::Translation(Vec3(0.0f, 0.0f, -10.0f)));
    engine.Update(WorldFrustum(), true);
    engine.Render();
    graphics.GetRenderDevice()->SetClearColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    graphics.GetRenderDevice()->Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
    int regionKey = 0;
    PlainSceneRenderer renderer;
    renderer.SetViewer(nullptr, camera, Viewport(0, 0, kWidth, kHeight), Frustum());
    add(renderer, reinterpret_cast<Region*>(&regionKey));
    renderer.RenderStyle(*graphics.GetCanvas(), Name::Create("ambientLightStyle"));
    return ReadPrimaryPixels(graphics);
}

std::vector<int> Drawn(const std::vector<uint32_t>& pixels) { return FindDrawn(pixels, kWidth, kHeight, 0xFF000000u); }

TEST_F(EngineBootTest, TheSampleMeshesDrawWithTheStandardShadersAsPlacedAndPosed) {
    LogCapture log;
    const auto draw = [&](GraphicsMeshInstance& instance) {
        instance.PrepareForRendering();
        return DrawScene(engine, [&](GraphicsSceneRenderer& renderer, Region* region) {
            renderer.AddRenderable(&instance, region);
        });
    };
    const auto drawn = Drawn;

    GraphicsMeshInstance box;
    box.SetMesh(sample::kBoxMesh);
    box.GetMesh()->EnsureAvailable();
    box.SetScale(Vec3(4.0f, 2.0f, 1.0f));
    const std::vector<uint32_t> opaque = draw(box);
    EXPECT_EQ(drawn(opaque), (std::vector<int>{300, 230, 340, 250}));
    // At half opacity the 'T' form blends the same texels half over the black.
    box.SetSectionOpacity(0.5f, 0);
    const std::vector<uint32_t> half = draw(box);
    const size_t centre = size_t(240) * kWidth + 322;
    EXPECT_GT(opaque[centre] & 0xFFu, 40u);
    EXPECT_NEAR(double(half[centre] & 0xFFu), (opaque[centre] & 0xFFu) * 0.5, 3.0);
    // The dissolve and the ice draw too.
    box.SetSectionOpacity(1.0f, 0);
    box.BeginDissolve(255, 0, 0, 1.0f, "Textures/Checker.dds");
    EXPECT_EQ(drawn(draw(box)), (std::vector<int>{300, 230, 340, 250}));
    Vec3 movement;
    box.Update(1000, movement, false);
    box.InstallGMIEffect(new GMIEffectIcey(&box, nullptr, 1, 0.0f, 1.0f, 1.0f, "Textures/Checker.dds"));
    ASSERT_NE(box.GetOverrideShader(), nullptr);
    EXPECT_EQ(drawn(draw(box)), (std::vector<int>{300, 230, 340, 250}));

    // The creature's head, lifted a unit, raises the top of its silhouette by 10 pixels.
    GraphicsMeshInstance creature;
    creature.SetMesh(sample::kCreatureMesh);
    creature.GetMesh()->EnsureAvailable();
    const std::vector<int> standing = drawn(draw(creature));
    SkeletalPose pose;
    pose.SetBoneCoords(Name::Create("Head"), Coords::Translation(Vec3(0.0f, 1.0f, 0.0f)));
    creature.SetSkeletalPose(pose);
    creature.UpdatePose(nullptr, true);
    const std::vector<int> lifted = drawn(draw(creature));
    EXPECT_TRUE(standing[3] > standing[1] && lifted[1] == standing[1] - 10 && lifted[3] == standing[3]);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

TEST_F(EngineBootTest, TheSampleCreatureActorNodsAsItsAnimationPlays) {
    LogCapture log;
    const std::string text = std::string("Class,Actor,\nmesh,") + sample::kCreatureMesh + ",\n";
    LoadTable table("Records/Creature.dbr");
    ASSERT_TRUE(table.Parse(text.data(), uint32_t(text.size())));
    struct StepCounter : Actor {
        void AnimationCallback(int, const Name& point) override { steps += point == Name::Create("Step"); }
        int steps = 0;
    } actor;
    ASSERT_TRUE(actor.Load(table));
    ASSERT_NE(actor.GetMeshInstance(), nullptr);
    actor.GetMeshInstance()->GetMesh()->EnsureAvailable();
    const GraphicsAnim* wave = graphics->LoadAnimation(sample::kCreatureWaveAnimation);
    actor.GetMeshInstance()->GetAnimChannel(0).PlayAnimation(wave, true, 1.0f, 0);
    int regionKey = 0;
    actor.SetCoords(WorldCoords(reinterpret_cast<Region*>(&regionKey), Coords::Identity));
    const auto draw = [&] {
        return Drawn(
            DrawScene(engine, [&](GraphicsSceneRenderer& renderer, Region*) { actor.AddToScene(renderer, nullptr); }));
    };

    actor.Update(0);
    const std::vector<int> first = draw();
    EXPECT_GT(first[3], first[1]);
    actor.Update(250);  // frame 2.5: the head half a unit up, the root walking a unit a second
    const std::vector<int> second = draw();
    EXPECT_EQ(std::pair(second[1], second[3]), std::pair(first[1] - 5, first[3]));
    EXPECT_TRUE(std::fabs(actor.GetAnimationMovement().z - 1.0f) < 1e-3f && actor.steps == 0) << actor.GetAnimationMovement().z;
    actor.Update(300);  // past frame 5, where the creature steps
    EXPECT_EQ(actor.steps, 1);
    actor.StopAnimations();
    graphics->UnloadAnimation(wave);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// Starts the physics sample on the level and steps the physics about centre until nothing in
// entities simulates any more; the steps taken (2000 when something never came to rest).
int SimulateUntilAtRest(PhysicsEngine& physics, const WorldVec3& centre, Level& level, const mem::vector<Entity*>& entities) {
    physics.Simulate(centre, 0.0f);
    EXPECT_TRUE(sample::StartPhysicsSample(level));
    physics.Simulate(centre, physics.GetStepSize());
    EXPECT_TRUE(std::any_of(entities.begin(), entities.end(),  // falling
                            [](const Entity* e) { return static_cast<const Actor*>(e)->GetVelocity().y < 0.0f; }));
    int steps = 0;
    for (; steps < 2000 && std::any_of(entities.begin(), entities.end(), [](const Entity* e) { return e->IsSimulationEnabled(); });
         ++steps)
        physics.Simulate(centre, physics.GetStepSize());
    return steps;
}

// The physics sample in the booted engine's world: the crates fall and rest on the ground (the
// upper of a pair on the lower), and the creature falls down the slope as a rag doll of its mesh.
TEST_F(EngineBootTest, TheSampleCratesRestOnTheGroundAndEachOtherAndTheRagDollFallsDownTheSlope) {
    LogCapture log;
    World& world = *engine.GetWorld();
    Region* region = world.GetRegion(world.AddRegion("Physics", IntVec3(), ABBox(), RegionId()));
    auto level = std::make_unique<Level>(region);
    ASSERT_TRUE(level->Load(sample::kPhysicsLevel, false));
    level->PostLoad(false);
    region->SetLevel(std::move(level));
    world.UpdateRegionBoundingBox(region->GetLevel());
    mem::vector<Entity*> entities;
    region->GetLevel()->GetEntities(entities);
    ASSERT_EQ(entities.size(), size_t(sample::kPhysicsCrates + 1));
    Actor* doll = nullptr;
    for (Entity* entity : entities) {
        auto* actor = static_cast<Actor*>(entity);
        ASSERT_NE(actor->GetMeshInstance(), nullptr);
        actor->GetMeshInstance()->GetMesh()->EnsureAvailable();
        actor->Update(0);  // the world's first update of the entity, which boxes it
        if (actor->GetMeshInstance()->GetMesh()->GetNumRigidBodyDescriptions() > 0) doll = actor;
    }
    ASSERT_NE(doll, nullptr);
    GraphicsMeshInstance& body = *doll->GetMeshInstance();
    const Name root = Name::Create("Root");
    const Vec3 rootStart = body.GetMesh()->GetAbsCoords(body.GetSkeletalPose(), root).origin;

    // The crates in pairs, each pair dropped over one spot: [lower, upper].
    const auto position = [](const Entity* entity) { return entity->GetCoords().GetRegionCoords().origin; };
    std::vector<std::pair<const Entity*, const Entity*>> pairs;
    for (const Entity* lower : entities) {
        for (const Entity* upper : entities) {
            const Vec3 gap = position(upper) - position(lower);
            if (lower != doll && upper != doll && gap.y > 1.0f && std::hypot(gap.x, gap.z) < 1.0f)
                pairs.emplace_back(lower, upper);
        }
    }
    ASSERT_EQ(pairs.size(), size_t(sample::kPhysicsCrates / 2));

    PhysicsEngine& physics = *engine.GetPhysicsEngine();
    const WorldVec3 centre(region, Vec3(16, 0, 16));
    EXPECT_LT(SimulateUntilAtRest(physics, centre, *region->GetLevel(), entities), 2000);

    // Each lower crate on the ground, each upper one on its lower one: not sunk into it, not off it.
    for (const auto& [lower, upper] : pairs) {
        const Vec3 base = position(lower);
        EXPECT_NEAR(base.y - sample::PhysicsGroundHeight(base.x), 0.5f, 0.1f) << lower->GetObjectId();
        const Vec3 gap = position(upper) - base;
        EXPECT_TRUE(gap.y > 0.9f && gap.y < 1.3f && std::hypot(gap.x, gap.z) < 0.6f) << upper->GetObjectId();
    }
    // The rag doll has posed the creature lying on the slope below where it started (the actor
    // itself stays put), every bone finite.
    const Vec3 rootEnd = body.GetMesh()->GetAbsCoords(body.GetSkeletalPose(), root).origin;
    EXPECT_TRUE(rootEnd.y < rootStart.y - 1.5f && rootEnd.x < rootStart.x);
    // The level has filed the creature where it lies, so the world finds it there.
    const Vec3 lying = doll->GetCoords().GetRegionCoords().TransformPoint(rootEnd);
    mem::vector<Entity*> found;
    world.GetEntitiesInBox(found, ABBox(lying, Vec3(0.1f, 0.1f, 0.1f)), region, false);
    EXPECT_TRUE(std::find(found.begin(), found.end(), doll) != found.end());
    body.UpdatePose(nullptr, true);
    for (const Coords& bone : body.GetBoneCoords()) EXPECT_TRUE(bone.origin.IsValid());
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// The yard of the sample world's first region: its crates drop and come to rest on the ground by
// the fire, and its rag doll falls and lies on the ground.
TEST_F(EngineBootTest, TheYardsCratesSettleOnTheGroundAndItsRagDollLiesOnIt) {
    LogCapture log;
    World& world = *engine.GetWorld();
    ASSERT_TRUE(world.Load(sample::kSampleMap, true, true));
    Region* region = world.GetRegion(0);
    ASSERT_TRUE(region->LoadLevel(false));
    std::string crate = sample::kCrateRecord;
    std::string doll = sample::kRagDollRecord;
    FileSystem::ConvertFileName(crate);
    FileSystem::ConvertFileName(doll);
    mem::vector<Entity*> all;
    mem::vector<Entity*> entities;  // the crates and the rag doll
    region->GetLevel()->GetEntities(all);
    Actor* ragDoll = nullptr;
    for (Entity* entity : all) {
        if (entity->GetObjectName() != crate && entity->GetObjectName() != doll) continue;
        auto* actor = static_cast<Actor*>(entity);
        actor->GetMeshInstance()->GetMesh()->EnsureAvailable();
        actor->Update(0);
        entities.push_back(actor);
        if (entity->GetObjectName() == doll) ragDoll = actor;
    }
    ASSERT_EQ(entities.size(), size_t(sample::kYardCrates + sample::kYardRagDolls));
    ASSERT_NE(ragDoll, nullptr);
    GraphicsMeshInstance& body = *ragDoll->GetMeshInstance();
    const Name root = Name::Create("Root");

    // The first region's space is the world's.
    const WorldVec3 centre(region, Vec3(sample::kMarksCentre.x, sample::kWorldGroundHeight, sample::kMarksCentre.y));
    EXPECT_LT(SimulateUntilAtRest(*engine.GetPhysicsEngine(), centre, *region->GetLevel(), entities), 2000);
    for (const Entity* entity : entities) {
        if (entity == ragDoll) continue;
        const Vec3 at = entity->GetCoords().GetRegionCoords().origin;
        EXPECT_NEAR(at.y - sample::WorldGroundHeight(at.x, at.z), sample::kYardCrateRestHeight, 0.15f) << entity->GetObjectId();
    }
    // The creature's root (in the actor's space, 2 units over the ground) has come down to lie
    // just over the ground.
    const Vec3 rootEnd = body.GetMesh()->GetAbsCoords(body.GetSkeletalPose(), root).origin;
    EXPECT_TRUE(rootEnd.y > -2.0f && rootEnd.y < -1.5f) << rootEnd.y;
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

// Between two points of the flight the view eases from the one to the other, its yaw turning the
// shorter way round (either way, and across 0); a leg to or from an interior cuts half way.
TEST(SampleFlightLeg, TheViewEasesBetweenThePointsTurningTheShorterWayRound) {
    for (const auto& [fromYaw, toYaw, turn] :
         {std::tuple{300.0f, 20.0f, 80.0f}, {20.0f, 300.0f, -80.0f}, {10.0f, 100.0f, 90.0f}, {90.0f, -60.0f, -150.0f}}) {
        const sample::FlightPoint from{"from", Vec2(0.0f, 10.0f), fromYaw, 40.0f, 20.0f};
        const sample::FlightPoint to{"to", Vec2(8.0f, -6.0f), toYaw, 60.0f, 30.0f};
        for (const auto& [fraction, eased] : {std::pair{0.0f, 0.0f}, {0.25f, 0.15625f}, {0.5f, 0.5f}, {1.0f, 1.0f}}) {
            const sample::FlightPoint view = sample::ViewAlongLeg(from, to, fraction);
            SCOPED_TRACE(std::to_string(fromYaw) + " to " + std::to_string(toYaw) + " at " + std::to_string(fraction));
            EXPECT_NEAR(std::remainder(view.yaw - (fromYaw + turn * eased), 360.0f), 0.0f, 1e-3f) << view.yaw;
            EXPECT_TRUE(view.place == Vec2(8.0f * eased, 10.0f - 16.0f * eased) && view.pitch == 40.0f + 20.0f * eased &&
                        view.distance == 20.0f + 10.0f * eased && !view.interior);
        }
    }
    const sample::FlightPoint out{"out", Vec2(0.0f, 0.0f), 0.0f, 30.0f, 20.0f}, in{"in", Vec2(4.0f, 4.0f), 90.0f, 60.0f, 10.0f, true};
    for (const auto& [from, to, fraction, seen] : {std::tuple{&out, &in, 0.49f, &out}, {&out, &in, 0.5f, &in}, {&in, &out, 0.49f, &in}}) {
        const sample::FlightPoint view = sample::ViewAlongLeg(*from, *to, fraction);
        EXPECT_TRUE(view.name == seen->name && view.place == seen->place && view.yaw == seen->yaw &&
                    view.pitch == seen->pitch && view.distance == seen->distance && view.interior == seen->interior)
            << from->name << " " << fraction;
    }
}

// The sample flight at 60 frames a second, twelve frames a leg as the host's test flies it: the
// regions of the first view are read before the first frame, and every other region on the level
// loading thread ahead of the camera, so after the first frame no level is read, or waited for,
// on the main thread.
TEST_F(EngineBootTest, TheFlightNeverReadsARegionOnTheMainThreadAfterItsFirstFrame) {
    LevelLoadingThread::Get().SetManual(false);
    ASSERT_TRUE(files.AddDirectory(user.GetPath(), true));  // the fog of war of the regions left is saved
    LogCapture log;
    auto flight = std::make_unique<sample::SampleFlight>(engine, 12 * (int(sample::kFlightPath.size()) - 1));
    ASSERT_TRUE(flight->IsReady());
    const ptrdiff_t loadedFirst = ptrdiff_t(engine.GetWorld()->GetLoadedRegions().size());  // each drawn offscreen
    // Each point of the path is reached once, in the frame the camera arrives there: the last on
    // the last frame.
    std::vector<int> arrivals;
    const auto step = [&] {
        flight->Step([&](int point) {
            if (point >= 0) arrivals.push_back(point * 1000 + flight->GetFrame());
        });
    };
    step();
    const size_t firstFrame = log.Lines().size();
    while (!flight->IsDone()) step();
    EXPECT_EQ(arrivals, (std::vector<int>{1012, 2024, 3036, 4048, 5060, 6072, 7083}));
    const std::vector<LogCapture::Line> lines = log.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.begin() + ptrdiff_t(firstFrame),
                            [](const LogCapture::Line& line) { return line.text.starts_with("Warm-up: "); }),
              loadedFirst);
    for (size_t i = firstFrame; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text.find("in main thread"), std::string::npos) << lines[i].text;
        EXPECT_EQ(lines[i].text.find("Main thread sleeping"), std::string::npos) << lines[i].text;
    }
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    flight.reset();
    engine.Shutdown();  // which stops the world's threads
    EXPECT_EQ(std::pair(LevelLoadingThread::Get().IsRunning(), FOWSavingThread::Get().IsRunning()),
              std::pair(false, false));
}

}  // namespace
}  // namespace GAME::test
