#pragma once
// GraphicsShader2: the shader resource, one ".ssh" file (ShaderFormat.h) read for the graphics
// engine's current generation.
//
// A section of the file holds constant values (numbers, textures, and the vertex and pixel
// programs with their constant bindings), named parameters that code sets, and named styles, each
// a list of device state assignments. Drawing code picks a style (FindStyleByName), calls
// Begin(style), sets parameters, calls Render before each draw and End at the end.
//
// Render sends only what changed: constant states of the style on the first Render after Begin,
// a parameter when it was set since the previous Render, a parameter's default on the first
// Render. A parameter set during one Begin depth cannot be set again from another (the setter
// fails) and falls back to its default when that depth ends; set again before the next Render to
// the value the device was last sent (drawing code sets each parameter for each draw), it sends
// nothing. End at the outermost depth puts the style's states back to the device defaults.
//
// Code that draws many times with one shader names its parameters in a ParameterList (made once)
// and sets them by index (GetParameterIndices): the shader resolves a list's names at its first
// use and keeps the indices while it stays loaded, so a draw's setters look up no name.
//
// Everything the file says is checked at load: lengths, counts and indices against the file and
// against each other, default values against their parameter's type, constant registers against
// the device's. A file that fails any check is refused (InitResult::InvalidData, logged).
//
// Threads: Initialize and Destroy may run on the loader thread; the drawing operations (Begin,
// setters, Render, End) belong to the main thread. Users hold shaders as const pointers, like
// every resource; the drawing state is per-use scratch, so the drawing operations are const too.

#include "core/Mem.h"
#include "core/Name.h"
#include "files/Resource.h"
#include "render/ShaderFormat.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace GAME {

class BinaryReader;
class GraphicsEngine;
class GraphicsTexture;
class Mat4;
class RenderPixelShader;
class RenderTexture;
class RenderVertexShader;
struct Color;
struct Coords;
struct Vec2;
struct Vec3;

class GraphicsShader2 final : public Resource {
public:
    // FindStyleByName's answer for a style the shader lacks.
    static constexpr uint32_t kNoStyle = 0xFFFFFFFFu;
    // The index of a parameter the shader lacks: setting it does nothing and is no error.
    static constexpr uint32_t kNoParameter = 0xFFFFFFFFu;

    // Parameter names in a fixed order, for GetParameterIndices. Lists live as long as the
    // program (static objects): each shader keeps the indices of every list it has resolved.
    class ParameterList {
    public:
        ParameterList(std::initializer_list<const char*> names);

    private:
        friend class GraphicsShader2;
        const uint32_t id_;  // from 0, in order of construction
        mem::vector<Name> names_;
    };

    GraphicsShader2(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics);
    ~GraphicsShader2() override;

    // Queues every texture value with the resource loader.
    void PreLoadDependentResources() const override;
    // Reads the file's section for the device's generation and makes its programs; the device
    // then prepares each style's program pair, so drawing never waits for it.
    InitResult Initialize(const void* data, uint32_t size) override;
    void Destroy() override;
    size_t GetSystemMemoryUsage() const override;
    // The programs' device memory.
    size_t GetVideoMemoryUsage() const override;

    // Loaded (with or without success); marks the shader touched.
    bool GetIsReadyToUse() const;

    uint32_t FindStyleByName(const Name& name) const;
    // The sort order of a style FindStyleByName gave (which loaded the shader); 0 for a style the
    // shader lacks.
    int GetSortOrder(uint32_t style) const;
    bool HasParameter(const Name& name) const;
    // The index of each of the list's names in this shader (kNoParameter for a name it lacks), in
    // list order; resolved at the first call after the shader was loaded (main thread).
    const uint32_t* GetParameterIndices(const ParameterList& list) const {
        if (list.id_ < listIndices_.size() && !listIndices_[list.id_].empty()) return listIndices_[list.id_].data();
        return ResolveParameterList(list);
    }

    // Makes the style current and opens a Begin depth; false for a style the shader lacks.
    bool Begin(uint32_t style) const;
    // Opens a nested Begin depth over the current style.
    void Begin() const;
    // Closes the innermost Begin depth (see the header comment).
    void End() const;
    // Sends the current style's changed states and constants to the device; the device labels
    // the following draws with the shader, the style and debugName.
    void Render(const char* debugName) const;

    // Setters: store one element of a parameter for the next Render. A name the shader lacks is
    // no error (true, nothing stored); false when the type differs, the element is out of range
    // or the parameter was set during another Begin depth.
    bool SetInt(const Name& name, uint32_t element, int value) const;
    bool SetFloat(const Name& name, uint32_t element, float value) const;
    bool SetFloat2(const Name& name, uint32_t element, float x, float y) const;
    bool SetFloat2(const Name& name, uint32_t element, const Vec2& value) const;
    bool SetFloat3(const Name& name, uint32_t element, float x, float y, float z) const;
    bool SetFloat3(const Name& name, uint32_t element, const Vec3& value) const;
    // Red, green and blue.
    bool SetFloat3(const Name& name, uint32_t element, const Color& value) const;
    bool SetFloat4(const Name& name, uint32_t element, float x, float y, float z, float w) const;
    // Three rows of four floats.
    bool SetFloat4x3(const Name& name, uint32_t element, const float* rows) const;
    // Rows (x axis i, y axis i, z axis i, origin i) for i = 0, 1, 2.
    bool SetFloat4x3(const Name& name, uint32_t element, const Coords& value) const;
    // Four rows of four floats.
    bool SetFloat4x4(const Name& name, uint32_t element, const float* rows) const;
    bool SetFloat4x4(const Name& name, uint32_t element, const Mat4& value) const;
    bool SetTexture(const Name& name, uint32_t element, const RenderTexture* value) const;
    // The same by parameter index (GetParameterIndices).
    bool SetFloat(uint32_t parameter, uint32_t element, float value) const;
    bool SetFloat3(uint32_t parameter, uint32_t element, const Vec3& value) const;
    bool SetFloat3(uint32_t parameter, uint32_t element, const Color& value) const;
    bool SetFloat4(uint32_t parameter, uint32_t element, float x, float y, float z, float w) const;
    bool SetFloat4x3(uint32_t parameter, uint32_t element, const Coords& value) const;
    bool SetFloat4x4(uint32_t parameter, uint32_t element, const Mat4& value) const;
    bool SetTexture(uint32_t parameter, uint32_t element, const RenderTexture* value) const;

private:
    // The elements of a value or parameter.
    struct Storage {
        ShaderValueType type = ShaderValueType::None;
        uint32_t count = 0;                          // elements
        mem::vector<float> floats;                   // float-like elements (4, 12 or 16 floats each);
                                                     // int and bool elements as one word of bits each
        mem::vector<const RenderTexture*> textures;  // Texture elements
    };
    // One entry of the value list: a single element, or a program or a texture.
    struct Value {
        Storage storage;
        const GraphicsTexture* texture = nullptr;      // TextureFile: held with a reference
        RenderVertexShader* vertexProgram = nullptr;  // VertexProgram: owned
        RenderPixelShader* pixelProgram = nullptr;    // PixelProgram: owned
        mem::vector<ShaderBinding> bindings;          // programs: their constants
        // Programs: the bindings that take a parameter, in order (after a style's first Render
        // only these may have something to send).
        mem::vector<ShaderBinding> parameterBindings;
        // When the shader has at most kMaskBits parameters and the program as many parameter
        // bindings: the parameters they take, and for each parameter the bit of every binding
        // (by position in parameterBindings) that takes it. A Render then walks only the bindings
        // of due parameters (dueParameters_) instead of asking each binding.
        bool dueMasks = false;
        uint64_t parameterMask = 0;
        mem::vector<uint64_t> bindingsOfParameter;
    };
    struct Parameter {
        Name name;
        std::string nameText;
        Storage storage;
        uint32_t usedCount = 0;         // highest element set + 1
        uint32_t setDepth = 0;          // the Begin depth it was set at; 0 when not set
        uint64_t renderStamp = 0;       // render counter when last set (or unset by End)
        uint64_t changeStamp = 0;       // render counter when its storage last took a new value
        uint32_t defaultValue = kNone;  // value index, or kNone
    };
    struct Style {
        Name name;
        std::string nameText;
        int sortOrder = 0;
        mem::vector<ShaderStateRecord> records;
        // The records a Render after the style's first still has to look at, in order: those
        // taking a parameter, and the programs (whose parameter constants may have changed). A
        // value's state goes on the first Render only.
        mem::vector<ShaderStateRecord> laterRecords;
    };
    // What a record or binding takes its value from this Render: a value's or a parameter's
    // storage (null storage: nothing, the state goes back to its default), and whether it changed.
    struct Source {
        const Storage* storage = nullptr;
        const Value* value = nullptr;  // set when the storage is a value's
        bool send = false;
    };

    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint32_t kMaskBits = 64;
    // A parameter's bit in dueParameters_ and the programs' masks; none past kMaskBits.
    static constexpr uint64_t DueBit(uint32_t parameter) {
        return parameter < kMaskBits ? uint64_t(1) << parameter : 0;
    }

    // Reading: each returns false (after logging why) when the file is refused.
    bool Refuse(const char* reason);
    // Hands the device the vertex and pixel program of each style that has both.
    void PreparePrograms() const;
    bool ReadSection(BinaryReader& section);
    bool ReadValues(BinaryReader& chunk);
    bool ReadValue(BinaryReader& chunk, Value& value);
    bool ReadProgram(BinaryReader& chunk, Value& value);
    bool ReadParameters(BinaryReader& chunk);
    bool ReadStyles(BinaryReader& chunk);
    // Checks the indices of records, bindings and defaults once the whole section is read.
    bool CheckReferences();

    Source GetSource(bool fromValues, uint32_t index) const;
    void Apply(const ShaderStateRecord& record, const Source& source) const;
    void ApplyDefault(const ShaderStateRecord& record) const;
    void UploadConstants(const Value& program) const;
    void UploadBinding(const ShaderBinding& binding, bool vertex) const;

    // Fills parameterSlots_, each program's parameterBindings and each style's laterRecords once
    // the section is read.
    void IndexParameters();
    const uint32_t* ResolveParameterList(const ParameterList& list) const;
    // The parameter's index, or kNoParameter.
    uint32_t FindParameter(const Name& name) const;
    // The parameter, when it may take the element of the type now; sets known = false for an
    // index of no parameter.
    Parameter* BeginSet(uint32_t index, uint32_t element, ShaderValueType type, bool& known) const;
    void EndSet(Parameter& parameter, uint32_t element) const;
    // Whether setting the element to the value it holds may leave the device as it is: End has
    // unset the parameter since the last Render (so its default has not gone yet), and a Render
    // since its last change sent it.
    bool IsStillOnDevice(const Parameter& parameter, uint32_t element) const;
    // Sets the parameter again at the current depth with nothing to send.
    void KeepSet(Parameter& parameter) const;
    bool SetFloats(uint32_t index, uint32_t element, ShaderValueType type, const float* data, uint32_t count) const;

    GraphicsEngine& graphics_;
    mem::vector<Value> values_;
    mutable mem::vector<Parameter> parameters_;
    // The parameters by name, looked up at every setter call: open addressing on the name's first
    // word, a power of two of slots at least twice the parameters, each an index or kNone. A
    // lookup is a mask and a compare or two, where a node-based map hashed, divided and chased.
    mem::vector<uint32_t> parameterSlots_;
    mem::vector<Style> styles_;
    // GetParameterIndices' answers by list id; empty for a list not resolved yet.
    mutable mem::vector<mem::vector<uint32_t>> listIndices_;

    // Drawing state (main thread).
    mutable uint32_t currentStyle_ = kNoStyle;
    mutable uint32_t depth_ = 0;
    mutable uint64_t renderCounter_ = 1;
    mutable bool firstPass_ = true;
    // The parameters set at a Begin depth, innermost depth last: End unsets them without going
    // through every parameter at every draw. A parameter is in the list at most once, so it has
    // room for every parameter and the first setCount_ entries are used.
    mutable mem::vector<uint32_t> setParameters_;
    mutable uint32_t setCount_ = 0;
    // Bit p: parameter p is due, its render stamp is the render counter (set, or unset by End,
    // since the last Render). Kept for the first kMaskBits parameters.
    mutable uint64_t dueParameters_ = 0;
};

}  // namespace GAME
