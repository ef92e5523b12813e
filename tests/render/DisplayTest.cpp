// The display's widget list: update order with widgets added and removed while it runs, drawing
// back to front, and events offered front to back until a widget takes them.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render/Display.h"
#include "render/DisplayWidget.h"
#include "render/GraphicsCanvas.h"
#include "support/RecordingDevice.h"

namespace GAME::test {
namespace {

// A widget that writes what happens to it into a shared journal; its update may run an action.
class JournalWidget final : public DisplayWidget {
public:
    JournalWidget(std::string name, std::vector<std::string>& journal, bool takesEvents = false)
        : name_(std::move(name)), journal_(journal), takesEvents_(takesEvents) {}

    void Update() override {
        journal_.push_back("update " + name_);
        if (onUpdate) onUpdate();
    }
    void Render(GraphicsCanvas&) const override { journal_.push_back("render " + name_); }
    bool HandleKeyEvent(const InputDevice::ButtonEvent& event) override {
        journal_.push_back("key " + std::to_string(event.keyCode) + " " + name_);
        if (onEvent) onEvent();
        return takesEvents_;
    }
    bool HandleMouseEvent(const InputDevice::MouseEvent& event) override {
        journal_.push_back("mouse " + std::to_string(event.type) + " " + name_);
        return takesEvents_;
    }

    std::function<void()> onUpdate;
    std::function<void()> onEvent;

private:
    std::string name_;
    std::vector<std::string>& journal_;
    bool takesEvents_;
};

using Journal = std::vector<std::string>;

TEST(DisplayTest, RendersBackToFrontAndOffersEventsFrontToBackUntilOneIsTaken) {
    Journal journal;
    JournalWidget front("front", journal), middle("middle", journal, true), back("back", journal);
    Display display;
    for (JournalWidget* widget : {&front, &middle, &back}) display.AddWidget(widget);
    display.RemoveWidget(nullptr);  // absent: nothing changes

    RecordingDevice device;
    RenderSurface* primary = device.CreatePrimarySurface(nullptr, RenderDeviceSettings());
    {
        GraphicsCanvas canvas(device, primary);
        display.Render(canvas);
    }
    device.DestroyRenderSurface(primary);
    InputDevice::ButtonEvent key;
    key.keyCode = 30;
    EXPECT_TRUE(display.HandleKeyEvent(key));
    InputDevice::MouseEvent click;
    click.type = InputDevice::MouseEvent::LeftDown;
    EXPECT_TRUE(display.HandleMouseEvent(click));
    display.RemoveWidget(&middle);
    EXPECT_FALSE(display.HandleKeyEvent(key));
    EXPECT_EQ(journal, (Journal{"render back", "render middle", "render front", "key 30 front", "key 30 middle",
                                "mouse 1 front", "mouse 1 middle", "key 30 front", "key 30 back"}));
}

TEST(DisplayTest, WidgetsRemovedOrAddedDuringTheUpdateSkipNoneAndCallNoneRemoved) {
    Journal journal;
    JournalWidget a("a", journal), b("b", journal), c("c", journal), d("d", journal), added("added", journal);
    Display display;
    for (JournalWidget* widget : {&a, &b, &c, &d}) display.AddWidget(widget);
    // b removes itself, c removes the widget before it (a) and adds one at the back; d runs once.
    b.onUpdate = [&] { display.RemoveWidget(&b); };
    c.onUpdate = [&] {
        display.RemoveWidget(&a);
        display.AddWidget(&added);
    };
    display.Update();
    EXPECT_EQ(journal, (Journal{"update a", "update b", "update c", "update d", "update added"}));
    ASSERT_EQ(display.GetNumWidgets(), 3);
    EXPECT_EQ(display.GetWidget(0), &c);

    // A widget that removes the widget behind it while handling an event: that one is not called.
    journal.clear();
    c.onEvent = [&] { display.RemoveWidget(&d); };
    display.HandleKeyEvent(InputDevice::ButtonEvent());
    EXPECT_EQ(journal, (Journal{"key 0 c", "key 0 added"}));

    // The front widget removing itself: the next one still updates.
    journal.clear();
    c.onUpdate = [&] { display.RemoveWidget(&c); };
    display.Update();
    EXPECT_EQ(journal, (Journal{"update c", "update added"}));
}

}  // namespace
}  // namespace GAME::test
