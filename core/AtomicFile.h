#pragma once
// AtomicFile: one save of a file, which replaces the file whole or not at all. Every file the
// engine saves goes through it (the file system's saves, the options, screenshots, videos), alone
// or in an AtomicFileSet.
//
// The new contents go to a temporary file beside the target, named after it with a marker and a
// unique part ("<name>.saving-<6 letters or digits>.tmp"), so two saves of one file never write
// into each other's file. Commit flushes the temporary to the disk, renames it over the target and
// flushes the directory, so that after a crash or a power cut the target is the old file or the
// new one, never a cut one. When anything fails before the rename (a full disk, a failing write)
// the target stays as it was; the temporary is removed when the AtomicFile goes without a commit.
//
// A save killed half way leaves its temporary behind. The next save of the same file removes
// such strays: only names of that form, which no one else makes (a user's "<name>.backup.tmp"
// stays). A temporary that the journal of a decided save of several files names is no stray: that
// save is finished first (AtomicFileSet::FinishSetsWith), and when it cannot be, this save is not
// made (IsOpen is false), so that the decided one is kept. A temporary is locked while its save
// runs (flock), which tells a stray from the temporary of a save still running, in this process
// or another: that one is left alone.

#include <cstddef>
#include <string>

namespace GAME {

class AtomicFile {
public:
    // Makes the temporary for a save of path, whose directory must exist; IsOpen says whether it
    // could (the reason is logged when not).
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool IsOpen() const { return descriptor_ >= 0; }
    const std::string& GetPath() const { return path_; }
    // The temporary, for writers that open a file by its name (it exists, empty). Whatever such a
    // writer buffers must be flushed and closed before Commit.
    const std::string& GetTemporaryPath() const { return temporary_; }

    // Appends bytes to the temporary; false (logged) unless every byte was written.
    bool Write(const void* data, size_t size);
    // Flushes the temporary to the disk (Commit does when it has not been); false (logged) when it
    // cannot.
    bool Flush();
    // Leaves the temporary on the disk when the AtomicFile goes without a commit (an AtomicFileSet
    // whose journal names it puts it in place later).
    void KeepTemporary() { kept_ = true; }
    // Puts the temporary in place of the target (see above). False (logged) when it cannot, and
    // then the target is as it was. A flush of the directory that fails is logged as a warning:
    // the new file is in place, though a power cut could still take it back.
    bool Commit();

    // The file name a temporary of this form stands for ("a.txt" for "a.txt.saving-Ab12Cd.tmp");
    // empty for any other name.
    static std::string GetTargetOfTemporary(const std::string& fileName);
    // Flushes the directory of a path, which makes its renames and removals last; false (logged
    // as a warning) when it cannot.
    static bool FlushDirectoryOf(const std::string& path);

private:
    // Removes the strays of earlier saves of the target.
    void RemoveStrays() const;

    std::string path_;
    std::string temporary_;
    int descriptor_ = -1;
    bool flushed_ = false;
    bool committed_ = false;
    bool kept_ = false;
};

}  // namespace GAME
