// File operations that tell the user about their failures: each failure gets a warning box
// captioned "Tastaturtreiber-Deinstallation" that ends in the system's text for the error, and
// deletions show on the status line what they are working on.
#pragma once

inline const char reportCaption[] = "Tastaturtreiber-Deinstallation";  // the caption of every report

// Shows a formatted step ("Lösche %s ...") on the program's status line. The main window sets
// it when it is created; while it is null, the steps are shown nowhere.
typedef void (*StatusHook)(const char* format, ...);
extern StatusHook statusHook;

// Copies `source` to `target` (replacing it when overwrite), leaving the copy with the archive
// attribute alone. False, reported when `report`, on failure.
bool CopyFileReported(const char* source, const char* target, bool report, bool overwrite);

// Deletes a file; a missing file counts as deleted. False on failure, with the system error
// captured, and reported when `report`.
bool DeleteFileReported(const char* name, bool report);

// DeleteFileReported with its report, for a file named in UTF-16, as a name outside the code page
// must be: the status line and the report show its ANSI form, the status line also for a file
// that turns out not to be there.
bool DeleteWideFileReported(const wchar_t* name);

// Files in the system directories. With `native` the file lies in systemDir: under WOW64
// redirection is off (DisableFsRedirection) for the file calls alone, on while the status line
// and the report are shown; a redirection that cannot be switched off fails the operation, with
// the system's error, instead of reaching the 32-bit directory. Without it the file lies where
// redirection leaves paths alone (wow64SystemDir). Every error text is built with redirection on.

// True when `name` is there, or when the system cannot tell: a lookup it refuses does not count
// as a missing file.
bool SystemFilePresent(const char* name, bool native);

// Set by DeleteSystemFileReported: its file could not be deleted now and goes at the next restart.
extern bool leftForRestart;

// Deletes `name` as DeleteFileReported does. A file that cannot be deleted (a DLL that a running
// program has mapped) is renamed within its folder to the first free "<name>.<n>.del" (n from 1
// to asideAttempts), so that its own name is free at once, and the new name is scheduled for
// deletion at the next restart; a file that cannot be renamed (open without shared deletion) is
// scheduled under its own name. The status line says so; leftForRestart is set. False, with the
// deletion's error captured and reported when `report`, when the file stays as it was: neither
// deleted nor scheduled, a renamed file put back under its name.
bool DeleteSystemFileReported(const char* name, bool native, bool report);
const int asideAttempts = 9;

// DeleteFileReported on `directory` (ending in a backslash) followed by `name`; a path that
// would not fit is refused.
bool DeleteFileInDir(const char* directory, const char* name, bool report);

// Removes an empty directory; always reports a failure.
bool RemoveDirReported(const char* path);

// Deletes the entry that fileInfo describes, found at `path`: a file, or a directory with
// everything below it (DeleteTree). A link (junction, symbolic link, mount point: any reparse
// point) is removed itself and never entered, so what it leads to stays. True when it is gone.
bool DeleteFoundEntry(const char* path);

// Deletes `directory` (ending in a backslash) with everything below it, reporting each entry
// that cannot be removed and going on with the rest; links inside are removed, not followed.
// True when the directory is gone. A path without its final separator ("", "C:") or one that
// resolves to the root of a drive or a share ("\", "C:\", "\\server\share\") is refused and
// reported before anything is looked at or deleted.
bool DeleteTree(const char* directory);
