#pragma once
// A small lossless test video: frame k is split down the middle into TestVideoLeft(k) and
// TestVideoRight(k) (0xAARRGGBB), so any decoded frame can be checked pixel for pixel.

#include <cstdint>
#include <string>

namespace GAME::test {

constexpr int kTestVideoWidth = 64;   // 4:3
constexpr int kTestVideoHeight = 48;
constexpr uint32_t kTestVideoFrames = 12;
constexpr int kTestVideoRate = 6;  // frames a second: two seconds, so slow test machines see every frame

constexpr uint32_t TestVideoLeft(uint32_t frame) {
    return 0xFF000000u | (frame * 20u) << 16 | 0x40u << 8 | (255u - frame * 20u);
}
constexpr uint32_t TestVideoRight(uint32_t frame) { return 0xFF000000u | 0x10u << 16 | (frame * 21u) << 8 | 0x80u; }

// Writes the video; false when it could not be written.
bool WriteTestVideo(const std::string& path);

}  // namespace GAME::test
