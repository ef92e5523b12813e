// Terrain plugs: the ground a plug adds where the terrain is cut open, as rays and boxes meet it,
// and the open edges the plug builder stitches new plugs to.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Coords.h"
#include "core/Intersection.h"
#include "core/OBBox.h"
#include "core/Ray.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "render/DirtyRect.h"
#include "terrain/Terrain.h"
#include "terrain/TerrainPlug.h"

namespace GAME::test {
namespace {

const Vec3 kUp(0, 1, 0);

TerrainPlug::Vertex At(float x, float y, float z) { return {{x, z, y}, {0, 1, 0}}; }

// Two triangles, counter-clockwise in (x, z), covering the square [x0, x1] x [z0, z1] at height y.
void AddSquare(TerrainPlug& plug, float x0, float z0, float x1, float z1, float y) {
    plug.AddTriangle({At(x0, y, z0), At(x1, y, z0), At(x1, y, z1)});
    plug.AddTriangle({At(x0, y, z0), At(x1, y, z1), At(x0, y, z1)});
}

// Hides the samples of the square [from, to] x [from, to].
void Hide(Terrain& terrain, int from, int to) {
    for (int z = from; z <= to; ++z) {
        for (int x = from; x <= to; ++x) terrain.SetInvisible(x, z, true);
    }
}

float Distance(const TerrainBase& terrain, const Ray& ray) {
    Intersection hit;
    terrain.GetIntersection(ray, hit, PhysicsSurface::None);
    return hit.distance;
}

// A flat 16 x 16-cell ground at height 0 with the samples of [4, 8] x [4, 8] hidden, and a plug
// closing the hole 2 units down.
class TerrainPlugTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terrain.New(16, 16));
        Hide(terrain, 4, 8);
    }

    TerrainPlug* AddPlug() {
        auto* plug = new TerrainPlug;  // the terrain deletes its plugs
        plug->SetTerrain(&terrain);
        AddSquare(*plug, 3, 3, 10, 10, -2);
        plug->FindBoundaryEdges();
        plug->UpdateBounds();
        terrain.AddObjectToSpace(plug);
        plug->RefreshLayers();
        return plug;
    }

    Terrain terrain{nullptr};
};

TEST_F(TerrainPlugTest, RaysPassThroughTheHoleAndMeetThePlugFromAbove) {
    const Ray intoHole(Vec3(6.5f, 10, 6.5f), -kUp);
    EXPECT_EQ(Distance(terrain, intoHole), Infinity);
    EXPECT_FLOAT_EQ(Distance(terrain, Ray(Vec3(12.5f, 10, 12.5f), -kUp)), 10.0f);

    AddPlug();
    EXPECT_FLOAT_EQ(Distance(terrain, intoHole), 12.0f);
    Intersection hit;
    terrain.GetIntersection(intoHole, hit, PhysicsSurface::None);
    EXPECT_EQ(hit.point, Vec3(6.5f, -2, 6.5f));
    // The ground still comes first where it is whole, and a plug is not met from below.
    EXPECT_FLOAT_EQ(Distance(terrain, Ray(Vec3(12.5f, 10, 12.5f), -kUp)), 10.0f);
    EXPECT_EQ(Distance(terrain, Ray(Vec3(6.5f, -10, 6.5f), kUp)), Infinity);
    // A slanted ray into the hole.
    EXPECT_NEAR(Distance(terrain, Ray(Vec3(4.5f, 4, 6.5f), Vec3(1, -2, 0).Unit())), std::sqrt(45.0f), 1e-4f);
}

TEST_F(TerrainPlugTest, BoxesInTheHoleRestOnThePlug) {
    AddPlug();
    const OBBox box(Vec3(0.5f, 0.5f, 0.5f), Coords::Translation(Vec3(6.5f, -1.6f, 6.5f)));
    CollisionContact contacts[16];
    const int count = terrain.FindCollisions(box, contacts, 16, PhysicsSurface::None);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        EXPECT_NEAR(contacts[i].position.y, -2.0f, 1e-4f);
        EXPECT_NEAR(Dot(contacts[i].normal, kUp), 1.0f, 1e-4f) << i;
        EXPECT_NEAR(contacts[i].depth, 0.1f, 1e-4f);
        EXPECT_EQ(contacts[i].entity, nullptr);
    }
    EXPECT_EQ(terrain.FindCollisions(box, contacts, 1, PhysicsSurface::None), 1);

    mem::vector<CollisionBox> boxes{CollisionBox(box, 1.0f), CollisionBox(OBBox(Vec3(0.5f, 0.5f, 0.5f), Coords::Translation(Vec3(6.5f, 3, 6.5f))), 1.0f)};
    ABBox bounds(Vec3(6.5f, 0, 6.5f), Vec3(2, 5, 2));
    terrain.FindCollisions(boxes, bounds, PhysicsSurface::None);
    EXPECT_EQ(boxes[0].GetNumContacts(), CollisionBox::kMaxContacts);
    EXPECT_NEAR(boxes[0].GetContact(0).normal.y, 1.0f, 1e-4f);
    EXPECT_EQ(boxes[1].GetNumContacts(), 0);  // above the plug, over the hole
}

TEST(TerrainPlugShapeTest, OpenEdgesAndEmptyBounds) {
    TerrainPlug plug;
    plug.UpdateBounds();
    EXPECT_EQ(plug.GetBoundingBox(), ABBox(Vec3(0.1f, 0.1f, 0.1f), Vec3(0.1f, 0.1f, 0.1f)));
    Intersection hit;
    plug.GetIntersection(Ray(Vec3(0, 5, 0), -kUp), hit, PhysicsSurface::None);
    EXPECT_EQ(hit.distance, Infinity);

    plug.AddTriangle({At(0, 1, 0), At(1, 1, 0), At(1, 1, 1)});
    plug.FindBoundaryEdges();
    EXPECT_EQ(plug.GetBoundaryEdges().size(), 3u);
    plug.AddTriangle({At(0, 1, 0), At(1, 1, 1), At(0, 1, 1)});
    plug.FindBoundaryEdges();
    ASSERT_EQ(plug.GetBoundaryEdges().size(), 4u);
    for (const TerrainPlug::Edge& edge : plug.GetBoundaryEdges())  // the shared diagonal is interior
        EXPECT_TRUE(edge.from.position[0] == edge.to.position[0] || edge.from.position[1] == edge.to.position[1]);
    // A copy of a triangle wound the other way makes its edges interior too, but no longer a
    // vertex that differs only in its normal.
    TerrainPlug::Triangle flipped{At(1, 1, 1), At(1, 1, 0), At(0, 1, 0)};
    flipped.a.normal[0] = 0.5f;
    plug.AddTriangle(flipped);
    plug.FindBoundaryEdges();
    EXPECT_EQ(plug.GetBoundaryEdges().size(), 5u);
    plug.UpdateBounds();
    EXPECT_EQ(plug.GetBoundingBox(), ABBox(Vec3(0.5f, 1, 0.5f), Vec3(0.5f, 0, 0.5f)));
    // Met from above at its point, as no surface of its own.
    hit.surface = PhysicsSurface::Grass;
    plug.GetIntersection(Ray(Vec3(0.75f, 5, 0.25f), -kUp), hit, PhysicsSurface::None);
    EXPECT_FLOAT_EQ(hit.distance, 4.0f);
    EXPECT_EQ(hit.point, Vec3(0.75f, 1, 0.25f));
    EXPECT_EQ(hit.surface, PhysicsSurface::None);
}

mem::vector<const TerrainPlug*> Plugs(const TerrainBase& terrain) {
    mem::vector<TerrainObject*> objects;
    terrain.GetAllObjects(objects);
    mem::vector<const TerrainPlug*> plugs;
    for (const TerrainObject* object : objects) {
        if (object->GetRTTIClassInfo()->IsA(&TerrainPlug::classInfo)) plugs.push_back(static_cast<const TerrainPlug*>(object));
    }
    return plugs;
}

mem::vector<TerrainPlug::Triangle> AllTriangles(const TerrainBase& terrain) {
    mem::vector<TerrainPlug::Triangle> triangles;
    for (const TerrainPlug* plug : Plugs(terrain))
        triangles.insert(triangles.end(), plug->GetTriangles().begin(), plug->GetTriangles().end());
    for (TerrainPlug::Triangle& t : triangles) {  // each from its least corner, in its winding
        while (std::memcmp(&t.a, &t.b, sizeof(t.a)) > 0 || std::memcmp(&t.a, &t.c, sizeof(t.a)) > 0)
            t = {t.b, t.c, t.a};
    }
    std::sort(triangles.begin(), triangles.end(), [](const auto& a, const auto& b) {
        return std::memcmp(&a, &b, sizeof(a)) < 0;
    });
    return triangles;
}

float GroundArea(const mem::vector<TerrainPlug::Triangle>& triangles) {
    float area = 0.0f;
    for (const TerrainPlug::Triangle& t : triangles) {
        const float* a = t.a.position;
        const float* b = t.b.position;
        const float* c = t.c.position;
        area += ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) * 0.5f;
    }
    return area;
}

// Samples [10, 14] x [10, 14] of a flat 32 x 32-cell ground hidden, their area to be rebuilt.
class PlugBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(terrain.New(32, 32));
        Hide(terrain, 10, 14);
        area.AddRect(DirtyRect(8, 8, 10, 10));
    }

    Terrain terrain{nullptr};
    DirtyRectSet area;
};

TEST_F(PlugBuilderTest, TheHiddenAreaIsClosedByPlugsOnceAndTheSameEveryTime) {
    const Ray intoHole(Vec3(12.5f, 10, 12.5f), -kUp);
    EXPECT_EQ(Distance(terrain, intoHole), Infinity);
    terrain.BuildPlugs(area);
    const mem::vector<TerrainPlug::Triangle> built = AllTriangles(terrain);
    EXPECT_NEAR(GroundArea(built), 25.0f, 1e-4f);  // exactly the cells of the hidden samples
    EXPECT_GT(Plugs(terrain).size(), 1u);           // cut at the bucket line x = 15
    EXPECT_FLOAT_EQ(Distance(terrain, intoHole), 10.0f);

    const auto asBuilt = [&built](const TerrainBase& other) {
        const mem::vector<TerrainPlug::Triangle> again = AllTriangles(other);
        return again.size() == built.size() &&
               std::memcmp(again.data(), built.data(), built.size() * sizeof(built[0])) == 0;
    };
    // Built again over the same area, the plugs there already close it: nothing overlaps them.
    const size_t count = Plugs(terrain).size();
    terrain.BuildPlugs(area);
    EXPECT_EQ(Plugs(terrain).size(), count);
    // An edit of one sample beside the hole or on its edge remakes the plugs near it, stitched to
    // the rows around them: the same triangles again.
    for (const auto& [x, z] : {std::pair{12, 9}, {12, 15}, {9, 12}, {15, 12}}) {
        terrain.AddDirtyRect(DirtyRect(x, z, 1, 1));
        terrain.ProcessDirtyRects();
        EXPECT_TRUE(asBuilt(terrain)) << x << ", " << z;
    }

    // Another terrain with the same ground gets the same triangles.
    Terrain twin(nullptr);
    ASSERT_TRUE(twin.New(32, 32));
    Hide(twin, 10, 14);
    twin.BuildPlugs(area);
    EXPECT_TRUE(asBuilt(twin));

    // An edit over the area shows the ground again: the plugs there go, and none are needed.
    terrain.AddDirtyRect(DirtyRect(9, 9, 8, 8));
    terrain.ProcessDirtyRects();
    EXPECT_TRUE(Plugs(terrain).empty());
    EXPECT_FLOAT_EQ(Distance(terrain, intoHole), 10.0f);
}

TEST_F(PlugBuilderTest, DegenerateAndOverlappingPlugsDoNotBreakTheBuild) {
    auto* odd = new TerrainPlug;  // the terrain deletes its plugs
    odd->SetTerrain(&terrain);
    odd->AddTriangle({At(12, 0, 12), At(12, 0, 12), At(12, 0, 12)});     // a point
    odd->AddTriangle({At(9, 0, 9), At(13, 0, 13), At(16, 0, 16)});       // a line across the hole
    AddSquare(*odd, 11.5f, 11.5f, 17.5f, 12.5f, 0);                      // crossing the outline
    AddSquare(*odd, 11.5f, 11.5f, 17.5f, 12.5f, 0);                      // and again
    odd->FindBoundaryEdges();
    odd->UpdateBounds();
    terrain.AddObjectToSpace(odd);

    terrain.BuildPlugs(area);
    for (const TerrainPlug::Triangle& t : AllTriangles(terrain)) {
        for (const TerrainPlug::Vertex* v : {&t.a, &t.b, &t.c}) {
            for (const float f : v->position) EXPECT_TRUE(std::isfinite(f));
        }
    }
    // The rebuild replaces them all.
    terrain.AddDirtyRect(DirtyRect(9, 9, 8, 8));
    terrain.ProcessDirtyRects();
    EXPECT_TRUE(Plugs(terrain).empty());
}

}  // namespace
}  // namespace GAME::test
