#pragma once
// Light: a point light placed in the world, with a colour, an intensity and a radius. Each frame
// it is seen it adds one GraphicsLight to the scene renderer: colour times intensity, at the
// light's position; specular unless the graphics engine lights in low quality, shadows when asked
// for and either lighting is not low quality or the light forces them. A light in simple mode
// casts neither. Lights are picked only in the editor. While bounding boxes are shown, each light
// it adds also queues a small debug sphere in its colour.
//
// In the editor a light registers with the editor filter (as a light) on its first update and
// leaves it when it goes, so that the editor can hide every light at once. A light registered in
// the editor leaves the filter even if editor mode ended meanwhile.
//
// Record fields: "radius", "color.r", "color.g", "color.b" (0 when missing), "castsShadows".

#include <cstdint>

#include "core/Color.h"
#include "engine/Entity.h"

namespace GAME {

class Light : public Entity {
    GAME_RTTI_DECLARE_CLASS()

public:
    // Stored and returned only: a light always adds a point light.
    enum class Type : uint32_t { Point = 0 };
    // The radius of the debug sphere drawn at a light while bounding boxes are shown.
    static constexpr float kDebugSphereRadius = 0.25f;

    Light() = default;
    ~Light() override;

    bool Load(const LoadTable& table) override;
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    // A box around the light's position, the radius on every side.
    void UpdateBoundingBox() override;
    // Only in the editor and for a surface argument other than 0: the sphere of the radius.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) override;
    void InitialUpdate() override;
    bool GetShouldRenderAcrossPortals() const override { return true; }
    bool IncludeInMinimap() const override { return true; }
    virtual void Enable() { enabled_ = true; }
    virtual void Disable() { enabled_ = false; }

    void SetColor(const Color& color) { color_ = color; }
    const Color& GetColor() const { return color_; }
    // Clamped into [0, 1].
    void SetIntensity(float intensity);
    float GetIntensity() const { return intensity_; }
    void SetType(Type type) { type_ = type; }
    Type GetType() const { return type_; }
    // Also moves the bounding box.
    void SetRadius(float radius);
    float GetRadius() const { return radius_; }
    void SetShadowIntensity(float intensity) { shadowIntensity_ = intensity; }
    void SetShadowCasting(bool casts) { castsShadows_ = casts; }
    void SetForceShadows(bool force) { forceShadows_ = force; }
    void SetSimpleMode(bool simple) { simpleMode_ = simple; }
    bool IsEnabled() const { return enabled_; }

private:
    Type type_ = Type::Point;
    Color color_{1.0f, 1.0f, 1.0f, 1.0f};
    float intensity_ = 1.0f;
    float radius_ = 10.0f;
    float shadowIntensity_ = 1.0f;
    bool castsShadows_ = false;
    bool forceShadows_ = false;
    bool enabled_ = true;
    bool simpleMode_ = false;
    bool registered_ = false;  // with the editor filter
};

}  // namespace GAME
