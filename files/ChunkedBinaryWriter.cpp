#include "files/ChunkedBinaryWriter.h"

namespace GAME {

ChunkedBinaryWriter::ChunkedBinaryWriter(uint32_t blockSize)
    : BinaryWriter(blockSize, blockSize > 0 ? blockSize : kDefaultBlockSize) {}

}  // namespace GAME
