// The engine's render debugger on the GL device: the limit its slider selects lets through only
// the first draw calls of the next frame (read back: later draws absent), the primitive toggle
// skips them all, and hidden it gives the frame back whole.

#include "render/RenderDebugger.h"

#include "render/Display.h"
#include "render/GraphicsCanvas.h"
#include "support/GLEngineBed.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace GAME::test {
namespace {

constexpr uint32_t kBlack = 0xFF000000u;

// The frame under test: a cleared screen and three squares, red, green and blue from the left,
// one draw call each.
class ThreeSquares final : public DisplayWidget {
public:
    void Render(GraphicsCanvas& canvas) const override {
        canvas.ClearRenderSurface(nullptr, Color(0.0f, 0.0f, 0.0f, 1.0f), RenderDevice::kClearColor);
        for (int i = 0; i < 3; ++i) {
            canvas.RenderRect(Rect(float(10 + 40 * i), 20.0f, 20.0f, 10.0f), RenderBlendFactor::One,
                              RenderBlendFactor::Zero, Color(i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f, 1.0f));
        }
    }
};

class RenderDebuggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bed.IsReady());
        display = bed.GetEngine().GetDisplay();
        ASSERT_NE(display, nullptr);
        // The engine's debugger is in front, so it is drawn last and sees the frame's draws.
        debugger = dynamic_cast<RenderDebugger*>(display->GetWidget(0));
        ASSERT_NE(debugger, nullptr);
        display->AddWidget(&squares);
    }
    void TearDown() override {
        display->RemoveWidget(&squares);
        EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    }
    // Which squares the next frame shows (left to right), after a frame that pushes the
    // debugger's settings.
    std::vector<bool> SquaresShown() {
        bed.GetEngine().Render();
        bed.GetEngine().Render();
        const std::vector<uint32_t> pixels = bed.ReadPixels();
        std::vector<bool> shown;
        for (int i = 0; i < 3; ++i) shown.push_back(pixels[size_t(25 * GLEngineBed::kWidth + 20 + 40 * i)] != kBlack);
        return shown;
    }
    void Mouse(uint32_t type, float x, float y) {
        InputDevice::MouseEvent event;
        event.type = type;
        event.x = x;
        event.y = y;
        EXPECT_TRUE(debugger->HandleMouseEvent(event));
    }
    // Drags the slider's thumb (at the right end while all draw calls are shown) to x.
    void DragThumbTo(float x) {
        const float bottom = float(GLEngineBed::kHeight);
        Mouse(InputDevice::MouseEvent::LeftDown, float(GLEngineBed::kWidth) - 10.0f, bottom - 20.0f);
        Mouse(InputDevice::MouseEvent::State, x, bottom - 20.0f);
        Mouse(InputDevice::MouseEvent::LeftUp, x, bottom - 20.0f);
    }

    LogCapture log;
    GLEngineBed bed{true};  // debug widgets come with input
    Display* display = nullptr;
    RenderDebugger* debugger = nullptr;
    ThreeSquares squares;
};

TEST_F(RenderDebuggerTest, LimitsTheFrameToItsFirstDrawCalls) {
    bed.GetEngine().ShowRenderDebugger(true);
    EXPECT_TRUE(debugger->IsVisible());
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{true, true, true}));
    // The slider spans 5 .. 123 with a 15-pixel thumb: 103 pixels for three draw calls.
    ASSERT_EQ(debugger->GetDrawCallLimit(), 3u);

    DragThumbTo(5.0f + 103.0f * 1.5f / 3.0f);
    EXPECT_EQ(debugger->GetDrawCallLimit(), 1u);
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{true, false, false}));
    // Only the first draw call ran: the debugger's own panels and text are absent too.
    EXPECT_EQ(bed.FindDrawn(kBlack), (std::vector<int>{10, 20, 30, 30}));

    // The thumb is at 5 + 103 / 3; dragged left of the slider the limit is 0, not a wrapped
    // maximum.
    Mouse(InputDevice::MouseEvent::LeftDown, 5.0f + 103.0f / 3.0f + 2.0f, float(GLEngineBed::kHeight) - 20.0f);
    Mouse(InputDevice::MouseEvent::State, -40.0f, 0.0f);
    EXPECT_EQ(debugger->GetDrawCallLimit(), 0u);
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{false, false, false}));
    Mouse(InputDevice::MouseEvent::State, 500.0f, 0.0f);
    Mouse(InputDevice::MouseEvent::LeftUp, 500.0f, 0.0f);
    EXPECT_EQ(debugger->GetDrawCallLimit(), 3u);
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{true, true, true}));

    // "U" culls every primitive; hidden, the debugger lets the whole frame through again.
    InputDevice::ButtonEvent key;
    key.keyCode = RenderDebugger::kCullPrimitivesKey;
    EXPECT_TRUE(debugger->HandleKeyEvent(key));
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{false, false, false}));
    DragThumbTo(60.0f);
    bed.GetEngine().ShowRenderDebugger(false);
    EXPECT_FALSE(debugger->HandleKeyEvent(key));
    EXPECT_EQ(SquaresShown(), (std::vector<bool>{true, true, true}));
}

}  // namespace
}  // namespace GAME::test
