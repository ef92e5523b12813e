#include "files/FileSystem.h"

#include <filesystem>

#include "core/AtomicFile.h"
#include "core/AtomicFileSet.h"
#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/System.h"
#include "files/FileSource.h"

namespace GAME {

FileSystem::FileSystem() = default;
FileSystem::~FileSystem() = default;

void FileSystem::ConvertFileName(std::string& name) {
    for (char& c : name) {
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
}

bool FileSystem::AddDirectory(const std::string& path, bool writable) {
    if (writable) CreateDirectoryPath(path.c_str());
    auto source = std::make_unique<FileSource>(path, writable);
    if (!source->Scan()) return false;
    CriticalSectionLock lock(lock_);
    sources_.push_back(std::move(source));
    return true;
}

File* FileSystem::OpenFile(const std::string& name, FileMode mode) {
    if (name.empty()) return nullptr;
    return mode == FileMode::Write ? OpenForWriting(name) : OpenForReading(name);
}

File* FileSystem::OpenForReading(const std::string& name) {
    std::string path;
    if (name.front() == '/') {
        path = name;
    } else {
        std::string normal = name;
        ConvertFileName(normal);
        CriticalSectionLock lock(lock_);
        for (auto it = sources_.rbegin(); it != sources_.rend() && path.empty(); ++it) path = (*it)->FindFile(normal);
        if (path.empty()) return nullptr;
    }
    return File::Open(path, FileMode::Read).release();
}

std::string FileSystem::PrepareWritePath(const std::string& name, FileSource*& target, std::string& relative,
                                         bool makeDirectories) {
    target = nullptr;
    relative.clear();
    if (name.front() == '/') {
        const std::filesystem::path parent = std::filesystem::path(name).parent_path();
        if (!parent.empty() && makeDirectories) CreateDirectoryPath(parent.c_str());
        return name;
    }
    target = FindWritableSource();
    if (!target) {
        Log(LogPriority::Error, "Cannot write %s: no writable directory is mounted", name.c_str());
        return std::string();
    }
    relative = target->PrepareWrite(name, makeDirectories);
    return relative.empty() ? std::string() : target->GetRoot() + "/" + relative;
}

File* FileSystem::OpenForWriting(const std::string& name) {
    // Held throughout, so that two threads writing new files cannot race on the index.
    CriticalSectionLock lock(lock_);
    FileSource* target = nullptr;
    std::string relative;
    const std::string path = PrepareWritePath(name, target, relative);
    if (path.empty()) return nullptr;
    std::unique_ptr<File> file = File::Open(path, FileMode::Write);
    if (!file) {
        Log(LogPriority::Error, "Could not open %s for writing", name.c_str());
        return nullptr;
    }
    if (target) target->AddFile(relative);
    return file.release();
}

bool FileSystem::SaveFile(const std::string& name, const void* data, uint32_t size) {
    if (name.empty()) return false;
    FileSource* target = nullptr;
    std::string relative;
    std::string path;
    {
        CriticalSectionLock lock(lock_);
        path = PrepareWritePath(name, target, relative);
    }
    if (path.empty()) return false;
    AtomicFile file(path);
    if (!file.Write(data, size) || !file.Commit()) {
        Log(LogPriority::Error, "Could not save %s; the previous file is kept", name.c_str());
        return false;
    }
    if (target) {
        CriticalSectionLock lock(lock_);
        target->AddFile(relative);
    }
    return true;
}

bool FileSystem::SaveFiles(const std::vector<FileData>& files) {
    if (files.empty()) return false;
    std::vector<std::string> paths;
    std::vector<std::pair<FileSource*, std::string>> written;  // for the index
    {
        CriticalSectionLock lock(lock_);
        for (const FileData& file : files) {
            FileSource* target = nullptr;
            std::string relative;
            std::string path = file.name.empty() ? std::string() : PrepareWritePath(file.name, target, relative);
            if (path.empty()) return false;
            paths.push_back(std::move(path));
            written.emplace_back(target, std::move(relative));
        }
    }
    AtomicFileSet set(paths);
    bool saved = set.IsOpen();
    for (size_t i = 0; i < files.size() && saved; ++i) saved = set.Write(i, files[i].data, files[i].size);
    if (!saved || !set.Commit()) {
        Log(LogPriority::Error, "Could not save %s and the files saved with it", files.front().name.c_str());
        return false;
    }
    CriticalSectionLock lock(lock_);
    for (const auto& [target, relative] : written) {
        if (target) target->AddFile(relative);
    }
    return true;
}

FileSource* FileSystem::FindWritableSource() const {
    for (auto it = sources_.rbegin(); it != sources_.rend(); ++it)
        if ((*it)->IsWritable()) return it->get();
    return nullptr;
}

bool FileSystem::FinishSave(const std::string& name) {
    CriticalSectionLock lock(lock_);
    // Without a writable directory nothing was saved here.
    if (name.empty() || (name.front() != '/' && !FindWritableSource())) return true;
    FileSource* target = nullptr;
    std::string relative;
    const std::string path = PrepareWritePath(name, target, relative, false);
    std::vector<std::string> placed;
    if (path.empty() || !AtomicFileSet::Finish(path, &placed)) return false;
    // The files put in place lie beside the first one.
    const size_t slash = relative.find_last_of('/');
    for (const std::string& file : placed) {
        if (target) target->AddFile(slash == std::string::npos ? file : relative.substr(0, slash + 1) + file);
    }
    return true;
}

void FileSystem::CloseFile(File*& file) {
    delete file;
    file = nullptr;
}

bool FileSystem::DoesFileExist(const std::string& name) {
    File* file = OpenFile(name, FileMode::Read);
    const bool exists = file != nullptr;
    CloseFile(file);
    return exists;
}

}  // namespace GAME
