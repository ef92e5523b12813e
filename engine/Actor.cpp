#include "engine/Actor.h"

#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "physics/PhysicsEngine.h"

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

void Actor::SetVelocity(const Vec3& velocity) {
    if (PhysicsEngine* physics = gEngine != nullptr ? gEngine->GetPhysicsEngine() : nullptr)
        physics->SetEntityLinearVelocity(this, velocity);
}

Vec3 Actor::GetVelocity() const {
    const PhysicsEngine* physics = gEngine != nullptr ? gEngine->GetPhysicsEngine() : nullptr;
    return physics != nullptr ? physics->GetEntityLinearVelocity(this) : Vec3();
}

}  // namespace GAME
