// The graphics engine's operations on the scene's resources. They are defined here, beside the
// scene types they make, because scene/ builds on render/: the graphics engine holds their
// managers by their base (GraphicsEngine.h) and render/ never includes scene/.

#include "render/GraphicsEngine.h"

#include "files/ResourceManager.h"
#include "render/GraphicsResourceManager.h"
#include "scene/GraphicsAnim.h"
#include "scene/GraphicsMesh.h"
#include "scene/GraphicsNormalRenderer.h"
#include "scene/GraphicsShadowMapRenderer.h"

namespace GAME {

namespace {

ResourceManager<GraphicsAnim>* Animations(const std::unique_ptr<BaseResourceManager>& manager) {
    return static_cast<ResourceManager<GraphicsAnim>*>(manager.get());
}

GraphicsResourceManager<GraphicsMesh>* Meshes(const std::unique_ptr<BaseResourceManager>& manager) {
    return static_cast<GraphicsResourceManager<GraphicsMesh>*>(manager.get());
}

}  // namespace

void GraphicsEngine::CreateSceneManagers(ResourceLoader& loader) {
    meshManager_ = std::make_unique<GraphicsResourceManager<GraphicsMesh>>(loader, *this, budget_.get());
    animationManager_ = std::make_unique<ResourceManager<GraphicsAnim>>(loader);
}

void GraphicsEngine::CreateSceneResources() {
    GraphicsSceneRenderer::CreateResources(*this);
    GraphicsShadowMapRenderer::CreateResources(*this);
}

void GraphicsEngine::CreateNormalRendererTargets() {
    GraphicsNormalRenderer::CreateRenderTargets(*this, targetSizes_[0], targetSizes_[1]);
}

void GraphicsEngine::DestroyNormalRendererTargets() { GraphicsNormalRenderer::DestroyRenderTargets(*this); }

void GraphicsEngine::DestroySceneResources() {
    GraphicsNormalRenderer::DestroyRenderTargets(*this);
    GraphicsShadowMapRenderer::DestroyResources(*this);
    GraphicsSceneRenderer::DestroyResources(*this);
}

const GraphicsMesh* GraphicsEngine::LoadMesh(const std::string& fileName) {
    return meshManager_ != nullptr ? Meshes(meshManager_)->LoadResource(fileName) : nullptr;
}

void GraphicsEngine::UnloadMesh(const GraphicsMesh* mesh) {
    if (meshManager_ != nullptr) Meshes(meshManager_)->UnloadResource(mesh);
}

const GraphicsAnim* GraphicsEngine::LoadAnimation(const std::string& fileName) {
    return animationManager_ != nullptr ? Animations(animationManager_)->LoadResource(fileName) : nullptr;
}

void GraphicsEngine::UnloadAnimation(const GraphicsAnim* animation) {
    if (animationManager_ != nullptr) Animations(animationManager_)->UnloadResource(animation);
}

}  // namespace GAME
