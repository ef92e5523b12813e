#include "devices/DDSFile.h"

#include "core/Log.h"

#include <algorithm>
#include <cstring>

namespace GAME {

namespace {

// Pixel-format flags of the header.
constexpr uint32_t kAlphaPixels = 0x1;
constexpr uint32_t kAlphaOnly = 0x2;
constexpr uint32_t kFourCC = 0x4;
constexpr uint32_t kRGB = 0x40;
constexpr uint32_t kLuminance = 0x20000;
// caps2 bits of the kinds this reader does not take.
constexpr uint32_t kCubeMap = 0x200;
constexpr uint32_t kVolume = 0x200000;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The format a pixel-format block describes, or Unknown.
DDSFormat IdentifyFormat(const uint8_t* pf) {
    const uint32_t flags = ReadU32(pf + 4);
    const uint32_t fourCC = ReadU32(pf + 8);
    const uint32_t bits = ReadU32(pf + 12);
    const uint32_t r = ReadU32(pf + 16);
    const uint32_t g = ReadU32(pf + 20);
    const uint32_t b = ReadU32(pf + 24);
    const uint32_t a = (flags & (kAlphaPixels | kAlphaOnly)) ? ReadU32(pf + 28) : 0;
    if (flags & kFourCC) {
        switch (fourCC) {
            case FourCC('D', 'X', 'T', '1'): return DDSFormat::DXT1;
            case FourCC('D', 'X', 'T', '3'): return DDSFormat::DXT3;
            case FourCC('D', 'X', 'T', '5'): return DDSFormat::DXT5;
            default: return DDSFormat::Unknown;
        }
    }
    if (flags & kRGB) {
        if (bits == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
            return a == 0xFF000000 ? DDSFormat::A8R8G8B8 : DDSFormat::X8R8G8B8;
        }
        if (bits == 32 && r == 0xFF && g == 0xFF00 && b == 0xFF0000) {
            return a == 0xFF000000 ? DDSFormat::A8B8G8R8 : DDSFormat::X8B8G8R8;
        }
        if (bits == 24 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
            return DDSFormat::R8G8B8;
        }
        if (bits == 16 && r == 0xF800 && g == 0x7E0 && b == 0x1F) {
            return DDSFormat::R5G6B5;
        }
        if (bits == 16 && r == 0x7C00 && g == 0x3E0 && b == 0x1F) {
            return a == 0x8000 ? DDSFormat::A1R5G5B5 : DDSFormat::X1R5G5B5;
        }
        if (bits == 16 && r == 0xF00 && g == 0xF0 && b == 0xF && a == 0xF000) {
            return DDSFormat::A4R4G4B4;
        }
        return DDSFormat::Unknown;
    }
    if (flags & kLuminance) {
        if (bits == 8 && r == 0xFF) {
            return DDSFormat::L8;
        }
        if (bits == 16 && r == 0xFF && a == 0xFF00) {
            return DDSFormat::A8L8;
        }
        return DDSFormat::Unknown;
    }
    if ((flags & kAlphaOnly) && bits == 8 && a == 0xFF) {
        return DDSFormat::A8;
    }
    return DDSFormat::Unknown;
}

}  // namespace

bool DDSFile::IsCompressed(DDSFormat format) {
    return format == DDSFormat::DXT1 || format == DDSFormat::DXT3 || format == DDSFormat::DXT5;
}

uint32_t DDSFile::GetLevelSize(DDSFormat format, uint32_t width, uint32_t height) {
    switch (format) {
        case DDSFormat::DXT1:
            return std::max(1u, (width + 3) / 4) * std::max(1u, (height + 3) / 4) * 8;
        case DDSFormat::DXT3:
        case DDSFormat::DXT5:
            return std::max(1u, (width + 3) / 4) * std::max(1u, (height + 3) / 4) * 16;
        case DDSFormat::A8R8G8B8:
        case DDSFormat::X8R8G8B8:
        case DDSFormat::A8B8G8R8:
        case DDSFormat::X8B8G8R8:
            return width * height * 4;
        case DDSFormat::R8G8B8:
            return width * height * 3;
        case DDSFormat::R5G6B5:
        case DDSFormat::X1R5G5B5:
        case DDSFormat::A1R5G5B5:
        case DDSFormat::A4R4G4B4:
        case DDSFormat::A8L8:
            return width * height * 2;
        case DDSFormat::L8:
        case DDSFormat::A8:
            return width * height;
        case DDSFormat::Unknown:
            break;
    }
    return 0;
}

bool DDSFile::ReadHeader(const uint8_t* data, uint32_t available, Header& header) {
    if (data == nullptr || available < kHeaderSize) {
        Log(LogPriority::Error, "DDS texture: %u bytes cannot hold a header.", data ? available : 0);
        return false;
    }
    if (std::memcmp(data, "DDS ", 4) != 0 || ReadU32(data + 4) != 124 || ReadU32(data + 76) != 32) {
        Log(LogPriority::Error, "DDS texture: not a DDS header.");
        return false;
    }
    const uint32_t caps2 = ReadU32(data + 112);
    if (caps2 & (kCubeMap | kVolume)) {
        Log(LogPriority::Error, "DDS texture: cube maps and volumes are not supported.");
        return false;
    }
    header.height = ReadU32(data + 12);
    header.width = ReadU32(data + 16);
    if (header.width == 0 || header.height == 0 || header.width > kMaxSize || header.height > kMaxSize) {
        Log(LogPriority::Error, "DDS texture: size %u x %u out of range.", header.width, header.height);
        return false;
    }
    header.format = IdentifyFormat(data + 76);
    if (header.format == DDSFormat::Unknown) {
        Log(LogPriority::Error, "DDS texture: unsupported pixel format.");
        return false;
    }
    uint32_t fullChain = 1;
    while ((std::max(header.width, header.height) >> fullChain) != 0) {
        ++fullChain;
    }
    // Writers disagree on whether the count needs its flag, so a count is taken whenever given;
    // a count beyond the full chain is cut back to it.
    header.levelCount = std::clamp(ReadU32(data + 28), 1u, fullChain);
    return true;
}

uint32_t DDSFile::GetFileLength(const void* data, uint32_t available) {
    Header header;
    if (!ReadHeader(static_cast<const uint8_t*>(data), available, header)) {
        return 0;
    }
    uint64_t length = kHeaderSize;
    for (uint32_t i = 0; i < header.levelCount; ++i) {
        length += GetLevelSize(header.format, std::max(1u, header.width >> i), std::max(1u, header.height >> i));
    }
    return length <= UINT32_MAX ? static_cast<uint32_t>(length) : 0;
}

bool DDSFile::Parse(const void* data, uint32_t length, int reduction) {
    format_ = DDSFormat::Unknown;
    levels_.clear();
    Header header;
    if (!ReadHeader(static_cast<const uint8_t*>(data), length, header)) {
        return false;
    }
    std::vector<DDSLevel> all(header.levelCount);
    uint64_t offset = kHeaderSize;
    for (uint32_t i = 0; i < header.levelCount; ++i) {
        DDSLevel& level = all[i];
        level.width = std::max(1u, header.width >> i);
        level.height = std::max(1u, header.height >> i);
        level.size = GetLevelSize(header.format, level.width, level.height);
        if (offset + level.size > length) {
            Log(LogPriority::Error, "DDS texture: truncated (%u bytes, level %u needs %llu).", length, i,
                static_cast<unsigned long long>(offset + level.size));
            return false;
        }
        level.offset = static_cast<uint32_t>(offset);
        offset += level.size;
    }
    uint32_t drop = reduction > 0 ? std::min(uint32_t(reduction), header.levelCount - 1) : 0;
    if (IsCompressed(header.format) && header.width >= 4 && header.height >= 4) {
        while (drop > 0 && (all[drop].width < 4 || all[drop].height < 4)) {
            --drop;
        }
    }
    levels_.assign(all.begin() + drop, all.end());
    format_ = header.format;
    return true;
}

}  // namespace GAME
