#pragma once
// Space: a loose quadtree over the x/z plane that keeps the objects of one level (its entities) or
// of one terrain (its objects and water elements), and answers box, sphere, frustum and ray
// queries over them.
//
// Each node covers a square enlarged by kLooseness, and an object sits in the deepest node whose
// enlarged square holds its whole x/z extent; an object that straddles a child square stays in
// the parent. A node's box only grows: it holds every object placed through the node, on all three
// axes (the vertical extent grows with what the nodes hold), so a query that misses a node's box
// misses its whole subtree. Leaves left empty by a removal are deleted; the root never is.
//
// Objects are linked into their node's list through fields of their own (SpaceLinks), so insertion
// and removal allocate nothing but new nodes, and an object is in at most one tree at a time. The
// object type plugs in through a traits class:
//
//   struct Traits {
//       static SpaceLinks<T>& GetLinks(T& object);
//       // The box the object is placed by (alternate false), or the box a query asking for the
//       // alternate box tests (the placement box when the object has no other).
//       static const ABBox& GetBoundingBox(const T& object, bool alternate);
//       // Needed only by Pick and PickAll: the object's own hit, written to hit (distance
//       // +infinity on a miss).
//       static void GetIntersection(T& object, const Ray& ray, Intersection& hit, PhysicsSurface surface);
//   };
//
// The two users differ in one point, the insideNodes parameter: a box query that finds a node
// lying wholly inside the box takes the node's objects untested (the entity form) or tests each
// one (the terrain form). Both give the same answers for the placement box; the untested form
// trusts it for the alternate box too.
//
// The tree is not locked: it is filled by whoever loads its owner and used on the main thread
// afterwards. Deleting the tree deletes its nodes, never its objects.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "core/ABBox.h"
#include "core/Frustum.h"
#include "core/Intersection.h"
#include "core/IntersectionTests.h"
#include "core/Mem.h"
#include "core/PhysicsSurface.h"
#include "core/Ray.h"
#include "core/Sphere.h"
#include "core/Vec2.h"
#include "world/SpaceLinks.h"

namespace GAME {

template <class T>
struct SpaceNode {
    SpaceNode* parent = nullptr;                // null at the root
    std::unique_ptr<SpaceNode> children[4];     // index = (x side) + 2 x (z side), side 1 the greater
    ABBox box;                                  // holds every object placed through the node
    T* first = nullptr;                         // head of the node's object list
    uint32_t depth = 0;                         // 0 at the root
};

enum class SpaceInsideNodes {
    TakeAll,   // box queries take the objects of a node wholly inside the box untested (entities)
    TestEach,  // box queries test every object (terrain objects)
};

template <class T, class Traits, SpaceInsideNodes insideNodes>
class Space {
public:
    using Node = SpaceNode<T>;

    static constexpr float kLooseness = 1.09f;
    static constexpr uint32_t kMaxDepth = 1000;
    // Nodes are not split below this half size. Without it, every object of no x/z extent would
    // descend to kMaxDepth, making a chain of a thousand nodes that each insertion and query walks;
    // the limit changes the shape of the tree, never a query's answer.
    static constexpr float kMinNodeHalfSize = 0.5f;

    // The root covers the square (centre, halfSize) on x/z, enlarged by kLooseness; its vertical
    // extent starts empty at y = 0.
    Space(const Vec2& centre, const Vec2& halfSize) {
        root_.box = ABBox(Vec3(centre.x, 0.0f, centre.y), Vec3(kLooseness * halfSize.x, 0.0f, kLooseness * halfSize.y));
    }
    Space(const Space&) = delete;
    Space& operator=(const Space&) = delete;

    // Places the object by its placement box. False (and nothing done) when the object is already
    // in a tree.
    bool AddObject(T& object) {
        if (Traits::GetLinks(object).node) return false;
        Place(root_, object, Traits::GetBoundingBox(object, false));
        ++numObjects_;
        return true;
    }

    // Takes the object out of the tree and deletes the nodes left empty; nothing for an object in
    // no tree.
    void RemoveFromNode(T& object) {
        Node* node = Traits::GetLinks(object).node;
        if (!node) return;
        Unlink(object);
        Prune(node);
        --numObjects_;
    }

    // Re-places an object whose placement box changed. It stays below its node when the node's box
    // still holds it on x/z, and is placed again from the root otherwise.
    void UpdateObject(T& object) {
        Node* node = Traits::GetLinks(object).node;
        if (!node) return;
        const ABBox& box = Traits::GetBoundingBox(object, false);
        if (ContainsXZ(node->box, box)) {
            // The node and its ancestors must still cover the object when it moved up or down,
            // or y-bounded queries would skip it.
            Unlink(object);
            GrowHeight(node, box);
            Place(*node, object, box);
        } else {
            Unlink(object);
            Prune(node);
            Place(root_, object, box);
        }
    }

    uint32_t GetNumObjects() const { return numObjects_; }
    // The root's box: the tree's square and the vertical extent of everything placed in it.
    const ABBox& GetBoundingBox() const { return root_.box; }

    // Every object: a node's list from head to tail (the most recently placed first), then its
    // children 0 to 3.
    void GetAll(mem::vector<T*>& out) const { AppendAll(root_, out); }

    // The objects whose box overlaps the query box on all three axes (touching counts).
    void GetInBox(mem::vector<T*>& out, const ABBox& box, bool useAlternateBox = false) const {
        const auto classify = [&box](const ABBox& node) {
            if (!OverlapsXZ(node, box)) return 0;
            return insideNodes == SpaceInsideNodes::TakeAll && Contains(box, node) ? 2 : 1;
        };
        Collect(root_, out, useAlternateBox, classify,
                [&box](const ABBox& object) { return TestIntersection(object, box); });
    }

    // The objects whose box reaches into the sphere (touching counts).
    void GetInSphere(mem::vector<T*>& out, const Sphere& sphere, bool useAlternateBox = false) const {
        const auto classify = [&sphere](const ABBox& node) {
            if (!TestIntersection(node, sphere)) return 0;
            // Wholly inside when the farthest corner is.
            const Vec3 gap = sphere.centre - node.centre;
            const Vec3 far(std::fabs(gap.x) + node.halfSize.x, std::fabs(gap.y) + node.halfSize.y,
                           std::fabs(gap.z) + node.halfSize.z);
            return far.LengthSquared() <= sphere.radius * sphere.radius ? 2 : 1;
        };
        Collect(root_, out, useAlternateBox, classify,
                [&sphere](const ABBox& object) { return TestIntersection(object, sphere); });
    }

    // The objects whose box passes the plane test of any of count frusta, each listed once.
    // Frusta without planes gather nothing. When inFirst is given it is resized to the output and
    // tells which entries the first frustum gathered. With exact, an object that passes the plane
    // test of an intersecting node is confirmed by the exact test.
    void GetInFrustum(mem::vector<T*>& out, const Frustum* frusta, uint32_t count, mem::vector<bool>* inFirst = nullptr,
                      bool useAlternateBox = false, bool exact = false) const {
        if (count == 0) return;
        if (count == 1) {
            if (frusta[0].GetNumPlanes() == 0) return;
            out.reserve(out.size() + kReserve);
            CollectInFrustum(root_, out, frusta[0], AllPlanes(frusta[0]), useAlternateBox, exact);
            if (inFirst) inFirst->assign(out.size(), true);
            return;
        }
        mem::vector<T*> gathered;
        gathered.reserve(size_t(kReserve) * count);
        mem::vector<T*> first;
        for (uint32_t i = 0; i < count; ++i) {
            if (frusta[i].GetNumPlanes() == 0) continue;
            CollectInFrustum(root_, gathered, frusta[i], AllPlanes(frusta[i]), useAlternateBox, exact);
            if (i == 0) first = gathered;
        }
        std::sort(gathered.begin(), gathered.end());
        gathered.erase(std::unique(gathered.begin(), gathered.end()), gathered.end());
        out.insert(out.end(), gathered.begin(), gathered.end());
        if (inFirst) {
            std::sort(first.begin(), first.end());
            inFirst->resize(out.size());
            for (size_t i = 0; i < out.size(); ++i)
                (*inFirst)[i] = std::binary_search(first.begin(), first.end(), out[i]);
        }
    }

    // The nearest object hit by the ray, asking each object whose placement box the ray enters
    // nearer than the best hit so far; the best starts at hit.distance, and a nearer object hit
    // replaces hit. Null when no object beats it. Only objects that accept(const T*) allows are
    // asked.
    template <class Accept>
    T* Pick(const Ray& ray, Intersection& hit, PhysicsSurface surface, const Accept& accept) const {
        return PickIn(root_, ray, hit, surface, accept);
    }
    T* Pick(const Ray& ray, Intersection& hit, PhysicsSurface surface) const {
        return Pick(ray, hit, surface, [](const T*) { return true; });
    }

    // Every object whose own hit lies nearer than maxDistance (+infinity for no limit), asking those
    // whose box the ray enters nearer than it.
    void PickAll(const Ray& ray, mem::vector<T*>& out, float maxDistance, PhysicsSurface surface,
                 bool useAlternateBox = false) const {
        PickAllIn(root_, ray, out, maxDistance, surface, useAlternateBox);
    }

private:
    static constexpr uint32_t kReserve = 200;

    static bool OverlapsXZ(const ABBox& a, const ABBox& b) {
        return std::fabs(a.centre.x - b.centre.x) <= a.halfSize.x + b.halfSize.x &&
               std::fabs(a.centre.z - b.centre.z) <= a.halfSize.z + b.halfSize.z;
    }
    // outer holds inner on x and z (faces may touch).
    static bool ContainsXZ(const ABBox& outer, const ABBox& inner) {
        return inner.centre.x - inner.halfSize.x >= outer.centre.x - outer.halfSize.x &&
               inner.centre.x + inner.halfSize.x <= outer.centre.x + outer.halfSize.x &&
               inner.centre.z - inner.halfSize.z >= outer.centre.z - outer.halfSize.z &&
               inner.centre.z + inner.halfSize.z <= outer.centre.z + outer.halfSize.z;
    }
    static bool Contains(const ABBox& outer, const ABBox& inner) {
        return ContainsXZ(outer, inner) && inner.centre.y - inner.halfSize.y >= outer.centre.y - outer.halfSize.y &&
               inner.centre.y + inner.halfSize.y <= outer.centre.y + outer.halfSize.y;
    }
    static uint64_t AllPlanes(const Frustum& frustum) {
        const uint32_t n = frustum.GetNumPlanes();
        return n >= 64 ? ~uint64_t(0) : (uint64_t(1) << n) - 1;
    }

    // Grows the node over the object's box and moves the object down while a child square holds
    // it on x/z, growing each node it passes; where it stops, it is linked in. Every node on the
    // way then holds the box, so the node's ancestors above start must already hold it.
    void Place(Node& start, T& object, const ABBox& box) {
        Node* node = &start;
        const Vec3 low = box.GetMin();
        const Vec3 high = box.GetMax();
        for (;;) {
            Enclose(node->box.centre.x, node->box.halfSize.x, low.x, high.x);
            Enclose(node->box.centre.y, node->box.halfSize.y, low.y, high.y);
            Enclose(node->box.centre.z, node->box.halfSize.z, low.z, high.z);
            const Vec3 childHalf = node->box.halfSize * 0.5f;
            if (node->depth >= kMaxDepth || childHalf.x < kMinNodeHalfSize || childHalf.z < kMinNodeHalfSize) break;
            const int xSide = box.centre.x > node->box.centre.x ? 1 : 0;
            const int zSide = box.centre.z > node->box.centre.z ? 1 : 0;
            const float step = 1.0f / (2.0f * kLooseness);
            const Vec3 offset(node->box.halfSize.x * step, 0.0f, node->box.halfSize.z * step);
            const ABBox square(Vec3(node->box.centre.x + (xSide ? offset.x : -offset.x), 0.0f,
                                    node->box.centre.z + (zSide ? offset.z : -offset.z)),
                               childHalf);
            if (!ContainsXZ(square, box)) break;
            std::unique_ptr<Node>& child = node->children[xSide + 2 * zSide];
            if (!child) {
                child = std::make_unique<Node>();
                child->parent = node;
                child->box = square;
                child->depth = node->depth + 1;
            }
            node = child.get();
        }
        SpaceLinks<T>& links = Traits::GetLinks(object);
        links.node = node;
        links.prev = nullptr;
        links.next = node->first;
        if (node->first) Traits::GetLinks(*node->first).prev = &object;
        node->first = &object;
    }

    // Widens the vertical extent of the node and of every ancestor over the box. The walk goes all
    // the way up: a child square starts with a vertical extent around y = 0 that its parent need
    // not cover, so a node that already covers the box says nothing of its ancestors.
    static void GrowHeight(Node* node, const ABBox& box) {
        const float low = box.centre.y - box.halfSize.y;
        const float high = box.centre.y + box.halfSize.y;
        for (; node; node = node->parent) Enclose(node->box.centre.y, node->box.halfSize.y, low, high);
    }

    // Grows one axis of a box (centre, half) to hold [low, high]; false when it already does. The
    // new centre and half size are rounded, so they are padded by a few units in the last place to
    // hold the bounds exactly: a node box must never be a hair smaller than what it holds, or a
    // query could skip its subtree. Only boxes that grow are padded, so they do not creep.
    static bool Enclose(float& centre, float& half, float low, float high) {
        const float nodeLow = centre - half;
        const float nodeHigh = centre + half;
        if (nodeLow <= low && nodeHigh >= high) return false;
        const float newLow = std::min(nodeLow, low);
        const float newHigh = std::max(nodeHigh, high);
        centre = (newLow + newHigh) * 0.5f;
        half = (newHigh - newLow) * 0.5f;
        half += (std::fabs(centre) + half) * (4.0f * std::numeric_limits<float>::epsilon());
        return true;
    }

    static void Unlink(T& object) {
        SpaceLinks<T>& links = Traits::GetLinks(object);
        if (links.prev) {
            Traits::GetLinks(*links.prev).next = links.next;
        } else {
            links.node->first = links.next;
        }
        if (links.next) Traits::GetLinks(*links.next).prev = links.prev;
        links = SpaceLinks<T>();
    }

    // Deletes the node when it holds nothing, and every ancestor left empty by that; not the root.
    static void Prune(Node* node) {
        while (node->parent && !node->first && !HasChildren(*node)) {
            Node* parent = node->parent;
            for (std::unique_ptr<Node>& child : parent->children) {
                if (child.get() == node) child.reset();
            }
            node = parent;
        }
    }

    static bool HasChildren(const Node& node) {
        return node.children[0] || node.children[1] || node.children[2] || node.children[3];
    }

    static void AppendAll(const Node& node, mem::vector<T*>& out) {
        for (T* object = node.first; object; object = Traits::GetLinks(*object).next) out.push_back(object);
        for (const std::unique_ptr<Node>& child : node.children) {
            if (child) AppendAll(*child, out);
        }
    }

    // The culled walk of the box and sphere queries: classify(node box) answers 0 (outside: skip
    // the subtree), 1 (intersecting: keep the objects whose box meets the query) or 2 (wholly
    // inside: take the subtree untested).
    template <class Classify, class Meets>
    static void Collect(const Node& node, mem::vector<T*>& out, bool alternate, const Classify& classify,
                        const Meets& meets) {
        const int state = classify(node.box);
        if (state == 0) return;
        if (state == 2) {
            AppendAll(node, out);
            return;
        }
        for (T* object = node.first; object; object = Traits::GetLinks(*object).next) {
            if (meets(Traits::GetBoundingBox(*object, alternate))) out.push_back(object);
        }
        for (const std::unique_ptr<Node>& child : node.children) {
            if (child) Collect(*child, out, alternate, classify, meets);
        }
    }

    // planes: the frustum's planes the node's parent does not lie wholly inside.
    static void CollectInFrustum(const Node& node, mem::vector<T*>& out, const Frustum& frustum, uint64_t planes,
                                 bool alternate, bool exact) {
        const ABBox& box = node.box;
        for (uint32_t i = 0; i < frustum.GetNumPlanes(); ++i) {
            if (!(planes & (uint64_t(1) << i))) continue;
            const Plane& plane = frustum.GetPlane(i);
            const float extent = std::fabs(plane.normal.x) * box.halfSize.x +
                                 std::fabs(plane.normal.y) * box.halfSize.y +
                                 std::fabs(plane.normal.z) * box.halfSize.z;
            const float distance = plane.GetDistance(box.centre);
            if (distance < -extent) return;
            if (distance >= extent) planes &= ~(uint64_t(1) << i);
        }
        if (planes == 0) {
            AppendAll(node, out);
            return;
        }
        for (T* object = node.first; object; object = Traits::GetLinks(*object).next) {
            const ABBox& objectBox = Traits::GetBoundingBox(*object, alternate);
            if (frustum.TestABBox(objectBox) && (!exact || TestIntersection(frustum, objectBox))) out.push_back(object);
        }
        for (const std::unique_ptr<Node>& child : node.children) {
            if (child) CollectInFrustum(*child, out, frustum, planes, alternate, exact);
        }
    }

    template <class Accept>
    static T* PickIn(const Node& node, const Ray& ray, Intersection& best, PhysicsSurface surface,
                     const Accept& accept) {
        T* result = nullptr;
        for (T* object = node.first; object; object = Traits::GetLinks(*object).next) {
            if (!(Traits::GetBoundingBox(*object, false).GetIntersection(ray) < best.distance) || !accept(object))
                continue;
            Intersection hit;
            Traits::GetIntersection(*object, ray, hit, surface);
            if (hit.distance < best.distance) {
                best = hit;
                result = object;
            }
        }
        for (const std::unique_ptr<Node>& child : node.children) {
            if (!child || !(child->box.GetIntersection(ray) < best.distance)) continue;
            if (T* found = PickIn(*child, ray, best, surface, accept)) result = found;
        }
        return result;
    }

    static void PickAllIn(const Node& node, const Ray& ray, mem::vector<T*>& out, float maxDistance,
                          PhysicsSurface surface, bool alternate) {
        for (T* object = node.first; object; object = Traits::GetLinks(*object).next) {
            if (!(Traits::GetBoundingBox(*object, alternate).GetIntersection(ray) < maxDistance)) continue;
            Intersection hit;
            Traits::GetIntersection(*object, ray, hit, surface);
            if (hit.distance < maxDistance) out.push_back(object);
        }
        for (const std::unique_ptr<Node>& child : node.children) {
            if (child && child->box.GetIntersection(ray) < maxDistance)
                PickAllIn(*child, ray, out, maxDistance, surface, alternate);
        }
    }

    Node root_;
    uint32_t numObjects_ = 0;
};

}  // namespace GAME
