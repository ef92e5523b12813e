#include "SampleTiles.h"

#include "SampleData.h"
#include "SampleMeshBuilder.h"
#include "SampleMeshShaders.h"

#include "scene/MeshFileWriter.h"

namespace GAME::sample {

namespace {

// Corner 0 to 3 of the slab at height y: (-h, -h), (h, -h), (h, h), (-h, h) in (x, z), counter-
// clockwise on the ground plane with x to the right and z up.
Vec3 Corner(int index, float y) {
    const float h = kTileHalfSize;
    const float x[4] = {-h, h, h, -h}, z[4] = {-h, -h, h, h};
    return Vec3(x[index], y, z[index]);
}

bool WriteTileMesh(FileSystem& files) {
    MeshFileWriter::Contents contents;
    contents.attributes = {0, 1, 4};
    contents.stride = 32;
    mem::vector<Vec3> positions;
    const auto addVertex = [&](const Vec3& p, const Vec3& n, float u, float v) {
        positions.push_back(p);
        const float floats[8] = {p.x, p.y, p.z, n.x, n.y, n.z, u, v};
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(floats);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(floats));
    };
    // The top, then the four sides, each a quad of its own vertices wound counter-clockwise seen
    // from outside.
    for (int c = 0; c < 4; ++c) {
        const Vec3 p = Corner(c, kTileTopHeight);
        addVertex(p, Vec3(0, 1, 0), p.x / (2 * kTileHalfSize) + 0.5f, p.z / (2 * kTileHalfSize) + 0.5f);
    }
    contents.indices = {0, 2, 1, 0, 3, 2};
    for (int side = 0; side < 4; ++side) {
        const Vec3 a = Corner(side, 0), b = Corner((side + 1) % 4, 0);
        const Vec3 normal = Cross(Vec3(0, 1, 0), b - a).Unit();
        const uint16_t first = static_cast<uint16_t>(positions.size());
        addVertex(a, normal, 0, 1);
        addVertex(b, normal, 1, 1);
        addVertex(Corner((side + 1) % 4, kTileTopHeight), normal, 1, 0);
        addVertex(Corner(side, kTileTopHeight), normal, 0, 0);
        for (const int k : {0, 2, 1, 0, 3, 2}) contents.indices.push_back(static_cast<uint16_t>(first + k));
    }
    // The top is drawn only as the ground's (its blended faces, in the terrain's layers); the
    // actor draws the sides. Rays and bodies meet all of it.
    contents.blendedIndices = {0, 2, 1, 0, 3, 2};
    if (!AddCollisionBuffer(contents, positions, PhysicsSurface::Stone)) return false;
    contents.indices.erase(contents.indices.begin(), contents.indices.begin() + 6);
    contents.bounds = ABBox(Vec3(0, 0.5f * kTileTopHeight, 0), Vec3(kTileHalfSize, 0.5f * kTileTopHeight, kTileHalfSize));
    GraphicsMesh::FaceSet set;
    set.faceCount = static_cast<uint32_t>(contents.indices.size() / 3);
    set.box = contents.bounds;
    contents.faceSets = {set};
    GraphicsMesh::Material material;
    material.shaderName = kStandardShader;
    GraphicsMesh::MaterialParameter texture;
    texture.nameText = "baseTexture";
    texture.type = GraphicsMesh::kParamTexture;
    texture.text = "Textures/Checker.dds";
    material.parameters.push_back(texture);
    contents.materials = {material};

    // The foot's outline, a point every unit, clockwise seen from above.
    GraphicsMesh::Contour contour;
    for (int side = 0; side < 4; ++side) {
        const Vec3 a = Corner(3 - side, 0), b = Corner((6 - side) % 4, 0);
        const int steps = static_cast<int>(2 * kTileHalfSize);
        for (int s = 0; s < steps; ++s)
            contour.points.push_back({a + (b - a) * (float(s) / float(steps)), Vec3(0, 1, 0), Vec3()});
    }
    contents.contours = {contour};
    return WriteMesh(files, kTileMesh, contents);
}

}  // namespace

bool WriteTiles(FileSystem& files) {
    return WriteTileMesh(files) &&
           WriteText(files, kTileRecord, std::string("Class,Tile,\nmesh,") + kTileMesh + ",\ncastsShadows,0,\n");
}

}  // namespace GAME::sample
