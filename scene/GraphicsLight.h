#pragma once
// GraphicsLight: the plain light record scene renderers collect and copy for one frame, and that
// shadow maps are made for. A point light sits at its frame's origin; a directional light shines
// along its frame's third axis.

#include "core/Color.h"
#include "core/WorldCoords.h"

namespace GAME {

class GraphicsLight {
public:
    enum class Type : uint32_t { Directional = 0, Point = 1 };

    void SetType(Type type) { type_ = type; }
    Type GetType() const { return type_; }
    void SetObjectToWorldCoords(const WorldCoords& coords) { coords_ = coords; }
    const WorldCoords& GetObjectToWorldCoords() const { return coords_; }
    void SetColor(const Color& color) { color_ = color; }
    const Color& GetColor() const { return color_; }
    void SetRadius(float radius) { radius_ = radius; }
    float GetRadius() const { return radius_; }
    void SetShadowIntensity(float intensity) { shadowIntensity_ = intensity; }
    float GetShadowIntensity() const { return shadowIntensity_; }
    void SetCastsShadows(bool casts) { castsShadows_ = casts; }
    bool GetCastsShadows() const { return castsShadows_; }
    void SetCastsSpecular(bool casts) { castsSpecular_ = casts; }
    bool GetCastsSpecular() const { return castsSpecular_; }

private:
    Type type_ = Type::Point;
    WorldCoords coords_;
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
    float radius_ = 10.0f;           // reach of a point light
    float shadowIntensity_ = 1.0f;
    bool castsShadows_ = false;
    bool castsSpecular_ = true;
};

}  // namespace GAME
