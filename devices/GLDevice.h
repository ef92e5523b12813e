#pragma once
// GLDevice: the render device on OpenGL 3.3 core over SDL2 (library "GLDevice").
//
// The engine's Direct3D conventions are emulated here:
// - every surface, the primary one included, is a framebuffer object storing its top row first,
//   so viewports, scissor rectangles and read-backs use the engine's top-left coordinates as they
//   are; Present flips the primary surface onto the window, applying the gamma ramp;
// - programs are GLSL text that the device wraps (GLShaderText): clip-space depth 0..1 and y up
//   are converted after the program's main, clip planes become clip distances, and the alpha test
//   runs after the pixel program;
// - constant registers are device-global (GLConstants); samplers are bound by stage;
// - a viewport larger than the target is allowed: 2-D draws map through the viewport asked for,
//   and the GL viewport is that rectangle clipped to the target.
//
// Threads: resources may be created, filled and destroyed on any thread; the GL work is done on
// the render thread (the one that made the context in CreatePrimarySurface): at once when called
// there, else at the next BeginScene or first use (GLResourceQueue). Everything else is called on
// the render thread.
//
// State set by the engine is kept as asked for and applied to GL at each draw through a cache of
// GL's own state (GLStateCache), so redundant changes cost no GL call and the device's own draws
// (text, Present, Clear) never disturb what the engine set.

#include "core/Color.h"
#include "core/Rect.h"
#include "devices/GLConstants.h"
#include "devices/GLDebugRecord.h"
#include "devices/GLFramebufferCache.h"
#include "devices/GLProgramCache.h"
#include "devices/GLResourceQueue.h"
#include "devices/GLRingBuffer.h"
#include "devices/GLSamplerCache.h"
#include "devices/GLStateCache.h"
#include "devices/GLTexture.h"
#include "devices/GLVertex2D.h"
#include "devices/GLVertexDeclaration.h"
#include "devices/GLVideoMemory.h"
#include "render/RenderDevice.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

struct SDL_Window;

namespace GAME {

class GLBuffer;
class GLShader;
class GLSurface;

class GLDevice final : public RenderDevice {
public:
    // The id GetDeviceId reports: outside every card table.
    static constexpr uint32_t kDeviceId = 0xFFFFFFFFu;
    static constexpr uint32_t kMaxStages = 8;
    static constexpr uint32_t kMaxClipPlanes = 8;

    GLDevice();
    ~GLDevice() override;

    // -- RenderDevice --------------------------------------------------------------------------
    bool Initialize() override { return true; }
    void GetSupportedDisplayModes(std::vector<RenderDisplayMode>& modes) override;
    RenderSurface* CreatePrimarySurface(void* window, const RenderDeviceSettings& settings) override;
    void ReservedOperation1() override {}
    RenderSurface* CreateRenderSurface(int width, int height, const RenderTexture* texture,
                                       RenderTextureFormat depthFormat) override;
    RenderSurface* CreateRenderSurface(int width, int height, RenderTextureFormat colorFormat,
                                       RenderTextureFormat depthFormat) override;
    void DestroyRenderSurface(RenderSurface*& surface) override;
    void SetGammaRamp(float brightness, float contrast, float gamma) override;
    void UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) override;
    void ReservedOperation2() override {}
    bool SupportsDepthRenderTargets() const override { return true; }
    bool Supports16bitColorWithDepth() const override { return false; }
    void SetTargetSurface(int index, RenderSurface* surface) override;
    void SetRenderTarget(int index, RenderSurface* surface) override;
    void SetDepthTarget(RenderSurface* surface) override;
    const char* GetDescription() const override { return description_.c_str(); }
    int GetWidth() const override;
    int GetHeight() const override;
    bool BeginScene() override;
    void EndScene() override {}
    void Present(RenderSurface* surface) override;
    void SetViewport(const Viewport& viewport) override;
    const Viewport& GetViewport() const override { return viewport_; }
    void SetScissorRect(const Rect* rect) override;
    void SetClearColor(const Color& color) override;
    void ReservedOperation3() override {}
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
    void DestroyPixelShader(RenderPixelShader*& shader) override;
    void PrepareProgram(const RenderVertexShader* vertex, const RenderPixelShader* pixel) override;
    uint32_t GetTextureDataLength(const void* data, uint32_t available, int reduction) const override;
    RenderTexture* CreateTextureFromFile(const void* data, uint32_t length, int reduction) override;
    RenderTexture* CreateTexture(int width, int height, const uint8_t* texels, uint32_t format,
                                 uint32_t flags) override;
    RenderTexture* CreateTextureFromPixels(int width, int height, const uint32_t* pixels, uint32_t mipLevels,
                                           uint32_t flags) override;
    RenderTexture* CreateDynamicTexture(int width, int height) override;
    void DestroyTexture(RenderTexture*& texture) override;
    bool IsOutOfVideoMemory() const override { return outOfVideoMemory_.load(std::memory_order_relaxed); }
    RenderFont* CreateDeviceFont(const char* name, const void* data, uint32_t size) override;
    void DestroyDeviceFont(RenderFont*& font) override;

    void SetVertexShader(const RenderVertexShader* shader) override;
    void SetVertexShaderConstants(uint32_t first, const float* data, uint32_t count) override;
    void SetPixelShader(const RenderPixelShader* shader) override;
    void SetPixelShaderConstants(uint32_t first, const float* data, uint32_t count) override;
    void SetTexture(uint32_t stage, const RenderTexture* texture) override;
    void ReservedOperation4() override {}
    void SetClipPlane(uint32_t index, const Plane& plane) override;
    void ClearClipPlane(uint32_t index) override;
    void ReservedOperation5() override {}
    void DrawPrimitive(RenderPrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
    void DrawIndexedPrimitive(RenderPrimitiveType type, int32_t baseVertex, uint32_t vertexCount,
                              uint32_t primitiveCount, uint32_t startIndex, uint32_t flags) override;
    void DrawRect(const Rect& rect, uint32_t color, float depth) override;
    void DrawTexturedRect(const Rect& texCoords, const Rect& destination, uint32_t color, float depth) override;
    void DrawTriangleFan(const Vec2* points, uint32_t count, uint32_t color) override;
    void EnableVerticalSync(bool enable) override;
    void EnableWireframe(bool enable) override { state_.wireframe = enable; }

    void SetDepthTestFunction(RenderTestFunction function) override;
    void SetAlphaTestFunction(RenderTestFunction function) override;
    void SetAlphaReference(float reference) override;
    void SetRenderStateA(uint32_t value) override;
    void SetColorWriteMode(RenderWriteMode mode) override { state_.colorWrite = mode != RenderWriteMode::Off; }
    void SetAlphaWriteMode(RenderWriteMode mode) override { state_.alphaWrite = mode != RenderWriteMode::Off; }
    void SetDepthWriteMode(RenderWriteMode mode) override { state_.depthWrite = mode != RenderWriteMode::Off; }
    void SetRenderStateB(uint32_t value) override;
    void SetRenderStateC(uint32_t value) override;
    void SetSourceBlendFactor(RenderBlendFactor factor) override;
    RenderBlendFactor GetSourceBlendFactor() const override { return state_.sourceBlend; }
    void SetDestinationBlendFactor(RenderBlendFactor factor) override;
    RenderBlendFactor GetDestinationBlendFactor() const override { return state_.destinationBlend; }
    void SetRenderStateD(const Color& color) override;
    void SetRenderStateE(uint32_t /*value*/) override {}
    void SetSamplerState(uint32_t stage, RenderSamplerState state, uint32_t value) override;
    void ReservedOperation7() override {}
    void SetStreamSource(uint32_t stream, const RenderVertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
    void SetVertexDeclaration(const RenderVertexDeclaration* declaration) override;
    void SetIndices(const RenderIndexBuffer* buffer) override;
    void ReservedOperation8() override {}
    void ReservedOperation9() override {}

    uint32_t GetNumFacesRendered() const override { return debug_.GetFaces(); }
    uint32_t GetNumDrawCalls() const override { return debug_.GetDrawCalls(); }
    void SetDrawCallLimit(uint32_t limit) override { debug_.SetDrawCallLimit(limit); }
    void SetDebugAlpha(bool enable) override { debugAlpha_ = enable; }
    void SetDebugPixelShaders(bool enable) override;
    void SetDebugTextures(bool enable) override { debugTextures_ = enable; }
    void SetDebugCullPixels(bool enable) override { debugCullPixels_ = enable; }
    void ReservedOperation10() override {}
    size_t GetAvailableVideoMemory() const override { return videoMemory_.GetAvailable(); }
    size_t GetVideoMemory() const override { return videoMemory_.GetTotal(); }
    void SetDebugName(const char* shader, const char* style, const char* object) override;
    const char* GetLastShaderName() const override { return debug_.GetLastShaderName(); }
    const char* GetLastStyleName() const override { return debug_.GetLastStyleName(); }
    const char* GetLastObjectName() const override { return debug_.GetLastObjectName(); }
    void ReservedOperation11() override {}
    uint32_t GetNumInfoLines() const override { return debug_.GetNumInfoLines(); }
    const char* GetInfoLine(uint32_t index) const override { return debug_.GetInfoLine(index); }
    void ReservedOperation12() override {}
    void SetDebugCullPrimitives(bool enable) override { debugCullPrimitives_ = enable; }
    RenderGenerationId GetGenerationId() const override { return RenderGenerationId::GeForce6; }
    uint32_t GetDeviceId() const override { return kDeviceId; }

    // In a warm-up a draw is made only in a pipeline state no warm-up has drawn yet (see IsWarm).
    void SetWarmingUp(bool warmingUp) override { warmingUp_ = warmingUp; }
    bool ResetDevice(const RenderDeviceSettings& settings) override;
    bool ReadFrameBuffer(Pixel* pixels, int width, int height) const override;

    // -- For the device's resources ----------------------------------------------------------------
    // True on the thread that owns the GL context, once there is one.
    bool IsRenderThread() const {
        return hasContext_.load(std::memory_order_acquire) && std::this_thread::get_id() == renderThread_;
    }
    GLResourceQueue& GetResourceQueue() { return queue_; }
    GLVideoMemory& GetVideoMemory() { return videoMemory_; }
    // Sets the total GetVideoMemory reports (tests; the environment variable sets it for hosts).
    void SetVideoMemoryTotal(size_t bytes) { videoMemory_.SetTotal(bytes); }
    bool HasS3TC() const { return hasS3TC_; }
    // Whether draws come out as they should: the driver's S3TC is used or bypassed (tests).
    void SetUseS3TC(bool use) { hasS3TC_ = use && driverHasS3TC_; }

    // A texture counted against the budget; null (and the out-of-memory flag) when it does not fit.
    std::unique_ptr<GLTexture> MakeTexture(GLTexture::Kind kind, const GLTextureFormat& format,
                                           std::vector<GLTexture::Level> levels);
    // Binds a texture to the unit reserved for uploads (render thread).
    void BindTextureForUpload(GLuint texture);

    // Binds a stream (static buffer, or a ring's name and offset) / the index source for draws.
    void SetStream(uint32_t stream, GLBuffer* buffer, GLuint name, uint32_t offset, uint32_t stride);
    void SetIndexSource(GLBuffer* buffer, GLuint name, GLenum type, uint32_t firstIndex);

    // The render-thread halves of RenderSurface's read-back and copy.
    bool ReadSurfacePixels(const GLSurface& surface, void* buffer, int width, int height, RenderTextureFormat format,
                           bool bottomUp) const;
    void CopySurfaceToTexture(const GLSurface& surface, GLTexture* destination, const Rect* source);
    // Draws text quads (six vertices a glyph, target pixels) with the atlas, alpha blended.
    void DrawText2D(GLTexture& atlas, bool filter, const GLVertex2D* vertices, uint32_t count);

    // A resource is going away (render thread): the device drops what refers to it.
    void ForgetBuffer(const GLBuffer* buffer, GLuint name);
    void ForgetTexture(const GLTexture* texture, GLuint name);
    void ForgetSurface(const GLSurface& surface);
    void ForgetShader(const GLShader& shader);
    void ForgetDeclaration(const GLVertexDeclaration& declaration);
    void RegisterVertexArray(GLVertexDeclaration& declaration) { vertexArrays_.insert(&declaration); }
    void UnregisterVertexArrays(GLVertexDeclaration& declaration) { vertexArrays_.erase(&declaration); }
    // The vertex array is being deleted.
    void ForgetVertexArray(GLuint vertexArray);

private:
    // What the engine asked for, applied at each draw.
    struct DrawState {
        GLShader* vertexShader = nullptr;
        GLShader* pixelShader = nullptr;
        GLTexture* textures[kMaxStages] = {};
        GLSamplerState samplers[kMaxStages];
        RenderBlendFactor sourceBlend = RenderBlendFactor::One;
        RenderBlendFactor destinationBlend = RenderBlendFactor::Zero;
        RenderTestFunction depthFunction = RenderTestFunction::LessEqual;
        RenderTestFunction alphaFunction = RenderTestFunction::Always;
        float alphaReference = 0.0f;
        bool depthWrite = true;
        bool colorWrite = true;
        bool alphaWrite = true;
        bool wireframe = false;
        uint32_t cullMode = 0;     // render state A
        float depthBias = 0.0f;    // render state B
        float slopeBias = 0.0f;    // render state C
        uint32_t clipPlanes = 0;   // bit i: plane i set
    };
    // Vertex input of the next draw.
    struct InputState {
        GLVertexDeclaration* declaration = nullptr;
        GLBuffer* streamBuffers[GLVertexDeclaration::kMaxStreams] = {};  // static buffers (uploaded at draw)
        GLStreamBinding streams[GLVertexDeclaration::kMaxStreams];
        GLBuffer* indexBuffer = nullptr;  // a static index buffer, or null with indexName a ring's
        GLuint indexName = 0;
        GLenum indexType = GL_UNSIGNED_SHORT;
        uint32_t indexFirst = 0;          // first index of a dynamic buffer's locked range
    };

    bool CreateContext(SDL_Window* window);
    void CreateRenderObjects();
    // Makes a surface's textures; false when the formats or the budget refuse.
    bool MakeTargets(int width, int height, RenderTextureFormat colorFormat, RenderTextureFormat depthFormat,
                     std::unique_ptr<GLTexture>& color, std::unique_ptr<GLTexture>& depth);
    // Deletes the object now on the render thread, else at the render thread's next drain.
    void DestroyObject(GLObject* object);
    // DestroyObject of a resource given by its interface, and the caller's pointer set to null.
    template <typename Concrete, typename Interface>
    void Destroy(Interface*& resource);
    void UpdateAlphaTestRegister();
    // The viewport as the whole of the colour (or depth) target.
    void ResetViewportToTarget();

    // Links the pairs other threads asked to be prepared (render thread, after the queue's drain,
    // so pairs whose programs went are no longer there).
    void PreparePendingPrograms();

    // Binds the framebuffer of the current targets; false when there is none.
    bool BindTarget();
    // Applies the state, the program pair and its textures for a draw; false when it cannot be made.
    bool ApplyDrawState(GLShader& vertexShader, GLShader& pixelShader);
    // Counts a draw call and tells whether it runs (draw-call limit, primitive culling).
    bool CountDraw();
    void RecordDraw(const char* kind, RenderPrimitiveType type, uint32_t primitives, const GLShader& vertexShader,
                    const GLShader& pixelShader);
    // Resolves the bound streams and the declaration for a draw; false (logged once) when incomplete.
    // streams receives the bound streams, each with its buffer's name. firstVertex is what the draw
    // adds to its first vertex (GLVertexDeclaration::Bind).
    bool BindVertexInput(bool indexed, GLStreamBinding (&streams)[GLVertexDeclaration::kMaxStreams],
                         uint32_t& firstVertex);
    // In a warm-up: true when a draw of this mode in the state just applied and bound was made
    // in a warm-up before, so the driver has compiled its variants and the draw can be skipped;
    // otherwise the state is noted as warm. The state is what the driver keys its variants on:
    // the program pair, the vertex layout (the declaration's attributes, each stream's stride and
    // offset within a vertex, which streams share a buffer), the blend, depth, colour-mask,
    // cull, fill, bias and clip state, the target's formats, and for each stage the program
    // samples, the texture's format, whether its sides are powers of two and it has mip levels,
    // and the sampler state. Shaders are known by their ids, never reused, so a program made
    // again is warmed again. Outside a warm-up, false at no cost.
    bool IsWarm(GLenum mode, GLenum indexType, GLShader& vertexShader, GLShader& pixelShader,
                const GLVertexDeclaration& declaration, const GLStreamBinding (&streams)[GLVertexDeclaration::kMaxStreams]);
    // The same for a clear of these buffers, of the whole target or a part of it: a whole clear
    // needs no program, a part the driver's clear program for the target's formats, so a warm-up
    // clears once for each and skips the rest (the driver's memory writes, which compile nothing).
    bool IsWarmClear(GLbitfield bits, bool whole);
    // Draws 2-D vertices given in target pixels through the device's vertex program.
    void Draw2D(const GLVertex2D* vertices, uint32_t count, GLenum mode, const char* kind, uint32_t primitives);
    // Logs a draw that could not be made, once per reason.
    void ReportDrawProblem(uint32_t reason, const char* text);

    // Declared first so that it goes last: the members after it delete GL objects.
    struct Context {
        SDL_Window* window = nullptr;
        void* handle = nullptr;  // SDL_GLContext
        ~Context();
    } context_;
    std::atomic<bool> hasContext_{false};
    std::thread::id renderThread_;
    bool driverHasS3TC_ = false;
    bool hasS3TC_ = false;
    std::atomic<int> maxTextureSize_{16384};
    std::string description_ = "GLDevice (OpenGL 3.3 core, no context yet)";

    GLResourceQueue queue_;
    GLVideoMemory videoMemory_;
    std::atomic<bool> outOfVideoMemory_{false};
    GLStateCache glState_;
    GLSamplerCache samplers_;
    GLFramebufferCache framebuffers_;
    GLProgramCache programs_;
    std::mutex pendingProgramsLock_;
    std::vector<std::pair<GLShader*, GLShader*>> pendingPrograms_;  // (vertex, pixel) to link; not owned
    GLConstants constants_;
    GLDebugRecord debug_;
    std::unordered_set<GLVertexDeclaration*> vertexArrays_;  // declarations with a vertex array

    // The device's own objects, made with the context.
    std::unique_ptr<GLShader> passThroughVertexShader_;
    std::unique_ptr<GLShader> textureTimesColorShader_;
    std::unique_ptr<GLTexture> whiteTexture_;
    std::unique_ptr<GLTexture> greyTexture_;
    std::unique_ptr<GLVertexDeclaration> declaration2D_;
    std::unique_ptr<GLRingBuffer> ring2D_;
    GLuint presentProgram_ = 0;
    GLint presentRampLocation_ = -1;
    bool windowHasAlpha_ = false;  // the window's framebuffer keeps alpha: Present writes it 1
    GLuint emptyVertexArray_ = 0;

    DrawState state_;
    InputState input_;
    GLSurface* primary_ = nullptr;
    GLSurface* colorTarget_ = nullptr;
    GLSurface* depthTarget_ = nullptr;
    bool targetDirty_ = true;
    GLuint targetFramebuffer_ = 0;
    int targetWidth_ = 0;
    int targetHeight_ = 0;
    float depthUnitsPerBias_ = float(1 << 24);
    Viewport viewport_;
    bool scissorEnabled_ = false;
    Rect scissor_;
    Color clearColor_;
    float gamma_[3] = {0.5f, 0.5f, 1.0f};  // brightness, contrast, gamma

    bool warmingUp_ = false;
    std::unordered_set<std::string> warmStates_;  // IsWarm's keys
    std::unordered_set<std::string> warmClears_;  // IsWarmClear's keys

    bool debugAlpha_ = true;
    bool debugPixelShaders_ = false;
    bool debugTextures_ = false;
    bool debugCullPixels_ = false;
    bool debugCullPrimitives_ = false;
    uint32_t reportedProblems_ = 0;
};

}  // namespace GAME
