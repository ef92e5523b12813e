// The sample host end to end: a short flight over the sample world, run as a user would run it,
// exits cleanly and leaves a screenshot at each point of the path that shows what the point looks
// at, judged by the colours of its pixels rather than against a stored image.

#include "SampleFlight.h"

#include "render/Image.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace GAME::test {
namespace {

// Shares of a screenshot's pixels of each kind, over the world between the statistics overlay
// and the caption, and counts in the overlay and the caption.
struct ShotStatistics {
    double ground = 0.0;  // clearly green (grass) or grey (rock)
    double light = 0.0;   // light grey and dark grey: the squares of the interior's checkers
    double dark = 0.0;
    double water = 0.0;   // much more blue than red
    int firePixels = 0;   // bright, warm, much more red than blue
    int overlayText = 0;  // near white, inside the statistics box
    int captionText = 0;  // golden, in the caption's strip
};

constexpr int kOverlayBottom = 140;   // the statistics box ends above this row
constexpr int kCaptionTop = 448;      // the caption starts below this row

ShotStatistics Measure(const Image& image) {
    ShotStatistics statistics;
    const int width = int(image.GetWidth());
    const int height = int(image.GetHeight());
    int world = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = image.GetBuffer() + (size_t(y) * size_t(width) + size_t(x)) * 3;
            const int r = pixel[0], g = pixel[1], b = pixel[2];
            if (y < kOverlayBottom) {
                statistics.overlayText += r > 200 && g > 200 && b > 200;
            } else if (y >= kCaptionTop) {
                statistics.captionText += r > 180 && g > 140 && b < 110;
            } else {
                ++world;
                statistics.ground += (g > r + 25 && g > b + 25) ||
                                     (std::abs(r - g) < 24 && std::abs(g - b) < 24 && r > 50 && r < 210);
                const bool grey = std::abs(r - g) < 12 && std::abs(g - b) < 12;
                statistics.light += grey && r > 190;
                statistics.dark += grey && r < 110;
                statistics.water += b > r + 30 && b >= g - 10;
                statistics.firePixels += r > 220 && g > 150 && r > b + 60;
            }
        }
    }
    statistics.ground /= world;
    statistics.light /= world;
    statistics.dark /= world;
    statistics.water /= world;
    return statistics;
}

TEST(SampleHostFlight, ExitsCleanlyAndEachShotShowsWhatItsPointLooksAt) {
    TempDirectory shots;
    const int legs = int(sample::kFlightPath.size()) - 1;
    const std::string command = std::string(SAMPLE_HOST) + " --frames " + std::to_string(12 * legs) + " --shots " +
                                shots.GetPath() + " > " + shots.Join("output.txt") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << shots.ReadFile("output.txt");
    const std::string output = shots.ReadFile("output.txt");
    EXPECT_NE(output.find("frame time p50"), std::string::npos) << output;
    EXPECT_NE(output.find("0 errors"), std::string::npos) << output;

    for (int point = 1; point <= legs; ++point) {
        const std::string name = sample::kFlightPath[size_t(point)].name;
        const std::string path = shots.Join(std::to_string(point) + "-" + name + ".tga");
        Image image;
        ASSERT_EQ(image.Load(path.c_str(), Image::Format::RGB), Image::Error::None) << path;
        ASSERT_EQ(image.GetWidth(), 640u);
        ASSERT_EQ(image.GetHeight(), 480u);
        const ShotStatistics shot = Measure(image);
        SCOPED_TRACE(name);
        // The interface is on top of the world: the statistics' text and the caption.
        EXPECT_GT(shot.overlayText, 200);
        EXPECT_GT(shot.captionText, 200);
        // Outdoors every point looks down at the ground; the lake fills most of its view and the
        // river crosses its own, and nothing but the fire glows. The crypt's checkered floor and
        // walls fill its view, with no grass.
        if (name == "crypt") {
            EXPECT_GT(shot.light, 0.2);
            EXPECT_GT(shot.dark, 0.2);
        } else {
            EXPECT_GT(shot.ground, 0.2);
            EXPECT_LT(shot.light, 0.05);
        }
        if (name == "lake" || name == "river") {
            EXPECT_GT(shot.water, name == "lake" ? 0.3 : 0.03);
        } else {
            EXPECT_LT(shot.water, 0.01);
        }
        if (name == "fire") {
            EXPECT_GT(shot.firePixels, 300);
        } else {
            EXPECT_LT(shot.firePixels, 50);
        }
    }
}

}  // namespace
}  // namespace GAME::test
