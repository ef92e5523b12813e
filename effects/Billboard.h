#pragma once
// Billboard: an entity (record class "Billboard") that shows one textured quad at a point, the
// entity's position plus an offset. The quad is spread out around the point by its shader, which
// receives four vertices at the point that differ only in their texture coordinates (the corners),
// with the axis (0, 1, 0) in texture coordinate 1 and the half size (size x) in texture coordinate
// 2's y, as the particle shaders read them. The level loader stands one in, in the editor, for an
// entity whose record is missing (kMissingRecordTexture).
//
// Record keys: "textureFileName", "shaderFileName" (both replaced also when absent: the graphics
// engine is then asked for an empty name), "size.x" and "size,y" (1). A record line cannot hold a
// key with a comma, so the height is also read from "size.y" when "size,y" is absent. Picked by its box for any surface but 0.
// The point is placed in scene space with the pass's region-to-scene coordinates, so the quad
// stays where it belongs when the camera is in another region.
// Vertex (56 bytes): position, texture coordinate, texture coordinates 1 and 2 (four floats each),
// colour. Main thread only.

#include "core/ABBox.h"
#include "core/Vec2.h"
#include "engine/Entity.h"
#include "effects/SingleShaderRenderable.h"

#include <string>

namespace GAME {

class RenderVertexDeclaration;

class Billboard final : public Entity, public SingleShaderRenderable {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr const char* kDefaultShader = "Shaders/Particle/ParticleCombine.ssh";
    static constexpr const char* kMissingRecordTexture = "System/Textures/MissingRecord.tex";

    struct Vertex {
        Vec3 position;
        float u = 0.0f;
        float v = 0.0f;
        float axis[4] = {};
        float size[4] = {};
        uint32_t color = 0;
    };
    static_assert(sizeof(Vertex) == 56);

    Billboard();
    ~Billboard() override;
    Billboard(const Billboard&) = delete;
    Billboard& operator=(const Billboard&) = delete;

    // The editor's stand-in for an entity whose record is missing: named after the record, with
    // kMissingRecordTexture, 1.5 above its origin.
    static Entity* MakeMissingRecordStandIn(const std::string& recordName);

    bool Load(const LoadTable& table) override;
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;
    void UpdateBoundingBox() override;
    // Any surface argument but 0: the ray against the quad's box; a hit's surface is 0.
    bool GetIntersection(const Ray& ray, Intersection& intersection, PhysicsSurface surface) override;
    void LogInfo() const override {}

    // Replace the texture or the shader (the old one given back to the graphics engine).
    void SetTexture(const std::string& fileName);
    void SetShader(const std::string& fileName);
    // The quad's point from the entity's origin, region axes; the box follows at once in a region.
    void SetOffsetFromOrigin(const Vec3& offset);
    const Vec3& GetOffsetFromOrigin() const { return offset_; }
    const Vec2& GetSize() const { return size_; }

    // GraphicsRenderable.
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override { return box_; }
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;

private:
    // The quad's point in region space.
    Vec3 GetPoint() const;

    RenderVertexDeclaration* vertexDeclaration_ = nullptr;
    Vec2 size_{1.0f, 1.0f};
    Vec3 offset_;
    ABBox box_;
};

}  // namespace GAME
