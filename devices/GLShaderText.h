#pragma once
// GLShaderText: the GLSL the device puts around a program's text, and the device's own programs.
//
// What a program sees (every program is GLSL 3.30 core):
// - vertex programs: `vec4 vc[256]` (the vertex constant registers), attributes at the location of
//   their usage code: a_position (0), a_normal (1), a_tangent (2), a_binormal (3), a_texcoord0
//   (4), a_blendweights (5), a_blendindices (6, integer values as floats), a_texcoord1 ..
//   a_texcoord7 (7 .. 13) and a_color (14); each is a vec4 (missing components read 0, w reads 1,
//   a missing colour reads white). They write gl_Position in the engine's clip space (depth 0..1,
//   y up) and may write the varyings v_color (vec4) and v_uv0 (vec2).
// - pixel programs: `vec4 pc[224]` (the pixel constant registers), the varyings v_color and v_uv0,
//   samplers they declare as `uniform sampler2D s<stage>` (or sampler2DShadow for a depth
//   texture), and they write `o_color`.
// - both: d_constantColor (render state D).
// The device's main then runs the program's main and: for vertex programs, writes the clip
// distances of the clip planes and converts the position to GL's clip space (y flipped because
// surfaces store their top row first, depth 0..1 to -1..1); for pixel programs, applies the alpha
// test and the flat-colour debug switch.

#include "devices/GLShader.h"

#include <string>

namespace GAME {

class GLShaderText {
public:
    // Binding points of the uniform blocks.
    static constexpr unsigned kVertexConstantsBinding = 0;
    static constexpr unsigned kPixelConstantsBinding = 1;
    static constexpr unsigned kDeviceConstantsBinding = 2;
    static constexpr unsigned kVertexRegisters = 256;
    static constexpr unsigned kPixelRegisters = 224;
    // The device block, in registers: 8 clip planes, the constant colour, the alpha test
    // (function, reference, flat-colour switch, unused).
    static constexpr unsigned kClipPlaneRegister = 0;
    static constexpr unsigned kConstantColorRegister = 8;
    static constexpr unsigned kAlphaTestRegister = 9;
    static constexpr unsigned kDeviceRegisters = 10;

    // The full source of a stage around the program's text.
    static std::string Wrap(GLShaderStage stage, const std::string& program);

    // The device's vertex program for 2-D draws and programs without one: positions already in
    // clip space, colour and first texture coordinate passed on.
    static const char* const kPassThroughVertexProgram;
    // The device's pixel program: texture stage 0 times the colour.
    static const char* const kTextureTimesColorPixelProgram;
    // Present's two stages (not wrapped): the primary surface flipped onto the window with the
    // gamma ramp.
    static const char* const kPresentVertexSource;
    static const char* const kPresentPixelSource;
};

}  // namespace GAME
