// Indexed and non-indexed draws through GLSL programs: constants as rows, vertex layouts, buffers,
// depth, alpha test, clip planes and culling, read back as pixels.

#include "DeviceTest.h"

#include "core/Mat4.h"
#include "core/Plane.h"
#include "core/Vec2.h"
#include "devices/GLSamplerCache.h"
#include "support/LogCapture.h"

#include <bit>
#include <cstring>
#include <utility>

namespace GAME::test {
namespace {

// A vertex with a position, a packed colour and a texture coordinate.
struct Vertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};

const RenderVertexElement kLayout[] = {
    {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
    {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
    {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
};

// Transforms by the rows vc[0..3] and passes colour and texture coordinate on.
const char* const kRowsVertexProgram = R"(
void main() {
    gl_Position = vec4(dot(vc[0], a_position), dot(vc[1], a_position), dot(vc[2], a_position),
                       dot(vc[3], a_position));
    v_uv0 = a_texcoord0.xy;
    v_color = a_color;
}
)";

class GLDeviceDrawTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ == nullptr) {
            return;
        }
        declaration_ = device_->CreateVertexDeclaration(kLayout, 3);
        ASSERT_NE(declaration_, nullptr);
        EXPECT_EQ(declaration_->GetStride(), sizeof(Vertex));
        ClearTo(Color(0, 0, 0, 1));
    }
    void TearDown() override {
        if (device_ != nullptr) {
            device_->SetVertexDeclaration(nullptr);
            device_->DestroyVertexDeclaration(declaration_);
        }
        DeviceTest::TearDown();
    }

    // A static vertex buffer holding the vertices.
    RenderVertexBuffer* MakeVertices(const std::vector<Vertex>& vertices) {
        const uint32_t bytes = uint32_t(vertices.size() * sizeof(Vertex));
        RenderVertexBuffer* buffer = device_->CreateVertexBuffer(0, bytes);
        auto* target = static_cast<uint8_t*>(buffer->Lock(sizeof(Vertex), 0, 0));  // all past the first
        std::memcpy(target, vertices.data() + 1, bytes - sizeof(Vertex));
        buffer->Unlock();
        target = static_cast<uint8_t*>(buffer->Lock(0, sizeof(Vertex), 0));
        EXPECT_EQ(std::vector(target, target + sizeof(Vertex)), std::vector<uint8_t>(sizeof(Vertex)));  // zeroed
        std::memcpy(target, vertices.data(), sizeof(Vertex));
        buffer->Unlock();
        return buffer;
    }
    // A quad in clip space from (x0, y0) to (x1, y1) at depth z: top-left, top-right, bottom-left,
    // bottom-right (y up).
    static std::vector<Vertex> Quad(float x0, float y0, float x1, float y1, float z, uint32_t color) {
        return {{x0, y1, z, color, 0, 0}, {x1, y1, z, color, 1, 0}, {x0, y0, z, color, 0, 1}, {x1, y0, z, color, 1, 1}};
    }
    // Draws the vertices as a strip (no index buffer), the stride the declaration's (stride 0), or
    // as count primitives of another type.
    void DrawStrip(const std::vector<Vertex>& vertices, RenderPrimitiveType type = RenderPrimitiveType::TriangleStrip,
                   uint32_t count = 0) {
        RenderVertexBuffer* buffer = MakeVertices(vertices);
        device_->SetVertexDeclaration(declaration_);
        device_->SetStreamSource(0, buffer, 0, 0);
        device_->DrawPrimitive(type, 0, count != 0 ? count : uint32_t(vertices.size() - 2));
        device_->DestroyVertexBuffer(buffer);
    }

    RenderVertexDeclaration* declaration_ = nullptr;
};

TEST_F(GLDeviceDrawTest, TexturedIndexedTrianglesThroughProgramsWithConstantRows) {
    RenderVertexShader* vertexShader = MakeVertexShader(kRowsVertexProgram);
    RenderPixelShader* pixelShader = MakePixelShader(R"(
uniform sampler2D s0, s8;  // s8 names no stage: left on unit 0, it reads what s0 reads
void main() { o_color = min(texture(s0, v_uv0), texture(s8, v_uv0)) * v_color * pc[2]; }
)");
    // Texels 0xAARRGGBB, top row first: red, green / blue, white.
    const uint32_t texels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    RenderTexture* texture = device_->CreateTextureFromPixels(2, 2, texels, 1, 0);
    // The unit square (x right, y down, v = y) onto the top-left quarter of the target. The
    // translation makes a row / column mix-up visible.
    const Mat4 toClip(1, 0, 0, -1, 0, -1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1);
    device_->SetVertexShaderConstants(0, toClip.GetData(), 4);
    const float tint[4] = {1.0f, 1.0f, 0.5f, 1.0f};
    device_->SetPixelShaderConstants(2, tint, 1);
    const std::vector<Vertex> vertices = {
        {0, 0, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 0, 0.5f, 0xFFFFFFFF, 1, 0},
        {0, 1, 0.5f, 0xFFFFFFFF, 0, 1}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 1}};
    RenderVertexBuffer* buffer = MakeVertices(vertices);
    RenderIndexBuffer* indices = device_->CreateIndexBuffer(6, RenderIndexFormat::Index16);
    const uint16_t triangles[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(indices->Lock(), triangles, sizeof(triangles));
    indices->Unlock();

    device_->SetVertexShader(vertexShader);
    device_->SetPixelShader(pixelShader);
    device_->SetTexture(0, texture);
    device_->SetSamplerState(0, RenderSamplerState::MagFilter, 0);
    device_->SetVertexDeclaration(declaration_);
    device_->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    device_->SetIndices(indices);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);

    EXPECT_EQ(std::vector({PrimaryPixel(8, 8), PrimaryPixel(24, 8), PrimaryPixel(8, 24), PrimaryPixel(24, 24),
                           PrimaryPixel(40, 8), PrimaryPixel(8, 40)}),
              std::vector({Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 128), Rgba(255, 255, 128), Rgba(0, 0, 0),
                           Rgba(0, 0, 0)}));

    // Registers are device-global: a second program pair reads the same ones.
    RenderPixelShader* constant = MakePixelShader("void main() { o_color = pc[2]; }\n");
    device_->SetPixelShader(constant);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    device_->DestroyPixelShader(constant);
    device_->DrawRect(Rect(0, 0, 1, 1), 0xFFFFFFFF, 0.0f);  // with another program
    glFinish();  // the draws in flight let go of the pair's, which went with its pixel program
    EXPECT_EQ(std::pair(PrimaryPixel(8, 8), bool(glIsProgram(GLuint(program)))), std::pair(Rgba(255, 255, 128), false));
    device_->DestroyIndexBuffer(indices);
    device_->DestroyVertexBuffer(buffer);
    device_->DestroyTexture(texture);
    device_->DestroyVertexShader(vertexShader);
    device_->DestroyPixelShader(pixelShader);
}

TEST_F(GLDeviceDrawTest, PackedColoursAndTwoStreams) {
    // Without programs, positions are clip space and the colour attribute shades.
    DrawStrip(Quad(-1, -1, 0, 1, 0.5f, 0xFF102030));
    EXPECT_EQ(PrimaryPixel(10, 10), Rgba(0x10, 0x20, 0x30));

    // Positions from stream 0, colours from stream 1; an element's offset counts per stream.
    const RenderVertexElement split[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {1, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
    };
    RenderVertexDeclaration* declaration = device_->CreateVertexDeclaration(split, 2);
    ASSERT_NE(declaration, nullptr);
    const float positions[4][3] = {{0, 1, 0}, {1, 1, 0}, {0, -1, 0}, {1, -1, 0}};
    const uint32_t colors[4] = {0xFF405060, 0xFF405060, 0xFF405060, 0xFF405060};
    RenderVertexBuffer* first = device_->CreateVertexBuffer(0, sizeof(positions));
    std::memcpy(first->Lock(0, 0, 0), positions, sizeof(positions));
    first->Unlock();
    RenderVertexBuffer* second = device_->CreateVertexBuffer(0, sizeof(colors) + 4);
    std::memcpy(static_cast<uint8_t*>(second->Lock(0, 0, 0)) + 4, colors, sizeof(colors));
    second->Unlock();
    device_->SetVertexDeclaration(declaration);
    device_->SetStreamSource(0, first, 0, 12);
    device_->SetStreamSource(1, second, 4, 4);
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);
    EXPECT_EQ(std::pair(PrimaryPixel(50, 10), PrimaryPixel(10, 10)),
              std::pair(Rgba(0x40, 0x50, 0x60), Rgba(0x10, 0x20, 0x30)));
    device_->SetVertexDeclaration(nullptr);
    device_->DestroyVertexDeclaration(declaration);
    for (RenderVertexBuffer* buffer : {first, second}) device_->DestroyVertexBuffer(buffer);

    // Layouts the device cannot bind are refused.
    const RenderVertexElement twice[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float2},
    };
    EXPECT_EQ(device_->CreateVertexDeclaration(twice, 2), nullptr);
    for (const RenderVertexElement& bad :
         {RenderVertexElement{4, RenderVertexUsage::Position, RenderVertexElementType::Float3},
          RenderVertexElement{0, RenderVertexUsage::Position, RenderVertexElementType(0)}})
        EXPECT_EQ(device_->CreateVertexDeclaration(&bad, 1), nullptr);  // stream 4 (0 to 3 are), no such type
}

TEST_F(GLDeviceDrawTest, DepthRunsFromZeroToOneAndTestsAsSet) {
    // Draws a quad over the whole target at depth z, and answers the pixel at (5, 5).
    const auto draw = [&](float z, uint32_t color) {
        DrawStrip(Quad(-1, -1, 1, 1, z, color));
        return PrimaryPixel(5, 5);
    };
    draw(0.5f, 0xFFFF0000);
    EXPECT_EQ(draw(0.75f, 0xFF00FF00), Rgba(255, 0, 0));  // behind: hidden
    EXPECT_EQ(draw(0.0f, 0xFF0000FF), Rgba(0, 0, 255));   // the near plane itself is inside
    ClearTo(Color(0, 0, 0, 1));
    draw(-0.01f, 0xFF0000FF);                            // in front of the near plane: clipped
    EXPECT_EQ(draw(1.01f, 0xFF0000FF), Rgba(0, 0, 0));   // beyond the far plane: clipped
    EXPECT_EQ(draw(1.0f, 0xFFFF0000), Rgba(255, 0, 0));  // the far plane passes less-equal

    device_->SetDepthTestFunction(RenderTestFunction::Greater);
    device_->SetDepthWriteMode(RenderWriteMode::Off);
    EXPECT_EQ(draw(0.5f, 0xFF00FF00), Rgba(255, 0, 0));  // nearer: fails "greater"
    device_->SetDepthTestFunction(RenderTestFunction::Always);
    EXPECT_EQ(draw(0.9f, 0xFF00FF00), Rgba(0, 255, 0));
    device_->SetDepthTestFunction(RenderTestFunction::Less);
    EXPECT_EQ(draw(0.95f, 0xFF0000FF), Rgba(0, 0, 255));  // depth still 1.0: writes were off
}

TEST_F(GLDeviceDrawTest, AlphaTestRunsAfterThePixelProgram) {
    RenderPixelShader* translucent = MakePixelShader("void main() { o_color = vec4(1.0, 1.0, 0.0, pc[0].x); }\n");
    device_->SetPixelShader(translucent);
    device_->SetAlphaReference(0.2f);
    // Each function, for alpha below, at and above the reference: which pass, as written.
    const char* const passes[] = {"---", "x--", "-x-", "xx-", "--x", "x-x", "-xx", "xxx"};
    for (uint32_t function = 0; function < std::size(passes); ++function) {
        device_->SetAlphaTestFunction(RenderTestFunction(function));
        std::string passed;
        for (const float alpha : {0.1f, 0.2f, 0.3f}) {
            ClearTo(Color(0, 0, 0, 1));
            const float constant[4] = {alpha, 0, 0, 0};
            device_->SetPixelShaderConstants(0, constant, 1);
            DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFFFFFF));
            const uint32_t pixel = PrimaryPixel(5, 5);
            passed += pixel == Rgba(0, 0, 0)                                           ? '-'
                      : Near(pixel, Rgba(255, 255, 0, uint8_t(alpha * 255 + 0.5f)), 1) ? 'x'
                                                                                       : '?';
        }
        EXPECT_EQ(passed, passes[function]) << function;
    }
    device_->SetAlphaTestFunction(RenderTestFunction::Greater);
    device_->SetPixelShader(nullptr);
    device_->DestroyPixelShader(translucent);

    // The device's own programs are tested too: the canvas's 0.05 cut-off on a textured rectangle.
    ClearTo(Color(0, 0, 0, 1));
    device_->SetAlphaReference(0.05f);
    device_->DrawRect(Rect(0, 0, 8, 8), 0x03FFFFFF, 0.0f);  // alpha 3/255: discarded
    device_->DrawRect(Rect(8, 0, 8, 8), 0x80FFFFFF, 0.0f);
    EXPECT_EQ(std::pair(PrimaryPixel(2, 2), PrimaryPixel(10, 2)), std::pair(Rgba(0, 0, 0), Rgba(255, 255, 255, 128)));
}

TEST_F(GLDeviceDrawTest, ClipPlanesAreInClipSpace) {
    // Keep x >= 0: the right half.
    device_->SetClipPlane(0, Plane(Vec3(1, 0, 0), 0));
    // Keep y <= 0.5 w: everything below the top quarter (clip y runs up).
    device_->SetClipPlane(3, Plane(Vec3(0, -1, 0), 0.5f));
    DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000));
    EXPECT_EQ(std::vector({PrimaryPixel(20, 40), PrimaryPixel(40, 40), PrimaryPixel(40, 10)}),
              std::vector({Rgba(0, 0, 0), Rgba(255, 0, 0), Rgba(0, 0, 0)}));
    EXPECT_EQ(glIsEnabled(GL_CLIP_DISTANCE0) + glIsEnabled(GL_CLIP_DISTANCE3) + glIsEnabled(GL_CLIP_DISTANCE1), 2);
    for (const uint32_t plane : {0u, 3u}) device_->ClearClipPlane(plane);
    DrawStrip(Quad(-1, -1, 1, 1, 0.4f, 0xFF00FF00));
    EXPECT_EQ(std::pair(PrimaryPixel(20, 10), glIsEnabled(GL_CLIP_DISTANCE0) + glIsEnabled(GL_CLIP_DISTANCE3)),
              std::pair(Rgba(0, 255, 0), 0));
}

TEST_F(GLDeviceDrawTest, CullModesNameTheWindingSeenOnTheTarget) {
    // Top-left, top-right, bottom-left: clockwise as seen on the target.
    const std::vector<Vertex> clockwise = {
        {-1, 1, 0.5f, 0xFFFF0000, 0, 0}, {1, 1, 0.5f, 0xFFFF0000, 0, 0}, {-1, -1, 0.5f, 0xFFFF0000, 0, 0}};
    auto draw = [&](uint32_t mode, bool reversed = false) {
        ClearTo(Color(0, 0, 0, 1));
        device_->SetRenderStateA(mode);
        RenderVertexBuffer* buffer = MakeVertices({clockwise[0], clockwise[1 + reversed], clockwise[2 - reversed]});
        device_->SetVertexDeclaration(declaration_);
        device_->SetStreamSource(0, buffer, 0, sizeof(Vertex));
        device_->DrawPrimitive(RenderPrimitiveType::TriangleList, 0, 1);
        device_->DestroyVertexBuffer(buffer);
        return PrimaryPixel(5, 5);
    };
    EXPECT_EQ(std::vector({draw(0), draw(1), draw(2), draw(2, true), draw(3, true)}),
              std::vector({Rgba(255, 0, 0), Rgba(0, 0, 0), Rgba(255, 0, 0), Rgba(0, 0, 0), Rgba(255, 0, 0)}));
}

// Of lines across the target at rows 8, 24 and 40, a list of two draws the first two (two
// vertices a line), a strip of two the first and a diagonal (one vertex more than its lines); two
// triangles of a strip or a fan fill the band between the first two lines (two vertices more).
TEST_F(GLDeviceDrawTest, LineListsAndStripsTakeTheirVertexCounts) {
    std::vector<Vertex> ends;
    for (const float row : {8.25f, 24.25f, 40.25f})
        for (const float x : {-1.0f, 1.0f}) ends.push_back({x, 1.0f - row / 32.0f, 0.5f, 0xFFFFFFFF, 0, 0});
    const uint32_t white = 0xFFFFFFFF, black = Rgba(0, 0, 0);
    for (const auto& [type, second, band] : {std::tuple(RenderPrimitiveType::LineList, white, black),
                                             {RenderPrimitiveType::LineStrip, black, black},
                                             {RenderPrimitiveType::TriangleStrip, black, white},
                                             {RenderPrimitiveType::TriangleFan, black, white}}) {
        ClearTo(Color(0, 0, 0, 1));
        DrawStrip(ends, type, 2);
        EXPECT_EQ(std::vector({PrimaryPixel(20, 8), PrimaryPixel(20, 24), PrimaryPixel(20, 40), PrimaryPixel(50, 22)}),
                  std::vector({white, second, black, band}));
    }
}

TEST_F(GLDeviceDrawTest, DynamicBuffersDrawWhatTheLastLockHolds) {
    const size_t available = device_->GetAvailableVideoMemory();
    RenderDynamicVertexBuffer* vertices = device_->CreateDynamicVertexBuffer(4 << 20);
    RenderDynamicIndexBuffer* indices = device_->CreateDynamicIndexBuffer(4 << 20);
    ASSERT_TRUE(vertices != nullptr && indices != nullptr);
    LogCapture log;
    EXPECT_TRUE(vertices->Lock(0) == nullptr && vertices->Lock((4 << 20) + 1) == nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "lock of 4194305 bytes refused (capacity 4194304)."));
    RenderDynamicIndexBuffer* small = device_->CreateDynamicIndexBuffer(64);
    ASSERT_NE(small->Lock(16), nullptr);  // exactly its 16 indices
    small->Unlock();
    EXPECT_TRUE(small->Lock(17) == nullptr && log.Contains(LogPriority::Error, "of 17 indices refused (capacity 16)."));
    device_->DestroyDynamicIndexBuffer(small);

    // An earlier lock leaves other data in the ring; draws read the last lock's range only.
    std::memset(vertices->Lock(1009), 0x7F, 1009);
    vertices->Unlock();
    const std::vector<Vertex> quad = Quad(-1, 0, 0, 1, 0.5f, 0xFF00FF00);  // top-left quarter
    std::memcpy(vertices->Lock(uint32_t(quad.size() * sizeof(Vertex))), quad.data(), quad.size() * sizeof(Vertex));
    vertices->Unlock();
    indices->Lock(10);
    indices->Unlock();
    const uint32_t triangles[6] = {0, 1, 2, 2, 1, 3}, spaced[12] = {0, 1, 2, 0, 0, 0, 0, 0, 0, 2, 1, 3};
    std::memcpy(indices->Lock(12), spaced, sizeof(spaced));  // two empty triangles between the two
    indices->Unlock();

    device_->SetVertexDeclaration(declaration_);
    vertices->SetStreamSource(0, sizeof(Vertex));
    indices->SetIndices();
    EXPECT_EQ(indices->GetDrawOffset(), 0);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, indices->GetDrawOffset(), 4, 3, 0, 0);
    void* from[2] = {};  // the array points within a stride: 1,024 (past 1,009, at a multiple of 16) = 42 * 24 + 16
    glGetVertexAttribPointerv(0, GL_VERTEX_ATTRIB_ARRAY_POINTER, &from[0]);
    EXPECT_EQ(std::pair(PrimaryPixel(5, 5), PrimaryPixel(28, 28)), std::pair(Rgba(0, 255, 0), Rgba(0, 0, 0)));
    const RenderIndexedDraw second = indices->PrepareDraw(4, 1, 9, 0);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, second.baseVertex, second.vertexCount,
                                  second.primitiveCount, second.startIndex, second.flags);
    EXPECT_EQ(PrimaryPixel(28, 28), Rgba(0, 255, 0));

    // The terrain's way: absolute indices into a static buffer, through the dynamic index buffer.
    RenderVertexBuffer* ground = MakeVertices(Quad(0, -1, 1, 0, 0.5f, 0xFFFF0000));  // bottom-right
    uint32_t* absolute = indices->Lock(6);
    std::memcpy(absolute, triangles, sizeof(triangles));
    indices->Unlock();
    device_->SetStreamSource(0, ground, 0, sizeof(Vertex));
    indices->SetIndices();
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, indices->GetDrawOffset(), 4, 2, 0, 0);

    // Wrapping the ring keeps working: many locks later the draw still reads its own range.
    for (int i = 0; i < 200; ++i) {
        vertices->Lock(30000);
        vertices->Unlock();
    }
    indices->Lock((4 << 20) / 4 - 4);  // the next lock of indices starts that ring again too
    indices->Unlock();
    const std::vector<Vertex> blue = Quad(0, 0, 1, 1, 0.4f, 0xFF0000FF);  // top-right
    std::memcpy(vertices->Lock(uint32_t(blue.size() * sizeof(Vertex))), blue.data(), blue.size() * sizeof(Vertex));
    vertices->Unlock();
    vertices->SetStreamSource(0, sizeof(Vertex));
    std::memcpy(indices->Lock(6), triangles, sizeof(triangles));
    indices->Unlock();
    indices->SetIndices();
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    glGetVertexAttribPointerv(0, GL_VERTEX_ATTRIB_ARRAY_POINTER, &from[1]);  // 61 locks after the wrap
    GLint ring = 0;
    glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &ring);
    EXPECT_EQ(std::tuple(PrimaryPixel(50, 50), PrimaryPixel(50, 10), uintptr_t(from[0]), uintptr_t(from[1])),
              std::tuple(Rgba(255, 0, 0), Rgba(0, 0, 255), uintptr_t(16), uintptr_t(61 * 30000 % 24)));
    ClearTo(Color(0, 0, 0, 1));
    device_->DestroyDynamicVertexBuffer(vertices);  // its stream is left empty: no draw
    EXPECT_TRUE(ring != 0 && !glIsBuffer(GLuint(ring)));
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    EXPECT_EQ(PrimaryPixel(50, 10), Rgba(0, 0, 0));

    device_->SetVertexDeclaration(nullptr);
    device_->DestroyVertexBuffer(ground);
    device_->DestroyDynamicIndexBuffer(indices);
    EXPECT_EQ(device_->GetAvailableVideoMemory(), available);
}

TEST_F(GLDeviceDrawTest, ThirtyTwoBitIndicesWithABaseVertexAndStrips) {
    std::vector<Vertex> vertices = Quad(-1, -1, -0.5f, -0.5f, 0.5f, 0xFFFF0000);
    const std::vector<Vertex> second = Quad(0, 0, 1, 1, 0.5f, 0xFF00FF00);
    vertices.insert(vertices.end(), second.begin(), second.end());
    RenderVertexBuffer* buffer = MakeVertices(vertices);
    RenderIndexBuffer* indices = device_->CreateIndexBuffer(8, RenderIndexFormat::Index32);
    const uint32_t strip[8] = {7, 7, 0, 1, 2, 3};  // two unused, then a strip
    std::memcpy(indices->Lock(), strip, sizeof(strip));
    indices->Unlock();
    RenderVertexBuffer* other = MakeVertices(vertices);
    device_->SetVertexDeclaration(declaration_);
    device_->SetIndices(indices);
    GLint arrays[2] = {};  // each buffer draws through a vertex array of its own, never re-pointed
    for (RenderVertexBuffer* drawn : {other, buffer}) {
        device_->SetStreamSource(0, drawn, 0, sizeof(Vertex));
        device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, 4, 4, 2, 2, 0);  // the second quad
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &arrays[drawn == buffer]);
    }
    ClearTo(Color(0, 0, 0, 1));
    device_->DestroyVertexBuffer(other);  // another buffer going takes its array and leaves the indices set
    EXPECT_TRUE(arrays[0] != arrays[1] && !glIsVertexArray(GLuint(arrays[0])) && glIsVertexArray(GLuint(arrays[1])));
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, 4, 4, 2, 2, 0);
    EXPECT_EQ(std::pair(PrimaryPixel(50, 10), PrimaryPixel(4, 60)), std::pair(Rgba(0, 255, 0), Rgba(0, 0, 0)));
    device_->DestroyIndexBuffer(indices);
    device_->DestroyVertexBuffer(buffer);
}

TEST_F(GLDeviceDrawTest, BrokenProgramsAndMissingInputSkipTheDraw) {
    LogCapture log;
    RenderVertexShader* broken = MakeVertexShader("void main() { gl_Position = undefined_name; }\n");
    device_->SetVertexShader(broken);
    DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000));
    EXPECT_EQ(PrimaryPixel(5, 5), Rgba(0, 0, 0));
    // The compiler's own message follows, naming what is wrong.
    ASSERT_FALSE(log.Lines().empty());
    const std::string message = log.Lines().front().text;
    EXPECT_TRUE(message.rfind("Vertex program ", 0) == 0 && message.find(" does not compile:\n") != std::string::npos &&
                message.find("undefined_name") != std::string::npos)
        << message;
    GLint compiled = GL_TRUE;  // the failed object is gone: every one left compiled
    for (GLuint name = 1; name < 4096 && compiled == GL_TRUE; ++name)
        if (glIsShader(name)) glGetShaderiv(name, GL_COMPILE_STATUS, &compiled);
    EXPECT_EQ(compiled, GL_TRUE);
    device_->SetVertexShader(nullptr);
    device_->DestroyVertexShader(broken);

    // Other programs (a twin of the same text, whose program kept shares) and declarations going
    // leave the ones set in place; a stream's buffer going leaves the stream empty.
    const char* const half = "void main() { gl_Position = vec4(a_position.xy * 0.5, 0.5, 1.0); v_color = a_color; }\n";
    RenderVertexShader* kept = MakeVertexShader(half);
    RenderVertexShader* twin = MakeVertexShader(half);
    device_->SetVertexDeclaration(declaration_);
    RenderVertexDeclaration* otherDeclaration = device_->CreateVertexDeclaration(kLayout, 1);
    device_->DestroyVertexDeclaration(otherDeclaration);
    RenderVertexBuffer* quad = MakeVertices(Quad(-1, -1, 1, 1, 0.5f, 0xFF00FF00));
    device_->SetStreamSource(0, quad, 0, 0);
    device_->SetVertexShader(twin);
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);  // links the program
    device_->DestroyVertexShader(twin);
    device_->SetVertexShader(kept);
    ClearTo(Color(0, 0, 0, 1));
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);  // through kept: the middle half
    device_->SetVertexShader(nullptr);
    device_->SetVertexDeclaration(nullptr);
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);  // without a declaration: none
    device_->SetVertexDeclaration(declaration_);
    device_->DestroyVertexBuffer(quad);
    EXPECT_EQ(std::pair(PrimaryPixel(5, 5), PrimaryPixel(20, 20)), std::pair(Rgba(0, 0, 0), Rgba(0, 255, 0)));
    device_->DestroyVertexShader(kept);
    RenderVertexBuffer* gone = MakeVertices(Quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000));
    device_->SetStreamSource(0, gone, 0, 0);
    device_->DestroyVertexBuffer(gone);
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);

    device_->SetVertexDeclaration(declaration_);
    device_->SetStreamSource(0, nullptr, 0, 0);
    device_->DrawPrimitive(RenderPrimitiveType::TriangleStrip, 0, 2);
    device_->SetIndices(nullptr);
    device_->DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, 4, 2, 0, 0);
    EXPECT_EQ(PrimaryPixel(5, 5), Rgba(0, 0, 0));

    const float registers[8] = {};
    log.Clear();
    device_->SetVertexShaderConstants(255, registers, 2);
    device_->SetPixelShaderConstants(224, registers, 1);
    device_->SetPixelShaderConstants(224, registers, 0);  // none past the last: nothing to say
    EXPECT_EQ(log.Count(LogPriority::Error), 2u);

    // A 2-D draw beyond the device's ring of a mebibyte is skipped, and said so, once for the
    // shared device's life: a second run of this test hears nothing.
    static bool firstRun = true;
    const bool said = std::exchange(firstRun, false);
    const std::vector<Vec2> fan(50000, Vec2(1.0f, 1.0f));
    device_->DrawTriangleFan(fan.data(), uint32_t(fan.size()), 0xFFFFFFFF);
    EXPECT_EQ(log.Contains(LogPriority::Error, "a draw is skipped: a 2-D draw has too many vertices (reported once)"),
              said);

    // Without a target neither a clear nor a draw happens; the first says so, once.
    log.Clear();
    device_->SetTargetSurface(0, nullptr);
    ClearTo(Color(1, 0, 0, 1));
    EXPECT_EQ(log.Contains(LogPriority::Error, "a draw is skipped: there is no render target (reported once)"), said);
    device_->DrawRect(Rect(0, 0, 8, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(log.Lines().size(), said ? 1u : 0u);
    device_->SetTargetSurface(0, primary_);
    EXPECT_EQ(PrimaryPixel(5, 5), Rgba(0, 0, 0));
}

TEST_F(GLDeviceDrawTest, AWarmUpDrawsEachPipelineStateOnce) {
    RenderPixelShader* shaded = MakePixelShader("void main() { o_color = v_color; }\n");  // in no state warmed yet
    device_->SetPixelShader(shaded);
    device_->SetWarmingUp(true);
    DrawStrip(Quad(-1, -1, 0, 1, 0.5f, 0xFFFF0000));  // left red
    DrawStrip(Quad(0, -1, 1, 1, 0.5f, 0xFF00FF00));   // the same state: skipped
    device_->SetDestinationBlendFactor(RenderBlendFactor::One);
    DrawStrip(Quad(0, -1, 1, 1, 0.5f, 0xFF0000FF));  // blended: another state, right blue
    EXPECT_EQ(std::pair(PrimaryPixel(5, 5), PrimaryPixel(60, 5)), std::pair(Rgba(255, 0, 0), Rgba(0, 0, 255)));
    device_->SetWarmingUp(false);
    DrawStrip(Quad(0, -1, 1, 1, 0.5f, 0xFF00FF00));  // outside a warm-up every draw is made: onto the blue
    const uint32_t drawn = PrimaryPixel(60, 5);
    device_->SetWarmingUp(true);
    ClearTo(Color(0, 0, 0, 1));  // made unless a warm-up cleared so before (as in a second run of the test)
    ClearTo(Color(1, 1, 1, 1));  // a clear of a kind a warm-up made before: skipped
    device_->SetWarmingUp(false);
    EXPECT_EQ(std::pair(drawn, PrimaryPixel(60, 5) == Rgba(255, 255, 255)), std::pair(Rgba(0, 255, 255), false));
    device_->DestroyPixelShader(shaded);
}

TEST_F(GLDeviceDrawTest, DepthBiasConstantColourWireframeAndAddressModes) {
    DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000));
    device_->SetDepthTestFunction(RenderTestFunction::Less);
    DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFF00FF00));  // equal depth fails "less"
    EXPECT_EQ(PrimaryPixel(5, 5), Rgba(255, 0, 0));
    // A bias of -0.01 moves a quad nearer as far in 16- and 24-bit depth buffers (0.02 on this GL);
    // in a float one, whose steps it counts at depth 1, a quarter as far at depth 0.5.
    for (const auto& [format, moved] : {std::pair(RenderTextureFormat::D16, 0.02f),
                                        {RenderTextureFormat::D24, 0.02f},
                                        {RenderTextureFormat::D32, 0.005f}}) {
        RenderSurface* depth = device_->CreateRenderSurface(64, 64, RenderTextureFormat::None, format);
        device_->SetDepthTarget(depth);
        ClearTo(Color(0, 0, 0, 1));
        DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000));
        device_->SetRenderStateB(std::bit_cast<uint32_t>(-0.01f));
        DrawStrip(Quad(-1, -1, 0, 1, 0.5f + moved * 1.2f, 0xFF00FF00));  // still behind
        DrawStrip(Quad(0, -1, 1, 1, 0.5f + moved * 0.8f, 0xFF00FF00));   // now in front
        device_->SetRenderStateB(0);
        EXPECT_EQ(std::pair(PrimaryPixel(5, 5), PrimaryPixel(60, 5)), std::pair(Rgba(255, 0, 0), Rgba(0, 255, 0)))
            << int(format);
        device_->DestroyRenderSurface(depth);  // the primary's depth is the target again
    }
    // A slope-scaled bias alone pulls a sloped quad nearer too.
    ClearTo(Color(0, 0, 0, 1));
    const std::vector<Vertex> sloped = {{-1, 1, 0.2f, 0xFFFF0000, 0, 0},
                                        {1, 1, 0.8f, 0xFFFF0000, 1, 0},
                                        {-1, -1, 0.2f, 0xFFFF0000, 0, 1},
                                        {1, -1, 0.8f, 0xFFFF0000, 1, 1}};
    DrawStrip(sloped);
    std::vector<Vertex> blue = sloped;
    for (Vertex& vertex : blue) vertex.color = 0xFF0000FF;
    DrawStrip(blue);  // equal depth fails "less"
    EXPECT_EQ(PrimaryPixel(32, 32), Rgba(255, 0, 0));
    device_->SetRenderStateC(std::bit_cast<uint32_t>(-2.0f));
    DrawStrip(blue);
    device_->SetRenderStateC(0);
    device_->SetDepthTestFunction(RenderTestFunction::Always);

    // A scissor rectangle of no width lets nothing through.
    const Rect none(10, 10, 0, 10);
    device_->SetScissorRect(&none);
    device_->DrawRect(Rect(0, 0, 64, 64), 0xFFFFFFFF, 0.0f);
    device_->SetScissorRect(nullptr);
    EXPECT_EQ(std::pair(PrimaryPixel(32, 32), PrimaryPixel(10, 12)), std::pair(Rgba(0, 0, 255), Rgba(0, 0, 255)));

    // Render state D reaches the programs as d_constantColor.
    RenderPixelShader* constant = MakePixelShader("void main() { o_color = d_constantColor; }\n");
    device_->SetPixelShader(constant);
    device_->SetRenderStateD(Color(0.0f, 0.0f, 1.0f, 1.0f));
    DrawStrip(Quad(-1, -1, 1, 1, 0.5f, 0xFFFFFFFF));
    EXPECT_EQ(PrimaryPixel(5, 5), Rgba(0, 0, 255));
    device_->SetPixelShader(nullptr);
    device_->DestroyPixelShader(constant);

    // Wireframe draws the edges only.
    ClearTo(Color(0, 0, 0, 1));
    device_->EnableWireframe(true);
    device_->DrawRect(Rect(8.5f, 8.5f, 31, 31), 0xFFFFFFFF, 0.0f);  // edges through pixel centres
    device_->EnableWireframe(false);
    EXPECT_EQ(std::pair(PrimaryPixel(8, 20), PrimaryPixel(30, 20)), std::pair(Rgba(255, 255, 255), Rgba(0, 0, 0)));

    // Texture coordinates beyond 0..1 wrap by default and clamp when asked.
    const uint32_t texels[2] = {0xFFFF0000, 0xFF0000FF};  // red, blue
    RenderTexture* texture = device_->CreateTextureFromPixels(2, 1, texels, 1, 0);
    device_->SetTexture(0, texture);
    device_->SetSamplerState(0, RenderSamplerState::MagFilter, 0);
    device_->DrawTexturedRect(Rect(0, 0, 2, 1), Rect(0, 48, 16, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(9, 50), Rgba(255, 0, 0));  // u in 1..1.5: wrapped to the red texel
    device_->SetSamplerState(0, RenderSamplerState::AddressU, 1);
    device_->DrawTexturedRect(Rect(0, 0, 2, 1), Rect(0, 48, 16, 8), 0xFFFFFFFF, 0.0f);
    EXPECT_EQ(PrimaryPixel(9, 50), Rgba(0, 0, 255));  // clamped to the blue edge
    device_->SetSamplerState(0, RenderSamplerState::AddressU, 2);
    device_->DrawTexturedRect(Rect(0, 0, 2, 1), Rect(0, 48, 16, 8), 0xFFFFFFFF, 0.0f);
    // Mirrored: u in 1..1.5 reads 1..0.5, blue, and u in 1.5..2 the red texel.
    EXPECT_EQ(std::pair(PrimaryPixel(9, 50), PrimaryPixel(13, 50)), std::pair(Rgba(0, 0, 255), Rgba(255, 0, 0)));
    // An anisotropic filter filters as anisotropically as the driver can, at most 16 times.
    device_->SetSamplerState(0, RenderSamplerState::MinFilter, 2);
    device_->DrawTexturedRect(Rect(0, 0, 2, 1), Rect(0, 48, 16, 8), 0xFFFFFFFF, 0.0f);
    float largest = 1.0f, most = 1.0f, anisotropy = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &largest);
    for (GLuint sampler = 1; sampler < 256; ++sampler) {
        if (glIsSampler(sampler)) glGetSamplerParameterfv(sampler, GL_TEXTURE_MAX_ANISOTROPY, &anisotropy);
        most = std::max(most, anisotropy);
    }
    EXPECT_EQ(most, std::min(largest, 16.0f));
    device_->SetTexture(0, nullptr);
    device_->DestroyTexture(texture);

    std::vector<RenderDisplayMode> modes(3);
    device_->GetSupportedDisplayModes(modes);
    for (const RenderDisplayMode& mode : modes) {
        EXPECT_GT(mode.width, 0);
    }
}

// Samplers as the states ask: address modes, filters with and without mips, anisotropy only for an
// anisotropic filter, depth comparison; one sampler a state.
TEST_F(GLDeviceDrawTest, SamplersAreMadeAsTheStatesAsk) {
    GLSamplerCache cache;
    cache.SetMaxAnisotropy(8.0f);
    const struct {
        GLSamplerState state;
        bool compare;
        GLint wrapS, wrapT, mag, min;
        float anisotropy;
    } cases[] = {
        {{0, 1, 0, 0, 0}, false, GL_REPEAT, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_NEAREST, 1.0f},
        {{2, 0, 1, 1, 1}, false, GL_MIRRORED_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST, 1.0f},
        {{1, 2, 1, 0, 2}, true, GL_CLAMP_TO_EDGE, GL_MIRRORED_REPEAT, GL_LINEAR, GL_NEAREST_MIPMAP_LINEAR, 1.0f},
        {{0, 0, 0, 2, 2}, false, GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_LINEAR_MIPMAP_LINEAR, 8.0f},
        {{0, 0, 2, 0, 1}, false, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, 8.0f},
    };
    for (const auto& c : cases) {
        const GLuint sampler = cache.Get(c.state, c.compare);
        EXPECT_EQ(cache.Get(c.state, c.compare), sampler);
        GLint value[5] = {};
        const GLenum names[5] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER,
                                 GL_TEXTURE_COMPARE_MODE};
        for (int i = 0; i < 5; ++i) glGetSamplerParameteriv(sampler, names[i], &value[i]);
        float anisotropy = 0.0f;
        glGetSamplerParameterfv(sampler, GL_TEXTURE_MAX_ANISOTROPY, &anisotropy);
        EXPECT_EQ(
            std::vector<GLint>(value, value + 5),
            (std::vector<GLint>{c.wrapS, c.wrapT, c.mag, c.min, c.compare ? GL_COMPARE_REF_TO_TEXTURE : GL_NONE}));
        EXPECT_EQ(anisotropy, c.anisotropy);
    }
}

}  // namespace
}  // namespace GAME::test
