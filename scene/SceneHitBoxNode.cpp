#include "scene/SceneHitBoxNode.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

bool SceneHitBoxNode::Read(BinaryReader& reader) {
    if (!SceneModelNode::Read(reader)) return false;
    extents_ = reader.ReadVec3();
    coords_ = reader.ReadCoords();
    return !reader.Failed();
}

bool SceneHitBoxNode::Write(BinaryWriter& writer) const {
    SceneModelNode::Write(writer);
    writer.Write(extents_);
    writer.Write(coords_);
    return !writer.Failed();
}

}  // namespace GAME
