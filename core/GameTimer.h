#pragma once
// A Timer on game time: it stands still while the game is paused and follows the clock's scale.

#include "core/Timer.h"

namespace GAME {

class GameTimer : public Timer {
public:
    GameTimer() { Reset(); }

protected:
    int64_t GetClockMilliseconds() const override;
};

}  // namespace GAME
