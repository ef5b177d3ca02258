// Starting other programs, and the main window's command dispatcher with its help command.
//
// LaunchProgram starts a program and does not wait for it. While it works the status line reads
// "Aufruf von <program> <parameters> ..." (a part not given left out with its blank) and keeps
// reading so afterwards; a failed start is reported to the user with the system's reason.
#pragma once

#include <windows.h>

const int commandLineCapacity = 32768;
const int helpFileNameCapacity = 200;
const WORD helpCommand = 300;

extern char helpViewerPath[MAX_PATH];  // help viewer program; empty: no help command
extern bool helpDisabled;              // ShowHelp does nothing
extern bool helpStarted;               // ShowHelp has tried to start the viewer

// Starts `program` with `parameters` in `directory` (null: the caller's current directory);
// any of them may be null. True when the process was created; false after a warning box that
// names what was meant and why the system refused. A call with neither program nor parameters,
// and a command line or directory too long for its buffer, are refused the same way.
bool LaunchProgram(const char* program, const char* parameters, const char* directory);

// The main window's WM_COMMAND: the help command when a viewer is set, else AppCommand.
LONG HandleCommand(WORD command);

// Starts the help viewer, with the page "<topic with blanks as underscores>.htm" when a topic
// is given; the topic is cut so that the page name fits helpFileNameCapacity.
void ShowHelp(const char* topic);
