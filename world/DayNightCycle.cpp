#include "world/DayNightCycle.h"

#include <algorithm>
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

void DayNightCycle::SetDefault() {
    struct Row {
        const char* time;
        Color light, sky, ground;
    };
    static const Row kTable[] = {
        {" 1:00 AM", {0.165f, 0.198f, 0.55f, 1}, {0.12f, 0.26f, 0.59f, 1}, {0.11f, 0.15f, 0.24f, 1}},
        {" 3:10 AM", {1.0f, 0.81f, 0.59f, 1}, {0.26f, 0.15f, 0.35f, 1}, {0.65f, 0.38f, 0.11f, 1}},
        {" 9:00 AM", {0.94f, 0.82f, 0.65f, 1}, {0.52f, 0.56f, 0.64f, 1}, {0.45f, 0.29f, 0.18f, 1}},
        {" 5:00 PM", {0.94f, 0.82f, 0.65f, 1}, {0.52f, 0.56f, 0.64f, 1}, {0.45f, 0.29f, 0.18f, 1}},
        {" 6:00 PM", {0.94f, 0.78f, 0.65f, 1}, {0.5f, 0.45f, 0.38f, 1}, {0.45f, 0.29f, 0.18f, 1}},
        {"10:00 PM", {1.0f, 0.6f, 0.35f, 1}, {0.2f, 0.32f, 0.5f, 1}, {0.5f, 0.27f, 0.21f, 1}},
        {"11:10 PM", {0.165f, 0.198f, 0.55f, 1}, {0.12f, 0.26f, 0.59f, 1}, {0.11f, 0.15f, 0.24f, 1}},
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
    if (strcasecmp(suffix, "pm") == 0) hours += 12;
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
