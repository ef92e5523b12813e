#include "devices/GLShaderText.h"

namespace GAME {

namespace {

const char* const kDeviceBlock = R"(layout(std140) uniform DeviceConst {
    vec4 d_clipPlane[8];
    vec4 d_constantColor;
    vec4 d_alphaTest;
};
)";

const char* const kVertexPrelude = R"(#version 330 core
layout(std140) uniform VSConst { vec4 vc[256]; };
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_normal;
layout(location = 2) in vec4 a_tangent;
layout(location = 3) in vec4 a_binormal;
layout(location = 4) in vec4 a_texcoord0;
layout(location = 5) in vec4 a_blendweights;
layout(location = 6) in vec4 a_blendindices;
layout(location = 7) in vec4 a_texcoord1;
layout(location = 8) in vec4 a_texcoord2;
layout(location = 9) in vec4 a_texcoord3;
layout(location = 10) in vec4 a_texcoord4;
layout(location = 11) in vec4 a_texcoord5;
layout(location = 12) in vec4 a_texcoord6;
layout(location = 13) in vec4 a_texcoord7;
layout(location = 14) in vec4 a_color;
out vec4 v_color;
out vec2 v_uv0;
out float gl_ClipDistance[8];
)";

const char* const kVertexMain = R"(
#undef main
void main() {
    user_main();
    vec4 p = gl_Position;
    for (int i = 0; i < 8; ++i) {
        gl_ClipDistance[i] = dot(p, d_clipPlane[i]);
    }
    gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
}
)";

const char* const kPixelPrelude = R"(#version 330 core
layout(std140) uniform PSConst { vec4 pc[224]; };
in vec4 v_color;
in vec2 v_uv0;
layout(location = 0) out vec4 o_color;
)";

const char* const kPixelMain = R"(
#undef main
bool d_AlphaTestPasses(float a) {
    float reference = d_alphaTest.y;
    switch (int(d_alphaTest.x)) {
        case 0: return false;
        case 1: return a < reference;
        case 2: return a == reference;
        case 3: return a <= reference;
        case 4: return a > reference;
        case 5: return a != reference;
        case 6: return a >= reference;
        default: return true;
    }
}
void main() {
    user_main();
    if (!d_AlphaTestPasses(o_color.a)) {
        discard;
    }
    if (d_alphaTest.z != 0.0) {
        o_color = vec4(0.5, 0.5, 0.5, 1.0);
    }
}
)";

}  // namespace

std::string GLShaderText::Wrap(GLShaderStage stage, const std::string& program) {
    const bool vertex = stage == GLShaderStage::Vertex;
    std::string text = vertex ? kVertexPrelude : kPixelPrelude;
    text += kDeviceBlock;
    // Line numbers of compile errors count from the program's first line.
    text += "#define main user_main\n#line 1\n";
    text += program;
    text += vertex ? kVertexMain : kPixelMain;
    return text;
}

const char* const GLShaderText::kPassThroughVertexProgram = R"(
void main() {
    gl_Position = a_position;
    v_color = a_color;
    v_uv0 = a_texcoord0.xy;
}
)";

const char* const GLShaderText::kTextureTimesColorPixelProgram = R"(
uniform sampler2D s0;
void main() {
    o_color = texture(s0, v_uv0) * v_color;
}
)";

const char* const GLShaderText::kPresentVertexSource = R"(#version 330 core
out vec2 uv;
void main() {
    // One triangle over the whole window; the image's first row goes to the window's top.
    vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
    uv = vec2(0.5 * (p.x + 1.0), 0.5 * (1.0 - p.y));
    gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* const GLShaderText::kPresentPixelSource = R"(#version 330 core
uniform sampler2D image;
uniform vec3 ramp;  // brightness, contrast, gamma; 0.5, 0.5, 1.0 change nothing
in vec2 uv;
out vec4 color;
void main() {
    vec3 c = texture(image, uv).rgb;
    c = clamp((c - 0.5) * (2.0 * ramp.y) + 0.5 + (ramp.x - 0.5), 0.0, 1.0);
    color = vec4(pow(c, vec3(1.0 / ramp.z)), 1.0);
}
)";

}  // namespace GAME
