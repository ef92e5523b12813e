#include "physics/PhysicsMesh.h"

#include "core/IntersectionTests.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "files/BinaryReader.h"
#include "physics/CollisionContact.h"
#include "physics/CollisionTests.h"
#include "render/DebugRenderManager.h"

#include <utility>

namespace GAME {

namespace {

// Stored sizes; the in-memory records have the same sizes, which GetAllocatedSize relies on.
constexpr uint64_t kFaceBytes = 16;
constexpr uint64_t kVertexBytes = 12;
constexpr uint64_t kNodeBytes = 40;
static_assert(sizeof(PhysicsMesh::Face) == kFaceBytes);
static_assert(sizeof(Vec3) == kVertexBytes);
static_assert(sizeof(PhysicsMesh::Node) == kNodeBytes);

// None as the excluded surface excludes nothing, even a face that carries it.
bool IsExcluded(PhysicsSurface surface, PhysicsSurface excluded) {
    return excluded != PhysicsSurface::None && surface == excluded;
}

bool IsFinite(const ABBox& box) { return box.centre.IsValid() && box.halfSize.IsValid(); }

}  // namespace

bool PhysicsMesh::Initialize(const void* buffer, int size) {
    Clear();
    if (size < 0 || (buffer == nullptr && size > 0)) {
        Log(LogPriority::Error, "Physics mesh: no buffer");
        return false;
    }
    BinaryReader reader(buffer, static_cast<uint32_t>(size));
    const uint32_t version = reader.ReadUInt32();
    if (reader.Failed() || (version != 1 && version != 2)) {
        Log(LogPriority::Error, "Physics mesh: %s", reader.Failed() ? "the version is missing" : "the version is not 1 or 2");
        return false;
    }
    const uint32_t faceCount = reader.ReadUInt32();
    const uint32_t vertexCount = reader.ReadUInt32();
    const uint32_t nodeCount = version == 2 ? reader.ReadUInt32() : 0;
    if (reader.Failed()) {
        Log(LogPriority::Error, "Physics mesh: the version %u header is truncated", version);
        return false;
    }
    // 64-bit sums, so that huge counts cannot wrap around and pass.
    if (faceCount * kFaceBytes + vertexCount * kVertexBytes + nodeCount * kNodeBytes > reader.GetRemaining()) {
        Log(LogPriority::Error, "Physics mesh: %u faces, %u vertices and %u nodes do not fit in %u bytes", faceCount,
            vertexCount, nodeCount, reader.GetRemaining());
        return false;
    }

    faces_.resize(faceCount);
    for (Face& face : faces_) {
        for (uint32_t& index : face.vertices) index = reader.ReadUInt32();
        face.surface = static_cast<PhysicsSurface>(reader.ReadInt32());
    }
    vertices_.resize(vertexCount);
    for (Vec3& vertex : vertices_) vertex = reader.ReadVec3();
    nodes_.resize(nodeCount);
    for (uint32_t i = 0; i < nodeCount; ++i) {
        Node& node = nodes_[i];
        node.box.centre = reader.ReadVec3();
        node.box.halfSize = reader.ReadVec3();
        const uint32_t firstFace = reader.ReadUInt32();
        const uint32_t ownFaces = reader.ReadUInt32();
        node.child0 = reader.ReadInt32();
        node.child1 = reader.ReadInt32();
        // Inner nodes' face ranges mean nothing; a leaf's must lie within the faces.
        if (ownFaces > 0 && uint64_t(firstFace) + ownFaces > faceCount) {
            Log(LogPriority::Error, "Physics mesh: node %u owns %u faces from face %u of %u", i, ownFaces, firstFace,
                faceCount);
            Clear();
            return false;
        }
        node.firstFace = ownFaces > 0 ? static_cast<int>(firstFace) : 0;
        node.faceCount = static_cast<int>(ownFaces);
        for (const int child : {node.child0, node.child1}) {
            if (child < -1 || child >= static_cast<int>(nodeCount)) {
                Log(LogPriority::Error, "Physics mesh: node %u has child %d of %u nodes", i, child, nodeCount);
                Clear();
                return false;
            }
        }
    }
    // The counts were checked against the size, so no read can have run out.
    if (reader.Failed() || !Validate()) {
        Clear();
        return false;
    }

    InitializeBoundingBox();
    if (version == 1) {
        Node root;
        root.box = boundingBox_;
        root.faceCount = static_cast<int>(faceCount);
        nodes_.push_back(root);
    }
    return true;
}

bool PhysicsMesh::Validate() const {
    const int vertexCount = GetNumVertices();
    for (size_t i = 0; i < faces_.size(); ++i) {
        for (const uint32_t index : faces_[i].vertices) {
            if (index >= uint32_t(vertexCount)) {
                Log(LogPriority::Error, "Physics mesh: face %zu uses vertex %u of %d", i, index, vertexCount);
                return false;
            }
        }
    }
    for (size_t i = 0; i < vertices_.size(); ++i) {
        if (!vertices_[i].IsValid()) {
            Log(LogPriority::Error, "Physics mesh: vertex %zu is not a finite point", i);
            return false;
        }
    }
    if (nodes_.empty()) return true;

    // Walk the tree from the root with an explicit stack (the walk cannot trust the depth).
    mem::vector<bool> reached(nodes_.size(), false);
    mem::vector<std::pair<int, int>> pending{{0, 0}};  // node, level
    reached[0] = true;
    while (!pending.empty()) {
        const auto [index, level] = pending.back();
        pending.pop_back();
        const Node& node = nodes_[index];
        if (!IsFinite(node.box)) {
            Log(LogPriority::Error, "Physics mesh: node %d has a box that is not finite", index);
            return false;
        }
        if (node.faceCount > 0) continue;  // a leaf's children are never visited
        for (const int child : {node.child0, node.child1}) {
            if (child == -1) continue;
            if (reached[child]) {
                Log(LogPriority::Error, "Physics mesh: node %d is reached twice (a cycle or a shared subtree)", child);
                return false;
            }
            if (level + 1 >= kMaxTreeDepth) {
                Log(LogPriority::Error, "Physics mesh: the box tree is deeper than %d levels", kMaxTreeDepth);
                return false;
            }
            reached[child] = true;
            pending.emplace_back(child, level + 1);
        }
    }
    return true;
}

void PhysicsMesh::Clear() {
    faces_.clear();
    vertices_.clear();
    nodes_.clear();
    boundingBox_ = ABBox();
}

void PhysicsMesh::InitializeBoundingBox() {
    if (vertices_.empty()) {
        boundingBox_ = ABBox();
        return;
    }
    Vec3 min(Infinity, Infinity, Infinity);
    Vec3 max(-Infinity, -Infinity, -Infinity);
    for (const Vec3& vertex : vertices_) {
        min = Min(min, vertex);
        max = Max(max, vertex);
    }
    boundingBox_ = ABBox((min + max) * 0.5f, (max - min) * 0.5f);
}

unsigned int PhysicsMesh::GetAllocatedSize() const {
    return static_cast<unsigned int>(faces_.capacity() * sizeof(Face) + nodes_.capacity() * sizeof(Node) +
                                     vertices_.capacity() * sizeof(Vec3));
}

void PhysicsMesh::GetIntersection(const Ray& ray, Intersection& result, PhysicsSurface excluded) const {
    result.distance = Infinity;
    result.surface = PhysicsSurface::None;
    if (!nodes_.empty()) GetIntersection(0, ray, result, excluded);
}

void PhysicsMesh::GetIntersection(int index, const Ray& ray, Intersection& result, PhysicsSurface excluded) const {
    while (index != -1) {
        const Node& node = nodes_[index];
        // A subtree whose box the ray enters no nearer than the best hit cannot improve on it.
        if (!(node.box.GetIntersection(ray) < result.distance)) return;
        if (node.faceCount > 0) {
            for (int i = node.firstFace; i < node.firstFace + node.faceCount; ++i) {
                const Face& face = faces_[i];
                if (IsExcluded(face.surface, excluded)) continue;
                const float t = IntersectRayTriangle(ray, vertices_[face.vertices[0]], vertices_[face.vertices[1]],
                                                     vertices_[face.vertices[2]]);
                if (t < result.distance) {
                    result.distance = t;
                    result.point = ray.GetPoint(t);
                    result.surface = face.surface;
                }
            }
            return;
        }
        GetIntersection(node.child0, ray, result, excluded);
        index = node.child1;
    }
}

int PhysicsMesh::FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const {
    if (max <= 0 || nodes_.empty()) return 0;
    return FindCollisions(0, box, contacts, max, excluded);
}

void PhysicsMesh::GetIntersection(const Coords& frame, const Ray& ray, Intersection& result,
                                  PhysicsSurface excluded) const {
    const Coords inverse = frame.Inverse();
    GetIntersection(Ray(inverse.TransformPoint(ray.origin), inverse.TransformVector(ray.direction)), result, excluded);
    if (result.distance < Infinity) result.point = ray.GetPoint(result.distance);
}

int PhysicsMesh::FindCollisions(const Coords& frame, const OBBox& box, CollisionContact* contacts, int max,
                                PhysicsSurface excluded) const {
    OBBox local = box;
    local.Transform(frame.Inverse());
    const int count = FindCollisions(local, contacts, max, excluded);
    for (int i = 0; i < count; ++i) {
        contacts[i].position = frame.TransformPoint(contacts[i].position);
        contacts[i].normal = frame.TransformVector(contacts[i].normal);
    }
    return count;
}

int PhysicsMesh::FindCollisions(int index, const OBBox& box, CollisionContact* contacts, int max,
                                PhysicsSurface excluded) const {
    int written = 0;
    while (index != -1 && written < max) {
        const Node& node = nodes_[index];
        if (!TestIntersection(node.box, box)) break;
        if (node.faceCount > 0) {
            for (int i = node.firstFace; i < node.firstFace + node.faceCount && written < max; ++i) {
                const Face& face = faces_[i];
                if (IsExcluded(face.surface, excluded)) continue;
                const Vec3 triangle[3] = {vertices_[face.vertices[0]], vertices_[face.vertices[1]],
                                          vertices_[face.vertices[2]]};
                // The test writes surface None already; the entity is the caller's to fill.
                const int found = CollideTriangleOBBox(triangle, box, contacts + written, max - written);
                for (int j = written; j < written + found; ++j) contacts[j].entity = nullptr;
                written += found;
            }
            break;
        }
        written += FindCollisions(node.child0, box, contacts + written, max - written, excluded);
        index = node.child1;
    }
    return written;
}

void PhysicsMesh::DebugRender(Region* region, const Coords& frame) const {
    if (!nodes_.empty() && Singleton<DebugRenderManager>::HasInstantiated()) DebugRender(0, region, frame);
}

void PhysicsMesh::DebugRender(int node, Region* region, const Coords& frame) const {
    const Node& at = nodes_[static_cast<size_t>(node)];
    Singleton<DebugRenderManager>::Get()->RenderBox(
        region, OBBox(at.box.halfSize, frame * Coords::Translation(at.box.centre)), Color(1.0f, 0.0f, 0.0f, 1.0f));
    if (at.child0 >= 0) DebugRender(at.child0, region, frame);
    if (at.child1 >= 0) DebugRender(at.child1, region, frame);
}

}  // namespace GAME
