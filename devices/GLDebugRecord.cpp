#include "devices/GLDebugRecord.h"

#include <cstdio>

namespace GAME {

void GLDebugRecord::BeginFrame() {
    drawCalls_ = 0;
    faces_ = 0;
    limit_ = pendingLimit_;
    if (limit_ == kNoLimit) {
        current_ = previous_ = Labels();
        labelsUsed_ = lastIsCurrent_ = false;
    }
}

void GLDebugRecord::SetLabels(const char* shader, const char* style, const char* object) {
    if (limit_ == kNoLimit) return;
    if (labelsUsed_) {
        previous_ = current_;
        labelsUsed_ = false;
    }
    lastIsCurrent_ = false;
    current_.shader = shader != nullptr ? shader : "";
    current_.style = style != nullptr ? style : "";
    current_.object = object != nullptr ? object : "";
}

void GLDebugRecord::FormatInfoLines() const {
    if (formattedSerial_ == serial_) {
        return;
    }
    formattedSerial_ = serial_;
    infoLines_.clear();
    if (serial_ == 0) {
        return;
    }
    char line[256];
    std::snprintf(line, sizeof(line), "draw: %s, primitive type %u, %u primitives", last_.kind, last_.primitiveType,
                  last_.primitiveCount);
    infoLines_.emplace_back(line);
    std::snprintf(line, sizeof(line), "programs: vertex %u, pixel %u (0: the device's own)", last_.vertexShader,
                  last_.pixelShader);
    infoLines_.emplace_back(line);
    int length = std::snprintf(line, sizeof(line), "textures:");
    for (int stage = 0; stage < 8 && length < int(sizeof(line)); ++stage) {
        if (last_.textures[stage] != nullptr) {
            length += std::snprintf(line + length, sizeof(line) - size_t(length), " %d=%p", stage, last_.textures[stage]);
        }
    }
    infoLines_.emplace_back(line);
    std::snprintf(line, sizeof(line), "blend %u/%u, depth function %u write %s, alpha test %u reference %.3f",
                  last_.sourceBlend, last_.destinationBlend, last_.depthFunction, last_.depthWrite ? "on" : "off",
                  last_.alphaFunction, double(last_.alphaReference));
    infoLines_.emplace_back(line);
}

uint32_t GLDebugRecord::GetNumInfoLines() const {
    FormatInfoLines();
    return uint32_t(infoLines_.size());
}

const char* GLDebugRecord::GetInfoLine(uint32_t index) const {
    FormatInfoLines();
    return index < infoLines_.size() ? infoLines_[index].c_str() : nullptr;
}

}  // namespace GAME
