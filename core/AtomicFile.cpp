#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/Log.h"

namespace GAME {

namespace {

constexpr char kSuffix[] = ".tmp";
constexpr size_t kSuffixLength = sizeof(kSuffix) - 1;
constexpr size_t kUniqueLength = 6;  // mkstemps' "XXXXXX"

// The directory and the file name of a path.
std::pair<std::string, std::string> Split(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Whether entry is a temporary of a save of the file called name: "<name>.tmp" or
// "<name>.<6 characters>.tmp".
bool IsTemporaryOf(const std::string& entry, const std::string& name) {
    if (entry.size() <= name.size() || entry.compare(0, name.size(), name) != 0 || entry[name.size()] != '.')
        return false;
    const size_t rest = entry.size() - name.size();
    if (entry.compare(entry.size() - kSuffixLength, kSuffixLength, kSuffix) != 0) return false;
    return rest == kSuffixLength || rest == 1 + kUniqueLength + kSuffixLength;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    RemoveStrays();
    // A sweep of another save may open the new temporary before it is locked, find it free and
    // remove it: then it is made again.
    for (int attempt = 0; attempt < 8 && descriptor_ < 0; ++attempt) {
        std::string name = path_ + "." + std::string(kUniqueLength, 'X') + kSuffix;
        const int descriptor = ::mkostemps(name.data(), int(kSuffixLength), O_CLOEXEC);
        if (descriptor < 0) {
            Log(LogPriority::Error, "Could not make a temporary file to save %s: %s", path_.c_str(),
                std::strerror(errno));
            return;
        }
        if (::flock(descriptor, LOCK_EX) != 0) {
            Log(LogPriority::Error, "Could not lock %s: %s", name.c_str(), std::strerror(errno));
            ::unlink(name.c_str());
            ::close(descriptor);
            return;
        }
        struct stat info {};
        if (::fstat(descriptor, &info) == 0 && info.st_nlink > 0) {
            ::fchmod(descriptor, 0644);  // as any other file the engine writes; mkstemps makes it private
            descriptor_ = descriptor;
            temporary_ = std::move(name);
        } else {
            ::close(descriptor);  // removed by the sweep
        }
    }
    if (descriptor_ < 0) Log(LogPriority::Error, "Could not keep a temporary file to save %s", path_.c_str());
}

AtomicFile::~AtomicFile() {
    if (descriptor_ < 0) return;
    if (!committed_) ::unlink(temporary_.c_str());
    ::close(descriptor_);
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (descriptor_ < 0) return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(descriptor_, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            Log(LogPriority::Error, "Could not write %s: %s", temporary_.c_str(),
                written < 0 ? std::strerror(errno) : "nothing written");
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (descriptor_ < 0 || committed_) return false;
    if (::fsync(descriptor_) != 0) {
        Log(LogPriority::Error, "Could not flush %s to the disk: %s", temporary_.c_str(), std::strerror(errno));
        return false;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        Log(LogPriority::Error, "Could not replace %s: %s", path_.c_str(), std::strerror(errno));
        return false;
    }
    committed_ = true;
    // The rename is an entry of the directory: on the disk only once the directory is.
    const int directory = ::open(Split(path_).first.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = directory >= 0 && ::fsync(directory) == 0;
    if (!flushed)
        Log(LogPriority::Warning, "Could not flush the directory of %s: %s", path_.c_str(), std::strerror(errno));
    if (directory >= 0) ::close(directory);
    return true;
}

void AtomicFile::RemoveStrays() const {
    const auto [directoryPath, name] = Split(path_);
    std::vector<std::string> strays;
    if (DIR* directory = ::opendir(directoryPath.c_str())) {
        while (const dirent* entry = ::readdir(directory))
            if (IsTemporaryOf(entry->d_name, name)) strays.push_back(directoryPath + "/" + entry->d_name);
        ::closedir(directory);
    }
    for (const std::string& stray : strays) {
        const int descriptor = ::open(stray.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) continue;
        // Locked: a save is running with it.
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(stray.c_str());
            Log(LogPriority::Warning, "Removed %s, left by a save of %s that did not finish", stray.c_str(),
                path_.c_str());
        }
        ::close(descriptor);
    }
}

}  // namespace GAME
