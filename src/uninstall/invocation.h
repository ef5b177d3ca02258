// The invocation check: the layout key the uninstaller was started with, and the move to a
// private folder.
//
// The installed uninstaller cannot delete its own file or folder, so it copies itself as
// uninstallerCopyName into a new private folder (fs/privatedir.h: elevated, in the Windows
// directory's Temp, never where the user's environment points), holds that folder open, starts
// the copy there with the same key and in that folder, and ends; the copy does the work. The copy
// recognises itself by running from a private folder directly in that same place, owned as a
// private folder must be; a program started from anywhere else, or from a folder of that name a
// user made, is an installed uninstaller. A copy is started only where it will know itself, so
// that no disagreement can start copy after copy.
#pragma once

#include <windows.h>

// Validates the one argument into the layout module's layoutKey (a warning box for each kind of
// bad key) and fixes the install directories. True in the copy, with windowTitle set; false
// after a refusal, and in the installed uninstaller once it has started its copy (or failed to,
// with a warning, leaving no folder behind). Always sets centerWindow.
bool CheckInvocation();

// In a recognised copy, schedules its file and then its folder for deletion at the next restart:
// a running program cannot delete itself. Elsewhere, and on a second call, nothing.
void ScheduleCopyRemoval();
