#pragma once
// A Timer on system time: it runs whether or not the game is paused.

#include "core/Timer.h"

namespace GAME {

class SystemTimer : public Timer {
public:
    SystemTimer() { Reset(); }

protected:
    int64_t GetClockMilliseconds() const override;
};

}  // namespace GAME
