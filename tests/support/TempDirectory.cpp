#include "support/TempDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace GAME::test {

namespace fs = std::filesystem;

TempDirectory::TempDirectory() {
    std::string pattern = (fs::temp_directory_path() / "game-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDirectory::~TempDirectory() {
    std::error_code error;
    fs::remove_all(path_, error);
}

void TempDirectory::WriteFile(const std::string& relative, const std::string& contents) const {
    const fs::path path = Join(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::string TempDirectory::ReadFile(const std::string& relative) const {
    std::ifstream in(Join(relative), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::vector<std::string> TempDirectory::List(const std::string& relative) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(Join(relative), error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace GAME::test
