// Text conversions between the ANSI code page, UTF-16 and UTF-8, and small text helpers.
//
// Every conversion writes into a destination of the given capacity (in units of the
// destination, terminator included) and always leaves it terminated. A text that does not fit
// comes out empty, never cut, so a caller never acts on half a name.
#pragma once

#include <windows.h>

// ANSI (CP_ACP) to UTF-16. Returns the units written including the terminator, or 0 when the
// conversion failed or did not fit; then `destination` is empty.
int AnsiToWide(WCHAR* destination, const char* source, int capacity);

// UTF-16 to UTF-8; result as for AnsiToWide, counted in bytes.
int WideToUtf8(char* destination, const WCHAR* source, int capacity);

// UTF-16 to ANSI (CP_ACP); characters the code page lacks become its default character.
// Result as for AnsiToWide, counted in bytes.
int WideToAnsi(char* destination, const WCHAR* source, int capacity);

// True when two UTF-16 texts of at most 259 units are equal with both sides mapped to upper
// case; a longer text is compared by its first 259 units.
bool SameTextNoCaseW(const WCHAR* first, const WCHAR* second);

// The value of a hexadecimal text, wrapping in 32 bits; a character that is no hexadecimal
// digit counts as 0 but still shifts the value. A null text gives 0.
DWORD ParseHex(const char* text);

// Copies `source` into `destination` of `capacity` bytes, cut where it does not fit but never
// inside a double-byte character. Returns the bytes copied, terminator not counted.
int CopyText(char* destination, int capacity, const char* source);

// Appends `text` to the terminated text in `destination` (`capacity` bytes) only when all of it
// fits: a cut name or command line would name something else. False leaves it unchanged.
bool AppendWhole(char* destination, int capacity, const char* text);

// True when `text` begins with `prefix` (of fewer than MAX_PATH bytes), both sides mapped to
// upper case.
bool StartsWithNoCase(const char* text, const char* prefix);

// True when both texts are equal with both sides mapped to upper case (texts of fewer than
// MAX_PATH bytes).
bool SameTextNoCase(const char* first, const char* second);

// A copy of `text` on the process heap, freed with HeapFree; null when there is no memory.
char* HeapText(const char* text);
