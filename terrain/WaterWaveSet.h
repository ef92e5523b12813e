#pragma once
// WaterWaveSet: shore waves laid along a WaterCurve: one WaterWaveSegment in the water's tree for
// each stretch, all sharing the set's WaveParams, advanced every frame by UpdateWaves.

#include <memory>

#include "terrain/WaterCurve.h"
#include "terrain/WaterWaveSegment.h"

namespace GAME {

class WaterWaveSet final : public WaterCurve {
public:
    WaterWaveSet(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water);
    // Takes every segment out of the tree.
    ~WaterWaveSet() override;

    // Sets the height and adds the first point.
    void Initialize(float height, const ControlPoint& first);

    void AddControlPoint(const ControlPoint& point) override;
    void RemoveEndControlPoint() override;
    void UpdateSegment(unsigned index) override;
    // Rebuilds every segment at a new height; the same height does nothing.
    void UpdateHeight(float height) override;
    void Update() override;
    // The wave-set record: f32 height; roller speed, roller height, u32 draw flags, wave spacing
    // (kept within [1, 10]) and 40 zero bytes; u32 point count and the points as a path stores
    // them. True unless the data ends inside it.
    bool Load(BinaryReader& reader, unsigned version) override;
    void Save(BinaryWriter& writer) const override;

    void UpdateWaves(int elapsedMs);
    // Build or give back every segment's vertex buffer (device reset).
    void ConstructSegmentGeometry();
    void DestroySegmentGeometry();

    WaveParams& GetWaveParams() { return params_; }
    // Waves are not a surface rays stop at.
    float RayIntersection(const Ray&, float) const { return Infinity; }
    unsigned GetNumSegments() const { return unsigned(segments_.size()); }
    const WaterWaveSegment& GetSegment(unsigned index) const { return *segments_[index]; }

private:
    void BuildSegment(unsigned index) { segments_[index]->Build(device_, points_[index], points_[index + 1], height_); }

    static constexpr uint32_t kParamsPadding = 40;  // after the four stored parameters

    WaveParams params_;
    mem::vector<std::unique_ptr<WaterWaveSegment>> segments_;  // i joins points i and i + 1
};

}  // namespace GAME
