#include "render/GraphicsFont.h"

#include "core/Log.h"
#include "engine/Engine.h"
#include "render/DeviceFontFile.h"
#include "render/GraphicsEngine.h"

#include <type_traits>

namespace GAME {

namespace {

// Bytes a font resource takes besides its device font.
constexpr size_t kFontResourceBytes = 96;
// The shadow's opacity relative to the text's.
constexpr float kShadowAlpha = 0.66f;

// The escape colours by letter; letters without one are left out.
struct EscapeColor {
    bool defined;
    float r, g, b;
};

constexpr EscapeColor kEscapeColors[26] = {
    {true, 0.5f, 1.0f, 0.831f},     // A
    {true, 0.224f, 0.667f, 0.808f}, // B
    {true, 0.0f, 1.0f, 1.0f},       // C
    {true, 0.1f, 0.1f, 0.1f},       // D
    {false, 0, 0, 0},               // E
    {true, 1.0f, 0.411f, 0.705f},   // F
    {true, 0.063f, 0.918f, 0.365f}, // G
    {false, 0, 0, 0},               // H
    {true, 0.35f, 0.01f, 0.60f},    // I
    {false, 0, 0, 0},               // J
    {true, 0.941f, 0.901f, 0.549f}, // K
    {true, 0.57f, 0.797f, 0.0f},    // L
    {true, 0.5f, 0.0f, 0.0f},       // M
    {false, 0, 0, 0},               // N
    {true, 0.95f, 0.64f, 0.30f},    // O
    {true, 0.738f, 0.579f, 0.776f}, // P
    {false, 0, 0, 0},               // Q
    {true, 1.0f, 0.258f, 0.0f},     // R
    {true, 0.6f, 0.6f, 0.6f},       // S
    {true, 0.0f, 1.0f, 0.82f},      // T
    {false, 0, 0, 0},               // U
    {false, 0, 0, 0},               // V
    {true, 1.0f, 1.0f, 1.0f},       // W
    {false, 0, 0, 0},               // X
    {true, 1.0f, 0.96f, 0.17f},     // Y
    {false, 0, 0, 0},               // Z
};

template <class Char>
unsigned CodeOf(Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c);
}

}  // namespace

GraphicsFont::GraphicsFont(BaseResourceManager* manager, const std::string& fileName, GraphicsEngine& graphics)
    : Resource(manager, fileName, ResourceType::Font), graphics_(graphics) {}

GraphicsFont::~GraphicsFont() { Destroy(); }

std::string GraphicsFont::GetDeviceFontName(const std::string& fileName) {
    std::string name = fileName;
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t backslash = name.find_last_of('\\');
    if (backslash != std::string::npos) name.erase(0, backslash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

Resource::InitResult GraphicsFont::Initialize(const void* data, uint32_t size) {
    if (font_ != nullptr) return InitResult::InvalidData;
    RenderDevice* const device = graphics_.GetRenderDevice();
    if (device == nullptr) return InitResult::InvalidData;
    if (data == nullptr || size <= 3) {
        Log(LogPriority::Error, "Font file '%s' is too short to be a font.", GetFileName().c_str());
        return InitResult::InvalidData;
    }
    const std::string name = GetDeviceFontName(GetFileName());
    if (DeviceFontFile::IsOldFormat(data, size)) {
        Log(LogPriority::Warning, "Font file '%s' is using the old format.", GetFileName().c_str());
        font_ = device->CreateDeviceFont(name.c_str(), nullptr, 0);
    } else {
        font_ = device->CreateDeviceFont(name.c_str(), data, size);
    }
    if (font_ == nullptr) {
        Log(LogPriority::Error, "Font file '%s': the device could not make its font.", GetFileName().c_str());
        return InitResult::InvalidData;
    }
    return InitResult::Success;
}

void GraphicsFont::Destroy() {
    if (font_ == nullptr) return;
    if (RenderDevice* const device = graphics_.GetRenderDevice()) device->DestroyDeviceFont(font_);
    font_ = nullptr;
}

size_t GraphicsFont::GetSystemMemoryUsage() const {
    return kFontResourceBytes + (font_ != nullptr ? font_->GetSystemMemoryUsage() : 0);
}

size_t GraphicsFont::GetVideoMemoryUsage() const { return font_ != nullptr ? font_->GetVideoMemoryUsage() : 0; }

unsigned GraphicsFont::ProcessCharacter(unsigned c, unsigned next, RenderFontStyle& style, Color& color) {
    if (gEngine != nullptr && !gEngine->DoCharacterProcessing()) return kDrawCharacter;
    switch (c) {
        case '^': {
            if (next == '^') return kDrawCharacter;
            if (next >= 'a') next -= 0x20;
            if (next >= 'A' && next <= 'Z' && kEscapeColors[next - 'A'].defined) {
                const EscapeColor& escape = kEscapeColors[next - 'A'];
                color = Color(escape.r, escape.g, escape.b, color.a);
                return kSkipNext | kStateChanged;
            }
            return kSkipNext;
        }
        case '&':
            switch (next) {
                case '&': return kDrawCharacter;
                case 'B':
                case 'b': style = RenderFontStyle::Bold; return kSkipNext | kStateChanged;
                case 'I':
                case 'i': style = RenderFontStyle::Italic; return kSkipNext | kStateChanged;
                case 'S':
                case 's': style = RenderFontStyle::Regular; return kSkipNext | kStateChanged;
                default: return kDrawCharacter;
            }
        case '{':
        case '}': return 0;
        default: return kDrawCharacter;
    }
}

template <class Char>
int GraphicsFont::DrawRuns(const Char* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color,
                           bool shadow, int shadowDistance, RenderFontStyle style, bool filter) const {
    EnsureAvailable();
    RenderFont* const font = font_;
    if (font == nullptr || text == nullptr) return 0;
    Color current = color;
    Color next = color;
    RenderFontStyle currentStyle = style;
    RenderFontStyle nextStyle = style;
    Char run[kMaxRun];
    int length = 0;
    int total = 0;
    font->Begin();
    for (const Char* p = text; *p != 0;) {
        const unsigned action = ProcessCharacter(CodeOf(p[0]), CodeOf(p[1]), nextStyle, next);
        if ((action & kSkipNext) != 0) {
            // An escape cut off by the end of the text ends it.
            if (p[1] != 0) ++p;
        } else if ((action & kDrawCharacter) != 0) {
            run[length++] = *p;
        }
        ++p;
        if (length > 0 && ((action & kStateChanged) != 0 || length == kMaxRun || *p == 0)) {
            if (shadow) {
                const Rect at(pen.x + float(shadowDistance), pen.y + float(shadowDistance), pen.width, pen.height);
                font->DrawText(run, length, &at, deviceFlags, Color(0.0f, 0.0f, 0.0f, current.a * kShadowAlpha).ToPacked(),
                               size, currentStyle, filter);
            }
            const int width = font->DrawText(run, length, &pen, deviceFlags, current.ToPacked(), size, currentStyle, filter);
            total += width;
            pen.x += float(width);
            length = 0;
        }
        current = next;
        currentStyle = nextStyle;
    }
    font->End();
    return total;
}

int GraphicsFont::DrawText(const wchar_t* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color,
                           bool shadow, int shadowDistance, RenderFontStyle style, bool filter) const {
    return DrawRuns(text, pen, deviceFlags, size, color, shadow, shadowDistance, style, filter);
}

int GraphicsFont::DrawText(const char* text, Rect& pen, uint32_t deviceFlags, int size, const Color& color,
                           bool shadow, int shadowDistance, RenderFontStyle style, bool filter) const {
    return DrawRuns(text, pen, deviceFlags, size, color, shadow, shadowDistance, style, filter);
}

int GraphicsFont::MeasureText(const wchar_t* text, int size, RenderFontStyle style) const {
    Rect pen;
    return DrawRuns(text, pen, kMeasureFlags, size, Color(1.0f, 1.0f, 1.0f, 1.0f), false, 2, style, false);
}

int GraphicsFont::MeasureText(const char* text, int size, RenderFontStyle style) const {
    Rect pen;
    return DrawRuns(text, pen, kMeasureFlags, size, Color(1.0f, 1.0f, 1.0f, 1.0f), false, 2, style, false);
}

void GraphicsFont::BeginBatch() const {
    EnsureAvailable();
    if (font_ != nullptr) font_->Begin();
}

void GraphicsFont::EndBatch() const {
    if (font_ != nullptr) font_->End();
}

}  // namespace GAME
