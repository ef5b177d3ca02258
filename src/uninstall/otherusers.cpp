#include "uninstall/otherusers.h"

#include <string.h>

#include "fs/lookup.h"
#include "kblayout/layouts.h"
#include "registry/hives.h"
#include "registry/registry.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/msgbox.h"
#include "text/paths.h"
#include "uninstall/product.h"

void (*beforeHiveUnload)();

namespace {

const char profileListPath[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char hiveFileName[] = "\\NTUSER.DAT";
const char warningCut[] = "\n  ...";  // room for it is kept at the warning's end
const char warningPrefix[] = "Warnung:\n";  // the list module's texts begin so; the box says it once

char runningUser[regNameCapacity];
char warning[profileWarningCapacity];
bool cut;

// Adds the line "<profile>: <reason>" to the warning, whole or not at all.
void Report(const char* profile, const char* reason)
{
    if (strncmp(reason, warningPrefix, sizeof(warningPrefix) - 1) == 0)
        reason += sizeof(warningPrefix) - 1;
    char line[profileWarningCapacity];
    FormatInto(line, profileWarningCapacity, "\n  %s: %s", profile, reason);
    if (!AppendWhole(warning, profileWarningCapacity - static_cast<int>(sizeof(warningCut)), line))
        cut = true;
}

// Reports a failure of the system, whose code is in regStatus.
void ReportStatus(const char* profile, const char* what)
{
    BuildSysErrorText(static_cast<DWORD>(regStatus));
    char reason[errorTextCapacity];
    int end = FormatInto(reason, errorTextCapacity, "%s: %s", what, sysErrorText);
    // The system's text ends in a line break, which would leave an empty line in the list.
    while (end > 0 && (reason[end - 1] == '\r' || reason[end - 1] == '\n'))
        reason[--end] = '\0';
    Report(profile, reason);
}

// Removes the layout from the lists in the hive `root`, named `name`.
void Clean(HKEY root, const char* name)
{
    if (!LoadLayoutRegistry(root, name)) {
        Report(name, errorText);
    } else {
        RemoveUserLayout();
        LeaveStandardLayout();
        if (!WriteUserLayoutLists(root, name))
            Report(name, errorText);
    }
    if (!RemoveFromLanguageLists(root, name))
        Report(name, errorText);
}

// The key below HKEY_USERS of a user other than the running one: service accounts have other
// SIDs, and a user's "_Classes" hive holds no lists.
bool IsOtherUser(const char* key)
{
    const char classes[] = "_Classes";
    const size_t length = strlen(key);
    const size_t suffix = sizeof(classes) - 1;
    return StartsWithNoCase(key, "S-1-5-21-") && !(length > suffix && SameTextNoCase(key + length - suffix, classes)) &&
           !SameTextNoCase(key, runningUser);
}

// Calls `edit` with `key` and the name of each of its subkeys that is another user's.
void ForOtherUsers(HKEY key, void (*edit)(HKEY, const char*))
{
    const int count = CountSubkeys(key);
    for (int index = 0; index < count; ++index) {
        if (!EnumSubkey(key, index))
            continue;
        // Copied: the edit overwrites regKeyName.
        char name[regNameCapacity];
        CopyText(name, regNameCapacity, regKeyName);
        if (IsOtherUser(name))
            edit(key, name);
    }
}

// Edits the loaded hive `key` of `users`, HKEY_USERS.
void CleanLoaded(HKEY users, const char* key)
{
    char name[2 * MAX_PATH];
    FormatInto(name, sizeof(name), "HKEY_USERS\\%s", key);
    const HKEY root = OpenKeyRead(users, key);
    if (root == nullptr) {
        ReportStatus(name, "Profil kann nicht geöffnet werden");
        return;
    }
    Clean(root, name);
    RegCloseKey(root);
}

// Loads the hive file `file`, edits it and unloads it again, whatever happened in between.
void CleanFile(const char* file)
{
    if (!EnableHivePrivileges() || !LoadHive(profileHiveKeyName, file)) {
        ReportStatus(file, "Profil kann nicht geladen werden");
        // A load that fails may still leave its key (Wine does so), which would refuse the next.
        UnloadHive(profileHiveKeyName);
        return;
    }
    const HKEY root = OpenKeyRead(HKEY_USERS, profileHiveKeyName);
    if (root == nullptr) {
        ReportStatus(file, "Profil kann nicht geöffnet werden");
    } else {
        Clean(root, file);
        RegCloseKey(root);
    }
    if (beforeHiveUnload != nullptr)
        beforeHiveUnload();
    if (!UnloadHive(profileHiveKeyName))
        ReportStatus(file, "Profil kann nicht wieder entladen werden");
}

// The profile `key` of `list`, unless its hive is loaded: edited with the loaded ones then.
void CleanUnloaded(HKEY list, const char* key)
{
    const HKEY loaded = OpenKeyRead(HKEY_USERS, key);
    if (loaded != nullptr) {
        RegCloseKey(loaded);
        return;
    }
    const HKEY profile = OpenKeyRead(list, key);
    bool named = profile != nullptr && ReadPathValue(profile, "ProfileImagePath");
    if (profile != nullptr)
        RegCloseKey(profile);
    char file[2 * MAX_PATH];
    if (named && !ComposePath(file, regValueData, hiveFileName)) {
        named = false;
        regStatus = ERROR_BAD_PATHNAME;
    }
    if (named) {
        CleanFile(file);
        return;
    }
    char name[2 * MAX_PATH];
    FormatInto(name, sizeof(name), "HKEY_LOCAL_MACHINE\\%s\\%s", profileListPath, key);
    ReportStatus(name, "Profil kann nicht geladen werden");
}

// The Default profile, named by the list's "Default" or else found in its profiles folder.
void CleanDefaultProfile(HKEY list)
{
    char file[2 * MAX_PATH];
    const bool named = (ReadPathValue(list, "Default") && ComposePath(file, regValueData, hiveFileName)) ||
                       (ReadPathValue(list, "ProfilesDirectory") &&
                        ComposePath(file, regValueData, "\\Default\\NTUSER.DAT"));
    if (named && FileExists(file, nullptr, &sharedFindData))
        CleanFile(file);
}

}

void RemoveFromOtherUsers()
{
    warning[0] = '\0';
    cut = false;
    // Unknown, the running user's hive counts as another's: its lists are clean by now.
    ReadCurrentUserKeyName(runningUser);
    ForOtherUsers(HKEY_USERS, CleanLoaded);
    const HKEY list = OpenKeyRead(HKEY_LOCAL_MACHINE, profileListPath);
    if (list != nullptr)
        ForOtherUsers(list, CleanUnloaded);
    CleanLoaded(HKEY_USERS, ".DEFAULT");
    if (list != nullptr) {
        CleanDefaultProfile(list);
        RegCloseKey(list);
    }
    if (warning[0] == '\0')
        return;
    if (cut)
        strcat(warning, warningCut);
    // Shown as it stands (after two bytes 0x7F): a formatted text would stop at its limit.
    char text[profileWarningCapacity + 200] = "\x7F\x7F";
    FormatInto(text + 2, sizeof(text) - 2, "Warnung bei Deinstallation von %s:\nProblem bei Registry-Key-Update "
                                           "weiterer Benutzer:",
               driverDisplayName);
    const int length = static_cast<int>(strlen(text));
    CopyText(text + length, sizeof(text) - length, warning);
    MsgInfo(text);
}
