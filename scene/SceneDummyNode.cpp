#include "scene/SceneDummyNode.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

bool SceneDummyNode::Read(BinaryReader& reader) {
    if (!SceneModelNode::Read(reader)) return false;
    coords_ = reader.ReadCoords();
    return !reader.Failed();
}

bool SceneDummyNode::Write(BinaryWriter& writer) const {
    SceneModelNode::Write(writer);
    writer.Write(coords_);
    return !writer.Failed();
}

}  // namespace GAME
