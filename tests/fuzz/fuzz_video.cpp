// Fuzzes the video decoder (FFmpeg behind it, held to Matroska with FFV1 or MPEG-4 part 2): the
// bytes as a video file, opened and played frame by frame without waiting for the clock. Whatever
// they hold, the file must be refused or play to a clean end: the frames decoded stay within the
// count the decoder ends with, their times never step back, and each frame copies out.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/VideoDecoder.h"

namespace {

// Frames played of one input: enough to pass the first few packets' forms, few enough to keep
// every run short.
constexpr int kMaxFrames = 32;

// The file the decoder reads, one for each fuzzing process; removed at exit.
const std::string& VideoPath() {
    static const std::string path = [] {
        const std::string file =
            (std::filesystem::temp_directory_path() / ("fuzz_video-" + std::to_string(getpid()) + ".mkv")).string();
        std::atexit([] { std::remove(VideoPath().c_str()); });
        // FFmpeg would print its own account of every broken input.
        av_log_set_level(AV_LOG_QUIET);
        return file;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using GAME::VideoDecoder;
    const std::string& path = VideoPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    std::unique_ptr<VideoDecoder> video = VideoDecoder::Open(path.c_str());
    if (video == nullptr) return 0;
    const int width = video->GetWidth();
    const int height = video->GetHeight();
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) std::abort();
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    double previous = 0.0;
    uint32_t decoded = 0;
    for (; decoded < kMaxFrames; ++decoded) {
        const double time = video->GetFrameTime();
        if (!(time >= previous)) std::abort();  // also refuses a time that is no number
        previous = time;
        if (!video->DecodeFrame()) break;
        video->CopyTo(pixels.data(), static_cast<uint32_t>(width) * 4, height);
        video->NextFrame();
        if (video->GetFrameCount() < decoded + 1) std::abort();
    }
    if (decoded < kMaxFrames && (!video->HasEnded() || video->GetFrameCount() != decoded)) std::abort();
    return 0;
}
