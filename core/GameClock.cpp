#include "core/GameClock.h"

#include "core/Time.h"

namespace GAME {

GameClock& GameClock::Get() {
    static GameClock clock;
    return clock;
}

void GameClock::Reset() {
    std::lock_guard<std::mutex> lock(lock_);
    gameMs_ = 0.0;
    lastSystemNs_ = static_cast<int64_t>(GetPerformanceCounter());
}

void GameClock::Advance() {
    const int64_t now = static_cast<int64_t>(GetPerformanceCounter());
    std::lock_guard<std::mutex> lock(lock_);
    if (lastSystemNs_ >= 0) AddLocked(static_cast<double>(now - lastSystemNs_) / 1.0e6);
    lastSystemNs_ = now;
}

void GameClock::AdvanceBy(double realMs) {
    std::lock_guard<std::mutex> lock(lock_);
    AddLocked(realMs);
}

void GameClock::AddLocked(double realMs) {
    if (!paused_ && realMs > 0.0) gameMs_ += realMs * scale_;
}

void GameClock::SetPaused(bool paused) {
    std::lock_guard<std::mutex> lock(lock_);
    paused_ = paused;
}

bool GameClock::IsPaused() const {
    std::lock_guard<std::mutex> lock(lock_);
    return paused_;
}

void GameClock::SetScale(float scale) {
    std::lock_guard<std::mutex> lock(lock_);
    scale_ = scale > 0.0f ? scale : 0.0f;
}

float GameClock::GetScale() const {
    std::lock_guard<std::mutex> lock(lock_);
    return scale_;
}

int64_t GameClock::GetMilliseconds() const {
    std::lock_guard<std::mutex> lock(lock_);
    return static_cast<int64_t>(gameMs_);
}

int GetGameTime() { return static_cast<int>(GameClock::Get().GetMilliseconds()); }

}  // namespace GAME
