#include "text/dates.h"

#include <limits.h>

int stampYear;
int stampMonth;
int stampDay;
int stampHour;
int stampMinute;
int stampSecond;

namespace {

// Truncates toward zero; a converted value out of the int range would be undefined.
int TruncateToInt(double value)
{
    if (!(value > INT_MIN))
        return value != value ? 0 : INT_MIN;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

// Takes the part that `unit` counts from `rest`.
int TakePart(double* rest, double unit)
{
    const int part = TruncateToInt(*rest / unit);
    *rest -= part * unit;
    return part;
}

void SetParts(int value)
{
    stampYear = stampMonth = stampDay = stampHour = stampMinute = stampSecond = value;
}

}

DateStamp MakeStamp(int year, int month, int day, int hour, int minute, int second)
{
    return static_cast<double>(year) * 1e10 + static_cast<double>(month) * 1e8 + static_cast<double>(day) * 1e6 +
           static_cast<double>(hour) * 1e4 + static_cast<double>(minute) * 100 + static_cast<double>(second);
}

void SplitStamp(DateStamp stamp)
{
    if (stamp == unknownStamp) {
        SetParts(-1);
        return;
    }
    if (stamp == 0.0 || stamp == -1.0) {
        SetParts(0);
        return;
    }
    double rest = stamp;
    stampYear = TakePart(&rest, 1e10);
    stampMonth = TakePart(&rest, 1e8);
    stampDay = TakePart(&rest, 1e6);
    stampHour = TakePart(&rest, 1e4);
    stampMinute = TakePart(&rest, 100);
    stampSecond = TruncateToInt(rest);
}

DateStamp PackDateTime()
{
    return MakeStamp(stampYear, stampMonth, stampDay, stampHour, stampMinute, stampSecond);
}

DWORD DayNumber(DWORD month, DWORD day, DWORD year)
{
    DWORD m = month + 9;
    DWORD y = year - 1;
    if (month > 2) {
        m = month - 3;
        y = year;
    }
    const DWORD century = y / 100;
    const DWORD yearInCentury = y - 100 * century;
    return 146097 * century / 4 + 1461 * yearInCentury / 4 + (153 * m + 2) / 5 + day + 1721119;
}

DWORD StampDayNumber(DateStamp stamp)
{
    SplitStamp(stamp);
    const auto orZero = [](int part) { return part < 0 ? 0u : static_cast<DWORD>(part); };
    return DayNumber(orZero(stampMonth), orZero(stampDay), orZero(stampYear));
}

// Tantzen's algorithm (ACM Algorithm 199).
void DayNumberToDate(DWORD dayNumber, DWORD* month, DWORD* day, DWORD* year)
{
    const DWORD j = dayNumber - 1721119;
    const DWORD century = (4 * j - 1) / 146097;
    DWORD d = (4 * j - 1) % 146097 / 4;
    const DWORD yearInCentury = (4 * d + 3) / 1461;
    d = ((4 * d + 3) % 1461 + 4) / 4;
    const DWORD m = (5 * d - 3) / 153;
    *day = ((5 * d - 3) % 153 + 5) / 5;
    *year = 100 * century + yearInCentury;
    if (m < 10) {
        *month = m + 3;
    } else {
        *month = m - 9;
        *year += 1;
    }
}
