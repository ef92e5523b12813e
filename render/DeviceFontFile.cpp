#include "render/DeviceFontFile.h"

#include "core/Log.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"

#include <algorithm>
#include <cstring>

namespace GAME {

namespace {

constexpr uint8_t kCurrentTag[4] = {'F', 'N', 'T', 0x02};
constexpr uint8_t kOldTag[4] = {'F', 'N', 'T', 0x01};

}  // namespace

const DeviceFontGlyph* DeviceFontFace::FindGlyph(uint16_t code) const {
    const auto it = std::lower_bound(glyphs.begin(), glyphs.end(), code,
                                     [](const DeviceFontGlyph& glyph, uint16_t c) { return glyph.code < c; });
    return it != glyphs.end() && it->code == code ? &*it : nullptr;
}

namespace {

bool KerningBefore(const DeviceFontKerning& a, const DeviceFontKerning& b) {
    return a.first != b.first ? a.first < b.first : a.second < b.second;
}

}  // namespace

int DeviceFontFace::GetKerning(uint16_t first, uint16_t second) const {
    // Looked up for every glyph laid out, so by halving rather than by walking the pairs.
    const DeviceFontKerning key{first, second, 0};
    const auto it = std::lower_bound(kerning.begin(), kerning.end(), key, KerningBefore);
    return it != kerning.end() && it->first == first && it->second == second ? it->amount : 0;
}

bool DeviceFontFile::IsOldFormat(const void* data, uint32_t size) {
    return data != nullptr && size >= 4 && std::memcmp(data, kOldTag, 4) == 0;
}

const char* DeviceFontFile::Validate(const DeviceFontFace& face) {
    if (static_cast<uint32_t>(face.style) > static_cast<uint32_t>(RenderFontStyle::BoldItalic)) {
        return "unknown style";
    }
    if (face.baseSize < kMinBaseSize || face.baseSize > kMaxBaseSize) {
        return "base size out of range";
    }
    if (face.atlasWidth == 0 || face.atlasHeight == 0 || face.atlasWidth > kMaxAtlasSize ||
        face.atlasHeight > kMaxAtlasSize) {
        return "atlas size out of range";
    }
    if (face.atlas.size() != size_t(face.atlasWidth) * face.atlasHeight) {
        return "atlas byte count does not match its size";
    }
    if (face.glyphs.size() > kMaxGlyphs || face.kerning.size() > kMaxKerningPairs) {
        return "too many glyphs or kerning pairs";
    }
    for (size_t i = 0; i < face.glyphs.size(); ++i) {
        const DeviceFontGlyph& glyph = face.glyphs[i];
        if (i > 0 && face.glyphs[i - 1].code >= glyph.code) {
            return "glyphs not sorted by code";
        }
        if (uint32_t(glyph.x) + glyph.width > face.atlasWidth || uint32_t(glyph.y) + glyph.height > face.atlasHeight) {
            return "glyph outside the atlas";
        }
    }
    return nullptr;
}

bool DeviceFontFile::Read(const void* data, uint32_t size, const char* name) {
    faces.clear();
    if (name == nullptr) {
        name = "";
    }
    BinaryReader reader(data, data != nullptr ? size : 0);
    uint8_t tag[4] = {};
    if (!reader.ReadBytes(tag, 4) || std::memcmp(tag, kCurrentTag, 4) != 0) {
        Log(LogPriority::Error, "Font '%s' is not a current-format font file.", name);
        return false;
    }
    const uint32_t faceCount = reader.ReadUInt32();
    if (reader.Failed() || faceCount == 0 || faceCount > kMaxFaces) {
        Log(LogPriority::Error, "Font '%s' has a bad face count %u.", name, faceCount);
        return false;
    }
    std::vector<DeviceFontFace> read(faceCount);
    for (DeviceFontFace& face : read) {
        face.style = static_cast<RenderFontStyle>(reader.ReadUInt32());
        face.baseSize = reader.ReadUInt32();
        face.ascent = reader.ReadInt32();
        face.descent = reader.ReadInt32();
        face.lineHeight = reader.ReadInt32();
        face.atlasWidth = reader.ReadUInt32();
        face.atlasHeight = reader.ReadUInt32();
        const uint32_t glyphCount = reader.ReadUInt32();
        // Each count is checked against what the rest of the file can hold before anything is
        // allocated for it.
        if (reader.Failed() || glyphCount > kMaxGlyphs || uint64_t(glyphCount) * 12 > reader.GetRemaining()) {
            Log(LogPriority::Error, "Font '%s' is truncated or has a bad glyph count.", name);
            return false;
        }
        face.glyphs.resize(glyphCount);
        for (DeviceFontGlyph& glyph : face.glyphs) {
            glyph.code = reader.ReadUInt16();
            glyph.x = reader.ReadUInt16();
            glyph.y = reader.ReadUInt16();
            glyph.width = reader.ReadUInt8();
            glyph.height = reader.ReadUInt8();
            glyph.xOffset = static_cast<int8_t>(reader.ReadUInt8());
            glyph.yOffset = static_cast<int8_t>(reader.ReadUInt8());
            glyph.advance = reader.ReadUInt8();
            reader.ReadUInt8();
        }
        const uint32_t kerningCount = reader.ReadUInt32();
        if (reader.Failed() || kerningCount > kMaxKerningPairs || uint64_t(kerningCount) * 8 > reader.GetRemaining()) {
            Log(LogPriority::Error, "Font '%s' is truncated or has a bad kerning count.", name);
            return false;
        }
        face.kerning.resize(kerningCount);
        for (DeviceFontKerning& pair : face.kerning) {
            pair.first = reader.ReadUInt16();
            pair.second = reader.ReadUInt16();
            pair.amount = static_cast<int16_t>(reader.ReadUInt16());
            reader.ReadUInt16();
        }
        // Stable, so a pair listed twice keeps the file's order: the first one listed holds, and the
        // file writes back to the same bytes.
        std::stable_sort(face.kerning.begin(), face.kerning.end(), KerningBefore);
        const uint32_t atlasBytes = reader.ReadUInt32();
        if (reader.Failed() || face.atlasWidth > kMaxAtlasSize || face.atlasHeight > kMaxAtlasSize ||
            atlasBytes != face.atlasWidth * face.atlasHeight || atlasBytes > reader.GetRemaining()) {
            Log(LogPriority::Error, "Font '%s' is truncated or its atlas size is wrong.", name);
            return false;
        }
        face.atlas.resize(atlasBytes);
        reader.ReadBytes(face.atlas.data(), atlasBytes);
        if (const char* why = Validate(face)) {
            Log(LogPriority::Error, "Font '%s' is corrupt: %s.", name, why);
            return false;
        }
    }
    faces = std::move(read);
    return true;
}

bool DeviceFontFile::Write(std::vector<uint8_t>& out) const {
    if (faces.empty() || faces.size() > kMaxFaces) {
        Log(LogPriority::Error, "A font file needs 1 to %u faces, not %zu.", kMaxFaces, faces.size());
        return false;
    }
    BinaryWriter writer;
    writer.Write(kCurrentTag, 4);
    writer.Write(static_cast<uint32_t>(faces.size()));
    for (const DeviceFontFace& face : faces) {
        if (const char* why = Validate(face)) {
            Log(LogPriority::Error, "A font face cannot be written: %s.", why);
            return false;
        }
        writer.Write(static_cast<uint32_t>(face.style));
        writer.Write(face.baseSize);
        writer.Write(face.ascent);
        writer.Write(face.descent);
        writer.Write(face.lineHeight);
        writer.Write(face.atlasWidth);
        writer.Write(face.atlasHeight);
        writer.Write(static_cast<uint32_t>(face.glyphs.size()));
        for (const DeviceFontGlyph& glyph : face.glyphs) {
            writer.Write(glyph.code);
            writer.Write(glyph.x);
            writer.Write(glyph.y);
            writer.Write(glyph.width);
            writer.Write(glyph.height);
            writer.Write(static_cast<uint8_t>(glyph.xOffset));
            writer.Write(static_cast<uint8_t>(glyph.yOffset));
            writer.Write(glyph.advance);
            writer.Write(uint8_t(0));
        }
        writer.Write(static_cast<uint32_t>(face.kerning.size()));
        for (const DeviceFontKerning& pair : face.kerning) {
            writer.Write(pair.first);
            writer.Write(pair.second);
            writer.Write(static_cast<uint16_t>(pair.amount));
            writer.Write(uint16_t(0));
        }
        writer.Write(static_cast<uint32_t>(face.atlas.size()));
        writer.Write(face.atlas.data(), static_cast<uint32_t>(face.atlas.size()));
    }
    if (writer.Failed()) {
        return false;
    }
    out.assign(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
    return true;
}

}  // namespace GAME
