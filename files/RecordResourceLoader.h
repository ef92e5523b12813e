#pragma once
// RecordResourceLoader: loads the graphics resources that records name (LoadTable::LoadTexture,
// LoadTable::LoadShader2 and LoadTable::LoadMesh). Records are read here in files, below render,
// so they load through this interface: the graphics engine implements it, and the engine hands out
// its running one (Engine::GetRecordResourceLoader).

#include <string>

namespace GAME {

class GraphicsMesh;
class GraphicsShader2;
class GraphicsTexture;

class RecordResourceLoader {
public:
    // The shared resource of the file with one more reference for the caller; null when the name
    // is empty or there is no manager.
    virtual const GraphicsTexture* LoadTexture(const std::string& fileName) = 0;
    virtual const GraphicsShader2* LoadShader2(const std::string& fileName) = 0;
    virtual const GraphicsMesh* LoadMesh(const std::string& fileName) = 0;

protected:
    ~RecordResourceLoader() = default;
};

}  // namespace GAME
