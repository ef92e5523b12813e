#pragma once
// RenderDevice: the abstract render device and the resource interfaces it makes.
//
// All drawing goes through this interface. A device is a separate shared library, lib<name>.so,
// loaded by name (Create) and exporting the two C functions declared at the end of this file. The
// engine and every device library include this one header, so it fixes every value the two sides
// exchange; it stays light (no engine headers beyond small value types).
//
// Conventions (Direct3D's, kept on the engine side; a device emulates them):
// - clip-space depth runs 0..1; pixel (0, 0) is the top-left of a target; texture coordinate
//   v = 0 is the top row; every render surface, the primary one included, stores its top row first;
// - packed colours are 0xAARRGGBB (each channel rint(channel * 255));
// - shader constants are device-global registers (vertex programs read vc[256], pixel programs
//   pc[224], four floats each); matrices are uploaded as rows, one register per row;
// - a vertex element's attribute location is its usage code.
//
// Threads: creating, filling (Lock/Unlock, UpdatePixels) and destroying resources may happen on
// any thread, because resources and levels load on background threads; a device defers its
// graphics-API work to the main thread. Everything else (state, targets, draws, queries of the
// frame) is called from the main thread only.
//
// The virtual operations of every interface keep a fixed slot order. Slots named
// ReservedOperationN have no role in this engine; they keep the order and every device implements
// them as no-ops. Three slots of that kind carry the operations the terrain and effects need:
// RenderDevice::DrawPrimitive, RenderDynamicIndexBuffer::PrepareDraw and
// RenderVertexDeclaration::GetStride.
//
// Containers are spelled std::vector (the type mem::vector names) so that this header does not
// pull in every container of core/Mem.h; Color, Plane, Rect and Vec2 are only declared.

#include "render/Viewport.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace GAME {

class Engine;
struct Color;
struct Plane;
struct Rect;
struct Vec2;

// ---------------------------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------------------------

// The graphics generation of a device. It selects the section of every shader file and the
// generation-dependent data of meshes and the world; 0 means unsupported hardware.
enum class RenderGenerationId : uint32_t {
    Unknown = 0,
    GeForce3 = 1,
    GeForce4 = 2,
    GeForce5 = 3,
    GeForce6 = 4,
    Radeon9000 = 5,
    R200 = 6,
};

// Colour and depth formats of render surfaces and settings.
enum class RenderTextureFormat : uint32_t {
    None = 0,            // no colour (or no depth) target
    RGB = 1,             // 8 bits per channel, no alpha
    RGBA = 2,            // 8 bits per channel; also the 32-bit pixel format of ReadPixels
    RGBAAlternate = 3,   // a second 32-bit format; treated as RGBA
    DsDt = 4,            // two signed 8-bit channels (bump offsets)
    R16F = 5,            // one 16-bit float channel
    R32F = 6,            // one 32-bit float channel
    D16 = 7,             // 16-bit depth
    D24 = 8,             // 24-bit depth
    D32 = 9,             // 32-bit depth
    Color16WithDepth = 10,  // 16-bit colour usable with a depth target; asked for only when
                            // Supports16bitColorWithDepth holds
};

enum class RenderBlendFactor : uint32_t {
    One = 0,
    Zero = 1,
    SourceColor = 2,
    InverseSourceColor = 3,
    DestinationColor = 4,
    InverseDestinationColor = 5,
    SourceAlpha = 6,
    DestinationAlpha = 7,
    InverseSourceAlpha = 8,
    InverseDestinationAlpha = 9,
};

// Depth and alpha test functions: the test passes when (new value FUNCTION reference) holds.
enum class RenderTestFunction : uint32_t {
    Never = 0,
    Less = 1,
    Equal = 2,
    LessEqual = 3,
    Greater = 4,
    NotEqual = 5,
    GreaterEqual = 6,
    Always = 7,
};

enum class RenderWriteMode : uint32_t {
    Off = 0,
    On = 1,
};

enum class RenderPrimitiveType : uint32_t {
    TriangleList = 0,
    TriangleStrip = 1,
    TriangleFan = 2,
    LineList = 3,
    LineStrip = 4,
    PointList = 5,
};

enum class RenderIndexFormat : uint32_t {
    Index16 = 2,
    Index32 = 3,
};

// Sampler states of SetSamplerState, with the values each takes.
enum class RenderSamplerState : uint32_t {
    AddressU = 0,   // 0 wrap (default), 1 clamp, 2 mirror
    AddressV = 1,   // as AddressU
    MagFilter = 3,  // 0 point, 1 linear (default), 2 anisotropic
    MinFilter = 4,  // as MagFilter
    MipFilter = 5,  // 0 none, 1 point, 2 linear (default)
};

// What a vertex element holds; the code is also the element's attribute location.
enum class RenderVertexUsage : uint32_t {
    Position = 0,
    Normal = 1,
    Tangent = 2,
    Binormal = 3,
    TexCoord0 = 4,
    BlendWeights = 5,
    BlendIndices = 6,  // four bytes read as unnormalised integers (bone palette indices)
    TexCoord1 = 7,     // TexCoord1 .. TexCoord7 are 7 .. 13
    TexCoord7 = 13,
    Color = 14,
};

enum class RenderVertexElementType : uint32_t {
    Float2 = 1,
    Float3 = 2,
    Float4 = 3,
    // Four bytes: a Color usage reads them as BGRA normalised (a packed 0xAARRGGBB value),
    // BlendIndices as unnormalised integers, any other usage as RGBA normalised.
    UByte4 = 4,
};

// Bytes one element of the type occupies in a vertex; 0 for a type this engine does not know.
constexpr uint32_t GetVertexElementSize(RenderVertexElementType type) {
    switch (type) {
        case RenderVertexElementType::Float2: return 8;
        case RenderVertexElementType::Float3: return 12;
        case RenderVertexElementType::Float4: return 16;
        case RenderVertexElementType::UByte4: return 4;
    }
    return 0;
}

// Face styles of device fonts.
enum class RenderFontStyle : uint32_t {
    Regular = 0,
    Bold = 1,
    Italic = 2,
    BoldItalic = 3,
};

// ---------------------------------------------------------------------------------------------
// Descriptors
// ---------------------------------------------------------------------------------------------

// How the primary surface is made (CreatePrimarySurface, ResetDevice): six 32-bit fields in this
// order. The graphics engine fills it from the options.
struct RenderDeviceSettings {
    static constexpr uint32_t kFullScreen = 0x01;
    static constexpr uint32_t kVerticalSync = 0x02;      // wait for vertical retrace
    static constexpr uint32_t kTripleBuffering = 0x04;
    static constexpr uint32_t kDetailObjects = 0x10;     // option "detailObjects" on
    static constexpr uint32_t kAdvancedEffects = 0x20;   // option "advancedEffects" on

    int32_t width = 0;                                            // back buffer, pixels
    int32_t height = 0;                                           // back buffer, pixels
    RenderTextureFormat colorFormat = RenderTextureFormat::RGBA;  // the engine always passes 2
    RenderTextureFormat depthFormat = RenderTextureFormat::D24;   // the engine always passes 8
    uint32_t flags = 0;                                           // the bits above
    int32_t antiAliasing = 0;                                     // 1 when option "antiAliasing" is on
};
static_assert(sizeof(RenderDeviceSettings) == 24);

// One display mode the device supports (GetSupportedDisplayModes).
struct RenderDisplayMode {
    int32_t width = 0;        // pixels
    int32_t height = 0;       // pixels
    int32_t refreshRate = 0;  // Hz; 0 when the system does not say
};

// One frame-buffer pixel as ReadFrameBuffer writes it: the bytes R, G, B, A.
struct Pixel {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;
};
static_assert(sizeof(Pixel) == 4);

// One element of a vertex declaration. Elements carry no offsets: each lies behind the previous
// one in the order given, sized by its type (GetVertexElementSize).
struct RenderVertexElement {
    uint32_t stream = 0;                                             // 0 in every use
    RenderVertexUsage usage = RenderVertexUsage::Position;          // also the attribute location
    RenderVertexElementType type = RenderVertexElementType::Float3;  // size and reading of the data
};
static_assert(sizeof(RenderVertexElement) == 12);

// The arguments of DrawIndexedPrimitive after the primitive type, as
// RenderDynamicIndexBuffer::PrepareDraw hands them out for the buffer's locked range.
struct RenderIndexedDraw {
    int32_t baseVertex = 0;        // added to every index
    uint32_t vertexCount = 0;      // vertices the indices may reach, from the base vertex
    uint32_t primitiveCount = 0;   // triangles (or lines) drawn
    uint32_t startIndex = 0;       // first index read
    uint32_t flags = 0;            // 0
};

// ---------------------------------------------------------------------------------------------
// Resources: each is made and destroyed only through the RenderDevice that made it.
// ---------------------------------------------------------------------------------------------

// A texture. Sizes are known as soon as it is created, even while the device defers the upload.
class RenderTexture {
public:
    virtual int GetWidth() const = 0;   // texels
    virtual int GetHeight() const = 0;  // texels
    // Replaces the contents with texels laid out as at creation (CreateTexture with the flag
    // RenderDevice::kTextureUpdatable: one byte a texel, rows top first).
    virtual void UpdatePixels(const void* texels) = 0;
    virtual void ReservedOperation1() = 0;
    virtual size_t GetSystemMemoryUsage() const = 0;  // bytes
    virtual size_t GetVideoMemoryUsage() const = 0;   // bytes
    // A dynamic texture (CreateDynamicTexture) only: the texels to overwrite, 32-bit 0xAARRGGBB,
    // rows top first, each pitch bytes apart; null for any other texture. Unlock uploads them.
    virtual void* Lock(uint32_t& pitch) = 0;
    virtual void Unlock() = 0;
    virtual ~RenderTexture() = default;
};

// A target to draw into: the primary surface (the back buffer) or a surface over textures.
class RenderSurface {
public:
    virtual ~RenderSurface() = default;
    // The texture the surface renders into (so it can be sampled), or null (the primary surface).
    virtual RenderTexture* GetTexture() const = 0;
    // The texture of the surface's depth target (samplable, e.g. as a shadow map), or null.
    virtual RenderTexture* GetDepthTexture() const = 0;
    // Copies width x height pixels from the top-left corner into buffer, rows top first; format
    // RGBA gives 4 bytes a pixel in the order R, G, B, A. Pixels beyond the surface are written as
    // zeros. False when the surface cannot be read or the format is not supported.
    virtual bool ReadPixels(void* buffer, int width, int height, RenderTextureFormat format) const = 0;
    // Copies the source rectangle of the surface (null: the whole surface) into the whole of the
    // destination texture, stretching it to the texture's size. flags: 0.
    virtual void CopyToTexture(RenderTexture* destination, const Rect* source, uint32_t flags) = 0;
};

// A vertex buffer of fixed size made by CreateVertexBuffer.
class RenderVertexBuffer {
public:
    virtual ~RenderVertexBuffer() = default;
    virtual void ReservedOperation1() = 0;
    // Writable bytes [offset, offset + size) of the buffer; size 0 means up to its end. Null when
    // the range does not lie inside the buffer. flags: 0. Unlock makes the data current.
    virtual void* Lock(uint32_t offset = 0, uint32_t size = 0, uint32_t flags = 0) = 0;
    virtual void Unlock() = 0;
    virtual void ReservedOperation2() = 0;
};

// An index buffer of fixed size made by CreateIndexBuffer.
class RenderIndexBuffer {
public:
    // The whole buffer, writable: uint16_t indices for RenderIndexFormat::Index16, uint32_t for
    // Index32. Unlock makes the data current.
    virtual void* Lock() = 0;
    virtual void Unlock() = 0;
    virtual void ReservedOperation1() = 0;
    virtual ~RenderIndexBuffer() = default;
};

// The canvas's shared per-frame vertex buffer: each Lock hands out a fresh range (from the start
// again when the rest does not fit), valid until the next Lock.
class RenderDynamicVertexBuffer {
public:
    virtual ~RenderDynamicVertexBuffer() = default;
    virtual void ReservedOperation1() = 0;
    // size writable bytes; null when size is 0 or exceeds the buffer.
    virtual void* Lock(uint32_t size) = 0;
    virtual void Unlock() = 0;
    // Binds the range of the last Lock as the vertex stream, its first vertex as vertex 0, with
    // stride bytes per vertex.
    virtual void SetStreamSource(uint32_t stream, uint32_t stride) = 0;
    virtual void ReservedOperation2() = 0;
    virtual void ReservedOperation3() = 0;
};

// The canvas's shared per-frame index buffer of 32-bit indices, handed out like the dynamic
// vertex buffer.
//
// Index positions are relative to the locked range: after SetIndices, the start index of
// DrawIndexedPrimitive counts from the first index of the last Lock, and callers pass
// GetDrawOffset() as its base vertex. So the primitive drawer's indices (relative to its own
// locked vertices), the terrain's (absolute vertex numbers of a static buffer) and the effects'
// (PrepareDraw) all draw what they wrote.
class RenderDynamicIndexBuffer {
public:
    virtual ~RenderDynamicIndexBuffer() = default;
    virtual void ReservedOperation1() = 0;
    // count writable uint32_t indices; null when count is 0 or exceeds the buffer.
    virtual uint32_t* Lock(uint32_t count) = 0;
    virtual void Unlock() = 0;
    // Binds the range of the last Lock as the index source of the following draws.
    virtual void SetIndices() = 0;
    // The base vertex that draws from this buffer pass (0 for the devices of this engine, which
    // fold the lock position into SetIndices).
    virtual int32_t GetDrawOffset() const = 0;
    // The draw of primitiveCount primitives over vertexCount vertices from index startIndex of the
    // locked range: {GetDrawOffset(), vertexCount, primitiveCount, startIndex, flags}.
    virtual RenderIndexedDraw PrepareDraw(uint32_t vertexCount, uint32_t primitiveCount, uint32_t startIndex,
                                          uint32_t flags) const = 0;
    virtual void ReservedOperation3() = 0;
};

// A compiled vertex program (for our device: GLSL 3.30 source text).
class RenderVertexShader {
public:
    virtual ~RenderVertexShader() = default;
    virtual size_t GetSystemMemoryUsage() const = 0;  // bytes
    virtual size_t GetVideoMemoryUsage() const = 0;   // bytes
};

// A compiled pixel program.
class RenderPixelShader {
public:
    virtual ~RenderPixelShader() = default;
    virtual size_t GetSystemMemoryUsage() const = 0;  // bytes
    virtual size_t GetVideoMemoryUsage() const = 0;   // bytes
};

// The layout of one vertex (CreateVertexDeclaration).
class RenderVertexDeclaration {
public:
    virtual ~RenderVertexDeclaration() = default;
    // Bytes per vertex: the sum of the element sizes.
    virtual uint32_t GetStride() const = 0;
};

// A device font made from a font file (CreateDeviceFont): rasterises and draws runs of text.
class RenderFont {
public:
    // Flags of DrawText (the values of the Win32 text functions): drawing passes
    // kSingleLine | kNoClip, measuring adds kCalculateRect, which draws nothing.
    static constexpr uint32_t kSingleLine = 0x020;
    static constexpr uint32_t kNoClip = 0x100;
    static constexpr uint32_t kCalculateRect = 0x400;

    virtual ~RenderFont() = default;
    // Draws count characters of text with the top-left corner at (position->x, position->y) of
    // the current target, in the packed colour, size pixels high, in the style, with linear
    // (filter true) or nearest sampling. Returns the advance width in pixels.
    virtual int DrawText(const wchar_t* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                         int size, RenderFontStyle style, bool filter) = 0;
    virtual int DrawText(const char* text, int count, const Rect* position, uint32_t flags, uint32_t color,
                         int size, RenderFontStyle style, bool filter) = 0;
    // Brackets a series of DrawText calls, which the device may batch.
    virtual void Begin() = 0;
    virtual void End() = 0;
    virtual size_t GetSystemMemoryUsage() const = 0;  // bytes
    virtual size_t GetVideoMemoryUsage() const = 0;   // bytes
};

// ---------------------------------------------------------------------------------------------
// The device
// ---------------------------------------------------------------------------------------------

class RenderDevice {
public:
    // Bits of Clear.
    static constexpr uint32_t kClearColor = 0x01;
    static constexpr uint32_t kClearDepth = 0x20;
    static constexpr uint32_t kClearStencil = 0x40;
    // Flags of CreateVertexBuffer: 0 a static buffer, filled once.
    static constexpr uint32_t kBufferDynamic = 0x01;
    // Flags of CreateTexture: the texture will be refreshed with RenderTexture::UpdatePixels.
    static constexpr uint32_t kTextureUpdatable = 0x01;
    // SetDrawCallLimit: execute every draw call.
    static constexpr uint32_t kNoDrawCallLimit = 0xFFFFFFFFu;

    // -- Factory (process-wide, main thread only) ------------------------------------------------

    // Loads lib<name>.so from the device directory and creates a device with its
    // "CreateRenderDevice" export, given gEngine. Null when the name is empty or holds a '/', the
    // table already holds kMaxLibraries rows, the library does not load, or it has no such export
    // (the library is unloaded again). A device the library had already handed out keeps its row,
    // which takes the new library handle (the old one is released). The device a library returns,
    // null included, is returned as it is; failures are not logged (the caller logs).
    static RenderDevice* Create(const char* name);
    // Destroys the device with its library's "DestroyRenderDevice" export and clears the device
    // from its row; the library stays loaded until UnloadLibraries. The caller's pointer is null
    // afterwards in every case. A device without a row (or null) is left alone.
    static void Destroy(RenderDevice*& device);
    // The row holding the device, or -1 (always -1 for null).
    static int FindDeviceLibrary(const RenderDevice* device);
    // Unloads the libraries of the table in row order (at shutdown). A row whose device was never
    // destroyed keeps its library loaded, since the device's code lives there, and is logged.
    static void UnloadLibraries();
    // The directory device libraries load from; empty (the default) means the directory of the
    // engine library itself.
    static void SetDeviceDirectory(const char* directory);

    static constexpr int kMaxLibraries = 32;

    // The generation's name ("Unknown", "GeForce3", ...); "Unknown" for a value outside the table.
    static const char* GetNameForGeneration(RenderGenerationId id);
    // The generation with exactly this name (case-sensitive); Unknown when none has it.
    static RenderGenerationId GetGenerationForName(const char* name);

    RenderDevice(const RenderDevice&) = delete;
    RenderDevice& operator=(const RenderDevice&) = delete;

    // -- Virtual operations, in slot order --------------------------------------------------------

    // True when the device is ready. Called once after creation (before any window exists) and
    // again after each failed CreatePrimarySurface.
    virtual bool Initialize() = 0;
    // Replaces the contents of modes with the display modes the device supports.
    virtual void GetSupportedDisplayModes(std::vector<RenderDisplayMode>& modes) = 0;
    // Makes the back buffer for the window (an SDL_Window* on this platform) and returns it as a
    // surface, or null on failure. Called again after a reset.
    virtual RenderSurface* CreatePrimarySurface(void* window, const RenderDeviceSettings& settings) = 0;
    virtual void ReservedOperation1() = 0;
    // A surface of width x height drawing into an existing texture (sharing it), with its own
    // depth target of depthFormat (None: no depth).
    virtual RenderSurface* CreateRenderSurface(int width, int height, const RenderTexture* texture,
                                               RenderTextureFormat depthFormat) = 0;
    // A surface of width x height with a colour texture of colorFormat and a depth texture of
    // depthFormat (None: without that target); null when it cannot be made.
    virtual RenderSurface* CreateRenderSurface(int width, int height, RenderTextureFormat colorFormat,
                                               RenderTextureFormat depthFormat) = 0;
    // Destroys a surface from CreatePrimarySurface or CreateRenderSurface and sets the pointer to
    // null; does nothing for null.
    virtual void DestroyRenderSurface(RenderSurface*& surface) = 0;
    // Display gamma from the options, applied when the frame is presented.
    virtual void SetGammaRamp(float brightness, float contrast, float gamma) = 0;
    // Forgets whatever the device keeps for the declaration (its cached vertex layouts).
    virtual void UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) = 0;
    virtual void ReservedOperation2() = 0;
    virtual bool SupportsDepthRenderTargets() const = 0;
    // Whether RenderTextureFormat::Color16WithDepth may be asked for.
    virtual bool Supports16bitColorWithDepth() const = 0;
    // Draws into the surface: its colour becomes colour target index (0 in every use) and its own
    // depth the depth target (none when the surface has no depth).
    virtual void SetTargetSurface(int index, RenderSurface* surface) = 0;
    // The surface's colour becomes colour target index; the depth target is unchanged.
    virtual void SetRenderTarget(int index, RenderSurface* surface) = 0;
    // The surface's depth target becomes the depth target; null for none.
    virtual void SetDepthTarget(RenderSurface* surface) = 0;
    // Names the device and adapter (logged at start-up, shown in the statistics).
    virtual const char* GetDescription() const = 0;
    virtual int GetWidth() const = 0;   // back buffer, pixels
    virtual int GetHeight() const = 0;  // back buffer, pixels
    // Starts a frame (resets the per-frame counters); false when the frame cannot be drawn.
    virtual bool BeginScene() = 0;
    virtual void EndScene() = 0;
    // Shows the surface (the primary one in practice) on the window.
    virtual void Present(RenderSurface* surface) = 0;
    // The rectangle of the target that draws and Clear cover. It may be larger than the target.
    virtual void SetViewport(const Viewport& viewport) = 0;
    virtual const Viewport& GetViewport() const = 0;
    // Limits draws and Clear to the rectangle (target pixels); null turns the limit off.
    virtual void SetScissorRect(const Rect* rect) = 0;
    virtual void SetClearColor(const Color& color) = 0;
    virtual void ReservedOperation3() = 0;
    // Clears the targets named by flags (kClearColor, kClearDepth) inside the viewport (and the
    // scissor rectangle when set), to the clear colour and the depth, whatever the write modes.
    virtual void Clear(uint32_t flags, float depth) = 0;

    // Resources. Each Create returns null when the resource cannot be made; each Destroy takes a
    // reference to the pointer, destroys the resource, sets the pointer to null and ignores null.
    virtual RenderVertexBuffer* CreateVertexBuffer(uint32_t flags, uint32_t size) = 0;  // size in bytes
    virtual void DestroyVertexBuffer(RenderVertexBuffer*& buffer) = 0;
    virtual RenderDynamicVertexBuffer* CreateDynamicVertexBuffer(uint32_t size) = 0;  // bytes
    virtual void DestroyDynamicVertexBuffer(RenderDynamicVertexBuffer*& buffer) = 0;
    virtual RenderDynamicIndexBuffer* CreateDynamicIndexBuffer(uint32_t size) = 0;  // bytes
    virtual void DestroyDynamicIndexBuffer(RenderDynamicIndexBuffer*& buffer) = 0;
    virtual RenderVertexDeclaration* CreateVertexDeclaration(const RenderVertexElement* elements,
                                                             uint32_t count) = 0;
    virtual void DestroyVertexDeclaration(RenderVertexDeclaration*& declaration) = 0;
    virtual RenderIndexBuffer* CreateIndexBuffer(uint32_t count, RenderIndexFormat format) = 0;
    virtual void DestroyIndexBuffer(RenderIndexBuffer*& buffer) = 0;
    // Programs from their compiled bytes (GLSL source text for our device; length bytes, no
    // terminator needed).
    virtual RenderVertexShader* CreateVertexShader(const void* program, uint32_t length) = 0;
    virtual void DestroyVertexShader(RenderVertexShader*& shader) = 0;
    virtual RenderPixelShader* CreatePixelShader(const void* program, uint32_t length) = 0;
    virtual void DestroyPixelShader(RenderPixelShader*& shader) = 0;
    // Makes the pair ready to draw with, so that its first draw does not compile or link it: at
    // once on the render thread; from another thread (a shader loading) at the start of the
    // render thread's next scene. A pair whose programs go before then is passed over.
    virtual void PrepareProgram(const RenderVertexShader* vertex, const RenderPixelShader* pixel) = 0;
    // Bytes of the whole DDS file the texture needs after dropping reduction mip levels (<= 0: none),
    // computed from its header (the first available bytes); 0 when it cannot tell.
    virtual uint32_t GetTextureDataLength(const void* data, uint32_t available, int reduction) const = 0;
    // A texture from a DDS file, dropping reduction top mip levels (<= 0: none); null on failure.
    virtual RenderTexture* CreateTextureFromFile(const void* data, uint32_t length, int reduction) = 0;
    // A texture from one byte a texel, rows top first, shown as grey; format 0 (the only one);
    // flags kTextureUpdatable or 0.
    virtual RenderTexture* CreateTexture(int width, int height, const uint8_t* texels, uint32_t format,
                                         uint32_t flags) = 0;
    // A texture from 32-bit texels 0xAARRGGBB, rows top first; mipLevels 1 and flags 0 in every use.
    virtual RenderTexture* CreateTextureFromPixels(int width, int height, const uint32_t* pixels,
                                                   uint32_t mipLevels, uint32_t flags) = 0;
    // A lockable 32-bit texture (video frames).
    virtual RenderTexture* CreateDynamicTexture(int width, int height) = 0;
    // Destroys a texture from any of the four texture creations.
    virtual void DestroyTexture(RenderTexture*& texture) = 0;
    // After a failed texture creation: true when it failed for lack of video memory.
    virtual bool IsOutOfVideoMemory() const = 0;
    // The device font of a font file: name is the file's base name, data its bytes (null and 0
    // for an old-format file, found by name).
    virtual RenderFont* CreateDeviceFont(const char* name, const void* data, uint32_t size) = 0;
    virtual void DestroyDeviceFont(RenderFont*& font) = 0;

    // Programs and their constants; null turns a program off.
    virtual void SetVertexShader(const RenderVertexShader* shader) = 0;
    // count registers of four floats from data, starting at register first.
    virtual void SetVertexShaderConstants(uint32_t first, const float* data, uint32_t count) = 0;
    virtual void SetPixelShader(const RenderPixelShader* shader) = 0;
    virtual void SetPixelShaderConstants(uint32_t first, const float* data, uint32_t count) = 0;
    // The texture sampled at stage (0..7); null empties the stage (it samples as opaque white).
    virtual void SetTexture(uint32_t stage, const RenderTexture* texture) = 0;
    virtual void ReservedOperation4() = 0;
    // Clip plane index in clip space: vertices with Dot(plane normal, clip xyz) + d * clip w < 0
    // are clipped. Clearing removes it.
    virtual void SetClipPlane(uint32_t index, const Plane& plane) = 0;
    virtual void ClearClipPlane(uint32_t index) = 0;
    virtual void ReservedOperation5() = 0;
    // Draws primitiveCount primitives from the vertex stream without indices, starting at vertex
    // startVertex.
    virtual void DrawPrimitive(RenderPrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    // Draws primitiveCount primitives through the index source, reading from index startIndex and
    // adding baseVertex to each index; the indices reach vertexCount vertices from the base.
    // flags: 0. (Dynamic index buffers: see RenderDynamicIndexBuffer.)
    virtual void DrawIndexedPrimitive(RenderPrimitiveType type, int32_t baseVertex, uint32_t vertexCount,
                                      uint32_t primitiveCount, uint32_t startIndex, uint32_t flags) = 0;
    // 2-D draws of the canvas in target pixels, with packed colours and a depth of 0..1. The
    // bound pixel program, if any, shades them; otherwise texture stage 0 (white when empty) times
    // the colour.
    virtual void DrawRect(const Rect& rect, uint32_t color, float depth) = 0;
    // texCoords: (u, v, width, height) of the texture on stage 0 mapped onto destination.
    virtual void DrawTexturedRect(const Rect& texCoords, const Rect& destination, uint32_t color, float depth) = 0;
    // A fan of count points (the first is the centre); fewer than 3 points draw nothing.
    virtual void DrawTriangleFan(const Vec2* points, uint32_t count, uint32_t color) = 0;
    virtual void EnableVerticalSync(bool enable) = 0;
    virtual void EnableWireframe(bool enable) = 0;

    // Render states.
    virtual void SetDepthTestFunction(RenderTestFunction function) = 0;  // default LessEqual
    virtual void SetAlphaTestFunction(RenderTestFunction function) = 0;  // default Always
    virtual void SetAlphaReference(float reference) = 0;                 // 0..1
    // Cull mode (as seen on the target): 0 none, 1 clockwise (the back faces), 2 counter-clockwise.
    virtual void SetRenderStateA(uint32_t value) = 0;
    virtual void SetColorWriteMode(RenderWriteMode mode) = 0;
    virtual void SetAlphaWriteMode(RenderWriteMode mode) = 0;
    virtual void SetDepthWriteMode(RenderWriteMode mode) = 0;
    // Depth bias added to the depth of each fragment: the bits of a float.
    virtual void SetRenderStateB(uint32_t value) = 0;
    // Slope-scaled depth bias: the bits of a float.
    virtual void SetRenderStateC(uint32_t value) = 0;
    virtual void SetSourceBlendFactor(RenderBlendFactor factor) = 0;  // default One
    virtual RenderBlendFactor GetSourceBlendFactor() const = 0;
    virtual void SetDestinationBlendFactor(RenderBlendFactor factor) = 0;  // default Zero
    virtual RenderBlendFactor GetDestinationBlendFactor() const = 0;
    // A constant colour the programs can read (default white).
    virtual void SetRenderStateD(const Color& color) = 0;
    // No role yet; 0.
    virtual void SetRenderStateE(uint32_t value) = 0;
    virtual void SetSamplerState(uint32_t stage, RenderSamplerState state, uint32_t value) = 0;
    virtual void ReservedOperation7() = 0;
    // Binds bytes from offset of a static vertex buffer as the stream, stride bytes per vertex.
    virtual void SetStreamSource(uint32_t stream, const RenderVertexBuffer* buffer, uint32_t offset,
                                 uint32_t stride) = 0;
    virtual void SetVertexDeclaration(const RenderVertexDeclaration* declaration) = 0;
    // A static index buffer becomes the index source.
    virtual void SetIndices(const RenderIndexBuffer* buffer) = 0;
    virtual void ReservedOperation8() = 0;
    virtual void ReservedOperation9() = 0;

    // Statistics and the render debugger.
    virtual uint32_t GetNumFacesRendered() const = 0;  // in the current frame
    virtual uint32_t GetNumDrawCalls() const = 0;      // in the current frame, skipped ones included
    // Draw calls to execute from the next frame on; kNoDrawCallLimit for all.
    virtual void SetDrawCallLimit(uint32_t limit) = 0;
    virtual void SetDebugAlpha(bool enable) = 0;          // true: blending as set; false: no blending
    virtual void SetDebugPixelShaders(bool enable) = 0;   // true: flat colour for pixel programs
    virtual void SetDebugTextures(bool enable) = 0;       // true: every stage samples grey
    virtual void SetDebugCullPixels(bool enable) = 0;     // true: a 1 x 1 scissor
    virtual void ReservedOperation10() = 0;
    virtual size_t GetAvailableVideoMemory() const = 0;  // bytes free
    virtual size_t GetVideoMemory() const = 0;           // bytes in all; known before any window
    // Labels the following draws: shader file, style and caller's name (three nulls: none).
    virtual void SetDebugName(const char* shader, const char* style, const char* object) = 0;
    // The labels of the last executed draw call; null or empty when none. A device may keep them
    // only in frames with a draw-call limit (the render debugger showing), to copy nothing per draw.
    virtual const char* GetLastShaderName() const = 0;
    virtual const char* GetLastStyleName() const = 0;
    virtual const char* GetLastObjectName() const = 0;
    virtual void ReservedOperation11() = 0;
    // Lines describing the last executed draw call.
    virtual uint32_t GetNumInfoLines() const = 0;
    virtual const char* GetInfoLine(uint32_t index) const = 0;  // null past the end
    virtual void ReservedOperation12() = 0;
    virtual void SetDebugCullPrimitives(bool enable) = 0;  // true: draws are skipped
    // Unknown means unsupported hardware; known before any window.
    virtual RenderGenerationId GetGenerationId() const = 0;
    // An id compared with the graphics engine's card table (a value outside it for an unknown card).
    virtual uint32_t GetDeviceId() const = 0;

    // Operations with engine defaults.
    // True while the device is lost (its resources must be made again after ResetDevice).
    virtual bool DeviceLost() const { return false; }
    // Remakes the primary surface with new settings; true on success.
    virtual bool ResetDevice(const RenderDeviceSettings& /*settings*/) { return false; }
    virtual void SetResolution(int /*width*/, int /*height*/) {}
    // Set while a loading warm-up draws offscreen to have the driver compile what later frames
    // draw (GraphicsCanvas::SetWarmingUp): a device may skip a draw whose pipeline state it has
    // already drawn in a warm-up, and a clear of a kind it has made, since nothing of it is ever
    // shown and every frame clears what it draws into.
    virtual void SetWarmingUp(bool /*warmingUp*/) {}
    // Copies width x height pixels of the primary surface into pixels, rows from the bottom up;
    // true on success.
    virtual bool ReadFrameBuffer(Pixel* /*pixels*/, int /*width*/, int /*height*/) const { return false; }

protected:
    RenderDevice() = default;
    // Only the device library deletes a device, in its "DestroyRenderDevice" export.
    virtual ~RenderDevice() = default;
};

}  // namespace GAME

// The exports of a device library. The library defines both with these exact signatures; the
// factory finds them by name.
extern "C" {
__attribute__((visibility("default"))) GAME::RenderDevice* CreateRenderDevice(GAME::Engine* engine);
__attribute__((visibility("default"))) void DestroyRenderDevice(GAME::RenderDevice* device);
}
