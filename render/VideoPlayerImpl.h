#pragma once
// VideoPlayerImpl: the video player's state behind VideoPlayer: the open video (decoded by the
// platform's VideoDecoder), the skippable flag and the device texture frames are copied into.
// It is a reset object while a video is open: the texture goes before a device reset and is made
// again after it, and frames decoded in between are not shown. The engine's shutdown takes the
// texture too; a player that outlives the engine closes without it.

#include "render/ResetObject.h"

#include <memory>

namespace GAME {

class RenderTexture;
class VideoDecoder;

class VideoPlayerImpl : public ResetObject {
public:
    VideoPlayerImpl();
    ~VideoPlayerImpl() override;

    void PreDeviceReset() override;
    void PostDeviceReset() override;

    bool Open(const char* fileName, bool skippable, bool sound);
    void Close();
    void Update();
    void Render() const;
    bool GetIsPlaying() const;
    RenderTexture* GetTexture() { return texture_; }
    void Pause(bool pause);

private:
    // True when the frame's input holds a key press or a mouse button going down.
    static bool WasSkipPressed();
    bool CreateTexture();

    std::unique_ptr<VideoDecoder> video_;  // null when nothing is open
    bool skippable_ = false;
    bool sound_ = false;  // kept for the host; nothing plays it
    RenderTexture* texture_ = nullptr;
};

}  // namespace GAME
