#pragma once
// FlyingBolt (class "FlyingBolt"): a short straight streak, ten points 0.14 apart along its
// entity's facing (z axis), rebuilt every update so it follows the entity as it moves. Drawn in
// fixed orientation with "SandBox/Tovar/illegal_lightning.tex" once loaded from a record (which it
// otherwise does not read).

#include "effects/LineEffect.h"

namespace GAME {

class FlyingBolt final : public LineEffect {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr const char* kRecordTexture = "SandBox/Tovar/illegal_lightning.tex";

    FlyingBolt();

    bool Load(const LoadTable& table) override;
    void UpdateSelf(int elapsedMs) override;
};

}  // namespace GAME
