// Colour pulses: the colour over whole cycles, ending on the default colour or stopping without
// one, a zero pulse time, and the settings of a record.

#include <gtest/gtest.h>

#include <string>

#include "core/Singleton.h"
#include "effects/ColorPulse.h"
#include "engine/ObjectManager.h"
#include "files/FileSystem.h"
#include "files/TableDepot.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace GAME {
namespace {

const Color kA(0.0f, 0.0f, 0.0f, 1.0f);
const Color kB(1.0f, 0.5f, 0.0f, 1.0f);

void ExpectColor(const Color& actual, const Color& e) {
    const float differences[] = {actual.r - e.r, actual.g - e.g, actual.b - e.b, actual.a - e.a};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(differences[i], 0.0f, 1e-5f) << "rgba"[i];
}

TEST(ColorPulseTest, SwingsBetweenItsColoursAndEndsWhereItIsTold) {
    ColorPulse pulse(100, kA, kB);
    // No time left at first: the first update completes a rising half at B.
    ExpectColor(pulse.Update(16), kB);
    EXPECT_TRUE(pulse.GetCyclesDone() == 1 && !pulse.IsRising());
    // Down to A over one pulse time, then up again.
    ExpectColor(pulse.Update(25), Color::Lerp(kA, kB, 0.75f));
    ExpectColor(pulse.Update(50), Color::Lerp(kA, kB, 0.25f));
    ExpectColor(pulse.Update(25), kA);
    EXPECT_TRUE(pulse.IsRising());
    // A pulse synced to this one takes its place in its half cycle, one cycle fewer done.
    ColorPulse follower(100, kA, kB);
    for (const int ms : {16, 30}) follower.Update(ms);  // its own place is another
    follower.SyncToColorPulse(pulse);
    EXPECT_TRUE(follower.GetCyclesDone() == 0 && follower.IsRising());
    ColorPulse fresh(100, kA, kB);  // none done: none fewer
    fresh.SyncToColorPulse(pulse);
    EXPECT_EQ(fresh.GetCyclesDone(), 0);
    ExpectColor(follower.Update(40), Color::Lerp(kA, kB, 0.4f));
    ExpectColor(pulse.Update(40), Color::Lerp(kA, kB, 0.4f));
    ExpectColor(pulse.Update(60), kB);
    EXPECT_TRUE(pulse.GetCyclesDone() == 2 && pulse.IsPulsing());  // for ever
    // A pulse of one millisecond is a pulse too: with all of it left the falling half is at B.
    ColorPulse brief(1, kA, kB);
    brief.Update(0);
    ExpectColor(brief.Update(0), kB);
}

TEST(ColorPulseTest, CountedCyclesStopOrSettleOnTheDefault) {
    test::LogCapture log;
    test::TempDirectory dir;
    FileSystem files;
    files.AddDirectory(dir.GetPath(), true);
    const auto write = [&](const std::string& name, const std::string& text) {
        ASSERT_TRUE(files.SaveFile(name, text.data(), uint32_t(text.size())));
    };
    const std::string colours =
        "pulseTime,100,\nnumberOfCycles,2,\npulseColorARed,0,\npulseColorAAlpha,1,\npulseColorBRed,1,\n"
        "pulseColorBGreen,0.5,\npulseColorBAlpha,1,\n";
    write("Stop.dbr", colours);
    write("Settle.dbr", colours + "defaultPulseColorRed,0.0,\ndefaultPulseColorGreen,0.2,\ndefaultPulseColorBlue,0.2,\n"
                                  "defaultPulseColorAlpha,0.5,\n");
    write("Blank.dbr", "numberOfCycles,-1,\n");  // no time by default
    write("Never.dbr", "pulseTime,100,\nnumberOfCycles,0,\n");
    TableDepot records(files);
    Singleton<ObjectManager>::Get()->SetTableDepot(&records);

    ColorPulse stop("Stop.dbr");
    ColorPulse settle("Settle.dbr");
    EXPECT_TRUE(stop.IsPulsing());
    // The record starts with a full half cycle: two whole cycles take four halves.
    for (ColorPulse* p : {&stop, &settle}) {
        for (int half = 0; half < 4; ++half) p->Update(100);
        EXPECT_TRUE(p->GetCyclesDone() == 2 && p->IsPulsing());
    }
    // The third rising half: to the default colour, or nowhere (the pulse stops where it was).
    ExpectColor(settle.Update(50), Color::Lerp(kA, Color(0.0f, 0.2f, 0.2f, 0.5f), 0.5f));
    ExpectColor(settle.Update(50), Color(0.0f, 0.2f, 0.2f, 0.5f));
    EXPECT_FALSE(settle.IsPulsing());
    ExpectColor(stop.Update(50), kA);
    EXPECT_FALSE(stop.IsPulsing());
    // Over, the colour stays where the pulse ended.
    ExpectColor(stop.Update(100), kA);
    ExpectColor(settle.Update(100), Color(0.0f, 0.2f, 0.2f, 0.5f));
    // Reset starts the counted cycles again.
    stop.Reset();
    EXPECT_TRUE(stop.IsPulsing());
    ExpectColor(stop.Update(50), Color::Lerp(kA, kB, 0.5f));

    // No time: each update ends a half, alternately at B and at A; no colours: transparent black.
    ColorPulse blank("Blank.dbr");
    blank.SetColorB(kB);
    for (const Color& colour : {kB, Color(), kB}) ExpectColor(blank.Update(0), colour);

    // A missing record keeps the settings it has (logged).
    ColorPulse missing("Missing.dbr");
    EXPECT_GE(log.Count(LogPriority::Error) + log.Count(LogPriority::Warning), 1u);
    ExpectColor(missing.Update(10), Color());
    EXPECT_TRUE(missing.IsPulsing() && !ColorPulse("Never.dbr").IsPulsing());  // no cycles: not at all
    Singleton<ObjectManager>::Get()->SetTableDepot(nullptr);
}

}  // namespace
}  // namespace GAME
