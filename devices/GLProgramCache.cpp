#include "devices/GLProgramCache.h"

#include "devices/GLStateCache.h"

namespace GAME {

GLProgram& GLProgramCache::Get(GLShader& vertexShader, GLShader& pixelShader, GLStateCache& state) {
    const uint64_t pair = Key(vertexShader.GetId(), pixelShader.GetId());
    GLProgram*& slot = programs_[pair];
    if (slot == nullptr) {
        // The texts joined by a character GLSL source never holds.
        std::string source = vertexShader.GetSource() + '\0' + pixelShader.GetSource();
        Linked& linked = bySource_[source];
        if (!linked.program) {
            linked.program = std::make_unique<GLProgram>(vertexShader.GetObject(), pixelShader.GetObject(), state);
        }
        ++linked.pairs;
        sources_[pair] = std::move(source);
        slot = linked.program.get();
    }
    return *slot;
}

void GLProgramCache::Forget(uint32_t shaderId, GLStateCache& state) {
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (uint32_t(it->first >> 32) != shaderId && uint32_t(it->first) != shaderId) {
            ++it;
            continue;
        }
        const auto source = sources_.find(it->first);
        const auto linked = bySource_.find(source->second);
        if (--linked->second.pairs == 0) {
            state.ForgetProgram(linked->second.program->GetName());
            bySource_.erase(linked);
        }
        sources_.erase(source);
        it = programs_.erase(it);
    }
}

void GLProgramCache::Clear() {
    programs_.clear();
    sources_.clear();
    bySource_.clear();
}

}  // namespace GAME
