#include "core/CurveData.h"

#include <algorithm>
#include <cmath>

#include "core/BinaryInput.h"
#include "core/BinaryOutput.h"
#include "core/Log.h"

namespace GAME {

CurveData::CurveData() : points_{{0.0f, kDefaultY}, {kDefaultDomain, kDefaultY}} {}

float CurveData::GetYFast(float x) const {
    // Callers mostly pass times already inside the domain; fmod is only paid outside it.
    if (loop_ && domain_ > 0.0f && std::isfinite(x) && (x < 0.0f || x >= domain_)) {
        x = std::fmod(x, domain_);
        if (x < 0.0f) x += domain_;
    }
    const Point& first = points_.front();
    const Point& last = points_.back();
    if (!(x > first.x)) return first.y;  // also a NaN x
    if (x >= last.x) return last.y;
    // first.x < x < last.x, so b is a later point than a and b.x > x >= a.x: the span is not 0.
    const auto b = std::upper_bound(points_.begin(), points_.end(), x,
                                    [](float value, const Point& point) { return value < point.x; });
    const auto a = b - 1;
    // In double, where differences of floats cannot overflow, and as a weighted sum, so that
    // even extreme points give a value between their two y.
    const double t = (static_cast<double>(x) - a->x) / (static_cast<double>(b->x) - a->x);
    return static_cast<float>(a->y * (1.0 - t) + b->y * t);
}

bool CurveData::IsFlat() const {
    const float y = points_.front().y;
    return std::all_of(points_.begin(), points_.end(), [y](const Point& point) { return point.y == y; });
}

float CurveData::GetMaxY() const {
    return std::max_element(points_.begin(), points_.end(),
                            [](const Point& a, const Point& b) { return a.y < b.y; })
        ->y;
}

void CurveData::SetDomain(float domain) { domain_ = std::isfinite(domain) && domain > 0.0f ? domain : 0.0f; }

void CurveData::SetRange(float range) {
    if (std::isfinite(range)) range_ = range;
}

void CurveData::SetFirstLastY(float y) {
    if (!std::isfinite(y)) return;
    points_.front().y = y;
    points_.back().y = y;
}

bool CurveData::IsValid(const mem::vector<Point>& points) {
    if (points.empty() || points.size() > kMaxPoints) return false;
    for (size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) return false;
        if (i > 0 && points[i].x < points[i - 1].x) return false;
    }
    return true;
}

bool CurveData::SetPoints(const mem::vector<Point>& points) {
    if (!IsValid(points)) return false;
    points_ = points;
    return true;
}

uint32_t CurveData::GetAllocatedSize() const { return static_cast<uint32_t>(points_.capacity() * sizeof(Point)); }

void CurveData::BinaryWrite(BinaryOutput& writer) const {
    writer.Write(kVersion);
    writer.Write(static_cast<uint32_t>(points_.size()));
    for (const Point& point : points_) {
        writer.Write(point.x);
        writer.Write(point.y);
    }
    writer.Write(domain_);
    writer.Write(range_);
    writer.Write(loop_);
    writer.Write(halfGraph_);
    writer.Write(static_cast<uint32_t>(color_));
}

bool CurveData::BinaryRead(BinaryInput& reader) {
    const uint32_t version = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Curve: the record is truncated");
        return false;
    }
    if (version != kVersion) {
        Log(LogPriority::Error, "Curve: unknown version %u", version);
        return false;
    }
    const uint32_t count = reader.ReadUInt32();
    // Each point takes 8 bytes, so a count the data cannot hold is refused before anything is reserved.
    if (reader.Failed() || count == 0 || count > kMaxPoints || count > reader.GetRemaining() / 8) {
        Log(LogPriority::Error, "Curve: point count %u is out of range or larger than the data", count);
        return false;
    }
    mem::vector<Point> points(count);
    for (Point& point : points) {
        point.x = reader.ReadFloat();
        point.y = reader.ReadFloat();
    }
    const float domain = reader.ReadFloat();
    const float range = reader.ReadFloat();
    const bool loop = reader.ReadBool();
    const bool halfGraph = reader.ReadBool();
    const uint32_t color = reader.ReadUInt32();
    if (reader.Failed()) {
        Log(LogPriority::Error, "Curve: the record is truncated");
        return false;
    }
    if (!IsValid(points) || !std::isfinite(domain) || domain < 0.0f || !std::isfinite(range)) {
        Log(LogPriority::Error, "Curve: unsorted points or a value that is not a finite number");
        return false;
    }
    points_ = std::move(points);
    domain_ = domain;
    range_ = range;
    loop_ = loop;
    halfGraph_ = halfGraph;
    color_ = static_cast<PSColor>(color);
    return true;
}

}  // namespace GAME
