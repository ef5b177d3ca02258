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

// A lookup that failed because nothing is there, not because the system refused to look.
bool IsAbsent()
{
    return fileExistsResult != 3 || errorCode16 == ERROR_FILE_NOT_FOUND || errorCode16 == ERROR_PATH_NOT_FOUND;
}

// Under `native` switches redirection off for the file call that follows, or with `off` clear
// on again after it.
void NativeView(bool native, bool off)
{
    if (native)
        off ? DisableFsRedirection() : RevertFsRedirection();
}

// Deletes `name`; under `native` with redirection off for the lookup and the deletion alone: the
// status line paints and the report shows with it on, as every window must.
bool DeleteReported(const char* name, bool report, bool native)
{
    NativeView(native, true);
    // A file that is not there counts as deleted; one the system would not even look for is
    // tried anyway, so that its failure is reported rather than taken for success.
    const bool absent = !FileExists(name, nullptr, &sharedFindData) && IsAbsent();
    NativeView(native, false);
    if (absent)
        return true;
    ShowStep("Lösche %s ...", name);
    NativeView(native, true);
    const bool deleted = DeleteFileA(name) != FALSE;
    if (!deleted)
        CaptureLastError();
    NativeView(native, false);
    if (!deleted && report)
        ReportDeleteFailure(name);
    return deleted;
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
    return DeleteReported(name, report, false);
}

bool DeleteSystemFileReported(const char* name)
{
    return DeleteReported(name, true, true);
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
    CaptureLastError();
    if (errorCode == ERROR_FILE_NOT_FOUND || errorCode == ERROR_PATH_NOT_FOUND)
        return true;
    ReportDeleteFailure(shown);
    return false;
}
