#pragma once
// Water: the water of one region's level: flat layers painted on a 9-unit block grid, rivers
// (WaterPath) and shore waves (WaterWaveSet), each on a named WaterType. It owns the loose tree of
// every water element, the slot tables of its objects, the index buffers the elements share, the
// ripple set and the splash-effect names. The level holds it as its LevelWater.
//
// Slot tables: an object's slot is its index. A table's count is one past the highest slot that
// was occupied; removing the object in the last counted slot lowers the count by one only. Loops
// run over slots 0 .. count - 1 and skip empty ones.
//
// The water block (the level file's water chunk), little-endian:
//   u32 magic 0xFEEDCBA9; u32 version (2 written); u32 T water types, L layers, P paths; u32 W
//   wave sets (only from version 2); then T WaterType records, L layer, P path and W wave-set
//   records (WaterLayer, WaterPath, WaterWaveSet). Save drops water that shows nothing first and
//   writes each layer's and path's type once per object that uses it.
//
// Decisions made here:
// - A block that is cut short, or that counts more objects than the slot tables hold (or more
//   records than bytes), fails its load with a logged error and leaves the water empty: the level
//   then has no water rather than part of it. Bad magic fails the same way; a failed record of a
//   whole block (an unknown water type) leaves only its own slot empty, as before.
// - The shaders ("Shaders/Water/WaterBasic.ssh", "Shaders/Water/WaterWaves.ssh") and the waves
//   textures ("Effects/Waves/Wake.tex", "Bump.tex", "ShoreWave.tex") load with Initialize when a
//   graphics engine runs; without them the water is kept and queried but not drawn.
// - The splash effects are entities made from the records the interaction record names, placed
//   at the surface and left to remove themselves.

#include <array>
#include <memory>
#include <string>

#include "terrain/WaterCurve.h"
#include "terrain/WaterLayer.h"
#include "terrain/WaterPath.h"
#include "terrain/WaterRenderInterface.h"
#include "terrain/WaterRippleSet.h"
#include "terrain/WaterWaveSet.h"
#include "world/LevelWater.h"

namespace GAME {

class Entity;
class GraphicsShader2;
class GraphicsTexture;
class RenderIndexBuffer;

class Water final : public LevelWater {
public:
    static constexpr uint32_t kMagic = 0xFEEDCBA9u;
    static constexpr uint32_t kVersion = 2;
    static constexpr unsigned kMaxLayers = 128;
    static constexpr unsigned kMaxPaths = 128;
    static constexpr unsigned kMaxWaveSets = 256;
    static constexpr const char* kWaterShader = "Shaders/Water/WaterBasic.ssh";
    static constexpr const char* kWavesShader = "Shaders/Water/WaterWaves.ssh";
    // The waves textures, by index (GetWavesTexture).
    static constexpr const char* kWavesTextures[3] = {"Effects/Waves/Wake.tex", "Effects/Waves/Bump.tex",
                                                      "Effects/Waves/ShoreWave.tex"};
    static constexpr const char* kInteractionRecord = "Records/WaterType/WaterInteraction.dbr";
    static constexpr float kBlockSize = 9.0f;
    // The block index buffer: rows of 10 vertices as one strip, for a block's 10 rows and for up to
    // 64 steps of a river segment (WaterPathSegment::kMaxSteps rows after the first).
    static constexpr uint32_t kBlockIndices = 1280;
    static_assert(kBlockIndices == WaterPathSegment::kMaxSteps * WaterPathSegment::kAcross * 2);

    explicit Water(Region* region) : region_(region) {}
    ~Water() override;
    Water(const Water&) = delete;
    Water& operator=(const Water&) = delete;

    // Drops everything, then sizes the block grid ((width + 8) / 9 by (depth + 8) / 9), makes the
    // tree, the shared index buffers and the ripple buffers on the device and reads the splash
    // names from "Records/WaterType/WaterInteraction.dbr".
    void Initialize(unsigned width, unsigned depth, const LevelGround* ground, RenderDevice* device) override;
    // Drops everything and sizes the block grid without a device, for tools that write level
    // files: water can then be added, painted, loaded and saved, but nothing is drawn.
    void InitializeWithoutDevice(unsigned width, unsigned depth, const LevelGround* ground);
    bool Load(BinaryReader& reader) override;
    void Save(BinaryWriter& writer) override;
    // Advances the waves and the ripples.
    void Update(int elapsedMs) override;
    // The frame's drift of the types, then the elements in view as the render interface, a
    // renderable of the region, and with them the ripples while detail objects are shown.
    void AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) override;
    // Forgets every layer's and path's reflection, then hands the manager the plane of each layer
    // and path with an element in the frustum (once, as the region's) and every such element's box.
    void AddReflectionPlanes(GraphicsReflectionManager& manager, Region* region, const Frustum& frustum) override;

    bool GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface excluded) const override;
    bool GetWaterPointInfo(const Vec3& p, Vec3& surfacePoint, Vec3& velocity) const override;
    int FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface excluded) const override;
    void FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& area, PhysicsSurface excluded) const override;
    // The box form for the entity's collision box (none: no contact), seen from this water's region
    // when the entity stands in another.
    int FindCollisions(const Entity* entity, CollisionContact* contacts, int max, PhysicsSurface excluded) const;
    void CreateRipple(const Vec3& position, float radius, float strength, SplashType kind) override;

    // Editing. The add operations answer null before the water was sized (Initialize with a
    // device, or InitializeWithoutDevice), when the table is full, or (paths) for a type name that
    // is not registered. A layer is also refused while the layer count stands at kMaxLayers, even
    // with a lower slot free.
    WaterLayer* AddWaterLayer(const char* typeName, float height);
    void RemoveWaterLayer(WaterLayer*& layer);
    // The first layer at exactly the height whose type has the name (any case).
    WaterLayer* FindLayer(const char* typeName, float height) const;
    WaterPath* AddWaterPath(const char* typeName, float height, const ControlPoint& first);
    WaterWaveSet* AddWaveSet(float height, const ControlPoint& first);
    WaterCurve* AddWaterCurve(const char* typeName, float height, const ControlPoint& first, WaterCurve::CurveType type);
    void RemoveWaterCurve(WaterCurve* curve);
    // The first path, then wave set, a pick finds something on; null (and Nothing) for none.
    WaterCurve* SelectCurve(const Ray& ray, WaterCurve::SelectionType& selection, const WorldCoords& camera) const;
    void DrawCurveSelectionPoints(GraphicsPrimitiveDrawer& drawer, const Vec3& offset, WaterCurve::CurveType type) const;
    // Mirrors every layer, path and wave set: XZ first, then X about centre.x, then Z.
    void Mirror(const Vec3& centre, bool x, bool z, bool xz);
    // Rebuilds the layers and paths that use the type; true when any does.
    bool UpdateWaterType(const WaterType* type) const;
    // Deletes the layers and paths that use the type.
    void RemoveWaterType(const WaterType* type);
    bool IsWaterTypeUsed(const WaterType* type) const;
    // The frame's drift of every type in use.
    void UpdateWaterTypes();
    // Drops layers left without blocks and curves with fewer than two points.
    void Cleanup();
    // Device reset: give back and make again every device resource (the reflections are forgotten).
    void PreDeviceReset() override;
    void PostDeviceReset() override;
    void LogInfo() const;

    unsigned GetWidth() const { return width_; }
    unsigned GetDepth() const { return depth_; }
    unsigned GetBlocksX() const { return blocksX_; }
    unsigned GetBlocksZ() const { return blocksZ_; }
    unsigned GetNumLayers() const { return layers_.count; }
    unsigned GetNumPaths() const { return paths_.count; }
    unsigned GetNumWaveSets() const { return waveSets_.count; }
    // Null past the count or for an empty slot.
    WaterLayer* GetLayer(unsigned slot) const;
    WaterPath* GetPath(unsigned slot) const;
    WaterWaveSet* GetWaveSet(unsigned slot) const;
    Region* GetRegion() const { return region_; }
    const LevelGround* GetGround() const { return ground_; }
    const WaterSpace* GetSpace() const { return tree_.get(); }
    WaterRippleSet& GetRipples() { return ripples_; }
    RenderIndexBuffer* GetBlockIndexBuffer() const { return blockIndices_; }
    RenderIndexBuffer* GetWavesIndexBuffer() const { return wavesIndices_; }
    const std::string& GetSplashEffect(SplashType kind) const;
    // The elements in the frustums, appended.
    void GetBlocksInFrustum(mem::vector<WaterElement*>& out, const Frustum* frusta, unsigned count) const;
    // Null until loaded (or without a graphics engine).
    const GraphicsShader2* GetWaterShader() const { return waterShader_; }
    const GraphicsShader2* GetWavesShader() const { return wavesShader_; }
    const GraphicsTexture* GetWavesTexture(int i) const { return wavesTextures_[i]; }
    // "blendStyle", "bumpStyle", "blendStyle": the style each waves texture draws in.
    static const Name& GetWavesStyle(int i);
    const WaterRenderInterface& GetRenderInterface() const { return renderInterface_; }

private:
    template <class T, size_t N>
    struct SlotTable {
        std::array<std::unique_ptr<T>, N> slots;
        unsigned count = 0;
        // The first free slot; N when none.
        unsigned FindFree() const;
        void Put(unsigned slot, std::unique_ptr<T> object);
        // Clears the slot when it holds the object; the count drops by one when it was the last.
        std::unique_ptr<T> Take(const T* object);
        void Clear();
    };

    void ReleaseAll();
    // The block grid and the tree over width x depth units.
    void MakeGrid(unsigned width, unsigned depth);
    void CreateIndexBuffers();
    void ReleaseIndexBuffers();
    void ResetReflectionSurfaces();
    void LoadInteraction();
    // The shaders and waves textures through the graphics engine, and back.
    void LoadTextures();
    void UnloadTextures();
    // The nearest hit of every layer and path with the ray, nearer than best; which gave it.
    struct SurfaceHit {
        float distance = Infinity;
        const WaterLayer* layer = nullptr;
        const WaterPath* path = nullptr;
        unsigned segment = 0;
        float t = 0.0f;
    };
    SurfaceHit CastRay(const Ray& ray) const;

    Region* const region_;
    unsigned width_ = 0;
    unsigned depth_ = 0;
    unsigned blocksX_ = 0;
    unsigned blocksZ_ = 0;
    RenderDevice* device_ = nullptr;
    const LevelGround* ground_ = nullptr;
    RenderIndexBuffer* blockIndices_ = nullptr;
    RenderIndexBuffer* wavesIndices_ = nullptr;
    std::unique_ptr<WaterSpace> tree_;
    SlotTable<WaterLayer, kMaxLayers> layers_;
    SlotTable<WaterPath, kMaxPaths> paths_;
    SlotTable<WaterWaveSet, kMaxWaveSets> waveSets_;
    WaterRippleSet ripples_;
    std::string splashEffects_[3];  // wake, object, body
    const GraphicsShader2* waterShader_ = nullptr;
    const GraphicsShader2* wavesShader_ = nullptr;
    const GraphicsTexture* wavesTextures_[3] = {};
    WaterRenderInterface renderInterface_{*this};
};

}  // namespace GAME
