#include "files/Options.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "core/AtomicFile.h"
#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/System.h"
#include "files/TextParsing.h"

namespace GAME {

namespace {

// An option's name in the settings file, which is its enumerator's name, and its index.
struct OptionName {
    const char* name;
    int index;
};
#define GAME_OPTION(Kind, name) {#name, static_cast<int>(Options::Kind::name)}

constexpr OptionName kBoolNames[] = {
    GAME_OPTION(BoolName, antiAliasing),    GAME_OPTION(BoolName, fullscreen),
    GAME_OPTION(BoolName, syncToRefresh),   GAME_OPTION(BoolName, tripleBuffer),
    GAME_OPTION(BoolName, cameraShake),     GAME_OPTION(BoolName, detailObjects),
    GAME_OPTION(BoolName, advancedEffects), GAME_OPTION(BoolName, skipCompatibilityChecks),
    GAME_OPTION(BoolName, shadows),
};
constexpr OptionName kQualityNames[] = {
    GAME_OPTION(QualityName, textureQuality),
    GAME_OPTION(QualityName, shadowQuality),
    GAME_OPTION(QualityName, detailLevel),
    GAME_OPTION(QualityName, reflectionQuality),
};
constexpr OptionName kFloatNames[] = {
    GAME_OPTION(FloatName, brightness),
    GAME_OPTION(FloatName, contrast),
    GAME_OPTION(FloatName, gamma),
};
constexpr OptionName kInt2Names[] = {GAME_OPTION(Int2Name, resolution)};
constexpr OptionName kStringNames[] = {GAME_OPTION(StringName, language)};

#undef GAME_OPTION

template <size_t N>
int FindIndex(const OptionName (&names)[N], const std::string& name) {
    for (const OptionName& option : names)
        if (strcasecmp(option.name, name.c_str()) == 0) return option.index;
    return -1;
}

bool ReadBool(const std::string& text, bool& value) {
    if (strcasecmp(text.c_str(), "true") == 0) {
        value = true;
        return true;
    }
    if (strcasecmp(text.c_str(), "false") == 0) {
        value = false;
        return true;
    }
    int number = 0;
    if (!ParseWholeInt(text, number)) return false;
    value = number != 0;
    return true;
}

// Two integers separated by blanks, 'x' or ','.
bool ReadInt2(const std::string& text, Options::Int2& value) {
    const size_t split = text.find_first_of(" \txX,");
    if (split == std::string::npos) return false;
    Options::Int2 pair;
    if (!ParseWholeInt(std::string_view(text).substr(0, split), pair.x)) return false;
    std::string_view rest = TrimBlanks(std::string_view(text).substr(split));
    if (!rest.empty() && (rest[0] == 'x' || rest[0] == 'X' || rest[0] == ',')) rest = TrimBlanks(rest.substr(1));
    if (!ParseWholeInt(rest, pair.y)) return false;
    value = pair;
    return true;
}

bool IsControl(char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F; }

bool IsComment(std::string_view line) { return line[0] == '#' || line[0] == ';' || line.substr(0, 2) == "//"; }

// A line for the log: its characters that are not text as '?', and no longer than a line shows.
std::string Printable(const std::string& line) {
    constexpr size_t kShown = 60;
    std::string shown = line.substr(0, kShown);
    std::replace_if(shown.begin(), shown.end(), IsControl, '?');
    return line.size() > kShown ? shown + "..." : shown;
}

std::string FormatFloat(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, result.ptr);
}

void AppendSetting(std::string& text, const char* name, const std::string& value) {
    char padded[64];
    std::snprintf(padded, sizeof(padded), "%-25s = ", name);
    text += padded;
    text += value;
    text += '\n';
}

}  // namespace

Options::Options() {
    for (int& quality : qualities_) quality = 1;
    for (const BoolName name : {BoolName::fullscreen, BoolName::cameraShake, BoolName::shadows, BoolName::detailObjects,
                                BoolName::advancedEffects})
        bools_[static_cast<int>(name)] = true;
    for (const FloatName name : {FloatName::brightness, FloatName::contrast, FloatName::gamma})
        floats_[static_cast<int>(name)] = 0.5f;
    int2s_[static_cast<int>(Int2Name::resolution)] = {1024, 768};
    strings_[static_cast<int>(StringName::language)] = "English";
}

bool Options::Load(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return false;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Log(LogPriority::Error, "Options file %s could not be opened", path.c_str());
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, count);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        Log(LogPriority::Error, "Options file %s could not be read", path.c_str());
        return false;
    }
    // Saves never leave one empty (they are atomic): an empty file was cut by something else.
    if (text.empty()) {
        Log(LogPriority::Error, "Options file %s is empty; the options stay as they were", path.c_str());
        return false;
    }
    const UnreadLine unread = Parse(text.data(), static_cast<uint32_t>(text.size()));
    if (unread.number != 0) {
        Log(LogPriority::Warning, "Options file %s: line %u %s: \"%s\"", path.c_str(), unread.number, unread.why,
            unread.text.c_str());
    }
    return true;
}

Options::UnreadLine Options::Parse(const char* text, uint32_t size) {
    UnreadLine unread;
    if (!text) return unread;
    const std::string_view all(text, size);
    CriticalSectionLock lock(lock_);
    uint32_t number = 0;
    size_t start = 0;
    while (start < all.size()) {
        const std::string line(TrimBlanks(NextLine(all, start)));
        ++number;
        const char* why = nullptr;
        if (std::any_of(line.begin(), line.end(), IsControl)) why = "is not text";
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            if (!why && !IsComment(line)) why = "is no setting";
            KeepUnknownLine(std::string(), line);
        } else {
            const std::string name(TrimBlanks(std::string_view(line).substr(0, equals)));
            const Setting setting =
                ParseSetting(name, std::string(TrimBlanks(std::string_view(line).substr(equals + 1))));
            if (setting == Setting::Unknown) KeepUnknownLine(name, line);
            if (!why && setting == Setting::Unreadable) why = "has a value that does not read";
        }
        // Saves end every line: text that ends inside one may have been cut.
        if (!why && start > all.size()) why = "ends the file without a line end (the file may be cut short)";
        if (why && unread.number == 0) unread = UnreadLine{number, Printable(line), why};
    }
    return unread;
}

Options::Setting Options::ParseSetting(const std::string& name, const std::string& value) {
    bool valid = true;
    if (const int boolIndex = FindIndex(kBoolNames, name); boolIndex >= 0) {
        valid = ReadBool(value, bools_[boolIndex]);
    } else if (const int qualityIndex = FindIndex(kQualityNames, name); qualityIndex >= 0) {
        int quality = 0;
        valid = ParseWholeInt(value, quality);
        if (valid) qualities_[qualityIndex] = std::clamp(quality, 0, 2);
    } else if (const int floatIndex = FindIndex(kFloatNames, name); floatIndex >= 0) {
        valid = ParseWholeFloat(value, floats_[floatIndex]);
    } else if (const int int2Index = FindIndex(kInt2Names, name); int2Index >= 0) {
        valid = ReadInt2(value, int2s_[int2Index]);
    } else if (const int stringIndex = FindIndex(kStringNames, name); stringIndex >= 0) {
        strings_[stringIndex] = value;
    } else {
        return Setting::Unknown;
    }
    if (valid) return Setting::Read;
    Log(LogPriority::Warning, "Option %s has an unreadable value \"%s\"", name.c_str(), value.c_str());
    return Setting::Unreadable;
}

void Options::KeepUnknownLine(const std::string& name, const std::string& line) {
    for (auto& [keptName, keptLine] : unknownLines_) {
        const bool same = name.empty() ? keptName.empty() && keptLine == line : strcasecmp(keptName.c_str(), name.c_str()) == 0;
        if (same) {
            keptLine = line;
            return;
        }
    }
    unknownLines_.emplace_back(name, line);
}

bool Options::Save(const std::string& path) const {
    std::string text;
    {
        CriticalSectionLock lock(lock_);
        for (const OptionName& option : kBoolNames)
            AppendSetting(text, option.name, bools_[option.index] ? "true" : "false");
        for (const OptionName& option : kQualityNames)
            AppendSetting(text, option.name, std::to_string(qualities_[option.index]));
        for (const OptionName& option : kFloatNames) AppendSetting(text, option.name, FormatFloat(floats_[option.index]));
        for (const OptionName& option : kInt2Names)
            AppendSetting(text, option.name,
                          std::to_string(int2s_[option.index].x) + " " + std::to_string(int2s_[option.index].y));
        for (const OptionName& option : kStringNames) AppendSetting(text, option.name, strings_[option.index]);
        for (const auto& [name, line] : unknownLines_) {
            text += line;
            text += '\n';
        }
    }

    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) CreateDirectoryPath(parent.c_str());
    AtomicFile file(path);
    if (!file.Write(text.data(), text.size()) || !file.Commit()) {
        Log(LogPriority::Error, "Options file %s could not be written; the previous one is kept", path.c_str());
        return false;
    }
    return true;
}

bool Options::GetBool(BoolName name) const {
    CriticalSectionLock lock(lock_);
    return bools_[static_cast<int>(name)];
}

void Options::SetBool(BoolName name, bool value) {
    CriticalSectionLock lock(lock_);
    bools_[static_cast<int>(name)] = value;
}

int Options::GetQuality(QualityName name) const {
    CriticalSectionLock lock(lock_);
    return qualities_[static_cast<int>(name)];
}

void Options::SetQuality(QualityName name, int value) {
    CriticalSectionLock lock(lock_);
    qualities_[static_cast<int>(name)] = std::clamp(value, 0, 2);
}

float Options::GetFloat(FloatName name) const {
    CriticalSectionLock lock(lock_);
    return floats_[static_cast<int>(name)];
}

void Options::SetFloat(FloatName name, float value) {
    CriticalSectionLock lock(lock_);
    floats_[static_cast<int>(name)] = value;
}

Options::Int2 Options::GetInt2(Int2Name name) const {
    CriticalSectionLock lock(lock_);
    return int2s_[static_cast<int>(name)];
}

void Options::SetInt2(Int2Name name, Int2 value) {
    CriticalSectionLock lock(lock_);
    int2s_[static_cast<int>(name)] = value;
}

std::string Options::GetString(StringName name) const {
    CriticalSectionLock lock(lock_);
    return strings_[static_cast<int>(name)];
}

void Options::SetString(StringName name, const std::string& value) {
    CriticalSectionLock lock(lock_);
    // A setting is one line of the file.
    strings_[static_cast<int>(name)] = value.substr(0, value.find_first_of("\r\n"));
}

}  // namespace GAME
