#include "world/DayNightCycle.h"

#include "core/MathUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace GAME {
namespace {

constexpr float kTolerance = 1e-4f;

void ExpectColor(const Color& actual, float r, float g, float b) {
    EXPECT_NEAR(actual.r, r, kTolerance);
    EXPECT_NEAR(actual.g, g, kTolerance);
    EXPECT_NEAR(actual.b, b, kTolerance);
    EXPECT_EQ(actual.a, 1.0f);
}

// A Catmull-Rom spline halfway between its two middle points.
float Halfway(float p0, float p1, float p2, float p3) { return (-p0 + 9.0f * p1 + 9.0f * p2 - p3) / 16.0f; }

void ExpectDirection(const Vec3& actual, float elevation, float azimuth) {
    EXPECT_NEAR(actual.x, std::cos(elevation) * std::cos(azimuth), kTolerance);
    EXPECT_NEAR(actual.y, std::sin(elevation), kTolerance);
    EXPECT_NEAR(actual.z, std::cos(elevation) * std::sin(azimuth), kTolerance);
}

TEST(DayNightCycle, DefaultTableGivesItsColoursAtItsKeysAndSplinesBetweenThem) {
    DayNightCycle cycle;
    cycle.SetDefault();
    Color light, sky, ground;

    // At a key's own time the key after it is the next one, so the key's colours come out whole.
    cycle.GetLighting(9.0f, light, sky, ground);
    ExpectColor(light, 0.94f, 0.82f, 0.65f);
    ExpectColor(sky, 0.52f, 0.56f, 0.64f);
    ExpectColor(ground, 0.45f, 0.29f, 0.18f);
    cycle.GetLighting(1.0f, light, sky, ground);
    ExpectColor(light, 0.165f, 0.198f, 0.55f);

    // 13:00 is halfway from 9:00 to 17:00; the spline also weighs 3:10 and 18:00.
    cycle.GetLighting(13.0f, light, sky, ground);
    ExpectColor(light, Halfway(1.0f, 0.94f, 0.94f, 0.94f), Halfway(0.81f, 0.82f, 0.82f, 0.78f),
                Halfway(0.59f, 0.65f, 0.65f, 0.65f));
    ExpectColor(sky, Halfway(0.26f, 0.52f, 0.52f, 0.5f), Halfway(0.15f, 0.56f, 0.56f, 0.45f),
                Halfway(0.35f, 0.64f, 0.64f, 0.38f));

    // 0:05 is halfway from 23:10 to 1:00 the next day: the table wraps past midnight.
    cycle.GetLighting(5.0f / 60.0f, light, sky, ground);
    ExpectColor(light, Halfway(1.0f, 0.165f, 0.165f, 1.0f), Halfway(0.6f, 0.198f, 0.198f, 0.81f),
                Halfway(0.35f, 0.55f, 0.55f, 0.59f));
    ExpectColor(ground, Halfway(0.5f, 0.11f, 0.11f, 0.65f), Halfway(0.27f, 0.15f, 0.15f, 0.38f),
                Halfway(0.21f, 0.24f, 0.24f, 0.11f));
}

TEST(DayNightCycle, LightFadesAroundSunriseAndSunsetAndAllColoursAreClamped) {
    DayNightCycle cycle;
    Color light, sky, ground;
    cycle.GetLighting(12.0f, light, sky, ground);
    ExpectColor(light, 0, 0, 0);
    ExpectColor(ground, 0, 0, 0);

    // One key: every spline point is that key.
    cycle.SetSunRise(6.0f);
    cycle.SetSunSet(18.0f);
    cycle.AddLightSetup(3.0f, Color(0.8f, 0.4f, 0.2f, 0.5f), Color(0.2f, 0.3f, 0.4f, 0.5f), Color(0.1f, 0.1f, 0.1f, 0.5f));
    // The light at sunrise, half an hour before sunset (((cos(pi/2) + 1) / 2)^2), at noon; the sky whole.
    for (const auto& [hour, fade] : {std::pair{6.0f, 0.0f}, {17.5f, 0.25f}, {12.0f, 1.0f}}) {
        cycle.GetLighting(hour, light, sky, ground);
        ExpectColor(light, 0.8f * fade, 0.4f * fade, 0.2f * fade);
        ExpectColor(sky, 0.2f, 0.3f, 0.4f);
    }

    // Sunrise at sunset: no fading. Keys 0, 1, 1, 0 overshoot to 1.125 halfway and are clamped.
    cycle.Clear();
    cycle.SetSunSet(6.0f);
    const Color dark(0, 0, 0, 1), bright(1, 1, 1, 1);
    cycle.AddLightSetup(0.0f, dark, dark, dark);
    cycle.AddLightSetup(6.0f, bright, bright, bright);
    cycle.AddLightSetup(12.0f, bright, bright, bright);
    cycle.AddLightSetup(18.0f, dark, dark, dark);
    cycle.GetLighting(9.0f, light, sky, ground);
    for (const Color& colour : {light, sky, ground}) ExpectColor(colour, 1, 1, 1);
    cycle.GetLighting(6.0f, light, sky, ground);
    ExpectColor(light, 1, 1, 1);
    cycle.GetLighting(3.0f, light, sky, ground);
    ExpectColor(light, Halfway(0, 0, 1, 1), Halfway(0, 0, 1, 1), Halfway(0, 0, 1, 1));
}

TEST(DayNightCycle, DayIntervalAndSunAndMoonDirections) {
    DayNightCycle cycle;
    cycle.SetSunRise(6.0f);
    cycle.SetSunSet(18.0f);
    cycle.SetDefault();  // replaces the sunrise and sunset set before
    const float rise = cycle.GetSunRise(), set = cycle.GetSunSet();
    EXPECT_EQ(std::pair(DayNightCycle().GetSunRise(), DayNightCycle().GetSunSet()), std::pair(rise, set));  // as new
    EXPECT_FLOAT_EQ(rise, 2.0f + 1.0f / 60.0f);
    EXPECT_FLOAT_EQ(set, 22.0f + 59.0f / 60.0f);
    for (const auto& [hour, day] : {std::pair{rise, true}, {12.0f, true}, {set, false}, {1.0f, false}})
        EXPECT_EQ(cycle.GetIsDay(hour), day) << hour;

    const float sunMin = DegreesToRadians(25.0f), moonMin = DegreesToRadians(40.0f), azimuth = DegreesToRadians(138.0f);
    ExpectDirection(cycle.GetLightDirection(rise, false), sunMin, azimuth);
    ExpectDirection(cycle.GetLightDirection(rise, true), sunMin, 0.0f);
    ExpectDirection(cycle.GetLightDirection((rise + set) / 2.0f, false), Pi / 2.0f, azimuth);
    ExpectDirection(cycle.GetLightDirection(set, false), moonMin, azimuth);
    // A quarter of the night (which runs from 22:59 past midnight to 2:01) lies after midnight.
    const float night = rise + 24.0f - set;
    ExpectDirection(cycle.GetLightDirection(set + night * 0.75f - 24.0f, false),
                    moonMin + (Pi - 2.0f * moonMin) * 0.75f, azimuth);

    // A day that wraps past midnight.
    cycle.SetSunRise(20.0f);
    cycle.SetSunSet(4.0f);
    EXPECT_EQ(std::pair(cycle.GetIsDay(2.0f), cycle.GetIsDay(12.0f)), std::pair(true, false));
    ExpectDirection(cycle.GetLightDirection(0.0f, false), Pi / 2.0f, azimuth);

    // Sunrise at sunset: the sun stands still at its minimum angle.
    cycle.SetSunSet(20.0f);
    cycle.SetSunAzimuth(0.5f);
    ExpectDirection(cycle.GetLightDirection(3.0f, false), sunMin, 0.5f);
}

TEST(DayNightCycle, SetupTimesReorderTheTable) {
    DayNightCycle cycle;
    const Color c(0.5f, 0.5f, 0.5f, 1);
    for (float time : {2.0f, 4.0f, 6.0f}) cycle.AddLightSetup(time, c, c, c);

    EXPECT_EQ(cycle.SetLightSetupTime(1, 5.0f), 1u);  // still between its neighbours
    EXPECT_EQ(cycle.SetLightSetupTime(1, 7.0f), 2u);  // passes 6
    EXPECT_EQ(cycle.SetLightSetupTime(2, 1.0f), 0u);  // passes 2 and 6
    EXPECT_EQ(cycle.SetLightSetupTime(0, 26.0f), 1u);  // wrapped to 2 when it moves, after the old 2
    EXPECT_EQ(std::pair(cycle.GetLightSetup(2).time, cycle.GetLightSetup(1).time), std::pair(6.0f, 2.0f));
    EXPECT_EQ(cycle.SetLightSetupTime(2, 30.0f), 2u);  // the last one has no successor to pass
    EXPECT_EQ(cycle.GetLightSetup(2).time, 30.0f);

    cycle.SetLightSetupSkyColor(0, Color(1, 0, 0, 0.5f));
    EXPECT_EQ(cycle.GetLightSetup(0).sky, Color(1, 0, 0, 0.5f));
    cycle.RemoveLightSetup(0);
    ASSERT_EQ(cycle.GetNumLightSetups(), 2u);
    EXPECT_EQ(cycle.GetLightSetup(0).time, 2.0f);
    EXPECT_EQ(cycle.SetLightSetupTime(1, 1.0f), 0u);  // the second passes the first
}

}  // namespace
}  // namespace GAME
