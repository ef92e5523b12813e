#pragma once
// BinaryOutput: the little-endian writes that core's stored forms (CurveData) make. Core sits below
// files, so it writes through this interface; files' BinaryWriter implements it, and callers pass
// one of those.

#include <cstdint>

namespace GAME {

class BinaryOutput {
public:
    virtual void Write(unsigned int value) = 0;
    virtual void Write(float value) = 0;
    // A 4-byte word, 0 or 1.
    virtual void Write(bool value) = 0;

protected:
    ~BinaryOutput() = default;
};

}  // namespace GAME
