// The sample host: starts the engine headless on a sample-data directory, makes an entity carrying
// an actor from their records, runs frames, and shuts down, printing the engine's log.
//
// Usage: SampleHost [--data <directory>] [--logs <directory>] [--frames <count>]
// Without --data the host writes a small sample-data directory (two records and the English text)
// into a temporary directory; without --logs the log files go there too. The temporary directory
// is removed at exit. The exit code is 1 when the engine logged an error.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "core/Singleton.h"
#include "engine/Actor.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "render/GraphicsEngineSettings.h"
#include "world/WorldFrustum.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kEntityRecord = "Records/Sample/Entity.dbr";
constexpr const char* kActorRecord = "Records/Sample/Actor.dbr";

// Prints every log line, and keeps it in the engine's log files.
class SampleEngine : public GAME::Engine {
public:
    using Engine::Log;
    void Log(GAME::LogPriority priority, unsigned category, const char* format, va_list args) override {
        static const char* const kLabels[] = {"info", "error", "warning"};
        char text[2048];
        std::vsnprintf(text, sizeof(text), format, args);
        const std::string categoryName = GetLogCategoryName(category);
        std::printf("[%s]%s%s%s %s\n", kLabels[static_cast<int>(priority) % 3], categoryName.empty() ? "" : "[",
                    categoryName.c_str(), categoryName.empty() ? "" : "]", text);
        WriteToLogFiles(priority, category, text);
        if (priority == GAME::LogPriority::Error) ++errors_;
    }

    int GetNumErrors() const { return errors_; }

private:
    int errors_ = 0;
};

// A fresh temporary directory, removed with its contents at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "sample-host-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& GetPath() const { return path_; }

private:
    std::string path_;
};

bool WriteFile(const fs::path& path, const char* contents) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary);
    file << contents;
    return static_cast<bool>(file);
}

bool WriteSampleData(const std::string& directory) {
    const fs::path root(directory);
    return WriteFile(root / kEntityRecord, "Class,Entity,\n") &&
           WriteFile(root / kActorRecord, "Class,Actor,\ncastsShadows,1,\n") &&
           WriteFile(root / "Text/English.txt", "tagSampleGreeting=Hello from the sample data\n");
}

// Runs the engine on the mounted data; the number of errors it logged, or -1 when it did not start.
int RunEngine(GAME::FileSystem& fileSystem, const std::string& logDirectory, int frames) {
    SampleEngine engine;
    engine.SetLogPath(logDirectory);
    if (!engine.Initialize(nullptr, GAME::GraphicsEngineSettings(), true, false, &fileSystem)) return -1;

    GAME::ObjectManager* objects = GAME::Singleton<GAME::ObjectManager>::Get();
    GAME::Entity* entity = objects->CreateObjectFromFile<GAME::Entity>(kEntityRecord);
    GAME::Actor* actor = objects->CreateObjectFromFile<GAME::Actor>(kActorRecord);
    if (entity && actor) entity->Attach(actor, GAME::Coords::Identity, "");

    const GAME::WorldFrustum viewer;
    for (int frame = 0; frame < frames; ++frame) {
        engine.Update(viewer, true);
        if (entity) entity->Update(engine.GetUpdateTime());
        engine.Render();
    }
    engine.Log(GAME::LogPriority::Info, "Sample host: %u frames, %d objects", engine.GetFrameCount(),
               objects->GetNumObjects());

    objects->DestroyObjectEx(actor, __FILE__, __LINE__);
    objects->DestroyObjectEx(entity, __FILE__, __LINE__);
    engine.Update(viewer, true);
    engine.Shutdown();
    return engine.GetNumErrors();
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 10;
    std::string dataDirectory;
    std::string logDirectory;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            frames = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--data") == 0) {
            dataDirectory = argv[i + 1];
        } else if (std::strcmp(argv[i], "--logs") == 0) {
            logDirectory = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: %s [--data <directory>] [--logs <directory>] [--frames <count>]\n", argv[0]);
            return 2;
        }
    }

    TemporaryDirectory temporary;
    if (temporary.GetPath().empty()) {
        std::fprintf(stderr, "Sample host: no temporary directory\n");
        return 1;
    }
    if (dataDirectory.empty()) {
        dataDirectory = temporary.GetPath() + "/Data";
        if (!WriteSampleData(dataDirectory)) {
            std::fprintf(stderr, "Sample host: the sample data could not be written\n");
            return 1;
        }
    }
    if (logDirectory.empty()) logDirectory = temporary.GetPath() + "/Logs";

    GAME::FileSystem fileSystem;
    if (!fileSystem.AddDirectory(dataDirectory)) {
        std::fprintf(stderr, "Sample host: %s cannot be mounted\n", dataDirectory.c_str());
        return 1;
    }
    const int errors = RunEngine(fileSystem, logDirectory, frames);
    if (errors < 0) std::fprintf(stderr, "Sample host: the engine did not start\n");
    return errors == 0 ? 0 : 1;
}
