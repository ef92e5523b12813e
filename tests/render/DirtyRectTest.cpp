// Dirty rectangle sets against a grid of flags: whatever is added, the set covers exactly the
// union of the rectangles, each point once.

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>

#include "render/DirtyRect.h"

namespace GAME::test {
namespace {

TEST(DirtyRectTest, SetsCoverTheUnionOnceAndIgnoreEmptyRectangles) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> place(-4, 40), size(0, 12);
    for (int round = 0; round < 50; ++round) {
        DirtyRectSet set;
        int expected[64][64] = {};
        for (int i = 0; i < 12; ++i) {
            const DirtyRect rect(place(random), place(random), size(random), size(random));
            set.AddRect(rect);
            for (int y = rect.top; y < rect.Bottom(); ++y)
                for (int x = rect.left; x < rect.Right(); ++x) expected[y + 4][x + 4] = 1;
        }
        int covered[64][64] = {};
        for (int i = 0; i < set.GetNumRects(); ++i) {
            const DirtyRect& rect = set.GetRect(i);
            ASSERT_GT(rect.width, 0);
            ASSERT_GT(rect.height, 0);
            for (int y = rect.top; y < rect.Bottom(); ++y)
                for (int x = rect.left; x < rect.Right(); ++x) ++covered[y + 4][x + 4];
        }
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) ASSERT_EQ(covered[y][x], expected[y][x]) << round << ": " << x << ", " << y;
    }
    DirtyRectSet set;
    EXPECT_EQ(set.GetBoundingRect().left, INT_MAX);
    set.AddRect(DirtyRect(2, 3, 4, 5));
    set.AddRect(DirtyRect(-1, 6, 2, 9));
    const DirtyRect bounds = set.GetBoundingRect();
    EXPECT_EQ((std::array{bounds.left, bounds.top, bounds.Right(), bounds.Bottom()}), (std::array{-1, 3, 6, 15}));
}

TEST(DirtyRectTest, AnOverlappingRectangleIsCutAroundTheMemberItMeets) {
    DirtyRectSet set;
    set.AddRect(DirtyRect(5, 5, 10, 10));
    set.AddRect(DirtyRect(5, 5, 10, 10));  // already covered: nothing added
    set.AddRect(DirtyRect(0, 0, 10, 10));
    ASSERT_EQ(set.GetNumRects(), 3);
    const DirtyRect left = set.GetRect(1), top = set.GetRect(2);
    EXPECT_EQ((std::array{left.left, left.top, left.width, left.height}), (std::array{0, 5, 5, 5}));
    EXPECT_EQ((std::array{top.left, top.top, top.width, top.height}), (std::array{0, 0, 10, 5}));
    // A rectangle that only touches a member's edge is kept whole.
    set.AddRect(DirtyRect(15, 5, 3, 3));
    ASSERT_EQ(set.GetNumRects(), 4);
    EXPECT_EQ((std::array{set.GetRect(3).left, set.GetRect(3).width}), (std::array{15, 3}));
}

}  // namespace
}  // namespace GAME::test
