#include "effects/DecalType.h"

#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "render/GraphicsEngine.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(DecalType, Object);

DecalType::~DecalType() { Unload(); }

bool DecalType::Load(const LoadTable& table) {
    if (!Object::Load(table)) return false;
    Unload();
    width_ = table.GetFloat("width", 1.0f);
    height_ = table.GetFloat("height", 1.0f);
    texture_ = table.LoadTexture("texture", 0);
    shader_ = table.LoadShader2("shader", 0);
    return true;
}

void DecalType::Unload() {
    GraphicsEngine* const graphics = GetEngineGraphics();
    if (graphics == nullptr) return;
    if (texture_ != nullptr) graphics->UnloadTexture(texture_);
    if (shader_ != nullptr) graphics->UnloadShader2(shader_);
    texture_ = nullptr;
    shader_ = nullptr;
}

}  // namespace GAME
