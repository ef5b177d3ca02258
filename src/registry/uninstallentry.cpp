#include "registry/uninstallentry.h"

#include "registry/registry.h"
#include "text/convert.h"

namespace {

// True when `name` is not below `list`; a key that cannot be opened is still there.
bool Missing(HKEY list, const char* name)
{
    const HKEY key = OpenKeyRead(list, name);
    if (key != nullptr)
        RegCloseKey(key);
    return key == nullptr && regStatus == ERROR_FILE_NOT_FOUND;
}

// Deletes every value of an entry's key, so that it holds only what is written next; false when
// one stays.
bool DeleteValues(HKEY entry)
{
    bool deleted = true;
    for (int index = CountValues(entry) - 1; index >= 0; --index)
        deleted = EnumValue(entry, index) && DeleteValue(entry, regValueName) && deleted;
    return deleted;
}

// Removes from `list` every entry whose name begins with a non-empty `prefix`, but `entryName`.
void RemovePrefixed(HKEY list, const char* prefix, const char* entryName)
{
    // An empty prefix would match every program's entry: it counts as none.
    if (prefix == nullptr || prefix[0] == '\0')
        return;
    for (int index = CountSubkeys(list) - 1; index >= 0; --index) {
        if (EnumSubkey(list, index) && StartsWithNoCase(regKeyName, prefix) && !SameTextNoCase(regKeyName, entryName)) {
            char name[regNameCapacity];
            CopyText(name, regNameCapacity, regKeyName);
            DeleteKeyTree(list, name);
        }
    }
}

// Removes the entry, and those of the prefix, from the list in regView; true when it is not there.
bool RemoveEntry(const char* entryName, const char* prefix)
{
    const HKEY list = OpenKeyWrite(HKEY_LOCAL_MACHINE, uninstallListPath);
    if (list == nullptr)
        return regStatus == ERROR_FILE_NOT_FOUND;
    RemovePrefixed(list, prefix, entryName);
    // An old entry that stays would list a program with its old command.
    const bool gone = DeleteKeyTree(list, entryName) || Missing(list, entryName);
    RegCloseKey(list);
    return gone;
}

}

bool SetUninstallEntry(const char* entryName, const char* uninstallCommand, const char* displayName,
                       const char* removalPrefix, const char* helpLink, const char* updateInfoUrl,
                       const char* publisher, const char* infoUrl, const char* displayVersion,
                       const char* displayIcon, const char* comments)
{
    // An empty name would open the list itself.
    if (entryName[0] == '\0')
        return false;
    // A 32-bit installer writes the entry in the 32-bit view, another build of it in the 64-bit
    // one: it goes from whichever holds it.
    if (uninstallCommand == nullptr) {
        regView = KEY_WOW64_32KEY;
        const bool gone = RemoveEntry(entryName, removalPrefix);
        regView = KEY_WOW64_64KEY;
        const bool goneToo = RemoveEntry(entryName, removalPrefix);
        regView = 0;
        return gone && goneToo;
    }
    const HKEY list = CreateKey(HKEY_LOCAL_MACHINE, uninstallListPath, nullptr);
    if (list == nullptr)
        return false;
    // The entry itself is left to what follows, so that a rewrite does not lose it first.
    RemovePrefixed(list, removalPrefix, entryName);
    // Rewritten in place: an entry that cannot be opened keeps what it had.
    const HKEY entry = CreateKey(list, entryName, nullptr);
    if (entry == nullptr) {
        RegCloseKey(list);
        return false;
    }
    const bool oldValuesGone = DeleteValues(entry);
    // Without its name or its command the entry cannot uninstall anything: it goes again.
    const bool usable = SetStringValue(entry, "DisplayName", displayName != nullptr ? displayName : entryName) &&
                        SetStringValue(entry, "UninstallString", uninstallCommand);
    const struct {
        const char* name;
        const char* text;
    } values[] = {
        {"HelpLink", helpLink},
        {"URLUpdateInfo", updateInfoUrl},
        {"Publisher", publisher},
        {"URLInfoAbout", infoUrl},
        {"DisplayVersion", displayVersion},
        {"DisplayIcon", displayIcon},
        {"Comments", comments},
    };
    for (const auto& value : values) {
        if (usable && value.text != nullptr)
            SetStringValue(entry, value.name, value.text);
    }
    RegCloseKey(entry);
    if (!usable)
        DeleteKeyTree(list, entryName);
    RegCloseKey(list);
    return usable && oldValuesGone;
}
