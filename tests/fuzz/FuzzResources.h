#pragma once
// A resource manager of T over a temporary directory (removed at exit), for the targets that fuzz
// a file reader through a full resource load: each input is written as a file and loaded by name.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"

namespace GAME::fuzz {

template <class T>
struct ResourceHarness {
    ResourceHarness() {
        std::string path = (std::filesystem::temp_directory_path() / "fuzz_resource_XXXXXX").string();
        if (!mkdtemp(path.data())) std::abort();
        directory = path;
        if (!files.AddDirectory(directory, true)) std::abort();
    }
    ~ResourceHarness() { std::filesystem::remove_all(directory); }

    // Writes the input as the file of that name.
    void WriteInput(const std::string& name, const uint8_t* data, size_t size) {
        File* file = files.OpenFile(name, FileMode::Write);
        if (!file || (size && !file->Write(0, data, static_cast<uint32_t>(size)))) std::abort();
        files.CloseFile(file);
    }

    std::string directory;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<T> manager{loader};
};

}  // namespace GAME::fuzz
