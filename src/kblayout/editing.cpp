#include <string.h>

#include "kblayout/layouts.h"
#include "text/convert.h"

namespace {

// Numbers that the renumbering of a removal visits; non-canonical names are moved to 200.
const int removalLastNumber = 201;
const int movedLastNumber = 200;
const int additionLastNumber = 99;

char* NumberText(int number)
{
    char text[16];
    wsprintfA(text, "%d", number);
    return HeapText(text);
}

// True when an entry without a substitute names `key` directly: a generated key equal to it
// would make Substitutes redirect that entry too.
bool NamedDirectly(const char* key, int removed)
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (static_cast<int>(i) != removed && preload[i].substitute == nullptr && SameLayoutKey(preload[i].klid, key))
            return true;
    }
    return false;
}

// The generated substitute keys d0010407, d0020407, ..., passing over any that an entry
// without a substitute names directly.
char* SubstituteKey(int* counter, int removed)
{
    char text[newNameCapacity];
    do {
        wsprintfA(text, "d%03lx0407", static_cast<unsigned long>((*counter)++));
    } while (NamedDirectly(text, removed));
    return HeapText(text);
}

bool IsProductEntry(const PreloadEntry& entry, const char* key)
{
    return entry.substitute != nullptr && SameLayoutKey(entry.substitute, key);
}

// The last Preload entry substituted by `key`, or -1.
int FindProductEntry(const char* key)
{
    int found = -1;
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (IsProductEntry(preload[i], key))
            found = static_cast<int>(i);
    }
    return found;
}

bool NamesStandardKey(const PreloadEntry& entry)
{
    return IsStandardLayoutKey(entry.klid) || IsStandardLayoutKey(entry.substitute);
}

void Renumber(PreloadEntry& entry, int number)
{
    entry.number = number;
    entry.name = NumberText(number);
}

bool HasCanonicalName(int number)
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (preload[i].canonical && preload[i].number == number)
            return true;
    }
    return false;
}

// The last of the names "1", "2", ... before the first number that no name has.
int LastOfRun()
{
    int last = 0;
    while (HasCanonicalName(last + 1))
        ++last;
    return last;
}

void AppendSubstitute(char* name, char* value)
{
    newsubstitutes[newsubstitutecount].name = name;
    newsubstitutes[newsubstitutecount].value = value;
    ++newsubstitutecount;
}

// The places of a removal: `order` receives the entries to keep, in their new order. Entries
// whose number lies outside the numbers visited are not dropped but follow the others.
int PlaceRemaining(int removed, int* order)
{
    int placed = 0;
    bool isPlaced[layoutTableCapacity] = {};
    for (int n = 0; n <= removalLastNumber; ++n) {
        for (DWORD i = 0; i < preloadcount; ++i) {
            if (static_cast<int>(i) != removed && preload[i].number == n) {
                order[placed++] = static_cast<int>(i);
                isPlaced[i] = true;
            }
        }
    }
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (static_cast<int>(i) != removed && !isPlaced[i])
            order[placed++] = static_cast<int>(i);
    }
    return placed;
}

void AppendNewPreload(const PreloadEntry& entry)
{
    PreloadEntry& copy = newpreload[newpreloadcount++];
    copy.name = NumberText(entry.newNumber);
    copy.klid = entry.newKlid;
    copy.substitute = entry.substitute;
    copy.number = entry.newNumber;
}

// True when a Preload entry stands for the layout `key`, through its substitute or, without
// one, directly: adding that layout again would name it twice.
bool InPreload(const char* key)
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (SameLayoutKey(preload[i].substitute != nullptr ? preload[i].substitute : preload[i].klid, key))
            return true;
    }
    return false;
}

// The catalogue entry to reuse for AddUserLayout, or a new key when `index` is -1.
bool ChooseNewKey(int index)
{
    if (index == -1) {
        // Windows reads a key number of three hexadecimal digits and an id of four: the next
        // number beyond them is refused, not wrapped round onto a key or an id in use. A key
        // that stale lists still name, though the catalogue has lost it, is passed over.
        char keyName[newNameCapacity];
        int number = maxKeyNumber;
        do {
            wsprintfA(keyName, "b%03lx0407", static_cast<unsigned long>(++number));
        } while (InPreload(keyName));
        if (number > 0xFFF) {
            SetErrorText(
                "Kein neuer Layout-Schlüssel möglich: die Schlüsselnummer %lx ist schon vergeben (höchstens fff)",
                static_cast<unsigned long>(number - 1));
            return false;
        }
        if (layoutIdUnknown) {
            SetErrorText("Keine neue \"Layout Id\" möglich: nicht jeder Schlüssel in HKEY_LOCAL_MACHINE\\%s kann "
                         "gelesen werden",
                         layoutCataloguePath);
            return false;
        }
        if (maxLayoutId >= 0xFFFF) {
            SetErrorText("Keine neue \"Layout Id\" möglich: %lx ist schon vergeben (höchstens ffff)",
                         static_cast<unsigned long>(maxLayoutId));
            return false;
        }
        strcpy(newKeyName, keyName);
        wsprintfA(newLayoutId, "%04lx", static_cast<unsigned long>(maxLayoutId < 0xC00 ? 0xC00 : maxLayoutId + 1));
        return true;
    }
    const LayoutEntry* entry = index >= 0 && static_cast<DWORD>(index) < layoutcount ? &layouts[index] : nullptr;
    if (entry == nullptr || entry->keyName == nullptr || entry->layoutIdText == nullptr ||
        strlen(entry->keyName) >= static_cast<size_t>(newNameCapacity) ||
        strlen(entry->layoutIdText) >= static_cast<size_t>(newNameCapacity)) {
        SetErrorText("Layout-Eintrag %d kann nicht übernommen werden (Name oder \"Layout Id\" fehlt oder ist zu lang)",
                     index);
        return false;
    }
    if (InPreload(entry->keyName)) {
        SetErrorText("Layout %s ist schon in HKEY_CURRENT_USER\\Keyboard Layout\\Preload eingetragen", entry->keyName);
        return false;
    }
    strcpy(newKeyName, entry->keyName);
    strcpy(newLayoutId, entry->layoutIdText);
    return true;
}

// One place of AddUserLayout's new lists.
void AppendAdded(const PreloadEntry& entry, int* counter)
{
    PreloadEntry& copy = newpreload[newpreloadcount++];
    copy.name = entry.name;
    copy.substitute = entry.substitute;
    copy.number = entry.number;
    if (entry.substitute == nullptr) {
        copy.klid = entry.klid;
        return;
    }
    copy.klid = IsStandardLayoutKey(entry.klid) ? entry.klid : SubstituteKey(counter, -1);
    AppendSubstitute(copy.klid, entry.substitute);
}

}

bool RemoveUserLayout()
{
    if (layoutKeyIndex == -1) {
        SetErrorText("Schlüssel nicht vorhanden");
        return false;
    }
    if (IsStandardLayoutKey(layoutKey)) {
        SetErrorText("Standard-Layout kann nicht entfernt werden");
        return false;
    }
    int removed = -1;
    int standard = -1;
    int firstPlain = -1;
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (IsProductEntry(preload[i], layoutKey))
            removed = static_cast<int>(i);
        if (IsStandardLayoutKey(preload[i].klid))
            standard = static_cast<int>(i);
        if (preload[i].substitute == nullptr && firstPlain == -1)
            firstPlain = static_cast<int>(i);
    }
    if (removed == -1) {
        notInPreload = 1;
        return true;
    }

    // When every entry is substituted, one of them must carry the standard key in Substitutes
    // after the removal: the standard entry itself, or, when that is the product's, its
    // neighbour, which inherits the standard key.
    int heir = -1;
    const char* heirKey = nullptr;
    if (firstPlain == -1 && standard != -1) {
        heirKey = preload[standard].klid;
        heir = removed != standard ? standard : (removed == 0 ? 1 : removed - 1);
        if (heir >= static_cast<int>(preloadcount))
            heir = -1;
    }

    for (DWORD i = 0; i < preloadcount; ++i) {
        PreloadEntry& entry = preload[i];
        if (NamesStandardKey(entry))
            entry.isStandard = 1;
        else if (!entry.canonical)
            entry.number = movedLastNumber;
    }
    if (preload[removed].number == 1) {
        int number = 1;
        for (DWORD i = 0; i < preloadcount; ++i) {
            if (preload[i].isStandard)
                preload[i].number = number++;
        }
    }

    int order[layoutTableCapacity];
    const int placed = PlaceRemaining(removed, order);
    int counter = 1;
    for (int place = 0; place < placed; ++place) {
        PreloadEntry& entry = preload[order[place]];
        entry.newNumber = place + 1;
        if (entry.substitute == nullptr) {
            entry.newKlid = entry.klid;
            continue;
        }
        entry.newKlid = order[place] == heir ? HeapText(heirKey) : SubstituteKey(&counter, removed);
        AppendSubstitute(entry.newKlid, entry.substitute);
    }
    for (int place = 0; place < placed; ++place) {
        if (preload[order[place]].substitute == nullptr)
            AppendNewPreload(preload[order[place]]);
    }
    for (int place = 0; place < placed; ++place) {
        if (preload[order[place]].substitute != nullptr)
            AppendNewPreload(preload[order[place]]);
    }
    return true;
}

bool AddUserLayout(int index)
{
    if (layoutKeyIndex != -1) {
        SetErrorText("Schlüssel schon vorhanden");
        return false;
    }
    if (preloadcount >= static_cast<DWORD>(layoutTableCapacity)) {
        SetErrorText("Kein Platz für ein weiteres Layout in HKEY_CURRENT_USER\\Keyboard Layout\\Preload (höchstens %d)",
                     layoutTableCapacity);
        return false;
    }
    if (!ChooseNewKey(index))
        return false;

    // Only the names "1" to "n" move one place back, "n" being the last before the first number
    // that no name has: "1" is free then for the added layout, and no two entries get the same
    // name. A "0", a name after the gap and a non-canonical name keep theirs, as in
    // MakeUserLayoutDefault.
    const int lastMoved = LastOfRun();
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (preload[i].canonical && preload[i].number >= 1 && preload[i].number <= lastMoved)
            Renumber(preload[i], preload[i].number + 1);
    }
    PreloadEntry& added = preload[preloadcount++];
    added.name = NumberText(1);
    added.number = 1;
    added.canonical = 1;
    added.substitute = HeapText(newKeyName);

    int counter = 1;
    bool isPlaced[layoutTableCapacity] = {};
    for (int pass = 0; pass < 2; ++pass) {
        const bool standardPass = pass == 0;
        for (int n = 0; n <= additionLastNumber; ++n) {
            for (DWORD i = 0; i < preloadcount; ++i) {
                if (NamesStandardKey(preload[i]) == standardPass && preload[i].number == n) {
                    AppendAdded(preload[i], &counter);
                    isPlaced[i] = true;
                }
            }
        }
    }
    // Entries beyond the numbers visited (a "99" that has just become "100") are kept too.
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (!isPlaced[i])
            AppendAdded(preload[i], &counter);
    }
    return true;
}

bool MakeUserLayoutDefault()
{
    keepSubstitutes = 1;
    if (layoutFileIndex == -1) {
        SetErrorText("Schlüssel nicht vorhanden");
        nothingToWrite = 1;
        return false;
    }
    // The layout checked is the one moved: an installer knows its driver file, not the key
    // that it was once given.
    const int product = FindProductEntry(layouts[layoutFileIndex].keyName);
    if (product == -1) {
        notInPreload = 1;
        return true;
    }
    const int moved = preload[product].number;
    if (moved == 1 || !preload[product].canonical) {
        nothingToWrite = 1;
        return true;
    }
    // Only names 1 to the product's move; another "0" turned into "1" would take the default's
    // name. A product named "0" (or below) takes "1" as an added layout does: the names up to
    // the first number that no name has move one place back.
    const int lastMoved = moved >= 1 ? moved : LastOfRun();
    for (DWORD i = 0; i < preloadcount; ++i) {
        PreloadEntry& entry = preload[i];
        if (static_cast<int>(i) != product && entry.canonical && entry.number >= 1 && entry.number <= lastMoved)
            Renumber(entry, entry.number + 1);
    }
    Renumber(preload[product], 1);

    bool isPlaced[layoutTableCapacity] = {};
    const auto place = [&isPlaced](DWORD i) {
        newpreload[newpreloadcount++] = preload[i];
        isPlaced[i] = true;
    };
    for (int substituted = 0; substituted < 2; ++substituted) {
        for (DWORD m = 1; m <= preloadcount; ++m) {
            for (DWORD i = 0; i < preloadcount; ++i) {
                if ((preload[i].substitute != nullptr) == (substituted == 1) && preload[i].number == static_cast<int>(m))
                    place(i);
            }
        }
    }
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (preload[i].number == 0)
            place(i);
    }
    // Numbers beyond the list's length, or below 0, keep their entries at the end.
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (!isPlaced[i])
            place(i);
    }
    return true;
}
