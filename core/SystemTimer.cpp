#include "core/SystemTimer.h"

#include "core/Time.h"

namespace GAME {

int64_t SystemTimer::GetClockMilliseconds() const { return GetSystemMilliseconds(); }

}  // namespace GAME
