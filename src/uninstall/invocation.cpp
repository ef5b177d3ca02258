#include "uninstall/invocation.h"

#include <string.h>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "shell/environment.h"
#include "shell/launch.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/msgbox.h"
#include "text/paths.h"
#include "uninstall/product.h"

namespace {

const char copyRefusal[] =
    "Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden, um sein Original löschen zu "
    "können";

bool RefuseKey(const char* reason)
{
    MsgWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key für die Tastatur aufgerufen (%s):\n%s", reason,
               layoutKey);
    return false;
}

bool EndAfterRelocation(const char* warning)
{
    if (warning != nullptr)
        MsgWarning(warning);
    RevertFsRedirection();
    return false;
}

}

bool CheckInvocation()
{
    centerWindow = true;
    if (argCount != 1) {
        MsgWarning("Deinstallationsprogramm nicht mit gültigem Registry-Key für die Tastatur aufgerufen (Angabe fehlt)");
        return false;
    }
    CopyText(layoutKey, MAX_PATH, argTable[0]);
    if (strlen(layoutKey) != 8)
        return RefuseKey("Länge nicht 8 Zeichen");
    if (strncmp(layoutKey + 4, "0407", 4) != 0)
        return RefuseKey("endet nicht in \"0407\", also kein deutsches Layout");
    if (SameTextNoCase(layoutKey, "00000407"))
        return RefuseKey("Schlüssel für Standardtastatur: nicht deinstallierbar");

    ResolveInstallDirs(productFolderName);
    char copyPath[MAX_PATH] = {};
    char modulePath[MAX_PATH] = {};
    const bool tempKnown = GetTempDir(copyPath);
    const DWORD moduleLength = GetModuleFileNameA(appInstance, modulePath, MAX_PATH);
    // Without both paths there is no telling where the copy would go or what it would copy.
    if (!tempKnown || moduleLength == 0 || moduleLength >= MAX_PATH)
        return EndAfterRelocation(copyRefusal);

    // The copy asks about the folder the installed uninstaller chose for it, in the same way.
    if (RunsFromDirectory(copyPath)) {
        FormatInto(windowTitle, MAX_PATH, "%s V%s - Tastaturtreiber-Deinstallation", programName, programVersion);
        return true;
    }

    const char* fileName = modulePath;
    for (const char* c = modulePath; *c != '\0'; ++c) {
        if (*c == ':' || IsPathSeparator(*c))
            fileName = c + 1;
    }
    if (strlen(copyPath) + strlen(fileName) >= static_cast<size_t>(MAX_PATH))
        return EndAfterRelocation(copyRefusal);
    strcat(copyPath, fileName);
    if (!CopyFileReported(modulePath, copyPath, true, true))
        return EndAfterRelocation(copyRefusal);
    if (!LaunchProgram(copyPath, argTable[0], nullptr))
        return EndAfterRelocation("Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten, um sein "
                                  "Original löschen zu können");
    return EndAfterRelocation(nullptr);
}
