#include "text/convert.h"

#include <gtest/gtest.h>
#include <string.h>
#include <wchar.h>

namespace {

// A text fits when its terminator lands at capacity - 2: the conversion keeps room for a second
// zero behind it. Nothing may be written at or beyond the capacity.
TEST(Conversions, FitOrComeOutEmptyAndStayWithinTheirCapacity)
{
    const struct {
        const char* source;
        int capacity;
        int expected;
    } cases[] = {{"Jürgen", 16, 7}, {"", 2, 1}, {"abcd", 6, 5}, {"abcde", 6, 0}, {"a", 2, 0}, {"a", 1, 0}, {"a", 0, 0}};
    for (const auto& c : cases) {
        WCHAR wide[16];
        wmemset(wide, L'#', 16);
        EXPECT_EQ(c.expected, AnsiToWide(wide, c.source, c.capacity)) << c.source << " into " << c.capacity;
        if (c.capacity > 0) {
            EXPECT_EQ(c.expected == 0 ? 0 : strlen(c.source), wcslen(wide)) << c.source;
        }
        char ansi[16];
        memset(ansi, '#', 16);
        WCHAR source[16];
        MultiByteToWideChar(CP_ACP, 0, c.source, -1, source, 16);
        EXPECT_EQ(c.expected, WideToAnsi(ansi, source, c.capacity)) << c.source << " into " << c.capacity;
        for (int i = c.capacity; i < 16; ++i) {
            EXPECT_EQ(L'#', wide[i]) << c.source << " written beyond the capacity at " << i;
            EXPECT_EQ('#', ansi[i]) << c.source << " written beyond the capacity at " << i;
        }
    }
}

TEST(Conversions, UmlautsBecomeOneAnsiByteAndTwoUtf8Bytes)
{
    char text[16];
    EXPECT_EQ(7, WideToAnsi(text, L"L\x00F6sche", 16));
    EXPECT_EQ(0, memcmp(text, "\x4C\xF6\x73\x63\x68\x65\0\0", 8)) << "with a second zero behind the terminator";
    EXPECT_EQ(8, WideToUtf8(text, L"J\x00FCrgen", 9));
    EXPECT_STREQ("J\xC3\xBCrgen", text);
    EXPECT_EQ(0, WideToUtf8(text, L"J\x00FCrgen", 8));
    EXPECT_STREQ("", text);
    EXPECT_EQ(1, WideToUtf8(text, L"", 2)) << "the smallest capacity that converts";
}

TEST(ParseHex, ReadsDigitsOfEitherCaseAndWraps)
{
    const struct {
        const char* text;
        DWORD expected;
    } cases[] = {{"0407", 1031}, {"d0010407", 0xD0010407}, {"D0010407", 0xD0010407}, {"", 0},
                 {"G1", 1},      {"1G", 16},               {"123456789", 0x23456789}, {nullptr, 0},
                 {"aFfA", 0xAFFA}};
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ParseHex(c.text)) << (c.text ? c.text : "null");
}

}
