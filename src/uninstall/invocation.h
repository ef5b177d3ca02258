// The invocation check: the layout key the uninstaller was started with, and the move to the
// temporary directory.
//
// The installed uninstaller cannot delete its own file or folder, so it copies itself as
// uninstallerCopyName into a new folder of its own in the user's temporary directory, which only
// administrators may change (CreatePrivateDir), starts the copy there with the same key and in that
// folder, and ends; the copy does the work. A temporary directory that the ANSI calls cannot name
// is reached by its short form, or replaced by the Windows directory (GetTempDir). The copy
// recognises itself by running from such a folder directly in that same directory; a program
// started from anywhere else is the installed uninstaller.
#pragma once

#include <windows.h>

// Validates the one argument into the layout module's layoutKey (a warning box for each kind of
// bad key) and fixes the install directories. True in the copy, with windowTitle set; false
// after a refusal, and in the installed uninstaller once it has started its copy (or failed to,
// with a warning, leaving no folder behind). Always sets centerWindow.
bool CheckInvocation();

// In the copy, schedules its file and then its folder for deletion at the next restart: a
// running program cannot delete itself. Elsewhere, and on a second call, nothing.
void ScheduleCopyRemoval();
