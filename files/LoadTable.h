#pragma once
// LoadTable: a record of named fields, read from the text form of a record file (.dbr).
//
// Text form: one field a line, "key,value," (anything after the second comma is ignored), array
// items separated by ';'. Keys are case-sensitive and trimmed of blanks, as are items; the last of
// two equal keys wins; blank lines are skipped and lines with no comma are skipped with a warning.
//
// A field is a list of items; the scalar getters read its first item, so a one-item field reads
// the same through every getter. Every getter returns its default for a missing key, an empty
// value, or (typed getters) a value that is not a number. Numbers are read without the locale.
//
// A table is filled once, before it is shared (TableDepot publishes only finished tables), and
// never changed afterwards, so the getters need no lock and the texts they return stay valid for
// the table's life.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/Mem.h"

namespace GAME {

class EffectResource;
class GraphicsMesh;
class GraphicsShader2;
class GraphicsTexture;

class LoadTable {
public:
    LoadTable() = default;
    explicit LoadTable(std::string recordName) : recordName_(std::move(recordName)) {}

    // Adds the fields of a record's text; false when it holds none.
    bool Parse(const char* text, uint32_t size);

    // The normal form of the record's file name (the object name of objects made from it).
    const std::string& GetRecordName() const { return recordName_; }
    int GetNumFields() const { return static_cast<int>(fields_.size()); }
    // Whether the record has the field, even with an empty value.
    bool HasField(const char* key) const { return fields_.find(std::string_view(key)) != fields_.end(); }

    const char* GetValue(const char* key, const char* defaultValue) const;
    // An integer; a number with a fraction or exponent is truncated toward 0.
    int GetInt(const char* key, int defaultValue) const;
    float GetFloat(const char* key, float defaultValue) const;
    // An integer, true when not 0; "true" and "false" in any case are accepted too.
    bool GetBool(const char* key, bool defaultValue) const;

    // The number of items of a field (0 for a missing key or an empty value).
    int GetNumElementsForField(const char* key) const;
    const char* GetArrayValue(const char* key, int index, const char* defaultValue) const;
    float GetArrayReal(const char* key, int index, float defaultValue) const;
    // Empties out, then appends every item of the field that reads as a number.
    void GetArrayInt(const char* key, mem::vector<int>& out) const;
    void GetArrayReal(const char* key, mem::vector<float>& out) const;

    // The texture, shader or mesh file named by the item at an index, loaded through the running
    // graphics engine (gEngine's) with one reference for the caller, who gives it back through
    // the graphics engine's UnloadTexture, UnloadShader2 or UnloadMesh. Null for a missing or
    // empty item or without a graphics engine.
    const GraphicsTexture* LoadTexture(const char* key, int index) const;
    const GraphicsShader2* LoadShader2(const char* key, int index) const;
    const GraphicsMesh* LoadMesh(const char* key, int index) const;
    // The effect file named by the item, from the engine's effect resource manager with one
    // reference for the caller (given back through the manager's UnloadResource). Null for a
    // missing or empty item or without a manager. Defined with the effect resource.
    const EffectResource* LoadResourceEffect(const char* key, int index) const;

private:
    // The item at an index; null when absent or empty.
    const std::string* FindItem(const char* key, int index) const;
    // Empties out, then appends every item of the field that parse accepts.
    template <typename T>
    void AppendParsed(const char* key, mem::vector<T>& out, bool (*parse)(std::string_view, T&)) const;

    std::string recordName_;
    std::map<std::string, mem::vector<std::string>, std::less<>> fields_;
};

}  // namespace GAME
