#include "render/ShaderFileWriter.h"

#include "files/BinaryWriter.h"

namespace GAME {

namespace {

ShaderFileValue MakeFloats(ShaderValueType type, std::initializer_list<float> components) {
    ShaderFileValue value;
    value.type = type;
    int i = 0;
    for (const float component : components) value.floats[i++] = component;
    return value;
}

ShaderFileValue MakeProgram(ShaderValueType type, std::string code, mem::vector<ShaderBinding> bindings) {
    ShaderFileValue value;
    value.type = type;
    value.text = std::move(code);
    value.bindings = std::move(bindings);
    return value;
}

void WriteValue(BinaryWriter& out, const ShaderFileValue& value) {
    out.Write(static_cast<uint32_t>(value.type));
    switch (value.type) {
        case ShaderValueType::Int:
        case ShaderValueType::Bool: out.Write(value.word); break;
        case ShaderValueType::String:
        case ShaderValueType::TextureFile: out.Write(value.text); break;
        case ShaderValueType::VertexProgram:
        case ShaderValueType::PixelProgram:
            out.Write(static_cast<uint32_t>(value.bindings.size()));
            for (const ShaderBinding& binding : value.bindings) {
                out.Write(binding.firstRegister);
                out.Write(binding.registerLimit);
                out.Write(binding.fromValues);
                out.Write(binding.index);
            }
            out.Write(value.text);
            break;
        default:
            for (uint32_t c = 0; c < GetFloatComponents(value.type); ++c) out.Write(value.floats[c]);
            break;
    }
}

void WriteValues(BinaryWriter& out, const mem::vector<ShaderFileValue>& values) {
    out.BeginChunk(ShaderFormat::kValueChunk);
    out.Write(static_cast<uint32_t>(values.size()));
    for (const ShaderFileValue& value : values) WriteValue(out, value);
    out.EndChunk();
}

void WriteParameters(BinaryWriter& out, const mem::vector<ShaderFileParameter>& parameters) {
    out.BeginChunk(ShaderFormat::kParameterChunk);
    out.Write(static_cast<uint32_t>(parameters.size()));
    for (const ShaderFileParameter& parameter : parameters) {
        out.Write(parameter.name);
        out.Write(static_cast<uint32_t>(parameter.type));
        out.Write(parameter.elements);
        out.Write(0u);  // two words the reader passes over
        out.Write(0u);
        const bool hasDefault = parameter.defaultValue != ShaderFileParameter::kNoDefault;
        out.Write(hasDefault);
        out.Write(hasDefault ? parameter.defaultValue : 0u);
    }
    out.EndChunk();
}

void WriteStyles(BinaryWriter& out, const mem::vector<ShaderFileStyle>& styles) {
    out.BeginChunk(ShaderFormat::kStyleChunk);
    out.Write(static_cast<uint32_t>(styles.size()));
    for (const ShaderFileStyle& style : styles) {
        out.Write(style.name);
        out.Write(static_cast<int>(style.sortOrder));
        out.Write(ShaderFormat::kStyleKind);
        out.Write(static_cast<uint32_t>(style.records.size()));
        for (const ShaderStateRecord& record : style.records) {
            out.Write(static_cast<uint32_t>(record.code));
            out.Write(record.stage);
            out.Write(record.fromValues);
            out.Write(record.index);
        }
    }
    out.EndChunk();
}

}  // namespace

ShaderFileValue ShaderFileValue::Int(int32_t value) {
    ShaderFileValue result;
    result.type = ShaderValueType::Int;
    result.word = static_cast<uint32_t>(value);
    return result;
}

ShaderFileValue ShaderFileValue::Bool(bool value) {
    ShaderFileValue result;
    result.type = ShaderValueType::Bool;
    result.word = value ? 1 : 0;
    return result;
}

ShaderFileValue ShaderFileValue::Float(float value) { return MakeFloats(ShaderValueType::Float, {value}); }

ShaderFileValue ShaderFileValue::Float2(float x, float y) { return MakeFloats(ShaderValueType::Float2, {x, y}); }

ShaderFileValue ShaderFileValue::Float3(float x, float y, float z) {
    return MakeFloats(ShaderValueType::Float3, {x, y, z});
}

ShaderFileValue ShaderFileValue::Float4(float x, float y, float z, float w) {
    return MakeFloats(ShaderValueType::Float4, {x, y, z, w});
}

ShaderFileValue ShaderFileValue::TextureFile(std::string fileName) {
    ShaderFileValue result;
    result.type = ShaderValueType::TextureFile;
    result.text = std::move(fileName);
    return result;
}

ShaderFileValue ShaderFileValue::VertexProgram(std::string code, mem::vector<ShaderBinding> bindings) {
    return MakeProgram(ShaderValueType::VertexProgram, std::move(code), std::move(bindings));
}

ShaderFileValue ShaderFileValue::PixelProgram(std::string code, mem::vector<ShaderBinding> bindings) {
    return MakeProgram(ShaderValueType::PixelProgram, std::move(code), std::move(bindings));
}

void ShaderFileWriter::Write(BinaryWriter& out, const mem::vector<ShaderFileSection>& sections) {
    out.Write(ShaderFormat::kMagic, 3);
    out.Write(ShaderFormat::kVersion);
    for (const ShaderFileSection& section : sections) WriteSection(out, section);
}

void ShaderFileWriter::WriteSection(BinaryWriter& out, const ShaderFileSection& section) {
    BinaryWriter body;
    WriteValues(body, section.values);
    WriteParameters(body, section.parameters);
    WriteStyles(body, section.styles);
    out.Write(section.generation);
    out.Write(body.GetPosition());
    out.Write(body.GetBuffer(), body.GetPosition());
}

}  // namespace GAME
