// What the program knows about its run: arguments, its own name and directory, the current and
// temporary directories, the Windows version and the user's names.
//
// ProbeEnvironment fills everything once at start-up; FreeCommandLineCopies gives the heap
// copies of the command line back at shut-down. Texts are zero-terminated; ANSI texts are in the
// ANSI code page. A call that fails leaves its buffer empty; nothing here reports to the user.
#pragma once

#include <windows.h>

const int maxArguments = 30;       // arguments behind the program name that are kept
const int argumentCapacity = 260;  // units of one argument, terminator included
const int utf8NameCapacity = 1040; // bytes of a user name in UTF-8

// Command line. Entries from index argCount on are all zero.
extern int argCount;                                          // 0 to maxArguments
extern WCHAR argTableWide[maxArguments][argumentCapacity];   // as split from the UTF-16 line
extern char argTable[maxArguments][argumentCapacity];        // the same in ANSI
extern char* cmdLineCopy;  // heap copy of GetCommandLineA(), or null
extern char* cmdLineTail;  // ANSI text behind the program name and its blanks; null until split, then never

// Program file.
extern char programDir[MAX_PATH];   // directory of the program file, with its separator
extern char windowTitle[MAX_PATH];  // the main window's title; starts as programName
// programName, the file name without directory and last extension, is the caption of every box
// and lives with the boxes (text/msgbox.h).

// Directories, each with a trailing backslash unless empty.
extern char currentDir[MAX_PATH];
extern char currentDirAsGiven[MAX_PATH];  // exactly as GetCurrentDirectoryA returned it
extern char tempDir[MAX_PATH];

// Windows version.
extern bool osIsNT;           // platform VER_PLATFORM_WIN32_NT
extern bool osVersion5;       // 5.0 or later
extern bool osVersion51;      // 5.1 or later
extern bool osVersion6;       // 6.0 or later
extern bool osVersion61;      // 6.1 or later
extern bool osVersion4Early;  // 4.0 to 4.9
extern bool osVersion10;      // VerifyVersionInfoA confirms 10.0 or later

// User names: the logged-on user and the user of the network connection. An empty network
// name is replaced by the logged-on user's. "AnsiSafe" is true when the name survives the trip
// through the ANSI code page.
extern WCHAR userNameW[MAX_PATH];
extern char userNameA[MAX_PATH];
extern char userNameUtf8[utf8NameCapacity];
extern bool userNameAnsiSafe;
extern WCHAR netUserNameW[MAX_PATH];
extern char netUserNameA[MAX_PATH];
extern char netUserNameUtf8[utf8NameCapacity];
extern bool netUserNameAnsiSafe;
extern char netUserNameLower[MAX_PATH];  // netUserNameA in lower case
extern bool sameUser;                    // both UTF-16 names equal, case ignored

// Fills every global above; needs appInstance, and under WOW64 redirection on (the network user
// name's DLL is loaded from the system directory for the call). Returns true.
bool ProbeEnvironment();

// Splits a UTF-16 command line into argCount, argTableWide, argTable and cmdLineTail (whose
// previous heap text it frees). Only blanks separate words; a double quote opens a word that
// runs to the next double quote; the first word, the program name, is dropped. At most
// maxArguments are kept; a word longer than argumentCapacity - 1 units is cut to that length.
void SplitCommandLine(const WCHAR* commandLine);

// Splits the full program path in programDir into programDir (directory with separator) and
// programName (without the last extension), and copies programName into windowTitle.
void SplitProgramPath();

// Sets the version flags from a version record as GetVersionExA fills it (osVersion10 aside).
void SetVersionFlags(const OSVERSIONINFOA& version);

// Completes one user-name group (buffers of MAX_PATH, MAX_PATH and utf8NameCapacity units) from
// its UTF-16 name, terminated at reportedLength, at the latest at its last unit. An empty name
// in any group but userNameW's own takes userNameW.
void DeriveNameForms(DWORD reportedLength, WCHAR* nameW, char* nameA, char* nameUtf8, bool* ansiSafe);

// Frees cmdLineTail and cmdLineCopy; safe to call again.
void FreeCommandLineCopies();
