#include "world/GridRegion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/Color.h"
#include "core/Frustum.h"
#include "core/Log.h"
#include "core/MathUtil.h"
#include "core/OBBox.h"
#include "core/Singleton.h"
#include "core/WorldVec3.h"
#include "engine/Engine.h"
#include "engine/Entity.h"
#include "engine/ObjectManager.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "physics/CollisionBox.h"
#include "physics/CollisionContact.h"
#include "physics/PhysicsMesh.h"
#include "render/DebugRenderManager.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsSceneRenderer.h"
#include "world/GridSystem.h"
#include "world/Portal.h"
#include "world/Region.h"
#include "world/Space.h"

namespace GAME {

namespace {

GraphicsEngine* GetGraphics() { return gEngine ? gEngine->GetGraphicsEngine() : nullptr; }

void WriteWords(BinaryWriter& writer, const UniqueId& id) {
    for (uint32_t word : id.ToNameOrderWords()) writer.Write(static_cast<unsigned int>(word));
}

// The collision mesh of a cell's mesh; null when the cell shows nothing or its mesh has none.
const PhysicsMesh* CollisionMesh(const GridRegion::Cell& cell) {
    return cell.instance && cell.instance->GetMesh() ? cell.instance->GetMesh()->GetPhysicsMesh() : nullptr;
}

const Coords& CellFrame(const GridRegion::Cell& cell) { return cell.instance->GetObjectToRegionCoords(); }

struct CellSpaceTraits {
    static SpaceLinks<GridRegion::Cell>& GetLinks(GridRegion::Cell& cell) { return cell.links; }
    static const ABBox& GetBoundingBox(const GridRegion::Cell& cell, bool) { return cell.box; }
    static void GetIntersection(const GridRegion::Cell& cell, const Ray& ray, Intersection& hit,
                                PhysicsSurface surface) {
        if (const PhysicsMesh* mesh = CollisionMesh(cell)) mesh->GetIntersection(CellFrame(cell), ray, hit, surface);
    }
};

}  // namespace

class GridRegion::CellSpace : public Space<Cell, CellSpaceTraits, SpaceInsideNodes::TestEach> {
public:
    using Space::Space;
};

GridRegion::GridRegion(Region* region) : region_(region) { SetSystem(kDefaultSystem); }

GridRegion::~GridRegion() {
    DestroyCells();
    space_.reset();
    if (system_) Singleton<ObjectManager>::Get()->DestroyObjectEx(system_, __FILE__, __LINE__);
}

void GridRegion::SetSystem(const std::string& recordName) {
    systemName_ = recordName;
    // Cells hold the old system's meshes through references of their own, so it may go first.
    if (system_) Singleton<ObjectManager>::Get()->DestroyObjectEx(system_, __FILE__, __LINE__);
    system_ = recordName.empty() ? nullptr : Singleton<ObjectManager>::Get()->CreateObjectFromFile<GridSystem>(recordName);
    minWallOpacity_ = system_ ? system_->GetMinWallOpacity() : 0.0f;
    // The spacing may have changed, which moves every cell.
    RebuildCells();
}

Vec3 GridRegion::GetCellSpacing() const { return system_ ? system_->GetCellSpacing() : Vec3(1.0f, 1.0f, 1.0f); }

Vec3 GridRegion::GetCellCenter(int x, int y, int z) const {
    const Vec3 s = GetCellSpacing();
    return Vec3(s.x * (float(x) + 0.5f), s.y * float(y), s.z * (float(z) + 0.5f));
}

Coords GridRegion::GetCellCoords(int x, int y, int z, int rotation) const {
    return Coords::Translation(GetCellCenter(x, y, z)) * Coords::RotationY(float(rotation) * Pi * 0.5f);
}

LevelGround::Area GridRegion::GetArea() const {
    const Vec3 spacing = GetCellSpacing();
    return {uint32_t(float(GetXNumCells()) * spacing.x), uint32_t(float(GetZNumCells()) * spacing.z)};
}

ABBox GridRegion::GetBoundingBox() const {
    if (boxValid_) return box_;
    const Vec3 s = GetCellSpacing();
    const Vec3 high(s.x * float(GetXNumCells()), s.y * float(GetYNumCells()), s.z * float(GetZNumCells()));
    box_ = ABBox(high * 0.5f, high * 0.5f);
    for (int z = 0; z < cells_.GetZ(); ++z) {
        for (int y = 0; y < cells_.GetY(); ++y) {
            for (int x = 0; x < cells_.GetX(); ++x) {
                const Cell& cell = cells_.At(x, y, z);
                const PhysicsMesh* mesh = CollisionMesh(cell);
                if (!mesh) continue;
                OBBox placed(mesh->GetBoundingBox());
                placed.Transform(CellFrame(cell));
                box_ = ABBox::Union(box_, ABBox(placed));
            }
        }
    }
    boxValid_ = true;
    return box_;
}

// -- Cells ----------------------------------------------------------------------------------------

void GridRegion::ReleaseCell(Cell& cell) {
    if (cell.portal && region_) region_->DestroyPortal(cell.portal);
    cell.portal = nullptr;
    space_->RemoveFromNode(cell);
    cell.instance.reset();
    cell.rotation = 0;
}

void GridRegion::DestroyCells() {
    for (int z = 0; z < cells_.GetZ(); ++z)
        for (int y = 0; y < cells_.GetY(); ++y)
            for (int x = 0; x < cells_.GetX(); ++x) ReleaseCell(cells_.At(x, y, z));
    boxValid_ = false;
}

void GridRegion::RebuildCells() {
    DestroyCells();
    const Vec3 s = GetCellSpacing();
    const Vec2 half(s.x * float(GetXNumCells()) * 0.5f, s.z * float(GetZNumCells()) * 0.5f);
    space_ = std::make_unique<CellSpace>(half, half);
    UpdateAllCells();
}

void GridRegion::UpdateAllCells() {
    for (int z = 0; z < cells_.GetZ(); ++z)
        for (int y = 0; y < cells_.GetY(); ++y)
            for (int x = 0; x < cells_.GetX(); ++x) UpdateCell(x, y, z);
}

void GridRegion::GetCellNames(int x, int y, int z, char base[5], char mid[5]) const {
    const int i = 2 * x;
    const int k = 2 * z;
    const int8_t posts[4] = {lattice_.At(i, y, k), lattice_.At(i + 2, y, k), lattice_.At(i + 2, y, k + 2),
                             lattice_.At(i, y, k + 2)};
    const int8_t walls[4] = {lattice_.At(i + 1, y, k), lattice_.At(i + 2, y, k + 1), lattice_.At(i + 1, y, k + 2),
                             lattice_.At(i, y, k + 1)};
    for (int n = 0; n < 4; ++n) {
        base[n] = char('0' + posts[n]);
        const int8_t first = posts[n];
        const int8_t second = posts[(n + 1) % 4];
        mid[n] = first != second || first == 0 ? 'x' : char('0' + walls[n]);
    }
    base[4] = mid[4] = '\0';
}

void GridRegion::UpdateCell(int x, int y, int z) {
    if (!system_) return;
    const GraphicsMesh* mesh = nullptr;
    int rotation = 0;
    const FeatureCell& feature = features_.At(x, y, z);
    if (feature.feature <= 0) {
        char base[5];
        char mid[5];
        GetCellNames(x, y, z, base, mid);
        mesh = system_->GetMeshForCell(base, mid, GetCellFloor(x, y, z) != 0, rotation);
    } else if (feature.feature - 1 < system_->GetNumFeatures()) {
        mesh = system_->GetFeatureMesh(feature.feature - 1);
        rotation = feature.rotation;
    }
    GraphicsEngine* graphics = GetGraphics();
    if (mesh && graphics) mesh = graphics->LoadMesh(mesh->GetFileName());
    Cell& cell = cells_.At(x, y, z);
    ReleaseCell(cell);
    boxValid_ = false;
    if (!mesh || !graphics) return;
    cell.rotation = rotation;
    cell.instance = std::make_unique<GridCellMeshInstance>();
    cell.instance->SetMesh(mesh);
    cell.instance->SetObjectToRegionCoords(GetCellCoords(x, y, z, rotation));
    cell.instance->UpdateBoundingBox(true);
    cell.box = cell.instance->GetRegionSpaceABBox();
    if (const PhysicsMesh* physics = CollisionMesh(cell)) {
        OBBox placed(physics->GetBoundingBox());
        placed.Transform(CellFrame(cell));
        cell.box = ABBox::Union(cell.box, ABBox(placed));
    }
    space_->AddObject(cell);
    if (portalsMade_) MakePortal(x, y, z);
}

void GridRegion::MakePortal(int x, int y, int z) {
    Cell& cell = cells_.At(x, y, z);
    const GraphicsMesh* mesh = cell.instance ? cell.instance->GetMesh() : nullptr;
    if (!region_ || !mesh || cell.portal || mesh->GetNumPortals() != 1) return;
    cell.portal = region_->CreatePortal();
    cell.portal->SetFromMesh(*mesh);
    cell.portal->SetCoords(GetCellCoords(x, y, z, cell.rotation));
}

void GridRegion::PostLoad() {
    portalsMade_ = true;
    for (int z = 0; z < cells_.GetZ(); ++z)
        for (int y = 0; y < cells_.GetY(); ++y)
            for (int x = 0; x < cells_.GetX(); ++x) MakePortal(x, y, z);
    for (const PortalRecord& record : portalRecords_) {
        if (!cells_.Contains(int(record.x), int(record.y), int(record.z))) continue;
        Portal* portal = cells_.At(int(record.x), int(record.y), int(record.z)).portal;
        if (!portal) continue;
        portal->SetId(record.id);
        portal->SetConnectedPortalId(record.connectedId);
        portal->SetConnectedRegionId(record.connectedRegion);
    }
}

// -- Edits ----------------------------------------------------------------------------------------

void GridRegion::Resize(int x, int y, int z) {
    if (x == GetXNumCells() && y == GetYNumCells() && z == GetZNumCells()) return;
    DestroyCells();
    cells_.Resize(x, y, z);
    lattice_.Resize(2 * x + 1, y, 2 * z + 1, 0);
    features_.Resize(x, y, z, FeatureCell());
    transparency_.Resize(2 * x + 1, y, 2 * z + 1, 1.0f);
    visited_.Resize(2 * x + 1, y, 2 * z + 1, 1);
    ClearTransparency();
    RebuildCells();
}

void GridRegion::SetLatticeValue(int i, int j, int k, int8_t value) {
    if (!lattice_.Contains(i, j, k)) return;
    lattice_.At(i, j, k) = value;
    const int x = i / 2;
    const int z = k / 2;
    const auto touch = [&](int cx, int cz) {
        if (cells_.Contains(cx, j, cz)) UpdateCell(cx, j, cz);
    };
    touch(x, z);
    if (k % 2 == 0) touch(x, z - 1);
    if (i % 2 == 0) touch(x - 1, z);
    if (i % 2 == 0 && k % 2 == 0) touch(x - 1, z - 1);
}

void GridRegion::SetCellFloor(int x, int y, int z, int8_t value) {
    lattice_.At(2 * x + 1, y, 2 * z + 1) = value;
    UpdateCell(x, y, z);
}

void GridRegion::SetCellFeature(int x, int y, int z, int8_t feature, int8_t rotation) {
    features_.At(x, y, z) = FeatureCell{feature, rotation};
    for (int cz = z - 1; cz <= z + 1; ++cz)
        for (int cx = x - 1; cx <= x + 1; ++cx)
            if (cells_.Contains(cx, y, cz)) UpdateCell(cx, y, cz);
}

void GridRegion::Rotate() {
    // The cells move in memory and in space: out of the tree first.
    DestroyCells();
    lattice_.Rotate();
    features_.Rotate();
    cells_.Rotate();
    transparency_.Rotate();
    visited_.Rotate();
    for (int z = 0; z < features_.GetZ(); ++z) {
        for (int y = 0; y < features_.GetY(); ++y) {
            for (int x = 0; x < features_.GetX(); ++x) {
                FeatureCell& feature = features_.At(x, y, z);
                feature.rotation = int8_t((feature.rotation + 1) % 4);
            }
        }
    }
    RebuildCells();
}

// -- Drawing and queries --------------------------------------------------------------------------

void GridRegion::GetMeshesInFrustum(mem::vector<GridCellMeshInstance*>& out, const Frustum* frusta,
                                    unsigned count) const {
    scratch_.clear();
    space_->GetInFrustum(scratch_, frusta, count);
    for (Cell* cell : scratch_) out.push_back(cell->instance.get());
}

void GridRegion::GetCellMeshesInBox(const ABBox& box, mem::vector<GridCellMeshInstance*>& out) const {
    scratch_.clear();
    space_->GetInBox(scratch_, box);
    for (Cell* cell : scratch_) out.push_back(cell->instance.get());
}

void GridRegion::AddToScene(GraphicsSceneRenderer& renderer, const Frustum& frustum) {
    if (!renderer.IsRenderFlagSet(GraphicsSceneRenderer::kGridTiles)) return;
    mem::vector<GridCellMeshInstance*> instances;
    GetMeshesInFrustum(instances, &frustum, 1);
    for (GridCellMeshInstance* instance : instances) {
        instance->PrepareForRendering();
        renderer.AddRenderable(instance, region_);
    }
}

void GridRegion::SetTransparency(const Frustum& frustum) { MarkSeeThrough(frustum, Color(1.0f, 0.5f, 0.8f, 1.0f)); }

void GridRegion::UpdateTransparency(const Frustum& frustum) { MarkSeeThrough(frustum, Color(0.9f, 0.3f, 0.5f, 1.0f)); }

void GridRegion::MarkSeeThrough(const Frustum& frustum, const Color& color) {
    mem::vector<GridCellMeshInstance*> instances;
    GetMeshesInFrustum(instances, &frustum, 1);
    for (GridCellMeshInstance* instance : instances) instance->SetTransparency(frustum, region_, color, false);
}

void GridRegion::PreLoad(int priority, const Frustum*, unsigned) {
    if (system_) system_->PreLoad(priority);
}

void GridRegion::Update(const Frustum* frusta, unsigned count, int elapsedMs) {
    scratch_.clear();
    space_->GetInFrustum(scratch_, frusta, count);
    for (Cell* cell : scratch_) {
        cell->instance->UpdateSectionOpacities(elapsedMs, minWallOpacity_);
        // The cell's walls 0..3 from the lattice; the mesh, turned by the rotation, numbers from
        // the cell's wall (4 - rotation) mod 4.
        int x = 0;
        int j = 0;
        int z = 0;
        cells_.GetPosition(*cell, x, j, z);
        const int i = 2 * x + 1;
        const int k = 2 * z + 1;
        const float walls[4] = {transparency_.At(i, j, k - 1), transparency_.At(i + 1, j, k), transparency_.At(i, j, k + 1),
                                transparency_.At(i - 1, j, k)};
        std::array<float, 4> seen{};
        for (int n = 0; n < 4; ++n) seen[size_t(n)] = walls[(n + 4 - cell->rotation) % 4];
        cell->instance->SetWallTransparency(seen);
    }
}

void GridRegion::GetIntersection(const Ray& ray, Intersection& out, PhysicsSurface surface) const {
    out = Intersection();
    space_->Pick(ray, out, surface);
}

int GridRegion::FindCollisions(const OBBox& box, CollisionContact* contacts, int max, PhysicsSurface surface) const {
    scratch_.clear();
    space_->GetInBox(scratch_, ABBox(box));
    int count = 0;
    for (const Cell* cell : scratch_) {
        if (count >= max) break;
        if (const PhysicsMesh* mesh = CollisionMesh(*cell))
            count += mesh->FindCollisions(CellFrame(*cell), box, contacts + count, max - count, surface);
    }
    return count;
}

int GridRegion::FindCollisions(const Entity* entity, CollisionContact* contacts, int max, const Region* region,
                               PhysicsSurface surface) const {
    OBBox box;
    if (!entity || !entity->GetCollisionProxy(box)) return 0;
    box.coords.origin += GetOffsetDifference(entity->GetRegion(), region);
    return FindCollisions(box, contacts, max, surface);
}

void GridRegion::FindCollisions(mem::vector<CollisionBox>& boxes, const ABBox& bounds, PhysicsSurface surface) const {
    scratch_.clear();
    space_->GetInBox(scratch_, bounds);
    CollisionContact found[kCellContacts];
    for (CollisionBox& box : boxes) {
        for (const Cell* cell : scratch_) {
            const PhysicsMesh* mesh = CollisionMesh(*cell);
            if (!mesh || !ABBox::Overlap(cell->box, box.GetABBox())) continue;
            const int count = mesh->FindCollisions(CellFrame(*cell), box.GetOBBox(), found, kCellContacts, surface);
            for (int n = 0; n < count; ++n) box.AddContact(found[n]);
        }
    }
}

void GridRegion::RenderLattice() const {
    for (int k = 0; k < lattice_.GetZ(); ++k)
        for (int j = 0; j < lattice_.GetY(); ++j)
            for (int i = 0; i < lattice_.GetX(); ++i) RenderLattice(i, j, k);
}

void GridRegion::RenderLattice(int i, int j, int k) const {
    if (!lattice_.Contains(i, j, k)) return;
    const Vec3 s = GetCellSpacing();
    const Vec3 at(s.x * float(i) * 0.5f, s.y * (float(j) + 0.5f), s.z * float(k) * 0.5f);
    const Color white(1.0f, 1.0f, 1.0f, 1.0f);
    DebugRenderManager& debug = *Singleton<DebugRenderManager>::Get();
    debug.RenderBox(region_, ABBox(at, Vec3(1.0f, 1.0f, 1.0f)), white);
    const bool floor = i % 2 == 1 && k % 2 == 1;
    char text[64];
    std::snprintf(text, sizeof text, "(%d, %d) - %d", i, k, floor ? 0 : int(lattice_.At(i, j, k)));
    debug.RenderText(text, region_, at + Vec3(0.0f, 1.5f, 0.0f), white);
}

// -- Wall transparency ---------------------------------------------------------------------------

void GridRegion::UpdateTransparency(const WorldVec3& fromWorld, const WorldVec3& toWorld, int elapsedMs) {
    if (!region_ || lattice_.GetCount() == 0) return;
    const float step = float(elapsedMs) * 0.0025f;
    for (int k = 0; k < lattice_.GetZ(); ++k) {
        for (int j = 0; j < lattice_.GetY(); ++j) {
            for (int i = 0; i < lattice_.GetX(); ++i) {
                if (i % 2 == 1 || k % 2 == 1) transparency_.At(i, j, k) = std::min(1.0f, transparency_.At(i, j, k) + step);
            }
        }
    }
    visited_.Fill(0);
    const Vec3 from = region_->GetRelativePosition(fromWorld);
    const Vec3 to = region_->GetRelativePosition(toWorld);
    const Vec3 s = GetCellSpacing();
    // Clamped before the conversion: a focus far outside the grid spreads from nowhere.
    const auto cell = [](float value, float spacing) {
        return int(std::clamp(std::floor(value / spacing), -2.0f * float(kMaxCells), 2.0f * float(kMaxCells)));
    };
    const int cx = 2 * cell(to.x, s.x) + 1;
    const int cy = cell(to.y, s.y);
    const int cz = 2 * cell(to.z, s.z) + 1;
    const Vec3 d = (from - to).Unit();
    const float amount = 2.0f * step;
    SpreadTransparency(from, to, d.x <= 0.0f ? cx - 1 : cx + 1, cy, cz, amount);
    SpreadTransparency(from, to, cx, cy, d.z > 0.0f ? cz + 1 : cz - 1, amount);
    for (int k = 0; k < lattice_.GetZ(); k += 2) {
        for (int j = 0; j < lattice_.GetY(); ++j) {
            for (int i = 0; i < lattice_.GetX(); i += 2) {
                float lowest = 1.0f;
                for (const auto& [di, dk] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{1, 0}, std::pair{0, 1}}) {
                    if (lattice_.Contains(i + di, j, k + dk)) lowest = std::min(lowest, transparency_.At(i + di, j, k + dk));
                }
                transparency_.At(i, j, k) = lowest;
            }
        }
    }
}

void GridRegion::SpreadTransparency(const Vec3& from, const Vec3& to, int i, int j, int k, float amount) {
    if (!lattice_.Contains(i, j, k) || visited_.At(i, j, k)) return;
    visited_.At(i, j, k) = 1;
    // (a, b): the place along the piece's run and across it.
    const bool alongX = k % 2 == 0;
    const int a = alongX ? i : k;
    const int b = alongX ? k : i;
    const auto present = [&](int pa, int pb) {
        const int pi = alongX ? pa : pb;
        const int pk = alongX ? pb : pa;
        return lattice_.Contains(pi, j, pk) && lattice_.At(pi, j, pk) != 0;
    };
    const auto spread = [&](int pa, int pb) {
        SpreadTransparency(from, to, alongX ? pa : pb, j, alongX ? pb : pa, amount);
    };
    if (!present(a, b) || !present(a - 1, b) || !present(a + 1, b)) return;
    float& value = transparency_.At(i, j, k);
    value = std::max(value - amount, minWallOpacity_);
    bool left = true;
    bool right = true;
    for (const int side : {-1, 1}) {
        const bool parallel = present(a, b + 2 * side);
        const bool leftWall = present(a - 1, b + side) && present(a - 1, b + 2 * side);
        const bool rightWall = present(a + 1, b + side) && present(a + 1, b + 2 * side);
        left = left && (!leftWall || (parallel && rightWall));
        right = right && (!rightWall || (parallel && leftWall));
    }
    if (left) spread(a - 2, b);
    if (right) spread(a + 2, b);
    // The pieces across the run at its end posts, where they stand between camera and focus.
    const float spacing = alongX ? GetCellSpacing().x : GetCellSpacing().z;
    const float fromA = alongX ? from.x : from.z;
    const float toA = alongX ? to.x : to.z;
    for (const int side : {-1, 1}) {
        for (const int end : {a - 1, a + 1}) {
            const float place = float(end) * spacing * 0.5f;
            if (present(end, b + side) && (fromA < place) != (toA < place)) spread(end, b + side);
        }
    }
}

// -- The grid block -------------------------------------------------------------------------------

void GridRegion::SaveBlock(BinaryWriter& writer) const {
    writer.Write(static_cast<unsigned int>(kBlockVersion));
    writer.BeginChunk(kChunkLattice);
    writer.Write(systemName_);
    writer.Write(static_cast<unsigned int>(GetXNumCells()));
    writer.Write(static_cast<unsigned int>(GetYNumCells()));
    writer.Write(static_cast<unsigned int>(GetZNumCells()));
    for (int i = 0; i < lattice_.GetX(); ++i)
        for (int j = 0; j < lattice_.GetY(); ++j)
            for (int k = 0; k < lattice_.GetZ(); ++k) writer.Write(static_cast<unsigned char>(lattice_.At(i, j, k)));
    for (int x = 0; x < features_.GetX(); ++x) {
        for (int y = 0; y < features_.GetY(); ++y) {
            for (int z = 0; z < features_.GetZ(); ++z) {
                writer.Write(static_cast<unsigned char>(features_.At(x, y, z).feature));
                writer.Write(static_cast<unsigned char>(features_.At(x, y, z).rotation));
            }
        }
    }
    writer.EndChunk();
    mem::vector<PortalRecord> records;
    for (int x = 0; x < cells_.GetX(); ++x) {
        for (int y = 0; y < cells_.GetY(); ++y) {
            for (int z = 0; z < cells_.GetZ(); ++z) {
                const Portal* portal = cells_.At(x, y, z).portal;
                if (portal) {
                    records.push_back(PortalRecord{portal->GetId(), portal->GetConnectedPortalId(),
                                                   portal->GetConnectedRegionId(), uint32_t(x), uint32_t(y),
                                                   uint32_t(z)});
                }
            }
        }
    }
    // Portals not made yet (a grid not post-loaded) keep the records it was read with.
    if (!portalsMade_) records = portalRecords_;
    if (records.empty()) return;
    writer.BeginChunk(kChunkPortals);
    writer.Write(static_cast<unsigned int>(records.size()));
    for (const PortalRecord& record : records) {
        WriteWords(writer, record.id);
        WriteWords(writer, record.connectedId);
        record.connectedRegion.Write(writer);
        writer.Write(static_cast<unsigned int>(record.x));
        writer.Write(static_cast<unsigned int>(record.y));
        writer.Write(static_cast<unsigned int>(record.z));
    }
    writer.EndChunk();
}

bool GridRegion::ReadLattice(BinaryReader& reader) {
    std::string name;
    const bool named = reader.ReadString(name);
    const uint32_t x = reader.ReadUInt32();
    const uint32_t y = reader.ReadUInt32();
    const uint32_t z = reader.ReadUInt32();
    if (!named || reader.Failed()) {
        Log(LogPriority::Error, "Grid block: the lattice header is cut short");
        return false;
    }
    if (x > kMaxCells || y > kMaxCells || z > kMaxCells) {
        Log(LogPriority::Error, "Grid block: a grid of %u x %u x %u cells is too large", x, y, z);
        return false;
    }
    const uint64_t latticeBytes = uint64_t(2 * x + 1) * y * uint64_t(2 * z + 1);
    const uint64_t featureBytes = 2 * uint64_t(x) * y * z;
    if (latticeBytes + featureBytes > reader.GetRemaining()) {
        Log(LogPriority::Error, "Grid block: %u x %u x %u cells do not fit in the block", x, y, z);
        return false;
    }
    SetSystem(name);
    Resize(int(x), int(y), int(z));
    // Written straight into the arrays; the cells are rebuilt once everything is read.
    for (int i = 0; i < lattice_.GetX(); ++i)
        for (int j = 0; j < lattice_.GetY(); ++j)
            for (int k = 0; k < lattice_.GetZ(); ++k) lattice_.At(i, j, k) = int8_t(reader.ReadUInt8());
    for (int cx = 0; cx < features_.GetX(); ++cx) {
        for (int cy = 0; cy < features_.GetY(); ++cy) {
            for (int cz = 0; cz < features_.GetZ(); ++cz) {
                FeatureCell& feature = features_.At(cx, cy, cz);
                feature.feature = int8_t(reader.ReadUInt8());
                feature.rotation = int8_t(reader.ReadUInt8());
            }
        }
    }
    highestVisibleFloor_ = int(y) - 1;
    return !reader.Failed();
}

bool GridRegion::ReadPortalRecords(BinaryReader& reader) {
    const uint32_t count = reader.ReadUInt32();
    if (reader.Failed() || uint64_t(count) * kPortalRecordSize > reader.GetRemaining()) {
        Log(LogPriority::Error, "Grid block: %u portal records do not fit in their chunk", count);
        return false;
    }
    for (uint32_t n = 0; n < count; ++n) {
        PortalRecord record;
        record.id = reader.ReadUniqueIdWordOrder();
        record.connectedId = reader.ReadUniqueIdWordOrder();
        record.connectedRegion.Read(reader);
        record.x = reader.ReadUInt32();
        record.y = reader.ReadUInt32();
        record.z = reader.ReadUInt32();
        portalRecords_.push_back(record);
    }
    return !reader.Failed();
}

bool GridRegion::LoadBlock(BinaryReader& reader) {
    portalRecords_.clear();
    const uint32_t version = reader.ReadUInt32();
    bool ok = !reader.Failed();
    if (ok && version == 1) {
        ok = ReadLattice(reader);
    } else if (ok && version == kBlockVersion) {
        while (ok && !reader.IsAtEnd()) {
            const uint32_t id = reader.ReadUInt32();
            const uint32_t size = reader.ReadUInt32();
            BinaryReader chunk = reader.ReadBlock(size);
            if (reader.Failed()) {
                Log(LogPriority::Error, "Grid block: chunk %u runs past the block", id);
                ok = false;
            } else if (id == kChunkLattice) {
                ok = ReadLattice(chunk);
            } else if (id == kChunkPortals) {
                ok = ReadPortalRecords(chunk);
            }
        }
    } else {
        Log(LogPriority::Error, "Grid block: version %u is not read", version);
        ok = false;
    }
    if (!ok) {
        Resize(0, 0, 0);
        portalRecords_.clear();
        return false;
    }
    UpdateAllCells();
    return true;
}

bool GridRegion::Load(BinaryReader& reader, int) { return LoadBlock(reader); }

void GridRegion::Write(BinaryWriter& writer, bool) const {
    writer.Write(static_cast<unsigned int>(Kind::Grid));
    SaveBlock(writer);
}

}  // namespace GAME
