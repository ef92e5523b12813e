#pragma once
// InputCapture: the keyboard, text and mouse events of one window, kept until they are taken.
//
// An event watch sees every event as it enters the system's event queue, whether the system
// delivered it or the program pushed it, and whoever pumps that queue afterwards: the capture
// competes with no window's pump. The watch runs on the thread that delivers or pushes an event,
// so the records are locked.
//
// Records go into two bounded lists, keyboard (keys and text) and mouse (buttons and wheel);
// while a list is full, later records for it are dropped, as a full device buffer drops them.
// The wheel's movement is also summed apart from the list, so that none of it is lost however
// many records a frame brings. Auto-repeated key presses are not recorded, nor the text they
// produce: the engine's widgets time their own repeats. Pointer motion is not listed: the capture
// keeps its latest position, also while recording is disabled, so that the position is current
// as soon as recording starts again.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

union SDL_Event;

namespace GAME {

// One captured event.
struct InputRecord {
    enum class Type : uint8_t { KeyDown, KeyUp, Text, ButtonDown, ButtonUp, Wheel };
    enum Button : int { Left = 0, Right = 1, Middle = 2 };

    Type type = Type::KeyDown;
    int keyCode = 0;    // keys: the engine's code (platform/KeyCodes.h); 0 for a key it does not number
    int button = Left;  // buttons
    int wheel = 0;      // wheel: notches, positive away from the user
    std::string text;   // text: UTF-8
};

class InputCapture {
public:
    // Captures the events of the window (an SDL_Window*) and those that name no window, with
    // room for the given numbers of keyboard and mouse records. Starts the event system and text
    // input. Capturing starts enabled.
    InputCapture(void* window, size_t keyboardCapacity, size_t mouseCapacity);
    ~InputCapture();
    InputCapture(const InputCapture&) = delete;
    InputCapture& operator=(const InputCapture&) = delete;

    // False when there is no window or the event system did not start.
    bool IsCapturing() const { return watching_; }

    // Enables or disables recording; either way the records and the wheel's movement so far are
    // thrown away (the pointer's position is kept).
    void SetEnabled(bool enabled);

    // Delivers the system's pending events (main thread only), then moves the records out, oldest
    // first, into the lists (which are cleared first), and gives the wheel notches moved since
    // the last take, those of records that did not fit included.
    void Take(std::vector<InputRecord>& keyboard, std::vector<InputRecord>& mouse, int& wheelNotches);

    // The pointer's position in the window's client area at its latest movement over the window;
    // false (leaving x and y alone) when it has not moved since the last call.
    bool TakeCursorPosition(float& x, float& y);

    // The window is shown and not minimised.
    bool IsWindowVisible() const;

    // Caps lock is toggled on, as the system's keyboard state has it now: also when it was on
    // before the program started or was toggled while another window had the keyboard.
    static bool IsCapsLockOn();

private:
    static int Watch(void* capture, SDL_Event* event);
    void Record(const SDL_Event& event);
    void Add(std::vector<InputRecord>& list, size_t capacity, InputRecord record);

    void* window_;
    uint32_t windowId_ = 0;
    bool watching_ = false;

    std::mutex lock_;
    bool enabled_ = true;
    bool afterRepeat_ = false;  // the latest key press was a repeat: its text is dropped too
    size_t keyboardCapacity_;
    size_t mouseCapacity_;
    std::vector<InputRecord> keyboard_;
    std::vector<InputRecord> mouse_;
    int wheelNotches_ = 0;
    float cursorX_ = 0.0f;
    float cursorY_ = 0.0f;
    bool cursorMoved_ = false;
};

}  // namespace GAME
