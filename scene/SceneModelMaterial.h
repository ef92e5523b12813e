#pragma once
// SceneModelMaterial: a material of a model as the exporter streams it: the shader file and its
// parameters, which become a material of the mesh file.
//
// Stream: string shader name, u32 parameter count, then per parameter: string name, u32 type and
// its payload: 0 a u32 integer; 1 a u32 boolean (0 or 1); 2 and 7 a string (text, a texture file
// name for 7); 3 12 f32; 4 16 f32; 5 and 6 nothing; 8 2 f32; 9 and 12 3 f32; 10 1 f32; 11 and 13
// 4 f32; 14 and up nothing. Reading turns 12 into 9 and 13 into 11. Read fails as a node's does.

#include <cstdint>
#include <string>

#include "core/Mem.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class SceneModelMaterial {
public:
    // The payload fields used depend on the type: integer (0), boolean (1), text (2, 7), floats.
    struct ShaderParam {
        std::string name;
        uint32_t type = 0;
        std::string text;
        bool boolean = false;
        int integer = 0;
        float floats[16] = {};
    };

    void SetShaderName(const std::string& name) { shaderName_ = name; }
    const std::string& GetShaderName() const { return shaderName_; }
    void SetNumParameters(int count) { parameters_.resize(size_t(count)); }
    int GetNumParameters() const { return static_cast<int>(parameters_.size()); }
    ShaderParam& GetParameter(int index) { return parameters_[size_t(index)]; }
    const ShaderParam& GetParameter(int index) const { return parameters_[size_t(index)]; }

    bool Read(BinaryReader& reader);
    bool Write(BinaryWriter& writer) const;
    static bool ReadParameter(BinaryReader& reader, ShaderParam& parameter);
    static bool WriteParameter(BinaryWriter& writer, const ShaderParam& parameter);

private:
    std::string shaderName_;
    mem::vector<ShaderParam> parameters_;
};

}  // namespace GAME
