#pragma once
// FileSystem: the engine's view of its data, made of directory sources mounted in order.
//
// A relative name is looked up case-insensitively in its normal form (ConvertFileName) in the
// sources from the last mounted to the first, so a later source overrides an earlier one. An
// absolute name (starting with '/') bypasses the sources. A relative name opened for writing goes
// to the last mounted writable source. Every operation may be called from any thread: the level
// loading and resource threads open files while the main thread does.

#include <memory>
#include <string>
#include <vector>

#include "core/CriticalSection.h"
#include "files/File.h"

namespace GAME {

class FileSource;

class FileSystem {
public:
    FileSystem();
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // Mounts a directory above the ones mounted before. A writable directory that does not exist
    // yet is created. False, with a logged error, when the directory cannot be used.
    bool AddDirectory(const std::string& path, bool writable = false);

    // Opens a file by name; null when it cannot (a missing file is not logged).
    File* OpenFile(const std::string& name, FileMode mode);
    // Writes a whole file so that it is never left half written (AtomicFile): the bytes go to a
    // temporary file beside it, which is flushed to disk and then renamed over the file. When
    // anything fails (a full disk, a cut write) the temporary file is removed, the previous file
    // stays as it was, the error is logged and the result is false. Names resolve as for writing.
    bool SaveFile(const std::string& name, const void* data, uint32_t size);
    // One file of a save of several.
    struct FileData {
        std::string name;
        const void* data;
        uint32_t size;
    };
    // Saves files that belong together (a world and its sector data), which must resolve to one
    // directory, as one save (AtomicFileSet): after a crash at any point they are all as they were
    // or all new, once FinishSave has run for the first one's name. False (logged) when any cannot
    // be written; then none is replaced (should a rename fail once the save was decided, FinishSave
    // puts the rest in place).
    bool SaveFiles(const std::vector<FileData>& files);
    // Finishes a save of several files, the first of that name, that a crash stopped after it was
    // decided (loaders of such files call it first); nothing when there is none. False (logged)
    // when its files cannot be put in place.
    bool FinishSave(const std::string& name);
    // Closes a file from OpenFile and clears the pointer.
    void CloseFile(File*& file);
    // True when the file can be opened for reading.
    bool DoesFileExist(const std::string& name);

    // The engine's file-name normal form, made in place: lower case, '\' turned into '/'.
    static void ConvertFileName(std::string& name);

private:
    File* OpenForReading(const std::string& name);
    File* OpenForWriting(const std::string& name);
    // The real path a name is written to, with its directories made when asked; empty (logged)
    // when there is none. target and relative receive the source and the real relative path, for
    // a relative name (null for an absolute one).
    std::string PrepareWritePath(const std::string& name, FileSource*& target, std::string& relative,
                                 bool makeDirectories = true);
    // The last mounted writable source; null when there is none.
    FileSource* FindWritableSource() const;

    CriticalSection lock_;
    std::vector<std::unique_ptr<FileSource>> sources_;  // in mount order
};

}  // namespace GAME
