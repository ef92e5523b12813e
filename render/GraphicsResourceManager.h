#pragma once
// GraphicsResourceManager<T>: the resource manager of one kind of graphics resource. Like
// ResourceManager<T>, but it makes each T for the graphics engine it belongs to,
// T(manager, fileName, graphicsEngine); given the budget keeper, it runs the keeper's budget step
// after its own budget, and leaves the keeper when destroyed.

#include "files/BaseResourceManager.h"
#include "render/GraphicsBudget.h"

#include <string>

namespace GAME {

class GraphicsEngine;

template <class T>
class GraphicsResourceManager final : public BaseResourceManager {
public:
    // budget may be null (an unbudgeted manager); it must outlive the manager.
    GraphicsResourceManager(ResourceLoader& loader, GraphicsEngine& graphics, GraphicsBudget* budget)
        : BaseResourceManager(loader), graphics_(graphics), budget_(budget) {
        if (budget_ != nullptr) budget_->AddManager(this);
    }
    ~GraphicsResourceManager() override {
        if (budget_ != nullptr) budget_->RemoveManager(this);
    }

    // The T of a file, with one more reference (BaseResourceManager::LoadResource).
    const T* LoadResource(const std::string& fileName) {
        return static_cast<const T*>(BaseResourceManager::LoadResource(fileName));
    }

    void MaintainBudget() override {
        BaseResourceManager::MaintainBudget();
        if (budget_ != nullptr) budget_->MaintainBudget();
    }

protected:
    Resource* CreateResource(const std::string& fileName) override { return new T(this, fileName, graphics_); }

private:
    GraphicsEngine& graphics_;
    GraphicsBudget* const budget_;
};

}  // namespace GAME
