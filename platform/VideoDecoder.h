#pragma once
// VideoDecoder: one video file decoded frame by frame with FFmpeg, for the video player. It does
// what the player needs and no more: open, report the picture's size and frame count, tell when
// the next frame is due by the stream's own clock, decode it, copy it out as 32-bit pixels,
// pause, close. Sound is never decoded: the engine has no audio output.
//
// Only the container and codecs the engine's videos use are opened (Matroska with FFV1, the
// lossless codec the sample-data generator writes, or MPEG-4 part 2): every other demuxer and
// decoder is refused before it reads a byte, which keeps the decoders a hostile file can reach
// to the few the engine needs. Of a file's video tracks the one played is the largest picture in
// these codecs; a refusal names the container or the codecs found and those played.
//
// Each frame is shown at its own timestamp, counted from the first frame's, so videos of a
// variable frame rate keep their pace; the last frame is shown for its own duration (as the file
// gives it, else the average frame time). The video ends when its stream does, whatever count its
// header declares. A stream that ends more than a tenth of a second before the duration its file
// declares is logged as cut short, with the file's name. A clip cut out of a longer video where no
// keyframe begins starts at its first keyframe: the frames before it, which need pictures the file
// does not hold, are skipped and said once.
//
// Frames are numbered from 1. The current frame is the next one to show; the video has ended once
// the stream has no frame left and the last frame's display time is over.

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
    // Frames the video holds: the count its file declares (or one estimated from its duration and
    // average frame rate), raised to the frames decoded so far; once the stream has ended,
    // exactly the frames decoded.
    uint32_t GetFrameCount() const;
    uint32_t GetCurrentFrame() const;
    // True once the last frame has been shown for its time, or decoding failed.
    bool HasEnded() const;

    // Seconds from the first frame at which the current frame is due (decoding it ahead when it
    // has not been); past the last frame, the time the last one's showing ends.
    double GetFrameTime();
    // True when the current frame's time has come on the video's clock (past the last frame,
    // false, and the video ends once the last frame's time is over). The clock starts at the
    // first call and stops while paused.
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
