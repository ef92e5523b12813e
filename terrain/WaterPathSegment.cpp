#include "terrain/WaterPathSegment.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/CubicBezier2D.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "render/GraphicsPrimitiveDrawer.h"
#include "render/RenderDevice.h"
#include "terrain/WaterType.h"

namespace GAME {

namespace {

Vec2 Perpendicular(const Vec2& d) { return Vec2(-d.y, d.x); }
float Dot2(const Vec2& a, const Vec2& b) { return a.x * b.x + a.y * b.y; }

}  // namespace

void WaterPathSegment::Build(RenderDevice* device, const ControlPoint& p, const ControlPoint& q, float height,
                             uint32_t endFlags, const LevelGround* ground) {
    GetBezierPoints(p, q, bezier_);
    const float length = CalcBezierLength(p, q, 20);
    // In floats first: a stretch from stored points may be infinitely long (or NaN: no steps).
    numSteps_ = length >= 2.0f ? uint32_t(std::min(length * 0.5f, float(kMaxSteps))) : 0u;
    vertices_.clear();
    DestroyVertexBuffer();

    // The box spans the bank points; a stretch without steps still gets its end points' extent.
    Vec2 low(Infinity, Infinity), high(-Infinity, -Infinity);
    const auto extend = [&](const Vec2& v) {
        low = Vec2(std::min(low.x, v.x), std::min(low.y, v.y));
        high = Vec2(std::max(high.x, v.x), std::max(high.y, v.y));
    };
    if (numSteps_ == 0) {
        for (const ControlPoint* c : {&p, &q}) {
            extend(c->GetPosition() + c->GetNormal() * c->width);
            extend(c->GetPosition() - c->GetNormal() * c->width);
        }
        box_ = ABBox(Vec3((low.x + high.x) * 0.5f, height, (low.y + high.y) * 0.5f),
                     Vec3((high.x - low.x) * 0.5f, 1.0f, (high.y - low.y) * 0.5f));
        return;
    }
    const uint32_t n = numSteps_;
    const float stepLength = CalcBezierLength(p, q, n);

    const Vec2 scale = GetWaterType() ? GetWaterType()->GetSettings().TextureScale : Vec2(1.0f, 1.0f);
    const float repeats = std::max(std::trunc(stepLength / scale.x), 1.0f);

    // The banks: the end points pushed out by their widths, the inner handles by the centre
    // curve's normal at 1/3 and 2/3.
    const auto centreNormal = [&](float t) {
        const Vec2 d = CubicBezier2D(bezier_[0], bezier_[1], bezier_[2], bezier_[3], t + 0.1f) -
                       CubicBezier2D(bezier_[0], bezier_[1], bezier_[2], bezier_[3], t);
        return Perpendicular(d).Unit();
    };
    const Vec2 near = centreNormal(1.0f / 3.0f) * p.width;
    const Vec2 far = centreNormal(2.0f / 3.0f) * q.width;
    const Vec2 left[4] = {p.GetPosition() + p.GetNormal() * p.width, bezier_[1] + near, bezier_[2] + far,
                          q.GetPosition() + q.GetNormal() * q.width};
    const Vec2 right[4] = {p.GetPosition() - p.GetNormal() * p.width, bezier_[1] - near, bezier_[2] - far,
                           q.GetPosition() - q.GetNormal() * q.width};

    vertices_.resize(size_t(n + 1) * kAcross);
    Vec2 previousA, previousB;
    Vec2 directionA = p.GetTangent().Unit();
    Vec2 directionB = directionA;
    float along = 0.0f;
    for (uint32_t i = 0; i <= n; ++i) {
        const float t = float(i) / float(n);
        const Vec2 a = CubicBezier2D(left[0], left[1], left[2], left[3], t);
        const Vec2 b = CubicBezier2D(right[0], right[1], right[2], right[3], t);
        extend(a);
        extend(b);
        if (i > 0) {
            const Vec2 stepA = a - previousA;
            const Vec2 stepB = b - previousB;
            if (stepA.Length() > 0.0f) directionA = stepA.Unit();
            if (stepB.Length() > 0.0f) directionB = stepB.Unit();
            along += (stepA.Length() + stepB.Length()) * 0.5f / stepLength * repeats;
        }
        previousA = a;
        previousB = b;

        uint32_t alpha = 255;
        if (endFlags & kEndsPath) {
            if (i == n) alpha = 0;
            else if (i + 1 == n) alpha = std::min(alpha, 127u);
        }
        if (endFlags & kStartsPath) {
            if (i == 0) alpha = 0;
            else if (i == 1) alpha = std::min(alpha, 127u);
        }
        const float width = (1.0f - t) * p.width + t * q.width;
        for (uint32_t k = 0; k < kAcross; ++k) {
            const float s = float(k) / float(kAcross - 1);
            const Vec2 position = a * (1.0f - s) + b * s;
            const Vec2 d = directionA * (1.0f - s) + directionB * s;
            Vertex& vertex = vertices_[i * kAcross + k];
            vertex.position = Vec3(position.x, height, position.y);
            vertex.texCoord = Vec2(width * s / scale.y, along);
            vertex.flow = Vec2(d.y, -d.x);
            vertex.colour = (alpha << 24) | PackWaterDepth(vertex.position, ground);
        }
    }
    box_ = ABBox(Vec3((low.x + high.x) * 0.5f, height, (low.y + high.y) * 0.5f),
                 Vec3((high.x - low.x) * 0.5f, 1.0f, (high.y - low.y) * 0.5f));

    if (!device) return;
    if (!CreateVertexBuffer(*device, uint32_t(vertices_.size() * sizeof(Vertex)))) {
        Log(LogPriority::Error, "Failed to create vertex buffer for water segment.");
        return;
    }
    WriteBuffer();
}

bool WaterPathSegment::UpdateGeometry(const LevelGround* ground) {
    if (!GetVertexBuffer()) {
        Log(LogPriority::Error, "Failed to update water segment, vertex buffer not allocated.");
        return false;
    }
    for (Vertex& vertex : vertices_) {
        vertex.colour = (vertex.colour & 0xFF000000u) | PackWaterDepth(vertex.position, ground);
    }
    WriteBuffer();
    return true;
}

void WaterPathSegment::WriteBuffer() {
    RenderVertexBuffer* buffer = GetVertexBuffer();
    if (!buffer || vertices_.empty()) return;
    void* out = buffer->Lock();
    if (!out) return;
    std::memcpy(out, vertices_.data(), vertices_.size() * sizeof(Vertex));
    buffer->Unlock();
}

void WaterPathSegment::Render(RenderDevice& device, int) const {
    if (!GetVertexBuffer() || numSteps_ == 0) return;
    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, 0, uint32_t(vertices_.size()), GetNumPrimitives(),
                                0, 0);
}

void WaterPathSegment::DrawOutline(GraphicsPrimitiveDrawer& drawer, const Vec3& offset) const {
    const uint32_t steps = std::max(numSteps_, 1u);
    drawer.Begin(GraphicsPrimitiveDrawer::PrimitiveType::Lines);
    Vec2 previous = bezier_[0];
    for (uint32_t i = 1; i <= steps; ++i) {
        const Vec2 point = CubicBezier2D(bezier_[0], bezier_[1], bezier_[2], bezier_[3], float(i) / float(steps));
        drawer.SetVertex(Vec3(previous.x, 0.0f, previous.y) + offset);
        drawer.SetVertex(Vec3(point.x, 0.0f, point.y) + offset);
        previous = point;
    }
    drawer.End();
}

bool WaterPathSegment::IsInside(const Vec2& point, const ControlPoint& p, const ControlPoint& q, float& t) {
    if (Dot2(point - p.GetPosition(), p.GetTangent()) < 0.0f) return false;
    if (Dot2(point - q.GetPosition(), q.GetTangent()) > 0.0f) return false;
    float low = 0.0f, high = 1.0f;
    while (high - low >= 0.05f) {
        const float middle = (low + high) * 0.5f;
        const Vec2 at = GetBezierPoint(p, q, middle);
        const Vec2 direction = GetBezierPoint(p, q, middle + 0.025f) - at;
        if (Dot2(point - at, direction) > 0.0f) low = middle;
        else high = middle;
    }
    const float found = (low + high) * 0.5f;
    if ((point - GetBezierPoint(p, q, found)).Length() > (1.0f - found) * p.width + found * q.width) return false;
    t = found;
    return true;
}

}  // namespace GAME
