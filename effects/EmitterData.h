#pragma once
// EmitterData: everything that describes one emitter of an effect file: two file names, twelve
// switches, two integers, four numbers and 26 curves. The stored form carries no slot names: a
// slot's meaning is fixed by its index, listed in the enumerations below with its default.
// Emitters built from the data share it and only read it while the effect plays.
//
// Emitter time is the emitter's own clock in seconds; a particle's age is its time since it was
// emitted. Curves read at emitter time are the emitter-time curves; the rest are read at the age.
// A "centred" curve is read as y - range / 2 by its users.
//
// Stored form (the "PFX1" block; a block without the tag is an old record, read only):
//   4 bytes "PFX1", u32 chunk id 0, u32 chunk size (the bytes after this field)
//   u32 string count (2),  the strings (u32 length, bytes)
//   u32 bool count (12),   the bools as u32 0 or 1
//   u32 integer count (2), the i32 values
//   u32 float count (4),   the f32 values
//   u32 curve count (26),  the curves in their stored form (CurveData)
// The reader takes the chunk id and size as information only (stored files may carry a size that
// does not match the block): it reads the block field by field, bounded by the data, and skips
// values past the end of an array; the block ends after its last curve.
//
// Old record: string texture, u32 source and destination blend factors (they pick the shader),
// bools 0 to 3, integer 0, bool 4, integer 1, bool 5, floats 0 to 3, u32 curve count n, then n
// curves only when 1 <= n <= 26. Whatever it does not name keeps its default.

#include <array>
#include <cstdint>
#include <string>

#include "core/CurveData.h"

namespace GAME {

class BinaryReader;
class BinaryWriter;

class EmitterData {
public:
    static constexpr int kNumStrings = 2;
    static constexpr int kNumBooleans = 12;
    static constexpr int kNumIntegers = 2;
    static constexpr int kNumFloats = 4;
    static constexpr int kNumCurves = 26;

    enum StringSlot : int {
        String_Texture = 0,  // its frames animate the particles; "Effects/Default/particletest.tex"
        String_Shader = 1,   // "Shaders/Particle/ParticleAdditive.ssh"
    };

    // All false by default.
    enum BooleanSlot : int {
        Bool_Loop = 0,              // the emitter time wraps at the duration (see SetLoop)
        Bool_EmitLocally = 1,       // particles live in the emitter's space, drawn with its transform
        Bool_AlignToVelocity = 2,   // quads point along the velocity instead of spinning
        Bool_MoveToCentre = 3,      // particles head for the offset point, with no gravity or drag
        Bool_RandomSpin = 4,        // a new particle starts at a whole-degree angle from 0 to 359
        Bool_FlatEmission = 5,      // the vertical part of the emission direction is zeroed
        Bool_Light = 6,             // the emitter owns a point light
        Bool_LightShadows = 7,      // the light casts shadows
        Bool_LightNightScale = 8,   // the light follows the ambiance's night-light scale (not in the editor)
        Bool_Unused9 = 9,           // stored and copied only
        Bool_OrientVertically = 10, // the shader's "orientVertically"
        Bool_LightSimple = 11,      // the light uses simple mode
    };

    // 0 by default.
    enum IntegerSlot : int {
        Integer_Shape = 0,            // an EmissionShape; other values emit from the offset point
        Integer_FramesPerSecond = 1,  // texture frame rate; 0 spreads the frames over the life
    };

    enum EmissionShape : int {
        Shape_SphereVolume = 0,
        Shape_Disc = 1,
        Shape_Ring = 2,
        Shape_VerticalLine = 3,
        Shape_SphereSurface = 4,
    };

    enum FloatSlot : int {
        Float_Life = 0,       // particle life in seconds; 10
        Float_RotationX = 1,  // initial emitter rotation, degrees; 0
        Float_RotationY = 2,
        Float_RotationZ = 3,
    };

    // Defaults as (colour, half graph, range, y at both ends); "-" keeps the curve default.
    enum CurveSlot : int {
        Curve_Alpha = 0,           // age;          Alpha, no, -, 1.0
        Curve_Red = 1,             // age;          Red, no, -, 0.5
        Curve_Green = 2,           // age;          Green, no, -, 0.5
        Curve_Blue = 3,            // age;          Blue, no, -, 0.5
        Curve_Spin = 4,            // age, centred, degrees per second;   Plain, yes, 720, 360
        Curve_Size = 5,            // age, quad size (its maximum pads the bounds); Plain, no, 0.5, 0.25
        Curve_Rate = 6,            // emitter time, particles per second; Plain, no, 200, 80
        Curve_Speed = 7,           // emitter time, initial speed;        Plain, no, 10, 0
        Curve_Gravity = 8,         // age, centred;                       Plain, yes, 10, 5
        Curve_OffsetX = 9,         // emitter time, centred;              Plain, yes, 10, 5
        Curve_OffsetY = 10,        // emitter time, centred;              Plain, yes, 10, 5
        Curve_OffsetZ = 11,        // emitter time, centred;              Plain, yes, 10, 5
        Curve_Unused12 = 12,       // stored and copied only;             -, -, -, -
        Curve_Unused13 = 13,       // stored and copied only;             -, -, -, -
        Curve_Spread = 14,         // emitter time, emission cone degrees; Plain, no, 360, 10
        Curve_Radius = 15,         // emitter time, shape size; its domain is the duration; Plain, no, 1, 0.5
        Curve_Unused16 = 16,       // stored and copied only;             Plain, yes, 50, 25
        Curve_Stretch = 17,        // age, velocity stretch;              Plain, no, 4, 0
        Curve_EmitterSpinX = 18,   // emitter time, centred, radians per second; -, yes, 6, 3
        Curve_EmitterSpinY = 19,   // as X
        Curve_EmitterSpinZ = 20,   // as X
        Curve_Drag = 21,           // age, velocity factor lost per update; -, no, 1, 0
        Curve_LightRed = 22,       // emitter time;                       Red, no, -, 0.5
        Curve_LightGreen = 23,     // emitter time;                       Green, no, -, 0.5
        Curve_LightBlue = 24,      // emitter time;                       Blue, no, -, 0.5
        Curve_LightRadius = 25,    // emitter time;                       Plain, no, 15, 5
    };

    // The defaults above, then SetLoop(false).
    EmitterData();
    // Copies every slot and both flags, then applies SetLoop with the copied bool 0, so the
    // emitter-time curves loop exactly when the copy does.
    EmitterData(const EmitterData& other);
    EmitterData& operator=(const EmitterData& other);

    // Slot access. An index outside the array is ignored by the setters; the getters return an
    // empty string, false or 0 for it.
    const std::string& GetString(int index) const;
    void SetString(int index, const std::string& value);
    bool GetBoolean(int index) const;
    void SetBoolean(int index, bool value);
    int32_t GetInteger(int index) const;
    void SetInteger(int index, int32_t value);
    float GetFloat(int index) const;
    void SetFloat(int index, float value);
    // Null for an index outside 0..25.
    const CurveData* GetCurve(int index) const;
    CurveData* GetCurve(int index);

    bool GetLoop() const { return booleans_[Bool_Loop]; }
    // Sets bool 0 and the loop flag of the 14 emitter-time curves (rate, speed, offsets, spread,
    // radius, emitter spins, light colour and radius). Age curves and 12, 13, 16 keep theirs.
    void SetLoop(bool loop);

    // Not stored: whether emitters built from this data are drawn, and whether the particle editor
    // draws their debug lines. Both default to true.
    bool GetEnabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool GetDebugLines() const { return debugLines_; }
    void SetDebugLines(bool debugLines) { debugLines_ = debugLines; }

    const std::string& GetTextureName() const { return strings_[String_Texture]; }
    void SetTextureName(const std::string& name) { strings_[String_Texture] = name; }
    const std::string& GetShaderName() const { return strings_[String_Shader]; }
    void SetShaderName(const std::string& name) { strings_[String_Shader] = name; }

    // Heap bytes held: the strings' capacities and every curve's points.
    uint32_t GetAllocatedSize() const;

    // Writes the "PFX1" block.
    void BinaryWrite(BinaryWriter& writer) const;
    // Reads a "PFX1" block or, without the tag, an old record. False, with the reason logged, on
    // truncated or corrupt data; the emitter may then be partly read and should be dropped.
    bool BinaryRead(BinaryReader& reader);

private:
    bool InternalBinaryRead(BinaryReader& reader);
    bool OldBinaryRead(BinaryReader& reader);
    // Picks the shader of an old record from its two RenderBlendFactor codes.
    void UpdateShader(uint32_t sourceBlend, uint32_t destinationBlend);

    bool debugLines_ = true;
    bool enabled_ = true;
    std::array<std::string, kNumStrings> strings_;
    std::array<bool, kNumBooleans> booleans_{};
    std::array<int32_t, kNumIntegers> integers_{};
    std::array<float, kNumFloats> floats_{};
    std::array<CurveData, kNumCurves> curves_;
};

}  // namespace GAME
