#pragma once
// GLProgramCache: the linked programs by (vertex shader id, pixel shader id). Pairs are linked at
// their first draw and kept until one of their shaders goes. A pair that fails to link is kept as
// an invalid program, so it is not linked again at every draw. Render thread only.
//
// Pairs whose stages have the same source texts share one program: shader files repeat the same
// programs across styles and files, and the driver compiles its variants for each program object
// (dozens of milliseconds each on a software rasteriser), so a program linked once is compiled once.

#include "devices/GLProgram.h"
#include "devices/GLShader.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace GAME {

class GLStateCache;

class GLProgramCache {
public:
    // The program of the pair, linking it on first use (it is then in use).
    GLProgram& Get(GLShader& vertexShader, GLShader& pixelShader, GLStateCache& state);
    // Forgets the pairs that use the shader, and deletes the programs no other pair shares.
    void Forget(uint32_t shaderId, GLStateCache& state);
    void Clear();

private:
    static uint64_t Key(uint32_t vertexId, uint32_t pixelId) { return uint64_t(vertexId) << 32 | pixelId; }

    // A program and the number of pairs that use it, by the pairs' source texts.
    struct Linked {
        std::unique_ptr<GLProgram> program;
        uint32_t pairs = 0;
    };
    std::unordered_map<std::string, Linked> bySource_;
    std::unordered_map<uint64_t, std::string> sources_;  // the source key of each pair
    std::unordered_map<uint64_t, GLProgram*> programs_;  // by pair
};

}  // namespace GAME
