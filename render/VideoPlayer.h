#pragma once
// VideoPlayer: plays one video file (intro and cut-scene movies) over the whole back buffer. The
// host calls Open, then once a frame Update and Render (and presents), until GetIsPlaying turns
// false. Each frame that is due on the video's own clock is decoded into a dynamic texture of the
// render device, which Render draws letterboxed: the video keeps its aspect ratio, centred, with
// black around it. A skippable video closes on the first frame in which any key or mouse button
// goes down. Sound is never played (the engine has no audio output); the sound flag is kept.
//
// VideoPlayer is the public front: it owns one VideoPlayerImpl and forwards every call to it.

#include <memory>

namespace GAME {

class RenderTexture;
class VideoPlayerImpl;

class VideoPlayer {
public:
    VideoPlayer();
    virtual ~VideoPlayer();
    VideoPlayer(const VideoPlayer&) = delete;
    VideoPlayer& operator=(const VideoPlayer&) = delete;

    // Closes any open video, then opens fileName; false (nothing open) when the file cannot be
    // played or its texture cannot be made.
    bool Open(const char* fileName, bool skippable, bool sound);
    void Close();
    // Skips on a press (skippable videos), decodes the frame that is due, closes at the end.
    void Update();
    // Clears the back buffer and draws the current frame inside its own BeginScene/EndScene.
    void Render() const;
    bool GetIsPlaying() const;
    // The texture the frames are decoded into; null when nothing is open.
    RenderTexture* GetTexture();
    // Holds or releases the video's clock.
    void Pause(bool pause);

private:
    std::unique_ptr<VideoPlayerImpl> impl_;
};

}  // namespace GAME
