#pragma once
// LogFiles: the engine's HTML and XML log files, "EngineLog.html" and "EngineLog.xml" in the log
// directory. Open creates both with their headers, Write appends one line to each (as a table
// row and as an <entry> element), Close writes the footers and closes them, so a finished file is
// a whole document. Message text is escaped; control characters other than tab, line feed and
// carriage return become '?', as XML cannot hold them.
//
// Threads: Write may be called from any thread.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "core/Log.h"

namespace GAME {

class LogFiles {
public:
    static constexpr const char* kHtmlFileName = "EngineLog.html";
    static constexpr const char* kXmlFileName = "EngineLog.xml";

    LogFiles() = default;
    ~LogFiles() { Close(); }
    LogFiles(const LogFiles&) = delete;
    LogFiles& operator=(const LogFiles&) = delete;

    // Creates the directory when needed and both files with their headers, replacing older ones.
    // False, with a logged error, when either cannot be written (neither is then open).
    bool Open(const std::string& directory);
    // Appends a line to both files; nothing when they are not open. category may be empty.
    void Write(LogPriority priority, const std::string& category, const char* text);
    // Writes the footers and closes both files. False when anything written since Open was lost.
    bool Close();
    bool IsOpen() const;

private:
    struct FileCloser {
        void operator()(FILE* file) const { std::fclose(file); }
    };
    using FilePtr = std::unique_ptr<FILE, FileCloser>;

    mutable std::mutex lock_;
    FilePtr html_;
    FilePtr xml_;
    uint64_t openedAt_ = 0;  // performance counter at Open; lines carry the seconds since
    bool failed_ = false;    // a write has failed since Open
};

}  // namespace GAME
