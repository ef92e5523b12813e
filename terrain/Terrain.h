#pragma once
// Terrain: the editable ground of a terrain level, the height field the level editor shapes,
// paints and marks (TerrainBase kind Editable). Besides what every terrain has, it keeps per
// sample a height, a hidden flag and the tile-blending record Offset; per cell the passability
// byte; the texture layers with their opacity and visibility maps; two sets of dirty rectangles
// that defer rebuilding; and the device buffers of the ground mesh.
//
// Editing is deferred: the editor writes heights sample by sample (SetBaseHeight) and paints
// opacities cell by cell (SetLayerOpacity), then marks the touched area (AddDirtyRect in samples,
// AddOpacityDirtyRect in cells); the next Update rebuilds exactly those areas (normals and
// vertices, block bounds, hidden samples, layer visibility) and tells the objects there.
//
// Layers: index 0 is the base layer and covers everything; higher layers blend over lower ones
// by their per-cell opacity (0-255). From the opacities each layer gets a visibility state per
// cell: Covered (an opaque layer above hides it), Transparent (absent all around the cell),
// Blended, Opaque (opaque all around the cell). A layer's type is a TerrainType record made
// through the object manager; its opacity texture is a one-byte-a-texel device texture of
// (X - 1) x (Y - 1) texels, made when a graphics engine with a device runs.
//
// Passability: one byte per cell, 0 passable, 1 impassable; painted, derived from slopes, or
// copied from and to the level's ImpassableData (the run-time block carries none). Hidden samples
// lie under attached tiles; their cells are cut out of the ground (HeightField.h gives the rules
// the queries follow).
//
// Sizes: New takes cell counts, each 0 or a power of two up to kMaxCells, and refuses any other.
//
// The impassable debug shader ("Shaders/Debug/Impassable.ssh") is held while a graphics engine
// runs: one reference from construction to destruction and one while the terrain has samples
// (from New or Load to Unload), each given back exactly once.
//
// Threads: made and filled on the thread that loads its level, then used on the main thread.

#include <cstdint>
#include <memory>
#include <string>

#include "core/GeometryBus.h"
#include "core/Mem.h"
#include "render/DirtyRect.h"
#include "terrain/GrassGeometryPool.h"
#include "terrain/TerrainBase.h"

namespace GAME {

class GraphicsPrimitiveDrawer;
class GraphicsShader2;
class ImpassableData;
struct Coords;
class RenderIndexBuffer;
class RenderTexture;
class RenderVertexBuffer;
class RenderVertexDeclaration;
class SimplePolygon;
class Terrain;
class TerrainRenderInterface;
class TerrainTile;

// Receives each sample a rasterised polygon covers, in terrain-grid coordinates, unclipped.
class TerrainRasterizeCallback {
public:
    virtual ~TerrainRasterizeCallback() = default;
    virtual void operator()(int x, int z) = 0;
};

// Hides the samples it receives (those outside the terrain's grid are ignored).
class MakeInvisibleCallback final : public TerrainRasterizeCallback {
public:
    explicit MakeInvisibleCallback(Terrain& terrain) : terrain_(terrain) {}
    void operator()(int x, int z) override;

private:
    Terrain& terrain_;
};

class Terrain final : public TerrainBase {
public:
    // Cells along either side of the largest terrain New accepts.
    static constexpr uint32_t kMaxCells = TerrainBase::kMaxSamples - 1;
    // Bytes of one ground vertex: position, then normal (three floats each).
    static constexpr uint32_t kVertexSize = TerrainBase::kGroundVertexSize;
    // A corner further than this from its cell's mean height makes the cell too steep to walk.
    static constexpr float kMaxSlopeDeviation = 0.6f;
    // Opacity at or above which a cell counts as opaque, and below which as transparent, when its
    // whole neighbourhood agrees.
    static constexpr uint8_t kOpaqueOpacity = 250;
    static constexpr uint8_t kTransparentOpacity = 6;
    static constexpr const char* kImpassableShader = "Shaders/Debug/Impassable.ssh";

    // The tile-blending record of a sample: height = baseHeight + (targetHeight - baseHeight) * blend.
    struct Offset {
        float baseHeight = 0.0f;    // the height as edited
        float targetHeight = 0.0f;  // weighted mean height of the nearby tile outlines; 0 when none
        float blend = 0.0f;         // 0 to 1: how far the height is pulled to targetHeight
    };

    // The visibility state of a layer in a cell.
    enum LayerVisibility : uint32_t {
        Covered = 0,      // an opaque layer above hides this one here
        Transparent = 1,  // the layer is (nearly) absent around the cell
        Blended = 2,      // the layer shows in part and blends with those below
        Opaque = 3,       // the layer covers the cell and its neighbours
    };

    struct TerrainLayer {
        TerrainType* terrainType = nullptr;        // made through the object manager; owned
        RenderTexture* opacityTexture = nullptr;   // the opacity bytes on the device; null without one
        mem::vector<uint8_t> opacity;              // per cell
        mem::vector<uint32_t> visibility;          // per cell, a LayerVisibility
    };

    explicit Terrain(Region* region);
    ~Terrain() override;

    // -- Size --------------------------------------------------------------------------------------

    // Replaces whatever the terrain held by a flat terrain of (cellsX + 1) x (cellsY + 1) samples,
    // all heights and offsets 0, nothing hidden, every cell passable, no layers. False (logged,
    // the terrain left empty) for a count that is neither 0 nor a power of two up to kMaxCells.
    bool New(unsigned cellsX, unsigned cellsY);
    // Set the sample count along x (or z) alone, for a terrain that holds no samples yet (New and
    // Load set both). False (logged, nothing changed) for a count that is no terrain's, or while
    // the terrain holds samples: its arrays are laid out for the counts they were made with.
    bool SetNumXSamples(unsigned samples);
    bool SetNumYSamples(unsigned samples);

    // The editor block (the level file's ground of kind Editable), in TerrainFile.cpp:
    //   u32 X, u32 Y, u32 L (layers);
    //   L layers: the string record name of its type (empty without one), then for layers 1 and
    //     up the (X - 1)(Y - 1) opacity bytes by cell;
    //   X * Y samples: f32 height, bool hidden;
    //   X * Y offsets: f32 baseHeight, targetHeight, blend;
    //   from level version 13 on, (X - 1)(Y - 1) bools by cell: impassable.
    // Strings are a u32 length and the bytes, bools u32 words (0 or 1).
    //
    // Load replaces whatever the terrain held. A layer whose record makes no TerrainType is left
    // out (the layers after it move down; its opacity bytes are passed over); a leading '\' of a
    // name is dropped. Hidden flags are not taken (tiles hide their samples again when they
    // attach). Files before version 13 have every cell passable. False (logged, the terrain left
    // empty) for sizes that are no terrain's or a block that runs past the reader's end: its
    // whole length is checked before anything is made.
    bool Load(BinaryReader& reader, int version) override;
    // Writes the editor block, passability included (the version-13 form).
    void Save(BinaryWriter& writer) const;
    // The run-time block (TerrainRT.h gives its layout): heights, each sample's mask of the layers
    // showing there and whether it is visible, the layers, the plugs.
    void SaveRunTimeFormat(BinaryWriter& writer) const;
    // The level's ground chunk: kind Editable and the editor block, or kind RunTime and the
    // run-time block.
    void Write(BinaryWriter& writer, bool runTime) const override;
    bool LoadRenderData() override { return true; }
    // Back to the empty state: layers, arrays, device buffers, blocks and tree go.
    void Unload() override;

    // -- Heights -----------------------------------------------------------------------------------

    float GetHeight(unsigned x, unsigned z) const override { return heights_[size_t(z) * GetNumXSamples() + x]; }
    float GetBaseHeight(unsigned x, unsigned z) const { return offsets_[size_t(z) * GetNumXSamples() + x].baseHeight; }
    // Sets the edited height; the height follows through the sample's blend. Marks nothing dirty:
    // the editor adds the touched area (AddDirtyRect) when it is done.
    void SetBaseHeight(unsigned x, unsigned z, float height);
    const Offset* GetOffset() const { return offsets_.data(); }
    // (x, height, z).
    void GetTerrainVertex(Vec3& out, unsigned x, unsigned z) const;

    // -- Rebuild after edits -----------------------------------------------------------------------

    // Marks a rectangle of samples for rebuilding; the part outside the grid is dropped.
    void AddDirtyRect(const DirtyRect& samples);
    // The box over a rectangle of samples: centre (x + w / 2, 0, z + h / 2), half size
    // (w / 2, 5, h / 2).
    static ABBox GetBoxForRect(const DirtyRect& samples);
    // Appends, once each, the index (row x columns + column) of every block from the one holding
    // the sample before a rectangle of the set to the one reached by rounding up the sample after
    // it, on both axes, within the block grid.
    void GetBlocksInDirtySet(const DirtyRectSet& set, mem::vector<int>& out) const;
    // Whether the cells under the polygon's extent - from the truncated least x and z of its
    // vertices (and 0) to the truncated greatest plus a half - meet a rectangle of the set.
    static bool Overlap(const DirtyRectSet& set, const SimplePolygon& polygon);
    // Rebuilds the marked samples: heights blended toward the attached tiles' contours
    // (UpdateHeightMap), vertices and normals (also of the samples next to them, whose normals
    // follow), the objects within reach of the change invalidated, hidden flags made again from
    // the attached tiles there, the plugs touched deleted (their areas joining the marks) and the
    // blocks given new bounds; then the plugs of the marked area are built and the marks forgotten.
    void ProcessDirtyRects() override;
    const DirtyRectSet& GetDirtyRects() const { return dirtyRects_; }

    // -- The frame ---------------------------------------------------------------------------------

    // Rebuilds what was marked (samples, then opacities) and, when the ground or its passability
    // changed since, the navigation mesh of the level the terrain stands in (UpdatePathMesh);
    // unloads idle objects, updates the objects in view.
    void Update(const Frustum* frusta, unsigned count, int elapsedMs) override;
    // Loads what the objects inside the frusta will need and have not loaded.
    void PreLoad(int priority, const Frustum* frusta, unsigned count) override;
    // As every terrain; with the texture complexity shown, each cell in view is labelled with the
    // number of layers showing there.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) override;
    // The opacity textures and the ground mesh go before a device reset and come back after it.
    void PreDeviceReset() override;
    void PostDeviceReset() override;
    // The quality the render interface chose at its last Update.
    bool LowQuality() const override;
    TerrainRenderInterfaceBase* GetRenderInterface() const override;
    // The ground mesh: X x Y vertices of kVertexSize bytes (position, normal), vertex (x, z) at
    // z * X + x; null without a device.
    const RenderVertexBuffer* GetVertexBuffer() const { return vertexBuffer_; }
    const RenderVertexDeclaration* GetVertexDeclaration() const { return vertexDeclaration_; }

    // -- Layers ------------------------------------------------------------------------------------

    unsigned GetNumTextureLayers() const override { return unsigned(layers_.size()); }
    TerrainType* GetLayerTerrainType(unsigned layer) override { return layers_[layer].terrainType; }
    const TerrainType* GetLayerTerrainType(unsigned layer) const override { return layers_[layer].terrainType; }
    const RenderTexture* GetLayerOpacityTexture(unsigned layer) const override {
        return layers_[layer].opacityTexture;
    }
    uint8_t GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const override {
        return layers_[layer].opacity[CellIndex(x, z)];
    }
    uint32_t GetLayerVisibility(unsigned layer, unsigned x, unsigned z) const {
        return layers_[layer].visibility[CellIndex(x, z)];
    }
    TerrainLayer* GetTerrainLayer(int layer) { return &layers_[size_t(layer)]; }
    // The layers showing (Blended or Opaque) in some cell under the box, ascending, none below the
    // highest layer Opaque in every cell under it.
    void GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const override;

    // Appends a layer of the TerrainType record: opaque everywhere when it is the first, else clear
    // everywhere. False (nothing added) when the record makes no TerrainType.
    bool AddLayer(const std::string& recordName);
    // Removes a layer; the next one down the list becomes the base layer (opaque everywhere) when
    // the base layer goes.
    void DeleteLayer(unsigned layer);
    // Swap a layer with the one below (MoveUp) or above (MoveDown); nothing at the ends.
    void MoveUpLayer(unsigned layer);
    void MoveDownLayer(unsigned layer);
    // Gives a layer the type of another record; nothing changes when it makes no TerrainType.
    void SetLayerTerrainType(unsigned layer, const char* recordName);
    // Paints one cell of a layer above the base; it updates neither the texture nor the
    // visibility: UpdateLayerOpacity and AddOpacityDirtyRect follow a stroke.
    void SetLayerOpacity(unsigned layer, unsigned x, unsigned z, uint8_t value);
    // The layer's opacity texture takes its opacity bytes.
    void UpdateLayerOpacity(unsigned layer);
    // Marks a rectangle of cells whose layer visibility must be recomputed.
    void AddOpacityDirtyRect(const DirtyRect& cells);
    // Recomputes the visibility of the marked cells and has the objects there refresh their layers.
    void ProcessDirtyOpacityRects();

    // -- Grass -------------------------------------------------------------------------------------

    GrassGeometry CreateGrassGeometry() override { return grass_.Create(); }
    void DestroyGrassGeometry(GrassGeometry& geometry) override { grass_.Destroy(geometry); }
    // The grass buffers' shared quad indices; null without a device.
    const RenderIndexBuffer* GetGrassIndexBuffer() const { return grass_.GetIndexBuffer(); }

    // -- Passability -------------------------------------------------------------------------------

    // True for an impassable cell and for any cell outside the grid.
    bool IsImpassable(unsigned x, unsigned z) const;
    // Mode 1 makes a cell passable, any other nonzero mode impassable, 0 changes nothing; cells
    // outside the grid are ignored.
    void SetPassable(unsigned x, unsigned z, uint8_t mode);
    // Copies the level's passability, when it was loaded or primed for exactly this grid of cells
    // (a grid of another size is refused with a warning: its cells would land in the wrong place).
    void SetImpassableData(const ImpassableData& data) override;
    // Writes the passability into the level's data, primed to this grid of cells.
    void GetImpassableData(ImpassableData& data) const;
    // Recomputes every cell from the ground: passable where its first corner is hidden, else
    // impassable when it is too steep.
    void PathingFirstPass();
    // The level of the terrain's region (when this is its ground) takes a navigation mesh made
    // from the terrain's passable cells (TerrainPathMeshCalculator); the level owns the mesh and
    // its registration with the path finder. Update calls it once after heights, hidden samples,
    // tiles or passability changed (a rebuild ran, SetPassable changed a cell, PathingFirstPass).
    void UpdatePathMesh();
    // The passable cells' faces (TerrainPathMeshCalculator).
    void GetWalkableFaces(mem::vector<PathFace>& out) const override;

    // Editor overlay: the impassable cells as two triangles each over their corners carried by
    // toWorld, in the graphics engine's overlay shader, a red and black checkerboard of quarter
    // opacity. Nothing without a graphics engine.
    void RenderImpassableAreas(GraphicsPrimitiveDrawer& drawer, const Coords& toWorld) const;
    // Editor outline: white lines between neighbouring edge samples at their heights, in the
    // terrain's own space.
    void RenderBorder(GraphicsPrimitiveDrawer& drawer) const;
    // The geometry bus finds no faces here: the ground answers through its own queries (rays,
    // collisions, walkable faces), so nothing is appended.
    void GeometryBusStop(const ABBox&, mem::vector<GeometryBus::SimpleFace>&) const {}
    // The impassable debug shader; null without a graphics engine.
    const GraphicsShader2* GetImpassableShader() const { return impassableShader_; }

    // Editor switches: the plugs drawn (on by default) and the layer count of every cell in view
    // shown (off by default).
    void EnablePlugRendering(bool enable) { plugRendering_ = enable; }
    bool DrawsPlugs() const override { return plugRendering_; }
    void ShowTextureComplexity(bool show) { textureComplexity_ = show; }
    bool ShowsTextureComplexity() const { return textureComplexity_; }

    // -- Hidden samples ----------------------------------------------------------------------------

    // False outside the grid.
    bool IsInvisible(int x, int z) const override;
    // x < X and z < Y.
    void SetInvisible(int x, int z, bool invisible);
    // Reports each sample the polygon covers, conservatively: every vertex is first pushed 0.5
    // outward along its corner's bisector, then the polygon is scan-converted row by row, each
    // row taking the extent its edges reach over the whole unit strip. Fewer than 3 vertices
    // report nothing; samples outside the grid are reported too.
    void Rasterize(const SimplePolygon& polygon, TerrainRasterizeCallback& callback) const;
    // Hides the samples the polygon covers.
    void MakeInvisible(const SimplePolygon& polygon);

    // -- Plugs (TerrainPlugBuilder.cpp) ------------------------------------------------------------

    // Ground units a side of the square buckets plugs are cut into, aligned to multiples of it.
    static constexpr float kPlugBucketSize = 15.0f;
    // Outline points closer than this are one point.
    static constexpr double kPlugSnapTolerance = 0.001;
    // How far a tile contour point pulls the heights around it.
    static constexpr float kTileBlendRadius = 5.0f;
    // Closes the hidden parts of the set's rectangles with new plugs: the outline between hidden and
    // visible samples (the hidden side to be filled) and the contours of the attached tiles there
    // (the tile's side left open), with the open edges of the plugs already next
    // to the set toggled in reverse so the new plugs meet them without overlapping, triangulated and
    // cut into kPlugBucketSize buckets, each bucket one plug in the tree. The rebuild calls it after
    // deleting the plugs it touched; a caller that hides samples itself calls it for their area.
    void BuildPlugs(const DirtyRectSet& samples);
    // The sample rectangle around a box, one sample wider on every side, clipped to end one sample
    // short of the far edges (empty when nothing is left).
    DirtyRect GetRectForBox(const ABBox& box) const;

private:
    size_t CellIndex(unsigned x, unsigned z) const { return size_t(z) * (GetNumXSamples() - 1) + x; }
    size_t SampleIndex(unsigned x, unsigned z) const { return size_t(z) * GetNumXSamples() + x; }
    // The rectangle clipped to a grid of width x height; false when nothing is left.
    static bool ClipRect(DirtyRect& rect, int width, int height);
    // Each rectangle of the set widened by one on every side, clipped to a grid of width x height.
    static DirtyRectSet Grow(const DirtyRectSet& set, int width, int height);

    void CreateMapGeometry() override;
    void DestroyMapGeometry() override;
    // The rectangle around each contour of the tile, widened by its GetMaxDistance on every side.
    void AddTileDirtyRects(const TerrainTile* tile) override;
    // Tile blending over a rectangle of samples: each contour point of the attached tiles near it
    // pulls the samples within kTileBlendRadius toward its height, fully at the point and not at
    // all at the radius (a cosine fall-off c); a sample takes the c^8-weighted mean of the points'
    // heights as its target and the largest c^4 as its blend. Samples no point reaches go back to
    // their base height.
    void UpdateHeightMap(const DirtyRect& samples);
    // The object as an attached tile; null for anything else.
    static const TerrainTile* AttachedTile(const TerrainObject* object);
    // Positions and normals of the set's samples into the vertex buffer.
    void UpdateVertexBuffer(const DirtyRectSet& samples);
    // Clears the hidden flag of the rectangle's samples.
    void MakeVisible(const DirtyRect& samples);
    // The objects whose bounds, widened by margin on x and z, meet a rectangle of the set; each once.
    void GetObjectsInDirtySet(mem::vector<TerrainObject*>& out, const DirtyRectSet& set, float margin) const;

    // Makes the layer from a record; the opacity bytes are copied when given, else the layer is
    // opaque when it is the base layer and clear otherwise.
    bool InternalAddLayer(const std::string& recordName, const uint8_t* opacity);
    void CreateOpacityTexture(TerrainLayer& layer) const;
    void DestroyLayer(TerrainLayer& layer) const;
    // Recomputes the visibility states of a rectangle of cells, from the top layer down.
    void UpdateVisibilityMap(const DirtyRect& cells);
    // Every object takes the layers in its box again.
    void RefreshAllObjects();

    // True when a corner of the cell lies further than kMaxSlopeDeviation from their mean.
    bool SlopeImpassable(int x, int z) const;
    // The second reference to the impassable shader, taken once and given back once.
    void HoldImpassableShader();
    void ReleaseImpassableShader();

    mem::vector<float> heights_;           // per sample
    mem::vector<uint8_t> hidden_;          // per sample: 1 hidden
    mem::vector<Offset> offsets_;          // per sample
    mem::vector<uint8_t> passability_;     // per cell: 1 impassable
    mem::vector<TerrainLayer> layers_;     // index 0 the base layer
    DirtyRectSet dirtyRects_;              // samples to rebuild
    DirtyRectSet opacityDirtyRects_;       // cells whose layer visibility to recompute
    GrassGeometryPool grass_;              // made with the ground mesh
    RenderVertexBuffer* vertexBuffer_ = nullptr;             // X x Y ground vertices
    RenderVertexDeclaration* vertexDeclaration_ = nullptr;   // position, normal
    std::unique_ptr<TerrainRenderInterface> renderInterface_;  // made with the terrain
    bool pathMeshStale_ = false;           // the level's navigation mesh no longer fits the terrain
    const GraphicsShader2* impassableShader_ = nullptr;  // held from construction to destruction
    const GraphicsShader2* impassableShaderHeld_ = nullptr;  // the second, while the terrain has samples
    bool plugRendering_ = true;
    bool textureComplexity_ = false;
};

}  // namespace GAME
