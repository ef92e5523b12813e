#include "core/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/AtomicFileSet.h"
#include "core/Log.h"

namespace GAME {

namespace {

// The marker and the unique part tell a temporary from a user's file of a similar name.
constexpr char kMarker[] = ".saving-";
constexpr size_t kMarkerLength = sizeof(kMarker) - 1;
constexpr char kSuffix[] = ".tmp";
constexpr size_t kSuffixLength = sizeof(kSuffix) - 1;
constexpr size_t kUniqueLength = 6;  // mkstemps' "XXXXXX", letters and digits

// The directory and the file name of a path.
std::pair<std::string, std::string> Split(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    if (!AtomicFileSet::FinishSetsWith(path_)) {
        Log(LogPriority::Error, "Could not save %s: an earlier save of it with other files could not be finished",
            path_.c_str());
        return;
    }
    RemoveStrays();
    // A sweep of another save may open the new temporary before it is locked, find it free and
    // remove it: then it is made again.
    for (int attempt = 0; attempt < 8 && descriptor_ < 0; ++attempt) {
        std::string name = path_ + kMarker + std::string(kUniqueLength, 'X') + kSuffix;
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
    if (!committed_ && !kept_) ::unlink(temporary_.c_str());
    ::close(descriptor_);
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (descriptor_ < 0) return false;
    flushed_ = false;
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

bool AtomicFile::Flush() {
    if (descriptor_ < 0) return false;
    if (!flushed_ && ::fsync(descriptor_) != 0) {
        Log(LogPriority::Error, "Could not flush %s to the disk: %s", temporary_.c_str(), std::strerror(errno));
        return false;
    }
    flushed_ = true;
    return true;
}

bool AtomicFile::Commit() {
    if (descriptor_ < 0 || committed_ || !Flush()) return false;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        Log(LogPriority::Error, "Could not replace %s: %s", path_.c_str(), std::strerror(errno));
        return false;
    }
    committed_ = true;
    // The rename is an entry of the directory: on the disk only once the directory is.
    FlushDirectoryOf(path_);
    return true;
}

std::string AtomicFile::GetTargetOfTemporary(const std::string& fileName) {
    const size_t tail = kMarkerLength + kUniqueLength + kSuffixLength;
    if (fileName.size() <= tail) return std::string();
    const size_t marker = fileName.size() - tail;
    const size_t unique = marker + kMarkerLength;
    if (fileName.compare(marker, kMarkerLength, kMarker) != 0 ||
        fileName.compare(unique + kUniqueLength, kSuffixLength, kSuffix) != 0 ||
        !std::all_of(fileName.begin() + std::ptrdiff_t(unique),
                     fileName.begin() + std::ptrdiff_t(unique + kUniqueLength), IsLetterOrDigit)) {
        return std::string();
    }
    return fileName.substr(0, marker);
}

bool AtomicFile::FlushDirectoryOf(const std::string& path) {
    const int directory = ::open(Split(path).first.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = directory >= 0 && ::fsync(directory) == 0;
    if (!flushed)
        Log(LogPriority::Warning, "Could not flush the directory of %s: %s", path.c_str(), std::strerror(errno));
    if (directory >= 0) ::close(directory);
    return flushed;
}

void AtomicFile::RemoveStrays() const {
    const auto [directoryPath, name] = Split(path_);
    std::vector<std::string> strays;
    if (DIR* directory = ::opendir(directoryPath.c_str())) {
        while (const dirent* entry = ::readdir(directory))
            if (GetTargetOfTemporary(entry->d_name) == name) strays.push_back(directoryPath + "/" + entry->d_name);
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
