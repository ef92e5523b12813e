#include "files/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Log.h"

namespace GAME {

std::unique_ptr<File> File::Open(const std::string& path, FileMode mode) {
    const int flags = mode == FileMode::Write ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDONLY;
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        if (errno != ENOENT) Log(LogPriority::Error, "Could not open file %s: %s", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return nullptr;
    }
    if (static_cast<uint64_t>(info.st_size) > UINT32_MAX) {
        Log(LogPriority::Error, "File %s is larger than 4 GiB", path.c_str());
        ::close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<File>(new File(descriptor, path, mode));
}

File::File(int descriptor, std::string path, FileMode mode)
    : descriptor_(descriptor), path_(std::move(path)), mode_(mode) {}

File::~File() { ::close(descriptor_); }

uint32_t File::GetLength() const {
    struct stat info {};
    if (::fstat(descriptor_, &info) != 0) return 0;
    return static_cast<uint32_t>(info.st_size);
}

const void* File::Lock(uint32_t position, uint32_t size) {
    if (size == 0) return nullptr;
    const uint64_t length = GetLength();
    if (static_cast<uint64_t>(position) + size > length) {
        Log(LogPriority::Error, "File %s: range %u+%u is outside its %llu bytes", path_.c_str(), position, size,
            static_cast<unsigned long long>(length));
        return nullptr;
    }
    auto bytes = std::make_unique_for_overwrite<unsigned char[]>(size);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(descriptor_, bytes.get() + done, size - done, static_cast<off_t>(position) + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Log(LogPriority::Error, "Could not read file %s: %s", path_.c_str(), n < 0 ? std::strerror(errno) : "unexpected end");
            return nullptr;
        }
        done += static_cast<uint32_t>(n);
    }
    locked_.push_back(std::move(bytes));
    return locked_.back().get();
}

const void* File::Lock() { return Lock(0, GetLength()); }

void File::Unlock() { locked_.clear(); }

bool File::Write(uint32_t offset, const void* data, uint32_t size) {
    if (mode_ != FileMode::Write) {
        Log(LogPriority::Error, "File %s was not opened for writing", path_.c_str());
        return false;
    }
    if (static_cast<uint64_t>(offset) + size > UINT32_MAX) {
        Log(LogPriority::Error, "File %s: a write at %u of %u bytes would pass 4 GiB", path_.c_str(), offset, size);
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(descriptor_, bytes + done, size - done, static_cast<off_t>(offset) + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Log(LogPriority::Error, "Could not write file %s: %s", path_.c_str(), n < 0 ? std::strerror(errno) : "nothing written");
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

}  // namespace GAME
