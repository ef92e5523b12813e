#include "render/RenderDevice.h"

#include "support/RecordingDevice.h"
#include "engine/Engine.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace GAME {
namespace {

using test::LogCapture;
using test::RecordingDevice;

std::string LibraryPath(const char* name) { return std::string(GAME_TEST_DEVICE_DIRECTORY) + "/lib" + name + ".so"; }

// True while the library is mapped into the process (asks without loading it).
bool IsLoaded(const char* name) {
    void* handle = dlopen(LibraryPath(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    dlclose(handle);
    return true;
}

// Each test starts and ends with an empty library table and the test devices' directory.
class RenderDeviceFactoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RenderDevice::SetDeviceDirectory(GAME_TEST_DEVICE_DIRECTORY);
        RenderDevice::UnloadLibraries();
    }
    void TearDown() override {
        for (RenderDevice*& device : devices_) RenderDevice::Destroy(device);
        RenderDevice::UnloadLibraries();
        RenderDevice::SetDeviceDirectory(nullptr);
    }

    RenderDevice* Create(const char* name) {
        RenderDevice* device = RenderDevice::Create(name);
        if (device != nullptr) devices_.push_back(device);
        return device;
    }

    std::vector<RenderDevice*> devices_;
};

TEST_F(RenderDeviceFactoryTest, CreatesByNameWithTheEngineAndDestroyLeavesTheLibraryLoaded) {
    int engineStandIn = 0;
    Engine* const previous = gEngine;
    gEngine = reinterpret_cast<Engine*>(&engineStandIn);
    RenderDevice* device = RenderDevice::Create("RecordingDevice");
    gEngine = previous;

    ASSERT_NE(device, nullptr);
    EXPECT_EQ(static_cast<RecordingDevice*>(device)->GetEngine(), reinterpret_cast<Engine*>(&engineStandIn));
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(device), 0);
    EXPECT_TRUE(device->Initialize());
    EXPECT_TRUE(IsLoaded("RecordingDevice"));

    RenderDevice* const destroyed = device;
    RenderDevice::Destroy(device);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(destroyed), -1);
    EXPECT_TRUE(IsLoaded("RecordingDevice"));

    RenderDevice::UnloadLibraries();
    EXPECT_FALSE(IsLoaded("RecordingDevice"));
}

TEST_F(RenderDeviceFactoryTest, TheSameDeviceTwiceKeepsOneRowAndReleasesTheReplacedHandle) {
    RenderDevice* first = RenderDevice::Create("RecordingDeviceSingle");
    RenderDevice* second = RenderDevice::Create("RecordingDeviceSingle");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(first), 0);
    // The next device takes row 1: the repeated device added none.
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(Create("RecordingDevice")), 1);

    RenderDevice::Destroy(first);
    RenderDevice::UnloadLibraries();
    // Two loads of the library: had the row dropped the first handle without releasing it, the
    // library would stay mapped.
    EXPECT_FALSE(IsLoaded("RecordingDeviceSingle"));
}

TEST_F(RenderDeviceFactoryTest, TheThirtyThirdLibraryIsRefused) {
    for (int i = 0; i < RenderDevice::kMaxLibraries; ++i) {
        ASSERT_NE(Create("RecordingDevice"), nullptr) << "device " << i;
        EXPECT_EQ(RenderDevice::FindDeviceLibrary(devices_.back()), i);
    }
    EXPECT_EQ(RenderDevice::Create("RecordingDevice"), nullptr);

    // Destroyed devices keep their rows until the libraries are unloaded.
    for (RenderDevice*& device : devices_) RenderDevice::Destroy(device);
    EXPECT_EQ(RenderDevice::Create("RecordingDevice"), nullptr);
    RenderDevice::UnloadLibraries();
    EXPECT_NE(Create("RecordingDevice"), nullptr);
}

TEST_F(RenderDeviceFactoryTest, ALibraryWithoutTheCreateExportIsRefusedAndUnloaded) {
    EXPECT_EQ(RenderDevice::Create("NoCreateExportDevice"), nullptr);
    EXPECT_FALSE(IsLoaded("NoCreateExportDevice"));
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(Create("RecordingDevice")), 0);
}

TEST_F(RenderDeviceFactoryTest, NamesThatDoNotNameADeviceLibraryInTheDirectoryGiveNull) {
    LogCapture log;
    EXPECT_EQ(RenderDevice::Create("NoSuchDevice"), nullptr);
    EXPECT_EQ(RenderDevice::Create(""), nullptr);
    EXPECT_EQ(RenderDevice::Create(nullptr), nullptr);
    // A name may not reach outside the device directory.
    EXPECT_EQ(RenderDevice::Create("../support/RecordingDevice"), nullptr);
    EXPECT_EQ(RenderDevice::Create(LibraryPath("RecordingDevice").c_str()), nullptr);
    EXPECT_FALSE(IsLoaded("RecordingDevice"));
    // Failures are the caller's to log.
    EXPECT_TRUE(log.Lines().empty());

    RenderDevice::SetDeviceDirectory("/nonexistent-device-directory");
    EXPECT_EQ(RenderDevice::Create("RecordingDevice"), nullptr);
}

TEST_F(RenderDeviceFactoryTest, ANullDeviceIsReturnedAndItsLibraryKeptUntilUnload) {
    EXPECT_EQ(RenderDevice::Create("NullDevice"), nullptr);
    EXPECT_TRUE(IsLoaded("NullDevice"));
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(nullptr), -1);

    RenderDevice* none = nullptr;
    RenderDevice::Destroy(none);  // no row: only the pointer is cleared
    EXPECT_EQ(none, nullptr);
    RenderDevice::UnloadLibraries();
    EXPECT_FALSE(IsLoaded("NullDevice"));
}

TEST_F(RenderDeviceFactoryTest, UnloadLibrariesKeepsTheLibraryOfALiveDevice) {
    RenderDevice* live = RenderDevice::Create("RecordingDevice");
    RenderDevice* destroyed = RenderDevice::Create("RecordingDeviceSingle");
    ASSERT_NE(live, nullptr);
    ASSERT_NE(destroyed, nullptr);
    RenderDevice::Destroy(destroyed);

    {
        LogCapture log;
        RenderDevice::UnloadLibraries();
        EXPECT_TRUE(log.Contains(LogPriority::Error, "was not destroyed"));
    }
    EXPECT_FALSE(IsLoaded("RecordingDeviceSingle"));
    ASSERT_TRUE(IsLoaded("RecordingDevice"));
    EXPECT_EQ(RenderDevice::FindDeviceLibrary(live), 0);
    EXPECT_EQ(live->GetGenerationId(), RenderGenerationId::GeForce6);  // its code is still there

    RenderDevice::Destroy(live);
    RenderDevice::UnloadLibraries();
    EXPECT_FALSE(IsLoaded("RecordingDevice"));
}

TEST_F(RenderDeviceFactoryTest, DestroyOfADeviceWithoutARowOnlyClearsThePointer) {
    RecordingDevice own;
    RenderDevice* device = &own;
    RenderDevice::Destroy(device);
    EXPECT_EQ(device, nullptr);
    EXPECT_TRUE(own.Initialize());  // still alive: the factory did not delete it
}

TEST(RenderGenerationTest, NamesAndIdsMatchExactly) {
    const std::pair<const char*, RenderGenerationId> table[] = {
        {"Unknown", RenderGenerationId::Unknown},   {"GeForce3", RenderGenerationId::GeForce3},
        {"GeForce4", RenderGenerationId::GeForce4}, {"GeForce5", RenderGenerationId::GeForce5},
        {"GeForce6", RenderGenerationId::GeForce6}, {"Radeon9000", RenderGenerationId::Radeon9000},
        {"R200", RenderGenerationId::R200},
    };
    for (const auto& [name, id] : table) {
        EXPECT_STREQ(RenderDevice::GetNameForGeneration(id), name);
        EXPECT_EQ(RenderDevice::GetGenerationForName(name), id) << name;
    }
    EXPECT_EQ(uint32_t(RenderGenerationId::R200), 6u);

    EXPECT_EQ(RenderDevice::GetGenerationForName("geforce3"), RenderGenerationId::Unknown);
    EXPECT_EQ(RenderDevice::GetGenerationForName("R200 "), RenderGenerationId::Unknown);
    EXPECT_EQ(RenderDevice::GetGenerationForName(""), RenderGenerationId::Unknown);
    EXPECT_EQ(RenderDevice::GetGenerationForName(nullptr), RenderGenerationId::Unknown);
    EXPECT_STREQ(RenderDevice::GetNameForGeneration(static_cast<RenderGenerationId>(7)), "Unknown");
}

}  // namespace
}  // namespace GAME
