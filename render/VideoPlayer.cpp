#include "render/VideoPlayer.h"

#include "render/VideoPlayerImpl.h"

namespace GAME {

VideoPlayer::VideoPlayer() : impl_(std::make_unique<VideoPlayerImpl>()) {}
VideoPlayer::~VideoPlayer() = default;

bool VideoPlayer::Open(const char* fileName, bool skippable, bool sound) {
    return impl_->Open(fileName, skippable, sound);
}
void VideoPlayer::Close() { impl_->Close(); }
void VideoPlayer::Update() { impl_->Update(); }
void VideoPlayer::Render() const { impl_->Render(); }
bool VideoPlayer::GetIsPlaying() const { return impl_->GetIsPlaying(); }
RenderTexture* VideoPlayer::GetTexture() { return impl_->GetTexture(); }
void VideoPlayer::Pause(bool pause) { impl_->Pause(pause); }

}  // namespace GAME
