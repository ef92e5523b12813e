#pragma once
// GLProgramCache: the linked programs by (vertex shader id, pixel shader id). Pairs are linked at
// their first draw and kept until one of their shaders goes. A pair that fails to link is kept as
// an invalid program, so it is not linked again at every draw. Render thread only.

#include "devices/GLProgram.h"
#include "devices/GLShader.h"

#include <memory>
#include <unordered_map>

namespace GAME {

class GLStateCache;

class GLProgramCache {
public:
    // The program of the pair, linking it on first use (it is then in use).
    GLProgram& Get(GLShader& vertexShader, GLShader& pixelShader, GLStateCache& state);
    // Deletes the programs that use the shader.
    void Forget(uint32_t shaderId, GLStateCache& state);
    void Clear();
    size_t GetCount() const { return programs_.size(); }

private:
    static uint64_t Key(uint32_t vertexId, uint32_t pixelId) { return uint64_t(vertexId) << 32 | pixelId; }

    std::unordered_map<uint64_t, std::unique_ptr<GLProgram>> programs_;
};

}  // namespace GAME
