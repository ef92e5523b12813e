#pragma once
// ResourceManager<T>: the registry of the resources of type T, which it makes for file names.
//
// T derives from Resource and has a constructor (BaseResourceManager*, const std::string&
// fileName) that passes its ResourceType to Resource.

#include <string>

#include "files/BaseResourceManager.h"

namespace GAME {

template <class T>
class ResourceManager : public BaseResourceManager {
public:
    explicit ResourceManager(ResourceLoader& loader) : BaseResourceManager(loader) {}

    // The T of a file, with one more reference (BaseResourceManager::LoadResource).
    const T* LoadResource(const std::string& fileName) {
        return static_cast<const T*>(BaseResourceManager::LoadResource(fileName));
    }

protected:
    Resource* CreateResource(const std::string& fileName) override { return new T(this, fileName); }
};

}  // namespace GAME
