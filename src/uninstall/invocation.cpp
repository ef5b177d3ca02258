#include "uninstall/invocation.h"

#include <string.h>
#include <wchar.h>

#include "fs/fileops.h"
#include "fs/privatedir.h"
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

// Names the copy's folder in the temporary directory, followed by random digits.
const char copyFolderPrefix[] = "Pelmora-";

// The copy's own path in its long form, wide: outside the code page an ANSI name would be a
// look-alike of another. Empty in the installed uninstaller.
WCHAR copyPath[pathCapacity];

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
    char tempDir[MAX_PATH] = {};
    char modulePath[MAX_PATH] = {};
    WCHAR running[pathCapacity] = {};
    const bool tempKnown = GetPrivateParent(tempDir);
    const DWORD moduleLength = GetModuleFileNameA(appInstance, modulePath, MAX_PATH);
    const DWORD wideLength = GetModuleFileNameW(appInstance, running, pathCapacity);
    // Without both paths there is no telling where the copy would go or what it would copy.
    if (!tempKnown || moduleLength == 0 || moduleLength >= MAX_PATH || wideLength == 0 || wideLength >= pathCapacity)
        return EndAfterRelocation(copyRefusal);

    if (InPrivateDir(running, tempDir, copyFolderPrefix)) {
        wcscpy(copyPath, running);
        FormatInto(windowTitle, MAX_PATH, "%s V%s - Tastaturtreiber-Deinstallation", programName, programVersion);
        return true;
    }

    char copyDir[MAX_PATH];
    const HANDLE hold = CreatePrivateDir(copyDir, tempDir, copyFolderPrefix);
    if (hold == nullptr) {
        MsgWarningTitled(reportCaption,
                         "Im folgenden Verzeichnis kann kein Unterverzeichnis angelegt werden:\n%s\n\n%s", tempDir,
                         sysErrorText);
        return EndAfterRelocation(copyRefusal);
    }
    // Always the product's own name: started through its short form the program would be
    // named UNINST~1.EXE. The folder is new, so nothing there is replaced.
    const char* warning = nullptr;
    char target[2 * MAX_PATH];
    WCHAR wideTarget[pathCapacity];
    if (!ComposePath(target, copyDir, uninstallerCopyName) || !CopyFileReported(modulePath, target, true, false))
        warning = copyRefusal;
    // A copy that did not know itself would make a folder and a copy of its own, without end. Its
    // own folder as current directory: an inherited one, the product folder say, could not be
    // removed while the copy runs.
    else if (AnsiToWide(wideTarget, target, pathCapacity) == 0 ||
             !InPrivateDir(wideTarget, tempDir, copyFolderPrefix) || !LaunchProgram(target, argTable[0], copyDir))
        warning = "Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten, um sein Original "
                  "löschen zu können";
    CloseHandle(hold);
    if (warning != nullptr) {
        DeleteFileA(target);
        RemoveDirectoryA(copyDir);
    }
    return EndAfterRelocation(warning);
}

void ScheduleCopyRemoval()
{
    if (copyPath[0] == L'\0')
        return;
    // The folder after its file: by its turn it is empty and can go.
    WCHAR folder[pathCapacity];
    wcscpy(folder, copyPath);
    *wcsrchr(folder, L'\\') = L'\0';
    MoveFileExW(copyPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    copyPath[0] = L'\0';
}
