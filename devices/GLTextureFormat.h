#pragma once
// GLTextureFormat: how the texels of one kind of texture are stored in GL and uploaded, with the
// swizzle that gives the engine's reading of them (grey, alpha only, opaque colour).

#include "devices/DDSFile.h"
#include "devices/GLHeaders.h"
#include "render/RenderDevice.h"

#include <cstdint>

namespace GAME {

struct GLTextureFormat {
    GLenum internalFormat = GL_RGBA8;  // GL storage
    GLenum format = GL_BGRA;           // layout of the uploaded texels
    GLenum type = GL_UNSIGNED_BYTE;    // (compressed formats: unused)
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    DDSFormat compression = DDSFormat::Unknown;  // DXT1/3/5 for block-compressed data
    uint32_t bytesPerTexel = 4;        // 0 for compressed data
    bool depth = false;                // a depth format

    bool IsCompressed() const { return compression != DDSFormat::Unknown; }
    bool HasSwizzle() const {
        return swizzle[0] != GL_RED || swizzle[1] != GL_GREEN || swizzle[2] != GL_BLUE || swizzle[3] != GL_ALPHA;
    }
    // Bytes of one level of the format at that size, as uploaded.
    uint32_t GetLevelSize(uint32_t width, uint32_t height) const;

    // The format of a DDS file's data (compressed data stays compressed here; the texture decodes
    // it when the driver lacks S3TC). 24-bit data is taken as 32-bit: the device expands it.
    static GLTextureFormat ForDDS(DDSFormat format);
    // One byte a texel, read as grey with that value as alpha too (CreateTexture).
    static GLTextureFormat ForBytes();
    // 32-bit 0xAARRGGBB texels (CreateTextureFromPixels, dynamic textures).
    static GLTextureFormat ForPixels();
    // One byte of coverage a texel, read as white with that alpha (font atlases).
    static GLTextureFormat ForCoverage();
    // The colour target of a render surface; false for a format that is not a colour format.
    static bool ForColorTarget(RenderTextureFormat format, GLTextureFormat& out);
    // The depth target of a render surface; false for a format that is not a depth format.
    static bool ForDepthTarget(RenderTextureFormat format, GLTextureFormat& out);
};

}  // namespace GAME
