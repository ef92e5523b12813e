#pragma once
// BaseResourceManager: the registry of the resources of one kind, by the normal form of their
// file names, with reference counts, eviction of resources nobody looks at, and a memory budget.
// ResourceManager<T> adds the creation of T.
//
// Life of a resource: LoadResource makes it (unloaded) on first request and counts a reference
// per call; it loads when it is queued with the loader or first used (Resource). UnloadResource
// drops a reference. UnloadUnreferencedResources takes the resources without references out of
// the registry; each is destroyed and deleted (by that call or a later one) once every thread with
// an unload fence has set a newer one (see below), so a thread that still holds a pointer it took before its last fence
// never sees it freed. Its requests are dropped from the loader first, and a load in progress is
// waited for. A name asked for again meanwhile gets a new resource.
//
// Eviction frees the data of resources that are still referenced but have not been looked at for
// a while (Destroy; they load again on next use). EvictOldResources looks at one slice of the
// registry per call, taking the slices in turn: max(kMinEvictionSlice, count / kEvictionSlices)
// resources, so every resource is seen about every kEvictionSlices calls. With a delay, a resource is
// only marked, and unloaded by a later call once the delay has passed and it is still as old.
//
// Unload fences (static, shared by every manager): the main thread sets its fence at the end of
// every frame; a background thread sets its fence while it works and removes it when it goes
// idle. A thread without a fence is taken to hold no resource pointer without a reference. The
// pause (SetThreadFencesPaused) stops the loader from taking new requests and waits for the one in
// progress, so a caller can reload every resource without racing it.
//
// Threads: every operation may be called from any thread. The registry lock is never held while
// a resource loads, unloads or reports its sizes: the resources being worked on are pinned by an
// extra reference instead.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"

namespace GAME {

class Resource;
class ResourceLoader;

class BaseResourceManager {
public:
    // Eviction slices: a call looks at max(kMinEvictionSlice, count / kEvictionSlices) resources.
    static constexpr int kEvictionSlices = 8;
    static constexpr int kMinEvictionSlice = 16;

    // The loader must outlive the manager.
    explicit BaseResourceManager(ResourceLoader& loader);
    // Frees every resource, referenced or not (with a warning for those still referenced).
    virtual ~BaseResourceManager();
    BaseResourceManager(const BaseResourceManager&) = delete;
    BaseResourceManager& operator=(const BaseResourceManager&) = delete;

    // The resource of a file, made on first request, with one more reference. Null for an empty
    // name.
    const Resource* LoadResource(const std::string& fileName);
    // One reference less. Null is ignored; a resource this manager does not hold is logged.
    void UnloadResource(const Resource* resource);

    // Every loaded resource is destroyed and loaded again: at once on this thread when full,
    // otherwise it is queued with the loader (and loads on first use if that comes sooner).
    void ReloadAllResources(bool full);
    // Takes the resources without references out of the registry, and frees those that every
    // fenced thread has moved past.
    void UnloadUnreferencedResources();
    // In this call's slice, unloads the loaded resources not touched for more than
    // framesSinceTouched frames or not used for more than framesSinceUsed, skipping those with
    // at most minimumSize bytes of video memory when minimumSize is not 0; with delayFrames the
    // unload happens that many frames later, unless the resource has been touched or used since.
    void EvictOldResources(uint32_t framesSinceTouched, uint32_t framesSinceUsed, size_t minimumSize,
                           uint32_t delayFrames);

    // With a budget set and the usage counter over it, unloads loaded resources, least recently
    // used first, skipping those used in the current frame, until the usage is within it.
    // Derived managers add their own budget steps.
    virtual void MaintainBudget();
    // 0 (the default) means no budget.
    void SetMemoryBudget(size_t bytes) { budget_.store(bytes, std::memory_order_relaxed); }
    size_t GetMemoryBudget() const { return budget_.load(std::memory_order_relaxed); }
    // The usage counter, kept by the resources that report to it (the animation adds its file
    // size when it loads and subtracts it when destroyed). It never goes below 0.
    void IncrementMemoryUsage(size_t bytes);
    void DecrementMemoryUsage(size_t bytes);
    size_t GetMemoryUsage() const;

    // Logs LogInfo of every loaded resource, then a total line.
    void ListLoadedResources();
    // Writes the title and a line per resource (references, state, sizes, debug text) to a file.
    void WriteResourceLog(const char* title, FILE* file);
    // Resources in the registry (not counting those waiting to be freed).
    int GetNumResources() const;

    ResourceLoader& GetResourceLoader() const { return loader_; }

    // Stops (true) or resumes (false) the loader's serving of requests; see above.
    static void SetThreadFencesPaused(bool paused);
    // Records the calling thread's fence: it holds no resource pointer taken before this call
    // without a reference.
    static void SetThreadUnloadFence();
    // Drops the calling thread's fence: it holds no resource pointer without a reference.
    static void RemoveThreadFenceCounter();

protected:
    // Makes the resource of a file (not loaded). fileName is the name as first asked for.
    virtual Resource* CreateResource(const std::string& fileName) = 0;

private:
    // A registered resource.
    struct Entry {
        std::unique_ptr<Resource> resource;  // owned
        int references = 0;               // users' references plus the manager's own pins
        bool unloadPending = false;       // marked by a delayed eviction
        uint32_t unloadFrame = 0;         // frame from which the pending unload may happen
        uint32_t framesSinceTouched = 0;  // the criteria of the pending unload, checked again
        uint32_t framesSinceUsed = 0;     // when it is due
    };
    // A resource out of the registry, waiting for the fences.
    struct Waiting {
        std::unique_ptr<Resource> resource;  // owned
        uint64_t epoch;                   // fence epoch when it left the registry
    };
    // A pinned resource with the eviction criteria it is checked against.
    struct Candidate {
        const Resource* resource;     // pinned
        uint32_t framesSinceTouched;  // unloaded when not touched for more frames than this
        uint32_t framesSinceUsed;     // or not used for more frames than this
    };
    using Registry = mem::map<std::string, Entry>;

    // Adds a pin (a reference) so that the resource stays registered while the lock is not held.
    void PinLocked(Entry& entry);
    void UnpinLocked(const Resource* resource);
    Entry* FindLocked(const Resource* resource);
    // Pins every loaded resource (all of them with loadedOnly false).
    mem::vector<const Resource*> PinAll(bool loadedOnly);
    void Unpin(const mem::vector<const Resource*>& pinned);
    // Unloads and deletes resources that are out of the registry.
    void Free(mem::vector<Waiting>& resources);

    ResourceLoader& loader_;
    mutable CriticalSection lock_;
    Registry registry_;
    // Registered resources by pointer, so that a pointer handed in is never followed before it is
    // known to be one of ours.
    mem::hash_map<const Resource*, Registry::iterator> byResource_;
    mem::vector<const Resource*> unreferenced_;  // resources whose references dropped to 0
    mem::vector<const Resource*> pending_;       // resources with a pending unload
    mem::vector<Waiting> waiting_;               // out of the registry, waiting for the fences
    std::string evictionCursor_;                 // name where the last eviction slice ended
    std::atomic<size_t> budget_{0};               // bytes; 0 for none
    std::atomic<int64_t> memoryUsage_{0};         // bytes, from Increment/DecrementMemoryUsage
};

}  // namespace GAME
