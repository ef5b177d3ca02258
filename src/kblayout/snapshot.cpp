#include <string.h>

#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/numbers.h"

char layoutKey[MAX_PATH];
PreloadEntry preload[layoutTableCapacity];
DWORD preloadcount;
SubstituteEntry substitutes[layoutTableCapacity];
DWORD substitutecount;
LayoutEntry layouts[layoutTableCapacity];
DWORD layoutcount;
PreloadEntry newpreload[layoutTableCapacity];
DWORD newpreloadcount;
SubstituteEntry newsubstitutes[layoutTableCapacity];
DWORD newsubstitutecount;
int layoutKeyIndex;
int layoutFileIndex;
char driverFileName[MAX_PATH];
BYTE layoutInUse;
int maxLayoutId;
BYTE layoutIdUnknown;
int maxKeyNumber;
char errorText[errorTextSize];
BYTE notInPreload;
BYTE nothingToWrite;
BYTE keepSubstitutes;
char newKeyName[newNameCapacity];
char newLayoutId[newNameCapacity];

namespace {

const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";

// The full name of the list being read, for the texts: its root's name, then its path.
char listName[2 * MAX_PATH];

bool Equal(const char* first, const char* second)
{
    return first != nullptr && second != nullptr && strcmp(first, second) == 0;
}

bool EqualNoCase(const char* first, const char* second)
{
    return first != nullptr && second != nullptr && SameTextNoCase(first, second);
}

// German as written in Germany, Switzerland, Austria and Luxembourg. The language part is a
// hexadecimal number, written in either case: 0c07 is 0C07.
bool IsGermanLayoutKey(const char* name)
{
    if (strlen(name) < 8)
        return false;
    const char* language = name + 4;
    return StartsWithNoCase(language, "0407") || StartsWithNoCase(language, "0807") ||
           StartsWithNoCase(language, "0C07") || StartsWithNoCase(language, "1407");
}

void StartAfresh()
{
    memset(preload, 0, sizeof(preload));
    memset(newpreload, 0, sizeof(newpreload));
    memset(substitutes, 0, sizeof(substitutes));
    memset(newsubstitutes, 0, sizeof(newsubstitutes));
    memset(layouts, 0, sizeof(layouts));
    // A second load must not append behind the counts or keep indexes into the old tables.
    preloadcount = substitutecount = layoutcount = newpreloadcount = newsubstitutecount = 0;
    layoutKeyIndex = layoutFileIndex = -1;
    layoutInUse = notInPreload = nothingToWrite = keepSubstitutes = layoutIdUnknown = 0;
    maxLayoutId = maxKeyNumber = 0;
}

// A list longer than its table is refused whole: writing back the part that was read would
// delete the rest of the user's list.
bool ReportFullTable(const char* name)
{
    SetErrorText("Zu viele Einträge im Registry-Key %s (höchstens %d)", name, layoutTableCapacity);
    return false;
}

bool ReadPreload(HKEY key)
{
    const int count = CountValues(key);
    for (int index = 0; index < count; ++index) {
        if (!EnumValue(key, index))
            continue;
        if (preloadcount >= static_cast<DWORD>(layoutTableCapacity))
            return ReportFullTable(listName);
        PreloadEntry& entry = preload[preloadcount++];
        entry.name = HeapText(regValueName);
        entry.klid = HeapText(regValueData);
        entry.number = ParseInt(regValueName);
        char rendering[16];
        wsprintfA(rendering, "%d", entry.number);
        entry.canonical = strcmp(rendering, regValueName) == 0;
    }
    return true;
}

// Attaches each Substitutes value to the first Preload entry that names it, letter case ignored
// as the registry ignores it when it looks the name up.
bool ReadSubstitutes(HKEY key)
{
    if (!ReadValueTable(key, listName, substitutes, &substitutecount))
        return false;
    for (DWORD s = 0; s < substitutecount; ++s) {
        for (DWORD i = 0; i < preloadcount; ++i) {
            if (EqualNoCase(preload[i].klid, substitutes[s].name)) {
                preload[i].substitute = HeapText(substitutes[s].value);
                break;
            }
        }
    }
    return true;
}

// Fills `entry` from the values of the catalogue key `name`, their names in any letter case as
// Windows looks them up; `index` is its place in layouts, or -1 for a key read only for its id.
bool ReadCatalogueKey(HKEY catalogue, const char* name, LayoutEntry& entry, int index)
{
    const HKEY key = OpenKeyRead(catalogue, name);
    if (key == nullptr) {
        SetErrorText("Fehler beim Öffnen des Registry-Subkeys %s - %s", layoutCataloguePath, name);
        return false;
    }
    const int count = CountValues(key);
    for (int value = 0; value < count; ++value) {
        if (!EnumValue(key, value))
            continue;
        if (SameTextNoCase(regValueName, "Layout File")) {
            entry.layoutFile = HeapText(regValueData);
            if (index >= 0 && SameTextNoCase(regValueData, driverFileName))
                layoutFileIndex = index;
        } else if (SameTextNoCase(regValueName, "Layout Text")) {
            entry.layoutText = HeapText(regValueData);
        } else if (SameTextNoCase(regValueName, "Layout Id")) {
            entry.layoutIdText = HeapText(regValueData);
            entry.layoutId = static_cast<int>(ParseHex(regValueData));
            if (entry.layoutId > maxLayoutId)
                maxLayoutId = entry.layoutId;
        }
    }
    RegCloseKey(key);
    return true;
}

// Raises maxLayoutId by the catalogue key `name`, which the table does not keep.
bool ReadLayoutIdOnly(HKEY catalogue, const char* name)
{
    LayoutEntry passedOver = {};
    return ReadCatalogueKey(catalogue, name, passedOver, -1);
}

bool ReadCatalogue(HKEY catalogue)
{
    const int count = CountSubkeys(catalogue);
    for (int index = 0; index < count; ++index) {
        if (!EnumSubkey(catalogue, index))
            continue;
        char name[regNameCapacity];
        CopyText(name, regNameCapacity, regKeyName);
        // A key of another language is not kept, but its id counts: Windows tells the layouts
        // of one language apart by their ids, and a layout may serve any language.
        // One that cannot be read does not stop an uninstall, which needs no id; only a new id
        // is then refused.
        if (!IsGermanLayoutKey(name)) {
            if (!ReadLayoutIdOnly(catalogue, name))
                layoutIdUnknown = 1;
            continue;
        }
        char keyNumberText[4] = {name[1], name[2], name[3], '\0'};
        const int keyNumber = static_cast<int>(ParseHex(keyNumberText));
        if (keyNumber > maxKeyNumber)
            maxKeyNumber = keyNumber;

        // A key beyond the table is passed over, but its numbers still count, so that a new
        // key chosen later never takes its name or id.
        if (layoutcount >= static_cast<DWORD>(layoutTableCapacity)) {
            if (!ReadLayoutIdOnly(catalogue, name))
                return false;
            continue;
        }
        if (SameTextNoCase(name, layoutKey))
            layoutKeyIndex = static_cast<int>(layoutcount);
        LayoutEntry& entry = layouts[layoutcount];
        entry.keyName = HeapText(name);
        entry.keyNumber = keyNumber;
        for (DWORD i = 0; i < preloadcount; ++i) {
            const char* standsFor = preload[i].substitute != nullptr ? preload[i].substitute : preload[i].klid;
            if (Equal(standsFor, name)) {
                entry.preloadEntry = &preload[i];
                break;
            }
        }
        if (!ReadCatalogueKey(catalogue, name, entry, static_cast<int>(layoutcount)))
            return false;
        ++layoutcount;
    }
    return true;
}

bool IsLayoutInUse(const char* keyName)
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (EqualNoCase(keyName, preload[i].klid))
            return true;
    }
    for (DWORD i = 0; i < substitutecount; ++i) {
        if (EqualNoCase(keyName, substitutes[i].value))
            return true;
    }
    return false;
}

// Opens one of the three lists and reads it with `read`, or says which could not be opened. A
// list that `mayBeMissing` and is missing (not refused) is read as empty.
bool ReadList(HKEY root, const char* rootName, const char* path, bool (*read)(HKEY), bool mayBeMissing = false)
{
    FormatInto(listName, sizeof(listName), "%s\\%s", rootName, path);
    const HKEY key = OpenKeyRead(root, path);
    if (key == nullptr) {
        if (mayBeMissing && regStatus == ERROR_FILE_NOT_FOUND)
            return true;
        SetErrorText("Fehler beim Öffnen des Registry-Keys %s", listName);
        return false;
    }
    const bool complete = read(key);
    RegCloseKey(key);
    return complete;
}

}

void SetErrorText(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    FormatText(errorText, errorTextSize, format, arguments);
    va_end(arguments);
}

bool ReadValueTable(HKEY key, const char* name, SubstituteEntry* table, DWORD* count)
{
    *count = 0;
    const int values = CountValues(key);
    for (int index = 0; index < values; ++index) {
        if (!EnumValue(key, index))
            continue;
        if (*count >= static_cast<DWORD>(layoutTableCapacity))
            return ReportFullTable(name);
        table[*count].name = HeapText(regValueName);
        table[*count].value = HeapText(regValueData);
        ++*count;
    }
    return true;
}

bool IsStandardLayoutKey(const char* key)
{
    return key != nullptr && strlen(key) == 8 && strncmp(key, "00000", 5) == 0;
}

bool SameLayoutKey(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr)
        return first == second;
    return SameTextNoCase(first, second);
}

bool LoadLayoutRegistry(HKEY user, const char* userName)
{
    StartAfresh();
    // Windows keeps a Preload list for every user it has signed in; another user's hive may have
    // none yet.
    if (!ReadList(user, userName, preloadPath, ReadPreload, user != HKEY_CURRENT_USER) ||
        !ReadList(user, userName, substitutesPath, ReadSubstitutes, true) ||
        !ReadList(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", layoutCataloguePath, ReadCatalogue))
        return false;
    if (layoutFileIndex != -1)
        layoutInUse = IsLayoutInUse(layouts[layoutFileIndex].keyName);
    return true;
}
