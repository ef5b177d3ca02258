// Shell folders, shortcuts and the system directories.
//
// The directories the uninstaller works in are fixed once per run by ResolveInstallDirs. Under
// WOW64 systemDir reaches the native system directory only while DisableFsRedirection has
// switched file-system redirection off for the thread, until RevertFsRedirection; the 32-bit one
// is wow64SystemDir. Keep it off only around file calls on systemDir: with it off, a call that
// loads a DLL on demand (a box, a window's painting, the shell's folders and links) may load the
// 64-bit one. Nothing here shows a message or the status line: every operation reports by its
// result alone.
//
// The shell names its folders in UTF-16; the wide operations keep them so. The ANSI ones give a
// folder only when its ANSI form names the same folder: outside the code page a letter would
// become a look-alike ("Doğan" becomes "Dogan"), another user's folder. Paths are texts of fewer
// than pathCapacity units. A path composed here that would not fit (a folder with its final
// backslash, a folder plus the shortcut's name and ".LNK", Program Files plus the product
// folder) is refused, never cut into another path.
//
// Shortcut folder selector (`folder`), read in this order:
//   null                         the desktop: CSIDL_DESKTOPDIRECTORY, or with `common`
//                                CSIDL_COMMON_DESKTOPDIRECTORY
//   a number below 256 (passed   that CSIDL
//   as MAKEINTRESOURCE does)
//   a text such as "X:..."       that drive path itself
//   any other text               the Programs menu (CSIDL_PROGRAMS, or with `common`
//                                CSIDL_COMMON_PROGRAMS) with the text as subfolder when not empty
// When `common` is set and the shell cannot name the folder, the user's own folder is taken:
// the desktop for a null selector, the Programs menu for every other selector the shell names.
#pragma once

#include <windows.h>

#include "text/paths.h"

extern bool isWow64;       // a 32-bit process on 64-bit Windows; WinMain sets it at start-up
extern HWND ownerWindow;   // owner of the shell's folder calls; the main window sets it
extern char systemDir[pathCapacity];       // the system directory with its final backslash
extern char wow64SystemDir[pathCapacity];  // the same for the 32-bit system directory; empty outside WOW64
extern char productDir[pathCapacity];      // Program Files and the product's folder, no final backslash
extern PVOID savedRedirection;             // what DisableFsRedirection was handed; null until then

// The shell's folder `csidl` into `path` (pathCapacity bytes) without a final separator; owned
// by ownerWindow. False, with `path` empty, when the shell cannot name it as a file-system path.
bool GetSpecialFolder(char* path, int csidl);

// The folder a shortcut selector names, into `path` (pathCapacity units) with a final backslash.
// False, with `path` empty, when the shell cannot name it or it does not fit.
bool GetShortcutFolderW(WCHAR* path, HWND owner, LPCSTR folder, bool common);
bool GetShortcutFolder(char* path, HWND owner, LPCSTR folder, bool common);

// The path of the shortcut `name`.LNK in the selected folder, into `path` (pathCapacity units).
// False, with `path` empty, when the folder cannot be named or the path does not fit.
bool GetShortcutPath(WCHAR* path, HWND owner, LPCSTR folder, const char* name, bool common);

// Saves a shortcut `name`.LNK to `target` in the selected folder, creating that folder when it
// is missing with the access list it inherits (no grant). Null `arguments`, `workingDir` and
// `description` are left unset; a null `iconPath` takes the icon from `target`; the working
// directory loses a final separator. True only when the file was saved.
bool CreateShortcut(HWND owner, const char* target, const char* arguments, LPCSTR folder, const char* name,
                    const char* workingDir, const char* iconPath, int iconIndex, const char* description,
                    int showCmd, bool common);

// Deletes `name`.LNK in the selected folder; false when it is not there or cannot be deleted.
bool DeleteShortcut(HWND owner, LPCSTR folder, const char* name, bool common);

// Fills systemDir, wow64SystemDir (under isWow64 only) and productDir (`productFolder` below
// Program Files), each left empty when the system cannot name it within a path; Program Files
// falls back to the Windows directory's "Programme". Redirection is left as it is.
void ResolveInstallDirs(const char* productFolder);

// Under isWow64 switches redirection off, keeping the token in savedRedirection. While it is off
// a second call changes nothing, so that one RevertFsRedirection brings back what was before.
// False, with the system's error for GetLastError, when under isWow64 it stays on: a file call
// meant for the native system directory would then reach the 32-bit one.
bool DisableFsRedirection();

// Hands savedRedirection back, switching redirection on again, when DisableFsRedirection switched
// it off and it is still off; otherwise nothing, so that a second call changes nothing.
void RevertFsRedirection();

// Loads the DLL `name` from the system directory alone, never through the search path: the
// program runs elevated, and a DLL of that name beside it or in the current directory must not
// be loaded. A WOW64 process needs redirection on to reach its own 32-bit system directory. Null
// when it is not there; the caller frees it with FreeLibrary.
HMODULE LoadSystemDll(const WCHAR* name);
