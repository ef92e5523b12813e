// Resource: loading on first use, stand-ins after failures, the retry of passing troubles after
// 60 frames, frame stamps, and a throwing Initialize that must not leave the resource loading.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>

#include "TestResource.h"
#include "support/LogCapture.h"

namespace GAME {
namespace {

using test::Edit;
using test::TestResource;
using InitResult = Resource::InitResult;
using LoadedState = Resource::LoadedState;

class ResourceTest : public test::ResourceFixture {};

TEST_F(ResourceTest, LoadsOnFirstUseOnTheCallingThreadAndStampsTheFrame) {
    const TestResource* resource = Make("Data/A.bin", "abc");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->GetLoadedState(), LoadedState::NotLoaded);
    EXPECT_FALSE(resource->GetIsLoaded(true));

    loader.SetFrameCount(7);
    const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto filesBefore = openFiles();
    resource->EnsureAvailable();
    EXPECT_EQ(openFiles(), filesBefore) << "the file is closed after the load";
    EXPECT_EQ(resource->GetLoadedState(), LoadedState::Loaded);
    EXPECT_TRUE(resource->GetIsLoaded(false));
    EXPECT_EQ(resource->GetInitResult(), InitResult::Success);
    EXPECT_EQ(resource->GetContents(), "abc");
    EXPECT_EQ(resource->GetLastFrameUsed(), 7u);
    EXPECT_EQ(resource->GetLastFrameTouched(), 7u);

    loader.SetFrameCount(9);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitializeCalls(), 1);
    EXPECT_EQ(resource->GetLastFrameUsed(), 9u);
    resource->MarkAsTouched();
    EXPECT_EQ(resource->GetLastFrameTouched(), 9u);
    EXPECT_EQ(resource->GetSystemMemoryUsage(), std::string("Data/A.bin").size());
    EXPECT_EQ(resource->Resource::GetVideoMemoryUsage(), 0u);
}

TEST_F(ResourceTest, MissingFileGivesTheStandInAndIsNotRetried) {
    test::LogCapture log;
    const TestResource* resource = manager.LoadResource("Data/Missing.bin");
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetLoadedState(), LoadedState::Loaded);
    EXPECT_EQ(resource->GetInitResult(), InitResult::InvalidData);
    EXPECT_EQ(resource->GetContents(), "default");
    EXPECT_EQ(resource->GetInitializeCalls(), 0);
    EXPECT_TRUE(log.Contains(LogPriority::Error, "Data/Missing.bin"));

    loader.SetFrameCount(1000);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetDefaultCalls(), 1);
}

TEST_F(ResourceTest, InvalidDataGivesTheStandInAndIsNotRetried) {
    const TestResource* resource = Make("Data/Bad.bin");
    Edit(resource).Script({InitResult::InvalidData});
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitResult(), InitResult::InvalidData);
    EXPECT_EQ(resource->GetContents(), "default");
    EXPECT_EQ(resource->GetDestroyCalls(), 1) << "a failing Initialize destroys itself";

    loader.SetFrameCount(500);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitializeCalls(), 1);
}

class ResourceRetryTest : public test::ResourceFixture, public ::testing::WithParamInterface<InitResult> {};

TEST_P(ResourceRetryTest, PassingTroubleIsLoadedAgainOnceMoreThan60FramesHavePassed) {
    const TestResource* resource = Make("Data/Retry.bin", "abc");
    Edit(resource).Script({GetParam()});
    loader.SetFrameCount(100);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitResult(), GetParam());
    EXPECT_EQ(resource->GetContents(), "default");
    EXPECT_EQ(resource->GetDefaultCalls(), 1);

    loader.SetFrameCount(100 + Resource::kRetryFrames);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitializeCalls(), 1) << "exactly 60 frames is not more than 60";

    loader.SetFrameCount(101 + Resource::kRetryFrames);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitializeCalls(), 2);
    EXPECT_EQ(resource->GetInitResult(), InitResult::Success);
    EXPECT_EQ(resource->GetContents(), "abc");
    EXPECT_GE(resource->GetDestroyCalls(), 1) << "the stand-in is destroyed before the new load";

    loader.SetFrameCount(1000);
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitializeCalls(), 2) << "a success is not retried";
}

INSTANTIATE_TEST_SUITE_P(Results, ResourceRetryTest,
                         ::testing::Values(InitResult::PartlyInitialized, InitResult::OutOfMemory, InitResult::Retry),
                         [](const ::testing::TestParamInfo<InitResult>& result) {
                             return "Result" + std::to_string(static_cast<int>(result.param));
                         });

TEST_F(ResourceTest, ThrowingInitializeEndsLoadedWithTheStandIn) {
    test::LogCapture log;
    const TestResource* resource = Make("Data/Throws.bin");
    Edit(resource).OnInitialize([] { throw std::runtime_error("broken"); });
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetLoadedState(), LoadedState::Loaded);
    EXPECT_EQ(resource->GetInitResult(), InitResult::InvalidData);
    EXPECT_EQ(resource->GetContents(), "default");
    EXPECT_TRUE(log.Contains(LogPriority::Error, "broken"));
}

TEST_F(ResourceTest, ResourceAskingForItselfWhileInitialisingDoesNotWait) {
    const TestResource* resource = Make("Data/Self.bin");
    bool loadedInside = true;
    Edit(resource).OnInitialize([&] {
        resource->EnsureAvailable();
        loadedInside = resource->GetIsLoaded(true);
    });
    resource->EnsureAvailable();
    EXPECT_FALSE(loadedInside);
    EXPECT_EQ(resource->GetContents(), "abc");
}

TEST_F(ResourceTest, EmptyFileIsHandedOverAsNoBytes) {
    const TestResource* resource = Make("Data/Empty.bin", "");
    resource->EnsureAvailable();
    EXPECT_EQ(resource->GetInitResult(), InitResult::Success);
    EXPECT_EQ(resource->GetInitializeCalls(), 1);
    EXPECT_EQ(resource->GetContents(), "");
}

TEST_F(ResourceTest, DataLengthChoosesTheBytesAndALengthPastTheEndFails) {
    const TestResource* head = Make("Data/Head.bin", "header and body");
    Edit(head).SetDataLength(6);
    head->EnsureAvailable();
    EXPECT_EQ(head->GetContents(), "header");

    test::LogCapture log;
    const TestResource* tooLong = Make("Data/Short.bin", "short");
    Edit(tooLong).SetDataLength(100);
    tooLong->EnsureAvailable();
    EXPECT_EQ(tooLong->GetInitResult(), InitResult::InvalidData);
    EXPECT_EQ(tooLong->GetInitializeCalls(), 0);
    EXPECT_EQ(tooLong->GetContents(), "default");
    EXPECT_GT(log.Count(LogPriority::Error), 0u);
}

}  // namespace
}  // namespace GAME
