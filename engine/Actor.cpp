#include "engine/Actor.h"

#include "files/LoadTable.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(Actor, Entity);

bool Actor::Load(const LoadTable& table) {
    if (!Entity::Load(table)) return false;
    castsShadows_ = table.GetBool("castsShadows", true);
    return true;
}

}  // namespace GAME
