#include "text/convert.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>

// What does not fit comes out empty ("Jürgen": 7 bytes in ANSI, 8 in UTF-8); a non-digit counts as 0.
TEST(Conversions, FitOrComeOutEmptyAndStayWithinTheirCapacity)
{
    const struct {
        const char* source;
        int capacity, ansi, utf8;
    } cases[] = {{"Jürgen", 9, 7, 8}, {"Jürgen", 8, 7, 0}, {"Jürgen", 7, 0, 0}, {"", 2, 1, 1}, {"a", 0, 0, 0}};
    for (const auto& c : cases) {
        WCHAR source[16], wide[16] = L"###############";
        char ansi[16] = "###############", utf8[16] = "###############";
        MultiByteToWideChar(CP_ACP, 0, c.source, -1, source, 16);
        EXPECT_EQ(c.ansi, AnsiToWide(wide, c.source, c.capacity)) << c.source << " into " << c.capacity;
        EXPECT_EQ(c.ansi, WideToAnsi(ansi, source, c.capacity)) << c.source << " into " << c.capacity;
        EXPECT_EQ(c.utf8, WideToUtf8(utf8, source, c.capacity)) << c.source << " into " << c.capacity;
        EXPECT_TRUE(wide[c.capacity] == L'#' && ansi[c.capacity] == '#' && utf8[c.capacity] == '#') << c.capacity;
        if (c.capacity > 0) {
            EXPECT_EQ(c.ansi > 0 ? std::wstring(source) : L"", wide) << c.source;
            EXPECT_STREQ(c.ansi > 0 ? c.source : "", ansi) << c.source;
            EXPECT_STREQ(c.utf8 > 1 ? "J\xC3\xBCrgen" : "", utf8) << c.source;
        }
    }
    const std::pair<const char*, DWORD> hex[] = {{"9aFfA", 0x9AFFA}, {"1/:@G`g", 0x1000000}, {"123456789", 0x23456789}};
    for (const auto& h : hex)
        EXPECT_EQ(h.second, ParseHex(h.first)) << h.first;
}
