#pragma once
// Resource: the base of everything loaded from one file and shared through a resource manager
// (fonts, meshes, animations, shaders, textures, effects).
//
// A resource is made unloaded by its manager and loaded later, by the loader thread from a queued
// request or by whichever thread first needs it (EnsureAvailable). Loading reads the file through
// the loader's FileSystem and hands the bytes to Initialize; when Initialize does not succeed (or
// the file cannot be read) InitializeDefault gives the resource a stand-in, and the resource
// counts as loaded either way. Results 1-3 are passing troubles, so such a resource is loaded
// again on use once more than kRetryFrames frames have gone by.
//
// Threads: the load state changes only by atomic compare-and-exchange, so exactly one thread
// loads, reloads or unloads a resource at a time and the others wait for it. Initialize,
// InitializeDefault and Destroy run under the resource's own lock (Lock/Unlock), which readers that
// need a consistent view take too. Never wait for a load (EnsureAvailable, GetIsLoaded(true))
// while holding that lock: the loading thread needs it. A load may run on any thread, so
// Initialize must not assume the main thread.
//
// Frames: the touched and used stamps and the retry delay count the loader's frame counter
// (ResourceLoader::GetFrameCount), which the engine advances once a frame.
//
// Users hold resources as const pointers; loading is an internal cache fill, which is why the
// loading operations are const.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "core/CriticalSection.h"

namespace GAME {

class BaseResourceManager;
class File;
class ResourceLoader;

class Resource {
public:
    // What kind of file a resource holds.
    enum class ResourceType : int {
        Other = 0,
        Effect = 1,
        Animation = 2,
        Font = 3,
        Shader = 4,
        Mesh = 5,
        Texture = 6,
    };

    // The outcome of Initialize. PartlyInitialized, OutOfMemory and Retry are passing troubles
    // (a device buffer was not made, memory ran out, the device was lost) and are retried.
    enum class InitResult : int {
        Success = 0,
        PartlyInitialized = 1,
        OutOfMemory = 2,
        Retry = 3,
        InvalidData = 4,
    };

    enum class LoadedState : int {
        NotLoaded = 0,
        Loading = 1,
        Loaded = 2,
    };

    // Frames that must pass before a resource whose load had a passing trouble is tried again.
    static constexpr uint32_t kRetryFrames = 60;

    // The manager owns the resource; it is never null.
    Resource(BaseResourceManager* manager, const std::string& fileName, ResourceType type);
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    // Virtual operations, in this order.
    virtual ~Resource();
    // Queues the resources this one uses with the loader (a mesh its textures and shaders).
    virtual void PreLoadDependentResources() const;
    // The number of bytes of the file to read and hand to Initialize (the base: the whole file).
    virtual uint32_t GetDataLength(File* file);
    // Builds the resource from the bytes. An Initialize that fails with InvalidData calls its own
    // Destroy first.
    virtual InitResult Initialize(const void* data, uint32_t size) = 0;
    // Gives the resource a stand-in after a failed Initialize; GetInitResult tells why.
    virtual void InitializeDefault();
    // Frees what Initialize or InitializeDefault built. Must be safe to call again.
    virtual void Destroy() = 0;
    virtual uint32_t GetLastFrameUsed() const;
    // A short text for resource logs (the base: empty).
    virtual std::string GetDebugInfo() const;
    // Logs the resource's name, state and sizes; derived classes add their own lines after these.
    virtual void LogInfo() const;
    // Bytes of system memory the resource holds; the base's part is its file name.
    virtual size_t GetSystemMemoryUsage() const;
    virtual size_t GetVideoMemoryUsage() const;

    const std::string& GetFileName() const { return fileName_; }
    ResourceType GetResourceType() const { return type_; }
    BaseResourceManager* GetResourceManager() const { return manager_; }
    ResourceLoader* GetResourceLoader() const;

    LoadedState GetLoadedState() const { return loadedState_.load(std::memory_order_acquire); }
    // Whether the resource is loaded; with wait, a load in progress is waited for first.
    bool GetIsLoaded(bool wait) const;
    // Stamps the resource used and touched; loads it on this thread when it is not loaded, waits
    // when another thread is loading it, and loads it again when its last load had a passing
    // trouble more than kRetryFrames frames ago. Called first by every query of a resource, so
    // the common case (loaded without trouble: stamp and go on) is decided here, inline.
    void EnsureAvailable() const {
        if (GetLoadedState() == LoadedState::Loaded && GetInitResult() == InitResult::Success) {
            MarkAsUsed(GetFrameCount());
            return;
        }
        LoadIfNeeded();
    }
    // The outcome of the last load.
    InitResult GetInitResult() const { return initResult_.load(std::memory_order_acquire); }

    // Touched: the resource was wanted (queued, checked for readiness). Used: it was read.
    void MarkAsTouched() const;
    // Stamps used and touched.
    void MarkAsUsed() const;
    uint32_t GetLastFrameTouched() const { return lastFrameTouched_.load(std::memory_order_relaxed); }

    void Lock() const { lock_.Enter(); }
    void Unlock() const { lock_.Exit(); }

private:
    friend class BaseResourceManager;
    friend class ResourceLoader;

    // Loads when not loaded: false when another thread holds the load state.
    bool TryLoad() const;
    // Reads the file and initialises; the caller holds the Loading state.
    void LoadHeld() const;
    // Ends a Loading state held by this thread.
    void ReleaseLoadState(LoadedState state) const;
    // Takes the Loading state from a loaded resource and destroys it; false when not loaded.
    bool TryTakeLoadedAndDestroy() const;
    // Destroys a loaded resource and leaves it not loaded; false when it was not loaded.
    bool TryUnload() const;
    // As TryUnload, but waits for a load in progress first.
    void Unload() const;
    // Destroys a loaded resource and loads it again now (full) or queues it with the loader.
    void Reload(bool full) const;
    // False while the last load had a passing trouble less than kRetryFrames frames ago.
    bool MayTryAgain(uint32_t frame) const;
    uint32_t GetFrameCount() const;
    // MarkAsUsed at a frame already read (every query reads it once).
    void MarkAsUsed(uint32_t frame) const {
        lastFrameUsed_.store(frame, std::memory_order_relaxed);
        lastFrameTouched_.store(frame, std::memory_order_relaxed);
    }
    // EnsureAvailable beyond its common case.
    void LoadIfNeeded() const;

    BaseResourceManager* const manager_;
    const std::string fileName_;
    const ResourceType type_;
    mutable CriticalSection lock_;
    mutable std::atomic<LoadedState> loadedState_{LoadedState::NotLoaded};
    mutable std::atomic<InitResult> initResult_{InitResult::Success};
    mutable std::atomic<uint32_t> lastFrameTried_{0};      // frame of the last load
    mutable std::atomic<uint32_t> lastFrameUsed_{0};
    mutable std::atomic<uint32_t> lastFrameTouched_{0};
    mutable std::atomic<std::thread::id> loadingThread_{};  // holder of the Loading state
};

}  // namespace GAME
