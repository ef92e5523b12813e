#pragma once
// SceneMeshNode: the triangles of a model as the exporter collects them, before they become a
// mesh file: faces over separate arrays of positions, normals, texture coordinates, skin
// influences (one list per vertex) and colours.
//
// Stream, after the base part: u32 counts of faces, vertices, normals, texture coordinates,
// influence lists and colours; the faces, each three corners of five u32 written as the words
// 0, 1, 2, 4, 3, then the material and the last word; vertices and normals (3 f32 each); texture
// coordinates (2 f32); influence lists, each a u32 count and that many {u32 bone, f32 weight};
// colours (4 f32). What the corner words and the last word mean is the exporter's.

#include <cstdint>

#include "core/Color.h"
#include "core/Mem.h"
#include "core/Vec2.h"
#include "core/Vec3.h"
#include "scene/SceneModelNode.h"

namespace GAME {

class SceneMeshNode : public SceneModelNode {
public:
    // The material of a face that has none.
    static constexpr uint32_t kNoMaterial = 0xFFFFFFFF;

    struct Face {
        uint32_t corners[3][5] = {};        // per corner, indices into the node's arrays
        uint32_t material = kNoMaterial;
        uint32_t extra = 0;                  // kept for the exporter
    };

    // One bone's weight on a vertex.
    struct Influence {
        uint32_t bone = 0;
        float weight = 0.0f;
    };

    Type GetType() const override { return kMesh; }
    bool Read(BinaryReader& reader) override;
    bool Write(BinaryWriter& writer) const override;

    // New faces are all zero.
    void SetNumFaces(int count);
    void AppendFace(const Face& face) { faces_.push_back(face); }
    void SetFace(int index, const Face& face) { faces_[size_t(index)] = face; }
    const Face& GetFace(int index) const { return faces_[size_t(index)]; }
    int GetNumFaces() const { return static_cast<int>(faces_.size()); }

    void SetNumVertices(int count) { vertices_.resize(size_t(count)); }
    void SetVertex(int index, const Vec3& v) { vertices_[size_t(index)] = v; }
    const Vec3& GetVertex(int index) const { return vertices_[size_t(index)]; }
    int GetNumVertices() const { return static_cast<int>(vertices_.size()); }

    void SetNumNormals(int count) { normals_.resize(size_t(count)); }
    void SetNormal(int index, const Vec3& n) { normals_[size_t(index)] = n; }
    const Vec3& GetNormal(int index) const { return normals_[size_t(index)]; }
    int GetNumNormals() const { return static_cast<int>(normals_.size()); }

    void SetNumTextureCoords(int count) { textureCoords_.resize(size_t(count)); }
    void SetTextureCoord(int index, const Vec2& uv) { textureCoords_[size_t(index)] = uv; }
    const Vec2& GetTextureCoord(int index) const { return textureCoords_[size_t(index)]; }
    int GetNumTextureCoords() const { return static_cast<int>(textureCoords_.size()); }

    void SetNumInfluences(int count) { influences_.resize(size_t(count)); }
    void SetInfluences(int index, const mem::vector<Influence>& list) { influences_[size_t(index)] = list; }
    const mem::vector<Influence>& GetInfluences(int index) const { return influences_[size_t(index)]; }
    int GetNumInfluences() const { return static_cast<int>(influences_.size()); }

    void SetNumColors(int count) { colors_.resize(size_t(count)); }
    void SetColor(int index, const Color& c) { colors_[size_t(index)] = c; }
    const Color& GetColor(int index) const { return colors_[size_t(index)]; }
    int GetNumColors() const { return static_cast<int>(colors_.size()); }

    // False when a face names a material that is neither kNoMaterial nor below the count.
    bool CheckConsistency(unsigned int materialCount) const;

private:
    mem::vector<Face> faces_;
    mem::vector<Vec3> vertices_;
    mem::vector<Vec3> normals_;
    mem::vector<Vec2> textureCoords_;
    mem::vector<mem::vector<Influence>> influences_;
    mem::vector<Color> colors_;
};

}  // namespace GAME
