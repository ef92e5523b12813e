#pragma once
// DecalType: the look of the marks a DecalSet batches (World::PlaceDecal): the extent of the quad
// along the placement's x and z axes, its texture and its shader. Loaded from records and shared
// through the DecalTypeMgr.
//
// Record keys: "width" and "height" (world units, 1), "texture" and "shader" (file names; no file,
// no drawing).

#include "core/Object.h"

namespace GAME {

class GraphicsShader2;
class GraphicsTexture;

class DecalType final : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    DecalType() = default;
    ~DecalType() override;
    DecalType(const DecalType&) = delete;
    DecalType& operator=(const DecalType&) = delete;

    bool Load(const LoadTable& table) override;

    float GetWidth() const { return width_; }
    float GetHeight() const { return height_; }
    const GraphicsTexture* GetTexture() const { return texture_; }
    const GraphicsShader2* GetShader() const { return shader_; }

private:
    void Unload();

    float width_ = 0.0f;
    float height_ = 0.0f;
    const GraphicsTexture* texture_ = nullptr;
    const GraphicsShader2* shader_ = nullptr;
};

}  // namespace GAME
