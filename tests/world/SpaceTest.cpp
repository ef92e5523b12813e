#include "world/Space.h"

#include "TestShapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <type_traits>

namespace GAME {
namespace {

// A stored object: a placement box, an optional alternate box, and a ball inside the placement box
// that rays hit.
struct Thing {
    ABBox box;
    ABBox alternate;
    bool hasAlternate = false;
    SpaceLinks<Thing> links;
    int id = 0;

    Sphere Ball() const { return Sphere(box.centre, std::min({box.halfSize.x, box.halfSize.y, box.halfSize.z})); }
};

struct ThingTraits {
    static SpaceLinks<Thing>& GetLinks(Thing& thing) { return thing.links; }
    static const ABBox& GetBoundingBox(const Thing& thing, bool alternate) {
        return alternate && thing.hasAlternate ? thing.alternate : thing.box;
    }
    static void GetIntersection(Thing& thing, const Ray& ray, Intersection& hit, PhysicsSurface) {
        hit.distance = thing.Ball().GetIntersection(ray);
    }
};

using EntityForm = Space<Thing, ThingTraits, SpaceInsideNodes::TakeAll>;
using TerrainForm = Space<Thing, ThingTraits, SpaceInsideNodes::TestEach>;

using ThingList = mem::vector<Thing*>;

ThingList Sorted(ThingList list) {
    std::sort(list.begin(), list.end());
    return list;
}

bool NodeHolds(const SpaceNode<Thing>& node, const ABBox& box) {
    const Vec3 low = node.box.GetMin(), high = node.box.GetMax(), boxLow = box.GetMin(), boxHigh = box.GetMax();
    return boxLow.x >= low.x && boxLow.y >= low.y && boxLow.z >= low.z && boxHigh.x <= high.x && boxHigh.y <= high.y &&
           boxHigh.z <= high.z;
}

// What every query relies on: each stored object is listed once, and its node and all the node's
// ancestors hold its box.
template <class Tree>
void ExpectConsistent(const Tree& tree, std::deque<Thing>& things) {
    ThingList all;
    tree.GetAll(all);
    ASSERT_EQ(all.size(), tree.GetNumObjects());
    ThingList stored;
    for (Thing& thing : things) {
        if (!thing.links.node) continue;
        stored.push_back(&thing);
        for (const SpaceNode<Thing>* node = thing.links.node; node; node = node->parent) {
            ASSERT_TRUE(NodeHolds(*node, thing.box)) << "thing " << thing.id << " at depth " << node->depth;
        }
    }
    EXPECT_EQ(Sorted(all), Sorted(stored));
}

ABBox RandomBox(test::Shapes& shapes) {
    // Mostly small objects, some large and some flat or point-like, over a 200 x 200 square.
    const float size = shapes.Uniform(0.0f, 1.0f) < 0.1f ? shapes.Uniform(5.0f, 30.0f) : shapes.Uniform(0.0f, 3.0f);
    return ABBox(shapes.Point(Vec3(-100, -10, -100), Vec3(100, 30, 100)),
                 Vec3(shapes.Uniform(0.0f, size), shapes.Uniform(0.0f, size), shapes.Uniform(0.0f, size)));
}

Ray RandomRay(test::Shapes& shapes) {
    return Ray(shapes.Point(Vec3(-120, -20, -120), Vec3(120, 40, 120)),
               shapes.Direction() * shapes.Uniform(0.5f, 3.0f));
}

ThingList BruteInBox(std::deque<Thing>& things, const ABBox& box, bool alternate) {
    ThingList out;
    for (Thing& thing : things) {
        if (thing.links.node && TestIntersection(ThingTraits::GetBoundingBox(thing, alternate), box))
            out.push_back(&thing);
    }
    return out;
}

ThingList BruteInSphere(std::deque<Thing>& things, const Sphere& sphere) {
    ThingList out;
    for (Thing& thing : things) {
        if (thing.links.node && TestIntersection(thing.box, sphere)) out.push_back(&thing);
    }
    return out;
}

ThingList BruteInFrustum(std::deque<Thing>& things, const Frustum& frustum, bool exact) {
    ThingList out;
    for (Thing& thing : things) {
        if (thing.links.node && frustum.TestABBox(thing.box) && (!exact || TestIntersection(frustum, thing.box)))
            out.push_back(&thing);
    }
    return out;
}

// Runs every kind of query against a scan of all stored objects.
template <class Tree>
void ExpectQueriesMatchScan(const Tree& tree, std::deque<Thing>& things, test::Shapes& shapes, int queries) {
    for (int q = 0; q < queries; ++q) {
        SCOPED_TRACE(q);
        ThingList found;
        const ABBox box(shapes.Point(Vec3(-110, -15, -110), Vec3(110, 35, 110)),
                        shapes.Point(Vec3(0, 0, 0), q % 4 == 0 ? Vec3(80, 40, 80) : Vec3(20, 10, 20)));
        tree.GetInBox(found, box);
        EXPECT_EQ(Sorted(found), Sorted(BruteInBox(things, box, false)));

        found.clear();
        const Sphere sphere(shapes.Point(Vec3(-110, -15, -110), Vec3(110, 35, 110)),
                            shapes.Uniform(0.0f, q % 4 == 0 ? 90.0f : 25.0f));
        tree.GetInSphere(found, sphere);
        EXPECT_EQ(Sorted(found), Sorted(BruteInSphere(things, sphere)));

        found.clear();
        const Frustum frustum = shapes.ViewFrustum(Vec3(-120, -20, -120), Vec3(120, 40, 120), shapes.Uniform(10, 150));
        const bool exact = q % 2 == 1;
        tree.GetInFrustum(found, &frustum, 1, nullptr, false, exact);
        EXPECT_EQ(Sorted(found), Sorted(BruteInFrustum(things, frustum, exact)));

        const Ray ray = RandomRay(shapes);
        Intersection hit;
        const Thing* picked = tree.Pick(ray, hit, PhysicsSurface::None);
        float nearest = Infinity;
        for (Thing& thing : things) {
            if (thing.links.node) nearest = std::min(nearest, thing.Ball().GetIntersection(ray));
        }
        EXPECT_EQ(hit.distance, nearest);
        if (nearest < Infinity) {
            ASSERT_NE(picked, nullptr);
            EXPECT_EQ(picked->Ball().GetIntersection(ray), nearest);
        } else {
            EXPECT_EQ(picked, nullptr);
        }

        found.clear();
        const float maxDistance = q % 3 == 0 ? Infinity : shapes.Uniform(1.0f, 100.0f);
        tree.PickAll(ray, found, maxDistance, PhysicsSurface::None);
        ThingList hits;
        for (Thing& thing : things) {
            if (thing.links.node && thing.Ball().GetIntersection(ray) < maxDistance) hits.push_back(&thing);
        }
        EXPECT_EQ(Sorted(found), Sorted(hits));
    }
}

// A tree of either form over a 200 x 200 square, filled with numbered things of random boxes.
template <class Tree>
class SpaceForms : public ::testing::Test {
protected:
    void Fill(unsigned seed, size_t count) {
        shapes_ = test::Shapes(seed);
        things_.resize(count);
        for (size_t i = 0; i < things_.size(); ++i) {
            things_[i].id = int(i);
            things_[i].box = RandomBox(shapes_);
            ASSERT_TRUE(tree_.AddObject(things_[i]));
        }
    }

    test::Shapes shapes_{0};
    Tree tree_{Vec2(0, 0), Vec2(100, 100)};
    std::deque<Thing> things_;
};
using Forms = ::testing::Types<EntityForm, TerrainForm>;
struct FormNames {
    template <class Tree>
    static std::string GetName(int) {
        return std::is_same_v<Tree, EntityForm> ? "EntityForm" : "TerrainForm";
    }
};
TYPED_TEST_SUITE(SpaceForms, Forms, FormNames);

TYPED_TEST(SpaceForms, QueriesMatchAScanOfEveryObject) {
    this->Fill(7, 3000);
    test::Shapes& shapes = this->shapes_;
    TypeParam& tree = this->tree_;
    std::deque<Thing>& things = this->things_;
    ExpectConsistent(tree, things);
    ExpectQueriesMatchScan(tree, things, shapes, 200);
}

TYPED_TEST(SpaceForms, MovedAndRemovedObjectsKeepTheTreeConsistent) {
    this->Fill(11, 2000);
    test::Shapes& shapes = this->shapes_;
    TypeParam& tree = this->tree_;
    std::deque<Thing>& things = this->things_;
    for (int round = 0; round < 5; ++round) {
        for (Thing& thing : things) {
            const float roll = shapes.Uniform(0.0f, 1.0f);
            if (!thing.links.node) {
                if (roll < 0.5f) {
                    thing.box = RandomBox(shapes);
                    tree.AddObject(thing);
                }
            } else if (roll < 0.1f) {
                tree.RemoveFromNode(thing);
            } else if (roll < 0.6f) {
                // Small steps (which mostly stay below their node), jumps up and down, and
                // teleports across the square.
                if (roll < 0.4f) {
                    thing.box.centre += shapes.Point(Vec3(-2, -1, -2), Vec3(2, 1, 2));
                } else if (roll < 0.5f) {
                    thing.box.centre.y += shapes.Uniform(-40.0f, 40.0f);
                } else {
                    thing.box = RandomBox(shapes);
                }
                tree.UpdateObject(thing);
            }
        }
        SCOPED_TRACE(round);
        ExpectConsistent(tree, things);
        ExpectQueriesMatchScan(tree, things, shapes, 40);
    }
    // Everything out again: only the root is left, and it holds nothing.
    for (Thing& thing : things) tree.RemoveFromNode(thing);
    EXPECT_EQ(tree.GetNumObjects(), 0u);
    ThingList all;
    tree.GetAll(all);
    EXPECT_TRUE(all.empty());
}

TYPED_TEST(SpaceForms, SeveralFrustaListEachObjectOnceAndMarkTheFirstFrustum) {
    this->Fill(3, 1000);
    test::Shapes& shapes = this->shapes_;
    TypeParam& tree = this->tree_;
    std::deque<Thing>& things = this->things_;
    for (int q = 0; q < 30; ++q) {
        const Frustum frusta[3] = {shapes.ViewFrustum(Vec3(-100, 0, -100), Vec3(100, 20, 100), 120),
                                   shapes.ViewFrustum(Vec3(-100, 0, -100), Vec3(100, 20, 100), 120), Frustum()};
        ThingList found;
        mem::vector<bool> inFirst;
        tree.GetInFrustum(found, frusta, 3, &inFirst);
        ThingList expected = BruteInFrustum(things, frusta[0], false);
        const ThingList first = Sorted(expected);
        for (Thing* thing : BruteInFrustum(things, frusta[1], false)) expected.push_back(thing);
        expected = Sorted(expected);
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        ASSERT_EQ(found, expected);  // sorted and without duplicates
        ASSERT_EQ(inFirst.size(), found.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(inFirst[i], std::binary_search(first.begin(), first.end(), found[i]));
        }

        // The same frustum twice: once each, all in the first.
        const Frustum twice[2] = {frusta[0], frusta[0]};
        found.clear();
        tree.GetInFrustum(found, twice, 2, &inFirst);
        EXPECT_EQ(found, first);
        EXPECT_EQ(std::count(inFirst.begin(), inFirst.end(), true), ptrdiff_t(found.size()));
    }
    // Frusta without planes gather nothing, alone or together.
    Frustum empty[2];
    ThingList found;
    mem::vector<bool> inFirst(5, true);
    tree.GetInFrustum(found, empty, 1, &inFirst);
    tree.GetInFrustum(found, empty, 2, &inFirst);
    EXPECT_TRUE(found.empty() && inFirst.empty());
}

TEST(Space, ObjectsDescendUntilTheyStraddleAChildSquare) {
    EntityForm tree(Vec2(0, 0), Vec2(100, 100));
    // The root square is 109 wide either way; a child square's centre lies 109 / 2.18 = 50 from the
    // root's, and it is 54.5 wide either way, so it reaches 4.5 past the centre line.
    Thing straddler;
    straddler.box = ABBox(Vec3(0, 5, 20), Vec3(4.6f, 2, 1));
    tree.AddObject(straddler);
    ASSERT_NE(straddler.links.node, nullptr);
    EXPECT_EQ(straddler.links.node->depth, 0u);
    // It stays in the root, and the root's vertical extent now covers it.
    EXPECT_NEAR(straddler.links.node->box.centre.y, 3.5f, 1e-5f);
    EXPECT_NEAR(straddler.links.node->box.halfSize.y, 3.5f, 1e-5f);

    Thing crossing;
    crossing.box = ABBox(Vec3(0, 0, 20), Vec3(4.4f, 1, 1));  // crosses the line by less than 4.5
    tree.AddObject(crossing);
    ASSERT_EQ(crossing.links.node->depth, 1u);
    const SpaceNode<Thing>* child = crossing.links.node;
    EXPECT_EQ(child, child->parent->children[2].get());  // centre x on the line: side 0; z above: side 1

    // Exactly on both centre lines: child 0.
    Thing onCentre;
    onCentre.box = ABBox(Vec3(0, 0, 0), Vec3(1, 1, 1));
    tree.AddObject(onCentre);
    const SpaceNode<Thing>* node = onCentre.links.node;
    while (node->depth > 1) node = node->parent;
    EXPECT_EQ(node, node->parent->children[0].get());
}

TEST(Space, RemovingTheLastObjectOfALeafDeletesTheEmptyBranch) {
    EntityForm tree(Vec2(50, 50), Vec2(50, 50));
    Thing inRoot;
    inRoot.box = ABBox(Vec3(50, 0, 50), Vec3(40, 1, 40));
    Thing deep;
    deep.box = ABBox(Vec3(10, 0, 10), Vec3(0.5f, 0.5f, 0.5f));
    tree.AddObject(inRoot);
    tree.AddObject(deep);
    const SpaceNode<Thing>* root = inRoot.links.node;
    ASSERT_EQ(root->depth, 0u);
    ASSERT_GT(deep.links.node->depth, 2u);
    tree.RemoveFromNode(deep);
    EXPECT_EQ(deep.links.node, nullptr);
    for (const auto& child : root->children) EXPECT_EQ(child, nullptr);
    EXPECT_EQ(tree.GetNumObjects(), 1u);
    // Removing what is not in the tree changes nothing.
    tree.RemoveFromNode(deep);
    EXPECT_EQ(tree.GetNumObjects(), 1u);
    // An object is placed in one tree at a time.
    EXPECT_FALSE(tree.AddObject(inRoot));
    EXPECT_EQ(tree.GetNumObjects(), 1u);
}

TEST(Space, ObjectsWithoutExtentStopAtTheSmallestNodes) {
    EntityForm tree(Vec2(0, 0), Vec2(64, 64));
    Thing a, b;
    a.box = ABBox(Vec3(3, 0, 3), Vec3());
    b.box = a.box;
    tree.AddObject(a);
    tree.AddObject(b);
    EXPECT_EQ(a.links.node, b.links.node);
    EXPECT_LT(a.links.node->depth, 10u);
    EXPECT_GE(a.links.node->box.halfSize.x, EntityForm::kMinNodeHalfSize);
}

TEST(Space, AnObjectThatMovedUpIsStillFoundAboveItsNode) {
    EntityForm tree(Vec2(0, 0), Vec2(100, 100));
    Thing thing;
    thing.box = ABBox(Vec3(30, 0, 30), Vec3(1, 1, 1));
    tree.AddObject(thing);
    const SpaceNode<Thing>* node = thing.links.node;
    thing.box.centre.y = 50;  // straight up: the node's square still holds it on x/z
    tree.UpdateObject(thing);
    EXPECT_EQ(thing.links.node, node);
    ThingList found;
    tree.GetInSphere(found, Sphere(Vec3(30, 50, 30), 0.5f));
    EXPECT_EQ(found, ThingList{&thing});
}

TEST(Space, BoxQueriesOfTheTwoFormsDifferOnlyForAlternateBoxes) {
    // The entity form takes the objects of a node wholly inside the query untested, trusting the
    // placement box the tree is built on; the terrain form tests every object's asked-for box.
    Thing thing;
    thing.box = ABBox(Vec3(10, 0, 10), Vec3(1, 1, 1));
    thing.alternate = ABBox(Vec3(500, 0, 500), Vec3(1, 1, 1));  // far outside the tree's square
    thing.hasAlternate = true;
    const ABBox query(Vec3(0, 0, 0), Vec3(200, 200, 200));  // holds the root
    EntityForm entities(Vec2(0, 0), Vec2(100, 100));
    TerrainForm terrain(Vec2(0, 0), Vec2(100, 100));
    entities.AddObject(thing);
    ThingList found;
    entities.GetInBox(found, query, true);
    EXPECT_EQ(found, ThingList{&thing});
    entities.RemoveFromNode(thing);

    terrain.AddObject(thing);
    found.clear();
    terrain.GetInBox(found, query, true);
    EXPECT_TRUE(found.empty());
    terrain.GetInBox(found, query, false);
    EXPECT_EQ(found, ThingList{&thing});
}

TEST(Space, PickSkipsObjectsTheFilterRejectsAndKeepsTheCallersNearerHit) {
    EntityForm tree(Vec2(0, 0), Vec2(100, 100));
    Thing nearThing, farThing;
    nearThing.box = ABBox(Vec3(0, 0, 10), Vec3(1, 1, 1));
    farThing.box = ABBox(Vec3(0, 0, 20), Vec3(1, 1, 1));
    tree.AddObject(nearThing);
    tree.AddObject(farThing);
    const Ray ray(Vec3(0, 0, 0), Vec3(0, 0, 1));
    Intersection hit;
    EXPECT_EQ(tree.Pick(ray, hit, PhysicsSurface::None), &nearThing);
    EXPECT_FLOAT_EQ(hit.distance, 9.0f);
    hit = Intersection();
    EXPECT_EQ(tree.Pick(ray, hit, PhysicsSurface::None, [&](const Thing* t) { return t != &nearThing; }), &farThing);
    EXPECT_FLOAT_EQ(hit.distance, 19.0f);
    hit = Intersection();
    hit.distance = 5.0f;  // something nearer was already hit
    EXPECT_EQ(tree.Pick(ray, hit, PhysicsSurface::None), nullptr);
    EXPECT_EQ(hit.distance, 5.0f);
}

}  // namespace
}  // namespace GAME
