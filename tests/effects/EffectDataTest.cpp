// EffectData: the effect file as a whole, ownership of its emitters, and loading and saving
// through the file system.

#include "effects/EffectData.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "EmitterSamples.h"
#include "files/BinaryWriter.h"
#include "files/FileSystem.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

using test::EditedEmitter;
using test::ExpectSameSlots;

// Three emitters: defaults, edited, edited with another seed; named "first", "second", "third".
EffectData ThreeEmitters() {
    EffectData effect;
    effect.AddEmitterData(std::make_unique<EmitterData>());
    effect.AddEmitterData(std::make_unique<EmitterData>(EditedEmitter(1)));
    effect.AddEmitterData(std::make_unique<EmitterData>(EditedEmitter(2)));
    for (const int i : {0, 1, 2}) effect.SetName(i, std::vector<const char*>{"first", "second", "third"}[size_t(i)]);
    return effect;
}

std::string NameOf(const EffectData& effect, int index) {
    std::string name;
    return effect.GetName(index, name) ? name : "<none>";
}

void ExpectSameEffect(const EffectData& actual, const EffectData& expected) {
    ASSERT_EQ(actual.GetNumEmitters(), expected.GetNumEmitters());
    for (int i = 0; i < expected.GetNumEmitters(); ++i) {
        EXPECT_EQ(NameOf(actual, i), NameOf(expected, i));
        ExpectSameSlots(*actual.GetEmitterData(i), *expected.GetEmitterData(i));
    }
}

std::vector<unsigned char> Written(const EffectData& effect) {
    BinaryWriter writer;
    effect.BinaryWrite(writer);
    return {writer.GetBuffer(), writer.GetBuffer() + writer.GetPosition()};
}

TEST(EffectData, VersionWordAloneIsAnEmptyEffect) {
    BinaryWriter writer;
    writer.Write(101u);
    EffectData effect = ThreeEmitters();
    EXPECT_TRUE(effect.BufferLoad(writer.GetBuffer(), writer.GetPosition()));
    EXPECT_EQ(effect.GetNumEmitters(), 0);
}

TEST(EffectData, WrongVersionLeavesItEmpty) {
    test::LogCapture log;
    for (uint32_t version : {0u, 100u, 102u}) {
        BinaryWriter writer;
        writer.Write(version);
        writer.Write(std::string("name"));
        EmitterData().BinaryWrite(writer);
        EffectData effect = ThreeEmitters();
        EXPECT_FALSE(effect.BufferLoad(writer.GetBuffer(), writer.GetPosition()));
        EXPECT_EQ(effect.GetNumEmitters(), 0);
    }
    EffectData effect;
    EXPECT_FALSE(effect.BufferLoad("\x65\x00", 2) || effect.BufferLoad(nullptr, 0));
    EXPECT_EQ(log.Count(LogPriority::Error), 5u);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "LOAD_EFFECT:Wrong Version or Incompatible File."));
}

TEST(EffectData, NamedEmittersRoundTripInOrder) {
    const EffectData source = ThreeEmitters();
    const std::vector<unsigned char> bytes = Written(source);
    EffectData back;
    ASSERT_TRUE(back.BufferLoad(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ExpectSameEffect(back, source);
    EXPECT_TRUE(back.GetLoop(1) && back.GetEmitterData(1)->GetCurve(EmitterData::Curve_Radius)->GetLoop() &&
                !back.GetEmitterData(0)->GetCurve(EmitterData::Curve_Radius)->GetLoop());
    // Age curves keep their stored flag; the enabled and debug-lines flags are not stored.
    EXPECT_TRUE(back.GetEmitterData(1)->GetCurve(EmitterData::Curve_Alpha)->GetLoop());
    EXPECT_TRUE(back.GetEmitterData(1)->GetEnabled() && back.GetEmitterData(1)->GetDebugLines());

    // Writing what was read gives the same bytes.
    EXPECT_EQ(Written(back), bytes);
}

TEST(EffectData, ReadsOldRecordsAmongNewBlocks) {
    BinaryWriter writer;
    writer.Write(101u);
    writer.Write(std::string("old"));
    test::OldRecord record;
    record.curveCount = 1;
    record.curvesWritten = 1;
    record.Write(writer);
    writer.Write(std::string("new"));
    EditedEmitter().BinaryWrite(writer);

    EffectData effect;
    ASSERT_TRUE(effect.BufferLoad(writer.GetBuffer(), writer.GetPosition()));
    ASSERT_EQ(effect.GetNumEmitters(), 2);
    EXPECT_TRUE(NameOf(effect, 0) == "old" && NameOf(effect, 1) == "new" && effect.GetFloat(0, EmitterData::Float_Life) == 2.5f);
    EXPECT_EQ(effect.GetString(0, EmitterData::String_Shader), "Shaders/Particle/ParticleCombine.ssh");
    ExpectSameSlots(*effect.GetEmitterData(1), EditedEmitter());
}

TEST(EffectData, TruncatedOrCorruptFilesFailAndLeaveItEmpty) {
    test::LogCapture log;
    // Cuts between two emitter records make a shorter, sound file; every other cut fails.
    EffectData prefix = ThreeEmitters();
    std::set<size_t> boundaries;
    for (int count = prefix.GetNumEmitters(); count > 0; --count) {
        prefix.RemoveEmitterData(count - 1);
        boundaries.insert(Written(prefix).size());
    }
    const std::vector<unsigned char> good = Written(ThreeEmitters());
    for (uint32_t length = 4; length < good.size(); ++length) {
        if (boundaries.count(length)) continue;
        log.Clear();
        EffectData effect = ThreeEmitters();
        EXPECT_FALSE(effect.BufferLoad(good.data(), length)) << length;
        EXPECT_EQ(effect.GetNumEmitters(), 0) << length;
        EXPECT_TRUE(log.Contains(LogPriority::Error, "LOAD_EFFECT")) << length;
    }

    // A name whose length is over the limit, with the bytes present (written by hand: the writer
    // refuses such a string).
    BinaryWriter longName;
    longName.Write(101u);
    const std::string name(0x100001, 'n');
    longName.Write(uint32_t(name.size()));
    longName.Write(name.data(), uint32_t(name.size()));
    EmitterData().BinaryWrite(longName);
    EffectData effect;
    EXPECT_FALSE(effect.BufferLoad(longName.GetBuffer(), longName.GetPosition()));
    EXPECT_EQ(effect.GetNumEmitters(), 0);
}

TEST(EffectData, AddAndRemoveKeepNamesWithTheirEmitters) {
    EffectData effect = ThreeEmitters();
    const EmitterData* second = effect.GetEmitterData(1);
    std::unique_ptr<EmitterData> removed = effect.RemoveEmitterData(0);
    ASSERT_NE(removed, nullptr);
    ExpectSameSlots(*removed, EmitterData());
    ASSERT_EQ(effect.GetNumEmitters(), 2);
    EXPECT_EQ(effect.GetEmitterData(0), second);
    EXPECT_TRUE(NameOf(effect, 0) == "second" && NameOf(effect, 1) == "third");
    EXPECT_TRUE(effect.RemoveEmitterData(2) == nullptr && effect.RemoveEmitterData(-1) == nullptr);
    EXPECT_EQ(effect.GetNumEmitters(), 2);

    effect.AddEmitterData(std::move(removed));
    effect.AddEmitterData(nullptr);
    ASSERT_EQ(effect.GetNumEmitters(), 3);
    EXPECT_TRUE(NameOf(effect, 2) == "New Emitter" && effect.GetEmitterData(3) == nullptr && NameOf(effect, 3) == "<none>");
}

TEST(EffectData, CopiesOwnTheirOwnEmitters) {
    const EffectData source = ThreeEmitters();
    EffectData copy(source);
    ExpectSameEffect(copy, source);
    EXPECT_NE(copy.GetEmitterData(1), source.GetEmitterData(1));
    copy.SetFloat(1, EmitterData::Float_Life, 77.0f);
    EXPECT_EQ(source.GetFloat(1, EmitterData::Float_Life), 4.5f);

    EffectData assigned;
    assigned.AddEmitterData(std::make_unique<EmitterData>());
    assigned = source;
    ExpectSameEffect(assigned, source);
    const EffectData& alias = assigned;
    assigned = alias;  // self-assignment keeps everything
    ExpectSameEffect(assigned, source);

    EffectData moved(std::move(copy));
    EXPECT_TRUE(moved.GetFloat(1, EmitterData::Float_Life) == 77.0f && moved.GetAllocatedSize() > 3 * sizeof(EmitterData));
}

TEST(EffectData, EmitterIndicesOutOfRangeAreHarmless) {
    const EffectData three = ThreeEmitters();
    EffectData effect = three;  // a copy holds no room past its emitters: index 3 lies outside them
    for (int bad : {-1, 3}) {
        effect.SetString(bad, 0, "x");
        effect.SetFloat(bad, 0, 1.0f);
        effect.SetLoop(bad, true);
        effect.ImageLoad(bad, "x");
        effect.SetName(bad, "x");
        effect.SetBoolean(bad, 3, true);
        effect.SetInteger(bad, 1, 7);
        effect.ShaderLoad(bad, "x");
        EXPECT_TRUE(!effect.GetBoolean(bad, 3) && effect.GetInteger(bad, 1) == 0 && effect.GetString(bad, 0).empty() &&
                    effect.GetFloat(bad, 0) == 0.0f);
        EXPECT_TRUE(!effect.GetLoop(bad) && NameOf(effect, 0) == "first");  // nor is another's name touched
    }
    ExpectSameEffect(effect, three);
    effect.SetBoolean(0, 3, true);
    effect.SetInteger(0, 1, 7);
    effect.ShaderLoad(0, "other.ssh");
    EXPECT_TRUE(effect.GetBoolean(0, 3) && effect.GetInteger(0, 1) == 7 && effect.GetString(0, 1) == "other.ssh");
}

TEST(EffectData, SavesAndLoadsThroughTheFileSystem) {
    test::TempDirectory dir;
    FileSystem files;
    ASSERT_TRUE(files.AddDirectory(dir.GetPath(), true));
    const EffectData source = ThreeEmitters();
    ASSERT_TRUE(source.Save("Effects/Fire.pfx", files));
    EXPECT_EQ(dir.ReadFile("Effects/Fire.pfx").size(), Written(source).size());

    EffectData loaded;
    ASSERT_TRUE(loaded.Load("effects/FIRE.pfx", files));
    ExpectSameEffect(loaded, source);

    test::LogCapture log;
    EXPECT_FALSE(loaded.Load("effects/missing.pfx", files));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Could not open: effects/missing.pfx  for loading."));
    EXPECT_EQ(loaded.GetNumEmitters(), 3) << "a file that cannot be opened changes nothing";

    FileSystem readOnly;
    ASSERT_TRUE(readOnly.AddDirectory(dir.GetPath(), false));
    EXPECT_FALSE(source.Save("effects/other.pfx", readOnly));
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Could not open: effects/other.pfx  for saving."));
    // A name too long to be read back fails the save, which leaves the file as it was.
    EffectData unreadable = ThreeEmitters();
    unreadable.GetEmitterData(0)->SetTextureName(std::string(0x100001, 'x'));
    EXPECT_FALSE(unreadable.Save("Effects/Fire.pfx", files));
    EXPECT_EQ(dir.ReadFile("Effects/Fire.pfx").size(), Written(source).size());

    File* empty = files.OpenFile("effects/empty.pfx", FileMode::Write);
    ASSERT_NE(empty, nullptr);
    files.CloseFile(empty);
    EXPECT_FALSE(loaded.Load("effects/empty.pfx", files));
    EXPECT_EQ(loaded.GetNumEmitters(), 0);
}

}  // namespace
}  // namespace GAME
