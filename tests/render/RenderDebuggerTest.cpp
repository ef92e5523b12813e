// The engine's render debugger on the GL device: the limit its slider selects lets through only
// the first draw calls of the next frame (read back: later draws absent), the primitive toggle
// skips them all, and hidden it gives the frame back whole.

#include "render/RenderDebugger.h"

#include "render/Display.h"
#include "render/GraphicsCanvas.h"
#include "support/GLEngineBed.h"
#include "support/GraphicsTestBed.h"
#include "support/InputEvents.h"
#include "support/LogCapture.h"
#include "world/WorldFrustum.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
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
    InputDevice::MouseEvent moved;  // released: no longer dragged
    moved.x = -40.0f;
    EXPECT_FALSE(debugger->HandleMouseEvent(moved));
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

// The stepping keys, held: each repeat (80 milliseconds apart, 20 with left Shift) moves the
// limit by one draw call, to none or to all. The waits only ever lengthen under load, so a step
// is never missed.
TEST_F(RenderDebuggerTest, HeldKeysStepTheLimit) {
    bed.GetEngine().ShowRenderDebugger(true);
    ASSERT_EQ(SquaresShown(), (std::vector<bool>{true, true, true}));
    ASSERT_EQ(debugger->GetDrawCallLimit(), 3u);
    const auto hold = [&](const char* key, bool down) {
        PushKey(bed.Window(), ScancodeOf(key), down);
        bed.GetEngine().Update(WorldFrustum(), false);
    };
    const auto step = [&](const char* key, int waitMs) {
        hold(key, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        debugger->Update();
        hold(key, false);
        return debugger->GetDrawCallLimit();
    };
    constexpr int kWait = RenderDebugger::kRepeatMs + 20;
    EXPECT_EQ(step("[", kWait), 2u);
    EXPECT_EQ(step("[", kWait), 1u);
    EXPECT_EQ(step("]", kWait), 2u);
    EXPECT_EQ(step("Home", kWait), 0u);
    EXPECT_EQ(step("[", kWait), 0u);  // not below none
    EXPECT_EQ(step("End", kWait), RenderDevice::kNoDrawCallLimit);
    EXPECT_EQ(step("Home", kWait), 0u);
    // Left Shift held: repeats come faster.
    hold("Left Shift", true);
    EXPECT_EQ(step("]", RenderDebugger::kFastRepeatMs + 20), 1u);
    hold("Left Shift", false);
    // Nothing held, nothing moves.
    std::this_thread::sleep_for(std::chrono::milliseconds(kWait));
    debugger->Update();
    EXPECT_EQ(debugger->GetDrawCallLimit(), 1u);
    // Hidden, the keys are someone else's.
    bed.GetEngine().ShowRenderDebugger(false);
    EXPECT_EQ(step("]", kWait), 1u);
}

// Each toggle key flips its device switch, which the next render pushes; "C" and "U" both cull
// pixels, only "U" primitives. Hidden, the debugger puts every switch back but the grey textures.
TEST(RenderDebuggerSwitchesTest, EachKeyFlipsItsSwitch) {
    GraphicsTestBed bed;
    ASSERT_TRUE(bed.Start());
    GraphicsCanvas& canvas = *bed.Graphics().GetCanvas();
    const RecordingDeviceState& state = bed.Device().GetState();
    RenderDebugger debugger;
    const auto press = [&](unsigned key) {
        InputDevice::ButtonEvent event;
        event.keyCode = key;
        const bool handled = debugger.HandleKeyEvent(event);
        debugger.Render(canvas);
        return handled;
    };
    // The switches alpha, pixel shaders, textures, cull pixels, cull primitives, as 0s and 1s.
    const auto switches = [&] {
        std::string text;
        for (bool on : {state.debugAlpha, state.debugPixelShaders, state.debugTextures, state.debugCullPixels,
                        state.debugCullPrimitives})
            text += on ? '1' : '0';
        return text;
    };
    EXPECT_FALSE(press(RenderDebugger::kAlphaKey));  // hidden: not its keys
    debugger.SetVisible(true);
    debugger.Render(canvas);
    EXPECT_EQ(switches(), "00000");
    // Each key flips its switch; pressed again, it goes back.
    const std::pair<unsigned, const char*> presses[] = {
        {RenderDebugger::kAlphaKey, "10000"},      {RenderDebugger::kPixelShadersKey, "11000"},
        {RenderDebugger::kTexturesKey, "11100"},   {RenderDebugger::kCullPixelsKey, "11110"},
        {RenderDebugger::kCullPixelsKey, "11100"}, {RenderDebugger::kCullPrimitivesKey, "11111"},
        {RenderDebugger::kAlphaKey, "01111"},      {RenderDebugger::kPixelShadersKey, "00111"}};
    for (const auto& [key, after] : presses) {
        EXPECT_TRUE(press(key)) << key;
        EXPECT_EQ(switches(), after) << key;
    }
    // A key released, or another key, is not the debugger's.
    InputDevice::ButtonEvent released;
    released.keyCode = RenderDebugger::kTexturesKey;
    released.state = InputDevice::ButtonEvent::Released;
    EXPECT_FALSE(debugger.HandleKeyEvent(released));
    EXPECT_FALSE(press(RenderDebugger::kNextKey));
    EXPECT_EQ(switches(), "00111");

    debugger.SetVisible(false);
    debugger.Render(canvas);
    EXPECT_EQ(switches(), "10100");
    EXPECT_EQ(state.drawCallLimit, RenderDevice::kNoDrawCallLimit);
}

// On a 1024 x 768 canvas: the statistics panel, the panel of the last call drawn (taller for its
// shader, object and info line), and the slider along the bottom with its thumb where the limit
// puts it; the thumb is caught by its very corner.
TEST(RenderDebuggerSwitchesTest, PanelsAndSliderTakeTheirPlaces) {
    GraphicsTestBed bed;
    ASSERT_TRUE(bed.Start());
    GraphicsCanvas& canvas = *bed.Graphics().GetCanvas();
    RenderDebugger debugger;
    debugger.SetVisible(true);
    const auto frame = [&] {
        bed.Device().ClearCalls();
        ASSERT_TRUE(canvas.BeginFrame());
        bed.Device().SetDebugName("Shaders/Test.ssh", "glow", "Crate");
        for (int i = 0; i < 3; ++i) bed.Device().DrawRect(Rect(0, 0, 1, 1), 0, 0.0f);
        debugger.Render(canvas);
        canvas.EndFrame();
    };
    frame();
    const std::vector<std::string> all = {
        "DrawRect((5, 5, 1014, 65), 0x80000000, 0)",     "DrawRect((5, 75, 1014, 85), 0x80000000, 0)",
        "DrawRect((5, 738, 1014, 25), 0x80000000, 0)",   "DrawRect((5, 749, 1014, 2), 0x80ffffff, 0)",
        "DrawRect((1004, 738, 15, 25), 0xbfffffff, 0)",
    };
    std::vector<std::string> rects = bed.Device().GetCalls("DrawRect");
    rects.erase(rects.begin(), rects.begin() + 3);  // the frame's own
    EXPECT_EQ(rects, all);

    // Caught at the corner and dragged a third of the way: one draw call of three.
    InputDevice::MouseEvent mouse;
    mouse.type = InputDevice::MouseEvent::LeftDown;
    mouse.x = 1004.0f + 15.0f;
    mouse.y = 738.0f + 25.0f;
    EXPECT_TRUE(debugger.HandleMouseEvent(mouse));
    mouse.type = InputDevice::MouseEvent::State;
    mouse.x = 5.0f + 999.0f / 3.0f + 1.0f;
    EXPECT_TRUE(debugger.HandleMouseEvent(mouse));
    EXPECT_EQ(debugger.GetDrawCallLimit(), 1u);
    frame();
    EXPECT_EQ(bed.Device().GetCalls("DrawRect").back(), "DrawRect((338, 738, 15, 25), 0xbfffffff, 0)");
}

}  // namespace
}  // namespace GAME::test
