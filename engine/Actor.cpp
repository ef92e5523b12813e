#include "engine/Actor.h"

#include "core/Log.h"
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
    const std::string mesh = table.GetValue("mesh", "");
    // A record without the field names no mesh; one whose value is empty was cut or left unfinished.
    if (mesh.empty() && table.HasField("mesh"))
        Log(LogPriority::Warning, "Record %s has an empty mesh value; its actor has no mesh",
            table.GetRecordName().c_str());
    SetMesh(mesh);
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
