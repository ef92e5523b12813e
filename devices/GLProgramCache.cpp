#include "devices/GLProgramCache.h"

#include "devices/GLStateCache.h"

namespace GAME {

GLProgram& GLProgramCache::Get(GLShader& vertexShader, GLShader& pixelShader, GLStateCache& state) {
    std::unique_ptr<GLProgram>& slot = programs_[Key(vertexShader.GetId(), pixelShader.GetId())];
    if (!slot) {
        slot = std::make_unique<GLProgram>(vertexShader.GetObject(), pixelShader.GetObject(), state);
    }
    return *slot;
}

void GLProgramCache::Forget(uint32_t shaderId, GLStateCache& state) {
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (uint32_t(it->first >> 32) == shaderId || uint32_t(it->first) == shaderId) {
            state.ForgetProgram(it->second->GetName());
            it = programs_.erase(it);
        } else {
            ++it;
        }
    }
}

void GLProgramCache::Clear() {
    programs_.clear();
}

}  // namespace GAME
