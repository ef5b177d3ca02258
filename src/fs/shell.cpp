#include "fs/shell.h"

#include <ntsecapi.h>
#include <shlobj.h>
#include <string.h>
#include <wchar.h>

#include "fs/access.h"
#include "fs/lookup.h"
#include "text/convert.h"
#include "text/format.h"

bool isWow64;
HWND ownerWindow;
char systemDir[pathCapacity];
char wow64SystemDir[pathCapacity];
char productDir[pathCapacity];
PVOID savedRedirection;

namespace {

bool redirectionOff;  // DisableFsRedirection switched it off and nothing has switched it on since

typedef BOOL(WINAPI* DisableRedirectionFunction)(PVOID*);
typedef BOOL(WINAPI* RevertRedirectionFunction)(PVOID);
typedef UINT(WINAPI* DirectoryFunction)(LPSTR, UINT);

// The WOW64 functions are looked up at run time: 32-bit Windows without WOW64 lacks them and
// would refuse to load a program that imports them.
void* KernelFunction(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), name));
}

// Appends `text` when the whole still fits a path; false leaves `path` as it was.
bool AppendText(char* path, const char* text)
{
    return AppendWhole(path, pathCapacity, text);
}

// Makes `path` end in a separator; false when there is no room for it.
bool EndWithSeparator(char* path)
{
    AddPathSeparator(path);
    return IsPathSeparator(path[strlen(path) - 1]);
}

// The file-system path of a shell folder. A virtual folder (the drives, the printers) has a
// location but no path, and counts as not found.
bool ShellFolderPath(char* path, HWND owner, int csidl)
{
    path[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return false;
    bool found = false;
    LPITEMIDLIST items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(owner, csidl, &items))) {
        found = SHGetPathFromIDListA(items, path) != FALSE;
        allocator->Free(items);
    }
    allocator->Release();
    if (!found)
        path[0] = '\0';
    return found;
}

// Saves the link as `name`.LNK in the selected folder, creating the folder when it is missing.
bool SaveShortcut(IPersistFile* file, HWND owner, LPCSTR folder, const char* name, bool common)
{
    char folderPath[pathCapacity];
    char linkPath[pathCapacity];
    WCHAR widePath[pathCapacity];
    if (!GetShortcutFolder(folderPath, owner, folder, common))
        return false;
    strcpy(linkPath, folderPath);
    if (!AppendText(linkPath, name) || !AppendText(linkPath, ".LNK") ||
        AnsiToWide(widePath, linkPath, pathCapacity) == 0)
        return false;
    // A folder that cannot be created shows in the failed save. No grant: in a folder every user
    // may write, any of them could replace a shortcut that an administrator or another user starts.
    CreateInheritingDirPath(folderPath);
    const HRESULT saved = file->Save(widePath, TRUE);
    file->SaveCompleted(widePath);
    return SUCCEEDED(saved);
}

// Fills `directory` through a call of GetSystemDirectoryA's kind and adds the separator. A
// directory the call cannot name, or one without room for the separator, leaves it empty.
void FillDirectory(char* directory, DirectoryFunction query)
{
    memset(directory, 0, pathCapacity);
    const UINT length = query != nullptr ? query(directory, pathCapacity) : 0;
    // A result as large as the buffer is the size the call would have needed.
    if (length == 0 || length >= static_cast<UINT>(pathCapacity) || !EndWithSeparator(directory))
        directory[0] = '\0';
}

// `wide` as an ANSI path in `path` (pathCapacity bytes), when that names the same path: a letter
// the code page lacks would become a look-alike ("Doğan" becomes "Dogan"), naming another folder.
bool AnsiForm(char* path, const WCHAR* wide)
{
    WCHAR back[pathCapacity];
    return WideToAnsi(path, wide, pathCapacity) > 0 && AnsiToWide(back, path, pathCapacity) > 0 &&
           wcscmp(back, wide) == 0 && EndWithSeparator(path);
}

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

// Program Files, or the Windows directory's "Programme" where the shell does not know it.
bool ProgramsRoot(char* path)
{
    if (GetSpecialFolder(path, CSIDL_PROGRAM_FILES))
        return true;
    const UINT length = GetWindowsDirectoryA(path, pathCapacity);
    return length > 0 && length < static_cast<UINT>(pathCapacity) && EndWithSeparator(path) &&
           AppendText(path, "Programme");
}

}

bool GetSpecialFolder(char* path, int csidl)
{
    return ShellFolderPath(path, ownerWindow, csidl);
}

bool GetShortcutFolder(char* path, HWND owner, LPCSTR folder, bool common)
{
    path[0] = '\0';
    const ULONG_PTR selector = reinterpret_cast<ULONG_PTR>(folder);
    const bool isText = selector >= 256;
    bool found;
    if (isText && folder[0] != '\0' && folder[1] == ':') {
        found = AppendText(path, folder);
    } else {
        int csidl = common ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
        int fallback = CSIDL_PROGRAMS;
        if (folder == nullptr) {
            csidl = common ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY;
            fallback = CSIDL_DESKTOPDIRECTORY;
        } else if (!isText) {
            csidl = static_cast<int>(selector);
        }
        found = ShellFolderPath(path, owner, csidl) || (common && ShellFolderPath(path, owner, fallback));
        if (found && isText && folder[0] != '\0')
            found = EndWithSeparator(path) && AppendText(path, folder);
    }
    found = found && EndWithSeparator(path);
    if (!found)
        path[0] = '\0';
    return found;
}

bool CreateShortcut(HWND owner, const char* target, const char* arguments, LPCSTR folder, const char* name,
                    const char* workingDir, const char* iconPath, int iconIndex, const char* description,
                    int showCmd, bool common)
{
    // A working directory cut short would be another directory.
    char workingPath[pathCapacity] = "";
    if (workingDir != nullptr && !AppendText(workingPath, workingDir))
        return false;
    RemovePathSeparator(workingPath);

    const HRESULT comState = CoInitialize(nullptr);
    bool saved = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            HRESULT result = link->SetPath(target);
            if (SUCCEEDED(result) && arguments != nullptr)
                result = link->SetArguments(arguments);
            if (SUCCEEDED(result) && workingPath[0] != '\0')
                result = link->SetWorkingDirectory(workingPath);
            if (SUCCEEDED(result) && description != nullptr)
                result = link->SetDescription(description);
            if (SUCCEEDED(result))
                result = link->SetShowCmd(showCmd);
            if (SUCCEEDED(result))
                result = link->SetIconLocation(iconPath != nullptr ? iconPath : target, iconIndex);
            if (SUCCEEDED(result))
                saved = SaveShortcut(file, owner, folder, name, common);
            file->Release();
        }
        link->Release();
    }
    // A thread whose COM was already set up another way keeps it.
    if (SUCCEEDED(comState))
        CoUninitialize();
    return saved;
}

bool DeleteShortcut(HWND owner, LPCSTR folder, const char* name, bool common)
{
    char path[pathCapacity];
    return GetShortcutFolder(path, owner, folder, common) && AppendText(path, name) && AppendText(path, ".LNK") &&
           DeleteFileA(path) != FALSE;
}

void ResolveInstallDirs(const char* productFolder)
{
    FillDirectory(systemDir, GetSystemDirectoryA);
    wow64SystemDir[0] = '\0';
    if (isWow64)
        FillDirectory(wow64SystemDir, reinterpret_cast<DirectoryFunction>(KernelFunction("GetSystemWow64DirectoryA")));

    char folder[pathCapacity];
    productDir[0] = '\0';
    if (ProgramsRoot(folder) && EndWithSeparator(folder) && AppendText(folder, productFolder))
        strcpy(productDir, folder);
}

bool DisableFsRedirection()
{
    // Switched off twice, the second token would say "off", and handing it back would keep it off.
    if (!isWow64 || redirectionOff)
        return true;
    savedRedirection = nullptr;
    const auto disable = reinterpret_cast<DisableRedirectionFunction>(KernelFunction("Wow64DisableWow64FsRedirection"));
    redirectionOff = disable != nullptr && disable(&savedRedirection);
    return redirectionOff;
}

void RevertFsRedirection()
{
    if (!redirectionOff)
        return;
    const auto revert = reinterpret_cast<RevertRedirectionFunction>(KernelFunction("Wow64RevertWow64FsRedirection"));
    if (revert != nullptr)
        revert(savedRedirection);
    redirectionOff = false;
}

HMODULE LoadSystemDll(const WCHAR* name)
{
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without its loader update refuses the flag: the DLL is then named by its full
    // path, and the DLLs it needs are looked for beside it first.
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    WCHAR path[pathCapacity];
    const UINT length = GetSystemDirectoryW(path, pathCapacity);
    if (length == 0 || length + 1 + wcslen(name) >= static_cast<size_t>(pathCapacity))
        return nullptr;
    wcscat(path, L"\\");
    wcscat(path, name);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
    if (AnsiForm(path, wide))
        return true;
    const DWORD shortLength = GetShortPathNameW(wide, shortForm, pathCapacity);
    if (shortLength > 0 && shortLength < static_cast<DWORD>(pathCapacity) && AnsiForm(path, shortForm))
        return true;
    // The Windows directory, which only administrators may write; not its Temp, where every user
    // may create files, so that a DLL put there would be loaded by the elevated copy beside it.
    const UINT windowsLength = GetWindowsDirectoryW(wide, pathCapacity);
    if (windowsLength > 0 && windowsLength < static_cast<UINT>(pathCapacity) && AnsiForm(path, wide))
        return true;
    path[0] = '\0';
    return false;
}

HANDLE CreatePrivateDir(char* path, const char* parent, const char* prefix)
{
    path[0] = '\0';
    for (int attempt = 0; attempt < privateNameAttempts; ++attempt) {
        DWORD random[privateNameDigits / 8];  // eight digits each
        char candidate[2 * pathCapacity];
        if (SysFailed(RtlGenRandom(random, sizeof(random)), "RtlGenRandom failed"))
            return nullptr;
        FormatInto(candidate, sizeof(candidate), "%s%s%08lX%08lX\\", parent, prefix, random[0], random[1]);
        // Cut, the name would be another folder's.
        if (strlen(candidate) >= static_cast<size_t>(pathCapacity)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            CaptureLastError();
            return nullptr;
        }
        if (CreateAdminOnlyDirectory(candidate)) {
            const HANDLE folder = CreateFileA(candidate, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (folder != INVALID_HANDLE_VALUE) {
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
    WCHAR folder[pathCapacity];
    WCHAR widePrefix[pathCapacity];
    WCHAR directory[pathCapacity];
    if (AnsiToWide(folder, parent, pathCapacity) == 0 || AnsiToWide(widePrefix, prefix, pathCapacity) == 0)
        return false;
    // The loader may name the program by the long form of the short path it was started with.
    MakeLongForm(file);
    MakeLongForm(folder);
    wcscpy(directory, file);
    // Off go the file's name and then its folder's, which is kept: what is left is the folder
    // above, without its final backslash, as `parent` is made below.
    const WCHAR* name = CutLastName(directory) != nullptr ? CutLastName(directory) : nullptr;
    if (name == nullptr)
        return false;
    const size_t folderLength = wcslen(folder);
    if (folderLength > 0 && folder[folderLength - 1] == L'\\')
        folder[folderLength - 1] = L'\0';
    const size_t prefixLength = wcslen(widePrefix);
    return wcslen(name) == prefixLength + privateNameDigits && _wcsnicmp(name, widePrefix, prefixLength) == 0 &&
           wcsspn(name + prefixLength, L"0123456789ABCDEFabcdef") == static_cast<size_t>(privateNameDigits) &&
           SameTextNoCaseW(directory, folder);
}
