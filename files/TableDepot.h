#pragma once
// TableDepot: the engine's store of records, read from text record files through the FileSystem
// on first request and kept by the normal form of their name.
//
// Safe to call from any thread (the level loading thread creates entities from records). A table
// is parsed outside the lock and published whole; when two threads load the same record at once,
// the first to publish wins and the other's copy is dropped, so every caller sees one table.
// Published tables live as long as the depot, so their pointers may be kept.

#include <memory>
#include <string>
#include <unordered_map>

#include "core/CriticalSection.h"
#include "files/LoadTable.h"

namespace GAME {

class FileSystem;

class TableDepot {
public:
    // The file system must outlive the depot.
    explicit TableDepot(FileSystem& fileSystem);
    ~TableDepot();
    TableDepot(const TableDepot&) = delete;
    TableDepot& operator=(const TableDepot&) = delete;

    // The record's table, loaded on first request; null, with a logged error, when the record is
    // missing, unreadable or holds no field. Misses are not remembered, so a record written later
    // is found.
    const LoadTable* LoadTableFile(const std::string& recordName);
    // As LoadTableFile, but a missing record gives an empty table rather than null.
    const LoadTable& GetLoadTable(const std::string& recordName);

private:
    FileSystem& fileSystem_;
    CriticalSection lock_;
    std::unordered_map<std::string, std::unique_ptr<const LoadTable>> tables_;
    const LoadTable emptyTable_;
};

}  // namespace GAME
