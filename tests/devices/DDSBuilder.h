#pragma once
// DDSBuilder: writes DDS files for the tests: a header for a format and size, then level data.

#include "devices/DDSFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace GAME::test {

class DDSBuilder {
public:
    // The 128-byte header of a 2-D texture.
    static std::vector<uint8_t> Header(DDSFormat format, uint32_t width, uint32_t height, uint32_t levels) {
        std::vector<uint8_t> bytes(DDSFile::kHeaderSize, 0);
        std::memcpy(bytes.data(), "DDS ", 4);
        Put(bytes, 4, 124);
        Put(bytes, 8, 0x1007 | (levels > 1 ? 0x20000 : 0));
        Put(bytes, 12, height);
        Put(bytes, 16, width);
        Put(bytes, 28, levels);
        Put(bytes, 76, 32);
        uint32_t flags = 0, fourCC = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
        switch (format) {
            case DDSFormat::DXT1: flags = 0x4; fourCC = FourCC("DXT1"); break;
            case DDSFormat::DXT3: flags = 0x4; fourCC = FourCC("DXT3"); break;
            case DDSFormat::DXT5: flags = 0x4; fourCC = FourCC("DXT5"); break;
            case DDSFormat::A8R8G8B8: flags = 0x41; bits = 32; r = 0xFF0000; g = 0xFF00; b = 0xFF; a = 0xFF000000; break;
            case DDSFormat::X8R8G8B8: flags = 0x40; bits = 32; r = 0xFF0000; g = 0xFF00; b = 0xFF; break;
            case DDSFormat::A8B8G8R8: flags = 0x41; bits = 32; r = 0xFF; g = 0xFF00; b = 0xFF0000; a = 0xFF000000; break;
            case DDSFormat::X8B8G8R8: flags = 0x40; bits = 32; r = 0xFF; g = 0xFF00; b = 0xFF0000; break;
            case DDSFormat::R8G8B8: flags = 0x40; bits = 24; r = 0xFF0000; g = 0xFF00; b = 0xFF; break;
            case DDSFormat::R5G6B5: flags = 0x40; bits = 16; r = 0xF800; g = 0x7E0; b = 0x1F; break;
            case DDSFormat::X1R5G5B5: flags = 0x40; bits = 16; r = 0x7C00; g = 0x3E0; b = 0x1F; break;
            case DDSFormat::A1R5G5B5: flags = 0x41; bits = 16; r = 0x7C00; g = 0x3E0; b = 0x1F; a = 0x8000; break;
            case DDSFormat::A4R4G4B4: flags = 0x41; bits = 16; r = 0xF00; g = 0xF0; b = 0xF; a = 0xF000; break;
            case DDSFormat::L8: flags = 0x20000; bits = 8; r = 0xFF; break;
            case DDSFormat::A8: flags = 0x2; bits = 8; a = 0xFF; break;
            case DDSFormat::A8L8: flags = 0x20001; bits = 16; r = 0xFF; a = 0xFF00; break;
            case DDSFormat::Unknown: break;
        }
        Put(bytes, 80, flags);
        Put(bytes, 84, fourCC);
        Put(bytes, 88, bits);
        Put(bytes, 92, r);
        Put(bytes, 96, g);
        Put(bytes, 100, b);
        Put(bytes, 104, a);
        Put(bytes, 108, 0x1000);
        return bytes;
    }

    // A whole file: the header and every level filled by fill(level index, level bytes).
    template <typename Fill>
    static std::vector<uint8_t> File(DDSFormat format, uint32_t width, uint32_t height, uint32_t levels, Fill fill) {
        std::vector<uint8_t> bytes = Header(format, width, height, levels);
        for (uint32_t i = 0; i < levels; ++i) {
            const uint32_t w = width >> i ? width >> i : 1;
            const uint32_t h = height >> i ? height >> i : 1;
            std::vector<uint8_t> level(DDSFile::GetLevelSize(format, w, h));
            fill(i, level);
            bytes.insert(bytes.end(), level.begin(), level.end());
        }
        return bytes;
    }

    static void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
        }
    }

private:
    static uint32_t FourCC(const char* text) {
        return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
               uint32_t(uint8_t(text[3])) << 24;
    }
};

}  // namespace GAME::test
