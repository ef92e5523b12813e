#include "files/Resource.h"

#include <new>
#include <stdexcept>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"

namespace GAME {

namespace {

bool IsPassingTrouble(Resource::InitResult result) {
    return result == Resource::InitResult::PartlyInitialized || result == Resource::InitResult::OutOfMemory ||
           result == Resource::InitResult::Retry;
}

}  // namespace

Resource::Resource(BaseResourceManager* manager, const std::string& fileName, ResourceType type)
    : manager_(manager), fileName_(fileName), type_(type) {}

Resource::~Resource() = default;

void Resource::PreLoadDependentResources() const {}

uint32_t Resource::GetDataLength(File* file) { return file ? file->GetLength() : 0; }

void Resource::InitializeDefault() {}

uint32_t Resource::GetLastFrameUsed() const { return lastFrameUsed_.load(std::memory_order_relaxed); }

std::string Resource::GetDebugInfo() const { return {}; }

void Resource::LogInfo() const {
    Log(LogPriority::Info, "%s", fileName_.c_str());
    Log(LogPriority::Info, "   loadedState: %d", static_cast<int>(GetLoadedState()));
    Log(LogPriority::Info, "   initResult: %d", static_cast<int>(GetInitResult()));
    Log(LogPriority::Info, "   lastFrameUsed: %u", GetLastFrameUsed());
    Log(LogPriority::Info, "   systemMemory: %zu", GetSystemMemoryUsage());
    Log(LogPriority::Info, "   videoMemory: %zu", GetVideoMemoryUsage());
}

size_t Resource::GetSystemMemoryUsage() const { return fileName_.size(); }

size_t Resource::GetVideoMemoryUsage() const { return 0; }

ResourceLoader* Resource::GetResourceLoader() const { return &manager_->GetResourceLoader(); }

uint32_t Resource::GetFrameCount() const { return manager_->GetResourceLoader().GetFrameCount(); }

bool Resource::GetIsLoaded(bool wait) const {
    LoadedState state = GetLoadedState();
    if (wait && state == LoadedState::Loading && loadingThread_.load() != std::this_thread::get_id()) {
        loadedState_.wait(LoadedState::Loading, std::memory_order_acquire);
        state = GetLoadedState();
    }
    return state == LoadedState::Loaded;
}

void Resource::LoadIfNeeded() const {
    const uint32_t frame = GetFrameCount();
    MarkAsUsed(frame);
    for (;;) {
        const LoadedState state = GetLoadedState();
        if (state == LoadedState::NotLoaded) {
            if (TryLoad()) return;
        } else if (state == LoadedState::Loading) {
            // A resource asking for itself while it initialises has nothing to wait for.
            if (loadingThread_.load() == std::this_thread::get_id()) return;
            loadedState_.wait(LoadedState::Loading, std::memory_order_acquire);
        } else {
            if (!IsPassingTrouble(GetInitResult()) || !MayTryAgain(frame)) return;
            if (TryTakeLoadedAndDestroy()) {
                LoadHeld();
                return;
            }
        }
    }
}

void Resource::MarkAsTouched() const { lastFrameTouched_.store(GetFrameCount(), std::memory_order_relaxed); }

void Resource::MarkAsUsed() const { MarkAsUsed(GetFrameCount()); }

bool Resource::MayTryAgain(uint32_t frame) const {
    return !IsPassingTrouble(GetInitResult()) ||
           frame - lastFrameTried_.load(std::memory_order_acquire) > kRetryFrames;
}

bool Resource::TryLoad() const {
    LoadedState expected = LoadedState::NotLoaded;
    if (!loadedState_.compare_exchange_strong(expected, LoadedState::Loading, std::memory_order_acq_rel))
        return false;
    loadingThread_.store(std::this_thread::get_id());
    LoadHeld();
    return true;
}

void Resource::LoadHeld() const {
    // Loading fills the cache behind the const face that users see.
    Resource& self = const_cast<Resource&>(*this);
    const uint32_t frame = GetFrameCount();
    FileSystem& files = GetResourceLoader()->GetFileSystem();
    File* file = files.OpenFile(fileName_, FileMode::Read);
    {
        CriticalSectionLock lock(lock_);
        InitResult result = InitResult::InvalidData;
        // A throwing Initialize must not leave the resource in the Loading state for ever.
        try {
            if (!file) {
                Log(LogPriority::Error, "Resource file %s could not be opened", fileName_.c_str());
            } else {
                const uint32_t length = self.GetDataLength(file);
                const void* data = length ? file->Lock(0, length) : nullptr;
                if (!length || data) result = self.Initialize(data, length);
                file->Unlock();
            }
        } catch (const std::bad_alloc&) {
            Log(LogPriority::Error, "Resource %s ran out of memory while loading", fileName_.c_str());
            result = InitResult::OutOfMemory;
        } catch (const std::exception& error) {
            Log(LogPriority::Error, "Resource %s failed to load: %s", fileName_.c_str(), error.what());
            result = InitResult::InvalidData;
        }
        initResult_.store(result, std::memory_order_release);
        lastFrameTried_.store(frame, std::memory_order_release);
        if (result != InitResult::Success) {
            try {
                self.InitializeDefault();
            } catch (const std::exception& error) {
                Log(LogPriority::Error, "Resource %s has no stand-in: %s", fileName_.c_str(), error.what());
            }
        }
    }
    if (file) files.CloseFile(file);
    MarkAsUsed();
    ReleaseLoadState(LoadedState::Loaded);
}

void Resource::ReleaseLoadState(LoadedState state) const {
    loadingThread_.store(std::thread::id());
    loadedState_.store(state, std::memory_order_release);
    loadedState_.notify_all();
}

bool Resource::TryTakeLoadedAndDestroy() const {
    LoadedState expected = LoadedState::Loaded;
    if (!loadedState_.compare_exchange_strong(expected, LoadedState::Loading, std::memory_order_acq_rel))
        return false;
    loadingThread_.store(std::this_thread::get_id());
    CriticalSectionLock lock(lock_);
    const_cast<Resource*>(this)->Destroy();
    return true;
}

bool Resource::TryUnload() const {
    if (!TryTakeLoadedAndDestroy()) return false;
    ReleaseLoadState(LoadedState::NotLoaded);
    return true;
}

void Resource::Unload() const {
    for (;;) {
        if (TryUnload()) return;
        const LoadedState state = GetLoadedState();
        if (state == LoadedState::NotLoaded) return;
        if (state == LoadedState::Loading) loadedState_.wait(LoadedState::Loading, std::memory_order_acquire);
    }
}

void Resource::Reload(bool full) const {
    for (;;) {
        if (TryTakeLoadedAndDestroy()) {
            if (full) {
                LoadHeld();
            } else {
                ReleaseLoadState(LoadedState::NotLoaded);
                GetResourceLoader()->EnqueueResource(this, ResourcePriority::Normal, false, false);
            }
            return;
        }
        const LoadedState state = GetLoadedState();
        if (state == LoadedState::NotLoaded) return;
        if (state == LoadedState::Loading) loadedState_.wait(LoadedState::Loading, std::memory_order_acquire);
    }
}

}  // namespace GAME
