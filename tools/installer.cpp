// Test and demonstration tool: installs the product the way it is found on a user's machine,
// with the installing side of the program's own library.
//
//   installer.exe UNINSTALLER
//
// Puts a placeholder Pelmoradrv.DLL into the system directory (as a 32-bit installer on 64-bit
// Windows does: into the native System32 and into SysWOW64), registers a new German
// catalogue key chosen by AddUserLayout(-1), adds the layout to the user's Preload and
// Substitutes lists and to the user's first language as Settings does, creates the product
// folder (with the access list of Program Files) with UNINSTALLER (as Uninstall_Pelmoradrv.exe)
// and the two chart files, the chart shortcut on the desktop and the uninstall entry. Prints the
// layout key it used. Exit code 0, or 1 after a message on stderr.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "registry/uninstallentry.h"
#include "shell/startup.h"
#include "text/convert.h"
#include "uninstall/product.h"

namespace {

const char cataloguePath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\";

int Fail(const char* step)
{
    fprintf(stderr, "installer: %s failed (%s)\n", step, errorText);
    return 1;
}

bool WritePlaceholder(const char* path, const char* content)
{
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, content, strlen(content), &written, nullptr) && written == strlen(content);
    return CloseHandle(file) && complete;
}

// Wine writes its own default layout into Preload "1" whenever a program starts, so a product
// layout made the default would lose its place at once. Under Wine the user's default stays
// first and the product's layout follows it.
void KeepTheUsersDefaultFirst()
{
    for (DWORD i = 0; i < newpreloadcount; ++i) {
        if (strcmp(newpreload[i].name, "1") == 0)
            newpreload[i].name = HeapText("2");
        else if (strcmp(newpreload[i].name, "2") == 0)
            newpreload[i].name = HeapText("1");
    }
}

bool WriteDriverDll(const char* directory)
{
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s%s", directory, driverDllFileName);
    return WritePlaceholder(path, "placeholder keyboard layout");
}

typedef BOOL(WINAPI* InstallLayoutOrTipFunction)(LPCWSTR, DWORD);

// The user's first language, into `language` (MAX_PATH bytes); "de-DE" written as the only one
// where the user has no list of languages (Wine, and a fresh profile).
bool FirstLanguage(char* language)
{
    char languages[4096] = "";
    DWORD size = sizeof(languages) - 2;
    const LONG status =
        RegGetValueA(HKEY_CURRENT_USER, userProfilePath, "Languages", RRF_RT_REG_MULTI_SZ, nullptr, languages, &size);
    if (status == ERROR_SUCCESS && languages[0] != '\0')
        return CopyText(language, MAX_PATH, languages) > 0;
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return false;
    const char german[] = "de-DE\0";  // a list of one, ended by a second zero
    const HKEY profile = CreateKey(HKEY_CURRENT_USER, userProfilePath, nullptr);
    const bool written = profile != nullptr && RegSetValueExA(profile, "Languages", 0, REG_MULTI_SZ,
                                                              reinterpret_cast<const BYTE*>(german), sizeof(german)) ==
                                                   ERROR_SUCCESS;
    if (profile != nullptr)
        RegCloseKey(profile);
    strcpy(language, "de-DE");
    return written;
}

// Adds the layout `key` to the input methods of the user's first language, as Settings does:
// through input.dll where the system has it, else by writing the value Windows writes.
bool AddToLanguageList(const char* key)
{
    char name[32];
    snprintf(name, sizeof(name), "0407:%s", key);
    CharUpperA(name);
    const HMODULE input = LoadSystemDll(L"input.dll");
    if (input != nullptr) {
        const auto install = reinterpret_cast<InstallLayoutOrTipFunction>(
            reinterpret_cast<void*>(GetProcAddress(input, "InstallLayoutOrTip")));
        WCHAR wideName[MAX_PATH];
        const bool added = install != nullptr && AnsiToWide(wideName, name, MAX_PATH) > 0 && install(wideName, 0);
        FreeLibrary(input);
        return added;
    }
    char language[MAX_PATH];
    char path[2 * MAX_PATH];
    if (!FirstLanguage(language))
        return false;
    snprintf(path, sizeof(path), "%s\\%s", userProfilePath, language);
    const HKEY languageKey = CreateKey(HKEY_CURRENT_USER, path, nullptr);
    const DWORD enabled = 1;
    const bool added = languageKey != nullptr && RegSetValueExA(languageKey, name, 0, REG_DWORD,
                                                                reinterpret_cast<const BYTE*>(&enabled),
                                                                sizeof(enabled)) == ERROR_SUCCESS;
    if (languageKey != nullptr)
        RegCloseKey(languageKey);
    return added;
}

// The new layout's catalogue key with all its values, or none at all.
bool RegisterCatalogueKey()
{
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s%s", cataloguePath, newKeyName);
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, path, nullptr);
    if (key == nullptr)
        return false;
    const bool complete = SetStringValue(key, "Layout File", driverDllFileName) &&
                          SetStringValue(key, "Layout Text", "Deutsch (Pelmora AltGrLinks)") &&
                          SetStringValue(key, "Layout Id", newLayoutId);
    RegCloseKey(key);
    if (!complete)
        DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
    return complete;
}

bool RunsUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version") != nullptr;
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: installer.exe UNINSTALLER\n");
        return 1;
    }
    const char* uninstaller = argv[1];
    isWow64 = ProbeWow64();
    ResolveInstallDirs(productFolderName);
    // Redirection is off only while the DLLs are written: the rest is an ordinary 32-bit
    // program's work, shell calls included.
    const bool dllsWritten = DisableFsRedirection() && WriteDriverDll(systemDir) && (wow64SystemDir[0] == '\0' || WriteDriverDll(wow64SystemDir));
    RevertFsRedirection();
    if (!dllsWritten)
        return Fail("writing the driver DLL");

    // Wine has no layout catalogue; a fresh Windows' missing Substitutes list the library reads
    // as empty and creates when it writes the new layout's pair.
    const HKEY catalogueKey = CreateKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Keyboard Layouts", nullptr);
    if (catalogueKey == nullptr)
        return Fail("creating the layout catalogue");
    RegCloseKey(catalogueKey);
    if (!LoadLayoutRegistry())
        return Fail("reading the layout lists");
    if (!AddUserLayout(-1))
        return Fail("choosing the layout key");
    if (RunsUnderWine())
        KeepTheUsersDefaultFirst();
    // The user's lists name the layout only once its catalogue key is complete: a list naming a
    // missing or half-written key would stay, with no uninstall entry to clean it up. The
    // language list comes after Preload and Substitutes: input.dll may add to them itself, and
    // the write-back, computed from the lists as they were read, would undo that.
    if (!RegisterCatalogueKey())
        return Fail("registering the catalogue key");
    if (!WriteUserLayoutLists())
        return Fail("writing the layout lists");
    if (!AddToLanguageList(newKeyName))
        return Fail("adding the layout to the user's first language");

    // Administrators run the uninstaller from this folder elevated: it keeps the access list it
    // inherits from Program Files, which only they may change. CreateDirPath would let every user
    // write and delete in it.
    if (!CreateDirectoryA(productDir, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail("creating the product folder");
    char folder[MAX_PATH];
    snprintf(folder, sizeof(folder), "%s\\", productDir);
    char installed[MAX_PATH];
    snprintf(installed, sizeof(installed), "%s%s", folder, uninstallerCopyName);
    if (!CopyFileReported(uninstaller, installed, true, true))
        return Fail("copying the uninstaller");
    char chart[MAX_PATH];
    char chartIcon[MAX_PATH];
    snprintf(chart, sizeof(chart), "%s%s", folder, chartPdfFileName);
    snprintf(chartIcon, sizeof(chartIcon), "%s%s", folder, chartIconFileName);
    if (!WritePlaceholder(chart, "%PDF-1.4 placeholder chart") || !WritePlaceholder(chartIcon, "placeholder icon"))
        return Fail("writing the chart files");
    if (!CreateShortcut(nullptr, chart, nullptr, nullptr, chartBaseName, productDir, chartIcon, 0,
                        "Tastaturbelegung Pelmora AltGrLinks", SW_SHOWNORMAL, false))
        return Fail("creating the desktop shortcut");

    char command[2 * MAX_PATH];
    snprintf(command, sizeof(command), "\"%s\" %s", installed, newKeyName);
    if (!SetUninstallEntry(uninstallEntryName, command, uninstallEntryName, nullptr, nullptr, nullptr, nullptr, nullptr,
                           programVersion, installed, nullptr))
        return Fail("writing the uninstall entry");

    printf("%s\n", newKeyName);
    return 0;
}
