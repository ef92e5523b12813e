#include "platform/DynamicLibrary.h"

#include "render/RenderDevice.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <utility>

namespace GAME {
namespace {

// A system library every process here has: it is only loaded, never changed.
constexpr const char* kSystemLibrary = "libm.so.6";
// One no part of the engine loads.
constexpr const char* kUnusedLibrary = "libanl.so.1";

TEST(DynamicLibraryTest, OpensFindsSymbolsAndCloses) {
    DynamicLibrary library;
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.GetSymbol("cos"), nullptr);

    ASSERT_TRUE(library.Open(kSystemLibrary));
    EXPECT_NE(library.GetSymbol("cos"), nullptr);
    EXPECT_TRUE(library.GetSymbol("NoSuchSymbolAnywhere") == nullptr && library.GetSymbol(nullptr) == nullptr);
    library.Close();
    EXPECT_FALSE(library.IsOpen());

    EXPECT_FALSE(library.Open("/nonexistent/libNothing.so") || library.IsOpen());
    // Opening another closes the first, and so does going: a library nothing else holds unloads.
    ASSERT_TRUE(library.Open(kUnusedLibrary) && library.Open(kSystemLibrary));
    EXPECT_EQ(dlopen(kUnusedLibrary, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_TRUE(DynamicLibrary().Open(kUnusedLibrary));
    EXPECT_EQ(dlopen(kUnusedLibrary, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(DynamicLibraryTest, MovesTheHandleWithoutClosingIt) {
    DynamicLibrary first;
    ASSERT_TRUE(first.Open(kSystemLibrary));
    DynamicLibrary second(std::move(first));
    EXPECT_TRUE(!first.IsOpen() && second.GetSymbol("sin") != nullptr);

    DynamicLibrary third;
    third = std::move(second);
    EXPECT_TRUE(!second.IsOpen() && third.GetSymbol("sin") != nullptr);
}

TEST(DynamicLibraryTest, FindsTheDirectoryOfTheFileHoldingAnAddress) {
    // The engine library: device libraries are looked up next to it by default.
    const auto engineFunction = &RenderDevice::GetGenerationForName;
    EXPECT_EQ(DynamicLibrary::GetDirectoryOf(reinterpret_cast<const void*>(engineFunction)),
              GAME_ENGINE_LIBRARY_DIRECTORY);
    EXPECT_EQ(DynamicLibrary::GetDirectoryOf(nullptr), "");
}

}  // namespace
}  // namespace GAME
