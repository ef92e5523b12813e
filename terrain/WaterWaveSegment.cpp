#include "terrain/WaterWaveSegment.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/CubicBezier2D.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/Random.h"
#include "render/RenderDevice.h"

namespace GAME {

namespace {

constexpr uint32_t kFaceColumns = 4;
constexpr uint32_t kEdgeColumns = 2;

// NaN (a roller of stored NaN speed) fades out altogether.
uint32_t FadeColour(float fade) { return uint32_t((fade > 0.0f ? std::min(fade, 1.0f) : 0.0f) * 255.0f) << 24; }

}  // namespace

Vec2 WaterWaveSegment::CurvePoint(float t) const { return CubicBezier2D(bezier_[0], bezier_[1], bezier_[2], bezier_[3], t); }

uint32_t WaterWaveSegment::GetRollerStart(int roller) const {
    return numBands_ * 4 + uint32_t(roller) * (numRollerSteps_ + 1) * (kFaceColumns + kEdgeColumns);
}

void WaterWaveSegment::NewRollerShape(Roller& roller) {
    roller.width = 0.6f + 0.4f * Rand15Float();
    roller.offset = Rand15Float() * (1.0f - roller.width);
}

void WaterWaveSegment::Build(RenderDevice* device, const ControlPoint& p, const ControlPoint& q, float height) {
    GetBezierPoints(p, q, bezier_);
    length_ = CalcBezierLength(p, q, 20);
    const float spacing = std::max(params_->waveSpacing, 0.001f);
    numRollerSteps_ = std::isnan(length_) ? 8u : uint32_t(std::clamp(length_, 8.0f, float(kMaxRollerSteps)));
    const float bands = length_ / (spacing * 0.5f);
    numBands_ = std::isnan(bands) ? 1u : uint32_t(std::clamp(bands, 1.0f, float(kMaxBands)));
    drawnHeight_ = height + 0.1f;
    startWidth_ = p.width;
    endWidth_ = q.width;
    hasRollers_ = p.width > 1.0f && q.width > 1.0f;

    if (!randomised_) {
        randomised_ = true;
        for (float& phase : phases_) phase = 2.0f * Rand15Float();
        const float r = Rand15Float();
        for (int i = 0; i < 2; ++i) {
            NewRollerShape(rollers_[i]);
            rollers_[i].position = float(i) + 2.0f * r - 1.0f;
            if (rollers_[i].position > 1.0f) rollers_[i].position -= 2.0f;
        }
    }

    const uint32_t numVertices = hasRollers_ ? GetRollerStart(2) : numBands_ * 4;
    vertices_.assign(numVertices, Vertex{});
    if (device && !CreateVertexBuffer(*device, numVertices * uint32_t(sizeof(Vertex)), RenderDevice::kBufferDynamic)) {
        Log(LogPriority::Error, "Failed to create vertex buffer for water wave segment.");
    }

    rollerDirections_[0] = (CurvePoint(0.4333f) - CurvePoint(1.0f / 3.0f)).Unit();
    rollerDirections_[1] = (CurvePoint(0.7667f) - CurvePoint(2.0f / 3.0f)).Unit();
    Vec2 low(Infinity, Infinity), high(-Infinity, -Infinity);
    for (int i = 0; i <= 20; ++i) {
        const Vec2 point = CurvePoint(float(i) / 20.0f);
        low = Vec2(std::min(low.x, point.x), std::min(low.y, point.y));
        high = Vec2(std::max(high.x, point.x), std::max(high.y, point.y));
    }
    box_ = ABBox(Vec3((low.x + high.x) * 0.5f, drawnHeight_, (low.y + high.y) * 0.5f),
                 Vec3((high.x - low.x) * 0.5f, 1.0f, (high.y - low.y) * 0.5f));
}

void WaterWaveSegment::UpdateWaves(int elapsedMs) {
    RenderVertexBuffer* buffer = GetVertexBuffer();
    if (!buffer || elapsedMs <= 0) return;
    const float seconds = std::min(float(elapsedMs) * 0.001f, 1.0f);
    WriteBands(seconds * 0.333f);
    if (hasRollers_) {
        for (int i = 0; i < 2; ++i) {
            Roller& roller = rollers_[i];
            roller.position -= (std::fabs(roller.position) + 0.5f) * params_->rollerSpeed * seconds * 0.1f;
            if (roller.position < -1.0f) {
                roller.position += 2.0f;
                NewRollerShape(roller);
            }
            WriteRoller(i);
        }
    }
    void* out = buffer->Lock();
    if (!out) return;
    std::memcpy(out, vertices_.data(), vertices_.size() * sizeof(Vertex));
    buffer->Unlock();
}

void WaterWaveSegment::WriteBands(float step) {
    const float bandLength = length_ / float(numBands_);
    for (uint32_t k = 0; k < numBands_; ++k) {
        const float ph = phases_[k];
        phases_[k] += step;
        if (phases_[k] > 2.0f) phases_[k] = 0.0f;

        const Vec2 q = CurvePoint(float(k) / float(numBands_));
        const Vec2 dir = (CurvePoint(float(k + 1) / float(numBands_)) - q).Unit();
        const Vec2 nrm(dir.y, -dir.x);
        const float a = (ph - 1.0f) * 0.5f - 1.0f;
        const float e = a + ph * bandLength + 0.5f;
        const float g = ph * bandLength * 0.5f + 1.0f;
        const float y0 = drawnHeight_;
        const float y1 = y0 + ph * bandLength * 0.25f;
        const float fade = 1.0f - std::fabs(ph - 1.0f);
        const uint32_t colour = FadeColour(fade * fade * fade);
        const Vec2 corners[4] = {q + nrm * a + dir * g, q + nrm * e + dir * g, q + nrm * e - dir * g, q + nrm * a - dir * g};
        const float heights[4] = {y0, y1, y1, y0};
        const Vec2 texCoords[4] = {Vec2(1, 0), Vec2(1, 1), Vec2(0, 1), Vec2(0, 0)};
        for (int c = 0; c < 4; ++c) {
            vertices_[k * 4 + uint32_t(c)] = {Vec3(corners[c].x, heights[c], corners[c].y), texCoords[c], dir, colour};
        }
    }
}

void WaterWaveSegment::WriteRoller(int index) {
    const Roller& roller = rollers_[index];
    const Vec2 dir = rollerDirections_[index];
    const Vec2 across(dir.y, -dir.x);
    const float s = roller.position;
    const uint32_t colour = FadeColour(1.0f - std::pow(std::fabs(s), 7.0f));
    const float lift = (1.0f - (s * 0.5f + 0.5f)) * params_->rollerHeight;
    const uint32_t rows = numRollerSteps_ + 1;
    Vertex* face = vertices_.data() + GetRollerStart(index);
    Vertex* edge = face + rows * kFaceColumns;
    static constexpr float kFaceAcross[kFaceColumns] = {-0.5f, -1.0f / 6.0f, 1.0f / 6.0f, 0.5f};
    static constexpr float kFaceLift[kFaceColumns] = {0.0f, 1.0f, 0.5f, 0.0f};
    for (uint32_t j = 0; j < rows; ++j) {
        const float along = float(j) / float(numRollerSteps_);
        const float t = roller.offset + roller.width * along;
        const Vec2 centre = CurvePoint(t) + across * (s * ((1.0f - t) * startWidth_ + t * endWidth_));
        for (uint32_t c = 0; c < kFaceColumns; ++c) {
            const Vec2 p = centre + across * kFaceAcross[c];
            face[j * kFaceColumns + c] = {Vec3(p.x, drawnHeight_ + lift * kFaceLift[c], p.y),
                                          Vec2(along, float(c) / 3.0f), dir, colour};
        }
        for (uint32_t c = 0; c < kEdgeColumns; ++c) {
            const Vec2 p = centre + across * (0.5f + 0.25f * float(c));
            edge[j * kEdgeColumns + c] = {Vec3(p.x, drawnHeight_, p.y), Vec2(along, float(c)), dir, colour};
        }
    }
}

void WaterWaveSegment::Render(RenderDevice& device, int pass) const {
    if (!GetVertexBuffer()) return;
    const uint32_t rows = numRollerSteps_ + 1;
    const uint32_t strip = numRollerSteps_ * 2;
    if ((pass == 0 || pass == 1) && (params_->drawFlags & WaveParams::kDrawRollers) && hasRollers_) {
        for (int i = 0; i < 2; ++i) {
            const int32_t face = int32_t(GetRollerStart(i));
            if (pass == 0) {
                for (uint32_t c = 0; c + 1 < kFaceColumns; ++c) {
                    device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, face, rows * kFaceColumns, strip,
                                                kRollerStripStart + c * (kMaxRollerSteps + 1) * 2, 0);
                }
            } else {
                device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleStrip, face + int32_t(rows * kFaceColumns),
                                            rows * kEdgeColumns, strip, kEdgeStripStart, 0);
            }
        }
    } else if (pass == 2 && (params_->drawFlags & WaveParams::kDrawBands)) {
        device.DrawIndexedPrimitive(RenderPrimitiveType::TriangleList, 0, numBands_ * 4, numBands_ * 2, 0, 0);
    }
}

void WaterWaveSegment::WriteIndexPattern(uint16_t (&indices)[kNumIndices]) {
    uint32_t k = 0;
    for (uint32_t quad = 0; quad < kMaxBands; ++quad) {
        for (const uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u}) indices[k++] = uint16_t(quad * 4 + corner);
    }
    for (uint32_t column = 0; column + 1 < kFaceColumns; ++column) {
        for (uint32_t i = 0; i <= kMaxRollerSteps; ++i) {
            indices[k++] = uint16_t(kFaceColumns * i + column);
            indices[k++] = uint16_t(kFaceColumns * i + column + 1);
        }
    }
    for (uint32_t i = 0; i <= kMaxRollerSteps; ++i) {
        indices[k++] = uint16_t(kEdgeColumns * i);
        indices[k++] = uint16_t(kEdgeColumns * i + 1);
    }
}

}  // namespace GAME
