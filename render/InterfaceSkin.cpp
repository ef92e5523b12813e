#include "render/InterfaceSkin.h"

#include "core/Log.h"
#include "engine/Engine.h"
#include "files/BasicTextParser.h"
#include "files/FileSystem.h"
#include "files/TextParsing.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsTexture.h"

namespace GAME {
namespace {

// Room for the areas of a typical skin before the map grows.
constexpr size_t kInitialAreas = 100;

// "( x , y , w , h )" into the rectangle; false unless it is exactly four numbers.
bool ParseRegion(std::string_view text, Rect& region) {
    text = TrimBlanks(text);
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') return false;
    text = text.substr(1, text.size() - 2);
    float values[4];
    for (int i = 0; i < 4; ++i) {
        const size_t comma = i < 3 ? text.find(',') : text.size();
        if (comma == std::string_view::npos || !ParseWholeFloat(TrimBlanks(text.substr(0, comma)), values[i])) {
            return false;
        }
        text = text.substr(comma == text.size() ? comma : comma + 1);
    }
    region = Rect(values[0], values[1], values[2], values[3]);
    return true;
}

// The parenthesised region that must come next; false when something else comes (the parser's
// delimited read would pass over it to a later '(').
bool ReadRegion(BasicTextParser<char>& parser, Rect& region) {
    const uint32_t start = parser.GetPosition();
    const bool group = parser.ReadToken() == "(";
    parser.SetPosition(start);
    return group && ParseRegion(parser.ReadDelimitedToken('(', ')', false), region);
}

}  // namespace

InterfaceSkin::InterfaceSkin(const char* file) : graphics_(GetEngineGraphics()) {
    areas_.reserve(kInitialAreas);
    LoadUIS(file);
}

InterfaceSkin::InterfaceSkin(GraphicsEngine& graphics) : graphics_(&graphics) { areas_.reserve(kInitialAreas); }

InterfaceSkin::~InterfaceSkin() { Clear(); }

InterfaceSkin::InterfaceSkin(const InterfaceSkin& other) : graphics_(other.graphics_) {
    areas_.reserve(kInitialAreas);
    *this = other;
}

InterfaceSkin& InterfaceSkin::operator=(const InterfaceSkin& other) {
    if (this == &other) return *this;
    Clear();
    graphics_ = other.graphics_;
    for (const auto& [name, area] : other.areas_) {
        auto copy = std::make_unique<Area>(*area);
        // A reference of the copy's own, so that each skin unloads only what it loaded.
        if (copy->texture != nullptr) copy->texture = graphics_->LoadTexture(copy->texture->GetFileName());
        areas_.emplace(name, std::move(copy));
    }
    return *this;
}

void InterfaceSkin::Clear() {
    for (const auto& entry : areas_) {
        if (entry.second->texture != nullptr) graphics_->UnloadTexture(entry.second->texture);
    }
    areas_.clear();
}

bool InterfaceSkin::LoadUIS(const char* file) {
    FileSystem* files = gEngine != nullptr ? gEngine->GetFileSystem() : nullptr;
    File* opened = files != nullptr ? files->OpenFile(file, FileMode::Read) : nullptr;
    if (opened == nullptr) {
        Log(LogPriority::Error, "Interface skin %s could not be opened", file);
        return false;
    }
    const uint32_t length = opened->GetLength();
    const char* text = length > 0 ? static_cast<const char*>(opened->Lock()) : "";
    const bool read = text != nullptr && ReadUIS(text, length, file);
    if (text == nullptr) Log(LogPriority::Error, "Interface skin %s could not be read", file);
    files->CloseFile(opened);
    return read;
}

bool InterfaceSkin::ReadUIS(const char* text, uint32_t length, const char* fileName) {
    // Quotes are kept so that a quoted "}" is a value, not the end of a block.
    BasicTextParser<char> parser(text, length, false);
    for (std::string token = parser.ReadToken(); !token.empty(); token = parser.ReadToken()) {
        if (token != "Area") continue;
        if (parser.ReadToken() != "{") {
            Log(LogPriority::Error, "Interface skin %s: 'Area' is not followed by '{'", fileName);
            return false;
        }
        std::string name, bitmap;
        Rect region(0.0f, 0.0f, 0.0f, 0.0f);
        for (std::string keyword = parser.ReadToken(); keyword != "}"; keyword = parser.ReadToken()) {
            // The separator, then the value; the end of the text in either cuts the block.
            if (keyword.empty() || parser.ReadToken().empty()) {
                Log(LogPriority::Error, "Interface skin %s is cut inside an area", fileName);
                return false;
            }
            if (keyword == "name" || keyword == "bitmap") {
                const std::string value = parser.ReadToken();
                if (value.empty() || value == "}") {
                    Log(LogPriority::Error, "Interface skin %s: '%s' has no value", fileName, keyword.c_str());
                    return false;
                }
                (keyword == "name" ? name : bitmap) = std::string(Unquote(value));
            } else if (keyword == "region" && !ReadRegion(parser, region)) {
                Log(LogPriority::Error, "Interface skin %s: a region of area '%s' is not four numbers", fileName,
                    name.c_str());
                return false;
            }
        }
        if (name.empty()) {
            Log(LogPriority::Warning, "Interface skin %s: an area without a name is skipped", fileName);
        } else if (areas_.find(name) != areas_.end()) {
            Log(LogPriority::Warning, "Interface skin %s: area '%s' is defined again; the first stays", fileName,
                name.c_str());
        } else {
            auto area = std::make_unique<Area>();
            area->region = region;
            if (graphics_ != nullptr) area->texture = graphics_->LoadTexture(bitmap);
            areas_.emplace(std::move(name), std::move(area));
        }
    }
    return true;
}

const InterfaceSkin::Area* InterfaceSkin::GetArea(const char* name) const {
    const auto found = areas_.find(name);
    return found != areas_.end() ? found->second.get() : nullptr;
}

}  // namespace GAME
