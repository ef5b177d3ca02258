#include "text/numbers.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "text/append.h"
#include "text/dates.h"

namespace {

TEST(FormatNumber, GroupsThousandsAndKnowsMoneyStyle)
{
    const struct {
        int value, width;
        bool money;
        const char* expected;
    } cases[] = {
        {999, 0, false, "999"},
        {1000, 0, false, "1.000"},
        {1234567, 0, false, "1.234.567"},
        {-1234, 0, false, "-1.234"},
        {-99999999, 0, false, "-99.999.999"},
        {-100000000, 0, false, "-100000000"},
        {999999999, 0, false, "999.999.999"},
        {1000000000, 0, false, "1000000000"},
        {1500, 0, true, "1.500,-"},
        {0, 0, true, "-"},
        {0, 6, true, "   0  "},
        {noValueMarker, 0, false, "--"},
        {noValueMarker, 5, true, " --  "},
        {42, 5, false, "   42"},
        {123456, 3, false, "123.456"},
    };
    for (const auto& c : cases) {
        char target[64];
        EXPECT_STREQ(c.expected, FormatNumber(target, sizeof(target), c.value, c.width, c.money)) << c.value;
    }
}

TEST(FormatNumber, PadsNoFurtherThanTheTarget)
{
    char target[numberTextCapacity + 4];
    memset(target, '#', sizeof(target));
    FormatNumber(target, numberTextCapacity, 1500, 500, true);
    EXPECT_EQ(std::string(numberTextCapacity - 8, ' ') + "1.500,-", target);
    EXPECT_EQ('#', target[numberTextCapacity]);
}

TEST(ParseInt, TakesDigitsAndPassesOverTheRest)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {{" 12a3", 123}, {"-7", -7}, {"", 0}, {"+5", 5}, {"  -1.000", -1000}, {"a-5", 5}, {"4294967297", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ParseInt(c.text)) << c.text;
}

TEST(FormatThousandths, LeavesOutTrailingZerosOfTheFraction)
{
    const struct {
        int value;
        const char* expected;
    } cases[] = {{1500, "1,5"},    {1050, "1,05"},           {1005, "1,005"}, {2000, "2"},
                 {-500, "-0,5"},   {cannotShowMarker, "XXXX"}, {noValueMarker, ""}, {1010, "1,01"},
                 {INT32_MIN, "-2147483,648"}};
    for (const auto& c : cases) {
        char target[thousandthsTextCapacity];
        EXPECT_STREQ(c.expected, FormatThousandths(target, c.value)) << c.value;
    }
}

TEST(Stamps, SplitAndPackTheirParts)
{
    EXPECT_EQ(20261205220642.0, MakeStamp(2026, 12, 5, 22, 6, 42));
    SplitStamp(20261205220642.0);
    EXPECT_EQ(2026, stampYear);
    EXPECT_EQ(12, stampMonth);
    EXPECT_EQ(5, stampDay);
    EXPECT_EQ(22, stampHour);
    EXPECT_EQ(6, stampMinute);
    EXPECT_EQ(42, stampSecond);
    SplitStamp(20240301080509.0);
    EXPECT_EQ(20240301080509.0, PackDateTime());

    SplitStamp(unknownStamp);
    EXPECT_TRUE(stampYear == -1 && stampMonth == -1 && stampSecond == -1);
    SplitStamp(-1.0);
    EXPECT_TRUE(stampYear == 0 && stampDay == 0 && stampSecond == 0);
    SplitStamp(1e30);
    EXPECT_EQ(INT_MAX, stampYear) << "held at the limit, not undefined";
}

TEST(DayNumbers, CountDaysAndConvertBackOverCenturies)
{
    EXPECT_EQ(2451545u, DayNumber(1, 1, 2000));
    EXPECT_EQ(2u, DayNumber(3, 1, 2000) - DayNumber(2, 28, 2000));
    EXPECT_EQ(1u, DayNumber(3, 1, 1900) - DayNumber(2, 28, 1900)) << "1900 is no leap year";
    EXPECT_EQ(2451545u, StampDayNumber(20000101235959.0));

    DWORD month, day, year;
    DayNumberToDate(2299161, &month, &day, &year);
    EXPECT_TRUE(month == 10 && day == 15 && year == 1582) << month << "/" << day << "/" << year;

    // Every day from 1 March 1600 to the end of 2400, counted on a calendar of our own.
    const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    DWORD expected = DayNumber(3, 1, 1600);
    for (DWORD y = 1600; y <= 2400; ++y) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        for (DWORD m = y == 1600 ? 3 : 1; m <= 12; ++m) {
            const DWORD days = monthDays[m - 1] + (m == 2 && leap ? 1 : 0);
            for (DWORD d = 1; d <= days; ++d, ++expected) {
                ASSERT_EQ(expected, DayNumber(m, d, y)) << m << "/" << d << "/" << y;
                DayNumberToDate(expected, &month, &day, &year);
                ASSERT_TRUE(month == m && day == d && year == y) << expected;
            }
        }
    }
}

TEST(Appending, CentsItemsAndFormattedTextsStayWithinTheirBuffers)
{
    const struct {
        int cents, style;
        const char* expected;
    } cents[] = {{5, 0, ",05"}, {0, 1, ",00"}, {0, 2, ",00"}, {0, 3, ",-"}, {0, 4, ",- "}, {0, 0, ""}};
    for (const auto& c : cents) {
        char amount[16] = "12";
        AppendCents(amount, sizeof(amount), c.cents, c.style);
        EXPECT_EQ(std::string("12") + c.expected, amount) << c.cents << " in style " << c.style;
    }

    char text[12] = "Wert: ";
    memset(text + 7, '#', 5);
    AppendFormatted(text, 8, "%d", 12345);
    EXPECT_STREQ("Wert: 1", text);
    EXPECT_EQ('#', text[8]);

    itemList[0] = '\0';
    EXPECT_TRUE(AppendNumberItem(1500));
    EXPECT_TRUE(AppendNumberItem(noValueMarker));
    EXPECT_TRUE(AppendNumberItem(2000));
    EXPECT_STREQ("1,5/-/2", itemList);
    // An item ("/-") that fills the list to its last byte fits; one byte more does not.
    for (const int filled : {itemListCapacity - 3, itemListCapacity - 2}) {
        memset(itemList, 'x', filled);
        itemList[filled] = '\0';
        EXPECT_EQ(filled == itemListCapacity - 3, AppendNumberItem(noValueMarker)) << filled;
        EXPECT_EQ(std::string(filled, 'x') + (filled == itemListCapacity - 3 ? "/-" : ""), itemList);
    }
}

}
