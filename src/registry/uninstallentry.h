// The product's entry in the Windows list of installed programs, under HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall".
#pragma once

inline const char uninstallListPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// First removes every entry whose name begins with `removalPrefix` (case ignored), when a
// non-empty one is given, except `entryName` itself. Without an uninstall command, then removes
// the entry `entryName` with everything below it, and does both in the 32-bit registry view and
// then in the 64-bit one (the same on 32-bit Windows), whichever holds it. With one, writes it in
// the process's own view, in place of an old one, which keeps none of its values: "DisplayName"
// (displayName, else entryName), "UninstallString", and each further value that is given. Every
// argument but the first may be null.
// False when the name is empty or the list's key cannot be opened (or for a write, created);
// after a removal, when the old entry is still there in either view (a missing one is no
// failure); after a write, when the entry's key cannot be opened or created (an old entry stays
// as it was), when "DisplayName" or "UninstallString" cannot be written (the entry is deleted:
// it could not uninstall anything), or when an old value stays beside the new ones. A further
// value that cannot be written is left out. Entries of the prefix that stay do not count.
bool SetUninstallEntry(const char* entryName, const char* uninstallCommand, const char* displayName,
                       const char* removalPrefix, const char* helpLink, const char* updateInfoUrl,
                       const char* publisher, const char* infoUrl, const char* displayVersion,
                       const char* displayIcon, const char* comments);
