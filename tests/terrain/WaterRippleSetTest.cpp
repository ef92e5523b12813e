// Ripple sets: a full pool refuses more, ripples grow to their final radius, are drawn through the
// frame they reach it and freed by the next.

#include <gtest/gtest.h>

#include "core/Random.h"
#include "support/RecordingDevice.h"
#include "terrain/WaterRippleSet.h"

namespace GAME {
namespace {

TEST(WaterRippleSet, RipplesAgeAndRecycleWithThePoolFull) {
    test::RecordingDevice device;
    WaterRippleSet set;
    set.Initialize(device);
    ASSERT_NE(set.GetVertexBuffer(), nullptr);
    ASSERT_NE(set.GetIndexBuffer(), nullptr);
    SeedRand15(11);

    for (unsigned k = 0; k < WaterRippleSet::kMaxRipples; ++k) {
        ASSERT_TRUE(set.CreateRipple(Vec3(10.0f, 2.0f, 20.0f), 1.0f, 3.0f));
    }
    EXPECT_FALSE(set.CreateRipple(Vec3(0.0f, 0.0f, 0.0f), 1.0f, 3.0f));
    for (unsigned k = 0; k < WaterRippleSet::kMaxRipples; ++k) {
        const WaterRippleSet::Ripple& r = set.GetRipple(k);
        ASSERT_NEAR(r.position.x, 10.0f, 0.2001f);
        ASSERT_EQ(r.position.y, 2.01f);
        ASSERT_NEAR(r.radius, 1.0f, 0.2001f);
        ASSERT_NEAR(r.finalRadius, 3.0f, 0.2001f);
    }

    const float start = set.GetRipple(5).radius;
    set.Update(0);
    EXPECT_EQ(set.GetRipple(5).radius, start);
    EXPECT_EQ(set.GetNumRipplesWritten(), WaterRippleSet::kMaxRipples);
    set.Update(500);
    EXPECT_FLOAT_EQ(set.GetRipple(5).radius, start + 0.5f);

    // Growth stops at the final radius; that frame still draws every ripple, the next frees them.
    set.Update(10000);
    EXPECT_EQ(set.GetRipple(5).radius, set.GetRipple(5).finalRadius);
    EXPECT_EQ(set.GetNumRipplesWritten(), WaterRippleSet::kMaxRipples);
    set.Update(16);
    EXPECT_EQ(set.GetNumRipplesWritten(), 0u);
    EXPECT_FALSE(set.GetRipple(127).active);
    EXPECT_TRUE(set.CreateRipple(Vec3(0.0f, 0.0f, 0.0f), 0.5f, 1.0f));

    // Without buffers nothing is written, but ripples still start.
    set.ReleaseBuffers();
    EXPECT_EQ(set.GetIndexBuffer(), nullptr);
    EXPECT_EQ(device.GetNumLiveResources(), 1u);  // the vertex declaration stays
    set.Update(16);
    EXPECT_EQ(set.GetNumRipplesWritten(), 0u);
    EXPECT_TRUE(set.CreateRipple(Vec3(0.0f, 0.0f, 0.0f), 0.5f, 1.0f));
    set.Destroy();
    EXPECT_EQ(device.GetNumLiveResources(), 0u);
}

}  // namespace
}  // namespace GAME
