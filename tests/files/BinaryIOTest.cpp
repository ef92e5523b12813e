// Binary reader and writers: byte layouts, round trips, chunks and hostile input.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Coords.h"
#include "core/Name.h"
#include "core/UniqueId.h"
#include "core/Vec3.h"
#include "files/BinaryReader.h"
#include "files/BinaryWriter.h"
#include "files/ChunkedBinaryWriter.h"
#include "files/FileSystem.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

std::vector<unsigned char> Bytes(const BinaryWriter& writer) {
    return std::vector<unsigned char>(writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition());
}

uint32_t WordAt(const BinaryWriter& writer, uint32_t offset) {
    uint32_t word = 0;
    std::memcpy(&word, writer.GetBuffer() + offset, 4);
    return word;
}

Coords MakeCoords() {
    Coords c;
    c.xAxis = Vec3{1, 2, 3};
    c.yAxis = Vec3{4, 5, 6};
    c.zAxis = Vec3{7, 8, 9};
    c.origin = Vec3{10, 11, 12};
    return c;
}

UniqueId MakeId() {
    UniqueId id;
    for (int i = 0; i < 4; ++i) id.SetPart(i, 0x10u + static_cast<uint32_t>(i));
    return id;
}

void ExpectVec3(const Vec3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(BinaryWriter, WritesLittleEndianLayouts) {
    BinaryWriter w(4);  // grows past its initial capacity
    w.Write(static_cast<unsigned char>(0xAB));
    w.Write(static_cast<unsigned short>(0x1234));
    w.Write(0x11223344u);
    w.Write(-2);
    w.Write(true);
    w.Write(false);
    w.Write(std::string("hi"));
    const std::vector<unsigned char> expected = {0xAB, 0x34, 0x12, 0x44, 0x33, 0x22, 0x11, 0xFE, 0xFF, 0xFF, 0xFF,
                                                 1,    0,    0,    0,    0,    0,    0,    0,    2,    0,    0,
                                                 0,    'h',  'i'};
    EXPECT_EQ(Bytes(w), expected);
    EXPECT_EQ(w.GetPosition(), expected.size());
    EXPECT_FALSE(w.Failed());
}

TEST(BinaryWriter, WordOrdersOfNameCoordsAndIds) {
    BinaryWriter w;
    w.Write(Name(1, 2, 3, 4));
    w.Write(MakeId());
    w.WriteWordOrder(MakeId());
    w.Write(MakeCoords());
    ASSERT_EQ(w.GetPosition(), 16u + 16u + 16u + 48u);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(WordAt(w, 4 * i), i + 1) << "Name word " << i;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(WordAt(w, 16 + 4 * i), 0x13u - i) << "stream form: words 3, 2, 1, 0";
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(WordAt(w, 32 + 4 * i), 0x10u + i) << "word order: 0, 1, 2, 3";
    for (uint32_t i = 0; i < 12; ++i) {
        float f = 0;
        std::memcpy(&f, w.GetBuffer() + 48 + 4 * i, 4);
        EXPECT_EQ(f, static_cast<float>(i + 1)) << "Coords: axes then origin";
    }
}

TEST(BinaryIO, EveryWriterFormRoundTrips) {
    BinaryWriter w;
    w.Write(static_cast<unsigned char>(200));
    w.Write(static_cast<unsigned short>(65000));
    w.Write(4000000000u);
    w.Write(-123456);
    w.Write(-1.5f);
    w.Write(true);
    w.Write(Vec3{0.25f, -8.0f, 3.0f});
    w.Write(MakeCoords());
    w.Write(Name(0xDEADBEEF, 2, 3, 0xFFFFFFFF));
    w.Write(MakeId());
    w.WriteWordOrder(MakeId());
    w.Write(std::string("record/name.dbr"));
    w.Write(std::string());
    const char raw[3] = {'x', 'y', 'z'};
    w.Write(raw, 3);

    BinaryReader r(w.GetBuffer(), w.GetPosition());
    EXPECT_EQ(r.ReadUInt8(), 200);
    EXPECT_EQ(r.ReadUInt16(), 65000);
    EXPECT_EQ(r.ReadUInt32(), 4000000000u);
    EXPECT_EQ(r.ReadInt32(), -123456);
    EXPECT_EQ(r.ReadFloat(), -1.5f);
    EXPECT_TRUE(r.ReadBool());
    ExpectVec3(r.ReadVec3(), 0.25f, -8.0f, 3.0f);
    const Coords c = r.ReadCoords();
    ExpectVec3(c.xAxis, 1, 2, 3);
    ExpectVec3(c.yAxis, 4, 5, 6);
    ExpectVec3(c.zAxis, 7, 8, 9);
    ExpectVec3(c.origin, 10, 11, 12);
    EXPECT_TRUE(r.ReadName() == Name(0xDEADBEEF, 2, 3, 0xFFFFFFFF));
    EXPECT_TRUE(r.ReadUniqueId() == MakeId());
    EXPECT_TRUE(r.ReadUniqueIdWordOrder() == MakeId());
    std::string text = "old";
    EXPECT_TRUE(r.ReadString(text));
    EXPECT_EQ(text, "record/name.dbr");
    EXPECT_TRUE(r.ReadString(text));
    EXPECT_EQ(text, "");
    char back[3] = {};
    EXPECT_TRUE(r.ReadBytes(back, 3));
    EXPECT_EQ(std::memcmp(back, raw, 3), 0);
    EXPECT_TRUE(r.IsAtEnd());
    EXPECT_FALSE(r.Failed());
}

TEST(BinaryWriter, NestedChunksPatchTheirOwnSizes) {
    for (int chunked = 0; chunked < 2; ++chunked) {
        std::unique_ptr<BinaryWriter> owner = chunked ? std::make_unique<ChunkedBinaryWriter>(8) : std::make_unique<BinaryWriter>(8);
        BinaryWriter& w = *owner;
        w.Write(0xAAu);
        w.BeginChunk(1);          // outer: size field at 8
        w.Write(7u);
        w.BeginChunk(2);          // inner: size field at 20
        w.Write(std::string("abc"));
        w.EndChunk();             // inner payload: 7 bytes
        w.BeginChunk(3);          // empty chunk: size field at 35
        w.EndChunk();
        w.EndChunk();             // outer payload: 4 + 8 + 7 + 8
        EXPECT_EQ(WordAt(w, 4), 1u);
        EXPECT_EQ(WordAt(w, 8), 27u);
        EXPECT_EQ(WordAt(w, 16), 2u);
        EXPECT_EQ(WordAt(w, 20), 7u);
        EXPECT_EQ(WordAt(w, 31), 3u);
        EXPECT_EQ(WordAt(w, 35), 0u);
        EXPECT_EQ(w.GetPosition(), 39u);

        // A reader walks the chunks by their sizes.
        BinaryReader r(w.GetBuffer(), w.GetPosition());
        r.Skip(4);
        EXPECT_EQ(r.ReadUInt32(), 1u);
        BinaryReader outer = r.ReadBlock(r.ReadUInt32());
        EXPECT_TRUE(r.IsAtEnd());
        EXPECT_EQ(outer.ReadUInt32(), 7u);
        EXPECT_EQ(outer.ReadUInt32(), 2u);
        BinaryReader inner = outer.ReadBlock(outer.ReadUInt32());
        std::string text;
        EXPECT_TRUE(inner.ReadString(text));
        EXPECT_EQ(text, "abc");
        EXPECT_TRUE(inner.IsAtEnd());
        EXPECT_FALSE(outer.Failed());
    }
}

TEST(BinaryWriter, EndChunkWithoutBeginIsALoggedNoOp) {
    test::LogCapture log;
    BinaryWriter w;
    w.Write(5u);
    w.EndChunk();
    EXPECT_EQ(WordAt(w, 0), 5u);
    EXPECT_EQ(w.GetPosition(), 4u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "EndChunk"));
}

TEST(ChunkedBinaryWriter, GrowsAcrossManyBlocks) {
    ChunkedBinaryWriter w(16);
    for (unsigned i = 0; i < 1000; ++i) w.Write(i);
    ASSERT_EQ(w.GetPosition(), 4000u);
    BinaryReader r(w.GetBuffer(), w.GetPosition());
    for (unsigned i = 0; i < 1000; ++i) ASSERT_EQ(r.ReadUInt32(), i);
}

TEST(BinaryReader, ReadingPastTheEndFailsStickilyAndClamps) {
    const unsigned char data[6] = {1, 0, 0, 0, 9, 9};
    BinaryReader r(data, sizeof(data));
    EXPECT_EQ(r.ReadUInt32(), 1u);
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(r.ReadUInt32(), 0u) << "a short read gives zero";
    EXPECT_TRUE(r.Failed());
    EXPECT_TRUE(r.IsAtEnd()) << "the cursor is clamped to the end";
    EXPECT_EQ(r.GetPosition(), 6u);
    EXPECT_EQ(r.ReadUInt8(), 0);
    EXPECT_TRUE(r.Failed());

    BinaryReader vectors(data, sizeof(data));
    ExpectVec3(vectors.ReadVec3(), 0, 0, 0);
    EXPECT_TRUE(vectors.Failed());
    BinaryWriter frame;
    frame.Write(MakeCoords());
    BinaryReader exact(frame.GetBuffer(), 48);
    EXPECT_EQ(exact.ReadCoords(), MakeCoords());
    BinaryReader cut(frame.GetBuffer(), 47);
    EXPECT_EQ(cut.ReadCoords(), Coords()) << "a frame is read whole or not at all";
    EXPECT_TRUE(cut.Failed());

    BinaryReader bytes(data, sizeof(data));
    unsigned char out[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_FALSE(bytes.ReadBytes(out, 8));
    EXPECT_EQ(out[0], 7) << "the caller's buffer is untouched";
    EXPECT_FALSE(BinaryReader(data, sizeof(data)).Skip(7));
    BinaryReader whole(data, sizeof(data));
    EXPECT_TRUE(whole.Skip(6));
    EXPECT_TRUE(whole.IsAtEnd());
    EXPECT_EQ(BinaryReader(data, sizeof(data)).ReadBlock(6).GetSize(), 6u);

    BinaryReader blocks(data, sizeof(data));
    BinaryReader block = blocks.ReadBlock(7);
    EXPECT_TRUE(blocks.Failed());
    EXPECT_EQ(block.GetSize(), 0u);
    EXPECT_EQ(block.ReadUInt8(), 0);
    EXPECT_TRUE(block.Failed());

    BinaryReader positions(data, sizeof(data));
    EXPECT_TRUE(positions.SetPosition(6));
    EXPECT_FALSE(positions.SetPosition(7));
    EXPECT_TRUE(positions.Failed());

    BinaryReader empty;
    EXPECT_EQ(empty.ReadFloat(), 0.0f);
    EXPECT_TRUE(empty.Failed());
}

TEST(BinaryReader, BadStringsLeaveTheStringAndStopAfterTheLength) {
    // A length running past the data.
    BinaryWriter w;
    w.Write(10u);
    w.Write("abc", 3);
    BinaryReader r(w.GetBuffer(), w.GetPosition());
    std::string text = "kept";
    EXPECT_FALSE(r.ReadString(text));
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(r.GetPosition(), 4u);
    EXPECT_TRUE(r.Failed());

    // A length over the limit, with enough data behind it to be tempting.
    std::vector<unsigned char> big(4 + BinaryReader::kMaxStringLength + 1, 'a');
    const uint32_t length = BinaryReader::kMaxStringLength + 1;
    std::memcpy(big.data(), &length, 4);
    BinaryReader over(big.data(), static_cast<uint32_t>(big.size()));
    std::string fresh;
    EXPECT_FALSE(over.ReadString(fresh));
    EXPECT_TRUE(fresh.empty());
    EXPECT_EQ(over.GetPosition(), 4u);

    // Exactly at the limit is accepted.
    const uint32_t limit = BinaryReader::kMaxStringLength;
    std::memcpy(big.data(), &limit, 4);
    BinaryReader at(big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_TRUE(at.ReadString(fresh));
    EXPECT_EQ(fresh.size(), limit);

    // A length word that is itself truncated.
    const unsigned char two[2] = {1, 0};
    BinaryReader truncated(two, 2);
    EXPECT_FALSE(truncated.ReadString(text));
    EXPECT_EQ(text, "kept");
}

TEST(BinaryReader, OwnsAndMovesItsBlock) {
    auto block = std::make_unique<unsigned char[]>(8);
    block[0] = 42;
    BinaryReader owner(std::move(block), 8);
    BinaryReader moved = std::move(owner);
    EXPECT_EQ(moved.ReadUInt8(), 42);
    EXPECT_EQ(moved.GetRemaining(), 7u);
}

TEST(BinaryWriter, WritesToAFileAndPatchesChunksThere) {
    test::TempDirectory dir;
    FileSystem files;
    File* file = files.OpenFile(dir.Join("out.bin"), FileMode::Write);
    ASSERT_NE(file, nullptr);
    {
        BinaryWriter w(*file);
        w.BeginChunk(9);
        w.Write(std::string("payload"));
        w.EndChunk();
        EXPECT_EQ(w.GetPosition(), 19u);
        EXPECT_EQ(w.GetBuffer(), nullptr);
        EXPECT_FALSE(w.Failed());
    }
    files.CloseFile(file);
    const std::string bytes = dir.ReadFile("out.bin");
    ASSERT_EQ(bytes.size(), 19u);
    BinaryReader r(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(r.ReadUInt32(), 9u);
    EXPECT_EQ(r.ReadUInt32(), 11u);
}

TEST(BinaryWriter, AFailedFileWriteIsReported) {
    test::TempDirectory dir;
    dir.WriteFile("read-only.bin", "x");
    FileSystem files;
    File* file = files.OpenFile(dir.Join("read-only.bin"), FileMode::Read);
    ASSERT_NE(file, nullptr);
    test::LogCapture log;
    BinaryWriter w(*file);
    w.Write(1u);
    EXPECT_TRUE(w.Failed());
    EXPECT_TRUE(log.Contains(LogPriority::Error, "BinaryWriter: a file write failed"));
    log.Clear();
    w.Write(2u);
    EXPECT_FALSE(log.Contains(LogPriority::Error, "BinaryWriter")) << "reported once";
    files.CloseFile(file);
}

TEST(BinaryWriter, AStringNoReaderAcceptsFailsTheWriter) {
    const std::string longest(BinaryReader::kMaxStringLength, 'a');
    BinaryWriter fits;
    fits.Write(longest);
    EXPECT_FALSE(fits.Failed());
    std::string back;
    BinaryReader r(fits.GetBuffer(), fits.GetPosition());
    EXPECT_TRUE(r.ReadString(back));
    EXPECT_EQ(back.size(), longest.size());

    test::LogCapture log;
    BinaryWriter over;
    over.Write(1u);
    over.Write(longest + 'b');
    EXPECT_TRUE(over.Failed());
    EXPECT_EQ(over.GetPosition(), 4u);  // nothing of the string was written
    EXPECT_TRUE(log.Contains(LogPriority::Error, "BinaryWriter: a string is longer than readers accept"));

    BinaryWriter past;  // nor can a stream pass 4 GiB
    past.Write(1u);
    past.Write(&past, UINT32_MAX - 3);
    EXPECT_TRUE(past.Failed());
    EXPECT_EQ(past.GetPosition(), 4u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "BinaryWriter: the stream would pass 4 GiB"));
}

}  // namespace
}  // namespace GAME
