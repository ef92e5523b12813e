#include "SampleMeshBuilder.h"

#include "SampleData.h"
#include "SampleMeshShaders.h"

#include "core/Log.h"
#include "core/MathUtil.h"
#include "files/BinaryWriter.h"
#include "scene/ScenePhysicsNode.h"

namespace GAME::sample {

namespace {

float& Component(Vec3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }
Vec3 Scale(const Vec3& a, const Vec3& b) { return Vec3(a.x * b.x, a.y * b.y, a.z * b.z); }
// Units the texture spans on every face: a grid cell's floor shows it once.
constexpr float kTextureSpan = 4.0f;

}  // namespace

MeshBuilder::MeshBuilder(bool skinned) : skinned_(skinned) {
    contents_.attributes = {0, 1, 4};
    if (skinned) contents_.attributes.insert(contents_.attributes.end(), {GraphicsMesh::kAttributeSkinWeights,
                                                                          GraphicsMesh::kAttributeSkinBones});
    for (const uint32_t attribute : contents_.attributes) contents_.stride += MeshFileReader::GetAttributeSize(attribute);
    GraphicsMesh::Material material;
    material.shaderName = skinned ? kStandardSkinnedShader : kStandardShader;
    GraphicsMesh::MaterialParameter texture;
    texture.nameText = "baseTexture";
    texture.type = GraphicsMesh::kParamTexture;
    texture.text = "Textures/Checker.dds";
    material.parameters.push_back(texture);
    contents_.materials.push_back(material);
}

void MeshBuilder::AddBox(const Vec3& centre, const Vec3& half, uint8_t boneSlot) {
    for (int axis = 0; axis < 3; ++axis) {
        for (const float sign : {1.0f, -1.0f}) {
            Vec3 n, u, v;
            Component(n, axis) = sign;
            Component(u, (axis + (sign > 0 ? 1 : 2)) % 3) = 1.0f;
            Component(v, (axis + (sign > 0 ? 2 : 1)) % 3) = 1.0f;
            const Vec3 faceCentre = centre + Scale(n, half);
            const uint16_t first = static_cast<uint16_t>(positions_.size());
            for (int corner = 0; corner < 4; ++corner) {
                const float cu = (corner & 1) ? 1.0f : -1.0f;
                const float cv = (corner & 2) ? 1.0f : -1.0f;
                const Vec3 position = faceCentre + Scale(u, half) * cu + Scale(v, half) * cv;
                AddVertex(position, n, Dot(position, u) / kTextureSpan, Dot(position, v) / kTextureSpan, boneSlot);
            }
            const uint16_t corners[6] = {0, 1, 2, 2, 1, 3};
            for (const uint16_t c : corners) contents_.indices.push_back(static_cast<uint16_t>(first + c));
        }
    }
}

MeshBuilder::Contents& MeshBuilder::Finish(mem::vector<uint32_t> bones) {
    Vec3 min(Infinity, Infinity, Infinity), max(-Infinity, -Infinity, -Infinity);
    for (const Vec3& p : positions_) {
        min = Min(min, p);
        max = Max(max, p);
    }
    contents_.bounds = ABBox((min + max) * 0.5f, (max - min) * 0.5f);
    GraphicsMesh::FaceSet set;
    set.faceCount = static_cast<uint32_t>(contents_.indices.size() / 3);
    set.bones = std::move(bones);
    set.box = contents_.bounds;
    contents_.faceSets = {set};
    return contents_;
}

bool MeshBuilder::AddCollision(PhysicsSurface surface) { return AddCollisionBuffer(contents_, positions_, surface); }

bool AddCollisionBuffer(MeshFileWriter::Contents& contents, const mem::vector<Vec3>& positions, PhysicsSurface surface) {
    ScenePhysicsNode node;
    node.SetNumVertices(static_cast<int>(positions.size()));
    for (size_t i = 0; i < positions.size(); ++i) node.SetVertex(static_cast<int>(i), positions[i]);
    node.SetNumFaces(static_cast<int>(contents.indices.size() / 3));
    for (int f = 0; f < node.GetNumFaces(); ++f) {
        ScenePhysicsNode::Face face;
        for (size_t c = 0; c < 3; ++c) face.vertices[c] = contents.indices[size_t(f) * 3 + c];
        face.surface = surface;
        node.SetFace(f, face);
    }
    BinaryWriter buffer;
    if (!node.WriteCollisionBuffer(buffer)) return false;
    contents.collisionBuffer.assign(buffer.GetBuffer(), buffer.GetBuffer() + buffer.GetPosition());
    return true;
}

void MeshBuilder::AddVertex(const Vec3& position, const Vec3& normal, float u, float v, uint8_t boneSlot) {
    positions_.push_back(position);
    const float floats[8] = {position.x, position.y, position.z, normal.x, normal.y, normal.z, u, v};
    Append(floats, sizeof(floats));
    if (!skinned_) return;
    const float weights[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    Append(weights, sizeof(weights));
    const uint8_t bones[4] = {boneSlot, 0, 0, 0};
    Append(bones, sizeof(bones));
}

void MeshBuilder::Append(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    contents_.vertexData.insert(contents_.vertexData.end(), bytes, bytes + size);
}

bool WriteMesh(FileSystem& files, const char* name, const MeshFileWriter::Contents& contents) {
    BinaryWriter writer;
    if (!MeshFileWriter::Write(writer, contents)) {
        Log(LogPriority::Error, "Sample data: %s could not be made", name);
        return false;
    }
    return WriteBinary(files, name, writer);
}

}  // namespace GAME::sample
