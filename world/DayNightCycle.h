#pragma once
// DayNightCycle: how the outdoor light changes over the 24-hour clock: sunrise and sunset, where
// the sun and the moon stand, and a table of light setups (sun/moon light, sky ambient and ground
// ambient colours at given times), kept sorted by time. The ambiance manager holds the default
// cycle; every day/night sector style holds one that overrides it where it is painted. The cycle
// is a plain value: it stores its table and evaluates it for a time of day.
//
// Lighting runs a Catmull-Rom spline through the setups around the time (the table wraps past
// midnight), and fades the sun/moon light to black within an hour of sunrise and sunset so the
// switch between sun and moon is never seen. The sun climbs over the zenith from its minimum
// angle at sunrise to the mirrored angle at sunset; the moon does the same through the night.
//
// A new cycle has no setups, sunrise 2:01, sunset 22:59, sun azimuth 45 degrees (SetDefault
// uses 138), sun minimum angle 25 degrees, moon azimuth 138 degrees, moon minimum angle 40
// degrees. Hours are float hours on the 24-hour clock; angles are radians.
//
// Stored form ("DNC" block, inside the sector data), little-endian:
//   'D' 'N' 'C', u8 version (2), f32 sunset, f32 sunrise, f32 sun azimuth, f32 sun minimum angle,
//   f32 moon azimuth, f32 moon minimum angle, u32 setup count n, then n setups of 10 f32: time,
//   light r g b, sky r g b, ground r g b.
// Alpha is not stored (read back as 1); Read keeps the stored order.

#include <cstdint>

#include "core/Color.h"
#include "core/Vec3.h"
#include "core/Mem.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class DayNightCycle {
public:
    struct LightSetup {
        float time;    // hours in [0, 24)
        Color light;   // sun or moon light
        Color sky;     // sky ambient
        Color ground;  // ground ambient
    };

    static constexpr uint8_t kVersion = 2;

    DayNightCycle();

    float GetSunRise() const { return sunRise_; }
    float GetSunSet() const { return sunSet_; }
    void SetSunRise(float hours) { sunRise_ = hours; }
    void SetSunSet(float hours) { sunSet_ = hours; }
    float GetSunAzimuth() const { return sunAzimuth_; }
    float GetSunMinAngle() const { return sunMinAngle_; }
    float GetMoonAzimuth() const { return moonAzimuth_; }
    float GetMoonMinAngle() const { return moonMinAngle_; }
    void SetSunAzimuth(float radians) { sunAzimuth_ = radians; }
    void SetSunMinAngle(float radians) { sunMinAngle_ = radians; }
    void SetMoonAzimuth(float radians) { moonAzimuth_ = radians; }
    void SetMoonMinAngle(float radians) { moonMinAngle_ = radians; }

    unsigned GetNumLightSetups() const { return unsigned(setups_.size()); }
    // The index is the caller's to keep in range.
    const LightSetup& GetLightSetup(unsigned index) const { return setups_[index]; }
    // Wraps the time into [0, 24) and inserts the setup after every setup of an equal or earlier
    // time; returns its index.
    unsigned AddLightSetup(float time, const Color& light, const Color& sky, const Color& ground);
    void SetLightSetupLightColor(unsigned index, const Color& color) { setups_[index].light = color; }
    void SetLightSetupSkyColor(unsigned index, const Color& color) { setups_[index].sky = color; }
    void SetLightSetupGroundColor(unsigned index, const Color& color) { setups_[index].ground = color; }
    // Stores the time unchanged; a setup that now falls out of order is re-inserted as by
    // AddLightSetup. Returns the setup's index afterwards.
    unsigned SetLightSetupTime(unsigned index, float time);
    void RemoveLightSetup(unsigned index) { setups_.erase(setups_.begin() + index); }
    // Removes every setup; the sun and moon values stay.
    void Clear() { setups_.clear(); }
    // Replaces everything with the built-in table.
    void SetDefault();

    // Whether the time lies in [sunrise, sunset) on the wrapping clock.
    bool GetIsDay(float time) const;
    // The sun/moon light, sky ambient and ground ambient colours at a time of day, each in [0, 1]
    // with alpha 1; all black with no setups.
    void GetLighting(float time, Color& light, Color& sky, Color& ground) const;
    // Unit vector towards the sun by day and the moon by night (y up); with ignoreAzimuth the
    // body moves in the x-y plane.
    Vec3 GetLightDirection(float time, bool ignoreAzimuth) const;

    void Write(BinaryWriter& writer) const;
    // Removes every setup first. False when the block is cut short, not tagged "DNC" or of another
    // version; when only the setups are cut short the sun and moon values are already replaced.
    bool Read(BinaryReader& reader);

    // Hours of a clock string such as " 2:01 AM" or "10:59 PM" (" %d : %d %2s"; the suffix in any
    // case: "pm" adds 12 to the hours but to 12, noon; "am" takes 12, midnight, as 0), wrapped
    // into [0, 24); 0 when the string has no hours, minutes and suffix.
    static float ParseClockTime(const char* text);
    // Where a time lies in the interval [start, end), which may wrap past midnight: fraction is
    // 0 at start and 1 at end; true when the time lies inside.
    static bool GetTimeFraction(float time, float start, float end, float& fraction);

private:
    mem::vector<LightSetup> setups_;
    float sunSet_;
    float sunRise_;
    float sunAzimuth_;
    float sunMinAngle_;
    float moonAzimuth_;
    float moonMinAngle_;
};

}  // namespace GAME
