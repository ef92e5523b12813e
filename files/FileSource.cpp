#include "files/FileSource.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "core/Log.h"
#include "core/System.h"
#include "files/FileSystem.h"

namespace GAME {

namespace fs = std::filesystem;

namespace {

std::string NormalName(std::string name) {
    FileSystem::ConvertFileName(name);
    return name;
}

// Adds a path to an index; of two real paths that differ only in case, the smaller one wins, so
// the choice does not depend on the order the directory was listed in.
void AddToIndex(std::unordered_map<std::string, std::string>& index, const std::string& realPath) {
    auto [it, added] = index.emplace(NormalName(realPath), realPath);
    if (!added && realPath != it->second) {
        Log(LogPriority::Warning, "Files %s and %s differ only in case; using %s", it->second.c_str(), realPath.c_str(),
            std::min(it->second, realPath).c_str());
        it->second = std::min(it->second, realPath);
    }
}

}  // namespace

FileSource::FileSource(std::string root, bool writable) : root_(std::move(root)), writable_(writable) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

bool FileSource::Scan() {
    files_.clear();
    directories_.clear();
    std::error_code error;
    fs::recursive_directory_iterator it(root_, fs::directory_options::skip_permission_denied, error);
    if (error) {
        Log(LogPriority::Error, "Cannot mount directory %s: %s", root_.c_str(), error.message().c_str());
        return false;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            Log(LogPriority::Warning, "Directory %s: %s", root_.c_str(), error.message().c_str());
            break;
        }
        const std::string relative = it->path().lexically_relative(root_).generic_string();
        std::error_code typeError;
        if (it->is_directory(typeError))
            AddToIndex(directories_, relative);
        else if (it->is_regular_file(typeError))
            AddToIndex(files_, relative);
    }
    return true;
}

std::string FileSource::FindFile(const std::string& normalName) const {
    const auto it = files_.find(normalName);
    return it == files_.end() ? std::string() : root_ + "/" + it->second;
}

std::string FileSource::PrepareWrite(const std::string& name, bool makeDirectories) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") {
            Log(LogPriority::Error, "Cannot write %s: the name leaves the directory", name.c_str());
            return std::string();
        }
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    if (parts.empty()) {
        Log(LogPriority::Error, "Cannot write a file without a name");
        return std::string();
    }

    std::string real;
    std::string normal;
    std::vector<std::pair<std::string, std::string>> created;  // directories to add to the index
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (i > 0) normal += '/';
        normal += NormalName(parts[i]);
        const auto it = directories_.find(normal);
        if (it != directories_.end()) {
            real = it->second;
        } else {
            if (!real.empty()) real += '/';
            real += parts[i];
            created.emplace_back(normal, real);
        }
    }
    const std::string file = (real.empty() ? "" : real + "/") + parts.back();
    const auto existing = files_.find(NormalName(file));
    if (existing != files_.end()) return existing->second;

    if (!created.empty() && makeDirectories) {
        const std::string directory = root_ + "/" + real;
        if (!CreateDirectoryPath(directory.c_str())) return std::string();  // logged by CreateDirectoryPath
        for (auto& [normalDirectory, realDirectory] : created) directories_[normalDirectory] = realDirectory;
    }
    return file;
}

void FileSource::AddFile(const std::string& realRelativePath) { AddToIndex(files_, realRelativePath); }

}  // namespace GAME
