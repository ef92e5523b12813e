#include "files/LoadTable.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "core/Log.h"
#include "engine/Engine.h"
#include "files/RecordResourceLoader.h"
#include "files/TextParsing.h"

namespace GAME {

namespace {

// An integer, or a number of another form ("2.5", "1e3") truncated toward 0 when an int holds it.
bool ParseInt(std::string_view text, int& out) {
    if (ParseWholeInt(text, out)) return true;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double real = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), real);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(real)) return false;
    real = std::trunc(real);
    if (real < std::numeric_limits<int>::min() || real > std::numeric_limits<int>::max()) return false;
    out = static_cast<int>(real);
    return true;
}

bool EqualsNoCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = (text[i] >= 'A' && text[i] <= 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != word[i]) return false;
    }
    return true;
}

}  // namespace

bool LoadTable::Parse(const char* text, uint32_t size) {
    const std::string_view all = text ? std::string_view(text, size) : std::string_view();
    int lineNumber = 0;
    size_t start = 0;
    while (start < all.size()) {
        const std::string_view line = TrimBlanks(NextLine(all, start));
        ++lineNumber;
        if (line.empty()) continue;

        const size_t comma = line.find(',');
        if (comma == std::string_view::npos) {
            Log(LogPriority::Warning, "Record %s line %d has no comma", recordName_.c_str(), lineNumber);
            continue;
        }
        const std::string_view key = TrimBlanks(line.substr(0, comma));
        if (key.empty()) {
            Log(LogPriority::Warning, "Record %s line %d has no key", recordName_.c_str(), lineNumber);
            continue;
        }
        std::string_view value = line.substr(comma + 1);
        value = TrimBlanks(value.substr(0, value.find(',')));

        mem::vector<std::string> items;
        for (size_t from = 0; !value.empty() && from <= value.size();) {
            size_t to = value.find(';', from);
            if (to == std::string_view::npos) to = value.size();
            items.emplace_back(TrimBlanks(value.substr(from, to - from)));
            from = to + 1;
        }
        fields_.insert_or_assign(std::string(key), std::move(items));
    }
    return !fields_.empty();
}

const std::string* LoadTable::FindItem(const char* key, int index) const {
    const auto it = fields_.find(std::string_view(key));
    if (it == fields_.end() || index < 0 || static_cast<size_t>(index) >= it->second.size()) return nullptr;
    const std::string& item = it->second[static_cast<size_t>(index)];
    return item.empty() ? nullptr : &item;
}

const char* LoadTable::GetValue(const char* key, const char* defaultValue) const {
    return GetArrayValue(key, 0, defaultValue);
}

int LoadTable::GetInt(const char* key, int defaultValue) const {
    const std::string* item = FindItem(key, 0);
    int value = defaultValue;
    return item && ParseInt(*item, value) ? value : defaultValue;
}

float LoadTable::GetFloat(const char* key, float defaultValue) const { return GetArrayReal(key, 0, defaultValue); }

bool LoadTable::GetBool(const char* key, bool defaultValue) const {
    const std::string* item = FindItem(key, 0);
    if (!item) return defaultValue;
    int value = 0;
    if (ParseInt(*item, value)) return value != 0;
    if (EqualsNoCase(*item, "true")) return true;
    if (EqualsNoCase(*item, "false")) return false;
    return defaultValue;
}

int LoadTable::GetNumElementsForField(const char* key) const {
    const auto it = fields_.find(std::string_view(key));
    return it == fields_.end() ? 0 : static_cast<int>(it->second.size());
}

const char* LoadTable::GetArrayValue(const char* key, int index, const char* defaultValue) const {
    const std::string* item = FindItem(key, index);
    return item ? item->c_str() : defaultValue;
}

float LoadTable::GetArrayReal(const char* key, int index, float defaultValue) const {
    const std::string* item = FindItem(key, index);
    float value = defaultValue;
    return item && ParseWholeFloat(*item, value) ? value : defaultValue;
}

template <typename T>
void LoadTable::AppendParsed(const char* key, mem::vector<T>& out, bool (*parse)(std::string_view, T&)) const {
    out.clear();
    const auto it = fields_.find(std::string_view(key));
    if (it == fields_.end()) return;
    for (const std::string& item : it->second) {
        T value{};
        if (parse(item, value)) out.push_back(value);
    }
}

void LoadTable::GetArrayInt(const char* key, mem::vector<int>& out) const { AppendParsed(key, out, ParseInt); }

void LoadTable::GetArrayReal(const char* key, mem::vector<float>& out) const { AppendParsed(key, out, ParseWholeFloat); }

const GraphicsTexture* LoadTable::LoadTexture(const char* key, int index) const {
    const std::string* item = FindItem(key, index);
    RecordResourceLoader* const loader = gEngine != nullptr ? gEngine->GetRecordResourceLoader() : nullptr;
    return item != nullptr && loader != nullptr ? loader->LoadTexture(*item) : nullptr;
}

const GraphicsShader2* LoadTable::LoadShader2(const char* key, int index) const {
    const std::string* item = FindItem(key, index);
    RecordResourceLoader* const loader = gEngine != nullptr ? gEngine->GetRecordResourceLoader() : nullptr;
    return item != nullptr && loader != nullptr ? loader->LoadShader2(*item) : nullptr;
}

const GraphicsMesh* LoadTable::LoadMesh(const char* key, int index) const {
    const std::string* item = FindItem(key, index);
    RecordResourceLoader* const loader = gEngine != nullptr ? gEngine->GetRecordResourceLoader() : nullptr;
    return item != nullptr && loader != nullptr ? loader->LoadMesh(*item) : nullptr;
}

}  // namespace GAME
