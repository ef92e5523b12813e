#pragma once
// ShaderFileWriter: writes shader files (".ssh", ShaderFormat.h) that GraphicsShader2 reads.
// Tests and the sample-data generator describe a shader as sections of values, parameters and
// styles and write them with it.

#include "core/Mem.h"
#include "render/ShaderFormat.h"

#include <cstdint>
#include <string>

namespace GAME {

class BinaryWriter;

// One entry of a section's value list. The named constructors make each kind.
struct ShaderFileValue {
    ShaderValueType type = ShaderValueType::None;
    float floats[4] = {};                  // Float .. Float4: the components written
    uint32_t word = 0;                     // Int and Bool
    std::string text;                      // String, TextureFile (the file name), programs (the code)
    mem::vector<ShaderBinding> bindings;  // programs: their constants

    static ShaderFileValue Int(int32_t value);
    static ShaderFileValue Bool(bool value);
    static ShaderFileValue Float(float value);
    static ShaderFileValue Float2(float x, float y);
    static ShaderFileValue Float3(float x, float y, float z);
    static ShaderFileValue Float4(float x, float y, float z, float w);
    static ShaderFileValue TextureFile(std::string fileName);
    static ShaderFileValue VertexProgram(std::string code, mem::vector<ShaderBinding> bindings);
    static ShaderFileValue PixelProgram(std::string code, mem::vector<ShaderBinding> bindings);
};

// A parameter code may set.
struct ShaderFileParameter {
    static constexpr uint32_t kNoDefault = 0xFFFFFFFFu;

    std::string name;
    ShaderValueType type = ShaderValueType::Float4;
    uint32_t elements = 1;                // array size
    uint32_t defaultValue = kNoDefault;   // value index, or kNoDefault
};

// A named list of state assignments.
struct ShaderFileStyle {
    std::string name;
    int32_t sortOrder = 0;
    mem::vector<ShaderStateRecord> records;
};

// Everything a file holds for one generation.
struct ShaderFileSection {
    std::string generation;  // "GeForce6", ...
    mem::vector<ShaderFileValue> values;
    mem::vector<ShaderFileParameter> parameters;
    mem::vector<ShaderFileStyle> styles;
};

class ShaderFileWriter {
public:
    // The header and the sections in order.
    static void Write(BinaryWriter& out, const mem::vector<ShaderFileSection>& sections);
    // One section: its name, size and chunks (values, parameters, styles).
    static void WriteSection(BinaryWriter& out, const ShaderFileSection& section);
};

}  // namespace GAME
