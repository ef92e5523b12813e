#include "files/TableDepot.h"

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "files/FileSystem.h"

namespace GAME {

TableDepot::TableDepot(FileSystem& fileSystem) : fileSystem_(fileSystem) {}

TableDepot::~TableDepot() = default;

const LoadTable* TableDepot::LoadTableFile(const std::string& recordName) {
    std::string name = recordName;
    FileSystem::ConvertFileName(name);
    {
        CriticalSectionLock lock(lock_);
        const auto it = tables_.find(name);
        if (it != tables_.end()) return it->second.get();
    }

    File* file = fileSystem_.OpenFile(name, FileMode::Read);
    if (!file) {
        Log(LogPriority::Error, "Record %s does not exist", name.c_str());
        return nullptr;
    }
    auto table = std::make_unique<LoadTable>(name);
    const uint32_t length = file->GetLength();
    const char* text = static_cast<const char*>(file->Lock());
    const bool parsed = (text || length == 0) && table->Parse(text, text ? length : 0);
    fileSystem_.CloseFile(file);
    if (!parsed) {
        Log(LogPriority::Error, "Record %s could not be read or has no fields", name.c_str());
        return nullptr;
    }

    CriticalSectionLock lock(lock_);
    return tables_.emplace(std::move(name), std::move(table)).first->second.get();
}

const LoadTable& TableDepot::GetLoadTable(const std::string& recordName) {
    const LoadTable* table = LoadTableFile(recordName);
    return table ? *table : emptyTable_;
}

}  // namespace GAME
