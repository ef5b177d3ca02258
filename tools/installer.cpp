// Test and demonstration tool: installs the product the way it is found on a user's machine,
// with the installing side of the program's own library.
//
//   installer.exe UNINSTALLER
//
// Puts a placeholder Pelmoradrv.DLL into the system directory (as a 32-bit installer on 64-bit
// Windows does: into the native System32 and into SysWOW64), registers a new German
// catalogue key chosen by AddUserLayout(-1), adds the layout to the user's Preload and
// Substitutes lists, creates the product folder (with the access list of Program Files) with
// UNINSTALLER (as Uninstall_Pelmoradrv.exe) and the two chart files, the chart shortcut on the
// desktop and the uninstall entry. Prints the layout key it used. Exit code 0, or 1 after a
// message on stderr.
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
    const bool dllsWritten = WriteDriverDll(systemDir) && (wow64SystemDir[0] == '\0' || WriteDriverDll(wow64SystemDir));
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
    if (!WriteUserLayoutLists())
        return Fail("writing the layout lists");

    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s%s", cataloguePath, newKeyName);
    const HKEY layoutKey = CreateKey(HKEY_LOCAL_MACHINE, path, nullptr);
    if (layoutKey == nullptr || !SetStringValue(layoutKey, "Layout File", driverDllFileName) ||
        !SetStringValue(layoutKey, "Layout Text", "Deutsch (Pelmora AltGrLinks)") ||
        !SetStringValue(layoutKey, "Layout Id", newLayoutId))
        return Fail("registering the catalogue key");
    RegCloseKey(layoutKey);

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
