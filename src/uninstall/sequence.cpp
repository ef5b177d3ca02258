#include "uninstall/sequence.h"

#include <string.h>

#include "fs/fileops.h"
#include "fs/lookup.h"
#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "registry/uninstallentry.h"
#include "shell/startup.h"
#include "text/convert.h"
#include "text/msgbox.h"
#include "text/paths.h"
#include "uninstall/otherusers.h"
#include "uninstall/product.h"

namespace {

// Reads the user's lists and the catalogue, and refuses with a warning what must not be
// uninstalled. Called before anything is changed, so that a refusal leaves the installation whole.
bool Refused()
{
    if (!LoadLayoutRegistry()) {
        MsgWarning("%s", errorText);
        return true;
    }
    if (layoutKeyIndex == -1) {
        MsgWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht gefunden.\nTreiber: %s\nKey: "
                   "%s\nDLL: %s.DLL",
                   driverDisplayName, layoutKey, driverDllBaseName);
        return true;
    }
    const char* layoutFile = layouts[layoutKeyIndex].layoutFile;
    if (layoutFile == nullptr) {
        MsgWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe.\n"
                   "Treiber: %s\nKey: %s\nDLL: %s.DLL",
                   driverDisplayName, layoutKey, driverDllBaseName);
        return true;
    }
    if (!SameTextNoCase(layoutFile, driverDllFileName)) {
        MsgWarning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere "
                   "Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird daher die "
                   "Deinstallation jetzt nicht durchgeführt.\nTreiber: %s\nKey: %s\nDLL bei Installation: "
                   "%s.DLL\nDLL jetzt: %s",
                   driverDisplayName, layoutKey, driverDllBaseName, layoutFile);
        return true;
    }
    if (RemovalLeavesNoLayout()) {
        MsgWarning("In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig "
                   "auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor "
                   "Sie die hier gewählte deinstallieren.");
        return true;
    }
    return false;
}

// The DLL's path in `directory` into `path` (2 * MAX_PATH bytes); false when it cannot be named:
// without a directory the bare file name would be looked up in the current directory.
bool DriverPath(char* path, const char* directory)
{
    return ComposePath(path, directory, driverDllFileName) && directory[0] != '\0';
}

// Looks for the driver DLL in the native system directory, its path into `path` (2 * MAX_PATH
// bytes), and asks whether to go on without it; false when the user does not. A DLL that cannot
// be looked for counts as there: its deletion then says why it fails.
bool DriverFoundOrWaived(char* path, bool* found)
{
    *found = DriverPath(path, systemDir) && SystemFilePresent(path, true);
    return *found || MsgAskYesNo("Problem bei Deinstallation von %s:\nTreiberdatei nicht (mehr) vorhanden:\n  %s\n\n"
                                 "Trotzdem fortfahren?",
                                 driverDisplayName, path) == IDYES;
}

// Deletes the driver DLL at `path` in the native system directory when it was `found`, then its
// 32-bit copy in wow64SystemDir; a DLL in use goes at the next restart, which `atRestart` then
// tells. False when the sequence must end with the installation whole.
bool DeleteDriver(const char* path, bool found, bool* atRestart)
{
    if (found && !DeleteSystemFileReported(path, true, true)) {
        MsgInfo("Fehler bei Deinstallation von %s:\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  %s",
                driverDisplayName, path);
        return false;
    }
    *atRestart = found && leftForRestart;
    if (isWow64) {
        Sleep(100);
        char copy[2 * MAX_PATH];
        // The 32-bit copy goes without a word: the native one decides the outcome.
        if (DriverPath(copy, wow64SystemDir) && DeleteSystemFileReported(copy, false, false))
            *atRestart = *atRestart || leftForRestart;
    }
    return true;
}

// The user's lists could not all be updated: the uninstall goes on all the same.
void WarnListUpdate()
{
    MsgInfo("Warnung bei Deinstallation von %s:\nProblem bei Registry-Key-Update:\n  %s", driverDisplayName,
            errorText);
}

void RemoveCatalogueKey()
{
    const HKEY catalogue = OpenKeyRead(HKEY_LOCAL_MACHINE, layoutCataloguePath);
    if (catalogue == nullptr) {
        MsgWarning("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\%s", layoutCataloguePath);
        return;
    }
    if (!DeleteKeyTree(catalogue, layoutKey))
        MsgWarning("Warnung:\nFehler beim Löschen des Registry-Keys %s - %s", layoutCataloguePath, layoutKey);
    RegCloseKey(catalogue);
}

void WarnHelperFileLeft(const char* path)
{
    MsgInfo("Warnung bei Deinstallation von %s:\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  %s",
            driverDisplayName, path);
}

// Deletes `name` in `directory` (ending in a separator), warning when it stays; a file that is
// not there is passed over.
void DeleteHelperFile(const char* directory, const char* name)
{
    char path[2 * MAX_PATH];
    const bool fits = ComposePath(path, directory, name);
    if (fits && !FileExists(path, nullptr, &sharedFindData))
        return;
    if (!fits || !DeleteFileReported(path, true))
        WarnHelperFileLeft(path);
}

// The chart's shortcut on the user's desktop, named as the shell names it: a desktop folder
// outside the code page has an ANSI look-alike, which may be another user's. One the user deleted
// already is no loss; one that stays (read-only, say) is a helper file left behind.
void RemoveShortcut()
{
    WCHAR shortcut[pathCapacity];
    char shown[pathCapacity];
    if (chartBaseName[0] != '\0' && GetShortcutPath(shortcut, mainWindow, nullptr, chartBaseName, false) &&
        !DeleteWideFileReported(shortcut)) {
        WideToAnsi(shown, shortcut, pathCapacity);
        WarnHelperFileLeft(shown);
    }
}

void RemoveProductFolder()
{
    // Without a product folder the helper paths would start at the root of the drive.
    if (productDir[0] == '\0') {
        MsgInfo("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
                "(möglicherweise ist es nicht leer):\n  %s",
                driverDisplayName, productDir);
        return;
    }
    const char* helperFiles[] = {uninstallerCopyName, chartPdfFileName, chartIconFileName};
    const int helperCount = chartBaseName[0] != '\0' ? 3 : 1;
    char directory[MAX_PATH];
    CopyText(directory, MAX_PATH, productDir);
    AddPathSeparator(directory);
    for (int i = 0; i < helperCount; ++i)
        DeleteHelperFile(directory, helperFiles[i]);
    if (!RemoveDirReported(productDir))
        MsgInfo("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
                "(möglicherweise ist es nicht leer):\n  %s",
                driverDisplayName, productDir);
}

}

bool RunUninstall()
{
    if (Refused())
        return false;
    if (MsgAskYesNo("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n%s", driverDisplayName) != IDYES) {
        MsgInfo("Deinstallation abgebrochen.");
        return false;
    }
    char dllPath[2 * MAX_PATH];
    bool dllFound = false;
    bool dllAtRestart = false;
    if (!DriverFoundOrWaived(dllPath, &dllFound))
        return false;
    // While the questions were open the user may have changed the lists in the language
    // settings: the removal is computed from the lists as they are after the last answer, so
    // that only a change made while the DLL is deleted can still be lost.
    if (Refused() || !DeleteDriver(dllPath, dllFound, &dllAtRestart))
        return false;

    RemoveUserLayout();
    if (!WriteUserLayoutLists())
        WarnListUpdate();
    if (!RemoveFromLanguageLists())
        WarnListUpdate();
    RemoveFromOtherUsers();
    RemoveCatalogueKey();
    RemoveShortcut();
    RemoveProductFolder();
    // An entry that stays would offer to run the uninstaller that was just deleted.
    if (!SetUninstallEntry(uninstallEntryName, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr))
        MsgInfo("Warnung bei Deinstallation von %s:\nFolgender Eintrag in der Liste der installierten Programme "
                "konnte nicht entfernt werden:\n  HKEY_LOCAL_MACHINE\\%s\\%s",
                driverDisplayName, uninstallListPath, uninstallEntryName);
    MsgInfo(dllAtRestart ? "Folgender Tastatur-Treiber wurde deinstalliert:\n%s\n\nDie Treiberdatei wird beim "
                           "nächsten Neustart von Windows gelöscht."
                         : "Folgender Tastatur-Treiber wurde deinstalliert:\n%s",
            driverDisplayName);
    return false;
}
