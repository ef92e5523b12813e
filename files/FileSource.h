#pragma once
// FileSource: one directory mounted into the FileSystem.
//
// Engine file names are case-insensitive but the disk is not, so the source indexes every file
// and directory below its root at mount time by the engine's normal form (lower case, '/') and
// maps it to the real relative path. Files created through the source are added to the index;
// files created behind its back after mounting are not seen. Not thread-safe: the FileSystem's
// lock guards it.

#include <string>
#include <unordered_map>

namespace GAME {

class FileSource {
public:
    FileSource(std::string root, bool writable);

    // Builds the index; false when the root is not a readable directory.
    bool Scan();

    const std::string& GetRoot() const { return root_; }
    bool IsWritable() const { return writable_; }

    // The full real path of a file by its normal name; empty when the source has no such file.
    std::string FindFile(const std::string& normalName) const;
    // The real relative path at which to write a file: an existing file's, or a new one that
    // keeps the real case of the directories that exist. Creates the missing directories when
    // asked. Empty, with a logged error, for a name that would leave the root or a directory that
    // cannot be made.
    std::string PrepareWrite(const std::string& name, bool makeDirectories = true);
    // Records a file written at a real relative path.
    void AddFile(const std::string& realRelativePath);

private:
    std::string root_;
    bool writable_;
    std::unordered_map<std::string, std::string> files_;        // normal relative path -> real relative path
    std::unordered_map<std::string, std::string> directories_;  // likewise, for directories
};

}  // namespace GAME
