#pragma once
// CurveData: a piecewise-linear curve of (x, y) points, the form every animated parameter of the
// effects takes (an emitter's rate, a particle's size over its age, ...).
//
// The domain is the curve's x extent (for an emitter-time curve, the emitter's duration in
// seconds); the range is its y extent as the editor shows it. A half-graph curve is centred: its
// users read y - range / 2, so a point at half the range means 0. The loop flag makes GetYFast
// wrap x into [0, domain); otherwise x is clamped to the first and last points.
//
// Invariants, kept by every setter and checked by the reader: 1 to kMaxPoints points, sorted by x
// (equal x allowed, a step), every number finite, the domain 0 or more. So GetYFast never divides
// by zero and never returns NaN, even for a zero domain.
//
// The stored form is this engine's own; it is described next to the reader below.

#include <cstdint>

#include "core/Mem.h"

namespace GAME {

class BinaryInput;
class BinaryOutput;

// The colour the particle editor draws a curve in. It is only stored with the curve; how each
// code looks is the editor's choice.
enum class PSColor : uint32_t {
    None = 0,   // the curve default
    Plain = 1,  // an ordinary value curve
    Green = 2,
    Blue = 3,
    Alpha = 4,
    Red = 5,
};

class CurveData {
public:
    struct Point {
        float x = 0.0f;
        float y = 0.0f;
        bool operator==(const Point&) const = default;
    };

    static constexpr uint32_t kVersion = 1;
    // More points than an editor ever draws; a larger stored count is corrupt.
    static constexpr uint32_t kMaxPoints = 1024;
    // A new curve: a flat line at kDefaultY over a domain of one second, range 1.
    static constexpr float kDefaultDomain = 1.0f;
    static constexpr float kDefaultRange = 1.0f;
    static constexpr float kDefaultY = 0.0f;

    // Two points, (0, kDefaultY) and (kDefaultDomain, kDefaultY); no loop, no half graph.
    CurveData();

    bool operator==(const CurveData&) const = default;

    // y at x: wrapped into [0, domain) when looping (a zero domain does not wrap), then clamped
    // to the first and last points and interpolated linearly. A NaN x reads the first point.
    float GetYFast(float x) const;

    float GetDomain() const { return domain_; }
    float GetRange() const { return range_; }
    // True when every point has the same y, so GetYFast returns it wherever it is read.
    bool IsFlat() const;
    // The largest y of the points.
    float GetMaxY() const;
    bool GetLoop() const { return loop_; }
    bool GetHalfGraph() const { return halfGraph_; }
    PSColor GetColor() const { return color_; }
    const mem::vector<Point>& GetPoints() const { return points_; }

    // A negative or non-finite domain becomes 0. The points keep their x.
    void SetDomain(float domain);
    // Ignored when not finite.
    void SetRange(float range);
    void SetLoop(bool loop) { loop_ = loop; }
    void SetHalfGraph(bool halfGraph) { halfGraph_ = halfGraph; }
    void SetColor(PSColor color) { color_ = color; }
    // Sets y of the first and last points (the same point when there is one); ignored when not finite.
    void SetFirstLastY(float y);
    // Replaces the points; false (curve unchanged) unless they keep the invariants above.
    bool SetPoints(const mem::vector<Point>& points);

    // Makes this curve an exact copy of another.
    void Copy(const CurveData& other) { *this = other; }

    // Heap bytes held by the points.
    uint32_t GetAllocatedSize() const;

    // The stored form, inside effect files (each emitter block holds its curves in it). It is
    // this engine's own layout, so effect files made by other tools must be converted to it.
    // Little-endian, 28 + 8 n bytes, no padding, nothing before or after:
    //   offset 0       u32 version, kVersion (1); any other value is refused
    //   offset 4       u32 point count n, 1 to kMaxPoints (1024)
    //   offset 8       n points, each f32 x then f32 y; sorted by x (equal x allowed), finite
    //   offset 8 + 8n  f32 domain (finite, 0 or more), f32 range (finite)
    //   offset 16 + 8n u32 loop, u32 half graph: written 0 or 1, read as true when not 0
    //   offset 24 + 8n u32 editor colour: a PSColor code, kept as stored
    // Through files' BinaryWriter and BinaryReader, as BinaryOutput and BinaryInput.
    void BinaryWrite(BinaryOutput& writer) const;
    // Reads the stored form (above). On an unknown version, a bad count, a truncated record or a
    // value that breaks the invariants it logs the reason, leaves the curve unchanged and returns
    // false.
    bool BinaryRead(BinaryInput& reader);

private:
    static bool IsValid(const mem::vector<Point>& points);

    mem::vector<Point> points_;  // sorted by x
    float domain_ = kDefaultDomain;
    float range_ = kDefaultRange;
    bool loop_ = false;
    bool halfGraph_ = false;
    PSColor color_ = PSColor::None;
};

}  // namespace GAME
