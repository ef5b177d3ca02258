// The invocation check: the layout key the uninstaller was started with, and the move to the
// temporary directory.
//
// The installed uninstaller cannot delete its own file or folder, so it copies itself into the
// user's temporary directory, starts the copy with the same key and ends; the copy does the
// work. A temporary directory that the ANSI calls cannot name is reached by its short form, or
// replaced by the Windows directory (GetTempDir), and the copy recognises itself by the same
// folder.
#pragma once

#include <windows.h>

// Validates the one argument into the layout module's layoutKey (a warning box for each kind of
// bad key) and fixes the install directories. True in the copy in the temporary directory, with
// windowTitle set; false after a refusal, and in the installed uninstaller once it has started
// its copy (or failed to, with a warning). Always sets centerWindow.
bool CheckInvocation();
