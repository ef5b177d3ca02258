// Finding files and directories, describing what was found, walking a directory, and creating
// directories level by level.
//
// Every successful lookup or enumeration step describes the entry it found in fileInfo. Paths
// are ANSI texts of fewer than MAX_PATH bytes; a path composed here that would not fit is
// refused (false, or an ended enumeration), never cut into another path.
#pragma once

#include <windows.h>

#include "text/dates.h"

const int sizeTextCapacity = 24;

// The description of the entry found last.
struct FileInfo {
    DateStamp createdStamp;   // local time, whole seconds
    DateStamp accessedStamp;
    DateStamp writtenStamp;
    FILETIME creationTime;    // as the find data holds them (UTC)
    FILETIME lastAccessTime;
    FILETIME lastWriteTime;
    DWORD sizeLow;                     // low 32 bits of the size
    char sizeText[sizeTextCapacity];   // "VERZEICHNIS", or the size with grouped thousands
    int createdAgeDays;                // days from each stamp to referenceStamp
    int accessedAgeDays;
    int writtenAgeDays;
    int ageDays;                       // the larger of createdAgeDays and writtenAgeDays
    BYTE isDirectory;
    BYTE isArchive;
    BYTE isHidden;
    BYTE isReadOnly;
    BYTE isSystem;
    BYTE isExcluded;                   // a directory, or a file named thumbs.db (any case)
    BYTE isReparsePoint;               // a link (junction, symbolic link, mount point) or another
                                       // reparse point: its content may lie elsewhere
};

extern WIN32_FIND_DATAA sharedFindData;  // for callers that only want a yes or no
extern BYTE filesOnly;          // set before one FileExists: directories do not count
extern int fileExistsResult;    // 0 found, 1 misuse, 2 only unacceptable entries, 3 nothing
extern DWORD lastFoundSize;     // low 32 bits of the size FileExists found last
extern char lastDirAttempted[MAX_PATH];  // the level CreateDirPath worked on last
extern DateStamp referenceStamp;         // ages count to it; 0.0 here
extern FileInfo fileInfo;

// True when `name` (wildcards allowed) names an entry other than "." and ".."; a name ending
// in a dot accepts its first entry, so "dir\." tests a directory. Without a handle slot the
// search is closed and the record is sharedFindData; with one, a true result leaves the search
// open in the slot for the caller, and a false one leaves null there (nothing to close). Clears
// filesOnly.
bool FileExists(const char* name, HANDLE* handleSlot, WIN32_FIND_DATAA* findData);

// Fills fileInfo from one find-data record.
void DescribeFile(const WIN32_FIND_DATAA* findData);

// Opens an enumeration of `directory` (ending in a backslash; null: patternBuffer holds the
// pattern) with `pattern`, passing over "." and "..". Leaves the search in *handleSlot (null
// when nothing was found) with *count 1, the entry described and its path in fullName (when
// given). Returns a copy of the record.
WIN32_FIND_DATAA FindFirstEntry(HANDLE* handleSlot, WIN32_FIND_DATAA* findData, int* count, char* patternBuffer,
                                char* fullName, const char* directory, const char* pattern);

// The next entry of the enumeration; sets *handleSlot to null, closing the search, at the end.
void FindNextEntry(HANDLE* handleSlot, WIN32_FIND_DATAA* findData, int* count, const char* directory, char* fullName);

// Creates one directory and grants Everyone access to it (inherited by what is created inside
// when inheritable). With withoutDelete the grant holds neither DELETE nor FILE_DELETE_CHILD, so
// it lets nobody delete the directory or anything in it. An existing directory is success unless
// failIfExists. False with the error captured otherwise, also when the grant fails (the new
// directory then stays, with the access list it inherits).
bool CreateDir(const char* path, bool failIfExists, bool withoutDelete, bool inheritable);

// Creates every missing level of `path` (of its directory, when namesFile), each granted as
// CreateDir grants it; a network path's server is never created and administrative "$" levels
// may fail. False with the error captured when a level cannot be created.
bool CreateDirPath(const char* path, bool namesFile, bool withoutDelete);

// Creates every missing level of the directory `path` as CreateDirPath does, but grants nothing:
// each keeps the access list it inherits, as a folder must whose files an administrator or
// another user starts (shortcuts, programs).
bool CreateInheritingDirPath(const char* path);
