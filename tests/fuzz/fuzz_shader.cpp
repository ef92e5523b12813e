// Fuzzes the shader-file reader (GraphicsShader2::Initialize) on the recording device, then draws
// every style of what loads: nested Begin depths, a Render each, End. Whatever the bytes, a failed
// load must leave no device object behind.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzGraphics.h"
#include "files/BaseResourceManager.h"
#include "render/GraphicsShader2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace GAME;
    test::FuzzGraphics& fuzz = test::FuzzGraphics::Get();
    GraphicsEngine& graphics = fuzz.Graphics();
    const size_t live = fuzz.Device().GetNumLiveResources();
    {
        GraphicsShader2 shader(graphics.GetShaderResourceManager(), "Shaders/Fuzz.ssh", graphics);
        const Resource::InitResult result = shader.Initialize(data, static_cast<uint32_t>(size));
        if (result != Resource::InitResult::Success && fuzz.Device().GetNumLiveResources() != live) std::abort();
        for (uint32_t style = 0; shader.Begin(style); ++style) {
            shader.Render("fuzz");
            shader.Begin();
            shader.Render("nested");
            shader.End();
            shader.Render("again");
            shader.End();
        }
    }
    if (fuzz.Device().GetNumLiveResources() != live) std::abort();
    graphics.GetTextureResourceManager()->UnloadUnreferencedResources();
    fuzz.Device().ClearCalls();
    return 0;
}
