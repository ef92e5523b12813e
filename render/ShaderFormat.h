#pragma once
// ShaderFormat: the codes and records of shader files (".ssh"), shared by the reader
// (GraphicsShader2) and the writer (ShaderFileWriter).
//
// The file, little-endian throughout:
//   'S' 'S' 'H' 4                          magic and version
//   sections, one after another:
//     u32 n, n bytes                       generation name ("GeForce6", ...; no terminator)
//     u32 s, s bytes                       section body: chunks {u32 id, u32 size, body}
//       chunk 1, values:     u32 count, per value: u32 type, payload (below)
//       chunk 0, parameters: u32 count, per parameter: u32 name length, name, u32 type,
//                            u32 element count, 8 unused bytes, u32 has-default flag,
//                            u32 default value index
//       chunk 2, styles:     u32 count, per style: u32 name length, name, u32 sort order,
//                            u32 kind (1), u32 record count, records of 16 bytes
// Value payloads: int and bool one u32; float, float2, float3, float4 that many floats; float4x3,
// float4x4 and type 14 none (zero); string and texture file name a u32 length and the bytes;
// vertex and pixel programs u32 binding count, bindings of 16 bytes, u32 code length, the code
// (GLSL 3.30 source text for this engine's device).

#include <cstdint>

namespace GAME {

namespace ShaderFormat {

constexpr uint8_t kMagic[3] = {'S', 'S', 'H'};
constexpr uint8_t kVersion = 4;

// Chunk ids of a section body.
constexpr uint32_t kParameterChunk = 0;
constexpr uint32_t kValueChunk = 1;
constexpr uint32_t kStyleChunk = 2;

// Bounds the reader enforces; anything larger is refused as corrupt.
constexpr uint32_t kMaxNameLength = 1048576;  // generation, parameter and style names
constexpr uint32_t kMaxCount = 1000;          // values, parameters or styles in one chunk
constexpr uint32_t kMaxElements = 256;        // elements of one parameter
constexpr uint32_t kStyleKind = 1;            // the only style kind there is

}  // namespace ShaderFormat

// The type of a value or parameter. Files may also hold 12 (read as Float3), 13 (read as Float4)
// and, for values only, 7 (read as TextureFile).
enum class ShaderValueType : uint32_t {
    Int = 0,
    Bool = 1,
    String = 2,          // read and discarded
    Float4x3 = 3,        // three registers an element
    Float4x4 = 4,        // four registers an element
    VertexProgram = 5,   // values only
    PixelProgram = 6,    // values only
    Texture = 7,         // parameters: a RenderTexture set by code
    Float2 = 8,
    Float3 = 9,
    Float = 10,
    Float4 = 11,
    None = 14,           // no payload, no storage
    TextureFile = 15,    // values: a texture loaded by file name
};

// Floats a value of a float vector type holds in a file (1 to 4); 0 for the other types.
constexpr uint32_t GetFloatComponents(ShaderValueType type) {
    switch (type) {
        case ShaderValueType::Float: return 1;
        case ShaderValueType::Float2: return 2;
        case ShaderValueType::Float3: return 3;
        case ShaderValueType::Float4: return 4;
        default: return 0;
    }
}

// What a state record drives on the device (the value is the record's value or parameter).
enum class ShaderStateCode : uint32_t {
    Texture = 0,                 // SetTexture of the stage
    VertexProgram = 1,           // SetVertexShader, with the program's constant bindings
    PixelProgram = 2,            // SetPixelShader, with the program's constant bindings
    SourceBlend = 3,             // SetSourceBlendFactor
    DestinationBlend = 4,        // SetDestinationBlendFactor
    DepthTest = 5,               // SetDepthTestFunction
    AlphaTest = 6,               // SetAlphaTestFunction
    AlphaReference = 7,          // SetAlphaReference
    ColorWrite = 8,              // SetColorWriteMode
    DepthWrite = 9,              // SetDepthWriteMode
    AddressU = 10,               // SetSamplerState of the stage, state 0
    AddressV = 11,               // SetSamplerState of the stage, state 1
    Unused12 = 12,               // 12, 13 and 14 drive nothing
    Unused13 = 13,
    Unused14 = 14,
    MagFilter = 15,              // SetSamplerState of the stage, state 3
    MinFilter = 16,              // SetSamplerState of the stage, state 4
    MipFilter = 17,              // SetSamplerState of the stage, state 5
    CullMode = 18,               // SetRenderStateA
    AlphaWrite = 19,             // SetAlphaWriteMode
    DepthBias = 20,              // SetRenderStateB
    SlopeScaledDepthBias = 21,   // SetRenderStateC
    ConstantColor = 22,          // SetRenderStateD, the value as a colour
    RenderStateE = 23,           // SetRenderStateE
};
constexpr uint32_t kNumShaderStateCodes = 24;

// A program's constant binding: where the value or parameter it names goes in the device's
// constant registers.
struct ShaderBinding {
    uint32_t firstRegister = 0;  // first register written
    uint32_t registerLimit = 0;  // registers the program reserves for it (at most this many written)
    bool fromValues = false;     // index names a value (true) or a parameter (false)
    uint32_t index = 0;          // value or parameter index in the section
};

// One device state assignment of a style.
struct ShaderStateRecord {
    ShaderStateCode code = ShaderStateCode::Texture;  // the state driven
    uint32_t stage = 0;                               // texture or sampler stage (codes 0, 10-17)
    bool fromValues = false;                          // index names a value (true) or a parameter
    uint32_t index = 0;                               // value or parameter index in the section
};

}  // namespace GAME
