#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "text/format.h"

namespace {

const char layoutsPath[] = "Keyboard Layout";

// Deletes and recreates one list key; null, with the warning in errorText, when that fails.
HKEY RecreateList(HKEY parent, const char* name)
{
    if (!DeleteKeyTree(parent, name)) {
        SetErrorText("Warnung:\nFehler beim Löschen des Registry-Keys %s - %s", layoutsPath, name);
        return nullptr;
    }
    const HKEY key = CreateKey(parent, name, nullptr);
    if (key == nullptr)
        SetErrorText("Warnung:\nFehler beim Wiedererstellen des Registry-Keys %s - %s", layoutsPath, name);
    return key;
}

// Writes one value; a value that does not arrive is a warning, not a silent loss.
void WriteListValue(HKEY key, const char* list, const char* name, const char* data)
{
    if (name == nullptr || data == nullptr || !SetStringValue(key, name, data))
        SetErrorText("Warnung:\nFehler beim Schreiben des Registry-Werts %s\\%s - %s", layoutsPath, list,
                     name != nullptr ? name : "");
}

}

bool WriteUserLayoutLists()
{
    if (notInPreload || nothingToWrite)
        return true;
    if (newpreloadcount == 0) {
        SetErrorText("INTERNER FEHLER: newpreloadcount ist 0!");
        return false;
    }
    errorText[0] = '\0';
    // Opened for writing: the lists below it are created again through this handle.
    const HKEY layoutsKey = OpenKeyWrite(HKEY_CURRENT_USER, layoutsPath);
    if (layoutsKey == nullptr) {
        SetErrorText("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\%s", layoutsPath);
        return false;
    }

    const HKEY preloadKey = RecreateList(layoutsKey, "Preload");
    if (preloadKey != nullptr) {
        for (DWORD i = 0; i < newpreloadcount; ++i)
            WriteListValue(preloadKey, "Preload", newpreload[i].name, newpreload[i].klid);
        RegCloseKey(preloadKey);
    }

    if (!keepSubstitutes) {
        const HKEY substitutesKey = RecreateList(layoutsKey, "Substitutes");
        if (substitutesKey != nullptr) {
            // Pairs named by a standard key first.
            for (int pass = 0; pass < 2; ++pass) {
                for (DWORD i = 0; i < newsubstitutecount; ++i) {
                    const SubstituteEntry& pair = newsubstitutes[i];
                    if (IsStandardLayoutKey(pair.name) == (pass == 0))
                        WriteListValue(substitutesKey, "Substitutes", pair.name, pair.value);
                }
            }
            RegCloseKey(substitutesKey);
        }
    }
    RegCloseKey(layoutsKey);
    return errorText[0] == '\0';
}
