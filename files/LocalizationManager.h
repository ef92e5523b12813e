#pragma once
// LocalizationManager: the text of the current language, by tag.
//
// A language's text is the file "Text/<language>.txt" (the language as the options name it, for
// example "Text/English.txt"), overlaid by "Text\modStrings.txt" when a mod supplies one. Each
// line is "tag=text"; the tag is trimmed, the text is everything after the first '=' (a trailing
// carriage return dropped); lines without '=' or with an empty tag are skipped, and a later line
// for a tag replaces an earlier one. A file that starts with the byte-order mark FF FE is UTF-16
// little-endian; any other is narrow text (TextEncoding: UTF-8 when valid, else Windows-1252).
//
// A tag that is missing gives the tag itself, and is logged the first time it is asked for. The
// reserved tag "SpecialFont" names the language's font-file override.
//
// Threads: every operation may be called from any thread.

#include <cstdint>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"
#include "core/Singleton.h"

namespace GAME {

class FileSystem;

class LocalizationManager {
public:
    static constexpr const char* kModStringsFile = "Text\\modStrings.txt";
    static constexpr const char* kSpecialFontTag = "SpecialFont";

    // The process-wide instance, made on first use.
    static LocalizationManager& Instance();

    // Replaces the text with the language's file and the mod overlay. False (logged) when the
    // language's file cannot be read; the overlay alone is then in place.
    bool SetLanguage(FileSystem& fileSystem, const std::string& language);
    std::string GetLanguage() const;
    // Adds the tags of a text file's bytes over the current text.
    void AddText(const void* data, uint32_t size);

    // The text of a tag; the tag itself, widened, when the language has no such tag.
    std::wstring Localize(const std::string& tag) const;
    // The font file the language uses in place of every style's font; empty when it has none.
    std::string GetSpecialFont() const;
    // True when the language is English (in any case).
    bool IsEnglish() const;
    // The wide form of narrow text.
    static std::wstring ToWChar(const std::string& text);

private:
    friend class Singleton<LocalizationManager>;
    LocalizationManager() = default;

    // Adds a file's tags; false when it cannot be read.
    bool AddFile(FileSystem& fileSystem, const std::string& name);

    mutable CriticalSection lock_;
    std::string language_;
    mem::hash_map<std::string, std::wstring> texts_;          // tag (UTF-8) -> text
    mutable mem::hash_set<std::string> reportedMissing_;     // missing tags already logged
};

}  // namespace GAME
