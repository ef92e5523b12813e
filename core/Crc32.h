#pragma once
// CRC-32 of the engine's stored files (fog-of-war checksums).
//
// Table-driven, reflected, standard polynomial 0xEDB88320, but with initial value 0 and no final
// inversion: this is not zlib's crc32, and files written by the engine depend on the difference.

#include <cstdint>

namespace GAME {

// The checksum of count bytes; 0 when count is below 1.
uint32_t Crc32(const unsigned char* bytes, int count);

}  // namespace GAME
