#pragma once
// GridSystem: the tile set of interior grid regions, made from its record: the cell spacing
// ("cellSpacingX/Y/Z", 8 each by default), fifteen wall-piece configurations each with a mesh for
// a cell with a floor and one without ("wallPieceBaseA".."wallPieceBaseO", "wallPieceMidA".. -
// entry D's floorless mesh is "wallPieceMidDD"), the feature meshes (array "feature"; elements
// naming no loadable mesh are skipped, so feature indices count loaded meshes only) and the
// minimum wall opacity ("minWallOpacity", 0).
//
// A configuration's key is a bit set over a cell's four posts and four walls seen from a starting
// corner r: bits 7..4 posts r..r+3, bits 3..0 walls r..r+3 (mod 4), set for the character '1'
// only. GetMeshForCell tries r = 0..3, takes the first table entry whose key matches, and turns
// the mesh by (4 - r) mod 4 quarter turns.
//
// A spacing that is not a positive finite number is replaced by 8: cells are found by dividing by
// the spacing.
//
// Meshes come from the running graphics engine, one reference each, given back on destruction.

#include <array>
#include <cstdint>
#include <string>

#include "core/Mem.h"
#include "core/Object.h"
#include "core/Vec3.h"

namespace GAME {

class GraphicsMesh;
class LoadTable;

class GridSystem : public Object {
    GAME_RTTI_DECLARE_CLASS()

public:
    static constexpr int kNumConfigurations = 15;
    static constexpr float kDefaultSpacing = 8.0f;
    // Entry A to O's keys, in table order.
    static constexpr std::array<uint8_t, kNumConfigurations> kKeys = {145, 179, 245, 247, 160, 128, 192, 224,
                                                                      0,   177, 241, 209, 243, 255, 240};

    GridSystem() = default;
    GridSystem(const GridSystem&) = delete;
    GridSystem& operator=(const GridSystem&) = delete;
    ~GridSystem() override;

    bool Load(const LoadTable& table) override;

    const Vec3& GetCellSpacing() const { return spacing_; }
    float GetMinWallOpacity() const { return minWallOpacity_; }
    int GetNumFeatures() const { return int(features_.size()); }
    // Null when index is not below the count.
    const GraphicsMesh* GetFeatureMesh(int index) const;
    std::string GetFeatureName(int index) const;

    // The table entry (0 for A .. 14 for O) that the four-character post and wall names match, and
    // the rotation in quarter turns; -1 (rotation 0) when none does.
    static int FindConfiguration(const char* base, const char* mid, int& rotation);
    // The matching entry's mesh with or without floor (either may be null); null when none matches.
    const GraphicsMesh* GetMeshForCell(const char* base, const char* mid, bool floor, int& rotation) const;
    // Queues every mesh with the resource loader.
    void PreLoad(int priority) const;

private:
    struct Configuration {
        const GraphicsMesh* withFloor = nullptr;
        const GraphicsMesh* withoutFloor = nullptr;
    };

    Vec3 spacing_{kDefaultSpacing, kDefaultSpacing, kDefaultSpacing};
    std::array<Configuration, kNumConfigurations> table_{};
    mem::vector<const GraphicsMesh*> features_;
    float minWallOpacity_ = 0.0f;
};

}  // namespace GAME
