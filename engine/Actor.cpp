#include "engine/Actor.h"

#include "files/LoadTable.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Actor, Entity);

bool Actor::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    castsShadows_ = table.GetBool("castsShadows", true);
    baseTexture_ = table.GetValue("baseTexture", "");
    bumpTexture_ = table.GetValue("bumpTexture", "");
    shader_ = table.GetValue("shader", "");
    scale_ = table.GetFloat("scale", 1.0f);
    SetMesh(table.GetValue("mesh", ""));
    return true;
}

}  // namespace GAME
