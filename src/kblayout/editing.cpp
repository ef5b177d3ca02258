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
bool NamedDirectly(const char* key)
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (preload[i].substitute == nullptr && SameLayoutKey(preload[i].klid, key))
            return true;
    }
    return false;
}

bool Generated(const char* key)
{
    for (DWORD i = 0; i < newsubstitutecount; ++i) {
        if (SameLayoutKey(newsubstitutes[i].name, key))
            return true;
    }
    return false;
}

// The input language of a Preload identifier: its last four hexadecimal digits, which Windows
// reads as the language the layout serves. An identifier that is not 8 characters ending so
// (an added layout has none yet) counts as German, the product's own language.
const char* Language(const char* klid)
{
    if (klid == nullptr || strlen(klid) != 8 || strspn(klid + 4, "0123456789abcdefABCDEF") != 4)
        return "0407";
    return klid + 4;
}

bool SameLanguage(const PreloadEntry& first, const PreloadEntry& second)
{
    return SameLayoutKey(Language(first.klid), Language(second.klid));
}

// A fresh substitute key for an entry named `klid` in Preload: "d", the first number from 001
// that gives a key not generated for the new list yet nor named directly by an entry, and the
// entry's own language, so that the layout stays where the user put it.
char* SubstituteKey(const char* klid)
{
    char text[newNameCapacity];
    unsigned long counter = 1;
    do {
        wsprintfA(text, "d%03lx%s", counter++, Language(klid));
    } while (NamedDirectly(text) || Generated(text));
    return HeapText(text);
}

// The layout an entry stands for: its substitute or, without one, its own identifier.
const char* StandsFor(const PreloadEntry& entry)
{
    return entry.substitute != nullptr ? entry.substitute : entry.klid;
}

// True for an entry that stands for the product's layout, also one that names it directly: once
// its catalogue key is gone, Windows can only fail to load it.
bool Leaves(const PreloadEntry& entry)
{
    return SameLayoutKey(StandsFor(entry), layoutKey);
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

// The entry that carries the standard key of the entry at `standard` after the removal: that
// entry itself, or, when it leaves, the nearest entry of its language that stays, before it or
// else after it; -1 when no entry of that language stays.
int Heir(int standard)
{
    if (!Leaves(preload[standard]))
        return standard;
    for (int i = standard - 1; i >= 0; --i) {
        if (!Leaves(preload[i]) && SameLanguage(preload[i], preload[standard]))
            return i;
    }
    for (DWORD i = standard + 1; i < preloadcount; ++i) {
        if (!Leaves(preload[i]) && SameLanguage(preload[i], preload[standard]))
            return static_cast<int>(i);
    }
    return -1;
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
int PlaceRemaining(int* order)
{
    int placed = 0;
    bool isPlaced[layoutTableCapacity] = {};
    for (int n = 0; n <= removalLastNumber; ++n) {
        for (DWORD i = 0; i < preloadcount; ++i) {
            if (!Leaves(preload[i]) && preload[i].number == n) {
                order[placed++] = static_cast<int>(i);
                isPlaced[i] = true;
            }
        }
    }
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (!Leaves(preload[i]) && !isPlaced[i])
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
        if (SameLayoutKey(StandsFor(preload[i]), key))
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
void AppendAdded(const PreloadEntry& entry)
{
    PreloadEntry& copy = newpreload[newpreloadcount++];
    copy.name = entry.name;
    copy.substitute = entry.substitute;
    copy.number = entry.number;
    if (entry.substitute == nullptr) {
        copy.klid = entry.klid;
        return;
    }
    copy.klid = IsStandardLayoutKey(entry.klid) ? entry.klid : SubstituteKey(entry.klid);
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
    int standard = -1;
    bool leaving = false;
    bool allSubstituted = true;  // of the entries that stay
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (Leaves(preload[i]))
            leaving = true;
        else if (preload[i].substitute == nullptr)
            allSubstituted = false;
        if (IsStandardLayoutKey(preload[i].klid))
            standard = static_cast<int>(i);
    }
    if (!leaving) {
        notInPreload = 1;
        return true;
    }

    // When every entry that stays is substituted, one of them must carry the standard key in
    // Substitutes after the removal. Only an entry of the standard key's language may: the key's
    // last digits are the language Windows files the layout under.
    const int heir = allSubstituted && standard != -1 ? Heir(standard) : -1;
    const char* heirKey = heir != -1 ? preload[standard].klid : nullptr;

    bool defaultLeaves = false;
    for (DWORD i = 0; i < preloadcount; ++i) {
        PreloadEntry& entry = preload[i];
        if (NamesStandardKey(entry))
            entry.isStandard = 1;
        else if (!entry.canonical)
            entry.number = movedLastNumber;
        defaultLeaves = defaultLeaves || (Leaves(entry) && entry.number == 1);
    }
    if (defaultLeaves) {
        int number = 1;
        for (DWORD i = 0; i < preloadcount; ++i) {
            if (preload[i].isStandard)
                preload[i].number = number++;
        }
    }

    int order[layoutTableCapacity];
    const int placed = PlaceRemaining(order);
    for (int place = 0; place < placed; ++place) {
        PreloadEntry& entry = preload[order[place]];
        entry.newNumber = place + 1;
        if (entry.substitute == nullptr) {
            entry.newKlid = entry.klid;
            continue;
        }
        entry.newKlid = order[place] == heir ? HeapText(heirKey) : SubstituteKey(entry.klid);
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

bool RemovalLeavesNoLayout()
{
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (!Leaves(preload[i]))
            return false;
    }
    return preloadcount > 0;
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

    bool isPlaced[layoutTableCapacity] = {};
    for (int pass = 0; pass < 2; ++pass) {
        const bool standardPass = pass == 0;
        for (int n = 0; n <= additionLastNumber; ++n) {
            for (DWORD i = 0; i < preloadcount; ++i) {
                if (NamesStandardKey(preload[i]) == standardPass && preload[i].number == n) {
                    AppendAdded(preload[i]);
                    isPlaced[i] = true;
                }
            }
        }
    }
    // Entries beyond the numbers visited (a "99" that has just become "100") are kept too.
    for (DWORD i = 0; i < preloadcount; ++i) {
        if (!isPlaced[i])
            AppendAdded(preload[i]);
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
