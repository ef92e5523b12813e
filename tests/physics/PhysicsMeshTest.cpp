// Physics meshes: the collision buffer, its writer, the tree queries against brute force, and
// corrupt buffers.

#include "physics/PhysicsMesh.h"

#include "core/IntersectionTests.h"
#include "core/MathUtil.h"
#include "core/Singleton.h"
#include "files/BinaryWriter.h"
#include "physics/CollisionContact.h"
#include "physics/CollisionTests.h"
#include "physics/PhysicsMeshWriter.h"
#include "render/DebugRenderManager.h"
#include "support/LogCapture.h"
#include "world/Region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace GAME {
namespace {

using Face = PhysicsMesh::Face;
using Bytes = std::vector<unsigned char>;

// A node record as stored, with any values a hostile file may hold.
struct RawNode {
    Vec3 centre;
    Vec3 halfSize{100, 100, 100};
    uint32_t firstFace = 0;
    uint32_t faceCount = 0;
    int32_t child0 = -1;
    int32_t child1 = -1;
};

struct MeshData {
    std::vector<Face> faces;
    std::vector<Vec3> vertices;
};

Face MakeFace(uint32_t a, uint32_t b, uint32_t c, PhysicsSurface surface = PhysicsSurface::Stone) {
    Face face;
    face.vertices[0] = a;
    face.vertices[1] = b;
    face.vertices[2] = c;
    face.surface = surface;
    return face;
}

// A buffer written field by field: version 1 when nodes is null, otherwise version 2, unless a
// version is given.
Bytes RawBuffer(const MeshData& mesh, const std::vector<RawNode>* nodes, std::optional<uint32_t> version = {}) {
    BinaryWriter w;
    w.Write(unsigned(version.value_or(nodes ? 2u : 1u)));
    w.Write(unsigned(mesh.faces.size()));
    w.Write(unsigned(mesh.vertices.size()));
    if (nodes) w.Write(unsigned(nodes->size()));
    for (const Face& f : mesh.faces) {
        for (const uint32_t v : f.vertices) w.Write(unsigned(v));
        w.Write(int(f.surface));
    }
    for (const Vec3& v : mesh.vertices) w.Write(v);
    if (nodes) {
        for (const RawNode& n : *nodes) {
            w.Write(n.centre);
            w.Write(n.halfSize);
            w.Write(unsigned(n.firstFace));
            w.Write(unsigned(n.faceCount));
            w.Write(int(n.child0));
            w.Write(int(n.child1));
        }
    }
    return Bytes(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
}

Bytes WrittenBuffer(const MeshData& mesh) {
    BinaryWriter w;
    EXPECT_TRUE(PhysicsMeshWriter::Write(w, mesh.faces, mesh.vertices));
    return Bytes(w.GetBuffer(), w.GetBuffer() + w.GetPosition());
}

bool Load(PhysicsMesh& mesh, const Bytes& bytes) { return mesh.Initialize(bytes.data(), int(bytes.size())); }

// Two triangles over the unit square at y = 0 facing +y, the second one of grass.
MeshData Quad() {
    MeshData mesh;
    mesh.vertices = {Vec3(0, 0, 0), Vec3(0, 0, 1), Vec3(1, 0, 1), Vec3(1, 0, 0)};
    mesh.faces = {MakeFace(0, 1, 2), MakeFace(0, 2, 3, PhysicsSurface::Grass)};
    return mesh;
}

// A soup of small triangles in a 20-unit cube, with random surfaces.
MeshData RandomMesh(unsigned seed, int faceCount) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    MeshData mesh;
    for (int i = 0; i < faceCount; ++i) {
        const Vec3 centre(10 * unit(random), 10 * unit(random), 10 * unit(random));
        const uint32_t first = uint32_t(mesh.vertices.size());
        for (int corner = 0; corner < 3; ++corner) {
            mesh.vertices.push_back(centre + Vec3(unit(random), unit(random), unit(random)) * 1.5f);
        }
        mesh.faces.push_back(MakeFace(first, first + 1, first + 2, PhysicsSurface(random() % 8)));
    }
    return mesh;
}

// The nearest hit over every face, in face order, as the tree query should find it.
Intersection BruteForceRay(const PhysicsMesh& mesh, const Ray& ray, PhysicsSurface excluded) {
    Intersection best;
    for (int i = 0; i < mesh.GetNumFaces(); ++i) {
        const Face& f = mesh.GetFace(i);
        if (excluded != PhysicsSurface::None && f.surface == excluded) continue;
        const float t = IntersectRayTriangle(ray, mesh.GetVertex(int(f.vertices[0])), mesh.GetVertex(int(f.vertices[1])),
                                             mesh.GetVertex(int(f.vertices[2])));
        if (t < best.distance) {
            best.distance = t;
            best.point = ray.GetPoint(t);
            best.surface = f.surface;
        }
    }
    return best;
}

// Every face's contacts in face order.
std::vector<CollisionContact> BruteForceBox(const PhysicsMesh& mesh, const OBBox& box, PhysicsSurface excluded) {
    std::vector<CollisionContact> all;
    for (int i = 0; i < mesh.GetNumFaces(); ++i) {
        const Face& f = mesh.GetFace(i);
        if (excluded != PhysicsSurface::None && f.surface == excluded) continue;
        const Vec3 triangle[3] = {mesh.GetVertex(int(f.vertices[0])), mesh.GetVertex(int(f.vertices[1])),
                                  mesh.GetVertex(int(f.vertices[2]))};
        CollisionContact found[16];
        const int count = CollideTriangleOBBox(triangle, box, found, 16);
        all.insert(all.end(), found, found + count);
    }
    return all;
}

void ExpectSameContacts(const CollisionContact* actual, const std::vector<CollisionContact>& expected, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(actual[i].position, expected[i].position) << "contact " << i;
        EXPECT_EQ(actual[i].normal, expected[i].normal) << "contact " << i;
        EXPECT_EQ(actual[i].depth, expected[i].depth) << "contact " << i;
        EXPECT_EQ(actual[i].surface, PhysicsSurface::None);
        EXPECT_EQ(actual[i].entity, nullptr);
    }
}

TEST(PhysicsMesh, VersionOneGetsOneRootLeaf) {
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, RawBuffer(Quad(), nullptr)));
    ASSERT_TRUE(mesh.GetNumFaces() == 2 && mesh.GetNumVertices() == 4);
    EXPECT_EQ(mesh.GetVertex(2), Vec3(1, 0, 1));
    EXPECT_TRUE(mesh.GetFace(1).vertices[2] == 3u && mesh.GetFace(1).surface == PhysicsSurface::Grass);
    EXPECT_EQ(mesh.GetBoundingBox(), ABBox(Vec3(0.5f, 0, 0.5f), Vec3(0.5f, 0, 0.5f)));
    ASSERT_EQ(mesh.GetNumNodes(), 1);
    const PhysicsMesh::Node& root = mesh.GetNode(0);
    EXPECT_EQ(root.box, mesh.GetBoundingBox());
    EXPECT_TRUE(root.firstFace == 0 && root.faceCount == 2 && root.child0 == -1 && root.child1 == -1);
    EXPECT_GE(mesh.GetAllocatedSize(), 2u * 16 + 4u * 12 + 40);

    Intersection hit;
    mesh.GetIntersection(Ray(Vec3(0.8f, 5, 0.3f), Vec3(0, -2, 0)), hit, PhysicsSurface::None);
    EXPECT_TRUE(std::fabs(hit.distance - 2.5f) < 1e-6f && hit.point == Vec3(0.8f, 0, 0.3f) &&
                hit.surface == PhysicsSurface::Grass);
}

TEST(PhysicsMesh, VersionTwoWithoutNodesFindsNothing) {
    PhysicsMesh mesh;
    const std::vector<RawNode> none;
    ASSERT_TRUE(Load(mesh, RawBuffer(Quad(), &none)));
    EXPECT_TRUE(mesh.GetNumFaces() == 2 && mesh.GetNumNodes() == 0);
    Intersection hit;
    hit.distance = 1;
    hit.surface = PhysicsSurface::Wood;
    mesh.GetIntersection(Ray(Vec3(0.5f, 5, 0.5f), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
    EXPECT_TRUE(hit.distance == Infinity && hit.surface == PhysicsSurface::None);
    CollisionContact contacts[4];
    EXPECT_EQ(mesh.FindCollisions(OBBox(Vec3(1, 1, 1), Coords::Translation(Vec3(0.5f, 0.5f, 0.5f))), contacts, 4,
                                  PhysicsSurface::None),
              0);
}

TEST(PhysicsMesh, MissesExclusionsAndContactLimits) {
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, WrittenBuffer(Quad())));

    // A ray that misses every box resets the result.
    Intersection hit;
    hit.distance = 3;
    hit.surface = PhysicsSurface::Sand;
    mesh.GetIntersection(Ray(Vec3(5, 5, 5), Vec3(0, 1, 0)), hit, PhysicsSurface::None);
    EXPECT_TRUE(hit.distance == Infinity && hit.surface == PhysicsSurface::None);

    // The excluded surface is passed through.
    const Ray down(Vec3(0.8f, 1, 0.3f), Vec3(0, -1, 0));
    mesh.GetIntersection(down, hit, PhysicsSurface::Grass);
    EXPECT_EQ(hit.distance, Infinity);
    mesh.GetIntersection(down, hit, PhysicsSurface::Stone);
    EXPECT_EQ(hit.surface, PhysicsSurface::Grass);

    // A box over the whole quad touches both faces; max 1 writes one contact.
    const OBBox box(Vec3(2, 0.5f, 2), Coords::Translation(Vec3(0.5f, 0.4f, 0.5f)));
    CollisionContact contacts[16];
    for (CollisionContact& c : contacts) c.entity = reinterpret_cast<Entity*>(&mesh);  // must be cleared
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 16, PhysicsSurface::None), 6) << "each face's three corners";
    EXPECT_TRUE(!contacts[0].entity && !contacts[5].entity && contacts[6].entity == reinterpret_cast<Entity*>(&mesh));
    // The mesh placed by a frame meets the box carried with it at the frame's image of each contact.
    Coords placed = Coords::RotationX(1.0f);
    placed.origin = Vec3(10, 0, 0);
    OBBox carried = box;
    carried.Transform(placed);
    CollisionContact moved[16];
    ASSERT_EQ(mesh.FindCollisions(placed, carried, moved, 16, PhysicsSurface::None), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_LT((moved[i].position - placed.TransformPoint(contacts[i].position)).Length() +
                      (moved[i].normal - placed.TransformVector(contacts[i].normal)).Length(),
                  1e-4f);
    contacts[1].depth = -7;
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 1, PhysicsSurface::None), 1);
    EXPECT_EQ(contacts[1].depth, -7);
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 0, PhysicsSurface::None), 0);
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 16, PhysicsSurface::Grass), 3);
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 16, PhysicsSurface::Stone), 3);
}

TEST(PhysicsMesh, NoSurfaceExcludesNothing) {
    MeshData quad = Quad();
    quad.faces[0].surface = PhysicsSurface::None;
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, RawBuffer(quad, nullptr)));
    Intersection hit;
    mesh.GetIntersection(Ray(Vec3(0.2f, 1, 0.7f), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
    EXPECT_FLOAT_EQ(hit.distance, 1.0f);
    CollisionContact contacts[16];
    const OBBox box(Vec3(2, 0.5f, 2), Coords::Translation(Vec3(0.5f, 0.4f, 0.5f)));
    EXPECT_EQ(mesh.FindCollisions(box, contacts, 16, PhysicsSurface::None), 6);
}

TEST(PhysicsMeshWriter, BuildsATreeOverEveryFace) {
    MeshData data = RandomMesh(3, 500);
    std::vector<Face> faces = data.faces;
    std::vector<PhysicsMesh::Node> nodes;
    ASSERT_TRUE(PhysicsMeshWriter::BuildTree(faces, data.vertices, nodes));
    ASSERT_GT(nodes.size(), 50u);
    std::vector<int> owners(faces.size(), 0);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const PhysicsMesh::Node& node = nodes[i];
        if (node.faceCount > 0) {
            EXPECT_LT(node.faceCount, 10) << "these faces are spread out, so every long run splits";
            EXPECT_EQ(node.child0, -1);
            EXPECT_EQ(node.child1, -1);
            for (int f = node.firstFace; f < node.firstFace + node.faceCount; ++f) owners[size_t(f)] += 1;
        } else {
            EXPECT_GT(node.child0, int(i)) << "children follow their parent";
            EXPECT_GT(node.child1, node.child0);
        }
        // A leaf's box is the bounds of its faces.
        Vec3 low(Infinity, Infinity, Infinity), high(-Infinity, -Infinity, -Infinity);
        for (int f = node.firstFace; f < node.firstFace + node.faceCount; ++f) {
            for (const uint32_t v : faces[size_t(f)].vertices) {
                low = Min(low, data.vertices[v]);
                high = Max(high, data.vertices[v]);
            }
        }
        if (node.faceCount > 0) {
            EXPECT_EQ(node.box, ABBox((low + high) * 0.5f, (high - low) * 0.5f)) << i;
        }
    }
    for (const int owned : owners) EXPECT_EQ(owned, 1) << "each face in exactly one leaf";
    EXPECT_EQ(nodes[0].box.halfSize.x > 10, true) << "the root covers everything";
    // A soup stretched along y (then z) and flattened along the other axes is split across it first.
    for (const Vec3& stretch : {Vec3(0.5f, 5.0f, 0.2f), Vec3(0.2f, 0.5f, 5.0f)}) {
        MeshData soup = RandomMesh(3, 100);
        for (Vec3& v : soup.vertices) v = Vec3(v.x * stretch.x, v.y * stretch.y, v.z * stretch.z);
        ASSERT_TRUE(PhysicsMeshWriter::BuildTree(soup.faces, soup.vertices, nodes));
        for (int child : {nodes[0].child0, nodes[0].child1})
            EXPECT_LT(Dot(nodes[size_t(child)].box.halfSize, stretch), 0.8f * Dot(nodes[0].box.halfSize, stretch));
    }

    // The faces are the same ones, reordered.
    auto key = [](const Face& f) { return std::vector<uint32_t>{f.vertices[0], f.vertices[1], f.vertices[2], uint32_t(f.surface)}; };
    std::vector<std::vector<uint32_t>> before, after;
    for (const Face& f : data.faces) before.push_back(key(f));
    for (const Face& f : faces) after.push_back(key(f));
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);
}

TEST(PhysicsMeshWriter, ShortOrUnsplittableRunsStayLeaves) {
    std::vector<PhysicsMesh::Node> nodes;
    MeshData same = Quad();  // twenty copies of one triangle: every centroid is the mean on every axis
    same.faces.assign(20, MakeFace(0, 1, 2));
    for (MeshData runs : {RandomMesh(4, 9), same}) {
        ASSERT_TRUE(PhysicsMeshWriter::BuildTree(runs.faces, runs.vertices, nodes));
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(nodes[0].faceCount, int(runs.faces.size()));
    }

    MeshData empty;
    ASSERT_TRUE(PhysicsMeshWriter::BuildTree(empty.faces, empty.vertices, nodes));
    EXPECT_TRUE(nodes.empty());
}

TEST(PhysicsMeshWriter, RefusesWhatTheReaderWouldRefuse) {
    test::LogCapture log;
    MeshData bad = Quad();
    bad.faces[1].vertices[1] = 4;
    BinaryWriter w;
    EXPECT_FALSE(PhysicsMeshWriter::Write(w, bad.faces, bad.vertices));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "face 1 uses vertex 4 of 4"));
    EXPECT_EQ(w.GetPosition(), 0u);

    MeshData infinite = Quad();
    infinite.vertices[0].y = Infinity;
    EXPECT_FALSE(PhysicsMeshWriter::Write(w, infinite.faces, infinite.vertices));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "vertex 0 is not a finite point"));
}

TEST(PhysicsMesh, WriterRoundTrip) {
    const MeshData data = RandomMesh(5, 300);
    const Bytes bytes = WrittenBuffer(data);
    PhysicsMesh mesh;
    test::LogCapture log;
    ASSERT_TRUE(Load(mesh, bytes));
    EXPECT_EQ(log.Count(LogPriority::Error), 0u);
    EXPECT_EQ(mesh.GetNumFaces(), 300);
    EXPECT_EQ(mesh.GetNumVertices(), 900);
    EXPECT_EQ(bytes.size(), 16u + 300 * 16 + 900 * 12 + size_t(mesh.GetNumNodes()) * 40);
    for (int i = 0; i < mesh.GetNumVertices(); ++i) EXPECT_EQ(mesh.GetVertex(i), data.vertices[size_t(i)]);

    std::vector<Face> faces = data.faces;
    std::vector<PhysicsMesh::Node> nodes;
    PhysicsMeshWriter::BuildTree(faces, data.vertices, nodes);
    ASSERT_EQ(mesh.GetNumNodes(), int(nodes.size()));
    for (int i = 0; i < mesh.GetNumNodes(); ++i) {
        EXPECT_EQ(mesh.GetNode(i).box, nodes[size_t(i)].box);
        EXPECT_EQ(mesh.GetNode(i).child0, nodes[size_t(i)].child0);
        EXPECT_EQ(mesh.GetNode(i).child1, nodes[size_t(i)].child1);
        EXPECT_EQ(mesh.GetNode(i).firstFace, nodes[size_t(i)].firstFace);
        EXPECT_EQ(mesh.GetNode(i).faceCount, nodes[size_t(i)].faceCount);
    }
    for (int i = 0; i < mesh.GetNumFaces(); ++i) EXPECT_EQ(mesh.GetFace(i).surface, faces[size_t(i)].surface);

    // Copies are independent; loading again replaces everything.
    PhysicsMesh copy = mesh;
    ASSERT_TRUE(Load(mesh, RawBuffer(Quad(), nullptr)));
    EXPECT_EQ(mesh.GetNumFaces(), 2);
    EXPECT_EQ(copy.GetNumFaces(), 300);
    EXPECT_EQ(copy.GetNumNodes(), int(nodes.size()));
}

TEST(PhysicsMesh, DebugDrawingQueuesABoxForEveryNode) {
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, WrittenBuffer(RandomMesh(6, 120))));
    ASSERT_GT(mesh.GetNumNodes(), 1);
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    const size_t before = debug.GetNumQueued();
    Region region(nullptr, 0, "Mesh", ABBox(Vec3(), Vec3(100, 100, 100)), IntVec3(), RegionId(1, 0, 0, 0));
    mesh.DebugRender(&region, Coords::RotationY(0.3f));
    EXPECT_EQ(debug.GetNumQueued() - before, size_t(mesh.GetNumNodes()));
    Singleton<DebugRenderManager>::Destroy();
}

TEST(PhysicsMesh, RayQueriesMatchBruteForce) {
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, WrittenBuffer(RandomMesh(8, 2000))));
    std::mt19937 random(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int hits = 0;
    for (int i = 0; i < 600; ++i) {
        // Origins outside and inside the mesh (and so inside node boxes); half the rays aim at a vertex.
        const Vec3 origin = Vec3(unit(random), unit(random), unit(random)) * (i % 3 == 0 ? 25.0f : 9.0f);
        const Vec3 target = i % 2 ? mesh.GetVertex(int(random() % unsigned(mesh.GetNumVertices())))
                                  : Vec3(unit(random), unit(random), unit(random)) * 12.0f;
        const Ray ray(origin, (target - origin) * (0.5f + unit(random) * 0.4f));
        const PhysicsSurface excluded = i % 4 == 0 ? PhysicsSurface(random() % 8) : PhysicsSurface::None;
        Intersection fromTree;
        mesh.GetIntersection(ray, fromTree, excluded);
        const Intersection expected = BruteForceRay(mesh, ray, excluded);
        EXPECT_EQ(fromTree.distance, expected.distance) << "ray " << i;
        if (expected.distance < Infinity) {
            ++hits;
            EXPECT_EQ(fromTree.point, expected.point) << "ray " << i;
            EXPECT_EQ(fromTree.surface, expected.surface) << "ray " << i;
            EXPECT_NE(fromTree.surface, excluded) << "ray " << i;
        } else {
            EXPECT_EQ(fromTree.surface, PhysicsSurface::None);
        }
    }
    EXPECT_GT(hits, 300);
}

TEST(PhysicsMesh, BoxQueriesMatchBruteForce) {
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, WrittenBuffer(RandomMesh(10, 2000))));
    std::mt19937 random(12);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int touching = 0;
    for (int i = 0; i < 300; ++i) {
        Coords frame = Coords::Rotation(Vec3(unit(random), unit(random), unit(random)).Unit(), 3 * unit(random));
        frame.origin = Vec3(unit(random), unit(random), unit(random)) * 11.0f;
        const OBBox box(Vec3(1.2f, 1.2f, 1.2f) + Vec3(unit(random), unit(random), unit(random)), frame);
        const PhysicsSurface excluded = i % 3 == 0 ? PhysicsSurface(random() % 8) : PhysicsSurface::None;
        const std::vector<CollisionContact> expected = BruteForceBox(mesh, box, excluded);
        std::vector<CollisionContact> contacts(expected.size() + 8);
        const int count = mesh.FindCollisions(box, contacts.data(), int(contacts.size()), excluded);
        ASSERT_EQ(size_t(count), expected.size()) << "box " << i;
        ExpectSameContacts(contacts.data(), expected, expected.size());
        touching += count > 0;
        // A smaller array gets the first contacts and no more.
        if (expected.size() > 3) {
            const int room = int(expected.size()) - 2;
            EXPECT_EQ(mesh.FindCollisions(box, contacts.data(), room, excluded), room) << "box " << i;
            ExpectSameContacts(contacts.data(), expected, size_t(room));
        }
    }
    EXPECT_GT(touching, 100);
}

// Corrupt buffers: each is refused with a logged error and leaves the mesh empty.
class CorruptPhysicsMesh : public ::testing::Test {
protected:
    void ExpectRefused(const Bytes& bytes, const char* message) {
        PhysicsMesh mesh;
        ASSERT_TRUE(Load(mesh, RawBuffer(Quad(), nullptr)));
        test::LogCapture log;
        EXPECT_FALSE(Load(mesh, bytes)) << message;
        EXPECT_TRUE(log.Contains(LogPriority::Error, message)) << message;
        EXPECT_EQ(mesh.GetNumFaces(), 0);
        EXPECT_EQ(mesh.GetNumVertices(), 0);
        EXPECT_EQ(mesh.GetNumNodes(), 0);
        Intersection hit;
        mesh.GetIntersection(Ray(Vec3(0.5f, 5, 0.5f), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
        EXPECT_EQ(hit.distance, Infinity);
    }

    // The quad with a root over both leaves, each leaf one face.
    static std::vector<RawNode> ThreeNodes() {
        std::vector<RawNode> nodes(3);
        nodes[0].child0 = 1;
        nodes[0].child1 = 2;
        nodes[1].faceCount = 1;
        nodes[2].firstFace = 1;
        nodes[2].faceCount = 1;
        return nodes;
    }
};

TEST_F(CorruptPhysicsMesh, ShortHeadersAndBadVersions) {
    const Bytes good = RawBuffer(Quad(), nullptr);
    for (size_t size = 0; size < 12; ++size) {
        ExpectRefused(Bytes(good.begin(), good.begin() + long(size)), size < 4 ? "version is missing" : "header is truncated");
    }
    const std::vector<RawNode> nodes = ThreeNodes();
    const Bytes v2 = RawBuffer(Quad(), &nodes);
    ExpectRefused(Bytes(v2.begin(), v2.begin() + 15), "header is truncated");
    ExpectRefused(RawBuffer(Quad(), nullptr, 3), "version is not 1 or 2");
    ExpectRefused(RawBuffer(Quad(), nullptr, 0), "version is not 1 or 2");
    PhysicsMesh mesh;
    test::LogCapture log;
    EXPECT_TRUE(!mesh.Initialize(nullptr, 1) && log.Contains(LogPriority::Error, "no buffer"));
    EXPECT_FALSE(mesh.Initialize(good.data(), -1));
}

TEST_F(CorruptPhysicsMesh, BuffersEndingEarly) {
    const Bytes v1 = RawBuffer(Quad(), nullptr);
    ExpectRefused(Bytes(v1.begin(), v1.end() - 1), "do not fit");
    const std::vector<RawNode> nodes = ThreeNodes();
    const Bytes v2 = RawBuffer(Quad(), &nodes);
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, v2));
    ExpectRefused(Bytes(v2.begin(), v2.end() - 1), "do not fit");                 // one byte short of the nodes
    ExpectRefused(Bytes(v2.begin(), v2.end() - 3 * 40 - 1), "do not fit");        // one byte short of the vertices
    // Counts whose byte sizes wrap around 32 bits.
    Bytes wrapped = RawBuffer(Quad(), nullptr);
    const uint32_t faceCount = 0x10000000u + 2;  // x 16 wraps to 32
    std::memcpy(wrapped.data() + 4, &faceCount, 4);
    ExpectRefused(wrapped, "do not fit");
    const std::vector<RawNode> none;
    Bytes manyNodes = RawBuffer(Quad(), &none);
    const uint32_t nodeCount = 0xFFFFFFFFu;
    std::memcpy(manyNodes.data() + 12, &nodeCount, 4);
    ExpectRefused(manyNodes, "do not fit");
}

TEST_F(CorruptPhysicsMesh, IndicesPastTheirArrays) {
    MeshData badFace = Quad();
    badFace.faces[1].vertices[2] = 0xFFFFFFFFu;
    ExpectRefused(RawBuffer(badFace, nullptr), "face 1 uses vertex 4294967295 of 4");
    badFace.faces[0].vertices[2] = 4;  // the first bad face is reported
    ExpectRefused(RawBuffer(badFace, nullptr), "face 0 uses vertex 4 of 4");

    std::vector<RawNode> nodes = ThreeNodes();
    nodes[2].faceCount = 2;  // faces 1 and 2 of 2
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 2 owns 2 faces from face 1 of 2");
    nodes = ThreeNodes();
    nodes[2].firstFace = 0xFFFFFFFFu;
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 2 owns 1 faces from face 4294967295");
    nodes = ThreeNodes();
    nodes[0].child1 = 3;
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 0 has child 3 of 3 nodes");
    nodes[0].child1 = -2;
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 0 has child -2 of 3 nodes");
}

TEST_F(CorruptPhysicsMesh, CyclesAndSharedSubtrees) {
    std::vector<RawNode> nodes = ThreeNodes();
    nodes[2].faceCount = 0;
    nodes[2].child0 = 0;  // back to the root
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 0 is reached twice");
    nodes[2].child0 = 2;  // itself
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 2 is reached twice");
    nodes = ThreeNodes();
    nodes[0].child1 = 1;  // both children the same
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 1 is reached twice");

    // A leaf's children are never followed, and a child may come before its parent.
    nodes = ThreeNodes();
    nodes[1].child0 = 0;
    nodes[0].child0 = 2;
    nodes[0].child1 = -1;
    nodes[2].faceCount = 0;
    nodes[2].child1 = 1;
    PhysicsMesh mesh;
    EXPECT_TRUE(Load(mesh, RawBuffer(Quad(), &nodes)));
}

TEST_F(CorruptPhysicsMesh, TreesTooDeepAndValuesNotFinite) {
    // A chain of inner nodes ending in a leaf: kMaxTreeDepth levels are accepted, one more is not.
    auto chain = [](int levels) {
        std::vector<RawNode> links(static_cast<size_t>(levels));
        for (int i = 0; i + 1 < levels; ++i) links[size_t(i)].child0 = i + 1;
        links.back().faceCount = 1;
        return links;
    };
    std::vector<RawNode> nodes = chain(PhysicsMesh::kMaxTreeDepth);
    PhysicsMesh mesh;
    ASSERT_TRUE(Load(mesh, RawBuffer(Quad(), &nodes)));
    Intersection hit;
    mesh.GetIntersection(Ray(Vec3(0.2f, 5, 0.7f), Vec3(0, -1, 0)), hit, PhysicsSurface::None);
    EXPECT_FLOAT_EQ(hit.distance, 5.0f);  // the first face, a leaf's only one
    CollisionContact contacts[4];         // and its three corners, each link's missing child passed over
    EXPECT_EQ(mesh.FindCollisions(OBBox(Vec3(1, 1, 1), Coords()), contacts, 4, PhysicsSurface::None), 3);
    nodes = chain(PhysicsMesh::kMaxTreeDepth + 1);
    ExpectRefused(RawBuffer(Quad(), &nodes), "deeper than 256 levels");

    MeshData notANumber = Quad();
    notANumber.vertices[0].x = std::nanf("");
    ExpectRefused(RawBuffer(notANumber, nullptr), "vertex 0 is not a finite point");
    nodes = ThreeNodes();
    nodes[1].halfSize.z = Infinity;
    ExpectRefused(RawBuffer(Quad(), &nodes), "node 1 has a box that is not finite");
}

}  // namespace
}  // namespace GAME
