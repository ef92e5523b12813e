#include "devices/GLTextureFormat.h"

namespace GAME {

namespace {

GLTextureFormat Make(GLenum internalFormat, GLenum format, GLenum type, uint32_t bytesPerTexel) {
    GLTextureFormat result;
    result.internalFormat = internalFormat;
    result.format = format;
    result.type = type;
    result.bytesPerTexel = bytesPerTexel;
    return result;
}

GLTextureFormat Swizzled(GLTextureFormat format, GLint r, GLint g, GLint b, GLint a) {
    format.swizzle[0] = r;
    format.swizzle[1] = g;
    format.swizzle[2] = b;
    format.swizzle[3] = a;
    return format;
}

}  // namespace

uint32_t GLTextureFormat::GetLevelSize(uint32_t width, uint32_t height) const {
    return IsCompressed() ? DDSFile::GetLevelSize(compression, width, height) : width * height * bytesPerTexel;
}

GLTextureFormat GLTextureFormat::ForDDS(DDSFormat format) {
    switch (format) {
        case DDSFormat::DXT1:
        case DDSFormat::DXT3:
        case DDSFormat::DXT5: {
            GLTextureFormat result;
            result.internalFormat = format == DDSFormat::DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                                    : format == DDSFormat::DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                                : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
            result.compression = format;
            result.bytesPerTexel = 0;
            return result;
        }
        case DDSFormat::A8R8G8B8: return Make(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4);
        case DDSFormat::X8R8G8B8:
        case DDSFormat::R8G8B8:  // expanded to X8R8G8B8 texels before upload
            return Swizzled(Make(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4), GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
        case DDSFormat::A8B8G8R8: return Make(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4);
        case DDSFormat::X8B8G8R8:
            return Swizzled(Make(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4), GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
        case DDSFormat::R5G6B5: return Make(GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2);
        case DDSFormat::A1R5G5B5: return Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2);
        case DDSFormat::X1R5G5B5:
            return Swizzled(Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2), GL_RED, GL_GREEN, GL_BLUE,
                            GL_ONE);
        case DDSFormat::A4R4G4B4: return Make(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2);
        case DDSFormat::L8: return Swizzled(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_RED, GL_RED, GL_RED, GL_ONE);
        case DDSFormat::A8: return Swizzled(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_ZERO, GL_ZERO, GL_ZERO, GL_RED);
        case DDSFormat::A8L8: return Swizzled(Make(GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2), GL_RED, GL_RED, GL_RED, GL_GREEN);
        case DDSFormat::Unknown: break;
    }
    return GLTextureFormat();
}

GLTextureFormat GLTextureFormat::ForBytes() {
    return Swizzled(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_RED, GL_RED, GL_RED, GL_RED);
}

GLTextureFormat GLTextureFormat::ForPixels() {
    return Make(GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4);
}

GLTextureFormat GLTextureFormat::ForCoverage() {
    return Swizzled(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_ONE, GL_ONE, GL_ONE, GL_RED);
}

bool GLTextureFormat::ForColorTarget(RenderTextureFormat format, GLTextureFormat& out) {
    switch (format) {
        case RenderTextureFormat::RGB: out = Make(GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, 4); return true;
        case RenderTextureFormat::RGBA:
        case RenderTextureFormat::RGBAAlternate:
        case RenderTextureFormat::Color16WithDepth: out = Make(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4); return true;
        case RenderTextureFormat::DsDt: out = Make(GL_RG8_SNORM, GL_RG, GL_BYTE, 2); return true;
        case RenderTextureFormat::R16F: out = Make(GL_R16F, GL_RED, GL_HALF_FLOAT, 2); return true;
        case RenderTextureFormat::R32F: out = Make(GL_R32F, GL_RED, GL_FLOAT, 4); return true;
        default: return false;
    }
}

bool GLTextureFormat::ForDepthTarget(RenderTextureFormat format, GLTextureFormat& out) {
    switch (format) {
        case RenderTextureFormat::D16: out = Make(GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2); break;
        case RenderTextureFormat::D24: out = Make(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, 4); break;
        case RenderTextureFormat::D32: out = Make(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4); break;
        default: return false;
    }
    out.depth = true;
    return true;
}

}  // namespace GAME
