#include <string.h>

#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "text/append.h"
#include "text/convert.h"
#include "text/format.h"

namespace {

const char overrideName[] = "InputMethodOverride";
const DWORD uninstallFlag = 1;  // ILOT_UNINSTALL

// Declared by Windows as returning BOOL: nonzero when it succeeded.
typedef BOOL(WINAPI* InstallLayoutOrTipFunction)(LPCWSTR, DWORD);

// One of the product's values in one of the user's languages.
struct LanguageValue {
    char language[regNameCapacity];  // the subkey of User Profile
    char name[regNameCapacity];      // the value's name as Windows wrote it
};

LanguageValue found[languageValueCapacity];
int foundcount;
HKEY userRoot;         // the root of the user's hive
const char* userName;  // and its name in the texts

bool IsHexDigit(char c)
{
    return c != '\0' && strchr("0123456789abcdefABCDEF", c) != nullptr;
}

// "LLLL:KLID" with four hexadecimal digits and layoutKey, letter case ignored.
bool NamesLayout(const char* text)
{
    return IsHexDigit(text[0]) && IsHexDigit(text[1]) && IsHexDigit(text[2]) && IsHexDigit(text[3]) &&
           text[4] == ':' && SameTextNoCase(text + 5, layoutKey);
}

// User Profile, or its subkey `language` when that is not empty, into `path` (2 * MAX_PATH).
void LanguagePath(char* path, const char* language)
{
    FormatInto(path, 2 * MAX_PATH, language[0] != '\0' ? "%s\\%s" : "%s", userProfilePath, language);
}

// Adds a line to the warning in errorText: `format` with the user's root, the key of `language`
// and `name`.
void Report(const char* format, const char* language, const char* name)
{
    char path[2 * MAX_PATH];
    LanguagePath(path, language);
    if (errorText[0] == '\0')
        CopyText(errorText, errorTextSize, "Warnung:");
    AppendFormatted(errorText, errorTextSize, format, userName, path, name);
}

// The key of `language` for reading; null when it is missing, or refused and reported.
HKEY OpenLanguage(const char* language)
{
    char path[2 * MAX_PATH];
    LanguagePath(path, language);
    const HKEY key = OpenKeyRead(userRoot, path);
    if (key == nullptr && regStatus != ERROR_FILE_NOT_FOUND)
        Report("\nFehler beim Öffnen des Registry-Keys %s\\%s", language, nullptr);
    return key;
}

// Collects the product's values of every language into found.
void FindValues(HKEY profile)
{
    foundcount = 0;
    const int languages = CountSubkeys(profile);
    for (int index = 0; index < languages; ++index) {
        if (!EnumSubkey(profile, index))
            continue;
        char language[regNameCapacity];
        CopyText(language, regNameCapacity, regKeyName);
        const HKEY key = OpenLanguage(language);
        if (key == nullptr)
            continue;
        const int values = CountValues(key);
        for (int value = 0; value < values; ++value) {
            if (!EnumValue(key, value) || !NamesLayout(regValueName))
                continue;
            // More than the table holds would be left behind unnoticed: say so instead.
            if (foundcount == languageValueCapacity) {
                Report("\nZu viele Einträge im Registry-Key %s\\%s", language, nullptr);
                break;
            }
            CopyText(found[foundcount].language, regNameCapacity, language);
            CopyText(found[foundcount].name, regNameCapacity, regValueName);
            ++foundcount;
        }
        RegCloseKey(key);
    }
}

// Windows' own removal, so that its language settings let the layout go as well. Its result is
// not needed: what it leaves is deleted directly afterwards.
void UninstallThroughWindows()
{
    if (foundcount == 0)
        return;
    const HMODULE input = LoadSystemDll(L"input.dll");
    if (input == nullptr)
        return;
    const auto uninstall = reinterpret_cast<InstallLayoutOrTipFunction>(
        reinterpret_cast<void*>(GetProcAddress(input, "InstallLayoutOrTip")));
    for (int i = 0; uninstall != nullptr && i < foundcount; ++i) {
        WCHAR name[regNameCapacity];
        if (AnsiToWide(name, found[i].name, regNameCapacity) > 0)
            uninstall(name, uninstallFlag);
    }
    FreeLibrary(input);
}

// Deletes the value `name` of `language` if it is still there, or reports that it stays.
void DeleteLeftover(const char* language, const char* name)
{
    char path[2 * MAX_PATH];
    LanguagePath(path, language);
    const HKEY key = OpenKeyWrite(userRoot, path);
    bool gone = regStatus == ERROR_FILE_NOT_FOUND;  // the language went with it
    if (key != nullptr) {
        gone = DeleteValue(key, name) || regStatus == ERROR_FILE_NOT_FOUND;
        RegCloseKey(key);
    }
    if (!gone)
        Report("\nFehler beim Löschen des Registry-Werts %s\\%s - %s", language, name);
}

}

bool RemoveFromLanguageLists(HKEY user, const char* name)
{
    errorText[0] = '\0';
    userRoot = user;
    userName = name;
    const HKEY profile = OpenLanguage("");
    if (profile == nullptr)
        return errorText[0] == '\0';
    FindValues(profile);
    RegCloseKey(profile);
    // InstallLayoutOrTip knows only the lists of the user who calls it.
    if (user == HKEY_CURRENT_USER)
        UninstallThroughWindows();
    for (int i = 0; i < foundcount; ++i)
        DeleteLeftover(found[i].language, found[i].name);
    // Read afresh: Windows may have chosen another default in the meantime.
    const HKEY again = OpenLanguage("");
    if (again != nullptr) {
        const bool ours = ReadTextValue(again, overrideName) && NamesLayout(regValueData);
        RegCloseKey(again);
        if (ours)
            DeleteLeftover("", overrideName);
    }
    return errorText[0] == '\0';
}
