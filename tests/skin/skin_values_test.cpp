#include "skin/skin_values.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}

TEST(GetFieldText, CountsCommaSeparatedFieldsFromOne) {
    struct Case {
        const char* value;
        int n;
        const char* expected;
    } cases[] = {
        {"x,y,z", 1, "x"}, {"x,y,z", 2, "y"}, {"x,y,z", 3, "z"},      {"x,y,z", 4, ""},
        {"x", 1, "x"},     {"x", 2, ""},      {"x,y", 0, "x"},        {"x,y", -5, "x"},
        {"", 1, ""},       {"12,", 2, ""},    {"255, 0, 0", 2, " 0"}, {",,a", 3, "a"},
        {",,a", 2, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetFieldText(c.value, c.n), c.expected) << c.value << " field " << c.n;
}

TEST(AtolLike, ReadsLikeTheCLibrary) {
    struct Case {
        const char* text;
        long expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"  \t-17x", -17},
        {"+8", 8},
        {" 0", 0},
        {"-", 0},
        {"- 5", 0},
        {"12,5", 12},
        {"2147483647", 2147483647L},
        {"99999999999999999999", 2147483647L},
        {"-2147483648", -2147483647L - 1},
        {"-99999999999999999999", -2147483647L - 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AtolLike(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseColour, KeepsLowEightBitsOfEachField) {
    struct Case {
        const char* value;
        uint32_t expected;
    } cases[] = {
        {"255,255,255", Rgb(255, 255, 255)},
        {"255,0", Rgb(255, 0, 0)},
        {"300,0,0", Rgb(44, 0, 0)},
        {"-1,0,0", Rgb(255, 0, 0)},
        {"white", 0},
        {"255, 0, 10", Rgb(255, 0, 10)},
        {"1,2,3,4", Rgb(1, 2, 3)},
        {"0,256,512", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseColour(c.value), c.expected) << c.value;
}

TEST(ParsePair, MissingSecondNumberIsZeroAndEmptyIsNotGiven) {
    PairValue one = ParsePair("3");
    EXPECT_EQ(one.a, 3);
    EXPECT_EQ(one.b, 0);
    PairValue two = ParsePair("10,-1");
    EXPECT_EQ(two.a, 10);
    EXPECT_EQ(two.b, -1);
    PairValue none = ParsePair("");
    EXPECT_EQ(none.a, -1);
    EXPECT_EQ(none.b, -1);
}

TEST(ParseFlag, OnlyExactlyOneIsTrue) {
    EXPECT_TRUE(ParseFlag("1"));
    for (const char* no : {"0", "yes", "true", " 1", "1 ", "01", ""})
        EXPECT_FALSE(ParseFlag(no)) << no;
}

TEST(ParseFontSize, OneNumberIsPointsTwoAreExtent) {
    struct Case {
        const char* value;
        bool given;
        int points, width, height;
    } cases[] = {
        {"12", true, 12, -1, -1}, {"0,16", true, -1, 0, 16}, {"12,", true, 12, -1, -1},
        {"", false, 10, -1, -1},  {"8,12", true, -1, 8, 12}, {"big", true, 0, -1, -1},
    };
    for (const auto& c : cases) {
        FontSizeValue size = ParseFontSize(c.value, c.given, 10);
        EXPECT_EQ(size.points, c.points) << c.value;
        EXPECT_EQ(size.width, c.width) << c.value;
        EXPECT_EQ(size.height, c.height) << c.value;
    }
}

TEST(ReplaceButtonEscapes, TurnsBackslashPairsIntoLineBreaks) {
    EXPECT_EQ(ReplaceButtonEscapes("Up\\r\\ngrade"), "Up\r\ngrade");
    EXPECT_EQ(ReplaceButtonEscapes("a\\nb"), "a\nb");
    EXPECT_EQ(ReplaceButtonEscapes("C:\\fw\\x"), "C:\\fw\\x");
    EXPECT_EQ(ReplaceButtonEscapes("end\\"), "end\\");
    // CR replacement runs first, so "\\r" followed by "n" stays CR + 'n'.
    EXPECT_EQ(ReplaceButtonEscapes("\\rn"), "\rn");
    EXPECT_EQ(ReplaceButtonEscapes(""), "");
}

} // namespace
