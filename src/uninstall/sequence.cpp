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
#include "uninstall/product.h"

namespace {

bool End()
{
    RevertFsRedirection();
    return false;
}

// The installation is still whole: refuse with a warning.
bool RefuseBeforeConfirmation()
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
    if (preloadcount == 1) {
        MsgWarning("In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig "
                   "auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor "
                   "Sie die hier gewählte deinstallieren.");
        return true;
    }
    return false;
}

// The DLL's path in `directory` into `path` (2 * MAX_PATH bytes); false when it is not there.
// A directory the system could not name counts as one without the DLL: the bare file name
// would be looked up in the current directory.
bool DriverFound(char* path, const char* directory)
{
    return ComposePath(path, directory, driverDllFileName) && directory[0] != '\0' &&
           FileExists(path, nullptr, &sharedFindData);
}

// Deletes the driver DLL; false when the sequence must end with the installation whole.
bool DeleteDriver()
{
    char path[2 * MAX_PATH];
    if (DriverFound(path, systemDir)) {
        if (!DeleteFileReported(path, true)) {
            MsgInfo("Fehler bei Deinstallation von %s:\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  %s",
                    driverDisplayName, path);
            return false;
        }
    } else if (MsgAskYesNo("Problem bei Deinstallation von %s:\nTreiberdatei nicht (mehr) vorhanden:\n  %s\n\n"
                           "Trotzdem fortfahren?",
                           driverDisplayName, path) != IDYES) {
        return false;
    }
    if (isWow64) {
        Sleep(100);
        // The 32-bit copy goes without a word: the native one decides the outcome.
        if (DriverFound(path, wow64SystemDir))
            DeleteFileA(path);
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
    for (int i = 0; i < helperCount; ++i) {
        char path[2 * MAX_PATH];
        const bool fits = ComposePath(path, directory, helperFiles[i]);
        if (fits && !FileExists(path, nullptr, &sharedFindData))
            continue;
        if (!fits || !DeleteFileReported(path, true))
            MsgInfo("Warnung bei Deinstallation von %s:\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  %s",
                    driverDisplayName, path);
    }
    if (!RemoveDirReported(productDir))
        MsgInfo("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden "
                "(möglicherweise ist es nicht leer):\n  %s",
                driverDisplayName, productDir);
}

}

bool RunUninstall()
{
    if (RefuseBeforeConfirmation())
        return End();
    if (MsgAskYesNo("Soll folgender Tastatur-Treiber deinstalliert werden?\n\n%s", driverDisplayName) != IDYES) {
        MsgInfo("Deinstallation abgebrochen.");
        return End();
    }
    if (!DeleteDriver())
        return End();
    // Only the driver DLL needed the native system directory. From here on the program works as
    // every 32-bit program does; input.dll in particular loads only with redirection on.
    RevertFsRedirection();

    RemoveUserLayout();
    if (!WriteUserLayoutLists())
        WarnListUpdate();
    if (!RemoveFromLanguageLists())
        WarnListUpdate();
    RemoveCatalogueKey();
    if (chartBaseName[0] != '\0')
        DeleteShortcut(mainWindow, nullptr, chartBaseName, false);
    RemoveProductFolder();
    SetUninstallEntry(uninstallEntryName, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr, nullptr);
    MsgInfo("Folgender Tastatur-Treiber wurde deinstalliert:\n%s", driverDisplayName);
    return End();
}
