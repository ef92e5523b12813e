#include "scene/SceneModelNode.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

bool SceneModelNode::Read(BinaryReader& reader) {
    return reader.ReadString(name_) && reader.ReadString(parentName_) && reader.ReadString(userData_);
}

bool SceneModelNode::Write(BinaryWriter& writer) const {
    writer.Write(name_);
    writer.Write(parentName_);
    writer.Write(userData_);
    return !writer.Failed();
}

}  // namespace GAME
