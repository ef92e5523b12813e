#include "core/Object.h"

#include <gtest/gtest.h>

namespace GAME {

namespace {
class PlainObject : public Object {};
}  // namespace

TEST(Object, ObjectIdsKeepTheHostInTheTopFourBits) {
    EXPECT_EQ(Object::MakeObjectId(0x3, 0x1234567), 0x31234567u);
    EXPECT_EQ(Object::MakeObjectId(0xF, 0xFFFFFFF), 0xFFFFFFFFu);
    // Out-of-range parts are cut to their fields rather than spilling into each other.
    EXPECT_EQ(Object::MakeObjectId(0x13, 0x1FFFFFFF), 0x3FFFFFFFu);
    EXPECT_EQ(Object::GetHostId(0xA0000005u), 0xAu);
    EXPECT_EQ(Object::GetCounter(0xA0000005u), 5u);
}

TEST(Object, NameSetsItsHashAndNullClearsBoth) {
    PlainObject object;
    EXPECT_EQ(object.GetObjectId(), 0u);
    EXPECT_TRUE(object.GetObjectName().empty());
    EXPECT_EQ(object.GetObjectNameHash(), Name::noName);

    object.SetObjectId(42);
    object.SetObjectName("records/effects/fire.dbr");
    EXPECT_EQ(object.GetObjectId(), 42u);
    EXPECT_EQ(object.GetObjectName(), "records/effects/fire.dbr");
    EXPECT_EQ(object.GetObjectNameHash(), Name::Create("records/effects/fire.dbr"));

    object.SetObjectName(nullptr);
    EXPECT_TRUE(object.GetObjectName().empty());
    EXPECT_EQ(object.GetObjectNameHash(), Name::noName);
}

TEST(Object, BaseReportsItsClassAndMemory) {
    PlainObject object;
    EXPECT_EQ(object.GetRTTIClassInfo(), &Object::classInfo);
    EXPECT_EQ(object.CalculateAllocatedMemory(), 0u);
    EXPECT_EQ(object.CalculateMemoryUsage(), sizeof(Object));
    object.SetObjectName("a name long enough to need a buffer of its own on the heap");
    EXPECT_EQ(object.CalculateAllocatedMemory(), object.GetObjectName().capacity() + 1) << "its heap block";
    EXPECT_EQ(object.CalculateMemoryUsage(), sizeof(Object) + object.CalculateAllocatedMemory());
}

}  // namespace GAME
