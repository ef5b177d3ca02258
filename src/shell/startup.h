// The program's spine: the process-wide globals of the shell, the display set-up with its
// palette, the cursors, the message loop and the one way out.
//
// The entry point first restricts where DLLs are loaded from; WinMain sets up the display,
// probes WOW64 and runs the start-up steps in order; the first step that returns false ends the
// program through ShutDown with exit code 0. One thread reads and writes everything here.
#pragma once

#include <windows.h>

extern HINSTANCE appInstance;   // the program's module; set by WinMain
extern int showCommand;         // show command for the main window's first ShowWindow
extern HDC displayDC;           // device context of the whole display
extern int screenWidth;         // display width in pixels; 0 until SetUpDisplay runs
extern int screenHeight;        // display height in pixels; 0 until SetUpDisplay runs
extern int colorDepth;          // bits per pixel, planes included
extern bool usePalette;         // colorDepth <= 8: the program realises its own palette
extern HPALETTE appPalette;     // the program's palette; null unless usePalette
extern HPALETTE previousPalette;  // what appPalette displaced from displayDC; null otherwise
extern HCURSOR normalCursor;    // start-up cursor, then the arrow (SetReadyCursor)
extern HCURSOR waitCursor;      // shown while a status text is shown
extern HCURSOR currentCursor;   // what the window shows on every mouse move
extern bool messageLoopEntered; // RunMessageLoop has been reached
extern bool shutDownDone;       // ShutDown has run

const int paletteSize = 256;

// A LOGPALETTE with room for all its entries.
struct ProgramPalette {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[paletteSize];
};

// The program's 256 colours: the 6 x 6 x 6 colour cube, the system's static colours and a few
// greys and accents of its own, all distinct.
extern const ProgramPalette programPaletteTable;

// Loads the cursors, creates displayDC and reads the display's size and depth; on displays of
// 8 bits per pixel or less also selects the program's palette. Results are not checked: the
// program goes on with whatever handles it got.
void SetUpDisplay();

// Creates appPalette, selects it into displayDC as a background palette (keeping
// previousPalette) and realises it.
void SelectProgramPalette();

// Where the system can (SetDefaultDllDirectories), makes every later load of a DLL by a name that
// does not say where to look search the system directory alone: never the program's folder, the
// current directory or PATH, where an unelevated process may plant one. For the whole process and
// for good; the first thing the program does. Elsewhere nothing.
void RestrictDllSearch();

// True when this 32-bit process runs under WOW64; false also when the system cannot tell.
bool ProbeWow64();

// Ends the start-up cursor: the arrow, shown at once unless a status text is shown.
void SetReadyCursor();

// Dispatches messages until WM_QUIT; returns its wParam.
int RunMessageLoop();

// Releases what start-up acquired, and the status line's font; only the first call acts.
void ShutDown();

// Application hooks, supplied by the application.
bool AppInit();      // false ends the program
void AppShutDown();  // first step of ShutDown
