#pragma once
// BinaryInput: the little-endian reads that core's stored forms (CurveData) make. Core sits below
// files, so it reads through this interface; files' BinaryReader implements it, and callers pass
// one of those.
//
// A read past the end fails: it returns zero and marks the input failed, and the flag is sticky.

#include <cstdint>

namespace GAME {

class BinaryInput {
public:
    virtual uint32_t ReadUInt32() = 0;
    virtual float ReadFloat() = 0;
    // A 4-byte word; true when it is not 0.
    virtual bool ReadBool() = 0;
    // Bytes after the cursor.
    virtual uint32_t GetRemaining() const = 0;
    // True once any read has failed.
    virtual bool Failed() const = 0;

protected:
    ~BinaryInput() = default;
};

}  // namespace GAME
