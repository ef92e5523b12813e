#pragma once
// Decal: an entity (record class "Decal") that marks the ground or the meshes under it with a
// texture: the square of half size `size` around its position, in the plane of its x and z axes,
// projected down its y axis onto what lies below and drawn in one pass (sort order 2000). It fades
// in over 100 ms, holds its opacity until beginFadeSeconds, fades out until endFadeSeconds and then
// leaves the world and is destroyed. In the editor a ray picks it as a sphere of radius size.
//
// Record keys: "texture" (file), "size" (1), "beginFadeSeconds" (30), "endFadeSeconds" (45),
// "opacity" (1), "shader" (kDefaultShader).
//
// Decisions made here:
// - Projection: a grid of kGridCells x kGridCells cells over the square; each grid point is dropped
//   down the decal's y axis (from size above to size below) onto the nearest hit of its level's
//   ground or, outside the editor, entities (in the editor their pick volumes are handles, not
//   surfaces); each cell whose four points hit becomes two faces. The faces are kept in region
//   space and made again when the decal moves (more than kMoveEpsilon) or found nothing yet; each
//   pass places them with its region-to-scene coordinates, so they stay right when the camera
//   changes region.
// - A decal with both fade times 0 is permanent and shows at its opacity (after its fade-in).
// - The vertex alpha is the opacity x 255 clamped to 0..255.
// Vertex (24 bytes): position, texture coordinate, colour (BGRA bytes). Main thread only.

#include "core/Coords.h"
#include "engine/Entity.h"
#include "effects/SingleShaderRenderable.h"

#include <string>

namespace GAME {

class RenderVertexDeclaration;

class Decal final : public Entity, public SingleShaderRenderable {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr const char* kDefaultShader = "Shaders/Effects/DecalCombine.ssh";
    static constexpr const char* kDefaultTexture = "Sandbox/Tovar/ParticleTest.tex";
    static constexpr int kSortOrder = 2000;
    static constexpr int kGridCells = 8;
    static constexpr float kMoveEpsilon = 0.0001f;
    static constexpr int kFadeInMs = 100;

    // One triangle, region space: its normal (unused when drawing), the corners, their texture
    // coordinates.
    struct DecalFace {
        Vec3 normal;
        Vec3 a, b, c;
        float uvA[2] = {};
        float uvB[2] = {};
        float uvC[2] = {};
    };
    static_assert(sizeof(DecalFace) == 72);
    struct Vertex {
        Vec3 position;
        float u = 0.0f;
        float v = 0.0f;
        uint32_t color = 0;
    };
    static_assert(sizeof(Vertex) == 24);

    Decal();
    ~Decal() override;
    Decal(const Decal&) = delete;
    Decal& operator=(const Decal&) = delete;

    bool Load(const LoadTable& table) override;
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    void UpdateBoundingBox() override;
    // In the editor, for any surface argument but 0: the sphere of the decal's size; a hit's
    // surface is 0.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) override;
    void LogInfo() const override;
    void UpdateSelf(int elapsedMs) override;

    // The opacity at the decal's age: faded in over kFadeInMs, out from beginFadeSeconds to
    // endFadeSeconds. (A pass's opacity is the renderable's, which this does not hide.)
    float GetOpacity() const;
    using SingleShaderRenderable::GetOpacity;
    bool IsFading() const { return fading_; }
    int GetAge() const { return age_; }
    // Projects the decal onto what lies under it in its region's level (no faces without one).
    void CreateGeometry();
    const mem::vector<DecalFace>& GetFaces() const { return faces_; }

    // GraphicsRenderable.
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override;
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;

private:
    // A face from three dropped grid points (ordered so that its normal points up the decal's y
    // axis) and their texture
    // coordinates.
    static DecalFace MapFace(const Vec3 (&corners)[3], const float (&uvs)[3][2]);

    bool fading_ = false;
    float size_ = 1.0f;
    float opacity_ = 1.0f;
    float beginFadeSeconds_ = 55.0f;
    float endFadeSeconds_ = 60.0f;
    int age_ = 0;  // ms since fading started
    std::string textureName_;
    mem::vector<DecalFace> faces_;
    RenderVertexDeclaration* vertexDeclaration_ = nullptr;
    Coords builtAt_;            // the region coordinates the faces were made at
    bool projecting_ = false;   // while its own rays are cast, the decal is not a target
};

}  // namespace GAME
