// Mesh files: files of every version built field by field read back to the expected members,
// writer-reader round trips of every version, files cut at every byte, random corruption and a
// table of hostile files.

#include "scene/MeshFileReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>

#include "MeshTestData.h"
#include "core/MathExpect.h"
#include "physics/JointDescription.h"
#include "physics/PhysicsMeshWriter.h"
#include "physics/RigidBodyDescription.h"
#include "scene/SkeletalPose.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using InitResult = Resource::InitResult;
using Contents = MeshFileWriter::Contents;
using test::ExpectNear;

// ---- Field-by-field builders ----------------------------------------------------------------

void Head(BinaryWriter& w, unsigned char version) {
    w.Write("MSH", 3);
    w.Write(version);
}

void Chunk(BinaryWriter& w, uint32_t id, const std::function<void()>& body) {
    w.BeginChunk(id);
    body();
    w.EndChunk();
}

void U32(BinaryWriter& w, uint32_t value) { w.Write(static_cast<unsigned int>(value)); }
void U16s(BinaryWriter& w, std::initializer_list<uint16_t> values) {
    for (const uint16_t v : values) w.Write(static_cast<unsigned short>(v));
}
void F32s(BinaryWriter& w, std::initializer_list<float> values) {
    for (const float v : values) w.Write(v);
}
void Fixed(BinaryWriter& w, const char* name) {
    char bytes[32] = {};
    std::strncpy(bytes, name, sizeof(bytes));
    w.Write(bytes, sizeof(bytes));
}
void Str(BinaryWriter& w, const char* text) { w.Write(std::string(text)); }

// Four vertices of position and texture coordinate (20 bytes).
void Vertices(BinaryWriter& w) {
    U32(w, 2);
    U32(w, 20);
    U32(w, 4);
    U32(w, 0);
    U32(w, 4);
    for (int v = 0; v < 4; ++v) F32s(w, {float(v & 1), float(v >> 1), 0.0f, 0.25f * float(v), 0.5f});
}

// Two faces in one face set over material 0 and bones 0 and 2.
void Faces(BinaryWriter& w, bool version11) {
    U32(w, 2);
    U32(w, 1);
    U16s(w, {0, 1, 2, 2, 1, 3});
    U32(w, 0);
    U32(w, 0);
    U32(w, 2);
    if (version11) {
        U32(w, 1);
        F32s(w, {0.5f, 0.5f, 0.0f, 0.5f, 0.5f, 0.25f});
    }
    U32(w, 2);
    U32(w, 0);
    U32(w, 2);
}

// Root (turned a quarter about z, up 1) with the children Arm (x + 1) and Leg (y + 2).
void Bones(BinaryWriter& w) {
    Fixed(w, "Root");
    U32(w, 1);
    U32(w, 2);
    F32s(w, {0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 1});
    Fixed(w, "Arm");
    U32(w, 0);
    U32(w, 0);
    F32s(w, {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0});
    Fixed(w, "Leg");
    U32(w, 0);
    U32(w, 0);
    F32s(w, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0});
}

// One material; parameters of every kind of payload, with the ones that are dropped in between.
void Materials(BinaryWriter& w) {
    Str(w, "Shaders/Mesh.ssh");
    U32(w, 8);
    Str(w, "baseTexture");
    U32(w, 7);
    Str(w, "Textures/Crate.tex");
    Str(w, "future");  // type 12: no payload, dropped
    U32(w, 12);
    Str(w, "tint");
    U32(w, 9);
    F32s(w, {1.0f, 0.5f, 0.25f});
    Str(w, "sampler");  // type 5: dropped
    U32(w, 5);
    Str(w, "mode");
    U32(w, 0);
    U32(w, 7);
    Str(w, "lit");
    U32(w, 1);
    U32(w, 5);
    Str(w, "note");  // type 2: kept without its text
    U32(w, 2);
    Str(w, "anything");
    Str(w, "frame");
    U32(w, 3);
    for (int i = 0; i < 12; ++i) w.Write(float(i));
}

void HitBoxes(BinaryWriter& w, bool withBad) {
    Fixed(w, "Head");
    F32s(w, {1, 2, 3});
    F32s(w, {2, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 4});
    U32(w, 2);
    if (!withBad) return;
    Fixed(w, "Bad");
    F32s(w, {std::numeric_limits<float>::quiet_NaN(), 1, 1});
    F32s(w, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    U32(w, 0xFFFFFFFF);
    Fixed(w, "Past");  // on a bone past the three: dropped with a warning
    F32s(w, {1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    U32(w, 3);
}

mem::vector<uint8_t> CollisionBuffer() {
    BinaryWriter w;
    mem::vector<PhysicsMesh::Face> faces(1);
    faces[0].vertices[1] = 1;
    faces[0].vertices[2] = 2;
    EXPECT_TRUE(PhysicsMeshWriter::Write(w, faces, {Vec3(-2, 0, 0), Vec3(2, 0, 4), Vec3(0, 6, 0)}));
    return mem::vector<uint8_t>(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
}

void Collision(BinaryWriter& w) {
    const mem::vector<uint8_t> buffer = CollisionBuffer();
    w.Write(buffer.data(), static_cast<uint32_t>(buffer.size()));
}

// The legacy block of the same mesh: everything but contours, portals, sections, blended faces.
void LegacyBlock(BinaryWriter& w) {
    for (const uint32_t count : {4u, 2u, 1u, 6u, 3u, 1u, 1u, 2u, 20u}) U32(w, count);
    U32(w, 0);
    U32(w, 4);
    F32s(w, {0, 0, 0, 1, 1, 0});
    for (int v = 0; v < 4; ++v) F32s(w, {float(v & 1), float(v >> 1), 0.0f, 0.25f * float(v), 0.5f});
    U16s(w, {0, 1, 2, 2, 1, 3});
    for (const uint32_t word : {0u, 0u, 2u, 2u, 0u, 2u}) U32(w, word);
    Bones(w);
    HitBoxes(w, false);
    Materials(w);
}

const char* const kText = "SkeletonEmitterBones { Arm }";

// A version-10 or -11 file with every chunk, an unknown chunk and a vertex chunk whose size lies.
void ChunkedFile(BinaryWriter& w, unsigned char version) {
    Head(w, version);
    Chunk(w, 0, [&] { Str(w, "exported by hand"); });
    Chunk(w, 20, [&] { w.Write("junk!", 5); });
    U32(w, 4);  // the vertex chunk says 3 bytes; it is read by its fields
    U32(w, 3);
    Vertices(w);
    Chunk(w, 5, [&] { Faces(w, version >= 11); });
    Chunk(w, 6, [&] {
        U32(w, 3);
        Bones(w);
    });
    Chunk(w, 7, [&] {
        U32(w, 1);
        Materials(w);
    });
    Chunk(w, 8, [&] {
        U32(w, 3);
        HitBoxes(w, true);
    });
    Chunk(w, 9, [&] {
        U32(w, 1);
        U32(w, 4);
        for (const float p : {0.0f, 1.0f, 3.0f, 2.0f}) F32s(w, {float(int(p) & 1), float(int(p) >> 1), 0, 0, 0, 1});
    });
    Chunk(w, 10, [&] { F32s(w, {0, 0, 0, 1, 1, 0}); });
    Chunk(w, 11, [&] {
        U32(w, 1);
        U16s(w, {3, 2, 1});
    });
    Chunk(w, 12, [&] {
        U32(w, 1);
        U32(w, 2);
        for (int i = 0; i < 18; ++i) w.Write(float(i));
    });
    Chunk(w, 13, [&] {
        U32(w, 2);
        Str(w, "Body");
        Str(w, "Glass");
    });
    Chunk(w, 2, [&] { Collision(w); });
    Chunk(w, 3, [&] { w.Write(kText, static_cast<uint32_t>(std::strlen(kText))); });
}

// What every version holds: vertices, faces, bones, materials, the good hit box, the text.
void ExpectCommonMembers(const GraphicsMesh& mesh) {
    ASSERT_EQ(mesh.GetInitResult(), InitResult::Success);
    EXPECT_EQ(mesh.GetNumVertices(), 4u);
    EXPECT_EQ(mesh.GetVertexStride(), 20u);
    EXPECT_EQ(mesh.GetVertexAttributes(), (mem::vector<uint32_t>{0, 4}));
    EXPECT_EQ(mesh.GetAttributeOffset(4), 12u);
    EXPECT_EQ(mesh.GetAttributeOffset(GraphicsMesh::kAttributeSkinBones), GraphicsMesh::kNoAttribute);
    ASSERT_EQ(mesh.GetVertexData().size(), 80u);
    float v3[5];
    std::memcpy(v3, mesh.GetVertexData().data() + 60, sizeof(v3));
    EXPECT_EQ(v3[0], 1.0f);
    EXPECT_EQ(v3[1], 1.0f);
    EXPECT_EQ(v3[3], 0.75f);
    EXPECT_EQ(mesh.GetNumFaces(), 2u);
    EXPECT_EQ(mesh.GetIndices(), (mem::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
    ExpectNear(mesh.GetBoundingBox().centre, Vec3(0.5f, 0.5f, 0));
    ExpectNear(mesh.GetBoundingBox().halfSize, Vec3(0.5f, 0.5f, 0));

    ASSERT_EQ(mesh.GetNumFaceSets(), 1);
    const GraphicsMesh::FaceSet& set = mesh.GetFaceSet(0);
    EXPECT_EQ(set.faceCount, 2u);
    EXPECT_EQ(set.bones, (mem::vector<uint32_t>{0, 2}));

    // Bones: parents from the child ranges, depths, absolute coords with rotation before offset.
    ASSERT_EQ(mesh.GetNumBones(), 3);
    EXPECT_EQ(mesh.GetBone(0).parent, GraphicsMesh::kNoBone);
    EXPECT_EQ(mesh.GetBone(1).parent, 0u);
    EXPECT_EQ(mesh.GetBone(2).parent, 0u);
    EXPECT_EQ(mesh.GetBone(0).depth, 1u);
    EXPECT_EQ(mesh.GetBone(2).depth, 0u);
    EXPECT_EQ(mesh.GetBone(1).nameText, "Arm");
    ExpectNear(mesh.GetBone(1).absoluteCoords.origin, Vec3(0, 1, 1));
    ExpectNear(mesh.GetBone(2).absoluteCoords.origin, Vec3(-2, 0, 1));
    ExpectNear(mesh.GetBone(2).absoluteCoords.xAxis, Vec3(0, 1, 0));
    EXPECT_EQ(mesh.GetBoneIndex(Name::Create("Leg")), 2);
    EXPECT_EQ(mesh.GetBoneIndex(Name::Create("Tail")), -1);
    EXPECT_EQ(mesh.GetRootMotionBone(), Name::Create("Root"));

    // Parameters 12 and 5 are dropped; the others keep their payload, and alignment after them.
    ASSERT_EQ(mesh.GetNumMaterials(), 1);
    const GraphicsMesh::Material& material = mesh.GetMaterial(0);
    EXPECT_EQ(material.shaderName, "Shaders/Mesh.ssh");
    ASSERT_EQ(material.parameters.size(), 6u);
    EXPECT_EQ(material.parameters[0].name, Name::Create("baseTexture"));
    EXPECT_EQ(material.parameters[0].text, "Textures/Crate.tex");
    float tint[3];
    std::memcpy(tint, material.parameters[1].payload, sizeof(tint));
    EXPECT_EQ(material.parameters[1].type, 9u);
    EXPECT_EQ(tint[2], 0.25f);
    EXPECT_EQ(material.parameters[2].payload[0], 7u);
    EXPECT_EQ(material.parameters[3].payload[0], 1u);
    EXPECT_EQ(material.parameters[4].type, 2u);
    EXPECT_TRUE(material.parameters[4].text.empty());
    float frame[12];
    std::memcpy(frame, material.parameters[5].payload, sizeof(frame));
    EXPECT_EQ(frame[11], 11.0f);

    ASSERT_GE(mesh.GetNumHitBoxes(), 1);
    const GraphicsMesh::HitBox& box = mesh.GetHitBox(0);
    EXPECT_EQ(box.name, Name::Create("Head"));
    EXPECT_EQ(box.bone, 2);
    ExpectNear(box.extents, Vec3(1, 2, 3));
    ExpectNear(box.coords.xAxis, Vec3(1, 0, 0));
    ExpectNear(box.coords.yAxis, Vec3(0, 1, 0));
    ExpectNear(box.coords.origin, Vec3(0, 0, 4));
    EXPECT_EQ(mesh.GetDescriptionText(), kText);
}

using MeshFileTest = test::MeshFixture;

TEST_F(MeshFileTest, VersionElevenBuiltByHandReadsEveryChunk) {
    test::LogCapture log;
    BinaryWriter file;
    ChunkedFile(file, 11);
    const GraphicsMesh* mesh = Load("Meshes/Crate.msh", file);
    ExpectCommonMembers(*mesh);
    EXPECT_EQ(mesh->GetExporterText(), "exported by hand");
    const GraphicsMesh::FaceSet& set = mesh->GetFaceSet(0);
    EXPECT_EQ(set.section, 1u);
    ExpectNear(set.box.halfSize, Vec3(0.5f, 0.5f, 0.25f));
    // The hit box with a NaN extent is dropped with a warning.
    EXPECT_EQ(mesh->GetNumHitBoxes(), 1);
    EXPECT_TRUE(log.Contains(LogPriority::Warning, "Mesh 'Meshes/Crate.msh' has a bad hit box"));

    ASSERT_EQ(mesh->GetNumContours(), 1);
    const GraphicsMesh::Contour& contour = mesh->GetContour(0);
    ASSERT_EQ(contour.points.size(), 4u);
    ExpectNear(contour.points[0].side, Vec3(-0.70710678f, -0.70710678f, 0));
    ExpectNear(contour.points[2].side, Vec3(0.70710678f, 0.70710678f, 0));
    EXPECT_EQ(mesh->GetNumBlendedFaces(), 1u);
    EXPECT_EQ(mesh->GetBlendedIndices(), (mem::vector<uint16_t>{3, 2, 1}));
    ASSERT_EQ(mesh->GetNumPortals(), 1);
    ASSERT_EQ(mesh->GetPortal(0).points.size(), 2u);
    ExpectNear(mesh->GetPortal(0).points[1].vectors[2], Vec3(15, 16, 17));
    ASSERT_EQ(mesh->GetNumSections(), 2);
    EXPECT_EQ(mesh->GetSection(1), "Glass");
    ASSERT_NE(mesh->GetPhysicsMesh(), nullptr);
    EXPECT_EQ(mesh->GetPhysicsMesh()->GetNumFaces(), 1);
    EXPECT_EQ(manager.GetMemoryUsage(), file.GetPosition());
    manager.UnloadResource(mesh);
    manager.UnloadUnreferencedResources();
    EXPECT_EQ(manager.GetMemoryUsage(), 0u);
}

TEST_F(MeshFileTest, OlderVersionsBuiltByHandReadTheSameMesh) {
    // Version 10: face sets without section or box take the bounds.
    BinaryWriter w10;
    ChunkedFile(w10, 10);
    const GraphicsMesh* v10 = Load("v10.msh", w10);
    ExpectCommonMembers(*v10);
    EXPECT_EQ(v10->GetFaceSet(0).section, 0u);
    EXPECT_EQ(v10->GetFaceSet(0).box, v10->GetBoundingBox());

    // Version 9: exporter string, legacy block, collision buffer, then text.
    BinaryWriter w9;
    Head(w9, 9);
    Chunk(w9, 0, [&] { Str(w9, "nine"); });
    Chunk(w9, 1, [&] { LegacyBlock(w9); });
    Chunk(w9, 2, [&] { Collision(w9); });
    w9.Write(kText, static_cast<uint32_t>(std::strlen(kText)));
    const GraphicsMesh* v9 = Load("v9.msh", w9);
    ExpectCommonMembers(*v9);
    EXPECT_EQ(v9->GetExporterText(), "nine");
    EXPECT_NE(v9->GetPhysicsMesh(), nullptr);
    ASSERT_EQ(v9->GetNumSections(), 1);
    EXPECT_EQ(v9->GetSection(0), "");

    BinaryWriter w8;
    Head(w8, 8);
    LegacyBlock(w8);
    w8.Write(kText, static_cast<uint32_t>(std::strlen(kText)));
    ExpectCommonMembers(*Load("v8.msh", w8));

    // A version-9 file whose first header has id 5 is all text from offset 4.
    BinaryWriter text9;
    Head(text9, 9);
    U32(text9, 5);
    U32(text9, 0);
    text9.Write("Rest", 4);
    const GraphicsMesh* allText = Load("text9.msh", text9);
    ASSERT_EQ(allText->GetInitResult(), InitResult::Success);
    EXPECT_EQ(allText->GetDescriptionText(), std::string("\5\0\0\0\0\0\0\0Rest", 12));
    EXPECT_EQ(allText->GetNumFaceSets(), 0);
    // One that ends on an empty chunk has no text.
    BinaryWriter empty9;
    Head(empty9, 9);
    Chunk(empty9, 0, [] {});
    EXPECT_EQ(Load("empty9.msh", empty9)->GetDescriptionText(), "");

    // Version 10 without bounds and vertices takes the collision mesh's box.
    BinaryWriter shape;
    Head(shape, 10);
    Chunk(shape, 2, [&] { Collision(shape); });
    const GraphicsMesh* collisionOnly = Load("shape.msh", shape);
    ASSERT_EQ(collisionOnly->GetInitResult(), InitResult::Success);
    ExpectNear(collisionOnly->GetBoundingBox().centre, Vec3(0, 3, 2));
    ExpectNear(collisionOnly->GetBoundingBox().halfSize, Vec3(2, 3, 2));
}

// Every member the writer writes must come back, in every version that can hold it.
void ExpectRoundTrip(const GraphicsMesh& mesh, const Contents& contents, uint32_t version) {
    SCOPED_TRACE(version);
    ASSERT_EQ(mesh.GetInitResult(), InitResult::Success);
    EXPECT_EQ(mesh.GetVertexAttributes(), contents.attributes);
    EXPECT_EQ(mesh.GetVertexData(), contents.vertexData);
    EXPECT_EQ(mesh.GetIndices(), contents.indices);
    EXPECT_EQ(mesh.GetBlendedIndices(), contents.blendedIndices);
    EXPECT_EQ(mesh.GetBoundingBox(), contents.bounds);
    ASSERT_EQ(mesh.GetNumFaceSets(), int(contents.faceSets.size()));
    for (int i = 0; i < mesh.GetNumFaceSets(); ++i) {
        const GraphicsMesh::FaceSet& expected = contents.faceSets[size_t(i)];
        const GraphicsMesh::FaceSet& set = mesh.GetFaceSet(i);
        EXPECT_EQ(set.material, expected.material);
        EXPECT_EQ(set.firstFace, expected.firstFace);
        EXPECT_EQ(set.faceCount, expected.faceCount);
        EXPECT_EQ(set.bones, expected.bones);
        EXPECT_EQ(set.section, version >= 11 ? expected.section : 0u);
        EXPECT_EQ(set.box, version >= 11 ? expected.box : contents.bounds);
    }
    ASSERT_EQ(mesh.GetNumBones(), int(contents.bones.size()));
    for (int i = 0; i < mesh.GetNumBones(); ++i) {
        EXPECT_EQ(mesh.GetBone(i).nameText, contents.bones[size_t(i)].nameText);
        EXPECT_EQ(mesh.GetBone(i).relativeCoords, contents.bones[size_t(i)].relativeCoords);
    }
    ASSERT_EQ(mesh.GetNumMaterials(), int(contents.materials.size()));
    for (int i = 0; i < mesh.GetNumMaterials(); ++i) {
        const GraphicsMesh::Material& material = mesh.GetMaterial(i);
        ASSERT_EQ(material.parameters.size(), contents.materials[size_t(i)].parameters.size());
        for (size_t p = 0; p < material.parameters.size(); ++p) {
            const GraphicsMesh::MaterialParameter& expected = contents.materials[size_t(i)].parameters[p];
            EXPECT_EQ(material.parameters[p].nameText, expected.nameText);
            EXPECT_EQ(material.parameters[p].type, expected.type);
            EXPECT_EQ(material.parameters[p].text, expected.text);
            EXPECT_EQ(0, std::memcmp(material.parameters[p].payload, expected.payload, sizeof(expected.payload)));
        }
    }
    ASSERT_EQ(mesh.GetNumHitBoxes(), int(contents.hitBoxes.size()));
    for (int i = 0; i < mesh.GetNumHitBoxes(); ++i) {
        EXPECT_EQ(mesh.GetHitBox(i).nameText, contents.hitBoxes[size_t(i)].nameText);
        EXPECT_EQ(mesh.GetHitBox(i).extents, contents.hitBoxes[size_t(i)].extents);
        EXPECT_EQ(mesh.GetHitBox(i).coords, contents.hitBoxes[size_t(i)].coords);
        EXPECT_EQ(mesh.GetHitBox(i).bone, contents.hitBoxes[size_t(i)].bone);
    }
    ASSERT_EQ(mesh.GetNumContours(), int(contents.contours.size()));
    for (int i = 0; i < mesh.GetNumContours(); ++i) {
        ASSERT_EQ(mesh.GetContour(i).points.size(), contents.contours[size_t(i)].points.size());
        EXPECT_EQ(mesh.GetContour(i).points[0].normal, contents.contours[size_t(i)].points[0].normal);
    }
    ASSERT_EQ(mesh.GetNumPortals(), int(contents.portals.size()));
    for (int i = 0; i < mesh.GetNumPortals(); ++i) {
        ASSERT_EQ(mesh.GetPortal(i).points.size(), contents.portals[size_t(i)].points.size());
        EXPECT_EQ(mesh.GetPortal(i).points.back().vectors[2], contents.portals[size_t(i)].points.back().vectors[2]);
    }
    const mem::vector<std::string> sections = contents.sections.empty() ? mem::vector<std::string>{""} : contents.sections;
    ASSERT_EQ(mesh.GetNumSections(), int(sections.size()));
    for (int i = 0; i < mesh.GetNumSections(); ++i) EXPECT_EQ(mesh.GetSection(i), sections[size_t(i)]);
    EXPECT_EQ(mesh.GetPhysicsMesh() != nullptr, !contents.collisionBuffer.empty());
    EXPECT_EQ(mesh.GetDescriptionText(), contents.descriptionText);
    EXPECT_EQ(mesh.GetExporterText(), contents.exporterText);
}

Contents FullContents() {
    Contents contents = test::SkinnedQuad();
    contents.faceSets[0].section = 1;
    contents.faceSets[0].box = ABBox(Vec3(1, 2, 3), Vec3(4, 5, 6));
    contents.faceSets.push_back(contents.faceSets[0]);
    contents.faceSets[1].firstFace = 1;
    contents.faceSets[1].faceCount = 1;
    contents.faceSets[1].section = 0;
    contents.faceSets[1].bones = {1};
    GraphicsMesh::MaterialParameter vec4;
    vec4.nameText = "glow";
    vec4.type = GraphicsMesh::kParamVec4;
    const float glow[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    std::memcpy(vec4.payload, glow, sizeof(glow));
    contents.materials[0].parameters.push_back(vec4);
    contents.materials.push_back(GraphicsMesh::Material{"Shaders/Glass.ssh", {}});
    GraphicsMesh::Contour contour;
    contour.points.resize(3);
    contour.points[0].normal = Vec3(0, 0, 1);
    contour.points[1].position = Vec3(1, 0, 0);
    contour.points[2].position = Vec3(0, 1, 0);
    contents.contours.push_back(contour);
    GraphicsMesh::Portal portal;
    portal.points.resize(4);
    portal.points[3].vectors[2] = Vec3(7, 8, 9);
    contents.portals.push_back(portal);
    contents.blendedIndices = {3, 2, 1};
    contents.sections = {"Body", "Glass"};
    contents.collisionBuffer = CollisionBuffer();
    contents.descriptionText = "AttachPoint { name = \"Hand\" }";
    contents.exporterText = "writer";
    return contents;
}

TEST_F(MeshFileTest, WriterRoundTripsEveryVersion) {
    const Contents full = FullContents();
    for (const uint32_t version : {10u, 11u}) {
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, full, version));
        ExpectRoundTrip(*Load("full" + std::to_string(version) + ".msh", writer), full, version);
    }
    Contents legacy = test::SkinnedQuad();
    legacy.descriptionText = full.descriptionText;
    for (const uint32_t version : {8u, 9u}) {
        if (version == 9) {
            legacy.collisionBuffer = full.collisionBuffer;
            legacy.exporterText = "nine";
        }
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, legacy, version));
        ExpectRoundTrip(*Load("legacy" + std::to_string(version) + ".msh", writer), legacy, version);
    }

    // What a version cannot hold is refused before anything is written.
    test::LogCapture log;
    BinaryWriter refused;
    EXPECT_FALSE(MeshFileWriter::Write(refused, full, 9));
    Contents longName = legacy;
    longName.bones[0].nameText = std::string(33, 'x');
    EXPECT_FALSE(MeshFileWriter::Write(refused, longName, 11));
    Contents crooked = legacy;
    crooked.vertexData.pop_back();
    EXPECT_FALSE(MeshFileWriter::Write(refused, crooked, 11));
    crooked = legacy;
    crooked.indices.pop_back();
    EXPECT_FALSE(MeshFileWriter::Write(refused, crooked, 11));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "an index count that is not a multiple of 3"));
    EXPECT_FALSE(MeshFileWriter::Write(refused, legacy, 12));
    EXPECT_EQ(refused.GetPosition(), 0u);
}

// Whatever is asked of a mesh not loaded yet loads it first.
TEST_F(MeshFileTest, EveryQuestionLoadsTheMeshFirst) {
    Contents full = FullContents();
    full.descriptionText =
        "AttachPoint { name = \"Hand\" } CreateEntity { entity = \"E\" attach = \"A\" } "
        "SkeletonEmitterBones { Root } RigidBodyDescription { parentName = \"Root\" } "
        "JointDescription { jointType = \"hinge\" }";
    BinaryWriter writer;
    ASSERT_TRUE(MeshFileWriter::Write(writer, full));
    manager.UnloadResource(Load("lazy.msh", writer));
    using Question = std::function<bool(const GraphicsMesh&)>;
    const Name root = Name::Create("Root");
    SkeletalPose moved;
    moved.SetBoneCoords(root, Coords::Translation(Vec3(0, 0, 5)));
    const std::pair<const char*, Question> questions[] = {
        {"vertices", [](const GraphicsMesh& m) { return m.GetNumVertices() == 4; }},
        {"stride", [](const GraphicsMesh& m) { return m.GetVertexStride() == 40; }},
        {"attributes", [](const GraphicsMesh& m) { return m.GetVertexAttributes().size() == 4; }},
        {"offset", [](const GraphicsMesh& m) { return m.GetAttributeOffset(6) == 36; }},
        {"vertex data", [](const GraphicsMesh& m) { return m.GetVertexData().size() == 160; }},
        {"faces", [](const GraphicsMesh& m) { return m.GetNumFaces() == 2; }},
        {"indices", [](const GraphicsMesh& m) { return m.GetIndices().size() == 6; }},
        {"blended faces", [](const GraphicsMesh& m) { return m.GetNumBlendedFaces() == 1; }},
        {"blended indices", [](const GraphicsMesh& m) { return m.GetBlendedIndices().size() == 3; }},
        {"bounds", [&](const GraphicsMesh& m) { return m.GetBoundingBox() == full.bounds; }},
        {"box", [&](const GraphicsMesh& m) { return m.GetOBBox().halfSize == full.bounds.halfSize; }},
        {"render info",
         [](const GraphicsMesh& m) {
             GraphicsMesh::MeshRenderInfo info;
             m.GetMeshRenderInfo(info);
             return info.vertexCount == 4;
         }},
        {"face sets", [](const GraphicsMesh& m) { return m.GetNumFaceSets() == 2; }},
        {"face set", [](const GraphicsMesh& m) { return m.GetFaceSet(1).firstFace == 1; }},
        {"bones", [](const GraphicsMesh& m) { return m.GetNumBones() == 3; }},
        {"bone", [](const GraphicsMesh& m) { return m.GetBone(1).nameText == "Arm"; }},
        {"bone index", [](const GraphicsMesh& m) { return m.GetBoneIndex(Name::Create("Leg")) == 2; }},
        {"root motion", [&](const GraphicsMesh& m) { return m.GetRootMotionBone() == root; }},
        {"posed bone", [](const GraphicsMesh& m) { return m.GetAbsCoords(SkeletalPose(), 1).origin.z == 1.0f; }},
        {"skin matrices",
         [&](const GraphicsMesh& m) {
             Coords out[3];
             m.GetAbsCoords(moved, out);
             return out[0] != Coords();
         }},
        {"worn skin matrices",
         [&](const GraphicsMesh& m) {
             Coords out[3];
             m.GetAbsCoords(moved, out, nullptr, moved);
             return out[0] != Coords();
         }},
        {"skinned positions",
         [](const GraphicsMesh& m) {
             const Coords matrices[3];
             Vec3 out[4] = {Vec3(9, 9, 9), Vec3(9, 9, 9), Vec3(9, 9, 9), Vec3(9, 9, 9)};
             m.SkinPositions(matrices, out);
             return out[3] == Vec3(1, 1, 0);
         }},
        {"hit boxes", [](const GraphicsMesh& m) { return m.GetNumHitBoxes() == 1; }},
        {"hit box", [](const GraphicsMesh& m) { return m.GetHitBox(0).nameText == "Hand"; }},
        {"materials", [](const GraphicsMesh& m) { return m.GetNumMaterials() == 2; }},
        {"material", [](const GraphicsMesh& m) { return m.GetMaterial(1).shaderName == "Shaders/Glass.ssh"; }},
        {"contours", [](const GraphicsMesh& m) { return m.GetNumContours() == 1; }},
        {"contour", [](const GraphicsMesh& m) { return m.GetContour(0).points.size() == 3; }},
        {"portals", [](const GraphicsMesh& m) { return m.GetNumPortals() == 1; }},
        {"portal", [](const GraphicsMesh& m) { return m.GetPortal(0).points.size() == 4; }},
        {"sections", [](const GraphicsMesh& m) { return m.GetNumSections() == 2; }},
        {"section", [](const GraphicsMesh& m) { return m.GetSection(1) == "Glass"; }},
        {"face set parts",
         [](const GraphicsMesh& m) {
             const GraphicsMesh::FaceSet* set;
             const GraphicsMesh::Material* material;
             const std::string* section;
             if (!m.GetFaceSetParts(0, set, material, section) || *section != "Glass") return false;
             return !m.GetFaceSetParts(2, set, material, section) && !set && !material && !section;
         }},
        {"physics", [](const GraphicsMesh& m) { return m.GetPhysicsMesh() != nullptr; }},
        {"description", [&](const GraphicsMesh& m) { return m.GetDescriptionText() == full.descriptionText; }},
        {"exporter", [](const GraphicsMesh& m) { return m.GetExporterText() == "writer"; }},
        {"description data", [](const GraphicsMesh& m) { return m.GetMIFData().creationEntities.size() == 1; }},
        {"attach point", [](const GraphicsMesh& m) { return m.GetAttachPoint(Name::Create("Hand")) != nullptr; }},
        {"attach points",
         [](const GraphicsMesh& m) {
             mem::vector<Name> names;
             m.GetAllAttachedPoints(names);
             return names.size() == 1;
         }},
        {"creations", [](const GraphicsMesh& m) { return m.GetNumCreationData() == 1; }},
        {"creation",
         [](const GraphicsMesh& m) {
             std::string e, a;
             return m.GetCreationData(0, e, a) && e == "E";
         }},
        {"emitter bones", [](const GraphicsMesh& m) { return m.GetNumSkeletonEmitterBones() == 1; }},
        {"emitter bone", [](const GraphicsMesh& m) { return m.GetSkeletonEmitterBone(0) == "Root"; }},
        {"rigid bodies", [](const GraphicsMesh& m) { return m.GetNumRigidBodyDescriptions() == 1; }},
        {"rigid body", [&](const GraphicsMesh& m) { return m.GetRigidBodyDescription(0).parentName == root; }},
        {"has rigid bodies", [](const GraphicsMesh& m) { return m.HasRigidBodyData(); }},
        {"joints", [](const GraphicsMesh& m) { return m.GetNumJointDescriptions() == 1; }},
        {"joint", [](const GraphicsMesh& m) { return m.GetJointDescription(0).jointType == JointDescription::kHinge; }},
    };
    for (const auto& [what, question] : questions) {
        manager.UnloadUnreferencedResources();
        const GraphicsMesh* mesh = manager.LoadResource("lazy.msh");
        ASSERT_NE(mesh->GetLoadedState(), Resource::LoadedState::Loaded) << what;
        EXPECT_TRUE(question(*mesh)) << what;
        manager.UnloadResource(mesh);
    }
}

// A mesh counts the memory of every part it holds: more of any part counts about its bytes more
// (a description's text and what is read from it).
TEST_F(MeshFileTest, EveryPartCountsInTheMeshesMemory) {
    Contents full = FullContents();
    const mem::vector<uint8_t> collision = full.collisionBuffer;
    full.collisionBuffer.clear();
    const std::string text(1000, 'x');
    const std::string joints = [] {
        std::string list;
        for (int i = 0; i < 20; ++i) list += " JointDescription { jointType = \"hinge\" }";
        return list;
    }();
    const std::pair<size_t, std::function<void(Contents&)>> parts[] = {
        {900, [&](Contents& c) { c.exporterText = text; }},
        {3800,
         [&](Contents& c) { c.descriptionText += " AttachPoint { name = \"" + text + "\" parent = " + text + " }"; }},
        {1900, [&](Contents& c) { c.descriptionText += " CreateEntity { entity = \"" + text + "\" }"; }},
        {1900, [&](Contents& c) { c.descriptionText += " SkeletonEmitterBones { " + text + " }"; }},
        {5700,
         [&](Contents& c) {
             c.descriptionText += " RigidBodyDescription { parentName = " + text + " childName = " + text +
                                  " FusedBone { name = " + text + " } }";
         }},
        {joints.size() + 20 * sizeof(JointDescription), [&](Contents& c) { c.descriptionText += joints; }},
        {900, [&](Contents& c) { c.sections[1] = text; }},
        {900, [&](Contents& c) { c.materials[1].shaderName = text; }},
        {1800, [&](Contents& c) { c.materials[0].parameters[0].nameText = c.materials[0].parameters[0].text = text; }},
        {16, [](Contents& c) { c.bones[1].nameText = std::string(31, 'b'); }},
        {16, [](Contents& c) { c.hitBoxes[0].nameText = std::string(31, 'h'); }},
        {300, [](Contents& c) { c.faceSets[0].bones.resize(100, 1); }},
        {1000, [](Contents& c) { c.blendedIndices.resize(1500, 1); }},
        {100 * sizeof(GraphicsMesh::ContourPoint), [](Contents& c) { c.contours[0].points.resize(103); }},
        {100 * sizeof(GraphicsMesh::PortalPoint), [](Contents& c) { c.portals[0].points.resize(104); }},
        {100 * (40 + sizeof(Vec3)), [](Contents& c) { c.vertexData.resize(c.vertexData.size() + 100 * c.stride); }},
        {50 * (sizeof(GraphicsMesh::Bone) + sizeof(Coords) + sizeof(uint32_t)),
         [](Contents& c) {
             c.bones[2].firstChild = 3;
             c.bones[2].childCount = 50;
             for (int i = 0; i < 50; ++i) c.bones.push_back(c.bones[1]);
         }},
        {sizeof(PhysicsMesh), [&](Contents& c) { c.collisionBuffer = collision; }},
    };
    BinaryWriter base;
    ASSERT_TRUE(MeshFileWriter::Write(base, full));
    const size_t bytes = Load("base.msh", base)->GetSystemMemoryUsage();
    EXPECT_GT(bytes, sizeof(GraphicsMesh));
    EXPECT_LT(bytes, 2 * sizeof(GraphicsMesh));
    for (size_t i = 0; i < std::size(parts); ++i) {
        Contents contents = full;
        parts[i].second(contents);
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, contents)) << i;
        const GraphicsMesh* mesh = Load("part" + std::to_string(i) + ".msh", writer);
        ASSERT_EQ(mesh->GetInitResult(), InitResult::Success) << i;
        EXPECT_GE(mesh->GetSystemMemoryUsage(), bytes + parts[i].first) << i;
    }
}

TEST_F(MeshFileTest, FilesCutAtEveryByteFailInsideAChunk) {
    test::LogCapture log;
    BinaryWriter writer;
    ASSERT_TRUE(MeshFileWriter::Write(writer, FullContents(), 11));
    const uint8_t* bytes = writer.GetBuffer();
    std::set<uint32_t> boundaries;
    for (uint32_t at = 4; at < writer.GetPosition();) {
        boundaries.insert(at);
        uint32_t size;
        std::memcpy(&size, bytes + at + 4, 4);
        at += 8 + size;
    }
    // A cut between chunks may leave a whole file (or one whose face sets miss their materials);
    // the head alone is an empty mesh.
    for (uint32_t cut = 0; cut < writer.GetPosition(); ++cut) {
        const InitResult result = Read(bytes, cut);
        EXPECT_TRUE(cut != 4 || result == InitResult::Success);
        if (boundaries.count(cut) == 0) {
            EXPECT_EQ(result, InitResult::InvalidData) << "cut at " << cut;
        }
    }

    // A legacy file fails when cut anywhere in its block; the text after it may be cut anywhere.
    BinaryWriter legacy;
    Contents contents = test::SkinnedQuad();
    contents.descriptionText = "text";
    ASSERT_TRUE(MeshFileWriter::Write(legacy, contents, 8));
    const uint32_t textStart = legacy.GetPosition() - 4;
    for (uint32_t cut = 0; cut < legacy.GetPosition(); ++cut) {
        EXPECT_EQ(Read(legacy.GetBuffer(), cut), cut >= textStart ? InitResult::Success : InitResult::InvalidData)
            << "cut at " << cut;
    }
}

// Every count of a file is checked against the bytes left before anything is made for it, at its
// record's size: one record more than fits fails the file, naming what was counted; as many as
// fit pass the check. The counts are found by writing a huge one at every offset; a long unknown
// chunk at the end leaves many bytes for every count. A last chunk of bounds just fits.
TEST_F(MeshFileTest, CountsAreCheckedAgainstTheBytesLeftAtTheirRecordSizes) {
    const Contents full = FullContents();
    const std::map<std::string, uint32_t> sizes = {{"vertex attributes", 4},
                                                   {"vertices", full.stride},
                                                   {"faces", 6},
                                                   {"face set bones", 4},
                                                   {"bones", 88},
                                                   {"materials", 8},
                                                   {"material parameters", 8},
                                                   {"hit boxes", 96},
                                                   {"contours", 4},
                                                   {"contour points", 24},
                                                   {"blended faces", 6},
                                                   {"portals", 4},
                                                   {"portal points", 36},
                                                   {"section names", 4}};
    for (const uint32_t version : {10u, 11u}) {
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, full, version));
        const uint32_t end = writer.GetPosition();
        writer.BeginChunk(99);
        for (int i = 0; i < 4096; ++i) writer.Write(0.0f);
        writer.EndChunk();
        const mem::vector<uint8_t> bytes(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
        // The count, what was counted and the bytes left of the refusal, with count at the offset.
        const auto refusal = [&](size_t at, uint32_t count) {
            mem::vector<uint8_t> patched = bytes;
            std::memcpy(patched.data() + at, &count, 4);
            test::LogCapture log;
            const InitResult result = Read(patched.data(), uint32_t(patched.size()));
            // The refusal ends the read.
            std::vector<test::LogCapture::Line> lines = log.Lines();
            std::erase_if(lines,
                          [](const test::LogCapture::Line& line) { return line.priority != LogPriority::Error; });
            const std::string text = lines.empty() ? std::string() : lines.back().text;
            const size_t fit = text.find(" do not fit in the "), counted = text.rfind(" - ", fit) + 3;
            if (fit == std::string::npos) return std::vector<std::string>();
            EXPECT_EQ(result, InitResult::InvalidData) << text;
            const size_t space = text.find(' ', counted), left = fit + std::strlen(" do not fit in the ");
            return std::vector<std::string>{text.substr(counted, space - counted),
                                            text.substr(space + 1, fit - space - 1),
                                            text.substr(left, text.find(' ', left) - left)};
        };
        std::set<std::string> counted;
        for (size_t at = 4; at + 4 <= end; ++at) {
            const std::vector<std::string> huge = refusal(at, 0x0FFFFFFF);
            if (huge.empty() || huge[0] != "268435455") continue;
            const std::string& what = huge[1];
            counted.insert(what);
            const uint32_t size = what == "face sets" ? (version == 11 ? 44 : 16) : sizes.at(what);
            const uint32_t fitting = uint32_t(std::stoul(huge[2])) / size;
            EXPECT_EQ(refusal(at, fitting + 1), (std::vector<std::string>{std::to_string(fitting + 1), what, huge[2]}))
                << what << " " << version;
            const std::vector<std::string> fits = refusal(at, fitting);
            EXPECT_TRUE(fits.empty() || fits[1] != what) << what << " " << version;
        }
        EXPECT_EQ(counted.size(), sizes.size() + 1) << version;
    }

    BinaryWriter writer;
    ASSERT_TRUE(MeshFileWriter::Write(writer, full));
    writer.BeginChunk(MeshFileReader::kChunkBounds);
    for (const float value : {-1.0f, -2.0f, -3.0f, 1.0f, 2.0f, 3.0f}) writer.Write(value);
    writer.EndChunk();
    const GraphicsMesh* mesh = Load("bounds.msh", writer);
    EXPECT_EQ(mesh->GetBoundingBox(), ABBox(Vec3(), Vec3(1.0f, 2.0f, 3.0f)));
}

TEST_F(MeshFileTest, RandomCorruptionFailsCleanly) {
    test::LogCapture log;
    std::mt19937 random(24);
    for (const uint32_t version : {9u, 11u}) {
        Contents contents = version == 11 ? FullContents() : test::SkinnedQuad();
        BinaryWriter writer;
        ASSERT_TRUE(MeshFileWriter::Write(writer, contents, version));
        const mem::vector<uint8_t> original(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
        for (int round = 0; round < 3000; ++round) {
            mem::vector<uint8_t> bytes = original;
            const int changes = 1 + int(random() % 4);
            for (int i = 0; i < changes; ++i) {
                const size_t at = random() % bytes.size();
                bytes[at] = random() % 3 == 0 ? 0xFF : uint8_t(random());
            }
            const InitResult result = Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
            EXPECT_TRUE(result == InitResult::Success || result == InitResult::InvalidData);
        }
    }
}

// A small valid version-11 file with knobs for one hostile field at a time.
struct Hostile {
    uint32_t attribute = 0;
    uint32_t stride = 12;
    uint32_t vertexCount = 3;
    uint16_t lastIndex = 2;
    uint32_t firstFace = 0;
    uint32_t material = 0;
    uint32_t section = 0;
    uint32_t faceSetBone = 0;
    uint32_t rootFirstChild = 1;
    uint32_t rootChildCount = 1;
    uint32_t childFirstChild = 0;
    uint32_t childChildCount = 0;
    uint32_t materialCount = 1;
    uint32_t exporterLength = 2;
    uint32_t collisionVersion = 2;
    uint32_t chunkSizeExtra = 0;
    uint32_t trailingBytes = 0;

    mem::vector<uint8_t> Build() const {
        BinaryWriter w;
        Head(w, 11);
        U32(w, 0);
        U32(w, 4 + 2);
        U32(w, exporterLength);
        w.Write("hi", 2);
        Chunk(w, 4, [&] {
            U32(w, 1);
            U32(w, stride);
            U32(w, vertexCount);
            U32(w, attribute);
            for (int i = 0; i < 9; ++i) w.Write(float(i));
        });
        Chunk(w, 5, [&] {
            U32(w, 1);
            U32(w, 1);
            U16s(w, {0, 1, lastIndex});
            for (const uint32_t word : {material, firstFace, 1u, section}) U32(w, word);
            F32s(w, {0, 0, 0, 1, 1, 1});
            U32(w, 1);
            U32(w, faceSetBone);
        });
        Chunk(w, 6, [&] {
            U32(w, 2);
            Fixed(w, "Root");
            U32(w, rootFirstChild);
            U32(w, rootChildCount);
            F32s(w, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
            Fixed(w, "Child");
            U32(w, childFirstChild);
            U32(w, childChildCount);
            F32s(w, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
        });
        Chunk(w, 7, [&] {
            U32(w, materialCount);
            Str(w, "Shaders/A.ssh");
            U32(w, 0);
        });
        Chunk(w, 2, [&] {
            U32(w, collisionVersion);
            for (int i = 0; i < 3; ++i) U32(w, 0);
        });
        U32(w, 20);
        U32(w, 4 + chunkSizeExtra);
        U32(w, 0);
        for (uint32_t i = 0; i < trailingBytes; ++i) w.Write(static_cast<unsigned char>(0));
        return mem::vector<uint8_t>(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
    }
};

TEST_F(MeshFileTest, HostileFieldsFailWithALoggedError) {
    {
        const mem::vector<uint8_t> good = Hostile().Build();
        EXPECT_EQ(Read(good.data(), uint32_t(good.size())), InitResult::Success);
    }
    const std::pair<const char*, std::function<void(Hostile&)>> cases[] = {
        {"unknown vertex attribute 15", [](Hostile& h) { h.attribute = 15; }},
        {"vertex attributes of 12 bytes do not fit a stride of 8", [](Hostile& h) { h.stride = 8; }},
        {"268435456 vertices do not fit in the 363 bytes left", [](Hostile& h) { h.vertexCount = 0x10000000; }},
        {"index 3 past the 3 vertices", [](Hostile& h) { h.lastIndex = 3; }},
        {"face set 0 runs past the 1 faces", [](Hostile& h) { h.firstFace = 1; }},
        {"face set 0 uses material 1 of 1", [](Hostile& h) { h.material = 1; }},
        {"face set 0 uses section 1 of 1", [](Hostile& h) { h.section = 1; }},
        {"face set 0 uses bone 2 of 2", [](Hostile& h) { h.faceSetBone = 2; }},
        {"bone 'Root' lists children outside the bones", [](Hostile& h) { h.rootChildCount = 2; }},
        {"bone 'Root' lists children outside the bones", [](Hostile& h) { h.rootFirstChild = 0xFFFFFFFF; }},
        {"'Child' has two parents", [](Hostile& h) { h.childFirstChild = h.childChildCount = h.rootChildCount = 1; }},
        {"the bones form a cycle", [](Hostile& h) { h.rootFirstChild = 0; }},
        {"2147483647 materials do not fit in the 57 bytes left", [](Hostile& h) { h.materialCount = 0x7FFFFFFF; }},
        {"chunk 13 of 1684105299 bytes runs past the end", [](Hostile& h) { h.materialCount = 0; }},
        {"bad exporter text string", [](Hostile& h) { h.exporterLength = 0x100001; }},
        {"the collision buffer is refused", [](Hostile& h) { h.collisionVersion = 3; }},
        {"chunk 20 of 5 bytes runs past the end", [](Hostile& h) { h.chunkSizeExtra = 1; }},
        {"7 bytes after the last chunk", [](Hostile& h) { h.trailingBytes = 7; }},
    };
    for (const auto& [what, change] : cases) {
        Hostile hostile;
        change(hostile);
        const mem::vector<uint8_t> bytes = hostile.Build();
        test::LogCapture log;
        EXPECT_EQ(Read(bytes.data(), uint32_t(bytes.size())), InitResult::InvalidData) << what;
        EXPECT_TRUE(log.Contains(LogPriority::Error, what)) << what;
    }
}

TEST_F(MeshFileTest, BadHeadsAndLegacyLimitsAreRefused) {
    test::LogCapture log;
    for (const char* head : {"MSX\x0b", "MSH\x07", "MSH\x0c", "MS"}) {
        EXPECT_EQ(Read(head, uint32_t(std::strlen(head))), InitResult::InvalidData) << head;
    }
    // Legacy heads: 257 bones, 31 attributes, no vertices, no face sets; every count at its lowest
    // and at its highest is in range (the blocks then fail for their data).
    const uint32_t heads[][10] = {
        {4, 2, 1, 6, 257, 0, 1, 1, 12, 1}, {4, 2, 1, 6, 0, 0, 1, 31, 400, 1},
        {0, 2, 1, 6, 0, 0, 1, 1, 12, 1},   {4, 2, 0, 6, 0, 0, 1, 1, 12, 1},
        {1, 1, 1, 0, 0, 0, 0, 1, 12, 0},   {65536, 65536, 1000, 196608, 256, 256, 1000, 30, 400, 0},
    };
    for (const auto& head : heads) {
        BinaryWriter w;
        Head(w, 8);
        for (int i = 0; i < 9; ++i) U32(w, head[i]);
        for (int i = 0; i < 400; ++i) U32(w, 0);
        log.Clear();
        EXPECT_EQ(Read(w.GetBuffer(), w.GetPosition()), InitResult::InvalidData) << head[4] << " " << head[7];
        EXPECT_EQ(log.Contains(LogPriority::Error, "legacy block counts out of range"), head[9] == 1) << head[0];
    }
    // A legacy head cut short is refused before it is read.
    log.Clear();
    const char cut[12] = "MSH\x08";
    EXPECT_EQ(Read(cut, sizeof(cut)), InitResult::InvalidData);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "legacy block heads do not fit"));
}

}  // namespace
}  // namespace GAME
