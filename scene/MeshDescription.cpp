#include "scene/MeshDescription.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "core/Log.h"
#include "files/BasicTextParser.h"
#include "files/TextParsing.h"
#include "physics/PhysicsRagDoll.h"

namespace GAME {

namespace {

using Parser = BasicTextParser<char>;

enum class BlockEnd { kClosed, kOpen, kFailed };

// Reads "key separator value" entries up to the block's "}". entry(key, separator) reads the
// value and returns false to fail the parse.
template <class Entry>
BlockEnd ReadEntries(Parser& parser, Entry&& entry) {
    for (;;) {
        const std::string key = parser.ReadToken();
        if (key.empty()) return BlockEnd::kOpen;
        if (key == "}") return BlockEnd::kClosed;
        const std::string separator = parser.ReadToken();
        if (!entry(key, separator)) return BlockEnd::kFailed;
    }
}

std::string ReadText(Parser& parser) { return std::string(Unquote(parser.ReadToken())); }

bool ReadBool(Parser& parser) { return ReadText(parser) == "true"; }

// The leading digits, as C reads them, clamped to an int.
int ReadInt(Parser& parser) {
    const long value = std::strtol(ReadText(parser).c_str(), nullptr, 10);
    return static_cast<int>(value < INT_MIN ? INT_MIN : (value > INT_MAX ? INT_MAX : value));
}

float ReadFloat(Parser& parser) {
    float value = 0.0f;
    std::sscanf(ReadText(parser).c_str(), "%f", &value);
    return value;
}

// "(x, y, z)"; components that do not read keep their value.
void ReadVector(Parser& parser, Vec3& v) {
    const std::string text = parser.ReadDelimitedToken('(', ')', false);
    std::sscanf(text.c_str(), " ( %f , %f , %f ) ", &v.x, &v.y, &v.z);
}

// Reads a frame's key into the frame; false when the key is not one of the four.
bool ReadFrameKey(Parser& parser, const std::string& key, const char* origin, const char* xAxis, const char* yAxis,
                  const char* zAxis, Coords& coords) {
    if (key == origin) {
        ReadVector(parser, coords.origin);
    } else if (key == xAxis) {
        ReadVector(parser, coords.xAxis);
    } else if (key == yAxis) {
        ReadVector(parser, coords.yAxis);
    } else if (key == zAxis) {
        ReadVector(parser, coords.zAxis);
    } else {
        return false;
    }
    return true;
}

// Passes over the value of a key the reader does not know: a vector whole, else one token.
void SkipValue(Parser& parser) {
    const uint32_t at = parser.GetPosition();
    if (parser.ReadToken() != "(") return;
    parser.SetPosition(at);
    parser.ReadDelimitedToken('(', ')', false);
}

}  // namespace

bool MeshDescription::Parse(const char* text, uint32_t length, const std::string& fileName) {
    Clear();
    Parser parser(text, length, false);
    while (!parser.IsAtEnd()) {
        const std::string word = parser.ReadToken();
        if (word != "CreateEntity" && word != "SkeletonEmitterBones" && word != "AttachPoint" &&
            word != "RigidBodyDescription" && word != "JointDescription") {
            continue;
        }
        if (parser.ReadToken() != "{") {
            Log(LogPriority::Error, "mesh - %s - %s is not followed by '{'", fileName.c_str(), word.c_str());
            return false;
        }
        if (word == "CreateEntity") {
            if (!ReadCreateEntity(parser, fileName)) return false;
        } else if (word == "SkeletonEmitterBones") {
            ReadSkeletonEmitterBones(parser);
        } else if (word == "AttachPoint") {
            ReadAttachPoint(parser);
        } else if (word == "RigidBodyDescription") {
            ReadRigidBody(parser);
        } else {
            ReadJoint(parser);
        }
    }
    return true;
}

void MeshDescription::Clear() {
    attachPoints.Clear();
    mem::vector<std::string>().swap(creationEntities);
    mem::vector<std::string>().swap(creationAttaches);
    mem::vector<RigidBodyDescription>().swap(rigidBodies);
    mem::vector<JointDescription>().swap(joints);
    mem::vector<std::string>().swap(skeletonEmitterBones);
}

size_t MeshDescription::GetAllocatedSize() const {
    size_t bytes = 0;
    attachPoints.ForEach([&](const Name&, const AttachPoint& point) {
        bytes += point.nameText.capacity() + point.parentNameText.capacity();
    });
    for (const mem::vector<std::string>* list : {&creationEntities, &creationAttaches, &skeletonEmitterBones}) {
        for (const std::string& text : *list) bytes += sizeof(text) + text.capacity();
    }
    for (const RigidBodyDescription& body : rigidBodies) {
        bytes += sizeof(body) + body.parentNameText.capacity() + body.childNameText.capacity();
        for (const FusedBone& bone : body.fusedBones) bytes += sizeof(bone) + bone.nameText.capacity();
    }
    return bytes + joints.capacity() * sizeof(JointDescription);
}

bool MeshDescription::ReadCreateEntity(Parser& parser, const std::string& fileName) {
    const BlockEnd end = ReadEntries(parser, [&](const std::string& key, const std::string& separator) {
        if (separator != "=") {
            Log(LogPriority::Error, "mesh - %s - CreateEntity key '%s' is not followed by '='", fileName.c_str(),
                key.c_str());
            return false;
        }
        if (key == "entity") {
            creationEntities.push_back(ReadText(parser));
        } else if (key == "attach") {
            creationAttaches.push_back(ReadText(parser));
        } else {
            SkipValue(parser);
        }
        return true;
    });
    return end != BlockEnd::kFailed;
}

void MeshDescription::ReadSkeletonEmitterBones(Parser& parser) {
    skeletonEmitterBones.clear();
    for (std::string word = parser.ReadToken(); !word.empty() && word != "}"; word = parser.ReadToken()) {
        skeletonEmitterBones.emplace_back(Unquote(word));
    }
}

void MeshDescription::ReadAttachPoint(Parser& parser) {
    AttachPoint point;
    bool named = false;
    const BlockEnd end = ReadEntries(parser, [&](const std::string& key, const std::string&) {
        if (key == "name") {
            point.nameText = ReadText(parser);
            named = true;
        } else if (key == "parent") {
            point.parentNameText = ReadText(parser);
            point.parentName = Name::Create(point.parentNameText.c_str());
        } else if (!ReadFrameKey(parser, key, "origin", "xAxis", "yAxis", "zAxis", point.coords)) {
            SkipValue(parser);
        }
        return true;
    });
    if (end != BlockEnd::kClosed || !named) return;
    point.name = Name::Create(point.nameText.c_str());
    attachPoints.Set(point.name, point);
}

void MeshDescription::ReadRigidBody(Parser& parser) {
    RigidBodyDescription body;
    const BlockEnd end = ReadEntries(parser, [&](const std::string& key, const std::string&) {
        if (key == "parentName") {
            body.parentNameText = ReadText(parser);
            body.parentName = Name::Create(body.parentNameText.c_str());
        } else if (key == "childName") {
            body.childNameText = ReadText(parser);
            body.childName = Name::Create(body.childNameText.c_str());
        } else if (key == "extents") {
            ReadVector(parser, body.extents);
        } else if (key == "collides") {
            body.collides = ReadBool(parser);
        } else if (key == "density") {
            body.density = ReadFloat(parser);
        } else if (key == "playFallSound") {
            body.playFallSound = ReadBool(parser);
        } else if (key == "FusedBone") {  // the separator passed over was its "{"; one left open ends the body too
            ReadFusedBone(parser, body);
        } else if (!ReadFrameKey(parser, key, "parentOrigin", "parentXAxis", "parentYAxis", "parentZAxis",
                                 body.parentCoords) &&
                   !ReadFrameKey(parser, key, "childOrigin", "childXAxis", "childYAxis", "childZAxis",
                                 body.childCoords)) {
            SkipValue(parser);
        }
        return true;
    });
    if (end == BlockEnd::kClosed) rigidBodies.push_back(std::move(body));
}

void MeshDescription::ReadFusedBone(Parser& parser, RigidBodyDescription& body) {
    FusedBone bone;
    const BlockEnd end = ReadEntries(parser, [&](const std::string& key, const std::string&) {
        if (key == "name") {
            bone.nameText = ReadText(parser);
            bone.name = Name::Create(bone.nameText.c_str());
        } else if (!ReadFrameKey(parser, key, "origin", "xAxis", "yAxis", "zAxis", bone.coords)) {
            SkipValue(parser);
        }
        return true;
    });
    if (end == BlockEnd::kClosed) body.fusedBones.push_back(std::move(bone));
}

void MeshDescription::ReadJoint(Parser& parser) {
    JointDescription joint;
    const BlockEnd end = ReadEntries(parser, [&](const std::string& key, const std::string&) {
        if (key == "rigidBody0") {
            joint.rigidBody0 = ReadInt(parser);
        } else if (key == "rigidBody1") {
            joint.rigidBody1 = ReadInt(parser);
        } else if (key == "jointConnection") {
            joint.jointConnection = ReadInt(parser);
        } else if (key == "breakChance") {
            joint.breakChance = ReadInt(parser);
        } else if (key == "jointType") {
            joint.jointType = PhysicsRagDoll::ToJointType(ReadText(parser).c_str());
        } else if (key == "jointAxis0") {
            joint.jointAxis0 = PhysicsRagDoll::ToJointAxis(ReadText(parser).c_str());
        } else if (key == "jointAxis1") {
            joint.jointAxis1 = PhysicsRagDoll::ToJointAxis(ReadText(parser).c_str());
        } else if (key == "loStop0") {
            joint.loStop0 = ReadFloat(parser);
        } else if (key == "hiStop0") {
            joint.hiStop0 = ReadFloat(parser);
        } else if (key == "loStop1") {
            joint.loStop1 = ReadFloat(parser);
        } else if (key == "hiStop1") {
            joint.hiStop1 = ReadFloat(parser);
        } else if (key == "breakable") {
            joint.breakable = ReadBool(parser);
        } else {
            SkipValue(parser);
        }
        return true;
    });
    if (end == BlockEnd::kClosed) joints.push_back(joint);
}

}  // namespace GAME
