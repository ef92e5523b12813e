#include "world/GridSystem.h"

#include <cmath>

#include "engine/Engine.h"
#include "files/LoadTable.h"
#include "files/ResourceLoader.h"
#include "render/GraphicsEngine.h"
#include "scene/GraphicsMesh.h"

namespace GAME {

GAME_RTTI_DEFINE_CLASS(GridSystem, Object);

namespace {

// Record keys of each entry's meshes, in table order.
constexpr const char* kWithFloorKeys[GridSystem::kNumConfigurations] = {
    "wallPieceBaseA", "wallPieceBaseB", "wallPieceBaseC", "wallPieceBaseD", "wallPieceBaseE",
    "wallPieceBaseF", "wallPieceBaseG", "wallPieceBaseH", "wallPieceBaseI", "wallPieceBaseJ",
    "wallPieceBaseK", "wallPieceBaseL", "wallPieceBaseM", "wallPieceBaseN", "wallPieceBaseO"};
constexpr const char* kWithoutFloorKeys[GridSystem::kNumConfigurations] = {
    "wallPieceMidA", "wallPieceMidB", "wallPieceMidC", "wallPieceMidDD", "wallPieceMidE",
    "wallPieceMidF", "wallPieceMidG", "wallPieceMidH", "wallPieceMidI", "wallPieceMidJ",
    "wallPieceMidK", "wallPieceMidL", "wallPieceMidM", "wallPieceMidN", "wallPieceMidO"};

GraphicsEngine* GetGraphics() { return gEngine ? gEngine->GetGraphicsEngine() : nullptr; }

float ReadSpacing(const LoadTable& table, const char* key) {
    const float spacing = table.GetFloat(key, GridSystem::kDefaultSpacing);
    return std::isfinite(spacing) && spacing > 0.0f ? spacing : GridSystem::kDefaultSpacing;
}

}  // namespace

GridSystem::~GridSystem() {
    GraphicsEngine* graphics = GetGraphics();
    if (!graphics) return;
    for (const Configuration& entry : table_) {
        if (entry.withFloor) graphics->UnloadMesh(entry.withFloor);
        if (entry.withoutFloor) graphics->UnloadMesh(entry.withoutFloor);
    }
    for (const GraphicsMesh* mesh : features_) graphics->UnloadMesh(mesh);
}

bool GridSystem::Load(const LoadTable& table) {
    spacing_ = Vec3(ReadSpacing(table, "cellSpacingX"), ReadSpacing(table, "cellSpacingY"),
                    ReadSpacing(table, "cellSpacingZ"));
    for (int i = 0; i < kNumConfigurations; ++i) {
        table_[i].withFloor = table.LoadMesh(kWithFloorKeys[i], 0);
        table_[i].withoutFloor = table.LoadMesh(kWithoutFloorKeys[i], 0);
    }
    const int count = table.GetNumElementsForField("feature");
    for (int i = 0; i < count; ++i) {
        if (const GraphicsMesh* mesh = table.LoadMesh("feature", i)) features_.push_back(mesh);
    }
    minWallOpacity_ = table.GetFloat("minWallOpacity", 0.0f);
    return true;
}

const GraphicsMesh* GridSystem::GetFeatureMesh(int index) const {
    return index >= 0 && index < GetNumFeatures() ? features_[size_t(index)] : nullptr;
}

std::string GridSystem::GetFeatureName(int index) const {
    const GraphicsMesh* mesh = GetFeatureMesh(index);
    return mesh ? mesh->GetFileName() : std::string();
}

int GridSystem::FindConfiguration(const char* base, const char* mid, int& rotation) {
    rotation = 0;
    for (int r = 0; r < 4; ++r) {
        uint8_t key = 0;
        for (int i = 0; i < 4; ++i) {
            if (base[(r + i) % 4] == '1') key = uint8_t(key | (0x80 >> i));
            if (mid[(r + i) % 4] == '1') key = uint8_t(key | (0x08 >> i));
        }
        for (int entry = 0; entry < kNumConfigurations; ++entry) {
            if (kKeys[size_t(entry)] != key) continue;
            rotation = (4 - r) % 4;
            return entry;
        }
    }
    return -1;
}

const GraphicsMesh* GridSystem::GetMeshForCell(const char* base, const char* mid, bool floor, int& rotation) const {
    const int entry = FindConfiguration(base, mid, rotation);
    if (entry < 0) return nullptr;
    return floor ? table_[size_t(entry)].withFloor : table_[size_t(entry)].withoutFloor;
}

void GridSystem::PreLoad(int) const {
    ResourceLoader* loader = gEngine ? gEngine->GetResourceLoader() : nullptr;
    if (!loader) return;
    const auto queue = [loader](const GraphicsMesh* mesh) {
        if (mesh) loader->EnqueueResource(mesh, ResourcePriority::Normal, true, true);
    };
    for (const Configuration& entry : table_) {
        queue(entry.withFloor);
        queue(entry.withoutFloor);
    }
    for (const GraphicsMesh* mesh : features_) queue(mesh);
}

}  // namespace GAME
