#pragma once
// The record store of the fuzz targets whose inputs name records: the given record files written
// into a temporary directory and read through a table depot the object manager uses while the
// store lives.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/Singleton.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"

namespace GAME::test {

class FuzzRecords {
public:
    // records: {name relative to the store, text}; prefix names the temporary directory.
    FuzzRecords(const char* prefix, const std::vector<std::pair<std::string, std::string>>& records) {
        std::string path = std::string("/tmp/") + prefix + "_XXXXXX";
        if (!mkdtemp(path.data())) std::abort();
        directory_ = path;
        for (const auto& [name, text] : records) {
            const std::filesystem::path file = std::filesystem::path(directory_) / name;
            std::filesystem::create_directories(file.parent_path());
            std::ofstream(file) << text;
        }
        if (!files_.AddDirectory(directory_)) std::abort();
        Singleton<ObjectManager>::Get()->SetTableDepot(&depot_);
    }
    ~FuzzRecords() {
        Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
        std::filesystem::remove_all(directory_);
    }
    FuzzRecords(const FuzzRecords&) = delete;
    FuzzRecords& operator=(const FuzzRecords&) = delete;

private:
    std::string directory_;
    FileSystem files_;
    TableDepot depot_{files_};
};

}  // namespace GAME::test
