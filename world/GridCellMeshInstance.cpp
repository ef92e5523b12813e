#include "world/GridCellMeshInstance.h"

#include <algorithm>

#include "core/Name.h"
#include "engine/Engine.h"
#include "render/GraphicsEngine.h"
#include "render/GraphicsShader2.h"

namespace GAME {

namespace {

// Sort orders at or above this never make a shader the ambient-light one.
constexpr int kAmbientSortBound = 10001;

}  // namespace

GridCellMeshInstance::~GridCellMeshInstance() {
    if (ambientShader_ == nullptr) return;
    if (GraphicsEngine* graphics = GetEngineGraphics()) graphics->UnloadShader2(ambientShader_);
}

int GridCellMeshInstance::GetNumRenderPasses(const Name& style, RenderGenerationId generation) const {
    const int count = GraphicsMeshInstance::GetNumRenderPasses(style, generation);
    return singlePass_ ? std::min(count, 1) : count;
}

const GraphicsShader2* GridCellMeshInstance::GetShader2(int pass, const Name& style) const {
    if (GetOverrideShader() != nullptr || !singlePass_) return GraphicsMeshInstance::GetShader2(pass, style);
    return FindAmbientLightShader();
}

bool GridCellMeshInstance::GetRenderPassInfo(int pass, const Name& style, RenderGenerationId generation,
                                             const GraphicsLight* light, PassInfo& info) const {
    if (GetOverrideShader() != nullptr || !singlePass_) {
        return GraphicsMeshInstance::GetRenderPassInfo(pass, style, generation, light, info);
    }
    return GraphicsRenderable::GetRenderPassInfo(pass, style, generation, light, info);
}

const GraphicsShader2* GridCellMeshInstance::FindAmbientLightShader() const {
    const GraphicsMesh* mesh = GetMesh();
    GraphicsEngine* graphics = GetEngineGraphics();
    if (ambientShader_ != nullptr || mesh == nullptr || graphics == nullptr) return ambientShader_;
    static const Name kAmbientStyle = Name::Create("ambientLightStyle");
    const GraphicsShader2* best = nullptr;
    int bestOrder = kAmbientSortBound;
    for (int i = 0; i < mesh->GetNumFaceSets(); ++i) {
        const uint32_t material = mesh->GetFaceSet(i).material;
        if (int64_t(material) >= mesh->GetNumMaterials()) continue;
        const GraphicsShader2* shader = mesh->GetMaterial(int(material)).shader;
        if (shader == nullptr) continue;
        const uint32_t style = shader->FindStyleByName(kAmbientStyle);
        if (style == GraphicsShader2::kNoStyle) continue;
        if (const int order = shader->GetSortOrder(style); order < bestOrder) {
            best = shader;
            bestOrder = order;
        }
    }
    if (best != nullptr) ambientShader_ = graphics->LoadShader2(best->GetFileName());
    return ambientShader_;
}

void GridCellMeshInstance::SetShaderParameters(const GraphicsShader2& shader, const GraphicsMesh::FaceSet& set,
                                               float opacity) const {
    static const Name kWallTransparency = Name::Create("wallTransparency");
    shader.SetFloat4(kWallTransparency, 0, wallTransparency_[0], wallTransparency_[1], wallTransparency_[2],
                     wallTransparency_[3]);
    GraphicsMeshInstance::SetShaderParameters(shader, set, opacity);
}

void GridCellMeshInstance::GetPassFaces(const GraphicsMesh::FaceSet& set, int& firstIndex, int& count) const {
    if (!singlePass_ || GetMesh() == nullptr) {
        GraphicsMeshInstance::GetPassFaces(set, firstIndex, count);
        return;
    }
    firstIndex = 0;
    count = int(GetMesh()->GetNumFaces());
}

}  // namespace GAME
