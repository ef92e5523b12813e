#pragma once
// GraphicsCanvas: the frame and 2-D drawing front end over the render device. One exists per
// device; the graphics engine makes it with the device's primary surface.
//
// Here: the frame bracket (BeginFrame, EndFrame, PresentSurface), the default render state and the
// primary surface. The 2-D drawing, the temporary surfaces and the shared dynamic buffers belong
// to the canvas too and come with the interface drawing.

#include <cstdint>

namespace GAME {

class RenderDevice;
class RenderSurface;

class GraphicsCanvas {
public:
    // Neither the device nor the primary surface is owned.
    GraphicsCanvas(RenderDevice& device, RenderSurface* primarySurface);
    virtual ~GraphicsCanvas() = default;
    GraphicsCanvas(const GraphicsCanvas&) = delete;
    GraphicsCanvas& operator=(const GraphicsCanvas&) = delete;

    // Starts a frame on the device; false when it cannot be drawn.
    bool BeginFrame();
    void EndFrame();
    // Shows the surface (the primary one) on the window.
    void PresentSurface(RenderSurface* surface);

    // Programs off; colour, alpha and depth writes on; depth test less-equal; alpha test always
    // with reference 0; blending one / zero; cull mode and depth biases 0; clear colour opaque
    // black; texture stages 0-7 empty; samplers 0-15 wrapping; render state E 0.
    void SetDefaultState();

    // Before a device reset: forgets the primary surface (it is made again afterwards).
    bool PreDeviceReset();
    void SetPrimarySurface(RenderSurface* surface) { primarySurface_ = surface; }
    RenderSurface* GetPrimarySurface() const { return primarySurface_; }

    RenderDevice& GetRenderDevice() const { return device_; }

private:
    RenderDevice& device_;
    RenderSurface* primarySurface_;
};

}  // namespace GAME
