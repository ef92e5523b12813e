#pragma once
// WaterObject and WaterElement: the two bases of the water of a level.
//
// A WaterObject is one water body (a layer of standing water, a river path, a wave set): it knows
// its slot in the water's table, the tree and device it builds into, the WaterType it uses (one
// counted reference) and the reflection plane it offers to the reflection renderer.
//
// A WaterElement is one drawable, spatially indexed piece of a body: a block of a layer, a segment
// of a path, a wave element. Elements live in the water's loose tree (WaterSpace) by their box; an
// element is always taken out of the tree before it is deleted. It shares its object's type
// (uncounted) and plane.

#include <cstdint>

#include "core/ABBox.h"
#include "core/Plane.h"
#include "scene/GraphicsReflectionManager.h"
#include "world/Space.h"

namespace GAME {

class LevelGround;
class Region;
class RenderDevice;
class RenderTexture;
class RenderVertexBuffer;
class RenderVertexDeclaration;
class BinaryReader;
class BinaryWriter;
class Water;
class WaterElement;
class WaterType;

struct WaterElementSpaceTraits {
    static SpaceLinks<WaterElement>& GetLinks(WaterElement& element);
    // Elements have one box.
    static const ABBox& GetBoundingBox(const WaterElement& element, bool);
};

// Box queries test every element, so they answer exactly the elements whose box meets theirs.
using WaterSpace = Space<WaterElement, WaterElementSpaceTraits, SpaceInsideNodes::TestEach>;

// The depth of the water at a vertex, packed for the vertex colour: d = vertex y - ground height
// (ground 0 without ground), clamped to [0, 255]; (trunc(d) << 8) | trunc(frac(d) x 255).
uint16_t PackWaterDepth(const Vec3& vertex, const LevelGround* ground);

// The declaration of the 32-byte vertex every piece of water (and every ripple) is drawn from:
// f32 x 3 position, f32 x 2 texture coordinate, f32 x 2 in the normal's place, u32 colour. Null
// when the device cannot make it.
RenderVertexDeclaration* CreateWaterVertexDeclaration(RenderDevice& device);

class WaterElement {
public:
    enum class ElementType : uint32_t {
        LayerBlock = 0,
        PathSegment = 1,
        WaveElement = 2,
    };

    explicit WaterElement(ElementType type) : elementType_(type) {}
    WaterElement(const WaterElement&) = delete;
    WaterElement& operator=(const WaterElement&) = delete;
    // Gives the vertex buffer back to the device that made it.
    virtual ~WaterElement();

    // Recomputes the depths from the ground (null: ground at 0) and refreshes the vertex buffer
    // when there is one. True when the element shows some water.
    virtual bool UpdateGeometry(const LevelGround* ground) = 0;
    // One draw of the element's geometry from the stream and indices the renderer has set.
    virtual void Render(RenderDevice& device, int pass) const = 0;
    virtual const char* GetStyleName() const = 0;
    virtual const char* GetReflectStyleName() const = 0;

    ElementType GetElementType() const { return elementType_; }
    const ABBox& GetBoundingBox() const { return box_; }
    const WaterType* GetWaterType() const { return waterType_; }
    void SetWaterType(const WaterType* type) { waterType_ = type; }
    GraphicsReflectionPlane* GetReflectionPlane() const { return reflectionPlane_; }
    void SetReflectionPlane(GraphicsReflectionPlane* plane) { reflectionPlane_ = plane; }
    // The texture of the plane's reflection surface; null without plane or surface.
    const RenderTexture* GetReflectionTexture() const;
    RenderVertexBuffer* GetVertexBuffer() const { return vertexBuffer_; }

protected:
    // Makes a vertex buffer of size bytes on the device (flags as RenderDevice::CreateVertexBuffer:
    // static unless kBufferDynamic), giving back any held; null (the element then has no
    // geometry) when the device cannot.
    RenderVertexBuffer* CreateVertexBuffer(RenderDevice& device, uint32_t size, uint32_t flags = 0);
    void DestroyVertexBuffer();

    ABBox box_;

private:
    friend struct WaterElementSpaceTraits;

    SpaceLinks<WaterElement> links_;
    const ElementType elementType_;
    RenderDevice* device_ = nullptr;                      // the maker of the vertex buffer
    RenderVertexBuffer* vertexBuffer_ = nullptr;          // null while not built
    const WaterType* waterType_ = nullptr;                // the object's, not counted
    GraphicsReflectionPlane* reflectionPlane_ = nullptr;  // the object's
};

inline SpaceLinks<WaterElement>& WaterElementSpaceTraits::GetLinks(WaterElement& element) { return element.links_; }
inline const ABBox& WaterElementSpaceTraits::GetBoundingBox(const WaterElement& element, bool) {
    return element.box_;
}

class WaterObject {
public:
    WaterObject(unsigned index, WaterSpace& tree, RenderDevice* device, Water* water)
        : index_(index), tree_(tree), device_(device), water_(water) {}
    WaterObject(const WaterObject&) = delete;
    WaterObject& operator=(const WaterObject&) = delete;
    // Gives back the held water type.
    virtual ~WaterObject();

    // Recomputes the elements' depths from the ground.
    virtual void Update() = 0;
    // The object's record in the water block (version: the block's). Reading a record stops at its
    // end whatever happens, so the records after a failed one still read; a record cut short by
    // the end of the data leaves the reader failed.
    virtual bool Load(BinaryReader& reader, unsigned version) = 0;
    virtual void Save(BinaryWriter& writer) const = 0;
    // Mirror the body within its own extent.
    virtual void MirrorX(float axis) = 0;
    virtual void MirrorZ(float axis) = 0;
    virtual void MirrorXZ() = 0;

    // The frame's advance of the held type's texture drift.
    void UpdateWaterType();
    // The held type's name; null without one.
    const char* GetWaterTypeName() const;
    const WaterType* GetWaterType() const { return waterType_; }
    unsigned GetIndex() const { return index_; }
    Water* GetWater() const { return water_; }
    // The region of the water the object belongs to; null without a water or a region.
    Region* GetRegion() const;
    // The plane (normal (0, 1, 0), d = -height) and box of the water on it; the region and
    // surface are set while reflections are gathered and drawn.
    const GraphicsReflectionPlane& GetReflectionPlane() const { return reflectionPlane_; }
    // Forgets the reflection drawn for the plane (before each gathering, and when the device's
    // surfaces go).
    void ResetReflectionSurface() { reflectionPlane_.surface = nullptr; }
    // The ground depths are measured from; null for none (ground at height 0).
    void SetGround(const LevelGround* ground) { ground_ = ground; }
    const LevelGround* GetGround() const { return ground_; }

protected:
    // Gives back the held type and takes one reference on the type of that name; false (and no
    // type) when there is none.
    bool AcquireWaterType(const char* name);

    const unsigned index_;
    WaterSpace& tree_;
    RenderDevice* const device_;  // null: the elements keep their CPU data and are never drawn
    Water* const water_;
    const LevelGround* ground_ = nullptr;
    WaterType* waterType_ = nullptr;  // one manager reference; null when none
    GraphicsReflectionPlane reflectionPlane_;
};

}  // namespace GAME
