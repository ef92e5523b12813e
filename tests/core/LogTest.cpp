// Log: messages of every length reach the sink whole, with their priority and category.

#include "core/Log.h"

#include <gtest/gtest.h>

#include <string>

#include "support/LogCapture.h"

namespace GAME {

TEST(Log, MessagesOfEveryLengthReachTheSinkWhole) {
    test::LogCapture log;
    for (const size_t length : {0u, 1u, 511u, 512u, 513u, 2000u}) {  // around the 512-byte buffer
        log.Clear();
        const std::string text(length, 'x');
        Log(LogPriority::Warning, 7, "%s", text.c_str());
        ASSERT_EQ(log.Lines().size(), 1u) << length;
        EXPECT_EQ(log.Lines()[0].text, text) << length;
        EXPECT_EQ(log.Lines()[0].category, 7u);
        EXPECT_EQ(log.Lines()[0].priority, LogPriority::Warning);
    }
    Log(LogPriority::Info, "%d %s", 42, std::string(600, 'y').c_str());
    EXPECT_EQ(log.Lines().back().text, "42 " + std::string(600, 'y'));
    EXPECT_EQ(log.Lines().back().category, 0u);
}

}  // namespace GAME
