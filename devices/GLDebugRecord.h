#pragma once
// GLDebugRecord: the device's statistics and render-debugger bookkeeping: draw-call and face
// counts of the frame, the draw-call limit, the labels set with SetDebugName and what the last
// executed draw call used (shown as info lines). Main thread only.
//
// Recording costs a few stores per draw; the info lines are only formatted when asked for. Labels
// are kept only in frames with a draw-call limit, which the render debugger sets while it shows:
// other frames copy no label text at every draw.

#include <cstdint>
#include <string>
#include <vector>

namespace GAME {

// What one draw call used, kept for the info lines of the last executed draw.
struct GLDrawSnapshot {
    const char* kind = "";           // "indexed", "primitive", "rect", "textured rect", "fan", "text"
    uint32_t primitiveType = 0;      // RenderPrimitiveType
    uint32_t primitiveCount = 0;
    uint32_t vertexShader = 0;       // shader ids; 0 for the device's own
    uint32_t pixelShader = 0;
    const void* textures[8] = {};    // RenderTexture pointers by stage
    uint32_t sourceBlend = 0;        // RenderBlendFactor
    uint32_t destinationBlend = 0;
    uint32_t depthFunction = 0;      // RenderTestFunction
    bool depthWrite = false;
    uint32_t alphaFunction = 0;      // RenderTestFunction
    float alphaReference = 0.0f;
};

class GLDebugRecord {
public:
    static constexpr uint32_t kNoLimit = 0xFFFFFFFFu;

    // A new frame: counters to 0, and the limit set for it takes effect.
    void BeginFrame();
    // Counts a draw call; true when it is within the frame's limit.
    bool CountDrawCall() { return ++drawCalls_ <= limit_; }
    void CountFaces(uint32_t faces) { faces_ += faces; }
    // The last executed draw call: its labels are the current ones and it used what is described.
    void RecordExecuted(const GLDrawSnapshot& snapshot) {
        labelsUsed_ = true;
        lastIsCurrent_ = true;
        last_ = snapshot;
        ++serial_;
    }

    uint32_t GetDrawCalls() const { return drawCalls_; }
    uint32_t GetFaces() const { return faces_; }
    // Draw calls to execute from the next frame on.
    void SetDrawCallLimit(uint32_t limit) { pendingLimit_ = limit; }

    void SetLabels(const char* shader, const char* style, const char* object);
    const char* GetLastShaderName() const { return (lastIsCurrent_ ? current_ : previous_).shader.c_str(); }
    const char* GetLastStyleName() const { return (lastIsCurrent_ ? current_ : previous_).style.c_str(); }
    const char* GetLastObjectName() const { return (lastIsCurrent_ ? current_ : previous_).object.c_str(); }

    uint32_t GetNumInfoLines() const;
    const char* GetInfoLine(uint32_t index) const;

private:
    struct Labels {
        std::string shader;
        std::string style;
        std::string object;
    };
    void FormatInfoLines() const;

    uint32_t drawCalls_ = 0;
    uint32_t faces_ = 0;
    uint32_t limit_ = kNoLimit;
    uint32_t pendingLimit_ = kNoLimit;

    Labels current_;             // set by SetLabels
    Labels previous_;            // the labels of the last executed draw, once current_ changed
    bool labelsUsed_ = false;    // a draw executed under current_
    bool lastIsCurrent_ = false; // the last executed draw used current_

    GLDrawSnapshot last_;
    uint64_t serial_ = 0;                       // executed draws so far
    mutable uint64_t formattedSerial_ = 0;      // the draw the lines describe
    mutable std::vector<std::string> infoLines_;
};

}  // namespace GAME
