#include "fs/shell.h"

#include <shlobj.h>
#include <string.h>
#include <wchar.h>

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

// Appends `text` to the wide `path` when the whole still fits a path; false leaves it as it was.
bool AppendWide(WCHAR* path, const WCHAR* text)
{
    if (wcslen(path) + wcslen(text) >= static_cast<size_t>(pathCapacity))
        return false;
    wcscat(path, text);
    return true;
}

// Makes the wide `path` end in a separator; false when it is empty or there is no room for it.
bool EndWideWithSeparator(WCHAR* path)
{
    const size_t length = wcslen(path);
    return length > 0 && (path[length - 1] == L'\\' || path[length - 1] == L'/' || AppendWide(path, L"\\"));
}

// The file-system path of a shell folder, without a final separator. A virtual folder (the
// drives, the printers) has a location but no path, and counts as not found.
bool ShellFolderPath(WCHAR* path, HWND owner, int csidl)
{
    if (SUCCEEDED(SHGetFolderPathW(owner, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return true;
    path[0] = L'\0';
    return false;
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
    WCHAR wide[pathCapacity];
    path[0] = '\0';
    if (!ShellFolderPath(wide, ownerWindow, csidl) || !AnsiDirForm(path, wide))
        return false;
    RemovePathSeparator(path);
    return true;
}

bool GetShortcutFolderW(WCHAR* path, HWND owner, LPCSTR folder, bool common)
{
    path[0] = L'\0';
    const ULONG_PTR selector = reinterpret_cast<ULONG_PTR>(folder);
    const bool isText = selector >= 256;
    WCHAR text[pathCapacity] = L"";
    if (isText && AnsiToWide(text, folder, pathCapacity) == 0)
        return false;
    bool found;
    if (isText && text[0] != L'\0' && text[1] == L':') {
        found = AppendWide(path, text);
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
        if (found && text[0] != L'\0')
            found = EndWideWithSeparator(path) && AppendWide(path, text);
    }
    found = found && EndWideWithSeparator(path);
    if (!found)
        path[0] = L'\0';
    return found;
}

bool GetShortcutFolder(char* path, HWND owner, LPCSTR folder, bool common)
{
    WCHAR wide[pathCapacity];
    path[0] = '\0';
    return GetShortcutFolderW(wide, owner, folder, common) && AnsiDirForm(path, wide);
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

bool GetShortcutPath(WCHAR* path, HWND owner, LPCSTR folder, const char* name, bool common)
{
    WCHAR wideName[pathCapacity];
    if (GetShortcutFolderW(path, owner, folder, common) && AnsiToWide(wideName, name, pathCapacity) > 0 &&
        AppendWide(path, wideName) && AppendWide(path, L".LNK"))
        return true;
    path[0] = L'\0';
    return false;
}

bool DeleteShortcut(HWND owner, LPCSTR folder, const char* name, bool common)
{
    WCHAR path[pathCapacity];
    return GetShortcutPath(path, owner, folder, name, common) && DeleteFileW(path) != FALSE;
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
