#pragma once
// A resource with no device behind it, for the resource, loader and manager tests: Initialize
// keeps the file's bytes and returns the next scripted result, InitializeDefault puts "default" in
// their place, and every call is counted.

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/BaseResourceManager.h"
#include "files/FileSystem.h"
#include "files/Resource.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "support/TempDirectory.h"

namespace GAME::test {

class TestResource : public Resource {
public:
    TestResource(BaseResourceManager* manager, const std::string& fileName)
        : Resource(manager, fileName, ResourceType::Other) {}
    ~TestResource() override {
        Destroy();
        if (deleted_) deleted_->store(true);
    }

    // Results for the next Initialize calls, in order; Success once they run out.
    void Script(std::initializer_list<InitResult> results) {
        std::lock_guard<std::mutex> lock(mutex_);
        script_.assign(results);
    }
    // Sets the flag when the resource is deleted.
    void WatchDeletion(std::atomic<bool>* deleted) { deleted_ = deleted; }
    // Resources queued with the loader when this one's dependents are preloaded.
    void SetDependents(std::vector<const Resource*> dependents) { dependents_ = std::move(dependents); }
    void SetVideoMemory(size_t bytes) { videoMemory_ = bytes; }
    // Asks the loader for this many bytes of the file rather than all of it.
    void SetDataLength(uint32_t bytes) { dataLength_ = bytes; }
    // Runs at the start of every Initialize, on the loading thread.
    void OnInitialize(std::function<void()> hook) { onInitialize_ = std::move(hook); }
    // Bytes the resource reports to its manager's usage counter while loaded.
    void SetCountedMemory(size_t bytes) { countedMemory_ = bytes; }

    std::string GetContents() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return contents_;
    }
    int GetInitializeCalls() const { return initializeCalls_.load(); }
    int GetDefaultCalls() const { return defaultCalls_.load(); }
    int GetDestroyCalls() const { return destroyCalls_.load(); }
    int GetPreLoadCalls() const { return preLoadCalls_.load(); }

    void PreLoadDependentResources() const override {
        ++preLoadCalls_;
        for (const Resource* dependent : dependents_)
            GetResourceLoader()->EnqueueResource(dependent, ResourcePriority::Normal, false, false);
    }

    InitResult Initialize(const void* data, uint32_t size) override {
        ++initializeCalls_;
        if (onInitialize_) onInitialize_();
        InitResult result = InitResult::Success;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!script_.empty()) {
                result = script_.front();
                script_.pop_front();
            }
        }
        if (result == InitResult::InvalidData) {
            Destroy();
            return result;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (data)
            contents_.assign(static_cast<const char*>(data), size);
        else
            contents_.clear();
        if (countedMemory_ && !counted_) {
            GetResourceManager()->IncrementMemoryUsage(countedMemory_);
            counted_ = true;
        }
        return result;
    }

    void InitializeDefault() override {
        ++defaultCalls_;
        std::lock_guard<std::mutex> lock(mutex_);
        contents_ = "default";
    }

    void Destroy() override {
        ++destroyCalls_;
        std::lock_guard<std::mutex> lock(mutex_);
        contents_.clear();
        if (counted_) {
            GetResourceManager()->DecrementMemoryUsage(countedMemory_);
            counted_ = false;
        }
    }

    uint32_t GetDataLength(File* file) override { return dataLength_ ? dataLength_ : Resource::GetDataLength(file); }
    size_t GetVideoMemoryUsage() const override { return videoMemory_; }

private:
    mutable std::mutex mutex_;
    std::deque<InitResult> script_;
    std::string contents_;
    bool counted_ = false;
    std::atomic<bool>* deleted_ = nullptr;
    std::vector<const Resource*> dependents_;
    std::function<void()> onInitialize_;
    size_t videoMemory_ = 0;
    uint32_t dataLength_ = 0;
    size_t countedMemory_ = 0;
    std::atomic<int> initializeCalls_{0};
    std::atomic<int> defaultCalls_{0};
    std::atomic<int> destroyCalls_{0};
    mutable std::atomic<int> preLoadCalls_{0};
};

using TestResourceManager = ResourceManager<TestResource>;

// Tests configure the resources the manager hands out as const.
inline TestResource& Edit(const TestResource* resource) { return const_cast<TestResource&>(*resource); }

// A writable data directory mounted in a file system, a loader without its thread and a manager of
// test resources; the fences and the pause are reset afterwards.
class ResourceFixture : public ::testing::Test {
protected:
    ResourceFixture() { files.AddDirectory(dir.GetPath(), true); }
    ~ResourceFixture() override {
        BaseResourceManager::SetThreadFencesPaused(false);
        BaseResourceManager::RemoveThreadFenceCounter();
    }

    void WriteFile(const std::string& name, const std::string& contents) {
        File* file = files.OpenFile(name, FileMode::Write);
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(file->Write(0, contents.data(), static_cast<uint32_t>(contents.size())));
        files.CloseFile(file);
    }
    // A resource of a file written with the contents, with one reference.
    const TestResource* Make(const std::string& name, const std::string& contents = "abc") {
        WriteFile(name, contents);
        return manager.LoadResource(name);
    }

    TempDirectory dir;
    FileSystem files;
    ResourceLoader loader{files};
    TestResourceManager manager{loader};
};

}  // namespace GAME::test
