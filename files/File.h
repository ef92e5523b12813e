#pragma once
// File: an open file on disk, made by FileSystem::OpenFile and closed by FileSystem::CloseFile.
//
// Lock hands out a copy of a byte range read into memory, valid until Unlock; several ranges may
// be locked at once and Unlock releases them all. A File is used by one thread at a time (callers
// that share one, like the world's map file, guard it themselves); different Files are independent.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GAME {

// How a file is opened. Write creates the file, or empties an existing one.
enum class FileMode : int {
    Read = 0,
    Write = 1,
};

class File {
public:
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Size in bytes.
    uint32_t GetLength() const;

    // The bytes of [position, position + size), valid until Unlock. Null (with a logged error)
    // when the range runs past the end of the file or cannot be read, and null for an empty range.
    const void* Lock(uint32_t position, uint32_t size);
    // The whole file, as above.
    const void* Lock();
    // Releases every locked range.
    void Unlock();

    // Writes size bytes at offset. False, with a logged error, unless every byte was written
    // (also for a file opened for reading).
    bool Write(uint32_t offset, const void* data, uint32_t size);

    // The real path on disk.
    const std::string& GetPath() const { return path_; }
    FileMode GetMode() const { return mode_; }

private:
    friend class FileSystem;

    // Opens a file by its real path; null when it is missing, not a regular file, or over 4 GiB.
    // A missing file is not logged, so that existence checks stay quiet.
    static std::unique_ptr<File> Open(const std::string& path, FileMode mode);
    File(int descriptor, std::string path, FileMode mode);

    int descriptor_;
    std::string path_;
    FileMode mode_;
    std::vector<std::unique_ptr<unsigned char[]>> locked_;
};

}  // namespace GAME
