// Date-time stamps and day numbers.
//
// A DateStamp holds a moment as the decimal number YYYYMMDDhhmmss in a double; 1e100 stands for
// an unknown moment, 0.0 and -1.0 for none. Day numbers are Julian day numbers of Gregorian
// dates (1 January 2000 is 2451545): their differences count days.
#pragma once

#include <windows.h>

typedef double DateStamp;

const DateStamp unknownStamp = 1e100;

// The parts of the latest SplitStamp.
extern int stampYear;
extern int stampMonth;
extern int stampDay;
extern int stampHour;
extern int stampMinute;
extern int stampSecond;

DateStamp MakeStamp(int year, int month, int day, int hour, int minute, int second);

// Sets the six stamp parts: all -1 for the unknown stamp, all 0 for 0.0 and -1.0. A part beyond
// the range of an int is held at its limit.
void SplitStamp(DateStamp stamp);

// The stamp of the six stamp parts.
DateStamp PackDateTime();

// Julian day number of a Gregorian date, in unsigned 32-bit arithmetic.
DWORD DayNumber(DWORD month, DWORD day, DWORD year);

// Day number of a stamp's date (SplitStamp, negative parts taken as 0); meaningless for
// stamps that hold no date.
DWORD StampDayNumber(DateStamp stamp);

// The Gregorian date of a Julian day number.
void DayNumberToDate(DWORD dayNumber, DWORD* month, DWORD* day, DWORD* year);
