#pragma once
// Mesh test data: a file system over a temporary directory with a loader (no thread) and a mesh
// manager, and mesh contents for MeshFileWriter that every file version can hold.

#include <gtest/gtest.h>

#include <string>

#include "files/BinaryWriter.h"
#include "files/File.h"
#include "files/FileSystem.h"
#include "files/ResourceLoader.h"
#include "files/ResourceManager.h"
#include "scene/GraphicsMesh.h"
#include "scene/MeshFileWriter.h"
#include "support/TempDirectory.h"

namespace GAME::test {

// Three bones (a root with two children), one material with a texture, a skinned quad in one face
// set, one hit box: what the legacy block can hold.
inline MeshFileWriter::Contents SkinnedQuad() {
    MeshFileWriter::Contents contents;
    contents.attributes = {0, 4, 5, 6};
    contents.stride = 12 + 8 + 16 + 4;
    for (int v = 0; v < 4; ++v) {
        const float corner[9] = {float(v & 1), float(v >> 1), 0.0f, float(v & 1), float(v >> 1), 1.0f, 0.0f, 0.0f, 0.0f};
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(corner);
        contents.vertexData.insert(contents.vertexData.end(), bytes, bytes + sizeof(corner));
        const uint8_t bones[4] = {uint8_t(v & 1), 0, 0, 0};
        contents.vertexData.insert(contents.vertexData.end(), bones, bones + 4);
    }
    contents.indices = {0, 1, 2, 2, 1, 3};
    GraphicsMesh::FaceSet set;
    set.faceCount = 2;
    set.bones = {0, 2};
    contents.faceSets.push_back(set);
    GraphicsMesh::Bone root, arm, leg;
    root.nameText = "Root";
    root.firstChild = 1;
    root.childCount = 2;
    root.relativeCoords = Coords::RotationZ(1.5707964f) * Coords::Translation(Vec3(0, 0, 1));
    arm.nameText = "Arm";
    arm.relativeCoords = Coords::Translation(Vec3(1, 0, 0));
    leg.nameText = "Leg";
    leg.relativeCoords = Coords::Translation(Vec3(0, 2, 0));
    contents.bones = {root, arm, leg};
    GraphicsMesh::Material material;
    material.shaderName = "Shaders/Skinned.ssh";
    GraphicsMesh::MaterialParameter texture;
    texture.nameText = "baseTexture";
    texture.type = GraphicsMesh::kParamTexture;
    texture.text = "Textures/Skin.tex";
    material.parameters.push_back(texture);
    contents.materials.push_back(material);
    GraphicsMesh::HitBox box;
    box.nameText = "Hand";
    box.extents = Vec3(0.5f, 0.25f, 0.125f);
    box.coords = Coords::Translation(Vec3(0, 0, 1));
    box.bone = 1;
    contents.hitBoxes.push_back(box);
    contents.bounds = ABBox(Vec3(0.5f, 0.5f, 0.0f), Vec3(0.5f, 0.5f, 0.0f));
    return contents;
}

class MeshFixture : public ::testing::Test {
protected:
    MeshFixture() { files.AddDirectory(dir.GetPath(), true); }

    // Writes the bytes to a file and returns the loaded mesh (with one reference).
    const GraphicsMesh* LoadBytes(const std::string& name, const void* data, uint32_t size) {
        File* file = files.OpenFile(name, FileMode::Write);
        EXPECT_NE(file, nullptr);
        if (!file) return nullptr;
        EXPECT_TRUE(size == 0 || file->Write(0, data, size));
        files.CloseFile(file);
        const GraphicsMesh* mesh = manager.LoadResource(name);
        mesh->EnsureAvailable();
        return mesh;
    }
    const GraphicsMesh* Load(const std::string& name, const BinaryWriter& writer) {
        return LoadBytes(name, writer.GetBuffer(), writer.GetPosition());
    }
    // Reads bytes straight into a mesh that no file backs; only the result is of use.
    Resource::InitResult Read(const void* data, uint32_t size) {
        GraphicsMesh mesh(&manager, "memory.msh");
        return mesh.Initialize(data, size);
    }

    TempDirectory dir;
    FileSystem files;
    ResourceLoader loader{files};
    ResourceManager<GraphicsMesh> manager{loader};
};

}  // namespace GAME::test
