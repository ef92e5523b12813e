#pragma once
// SceneHitBoxNode: a box of a model for hit tests. Stream: the base part, then the half sizes
// (3 f32) and the coords (12 f32).

#include "core/Coords.h"
#include "core/Vec3.h"
#include "scene/SceneModelNode.h"

namespace GAME {

class SceneHitBoxNode : public SceneModelNode {
public:
    Type GetType() const override { return kHitBox; }
    bool Read(BinaryReader& reader) override;
    bool Write(BinaryWriter& writer) const override;

    void SetExtents(const Vec3& extents) { extents_ = extents; }
    const Vec3& GetExtents() const { return extents_; }
    void SetCoords(const Coords& coords) { coords_ = coords; }
    const Coords& GetCoords() const { return coords_; }

private:
    Vec3 extents_;  // half sizes
    Coords coords_;
};

}  // namespace GAME
