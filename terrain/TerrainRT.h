#pragma once
// TerrainRT: the read-only ground of a terrain level in the game (TerrainBase kind RunTime), read
// from the run-time block the editable terrain writes (Terrain::SaveRunTimeFormat). It keeps what
// the game needs: the heights, a mask per sample of the layers showing around it and whether it
// is visible, the layers with their types and opacities, the plugs, one static vertex buffer of the
// whole height field and the pooled grass buffers. It answers every TerrainBase question as the
// editable terrain it was written from does.
//
// The run-time block (the level file's ground of kind RunTime), little-endian:
//   header, 32 bytes: u32 version (1; not checked), u32 L (layers), u32 X, u32 Y, 4 x u32 0;
//   X * Y f32 heights, in sample order (index z * X + x);
//   X * Y masks of M = L / 8 + 1 bytes, in sample order: bit 0 the sample is visible, bit k + 1
//     layer k shows at the sample (bit b in byte b / 8 at position b % 8);
//   L layers: the string record name of its type (empty without one), then for layers 1 and up
//     the (X - 1)(Y - 1) opacity bytes by cell (index z * (X - 1) + x);
//   u32 P, then P plug records (TerrainPlug.h).
// Strings are a u32 length and the bytes. The writer takes layer k to show at a sample when the
// layer is Blended or Opaque in the sample's cell (the last row and column take the cell before
// them); an Opaque layer clears the bits of every layer under it. A terrain without layers writes
// one-byte masks too (the visible bit only). Passability is not stored: the level keeps it.
//
// Loading refuses (logged, the terrain left empty) sizes that are no terrain's and a block shorter
// than its sizes ask for; a layer whose record makes no TerrainType stays, without a type
// ("Failed to load terrain type %s."); a plug record that is cut short fails the load.
//
// Threads: Load and LoadRenderData run on the thread that loads the level; the rest on the main
// thread.

#include <cstdint>
#include <memory>

#include "core/Mem.h"
#include "terrain/GrassGeometryPool.h"
#include "terrain/TerrainBase.h"

namespace GAME {

class RenderVertexDeclaration;
class TerrainRenderInterfaceRT;

class TerrainRT final : public TerrainBase {
public:
    static constexpr uint32_t kVersion = 1;
    static constexpr uint32_t kHeaderSize = 32;
    // Sample-mask bit of a visible sample.
    static constexpr uint8_t kVisibleBit = 0x01;

    struct TerrainLayer {
        TerrainType* terrainType = nullptr;       // owned; null when the record made none
        RenderTexture* opacityTexture = nullptr;  // null until the render data are made
        mem::vector<uint8_t> opacity;             // per cell; empty for layer 0
    };

    explicit TerrainRT(Region* region);
    ~TerrainRT() override;

    bool Load(BinaryReader& reader, int version) override;
    // The layers' textures, then the ground mesh and the grass indices.
    bool LoadRenderData() override;
    // A run-time ground is not saved again: it writes nothing.
    void Write(BinaryWriter&, bool) const override {}
    void Unload() override;
    void Update(const Frustum* frusta, unsigned count, int elapsedMs) override;
    void PreLoad(int priority, const Frustum* frusta, unsigned count) override;
    void PreDeviceReset() override;
    void PostDeviceReset() override;

    // -- Heights and samples -----------------------------------------------------------------------

    float GetHeight(unsigned x, unsigned z) const override { return heights_[size_t(z) * GetNumXSamples() + x]; }
    // False outside the grid.
    bool IsInvisible(int x, int z) const override;
    // Bytes of each sample's mask.
    uint32_t GetMaskBytes() const { return maskBytes_; }
    // The sample's mask (GetMaskBytes() bytes); x < X and z < Y.
    const uint8_t* GetMask(unsigned x, unsigned z) const {
        return masks_.data() + (size_t(z) * GetNumXSamples() + x) * maskBytes_;
    }
    // Whether layer k's bit is set in the sample's mask.
    bool LayerShowsAt(unsigned layer, unsigned x, unsigned z) const;

    // -- Layers ------------------------------------------------------------------------------------

    unsigned GetNumTextureLayers() const override { return unsigned(layers_.size()); }
    TerrainType* GetLayerTerrainType(unsigned layer) override { return layers_[layer].terrainType; }
    const TerrainType* GetLayerTerrainType(unsigned layer) const override { return layers_[layer].terrainType; }
    const RenderTexture* GetLayerOpacityTexture(unsigned layer) const override {
        return layers_[layer].opacityTexture;
    }
    // 255 for layer 0 (and a layer without opacities), else the cell's opacity.
    uint8_t GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const override;
    // The layers whose bit is set at some sample of the cells under the box, ascending; the
    // masks already leave out the layers opaque layers cover.
    void GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const override;
    // The quality the render interface chose at its last Update.
    bool LowQuality() const override;

    // -- Grass and the ground mesh -----------------------------------------------------------------

    GrassGeometry CreateGrassGeometry() override { return grass_.Create(); }
    void DestroyGrassGeometry(GrassGeometry& geometry) override { grass_.Destroy(geometry); }
    const RenderIndexBuffer* GetGrassIndexBuffer() const { return grass_.GetIndexBuffer(); }
    // X x Y vertices of kGroundVertexSize bytes (position, normal), vertex (x, z) at z * X + x;
    // null without a device or before LoadRenderData.
    const RenderVertexBuffer* GetVertexBuffer() const { return vertexBuffer_; }
    const RenderVertexDeclaration* GetVertexDeclaration() const { return vertexDeclaration_; }
    bool HasLoadedRenderData() const { return renderDataLoaded_; }
    TerrainRenderInterfaceBase* GetRenderInterface() const override;

private:
    void CreateMapGeometry() override;
    void DestroyMapGeometry() override;
    // True when the tile's box comes within 2 units of the terrain's edge on x or z, or beyond it:
    // the run-time terrain judges by boxes, not by contours.
    bool IsTileOverlapping(const TerrainTile* tile) const override;
    // The layer's opacity texture: 32-bit texels {opacity, 4 (127 - opacity) clamped, 0, 0} as
    // A, R, G, B, or an 8 x 8 opaque one-byte texture for a layer without opacities.
    void CreateOpacityTexture(TerrainLayer& layer) const;

    mem::vector<float> heights_;         // per sample
    mem::vector<uint8_t> masks_;         // maskBytes_ per sample
    uint32_t maskBytes_ = 0;
    mem::vector<TerrainLayer> layers_;   // index 0 the base layer
    GrassGeometryPool grass_;
    RenderVertexBuffer* vertexBuffer_ = nullptr;
    RenderVertexDeclaration* vertexDeclaration_ = nullptr;
    bool renderDataLoaded_ = false;      // kept by Unload
    std::unique_ptr<TerrainRenderInterfaceRT> renderInterface_;  // made with the terrain
};

}  // namespace GAME
