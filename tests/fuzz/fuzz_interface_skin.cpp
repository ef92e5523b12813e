// Fuzzes the interface-skin reader (InterfaceSkin::ReadUIS) over the recording device's graphics
// engine: whatever the text, a copy holds the same areas, and the skin and its copy give back
// every texture reference they took.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzGraphics.h"
#include "files/BaseResourceManager.h"
#include "render/InterfaceSkin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace GAME;
    test::FuzzGraphics& fuzz = test::FuzzGraphics::Get();
    GraphicsEngine& graphics = fuzz.Graphics();
    BaseResourceManager* textures = graphics.GetTextureResourceManager();
    {
        InterfaceSkin skin(graphics);
        skin.ReadUIS(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "Fuzz.uis");
        const InterfaceSkin copy(skin);
        if (copy.GetNumAreas() != skin.GetNumAreas()) std::abort();
    }
    textures->UnloadUnreferencedResources();
    if (textures->GetNumResources() != 0) std::abort();
    fuzz.Device().ClearCalls();
    return 0;
}
