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

}

bool SetUninstallEntry(const char* entryName, const char* uninstallCommand, const char* displayName,
                       const char* removalPrefix, const char* helpLink, const char* updateInfoUrl,
                       const char* publisher, const char* infoUrl, const char* displayVersion,
                       const char* displayIcon, const char* comments)
{
    const HKEY list = CreateKey(HKEY_LOCAL_MACHINE, uninstallListPath, nullptr);
    if (list == nullptr)
        return false;
    // An empty prefix would match every program's entry: it counts as none.
    if (removalPrefix != nullptr && removalPrefix[0] != '\0') {
        for (int index = CountSubkeys(list) - 1; index >= 0; --index) {
            if (EnumSubkey(list, index) && StartsWithNoCase(regKeyName, removalPrefix)) {
                char name[regNameCapacity];
                CopyText(name, regNameCapacity, regKeyName);
                DeleteKeyTree(list, name);
            }
        }
    }
    // A fresh entry holds exactly the values of this call; an old one that stays would list a
    // program with its old command.
    const bool gone = DeleteKeyTree(list, entryName) || Missing(list, entryName);
    if (!gone || uninstallCommand == nullptr) {
        RegCloseKey(list);
        return gone;
    }
    const HKEY entry = CreateKey(list, entryName, nullptr);
    if (entry == nullptr) {
        RegCloseKey(list);
        return false;
    }
    const struct {
        const char* name;
        const char* text;
    } values[] = {
        {"DisplayName", displayName != nullptr ? displayName : entryName},
        {"UninstallString", uninstallCommand},
        {"HelpLink", helpLink},
        {"URLUpdateInfo", updateInfoUrl},
        {"Publisher", publisher},
        {"URLInfoAbout", infoUrl},
        {"DisplayVersion", displayVersion},
        {"DisplayIcon", displayIcon},
        {"Comments", comments},
    };
    for (const auto& value : values) {
        if (value.text != nullptr)
            SetStringValue(entry, value.name, value.text);
    }
    RegCloseKey(entry);
    RegCloseKey(list);
    return true;
}
