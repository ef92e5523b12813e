#include "render/GraphicsShader2.h"

#include "core/Color.h"
#include "core/Coords.h"
#include "core/Log.h"
#include "core/Mat4.h"
#include "core/Vec2.h"
#include "core/Vec3.h"
#include "files/BinaryReader.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsTexture.h"
#include "render/RenderDevice.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

namespace GAME {

namespace {

constexpr uint32_t kVertexRegisters = 256;  // vc[] of vertex programs
constexpr uint32_t kPixelRegisters = 224;   // pc[] of pixel programs
constexpr uint32_t kTextureStages = 8;
constexpr uint32_t kSamplerStages = 16;

bool IsProgram(ShaderStateCode code) {
    return code == ShaderStateCode::VertexProgram || code == ShaderStateCode::PixelProgram;
}

// The types a file may name, after the reader's renaming (12, 13 and, for values, 7).
ShaderValueType ReadType(uint32_t code, bool value) {
    if (code == 12) return ShaderValueType::Float3;
    if (code == 13) return ShaderValueType::Float4;
    if (value && code == 7) return ShaderValueType::TextureFile;
    return static_cast<ShaderValueType>(code);
}

bool IsKnownType(ShaderValueType type) {
    const uint32_t code = static_cast<uint32_t>(type);
    return code <= 11 || code == 14 || code == 15;
}

// Floats an element of the type keeps: one register (4 floats) for float vectors, three or four
// for the matrices, one word for int and bool, none otherwise.
uint32_t FloatsPerElement(ShaderValueType type) {
    switch (type) {
        case ShaderValueType::Int:
        case ShaderValueType::Bool: return 1;
        case ShaderValueType::Float:
        case ShaderValueType::Float2:
        case ShaderValueType::Float3:
        case ShaderValueType::Float4: return 4;
        case ShaderValueType::Float4x3: return 12;
        case ShaderValueType::Float4x4: return 16;
        default: return 0;
    }
}

// Constant registers an element of the type fills; 0 for types that are not constants.
uint32_t RegistersPerElement(ShaderValueType type) { return FloatsPerElement(type) / 4; }

// The device state a record drives, as the record's value reads: the first word of an int or
// bool, the bits of the first float otherwise.
uint32_t GetWord(const std::vector<float>& floats) { return floats.empty() ? 0u : std::bit_cast<uint32_t>(floats[0]); }

bool IsIntegral(ShaderValueType type) { return type == ShaderValueType::Int || type == ShaderValueType::Bool; }

// Integer alpha references are Direct3D's 0..255; float ones are the device's 0..1.
float GetAlphaReference(ShaderValueType type, const std::vector<float>& floats) {
    if (floats.empty()) return 0.0f;
    return IsIntegral(type) ? static_cast<float>(GetWord(floats)) / 255.0f : floats[0];
}

// Integer colours are packed 0xAARRGGBB; float ones are (r, g, b, a), alpha 1 when not given.
Color GetColor(ShaderValueType type, const std::vector<float>& floats) {
    if (floats.empty()) return Color(1.0f, 1.0f, 1.0f, 1.0f);
    if (IsIntegral(type)) {
        const uint32_t packed = GetWord(floats);
        const auto channel = [packed](int shift) { return static_cast<float>((packed >> shift) & 0xFF) / 255.0f; };
        return Color(channel(16), channel(8), channel(0), channel(24));
    }
    const float alpha = type == ShaderValueType::Float4 ? floats[3] : 1.0f;
    return Color(floats[0], floats[1], floats[2], alpha);
}

void Resize(mem::vector<float>& floats, mem::vector<const RenderTexture*>& textures, ShaderValueType type,
            uint32_t count) {
    floats.assign(size_t(count) * FloatsPerElement(type), 0.0f);
    textures.assign(type == ShaderValueType::Texture ? count : 0, nullptr);
}

}  // namespace

GraphicsShader2::GraphicsShader2(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics)
    : Resource(manager, fileName, ResourceType::Shader), graphics_(graphics) {}

GraphicsShader2::~GraphicsShader2() { Destroy(); }

// -- Loading ----------------------------------------------------------------------------------------

Resource::InitResult GraphicsShader2::Initialize(const void* data, uint32_t size) {
    firstPass_ = true;
    BinaryReader reader(data, size);
    uint8_t header[4] = {};
    if (!reader.ReadBytes(header, 4) || std::memcmp(header, ShaderFormat::kMagic, 3) != 0) {
        Refuse("not a shader file");
        return InitResult::InvalidData;
    }
    if (header[3] != ShaderFormat::kVersion) {
        Refuse("unsupported version");
        return InitResult::InvalidData;
    }
    const char* const generation = graphics_.GetGenerationName();
    bool found = false;
    while (!found && !reader.IsAtEnd()) {
        std::string name;
        if (!reader.ReadString(name)) {
            Refuse("bad generation name");
            return InitResult::InvalidData;
        }
        const uint32_t sectionSize = reader.ReadUInt32();
        BinaryReader section = reader.ReadBlock(sectionSize);
        if (reader.Failed()) {
            Refuse("section runs past the end of the file");
            return InitResult::InvalidData;
        }
        if (name == generation) {
            found = true;
            if (!ReadSection(section)) return InitResult::InvalidData;
        }
    }
    if (!found) {
        Log(LogPriority::Error, "Shader %s has no section for generation %s", GetFileName().c_str(), generation);
        Destroy();
        return InitResult::InvalidData;
    }
    if (!CheckReferences()) return InitResult::InvalidData;
    IndexParameters();
    for (const Value& value : values_) {
        const bool program = value.storage.type == ShaderValueType::VertexProgram ||
                             value.storage.type == ShaderValueType::PixelProgram;
        if (program && value.vertexProgram == nullptr && value.pixelProgram == nullptr) {
            // The device did not make a program: a passing trouble, tried again later.
            Log(LogPriority::Error, "Shader %s: the device could not create a program", GetFileName().c_str());
            Destroy();
            return graphics_.GetRenderDevice()->DeviceLost() ? InitResult::Retry : InitResult::PartlyInitialized;
        }
    }
    PreparePrograms();
    return InitResult::Success;
}

void GraphicsShader2::PreparePrograms() const {
    RenderDevice* const device = graphics_.GetRenderDevice();
    if (device == nullptr) return;
    for (const Style& style : styles_) {
        const RenderVertexShader* vertex = nullptr;
        const RenderPixelShader* pixel = nullptr;
        for (const ShaderStateRecord& record : style.records) {
            if (!record.fromValues) continue;
            if (record.code == ShaderStateCode::VertexProgram) vertex = values_[record.index].vertexProgram;
            if (record.code == ShaderStateCode::PixelProgram) pixel = values_[record.index].pixelProgram;
        }
        if (vertex != nullptr && pixel != nullptr) device->PrepareProgram(vertex, pixel);
    }
}

bool GraphicsShader2::Refuse(const char* reason) {
    Log(LogPriority::Error, "Shader %s is invalid: %s", GetFileName().c_str(), reason);
    Destroy();
    return false;
}

bool GraphicsShader2::ReadSection(BinaryReader& section) {
    while (!section.IsAtEnd()) {
        const uint32_t id = section.ReadUInt32();
        const uint32_t size = section.ReadUInt32();
        BinaryReader chunk = section.ReadBlock(size);
        if (section.Failed()) return Refuse("chunk runs past the end of its section");
        bool read = true;
        switch (id) {
            case ShaderFormat::kValueChunk: read = ReadValues(chunk); break;
            case ShaderFormat::kParameterChunk: read = ReadParameters(chunk); break;
            case ShaderFormat::kStyleChunk: read = ReadStyles(chunk); break;
            default: break;  // a chunk of a later format: passed over
        }
        if (!read) return false;
    }
    return true;
}

bool GraphicsShader2::ReadValues(BinaryReader& chunk) {
    const uint32_t count = chunk.ReadUInt32();
    if (chunk.Failed() || count > ShaderFormat::kMaxCount) return Refuse("bad value count");
    // Each value takes at least its type word.
    if (count > chunk.GetRemaining() / 4) return Refuse("value count runs past the end of its chunk");
    values_.reserve(values_.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        values_.emplace_back();
        if (!ReadValue(chunk, values_.back())) return false;
    }
    return true;
}

bool GraphicsShader2::ReadValue(BinaryReader& chunk, Value& value) {
    const ShaderValueType type = ReadType(chunk.ReadUInt32(), true);
    if (!IsKnownType(type) || type == ShaderValueType::Texture) return Refuse("unknown value type");
    value.storage.type = type;
    value.storage.count = 1;
    Resize(value.storage.floats, value.storage.textures, type, 1);
    switch (type) {
        case ShaderValueType::Int:
        case ShaderValueType::Bool: {
            uint32_t word = chunk.ReadUInt32();
            if (type == ShaderValueType::Bool) word = word != 0 ? 1 : 0;
            value.storage.floats[0] = std::bit_cast<float>(word);
            break;
        }
        case ShaderValueType::Float:
        case ShaderValueType::Float2:
        case ShaderValueType::Float3:
        case ShaderValueType::Float4: {
            for (uint32_t c = 0; c < GetFloatComponents(type); ++c) value.storage.floats[c] = chunk.ReadFloat();
            break;
        }
        case ShaderValueType::String: {
            std::string discarded;
            if (!chunk.ReadString(discarded)) return Refuse("bad string value");
            break;
        }
        case ShaderValueType::TextureFile: {
            std::string textureName;
            if (!chunk.ReadString(textureName)) return Refuse("bad texture name");
            value.texture = graphics_.LoadTexture(textureName);
            break;
        }
        case ShaderValueType::VertexProgram:
        case ShaderValueType::PixelProgram: return ReadProgram(chunk, value);
        default: break;  // matrices and type 14: no payload
    }
    return chunk.Failed() ? Refuse("value runs past the end of its chunk") : true;
}

bool GraphicsShader2::ReadProgram(BinaryReader& chunk, Value& value) {
    const bool vertex = value.storage.type == ShaderValueType::VertexProgram;
    const uint32_t registers = vertex ? kVertexRegisters : kPixelRegisters;
    const uint32_t numBindings = chunk.ReadUInt32();
    if (chunk.Failed() || numBindings > chunk.GetRemaining() / 16) return Refuse("binding count runs past its chunk");
    value.bindings.resize(numBindings);
    for (ShaderBinding& binding : value.bindings) {
        binding.firstRegister = chunk.ReadUInt32();
        binding.registerLimit = chunk.ReadUInt32();
        binding.fromValues = chunk.ReadBool();
        binding.index = chunk.ReadUInt32();
        if (binding.firstRegister > registers || binding.registerLimit > registers - binding.firstRegister) {
            return Refuse("constant binding outside the program's registers");
        }
    }
    const uint32_t length = chunk.ReadUInt32();
    if (chunk.Failed() || length > chunk.GetRemaining()) return Refuse("program runs past the end of its chunk");
    const void* const code = chunk.GetCursor();
    chunk.Skip(length);
    RenderDevice* const device = graphics_.GetRenderDevice();
    if (vertex) {
        value.vertexProgram = device->CreateVertexShader(code, length);
    } else {
        value.pixelProgram = device->CreatePixelShader(code, length);
    }
    return true;
}

bool GraphicsShader2::ReadParameters(BinaryReader& chunk) {
    const uint32_t count = chunk.ReadUInt32();
    if (chunk.Failed() || count > ShaderFormat::kMaxCount) return Refuse("bad parameter count");
    // Each parameter takes at least 28 bytes.
    if (count > chunk.GetRemaining() / 28) return Refuse("parameter count runs past the end of its chunk");
    parameters_.reserve(parameters_.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        Parameter parameter;
        if (!chunk.ReadString(parameter.nameText)) return Refuse("bad parameter name");
        const ShaderValueType type = ReadType(chunk.ReadUInt32(), false);
        const uint32_t elements = chunk.ReadUInt32();
        chunk.Skip(8);
        const bool hasDefault = chunk.ReadBool();
        const uint32_t defaultValue = chunk.ReadUInt32();
        if (chunk.Failed()) return Refuse("parameter runs past the end of its chunk");
        if (!IsKnownType(type) || type == ShaderValueType::TextureFile) return Refuse("unknown parameter type");
        if (elements > ShaderFormat::kMaxElements) return Refuse("parameter has too many elements");
        parameter.name = Name::Create(parameter.nameText.c_str());
        parameter.storage.type = type;
        parameter.storage.count = elements;
        Resize(parameter.storage.floats, parameter.storage.textures, type, elements);
        parameter.defaultValue = hasDefault ? defaultValue : kNone;
        parameters_.push_back(std::move(parameter));
    }
    return true;
}

bool GraphicsShader2::ReadStyles(BinaryReader& chunk) {
    const uint32_t count = chunk.ReadUInt32();
    if (chunk.Failed() || count > ShaderFormat::kMaxCount) return Refuse("bad style count");
    // Each style takes at least 16 bytes.
    if (count > chunk.GetRemaining() / 16) return Refuse("style count runs past the end of its chunk");
    styles_.reserve(styles_.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        Style style;
        if (!chunk.ReadString(style.nameText)) return Refuse("bad style name");
        style.sortOrder = chunk.ReadInt32();
        const uint32_t kind = chunk.ReadUInt32();
        const uint32_t numRecords = chunk.ReadUInt32();
        if (chunk.Failed()) return Refuse("style runs past the end of its chunk");
        if (kind != ShaderFormat::kStyleKind) return Refuse("unknown style kind");
        if (numRecords > chunk.GetRemaining() / 16) return Refuse("record count runs past the end of its chunk");
        style.name = Name::Create(style.nameText.c_str());
        style.records.resize(numRecords);
        for (ShaderStateRecord& record : style.records) {
            const uint32_t code = chunk.ReadUInt32();
            record.stage = chunk.ReadUInt32();
            record.fromValues = chunk.ReadBool();
            record.index = chunk.ReadUInt32();
            if (code >= kNumShaderStateCodes) return Refuse("unknown state code");
            record.code = static_cast<ShaderStateCode>(code);
            const bool texture = record.code == ShaderStateCode::Texture;
            const bool sampler = code >= 10 && code <= 17 && (code <= 11 || code >= 15);
            if ((texture && record.stage >= kTextureStages) || (sampler && record.stage >= kSamplerStages)) {
                return Refuse("state record names a stage the device lacks");
            }
        }
        styles_.push_back(std::move(style));
    }
    return true;
}

bool GraphicsShader2::CheckReferences() {
    const auto inRange = [this](bool fromValues, uint32_t index) {
        return index < (fromValues ? values_.size() : parameters_.size());
    };
    for (const Style& style : styles_) {
        for (const ShaderStateRecord& record : style.records) {
            if (!inRange(record.fromValues, record.index)) return Refuse("state record names a missing value");
        }
    }
    for (const Value& value : values_) {
        for (const ShaderBinding& binding : value.bindings) {
            if (!inRange(binding.fromValues, binding.index)) return Refuse("binding names a missing value");
        }
    }
    for (const Parameter& parameter : parameters_) {
        if (parameter.defaultValue == kNone) continue;
        if (parameter.defaultValue >= values_.size()) return Refuse("default names a missing value");
        const ShaderValueType type = values_[parameter.defaultValue].storage.type;
        const bool textureDefault =
            parameter.storage.type == ShaderValueType::Texture && type == ShaderValueType::TextureFile;
        if (type != parameter.storage.type && !textureDefault) return Refuse("default of another type");
    }
    return true;
}

void GraphicsShader2::Destroy() {
    RenderDevice* const device = graphics_.GetRenderDevice();
    for (Value& value : values_) {
        if (device != nullptr) {
            device->DestroyVertexShader(value.vertexProgram);
            device->DestroyPixelShader(value.pixelProgram);
        }
        if (value.texture != nullptr) graphics_.UnloadTexture(value.texture);
    }
    values_.clear();
    parameters_.clear();
    parameterSlots_.clear();
    listIndices_.clear();
    setParameters_.clear();
    setCount_ = 0;
    dueParameters_ = 0;
    styles_.clear();
    currentStyle_ = kNoStyle;
    depth_ = 0;
}

void GraphicsShader2::PreLoadDependentResources() const {
    for (const Value& value : values_) {
        if (value.texture != nullptr) {
            GetResourceLoader()->EnqueueResource(value.texture, ResourcePriority::Normal, false, false);
        }
    }
}

size_t GraphicsShader2::GetSystemMemoryUsage() const {
    size_t bytes = Resource::GetSystemMemoryUsage();
    const auto storageBytes = [](const Storage& storage) {
        return storage.floats.size() * sizeof(float) + storage.textures.size() * sizeof(const RenderTexture*);
    };
    for (const Value& value : values_) {
        bytes += sizeof(Value) + storageBytes(value.storage) + value.bindings.size() * sizeof(ShaderBinding) +
                 value.bindingsOfParameter.size() * sizeof(uint64_t);
        if (value.vertexProgram != nullptr) bytes += value.vertexProgram->GetSystemMemoryUsage();
        if (value.pixelProgram != nullptr) bytes += value.pixelProgram->GetSystemMemoryUsage();
    }
    for (const Parameter& parameter : parameters_) {
        bytes += sizeof(Parameter) + parameter.nameText.size() + storageBytes(parameter.storage);
    }
    for (const Style& style : styles_) {
        bytes += sizeof(Style) + style.nameText.size() +
                 (style.records.size() + style.laterRecords.size()) * sizeof(ShaderStateRecord);
    }
    return bytes;
}

size_t GraphicsShader2::GetVideoMemoryUsage() const {
    size_t bytes = 0;
    for (const Value& value : values_) {
        if (value.vertexProgram != nullptr) bytes += value.vertexProgram->GetVideoMemoryUsage();
        if (value.pixelProgram != nullptr) bytes += value.pixelProgram->GetVideoMemoryUsage();
    }
    return bytes;
}

// -- Queries ----------------------------------------------------------------------------------------

bool GraphicsShader2::GetIsReadyToUse() const {
    MarkAsTouched();
    return GetLoadedState() == LoadedState::Loaded;
}

uint32_t GraphicsShader2::FindStyleByName(const Name& name) const {
    EnsureAvailable();
    for (uint32_t i = 0; i < styles_.size(); ++i) {
        if (styles_[i].name == name) return i;
    }
    return kNoStyle;
}

int GraphicsShader2::GetSortOrder(uint32_t style) const {
    return style < styles_.size() ? styles_[style].sortOrder : 0;
}

bool GraphicsShader2::HasParameter(const Name& name) const {
    EnsureAvailable();
    return FindParameter(name) != kNoParameter;
}

GraphicsShader2::ParameterList::ParameterList(std::initializer_list<const char*> names)
    : id_([] {
          static std::atomic<uint32_t> next{0};
          return next++;
      }()) {
    for (const char* name : names) names_.push_back(Name::Create(name));
}

const uint32_t* GraphicsShader2::ResolveParameterList(const ParameterList& list) const {
    if (list.id_ >= listIndices_.size()) listIndices_.resize(list.id_ + 1);
    mem::vector<uint32_t>& indices = listIndices_[list.id_];
    if (indices.empty()) {
        for (const Name& name : list.names_) indices.push_back(FindParameter(name));
    }
    return indices.data();
}

// -- Drawing ----------------------------------------------------------------------------------------

bool GraphicsShader2::Begin(uint32_t style) const {
    EnsureAvailable();
    if (style >= styles_.size()) return false;
    currentStyle_ = style;
    firstPass_ = true;
    ++depth_;
    return true;
}

void GraphicsShader2::Begin() const { ++depth_; }

void GraphicsShader2::End() const {
    // Locals: the stores below could otherwise alias every member the loop reads.
    const uint32_t* const set = setParameters_.data();
    Parameter* const parameters = parameters_.data();
    const uint32_t depth = depth_;
    const uint64_t counter = renderCounter_;
    uint32_t count = setCount_;
    uint64_t due = dueParameters_;
    while (count > 0 && parameters[set[count - 1]].setDepth == depth) {
        const uint32_t index = set[--count];
        parameters[index].setDepth = 0;
        parameters[index].renderStamp = counter;
        due |= DueBit(index);
    }
    setCount_ = count;
    dueParameters_ = due;
    if (depth_ > 0 && --depth_ == 0 && currentStyle_ < styles_.size()) {
        for (const ShaderStateRecord& record : styles_[currentStyle_].records) ApplyDefault(record);
    }
    graphics_.GetRenderDevice()->SetDebugName(nullptr, nullptr, nullptr);
}

void GraphicsShader2::Render(const char* debugName) const {
    if (currentStyle_ >= styles_.size()) return;
    const Style& style = styles_[currentStyle_];
    graphics_.GetRenderDevice()->SetDebugName(GetFileName().c_str(), style.nameText.c_str(), debugName);
    for (const ShaderStateRecord& record : firstPass_ ? style.records : style.laterRecords) {
        const Source source = GetSource(record.fromValues, record.index);
        if (source.storage == nullptr) {
            ApplyDefault(record);
            continue;
        }
        if (source.send) Apply(record, source);
        if (IsProgram(record.code) && source.value != nullptr) UploadConstants(*source.value);
    }
    ++renderCounter_;
    dueParameters_ = 0;
    firstPass_ = false;
}

GraphicsShader2::Source GraphicsShader2::GetSource(bool fromValues, uint32_t index) const {
    Source source;
    if (fromValues) {
        source.value = &values_[index];
        source.storage = &source.value->storage;
        source.send = firstPass_;
        return source;
    }
    const Parameter& parameter = parameters_[index];
    if (parameter.setDepth != 0) {
        source.storage = &parameter.storage;
        source.send = parameter.renderStamp == renderCounter_;
    } else if (parameter.defaultValue != kNone) {
        source.value = &values_[parameter.defaultValue];
        source.storage = &source.value->storage;
        // A default goes on the first pass, and again when End has just unset the parameter.
        source.send = firstPass_ || parameter.renderStamp == renderCounter_;
    }
    return source;
}

void GraphicsShader2::UploadConstants(const Value& program) const {
    const bool vertex = program.storage.type == ShaderValueType::VertexProgram;
    if (firstPass_) {
        for (const ShaderBinding& binding : program.bindings) UploadBinding(binding, vertex);
        return;
    }
    // After the first Render a value's constants have gone, and a parameter goes again only when
    // set (or unset by End) since the last Render (GetSource's rule), so that is asked first: of
    // the due parameters' bindings when the masks hold them, in binding order either way.
    if (program.dueMasks) {
        uint64_t bindings = 0;
        for (uint64_t due = dueParameters_ & program.parameterMask; due != 0; due &= due - 1) {
            bindings |= program.bindingsOfParameter[size_t(std::countr_zero(due))];
        }
        for (; bindings != 0; bindings &= bindings - 1) {
            UploadBinding(program.parameterBindings[size_t(std::countr_zero(bindings))], vertex);
        }
        return;
    }
    const uint64_t counter = renderCounter_;
    const Parameter* const parameters = parameters_.data();
    for (const ShaderBinding& binding : program.parameterBindings) {
        if (parameters[binding.index].renderStamp == counter) UploadBinding(binding, vertex);
    }
}

void GraphicsShader2::UploadBinding(const ShaderBinding& binding, bool vertex) const {
    const Source source = GetSource(binding.fromValues, binding.index);
    if (source.storage == nullptr || !source.send) return;
    const Storage& storage = *source.storage;
    const uint32_t perElement = RegistersPerElement(storage.type);
    if (perElement == 0 || IsIntegral(storage.type)) return;
    // A set parameter sends the elements set so far; a value or default its one element.
    const uint32_t elements = source.value != nullptr ? storage.count : parameters_[binding.index].usedCount;
    const uint32_t registers = std::min(elements * perElement, binding.registerLimit);
    if (registers == 0) return;
    RenderDevice* const device = graphics_.GetRenderDevice();
    if (vertex) {
        device->SetVertexShaderConstants(binding.firstRegister, storage.floats.data(), registers);
    } else {
        device->SetPixelShaderConstants(binding.firstRegister, storage.floats.data(), registers);
    }
}

void GraphicsShader2::Apply(const ShaderStateRecord& record, const Source& source) const {
    RenderDevice* const device = graphics_.GetRenderDevice();
    const Storage& storage = *source.storage;
    const uint32_t word = GetWord(storage.floats);
    switch (record.code) {
        case ShaderStateCode::Texture: {
            const RenderTexture* texture = nullptr;
            if (source.value != nullptr && source.value->texture != nullptr) {
                texture = source.value->texture->GetTexture();
            } else if (!storage.textures.empty()) {
                texture = storage.textures[0];
            }
            device->SetTexture(record.stage, texture);
            break;
        }
        case ShaderStateCode::VertexProgram:
            device->SetVertexShader(source.value != nullptr ? source.value->vertexProgram : nullptr);
            break;
        case ShaderStateCode::PixelProgram:
            device->SetPixelShader(source.value != nullptr ? source.value->pixelProgram : nullptr);
            break;
        case ShaderStateCode::SourceBlend:
            if (word <= 9) device->SetSourceBlendFactor(static_cast<RenderBlendFactor>(word));
            break;
        case ShaderStateCode::DestinationBlend:
            if (word <= 9) device->SetDestinationBlendFactor(static_cast<RenderBlendFactor>(word));
            break;
        case ShaderStateCode::DepthTest:
            if (word <= 7) device->SetDepthTestFunction(static_cast<RenderTestFunction>(word));
            break;
        case ShaderStateCode::AlphaTest:
            if (word <= 7) device->SetAlphaTestFunction(static_cast<RenderTestFunction>(word));
            break;
        case ShaderStateCode::AlphaReference:
            device->SetAlphaReference(GetAlphaReference(storage.type, storage.floats));
            break;
        case ShaderStateCode::ColorWrite:
            if (word <= 1) device->SetColorWriteMode(static_cast<RenderWriteMode>(word));
            break;
        case ShaderStateCode::DepthWrite:
            if (word <= 1) device->SetDepthWriteMode(static_cast<RenderWriteMode>(word));
            break;
        case ShaderStateCode::AlphaWrite:
            if (word <= 1) device->SetAlphaWriteMode(static_cast<RenderWriteMode>(word));
            break;
        case ShaderStateCode::AddressU:
            device->SetSamplerState(record.stage, RenderSamplerState::AddressU, word);
            break;
        case ShaderStateCode::AddressV:
            device->SetSamplerState(record.stage, RenderSamplerState::AddressV, word);
            break;
        case ShaderStateCode::MagFilter:
            device->SetSamplerState(record.stage, RenderSamplerState::MagFilter, word);
            break;
        case ShaderStateCode::MinFilter:
            device->SetSamplerState(record.stage, RenderSamplerState::MinFilter, word);
            break;
        case ShaderStateCode::MipFilter:
            device->SetSamplerState(record.stage, RenderSamplerState::MipFilter, word);
            break;
        case ShaderStateCode::CullMode: device->SetRenderStateA(word); break;
        case ShaderStateCode::DepthBias: device->SetRenderStateB(word); break;
        case ShaderStateCode::SlopeScaledDepthBias: device->SetRenderStateC(word); break;
        case ShaderStateCode::ConstantColor: device->SetRenderStateD(GetColor(storage.type, storage.floats)); break;
        case ShaderStateCode::RenderStateE: device->SetRenderStateE(word); break;
        case ShaderStateCode::Unused12:
        case ShaderStateCode::Unused13:
        case ShaderStateCode::Unused14: break;
    }
}

void GraphicsShader2::ApplyDefault(const ShaderStateRecord& record) const {
    RenderDevice* const device = graphics_.GetRenderDevice();
    switch (record.code) {
        case ShaderStateCode::Texture: device->SetTexture(record.stage, nullptr); break;
        case ShaderStateCode::VertexProgram: device->SetVertexShader(nullptr); break;
        case ShaderStateCode::PixelProgram: device->SetPixelShader(nullptr); break;
        case ShaderStateCode::SourceBlend: device->SetSourceBlendFactor(RenderBlendFactor::One); break;
        case ShaderStateCode::DestinationBlend: device->SetDestinationBlendFactor(RenderBlendFactor::Zero); break;
        case ShaderStateCode::DepthTest: device->SetDepthTestFunction(RenderTestFunction::LessEqual); break;
        case ShaderStateCode::AlphaTest: device->SetAlphaTestFunction(RenderTestFunction::Always); break;
        case ShaderStateCode::AlphaReference: device->SetAlphaReference(0.0f); break;
        case ShaderStateCode::ColorWrite: device->SetColorWriteMode(RenderWriteMode::On); break;
        case ShaderStateCode::DepthWrite: device->SetDepthWriteMode(RenderWriteMode::On); break;
        case ShaderStateCode::AlphaWrite: device->SetAlphaWriteMode(RenderWriteMode::On); break;
        case ShaderStateCode::AddressU: device->SetSamplerState(record.stage, RenderSamplerState::AddressU, 0); break;
        case ShaderStateCode::AddressV: device->SetSamplerState(record.stage, RenderSamplerState::AddressV, 0); break;
        case ShaderStateCode::CullMode: device->SetRenderStateA(0); break;
        case ShaderStateCode::DepthBias: device->SetRenderStateB(0); break;
        case ShaderStateCode::SlopeScaledDepthBias: device->SetRenderStateC(0); break;
        case ShaderStateCode::ConstantColor: device->SetRenderStateD(Color(1.0f, 1.0f, 1.0f, 1.0f)); break;
        case ShaderStateCode::RenderStateE: device->SetRenderStateE(0); break;
        // The filters keep what was last set; 12 to 14 drive nothing.
        case ShaderStateCode::MagFilter:
        case ShaderStateCode::MinFilter:
        case ShaderStateCode::MipFilter:
        case ShaderStateCode::Unused12:
        case ShaderStateCode::Unused13:
        case ShaderStateCode::Unused14: break;
    }
}

// -- Parameters ---------------------------------------------------------------------------------------

void GraphicsShader2::IndexParameters() {
    listIndices_.clear();
    setParameters_.assign(parameters_.size(), kNone);
    setCount_ = 0;
    size_t slots = 16;
    while (slots < parameters_.size() * 2) slots *= 2;
    parameterSlots_.assign(slots, kNone);
    const size_t mask = slots - 1;
    for (uint32_t i = 0; i < parameters_.size(); ++i) {
        size_t slot = parameters_[i].name.GetWord(0) & mask;
        while (parameterSlots_[slot] != kNone && parameters_[parameterSlots_[slot]].name != parameters_[i].name) {
            slot = (slot + 1) & mask;
        }
        // The first parameter of a name wins.
        if (parameterSlots_[slot] == kNone) parameterSlots_[slot] = i;
    }
    for (Value& value : values_) {
        for (const ShaderBinding& binding : value.bindings) {
            if (!binding.fromValues) value.parameterBindings.push_back(binding);
        }
        value.dueMasks = !value.parameterBindings.empty() && parameters_.size() <= kMaskBits &&
                         value.parameterBindings.size() <= kMaskBits;
        if (!value.dueMasks) continue;
        value.bindingsOfParameter.assign(parameters_.size(), 0);
        for (size_t b = 0; b < value.parameterBindings.size(); ++b) {
            const uint32_t parameter = value.parameterBindings[b].index;
            value.parameterMask |= DueBit(parameter);
            value.bindingsOfParameter[parameter] |= uint64_t(1) << b;
        }
    }
    for (Style& style : styles_) {
        for (const ShaderStateRecord& record : style.records) {
            if (!record.fromValues || IsProgram(record.code)) style.laterRecords.push_back(record);
        }
    }
}

uint32_t GraphicsShader2::FindParameter(const Name& name) const {
    if (parameterSlots_.empty()) return kNoParameter;
    const size_t mask = parameterSlots_.size() - 1;
    for (size_t slot = name.GetWord(0) & mask;; slot = (slot + 1) & mask) {
        const uint32_t index = parameterSlots_[slot];
        if (index == kNone || parameters_[index].name == name) return index;
    }
}

GraphicsShader2::Parameter* GraphicsShader2::BeginSet(uint32_t index, uint32_t element, ShaderValueType type,
                                                      bool& known) const {
    known = index < parameters_.size();
    if (!known) return nullptr;
    Parameter* const parameter = &parameters_[index];
    if (parameter->setDepth != 0 && parameter->setDepth != depth_) return nullptr;
    if (parameter->storage.type != type || element >= parameter->storage.count) return nullptr;
    return parameter;
}

void GraphicsShader2::EndSet(Parameter& parameter, uint32_t element) const {
    if (parameter.setDepth == 0 && depth_ != 0) setParameters_[setCount_++] = uint32_t(&parameter - parameters_.data());
    parameter.usedCount = std::max(parameter.usedCount, element + 1);
    parameter.setDepth = depth_;
    parameter.renderStamp = renderCounter_;
    parameter.changeStamp = renderCounter_;
    dueParameters_ |= DueBit(uint32_t(&parameter - parameters_.data()));
}

bool GraphicsShader2::IsStillOnDevice(const Parameter& parameter, uint32_t element) const {
    return !firstPass_ && depth_ != 0 && parameter.setDepth == 0 && parameter.renderStamp == renderCounter_ &&
           parameter.changeStamp < renderCounter_ && element < parameter.usedCount;
}

void GraphicsShader2::KeepSet(Parameter& parameter) const {
    setParameters_[setCount_++] = uint32_t(&parameter - parameters_.data());
    parameter.setDepth = depth_;
    parameter.renderStamp = parameter.changeStamp;
    dueParameters_ &= ~DueBit(uint32_t(&parameter - parameters_.data()));
}

bool GraphicsShader2::SetFloats(uint32_t index, uint32_t element, ShaderValueType type, const float* data,
                                uint32_t count) const {
    bool known = false;
    Parameter* const parameter = BeginSet(index, element, type, known);
    if (parameter == nullptr) return !known;
    // Drawing code sets every parameter for each draw, most of them to what the draw before had.
    float* const stored = parameter->storage.floats.data() + size_t(element) * FloatsPerElement(type);
    if (IsStillOnDevice(*parameter, element) && std::memcmp(stored, data, count * sizeof(float)) == 0) {
        KeepSet(*parameter);
        return true;
    }
    std::copy(data, data + count, stored);
    EndSet(*parameter, element);
    return true;
}

bool GraphicsShader2::SetInt(const Name& name, uint32_t element, int value) const {
    const float bits = std::bit_cast<float>(value);
    return SetFloats(FindParameter(name), element, ShaderValueType::Int, &bits, 1);
}

bool GraphicsShader2::SetFloat(const Name& name, uint32_t element, float value) const {
    return SetFloat(FindParameter(name), element, value);
}

bool GraphicsShader2::SetFloat(uint32_t parameter, uint32_t element, float value) const {
    return SetFloats(parameter, element, ShaderValueType::Float, &value, 1);
}

bool GraphicsShader2::SetFloat2(const Name& name, uint32_t element, float x, float y) const {
    const float data[2] = {x, y};
    return SetFloats(FindParameter(name), element, ShaderValueType::Float2, data, 2);
}

bool GraphicsShader2::SetFloat2(const Name& name, uint32_t element, const Vec2& value) const {
    return SetFloat2(name, element, value.x, value.y);
}

bool GraphicsShader2::SetFloat3(const Name& name, uint32_t element, float x, float y, float z) const {
    return SetFloat3(FindParameter(name), element, Vec3(x, y, z));
}

bool GraphicsShader2::SetFloat3(const Name& name, uint32_t element, const Vec3& value) const {
    return SetFloat3(FindParameter(name), element, value);
}

bool GraphicsShader2::SetFloat3(uint32_t parameter, uint32_t element, const Vec3& value) const {
    const float data[3] = {value.x, value.y, value.z};
    return SetFloats(parameter, element, ShaderValueType::Float3, data, 3);
}

bool GraphicsShader2::SetFloat3(const Name& name, uint32_t element, const Color& value) const {
    return SetFloat3(FindParameter(name), element, value);
}

bool GraphicsShader2::SetFloat3(uint32_t parameter, uint32_t element, const Color& value) const {
    return SetFloat3(parameter, element, Vec3(value.r, value.g, value.b));
}

bool GraphicsShader2::SetFloat4(const Name& name, uint32_t element, float x, float y, float z, float w) const {
    return SetFloat4(FindParameter(name), element, x, y, z, w);
}

bool GraphicsShader2::SetFloat4(uint32_t parameter, uint32_t element, float x, float y, float z, float w) const {
    const float data[4] = {x, y, z, w};
    return SetFloats(parameter, element, ShaderValueType::Float4, data, 4);
}

bool GraphicsShader2::SetFloat4x3(const Name& name, uint32_t element, const float* rows) const {
    return SetFloats(FindParameter(name), element, ShaderValueType::Float4x3, rows, 12);
}

bool GraphicsShader2::SetFloat4x3(const Name& name, uint32_t element, const Coords& value) const {
    return SetFloat4x3(FindParameter(name), element, value);
}

bool GraphicsShader2::SetFloat4x3(uint32_t parameter, uint32_t element, const Coords& value) const {
    const Vec3* const axes[4] = {&value.xAxis, &value.yAxis, &value.zAxis, &value.origin};
    float rows[12];
    for (int column = 0; column < 4; ++column) {
        rows[column] = axes[column]->x;
        rows[4 + column] = axes[column]->y;
        rows[8 + column] = axes[column]->z;
    }
    return SetFloats(parameter, element, ShaderValueType::Float4x3, rows, 12);
}

bool GraphicsShader2::SetFloat4x4(const Name& name, uint32_t element, const float* rows) const {
    return SetFloats(FindParameter(name), element, ShaderValueType::Float4x4, rows, 16);
}

bool GraphicsShader2::SetFloat4x4(const Name& name, uint32_t element, const Mat4& value) const {
    return SetFloat4x4(FindParameter(name), element, value);
}

bool GraphicsShader2::SetFloat4x4(uint32_t parameter, uint32_t element, const Mat4& value) const {
    return SetFloats(parameter, element, ShaderValueType::Float4x4, value.GetData(), 16);
}

bool GraphicsShader2::SetTexture(const Name& name, uint32_t element, const RenderTexture* value) const {
    return SetTexture(FindParameter(name), element, value);
}

bool GraphicsShader2::SetTexture(uint32_t index, uint32_t element, const RenderTexture* value) const {
    bool known = false;
    Parameter* const parameter = BeginSet(index, element, ShaderValueType::Texture, known);
    if (parameter == nullptr) return !known;
    if (IsStillOnDevice(*parameter, element) && parameter->storage.textures[element] == value) {
        KeepSet(*parameter);
        return true;
    }
    parameter->storage.textures[element] = value;
    EndSet(*parameter, element);
    return true;
}

}  // namespace GAME
