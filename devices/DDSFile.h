#pragma once
// DDSFile: reads the header of a DDS texture file and locates its mip levels, without copying.
//
// Supported: 2-D textures in DXT1, DXT3 and DXT5, 32-bit RGB with or without alpha (either
// channel order), 24-bit R8G8B8 (common tools write it for opaque pictures), the 16-bit formats R5G6B5, X1R5G5B5, A1R5G5B5 and A4R4G4B4, and 8-bit L8 and A8
// and 16-bit A8L8. Cube maps, volumes and the DX10 extension header are refused. Levels are
// stored largest first, rows top first; sizes come from the dimensions (the header's pitch field
// is unreliable in files written by common tools and is ignored). Trailing bytes are allowed.
//
// The reader trusts nothing: a bad tag, sizes beyond kMaxSize, an unknown pixel format or data
// shorter than the levels need fail with a logged error, and no byte past the given length is read.

#include <cstdint>
#include <vector>

namespace GAME {

enum class DDSFormat : uint32_t {
    Unknown,
    DXT1,
    DXT3,
    DXT5,
    A8R8G8B8,  // bytes B, G, R, A
    X8R8G8B8,  // bytes B, G, R, unused
    A8B8G8R8,  // bytes R, G, B, A
    X8B8G8R8,  // bytes R, G, B, unused
    R8G8B8,    // bytes B, G, R
    R5G6B5,
    X1R5G5B5,
    A1R5G5B5,
    A4R4G4B4,
    L8,
    A8,
    A8L8,      // bytes L, A
};

// One mip level inside the file.
struct DDSLevel {
    uint32_t width = 0;   // texels
    uint32_t height = 0;  // texels
    uint32_t offset = 0;  // bytes from the start of the file
    uint32_t size = 0;    // bytes
};

class DDSFile {
public:
    static constexpr uint32_t kHeaderSize = 128;  // the tag and the 124-byte header
    static constexpr uint32_t kMaxSize = 16384;   // texels per side
    static constexpr uint32_t kMaxLevels = 15;    // a full chain of a kMaxSize texture

    // Bytes of the whole file its header describes, all levels included; 0 (logged) when the first
    // available bytes hold no header this reader accepts.
    static uint32_t GetFileLength(const void* data, uint32_t available);

    // Reads the file and keeps its levels from index reduction on (<= 0: all of them): at least
    // one level is kept, and a compressed texture keeps a top level of at least 4 x 4 texels when
    // its first level had that. False (logged) on a bad header or too little data.
    bool Parse(const void* data, uint32_t length, int reduction);

    DDSFormat GetFormat() const { return format_; }
    // The kept levels, largest first; offsets point into the parsed data.
    const std::vector<DDSLevel>& GetLevels() const { return levels_; }

    static bool IsCompressed(DDSFormat format);
    // Bytes of one level of the format at that size (compressed formats: whole 4 x 4 blocks).
    static uint32_t GetLevelSize(DDSFormat format, uint32_t width, uint32_t height);

private:
    // What the header says; filled by ReadHeader.
    struct Header {
        DDSFormat format = DDSFormat::Unknown;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t levelCount = 0;  // clamped to the full chain
    };
    // Decodes and checks the header; false (logged) when it is refused.
    static bool ReadHeader(const uint8_t* data, uint32_t available, Header& header);

    DDSFormat format_ = DDSFormat::Unknown;
    std::vector<DDSLevel> levels_;
};

}  // namespace GAME
