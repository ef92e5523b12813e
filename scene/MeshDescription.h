#pragma once
// MeshDescription (GraphicsMesh::MIFData): what a mesh file's description text says the engine
// attaches to the model: entities created with it, bones that emit skeleton effects, attach
// points, and the rigid bodies, joints and fused bones of its rag doll. Parsed once when the mesh
// loads; a text that does not parse fails the mesh.
//
// The text is blocks of a keyword, "{", entries of a key, a separator token and a value, and "}";
// blanks and // comments are passed over, as is any word outside a block that is not a keyword.
// Values are quoted text ("..."), vectors "(x, y, z)" or plain words; numbers may be quoted or
// not. Booleans are true only as the exact text "true".
//   CreateEntity { entity = "record" attach = "point" }   each key appends to its own list
//   SkeletonEmitterBones { Bone01 Bone02 }                 replaces the bone list
//   AttachPoint { name = "n" parent = "bone" origin = (..) xAxis = (..) yAxis = (..) zAxis = (..) }
//                                                         stored only when it has a name
//   RigidBodyDescription { parentName = "a" childName = "b" parentOrigin parentXAxis parentYAxis
//       parentZAxis childOrigin childXAxis childYAxis childZAxis = (..) extents = (..)
//       collides = "true" density = "1.0" playFallSound = "false"
//       FusedBone { name = "c" origin xAxis yAxis zAxis = (..) } ... }
//   JointDescription { rigidBody0 rigidBody1 jointConnection breakChance = "int"
//       jointType = "ball"|"hinge"|"fixed"|"universal" jointAxis0 jointAxis1 = "x"|"y"|"z"
//       loStop0 hiStop0 loStop1 hiStop1 = "float" breakable = "true" }
// The separator after a key is passed over unchecked, except in CreateEntity where it must be
// "=". Unknown keys are passed over with their value. A vector that does not read keeps the
// components it had (frames start as the identity).
//
// Parsing fails, with the error logged, when a keyword is not followed by "{" or a CreateEntity
// key is not followed by "=". A block still open at the end of the text ends there: what it held
// so far is dropped (names a CreateEntity or SkeletonEmitterBones block appended stay), and the
// parse succeeds.

#include <cstdint>
#include <string>

#include "core/Coords.h"
#include "core/Mem.h"
#include "core/Name.h"
#include "physics/JointDescription.h"
#include "physics/RigidBodyDescription.h"
#include "scene/NameTable.h"

namespace GAME {

template <typename Char>
class BasicTextParser;

class MeshDescription {
public:
    // A named frame on a bone, where entities and effects are attached.
    struct AttachPoint {
        Name name;
        Name parentName;  // the bone; Name::noName without a parent
        Coords coords;    // relative to the bone
        std::string nameText;
        std::string parentNameText;
    };

    // Parses the text, replacing what the lists held. False (logged, with the file name) when
    // the text does not parse.
    bool Parse(const char* text, uint32_t length, const std::string& fileName);
    void Clear();
    // Bytes held by the lists and strings, for memory accounting.
    size_t GetAllocatedSize() const;

    NameTable<AttachPoint> attachPoints;
    mem::vector<std::string> creationEntities;  // record names, paired by position with...
    mem::vector<std::string> creationAttaches;  // ... the attach point names (not checked)
    mem::vector<RigidBodyDescription> rigidBodies;
    mem::vector<JointDescription> joints;
    mem::vector<std::string> skeletonEmitterBones;

private:
    using Parser = BasicTextParser<char>;

    // Each reads the entries after the block's "{"; false only for a parse failure.
    bool ReadCreateEntity(Parser& parser, const std::string& fileName);
    void ReadSkeletonEmitterBones(Parser& parser);
    void ReadAttachPoint(Parser& parser);
    void ReadRigidBody(Parser& parser);
    void ReadFusedBone(Parser& parser, RigidBodyDescription& body);
    void ReadJoint(Parser& parser);
};

}  // namespace GAME
