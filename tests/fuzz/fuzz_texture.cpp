// Fuzzes the texture reader (GraphicsTexture::Initialize: the DDS and TEX forms and the TEX frame
// walk) on the recording device. A failed load must leave no device texture behind, and a
// destroyed texture none at all.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzGraphics.h"
#include "render/GraphicsTexture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace GAME;
    test::FuzzGraphics& fuzz = test::FuzzGraphics::Get();
    GraphicsEngine& graphics = fuzz.Graphics();
    const size_t live = fuzz.Device().GetNumLiveResources();
    {
        GraphicsTexture texture(graphics.GetTextureResourceManager(), "Textures/Fuzz.tex", graphics);
        const Resource::InitResult result = texture.Initialize(data, static_cast<uint32_t>(size));
        if (result != Resource::InitResult::Success && fuzz.Device().GetNumLiveResources() != live) std::abort();
        // The recording device keeps no texels of file textures: a texture's frames use no memory.
        if (texture.GetVideoMemoryUsage() != 0) std::abort();
        texture.Destroy();
        if (fuzz.Device().GetNumLiveResources() != live) std::abort();
    }
    if (fuzz.Device().GetNumLiveResources() != live) std::abort();
    fuzz.Device().ClearCalls();
    return 0;
}
