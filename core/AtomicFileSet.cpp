#include "core/AtomicFileSet.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/AtomicFile.h"
#include "core/Log.h"

namespace GAME {

namespace {

constexpr char kJournalSuffix[] = ".saving-set";
constexpr size_t kJournalSuffixLength = sizeof(kJournalSuffix) - 1;
constexpr char kJournalHeader[] = "save set 1\n";
constexpr size_t kJournalHeaderLength = sizeof(kJournalHeader) - 1;
// A journal names a few temporaries: a longer file is no journal of ours.
constexpr size_t kMaxJournalBytes = 1u << 16;

std::atomic<AtomicFileSet::StepHook> gStepHook{nullptr};

void Step(int step) {
    if (const AtomicFileSet::StepHook hook = gStepHook.load()) hook(step);
}

// The directory and the file name of a path.
std::pair<std::string, std::string> Split(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The names of the temporaries a journal lists; false for text that is no journal.
bool ReadJournal(const std::string& text, std::vector<std::string>& names) {
    if (text.compare(0, kJournalHeaderLength, kJournalHeader) != 0 || text.back() != '\0') return false;
    for (size_t at = kJournalHeaderLength; at < text.size();) {
        const size_t end = text.find('\0', at);
        std::string name = text.substr(at, end - at);
        if (name.find('/') != std::string::npos || AtomicFile::GetTargetOfTemporary(name).empty()) return false;
        names.push_back(std::move(name));
        at = end + 1;
    }
    return !names.empty();
}

// A journal's bytes; false when it cannot be read or is longer than a journal of ours.
bool ReadAll(int descriptor, std::string& text) {
    text.resize(kMaxJournalBytes + 1);
    const ssize_t count = ::pread(descriptor, text.data(), text.size(), 0);
    if (count < 0 || size_t(count) > kMaxJournalBytes) return false;
    text.resize(size_t(count));
    return true;
}

}  // namespace

AtomicFileSet::AtomicFileSet(std::vector<std::string> paths) {
    if (paths.empty()) return;
    const std::string directory = Split(paths.front()).first;
    for (const std::string& path : paths) {
        if (Split(path).first != directory) {
            Log(LogPriority::Error, "Could not save %s with %s: they lie in different directories",
                paths.front().c_str(), path.c_str());
            return;
        }
    }
    // A file that cannot be saved (a decided set naming it was not finished) ends the set.
    for (std::string& path : paths) {
        files_.push_back(std::make_unique<AtomicFile>(std::move(path)));
        if (!files_.back()->IsOpen()) return;
    }
}

AtomicFileSet::~AtomicFileSet() = default;

bool AtomicFileSet::IsOpen() const {
    return !files_.empty() && std::all_of(files_.begin(), files_.end(),
                                          [](const std::unique_ptr<AtomicFile>& file) { return file->IsOpen(); });
}

bool AtomicFileSet::Write(size_t index, const void* data, size_t size) {
    return index < files_.size() && files_[index]->Write(data, size);
}

bool AtomicFileSet::Commit() {
    if (!IsOpen()) return false;
    Step(0);
    for (const std::unique_ptr<AtomicFile>& file : files_) {
        if (!file->Flush()) return false;
    }
    Step(1);
    const std::string& first = files_.front()->GetPath();
    std::string text(kJournalHeader);
    for (const std::unique_ptr<AtomicFile>& file : files_) {
        text += Split(file->GetTemporaryPath()).second;
        text += '\0';
    }
    // Held (and so locked) until the set is done.
    AtomicFile journal(GetJournalPath(first));
    if (!journal.Write(text.data(), text.size()) || !journal.Commit()) {
        Log(LogPriority::Error,
            "Could not save %s and the files saved with it: the save's journal could not be written", first.c_str());
        return false;
    }
    Step(2);
    bool placed = true;
    int step = 3;
    for (const std::unique_ptr<AtomicFile>& file : files_) {
        if (!file->Commit()) {
            file->KeepTemporary();
            placed = false;
        }
        Step(step++);
    }
    if (!placed) {
        Log(LogPriority::Error, "The save of %s stopped half way; it is finished when the files are next loaded",
            first.c_str());
        return false;
    }
    if (::unlink(journal.GetPath().c_str()) != 0) {
        Log(LogPriority::Warning, "Could not remove %s: %s", journal.GetPath().c_str(), std::strerror(errno));
    }
    AtomicFile::FlushDirectoryOf(first);
    Step(step);
    return true;
}

bool AtomicFileSet::Finish(const std::string& firstPath, std::vector<std::string>* placed) {
    const std::string journalPath = GetJournalPath(firstPath);
    const int descriptor = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return true;
    // Locked: the save that wrote it still runs.
    std::string text;
    std::vector<std::string> names;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return true;
    }
    if (!ReadAll(descriptor, text) || !ReadJournal(text, names)) {
        Log(LogPriority::Warning, "%s is no journal of a save; it is left alone", journalPath.c_str());
        ::close(descriptor);
        return true;
    }
    const std::string directory = Split(firstPath).first;
    bool finished = true;
    for (const std::string& name : names) {
        const std::string target = AtomicFile::GetTargetOfTemporary(name);
        const std::string from = directory + "/" + name;
        const std::string to = directory + "/" + target;
        // A temporary that is not there was put in place before the save stopped.
        if (std::rename(from.c_str(), to.c_str()) == 0) {
            if (placed) placed->push_back(target);
        } else if (errno != ENOENT) {
            Log(LogPriority::Error, "Could not finish the save of %s: %s could not replace %s: %s", firstPath.c_str(),
                from.c_str(), to.c_str(), std::strerror(errno));
            finished = false;
        }
    }
    if (finished) {
        AtomicFile::FlushDirectoryOf(firstPath);
        ::unlink(journalPath.c_str());
        AtomicFile::FlushDirectoryOf(firstPath);
        Log(LogPriority::Warning, "Finished the save of %s and the files saved with it, which had stopped half way",
            firstPath.c_str());
    }
    ::close(descriptor);
    return finished;
}

bool AtomicFileSet::FinishSetsWith(const std::string& path) {
    const std::string directoryPath = Split(path).first;
    const std::string name = Split(path).second;
    std::vector<std::string> firstPaths;  // of the journals that name a temporary of the file
    if (DIR* directory = ::opendir(directoryPath.c_str())) {
        while (const dirent* entry = ::readdir(directory)) {
            const std::string journal = entry->d_name;
            if (journal.size() <= kJournalSuffixLength || !journal.ends_with(kJournalSuffix)) continue;
            const std::string journalPath = directoryPath + "/" + journal;
            const int descriptor = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (descriptor < 0) continue;
            std::string text;
            std::vector<std::string> names;
            if (ReadAll(descriptor, text) && ReadJournal(text, names) &&
                std::any_of(names.begin(), names.end(), [&name](const std::string& temporary) {
                    return AtomicFile::GetTargetOfTemporary(temporary) == name;
                })) {
                firstPaths.push_back(journalPath.substr(0, journalPath.size() - kJournalSuffixLength));
            }
            ::close(descriptor);
        }
        ::closedir(directory);
    }
    bool finished = true;
    for (const std::string& first : firstPaths) finished = Finish(first) && finished;
    return finished;
}

std::string AtomicFileSet::GetJournalPath(const std::string& firstPath) { return firstPath + kJournalSuffix; }

void AtomicFileSet::SetStepHook(StepHook hook) { gStepHook = hook; }

}  // namespace GAME
