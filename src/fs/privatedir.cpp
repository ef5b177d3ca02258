#include "fs/privatedir.h"

#include <ntsecapi.h>
#include <string.h>
#include <wchar.h>

#include "fs/access.h"
#include "text/convert.h"
#include "text/format.h"

PSID testFolderOwner;
void (*testFolderMade)(const char* path);

namespace {

// Room for a security descriptor that holds an owner alone: its header and the longest SID.
const int ownerStorage = sizeof(SECURITY_DESCRIPTOR_RELATIVE) + SECURITY_MAX_SID_SIZE;

// The long form of `path` (pathCapacity units) in place; left as it is when there is none.
void MakeLongForm(WCHAR* path)
{
    WCHAR longForm[pathCapacity];
    const DWORD length = GetLongPathNameW(path, longForm, pathCapacity);
    if (length > 0 && length < static_cast<DWORD>(pathCapacity))
        wcscpy(path, longForm);
}

// Ends `path` before its last backslash; the name behind it, or null when there is none.
const WCHAR* CutLastName(WCHAR* path)
{
    WCHAR* separator = wcsrchr(path, L'\\');
    if (separator == nullptr)
        return nullptr;
    *separator = L'\0';
    return separator + 1;
}

// The directory `path` (ending in a backslash) in its long form without the backslash, wide.
bool WideDirectory(WCHAR* wide, const char* path)
{
    const int units = AnsiToWide(wide, path, pathCapacity);
    if (units < 2)
        return false;
    if (wide[units - 2] == L'\\')
        wide[units - 2] = L'\0';
    MakeLongForm(wide);
    return true;
}

// An unknown token counts as elevated: its folder then goes where a user's is refused.
bool RunsElevated()
{
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;
    const bool known = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return !known || elevation.TokenIsElevated != 0;
}

// The owner the system reports of the open `object`, kept in `storage` (ownerStorage bytes);
// null when it reports none. False when it cannot be asked.
bool ReadOwner(HANDLE object, DWORD* storage, PSID* owner)
{
    DWORD needed = 0;
    BOOL defaulted = FALSE;
    *owner = nullptr;
    return GetKernelObjectSecurity(object, OWNER_SECURITY_INFORMATION, storage, ownerStorage, &needed) &&
           GetSecurityDescriptorOwner(storage, owner, &defaulted);
}

// A folder that a user made, in a place where users may make folders, is the user's to change.
bool OwnedAsParent(HANDLE folder, const WCHAR* parent)
{
    DWORD folderStorage[ownerStorage / sizeof(DWORD)];
    DWORD parentStorage[ownerStorage / sizeof(DWORD)];
    PSID owner = nullptr;
    PSID parentOwner = nullptr;
    if (!ReadOwner(folder, folderStorage, &owner))
        return false;
    if (testFolderOwner != nullptr)
        owner = testFolderOwner;
    if (owner == nullptr || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
        IsWellKnownSid(owner, WinLocalSystemSid))
        return true;
    const HANDLE above = CreateFileW(parent, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (above == INVALID_HANDLE_VALUE)
        return false;
    const bool same = ReadOwner(above, parentStorage, &parentOwner) && parentOwner != nullptr &&
                      EqualSid(owner, parentOwner);
    CloseHandle(above);
    return same;
}

// Opens `folder` (long form, no final backslash) itself, never what a link there leads to,
// sharing no deletion; null, with the error set, unless it is a private folder of `parent`.
HANDLE OpenPrivate(const WCHAR* folder, const WCHAR* parent, DWORD access)
{
    const HANDLE handle = CreateFileW(folder, access | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    const DWORD kind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const int finalCapacity = pathCapacity + 8;  // "\\?\" and the UNC form's extra letters
    BY_HANDLE_FILE_INFORMATION info;
    WCHAR final[finalCapacity];
    const DWORD length = GetFinalPathNameByHandleW(handle, final, finalCapacity, FILE_NAME_NORMALIZED);
    if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & kind) == FILE_ATTRIBUTE_DIRECTORY &&
        length > 4 && length < static_cast<DWORD>(finalCapacity) && wcsncmp(final, L"\\\\?\\", 4) == 0 &&
        SameTextNoCaseW(final + 4, folder) && OwnedAsParent(handle, parent))
        return handle;
    CloseHandle(handle);
    SetLastError(ERROR_DIRECTORY);
    return nullptr;
}

}

bool GetTempDir(char* path)
{
    WCHAR wide[pathCapacity];
    WCHAR shortForm[pathCapacity];
    const DWORD length = GetTempPathW(pathCapacity, wide);
    if (length == 0 || length >= static_cast<DWORD>(pathCapacity)) {
        path[0] = '\0';
        return false;
    }
    if (AnsiDirForm(path, wide))
        return true;
    const DWORD shortLength = GetShortPathNameW(wide, shortForm, pathCapacity);
    if (shortLength > 0 && shortLength < static_cast<DWORD>(pathCapacity) && AnsiDirForm(path, shortForm))
        return true;
    // The Windows directory, which only administrators may write; not its Temp, where every user
    // may create files, so that a DLL put there would be loaded by the elevated copy beside it.
    const UINT windowsLength = GetWindowsDirectoryW(wide, pathCapacity);
    return windowsLength > 0 && windowsLength < static_cast<UINT>(pathCapacity) && AnsiDirForm(path, wide);
}

bool GetPrivateParent(char* path)
{
    if (!RunsElevated())
        return GetTempDir(path);
    // The system's own Windows directory: on a terminal server GetWindowsDirectoryW may give a
    // program a per-user one.
    WCHAR temp[pathCapacity];
    const UINT length = GetSystemWindowsDirectoryW(temp, pathCapacity);
    if (length > 0 && length + 5 < static_cast<UINT>(pathCapacity) && AnsiDirForm(path, wcscat(temp, L"\\Temp")))
        return true;
    path[0] = '\0';
    return false;
}

HANDLE CreatePrivateDir(char* path, const char* parent, const char* prefix)
{
    path[0] = '\0';
    WCHAR wideParent[pathCapacity];
    const bool parentNamed = WideDirectory(wideParent, parent);
    for (int attempt = 0; attempt < privateNameAttempts; ++attempt) {
        DWORD random[privateNameDigits / 8];  // eight digits each
        char candidate[2 * pathCapacity];
        if (SysFailed(RtlGenRandom(random, sizeof(random)), "RtlGenRandom failed"))
            return nullptr;
        FormatInto(candidate, sizeof(candidate), "%s%s%08lX%08lX\\", parent, prefix, random[0], random[1]);
        // Cut, the name would be another folder's.
        if (strlen(candidate) >= static_cast<size_t>(pathCapacity) || !parentNamed) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            CaptureLastError();
            return nullptr;
        }
        if (CreateAdminOnlyDirectory(candidate, RunsElevated())) {
            if (testFolderMade != nullptr)
                testFolderMade(candidate);
            WCHAR made[pathCapacity];
            const HANDLE folder = WideDirectory(made, candidate) ? OpenPrivate(made, wideParent, FILE_LIST_DIRECTORY)
                                                                 : nullptr;
            if (folder != nullptr) {
                strcpy(path, candidate);
                return folder;
            }
            CaptureLastError();
            RemoveDirectoryA(candidate);
            return nullptr;
        }
        if (errorCode != ERROR_ALREADY_EXISTS)
            return nullptr;
    }
    return nullptr;
}

bool InPrivateDir(WCHAR* file, const char* parent, const char* prefix)
{
    WCHAR above[pathCapacity];
    WCHAR widePrefix[pathCapacity];
    WCHAR folder[pathCapacity];
    WCHAR directory[pathCapacity];
    if (!WideDirectory(above, parent) || AnsiToWide(widePrefix, prefix, pathCapacity) == 0)
        return false;
    // The loader may name the program by the long form of the short path it was started with.
    MakeLongForm(file);
    wcscpy(folder, file);
    if (CutLastName(folder) == nullptr)
        return false;
    wcscpy(directory, folder);
    const WCHAR* name = CutLastName(directory);
    const size_t prefixLength = wcslen(widePrefix);
    if (name == nullptr || wcslen(name) != prefixLength + privateNameDigits ||
        _wcsnicmp(name, widePrefix, prefixLength) != 0 ||
        wcsspn(name + prefixLength, L"0123456789ABCDEFabcdef") != static_cast<size_t>(privateNameDigits) ||
        !SameTextNoCaseW(directory, above))
        return false;
    const HANDLE handle = OpenPrivate(folder, above, 0);
    if (handle == nullptr)
        return false;
    CloseHandle(handle);
    return true;
}
