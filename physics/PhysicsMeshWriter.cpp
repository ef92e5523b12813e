#include "physics/PhysicsMeshWriter.h"

#include "core/ABBox.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "files/BinaryWriter.h"

#include <utility>

namespace GAME {

namespace {

// Runs shorter than this are not split.
constexpr int kMinFacesToSplit = 10;

float Component(const Vec3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

class TreeBuilder {
public:
    TreeBuilder(mem::vector<PhysicsMesh::Face>& faces, const mem::vector<Vec3>& vertices,
                mem::vector<PhysicsMesh::Node>& nodes)
        : faces_(faces), vertices_(vertices), nodes_(nodes) {}

    // Builds the node over faces [first, first + count) and its subtree; returns its index.
    int Build(int first, int count, int level) {
        const int index = static_cast<int>(nodes_.size());
        nodes_.emplace_back();
        nodes_[index].box = Bounds(first, count);
        const int front = level + 1 < PhysicsMesh::kMaxTreeDepth ? Split(first, count, nodes_[index].box) : 0;
        if (front == 0) {
            nodes_[index].firstFace = first;
            nodes_[index].faceCount = count;
            return index;
        }
        const int child0 = Build(first, front, level + 1);
        const int child1 = Build(first + front, count - front, level + 1);
        nodes_[index].child0 = child0;
        nodes_[index].child1 = child1;
        return index;
    }

private:
    ABBox Bounds(int first, int count) const {
        Vec3 min(Infinity, Infinity, Infinity);
        Vec3 max(-Infinity, -Infinity, -Infinity);
        for (int i = first; i < first + count; ++i) {
            for (const uint32_t v : faces_[i].vertices) {
                min = Min(min, vertices_[v]);
                max = Max(max, vertices_[v]);
            }
        }
        return ABBox((min + max) * 0.5f, (max - min) * 0.5f);
    }

    // Moves the faces below the mean to the front of the run and returns how many there are, or 0
    // when the run stays a leaf.
    int Split(int first, int count, const ABBox& box) {
        if (count < kMinFacesToSplit) return 0;
        const Vec3& h = box.halfSize;
        const int widest = (h.x >= h.y && h.x >= h.z) ? 0 : (h.y >= h.z ? 1 : 2);
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int axis = (widest + attempt) % 3;
            float sum = 0.0f;
            for (int i = first; i < first + count; ++i) sum += CentroidSum(faces_[i], axis);
            const float mean = sum / float(3 * count);
            // A failed attempt moves nothing (no face below) or swaps each face with itself (all below).
            int front = first;
            for (int i = first; i < first + count; ++i) {
                if (CentroidSum(faces_[i], axis) * 0.33333334f < mean) std::swap(faces_[i], faces_[front++]);
            }
            const int below = front - first;
            if (below > 0 && below < count) return below;
        }
        return 0;
    }

    float CentroidSum(const PhysicsMesh::Face& face, int axis) const {
        return Component(vertices_[face.vertices[0]], axis) + Component(vertices_[face.vertices[1]], axis) +
               Component(vertices_[face.vertices[2]], axis);
    }

    mem::vector<PhysicsMesh::Face>& faces_;
    const mem::vector<Vec3>& vertices_;
    mem::vector<PhysicsMesh::Node>& nodes_;
};

}  // namespace

bool PhysicsMeshWriter::BuildTree(mem::vector<PhysicsMesh::Face>& faces, const mem::vector<Vec3>& vertices,
                                  mem::vector<PhysicsMesh::Node>& nodes) {
    nodes.clear();
    for (size_t i = 0; i < faces.size(); ++i) {
        for (const uint32_t index : faces[i].vertices) {
            if (index >= vertices.size()) {
                Log(LogPriority::Error, "Physics mesh writer: face %zu uses vertex %u of %zu", i, index, vertices.size());
                return false;
            }
        }
    }
    for (size_t i = 0; i < vertices.size(); ++i) {
        if (!vertices[i].IsValid()) {
            Log(LogPriority::Error, "Physics mesh writer: vertex %zu is not a finite point", i);
            return false;
        }
    }
    if (!faces.empty()) TreeBuilder(faces, vertices, nodes).Build(0, static_cast<int>(faces.size()), 0);
    return true;
}

bool PhysicsMeshWriter::Write(BinaryWriter& writer, mem::vector<PhysicsMesh::Face> faces,
                              const mem::vector<Vec3>& vertices) {
    mem::vector<PhysicsMesh::Node> nodes;
    if (!BuildTree(faces, vertices, nodes)) return false;

    writer.Write(static_cast<unsigned int>(PhysicsMesh::kVersion));
    writer.Write(static_cast<unsigned int>(faces.size()));
    writer.Write(static_cast<unsigned int>(vertices.size()));
    writer.Write(static_cast<unsigned int>(nodes.size()));
    for (const PhysicsMesh::Face& face : faces) {
        for (const uint32_t index : face.vertices) writer.Write(static_cast<unsigned int>(index));
        writer.Write(static_cast<int>(face.surface));
    }
    for (const Vec3& vertex : vertices) writer.Write(vertex);
    // The file keeps the face range before the children.
    for (const PhysicsMesh::Node& node : nodes) {
        writer.Write(node.box.centre);
        writer.Write(node.box.halfSize);
        writer.Write(static_cast<unsigned int>(node.firstFace));
        writer.Write(static_cast<unsigned int>(node.faceCount));
        writer.Write(node.child0);
        writer.Write(node.child1);
    }
    return !writer.Failed();
}

}  // namespace GAME
