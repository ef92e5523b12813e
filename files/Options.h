#pragma once
// Options: the user's settings, typed and indexed by name, read from settings files and written
// back.
//
// File form: one setting a line, "name = value". Names are the enumerator names below. Values:
// bools "true"/"false" (1 and 0 read too), qualities 0 (low), 1 (medium) or 2 (high), floats as
// decimal numbers, the int pair as two integers ("1024 768"; "1024x768" and "1024,768" read too),
// strings as the rest of the line. Blanks around names and values are ignored; lines starting
// with '#', ';' or "//" are comments.
//
// The engine loads the defaults file, then the user's file over it. Save writes every option as
// "%-25s = " and its value, then the lines it read and does not know (other programs' settings,
// comments), so saving never loses them. A value that does not read is logged and skipped.
//
// Saves end every line, so a file cut in half ends inside a line, and one overwritten with other
// data holds lines that are no settings or no text. Load warns of the first line that could not be
// read (or that the file ends inside), naming the file, the line and why; the rest is read.
//
// Index gaps (bools 0-4, 12-14, 16, 17; floats 0-4) belong to options no part of the engine uses;
// they hold their defaults and are not written.
//
// Threads: getters and setters may be called from any thread.

#include <cstdint>
#include <string>

#include "core/CriticalSection.h"
#include "core/Mem.h"

namespace GAME {

class Options {
public:
    // On/off options, with their indices.
    enum class BoolName : int {
        antiAliasing = 5,
        fullscreen = 6,
        syncToRefresh = 7,
        tripleBuffer = 8,
        cameraShake = 9,
        detailObjects = 10,
        advancedEffects = 11,
        skipCompatibilityChecks = 15,
        shadows = 18,
    };
    static constexpr int kNumBools = 19;

    // Quality levels 0 (low) to 2 (high).
    enum class QualityName : int {
        textureQuality = 0,
        shadowQuality = 1,
        detailLevel = 2,
        reflectionQuality = 3,
    };
    static constexpr int kNumQualities = 4;

    enum class FloatName : int {
        brightness = 5,
        contrast = 6,
        gamma = 7,
    };
    static constexpr int kNumFloats = 8;

    enum class Int2Name : int {
        resolution = 0,
    };
    static constexpr int kNumInt2s = 1;

    enum class StringName : int {
        language = 0,  // the name of the localization language, "English" by default
    };
    static constexpr int kNumStrings = 1;

    // A pair of ints (the resolution's width and height).
    struct Int2 {
        int x = 0;
        int y = 0;
        bool operator==(const Int2&) const = default;
    };

    // Every option at its default: qualities 1; fullscreen, cameraShake, shadows, detailObjects and
    // advancedEffects on, the other bools off; brightness, contrast and gamma 0.5; resolution
    // 1024 x 768; language "English".
    Options();
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    // Reads a settings file over the current values. False when the file cannot be read or is
    // empty (logged with its name; a missing file is not logged: the user's file does not exist
    // before the first save).
    bool Load(const std::string& path);
    // A line of a settings text that could not be read.
    struct UnreadLine {
        uint32_t number = 0;  // from 1; 0 when every line was read
        std::string text;     // the line, its characters that are not text shown as '?'
        const char* why = "";
    };
    // Adds the settings of a file's text, as Load does; returns the first line that could not be
    // read, or that the text ends inside (Load's warning).
    UnreadLine Parse(const char* text, uint32_t size);
    // Writes the settings file whole or not at all (AtomicFile); false, with a logged error and the
    // previous file kept, unless all of it was written.
    bool Save(const std::string& path) const;

    bool GetBool(BoolName name) const;
    void SetBool(BoolName name, bool value);
    // 0 low, 1 medium, 2 high.
    int GetQuality(QualityName name) const;
    // Values outside 0-2 are clamped.
    void SetQuality(QualityName name, int value);
    float GetFloat(FloatName name) const;
    void SetFloat(FloatName name, float value);
    Int2 GetInt2(Int2Name name) const;
    void SetInt2(Int2Name name, Int2 value);
    std::string GetString(StringName name) const;
    void SetString(StringName name, const std::string& value);

private:
    enum class Setting { Unknown, Read, Unreadable };
    // Reads one "name = value" line: Unknown when the name is not an option's, Unreadable (logged)
    // when its value does not read.
    Setting ParseSetting(const std::string& name, const std::string& value);
    // Keeps a line that is not an option, replacing an earlier one of the same name.
    void KeepUnknownLine(const std::string& name, const std::string& line);

    mutable CriticalSection lock_;
    bool bools_[kNumBools] = {};
    int qualities_[kNumQualities] = {};
    float floats_[kNumFloats] = {};
    Int2 int2s_[kNumInt2s] = {};
    std::string strings_[kNumStrings];
    // Lines read that are not options, in the order first read: the setting's name (empty for a
    // line without '=') and the line to write back.
    mem::vector<std::pair<std::string, std::string>> unknownLines_;
};

}  // namespace GAME
