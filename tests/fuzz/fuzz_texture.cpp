// Fuzzes the texture path: the texture reader (GraphicsTexture::Initialize: the DDS and TEX forms
// and the TEX frame walk) on the recording device, and the GL device's DDS reader on the same
// bytes, as the engine hands them over (whole, and the header alone for the reduced length). A
// failed load must leave no device texture behind, a destroyed texture none at all, and the DDS
// reader's levels must lie inside the bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzGraphics.h"
#include "devices/DDSFile.h"
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

    const uint32_t length = static_cast<uint32_t>(size);
    DDSFile::GetFileLength(data, length < 244 ? length : 244);
    for (int reduction = -1; reduction <= 3; ++reduction) {
        DDSFile dds;
        if (!dds.Parse(data, length, reduction)) continue;
        if (dds.GetLevels().empty()) std::abort();
        for (const DDSLevel& level : dds.GetLevels()) {
            if (uint64_t(level.offset) + level.size > length) std::abort();
        }
    }
    return 0;
}
