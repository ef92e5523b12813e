#pragma once
// SceneDummyNode: a named frame of a model (a helper the modeller placed). Stream: the base part,
// then its coords (12 f32: x, y and z axes, origin).

#include "core/Coords.h"
#include "scene/SceneModelNode.h"

namespace GAME {

class SceneDummyNode : public SceneModelNode {
public:
    Type GetType() const override { return kDummy; }
    bool Read(BinaryReader& reader) override;
    bool Write(BinaryWriter& writer) const override;

    void SetCoords(const Coords& coords) { coords_ = coords; }
    const Coords& GetCoords() const { return coords_; }

private:
    Coords coords_;
};

}  // namespace GAME
