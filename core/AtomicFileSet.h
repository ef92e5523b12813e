#pragma once
// AtomicFileSet: one save of several files of one directory (a world file and its sector data),
// which replaces them all or none of them, also when the process is killed or the power cut at
// any point of it.
//
// Each file is written to its own AtomicFile. Commit flushes every temporary to the disk, then puts
// the set's journal "<first file>.saving-set" in place (atomically: itself an AtomicFile), which
// names the temporaries: from then on the save is decided. It then renames the temporaries over
// their files one by one and removes the journal. A save that stops before the journal is in place
// leaves every file as it was (its temporaries are strays that the next save removes); one that
// stops after it is finished by Finish, which the next load of the files calls (and the next save
// of any of its files, alone or in a set, before it removes strays: FinishSetsWith): the
// temporaries the journal names that are still there replace their files, then the journal goes.
// A decided save is never swept: when it cannot be finished (a file cannot be replaced), it is
// kept for the next try, and no save of its files is made until it is finished.
//
// Journal: the line "save set 1", then the name (without directory) of each temporary, each
// ended by a NUL byte. Finish acts only on a journal of that form whose names are temporaries
// (AtomicFile.h), so it moves nothing but the engine's own files within their directory.
//
// Threads: a set is used by one thread. The journal stays locked (flock) until the set is done, so
// Finish leaves the journal of a save that is still running, in this process or another, alone.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace GAME {

class AtomicFile;

class AtomicFileSet {
public:
    // Called after each step of Commit with the step's number, from 0: the temporaries written,
    // flushed, the journal in place, each file replaced, the journal removed. A test's hook may
    // end the process there, as a kill would.
    using StepHook = void (*)(int step);

    // Makes a temporary for each path (each first finishes the sets left decided that name it,
    // above); the paths lie in one directory, which must exist. IsOpen says whether it could (the
    // reason is logged): not after a decided set that could not be finished.
    explicit AtomicFileSet(std::vector<std::string> paths);
    ~AtomicFileSet();
    AtomicFileSet(const AtomicFileSet&) = delete;
    AtomicFileSet& operator=(const AtomicFileSet&) = delete;

    bool IsOpen() const;
    // Appends bytes to the temporary of the file at the index; false (logged) unless every byte
    // was written.
    bool Write(size_t index, const void* data, size_t size);
    // Puts every file in place (above). False (logged) when the save could not be decided: then
    // every file is as it was. Once decided, a rename that fails is logged and left for Finish;
    // the answer is then false too.
    bool Commit();

    // Finishes the set whose first file is the path when a save of it stopped after its journal
    // was in place; nothing without a journal, or while the save that wrote it runs. False
    // (logged) when a file cannot be put in place (the journal then stays for the next try).
    // placed receives the names (without directory) of the files put in place.
    static bool Finish(const std::string& firstPath, std::vector<std::string>* placed = nullptr);
    // Finishes every set of the path's directory left decided whose journal names a temporary of
    // the file at the path (a save of the file, alone or in another set, would sweep it as a stray,
    // and the set's other files would then be put in place without it). False when one cannot be
    // finished (logged by Finish): the file must not be saved before it is.
    static bool FinishSetsWith(const std::string& path);
    // The journal of the set whose first file is the path.
    static std::string GetJournalPath(const std::string& firstPath);
    // For tests: the hook, or none (null).
    static void SetStepHook(StepHook hook);

private:
    std::vector<std::unique_ptr<AtomicFile>> files_;
};

}  // namespace GAME
