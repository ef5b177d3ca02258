#include "text/convert.h"

#include <gtest/gtest.h>
#include <string.h>
#include <wchar.h>

namespace {

const char sentinel = '#';

struct AnsiToWideCase {
    const char* source;
    int capacity;
    int expected;  // units written including the terminator; 0: did not fit
};

// A text fits when its terminator lands at capacity - 2: the conversion keeps room for the
// second zero behind it.
TEST(AnsiToWide, ConvertsWhatFitsAndEmptiesWhatDoesNot)
{
    const AnsiToWideCase cases[] = {
        {"Jürgen", 16, 7}, {"", 16, 1}, {"abcd", 6, 5}, {"abcde", 6, 0}, {"a", 2, 0}, {"", 2, 1}, {"a", 1, 0},
    };
    for (const AnsiToWideCase& c : cases) {
        WCHAR destination[16];
        wmemset(destination, L'#', 16);
        EXPECT_EQ(c.expected, AnsiToWide(destination, c.source, c.capacity)) << c.source << " into " << c.capacity;
        if (c.expected == 0) {
            EXPECT_EQ(L'\0', destination[0]) << c.source;
        } else {
            WCHAR expected[16];
            MultiByteToWideChar(CP_ACP, 0, c.source, -1, expected, 16);
            EXPECT_STREQ(expected, destination);
        }
        for (int i = c.capacity; i < 16; ++i)
            EXPECT_EQ(L'#', destination[i]) << "written beyond the capacity at " << i << " for " << c.source;
    }
}

TEST(AnsiToWide, CapacityZeroWritesNothing)
{
    WCHAR destination[2] = {L'#', L'#'};
    EXPECT_EQ(0, AnsiToWide(destination, "abc", 0));
    EXPECT_EQ(L'#', destination[0]);
}

TEST(WideToUtf8, EncodesUmlautsInTwoBytes)
{
    char destination[16];
    EXPECT_EQ(8, WideToUtf8(destination, L"J\x00FCrgen", 16));
    EXPECT_STREQ("J\xC3\xBCrgen", destination);
}

TEST(WideToUtf8, TextThatDoesNotFitComesOutEmpty)
{
    char destination[16];
    memset(destination, sentinel, sizeof(destination));
    // Six characters take eight bytes with the umlaut and the terminator, plus the second zero.
    EXPECT_EQ(0, WideToUtf8(destination, L"J\x00FCrgen", 8));
    EXPECT_EQ('\0', destination[0]);
    for (int i = 8; i < 16; ++i)
        EXPECT_EQ(sentinel, destination[i]) << i;
    EXPECT_EQ(8, WideToUtf8(destination, L"J\x00FCrgen", 9));
}

TEST(WideToAnsi, ConvertsToCodePage1252)
{
    char destination[16];
    memset(destination, sentinel, sizeof(destination));
    EXPECT_EQ(7, WideToAnsi(destination, L"L\x00F6sche", 16));
    EXPECT_STREQ("Lösche", destination);
    EXPECT_EQ(0, memcmp(destination, "\x4C\xF6\x73\x63\x68\x65\0\0", 8)) << "second zero behind the terminator";
}

TEST(WideToAnsi, SmallCapacitiesNeverWriteBeyondThem)
{
    for (int capacity = 0; capacity <= 3; ++capacity) {
        char destination[8];
        memset(destination, sentinel, sizeof(destination));
        EXPECT_EQ(capacity == 3 ? 2 : 0, WideToAnsi(destination, L"x", capacity)) << capacity;
        for (int i = capacity; i < 8; ++i)
            EXPECT_EQ(sentinel, destination[i]) << "capacity " << capacity << ", index " << i;
    }
}

TEST(SameTextNoCaseW, MapsBothSidesToUpperCase)
{
    EXPECT_TRUE(SameTextNoCaseW(L"j\x00FCrgen", L"J\x00DCRGEN"));
    EXPECT_TRUE(SameTextNoCaseW(L"", L""));
    EXPECT_FALSE(SameTextNoCaseW(L"anna", L"anne"));
    EXPECT_FALSE(SameTextNoCaseW(L"anna", L"ann"));
}

TEST(ParseHex, ReadsDigitsOfEitherCaseAndWraps)
{
    const struct {
        const char* text;
        DWORD expected;
    } cases[] = {
        {"0407", 1031},           {"d0010407", 0xD0010407}, {"D0010407", 0xD0010407}, {"ff", 255},
        {"", 0},                  {"G1", 1},                {"1G", 16},               {"123456789", 0x23456789},
        {"FFFFFFFF", 0xFFFFFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ParseHex(c.text)) << c.text;
    EXPECT_EQ(0u, ParseHex(nullptr));
}

}
