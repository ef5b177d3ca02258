#include "fs/fileops.h"

#include <windows.h>

#include <string.h>

#include "fs/lookup.h"
#include "fs/shell.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/msgbox.h"
#include "text/paths.h"

StatusHook statusHook;
bool leftForRestart;

namespace {

void ShowStep(const char* format, const char* path)
{
    if (statusHook != nullptr)
        statusHook(format, path);
}

void ReportDeleteFailure(const char* name)
{
    MsgWarningTitled(reportCaption, "Folgende Datei kann nicht gelöscht werden:\n%s\n\n%s", name, sysErrorText);
}

void ReportDirectoryFailure(const char* path)
{
    MsgWarningTitled(reportCaption, "Folgendes Verzeichnis kann nicht gelöscht werden:\n%s\n\n%s", path, sysErrorText);
}

// True for a directory path (ending in a separator) that the system resolves to a folder below
// a root: not the current directory (""), a drive ("\", "C:\", "C:\..\") or a share
// ("\\server\share\").
bool IsBelowRoot(const char* directory)
{
    const size_t length = strlen(directory);
    char full[MAX_PATH];
    const DWORD fullLength =
        length > 0 && IsPathSeparator(directory[length - 1]) ? GetFullPathNameA(directory, MAX_PATH, full, nullptr) : 0;
    if (fullLength < 3 || fullLength >= static_cast<DWORD>(MAX_PATH))
        return false;
    // Past "C:", or past the server and the share of "\\server\share" (four names in the long
    // form "\\?\UNC\server\share"), then the separators.
    const char* rest = full + 2;
    const bool longShare = (full[2] == '?' || full[2] == '.') && _strnicmp(full + 3, "\\UNC\\", 5) == 0;
    const int names = !IsPathSeparator(full[0]) ? 0 : longShare ? 4 : 2;
    for (int name = 0; name < names; ++name) {
        rest += strcspn(rest, "\\/");
        rest += strspn(rest, "\\/");
    }
    rest += strspn(rest, "\\/");
    return *rest != '\0';
}

// A lookup that failed with `code` because nothing is there, not because the system refused to
// look.
bool IsAbsent(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// Switches redirection off under `native` for the file calls that follow; false, with the system's
// error in `failure`, when it stays on.
bool NativeOff(bool native, DWORD* failure)
{
    if (!native || DisableFsRedirection())
        return true;
    *failure = GetLastError();
    return false;
}

void NativeOn(bool native)
{
    if (native)
        RevertFsRedirection();
}

// True when `name` is there or cannot be looked for; `failure` gets the lookup's error.
bool Present(const char* name, bool native, DWORD* failure)
{
    if (!NativeOff(native, failure))
        return true;
    const bool found = GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
    if (!found)
        *failure = GetLastError();
    NativeOn(native);
    return found || !IsAbsent(*failure);
}

// Schedules `name` for deletion at the next restart.
bool ScheduleDeletion(const char* name)
{
    return MoveFileExA(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// Renames `name` within its folder to the first free "<name>.<n>.del", kept in `aside`
// (MAX_PATH bytes); false when it cannot be renamed or no such name is free.
bool RenameAside(const char* name, char* aside)
{
    static_assert(asideAttempts <= 9, "one digit");
    // Cut, the name would be another file's.
    if (strlen(name) + sizeof(".9.del") > static_cast<size_t>(MAX_PATH))
        return false;
    for (int n = 1; n <= asideAttempts; ++n) {
        FormatInto(aside, MAX_PATH, "%s.%d.del", name, n);
        if (MoveFileExA(name, aside, 0))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// The file calls of a deletion, in the view `native` chooses: the deletion, and with
// `atRestart` what leaves the file to the next restart when it fails. True when it is done or
// left to the restart; false with its error in `failure`.
bool Delete(const char* name, bool native, bool atRestart, DWORD* failure)
{
    if (!NativeOff(native, failure))
        return false;
    bool done = DeleteFileA(name) != FALSE;
    if (!done) {
        *failure = GetLastError();
        char aside[MAX_PATH];
        if (atRestart && RenameAside(name, aside)) {
            done = ScheduleDeletion(aside);
            // Back under its own name, the layout keeps its DLL and the installation stays whole.
            if (!done)
                MoveFileExA(aside, name, 0);
        } else if (atRestart) {
            done = ScheduleDeletion(name);
        }
        leftForRestart = done;
    }
    NativeOn(native);
    return done;
}

// Deletes `name`; a file that is not there counts as deleted, and one the system would not even
// look for is tried anyway, so that its failure is reported rather than taken for success.
bool DeleteReported(const char* name, bool report, bool native, bool atRestart)
{
    DWORD failure = ERROR_SUCCESS;
    leftForRestart = false;
    if (!Present(name, native, &failure))
        return true;
    ShowStep("Lösche %s ...", name);
    if (Delete(name, native, atRestart, &failure)) {
        if (leftForRestart)
            ShowStep("%s wird beim nächsten Neustart von Windows gelöscht.", name);
        return true;
    }
    KeepError(failure);
    if (report)
        ReportDeleteFailure(name);
    return false;
}
}

bool CopyFileReported(const char* source, const char* target, bool report, bool overwrite)
{
    if (CopyFileA(source, target, overwrite ? FALSE : TRUE)) {
        // A read-only, hidden or system source still gives a plain, writable copy.
        SetFileAttributesA(target, FILE_ATTRIBUTE_ARCHIVE);
        return true;
    }
    CaptureLastError();
    if (report)
        MsgWarningTitled(reportCaption, "Kopieren einer Datei fehlgeschlagen.\n\nQuelle: %s\nZiel: %s\n\n%s", source,
                         target, sysErrorText);
    return false;
}

bool DeleteFileReported(const char* name, bool report)
{
    return DeleteReported(name, report, false, false);
}

bool SystemFilePresent(const char* name, bool native)
{
    DWORD failure = ERROR_SUCCESS;
    return Present(name, native, &failure);
}

bool DeleteSystemFileReported(const char* name, bool native, bool report)
{
    return DeleteReported(name, report, native, true);
}

bool DeleteFileInDir(const char* directory, const char* name, bool report)
{
    char path[2 * MAX_PATH];
    if (ComposePath(path, directory, name))
        return DeleteFileReported(path, report);
    // Cut, the path would name another file: refuse it, and show the whole name.
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    if (report) {
        CaptureLastError();
        ReportDeleteFailure(path);
    }
    return false;
}

bool RemoveDirReported(const char* path)
{
    ShowStep("Lösche Verzeichnis %s ...", path);
    if (RemoveDirectoryA(path))
        return true;
    CaptureLastError();
    ReportDirectoryFailure(path);
    return false;
}

bool DeleteFoundEntry(const char* path)
{
    if (!fileInfo.isDirectory)
        return DeleteFileReported(path, true);
    // A junction, a symbolic link or a mount point leads out of the tree: only the link goes.
    if (fileInfo.isReparsePoint)
        return RemoveDirReported(path);
    char subdirectory[MAX_PATH];
    // A subdirectory whose path has no room left stays, and its parent's removal says so.
    return strlen(path) + 1 < static_cast<size_t>(MAX_PATH) && DeleteTree(strcat(strcpy(subdirectory, path), "\\"));
}

bool DeleteTree(const char* directory)
{
    // With administrator rights a walk from a root would empty the whole drive or share.
    if (!IsBelowRoot(directory)) {
        SetLastError(ERROR_DIRECTORY);
        CaptureLastError();
        ReportDirectoryFailure(directory);
        return false;
    }
    HANDLE search = nullptr;
    WIN32_FIND_DATAA findData;
    int count = 0;
    char pattern[MAX_PATH];
    char fullName[MAX_PATH];
    FindFirstEntry(&search, &findData, &count, pattern, fullName, directory, "*.*");
    while (search != nullptr) {
        DeleteFoundEntry(fullName);
        FindNextEntry(&search, &findData, &count, directory, fullName);
    }
    char path[MAX_PATH];
    lstrcpynA(path, directory, MAX_PATH);
    const size_t length = strlen(path);
    if (length > 0)
        path[length - 1] = '\0';
    return RemoveDirReported(path);
}

bool DeleteWideFileReported(const wchar_t* name)
{
    char shown[pathCapacity];
    WideToAnsi(shown, name, pathCapacity);
    ShowStep("Lösche %s ...", shown);
    if (DeleteFileW(name))
        return true;
    if (IsAbsent(CaptureLastError()))
        return true;
    ReportDeleteFailure(shown);
    return false;
}
