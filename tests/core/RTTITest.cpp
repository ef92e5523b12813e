#include "core/RTTI.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/Object.h"
#include "support/LogCapture.h"

namespace GAME {

namespace {

// A small tree: Object <- TestShape (abstract) <- TestBox <- TestCrate, and TestBall beside it.
class TestShape : public Object {
    GAME_RTTI_DECLARE_CLASS()
};
class TestBox : public TestShape {
    GAME_RTTI_DECLARE_CLASS()
};
class TestCrate : public TestBox {
    GAME_RTTI_DECLARE_CLASS()
};
class TestBall : public TestShape {
    GAME_RTTI_DECLARE_CLASS()
};

GAME_RTTI_DEFINE_ABSTRACT_CLASS(TestShape, Object);
GAME_RTTI_DEFINE_CLASS(TestBox, TestShape);
GAME_RTTI_DEFINE_CLASS(TestCrate, TestBox);
GAME_RTTI_DEFINE_CLASS(TestBall, TestShape);

}  // namespace

TEST(RTTI, FindsRecordsByExactName) {
    EXPECT_EQ(RTTI_ClassInfo::Find("TestCrate"), &TestCrate::classInfo);
    EXPECT_EQ(RTTI_ClassInfo::Find("Object"), &Object::classInfo);
    EXPECT_EQ(RTTI_ClassInfo::Find("testcrate"), nullptr);
    EXPECT_EQ(RTTI_ClassInfo::Find(nullptr), nullptr);
    EXPECT_STREQ(TestCrate::classInfo.GetClassName(), "TestCrate");
    EXPECT_EQ(TestCrate::classInfo.GetParent(), &TestBox::classInfo);
    EXPECT_EQ(Object::classInfo.GetParent(), nullptr);
}

TEST(RTTI, CreatesByNameWithTheRightDynamicClass) {
    std::unique_ptr<Object> crate(RTTI_ClassInfo::CreateObject("TestCrate"));
    ASSERT_NE(crate, nullptr);
    EXPECT_EQ(crate->GetRTTIClassInfo(), &TestCrate::classInfo);
    EXPECT_NE(dynamic_cast<TestCrate*>(crate.get()), nullptr);
    std::unique_ptr<Object> ball(TestBall::classInfo.CreateObject());
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->GetRTTIClassInfo(), &TestBall::classInfo);
}

TEST(RTTI, IsAMatchesSelfAndAncestorsOnly) {
    const RTTI_ClassInfo* crate = &TestCrate::classInfo;
    EXPECT_TRUE(crate->IsA(&TestCrate::classInfo));
    EXPECT_TRUE(crate->IsA(&TestBox::classInfo));
    EXPECT_TRUE(crate->IsA(&TestShape::classInfo));
    EXPECT_TRUE(crate->IsA(&Object::classInfo));
    EXPECT_FALSE(crate->IsA(&TestBall::classInfo));
    EXPECT_FALSE(TestBox::classInfo.IsA(&TestCrate::classInfo));
    EXPECT_FALSE(crate->IsA(nullptr));
}

TEST(RTTI, UnknownAndAbstractClassesAreNotCreatedAndAreLogged) {
    test::LogCapture log;
    EXPECT_EQ(RTTI_ClassInfo::CreateObject("NoSuchClass"), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "NoSuchClass"));
    EXPECT_EQ(RTTI_ClassInfo::CreateObject("TestShape"), nullptr);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "TestShape"));
    EXPECT_EQ(RTTI_ClassInfo::CreateObject("Object"), nullptr);
    EXPECT_TRUE(TestShape::classInfo.IsAbstract());
    EXPECT_EQ(TestShape::classInfo.CreateObject(), nullptr);
}

TEST(RTTI, ASecondRecordUnderATakenNameIsRejectedAndUnregistersNothing) {
    test::LogCapture log;
    {
        const RTTI_ClassInfo duplicate("TestBox", &Object::classInfo, nullptr);
        EXPECT_TRUE(log.Contains(LogPriority::Error, "TestBox"));
        EXPECT_EQ(RTTI_ClassInfo::Find("TestBox"), &TestBox::classInfo);
    }
    EXPECT_EQ(RTTI_ClassInfo::Find("TestBox"), &TestBox::classInfo);
}

TEST(RTTI, ARecordThatGoesAwayIsUnregistered) {
    {
        const RTTI_ClassInfo temporary("TestTemporary", &Object::classInfo, nullptr);
        EXPECT_EQ(RTTI_ClassInfo::Find("TestTemporary"), &temporary);
    }
    EXPECT_EQ(RTTI_ClassInfo::Find("TestTemporary"), nullptr);
}

}  // namespace GAME
