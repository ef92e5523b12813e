#include "support/RecordingDevice.h"

#include "core/Vec2.h"

#include <cinttypes>
#include <cstdio>

namespace GAME::test {

namespace {

bool IsDepthFormat(RenderTextureFormat format) {
    return format == RenderTextureFormat::D16 || format == RenderTextureFormat::D24 ||
           format == RenderTextureFormat::D32;
}

// Bytes a texel of a surface format takes in the accounting (4 for every colour and depth format).
constexpr uint32_t kSurfaceTexelBytes = 4;

}  // namespace

RecordingDeviceState::RecordingDeviceState() {
    for (auto& sampler : samplerStates) {
        sampler[uint32_t(RenderSamplerState::MagFilter)] = 1;
        sampler[uint32_t(RenderSamplerState::MinFilter)] = 1;
        sampler[uint32_t(RenderSamplerState::MipFilter)] = 2;
    }
}

RecordingDevice::RecordingDevice(Engine* engine) : engine_(engine) {}

RecordingDevice::~RecordingDevice() = default;

// ---------------------------------------------------------------------------------------------
// Test access
// ---------------------------------------------------------------------------------------------

std::vector<std::string> RecordingDevice::GetCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> RecordingDevice::GetCalls(const std::string& operation) const {
    std::vector<std::string> matching;
    for (const std::string& call : GetCalls()) {
        const std::string name = call.substr(0, call.find('('));
        if (name == operation ||
            (name.size() > operation.size() && name.compare(name.size() - operation.size(), operation.size(), operation) == 0 &&
             name[name.size() - operation.size() - 1] == '.')) {
            matching.push_back(call);
        }
    }
    return matching;
}

size_t RecordingDevice::CountCalls(const std::string& operation) const { return GetCalls(operation).size(); }

void RecordingDevice::ClearCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

std::vector<std::string> RecordingDevice::GetErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

size_t RecordingDevice::GetNumLiveResources() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.size();
}

std::string RecordingDevice::GetResourceName(const void* resource) const {
    if (resource == nullptr) {
        return "null";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = names_.find(resource);
    return found != names_.end() ? found->second : "unknown";
}

void RecordingDevice::AddError(const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.push_back(error);
}

void RecordingDevice::Record(std::string call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
}

void RecordingDevice::BindDynamicStream(uint32_t stream, const RenderDynamicVertexBuffer* buffer, uint32_t offset,
                                        uint32_t stride) {
    if (stream >= RecordingDeviceState::kNumStreams) {
        AddError("stream out of range");
        return;
    }
    state_.streams[stream] = RecordingDeviceState::Stream{nullptr, buffer, offset, stride};
}

void RecordingDevice::BindDynamicIndices(const RenderDynamicIndexBuffer* buffer, uint32_t firstIndex) {
    state_.indexBuffer = nullptr;
    state_.dynamicIndexBuffer = buffer;
    state_.firstIndex = firstIndex;
}

// ---------------------------------------------------------------------------------------------
// Argument texts
// ---------------------------------------------------------------------------------------------

std::string RecordingDevice::Text(int value) const { return std::to_string(value); }

std::string RecordingDevice::Text(unsigned value) const { return std::to_string(value); }

std::string RecordingDevice::Text(float value) const {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

std::string RecordingDevice::Text(bool value) const { return value ? "true" : "false"; }

std::string RecordingDevice::Text(const char* text) const {
    return text != nullptr ? "\"" + std::string(text) + "\"" : "null";
}

std::string RecordingDevice::Text(const Rect& rect) const {
    return "(" + Text(rect.x) + ", " + Text(rect.y) + ", " + Text(rect.width) + ", " + Text(rect.height) + ")";
}

std::string RecordingDevice::Text(const Rect* rect) const { return rect != nullptr ? Text(*rect) : "null"; }

std::string RecordingDevice::Text(const Color& color) const {
    return "(" + Text(color.r) + ", " + Text(color.g) + ", " + Text(color.b) + ", " + Text(color.a) + ")";
}

std::string RecordingDevice::Text(const Plane& plane) const {
    return "((" + Text(plane.normal.x) + ", " + Text(plane.normal.y) + ", " + Text(plane.normal.z) + "), " +
           Text(plane.d) + ")";
}

std::string RecordingDevice::Text(const Viewport& viewport) const {
    return "(" + Text(viewport.x) + ", " + Text(viewport.y) + ", " + Text(viewport.width) + ", " +
           Text(viewport.height) + ")";
}

std::string RecordingDevice::Packed(uint32_t color) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, color);
    return text;
}

std::string RecordingDevice::Floats(const float* data, uint32_t count) const {
    std::string text = "[";
    for (uint32_t i = 0; data != nullptr && i < count; ++i) {
        text += (i != 0 ? ", " : "") + Text(data[i]);
    }
    return text + "]";
}

// ---------------------------------------------------------------------------------------------
// Resource bookkeeping
// ---------------------------------------------------------------------------------------------

std::string RecordingDevice::NextName(const std::string& kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    return kind + std::to_string(++counters_[kind]);
}

template <class Interface, class Resource>
Interface* RecordingDevice::Adopt(std::unique_ptr<Resource> resource) {
    Interface* const handle = resource.get();
    std::lock_guard<std::mutex> lock(mutex_);
    names_[handle] = resource->GetName();
    allocatedBytes_ += resource->GetBytes();
    live_[handle] = std::move(resource);
    return handle;
}

template <class Interface>
void RecordingDevice::Release(const char* operation, Interface*& resource) {
    RecordCall(operation, static_cast<const void*>(resource));
    if (resource == nullptr) {
        return;
    }
    std::unique_ptr<RecordedResource> owned;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = live_.find(resource);
        if (found != live_.end()) {
            owned = std::move(found->second);
            live_.erase(found);
            names_.erase(resource);
            allocatedBytes_ -= owned->GetBytes();
        } else {
            errors_.push_back(std::string(operation) + " of a resource this device does not hold");
        }
    }
    resource = nullptr;
}

std::unique_ptr<RecordingTexture> RecordingDevice::MakeSurfaceTexture(const std::string& name, int width, int height,
                                                                      RenderTextureFormat format) {
    if (format == RenderTextureFormat::None) {
        return nullptr;
    }
    auto texture = std::make_unique<RecordingTexture>(*this, name, width, height, kSurfaceTexelBytes, false);
    std::lock_guard<std::mutex> lock(mutex_);
    names_[static_cast<const RenderTexture*>(texture.get())] = name;
    return texture;
}

void RecordingDevice::CountDraw(uint32_t primitiveCount, std::string call) {
    ++drawCalls_;
    if (drawCalls_ > frameDrawCallLimit_ || state_.debugCullPrimitives) {
        return;
    }
    ++executedDrawCalls_;
    faces_ += primitiveCount;
    for (int i = 0; i < 3; ++i) {
        lastNames_[i] = debugNames_[i];
    }
    lastDraw_ = std::move(call);
}

// ---------------------------------------------------------------------------------------------
// RenderDevice
// ---------------------------------------------------------------------------------------------

bool RecordingDevice::Initialize() {
    RecordCall("Initialize");
    return script_.initializeResult;
}

void RecordingDevice::GetSupportedDisplayModes(std::vector<RenderDisplayMode>& modes) {
    RecordCall("GetSupportedDisplayModes");
    modes = script_.displayModes;
}

RenderSurface* RecordingDevice::CreatePrimarySurface(void* window, const RenderDeviceSettings& settings) {
    RecordCall("CreatePrimarySurface", Data(window), settings.width, settings.height, settings.colorFormat,
               settings.depthFormat, settings.flags, settings.antiAliasing);
    if (script_.failCreates || settings.width <= 0 || settings.height <= 0) {
        return nullptr;
    }
    width_ = settings.width;
    height_ = settings.height;
    return Adopt<RenderSurface>(std::make_unique<RecordingSurface>(*this, NextName("primarySurface"), width_, height_,
                                                                   nullptr, nullptr, nullptr));
}

void RecordingDevice::ReservedOperation1() { RecordCall("ReservedOperation1"); }

RenderSurface* RecordingDevice::CreateRenderSurface(int width, int height, const RenderTexture* texture,
                                                    RenderTextureFormat depthFormat) {
    RecordCall("CreateRenderSurface", width, height, static_cast<const void*>(texture), depthFormat);
    if (script_.failCreates || width <= 0 || height <= 0 || texture == nullptr) {
        return nullptr;
    }
    const std::string name = NextName("surface");
    auto depth = MakeSurfaceTexture(name + ".depth", width, height, depthFormat);
    return Adopt<RenderSurface>(
        std::make_unique<RecordingSurface>(*this, name, width, height, nullptr, texture, std::move(depth)));
}

RenderSurface* RecordingDevice::CreateRenderSurface(int width, int height, RenderTextureFormat colorFormat,
                                                    RenderTextureFormat depthFormat) {
    RecordCall("CreateRenderSurface", width, height, colorFormat, depthFormat);
    if (script_.failCreates || width <= 0 || height <= 0 || IsDepthFormat(colorFormat) ||
        (depthFormat != RenderTextureFormat::None && !IsDepthFormat(depthFormat))) {
        return nullptr;
    }
    const std::string name = NextName("surface");
    auto color = MakeSurfaceTexture(name + ".color", width, height, colorFormat);
    auto depth = MakeSurfaceTexture(name + ".depth", width, height, depthFormat);
    return Adopt<RenderSurface>(
        std::make_unique<RecordingSurface>(*this, name, width, height, std::move(color), nullptr, std::move(depth)));
}

void RecordingDevice::DestroyRenderSurface(RenderSurface*& surface) {
    if (surface != nullptr) {
        // The surface's own textures go with it: forget their names before their memory is reused.
        const RenderTexture* const textures[2] = {surface->GetTexture(), surface->GetDepthTexture()};
        const std::string prefix = GetResourceName(surface) + ".";
        std::lock_guard<std::mutex> lock(mutex_);
        for (const RenderTexture* texture : textures) {
            const auto found = names_.find(texture);
            if (found != names_.end() && found->second.rfind(prefix, 0) == 0) {
                names_.erase(found);
            }
        }
    }
    Release("DestroyRenderSurface", surface);
}

void RecordingDevice::SetGammaRamp(float brightness, float contrast, float gamma) {
    RecordCall("SetGammaRamp", brightness, contrast, gamma);
    state_.brightness = brightness;
    state_.contrast = contrast;
    state_.gamma = gamma;
}

void RecordingDevice::UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) {
    RecordCall("UnregisterVertexDeclaration", static_cast<const void*>(declaration));
}

void RecordingDevice::ReservedOperation2() { RecordCall("ReservedOperation2"); }

bool RecordingDevice::SupportsDepthRenderTargets() const {
    RecordCall("SupportsDepthRenderTargets");
    return script_.supportsDepthRenderTargets;
}

bool RecordingDevice::Supports16bitColorWithDepth() const {
    RecordCall("Supports16bitColorWithDepth");
    return script_.supports16bitColorWithDepth;
}

void RecordingDevice::SetTargetSurface(int index, RenderSurface* surface) {
    RecordCall("SetTargetSurface", index, static_cast<const void*>(surface));
    if (index < 0 || uint32_t(index) >= RecordingDeviceState::kNumTargets) {
        AddError("SetTargetSurface: target index out of range");
        return;
    }
    state_.colorTargets[index] = surface;
    state_.depthTarget = surface;
}

void RecordingDevice::SetRenderTarget(int index, RenderSurface* surface) {
    RecordCall("SetRenderTarget", index, static_cast<const void*>(surface));
    if (index < 0 || uint32_t(index) >= RecordingDeviceState::kNumTargets) {
        AddError("SetRenderTarget: target index out of range");
        return;
    }
    state_.colorTargets[index] = surface;
}

void RecordingDevice::SetDepthTarget(RenderSurface* surface) {
    RecordCall("SetDepthTarget", static_cast<const void*>(surface));
    state_.depthTarget = surface;
}

const char* RecordingDevice::GetDescription() const {
    RecordCall("GetDescription");
    return "Recording device (tests)";
}

int RecordingDevice::GetWidth() const {
    RecordCall("GetWidth");
    return width_;
}

int RecordingDevice::GetHeight() const {
    RecordCall("GetHeight");
    return height_;
}

bool RecordingDevice::BeginScene() {
    RecordCall("BeginScene");
    frameDrawCallLimit_ = state_.drawCallLimit;
    drawCalls_ = 0;
    executedDrawCalls_ = 0;
    faces_ = 0;
    return script_.beginSceneResult;
}

void RecordingDevice::EndScene() { RecordCall("EndScene"); }

void RecordingDevice::Present(RenderSurface* surface) { RecordCall("Present", static_cast<const void*>(surface)); }

void RecordingDevice::SetViewport(const Viewport& viewport) {
    RecordCall("SetViewport", viewport);
    state_.viewport = viewport;
}

const Viewport& RecordingDevice::GetViewport() const {
    RecordCall("GetViewport");
    return state_.viewport;
}

void RecordingDevice::SetScissorRect(const Rect* rect) {
    RecordCall("SetScissorRect", rect);
    state_.scissorEnabled = rect != nullptr;
    state_.scissor = rect != nullptr ? *rect : Rect();
}

void RecordingDevice::SetClearColor(const Color& color) {
    RecordCall("SetClearColor", color);
    state_.clearColor = color;
}

void RecordingDevice::ReservedOperation3() { RecordCall("ReservedOperation3"); }

void RecordingDevice::Clear(uint32_t flags, float depth) { RecordCall("Clear", flags, depth); }

RenderVertexBuffer* RecordingDevice::CreateVertexBuffer(uint32_t flags, uint32_t size) {
    RecordCall("CreateVertexBuffer", flags, size);
    if (script_.failCreates || script_.failVertexBuffers || size == 0) {
        return nullptr;
    }
    return Adopt<RenderVertexBuffer>(
        std::make_unique<RecordingVertexBuffer>(*this, NextName("vertexBuffer"), flags, size));
}

void RecordingDevice::DestroyVertexBuffer(RenderVertexBuffer*& buffer) { Release("DestroyVertexBuffer", buffer); }

RenderDynamicVertexBuffer* RecordingDevice::CreateDynamicVertexBuffer(uint32_t size) {
    RecordCall("CreateDynamicVertexBuffer", size);
    if (script_.failCreates || size == 0) {
        return nullptr;
    }
    return Adopt<RenderDynamicVertexBuffer>(
        std::make_unique<RecordingDynamicVertexBuffer>(*this, NextName("dynamicVertexBuffer"), size));
}

void RecordingDevice::DestroyDynamicVertexBuffer(RenderDynamicVertexBuffer*& buffer) {
    Release("DestroyDynamicVertexBuffer", buffer);
}

RenderDynamicIndexBuffer* RecordingDevice::CreateDynamicIndexBuffer(uint32_t size) {
    RecordCall("CreateDynamicIndexBuffer", size);
    if (script_.failCreates || size < sizeof(uint32_t)) {
        return nullptr;
    }
    return Adopt<RenderDynamicIndexBuffer>(
        std::make_unique<RecordingDynamicIndexBuffer>(*this, NextName("dynamicIndexBuffer"), size));
}

void RecordingDevice::DestroyDynamicIndexBuffer(RenderDynamicIndexBuffer*& buffer) {
    Release("DestroyDynamicIndexBuffer", buffer);
}

RenderVertexDeclaration* RecordingDevice::CreateVertexDeclaration(const RenderVertexElement* elements,
                                                                  uint32_t count) {
    std::string text = "[";
    for (uint32_t i = 0; elements != nullptr && i < count; ++i) {
        text += (i != 0 ? ", {" : "{") + Text(elements[i].stream) + ", " + Text(elements[i].usage) + ", " +
                Text(elements[i].type) + "}";
    }
    RecordCall("CreateVertexDeclaration", text + "]", count);
    if (script_.failCreates || (elements == nullptr && count != 0)) {
        return nullptr;
    }
    std::vector<RenderVertexElement> copy(elements, elements + count);
    return Adopt<RenderVertexDeclaration>(
        std::make_unique<RecordingVertexDeclaration>(*this, NextName("declaration"), std::move(copy)));
}

void RecordingDevice::DestroyVertexDeclaration(RenderVertexDeclaration*& declaration) {
    Release("DestroyVertexDeclaration", declaration);
}

RenderIndexBuffer* RecordingDevice::CreateIndexBuffer(uint32_t count, RenderIndexFormat format) {
    RecordCall("CreateIndexBuffer", count, format);
    if (script_.failCreates || script_.failIndexBuffers || count == 0 ||
        (format != RenderIndexFormat::Index16 && format != RenderIndexFormat::Index32)) {
        return nullptr;
    }
    return Adopt<RenderIndexBuffer>(
        std::make_unique<RecordingIndexBuffer>(*this, NextName("indexBuffer"), count, format));
}

void RecordingDevice::DestroyIndexBuffer(RenderIndexBuffer*& buffer) { Release("DestroyIndexBuffer", buffer); }

void RecordingDevice::PrepareProgram(const RenderVertexShader* vertex, const RenderPixelShader* pixel) {
    RecordCall("PrepareProgram", static_cast<const void*>(vertex), static_cast<const void*>(pixel));
}

RenderVertexShader* RecordingDevice::CreateVertexShader(const void* program, uint32_t length) {
    RecordCall("CreateVertexShader", Data(program), length);
    if (script_.failCreates || program == nullptr) {
        return nullptr;
    }
    return Adopt<RenderVertexShader>(std::make_unique<RecordingVertexShader>(
        *this, NextName("vertexShader"), std::string(static_cast<const char*>(program), length)));
}

void RecordingDevice::DestroyVertexShader(RenderVertexShader*& shader) { Release("DestroyVertexShader", shader); }

RenderPixelShader* RecordingDevice::CreatePixelShader(const void* program, uint32_t length) {
    RecordCall("CreatePixelShader", Data(program), length);
    if (script_.failCreates || program == nullptr) {
        return nullptr;
    }
    return Adopt<RenderPixelShader>(std::make_unique<RecordingPixelShader>(
        *this, NextName("pixelShader"), std::string(static_cast<const char*>(program), length)));
}

void RecordingDevice::DestroyPixelShader(RenderPixelShader*& shader) { Release("DestroyPixelShader", shader); }

uint32_t RecordingDevice::GetTextureDataLength(const void* data, uint32_t available, int reduction) const {
    RecordCall("GetTextureDataLength", Data(data), available, reduction);
    return script_.textureDataLength;
}

RenderTexture* RecordingDevice::CreateTextureFromFile(const void* data, uint32_t length, int reduction) {
    RecordCall("CreateTextureFromFile", Data(data), length, reduction);
    if (script_.failCreates || data == nullptr || length == 0) {
        return nullptr;
    }
    // The recording device reads no DDS: a file texture is 1 x 1 and keeps no texels.
    return Adopt<RenderTexture>(std::make_unique<RecordingTexture>(*this, NextName("texture"), 1, 1, 0, false));
}

RenderTexture* RecordingDevice::CreateTexture(int width, int height, const uint8_t* texels, uint32_t format,
                                              uint32_t flags) {
    RecordCall("CreateTexture", width, height, Data(texels), format, flags);
    if (script_.failCreates || width <= 0 || height <= 0) {
        return nullptr;
    }
    auto texture = std::make_unique<RecordingTexture>(*this, NextName("texture"), width, height, 1, false);
    texture->SetTexels(texels, size_t(width) * size_t(height));
    return Adopt<RenderTexture>(std::move(texture));
}

RenderTexture* RecordingDevice::CreateTextureFromPixels(int width, int height, const uint32_t* pixels,
                                                        uint32_t mipLevels, uint32_t flags) {
    RecordCall("CreateTextureFromPixels", width, height, Data(pixels), mipLevels, flags);
    if (script_.failCreates || width <= 0 || height <= 0) {
        return nullptr;
    }
    auto texture = std::make_unique<RecordingTexture>(*this, NextName("texture"), width, height, 4, false);
    texture->SetTexels(pixels, size_t(width) * size_t(height) * 4);
    return Adopt<RenderTexture>(std::move(texture));
}

RenderTexture* RecordingDevice::CreateDynamicTexture(int width, int height) {
    RecordCall("CreateDynamicTexture", width, height);
    if (script_.failCreates || width <= 0 || height <= 0) {
        return nullptr;
    }
    return Adopt<RenderTexture>(std::make_unique<RecordingTexture>(*this, NextName("texture"), width, height, 4, true));
}

void RecordingDevice::DestroyTexture(RenderTexture*& texture) { Release("DestroyTexture", texture); }

bool RecordingDevice::IsOutOfVideoMemory() const {
    RecordCall("IsOutOfVideoMemory");
    return script_.outOfVideoMemory;
}

RenderFont* RecordingDevice::CreateDeviceFont(const char* name, const void* data, uint32_t size) {
    RecordCall("CreateDeviceFont", name, Data(data), size);
    if (script_.failCreates || name == nullptr) {
        return nullptr;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> copy = bytes != nullptr ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
    return Adopt<RenderFont>(std::make_unique<RecordingFont>(*this, NextName("font"), name, std::move(copy)));
}

void RecordingDevice::DestroyDeviceFont(RenderFont*& font) { Release("DestroyDeviceFont", font); }

void RecordingDevice::SetVertexShader(const RenderVertexShader* shader) {
    RecordCall("SetVertexShader", static_cast<const void*>(shader));
    state_.vertexShader = shader;
}

void RecordingDevice::SetVertexShaderConstants(uint32_t first, const float* data, uint32_t count) {
    RecordCall("SetVertexShaderConstants", first, Floats(data, count * 4), count);
    if (data == nullptr || uint64_t(first) + count > RecordingDeviceState::kNumVertexRegisters) {
        AddError("SetVertexShaderConstants: registers out of range");
        return;
    }
    std::copy(data, data + size_t(count) * 4, &state_.vertexConstants[first][0]);
}

void RecordingDevice::SetPixelShader(const RenderPixelShader* shader) {
    RecordCall("SetPixelShader", static_cast<const void*>(shader));
    state_.pixelShader = shader;
}

void RecordingDevice::SetPixelShaderConstants(uint32_t first, const float* data, uint32_t count) {
    RecordCall("SetPixelShaderConstants", first, Floats(data, count * 4), count);
    if (data == nullptr || uint64_t(first) + count > RecordingDeviceState::kNumPixelRegisters) {
        AddError("SetPixelShaderConstants: registers out of range");
        return;
    }
    std::copy(data, data + size_t(count) * 4, &state_.pixelConstants[first][0]);
}

void RecordingDevice::SetTexture(uint32_t stage, const RenderTexture* texture) {
    RecordCall("SetTexture", stage, static_cast<const void*>(texture));
    if (stage >= RecordingDeviceState::kNumStages) {
        AddError("SetTexture: stage out of range");
        return;
    }
    state_.textures[stage] = texture;
}

void RecordingDevice::ReservedOperation4() { RecordCall("ReservedOperation4"); }

void RecordingDevice::SetClipPlane(uint32_t index, const Plane& plane) {
    RecordCall("SetClipPlane", index, plane);
    if (index >= RecordingDeviceState::kNumClipPlanes) {
        AddError("SetClipPlane: index out of range");
        return;
    }
    state_.clipPlaneEnabled[index] = true;
    state_.clipPlanes[index] = plane;
}

void RecordingDevice::ClearClipPlane(uint32_t index) {
    RecordCall("ClearClipPlane", index);
    if (index >= RecordingDeviceState::kNumClipPlanes) {
        AddError("ClearClipPlane: index out of range");
        return;
    }
    state_.clipPlaneEnabled[index] = false;
}

void RecordingDevice::ReservedOperation5() { RecordCall("ReservedOperation5"); }

void RecordingDevice::DrawPrimitive(RenderPrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
    CountDraw(primitiveCount, RecordCall("DrawPrimitive", type, startVertex, primitiveCount));
}

void RecordingDevice::DrawIndexedPrimitive(RenderPrimitiveType type, int32_t baseVertex, uint32_t vertexCount,
                                           uint32_t primitiveCount, uint32_t startIndex, uint32_t flags) {
    CountDraw(primitiveCount, RecordCall("DrawIndexedPrimitive", type, baseVertex, vertexCount, primitiveCount,
                                         startIndex, flags));
}

void RecordingDevice::DrawRect(const Rect& rect, uint32_t color, float depth) {
    CountDraw(2, RecordCall("DrawRect", rect, Packed(color), depth));
}

void RecordingDevice::DrawTexturedRect(const Rect& texCoords, const Rect& destination, uint32_t color, float depth) {
    CountDraw(2, RecordCall("DrawTexturedRect", texCoords, destination, Packed(color), depth));
}

void RecordingDevice::DrawTriangleFan(const Vec2* points, uint32_t count, uint32_t color) {
    std::string text = "[";
    for (uint32_t i = 0; points != nullptr && i < count; ++i) {
        text += (i != 0 ? ", (" : "(") + Text(points[i].x) + ", " + Text(points[i].y) + ")";
    }
    const std::string call = RecordCall("DrawTriangleFan", text + "]", count, Packed(color));
    if (points != nullptr && count >= 3) {
        CountDraw(count - 2, call);
    }
}

void RecordingDevice::EnableVerticalSync(bool enable) {
    RecordCall("EnableVerticalSync", enable);
    state_.verticalSync = enable;
}

void RecordingDevice::EnableWireframe(bool enable) {
    RecordCall("EnableWireframe", enable);
    state_.wireframe = enable;
}

void RecordingDevice::SetDepthTestFunction(RenderTestFunction function) {
    RecordCall("SetDepthTestFunction", function);
    state_.depthTest = function;
}

void RecordingDevice::SetAlphaTestFunction(RenderTestFunction function) {
    RecordCall("SetAlphaTestFunction", function);
    state_.alphaTest = function;
}

void RecordingDevice::SetAlphaReference(float reference) {
    RecordCall("SetAlphaReference", reference);
    state_.alphaReference = reference;
}

void RecordingDevice::SetRenderStateA(uint32_t value) {
    RecordCall("SetRenderStateA", value);
    state_.renderStateA = value;
}

void RecordingDevice::SetColorWriteMode(RenderWriteMode mode) {
    RecordCall("SetColorWriteMode", mode);
    state_.colorWrite = mode;
}

void RecordingDevice::SetAlphaWriteMode(RenderWriteMode mode) {
    RecordCall("SetAlphaWriteMode", mode);
    state_.alphaWrite = mode;
}

void RecordingDevice::SetDepthWriteMode(RenderWriteMode mode) {
    RecordCall("SetDepthWriteMode", mode);
    state_.depthWrite = mode;
}

void RecordingDevice::SetRenderStateB(uint32_t value) {
    RecordCall("SetRenderStateB", value);
    state_.renderStateB = value;
}

void RecordingDevice::SetRenderStateC(uint32_t value) {
    RecordCall("SetRenderStateC", value);
    state_.renderStateC = value;
}

void RecordingDevice::SetSourceBlendFactor(RenderBlendFactor factor) {
    RecordCall("SetSourceBlendFactor", factor);
    state_.sourceBlend = factor;
}

RenderBlendFactor RecordingDevice::GetSourceBlendFactor() const {
    RecordCall("GetSourceBlendFactor");
    return state_.sourceBlend;
}

void RecordingDevice::SetDestinationBlendFactor(RenderBlendFactor factor) {
    RecordCall("SetDestinationBlendFactor", factor);
    state_.destinationBlend = factor;
}

RenderBlendFactor RecordingDevice::GetDestinationBlendFactor() const {
    RecordCall("GetDestinationBlendFactor");
    return state_.destinationBlend;
}

void RecordingDevice::SetRenderStateD(const Color& color) {
    RecordCall("SetRenderStateD", color);
    state_.renderStateD = color;
}

void RecordingDevice::SetRenderStateE(uint32_t value) {
    RecordCall("SetRenderStateE", value);
    state_.renderStateE = value;
}

void RecordingDevice::SetSamplerState(uint32_t stage, RenderSamplerState state, uint32_t value) {
    RecordCall("SetSamplerState", stage, state, value);
    if (stage >= RecordingDeviceState::kNumSamplers || uint32_t(state) >= RecordingDeviceState::kNumSamplerStates) {
        AddError("SetSamplerState: sampler or state out of range");
        return;
    }
    state_.samplerStates[stage][uint32_t(state)] = value;
}

void RecordingDevice::ReservedOperation7() { RecordCall("ReservedOperation7"); }

void RecordingDevice::SetStreamSource(uint32_t stream, const RenderVertexBuffer* buffer, uint32_t offset,
                                      uint32_t stride) {
    RecordCall("SetStreamSource", stream, static_cast<const void*>(buffer), offset, stride);
    if (stream >= RecordingDeviceState::kNumStreams) {
        AddError("SetStreamSource: stream out of range");
        return;
    }
    state_.streams[stream] = RecordingDeviceState::Stream{buffer, nullptr, offset, stride};
}

void RecordingDevice::SetVertexDeclaration(const RenderVertexDeclaration* declaration) {
    RecordCall("SetVertexDeclaration", static_cast<const void*>(declaration));
    state_.declaration = declaration;
}

void RecordingDevice::SetIndices(const RenderIndexBuffer* buffer) {
    RecordCall("SetIndices", static_cast<const void*>(buffer));
    state_.indexBuffer = buffer;
    state_.dynamicIndexBuffer = nullptr;
    state_.firstIndex = 0;
}

void RecordingDevice::ReservedOperation8() { RecordCall("ReservedOperation8"); }

void RecordingDevice::ReservedOperation9() { RecordCall("ReservedOperation9"); }

uint32_t RecordingDevice::GetNumFacesRendered() const {
    RecordCall("GetNumFacesRendered");
    return faces_;
}

uint32_t RecordingDevice::GetNumDrawCalls() const {
    RecordCall("GetNumDrawCalls");
    return drawCalls_;
}

void RecordingDevice::SetDrawCallLimit(uint32_t limit) {
    RecordCall("SetDrawCallLimit", limit);
    state_.drawCallLimit = limit;
}

void RecordingDevice::SetDebugAlpha(bool enable) {
    RecordCall("SetDebugAlpha", enable);
    state_.debugAlpha = enable;
}

void RecordingDevice::SetDebugPixelShaders(bool enable) {
    RecordCall("SetDebugPixelShaders", enable);
    state_.debugPixelShaders = enable;
}

void RecordingDevice::SetDebugTextures(bool enable) {
    RecordCall("SetDebugTextures", enable);
    state_.debugTextures = enable;
}

void RecordingDevice::SetDebugCullPixels(bool enable) {
    RecordCall("SetDebugCullPixels", enable);
    state_.debugCullPixels = enable;
}

void RecordingDevice::ReservedOperation10() { RecordCall("ReservedOperation10"); }

size_t RecordingDevice::GetAvailableVideoMemory() const {
    RecordCall("GetAvailableVideoMemory");
    std::lock_guard<std::mutex> lock(mutex_);
    return allocatedBytes_ < script_.videoMemory ? script_.videoMemory - allocatedBytes_ : 0;
}

size_t RecordingDevice::GetVideoMemory() const {
    RecordCall("GetVideoMemory");
    return script_.videoMemory;
}

void RecordingDevice::SetDebugName(const char* shader, const char* style, const char* object) {
    RecordCall("SetDebugName", shader, style, object);
    const char* const names[3] = {shader, style, object};
    for (int i = 0; i < 3; ++i) {
        debugNames_[i] = names[i] != nullptr ? names[i] : "";
    }
}

const char* RecordingDevice::GetLastShaderName() const {
    RecordCall("GetLastShaderName");
    return lastNames_[0].c_str();
}

const char* RecordingDevice::GetLastStyleName() const {
    RecordCall("GetLastStyleName");
    return lastNames_[1].c_str();
}

const char* RecordingDevice::GetLastObjectName() const {
    RecordCall("GetLastObjectName");
    return lastNames_[2].c_str();
}

void RecordingDevice::ReservedOperation11() { RecordCall("ReservedOperation11"); }

uint32_t RecordingDevice::GetNumInfoLines() const {
    RecordCall("GetNumInfoLines");
    return lastDraw_.empty() ? 0 : 1;
}

const char* RecordingDevice::GetInfoLine(uint32_t index) const {
    RecordCall("GetInfoLine", index);
    return index == 0 && !lastDraw_.empty() ? lastDraw_.c_str() : nullptr;
}

void RecordingDevice::ReservedOperation12() { RecordCall("ReservedOperation12"); }

void RecordingDevice::SetDebugCullPrimitives(bool enable) {
    RecordCall("SetDebugCullPrimitives", enable);
    state_.debugCullPrimitives = enable;
}

RenderGenerationId RecordingDevice::GetGenerationId() const {
    RecordCall("GetGenerationId");
    return script_.generation;
}

uint32_t RecordingDevice::GetDeviceId() const {
    RecordCall("GetDeviceId");
    return script_.deviceId;
}

bool RecordingDevice::DeviceLost() const {
    RecordCall("DeviceLost");
    return script_.deviceLost;
}

bool RecordingDevice::ResetDevice(const RenderDeviceSettings& settings) {
    RecordCall("ResetDevice", settings.width, settings.height, settings.colorFormat, settings.depthFormat,
               settings.flags, settings.antiAliasing);
    if (script_.resetResult) {
        width_ = settings.width;
        height_ = settings.height;
    }
    return script_.resetResult;
}

void RecordingDevice::SetResolution(int width, int height) {
    RecordCall("SetResolution", width, height);
    width_ = width;
    height_ = height;
}

void RecordingDevice::SetWarmingUp(bool warmingUp) { RecordCall("SetWarmingUp", warmingUp); }

bool RecordingDevice::ReadFrameBuffer(Pixel* pixels, int width, int height) const {
    RecordCall("ReadFrameBuffer", Data(pixels), width, height);
    if (pixels == nullptr || width < 0 || height < 0) {
        return false;
    }
    RecordingSurface::WritePattern(reinterpret_cast<uint8_t*>(pixels), width, height, width_, height_, true);
    return true;
}

}  // namespace GAME::test
