#include "scene/GMIEffect.h"

#include "scene/GMIEffectListener.h"
#include "scene/GraphicsMeshInstance.h"

namespace GAME {

void GMIEffect::SetShaderParameters(const GraphicsShader2&) const {}

void GMIEffect::Finish() {
    if (listener_ != nullptr) listener_->OnGMIEffectFinished(id_);
    if (instance_ != nullptr) instance_->RetireGMIEffect(this);
}

}  // namespace GAME
