#include "scene/GraphicsRenderable.h"

namespace GAME {

float GraphicsRenderable::GetOpacity(int, const Name&) const { return 1.0f; }

bool GraphicsRenderable::GetCastsShadows() const { return false; }

}  // namespace GAME
