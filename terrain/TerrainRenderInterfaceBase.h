#pragma once
// TerrainRenderInterfaceBase: the one scene renderable of a terrain. Each frame the terrain's
// AddToScene hands it the terrain objects in view (Update); it keeps the ground blocks among them
// and, when the scene renderer draws it, draws the ground in three passes:
//   pass 0, sort order -1, "TerrainGroundSolid": every visible cell once, in the layer shader's
//     depth, alpha, shadow-filter or fog style (GetShaderStyle maps the renderer's style);
//   pass 1, sort order 3, "TerrainGround": each texture layer over the cells where it shows,
//     blended by its opacity texture, top layer first (bottom first in "reflectionStyle");
//   pass 2, sort order 1000, "TerrainGrass": the blades of every block, layer by layer (not while
//     the overhead map is drawn).
// With no block in view it has no pass at all.
//
// The ground is never rebuilt for drawing: each pass draws six 32-bit indices a cell (vertex
// z * X + x of the terrain's one static vertex buffer is sample (x, z)) over that buffer. The
// cells a pass draws over the whole view (the solid pass, and each layer's cells) are kept in an
// index buffer of their own, made again only when the blocks in view or the terrain's ground
// revision change: a still or slowly moving view draws its ground without writing an index. A
// pass with a light sphere draws only the blocks the sphere reaches: it writes their cells into
// the canvas's dynamic index buffer, at most kIndicesPerBlock indices a block, in batches of
// what that buffer holds.
//
// The per-frame choice between the standard and the low-quality terrain shader follows the
// graphics engine's switch at each Update; the blocks rebuild their grass for it when prepared.
//
// The pass loops are written once here. The editable and the run-time terrain each derive an
// interface (TerrainRenderInterface, TerrainRenderInterfaceRT) that supplies where its buffers
// are and whether a layer shows in a cell; whether a sample is visible both answer through
// TerrainBase::IsInvisible.
//
// Shaders (GLSL in ".ssh" files): "Shaders/Terrain/TerrainStandard.ssh" and
// "Shaders/Terrain/TerrainLowQuality.ssh" draw the ground with the parameters
// "objectToScreenMatrix", "objectToRegionMatrix", "regionToSceneOffset", "textureOffset",
// "textureScale", "opacityTexture" and the terrain types' "baseTexture" and "bumpTexture";
// "Shaders/Grass.ssh" draws the blades with "objectToWorldMatrix", "objectToScreenMatrix",
// "terrainOffset", "baseTexture" and "bladeHeight". Without a graphics engine no shader loads
// and nothing is drawn.

#include <cstdint>

#include "core/ABBox.h"
#include "core/IntVec3.h"
#include "core/Mem.h"
#include "scene/GraphicsRenderable.h"

namespace GAME {

class DebugRenderManager;
class RenderDevice;
class RenderDynamicIndexBuffer;
class RenderIndexBuffer;
class RenderVertexBuffer;
class RenderVertexDeclaration;
class TerrainBase;
class TerrainBlock;
class TerrainObject;
struct Coords;
struct Sphere;

class TerrainRenderInterfaceBase : public GraphicsRenderable {
public:
    static constexpr int kSolidPass = 0;
    static constexpr int kGroundPass = 1;
    static constexpr int kGrassPass = 2;
    // The most indices one block adds: 81 cells of two triangles.
    static constexpr uint32_t kIndicesPerBlock = 486;
    static constexpr const char* kStandardShader = "Shaders/Terrain/TerrainStandard.ssh";
    static constexpr const char* kLowQualityShader = "Shaders/Terrain/TerrainLowQuality.ssh";
    static constexpr const char* kGrassShader = "Shaders/Grass.ssh";

    // Makes the grass vertex declaration and loads the three shaders (when an engine with a
    // graphics engine runs); the standard shader draws the layers.
    explicit TerrainRenderInterfaceBase(const TerrainBase& terrain);
    virtual ~TerrainRenderInterfaceBase();
    TerrainRenderInterfaceBase(const TerrainRenderInterfaceBase&) = delete;
    TerrainRenderInterfaceBase& operator=(const TerrainRenderInterfaceBase&) = delete;

    // -- GraphicsRenderable ------------------------------------------------------------------------

    // 3 with a block in view, else 0.
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    const ABBox& GetRenderPassBoundingBox() const override { return bounds_; }
    int GetRenderPassSortOrder(int pass, const Name& style, RenderGenerationId generation) const override;
    // The grass shader for the grass pass, the layer shader otherwise.
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    // The ground and grass passes draw in the renderer's style (the ground pass has none for
    // "fogStyle"); the solid pass lays depth under the ambient styles, the light mask under the
    // light styles and the fog under "fogStyle", by the tables in the source.
    const Name& GetShaderStyle(int pass, const Name& style, RenderGenerationId generation,
                               const GraphicsLight* light) const override;
    const GraphicsTexture* GetTexture(int, const Name&) const override { return nullptr; }
    void RenderPass(const RenderablePass& pass, const Name& style, GraphicsCanvas& canvas,
                    const GraphicsSceneRenderer& renderer) const override;
    void LogInfo() const override;

    // -- The frame ---------------------------------------------------------------------------------

    // Keeps the ground blocks among the objects (each prepared for drawing), the box around all
    // of them and the region's offset from the world, and picks the layer shader for the
    // graphics engine's low-quality switch.
    void Update(const IntVec3& worldOffset, const mem::vector<TerrainObject*>& objects);
    const GraphicsShader2* GetLayerShader() const { return layerShader_; }
    // The ground mesh's vertex declaration; null while the terrain has not made its ground mesh
    // (or gave it back before a device reset), when nothing drawn in its layer shader is drawn.
    virtual const RenderVertexDeclaration* GetGroundVertexDeclaration() const = 0;
    bool LowQuality() const { return lowQuality_; }
    const mem::vector<TerrainBlock*>& GetBlocks() const { return blocks_; }

    // Replaces out with the blocks in view that the sphere reaches (every block for a radius of 0
    // or less) and in which the layer shows, each prepared for drawing.
    void GetBlocksInLayer(unsigned layer, mem::vector<TerrainBlock*>& out, const Sphere& sphere) const;
    // Lets the kept cell lists go with their index buffers (before a device reset); the next
    // frame makes them again.
    void ReleaseCellLists();
    // Debugging aid of the editable terrain: the number of layers showing in each cell of the
    // blocks in view, as white text at coords applied to the cell's first sample, in the terrain's
    // region. Nothing here.
    virtual void DrawLayerCountLabels(DebugRenderManager& debug, const Coords& coords) const;

    // ((ox mod 10) x 0.1, (oz mod 10) x 0.1), the remainder taking the dividend's sign: ground
    // textures repeat every 10 units across regions.
    static void GetTextureOffset(const IntVec3& worldOffset, float& u, float& v);

    // -- Drawing in the layer shader, shared with the plugs and tiles that take the ground's look --

    // The style of the solid pass (depth, light mask, shadow filter or fog laid under the layers)
    // for the scene's style and light, by the tables in the source; "None" for a style it has no
    // part in.
    static const Name& GetSolidPassStyle(const Name& style, const GraphicsLight* light, bool lowQuality);
    // The style of a layer pass: the scene's own, none for fog.
    static const Name& GetLayerPassStyle(const Name& style);
    // Begins the pass's shader with the placement of what is drawn: "objectToRegionMatrix",
    // "objectToScreenMatrix" (through the region's place in the scene) and "regionToSceneOffset".
    static void BeginPass(const RenderablePass& pass, const GraphicsSceneRenderer& renderer, const Coords& objectToRegion);
    // "textureOffset" (GetTextureOffset of the region's offset from the world) and "textureScale"
    // (one over the terrain's cells a side) on the shader.
    static void SetGroundTextureParameters(const TerrainBase& terrain, const GraphicsShader2& shader,
                                           const IntVec3& worldOffset);
    // The layer's type's parameters and "opacityTexture" on the shader.
    static void SetLayerParameters(const TerrainBase& terrain, const GraphicsShader2& shader, unsigned layer);

protected:
    const TerrainBase& GetTerrain() const { return terrain_; }

private:
    // What the two terrain kinds supply.
    virtual const RenderVertexBuffer* GetGroundVertexBuffer() const = 0;
    // The grass buffers' shared quad indices.
    virtual const RenderIndexBuffer* GetGrassIndexBuffer() const = 0;
    // Whether the layer shows (blended or opaque) in cell (x, z); x < X - 1 and z < Y - 1.
    virtual bool LayerShowsInCell(unsigned layer, unsigned x, unsigned z) const = 0;

    void RenderGroundSolid(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer,
                           const RenderablePass& pass) const;
    void RenderGround(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer, const RenderablePass& pass,
                      bool topDown) const;
    void RenderGrass(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer, const RenderablePass& pass) const;
    // Binds the ground mesh and sets the ground passes' matrices on the pass's shader; false (and
    // nothing bound) when the device, the dynamic index buffer or the mesh is missing.
    bool BeginGround(GraphicsCanvas& canvas, const GraphicsSceneRenderer& renderer, const RenderablePass& pass,
                     RenderDynamicIndexBuffer*& indices) const;
    // Writes the cells of the blocks that are visible and, for a layer (not kAllLayers), in which
    // the layer shows, renders the shader under the label and draws them, a batch of blocks at a
    // time. False when a lock failed (logged).
    static constexpr unsigned kAllLayers = 0xFFFFFFFFu;
    bool DrawCells(RenderDevice& device, RenderDynamicIndexBuffer& indices, const GraphicsShader2& shader,
                   const char* label, const mem::vector<TerrainBlock*>& blocks, unsigned layer) const;
    // Writes the six indices of each cell of the block that is visible and, for a layer (not
    // kAllLayers), in which the layer shows; returns how many it wrote (at most kIndicesPerBlock).
    uint32_t WriteCells(const TerrainBlock& block, unsigned layer, uint32_t* out) const;

    // The cells a pass draws over the whole view, kept between frames.
    struct CellList {
        RenderIndexBuffer* buffer = nullptr;
        uint32_t capacity = 0;  // indices the buffer holds
        uint32_t count = 0;     // indices in use
        bool current = false;   // made for the blocks in view and the ground revision
    };
    // The kept cells of the layer (kAllLayers: every visible cell) over the blocks in view, made
    // first when not current; null when its index buffer could not be made (logged).
    const CellList* GetCellList(RenderDevice& device, unsigned layer) const;
    // Renders the shader under the label and draws the list's cells (count > 0).
    void DrawCellList(RenderDevice& device, const GraphicsShader2& shader, const char* label,
                      const CellList& list) const;
    // Marks every kept list out of date; their buffers stay for the next making.
    void InvalidateCellLists() const;

    const TerrainBase& terrain_;
    bool lowQuality_ = false;
    IntVec3 worldOffset_;
    mem::vector<TerrainBlock*> blocks_;  // the ground blocks in view; not owned
    ABBox bounds_;                       // around every object of the last Update
    RenderVertexDeclaration* grassVertexDeclaration_ = nullptr;
    const GraphicsShader2* lowQualityShader_ = nullptr;
    const GraphicsShader2* standardShader_ = nullptr;
    const GraphicsShader2* layerShader_ = nullptr;  // one of the two above
    const GraphicsShader2* grassShader_ = nullptr;
    // [0] the solid pass's cells, [1 + n] layer n's. Drawing is const to the scene renderer, and
    // the lists are its cache.
    mutable mem::vector<CellList> cellLists_;
    mutable uint32_t cellListsRevision_ = 0;  // the terrain's ground revision they were made at
};

}  // namespace GAME
