// Glyphs drawn per second in long paragraphs on the GL device (offscreen window): a frame is one
// paragraph of kLines lines of kColumns characters in a font style, on its background box, read
// back by one pixel so that the device's work is in the time. The paragraph's lines are batched
// into one device draw; for comparison, the same lines drawn each on its own (one draw a line),
// and a paragraph whose words change colour (runs split at every escape, still one draw). Each
// reports the device's draw calls per frame.

#include <benchmark/benchmark.h>

#include "BenchEngine.h"
#include "core/Color.h"
#include "core/Rect.h"
#include "render/GraphicsCanvas.h"
#include "render/GraphicsEngine.h"

#include <string>

namespace {

using namespace GAME;

constexpr int kLines = 36;
constexpr int kColumns = 80;

// kLines lines of kColumns characters; with colours, every word starts with a colour escape
// (which is not drawn, so those lines draw fewer glyphs).
mem::vector<std::wstring> MakeLines(bool colours) {
    static const wchar_t* const kColours[] = {L"^W", L"^Y", L"^G", L"^C"};
    mem::vector<std::wstring> lines;
    for (int line = 0; line < kLines; ++line) {
        std::wstring text;
        for (int word = 0; text.size() < size_t(kColumns); ++word) {
            if (colours) text += kColours[word % 4];
            text += L"glyphs" + std::to_wstring(line * 100 + word) + L" ";
        }
        text.resize(kColumns);
        lines.push_back(text);
    }
    return lines;
}

// Glyphs a line draws: every character but spaces and escapes.
int64_t CountGlyphs(const mem::vector<std::wstring>& lines) {
    int64_t glyphs = 0;
    for (const std::wstring& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == L'^') {
                ++i;
            } else if (line[i] != L' ') {
                ++glyphs;
            }
        }
    }
    return glyphs;
}

// Runs frames of draw(canvas) and reports glyphs per second and draw calls per frame.
template <class Draw>
void RunFrames(benchmark::State& state, const mem::vector<std::wstring>& lines, Draw draw) {
    GraphicsEngine& graphics = *bench::BenchEngine::Get().GetGraphicsEngine();
    GraphicsCanvas& canvas = *graphics.GetCanvas();
    RenderDevice& device = *graphics.GetRenderDevice();
    uint32_t pixel = 0;
    uint32_t drawCalls = 0;
    for (auto _ : state) {
        canvas.BeginFrame();
        canvas.SetDefaultState();
        canvas.ClearRenderSurface(nullptr, Color(0.1f, 0.1f, 0.15f, 1.0f), RenderDevice::kClearColor);
        draw(canvas);
        drawCalls = device.GetNumDrawCalls();
        canvas.EndFrame();
        canvas.GetPrimarySurface()->ReadPixels(&pixel, 1, 1, RenderTextureFormat::RGBA);
    }
    state.SetItemsProcessed(state.iterations() * CountGlyphs(lines));
    state.counters["draw_calls_per_frame"] = double(drawCalls);
    state.counters["glyphs_per_frame"] = double(CountGlyphs(lines));
}

// colouredWords 0: plain lines; 1: every word starts with a colour escape.
void BM_TextParagraph(benchmark::State& state) {
    const mem::vector<std::wstring> lines = MakeLines(state.range(0) != 0);
    RunFrames(state, lines, [&](GraphicsCanvas& canvas) {
        canvas.RenderTextParagraph(4, 4, Color(1, 1, 1, 1), Color(0, 0, 0, 0.5f), lines,
                                   bench::BenchEngine::kParagraphStyle, false);
    });
}
BENCHMARK(BM_TextParagraph)->ArgName("colouredWords")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TextLinesEachOnItsOwn(benchmark::State& state) {
    const mem::vector<std::wstring> lines = MakeLines(false);
    RunFrames(state, lines, [&](GraphicsCanvas& canvas) {
        for (int line = 0; line < kLines; ++line) {
            canvas.RenderText(Rect(4.0f, float(4 + line * 14), 0.0f, 0.0f), lines[size_t(line)].c_str(),
                              bench::BenchEngine::kParagraphStyle, 1.0f, XAlignment::Left, YAlignment::Top);
        }
    });
}
BENCHMARK(BM_TextLinesEachOnItsOwn)->Unit(benchmark::kMicrosecond);

}  // namespace
