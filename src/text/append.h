// Appending formatted texts, amounts and number lists.
#pragma once

const int appendScratchCapacity = 10240;
const int itemListCapacity = 112;

extern char itemList[itemListCapacity];  // numbers separated by "/", appended by AppendNumberItem

// Formats with FormatText and appends the result to `destination` (`capacity` bytes, already
// holding a terminated text), cut where it does not fit. Returns `destination`.
char* AppendFormatted(char* destination, int capacity, const char* format, ...);

// Appends the cents of an amount: ",05" for 5 cents; for 0 cents ",00" in styles 1 and 2,
// ",-" in style 3, ",- " in style 4 and nothing otherwise.
void AppendCents(char* destination, int capacity, int cents, int style);

// Appends "/" (unless the list is empty) and the value in thousandths, or "-" for the no-value
// marker, to itemList. An item that does not fit whole is left out: false.
bool AppendNumberItem(int thousandths);
