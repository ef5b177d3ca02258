// Message boxes: every question, warning and report the user sees.
//
// The formatting entry points build their text with FormatText, turn control characters into
// line breaks and show a modal box owned by mainWindow (none before it exists), captioned with
// programName unless the caller gives a caption. They return what MessageBoxA returns: IDOK for
// the one-button boxes, IDYES or IDNO for MsgAskYesNo (callers test for IDYES).
#pragma once

#include <windows.h>

const int messageTextCapacity = 32000;
const int messageFormatCapacity = 5500;

// Shows a box in place of MessageBoxA while useMessageHook is on.
typedef int (*MessageHook)(HWND owner, const char* text, const char* caption, UINT type);

extern HWND mainWindow;              // owner of every box; the main window sets it, null until then
extern char programName[MAX_PATH];   // caption of every box; the environment probe fills it
extern char messageText[messageTextCapacity];  // the prepared text of the latest box
extern bool useMessageHook;  // boxes go to messageHook, their text unconverted; off at start
extern MessageHook messageHook;
extern bool quietMessages;   // the formatting entry points show nothing and return IDOK

// Shows `text` as it is; through messageHook when useMessageHook is on.
int MsgBox(const char* text, const char* caption, UINT type);

int MsgInfo(const char* format, ...);                            // information icon, OK
int MsgAskYesNo(const char* format, ...);                        // question icon, Yes and No
int MsgWarning(const char* format, ...);                         // exclamation icon, OK
int MsgWarningTitled(const char* caption, const char* format, ...);  // the same, own caption

// Copies `source` into `target` (`capacity` bytes), writing every control character other than
// CR and LF as CR LF, so that the box shows a line break for it. Stops where the next character
// would not fit; the target is always terminated.
void ConvertControlChars(char* target, int capacity, const char* source);
