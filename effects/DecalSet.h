#pragma once
// DecalSet: the marks placed in one level (World::PlaceDecal), kept in a ring of the last kRing
// decals and drawn in one batch per decal type, at most kTypeSlots types at once. Each level owns
// one (through LevelDecals); its decals live until kRing newer ones are placed or the level goes.
//
// The oldest decals fade by their place in the ring: in a full ring the one to be overwritten next
// has alpha 0, the next oldest 1 and so on up to 255, so only the 255 oldest are see-through.
//
// Each type slot in use holds one DecalTypeMgr reference; a slot whose last decal is overwritten
// gives its type back and is free for another type (also below the high-water mark of slots used,
// which is the number of render passes).
//
// Decisions made here: a placement takes (or keeps) the slot of its type before the overwritten
// decal gives its type back, so placing the type whose last decal is overwritten never refers to
// a type already destroyed; and the per-type buckets the passes draw are rebuilt before drawing
// whenever decals were placed since the last Update, so a pass never reads a stale bucket.
//
// Vertex (48 bytes): position, x axis (tangent), z axis (binormal), texture coordinate, colour.
// Main thread only.

#include "core/ABBox.h"
#include "core/Vec3.h"
#include "scene/GraphicsRenderable.h"
#include "world/LevelDecals.h"

#include <cstdint>

namespace GAME {

class DecalType;
class Region;
class RenderDevice;
class RenderVertexDeclaration;

class DecalSet final : public LevelDecals, public GraphicsRenderable {
public:
    static constexpr uint32_t kRing = 512;
    static constexpr uint32_t kTypeSlots = 32;
    // Decal flags: the record holds a decal; the texture holds two variants side by side (half
    // its width used); the right-hand variant. Bits 1 to 15 are cleared on placement, bits 18 to
    // 31 are kept as given.
    static constexpr uint32_t kFlagUsed = 1u << 0;
    static constexpr uint32_t kFlagTwoVariants = 1u << 16;
    static constexpr uint32_t kFlagRightVariant = 1u << 17;
    static constexpr uint32_t kClearedFlags = 0x0000FFFEu;

    struct TypeSlot {
        const DecalType* type = nullptr;  // null: free
        uint32_t count = 0;               // records in the ring that use the slot
        // Derived by RebuildBuckets.
        mutable uint32_t bucketFill = 0;
        mutable uint32_t bucketStart = 0;  // the slot's first entry in the buckets
    };
    struct PlacedDecal {
        uint32_t flags = 0;
        mutable uint32_t color = 0;  // 0xAARRGGBB; the alpha is the fade (RebuildBuckets)
        TypeSlot* slot = nullptr;
        Vec3 origin;               // the placement, in the owner region's space
        Vec3 xAxis;
        Vec3 zAxis;
    };
    struct Vertex {
        Vec3 position;
        Vec3 xAxis;
        Vec3 zAxis;
        float u = 0.0f;
        float v = 0.0f;
        uint32_t color = 0;
    };
    static_assert(sizeof(Vertex) == 48);

    explicit DecalSet(Region* owner);
    ~DecalSet() override;
    DecalSet(const DecalSet&) = delete;
    DecalSet& operator=(const DecalSet&) = delete;

    // LevelDecals. AddDecal is false for a null type, and when all slots hold other types (the
    // ring is then unchanged).
    bool AddDecal(const DecalType* type, const Coords& coords, uint32_t flags) override;
    void Update(uint32_t elapsedMs) override;
    // Queues the set when the engine's options have detail objects on (without options, never).
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum* frustum) override;

    uint32_t GetNumDecals() const { return decalCount_; }
    uint32_t GetHead() const { return head_; }
    uint32_t GetNumTypeSlotsUsed() const { return typeSlotsUsed_; }
    const PlacedDecal& GetDecal(uint32_t index) const { return decals_[index]; }
    const TypeSlot& GetTypeSlot(uint32_t index) const { return slots_[index]; }
    // The four vertices of a placed decal (texture coordinates from its flags).
    static void MakeQuad(const PlacedDecal& decal, float width, float height, Vertex out[4]);

    // GraphicsRenderable: one pass per type slot below the high-water mark.
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override;
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    const GraphicsTexture* GetTexture(int pass, const Name& style) const override;
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override {}

private:
    // The type of the pass's slot; null past the high-water mark or for a free slot.
    const DecalType* GetPassType(int pass) const;
    // Ages the records into their colours and sorts them into per-slot buckets.
    void RebuildBuckets() const;
    void CreateVertexDeclaration();

    Region* owner_;
    RenderDevice* device_ = nullptr;
    RenderVertexDeclaration* vertexDeclaration_ = nullptr;
    uint32_t decalCount_ = 0;
    uint32_t head_ = 0;
    uint32_t typeSlotsUsed_ = 0;
    PlacedDecal decals_[kRing];
    TypeSlot slots_[kTypeSlots];
    // Derived state, rebuilt by Update, or before a draw when decals were placed since.
    mutable const PlacedDecal* buckets_[kRing] = {};
    mutable bool bucketsStale_ = false;
};

}  // namespace GAME
