#pragma once
// The OpenGL 3.3 core declarations of the device. Entry points come straight from the system's
// dispatch library (libOpenGL), which routes them to whatever context SDL made current, EGL or
// GLX, so the device needs no loader of its own.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

// S3TC (GL_EXT_texture_compression_s3tc) is an extension, so the core header lacks its formats.
#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#define GL_COMPRESSED_RGBA_S3TC_DXT3_EXT 0x83F2
#define GL_COMPRESSED_RGBA_S3TC_DXT5_EXT 0x83F3
#endif
// Anisotropic filtering (core only from 4.6; GL_EXT_texture_filter_anisotropic before).
#ifndef GL_TEXTURE_MAX_ANISOTROPY
#define GL_TEXTURE_MAX_ANISOTROPY 0x84FE
#define GL_MAX_TEXTURE_MAX_ANISOTROPY 0x84FF
#endif
