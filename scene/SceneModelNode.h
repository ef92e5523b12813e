#pragma once
// SceneModelNode: one node of a model as the model exporter streams it, the exporter side of the
// model pipeline: a host tool fills nodes from a modelling scene and writes them one after
// another with BinaryWriter; the engine reads no file of them. Every node starts with its base
// part, three strings (u32 byte count and the bytes): name, parent name, user data. The four kinds
// (SceneDummyNode, SceneHitBoxNode, SceneMeshNode, ScenePhysicsNode) add their own parts after it.
//
// Read fails (false) when the stream does: a part cut short, a count that the bytes left cannot
// hold, or a string longer than 1 MiB or past the end. Reading on would take the rest of the
// stream for the wrong fields, so the node is then incomplete and must not be used.

#include <string>

namespace GAME {

class BinaryReader;
class BinaryWriter;

class SceneModelNode {
public:
    // What GetType returns for each kind.
    enum Type : int { kHitBox = 0, kMesh = 1, kPhysics = 2, kDummy = 4 };

    virtual ~SceneModelNode() = default;
    virtual Type GetType() const = 0;
    // The base part; kinds read or write theirs after it. Write is false once the writer failed.
    virtual bool Read(BinaryReader& reader);
    virtual bool Write(BinaryWriter& writer) const;

    void SetName(const std::string& name) { name_ = name; }
    const std::string& GetName() const { return name_; }
    void SetParentName(const std::string& name) { parentName_ = name; }
    const std::string& GetParentName() const { return parentName_; }
    void SetUserData(const std::string& data) { userData_ = data; }
    const std::string& GetUserData() const { return userData_; }

private:
    std::string name_;
    std::string parentName_;
    std::string userData_;  // the exporter's own text
};

}  // namespace GAME
