// The sample host end to end: a short flight over the sample world, run as a user would run it,
// exits cleanly and leaves a screenshot at each point of the path that shows what the point looks
// at, judged by the colours of its pixels rather than against a stored image.

#include "SampleData.h"
#include "SampleFlight.h"

#include "files/BinaryWriter.h"
#include "render/Image.h"
#include "support/TempDirectory.h"
#include "world/WorldFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace GAME::test {
namespace {

// Shares of a screenshot's pixels of each kind, over the world between the statistics overlay
// and the caption, and counts in the overlay and the caption.
struct ShotStatistics {
    double grass = 0.0;   // clearly green
    double grey = 0.0;    // hardly coloured: rock, walls, checkers
    double light = 0.0;   // light and dark neutral grey: the squares of the crypt's checkers
    double dark = 0.0;
    double water = 0.0;   // much more blue than red, but the sky
    double sky = 0.0;     // the flight's sky colour
    int firePixels = 0;   // bright, warm, much more red than blue
    int glowPixels = 0;   // a channel at its brightest: where the bloom has added its glow
    int overlayText = 0;  // near white, inside the statistics box
    int captionText = 0;  // golden, in the caption's strip
    int fogHidden = 0;    // near white, in the fog-of-war map of the top right corner
    int fogUncovered = 0;  // near black, in that map
    int skylineRelief = 0;  // rows between the highest and the lowest column's first pixel under the sky
};

constexpr int kOverlayBottom = 140;  // the statistics box ends above this row
constexpr int kCaptionTop = 448;     // the caption starts below this row
constexpr int kFogMapLeft = 540;     // the fog-of-war map lies right of this column, above kFogMapBottom
constexpr int kFogMapBottom = 100;

ShotStatistics Measure(const Image& image) {
    ShotStatistics statistics;
    const int width = int(image.GetWidth());
    const int height = int(image.GetHeight());
    int world = 0;
    std::vector<int> skyline(size_t(width), kOverlayBottom);  // each column's first row that is not sky
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = image.GetBuffer() + (size_t(y) * size_t(width) + size_t(x)) * 3;
            const int r = pixel[0], g = pixel[1], b = pixel[2];
            if (y < kFogMapBottom && x > kFogMapLeft) {
                statistics.fogHidden += r > 215 && g > 215 && b > 215;
                statistics.fogUncovered += r < 40 && g < 40 && b < 40;
            } else if (y < kOverlayBottom) {
                statistics.overlayText += r > 200 && g > 200 && b > 200;
            } else if (y >= kCaptionTop) {
                statistics.captionText += r > 180 && g > 140 && b < 110;
            } else {
                ++world;
                statistics.grass += g > r + 25 && g > b + 25;
                statistics.grey += std::max({r, g, b}) - std::min({r, g, b}) < 40;
                const bool neutral = std::abs(r - g) < 12 && std::abs(g - b) < 12;
                statistics.light += neutral && r > 190;
                statistics.dark += neutral && r < 110;
                const bool sky = std::abs(r - 115) < 12 && std::abs(g - 158) < 12 && std::abs(b - 217) < 12;
                statistics.sky += sky;
                if (sky && skyline[size_t(x)] == y) skyline[size_t(x)] = y + 1;
                statistics.water += !sky && b > r + 30 && b >= g - 10;
                statistics.firePixels += r > 220 && g > 150 && r > b + 60;
                statistics.glowPixels += std::max({r, g, b}) > 245;
            }
        }
    }
    for (double* share :
         {&statistics.grass, &statistics.grey, &statistics.light, &statistics.dark, &statistics.water, &statistics.sky})
        *share /= world;
    const auto [highest, lowest] = std::minmax_element(skyline.begin(), skyline.end());
    statistics.skylineRelief = *lowest - *highest;
    return statistics;
}

// What each point's shot must show: shares of its world pixels (and fire and glow pixels) at
// least and at most; minChecker is the least share of both light and dark squares. Only the fire
// is painted with a bloom style: without its glow the flames alone make about a thousand
// brightest pixels. minFogHidden is the least count of hidden pixels in the fog-of-war map: the
// entrance's and the crypt's regions are small enough for the flight to uncover almost all of them.
// The views across the land see sky above it, its skyline rising and falling (minRelief rows).
struct Expected {
    const char* point;
    double minGrass, minGrey, maxGrey, minWater, maxWater, minChecker, minSky;
    int minFire, maxFire, minGlow, maxGlow, minFogHidden, minRelief;
};
constexpr Expected kExpected[] = {
    {"fire", 0.5, 0.0, 1.0, 0.0, 0.01, 0.0, 0.0, 300, 1 << 30, 5000, 1 << 30, 1000, 0},  // flames glowing over grass
    {"lake", 0.0, 0.05, 1.0, 0.3, 1.0, 0.0, 0.0, 0, 50, 0, 500, 1000, 0},      // water filling the view, a rocky shore
    {"hills", 0.5, 0.0, 0.01, 0.0, 0.01, 0.0, 0.1, 0, 50, 0, 500, 1000, 15},   // grassy hills under the sky
    {"river", 0.2, 0.0, 1.0, 0.03, 1.0, 0.0, 0.0, 0, 50, 0, 500, 1000, 0},     // water across the grass
    {"west", 0.5, 0.0, 0.01, 0.0, 0.01, 0.0, 0.01, 0, 50, 0, 500, 1000, 15},   // the land rising to the sky
    {"entrance", 0.5, 0.03, 0.3, 0.0, 0.01, 0.005, 0.0, 0, 50, 0, 500, 0, 0},  // a doorway, the crypt's floor in it
    {"crypt", 0.0, 0.9, 1.0, 0.0, 0.01, 0.2, 0.0, 0, 50, 0, 500, 0, 0},        // checkered floor and walls, no grass
};

// Regions stream in and out on the level loading thread as the camera flies, while the main thread
// draws: under ThreadSanitizer (which the host inherits) a race between the two ends the host.
TEST(SampleHostFlight, ExitsCleanlyWithRegionsStreamingOnTheirThreadAndEachShotShowsWhatItsPointLooksAt) {
    TempDirectory shots;
    const int legs = int(sample::kFlightPath.size()) - 1;
    // Long enough for the regions the camera leaves to go (levels it comes back to are read ahead).
    // Run in the shots' directory, which it leaves nothing in but the shots (its logs go with its
    // temporary directory).
    const int frames = 24 * legs;
    const std::string command = "cd " + shots.GetPath() + " && " + SAMPLE_HOST + " --frames " +
                                std::to_string(frames) + " --shots " + shots.GetPath() + " > output.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << shots.ReadFile("output.txt");
    const std::string output = shots.ReadFile("output.txt");
    std::vector<std::string> files = {"output.txt"};
    for (int point = 1; point <= legs; ++point)
        for (const char* extension : {".jpg", ".tga"})
            files.push_back(std::to_string(point) + "-" + sample::kFlightPath[size_t(point)].name + extension);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(shots.List(), files);
    // Progress ten times, with the point nearest the camera, and at the end; then the summary.
    size_t progress = 0;
    for (size_t at = output.find("Sample host: frame "); at != std::string::npos; at = output.find("Sample host: frame ", at + 1))
        ++progress;
    EXPECT_EQ(progress, 11u) << output;
    EXPECT_NE(output.find("Sample host: frame 16 of 168, fire, "), std::string::npos) << output;
    EXPECT_NE(output.find("Sample host: frame 168 of 168, crypt, "), std::string::npos) << output;
    int flown = 0, loads = 0, unloads = 0, errors = -1;
    double p50 = 0.0, p99 = 0.0, worst = 0.0;
    const size_t summary = output.rfind("Sample host: ");
    ASSERT_NE(summary, std::string::npos) << output;
    ASSERT_EQ(std::sscanf(output.c_str() + summary,
                          "Sample host: %d frames; frame time p50 %lf ms, p99 %lf ms, max %lf ms; regions loaded %d "
                          "times, unloaded %d times; %d errors",
                          &flown, &p50, &p99, &worst, &loads, &unloads, &errors),
              7)
        << output;
    EXPECT_EQ(std::tuple(flown, errors, loads > 3, unloads > 0), std::tuple(frames, 0, true, true)) << output;
    EXPECT_TRUE(p50 > 0.0 && p50 <= p99 && p99 <= worst) << output;

    ASSERT_EQ(std::size(kExpected), size_t(legs));
    for (int point = 1; point <= legs; ++point) {
        const Expected& expected = kExpected[point - 1];
        const std::string name = sample::kFlightPath[size_t(point)].name;
        ASSERT_EQ(name, expected.point);
        const std::string path = shots.Join(std::to_string(point) + "-" + name + ".tga");
        Image image;
        ASSERT_EQ(image.Load(path.c_str(), Image::Format::RGB), Image::Error::None) << path;
        ASSERT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(640u, 480u));
        const ShotStatistics shot = Measure(image);
        SCOPED_TRACE(name);
        // The interface is on top of the world: the statistics' text and the caption.
        EXPECT_GT(std::min(shot.overlayText, shot.captionText), 200);
        EXPECT_GE(shot.grass, expected.minGrass);
        EXPECT_TRUE(shot.grey >= expected.minGrey && shot.grey <= expected.maxGrey) << shot.grey;
        EXPECT_TRUE(shot.water >= expected.minWater && shot.water <= expected.maxWater) << shot.water;
        EXPECT_TRUE(shot.firePixels >= expected.minFire && shot.firePixels <= expected.maxFire) << shot.firePixels;
        EXPECT_TRUE(shot.glowPixels >= expected.minGlow && shot.glowPixels <= expected.maxGlow) << shot.glowPixels;
        EXPECT_GE(std::min(shot.light, shot.dark), expected.minChecker);
        EXPECT_TRUE(shot.sky >= expected.minSky && shot.skylineRelief >= expected.minRelief) << shot.skylineRelief;
        // The way flown over the camera's region is uncovered in its fog of war, the rest hidden.
        EXPECT_TRUE(shot.fogUncovered > 200 && shot.fogHidden >= expected.minFogHidden) << shot.fogHidden;
    }
}

// A world of no regions (a map the host is given by mistake) has nothing to fly over: the host says
// so and fails, rather than fly over nothing or fall over.
TEST(SampleHostFlight, AWorldWithoutRegionsIsReportedAndFails) {
    TempDirectory data;
    ASSERT_TRUE(sample::WriteSampleData(data.GetPath()));
    BinaryWriter empty;
    const auto nothing = [](BinaryWriter&) {};
    WorldFile::Write(empty, {}, {}, nothing, nothing);
    data.WriteFile(sample::kSampleMap,
                   std::string(reinterpret_cast<const char*>(empty.GetBuffer()), empty.GetPosition()));
    const std::string command = std::string(SAMPLE_HOST) + " --frames 5 --video Videos/Intro.mkv --data " +
                                data.GetPath() + " --logs " + data.Join("Logs") + " > " + data.Join("output.txt") +
                                " 2>&1";
    const int status = std::system(command.c_str());
    const std::string output = data.ReadFile("output.txt");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << output;
    EXPECT_NE(output.find("has no regions to fly over"), std::string::npos) << output;
    EXPECT_NE(data.ReadFile("Logs/EngineLog.xml").find("has no regions to fly over"), std::string::npos);
}

}  // namespace
}  // namespace GAME::test
