// The one way texts are built (FormatText), and the last system error as a German text.
//
// FormatText expands a wvsprintfA format into a destination of known capacity and cuts what
// does not fit. CaptureLastError must be the first call after a failing system call: it keeps
// the error code and builds "Fehlercode <n>:\n<the system's own text>" in sysErrorText, which
// failure messages show as their last "%s".
#pragma once

#include <windows.h>

#include <stdarg.h>

const int errorTextCapacity = 2048;
const int formatLimit = 1024;  // wvsprintfA writes at most this many bytes, terminator included

extern DWORD errorCode;                          // GetLastError at the last capture
extern WORD errorCode16;                         // its low 16 bits
extern char sysErrorText[errorTextCapacity];     // number text, ":\n" and the system's text
extern char errorMessage[errorTextCapacity];     // message of RecordSysError / SysFailed

// Index of the first `c` in `text`, or -1.
int FindChar(const char* text, char c);

// Formats into `destination` (`capacity` bytes), always terminated, cut at a character
// boundary where the text does not fit:
// - null format: "<INTERNER FEHLER: Formatstring fehlt>", result 0;
// - format starting with two bytes 0x7F: the rest copied as it is, result its length;
// - format without "%": copied as it is, result its length;
// - otherwise wvsprintfA's expansion, result its count; an empty expansion leaves the format
//   itself in the destination, result 0.
// When a text is cut, the result is the length stored.
int FormatText(char* destination, int capacity, const char* format, va_list arguments);

// FormatText with the arguments given here.
int FormatInto(char* destination, int capacity, const char* format, ...);

// Fills sysErrorText for `code` (a system text's inserts such as "%1" left as they stand) and
// empties errorMessage.
void BuildSysErrorText(DWORD code);

// Keeps GetLastError() in errorCode and errorCode16, builds sysErrorText; returns errorCode16.
WORD CaptureLastError();

// CaptureLastError for a `code` taken earlier, where the text could not be built yet (with WOW64
// file-system redirection off, the system's texts could come from the wrong files).
WORD KeepError(DWORD code);

// CaptureLastError, then the formatted message into errorMessage; returns errorCode16.
WORD RecordSysError(const char* format, ...);

// For a system call's result: zero means failure, so capture the error, format the message
// into errorMessage and return true; a non-zero result changes nothing and returns false.
bool SysFailed(DWORD result, const char* format, ...);
