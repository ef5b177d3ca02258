#include "fs/lookup.h"

#include <string.h>

#include "fs/access.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/numbers.h"
#include "text/paths.h"

WIN32_FIND_DATAA sharedFindData;
BYTE filesOnly;
int fileExistsResult;
DWORD lastFoundSize;
char lastDirAttempted[MAX_PATH];
DateStamp referenceStamp;
FileInfo fileInfo;

namespace {

const DWORD accessWithDelete = 0xE01300EF;
// FILE_DELETE_CHILD (0x40) goes with DELETE: on a folder it lets its holder delete any child,
// whatever the child's own list says.
const DWORD accessWithoutDelete = 0xE01200AF;

DWORD GrantFor(bool withoutDelete)
{
    return withoutDelete ? accessWithoutDelete : accessWithDelete;
}

bool IsDotEntry(const char* name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Ends a lookup as the platform would end a call with a name it cannot take.
void RefuseLongPath()
{
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    CaptureLastError();
}

// Joins the parts into `path` (MAX_PATH bytes); false, leaving it empty, when they do not fit.
bool JoinPath(char* path, const char* first, const char* second, const char* third)
{
    path[0] = '\0';
    if (AppendWhole(path, MAX_PATH, first) && AppendWhole(path, MAX_PATH, second) && AppendWhole(path, MAX_PATH, third))
        return true;
    path[0] = '\0';
    return false;
}

// The full name of an enumerated entry: directory, a separator where it lacks one, the name.
bool BuildFullName(char* fullName, const char* directory, const char* name)
{
    if (directory == nullptr)
        return JoinPath(fullName, "", "", name);
    const size_t length = strlen(directory);
    const bool separated = length > 0 && IsPathSeparator(directory[length - 1]);
    return JoinPath(fullName, directory, separated ? "" : "\\", name);
}

DateStamp LocalStamp(const FILETIME& time)
{
    FILETIME local = {};
    SYSTEMTIME parts = {};
    FileTimeToLocalFileTime(&time, &local);
    FileTimeToSystemTime(&local, &parts);
    return MakeStamp(parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
}

// Delivers the entry in findData to the enumeration's caller; an entry whose full name does
// not fit ends the enumeration instead of handing out a cut path.
void DeliverEntry(HANDLE* handleSlot, const WIN32_FIND_DATAA* findData, int* count, const char* directory,
                  char* fullName)
{
    if (fullName != nullptr && !BuildFullName(fullName, directory, findData->cFileName)) {
        FindClose(*handleSlot);
        *handleSlot = nullptr;
        RefuseLongPath();
        return;
    }
    ++*count;
    DescribeFile(findData);
}

// A bare server named by its numeric address ("\\192.168.0.1") cannot be created and need not be.
bool IsNumericServer(const char* path)
{
    if (path[0] != '\\' || path[1] != '\\')
        return false;
    for (const char* c = path + 2; *c != '\0'; ++c) {
        if (!(*c >= '0' && *c <= '9') && *c != '.')
            return false;
    }
    return true;
}

// Ends a FileExists that accepted nothing. The slot holds no handle then, so that a caller who
// closes it closes nothing twice.
bool NotFound(HANDLE* slot, int result)
{
    *slot = nullptr;
    filesOnly = 0;
    fileExistsResult = result;
    return false;
}

}

bool FileExists(const char* name, HANDLE* handleSlot, WIN32_FIND_DATAA* findData)
{
    sysErrorText[0] = '\0';
    HANDLE ownHandle = nullptr;
    HANDLE* slot = &ownHandle;
    WIN32_FIND_DATAA* record = &sharedFindData;
    if (handleSlot != nullptr) {
        if (findData == nullptr) {
            CopyText(sysErrorText, errorTextCapacity, "FEHLAUFRUF FileExists");
            return NotFound(handleSlot, 1);
        }
        slot = handleSlot;
        record = findData;
    }
    *slot = FindFirstFileA(name, record);
    if (*slot == INVALID_HANDLE_VALUE) {
        CaptureLastError();
        return NotFound(slot, 3);
    }
    const size_t length = strlen(name);
    const bool acceptFirst = length > 0 && name[length - 1] == '.';
    while (!acceptFirst &&
           (IsDotEntry(record->cFileName) || (filesOnly && (record->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)))) {
        if (!FindNextFileA(*slot, record)) {
            FindClose(*slot);
            return NotFound(slot, 2);
        }
    }
    lastFoundSize = record->nFileSizeLow;
    if (handleSlot == nullptr)
        FindClose(ownHandle);
    filesOnly = 0;
    DescribeFile(record);
    fileExistsResult = 0;
    return true;
}

void DescribeFile(const WIN32_FIND_DATAA* findData)
{
    fileInfo.creationTime = findData->ftCreationTime;
    fileInfo.lastAccessTime = findData->ftLastAccessTime;
    fileInfo.lastWriteTime = findData->ftLastWriteTime;
    const DWORD attributes = findData->dwFileAttributes;
    fileInfo.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    fileInfo.sizeLow = findData->nFileSizeLow;
    if (fileInfo.isDirectory)
        CopyText(fileInfo.sizeText, sizeTextCapacity, "VERZEICHNIS");
    else
        FormatNumber(fileInfo.sizeText, sizeTextCapacity, static_cast<int>(fileInfo.sizeLow), 0, false);
    fileInfo.createdStamp = LocalStamp(findData->ftCreationTime);
    fileInfo.accessedStamp = LocalStamp(findData->ftLastAccessTime);
    fileInfo.writtenStamp = LocalStamp(findData->ftLastWriteTime);

    const int reference = static_cast<int>(StampDayNumber(referenceStamp));
    fileInfo.createdAgeDays = reference - static_cast<int>(StampDayNumber(fileInfo.createdStamp));
    fileInfo.accessedAgeDays = reference - static_cast<int>(StampDayNumber(fileInfo.accessedStamp));
    fileInfo.writtenAgeDays = reference - static_cast<int>(StampDayNumber(fileInfo.writtenStamp));
    fileInfo.ageDays =
        fileInfo.createdAgeDays > fileInfo.writtenAgeDays ? fileInfo.createdAgeDays : fileInfo.writtenAgeDays;

    fileInfo.isArchive = (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
    fileInfo.isHidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    fileInfo.isReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    fileInfo.isSystem = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    fileInfo.isExcluded = fileInfo.isDirectory || SameTextNoCase(findData->cFileName, "thumbs.db");
    fileInfo.isReparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

WIN32_FIND_DATAA FindFirstEntry(HANDLE* handleSlot, WIN32_FIND_DATAA* findData, int* count, char* patternBuffer,
                                char* fullName, const char* directory, const char* pattern)
{
    memset(findData, 0, sizeof(*findData));
    sysErrorText[0] = '\0';
    *count = 0;
    *handleSlot = nullptr;
    if (directory != nullptr) {
        const size_t length = strlen(directory);
        // A pattern such as ".pdf" after a directory means every file of that extension.
        const bool star = length > 0 && directory[length - 1] == '\\' && pattern[0] == '.';
        if (!JoinPath(patternBuffer, directory, star ? "*" : "", pattern)) {
            RefuseLongPath();
            DescribeFile(findData);
            return *findData;
        }
    }
    const HANDLE search = FindFirstFileA(patternBuffer, findData);
    if (search == INVALID_HANDLE_VALUE) {
        CaptureLastError();
        DescribeFile(findData);
        return *findData;
    }
    while (IsDotEntry(findData->cFileName)) {
        DescribeFile(findData);
        if (!FindNextFileA(search, findData)) {
            FindClose(search);
            return *findData;
        }
    }
    *handleSlot = search;
    DeliverEntry(handleSlot, findData, count, directory, fullName);
    return *findData;
}

void FindNextEntry(HANDLE* handleSlot, WIN32_FIND_DATAA* findData, int* count, const char* directory, char* fullName)
{
    if (*handleSlot == nullptr)
        return;
    do {
        if (!FindNextFileA(*handleSlot, findData)) {
            FindClose(*handleSlot);
            *handleSlot = nullptr;
            return;
        }
    } while (IsDotEntry(findData->cFileName));
    DeliverEntry(handleSlot, findData, count, directory, fullName);
}

namespace {

// One level; a new one gives Everyone `grant`, or with 0 keeps what it inherits from its parent.
bool MakeDir(const char* path, bool failIfExists, DWORD grant, bool inheritable)
{
    char directory[MAX_PATH];
    if (!JoinPath(directory, path, "", "")) {
        RefuseLongPath();
        return false;
    }
    RemovePathSeparator(directory);
    // A folder without the access it was made for would fail its users later, without a word.
    if (CreateDirectoryA(directory, nullptr))
        return grant == 0 || GrantAccess(directory, nullptr, grant, inheritable);
    CaptureLastError();
    if (!failIfExists && errorCode16 == ERROR_ALREADY_EXISTS)
        return true;
    return errorCode16 == ERROR_INVALID_NAME && IsNumericServer(directory);
}

bool MakeDirPath(const char* path, bool namesFile, DWORD grant)
{
    // A cut path would create directories nobody asked for.
    char directory[MAX_PATH];
    if (!JoinPath(directory, path, "", "")) {
        RefuseLongPath();
        return false;
    }
    if (namesFile) {
        char* lastSeparator = strrchr(directory, '\\');
        *(lastSeparator != nullptr ? lastSeparator + 1 : directory) = '\0';
    }
    RemovePathSeparator(directory);
    if (MakeDir(directory, false, grant, false)) {
        CopyText(lastDirAttempted, MAX_PATH, directory);
        return true;
    }

    const bool network = path[0] == '\\' && path[1] == '\\';
    bool serverPassed = false;
    char prefix[MAX_PATH];
    size_t length = 0;
    for (const char* c = path; *c != '\0'; ++c) {
        // Behind a drive or the start of a network path there is nothing to create.
        const char last = length > 0 ? prefix[length - 1] : '\0';
        if (*c == '\\' && c != path && last != ':' && last != '\\') {
            if (network && !serverPassed) {
                serverPassed = true;
            } else {
                CopyText(lastDirAttempted, MAX_PATH, prefix);
                // Administrative shares ("C$") cannot be created and need not be.
                if (!MakeDir(prefix, false, grant, false) && last != '$')
                    return false;
            }
        }
        prefix[length++] = *c;
        prefix[length] = '\0';
    }
    if (!namesFile && length > 0 && prefix[length - 1] != '\\')
        return MakeDir(prefix, false, grant, false);
    return true;
}

}

bool CreateDir(const char* path, bool failIfExists, bool withoutDelete, bool inheritable)
{
    return MakeDir(path, failIfExists, GrantFor(withoutDelete), inheritable);
}

bool CreateDirPath(const char* path, bool namesFile, bool withoutDelete)
{
    return MakeDirPath(path, namesFile, GrantFor(withoutDelete));
}

bool CreateInheritingDirPath(const char* path)
{
    return MakeDirPath(path, false, 0);
}
