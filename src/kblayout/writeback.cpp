#include <string.h>

#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "text/convert.h"
#include "text/format.h"

namespace {

const char layoutsPath[] = "Keyboard Layout";

// One of the user's two lists: its values as they are now and the values it is to hold.
struct List {
    const char* name;  // "Preload" or "Substitutes"
    HKEY key;          // null while the key does not exist
    SubstituteEntry now[layoutTableCapacity];
    DWORD nowcount;
    SubstituteEntry target[layoutTableCapacity];
    DWORD targetcount;
    // Values added for the time of the rewrite, deleted once the new lists are complete. There
    // is at most one for each layout that Preload names now.
    SubstituteEntry extra[layoutTableCapacity];
    DWORD extracount;
    int nextExtra;  // counter from which the next extra value's name is looked for
};

HKEY layoutsKey;
const char* userName;  // the root of the user's hive as the texts name it
List preloadList;
List substitutesList;

bool Same(const char* first, const char* second)
{
    return first != nullptr && second != nullptr && strcmp(first, second) == 0;
}

// The value of `table` named `name`, letter case ignored as by the registry; null when none.
const SubstituteEntry* Find(const SubstituteEntry* table, DWORD count, const char* name)
{
    for (DWORD i = 0; name != nullptr && i < count; ++i) {
        if (SameLayoutKey(table[i].name, name))
            return &table[i];
    }
    return nullptr;
}

bool InList(const List& list, const char* name)
{
    return Find(list.now, list.nowcount, name) != nullptr || Find(list.target, list.targetcount, name) != nullptr ||
           Find(list.extra, list.extracount, name) != nullptr;
}

// The layout that a Preload value's data stands for through `substitutes`.
const char* StandsFor(const char* klid, const SubstituteEntry* substitutes, DWORD count)
{
    const SubstituteEntry* pair = Find(substitutes, count, klid);
    return pair != nullptr ? pair->value : klid;
}

// True when the list is to hold `value` exactly as it holds it now, so that no write touches it.
bool Keeps(const List& list, const SubstituteEntry& value)
{
    const SubstituteEntry* kept = Find(list.target, list.targetcount, value.name);
    return kept != nullptr && Same(kept->name, value.name) && Same(kept->value, value.value);
}

bool SubstituteUntouched(const char* klid)
{
    const List& list = substitutesList;
    const SubstituteEntry* now = Find(list.now, list.nowcount, klid);
    return now != nullptr ? Keeps(list, *now) : Find(list.target, list.targetcount, klid) == nullptr;
}

// Reads what `list` holds now; `mayBeMissing` lets a missing key count as empty.
bool ReadNow(List& list, bool mayBeMissing)
{
    list.nowcount = list.extracount = 0;
    list.key = OpenKeyWrite(layoutsKey, list.name);
    if (list.key == nullptr) {
        if (mayBeMissing && regStatus == ERROR_FILE_NOT_FOUND)
            return true;
        SetErrorText("Warnung:\nFehler beim Öffnen des Registry-Keys %s\\%s\\%s", userName, layoutsPath, list.name);
        return false;
    }
    char name[2 * MAX_PATH];
    FormatInto(name, sizeof(name), "%s\\%s\\%s", userName, layoutsPath, list.name);
    return ReadValueTable(list.key, name, list.now, &list.nowcount);
}

// Stores one value; false, with the warning in errorText, when that fails. A missing key (only
// Substitutes may be missing) is created first.
bool Store(List& list, const char* name, const char* data)
{
    if (list.key == nullptr) {
        list.key = CreateKey(layoutsKey, list.name, nullptr);
        if (list.key == nullptr) {
            SetErrorText("Warnung:\nFehler beim Erstellen des Registry-Keys %s - %s", layoutsPath, list.name);
            return false;
        }
    }
    if (name == nullptr || data == nullptr || !SetStringValue(list.key, name, data)) {
        SetErrorText("Warnung:\nFehler beim Schreiben des Registry-Werts %s\\%s - %s", layoutsPath, list.name,
                     name != nullptr ? name : "");
        return false;
    }
    return true;
}

bool Delete(List& list, const char* name)
{
    if (name == nullptr || !DeleteValue(list.key, name)) {
        SetErrorText("Warnung:\nFehler beim Löschen des Registry-Werts %s\\%s - %s", layoutsPath, list.name,
                     name != nullptr ? name : "");
        return false;
    }
    return true;
}

bool NamesData(const SubstituteEntry* table, DWORD count, const char* data)
{
    for (DWORD i = 0; i < count; ++i) {
        if (SameLayoutKey(table[i].value, data))
            return true;
    }
    return false;
}

// True when `key` is a value name of either list or data of Preload, now, later or in between.
bool KeyInUse(const char* key)
{
    const List& preload = preloadList;
    return InList(preload, key) || InList(substitutesList, key) || NamesData(preload.now, preload.nowcount, key) ||
           NamesData(preload.target, preload.targetcount, key) || NamesData(preload.extra, preload.extracount, key);
}

// Adds `name` = `data` to the extra values of `list` and stores it; its name, or null when it
// could not be stored.
const char* StoreExtra(List& list, const char* name, const char* data)
{
    // One extra at most for each value the list holds now; the table has room for all of them.
    if (list.extracount >= static_cast<DWORD>(layoutTableCapacity)) {
        SetErrorText("INTERNER FEHLER: zu viele Hilfswerte in Keyboard Layout\\%s", list.name);
        return nullptr;
    }
    SubstituteEntry& extra = list.extra[list.extracount];
    extra.name = HeapText(name);
    extra.value = HeapText(data);
    if (!Store(list, extra.name, extra.value))
        return nullptr;
    ++list.extracount;
    return extra.name;
}

// An extra Substitutes value for `layout`, named by the next generated key that is not in use.
const char* StoreExtraSubstitute(const char* layout)
{
    char name[newNameCapacity];
    do {
        wsprintfA(name, "d%03x0407", substitutesList.nextExtra++);
    } while (KeyInUse(name));
    return StoreExtra(substitutesList, name, layout);
}

// An extra Preload value naming `data`, where Windows loads it: Windows reads "1", "2", ... only
// up to the first missing number, and until the stale values go no name in Preload disappears.
// So the extra takes the first number after the run that no value holds now and the new list
// does not use; a number on the way that only the new list uses holds `data` too, until the
// new value overwrites it, so that no gap opens before the extra.
const char* StoreExtraPreload(const char* data)
{
    List& list = preloadList;
    char name[newNameCapacity];
    for (;;) {
        wsprintfA(name, "%d", list.nextExtra++);
        if (Find(list.now, list.nowcount, name) != nullptr || Find(list.extra, list.extracount, name) != nullptr)
            continue;
        if (Find(list.target, list.targetcount, name) == nullptr)
            return StoreExtra(list, name, data);
        if (!Store(list, name, data))
            return nullptr;
    }
}

// Names `layout` in Preload by an extra value: directly, or through an extra Substitutes value
// when a Substitutes value is named like the layout and would redirect it.
bool KeepNamed(const char* layout)
{
    const char* data = layout;
    if (InList(substitutesList, layout))
        data = StoreExtraSubstitute(layout);
    return data != nullptr && StoreExtraPreload(data) != nullptr;
}

// Marks the values of Preload now that Windows loads, "1", "2", ... up to the first missing
// number; gives the last number.
int MarkLoaded(bool* loaded)
{
    const List& list = preloadList;
    for (int last = 0;; ++last) {
        char name[16];
        wsprintfA(name, "%d", last + 1);
        const SubstituteEntry* value = Find(list.now, list.nowcount, name);
        if (value == nullptr)
            return last;
        loaded[value - list.now] = true;
    }
}

// Until the new lists are complete, keeps named in Preload, where Windows loads it, every layout
// that both the lists now and the new lists name: a layout that no untouched value among those
// Windows loads names gets an extra value.
bool KeepLayoutsNamed()
{
    List& preload = preloadList;
    const List& substitutes = substitutesList;
    const char* layoutAfter[layoutTableCapacity];
    for (DWORD i = 0; i < preload.targetcount; ++i)
        layoutAfter[i] = StandsFor(preload.target[i].value, substitutes.target, substitutes.targetcount);
    const char* layoutNow[layoutTableCapacity];
    bool loaded[layoutTableCapacity] = {};
    preload.nextExtra = MarkLoaded(loaded) + 1;
    bool untouched[layoutTableCapacity];
    for (DWORD i = 0; i < preload.nowcount; ++i) {
        layoutNow[i] = StandsFor(preload.now[i].value, substitutes.now, substitutes.nowcount);
        untouched[i] = loaded[i] && Keeps(preload, preload.now[i]) && SubstituteUntouched(preload.now[i].value);
    }
    for (DWORD i = 0; i < preload.nowcount; ++i) {
        const char* layout = layoutNow[i];
        bool namedAfter = false;
        for (DWORD j = 0; j < preload.targetcount && !namedAfter; ++j)
            namedAfter = SameLayoutKey(layoutAfter[j], layout);
        // Named untouched, or seen at an earlier value and kept named there.
        bool named = layout == nullptr || !namedAfter;
        for (DWORD j = 0; j < preload.nowcount && !named; ++j)
            named = (j < i || untouched[j]) && SameLayoutKey(layoutNow[j], layout);
        if (!named && !KeepNamed(layout))
            return false;
    }
    return true;
}

// Deletes every value that `list` holds now and is not to hold. Before the stores, a name that
// only changes its letter case goes too, as a write would keep the old case; after them, it
// holds the new value and stays.
bool DeleteStale(List& list, bool beforeStores)
{
    for (DWORD i = 0; i < list.nowcount; ++i) {
        const SubstituteEntry* kept = Find(list.target, list.targetcount, list.now[i].name);
        const bool stale = kept == nullptr || (beforeStores && !Same(kept->name, list.now[i].name));
        if (stale && !Delete(list, list.now[i].name))
            return false;
    }
    return true;
}

// Stores every value of the target that `list` does not hold exactly so yet, in table order;
// with `standardFirst`, those named by a standard key go before the others.
bool StoreChanged(List& list, bool standardFirst)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (DWORD i = 0; i < list.targetcount; ++i) {
            const SubstituteEntry& value = list.target[i];
            const SubstituteEntry* now = Find(list.now, list.nowcount, value.name);
            const bool early = standardFirst && IsStandardLayoutKey(value.name);
            if ((pass == 0) != early || (now != nullptr && Keeps(list, *now)))
                continue;
            if (!Store(list, value.name, value.value))
                return false;
        }
    }
    return true;
}

bool DeleteExtras(List& list)
{
    for (DWORD i = 0; i < list.extracount; ++i) {
        if (!Delete(list, list.extra[i].name))
            return false;
    }
    return true;
}

bool Rewrite()
{
    List& preload = preloadList;
    List& substitutes = substitutesList;
    if (!ReadNow(preload, false) || !ReadNow(substitutes, true))
        return false;
    preload.targetcount = newpreloadcount;
    for (DWORD i = 0; i < newpreloadcount; ++i) {
        preload.target[i].name = newpreload[i].name;
        preload.target[i].value = newpreload[i].klid;
    }
    substitutes.targetcount = keepSubstitutes ? substitutes.nowcount : newsubstitutecount;
    for (DWORD i = 0; i < substitutes.targetcount; ++i)
        substitutes.target[i] = keepSubstitutes ? substitutes.now[i] : newsubstitutes[i];
    // Extra substitute keys count as generated ones.
    substitutes.nextExtra = 1;
    // The first failure ends the rewrite: the extra values then still name every layout. Preload
    // loses no name before its new values are all stored, so that no gap opens in it meanwhile.
    return KeepLayoutsNamed() && DeleteStale(substitutes, true) && StoreChanged(substitutes, true) &&
           StoreChanged(preload, false) && DeleteStale(preload, false) && DeleteExtras(preload) &&
           DeleteExtras(substitutes);
}

void CloseList(List& list)
{
    if (list.key != nullptr)
        RegCloseKey(list.key);
    list.key = nullptr;
}

}

bool WriteUserLayoutLists(HKEY user, const char* name)
{
    if (notInPreload || nothingToWrite)
        return true;
    if (newpreloadcount == 0) {
        SetErrorText("INTERNER FEHLER: newpreloadcount ist 0!");
        return false;
    }
    errorText[0] = '\0';
    // Opened for writing: a missing Substitutes key is created through this handle.
    userName = name;
    layoutsKey = OpenKeyWrite(user, layoutsPath);
    if (layoutsKey == nullptr) {
        SetErrorText("Warnung:\nFehler beim Öffnen des Registry-Keys %s\\%s", userName, layoutsPath);
        return false;
    }
    preloadList.name = "Preload";
    substitutesList.name = "Substitutes";
    const bool written = Rewrite();
    CloseList(preloadList);
    CloseList(substitutesList);
    RegCloseKey(layoutsKey);
    return written;
}
