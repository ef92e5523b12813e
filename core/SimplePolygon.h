#pragma once
// SimplePolygon: an outline on the ground plane, as tile contours give it: an ordered list of
// 24-byte vertices, each a 2-D position (x, z), a height and three further floats (a direction or
// a normal, as the source says). The last vertex joins the first.

#include <cstddef>
#include <utility>

#include "core/Mem.h"

namespace GAME {

class SimplePolygon {
public:
    struct Vertex {
        float x = 0.0f;
        float z = 0.0f;
        float height = 0.0f;
        float extra[3] = {0.0f, 0.0f, 0.0f};
    };

    SimplePolygon() = default;
    explicit SimplePolygon(mem::vector<Vertex> vertices) : vertices_(std::move(vertices)) {}

    size_t Size() const { return vertices_.size(); }
    const Vertex& operator[](size_t i) const { return vertices_[i]; }

private:
    mem::vector<Vertex> vertices_;
};

}  // namespace GAME
