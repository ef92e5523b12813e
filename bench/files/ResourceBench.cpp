// The resource loader's throughput: 10,000 tiny resources requested through EnqueueResource and
// loaded by the one loader thread, against reading the same files directly on the calling thread.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/FileSystem.h"
#include "files/Resource.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"

namespace {

using namespace GAME;

constexpr int kFiles = 10000;

// A resource that keeps its file's few bytes.
class TinyResource : public Resource {
public:
    TinyResource(BaseResourceManager* manager, const std::string& fileName)
        : Resource(manager, fileName, ResourceType::Other) {}
    ~TinyResource() override { Destroy(); }
    InitResult Initialize(const void* data, uint32_t size) override {
        size_ = std::min<uint32_t>(size, sizeof(bytes_));
        if (data) std::memcpy(bytes_, data, size_);
        return InitResult::Success;
    }
    void Destroy() override { size_ = 0; }

private:
    char bytes_[16] = {};
    uint32_t size_ = 0;
};

// 10,000 files of 16 bytes in 100 directories, mounted; removed at exit.
class TinyFiles {
public:
    TinyFiles() {
        namespace fs = std::filesystem;
        root_ = (fs::temp_directory_path() / "game-bench-XXXXXX").string();
        if (!::mkdtemp(root_.data())) std::abort();
        for (int i = 0; i < kFiles; ++i) {
            names_.push_back("Dir" + std::to_string(i % 100) + "/File" + std::to_string(i) + ".bin");
            const fs::path path = fs::path(root_) / names_.back();
            fs::create_directories(path.parent_path());
            std::ofstream(path) << "resource " << (10000000 + i);
        }
        files_.AddDirectory(root_);
    }
    ~TinyFiles() { std::filesystem::remove_all(root_); }

    FileSystem& GetFileSystem() { return files_; }
    const std::vector<std::string>& GetNames() const { return names_; }

private:
    std::string root_;
    std::vector<std::string> names_;
    FileSystem files_;
};

TinyFiles& Files() {
    static TinyFiles files;
    return files;
}

// Fresh resources each round, queued at once; timed until the marker after them is passed.
void BM_EnqueueToLoaded(benchmark::State& state) {
    TinyFiles& data = Files();
    for (auto _ : state) {
        state.PauseTiming();
        auto loader = std::make_unique<ResourceLoader>(data.GetFileSystem());
        auto manager = std::make_unique<ResourceManager<TinyResource>>(*loader);
        std::vector<const TinyResource*> resources;
        resources.reserve(kFiles);
        for (const std::string& name : data.GetNames()) resources.push_back(manager->LoadResource(name));
        loader->StartThread();
        state.ResumeTiming();

        for (const TinyResource* resource : resources)
            loader->EnqueueResource(resource, ResourcePriority::Normal, false, false);
        const uint32_t marker = loader->CreateMarker();
        while (!loader->GetHasMarkerPast(marker)) std::this_thread::sleep_for(std::chrono::microseconds(200));

        state.PauseTiming();
        loader->StopThread();
        manager.reset();
        loader.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}
BENCHMARK(BM_EnqueueToLoaded)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same files opened, read and closed one after another on this thread.
void BM_ReadDirectly(benchmark::State& state) {
    TinyFiles& data = Files();
    FileSystem& files = data.GetFileSystem();
    char bytes[16];
    for (auto _ : state) {
        for (const std::string& name : data.GetNames()) {
            File* file = files.OpenFile(name, FileMode::Read);
            const uint32_t length = std::min<uint32_t>(file->GetLength(), sizeof(bytes));
            std::memcpy(bytes, file->Lock(0, length), length);
            file->Unlock();
            files.CloseFile(file);
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFiles);
}
BENCHMARK(BM_ReadDirectly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
