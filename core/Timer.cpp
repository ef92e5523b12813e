#include "core/Timer.h"

namespace GAME {

void Timer::Reset() {
    start_ = previous_ = current_ = GetClockMilliseconds();
    elapsed_ = 0;
    historyCount_ = 0;
    historyNext_ = 0;
}

void Timer::Update(bool smooth) {
    previous_ = current_;
    current_ = GetClockMilliseconds();
    const int difference = static_cast<int>(current_ - previous_);

    history_[historyNext_] = difference;
    historyNext_ = (historyNext_ + 1) % kHistorySize;
    if (historyCount_ < kHistorySize) ++historyCount_;

    if (!smooth) {
        elapsed_ = difference;
        return;
    }
    int64_t sum = 0;
    for (int i = 0; i < historyCount_; ++i) sum += history_[i];
    elapsed_ = static_cast<int>(sum / historyCount_);
}

}  // namespace GAME
