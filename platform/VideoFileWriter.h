#pragma once
// VideoFileWriter: writes a video the engine's player opens, in a Matroska file: FFV1 (lossless) by
// default, so every pixel comes back as written, or in the other forms the player reads (see
// VideoCoding). The sample-data generator and the tests make their videos with it. Frames are
// 32-bit pixels 0xAARRGGBB, rows top first; alpha is not stored.

#include <cstdint>
#include <functional>
#include <string>

namespace GAME {

// How the pictures are stored. FFV1 keeps 32-bit colour exactly, or luma at full size with chroma
// at half the width (4:2:2) or half the width and height (4:2:0), exactly in that form. MPEG-4
// part 2 stores 4:2:0 with loss, at its finest quantiser.
enum class VideoCoding : uint8_t { Ffv1Rgb, Ffv1Yuv422, Ffv1Yuv420, Mpeg4 };

struct VideoFileDescription {
    int width = 0;
    int height = 0;
    uint32_t frameCount = 0;
    int framesPerSecond = 24;
    VideoCoding coding = VideoCoding::Ffv1Rgb;
};

// Fills one frame (numbered from 0) of width x height pixels.
using VideoFrameFiller = std::function<void(uint32_t frame, uint32_t* pixels)>;

// Writes the video to a temporary file beside path and renames it into place, so a failed write
// leaves no half file. False, with the reason logged, when it cannot be written.
bool WriteVideoFile(const std::string& path, const VideoFileDescription& description, const VideoFrameFiller& fill);

}  // namespace GAME
