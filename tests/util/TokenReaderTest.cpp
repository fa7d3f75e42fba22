#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

#include "util/NumberFormat.h"
#include "util/TokenReader.h"

namespace {

TEST(TokenReader, MalformedTokenLeavesItAndEveryLaterValue) {
    std::istringstream in("12 x7 5 6");
    TokenReader reader(in);
    int32_t a = -1, b = -2, c = -3;
    EXPECT_TRUE(reader.readInt(a));
    EXPECT_FALSE(reader.readInt(b));
    EXPECT_FALSE(reader.readInt(c));
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -2) << "a failed extraction must not zero the target";
    EXPECT_EQ(c, -3) << "values after a malformed token stay as they were";
}

TEST(TokenReader, IntegerTokenRules) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    for (const Case& c : {Case{"+42", true, 42}, Case{"-7", true, -7}, Case{"0042", true, 42},
                          Case{"3.5", false, 9}, Case{"12abc", false, 9}, Case{"+", false, 9}, Case{"-", false, 9},
                          Case{"2147483648", false, 9}, Case{"-2147483648", true, INT32_MIN}, Case{"+-1", false, 9}}) {
        std::istringstream in(c.text);
        TokenReader reader(in);
        int32_t value = 9;
        EXPECT_EQ(reader.readInt(value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(TokenReader, RealTokenRules) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    for (const Case& c : {Case{"2.5", true, 2.5}, Case{"-1e-3", true, -0.001}, Case{"+.5", true, 0.5},
                          Case{"7", true, 7.0}, Case{"1E2", true, 100.0}, Case{"nan", false, 9.0},
                          Case{"inf", false, 9.0}, Case{"1e999", false, 9.0}, Case{"0x10", false, 9.0},
                          Case{"2,5", false, 9.0}, Case{"1.2.3", false, 9.0}}) {
        std::istringstream in(c.text);
        TokenReader reader(in);
        double value = 9.0;
        EXPECT_EQ(reader.readReal(value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(TokenReader, SkipCharsEatsIntoFollowingTokens) {
    std::istringstream in("Opt 1 2 345 6");
    TokenReader reader(in);
    int32_t value = 0;
    EXPECT_TRUE(reader.skipChars(7));  // O p t 1 2 3 4
    EXPECT_TRUE(reader.readInt(value));
    EXPECT_EQ(value, 5);
}

TEST(TokenReader, LinesAcceptCrLfAndLf) {
    std::istringstream in("first name  \r\n7\nlast");
    TokenReader reader(in);
    std::string line;
    int32_t value = 0;
    EXPECT_TRUE(reader.readLine(line));
    EXPECT_EQ(line, "first name  ");
    EXPECT_TRUE(reader.readInt(value));
    EXPECT_EQ(value, 7);
}

TEST(TokenReader, EmptyBinaryAndOversizedInputNeverSucceedsWrongly) {
    std::istringstream empty("");
    TokenReader emptyReader(empty);
    int32_t value = 5;
    EXPECT_FALSE(emptyReader.readInt(value));
    EXPECT_EQ(value, 5);

    std::string binary("\x01\x02\xff\x00\x7f", 5);
    std::istringstream bin(binary);
    TokenReader binReader(bin);
    EXPECT_FALSE(binReader.readInt(value));
    EXPECT_EQ(value, 5);

    std::istringstream huge(std::string(100000, '7') + " 3");
    TokenReader hugeReader(huge);
    EXPECT_FALSE(hugeReader.readInt(value));
    EXPECT_EQ(value, 5);
}

TEST(NumberFormat, FormatsAndThreeWayBeamFormat) {
    EXPECT_EQ(formatFixed(-1.23456, 3), "-1.235");
    EXPECT_EQ(formatGeneral(0.000123456789), "0.000123457");
    EXPECT_EQ(formatGeneral(1234567.0), "1.23457e+06");
    EXPECT_EQ(formatBeamValue(15.04), "15.0");
    EXPECT_EQ(formatBeamValue(9.996), "10.00") << "below 10 keeps two decimals even when it rounds up";
    EXPECT_EQ(formatBeamValue(0.12345), "0.123");
    EXPECT_EQ(formatBeamValue(1.0), "1.00");
}

// Files and displays keep the decimal point under a decimal-comma locale.
TEST(NumberFormat, DecimalPointUnderADecimalCommaLocale) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_EQ(formatFixed(2.5, 3), "2.500");
    EXPECT_EQ(cformat("%g %.1f", 0.25, 1.5), "0.25 1.5");
    std::istringstream in("2.75");
    TokenReader reader(in);
    double value = 0;
    EXPECT_TRUE(reader.readReal(value));
    EXPECT_EQ(value, 2.75);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
