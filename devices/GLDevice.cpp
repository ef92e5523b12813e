#include "devices/GLDevice.h"

#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/Plane.h"
#include "core/Vec2.h"
#include "devices/BuiltinFont.h"
#include "devices/DDSFile.h"
#include "devices/GLBuffer.h"
#include "devices/GLDebugOutput.h"
#include "devices/GLDeviceFont.h"
#include "devices/GLDynamicIndexBuffer.h"
#include "devices/GLDynamicVertexBuffer.h"
#include "devices/GLIndexBuffer.h"
#include "devices/GLShaderText.h"
#include "devices/GLStageShaders.h"
#include "devices/GLSurface.h"
#include "devices/GLVertexBuffer.h"
#include "render/DeviceFontFile.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace GAME {

namespace {

// The texture unit uploads bind to, outside the engine's stages.
constexpr uint32_t kUploadUnit = 15;
constexpr uint32_t kRing2DBytes = 1u << 20;

// Reasons a draw is refused, each logged once.
enum DrawProblem : uint32_t {
    kNoTarget = 1u << 0,
    kNoDeclaration = 1u << 1,
    kNoStream = 1u << 2,
    kNoIndices = 1u << 3,
    kBadProgram = 1u << 4,
    kTooMany2D = 1u << 5,
};

GLenum ToGL(RenderBlendFactor factor) {
    switch (factor) {
        case RenderBlendFactor::One: return GL_ONE;
        case RenderBlendFactor::Zero: return GL_ZERO;
        case RenderBlendFactor::SourceColor: return GL_SRC_COLOR;
        case RenderBlendFactor::InverseSourceColor: return GL_ONE_MINUS_SRC_COLOR;
        case RenderBlendFactor::DestinationColor: return GL_DST_COLOR;
        case RenderBlendFactor::InverseDestinationColor: return GL_ONE_MINUS_DST_COLOR;
        case RenderBlendFactor::SourceAlpha: return GL_SRC_ALPHA;
        case RenderBlendFactor::DestinationAlpha: return GL_DST_ALPHA;
        case RenderBlendFactor::InverseSourceAlpha: return GL_ONE_MINUS_SRC_ALPHA;
        case RenderBlendFactor::InverseDestinationAlpha: return GL_ONE_MINUS_DST_ALPHA;
    }
    return GL_ONE;
}

GLenum ToGL(RenderTestFunction function) {
    switch (function) {
        case RenderTestFunction::Never: return GL_NEVER;
        case RenderTestFunction::Less: return GL_LESS;
        case RenderTestFunction::Equal: return GL_EQUAL;
        case RenderTestFunction::LessEqual: return GL_LEQUAL;
        case RenderTestFunction::Greater: return GL_GREATER;
        case RenderTestFunction::NotEqual: return GL_NOTEQUAL;
        case RenderTestFunction::GreaterEqual: return GL_GEQUAL;
        case RenderTestFunction::Always: return GL_ALWAYS;
    }
    return GL_ALWAYS;
}

bool IsValid(RenderTestFunction function) {
    return static_cast<uint32_t>(function) <= static_cast<uint32_t>(RenderTestFunction::Always);
}

bool IsValid(RenderBlendFactor factor) {
    return static_cast<uint32_t>(factor) <= static_cast<uint32_t>(RenderBlendFactor::InverseDestinationAlpha);
}

// The GL primitive mode and the number of vertices (or indices) primitives of it take.
bool ToGL(RenderPrimitiveType type, uint32_t primitives, GLenum& mode, uint32_t& vertices) {
    switch (type) {
        case RenderPrimitiveType::TriangleList: mode = GL_TRIANGLES; vertices = primitives * 3; return true;
        case RenderPrimitiveType::TriangleStrip: mode = GL_TRIANGLE_STRIP; vertices = primitives + 2; return true;
        case RenderPrimitiveType::TriangleFan: mode = GL_TRIANGLE_FAN; vertices = primitives + 2; return true;
        case RenderPrimitiveType::LineList: mode = GL_LINES; vertices = primitives * 2; return true;
        case RenderPrimitiveType::LineStrip: mode = GL_LINE_STRIP; vertices = primitives + 1; return true;
        case RenderPrimitiveType::PointList: mode = GL_POINTS; vertices = primitives; return true;
    }
    return false;
}

bool IsValidSize(int width, int height, int maximum) {
    return width > 0 && height > 0 && width <= maximum && height <= maximum;
}

float FloatFromBits(uint32_t bits) {
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

GLuint CompileRaw(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

// The texels of one level of a DDS file as the texture keeps them: 24-bit texels gain a fourth,
// unused byte, so every uncompressed colour texture has 4-byte texels (and rows GL need not pad).
std::vector<uint8_t> CopyLevel(const uint8_t* file, const DDSLevel& level, DDSFormat format) {
    const uint8_t* const begin = file + level.offset;
    if (format != DDSFormat::R8G8B8) {
        return std::vector<uint8_t>(begin, begin + level.size);
    }
    std::vector<uint8_t> texels;
    texels.reserve(size_t(level.size) / 3 * 4);
    for (uint32_t i = 0; i + 3 <= level.size; i += 3) {
        texels.insert(texels.end(), begin + i, begin + i + 3);
        texels.push_back(0xFF);
    }
    return texels;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------------------------

GLDevice::Context::~Context() {
    if (handle != nullptr) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(handle));
    }
}

GLDevice::GLDevice() {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    constants_.Set(GLConstants::Device, GLShaderText::kConstantColorRegister, white, 1);
    UpdateAlphaTestRegister();
}

GLDevice::~GLDevice() {
    if (context_.handle != nullptr) {
        SDL_GL_MakeCurrent(context_.window, static_cast<SDL_GLContext>(context_.handle));
        queue_.Drain();
        if (presentProgram_ != 0) {
            glDeleteProgram(presentProgram_);
        }
        if (emptyVertexArray_ != 0) {
            glDeleteVertexArrays(1, &emptyVertexArray_);
        }
    } else {
        queue_.Drain(false);
    }
}

bool GLDevice::CreateContext(SDL_Window* window) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    GLDebugOutput::RequestContext();
    const SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        Log(LogPriority::Error, "GLDevice: no OpenGL 3.3 core context: %s", SDL_GetError());
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        Log(LogPriority::Error, "GLDevice: the context cannot be made current: %s", SDL_GetError());
        SDL_GL_DeleteContext(context);
        return false;
    }
    context_.window = window;
    context_.handle = context;
    renderThread_ = std::this_thread::get_id();
    GLDebugOutput::Install();

    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    float maxAnisotropy = 1.0f;
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (std::strcmp(name, "GL_EXT_texture_compression_s3tc") == 0) {
            driverHasS3TC_ = true;
        } else if (std::strcmp(name, "GL_EXT_texture_filter_anisotropic") == 0 ||
                   std::strcmp(name, "GL_ARB_texture_filter_anisotropic") == 0) {
            glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &maxAnisotropy);
        }
    }
    hasS3TC_ = driverHasS3TC_;
    samplers_.SetMaxAnisotropy(maxAnisotropy);
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    maxTextureSize_ = std::min(maxTextureSize, int(DDSFile::kMaxSize));
    description_ = std::string("GLDevice (OpenGL ") + reinterpret_cast<const char*>(glGetString(GL_VERSION)) + ", " +
                   reinterpret_cast<const char*>(glGetString(GL_RENDERER)) + ")";

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GLint windowAlphaBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE,
                                          &windowAlphaBits);
    windowHasAlpha_ = windowAlphaBits > 0;
    glState_.Reset();
    // Direct3D reads a colour the declaration lacks as opaque white.
    glVertexAttrib4f(GLuint(RenderVertexUsage::Color), 1.0f, 1.0f, 1.0f, 1.0f);
    hasContext_.store(true, std::memory_order_release);
    CreateRenderObjects();
    queue_.Drain();
    Log(LogPriority::Info, "%s", description_.c_str());
    return true;
}

void GLDevice::CreateRenderObjects() {
    passThroughVertexShader_ =
        std::make_unique<GLShader>(*this, GLShaderStage::Vertex, GLShaderText::kPassThroughVertexProgram);
    textureTimesColorShader_ =
        std::make_unique<GLShader>(*this, GLShaderStage::Pixel, GLShaderText::kTextureTimesColorPixelProgram);
    std::vector<GLTexture::Level> white(1);
    white[0] = GLTexture::Level{1, 1, {255, 255, 255, 255}};
    whiteTexture_ = std::make_unique<GLTexture>(*this, GLTexture::Kind::Pixels, GLTextureFormat::ForPixels(),
                                                std::move(white), 0);
    std::vector<GLTexture::Level> grey(1);
    grey[0] = GLTexture::Level{1, 1, {128, 128, 128, 255}};
    greyTexture_ = std::make_unique<GLTexture>(*this, GLTexture::Kind::Pixels, GLTextureFormat::ForPixels(),
                                               std::move(grey), 0);
    const RenderVertexElement elements[] = {
        {0, RenderVertexUsage::Position, RenderVertexElementType::Float3},
        {0, RenderVertexUsage::Color, RenderVertexElementType::UByte4},
        {0, RenderVertexUsage::TexCoord0, RenderVertexElementType::Float2},
    };
    declaration2D_ = std::make_unique<GLVertexDeclaration>(*this, elements, 3);
    ring2D_ = std::make_unique<GLRingBuffer>(kRing2DBytes);

    const GLuint vertex = CompileRaw(GL_VERTEX_SHADER, GLShaderText::kPresentVertexSource);
    const GLuint pixel = CompileRaw(GL_FRAGMENT_SHADER, GLShaderText::kPresentPixelSource);
    presentProgram_ = glCreateProgram();
    glAttachShader(presentProgram_, vertex);
    glAttachShader(presentProgram_, pixel);
    glLinkProgram(presentProgram_);
    glDeleteShader(vertex);
    glDeleteShader(pixel);
    presentRampLocation_ = glGetUniformLocation(presentProgram_, "ramp");
    glState_.SetProgram(presentProgram_);
    glUniform1i(glGetUniformLocation(presentProgram_, "image"), 0);
    glGenVertexArrays(1, &emptyVertexArray_);
}

RenderSurface* GLDevice::CreatePrimarySurface(void* window, const RenderDeviceSettings& settings) {
    SDL_Window* sdlWindow = static_cast<SDL_Window*>(window);
    if (sdlWindow == nullptr || !(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL)) {
        Log(LogPriority::Error, "GLDevice: the primary surface needs an SDL window made with SDL_WINDOW_OPENGL.");
        return nullptr;
    }
    if (context_.handle == nullptr) {
        if (!CreateContext(sdlWindow)) {
            return nullptr;
        }
    } else if (sdlWindow != context_.window) {
        Log(LogPriority::Error, "GLDevice: the primary surface must stay on the window of the first one.");
        return nullptr;
    }
    int width = settings.width;
    int height = settings.height;
    if (width <= 0 || height <= 0) {
        SDL_GL_GetDrawableSize(sdlWindow, &width, &height);
    }
    std::unique_ptr<GLTexture> color;
    std::unique_ptr<GLTexture> depth;
    if (!MakeTargets(width, height, RenderTextureFormat::RGBA, RenderTextureFormat::D24, color, depth)) {
        Log(LogPriority::Error, "GLDevice: no primary surface of %d x %d.", width, height);
        return nullptr;
    }
    primary_ = new GLSurface(*this, std::move(color), nullptr, std::move(depth), true);
    colorTarget_ = depthTarget_ = primary_;
    targetDirty_ = true;
    ResetViewportToTarget();
    EnableVerticalSync((settings.flags & RenderDeviceSettings::kVerticalSync) != 0);
    return primary_;
}

bool GLDevice::ResetDevice(const RenderDeviceSettings& settings) {
    if (primary_ == nullptr || !IsRenderThread()) {
        return false;
    }
    SDL_SetWindowFullscreen(context_.window, (settings.flags & RenderDeviceSettings::kFullScreen) ? SDL_WINDOW_FULLSCREEN : 0);
    EnableVerticalSync((settings.flags & RenderDeviceSettings::kVerticalSync) != 0);
    int width = settings.width;
    int height = settings.height;
    if (width <= 0 || height <= 0) {
        SDL_GL_GetDrawableSize(context_.window, &width, &height);
    }
    if (width != primary_->GetWidth() || height != primary_->GetHeight()) {
        // The old targets go first, so their memory counts for the new ones.
        primary_->Replace(nullptr, nullptr);
        std::unique_ptr<GLTexture> color;
        std::unique_ptr<GLTexture> depth;
        if (!MakeTargets(width, height, RenderTextureFormat::RGBA, RenderTextureFormat::D24, color, depth)) {
            Log(LogPriority::Error, "GLDevice: the primary surface cannot be made %d x %d.", width, height);
            return false;
        }
        primary_->Replace(std::move(color), std::move(depth));
    }
    colorTarget_ = depthTarget_ = primary_;
    targetDirty_ = true;
    ResetViewportToTarget();
    return true;
}

void GLDevice::GetSupportedDisplayModes(std::vector<RenderDisplayMode>& modes) {
    modes.clear();
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
            continue;  // the offscreen driver lists a mode without a size
        }
        const RenderDisplayMode entry{mode.w, mode.h, mode.refresh_rate};
        const bool known = std::any_of(modes.begin(), modes.end(), [&](const RenderDisplayMode& m) {
            return m.width == entry.width && m.height == entry.height && m.refreshRate == entry.refreshRate;
        });
        if (!known) {
            modes.push_back(entry);
        }
    }
}

int GLDevice::GetWidth() const {
    return primary_ != nullptr ? primary_->GetWidth() : 0;
}

int GLDevice::GetHeight() const {
    return primary_ != nullptr ? primary_->GetHeight() : 0;
}

bool GLDevice::BeginScene() {
    if (primary_ == nullptr || !IsRenderThread()) {
        return false;
    }
    queue_.Drain();
    PreparePendingPrograms();
    debug_.BeginFrame();
    return true;
}

void GLDevice::EnableVerticalSync(bool enable) {
    if (IsRenderThread()) {
        SDL_GL_SetSwapInterval(enable ? 1 : 0);
    }
}

void GLDevice::SetGammaRamp(float brightness, float contrast, float gamma) {
    gamma_[0] = brightness;
    gamma_[1] = contrast;
    gamma_[2] = gamma > 0.0f ? gamma : 1.0f;
}

void GLDevice::Present(RenderSurface* surface) {
    GLSurface* shown = surface != nullptr ? static_cast<GLSurface*>(surface) : primary_;
    if (shown == nullptr || shown->GetColor() == nullptr || !IsRenderThread()) {
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(context_.window, &width, &height);
    // A neutral ramp onto a window of the surface's size and without alpha is a copy, which the
    // driver does in a fraction of the time of the ramp's pass.
    const bool neutral = gamma_[0] == 0.5f && gamma_[1] == 0.5f && gamma_[2] == 1.0f;
    const GLuint copyFrom = neutral && !windowHasAlpha_ && width == shown->GetWidth() && height == shown->GetHeight()
                                ? framebuffers_.Get(shown->GetColor()->GetName(), 0, glState_)
                                : 0;
    glState_.SetDrawFramebuffer(0);
    glState_.SetScissor(false, GLRect{});
    glState_.SetColorMask(true, true);
    if (copyFrom != 0) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, copyFrom);
        glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        SDL_GL_SwapWindow(context_.window);
        return;
    }
    glState_.SetViewport(GLRect{0, 0, width, height});
    glState_.SetBlend(false, GL_ONE, GL_ZERO);
    glState_.SetDepth(GL_ALWAYS, false);
    glState_.SetCullFace(0);
    glState_.SetWireframe(false);
    glState_.SetClipDistances(0);
    glState_.SetProgram(presentProgram_);
    glUniform3f(presentRampLocation_, gamma_[0], gamma_[1], gamma_[2]);
    glState_.SetTexture(0, shown->GetColor()->GetName());
    GLSamplerState linearClamp;
    linearClamp.addressU = linearClamp.addressV = 1;
    linearClamp.mipFilter = 0;
    glState_.SetSampler(0, samplers_.Get(linearClamp, false));
    glState_.SetVertexArray(emptyVertexArray_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    SDL_GL_SwapWindow(context_.window);
}

// ---------------------------------------------------------------------------------------------
// Surfaces and targets
// ---------------------------------------------------------------------------------------------

std::unique_ptr<GLTexture> GLDevice::MakeTexture(GLTexture::Kind kind, const GLTextureFormat& format,
                                                 std::vector<GLTexture::Level> levels) {
    size_t bytes = 0;
    for (const GLTexture::Level& level : levels) {
        bytes += format.GetLevelSize(level.width, level.height);
    }
    if (!videoMemory_.Reserve(bytes)) {
        Log(LogPriority::Warning, "GLDevice: a texture of %zu bytes does not fit in the %zu bytes of video memory left.",
            bytes, videoMemory_.GetAvailable());
        outOfVideoMemory_ = true;
        return nullptr;
    }
    outOfVideoMemory_ = false;
    return std::make_unique<GLTexture>(*this, kind, format, std::move(levels), bytes);
}

bool GLDevice::MakeTargets(int width, int height, RenderTextureFormat colorFormat, RenderTextureFormat depthFormat,
                           std::unique_ptr<GLTexture>& color, std::unique_ptr<GLTexture>& depth) {
    if (!IsValidSize(width, height, maxTextureSize_)) {
        Log(LogPriority::Error, "GLDevice: render surface size %d x %d out of range.", width, height);
        return false;
    }
    GLTextureFormat colorGL;
    GLTextureFormat depthGL;
    if ((colorFormat != RenderTextureFormat::None && !GLTextureFormat::ForColorTarget(colorFormat, colorGL)) ||
        (depthFormat != RenderTextureFormat::None && !GLTextureFormat::ForDepthTarget(depthFormat, depthGL))) {
        Log(LogPriority::Error, "GLDevice: render surface formats %u / %u are not colour / depth formats.",
            unsigned(colorFormat), unsigned(depthFormat));
        return false;
    }
    const std::vector<GLTexture::Level> level{GLTexture::Level{uint32_t(width), uint32_t(height), {}}};
    if (colorFormat != RenderTextureFormat::None) {
        color = MakeTexture(GLTexture::Kind::Target, colorGL, level);
        if (!color) {
            return false;
        }
    }
    if (depthFormat != RenderTextureFormat::None) {
        depth = MakeTexture(GLTexture::Kind::Target, depthGL, level);
        if (!depth) {
            color.reset();
            return false;
        }
    }
    return true;
}

RenderSurface* GLDevice::CreateRenderSurface(int width, int height, RenderTextureFormat colorFormat,
                                             RenderTextureFormat depthFormat) {
    if (colorFormat == RenderTextureFormat::None && depthFormat == RenderTextureFormat::None) {
        Log(LogPriority::Error, "GLDevice: a render surface needs a colour or a depth target.");
        return nullptr;
    }
    std::unique_ptr<GLTexture> color;
    std::unique_ptr<GLTexture> depth;
    if (!MakeTargets(width, height, colorFormat, depthFormat, color, depth)) {
        return nullptr;
    }
    return new GLSurface(*this, std::move(color), nullptr, std::move(depth), false);
}

RenderSurface* GLDevice::CreateRenderSurface(int width, int height, const RenderTexture* texture,
                                             RenderTextureFormat depthFormat) {
    GLTexture* shared = const_cast<GLTexture*>(static_cast<const GLTexture*>(texture));
    if (shared == nullptr || !shared->IsColorRenderable()) {
        Log(LogPriority::Error, "GLDevice: a render surface needs a texture of a colour format to draw into.");
        return nullptr;
    }
    std::unique_ptr<GLTexture> color;
    std::unique_ptr<GLTexture> depth;
    if (!MakeTargets(width, height, RenderTextureFormat::None, depthFormat, color, depth)) {
        return nullptr;
    }
    return new GLSurface(*this, nullptr, shared, std::move(depth), false);
}

void GLDevice::DestroyRenderSurface(RenderSurface*& surface) {
    Destroy<GLSurface>(surface);
}

void GLDevice::ResetViewportToTarget() {
    const GLSurface* target = colorTarget_ != nullptr && colorTarget_->GetColor() != nullptr ? colorTarget_ : depthTarget_;
    viewport_ = target != nullptr ? Viewport(0, 0, target->GetWidth(), target->GetHeight()) : Viewport();
}

void GLDevice::SetTargetSurface(int index, RenderSurface* surface) {
    if (index != 0) {
        Log(LogPriority::Error, "GLDevice: only colour target 0 is supported.");
        return;
    }
    colorTarget_ = depthTarget_ = static_cast<GLSurface*>(surface);
    targetDirty_ = true;
    ResetViewportToTarget();
}

void GLDevice::SetRenderTarget(int index, RenderSurface* surface) {
    if (index != 0) {
        Log(LogPriority::Error, "GLDevice: only colour target 0 is supported.");
        return;
    }
    colorTarget_ = static_cast<GLSurface*>(surface);
    targetDirty_ = true;
    ResetViewportToTarget();
}

void GLDevice::SetDepthTarget(RenderSurface* surface) {
    depthTarget_ = static_cast<GLSurface*>(surface);
    targetDirty_ = true;
}

bool GLDevice::BindTarget() {
    if (targetDirty_) {
        const GLuint color = colorTarget_ != nullptr && colorTarget_->GetColor() != nullptr
                                 ? colorTarget_->GetColor()->GetName()
                                 : 0;
        const GLTexture* depthTexture = depthTarget_ != nullptr ? depthTarget_->GetDepth() : nullptr;
        const GLuint depth = depthTexture != nullptr ? const_cast<GLTexture*>(depthTexture)->GetName() : 0;
        targetFramebuffer_ = color != 0 || depth != 0 ? framebuffers_.Get(color, depth, glState_) : 0;
        const GLSurface* sizing = color != 0 ? colorTarget_ : depthTarget_;
        targetWidth_ = sizing != nullptr ? sizing->GetWidth() : 0;
        targetHeight_ = sizing != nullptr ? sizing->GetHeight() : 0;
        const GLenum depthFormat = depthTexture != nullptr ? depthTexture->GetFormat().internalFormat : GL_DEPTH_COMPONENT24;
        depthUnitsPerBias_ = depthFormat == GL_DEPTH_COMPONENT16   ? float(1 << 16)
                             : depthFormat == GL_DEPTH_COMPONENT32F ? float(1 << 23)
                                                                     : float(1 << 24);
        targetDirty_ = false;
    }
    if (targetFramebuffer_ == 0) {
        return false;
    }
    glState_.SetDrawFramebuffer(targetFramebuffer_);
    return true;
}

bool GLDevice::ReadSurfacePixels(const GLSurface& surface, void* buffer, int width, int height,
                                 RenderTextureFormat format, bool bottomUp) const {
    if (buffer == nullptr || width <= 0 || height <= 0 || !IsRenderThread() || surface.GetColor() == nullptr ||
        (format != RenderTextureFormat::RGBA && format != RenderTextureFormat::RGBAAlternate)) {
        Log(LogPriority::Error, "GLDevice: the surface cannot be read in format %u.", unsigned(format));
        return false;
    }
    GLDevice& self = const_cast<GLDevice&>(*this);
    const GLuint framebuffer = self.framebuffers_.Get(surface.GetColor()->GetName(), 0, self.glState_);
    if (framebuffer == 0) {
        return false;
    }
    const int readWidth = std::min(width, surface.GetWidth());
    const int readHeight = std::min(height, surface.GetHeight());
    std::vector<uint8_t> rows(size_t(readWidth) * readHeight * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadPixels(0, 0, readWidth, readHeight, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // Row 0 of the surface is its top row; the caller's rectangle is the top-left width x height.
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const size_t outPitch = size_t(width) * 4;
    const size_t readPitch = size_t(readWidth) * 4;
    for (int row = 0; row < height; ++row) {
        const int imageRow = bottomUp ? height - 1 - row : row;
        uint8_t* target = out + outPitch * size_t(row);
        if (imageRow < readHeight) {
            std::memcpy(target, rows.data() + readPitch * size_t(imageRow), readPitch);
            std::memset(target + readPitch, 0, outPitch - readPitch);
        } else {
            std::memset(target, 0, outPitch);
        }
    }
    return true;
}

bool GLDevice::ReadFrameBuffer(Pixel* pixels, int width, int height) const {
    return primary_ != nullptr && ReadSurfacePixels(*primary_, pixels, width, height, RenderTextureFormat::RGBA, true);
}

void GLDevice::CopySurfaceToTexture(const GLSurface& surface, GLTexture* destination, const Rect* source) {
    if (destination == nullptr || !destination->IsColorRenderable() || surface.GetColor() == nullptr ||
        !IsRenderThread()) {
        Log(LogPriority::Error, "GLDevice: CopyToTexture needs a colour surface and a texture of a colour format.");
        return;
    }
    const GLuint from = framebuffers_.Get(surface.GetColor()->GetName(), 0, glState_);
    const GLuint to = framebuffers_.Get(destination->GetName(), 0, glState_);
    if (from == 0 || to == 0) {
        return;
    }
    Rect rect = source != nullptr ? *source : Rect(0.0f, 0.0f, float(surface.GetWidth()), float(surface.GetHeight()));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glState_.SetDrawFramebuffer(to);
    glState_.SetScissor(false, GLRect{});
    glState_.SetColorMask(true, true);
    glBlitFramebuffer(GLint(rect.x), GLint(rect.y), GLint(rect.x + rect.width), GLint(rect.y + rect.height), 0, 0,
                      destination->GetWidth(), destination->GetHeight(), GL_COLOR_BUFFER_BIT, GL_LINEAR);
}

// ---------------------------------------------------------------------------------------------
// Viewport, scissor, clear
// ---------------------------------------------------------------------------------------------

void GLDevice::SetViewport(const Viewport& viewport) {
    viewport_ = viewport;
}

void GLDevice::SetScissorRect(const Rect* rect) {
    scissorEnabled_ = rect != nullptr;
    if (rect != nullptr) {
        scissor_ = *rect;
    }
}

void GLDevice::SetClearColor(const Color& color) {
    clearColor_ = color;
}

void GLDevice::Clear(uint32_t flags, float depth) {
    if (!BindTarget()) {
        ReportDrawProblem(kNoTarget, "there is no render target");
        return;
    }
    // Only the viewport (and the scissor rectangle) is cleared, whatever the write masks.
    int x0 = std::max(0, viewport_.x);
    int y0 = std::max(0, viewport_.y);
    int x1 = std::min(targetWidth_, viewport_.x + viewport_.width);
    int y1 = std::min(targetHeight_, viewport_.y + viewport_.height);
    if (scissorEnabled_) {
        x0 = std::max(x0, int(std::floor(scissor_.x)));
        y0 = std::max(y0, int(std::floor(scissor_.y)));
        x1 = std::min(x1, int(std::ceil(scissor_.x + scissor_.width)));
        y1 = std::min(y1, int(std::ceil(scissor_.y + scissor_.height)));
    }
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    GLbitfield bits = 0;
    if (flags & kClearColor) {
        bits |= GL_COLOR_BUFFER_BIT;
        glState_.SetColorMask(true, true);
        glClearColor(clearColor_.r, clearColor_.g, clearColor_.b, clearColor_.a);
    }
    if (flags & kClearDepth) {
        bits |= GL_DEPTH_BUFFER_BIT;
        glState_.SetDepth(ToGL(state_.depthFunction), true);
        glClearDepth(depth);
    }
    if (bits == 0 || IsWarmClear(bits, x0 == 0 && y0 == 0 && x1 == targetWidth_ && y1 == targetHeight_)) {
        return;
    }
    glState_.SetScissor(true, GLRect{x0, y0, x1 - x0, y1 - y0});
    glClear(bits);
}

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------

void GLDevice::DestroyObject(GLObject* object) {
    if (object == nullptr) {
        return;
    }
    if (IsRenderThread()) {
        delete object;
    } else {
        queue_.QueueDelete(object);
    }
}

template <typename Concrete, typename Interface>
void GLDevice::Destroy(Interface*& resource) {
    DestroyObject(static_cast<Concrete*>(resource));
    resource = nullptr;
}

RenderVertexBuffer* GLDevice::CreateVertexBuffer(uint32_t flags, uint32_t size) {
    if (size == 0 || !videoMemory_.Reserve(size)) {
        Log(LogPriority::Error, "GLDevice: no vertex buffer of %u bytes.", size);
        return nullptr;
    }
    return new GLVertexBuffer(*this, flags, size);
}

void GLDevice::DestroyVertexBuffer(RenderVertexBuffer*& buffer) {
    Destroy<GLVertexBuffer>(buffer);
}

RenderIndexBuffer* GLDevice::CreateIndexBuffer(uint32_t count, RenderIndexFormat format) {
    if (format != RenderIndexFormat::Index16 && format != RenderIndexFormat::Index32) {
        Log(LogPriority::Error, "GLDevice: unknown index format %u.", unsigned(format));
        return nullptr;
    }
    const uint64_t bytes = uint64_t(count) * GLIndexBuffer::GetIndexSize(format);
    if (count == 0 || bytes > UINT32_MAX || !videoMemory_.Reserve(size_t(bytes))) {
        Log(LogPriority::Error, "GLDevice: no index buffer of %u indices.", count);
        return nullptr;
    }
    return new GLIndexBuffer(*this, count, format);
}

void GLDevice::DestroyIndexBuffer(RenderIndexBuffer*& buffer) {
    Destroy<GLIndexBuffer>(buffer);
}

RenderDynamicVertexBuffer* GLDevice::CreateDynamicVertexBuffer(uint32_t size) {
    if (size == 0 || !videoMemory_.Reserve(size)) {
        Log(LogPriority::Error, "GLDevice: no dynamic vertex buffer of %u bytes.", size);
        return nullptr;
    }
    return new GLDynamicVertexBuffer(*this, size);
}

void GLDevice::DestroyDynamicVertexBuffer(RenderDynamicVertexBuffer*& buffer) {
    Destroy<GLDynamicVertexBuffer>(buffer);
}

RenderDynamicIndexBuffer* GLDevice::CreateDynamicIndexBuffer(uint32_t size) {
    if (size < 4 || !videoMemory_.Reserve(size & ~3u)) {
        Log(LogPriority::Error, "GLDevice: no dynamic index buffer of %u bytes.", size);
        return nullptr;
    }
    return new GLDynamicIndexBuffer(*this, size);
}

void GLDevice::DestroyDynamicIndexBuffer(RenderDynamicIndexBuffer*& buffer) {
    Destroy<GLDynamicIndexBuffer>(buffer);
}

RenderVertexDeclaration* GLDevice::CreateVertexDeclaration(const RenderVertexElement* elements, uint32_t count) {
    if (const char* why = GLVertexDeclaration::Validate(elements, count)) {
        Log(LogPriority::Error, "GLDevice: vertex declaration refused: %s.", why);
        return nullptr;
    }
    return new GLVertexDeclaration(*this, elements, count);
}

void GLDevice::DestroyVertexDeclaration(RenderVertexDeclaration*& declaration) {
    Destroy<GLVertexDeclaration>(declaration);
}

void GLDevice::UnregisterVertexDeclaration(RenderVertexDeclaration* declaration) {
    if (declaration != nullptr && IsRenderThread()) {
        static_cast<GLVertexDeclaration*>(declaration)->ReleaseVertexArray();
    }
}

RenderVertexShader* GLDevice::CreateVertexShader(const void* program, uint32_t length) {
    if (program == nullptr || length == 0) {
        Log(LogPriority::Error, "GLDevice: empty vertex program.");
        return nullptr;
    }
    return new GLVertexShader(*this, std::string(static_cast<const char*>(program), length));
}

void GLDevice::DestroyVertexShader(RenderVertexShader*& shader) {
    Destroy<GLVertexShader>(shader);
}

RenderPixelShader* GLDevice::CreatePixelShader(const void* program, uint32_t length) {
    if (program == nullptr || length == 0) {
        Log(LogPriority::Error, "GLDevice: empty pixel program.");
        return nullptr;
    }
    return new GLPixelShader(*this, std::string(static_cast<const char*>(program), length));
}

void GLDevice::DestroyPixelShader(RenderPixelShader*& shader) {
    Destroy<GLPixelShader>(shader);
}

uint32_t GLDevice::GetTextureDataLength(const void* data, uint32_t available, int /*reduction*/) const {
    // Levels are stored largest first, so a reduced texture still needs the whole file.
    return DDSFile::GetFileLength(data, available);
}

RenderTexture* GLDevice::CreateTextureFromFile(const void* data, uint32_t length, int reduction) {
    outOfVideoMemory_ = false;
    DDSFile file;
    if (!file.Parse(data, length, reduction)) {
        return nullptr;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<GLTexture::Level> levels;
    for (const DDSLevel& level : file.GetLevels()) {
        levels.push_back(GLTexture::Level{level.width, level.height, CopyLevel(bytes, level, file.GetFormat())});
    }
    return MakeTexture(GLTexture::Kind::File, GLTextureFormat::ForDDS(file.GetFormat()), std::move(levels)).release();
}

RenderTexture* GLDevice::CreateTexture(int width, int height, const uint8_t* texels, uint32_t format,
                                       uint32_t /*flags*/) {
    outOfVideoMemory_ = false;
    if (!IsValidSize(width, height, maxTextureSize_) || format != 0) {
        Log(LogPriority::Error, "GLDevice: no texture of %d x %d in format %u.", width, height, format);
        return nullptr;
    }
    std::vector<GLTexture::Level> levels(1);
    levels[0].width = uint32_t(width);
    levels[0].height = uint32_t(height);
    if (texels != nullptr) {
        levels[0].texels.assign(texels, texels + size_t(width) * height);
    } else {
        levels[0].texels.assign(size_t(width) * height, 0);
    }
    return MakeTexture(GLTexture::Kind::Bytes, GLTextureFormat::ForBytes(), std::move(levels)).release();
}

RenderTexture* GLDevice::CreateTextureFromPixels(int width, int height, const uint32_t* pixels,
                                                 uint32_t /*mipLevels*/, uint32_t /*flags*/) {
    outOfVideoMemory_ = false;
    if (!IsValidSize(width, height, maxTextureSize_)) {
        Log(LogPriority::Error, "GLDevice: no texture of %d x %d.", width, height);
        return nullptr;
    }
    std::vector<GLTexture::Level> levels(1);
    levels[0].width = uint32_t(width);
    levels[0].height = uint32_t(height);
    const size_t bytes = size_t(width) * height * 4;
    if (pixels != nullptr) {
        const uint8_t* first = reinterpret_cast<const uint8_t*>(pixels);
        levels[0].texels.assign(first, first + bytes);
    } else {
        levels[0].texels.assign(bytes, 0);
    }
    return MakeTexture(GLTexture::Kind::Pixels, GLTextureFormat::ForPixels(), std::move(levels)).release();
}

RenderTexture* GLDevice::CreateDynamicTexture(int width, int height) {
    outOfVideoMemory_ = false;
    if (!IsValidSize(width, height, maxTextureSize_)) {
        Log(LogPriority::Error, "GLDevice: no dynamic texture of %d x %d.", width, height);
        return nullptr;
    }
    std::vector<GLTexture::Level> levels(1);
    levels[0] = GLTexture::Level{uint32_t(width), uint32_t(height), std::vector<uint8_t>(size_t(width) * height * 4, 0)};
    return MakeTexture(GLTexture::Kind::Dynamic, GLTextureFormat::ForPixels(), std::move(levels)).release();
}

void GLDevice::DestroyTexture(RenderTexture*& texture) {
    Destroy<GLTexture>(texture);
}

RenderFont* GLDevice::CreateDeviceFont(const char* name, const void* data, uint32_t size) {
    std::vector<DeviceFontFace> faces;
    if (data != nullptr && size > 0 && !DeviceFontFile::IsOldFormat(data, size)) {
        DeviceFontFile file;
        if (file.Read(data, size, name)) {
            faces = std::move(file.faces);
        }
    }
    if (faces.empty()) {
        faces.push_back(BuiltinFont::MakeFace());
    }
    return new GLDeviceFont(*this, std::move(faces));
}

void GLDevice::DestroyDeviceFont(RenderFont*& font) {
    Destroy<GLDeviceFont>(font);
}

void GLDevice::BindTextureForUpload(GLuint texture) {
    glState_.SetTextureForEdit(kUploadUnit, texture);
}

// ---------------------------------------------------------------------------------------------
// Forgetting resources that go away (render thread)
// ---------------------------------------------------------------------------------------------

void GLDevice::ForgetBuffer(const GLBuffer* buffer, GLuint name) {
    for (uint32_t s = 0; s < GLVertexDeclaration::kMaxStreams; ++s) {
        if ((buffer != nullptr && input_.streamBuffers[s] == buffer) || (name != 0 && input_.streams[s].buffer == name)) {
            input_.streamBuffers[s] = nullptr;
            input_.streams[s] = GLStreamBinding{};
        }
    }
    if ((buffer != nullptr && input_.indexBuffer == buffer) || (name != 0 && input_.indexName == name)) {
        input_.indexBuffer = nullptr;
        input_.indexName = 0;
    }
    if (name != 0) {
        for (GLVertexDeclaration* declaration : vertexArrays_) {
            declaration->ForgetBuffer(name);
        }
    }
}

void GLDevice::ForgetTexture(const GLTexture* texture, GLuint name) {
    for (GLTexture*& bound : state_.textures) {
        if (bound == texture) {
            bound = nullptr;
        }
    }
    framebuffers_.ForgetTexture(name, glState_);
    glState_.ForgetTexture(name);
    targetDirty_ = true;
}

void GLDevice::ForgetSurface(const GLSurface& surface) {
    if (primary_ == &surface) {
        primary_ = nullptr;
    }
    if (colorTarget_ == &surface || depthTarget_ == &surface) {
        colorTarget_ = colorTarget_ == &surface ? primary_ : colorTarget_;
        depthTarget_ = depthTarget_ == &surface ? primary_ : depthTarget_;
        targetDirty_ = true;
    }
}

void GLDevice::ForgetShader(const GLShader& shader) {
    if (state_.vertexShader == &shader) {
        state_.vertexShader = nullptr;
    }
    if (state_.pixelShader == &shader) {
        state_.pixelShader = nullptr;
    }
    programs_.Forget(shader.GetId(), glState_);
    std::lock_guard lock(pendingProgramsLock_);
    std::erase_if(pendingPrograms_, [&shader](const std::pair<GLShader*, GLShader*>& pair) {
        return pair.first == &shader || pair.second == &shader;
    });
}

void GLDevice::PrepareProgram(const RenderVertexShader* vertex, const RenderPixelShader* pixel) {
    if (vertex == nullptr || pixel == nullptr) {
        return;
    }
    GLShader* const vertexShader = const_cast<GLVertexShader*>(static_cast<const GLVertexShader*>(vertex));
    GLShader* const pixelShader = const_cast<GLPixelShader*>(static_cast<const GLPixelShader*>(pixel));
    if (IsRenderThread()) {
        programs_.Get(*vertexShader, *pixelShader, glState_);
        return;
    }
    std::lock_guard lock(pendingProgramsLock_);
    pendingPrograms_.emplace_back(vertexShader, pixelShader);
}

void GLDevice::PreparePendingPrograms() {
    std::vector<std::pair<GLShader*, GLShader*>> pending;
    {
        std::lock_guard lock(pendingProgramsLock_);
        pending.swap(pendingPrograms_);
    }
    for (const auto& [vertexShader, pixelShader] : pending) {
        programs_.Get(*vertexShader, *pixelShader, glState_);
    }
}

void GLDevice::ForgetDeclaration(const GLVertexDeclaration& declaration) {
    if (input_.declaration == &declaration) {
        input_.declaration = nullptr;
    }
}

void GLDevice::ForgetVertexArray(GLuint vertexArray) { glState_.ForgetVertexArray(vertexArray); }

// ---------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------

void GLDevice::SetVertexShader(const RenderVertexShader* shader) {
    state_.vertexShader = const_cast<GLVertexShader*>(static_cast<const GLVertexShader*>(shader));
}

void GLDevice::SetPixelShader(const RenderPixelShader* shader) {
    state_.pixelShader = const_cast<GLPixelShader*>(static_cast<const GLPixelShader*>(shader));
}

void GLDevice::SetVertexShaderConstants(uint32_t first, const float* data, uint32_t count) {
    if (!constants_.Set(GLConstants::Vertex, first, data, count)) {
        Log(LogPriority::Error, "GLDevice: vertex constants %u..%u out of range (256 registers).", first, first + count);
    }
}

void GLDevice::SetPixelShaderConstants(uint32_t first, const float* data, uint32_t count) {
    if (!constants_.Set(GLConstants::Pixel, first, data, count)) {
        Log(LogPriority::Error, "GLDevice: pixel constants %u..%u out of range (224 registers).", first, first + count);
    }
}

void GLDevice::SetTexture(uint32_t stage, const RenderTexture* texture) {
    if (stage < kMaxStages) {
        state_.textures[stage] = const_cast<GLTexture*>(static_cast<const GLTexture*>(texture));
    }
}

void GLDevice::SetClipPlane(uint32_t index, const Plane& plane) {
    if (index >= kMaxClipPlanes) {
        return;
    }
    const float value[4] = {plane.normal.x, plane.normal.y, plane.normal.z, plane.d};
    constants_.Set(GLConstants::Device, GLShaderText::kClipPlaneRegister + index, value, 1);
    state_.clipPlanes |= 1u << index;
}

void GLDevice::ClearClipPlane(uint32_t index) {
    if (index < kMaxClipPlanes) {
        // A distance of 0 never clips: some drivers clip by every distance a program writes,
        // enabled or not.
        const float none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        constants_.Set(GLConstants::Device, GLShaderText::kClipPlaneRegister + index, none, 1);
        state_.clipPlanes &= ~(1u << index);
    }
}

void GLDevice::SetDepthTestFunction(RenderTestFunction function) {
    if (IsValid(function)) {
        state_.depthFunction = function;
    }
}

void GLDevice::SetAlphaTestFunction(RenderTestFunction function) {
    if (IsValid(function) && function != state_.alphaFunction) {
        state_.alphaFunction = function;
        UpdateAlphaTestRegister();
    }
}

void GLDevice::SetAlphaReference(float reference) {
    if (reference != state_.alphaReference) {
        state_.alphaReference = reference;
        UpdateAlphaTestRegister();
    }
}

void GLDevice::SetDebugPixelShaders(bool enable) {
    debugPixelShaders_ = enable;
    UpdateAlphaTestRegister();
}

void GLDevice::UpdateAlphaTestRegister() {
    const float value[4] = {float(static_cast<uint32_t>(state_.alphaFunction)), state_.alphaReference,
                            debugPixelShaders_ ? 1.0f : 0.0f, 0.0f};
    constants_.Set(GLConstants::Device, GLShaderText::kAlphaTestRegister, value, 1);
}

void GLDevice::SetRenderStateA(uint32_t value) {
    state_.cullMode = value <= 2 ? value : 0;
}

void GLDevice::SetRenderStateB(uint32_t value) {
    state_.depthBias = FloatFromBits(value);
}

void GLDevice::SetRenderStateC(uint32_t value) {
    state_.slopeBias = FloatFromBits(value);
}

void GLDevice::SetRenderStateD(const Color& color) {
    const float value[4] = {color.r, color.g, color.b, color.a};
    constants_.Set(GLConstants::Device, GLShaderText::kConstantColorRegister, value, 1);
}

void GLDevice::SetSourceBlendFactor(RenderBlendFactor factor) {
    if (IsValid(factor)) {
        state_.sourceBlend = factor;
    }
}

void GLDevice::SetDestinationBlendFactor(RenderBlendFactor factor) {
    if (IsValid(factor)) {
        state_.destinationBlend = factor;
    }
}

void GLDevice::SetSamplerState(uint32_t stage, RenderSamplerState state, uint32_t value) {
    if (stage >= kMaxStages || value > 2) {
        return;
    }
    GLSamplerState& sampler = state_.samplers[stage];
    switch (state) {
        case RenderSamplerState::AddressU: sampler.addressU = uint8_t(value); break;
        case RenderSamplerState::AddressV: sampler.addressV = uint8_t(value); break;
        case RenderSamplerState::MagFilter: sampler.magFilter = uint8_t(value); break;
        case RenderSamplerState::MinFilter: sampler.minFilter = uint8_t(value); break;
        case RenderSamplerState::MipFilter: sampler.mipFilter = uint8_t(value); break;
    }
}

void GLDevice::SetDebugName(const char* shader, const char* style, const char* object) {
    debug_.SetLabels(shader, style, object);
}

void GLDevice::SetStream(uint32_t stream, GLBuffer* buffer, GLuint name, uint32_t offset, uint32_t stride) {
    if (stream >= GLVertexDeclaration::kMaxStreams) {
        Log(LogPriority::Error, "GLDevice: stream %u out of range.", stream);
        return;
    }
    input_.streamBuffers[stream] = buffer;
    input_.streams[stream] = GLStreamBinding{name, offset, stride};
}

void GLDevice::SetStreamSource(uint32_t stream, const RenderVertexBuffer* buffer, uint32_t offset, uint32_t stride) {
    GLBuffer* concrete = buffer != nullptr ? const_cast<GLVertexBuffer*>(static_cast<const GLVertexBuffer*>(buffer))
                                           : nullptr;
    SetStream(stream, concrete, 0, offset, stride);
}

void GLDevice::SetVertexDeclaration(const RenderVertexDeclaration* declaration) {
    input_.declaration = const_cast<GLVertexDeclaration*>(static_cast<const GLVertexDeclaration*>(declaration));
}

void GLDevice::SetIndexSource(GLBuffer* buffer, GLuint name, GLenum type, uint32_t firstIndex) {
    input_.indexBuffer = buffer;
    input_.indexName = name;
    input_.indexType = type;
    input_.indexFirst = firstIndex;
}

void GLDevice::SetIndices(const RenderIndexBuffer* buffer) {
    const GLIndexBuffer* concrete = static_cast<const GLIndexBuffer*>(buffer);
    SetIndexSource(const_cast<GLIndexBuffer*>(concrete), 0, concrete != nullptr ? concrete->GetIndexType() : GL_UNSIGNED_SHORT,
                   0);
}

// ---------------------------------------------------------------------------------------------
// Draws
// ---------------------------------------------------------------------------------------------

void GLDevice::ReportDrawProblem(uint32_t reason, const char* text) {
    if (!(reportedProblems_ & reason)) {
        reportedProblems_ |= reason;
        Log(LogPriority::Error, "GLDevice: a draw is skipped: %s (reported once).", text);
    }
}

bool GLDevice::CountDraw() {
    return debug_.CountDrawCall() && !debugCullPrimitives_;
}

bool GLDevice::ApplyDrawState(GLShader& vertexShader, GLShader& pixelShader) {
    if (!BindTarget()) {
        ReportDrawProblem(kNoTarget, "there is no render target");
        return false;
    }
    GLProgram& program = programs_.Get(vertexShader, pixelShader, glState_);
    if (!program.IsValid()) {
        ReportDrawProblem(kBadProgram, "its programs do not compile or link");
        return false;
    }
    glState_.SetProgram(program.GetName());

    // The GL viewport is the one asked for, clipped to the target.
    const int x0 = std::max(0, viewport_.x);
    const int y0 = std::max(0, viewport_.y);
    const int x1 = std::min(targetWidth_, viewport_.x + viewport_.width);
    const int y1 = std::min(targetHeight_, viewport_.y + viewport_.height);
    glState_.SetViewport(GLRect{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)});
    if (debugCullPixels_) {
        glState_.SetScissor(true, GLRect{0, 0, 1, 1});
    } else if (scissorEnabled_) {
        const int sx = int(std::floor(scissor_.x));
        const int sy = int(std::floor(scissor_.y));
        glState_.SetScissor(true, GLRect{sx, sy, std::max(0, int(std::ceil(scissor_.x + scissor_.width)) - sx),
                                         std::max(0, int(std::ceil(scissor_.y + scissor_.height)) - sy)});
    } else {
        glState_.SetScissor(false, GLRect{});
    }

    const bool blend = debugAlpha_ && !(state_.sourceBlend == RenderBlendFactor::One &&
                                        state_.destinationBlend == RenderBlendFactor::Zero);
    glState_.SetBlend(blend, ToGL(state_.sourceBlend), ToGL(state_.destinationBlend));
    glState_.SetDepth(ToGL(state_.depthFunction), state_.depthWrite);
    glState_.SetColorMask(state_.colorWrite, state_.alphaWrite);
    // Surfaces store their top row first, so a triangle that is clockwise on the target is
    // counter-clockwise, GL's front face, in GL's window coordinates.
    glState_.SetCullFace(state_.cullMode == 1 ? GL_FRONT : state_.cullMode == 2 ? GL_BACK : 0);
    glState_.SetPolygonOffset(state_.slopeBias, state_.depthBias * depthUnitsPerBias_);
    glState_.SetWireframe(state_.wireframe);
    glState_.SetClipDistances(state_.clipPlanes);

    const uint32_t samplerMask = program.GetSamplerMask();
    for (uint32_t stage = 0; stage < kMaxStages; ++stage) {
        if (!(samplerMask & (1u << stage))) {
            continue;
        }
        GLTexture* texture = debugTextures_ ? greyTexture_.get() : state_.textures[stage];
        if (texture == nullptr) {
            texture = whiteTexture_.get();
        }
        const bool compare = (program.GetShadowMask() & (1u << stage)) != 0 && texture->IsDepth();
        glState_.SetTexture(stage, texture->GetName());
        glState_.SetSampler(stage, samplers_.Get(state_.samplers[stage], compare));
    }
    constants_.Upload(glState_);
    return true;
}

void GLDevice::RecordDraw(const char* kind, RenderPrimitiveType type, uint32_t primitives,
                          const GLShader& vertexShader, const GLShader& pixelShader) {
    debug_.CountFaces(primitives);
    GLDrawSnapshot snapshot;
    snapshot.kind = kind;
    snapshot.primitiveType = static_cast<uint32_t>(type);
    snapshot.primitiveCount = primitives;
    snapshot.vertexShader = &vertexShader == passThroughVertexShader_.get() ? 0 : vertexShader.GetId();
    snapshot.pixelShader = &pixelShader == textureTimesColorShader_.get() ? 0 : pixelShader.GetId();
    for (uint32_t stage = 0; stage < kMaxStages; ++stage) {
        snapshot.textures[stage] = static_cast<const RenderTexture*>(state_.textures[stage]);
    }
    snapshot.sourceBlend = static_cast<uint32_t>(state_.sourceBlend);
    snapshot.destinationBlend = static_cast<uint32_t>(state_.destinationBlend);
    snapshot.depthFunction = static_cast<uint32_t>(state_.depthFunction);
    snapshot.depthWrite = state_.depthWrite;
    snapshot.alphaFunction = static_cast<uint32_t>(state_.alphaFunction);
    snapshot.alphaReference = state_.alphaReference;
    debug_.RecordExecuted(snapshot);
}

bool GLDevice::IsWarmClear(GLbitfield bits, bool whole) {
    if (!warmingUp_) {
        return false;
    }
    const GLTexture* colorTexture = colorTarget_ != nullptr ? colorTarget_->GetColor() : nullptr;
    const GLTexture* depthTexture = depthTarget_ != nullptr ? depthTarget_->GetDepth() : nullptr;
    const uint32_t key[] = {bits, whole, colorTexture != nullptr ? colorTexture->GetFormat().internalFormat : 0u,
                            depthTexture != nullptr ? depthTexture->GetFormat().internalFormat : 0u};
    return !warmClears_.insert(std::string(reinterpret_cast<const char*>(key), sizeof(key))).second;
}

bool GLDevice::IsWarm(GLenum mode, GLenum indexType, GLShader& vertexShader, GLShader& pixelShader,
                      const GLVertexDeclaration& declaration,
                      const GLStreamBinding (&streams)[GLVertexDeclaration::kMaxStreams]) {
    if (!warmingUp_) {
        return false;
    }
    std::string key;
    const auto add = [&key](std::initializer_list<uint32_t> words) {
        for (const uint32_t word : words) {
            key.append(reinterpret_cast<const char*>(&word), sizeof(word));
        }
    };
    const bool blend = debugAlpha_ && !(state_.sourceBlend == RenderBlendFactor::One &&
                                        state_.destinationBlend == RenderBlendFactor::Zero);
    add({mode, indexType, vertexShader.GetId(), pixelShader.GetId(), blend, uint32_t(state_.sourceBlend),
         uint32_t(state_.destinationBlend), uint32_t(state_.depthFunction), state_.depthWrite, state_.colorWrite,
         state_.alphaWrite, state_.cullMode, state_.wireframe, state_.depthBias != 0.0f || state_.slopeBias != 0.0f,
         state_.clipPlanes, debugPixelShaders_});
    const GLTexture* colorTexture = colorTarget_ != nullptr ? colorTarget_->GetColor() : nullptr;
    const GLTexture* depthTexture = depthTarget_ != nullptr ? depthTarget_->GetDepth() : nullptr;
    add({colorTexture != nullptr ? colorTexture->GetFormat().internalFormat : 0u,
         depthTexture != nullptr ? depthTexture->GetFormat().internalFormat : 0u});
    declaration.AppendLayout(key);
    for (uint32_t s = 0; s < GLVertexDeclaration::kMaxStreams; ++s) {
        if (!(declaration.GetStreamMask() & (1u << s))) {
            continue;
        }
        const uint32_t stride = streams[s].stride != 0 ? streams[s].stride : declaration.GetStreamStride(s);
        uint32_t shared = 0;  // the earlier streams read from the same buffer
        for (uint32_t t = 0; t < s; ++t) {
            shared |= uint32_t(streams[t].buffer == streams[s].buffer) << t;
        }
        add({stride, stride != 0 ? streams[s].offset % stride : streams[s].offset, shared});
    }
    const GLProgram& program = programs_.Get(vertexShader, pixelShader, glState_);
    for (uint32_t stage = 0; stage < kMaxStages; ++stage) {
        if (!(program.GetSamplerMask() & (1u << stage))) {
            continue;
        }
        const GLTexture* texture = debugTextures_ ? greyTexture_.get() : state_.textures[stage];
        if (texture == nullptr) {
            texture = whiteTexture_.get();
        }
        const GLTextureFormat& format = texture->GetFormat();
        const bool compare = (program.GetShadowMask() & (1u << stage)) != 0 && texture->IsDepth();
        add({stage, format.internalFormat, uint32_t(format.swizzle[0]), uint32_t(format.swizzle[1]),
             uint32_t(format.swizzle[2]), uint32_t(format.swizzle[3]), IsPowerOfTwo(unsigned(texture->GetWidth())),
             IsPowerOfTwo(unsigned(texture->GetHeight())), texture->GetLevelCount() > 1,
             state_.samplers[stage].GetKey(compare)});
    }
    return !warmStates_.insert(std::move(key)).second;
}

bool GLDevice::BindVertexInput(bool indexed, GLStreamBinding (&streams)[GLVertexDeclaration::kMaxStreams],
                               uint32_t& firstVertex) {
    GLVertexDeclaration* declaration = input_.declaration;
    if (declaration == nullptr) {
        ReportDrawProblem(kNoDeclaration, "no vertex declaration is set");
        return false;
    }
    for (uint32_t s = 0; s < GLVertexDeclaration::kMaxStreams; ++s) {
        if (!(declaration->GetStreamMask() & (1u << s))) {
            continue;
        }
        streams[s] = input_.streams[s];
        if (input_.streamBuffers[s] != nullptr) {
            streams[s].buffer = input_.streamBuffers[s]->GetName();
        }
        if (streams[s].buffer == 0) {
            ReportDrawProblem(kNoStream, "a stream of the vertex declaration has no buffer");
            return false;
        }
    }
    GLuint indexName = 0;
    if (indexed) {
        indexName = input_.indexBuffer != nullptr ? input_.indexBuffer->GetName() : input_.indexName;
        if (indexName == 0) {
            ReportDrawProblem(kNoIndices, "no index buffer is set");
            return false;
        }
    }
    firstVertex = declaration->Bind(glState_, streams, indexName);
    return true;
}

void GLDevice::DrawIndexedPrimitive(RenderPrimitiveType type, int32_t baseVertex, uint32_t /*vertexCount*/,
                                    uint32_t primitiveCount, uint32_t startIndex, uint32_t /*flags*/) {
    GLenum mode = 0;
    uint32_t indices = 0;
    if (!ToGL(type, primitiveCount, mode, indices) || primitiveCount == 0 || !CountDraw()) {
        return;
    }
    GLShader& vertexShader = state_.vertexShader != nullptr ? *state_.vertexShader : *passThroughVertexShader_;
    GLShader& pixelShader = state_.pixelShader != nullptr ? *state_.pixelShader : *textureTimesColorShader_;
    GLStreamBinding streams[GLVertexDeclaration::kMaxStreams];
    uint32_t firstVertex = 0;
    if (!ApplyDrawState(vertexShader, pixelShader) || !BindVertexInput(true, streams, firstVertex) ||
        IsWarm(mode, input_.indexType, vertexShader, pixelShader, *input_.declaration, streams)) {
        return;
    }
    const uint32_t indexSize = input_.indexType == GL_UNSIGNED_INT ? 4 : 2;
    const uintptr_t offset = uintptr_t(startIndex + input_.indexFirst) * indexSize;
    glDrawElementsBaseVertex(mode, GLsizei(indices), input_.indexType, reinterpret_cast<const void*>(offset),
                             baseVertex + GLint(firstVertex));
    RecordDraw("indexed", type, primitiveCount, vertexShader, pixelShader);
}

void GLDevice::DrawPrimitive(RenderPrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
    GLenum mode = 0;
    uint32_t vertices = 0;
    if (!ToGL(type, primitiveCount, mode, vertices) || primitiveCount == 0 || !CountDraw()) {
        return;
    }
    GLShader& vertexShader = state_.vertexShader != nullptr ? *state_.vertexShader : *passThroughVertexShader_;
    GLShader& pixelShader = state_.pixelShader != nullptr ? *state_.pixelShader : *textureTimesColorShader_;
    GLStreamBinding streams[GLVertexDeclaration::kMaxStreams];
    uint32_t firstVertex = 0;
    if (!ApplyDrawState(vertexShader, pixelShader) || !BindVertexInput(false, streams, firstVertex) ||
        IsWarm(mode, 0, vertexShader, pixelShader, *input_.declaration, streams)) {
        return;
    }
    glDrawArrays(mode, GLint(startVertex + firstVertex), GLsizei(vertices));
    RecordDraw("primitive", type, primitiveCount, vertexShader, pixelShader);
}

void GLDevice::Draw2D(const GLVertex2D* vertices, uint32_t count, GLenum mode, const char* kind, uint32_t primitives) {
    if (!CountDraw()) {
        return;
    }
    const uint32_t bytes = count * uint32_t(sizeof(GLVertex2D));
    if (count == 0 || bytes > kRing2DBytes) {
        ReportDrawProblem(kTooMany2D, "a 2-D draw has too many vertices");
        return;
    }
    GLShader& pixelShader = state_.pixelShader != nullptr ? *state_.pixelShader : *textureTimesColorShader_;
    // A warm-up keys the 2-D layout on the ring alone: where in it the vertices land changes no variant.
    GLStreamBinding streams[GLVertexDeclaration::kMaxStreams];
    streams[0] = GLStreamBinding{ring2D_->GetName(), 0, uint32_t(sizeof(GLVertex2D))};
    if (!ApplyDrawState(*passThroughVertexShader_, pixelShader) ||
        IsWarm(mode, 0, *passThroughVertexShader_, pixelShader, *declaration2D_, streams)) {
        return;
    }
    // Target pixels to clip space through the viewport asked for (it may exceed the target).
    const float scaleX = viewport_.width > 0 ? 2.0f / float(viewport_.width) : 0.0f;
    const float scaleY = viewport_.height > 0 ? 2.0f / float(viewport_.height) : 0.0f;
    GLVertex2D* mapped = static_cast<GLVertex2D*>(ring2D_->Lock(bytes, 16));
    for (uint32_t i = 0; i < count; ++i) {
        mapped[i] = vertices[i];
        mapped[i].x = (vertices[i].x - float(viewport_.x)) * scaleX - 1.0f;
        mapped[i].y = 1.0f - (vertices[i].y - float(viewport_.y)) * scaleY;
    }
    ring2D_->Unlock();
    streams[0] = GLStreamBinding{ring2D_->GetName(), ring2D_->GetLockOffset(), uint32_t(sizeof(GLVertex2D))};
    glDrawArrays(mode, GLint(declaration2D_->Bind(glState_, streams, 0)), GLsizei(count));
    RecordDraw(kind, mode == GL_TRIANGLE_FAN ? RenderPrimitiveType::TriangleFan
                     : mode == GL_TRIANGLE_STRIP ? RenderPrimitiveType::TriangleStrip
                                                 : RenderPrimitiveType::TriangleList,
               primitives, *passThroughVertexShader_, pixelShader);
}

void GLDevice::DrawRect(const Rect& rect, uint32_t color, float depth) {
    const float x1 = rect.x + rect.width;
    const float y1 = rect.y + rect.height;
    const GLVertex2D vertices[4] = {
        {rect.x, rect.y, depth, color, 0.0f, 0.0f},
        {x1, rect.y, depth, color, 1.0f, 0.0f},
        {rect.x, y1, depth, color, 0.0f, 1.0f},
        {x1, y1, depth, color, 1.0f, 1.0f},
    };
    Draw2D(vertices, 4, GL_TRIANGLE_STRIP, "rect", 2);
}

void GLDevice::DrawTexturedRect(const Rect& texCoords, const Rect& destination, uint32_t color, float depth) {
    const float x1 = destination.x + destination.width;
    const float y1 = destination.y + destination.height;
    const float u1 = texCoords.x + texCoords.width;
    const float v1 = texCoords.y + texCoords.height;
    const GLVertex2D vertices[4] = {
        {destination.x, destination.y, depth, color, texCoords.x, texCoords.y},
        {x1, destination.y, depth, color, u1, texCoords.y},
        {destination.x, y1, depth, color, texCoords.x, v1},
        {x1, y1, depth, color, u1, v1},
    };
    Draw2D(vertices, 4, GL_TRIANGLE_STRIP, "textured rect", 2);
}

void GLDevice::DrawTriangleFan(const Vec2* points, uint32_t count, uint32_t color) {
    if (points == nullptr || count < 3) {
        return;
    }
    std::vector<GLVertex2D> vertices(count);
    for (uint32_t i = 0; i < count; ++i) {
        vertices[i] = GLVertex2D{points[i].x, points[i].y, 0.0f, color, 0.0f, 0.0f};
    }
    Draw2D(vertices.data(), count, GL_TRIANGLE_FAN, "fan", count - 2);
}

void GLDevice::DrawText2D(GLTexture& atlas, bool filter, const GLVertex2D* vertices, uint32_t count) {
    // Text forces its own program, texture and blending; what the engine set is put back after.
    const DrawState saved = state_;
    state_.pixelShader = nullptr;
    state_.textures[0] = &atlas;
    state_.samplers[0] = GLSamplerState{1, 1, uint8_t(filter ? 1 : 0), uint8_t(filter ? 1 : 0), 0};
    state_.sourceBlend = RenderBlendFactor::SourceAlpha;
    state_.destinationBlend = RenderBlendFactor::InverseSourceAlpha;
    state_.alphaFunction = RenderTestFunction::Always;
    UpdateAlphaTestRegister();
    Draw2D(vertices, count, GL_TRIANGLES, "text", count / 3);
    state_ = saved;
    UpdateAlphaTestRegister();
}

}  // namespace GAME
