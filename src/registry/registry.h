// The registry layer: every registry access of the program goes through it. Texts are ANSI.
//
// Operations report by a boolean or a null key handle and never show anything. Handles that
// CreateKey, OpenKeyWrite and OpenKeyRead return belong to the caller, who closes them with
// RegCloseKey. Enumerations fill the shared buffers below, which the next call overwrites: copy
// a name before the next enumeration if it is still needed.
#pragma once

#include <windows.h>

const int regNameCapacity = MAX_PATH;
const int regDataCapacity = MAX_PATH;

extern char regKeyName[regNameCapacity];      // subkey name of the latest EnumSubkey
extern char regValueName[regNameCapacity];    // value name of the latest EnumValue
extern char regValueData[regDataCapacity + 1];  // its data; one byte more that stays zero

// Status of the latest OpenKeyRead, OpenKeyWrite, CreateKey (ERROR_SUCCESS when it gave a key)
// or DeleteValue: ERROR_FILE_NOT_FOUND tells a missing key or value from one that was refused.
extern LONG regStatus;

// The registry view every open, creation and deletion goes to: KEY_WOW64_32KEY or KEY_WOW64_64KEY
// (32-bit Windows has one view, which both name), or 0 for the process's own. 0 but while an
// operation that looks into both views runs.
extern REGSAM regView;

// For tests only: 0 (the program never changes it) leaves every write alone; k > 0 makes the
// k-th write from now fail without touching the registry, and is 0 from then on. Writes are
// SetStringValue, CreateKey (also of a key that exists), DeleteValue and each key deletion of
// DeleteKeyTree. A count still above 0 afterwards means that fewer than k writes were made.
extern int regFailingWrite;

// Stores `text` as a REG_SZ value, its terminator included; a null name is the default value.
bool SetStringValue(HKEY key, const char* valueName, const char* text);

// Opens parent\path with full access, creating it and any missing keys on the way; stores
// `defaultText` as its default value when given. Null on failure.
HKEY CreateKey(HKEY parent, const char* path, const char* defaultText);

// Deletes one value of `key`; false when it is not there or cannot be deleted.
bool DeleteValue(HKEY key, const char* valueName);

// Reads the REG_SZ value `valueName` of `key` into regValueData, terminated; false when it is
// missing, of another type or does not fit.
bool ReadTextValue(HKEY key, const char* valueName);

HKEY OpenKeyWrite(HKEY parent, const char* path);  // full access; null when missing or refused
HKEY OpenKeyRead(HKEY parent, const char* path);   // read access; null when missing or refused

int CountSubkeys(HKEY key);  // 0 when the key cannot be queried
int CountValues(HKEY key);   // 0 when the key cannot be queried

// Reads the name of subkey `index` into regKeyName; false past the end or when it does not fit.
bool EnumSubkey(HKEY key, int index);

// Reads value `index` into regValueName and regValueData, zero-filled first so that a text is
// always terminated; false past the end, or when the name or the data does not fit.
bool EnumValue(HKEY key, int index);

// Deletes parent\name with everything below it, as much as it can even after a failure. True
// only when the whole tree is gone; an empty name (never the parent itself) or a missing key
// gives false.
bool DeleteKeyTree(HKEY parent, const char* name);
