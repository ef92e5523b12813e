#include "core/GameTimer.h"

#include "core/GameClock.h"

namespace GAME {

int64_t GameTimer::GetClockMilliseconds() const { return GameClock::Get().GetMilliseconds(); }

}  // namespace GAME
