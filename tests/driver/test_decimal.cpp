// The one decimal reader behind the options, settings, key scripts and
// replays, and the rules each of those keeps on top of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "driver/options.h"
#include "driver/script.h"
#include "platform/read_digits.h"

namespace pm {
namespace {

TEST(Decimal, ReadsDigitsUpToTheLimitAndSaysWhichProblemComesFirst) {
    uint64_t v = 7;
    EXPECT_EQ(ReadDigits("18446744073709551615", UINT64_MAX, v), DigitsRead::Ok);
    EXPECT_EQ(v, UINT64_MAX);
    EXPECT_EQ(ReadDigits("18446744073709551616", UINT64_MAX, v), DigitsRead::TooLarge);
    EXPECT_EQ(ReadDigits("4294967296", 4294967295u, v), DigitsRead::TooLarge);
    // A limit below the digit itself: 5 is past 3, not wrapped round to fit.
    EXPECT_EQ(ReadDigits("5", 3, v), DigitsRead::TooLarge);
    EXPECT_EQ(ReadDigits("0", 0, v), DigitsRead::Ok);
    // Left to right: whichever problem is met first is the one reported.
    EXPECT_EQ(ReadDigits("99999999999x", 4294967295u, v), DigitsRead::TooLarge);
    EXPECT_EQ(ReadDigits("12x", 4294967295u, v), DigitsRead::NotDigits);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x10", "1.5"})
        EXPECT_EQ(ReadDigits(bad, UINT64_MAX, v), DigitsRead::NotDigits) << '"' << bad << '"';
    EXPECT_EQ(v, 0u) << "left alone when not Ok";

    EXPECT_EQ(ParseDigits(std::string(19, '0') + "1", 10), 1u);
    EXPECT_EQ(ParseDigits(std::string(20, '0') + "1", 10), std::nullopt) << "longer than 20";
    EXPECT_EQ(ParseDigits("000000001", 10, 9), 1u);
    EXPECT_EQ(ParseDigits("0000000001", 10, 9), std::nullopt);
}

TEST(Decimal, EachCallerKeepsItsOwnRules) {
    // Options and settings: nine characters at most, then the range.
    int32_t n = -1;
    EXPECT_TRUE(ParseInt("000000008", 1, 8, n));
    EXPECT_EQ(n, 8);
    EXPECT_FALSE(ParseInt("0000000008", 1, 8, n));
    EXPECT_FALSE(ParseInt("0", 1, 8, n));
    EXPECT_FALSE(ParseInt("9", 1, 8, n));
    EXPECT_FALSE(ParseInt("5", 1, -1, n));
    EXPECT_EQ(n, 8);

    // Key scripts: any number of leading zeros, up to 2^32 - 1 frames.
    keys::ScriptSpan span;
    std::string message;
    EXPECT_TRUE(keys::ParseSpanLine(std::string(30, '0') + "7 -", span, message)) << message;
    EXPECT_EQ(span.Count, 7u);
    EXPECT_TRUE(keys::ParseSpanLine("4294967295 -", span, message)) << message;
    EXPECT_FALSE(keys::ParseSpanLine("4294967296 -", span, message));
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    EXPECT_FALSE(keys::ParseSpanLine("0 -", span, message));
    EXPECT_NE(message.find("must be positive"), std::string::npos) << message;
}

}  // namespace
}  // namespace pm
