#include "effects/EmitterData.h"

#include <cstring>

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

constexpr char kTag[4] = {'P', 'F', 'X', '1'};
constexpr uint32_t kChunkId = 0;

// The curves whose loop flag follows bool 0: those read at emitter time.
constexpr int kEmitterTimeCurves[] = {
    EmitterData::Curve_Rate,         EmitterData::Curve_Speed,        EmitterData::Curve_OffsetX,
    EmitterData::Curve_OffsetY,      EmitterData::Curve_OffsetZ,      EmitterData::Curve_Spread,
    EmitterData::Curve_Radius,       EmitterData::Curve_EmitterSpinX, EmitterData::Curve_EmitterSpinY,
    EmitterData::Curve_EmitterSpinZ, EmitterData::Curve_LightRed,     EmitterData::Curve_LightGreen,
    EmitterData::Curve_LightBlue,    EmitterData::Curve_LightRadius,
};

struct CurveDefault {
    int index;
    PSColor color;
    bool halfGraph;
    float range;
    float y;  // at both ends
};

constexpr float kKeep = CurveData::kDefaultRange;  // a range the table leaves at the curve default

// Curves 12 and 13 keep every curve default.
constexpr CurveDefault kCurveDefaults[] = {
    {EmitterData::Curve_Alpha, PSColor::Alpha, false, kKeep, 1.0f},
    {EmitterData::Curve_Red, PSColor::Red, false, kKeep, 0.5f},
    {EmitterData::Curve_Green, PSColor::Green, false, kKeep, 0.5f},
    {EmitterData::Curve_Blue, PSColor::Blue, false, kKeep, 0.5f},
    {EmitterData::Curve_Spin, PSColor::Plain, true, 720.0f, 360.0f},
    {EmitterData::Curve_Size, PSColor::Plain, false, 0.5f, 0.25f},
    {EmitterData::Curve_Rate, PSColor::Plain, false, 200.0f, 80.0f},
    {EmitterData::Curve_Speed, PSColor::Plain, false, 10.0f, 0.0f},
    {EmitterData::Curve_Gravity, PSColor::Plain, true, 10.0f, 5.0f},
    {EmitterData::Curve_OffsetX, PSColor::Plain, true, 10.0f, 5.0f},
    {EmitterData::Curve_OffsetY, PSColor::Plain, true, 10.0f, 5.0f},
    {EmitterData::Curve_OffsetZ, PSColor::Plain, true, 10.0f, 5.0f},
    {EmitterData::Curve_Spread, PSColor::Plain, false, 360.0f, 10.0f},
    {EmitterData::Curve_Radius, PSColor::Plain, false, 1.0f, 0.5f},
    {EmitterData::Curve_Unused16, PSColor::Plain, true, 50.0f, 25.0f},
    {EmitterData::Curve_Stretch, PSColor::Plain, false, 4.0f, 0.0f},
    {EmitterData::Curve_EmitterSpinX, PSColor::None, true, 6.0f, 3.0f},
    {EmitterData::Curve_EmitterSpinY, PSColor::None, true, 6.0f, 3.0f},
    {EmitterData::Curve_EmitterSpinZ, PSColor::None, true, 6.0f, 3.0f},
    {EmitterData::Curve_Drag, PSColor::None, false, 1.0f, 0.0f},
    {EmitterData::Curve_LightRed, PSColor::Red, false, kKeep, 0.5f},
    {EmitterData::Curve_LightGreen, PSColor::Green, false, kKeep, 0.5f},
    {EmitterData::Curve_LightBlue, PSColor::Blue, false, kKeep, 0.5f},
    {EmitterData::Curve_LightRadius, PSColor::Plain, false, 15.0f, 5.0f},
};

// The old records' blend pairs are stored as RenderBlendFactor codes.
constexpr uint32_t BlendCode(RenderBlendFactor factor) { return static_cast<uint32_t>(factor); }
constexpr uint32_t kBlendOne = BlendCode(RenderBlendFactor::One);
constexpr uint32_t kBlendSourceAlpha = BlendCode(RenderBlendFactor::SourceAlpha);
constexpr uint32_t kBlendInverseSourceAlpha = BlendCode(RenderBlendFactor::InverseSourceAlpha);
constexpr uint32_t kBlendInverseDestinationAlpha = BlendCode(RenderBlendFactor::InverseDestinationAlpha);

// Reads an array's count. Every value takes at least 4 bytes, so a count the data cannot hold is
// corrupt; refusing it here also keeps the skip loops below short.
bool ReadCount(BinaryReader& reader, const char* what, uint32_t& count) {
    count = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Emitter block: the %s count is missing", what);
        return false;
    }
    if (count > reader.GetRemaining() / 4) {
        Log(LogPriority::Error, "Emitter block: %u %s cannot fit in %u bytes", count, what, reader.GetRemaining());
        return false;
    }
    return true;
}

}  // namespace

EmitterData::EmitterData() {
    strings_[String_Texture] = "Effects/Default/particletest.tex";
    strings_[String_Shader] = "Shaders/Particle/ParticleAdditive.ssh";
    floats_[Float_Life] = 10.0f;
    for (const CurveDefault& d : kCurveDefaults) {
        CurveData& curve = curves_[d.index];
        curve.SetColor(d.color);
        curve.SetHalfGraph(d.halfGraph);
        curve.SetRange(d.range);
        curve.SetFirstLastY(d.y);
    }
    SetLoop(false);
}

EmitterData::EmitterData(const EmitterData& other) { *this = other; }

EmitterData& EmitterData::operator=(const EmitterData& other) {
    debugLines_ = other.debugLines_;
    enabled_ = other.enabled_;
    strings_ = other.strings_;
    booleans_ = other.booleans_;
    integers_ = other.integers_;
    floats_ = other.floats_;
    for (int i = 0; i < kNumCurves; ++i) curves_[i].Copy(other.curves_[i]);
    SetLoop(GetLoop());
    return *this;
}

const std::string& EmitterData::GetString(int index) const {
    static const std::string empty;
    return index >= 0 && index < kNumStrings ? strings_[index] : empty;
}

void EmitterData::SetString(int index, const std::string& value) {
    if (index >= 0 && index < kNumStrings) strings_[index] = value;
}

bool EmitterData::GetBoolean(int index) const { return index >= 0 && index < kNumBooleans && booleans_[index]; }

void EmitterData::SetBoolean(int index, bool value) {
    if (index >= 0 && index < kNumBooleans) booleans_[index] = value;
}

int32_t EmitterData::GetInteger(int index) const {
    return index >= 0 && index < kNumIntegers ? integers_[index] : 0;
}

void EmitterData::SetInteger(int index, int32_t value) {
    if (index >= 0 && index < kNumIntegers) integers_[index] = value;
}

float EmitterData::GetFloat(int index) const { return index >= 0 && index < kNumFloats ? floats_[index] : 0.0f; }

void EmitterData::SetFloat(int index, float value) {
    if (index >= 0 && index < kNumFloats) floats_[index] = value;
}

const CurveData* EmitterData::GetCurve(int index) const {
    return index >= 0 && index < kNumCurves ? &curves_[index] : nullptr;
}

CurveData* EmitterData::GetCurve(int index) { return index >= 0 && index < kNumCurves ? &curves_[index] : nullptr; }

void EmitterData::SetLoop(bool loop) {
    booleans_[Bool_Loop] = loop;
    for (int index : kEmitterTimeCurves) curves_[index].SetLoop(loop);
}

uint32_t EmitterData::GetAllocatedSize() const {
    size_t size = 0;
    for (const std::string& text : strings_) size += text.capacity();
    for (const CurveData& curve : curves_) size += curve.GetAllocatedSize();
    return static_cast<uint32_t>(size);
}

void EmitterData::BinaryWrite(BinaryWriter& writer) const {
    writer.Write(kTag, sizeof(kTag));
    writer.BeginChunk(kChunkId);
    writer.Write(static_cast<uint32_t>(kNumStrings));
    for (const std::string& text : strings_) writer.Write(text);
    writer.Write(static_cast<uint32_t>(kNumBooleans));
    for (bool value : booleans_) writer.Write(value);
    writer.Write(static_cast<uint32_t>(kNumIntegers));
    for (int32_t value : integers_) writer.Write(value);
    writer.Write(static_cast<uint32_t>(kNumFloats));
    for (float value : floats_) writer.Write(value);
    writer.Write(static_cast<uint32_t>(kNumCurves));
    for (const CurveData& curve : curves_) curve.BinaryWrite(writer);
    writer.EndChunk();
}

bool EmitterData::BinaryRead(BinaryReader& reader) {
    char tag[sizeof(kTag)] = {};
    if (reader.GetRemaining() >= sizeof(tag)) std::memcpy(tag, reader.GetCursor(), sizeof(tag));
    // An old record starts with its texture name's length, which is never "PFX1" (0x31584650)
    // because that is over the longest string a reader accepts.
    if (std::memcmp(tag, kTag, sizeof(kTag)) == 0) return InternalBinaryRead(reader);
    return OldBinaryRead(reader);
}

bool EmitterData::InternalBinaryRead(BinaryReader& reader) {
    reader.Skip(sizeof(kTag));
    // The chunk id and size are information only: files in use carry sizes that do not match the
    // block (zero, say), so the block ends where its last curve ends.
    reader.ReadUInt32();
    reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Emitter block: its header runs past the end of the data");
        return false;
    }

    // Values past the end of an array are read and dropped, so a block with more slots than
    // this engine knows still loads.
    uint32_t count = 0;
    if (!ReadCount(reader, "strings", count)) return false;
    std::string extra;
    for (uint32_t i = 0; i < count; ++i) {
        if (!reader.ReadString(i < kNumStrings ? strings_[i] : extra)) {
            Log(LogPriority::Error, "Emitter block: string %u is too long or truncated", i);
            return false;
        }
    }
    if (!ReadCount(reader, "bools", count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const bool value = reader.ReadBool();
        if (i < kNumBooleans) booleans_[i] = value;
    }
    if (!ReadCount(reader, "integers", count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t value = reader.ReadInt32();
        if (i < kNumIntegers) integers_[i] = value;
    }
    if (!ReadCount(reader, "floats", count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const float value = reader.ReadFloat();
        if (i < kNumFloats) floats_[i] = value;
    }
    if (!ReadCount(reader, "curves", count)) return false;
    CurveData extraCurve;
    for (uint32_t i = 0; i < count; ++i) {
        if (!(i < kNumCurves ? curves_[i] : extraCurve).BinaryRead(reader)) {
            Log(LogPriority::Error, "Emitter block: curve %u could not be read", i);
            return false;
        }
    }
    if (reader.Failed()) {
        Log(LogPriority::Error, "Emitter block: the block is truncated");
        return false;
    }
    // After the curves, which bring their own loop flags, so the emitter-time curves follow bool 0.
    SetLoop(GetLoop());
    return true;
}

bool EmitterData::OldBinaryRead(BinaryReader& reader) {
    if (!reader.ReadString(strings_[String_Texture])) {
        Log(LogPriority::Error, "Emitter record: the texture name is too long or truncated");
        return false;
    }
    const uint32_t sourceBlend = reader.ReadUInt32();
    const uint32_t destinationBlend = reader.ReadUInt32();
    booleans_[0] = reader.ReadBool();
    booleans_[1] = reader.ReadBool();
    booleans_[2] = reader.ReadBool();
    booleans_[3] = reader.ReadBool();
    integers_[0] = reader.ReadInt32();
    booleans_[4] = reader.ReadBool();
    integers_[1] = reader.ReadInt32();
    booleans_[5] = reader.ReadBool();
    for (float& value : floats_) value = reader.ReadFloat();
    const uint32_t curveCount = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Emitter record: the record is truncated");
        return false;
    }
    // Other counts name no curves at all; the curves keep their defaults.
    if (curveCount >= 1 && curveCount <= kNumCurves) {
        for (uint32_t i = 0; i < curveCount; ++i) {
            if (!curves_[i].BinaryRead(reader)) {
                Log(LogPriority::Error, "Emitter record: curve %u could not be read", i);
                return false;
            }
        }
    }
    UpdateShader(sourceBlend, destinationBlend);
    SetLoop(GetLoop());
    return true;
}

void EmitterData::UpdateShader(uint32_t sourceBlend, uint32_t destinationBlend) {
    if (sourceBlend == kBlendSourceAlpha && destinationBlend == kBlendOne)
        SetShaderName("Shaders/Particle/ParticleAdditive.ssh");
    else if (sourceBlend == kBlendSourceAlpha && destinationBlend == kBlendInverseSourceAlpha)
        SetShaderName("Shaders/Particle/ParticleCombine.ssh");
    else if (sourceBlend == kBlendInverseDestinationAlpha && destinationBlend == kBlendOne)
        SetShaderName("Shaders/Particle/ParticleAdditiveSmooth.ssh");
}

}  // namespace GAME
