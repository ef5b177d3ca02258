// The main window: a plain white client area with one centred status line. It owns every
// message box; while a status text is shown the wait cursor stays.
//
// The status line paints at once (no message loop runs while the uninstaller works), and a text
// stays until the next SetStatus or ClearStatus.
#pragma once

#include <windows.h>

const int statusTextCapacity = 500;

extern char statusText[statusTextCapacity];  // the status line; empty when idle
extern bool statusBusy;    // a status text is shown: the wait cursor stays
// Create the window centred, a quarter of the screen wide and a sixth high at 96 DPI, grown with
// the display's DPI but within the screen.
extern bool centerWindow;
// The status line's font, sized for the display; null before the window, after ShutDown and when
// the system names no font (the device context's own is used then).
extern HFONT statusFont;

// Registers the window class named programName, with the icon group "aaProgramIcon" as its icon
// and small icon, creates the window titled windowTitle and shows it; sets mainWindow and
// ownerWindow (null when creation failed), creates statusFont, and hands SetStatus to the file
// operations as their statusHook. Returns true.
bool CreateMainWindow();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows a formatted status text at once, with the wait cursor; a text that does not fit
// statusTextCapacity is cut.
void SetStatus(const char* format, ...);

// Empties the status line and returns to the normal cursor.
void ClearStatus();

// Application hooks, supplied by the application.
bool AppPaint(HDC dc, const RECT* update);  // true: the application painted the client area
LONG AppCommand(WORD command);              // the result of a WM_COMMAND
