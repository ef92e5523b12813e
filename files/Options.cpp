#include "files/Options.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/System.h"

namespace GAME {

namespace {

// An option's name in the settings file and its index.
struct OptionName {
    const char* name;
    int index;
};

constexpr OptionName kBoolNames[] = {
    {"antiAliasing", 5},  {"fullscreen", 6},       {"syncToRefresh", 7},
    {"tripleBuffer", 8},  {"cameraShake", 9},      {"detailObjects", 10},
    {"advancedEffects", 11}, {"skipCompatibilityChecks", 15}, {"shadows", 18},
};
constexpr OptionName kQualityNames[] = {
    {"textureQuality", 0}, {"shadowQuality", 1}, {"detailLevel", 2}, {"reflectionQuality", 3},
};
constexpr OptionName kFloatNames[] = {{"brightness", 5}, {"contrast", 6}, {"gamma", 7}};
constexpr OptionName kInt2Names[] = {{"resolution", 0}};
constexpr OptionName kStringNames[] = {{"language", 0}};

template <size_t N>
int FindIndex(const OptionName (&names)[N], const std::string& name) {
    for (const OptionName& option : names)
        if (strcasecmp(option.name, name.c_str()) == 0) return option.index;
    return -1;
}

std::string Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

bool ReadInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
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
    if (!ReadInt(text, number)) return false;
    value = number != 0;
    return true;
}

bool ReadFloat(const std::string& text, float& value) {
    float number = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number)) return false;
    value = number;
    return true;
}

// Two integers separated by blanks, 'x' or ','.
bool ReadInt2(const std::string& text, Options::Int2& value) {
    const size_t split = text.find_first_of(" \txX,");
    if (split == std::string::npos) return false;
    Options::Int2 pair;
    if (!ReadInt(text.substr(0, split), pair.x)) return false;
    std::string rest = Trim(std::string_view(text).substr(split));
    if (!rest.empty() && (rest[0] == 'x' || rest[0] == 'X' || rest[0] == ',')) rest = Trim(rest.substr(1));
    if (!ReadInt(rest, pair.y)) return false;
    value = pair;
    return true;
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
    Parse(text.data(), static_cast<uint32_t>(text.size()));
    return true;
}

void Options::Parse(const char* text, uint32_t size) {
    if (!text) return;
    const std::string_view all(text, size);
    CriticalSectionLock lock(lock_);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string line = Trim(all.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            KeepUnknownLine(std::string(), line);
            continue;
        }
        const std::string name = Trim(std::string_view(line).substr(0, equals));
        if (!ParseSetting(name, Trim(std::string_view(line).substr(equals + 1)))) KeepUnknownLine(name, line);
    }
}

bool Options::ParseSetting(const std::string& name, const std::string& value) {
    bool valid = true;
    if (const int index = FindIndex(kBoolNames, name); index >= 0) {
        valid = ReadBool(value, bools_[index]);
    } else if (const int index = FindIndex(kQualityNames, name); index >= 0) {
        int quality = 0;
        valid = ReadInt(value, quality);
        if (valid) qualities_[index] = std::clamp(quality, 0, 2);
    } else if (const int index = FindIndex(kFloatNames, name); index >= 0) {
        valid = ReadFloat(value, floats_[index]);
    } else if (const int index = FindIndex(kInt2Names, name); index >= 0) {
        valid = ReadInt2(value, int2s_[index]);
    } else if (const int index = FindIndex(kStringNames, name); index >= 0) {
        strings_[index] = value;
    } else {
        return false;
    }
    if (!valid) Log(LogPriority::Warning, "Option %s has an unreadable value \"%s\"", name.c_str(), value.c_str());
    return true;
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
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        Log(LogPriority::Error, "Options file %s could not be opened for writing", path.c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        Log(LogPriority::Error, "Options file %s could not be written", path.c_str());
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
