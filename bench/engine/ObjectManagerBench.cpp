// The object manager's costs: making entities from a (cached) record and destroying them at the
// frame boundary, finding objects by id, and the name look-up, which looks at every object.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Name.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"

namespace {

using namespace GAME;

constexpr const char* kRecord = "Records/Bench/Entity.dbr";

// A mounted temporary directory holding one entity record, and a manager reading from it.
class RecordFixture {
public:
    RecordFixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "object-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        directory_ = pattern;
        std::filesystem::create_directories(directory_ + "/Records/Bench");
        std::ofstream(directory_ + "/" + kRecord) << "Class,Entity,\n";
        fileSystem_.AddDirectory(directory_);
        objects_.SetTableDepot(&depot_);
    }
    ~RecordFixture() {
        std::error_code error;
        std::filesystem::remove_all(directory_, error);
    }

    ObjectManager& GetObjects() { return objects_; }

private:
    std::string directory_;
    FileSystem fileSystem_;
    TableDepot depot_{fileSystem_};
    ObjectManager objects_;
};

// Makes a batch of entities from the record, destroys them, and drains the queue 20 a frame.
void BM_CreateAndDestroyFromRecord(benchmark::State& state) {
    RecordFixture fixture;
    ObjectManager& objects = fixture.GetObjects();
    const int batch = static_cast<int>(state.range(0));
    std::vector<Entity*> entities(batch);
    for (auto _ : state) {
        for (Entity*& entity : entities) entity = objects.CreateObjectFromFile<Entity>(kRecord);
        for (Entity* entity : entities) objects.DestroyObjectEx(entity, __FILE__, __LINE__);
        while (objects.DestroyPendingObjects(ObjectManager::kMaxDestroyedPerFrame) > 0) {
        }
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_CreateAndDestroyFromRecord)->Arg(1000);

void BM_GetObjectById(benchmark::State& state) {
    ObjectManager objects;
    const int count = static_cast<int>(state.range(0));
    std::vector<uint32_t> ids;
    for (int i = 0; i < count; ++i) ids.push_back(objects.CreateObject("Entity")->GetObjectId());
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(objects.GetObject(ids[next]));
        next = next + 1 == ids.size() ? 0 : next + 1;
    }
}
BENCHMARK(BM_GetObjectById)->Arg(10000);

void BM_GetObjectByName(benchmark::State& state) {
    ObjectManager objects;
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i) objects.CreateObject("Entity")->SetObjectName(("entity" + std::to_string(i)).c_str());
    const Name last = Name::Create(("entity" + std::to_string(count - 1)).c_str());
    for (auto _ : state) benchmark::DoNotOptimize(objects.GetObjectByName(last));
}
BENCHMARK(BM_GetObjectByName)->Arg(10000);

}  // namespace
