#include "core/FatalError.h"

#include <gtest/gtest.h>

#include <string>

namespace GAME {

namespace {

struct FatalErrorThrown {
    std::string text;
};

void ThrowingHandler(const char* text) { throw FatalErrorThrown{text}; }

// Restores the default handler when a test ends.
struct HandlerScope {
    explicit HandlerScope(FatalErrorHandler handler) : previous(SetFatalErrorHandler(handler)) {}
    ~HandlerScope() { SetFatalErrorHandler(previous); }
    FatalErrorHandler previous;
};

std::string Caught(void (*raise)()) {
    try {
        raise();
    } catch (const FatalErrorThrown& error) {
        return error.text;
    }
    return "(returned)";
}

}  // namespace

TEST(FatalError, AReplacedHandlerGetsTheTextAsUtf8) {
    HandlerScope scope(&ThrowingHandler);
    EXPECT_EQ(Caught([] { FatalError("device lost"); }), "device lost");
    EXPECT_EQ(Caught([] { FatalError(L"Gr\u00e4fik \u20ac \U0001F600"); }), "Gr\xC3\xA4" "fik \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(Caught([] { FatalError(static_cast<const wchar_t*>(nullptr)); }), "");
}

using FatalErrorDeathTest = ::testing::Test;

TEST_F(FatalErrorDeathTest, DefaultHandlerWritesStandardErrorAndExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FatalError(L"cannot create the render device"), ::testing::ExitedWithCode(255),
                "Fatal Error: cannot create the render device");
}

TEST_F(FatalErrorDeathTest, AHandlerThatReturnsIsFollowedByTheExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetFatalErrorHandler([](const char*) {});
            FatalError("ignored");
        },
        ::testing::ExitedWithCode(255), "");
}

}  // namespace GAME
