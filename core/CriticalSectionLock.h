#pragma once
// Holds a CriticalSection for the lifetime of a scope.

#include "core/CriticalSection.h"

namespace GAME {

class CriticalSectionLock {
public:
    // profiled selects Enter over EnterNoProfile; both enter.
    explicit CriticalSectionLock(CriticalSection& section, bool profiled = true) : section_(section) {
        if (profiled)
            section_.Enter();
        else
            section_.EnterNoProfile();
    }
    ~CriticalSectionLock() { section_.Exit(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace GAME
