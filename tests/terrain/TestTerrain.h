#pragma once
// A concrete terrain for the terrain tests: heights and layer opacities from functions, kept in
// arrays whose every read is checked, so a test can tell whether a helper reached outside the
// grid. It updates and preloads as the run-time terrain does and counts its ground-mesh calls.

#include <cstdint>
#include <functional>

#include "core/ABBox.h"
#include "core/Mem.h"
#include "core/OBBox.h"
#include "engine/Entity.h"
#include "terrain/GrassGeometryPool.h"
#include "terrain/HeightField.h"
#include "terrain/TerrainBase.h"
#include "terrain/TerrainObject.h"

namespace GAME::test {

class TestTerrain : public TerrainBase {
public:
    using SampleFunction = std::function<float(unsigned x, unsigned z)>;
    using CellFunction = std::function<uint8_t(unsigned x, unsigned z)>;

    TestTerrain() : TerrainBase(TerrainBaseType::RunTime, nullptr) {}
    // The blocks give their grass back to the pool while the terrain is whole.
    ~TestTerrain() override { TerrainBase::Unload(); }

    // Sets the grid, the heights (flat at 0 without a function) and builds the blocks; false for
    // invalid counts. Layers are kept: add them first so the blocks see them.
    bool Make(uint32_t numXSamples, uint32_t numYSamples, const SampleFunction& heights = nullptr);
    // A layer with its opacity per cell and its type.
    void AddLayer(const CellFunction& opacity, TerrainType* type = nullptr);
    void SetLowQuality(bool lowQuality) { lowQuality_ = lowQuality; }

    // Reads outside the grid (or past the layers) since the terrain was made.
    int GetOutOfGridReads() const { return outOfGridReads_; }
    int GetMapGeometryCreated() const { return mapGeometryCreated_; }
    int GetMapGeometryDestroyed() const { return mapGeometryDestroyed_; }

    using TerrainBase::DestroyTerrainBlocks;
    using TerrainBase::InitializeBlocks;
    using TerrainBase::SetNumSamples;

    bool Load(BinaryReader&, int) override { return false; }
    void Write(BinaryWriter&, bool) const override {}
    bool LoadRenderData() override { return true; }
    void Update(const Frustum* frusta, unsigned count, int elapsedMs) override;
    void PreLoad(int priority, const Frustum* frusta, unsigned count) override;

    float GetHeight(unsigned x, unsigned z) const override;
    bool IsInvisible(int, int) const override { return false; }
    unsigned GetNumTextureLayers() const override { return unsigned(layers_.size()); }
    TerrainType* GetLayerTerrainType(unsigned layer) override;
    const TerrainType* GetLayerTerrainType(unsigned layer) const override;
    const RenderTexture* GetLayerOpacityTexture(unsigned) const override { return nullptr; }
    GrassGeometry CreateGrassGeometry() override { return grass_.Create(); }
    void DestroyGrassGeometry(GrassGeometry& geometry) override { grass_.Destroy(geometry); }
    const GrassGeometryPool& GetGrassPool() const { return grass_; }
    uint8_t GetLayerOpacity(unsigned layer, unsigned x, unsigned z) const override;
    // The layers with a non-zero opacity in the cells under the box, as the run-time terrain
    // finds them.
    void GetLayersInBox(mem::vector<unsigned>& out, const ABBox& box) const override;
    bool LowQuality() const override { return lowQuality_; }

private:
    struct Layer {
        CellFunction opacity;
        TerrainType* type;
    };

    void CreateMapGeometry() override { ++mapGeometryCreated_; }
    void DestroyMapGeometry() override { ++mapGeometryDestroyed_; }

    mem::vector<float> heights_;
    mem::vector<uint8_t> hidden_;  // all visible
    mem::vector<Layer> layers_;
    bool lowQuality_ = false;
    GrassGeometryPool grass_;
    mutable int outOfGridReads_ = 0;
    int mapGeometryCreated_ = 0;
    int mapGeometryDestroyed_ = 0;
};

// An entity whose collision box is given (none for null).
class Boxed final : public Entity {
public:
    explicit Boxed(const OBBox* box) : box_(box) {
        if (box) SetRegionBoundingBox(ABBox(*box), false);
    }
    bool GetCollisionProxy(OBBox& box) const override {
        if (box_) box = *box_;
        return box_ != nullptr;
    }

private:
    const OBBox* box_;
};

// A terrain object with given bounds that counts the calls it gets and answers a collision query
// with up to a given number of contacts.
class Marker : public TerrainObject {
public:
    explicit Marker(const ABBox& bounds, int contacts = 0) : contacts_(contacts) { SetBoundingBox(bounds); }

    void MoveTo(const ABBox& bounds) { SetBoundingBox(bounds); }

    void Update(const TerrainBase&, int elapsedMs) override {
        ++updates;
        lastElapsedMs = elapsedMs;
    }
    void Unload() override {
        ++unloads;
        TerrainObject::Unload();
    }
    int FindCollisions(const TerrainBase&, const OBBox&, CollisionContact* contacts, int max,
                       PhysicsSurface) const override;
    void PreDeviceReset() override { ++preResets; }
    void PostDeviceReset() override { ++postResets; }

    int updates = 0;
    int lastElapsedMs = 0;
    int unloads = 0;
    int preResets = 0;
    int postResets = 0;
    mutable mem::vector<int> roomAsked;  // max of each collision query

private:
    int contacts_;
};

}  // namespace GAME::test
