#pragma once
// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes out of scope.

#include <string>
#include <vector>

namespace GAME::test {

class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& GetPath() const { return path_; }
    // path + "/" + relative.
    std::string Join(const std::string& relative) const { return path_ + "/" + relative; }
    // Writes a file below the directory, creating its parent directories.
    void WriteFile(const std::string& relative, const std::string& contents) const;
    // The contents of a file below the directory; empty when it cannot be read.
    std::string ReadFile(const std::string& relative) const;
    // The names of the entries of a directory below it (relative "" for itself), sorted.
    std::vector<std::string> List(const std::string& relative = "") const;

private:
    std::string path_;
};

}  // namespace GAME::test
