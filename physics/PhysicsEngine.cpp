#include "physics/PhysicsEngine.h"

#include "core/CriticalSectionLock.h"
#include "core/Log.h"
#include "core/Singleton.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "physics/PhysicsWorld.h"
#include "render/DebugRenderManager.h"

#include <ode/ode.h>

#include <algorithm>
#include <cstdarg>
#include <limits>

namespace GAME {

static_assert(sizeof(dReal) == sizeof(double), "the physics helpers convert to double-precision bodies");

namespace {

void LogOdeMessage(LogPriority priority, int number, const char* format, va_list args) {
    char text[512];
    vsnprintf(text, sizeof(text), format, args);
    Log(priority, "Physics library message %d: %s", number, text);
}
void OdeError(int number, const char* format, va_list args) { LogOdeMessage(LogPriority::Error, number, format, args); }
void OdeDebug(int number, const char* format, va_list args) { LogOdeMessage(LogPriority::Error, number, format, args); }
void OdeMessage(int number, const char* format, va_list args) { LogOdeMessage(LogPriority::Warning, number, format, args); }

// The library is started once per process and closed at exit.
struct OdeLibrary {
    OdeLibrary() {
        dInitODE2(0);
        dSetErrorHandler(OdeError);
        dSetDebugHandler(OdeDebug);
        dSetMessageHandler(OdeMessage);
    }
    ~OdeLibrary() { dCloseODE(); }
    OdeLibrary(const OdeLibrary&) = delete;
    OdeLibrary& operator=(const OdeLibrary&) = delete;
};

bool IsSimulatedType(Entity::PhysicsType type) {
    return type == Entity::PhysicsType::RigidBody || type == Entity::PhysicsType::RagDoll;
}

}  // namespace

PhysicsEngine::PhysicsEngine() = default;

PhysicsEngine::~PhysicsEngine() { Shutdown(); }

bool PhysicsEngine::Initialize(PhysicsWorld* world) {
    static OdeLibrary library;
    Shutdown();
    physicsWorld_ = world;
    world_ = dWorldCreate();
    contactGroup_ = dJointGroupCreate(0);
    debugging_ = false;
    stats_ = false;
    dWorldSetGravity(world_, 0.0, -9.81, 0.0);
    return true;
}

void PhysicsEngine::Shutdown() {
    if (contactGroup_ != nullptr) {
        dJointGroupDestroy(contactGroup_);
        contactGroup_ = nullptr;
    }
    if (world_ != nullptr) {
        dWorldDestroy(world_);
        world_ = nullptr;
    }
}

void PhysicsEngine::SetConstants(float stepSize, float erp, float cfm, int iterations) {
    stepSize_ = stepSize;
    erp_ = erp;
    cfm_ = cfm;
    iterations_ = iterations;
}

Entity* PhysicsEngine::ResolveEntity(uint32_t id) {
    Object* object = Singleton<ObjectManager>::Get()->GetObject(id);
    if (object == nullptr || !object->GetRTTIClassInfo()->IsA(&Entity::classInfo)) return nullptr;
    return static_cast<Entity*>(object);
}

Entity* PhysicsEngine::GetEntity(size_t i) const {
    Entity* const entity = resolved_[i];
    return entity != nullptr && !entity->IsDestroyed() ? entity : nullptr;
}

bool PhysicsEngine::AddEntityToSimulation(Entity* entity) {
    CriticalSectionLock hold(lock_);
    if (!entity->IsInWorld()) {
        Log(LogPriority::Warning, "Entity %s added to simulation but not in the world.", entity->GetObjectName().c_str());
        return false;
    }
    if (centre_.GetRegion() == nullptr) {
        Log(LogPriority::Warning, "Attempting to add entity %s to physics system before initialization.",
            entity->GetObjectName().c_str());
        return false;
    }
    if (!entity->IsSimulationEnabled() && IsSimulatedType(entity->GetPhysicsType())) {
        entity->CreatePhysicsObject(*this);
        entity->GetPhysicsObject()->Init(centre_);
        pendingEntities_.push_back(entity->GetObjectId());
    }
    return true;
}

void PhysicsEngine::RemoveEntityFromSimulation(Entity* entity) {
    CriticalSectionLock hold(lock_);
    if (entity->IsSimulationEnabled()) entity->DestroyPhysicsObject();
}

void PhysicsEngine::RemoveAllEntities() {
    CriticalSectionLock hold(lock_);
    for (uint32_t id : entities_) {
        Entity* entity = ResolveEntity(id);
        if (entity != nullptr && entity->IsSimulationEnabled()) entity->DestroyPhysicsObject();
    }
    entities_.clear();
}

void PhysicsEngine::SetEntityLinearVelocity(Entity* entity, const Vec3& velocity) {
    if (AddEntityToSimulation(entity) && entity->IsSimulationEnabled()) entity->GetPhysicsObject()->SetLinearVelocity(velocity);
}

void PhysicsEngine::SetEntityAngularVelocity(Entity* entity, const Vec3& velocity) {
    if (IsSimulatedType(entity->GetPhysicsType()) && AddEntityToSimulation(entity))
        entity->GetPhysicsObject()->SetAngularVelocity(velocity);
}

void PhysicsEngine::AddForceToEntity(Entity* entity, const Vec3& force) {
    if (IsSimulatedType(entity->GetPhysicsType()) && AddEntityToSimulation(entity)) entity->GetPhysicsObject()->AddForce(force);
}

void PhysicsEngine::AddForceToEntity(Entity* entity, const Vec3& force, const WorldVec3& position) {
    if (IsSimulatedType(entity->GetPhysicsType()) && AddEntityToSimulation(entity))
        entity->GetPhysicsObject()->AddForce(force, position);
}

void PhysicsEngine::SetEntityMaxFallVelocity(Entity* entity, float velocity) {
    if (entity->IsSimulationEnabled()) entity->GetPhysicsObject()->SetMaxFallVelocity(velocity);
}

Vec3 PhysicsEngine::GetEntityLinearVelocity(const Entity* entity) const {
    return entity->IsSimulationEnabled() ? entity->GetPhysicsObject()->GetLinearVelocity() : Vec3();
}

int PhysicsEngine::CountSteps(float elapsed, float stepSize, int maxSteps) {
    int steps = 0;
    while (elapsed > stepSize && steps < maxSteps) {
        elapsed -= stepSize;
        ++steps;
    }
    return elapsed > 0.0f ? steps + 1 : steps;
}

void PhysicsEngine::Update(const WorldVec3& centre) {
    CriticalSectionLock hold(lock_);
    timer_.Update(false);
    Simulate(centre, static_cast<float>(timer_.GetElapsedTime()) * 0.001f);
}

void PhysicsEngine::Simulate(const WorldVec3& centre, float elapsed) {
    CriticalSectionLock hold(lock_);
    centre_ = centre;
    entities_.insert(entities_.end(), pendingEntities_.begin(), pendingEntities_.end());
    pendingEntities_.clear();
    resolved_.clear();
    for (uint32_t id : entities_) resolved_.push_back(ResolveEntity(id));
    SynchronizeGravity();
    dWorldSetERP(world_, erp_);
    dWorldSetCFM(world_, cfm_);
    const int steps = CountSteps(elapsed, stepSize_, kMaxSteps);
    for (int step = 0; step < steps; ++step) {
        if (!RunSimulation(stepSize_, iterations_)) break;
    }
    DebugRender();
    if (stats_ && gEngine != nullptr) gEngine->AddStatisticText("%d entities in physics simulation", GetNumEntities());
}

bool PhysicsEngine::RunSimulation(float stepSize, int iterations) {
    UpdateSimulationFromEntities();
    FindCollisions();
    dWorldSetQuickStepNumIterations(world_, iterations);
    const bool stepped = dWorldQuickStep(world_, stepSize) != 0;
    dJointGroupEmpty(contactGroup_);
    if (!stepped) {
        // The library could not get its working memory; every body is as it was, so the entities
        // stay where they are and the next frame tries again.
        Log(LogPriority::Error, "Physics step failed: out of memory for %d simulated entities.", GetNumEntities());
        return false;
    }
    UpdateEntitiesFromSimulation();
    RemoveNonSimulatedEntities();
    return true;
}

void PhysicsEngine::SynchronizeGravity() {
    for (size_t i = 0; i < entities_.size(); ++i) {
        Entity* entity = GetEntity(i);
        if (entity != nullptr && entity->IsSimulationEnabled()) entity->GetPhysicsObject()->SetGravityMode(entity->GetGravityEnabled());
    }
}

void PhysicsEngine::UpdateSimulationFromEntities() {
    for (size_t i = 0; i < entities_.size(); ++i) {
        Entity* entity = GetEntity(i);
        if (entity != nullptr && entity->IsSimulationEnabled()) entity->GetPhysicsObject()->UpdateSimulationFromGameObject(centre_);
    }
}

void PhysicsEngine::FindCollisions() {
    for (size_t i = 0; i < entities_.size(); ++i) {
        Entity* entity = GetEntity(i);
        if (entity != nullptr && entity->IsSimulationEnabled()) entity->GetPhysicsObject()->FindCollisions();
    }
}

void PhysicsEngine::UpdateEntitiesFromSimulation() {
    const uint32_t frame = gEngine != nullptr ? gEngine->GetFrameCount() : 0;
    const int updateTime = gEngine != nullptr ? gEngine->GetUpdateTime() : 0;
    for (size_t i = 0; i < entities_.size(); ++i) {
        Entity* entity = GetEntity(i);
        if (entity == nullptr || !entity->IsSimulationEnabled()) continue;
        entity->GetPhysicsObject()->UpdateGameObjectFromSimulation();
        // Placing the entity may have destroyed it or ended its simulation.
        entity = GetEntity(i);
        if (entity == nullptr || !entity->IsSimulationEnabled()) continue;
        // The level's tree follows what the step moved, a rag doll's pose included (its actor
        // stays put while its box follows the bodies).
        if (physicsWorld_ != nullptr && entity->GetRegion() != nullptr) {
            physicsWorld_->SetCoords(entity, entity->GetCoords());
            entity = GetEntity(i);
            if (entity == nullptr || !entity->IsSimulationEnabled()) continue;
        }
        // An entity the world no longer updates (it is out of sight) still moves on.
        if (frame > entity->GetLastFrameUpdated() + 1) entity->Update(updateTime);
    }
}

void PhysicsEngine::RemoveNonSimulatedEntities() {
    size_t kept = 0;
    for (size_t i = 0; i < entities_.size(); ++i) {
        Entity* entity = GetEntity(i);
        bool erase = entity == nullptr;
        if (entity != nullptr) {
            if (entity->GetRegion() == nullptr) {
                entity->DestroyPhysicsObject();
                erase = true;
            } else if (!entity->IsSimulationEnabled()) {
                erase = true;
            } else if (!entity->GetPhysicsObject()->IsEnabled()) {
                entity->GetPhysicsObject()->OnDisabled();
                entity->DestroyPhysicsObject();
                erase = true;
            }
            entity->CleanupPhysicsObjects();
        }
        if (erase) continue;
        entities_[kept] = entities_[i];
        resolved_[kept] = resolved_[i];
        ++kept;
    }
    entities_.resize(kept);
    resolved_.resize(kept);
}

void PhysicsEngine::DebugRender() const {
    if (!debugging_) return;
    for (uint32_t id : entities_) {
        const Entity* entity = ResolveEntity(id);
        if (entity == nullptr) continue;
        Vec3 velocity;
        if (const PhysicsObject* object = entity->GetPhysicsObject()) {
            object->DebugRender();
            velocity = object->GetLinearVelocity();
        }
        if (gEngine == nullptr) continue;
        const Vec3 origin = entity->GetCoords().GetRegionCoords().origin;
        gEngine->AddStatisticText("%s (%0.2f %0.2f %0.2f) <%0.3f %0.3f %0.3f>", entity->GetObjectName().c_str(), origin.x,
                                  origin.y, origin.z, velocity.x, velocity.y, velocity.z);
    }
}

void PhysicsEngine::RenderContacts(const CollisionContact* contacts, int count) const {
    if (!debugging_ || contacts == nullptr || centre_.GetRegion() == nullptr || !Singleton<DebugRenderManager>::HasInstantiated())
        return;
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    // Contact positions are offsets from the centre.
    for (int i = 1; i < count; ++i) {
        const Vec3 at = centre_.GetRegionPosition() + contacts[i].position;
        debug.RenderArrow(centre_.GetRegion(), at, at + contacts[i].normal, Color(1.0f, 0.5f, 0.5f, 1.0f));
    }
}

void PhysicsEngine::RenderContacts(const PhysicsObject::MergedContact* contacts, int count) const {
    if (!debugging_ || count <= 0) return;
    mem::vector<CollisionContact> plain;
    for (int i = 0; i < count; ++i) plain.push_back(contacts[i].contact);
    RenderContacts(plain.data(), count);
}

PhysicsEngine::ContactScratch& PhysicsEngine::GetContactScratch(size_t count) const {
    if (contactScratch_.contacts.size() < count) contactScratch_.contacts.resize(count);
    if (contactScratch_.merged.size() < count) contactScratch_.merged.resize(count);
    return contactScratch_;
}

void PhysicsEngine::AddContactJoint(const CollisionContact& contact, PhysicsObject::Body body, PhysicsObject::Body other) const {
    dContact joint{};
    joint.surface.mode = 0;
    joint.surface.mu = dInfinity;
    joint.geom.pos[0] = contact.position.x;
    joint.geom.pos[1] = contact.position.y;
    joint.geom.pos[2] = contact.position.z;
    joint.geom.normal[0] = contact.normal.x;
    joint.geom.normal[1] = contact.normal.y;
    joint.geom.normal[2] = contact.normal.z;
    joint.geom.depth = contact.depth;
    dJointAttach(dJointCreateContact(world_, contactGroup_, &joint), body, other);
}

}  // namespace GAME
