#include "render/VideoPlayerImpl.h"

#include "core/Color.h"
#include "core/Log.h"
#include "engine/Engine.h"
#include "platform/VideoDecoder.h"
#include "render/GraphicsEngine.h"
#include "render/InputDevice.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

RenderDevice* Device() {
    GraphicsEngine* graphics = GetEngineGraphics();
    return graphics != nullptr ? graphics->GetRenderDevice() : nullptr;
}

}  // namespace

VideoPlayerImpl::VideoPlayerImpl() = default;

VideoPlayerImpl::~VideoPlayerImpl() { Close(); }

bool VideoPlayerImpl::Open(const char* fileName, bool skippable, bool sound) {
    Close();
    if (Device() == nullptr) {
        Log(LogPriority::Error, "Video: \"%s\" cannot play without a render device", fileName);
        return false;
    }
    video_ = VideoDecoder::Open(fileName);
    if (video_ == nullptr) {
        return false;
    }
    skippable_ = skippable;
    sound_ = sound;
    gEngine->RegisterResetObject(this);
    if (!CreateTexture()) {
        Log(LogPriority::Error, "Video: no %d x %d texture for \"%s\"", video_->GetWidth(), video_->GetHeight(),
            fileName);
        Close();
        return false;
    }
    return true;
}

bool VideoPlayerImpl::CreateTexture() {
    texture_ = Device()->CreateDynamicTexture(video_->GetWidth(), video_->GetHeight());
    return texture_ != nullptr;
}

void VideoPlayerImpl::Close() {
    if (video_ == nullptr) {
        return;
    }
    video_.reset();
    // The engine's shutdown takes the texture (a last PreDeviceReset) while the device is there:
    // a player that outlives the engine has none left here.
    if (texture_ != nullptr) {
        Device()->DestroyTexture(texture_);
    }
    if (gEngine != nullptr) {
        gEngine->UnregisterResetObject(this);
    }
}

bool VideoPlayerImpl::WasSkipPressed() {
    const InputDevice* input = gEngine != nullptr ? gEngine->GetInputDevice() : nullptr;
    if (input == nullptr) {
        return false;  // the host runs without input: nothing can skip
    }
    for (unsigned i = 0; i < input->GetNumButtonEvents(); ++i) {
        if (input->GetButtonEvent(i).state == InputDevice::ButtonEvent::Pressed) {
            return true;
        }
    }
    for (unsigned i = 0; i < input->GetNumMouseEvents(); ++i) {
        const uint32_t type = input->GetMouseEvent(i).type;
        if (type == InputDevice::MouseEvent::LeftDown || type == InputDevice::MouseEvent::RightDown ||
            type == InputDevice::MouseEvent::MiddleDown) {
            return true;
        }
    }
    return false;
}

void VideoPlayerImpl::Update() {
    if (GetIsPlaying() && skippable_ && WasSkipPressed()) {
        Close();
        return;
    }
    if (GetIsPlaying() && video_->IsFrameDue() && video_->DecodeFrame()) {
        if (texture_ != nullptr) {
            uint32_t pitch = 0;
            if (void* texels = texture_->Lock(pitch)) {
                video_->CopyTo(texels, pitch, video_->GetHeight());
                texture_->Unlock();
            }
        }
        video_->NextFrame();
    }
    if (!GetIsPlaying()) {
        Close();
    }
}

void VideoPlayerImpl::Render() const {
    RenderDevice* device = Device();
    if (device == nullptr || !device->BeginScene()) {
        return;
    }
    const float width = float(device->GetWidth());
    const float height = float(device->GetHeight());
    device->SetViewport(Viewport(0, 0, device->GetWidth(), device->GetHeight()));
    device->SetScissorRect(nullptr);
    device->SetClearColor(Color(0.0f, 0.0f, 0.0f, 1.0f));
    device->Clear(RenderDevice::kClearColor | RenderDevice::kClearDepth, 1.0f);
    if (video_ != nullptr && texture_ != nullptr) {
        device->SetSourceBlendFactor(RenderBlendFactor::One);
        device->SetDestinationBlendFactor(RenderBlendFactor::Zero);
        device->SetDepthTestFunction(RenderTestFunction::Always);
        device->SetDepthWriteMode(RenderWriteMode::Off);
        device->SetAlphaTestFunction(RenderTestFunction::Always);
        for (const RenderSamplerState address : {RenderSamplerState::AddressU, RenderSamplerState::AddressV}) {
            device->SetSamplerState(0, address, 1);  // clamp: no wrapped texels at the edges
        }
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetTexture(0, texture_);
        // Letterboxed: the video's aspect ratio kept inside the back buffer, centred.
        const float aspect = float(video_->GetWidth()) / float(video_->GetHeight());
        const float drawWidth = aspect <= width / height ? height * aspect : width;
        const float drawHeight = aspect <= width / height ? height : width / aspect;
        const Rect destination((width - drawWidth) * 0.5f, (height - drawHeight) * 0.5f, drawWidth, drawHeight);
        device->DrawTexturedRect(Rect(0.0f, 0.0f, 1.0f, 1.0f), destination, 0xFFFFFFFFu, 0.0f);
        device->SetTexture(0, nullptr);
    }
    device->EndScene();
}

bool VideoPlayerImpl::GetIsPlaying() const {
    return video_ != nullptr && !video_->HasEnded();
}

void VideoPlayerImpl::Pause(bool pause) {
    if (video_ != nullptr) {
        video_->Pause(pause);
    }
}

void VideoPlayerImpl::PreDeviceReset() {
    if (texture_ != nullptr) {
        Device()->DestroyTexture(texture_);
    }
}

void VideoPlayerImpl::PostDeviceReset() {
    if (video_ != nullptr && texture_ == nullptr && !CreateTexture()) {
        Log(LogPriority::Error, "Video: the texture could not be made again after the device reset");
    }
}

}  // namespace GAME
