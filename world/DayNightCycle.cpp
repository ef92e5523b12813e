#include "world/DayNightCycle.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "core/MathUtil.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

constexpr char kTag[3] = {'D', 'N', 'C'};
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kSetupSize = 40;

void WriteRgb(BinaryWriter& writer, const Color& color) {
    writer.Write(color.r);
    writer.Write(color.g);
    writer.Write(color.b);
}

Color ReadRgb(BinaryReader& reader) {
    const float r = reader.ReadFloat();
    const float g = reader.ReadFloat();
    const float b = reader.ReadFloat();
    return Color(r, g, b, 1.0f);
}

float CatmullRom(float p0, float p1, float p2, float p3, float f) {
    return 0.5f * (2.0f * p1 + (p2 - p0) * f + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * f * f +
                   (-p0 + 3.0f * p1 - 3.0f * p2 + p3) * f * f * f);
}

Color CatmullRom(const Color& c0, const Color& c1, const Color& c2, const Color& c3, float f) {
    return Color(CatmullRom(c0.r, c1.r, c2.r, c3.r, f), CatmullRom(c0.g, c1.g, c2.g, c3.g, f),
                 CatmullRom(c0.b, c1.b, c2.b, c3.b, f), 1.0f);
}

// 0 at the event, rising smoothly to 1 an hour or more away from it.
float FadeNear(float time, float event) {
    const float away = std::min(std::fabs(time - event), 1.0f);
    const float s = (std::cos((1.0f - away) * Pi) + 1.0f) * 0.5f;
    return s * s;
}

}  // namespace

DayNightCycle::DayNightCycle()
    : sunSet_(22.0f + 59.0f / 60.0f),
      sunRise_(2.0f + 1.0f / 60.0f),
      sunAzimuth_(DegreesToRadians(45.0f)),
      sunMinAngle_(DegreesToRadians(25.0f)),
      moonAzimuth_(DegreesToRadians(138.0f)),
      moonMinAngle_(DegreesToRadians(40.0f)) {}

unsigned DayNightCycle::AddLightSetup(float time, const Color& light, const Color& sky, const Color& ground) {
    const float wrapped = WrapToRange(time, 0.0f, 24.0f);
    const auto at = std::upper_bound(setups_.begin(), setups_.end(), wrapped,
                                     [](float t, const LightSetup& setup) { return t < setup.time; });
    const auto inserted = setups_.insert(at, LightSetup{wrapped, light, sky, ground});
    return unsigned(inserted - setups_.begin());
}

unsigned DayNightCycle::SetLightSetupTime(unsigned index, float time) {
    setups_[index].time = time;
    const bool beforePrevious = index >= 1 && time < setups_[index - 1].time;
    const bool afterNext = index + 1 < setups_.size() && time > setups_[index + 1].time;
    if (!beforePrevious && !afterNext) return index;
    const LightSetup moved = setups_[index];
    setups_.erase(setups_.begin() + index);
    return AddLightSetup(moved.time, moved.light, moved.sky, moved.ground);
}

bool DayNightCycle::GetTimeFraction(float time, float start, float end, float& fraction) {
    if (time < start) time += 24.0f;
    if (end < start) end += 24.0f;
    fraction = (time - start) / (end - start);
    return fraction >= 0.0f && fraction < 1.0f;
}

bool DayNightCycle::GetIsDay(float time) const {
    float fraction;
    return GetTimeFraction(time, sunRise_, sunSet_, fraction);
}

void DayNightCycle::GetLighting(float time, Color& light, Color& sky, Color& ground) const {
    const size_t n = setups_.size();
    if (n == 0) {
        light = sky = ground = Color(0, 0, 0, 1);
        return;
    }
    const auto next = std::upper_bound(setups_.begin(), setups_.end(), time,
                                       [](float t, const LightSetup& setup) { return t < setup.time; });
    const size_t i = next == setups_.end() ? 0 : size_t(next - setups_.begin());
    const LightSetup& s0 = setups_[(i + 2 * n - 2) % n];
    const LightSetup& s1 = setups_[(i + n - 1) % n];
    const LightSetup& s2 = setups_[i];
    const LightSetup& s3 = setups_[(i + 1) % n];

    float span = s2.time - s1.time;
    if (span < 0.0f) span += 24.0f;
    float f = 0.0f;
    if (span != 0.0f) f = ((time < s1.time ? time + 24.0f : time) - s1.time) / span;

    light = CatmullRom(s0.light, s1.light, s2.light, s3.light, f);
    sky = CatmullRom(s0.sky, s1.sky, s2.sky, s3.sky, f);
    ground = CatmullRom(s0.ground, s1.ground, s2.ground, s3.ground, f);
    if (sunRise_ != sunSet_) {
        const float fade = FadeNear(time, sunRise_) * FadeNear(time, sunSet_);
        light = Color(light.r * fade, light.g * fade, light.b * fade, 1.0f);
    }
    light.Clamp(0.0f, 1.0f);
    sky.Clamp(0.0f, 1.0f);
    ground.Clamp(0.0f, 1.0f);
}

Vec3 DayNightCycle::GetLightDirection(float time, bool ignoreAzimuth) const {
    // A time off the clock (outside [0, 24) or not a number) keeps the sun at its minimum angle.
    float elevation = sunMinAngle_;
    float azimuth = sunAzimuth_;
    float f;
    if (sunRise_ != sunSet_) {
        if (GetTimeFraction(time, sunRise_, sunSet_, f)) {
            elevation = sunMinAngle_ + (Pi - 2.0f * sunMinAngle_) * f;
        } else if (GetTimeFraction(time, sunSet_, sunRise_ + 24.0f, f)) {
            elevation = moonMinAngle_ + (Pi - 2.0f * moonMinAngle_) * f;
            azimuth = moonAzimuth_;
        }
    }
    if (ignoreAzimuth) azimuth = 0.0f;
    return Vec3(std::cos(elevation) * std::cos(azimuth), std::sin(elevation),
                std::cos(elevation) * std::sin(azimuth));
}

void DayNightCycle::SetDefault() {
    struct Row {
        const char* time;
        Color light, sky, ground;
    };
    static const Row kTable[] = {
        {" 1:00 AM", {0.165f, 0.198f, 0.55f, 1.0f}, {0.12f, 0.26f, 0.59f, 1.0f}, {0.11f, 0.15f, 0.24f, 1.0f}},
        {" 3:10 AM", {1.0f, 0.81f, 0.59f, 1.0f}, {0.26f, 0.15f, 0.35f, 1.0f}, {0.65f, 0.38f, 0.11f, 1.0f}},
        {" 9:00 AM", {0.94f, 0.82f, 0.65f, 1.0f}, {0.52f, 0.56f, 0.64f, 1.0f}, {0.45f, 0.29f, 0.18f, 1.0f}},
        {" 5:00 PM", {0.94f, 0.82f, 0.65f, 1.0f}, {0.52f, 0.56f, 0.64f, 1.0f}, {0.45f, 0.29f, 0.18f, 1.0f}},
        {" 6:00 PM", {0.94f, 0.78f, 0.65f, 1.0f}, {0.5f, 0.45f, 0.38f, 1.0f}, {0.45f, 0.29f, 0.18f, 1.0f}},
        {"10:00 PM", {1.0f, 0.6f, 0.35f, 1.0f}, {0.2f, 0.32f, 0.5f, 1.0f}, {0.5f, 0.27f, 0.21f, 1.0f}},
        {"11:10 PM", {0.165f, 0.198f, 0.55f, 1.0f}, {0.12f, 0.26f, 0.59f, 1.0f}, {0.11f, 0.15f, 0.24f, 1.0f}},
    };
    setups_.clear();
    sunRise_ = ParseClockTime(" 2:01 AM");
    sunSet_ = ParseClockTime("10:59 PM");
    sunAzimuth_ = DegreesToRadians(138.0f);
    sunMinAngle_ = DegreesToRadians(25.0f);
    moonAzimuth_ = DegreesToRadians(138.0f);
    moonMinAngle_ = DegreesToRadians(40.0f);
    for (const Row& row : kTable) AddLightSetup(ParseClockTime(row.time), row.light, row.sky, row.ground);
}

float DayNightCycle::ParseClockTime(const char* text) {
    int hours = 0;
    int minutes = 0;
    char suffix[3] = {};
    if (!text || std::sscanf(text, " %d : %d %2s ", &hours, &minutes, suffix) < 3) return 0.0f;
    // 12 AM is midnight and 12 PM noon.
    if (strcasecmp(suffix, "am") == 0 && hours == 12) hours = 0;
    if (strcasecmp(suffix, "pm") == 0 && hours != 12) hours += 12;
    return WrapToRange(float(hours) + float(minutes) / 60.0f, 0.0f, 24.0f);
}

void DayNightCycle::Write(BinaryWriter& writer) const {
    writer.Write(kTag, sizeof(kTag));
    writer.Write(static_cast<unsigned char>(kVersion));
    writer.Write(sunSet_);
    writer.Write(sunRise_);
    writer.Write(sunAzimuth_);
    writer.Write(sunMinAngle_);
    writer.Write(moonAzimuth_);
    writer.Write(moonMinAngle_);
    writer.Write(uint32_t(setups_.size()));
    for (const LightSetup& setup : setups_) {
        writer.Write(setup.time);
        WriteRgb(writer, setup.light);
        WriteRgb(writer, setup.sky);
        WriteRgb(writer, setup.ground);
    }
}

bool DayNightCycle::Read(BinaryReader& reader) {
    setups_.clear();
    if (reader.GetRemaining() < kHeaderSize) return false;
    char tag[3];
    reader.ReadBytes(tag, sizeof(tag));
    if (std::memcmp(tag, kTag, sizeof(kTag)) != 0 || reader.ReadUInt8() != kVersion) return false;
    sunSet_ = reader.ReadFloat();
    sunRise_ = reader.ReadFloat();
    sunAzimuth_ = reader.ReadFloat();
    sunMinAngle_ = reader.ReadFloat();
    moonAzimuth_ = reader.ReadFloat();
    moonMinAngle_ = reader.ReadFloat();
    const uint32_t count = reader.ReadUInt32();
    if (uint64_t(count) * kSetupSize > reader.GetRemaining()) return false;
    setups_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const float time = reader.ReadFloat();
        const Color light = ReadRgb(reader);
        const Color sky = ReadRgb(reader);
        const Color ground = ReadRgb(reader);
        setups_.push_back({time, light, sky, ground});
    }
    return true;
}

}  // namespace GAME
