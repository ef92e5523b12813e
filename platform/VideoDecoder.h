#pragma once
// VideoDecoder: one video file decoded frame by frame with FFmpeg, for the video player. It does
// what the player needs and no more: open, report the picture's size and frame count, tell when
// the next frame is due by the stream's own clock, decode it, copy it out as 32-bit pixels,
// pause, close. Sound is never decoded: the engine has no audio output.
//
// Only the container and codecs the engine's videos use are opened (Matroska with FFV1, the
// lossless codec the sample-data generator writes, or MPEG-4 part 2): every other demuxer and
// decoder is refused before it reads a byte, which keeps the decoders a hostile file can reach
// to the few the engine needs.
//
// Frames are numbered from 1. The current frame is the next one to show; the video has ended once
// the current frame has passed the frame count and the last frame's display time is over.

#include <cstdint>
#include <memory>

namespace GAME {

class VideoDecoder {
public:
    // Opens the file; null (with the reason logged) when it is missing, not a video of an
    // accepted kind, or has no decodable picture.
    static std::unique_ptr<VideoDecoder> Open(const char* fileName);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    int GetWidth() const;
    int GetHeight() const;
    // Frames the stream says it holds (from its header, else its duration and frame rate). A file
    // cut short ends earlier: the count then drops to the frames actually decoded.
    uint32_t GetFrameCount() const;
    uint32_t GetCurrentFrame() const;
    // True once the last frame has been shown for its time, or decoding failed.
    bool HasEnded() const;

    // True when the current frame's time has come on the video's clock (or, past the last frame,
    // when the last frame's time is over). The clock starts at the first call and stops while
    // paused.
    bool IsFrameDue();
    // Decodes the current frame. False at the end of the stream or on a decoding error (logged);
    // the video has then ended.
    bool DecodeFrame();
    // Copies the last decoded frame as 32-bit pixels 0xAARRGGBB (opaque), rows top first, pitch
    // bytes apart, at most height rows.
    void CopyTo(void* destination, uint32_t pitch, int height) const;
    // Moves to the next frame.
    void NextFrame();
    void Pause(bool pause);

private:
    struct State;
    explicit VideoDecoder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace GAME
