#pragma once
// VideoFileWriter: writes a video the engine's player opens: FFV1 (lossless, so every pixel comes
// back as written) in a Matroska file. The sample-data generator and the tests make their videos
// with it. Frames are 32-bit pixels 0xAARRGGBB, rows top first; alpha is not stored.

#include <cstdint>
#include <functional>
#include <string>

namespace GAME {

struct VideoFileDescription {
    int width = 0;
    int height = 0;
    uint32_t frameCount = 0;
    int framesPerSecond = 24;
};

// Fills one frame (numbered from 0) of width x height pixels.
using VideoFrameFiller = std::function<void(uint32_t frame, uint32_t* pixels)>;

// Writes the video to a temporary file beside path and renames it into place, so a failed write
// leaves no half file. False, with the reason logged, when it cannot be written.
bool WriteVideoFile(const std::string& path, const VideoFileDescription& description, const VideoFrameFiller& fill);

}  // namespace GAME
