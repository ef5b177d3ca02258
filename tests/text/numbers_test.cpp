#include "text/numbers.h"

#include <gtest/gtest.h>

#include <string>

#include "text/dates.h"

TEST(FormatNumber, GroupsThousandsKnowsMoneyStyleAndPadsWithinTheSmallestTarget)
{
    const struct {
        int value, width;
        bool money;
        const char* expected;
    } cases[] = {{-1234, 3, false, "-1.234"}, {999999999, 0, false, "999.999.999"}, {1000000000, 0, false, "1000000000"},
                 {-100000000, 0, false, "-100000000"}, {0, 0, true, "-"}, {noValueMarker, 5, true, " --  "},
                 {1500, 500, true, "      1.500,-"}};
    for (const auto& c : cases) {
        char target[numberTextCapacity + 1];
        target[numberTextCapacity] = '#';
        EXPECT_STREQ(c.expected, FormatNumber(target, numberTextCapacity, c.value, c.width, c.money)) << c.value;
        EXPECT_EQ('#', target[numberTextCapacity]) << c.value;
    }
}

TEST(Dates, StampsSplitAndDayNumbersConvertBothWays)
{
    SplitStamp(unknownStamp);
    EXPECT_TRUE(stampYear == -1 && stampMonth == -1 && stampSecond == -1);
    EXPECT_EQ(2451545u, StampDayNumber(20000101235959.0));
    // Around the ends of months, leap days and centuries: month, day, year, day number.
    const DWORD dates[][4] = {{1, 1, 1600, 2305448},   {2, 28, 1700, 2342031}, {3, 1, 1700, 2342032},
                              {12, 31, 1999, 2451544}, {2, 29, 2000, 2451604}, {3, 1, 2100, 2488129}};
    for (const auto& date : dates) {
        EXPECT_EQ(date[3], DayNumber(date[0], date[1], date[2])) << date[3];
        DWORD month, day, year;
        DayNumberToDate(date[3], &month, &day, &year);
        EXPECT_TRUE(month == date[0] && day == date[1] && year == date[2]) << date[3];
    }
}
