#include "files/LocalizationManager.h"

#include <strings.h>


#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "files/FileSystem.h"
#include "files/TextParsing.h"
#include "core/TextEncoding.h"

namespace GAME {

namespace {

std::wstring_view TrimWide(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

LocalizationManager& LocalizationManager::Instance() { return *Singleton<LocalizationManager>::Get(); }

bool LocalizationManager::SetLanguage(FileSystem& fileSystem, const std::string& language) {
    {
        CriticalSectionLock lock(lock_);
        language_ = language;
        texts_.clear();
        reportedMissing_.clear();
    }
    const std::string fileName = "Text/" + language + ".txt";
    const bool found = AddFile(fileSystem, fileName);
    if (!found) Log(LogPriority::Error, "Localization file %s could not be read", fileName.c_str());
    AddFile(fileSystem, kModStringsFile);
    return found;
}

std::string LocalizationManager::GetLanguage() const {
    CriticalSectionLock lock(lock_);
    return language_;
}

bool LocalizationManager::AddFile(FileSystem& fileSystem, const std::string& name) {
    File* file = fileSystem.OpenFile(name, FileMode::Read);
    if (!file) return false;
    const uint32_t length = file->GetLength();
    const void* data = length ? file->Lock() : nullptr;
    const bool read = data || length == 0;
    if (data) AddText(data, length);
    fileSystem.CloseFile(file);
    return read;
}

void LocalizationManager::AddText(const void* data, uint32_t size) {
    if (!data) return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::wstring text;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = DecodeUtf16LE(bytes + 2, size - 2);
    } else {
        const bool utf8Mark = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
        const uint32_t skip = utf8Mark ? 3 : 0;
        text = DecodeNarrow(std::string_view(reinterpret_cast<const char*>(bytes) + skip, size - skip));
    }

    CriticalSectionLock lock(lock_);
    const std::wstring_view all(text);
    size_t start = 0;
    while (start < all.size()) {
        std::wstring_view line = NextLine(all, start);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        const size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos) continue;
        const std::wstring_view tag = TrimWide(line.substr(0, equals));
        if (tag.empty()) continue;
        texts_[EncodeUtf8(tag)] = std::wstring(line.substr(equals + 1));
    }
}

std::wstring LocalizationManager::Localize(const std::string& tag) const {
    {
        CriticalSectionLock lock(lock_);
        const auto it = texts_.find(tag);
        if (it != texts_.end()) return it->second;
        if (!reportedMissing_.insert(tag).second) return ToWChar(tag);
    }
    Log(LogPriority::Warning, "Localization tag %s not found", tag.c_str());
    return ToWChar(tag);
}

std::string LocalizationManager::GetSpecialFont() const {
    CriticalSectionLock lock(lock_);
    const auto it = texts_.find(kSpecialFontTag);
    return it == texts_.end() ? std::string() : EncodeUtf8(TrimWide(it->second));
}

bool LocalizationManager::IsEnglish() const {
    CriticalSectionLock lock(lock_);
    return strcasecmp(language_.c_str(), "English") == 0;
}

std::wstring LocalizationManager::ToWChar(const std::string& text) { return DecodeNarrow(text); }

}  // namespace GAME
