// Private folders: a new folder of the program's own, made where the user cannot steer it, held
// open until what is put there has started, and known again afterwards by where it lies and who
// owns it.
//
// An elevated process must not take its place from the environment: TMP and TEMP come from the
// user's own HKEY_CURRENT_USER\Environment, which any process of the user may point at a network
// path or through a junction the user switches. Elevated, private folders are therefore made in
// the Windows directory's Temp, where users may create entries but neither rename nor delete an
// administrator's. Unelevated (started in a way that skips the manifest) the user's temporary
// directory serves: there the program has no more rights than the user.
//
// A folder is taken as a private one only through a handle that does not follow links: a
// directory, no reparse point, its final path the one named, and owned by Administrators, SYSTEM
// or the owner of the folder it lies in (who may change all of it anyway); a system that reports
// no owner leaves the owner out. Paths are ANSI texts of fewer than pathCapacity bytes.
#pragma once

#include <windows.h>

#include "text/paths.h"

// Digits of the random part of a private folder's name, and how many names are tried.
const int privateNameDigits = 16;
const int privateNameAttempts = 8;

// For tests only, null in the program: when set, stands in for the owner the system reports of
// every private folder looked at, as Wine reports the Linux file's user for every folder.
extern PSID testFolderOwner;

// For tests only, null in the program: when set, called with a new private folder's path right
// after its creation, before it is opened, to do what another process could do in between.
extern void (*testFolderMade)(const char* path);

// The user's temporary directory with a final backslash, as a path the ANSI file calls open,
// into `path` (pathCapacity bytes): its ANSI form when that names it, else its short (8.3) form
// when that does, else the Windows directory, which only administrators may write. False, with
// `path` empty, when the system names no temporary directory or none of them can be named.
bool GetTempDir(char* path);

// The folder private folders are made in, with a final backslash, into `path` (pathCapacity
// bytes): elevated, the Windows directory's Temp (the system's own, never from the environment);
// otherwise GetTempDir. False, with `path` empty, when it cannot be named.
bool GetPrivateParent(char* path);

// Creates a new folder directly in `parent` (ending in a backslash), named `prefix` and
// privateNameDigits random hexadecimal digits, that nobody could name beforehand, with the
// access list of CreateAdminOnlyDirectory, owned by Administrators when the process is elevated;
// never one that exists already. Its path with a final
// backslash goes into `path` (pathCapacity bytes). Returns a handle that shares no deletion:
// until it is closed nobody can rename or remove the folder. Null, with `path` empty, no folder
// left and the system error captured, when no folder can be created or the one opened is not
// the folder made (swapped for a link, a file, or a folder of another owner).
HANDLE CreatePrivateDir(char* path, const char* parent, const char* prefix);

// True when the file `file` lies directly in a private folder of `parent` (ending in a
// backslash): one named as CreatePrivateDir names them (`prefix` and the digits, in any letter
// case), whichever long or short form names either, and taken through its handle as described
// above. `file` (pathCapacity units) is turned into its long form.
bool InPrivateDir(WCHAR* file, const char* parent, const char* prefix);
