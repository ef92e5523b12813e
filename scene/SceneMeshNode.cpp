#include "scene/SceneMeshNode.h"

#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

namespace GAME {

namespace {

// The order in which a corner's words are streamed.
constexpr int kCornerWordOrder[5] = {0, 1, 2, 4, 3};
constexpr uint64_t kFaceSize = 17 * 4;

}  // namespace

void SceneMeshNode::SetNumFaces(int count) { faces_.assign(size_t(count), Face{{}, 0, 0}); }

bool SceneMeshNode::Read(BinaryReader& reader) {
    if (!SceneModelNode::Read(reader)) return false;
    uint32_t counts[6];
    for (uint32_t& count : counts) count = reader.ReadUInt32();
    const uint64_t bytes = counts[0] * kFaceSize + (uint64_t(counts[1]) + counts[2]) * 12 + uint64_t(counts[3]) * 8 +
                           uint64_t(counts[4]) * 4 + uint64_t(counts[5]) * 16;
    if (reader.Failed() || bytes > reader.GetRemaining()) return false;

    faces_.resize(counts[0]);
    for (Face& face : faces_) {
        for (uint32_t(&corner)[5] : face.corners) {
            for (const int word : kCornerWordOrder) corner[word] = reader.ReadUInt32();
        }
        face.material = reader.ReadUInt32();
        face.extra = reader.ReadUInt32();
    }
    vertices_.resize(counts[1]);
    for (Vec3& v : vertices_) v = reader.ReadVec3();
    normals_.resize(counts[2]);
    for (Vec3& n : normals_) n = reader.ReadVec3();
    textureCoords_.resize(counts[3]);
    for (Vec2& uv : textureCoords_) {
        uv.x = reader.ReadFloat();
        uv.y = reader.ReadFloat();
    }
    influences_.resize(counts[4]);
    for (mem::vector<Influence>& list : influences_) {
        const uint32_t count = reader.ReadUInt32();
        if (uint64_t(count) * 8 > reader.GetRemaining()) return false;
        list.resize(count);
        for (Influence& influence : list) {
            influence.bone = reader.ReadUInt32();
            influence.weight = reader.ReadFloat();
        }
    }
    colors_.resize(counts[5]);
    for (Color& c : colors_) {
        c.r = reader.ReadFloat();
        c.g = reader.ReadFloat();
        c.b = reader.ReadFloat();
        c.a = reader.ReadFloat();
    }
    return !reader.Failed();
}

bool SceneMeshNode::Write(BinaryWriter& writer) const {
    SceneModelNode::Write(writer);
    for (const size_t count : {faces_.size(), vertices_.size(), normals_.size(), textureCoords_.size(),
                               influences_.size(), colors_.size()}) {
        writer.Write(static_cast<unsigned int>(count));
    }
    for (const Face& face : faces_) {
        for (const uint32_t(&corner)[5] : face.corners) {
            for (const int word : kCornerWordOrder) writer.Write(static_cast<unsigned int>(corner[word]));
        }
        writer.Write(static_cast<unsigned int>(face.material));
        writer.Write(static_cast<unsigned int>(face.extra));
    }
    for (const Vec3& v : vertices_) writer.Write(v);
    for (const Vec3& n : normals_) writer.Write(n);
    for (const Vec2& uv : textureCoords_) {
        writer.Write(uv.x);
        writer.Write(uv.y);
    }
    for (const mem::vector<Influence>& list : influences_) {
        writer.Write(static_cast<unsigned int>(list.size()));
        for (const Influence& influence : list) {
            writer.Write(static_cast<unsigned int>(influence.bone));
            writer.Write(influence.weight);
        }
    }
    for (const Color& c : colors_) {
        writer.Write(c.r);
        writer.Write(c.g);
        writer.Write(c.b);
        writer.Write(c.a);
    }
    return !writer.Failed();
}

bool SceneMeshNode::CheckConsistency(unsigned int materialCount) const {
    for (const Face& face : faces_) {
        if (face.material != kNoMaterial && face.material >= materialCount) return false;
    }
    return true;
}

}  // namespace GAME
