// The product's entry in the Windows list of installed programs, under HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall".
#pragma once

const char uninstallListPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Removes the entry `entryName` with everything below it (and first every entry whose name
// begins with `removalPrefix`, case ignored, when a non-empty one is given); then, only when an uninstall
// command is given, writes the entry afresh: "DisplayName" (displayName, else entryName),
// "UninstallString", and each further value that is given. Every argument but the first may be
// null. False when the list's key or the entry's key cannot be opened or created, or when the
// old entry is still there (a missing one is no failure); failed value writes do not count.
bool SetUninstallEntry(const char* entryName, const char* uninstallCommand, const char* displayName,
                       const char* removalPrefix, const char* helpLink, const char* updateInfoUrl,
                       const char* publisher, const char* infoUrl, const char* displayVersion,
                       const char* displayIcon, const char* comments);
