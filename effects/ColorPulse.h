#pragma once
// ColorPulse: a colour that swings from colour A to colour B and back, each half cycle pulseTime
// milliseconds, for numberOfCycles cycles (-1 for ever, 0 not at all), optionally ending on a
// default colour. It draws nothing: the host calls Update with the elapsed time each frame and
// uses the colour it returns.
//
// After numberOfCycles rising halves the next rising half moves from A to the default colour, or,
// without one (a default red below 0), ends the pulse at once, leaving the colour where it was.
// Once counted cycles are over, Update keeps returning the colour they ended on (until Reset).
//
// Record keys (LoadFromDatabase): "pulseTime" (ms, 0), "numberOfCycles" (-1), "pulseColorARed",
// "pulseColorAGreen", "pulseColorABlue", "pulseColorAAlpha" and the same for "pulseColorB" (0),
// "defaultPulseColorRed" ... "defaultPulseColorAlpha" (-1: no default colour).

#include "core/Color.h"

#include <cstdint>
#include <string>

namespace GAME {

class ColorPulse {
public:
    // Starts rising with no time left, so the first Update completes a rising half.
    ColorPulse(int pulseTime, const Color& colorA, const Color& colorB);
    // The settings of the record; a missing record keeps the defaults (logged).
    explicit ColorPulse(const std::string& recordName);
    virtual ~ColorPulse() = default;
    ColorPulse(const ColorPulse&) = default;
    ColorPulse& operator=(const ColorPulse&) = default;

    void LoadFromDatabase(const std::string& recordName);
    // Advances the pulse by elapsedMs and returns the current colour.
    const Color& Update(int elapsedMs);
    bool IsPulsing() const;
    // Starts the cycles again with a full half cycle (the direction is kept).
    void Reset();
    void SetPulseTime(int pulseTime) { pulseTime_ = pulseTime; }
    void SetColorA(const Color& color) { colorA_ = color; }
    void SetColorB(const Color& color) { colorB_ = color; }
    void SetDefaultColor(const Color& color) { defaultColor_ = color; }
    // Takes the other pulse's place in its half cycle and direction (one cycle fewer done).
    void SyncToColorPulse(const ColorPulse& other);

    int GetCyclesDone() const { return cyclesDone_; }
    bool IsRising() const { return rising_; }

protected:
    ColorPulse() = default;

private:
    int timeLeft_ = 0;          // ms left in the current half cycle
    int pulseTime_ = 0;         // ms of a half cycle
    bool rising_ = true;        // towards B (or the default colour)
    int cyclesDone_ = 0;        // rising halves completed
    int numberOfCycles_ = -1;   // -1 for ever, 0 not pulsing
    Color current_;
    Color colorA_;
    Color colorB_;
    Color defaultColor_{-1.0f, -1.0f, -1.0f, -1.0f};  // red below 0: none
};

}  // namespace GAME
