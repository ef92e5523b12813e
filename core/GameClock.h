#pragma once
// The game's clock: milliseconds of play, which stop while the game is paused and run faster or
// slower than system time by a scale.
//
// The engine advances it once a frame (Advance); every other thread only reads it. Its state is
// guarded by its own lock, so reads from loading threads see a whole update.

#include <cstdint>
#include <mutex>

namespace GAME {

class GameClock {
public:
    // The process-wide clock behind GetGameTime.
    static GameClock& Get();

    // Game time 0, and system time measured from now on.
    void Reset();
    // Adds the system time since the previous Advance (or Reset), times the scale, unless paused.
    void Advance();
    // Adds realMs of system time, times the scale, unless paused. Advance uses it; tests drive the
    // clock with it.
    void AdvanceBy(double realMs);

    void SetPaused(bool paused);
    bool IsPaused() const;
    // Game milliseconds per system millisecond; negative scales are taken as 0.
    void SetScale(float scale);
    float GetScale() const;

    // The game time in milliseconds.
    int64_t GetMilliseconds() const;

private:
    void AddLocked(double realMs);

    mutable std::mutex lock_;
    double gameMs_ = 0.0;           // kept in double so that scaled fractions are not lost
    int64_t lastSystemNs_ = -1;     // counter at the previous Advance; -1 before the first
    bool paused_ = false;
    float scale_ = 1.0f;
};

// The game time in milliseconds (scaled, pausable), from the process-wide clock.
int GetGameTime();

}  // namespace GAME
