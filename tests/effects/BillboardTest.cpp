// Billboards on the GL device: the quad stands at its point facing the camera, the same square from
// every side; the record's size gives the box, and picking skips surface 0.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/Intersection.h"
#include "core/Ray.h"
#include "core/Singleton.h"
#include "effects/Billboard.h"
#include "engine/ObjectManager.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "files/LoadTable.h"
#include "files/TableDepot.h"
#include "render/Camera.h"
#include "render/GraphicsShader2.h"
#include "render/GraphicsTexture.h"
#include "render/ShaderFileWriter.h"
#include "scene/GraphicsSceneRenderer.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"
#include "support/PlainSceneRenderer.h"
#include "world/Region.h"

namespace GAME {
namespace {

constexpr const char* kShader = "Shaders/TestBillboard.ssh";

// Spreads the corners along the camera's right and up (the first two rows of objectToScreen) by
// the half size in texture coordinate 2's y; white.
const char* const kVertexProgram = R"(
void main() {
    vec3 right = normalize(vc[0].xyz);
    vec3 up = normalize(vc[1].xyz);
    vec2 offset = (a_texcoord0.xy * 2.0 - 1.0) * a_texcoord2.y;
    vec4 p = vec4(a_position.xyz + right * offset.x + up * offset.y, 1.0);
    gl_Position = vec4(dot(vc[0], p), dot(vc[1], p), dot(vc[2], p), dot(vc[3], p));
    v_color = a_color;
    v_uv0 = a_texcoord0.xy;
}
)";
const char* const kPixelProgram = R"(
void main() {
    o_color = v_color;
}
)";

std::vector<uint8_t> ShaderFile() {
    ShaderFileSection section;
    section.generation = "GeForce6";
    section.values = {ShaderFileValue::VertexProgram(kVertexProgram, {{0, 4, false, 0}}),
                      ShaderFileValue::PixelProgram(kPixelProgram, {}), ShaderFileValue::Int(0)};
    section.parameters = {{"objectToScreenMatrix", ShaderValueType::Float4x4, 1, ShaderFileParameter::kNoDefault}};
    section.styles = {{"normal",
                       0,
                       {ShaderStateRecord{ShaderStateCode::VertexProgram, 0, true, 0},
                        ShaderStateRecord{ShaderStateCode::PixelProgram, 0, true, 1},
                        ShaderStateRecord{ShaderStateCode::CullMode, 0, true, 2}}}};
    BinaryWriter writer;
    ShaderFileWriter::Write(writer, {section});
    return std::vector<uint8_t>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

TEST(BillboardTest, FacesTheCameraFromEverySide) {
    {
        Billboard offline;  // without an engine it loads and makes nothing, and draws in no order
        EXPECT_TRUE(offline.Load(LoadTable()) &&
                    offline.GetRenderPassSortOrder(0, Name(), RenderGenerationId::GeForce6) == 0);
    }
    test::GLEngineBed bed;
    test::LogCapture log;
    ASSERT_TRUE(bed.IsReady());
    bed.WriteFile(kShader, ShaderFile());
    bed.WriteFile(Billboard::kDefaultShader, ShaderFile());
    const std::string record = std::string("Class,Billboard,\nshaderFileName,") + kShader + ",\nsize.x,2,\nsize.y,5,\n";
    bed.WriteFile("Billboard.dbr", std::vector<uint8_t>(record.begin(), record.end()));
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(bed.GetDirectory().GetPath()));
    TableDepot records(files);
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);
    const std::pair<int, int> held = bed.HeldResources();

    Region region(nullptr, 0, "Place", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    auto* billboard = Singleton<ObjectManager>::Get()->CreateObjectFromFile<Billboard>("Billboard.dbr");
    ASSERT_NE(billboard, nullptr);
    ASSERT_NE(billboard->GetShader2(0, Name()), nullptr);
    // The point is 1.5 above the origin; the box's half size is the larger size.
    billboard->SetCoords(WorldCoords(&region, Coords::Translation(Vec3(1.0f, 0.5f, -2.0f))));
    billboard->SetOffsetFromOrigin(Vec3(0.0f, 1.5f, 0.0f));
    const Vec3 point(1.0f, 2.0f, -2.0f);
    EXPECT_EQ(billboard->GetRenderPassBoundingBox(), ABBox(point, Vec3(5.0f, 5.0f, 5.0f)));
    Intersection hit;
    const Ray ray(point + Vec3(0.0f, 0.0f, -20.0f), Vec3(0.0f, 0.0f, 1.0f));
    EXPECT_FALSE(
        billboard->GetIntersection(Ray(point + Vec3(9.0f, 0.0f, -20.0f), ray.direction), hit, PhysicsSurface::Grass));
    EXPECT_TRUE(billboard->GetIntersection(ray, hit, PhysicsSurface::Grass) && std::fabs(hit.distance - 15.0f) < 1e-4f &&
                hit.surface == PhysicsSurface::Unwalkable) << hit.distance;
    EXPECT_FALSE(billboard->GetIntersection(ray, hit, PhysicsSurface{0}) || hit.distance < Infinity);

    // Seen from 8 away with a 90-degree view, the quad of half size 2 is a 16-pixel square in the
    // middle of the 128 x 64 target, whichever way the camera looks at it.
    Camera camera;
    camera.SetType(CameraType::Perspective);
    camera.SetFOV(1.5707963f);
    for (const auto& [yaw, pitch] : {std::pair{0.0f, 0.0f}, {1.2f, 0.0f}, {-2.5f, 0.3f}, {0.7f, -1.1f}}) {
        const Vec3 look(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch));
        Coords coords;
        coords.zAxis = look;
        coords.xAxis = Cross(Vec3(0.0f, 1.0f, 0.0f), look) * (1.0f / Cross(Vec3(0.0f, 1.0f, 0.0f), look).Length());
        coords.yAxis = Cross(look, coords.xAxis);
        coords.origin = point - look * 8.0f;
        camera.SetCoords(coords);
        bed.Clear();
        test::PlainSceneRenderer renderer;
        renderer.SetViewer(nullptr, camera, Viewport(0, 0, test::GLEngineBed::kWidth, test::GLEngineBed::kHeight),
                           Frustum());
        billboard->AddToScene(renderer, nullptr);
        renderer.RenderStyle(bed.Canvas(), Name::Create("normal"));
        const std::vector<int> drawn = bed.FindDrawn(0xFF000000u);
        ASSERT_EQ(drawn.size(), 4u);
        const std::vector<int> expected = {56, 24, 72, 40};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(drawn[size_t(i)], expected[size_t(i)], 1) << yaw << ", " << pitch;
    }
    // A missing record stands in as a billboard of the missing-record texture, 1.5 above its place.
    auto* standIn = static_cast<Billboard*>(Billboard::MakeMissingRecordStandIn("Records/Gone.dbr"));
    EXPECT_TRUE(standIn->GetObjectName() == "Records/Gone.dbr" && standIn->GetOffsetFromOrigin() == Vec3(0.0f, 1.5f, 0.0f));
    EXPECT_TRUE(standIn->GetTexture(0, Name())->GetFileName() == Billboard::kMissingRecordTexture &&
                standIn->GetShader2(0, Name())->GetFileName() == Billboard::kDefaultShader);
    for (Entity* entity : std::initializer_list<Entity*>{billboard, standIn})
        Singleton<ObjectManager>::Get()->DestroyObjectEx(entity, __FILE__, __LINE__);
    Singleton<ObjectManager>::Get()->DestroyPendingObjects(-1);
    EXPECT_EQ(bed.HeldResources(), held);  // the shader the record replaced too
    Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME
