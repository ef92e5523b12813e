#include "files/BaseResourceManager.h"

#include <algorithm>
#include <iterator>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "files/FileSystem.h"
#include "files/Resource.h"
#include "files/ResourceFences.h"
#include "files/ResourceLoader.h"

namespace GAME {

namespace {

uint32_t FramesSince(uint32_t now, uint32_t stamp) { return stamp > now ? 0 : now - stamp; }

bool IsOld(const Resource& resource, uint32_t now, uint32_t framesSinceTouched, uint32_t framesSinceUsed) {
    return FramesSince(now, resource.GetLastFrameTouched()) > framesSinceTouched ||
           FramesSince(now, resource.GetLastFrameUsed()) > framesSinceUsed;
}

const char* StateName(Resource::LoadedState state) {
    switch (state) {
        case Resource::LoadedState::NotLoaded: return "not loaded";
        case Resource::LoadedState::Loading: return "loading";
        case Resource::LoadedState::Loaded: return "loaded";
    }
    return "?";
}

}  // namespace

BaseResourceManager::BaseResourceManager(ResourceLoader& loader) : loader_(loader) {}

BaseResourceManager::~BaseResourceManager() {
    mem::vector<Waiting> all;
    {
        CriticalSectionLock lock(lock_);
        for (auto& [name, entry] : registry_) {
            if (entry.references > 0)
                Log(LogPriority::Warning, "Resource %s is freed with %d references left", name.c_str(),
                    entry.references);
            all.push_back({std::move(entry.resource), 0});
        }
        registry_.clear();
        byResource_.clear();
        for (Waiting& waiting : waiting_) all.push_back(std::move(waiting));
        waiting_.clear();
    }
    Free(all);
}

const Resource* BaseResourceManager::LoadResource(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    std::string name = fileName;
    FileSystem::ConvertFileName(name);
    CriticalSectionLock lock(lock_);
    auto it = registry_.find(name);
    if (it == registry_.end()) {
        std::unique_ptr<Resource> resource(CreateResource(fileName));
        if (!resource) {
            Log(LogPriority::Error, "Resource %s could not be created", fileName.c_str());
            return nullptr;
        }
        it = registry_.emplace(std::move(name), Entry{}).first;
        it->second.resource = std::move(resource);
        byResource_.emplace(it->second.resource.get(), it);
    }
    ++it->second.references;
    return it->second.resource.get();
}

void BaseResourceManager::UnloadResource(const Resource* resource) {
    if (!resource) return;
    CriticalSectionLock lock(lock_);
    Entry* entry = FindLocked(resource);
    if (!entry || entry->references <= 0) {
        Log(LogPriority::Error, "UnloadResource: resource %p is not referenced in this manager",
            static_cast<const void*>(resource));
        return;
    }
    UnpinLocked(resource);
}

void BaseResourceManager::ReloadAllResources(bool full) {
    // Every resource, so that one being loaded right now is waited for and loaded again too.
    const mem::vector<const Resource*> pinned = PinAll(false);
    for (const Resource* resource : pinned) resource->Reload(full);
    Unpin(pinned);
}

void BaseResourceManager::UnloadUnreferencedResources() {
    ResourceFences& fences = ResourceFences::Get();
    mem::vector<Waiting> ready;
    {
        CriticalSectionLock lock(lock_);
        // Read after the lock is taken: a thread that got one of these pointers from the registry
        // set its fence before, so its fence is at most this epoch.
        const uint64_t epoch = fences.GetEpoch();
        for (const Resource* resource : unreferenced_) {
            const auto found = byResource_.find(resource);
            if (found == byResource_.end() || found->second->second.references != 0) continue;
            const Registry::iterator it = found->second;
            byResource_.erase(found);
            waiting_.push_back({std::move(it->second.resource), epoch});
            registry_.erase(it);
        }
        unreferenced_.clear();
        const auto passed = std::stable_partition(waiting_.begin(), waiting_.end(), [&fences](const Waiting& waiting) {
            return !fences.HaveAllThreadsPassed(waiting.epoch);
        });
        std::move(passed, waiting_.end(), std::back_inserter(ready));
        waiting_.erase(passed, waiting_.end());
    }
    Free(ready);
}

void BaseResourceManager::EvictOldResources(uint32_t framesSinceTouched, uint32_t framesSinceUsed,
                                            size_t minimumSize, uint32_t delayFrames) {
    const uint32_t now = loader_.GetFrameCount();
    mem::vector<Candidate> due;
    mem::vector<Candidate> slice;
    {
        CriticalSectionLock lock(lock_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            Entry* entry = FindLocked(*it);
            if (entry && entry->unloadPending && now < entry->unloadFrame) {
                ++it;
                continue;
            }
            if (entry && entry->unloadPending) {
                entry->unloadPending = false;
                PinLocked(*entry);
                due.push_back({*it, entry->framesSinceTouched, entry->framesSinceUsed});
            }
            it = pending_.erase(it);
        }

        const size_t count = registry_.size();
        const size_t sliceSize =
            std::min(count, std::max<size_t>(kMinEvictionSlice, count / static_cast<size_t>(kEvictionSlices)));
        auto it = registry_.upper_bound(evictionCursor_);
        for (size_t i = 0; i < sliceSize; ++i, ++it) {
            if (it == registry_.end()) it = registry_.begin();
            evictionCursor_ = it->first;
            Entry& entry = it->second;
            if (entry.unloadPending || entry.resource->GetLoadedState() != Resource::LoadedState::Loaded) continue;
            PinLocked(entry);
            slice.push_back({entry.resource.get(), framesSinceTouched, framesSinceUsed});
        }
    }

    for (const Candidate& candidate : due)
        if (IsOld(*candidate.resource, now, candidate.framesSinceTouched, candidate.framesSinceUsed))
            candidate.resource->TryUnload();

    mem::vector<const Resource*> delayed;
    for (const Candidate& candidate : slice) {
        const Resource& resource = *candidate.resource;
        if (resource.GetLoadedState() != Resource::LoadedState::Loaded) continue;
        if (!IsOld(resource, now, framesSinceTouched, framesSinceUsed)) continue;
        if (minimumSize != 0 && resource.GetVideoMemoryUsage() <= minimumSize) continue;
        if (delayFrames == 0)
            resource.TryUnload();
        else
            delayed.push_back(&resource);
    }

    CriticalSectionLock lock(lock_);
    for (const Resource* resource : delayed) {
        Entry* entry = FindLocked(resource);
        if (entry->unloadPending) continue;
        entry->unloadPending = true;
        entry->unloadFrame = now + delayFrames;
        entry->framesSinceTouched = framesSinceTouched;
        entry->framesSinceUsed = framesSinceUsed;
        pending_.push_back(resource);
    }
    for (const Candidate& candidate : due) UnpinLocked(candidate.resource);
    for (const Candidate& candidate : slice) UnpinLocked(candidate.resource);
}

void BaseResourceManager::MaintainBudget() {
    const size_t budget = GetMemoryBudget();
    if (budget == 0 || GetMemoryUsage() <= budget) return;
    const uint32_t now = loader_.GetFrameCount();
    const mem::vector<const Resource*> pinned = PinAll(true);
    mem::vector<std::pair<uint32_t, const Resource*>> byAge;
    byAge.reserve(pinned.size());
    for (const Resource* resource : pinned) byAge.emplace_back(resource->GetLastFrameUsed(), resource);
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [lastUsed, resource] : byAge) {
        if (GetMemoryUsage() <= budget) break;
        if (lastUsed != now) resource->TryUnload();
    }
    Unpin(pinned);
}

void BaseResourceManager::IncrementMemoryUsage(size_t bytes) {
    memoryUsage_.fetch_add(static_cast<int64_t>(bytes), std::memory_order_relaxed);
}

void BaseResourceManager::DecrementMemoryUsage(size_t bytes) {
    int64_t current = memoryUsage_.load(std::memory_order_relaxed);
    int64_t next;
    do {
        next = current > static_cast<int64_t>(bytes) ? current - static_cast<int64_t>(bytes) : 0;
    } while (!memoryUsage_.compare_exchange_weak(current, next, std::memory_order_relaxed));
}

size_t BaseResourceManager::GetMemoryUsage() const {
    return static_cast<size_t>(memoryUsage_.load(std::memory_order_relaxed));
}

void BaseResourceManager::ListLoadedResources() {
    const mem::vector<const Resource*> pinned = PinAll(true);
    size_t systemMemory = 0;
    size_t videoMemory = 0;
    for (const Resource* resource : pinned) {
        resource->LogInfo();
        systemMemory += resource->GetSystemMemoryUsage();
        videoMemory += resource->GetVideoMemoryUsage();
    }
    Log(LogPriority::Info, "%zu loaded resources, %zu bytes of system memory, %zu bytes of video memory",
        pinned.size(), systemMemory, videoMemory);
    Unpin(pinned);
}

void BaseResourceManager::WriteResourceLog(const char* title, FILE* file) {
    if (!file) return;
    mem::vector<const Resource*> pinned;
    mem::vector<int> references;
    {
        CriticalSectionLock lock(lock_);
        for (auto& [name, entry] : registry_) {
            references.push_back(entry.references);
            PinLocked(entry);
            pinned.push_back(entry.resource.get());
        }
    }
    std::fprintf(file, "%s\n", title ? title : "");
    std::fprintf(file, "%-64s %5s %-10s %6s %10s %12s %12s %s\n", "file", "refs", "state", "result", "last used",
                 "system", "video", "info");
    for (size_t i = 0; i < pinned.size(); ++i) {
        const Resource* resource = pinned[i];
        std::fprintf(file, "%-64s %5d %-10s %6d %10u %12zu %12zu %s\n", resource->GetFileName().c_str(), references[i],
                     StateName(resource->GetLoadedState()), static_cast<int>(resource->GetInitResult()),
                     resource->GetLastFrameUsed(), resource->GetSystemMemoryUsage(),
                     resource->GetVideoMemoryUsage(), resource->GetDebugInfo().c_str());
    }
    std::fprintf(file, "\n");
    Unpin(pinned);
}

int BaseResourceManager::GetNumResources() const {
    CriticalSectionLock lock(lock_);
    return static_cast<int>(registry_.size());
}

void BaseResourceManager::SetThreadFencesPaused(bool paused) { ResourceFences::Get().SetPaused(paused); }

void BaseResourceManager::SetThreadUnloadFence() { ResourceFences::Get().SetThreadFence(); }

void BaseResourceManager::RemoveThreadFenceCounter() { ResourceFences::Get().RemoveThreadFence(); }

void BaseResourceManager::PinLocked(Entry& entry) { ++entry.references; }

void BaseResourceManager::UnpinLocked(const Resource* resource) {
    Entry* entry = FindLocked(resource);
    if (entry && --entry->references == 0) unreferenced_.push_back(resource);
}

BaseResourceManager::Entry* BaseResourceManager::FindLocked(const Resource* resource) {
    const auto it = byResource_.find(resource);
    return it == byResource_.end() ? nullptr : &it->second->second;
}

mem::vector<const Resource*> BaseResourceManager::PinAll(bool loadedOnly) {
    mem::vector<const Resource*> pinned;
    CriticalSectionLock lock(lock_);
    pinned.reserve(registry_.size());
    for (auto& [name, entry] : registry_) {
        if (loadedOnly && entry.resource->GetLoadedState() != Resource::LoadedState::Loaded) continue;
        PinLocked(entry);
        pinned.push_back(entry.resource.get());
    }
    return pinned;
}

void BaseResourceManager::Unpin(const mem::vector<const Resource*>& pinned) {
    CriticalSectionLock lock(lock_);
    for (const Resource* resource : pinned) UnpinLocked(resource);
}

void BaseResourceManager::Free(mem::vector<Waiting>& resources) {
    for (Waiting& waiting : resources) {
        loader_.CancelResource(waiting.resource.get());
        waiting.resource->Unload();
        waiting.resource.reset();
    }
    resources.clear();
}

}  // namespace GAME
