#pragma once
// ChunkedBinaryWriter: a memory BinaryWriter whose buffer grows in fixed-size blocks rather than
// by doubling, for large saves (the world file) whose final size is unknown. Everything else,
// chunks included, is BinaryWriter's.

#include "files/BinaryWriter.h"

namespace GAME {

class ChunkedBinaryWriter : public BinaryWriter {
public:
    static constexpr uint32_t kDefaultBlockSize = 64 * 1024;

    explicit ChunkedBinaryWriter(uint32_t blockSize = kDefaultBlockSize);
};

}  // namespace GAME
