#include "terrain/WaterWaveSet.h"

#include <algorithm>

#include "core/MathUtil.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

WaterWaveSet::WaterWaveSet(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water)
    : WaterCurve(index, tree, device, water, CurveType::WaveSet) {}

WaterWaveSet::~WaterWaveSet() {
    for (std::unique_ptr<WaterWaveSegment>& segment : segments_) tree_.RemoveFromNode(*segment);
}

void WaterWaveSet::Initialize(float height, const ControlPoint& first) {
    height_ = height;
    AddControlPoint(first);
}

void WaterWaveSet::AddControlPoint(const ControlPoint& point) {
    points_.push_back(point);
    currentPoint_ = unsigned(points_.size()) - 1;
    if (points_.size() < 2) return;
    segments_.push_back(std::make_unique<WaterWaveSegment>(&params_));
    const unsigned last = unsigned(segments_.size()) - 1;
    BuildSegment(last);
    tree_.AddObject(*segments_[last]);
    if (last > 0) UpdateSegment(last - 1);
}

void WaterWaveSet::RemoveEndControlPoint() {
    if (!segments_.empty()) {
        tree_.RemoveFromNode(*segments_.back());
        segments_.pop_back();
    }
    if (!points_.empty()) points_.pop_back();
    currentPoint_ = points_.empty() ? 0 : unsigned(points_.size()) - 1;
}

void WaterWaveSet::UpdateSegment(unsigned index) {
    if (index >= segments_.size() || index + 1 >= points_.size()) return;
    BuildSegment(index);
    tree_.UpdateObject(*segments_[index]);
}

void WaterWaveSet::Update() {
    for (unsigned i = 0; i < segments_.size(); ++i) UpdateSegment(i);
}

void WaterWaveSet::UpdateHeight(float height) {
    if (height == height_) return;
    height_ = height;
    Update();
}

bool WaterWaveSet::Load(BinaryReader& reader, unsigned) {
    height_ = reader.ReadFloat();
    params_.rollerSpeed = reader.ReadFloat();
    params_.rollerHeight = reader.ReadFloat();
    params_.drawFlags = reader.ReadUInt32();
    const float spacing = reader.ReadFloat();
    params_.waveSpacing = spacing >= 1.0f ? std::min(spacing, 10.0f) : 1.0f;  // NaN too
    reader.Skip(kParamsPadding);
    for (std::unique_ptr<WaterWaveSegment>& segment : segments_) tree_.RemoveFromNode(*segment);
    segments_.clear();
    ReadControlPoints(reader, points_);
    currentPoint_ = 0;
    for (unsigned i = 0; i + 1 < points_.size(); ++i) {
        segments_.push_back(std::make_unique<WaterWaveSegment>(&params_));
        BuildSegment(i);
        tree_.AddObject(*segments_[i]);
    }
    return !reader.Failed();
}

void WaterWaveSet::Save(BinaryWriter& writer) const {
    writer.Write(height_);
    writer.Write(params_.rollerSpeed);
    writer.Write(params_.rollerHeight);
    writer.Write(params_.drawFlags);
    writer.Write(params_.waveSpacing);
    const unsigned char zeros[kParamsPadding] = {};
    writer.Write(zeros, kParamsPadding);
    WriteControlPoints(writer, points_);
}

void WaterWaveSet::UpdateWaves(int elapsedMs) {
    for (std::unique_ptr<WaterWaveSegment>& segment : segments_) segment->UpdateWaves(elapsedMs);
}

void WaterWaveSet::ConstructSegmentGeometry() {
    for (unsigned i = 0; i < segments_.size(); ++i) BuildSegment(i);
}

void WaterWaveSet::DestroySegmentGeometry() {
    for (std::unique_ptr<WaterWaveSegment>& segment : segments_) segment->ReleaseGeometry();
}

}  // namespace GAME
