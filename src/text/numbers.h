// Numbers in the program's German conventions: "." groups thousands, "," separates decimals,
// and amounts may end in ",-" in the manner of prices.
#pragma once

#include <windows.h>

const int noValueMarker = 0x40000000;    // stands for a missing value
const int cannotShowMarker = 0x40000001;  // stands for a value that cannot be shown
const int numberTextCapacity = 14;        // FormatNumber's text without padding
const int thousandthsTextCapacity = 13;

// Writes `value` into `target` (`capacity` bytes, at least numberTextCapacity) with grouped
// thousands from -99.999.999 to 999.999.999 and plain digits beyond; the no-value marker as
// "--". Money style writes 0 as "-" (without a width) and appends ",-" to other values, or two
// blanks to 0 and the marker when a width is given. A width right-aligns the text with blanks
// on the left, as far as the capacity allows; a longer text is never cut. Returns `target`.
char* FormatNumber(char* target, int capacity, int value, int width, bool money);

// The value of a decimal text: leading blanks and one "-" are taken, every other non-digit is
// passed over; wraps in 32 bits. A text without digits gives 0.
int ParseInt(const char* text);

// Writes a value in thousandths with "," and no trailing zeros (1500: "1,5"; 2000: "2") into
// `target` of thousandthsTextCapacity bytes; the no-value marker as "", the cannot-show marker
// as "XXXX". Returns `target`.
char* FormatThousandths(char* target, int value);
