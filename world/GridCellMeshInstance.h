#pragma once
// GridCellMeshInstance: the mesh instance of one grid cell (GridRegion). It hands its shader the
// float4 "wallTransparency" (the cell's four walls as the mesh sees them, 1 opaque; 0 until set)
// and draws either one pass per face set, as any mesh instance, or - in single-pass mode - the
// whole mesh in one pass with the cell's ambient-light shader.
//
// The ambient-light shader is the material shader with a style named "ambientLightStyle" whose
// sort order is lowest (below 10001; the first of equals). It is looked for on first use and
// again on each use while none is found (the materials' shaders may still be loading), and held
// through a reference of its own.

#include <array>

#include "scene/GraphicsMeshInstance.h"

namespace GAME {

class GridCellMeshInstance final : public GraphicsMeshInstance {
public:
    GridCellMeshInstance() = default;
    ~GridCellMeshInstance() override;
    GridCellMeshInstance(const GridCellMeshInstance&) = delete;
    GridCellMeshInstance& operator=(const GridCellMeshInstance&) = delete;

    void SetWallTransparency(const std::array<float, 4>& values) { wallTransparency_ = values; }
    const std::array<float, 4>& GetWallTransparency() const { return wallTransparency_; }
    void SetSinglePass(bool singlePass) { singlePass_ = singlePass; }

    // The face-set count, or at most one pass in single-pass mode (0 without a mesh).
    int GetNumRenderPasses(const Name& style, RenderGenerationId generation) const override;
    // An override shader wins; then the ambient-light shader in single-pass mode; then the
    // material's.
    const GraphicsShader2* GetShader2(int pass, const Name& style) const override;
    // In single-pass mode the answers of the separate queries, which know the ambient-light
    // shader; else a mesh instance's.
    bool GetRenderPassInfo(int pass, const Name& style, RenderGenerationId generation, const GraphicsLight* light,
                           PassInfo& info) const override;

protected:
    void SetShaderParameters(const GraphicsShader2& shader, const GraphicsMesh::FaceSet& set,
                             float opacity) const override;
    // Single-pass mode draws every face from the first.
    void GetPassFaces(const GraphicsMesh::FaceSet& set, int& firstIndex, int& count) const override;

private:
    const GraphicsShader2* FindAmbientLightShader() const;

    std::array<float, 4> wallTransparency_{};
    bool singlePass_ = false;
    mutable const GraphicsShader2* ambientShader_ = nullptr;  // one reference once found
};

}  // namespace GAME
