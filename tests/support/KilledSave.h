#pragma once
// Saves killed part-way, for tests of saves that must stay whole: the save runs in a child process
// that AtomicFileSet's step hook ends right after a chosen step, as a kill would.

#include <functional>

namespace GAME::test {

// How the child's save ended.
enum class KilledSaveEnd {
    Killed,  // ended after the step
    Saved,   // ran out of steps first, and succeeded
    Failed,  // ran out of steps first and failed, or the child could not be run
};

// Runs save in a forked child whose AtomicFileSet commits end after their step `step` (from 0).
KilledSaveEnd SaveKilledAfterStep(int step, const std::function<bool()>& save);

}  // namespace GAME::test
