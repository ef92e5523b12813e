#pragma once
// Actor: an entity drawn as an animated mesh: it holds the GraphicsMeshInstance that draws and
// poses it (null until a mesh is made for it).
//
// Record fields read so far: "castsShadows" (bool, true by default).

#include "engine/Entity.h"

namespace GAME {

class GraphicsMeshInstance;

class Actor : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    bool Load(const LoadTable& table) override;

    // The actor's mesh instance; null while it has none.
    GraphicsMeshInstance* GetMeshInstance() const { return meshInstance_; }
    // Whether the actor's mesh casts shadows.
    bool GetCastsShadows() const { return castsShadows_; }

private:
    GraphicsMeshInstance* meshInstance_ = nullptr;  // null while the actor has no mesh
    bool castsShadows_ = true;
};

}  // namespace GAME
