#pragma once
// RecordingDevice: a render device for logic tests that need no pixels.
//
// It implements every operation of RenderDevice. Each call, on the device or on one of its
// resources, is appended to a call log as text, with its arguments:
//
//   "SetTexture(0, texture2)"  "DrawIndexedPrimitive(0, 0, 4, 2, 0, 0)"  "vertexBuffer1.Lock(0, 64, 0)"
//
// Resources are named by kind and creation number (texture1, surface1, primarySurface1,
// vertexBuffer1, indexBuffer1, dynamicVertexBuffer1, dynamicIndexBuffer1, vertexShader1,
// pixelShader1, declaration1, font1; a surface's own textures are surface1.color and
// surface1.depth); null is "null" and a pointer the device did not make is "unknown". Floats print
// with %g, packed colours as 0xaarrggbb, Color as (r, g, b, a), Rect as (x, y, width, height),
// Plane as ((nx, ny, nz), d), strings quoted; data pointers print as "data" (or "null") and the
// data itself is kept by the resource (GetTexels, GetProgram, GetData...).
//
// It keeps the state the calls set (GetState), answers queries from it, and answers the rest from
// a script that tests may change (Script). Lock hands out real memory. Misuse it notices (destroying
// a resource it does not hold, registers or stages out of range) goes to GetErrors; resources still
// held are counted by GetNumLiveResources and freed with the device.
//
// Resource creation, Lock/Unlock and destruction may come from any thread, as on a real device;
// the rest from one thread at a time.
//
// Built into the tests' support library and, with the exports of device/RecordingDeviceLibrary.cpp,
// into the loadable libraries libRecordingDevice.so (a new device per create) and
// libRecordingDeviceSingle.so (one device, handed out again until destroyed).

#include "render/RenderDevice.h"

#include "core/Color.h"
#include "core/Plane.h"
#include "core/Rect.h"
#include "support/RecordingResources.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace GAME::test {

// The answers of the device that are not state; tests change them at will.
struct RecordingDeviceScript {
    bool initializeResult = true;
    bool beginSceneResult = true;
    bool deviceLost = false;
    bool resetResult = true;
    bool failCreates = false;          // every Create... returns null
    bool failVertexBuffers = false;    // CreateVertexBuffer returns null
    bool failIndexBuffers = false;     // CreateIndexBuffer returns null
    bool failLocks = false;            // static vertex and index buffers refuse to lock
    bool outOfVideoMemory = false;     // IsOutOfVideoMemory
    bool supportsDepthRenderTargets = true;
    bool supports16bitColorWithDepth = false;
    uint32_t textureDataLength = 0;    // GetTextureDataLength: 0 "cannot tell"
    size_t videoMemory = size_t(512) << 20;
    RenderGenerationId generation = RenderGenerationId::GeForce6;
    uint32_t deviceId = 0xFFFFFFFFu;
    std::vector<RenderDisplayMode> displayModes = {{800, 600, 60}, {1024, 768, 60}, {1280, 1024, 60}};
};

// The state the calls set, with a fresh device's values.
struct RecordingDeviceState {
    static constexpr uint32_t kNumTargets = 4;
    static constexpr uint32_t kNumStages = 8;
    static constexpr uint32_t kNumSamplers = 16;
    static constexpr uint32_t kNumSamplerStates = 6;
    static constexpr uint32_t kNumStreams = 16;
    static constexpr uint32_t kNumClipPlanes = 8;
    static constexpr uint32_t kNumVertexRegisters = 256;
    static constexpr uint32_t kNumPixelRegisters = 224;

    // One vertex stream: a static buffer with an offset, or a dynamic buffer at its last lock.
    struct Stream {
        const RenderVertexBuffer* buffer = nullptr;
        const RenderDynamicVertexBuffer* dynamicBuffer = nullptr;
        uint32_t offset = 0;  // bytes
        uint32_t stride = 0;  // bytes
    };

    Viewport viewport;
    bool scissorEnabled = false;
    Rect scissor;
    Color clearColor;
    RenderSurface* colorTargets[kNumTargets] = {};
    RenderSurface* depthTarget = nullptr;  // the surface whose depth is the depth target

    const RenderVertexShader* vertexShader = nullptr;
    const RenderPixelShader* pixelShader = nullptr;
    float vertexConstants[kNumVertexRegisters][4] = {};
    float pixelConstants[kNumPixelRegisters][4] = {};
    const RenderTexture* textures[kNumStages] = {};
    bool clipPlaneEnabled[kNumClipPlanes] = {};
    Plane clipPlanes[kNumClipPlanes];

    RenderTestFunction depthTest = RenderTestFunction::LessEqual;
    RenderTestFunction alphaTest = RenderTestFunction::Always;
    float alphaReference = 0.0f;
    uint32_t renderStateA = 0;
    uint32_t renderStateB = 0;
    uint32_t renderStateC = 0;
    Color renderStateD{1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t renderStateE = 0;
    RenderWriteMode colorWrite = RenderWriteMode::On;
    RenderWriteMode alphaWrite = RenderWriteMode::On;
    RenderWriteMode depthWrite = RenderWriteMode::On;
    RenderBlendFactor sourceBlend = RenderBlendFactor::One;
    RenderBlendFactor destinationBlend = RenderBlendFactor::Zero;
    // [sampler][RenderSamplerState]: wrap, wrap, (unused), linear, linear, linear mips.
    uint32_t samplerStates[kNumSamplers][kNumSamplerStates] = {};

    Stream streams[kNumStreams];
    const RenderVertexDeclaration* declaration = nullptr;
    // The index source: a static buffer, or a dynamic buffer read from firstIndex (its last lock).
    const RenderIndexBuffer* indexBuffer = nullptr;
    const RenderDynamicIndexBuffer* dynamicIndexBuffer = nullptr;
    uint32_t firstIndex = 0;

    bool wireframe = false;
    bool verticalSync = false;
    uint32_t drawCallLimit = RenderDevice::kNoDrawCallLimit;  // as last set; applies from the next frame
    bool debugAlpha = true;
    bool debugPixelShaders = false;
    bool debugTextures = false;
    bool debugCullPixels = false;
    bool debugCullPrimitives = false;
    float brightness = 0.0f;
    float contrast = 0.0f;
    float gamma = 0.0f;

    RecordingDeviceState();
};

class RecordingDevice final : public RenderDevice {
public:
    explicit RecordingDevice(Engine* engine = nullptr);
    // Public, unlike other devices: a test may own a recording device directly.
    ~RecordingDevice() override;

    // -- For tests -------------------------------------------------------------------------------

    // The engine object the device was created with.
    Engine* GetEngine() const { return engine_; }
    RecordingDeviceScript& Script() { return script_; }
    const RecordingDeviceState& GetState() const { return state_; }

    // Every call so far, in order.
    std::vector<std::string> GetCalls() const;
    // The calls of one operation: "Lock" matches any resource's Lock, "texture1.Lock" one
    // texture's, "DrawRect" the device's.
    std::vector<std::string> GetCalls(const std::string& operation) const;
    size_t CountCalls(const std::string& operation) const;
    void ClearCalls();

    std::vector<std::string> GetErrors() const;
    // Resources made and not yet destroyed (a surface's own textures are part of the surface).
    size_t GetNumLiveResources() const;
    // The log name of a resource ("texture1"), "null" or "unknown".
    std::string GetResourceName(const void* resource) const;
    // Frame statistics of the current frame: draw calls executed (within the limit) so far.
    uint32_t GetNumExecutedDrawCalls() const { return executedDrawCalls_; }

    // Formats and records one call; used by the resources too. Returns the recorded text.
    template <class... Args>
    std::string RecordCall(const std::string& operation, const Args&... args) const;
    void AddError(const std::string& error);
    // Argument texts for data pointers ("data" or "null") and packed colours ("0xaarrggbb").
    static std::string Data(const void* data) { return data != nullptr ? "data" : "null"; }
    static std::string Packed(uint32_t color);

    // Used by the dynamic buffers when they bind themselves.
    void BindDynamicStream(uint32_t stream, const RenderDynamicVertexBuffer* buffer, uint32_t offset,
                           uint32_t stride);
    void BindDynamicIndices(const RenderDynamicIndexBuffer* buffer, uint32_t firstIndex);

    // -- RenderDevice ----------------------------------------------------------------------------

    bool Initialize() override;
    void GetSupportedDisplayModes(std::vector<RenderDisplayMode>& modes) override;
    RenderSurface* CreatePrimarySurface(void* window, const RenderDeviceSettings& settings) override;
    void ReservedOperation1() override;
    RenderSurface* CreateRenderSurface(int width, int height, const RenderTexture* texture,
                                       RenderTextureFormat depthFormat) override;
    RenderSurface* CreateRenderSurface(int width, int height, RenderTextureFormat colorFormat,
                                       RenderTextureFormat depthFormat) override;
    void DestroyRenderSurface(RenderSurface*& surface) override;
    void SetGammaRamp(float brightness, float contrast, float gamma) override;
    void UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) override;
    void ReservedOperation2() override;
    bool SupportsDepthRenderTargets() const override;
    bool Supports16bitColorWithDepth() const override;
    void SetTargetSurface(int index, RenderSurface* surface) override;
    void SetRenderTarget(int index, RenderSurface* surface) override;
    void SetDepthTarget(RenderSurface* surface) override;
    const char* GetDescription() const override;
    int GetWidth() const override;
    int GetHeight() const override;
    bool BeginScene() override;
    void EndScene() override;
    void Present(RenderSurface* surface) override;
    void SetViewport(const Viewport& viewport) override;
    const Viewport& GetViewport() const override;
    void SetScissorRect(const Rect* rect) override;
    void SetClearColor(const Color& color) override;
    void ReservedOperation3() override;
    void Clear(uint32_t flags, float depth) override;
    RenderVertexBuffer* CreateVertexBuffer(uint32_t flags, uint32_t size) override;
    void DestroyVertexBuffer(RenderVertexBuffer*& buffer) override;
    RenderDynamicVertexBuffer* CreateDynamicVertexBuffer(uint32_t size) override;
    void DestroyDynamicVertexBuffer(RenderDynamicVertexBuffer*& buffer) override;
    RenderDynamicIndexBuffer* CreateDynamicIndexBuffer(uint32_t size) override;
    void DestroyDynamicIndexBuffer(RenderDynamicIndexBuffer*& buffer) override;
    RenderVertexDeclaration* CreateVertexDeclaration(const RenderVertexElement* elements, uint32_t count) override;
    void DestroyVertexDeclaration(RenderVertexDeclaration*& declaration) override;
    RenderIndexBuffer* CreateIndexBuffer(uint32_t count, RenderIndexFormat format) override;
    void DestroyIndexBuffer(RenderIndexBuffer*& buffer) override;
    RenderVertexShader* CreateVertexShader(const void* program, uint32_t length) override;
    void DestroyVertexShader(RenderVertexShader*& shader) override;
    RenderPixelShader* CreatePixelShader(const void* program, uint32_t length) override;
    void PrepareProgram(const RenderVertexShader* vertex, const RenderPixelShader* pixel) override;
    void DestroyPixelShader(RenderPixelShader*& shader) override;
    uint32_t GetTextureDataLength(const void* data, uint32_t available, int reduction) const override;
    RenderTexture* CreateTextureFromFile(const void* data, uint32_t length, int reduction) override;
    RenderTexture* CreateTexture(int width, int height, const uint8_t* texels, uint32_t format,
                                 uint32_t flags) override;
    RenderTexture* CreateTextureFromPixels(int width, int height, const uint32_t* pixels, uint32_t mipLevels,
                                           uint32_t flags) override;
    RenderTexture* CreateDynamicTexture(int width, int height) override;
    void DestroyTexture(RenderTexture*& texture) override;
    bool IsOutOfVideoMemory() const override;
    RenderFont* CreateDeviceFont(const char* name, const void* data, uint32_t size) override;
    void DestroyDeviceFont(RenderFont*& font) override;
    void SetVertexShader(const RenderVertexShader* shader) override;
    void SetVertexShaderConstants(uint32_t first, const float* data, uint32_t count) override;
    void SetPixelShader(const RenderPixelShader* shader) override;
    void SetPixelShaderConstants(uint32_t first, const float* data, uint32_t count) override;
    void SetTexture(uint32_t stage, const RenderTexture* texture) override;
    void ReservedOperation4() override;
    void SetClipPlane(uint32_t index, const Plane& plane) override;
    void ClearClipPlane(uint32_t index) override;
    void ReservedOperation5() override;
    void DrawPrimitive(RenderPrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
    void DrawIndexedPrimitive(RenderPrimitiveType type, int32_t baseVertex, uint32_t vertexCount,
                              uint32_t primitiveCount, uint32_t startIndex, uint32_t flags) override;
    void DrawRect(const Rect& rect, uint32_t color, float depth) override;
    void DrawTexturedRect(const Rect& texCoords, const Rect& destination, uint32_t color, float depth) override;
    void DrawTriangleFan(const Vec2* points, uint32_t count, uint32_t color) override;
    void EnableVerticalSync(bool enable) override;
    void EnableWireframe(bool enable) override;
    void SetDepthTestFunction(RenderTestFunction function) override;
    void SetAlphaTestFunction(RenderTestFunction function) override;
    void SetAlphaReference(float reference) override;
    void SetRenderStateA(uint32_t value) override;
    void SetColorWriteMode(RenderWriteMode mode) override;
    void SetAlphaWriteMode(RenderWriteMode mode) override;
    void SetDepthWriteMode(RenderWriteMode mode) override;
    void SetRenderStateB(uint32_t value) override;
    void SetRenderStateC(uint32_t value) override;
    void SetSourceBlendFactor(RenderBlendFactor factor) override;
    RenderBlendFactor GetSourceBlendFactor() const override;
    void SetDestinationBlendFactor(RenderBlendFactor factor) override;
    RenderBlendFactor GetDestinationBlendFactor() const override;
    void SetRenderStateD(const Color& color) override;
    void SetRenderStateE(uint32_t value) override;
    void SetSamplerState(uint32_t stage, RenderSamplerState state, uint32_t value) override;
    void ReservedOperation7() override;
    void SetStreamSource(uint32_t stream, const RenderVertexBuffer* buffer, uint32_t offset,
                         uint32_t stride) override;
    void SetVertexDeclaration(const RenderVertexDeclaration* declaration) override;
    void SetIndices(const RenderIndexBuffer* buffer) override;
    void ReservedOperation8() override;
    void ReservedOperation9() override;
    uint32_t GetNumFacesRendered() const override;
    uint32_t GetNumDrawCalls() const override;
    void SetDrawCallLimit(uint32_t limit) override;
    void SetDebugAlpha(bool enable) override;
    void SetDebugPixelShaders(bool enable) override;
    void SetDebugTextures(bool enable) override;
    void SetDebugCullPixels(bool enable) override;
    void ReservedOperation10() override;
    size_t GetAvailableVideoMemory() const override;
    size_t GetVideoMemory() const override;
    void SetDebugName(const char* shader, const char* style, const char* object) override;
    const char* GetLastShaderName() const override;
    const char* GetLastStyleName() const override;
    const char* GetLastObjectName() const override;
    void ReservedOperation11() override;
    uint32_t GetNumInfoLines() const override;
    const char* GetInfoLine(uint32_t index) const override;
    void ReservedOperation12() override;
    void SetDebugCullPrimitives(bool enable) override;
    RenderGenerationId GetGenerationId() const override;
    uint32_t GetDeviceId() const override;
    bool DeviceLost() const override;
    bool ResetDevice(const RenderDeviceSettings& settings) override;
    void SetResolution(int width, int height) override;
    void SetWarmingUp(bool warmingUp) override;
    bool ReadFrameBuffer(Pixel* pixels, int width, int height) const override;

private:
    // Argument texts of the call log.
    std::string Text(int value) const;
    std::string Text(unsigned value) const;
    std::string Text(float value) const;
    std::string Text(bool value) const;
    std::string Text(const char* text) const;  // quoted, or null
    std::string Text(const std::string& text) const { return text; }  // as it stands
    std::string Text(const Rect& rect) const;
    std::string Text(const Rect* rect) const;
    std::string Text(const Color& color) const;
    std::string Text(const Plane& plane) const;
    std::string Text(const Viewport& viewport) const;
    std::string Text(const void* resource) const { return GetResourceName(resource); }
    template <class E>
        requires std::is_enum_v<E>
    std::string Text(E value) const {
        return Text(static_cast<unsigned>(value));
    }
    std::string Floats(const float* data, uint32_t count) const;

    void Record(std::string call) const;

    // Takes ownership of a new resource under the next name of its kind; returns the interface.
    std::string NextName(const std::string& kind);
    template <class Interface, class Resource>
    Interface* Adopt(std::unique_ptr<Resource> resource);
    // Records the destroy operation, frees the resource (or notes an error) and nulls the pointer.
    template <class Interface>
    void Release(const char* operation, Interface*& resource);
    std::unique_ptr<RecordingTexture> MakeSurfaceTexture(const std::string& name, int width, int height,
                                                         RenderTextureFormat format);
    // Counts a draw call of the frame and, when it executes, makes it the last executed one.
    void CountDraw(uint32_t primitiveCount, std::string call);

    Engine* const engine_;
    RecordingDeviceScript script_;
    RecordingDeviceState state_;

    // Guards the log, the errors and the resource tables (resources come and go on any thread).
    mutable std::mutex mutex_;
    mutable std::vector<std::string> calls_;
    std::vector<std::string> errors_;
    std::map<const void*, std::unique_ptr<RecordedResource>> live_;
    std::map<const void*, std::string> names_;
    std::map<std::string, int> counters_;
    size_t allocatedBytes_ = 0;

    int width_ = 0;
    int height_ = 0;
    uint32_t frameDrawCallLimit_ = kNoDrawCallLimit;
    uint32_t drawCalls_ = 0;
    uint32_t executedDrawCalls_ = 0;
    uint32_t faces_ = 0;
    std::string debugNames_[3];
    std::string lastNames_[3];
    std::string lastDraw_;
};

template <class... Args>
std::string RecordingDevice::RecordCall(const std::string& operation, const Args&... args) const {
    std::string call = operation + "(";
    [[maybe_unused]] const char* separator = "";
    ((call += separator, call += Text(args), separator = ", "), ...);
    call += ")";
    Record(call);
    return call;
}

}  // namespace GAME::test
