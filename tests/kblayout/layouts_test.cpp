#include "kblayout/layouts.h"

#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "registry/registry.h"
#include "support.h"

namespace {

typedef RegistryValues Values;
typedef std::multiset<std::string> Layouts;  // each as often as it is named

const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";
const char product[] = "A0010407";  // the catalogue names it "a0010407": every load matches it in any case
const std::string catalogue = std::string(layoutCataloguePath) + "\\";
const Values missing = {{"<missing>", ""}};  // a key that is not there, as ReadRegistryValues gives it

// "00000407 d0010407" or "1=00000407 2=d0010407" as values, unnamed ones numbered; "-": no key.
Values V(const std::string& text)
{
    if (text == "-")
        return missing;
    Values values;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const size_t equals = word.find('=');
        values[equals == std::string::npos ? std::to_string(values.size() + 1) : word.substr(0, equals)] =
            word.substr(equals + 1);
    }
    return values;
}

std::string Upper(std::string text)
{
    CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The layouts Preload names, through Substitutes as Windows looks them up, in upper case; with
// `loadedOnly` only those Windows loads (up to the first gap), with `languages` each followed by
// the language its entry files it under. `first`: the one "1" names.
Layouts NamedLayouts(bool loadedOnly, std::string* first = nullptr, bool languages = false)
{
    std::map<std::string, std::string> standsFor;
    for (const auto& pair : ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath))
        standsFor[Upper(pair.first)] = Upper(pair.second);
    Values values = ReadRegistryValues(HKEY_CURRENT_USER, preloadPath);
    Values loaded;
    for (int n = 1; values.count(std::to_string(n)) != 0; ++n)
        loaded[std::to_string(n)] = values[std::to_string(n)];
    Layouts layouts;
    for (const auto& entry : loadedOnly ? loaded : values) {
        const auto substitute = standsFor.find(Upper(entry.second));
        const std::string layout = substitute != standsFor.end() ? substitute->second : Upper(entry.second);
        layouts.insert(languages ? layout + " " + Upper(entry.second.substr(4)) : layout);
        if (first != nullptr && entry.first == "1")
            *first = layout;
    }
    return layouts;
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { OpenRegistrySandbox(); }
    void TearDown() override { CloseRegistrySandbox(); }

    // Writes the lists and a catalogue afresh, loads them and edits (R: remove the product, A: add
    // b0990407, M: make the driver file's layout default); `key` replaces the layout key.
    static bool Load(char edit, const Values& preloadValues, const Values& substituteValues, const char* key = nullptr)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout");
        if (preloadValues != missing)
            WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, preloadValues);
        if (substituteValues != missing)
            WriteRegistryValues(HKEY_CURRENT_USER, substitutesPath, substituteValues);
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "00000407", {{"Layout File", "KBDGR.DLL"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "a0010407",
                            {{"Layout file", "Pelmoradrv.DLL"}, {"Layout Id", "00c1"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "a0030407", {{"Layout Id", "0bff"}});
        strcpy(layoutKey, edit == 'M' ? "" : key != nullptr ? key : edit == 'A' ? "b0990407" : product);
        strcpy(driverFileName, "pelmoradrv.dll");
        if (!LoadLayoutRegistry())
            return false;
        return edit == 'R' ? RemoveUserLayout()
                           : edit == 'A' ? AddUserLayout(-1) : edit != 'M' || MakeUserLayoutDefault();
    }

    // Loads, edits and writes back with the first, second, ... write failing, then completely: each
    // failure is reported, keeps every layout Windows loaded (but the product) where Windows loads
    // it, and writes no changed Substitutes value before the standard keys'. The layouts named before,
    // with their languages.
    static Layouts EditAndWrite(char edit, const Values& preloadValues, const Values& substituteValues)
    {
        for (int k = 1;; ++k) {
            const HKEY next = NextKeyHandle();
            EXPECT_TRUE(Load(edit, preloadValues, substituteValues)) << errorText;
            const Layouts before = NamedLayouts(false, nullptr, true);
            const Layouts loaded = NamedLayouts(true);
            regFailingWrite = k;
            const bool written = WriteUserLayoutLists();
            EXPECT_EQ(std::exchange(regFailingWrite, 0) != 0, written) << errorText;
            EXPECT_EQ(next, NextKeyHandle()) << "a key left open at write " << k;
            if (written || HasFailure())
                return before;
            const std::string text = errorText;
            EXPECT_TRUE(text.rfind("Warnung:\nFehler beim ", 0) == 0 && text.substr(text.size() - 3) != " - ") << text;
            const Layouts after = NamedLayouts(true);
            for (const std::string& layout : loaded)
                EXPECT_TRUE((edit == 'R' && layout == product) || after.count(layout) != 0) << layout << " at " << k;
            Values now = ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath);
            Values was = substituteValues;
            bool standardMissing = false;
            bool otherWritten = false;
            for (DWORD i = 0; !keepSubstitutes && i < newsubstitutecount; ++i) {
                const SubstituteEntry& value = newsubstitutes[i];
                if (IsStandardLayoutKey(value.name))
                    standardMissing = standardMissing || now[value.name] != value.value;
                else
                    otherWritten = otherWritten || (now[value.name] == value.value && was[value.name] != value.value);
            }
            EXPECT_FALSE(standardMissing && otherWritten) << "write " << k;
        }
    }
};

const struct {
    char edit;
    const char* preload;
    const char* substitutes;
    const char* expectedPreload;
    const char* expectedSubstitutes;
} edits[] = {
    // Names match in any letter case; removing the default makes the standard layout default.
    {'R', "00000407 d0010407 D0020407", "D0010407=a0020407 d0020407=a0010407", "00000407 d0010407", "d0010407=a0020407"},
    {'R', "d0010407 d0020407 00000407 00000409", "d0010407=a0010407 d0020407=a0020407", "00000407 d0010407 00000409",
     "d0010407=a0020407"},
    // All substituted: the standard key goes to the entry before the product's (after it when first).
    {'R', "d0010407 00000407", "d0010407=a0020407 00000407=a0010407", "00000407", "00000407=a0020407"},
    {'R', "00000407 d0020407", "00000407=a0010407 d0020407=a0030407", "00000407", "00000407=a0030407"},
    {'R', "00000407 d0010407", "00000407=a0020407 d0010407=a0010407", "00000407", "00000407=a0020407"},
    {'R', "d0030407 00000407 d0010407", "d0030407=a0010407 00000407=a0020407 d0010407=00000407", "00000407 d0010407",
     "00000407=a0020407 d0010407=00000407"},
    // Odd names follow the regular ones; every entry of the product goes, also one naming it
    // directly; a generated key never redirects an entry that names it directly.
    {'R', "-3=a0030407 01=d0010407 1=00000407 250=a0020407 3=d0020407", "d0010407=a0010407 d0020407=a0010407",
     "00000407 a0030407 a0020407", ""},
    {'R', "d0010407 d0020407 d0030407", "d0020407=a0010407 d0030407=a0020407", "d0010407 d0020407", "d0020407=a0020407"},
    {'R', "00000407 a0010407", "x=y", "00000407", ""},
    // Entries that stay keep their languages; the standard key goes only to an entry of its own.
    {'R', "d0010407 d0010409 d0010807 D001040C",
     "d0010407=a0010407 d0010409=00020409 d0010807=A0010407 D001040C=0001040c", "d0010409 d001040C",
     "d0010409=00020409 d001040C=0001040c"},
    {'R', "d0010407 d001040c 00000407 d0010807 d0020407",
     "d0010407=a0020407 d001040c=0001040c 00000407=a0010407 d0010807=a0010407 d0020407=A0010407", "00000407 d001040c",
     "00000407=a0020407 d001040c=0001040c"},
    {'R', "00000407 d0010409", "00000407=a0010407 d0010409=00020409", "d0010409", "d0010409=00020409"},
    // A product that is not the default leaves the standard layouts where they are; one that is not
    // in the lists leaves them as they are, however few.
    {'R', "00000407 d0030407 d0010407 00000409", "d0030407=a0010407 d0010407=a0020407", "00000407 d0010407 00000409",
     "d0010407=a0020407"},
    {'R', "0=d0020407", "d0020407=a0020407", "0=d0020407", "d0020407=a0020407"},
    // No failing write leaves a gap before a layout, here 00000409 when "2" is not stored.
    {'R', "00000407 d0010407 00000409", "d0010407=a0010407", "00000407 00000409", ""},
    // Only names 1 to the first gap move; "0" and "01" keep theirs; Substitutes is created.
    {'A', "0=00000409 1=00000407 2=a0020407 4=a0030407 01=00000807", "-",
     "0=00000409 1=d0010407 2=00000407 3=a0020407 4=a0030407 01=00000807", "d0010407=b0040407"},
    // Entries naming a standard layout take the first generated keys, "99" too.
    {'A', "d0020407", "d0020407=00000407", "d0020407 d0010407", "d0010407=00000407 d0020407=b0040407"},
    {'A', "1=d0020407 99=d0030407", "d0020407=a0020407 d0030407=00000407", "1=d0020407 2=d0030407 99=d0010407",
     "d0010407=00000407 d0020407=b0040407 d0030407=a0020407"},
};

TEST_F(LayoutTest, EditsGiveTheirListsThroughEveryFailingWrite)
{
    for (const auto& c : edits) {
        SCOPED_TRACE(c.edit + std::string(" ") + c.preload);
        EditAndWrite(c.edit, V(c.preload), V(c.substitutes));
        EXPECT_EQ(V(c.expectedPreload), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
        EXPECT_EQ(V(c.expectedSubstitutes), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
    }
}

// A refused edit, a list longer than its table, or one missing or refused at the write-back says why
// and leaves the lists alone.
TEST_F(LayoutTest, RefusalsAndSpoiledListsWriteNothing)
{
    Values full;
    for (int i = 1; i <= layoutTableCapacity; ++i)
        full[std::to_string(i)] = "00000407";
    Values many = full;
    many["101"] = "00000407";
    const Values usual = V("00000407 d0010407 d0020407");
    const Values substituted = V("d0010407=a0020407 d0020407=a0010407");
    const std::string tooMany = "Zu viele Einträge im Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\";
    const std::string open = "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\";
    const struct {
        char edit;
        const char* key;
        Values preload;
        Values substitutes;
        const char* spoiled;  // before the write-back: deleted, or refused when it is Substitutes and there is a text
        std::string text;     // empty: written
    } cases[] = {
        {'R', nullptr, many, substituted, nullptr, tooMany + "Preload (höchstens 100)"},
        {'R', nullptr, usual, many, nullptr, tooMany + "Substitutes (höchstens 100)"},
        {'R', "b0090407", usual, substituted, nullptr, "Schlüssel nicht vorhanden"},
        {'A', "a0010407", usual, substituted, nullptr, "Schlüssel schon vorhanden"},
        {'A', nullptr, full, substituted, nullptr,
         "Kein Platz für ein weiteres Layout in HKEY_CURRENT_USER\\Keyboard Layout\\Preload (höchstens 100)"},
        {'R', nullptr, missing, substituted, nullptr, open + "Preload"},
        {'R', nullptr, usual, substituted, preloadPath, "Warnung:\n" + open + "Preload"},
        {'R', nullptr, usual, substituted, substitutesPath, "Warnung:\n" + open + "Substitutes"},
        {'R', nullptr, usual, V("d0020407=a0010407"), substitutesPath, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const bool edited = Load(c.edit, c.preload, c.substitutes, c.key);
        ASSERT_EQ(c.spoiled != nullptr, edited) << errorText;
        const std::string refusal = errorText;
        if (c.spoiled != nullptr)
            RegDeleteTreeA(HKEY_CURRENT_USER, c.spoiled);
        if (c.spoiled == substitutesPath && !c.text.empty())
            WriteRefusedKey(HKEY_CURRENT_USER, substitutesPath);
        EXPECT_EQ(c.text.empty(), WriteUserLayoutLists());
        EXPECT_EQ(c.text, edited ? errorText : refusal);
        EXPECT_EQ(c.text.empty() ? V("00000407 d0010407") : c.spoiled == preloadPath ? missing : c.preload,
                  ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
        EXPECT_EQ(c.spoiled == substitutesPath ? missing : c.substitutes,
                  ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
        RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);  // a refused key goes only so
    }
}

// A new key never takes the number or id of any catalogue key (ids of every language, any letter
// case) nor a key that stale lists name; a reused entry must not be in Preload already.
TEST_F(LayoutTest, AddingTakesAFreshKeyOrACatalogueEntryThatFits)
{
    const Values ids = {{"a0040407", "0000000000000000c04"}, {"b0080C07", "0c08"}, {"b0090c07", "0ffe"}};
    for (const auto& id : ids)
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + id.first, {{"Layout Id", id.second}});
    WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "b00a0807", {{"LAYOUT ID", "0fff"}});
    // The lists name a0030407, and stale keys missing from the catalogue.
    const auto add = [](int index) {
        EXPECT_TRUE(Load(' ', V("00000407 d0010407 B00B0407 bffe0407"), V("d0010407=A0030407"), "b0990407"))
            << errorText;
        return AddUserLayout(index) ? std::string(newKeyName) + " " + newLayoutId : std::string(errorText);
    };
    EXPECT_EQ("a0040407 0000000000000000c04", add(3));
    EXPECT_EQ("Layout a0030407 ist schon in HKEY_CURRENT_USER\\Keyboard Layout\\Preload eingetragen", add(2));
    // Ids of every language count; a number the lists name is passed over; none wraps round.
    const char* const fresh[][3] = {
        {"bffd0407", "0100", "bfff0407 1000"},
        {"afff0409", "1234", "b00c0407 1235"},
        {"0fff1407", "0100",
         "Kein neuer Layout-Schlüssel möglich: die Schlüsselnummer fff ist schon vergeben (höchstens fff)"},
    };
    for (const auto& c : fresh) {
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + c[0], {{"Layout Id", c[1]}});
        EXPECT_EQ(c[2], add(-1));
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (catalogue + c[0]).c_str());
    }
    // A German key that cannot be read fails the load: its "Layout File" might be the product's.
    WriteRefusedKey(HKEY_LOCAL_MACHINE, catalogue + "b0050407");
    EXPECT_FALSE(LoadLayoutRegistry());
    EXPECT_EQ("Fehler beim Öffnen des Registry-Subkeys " + catalogue.substr(0, catalogue.size() - 1) + " - b0050407",
              std::string(errorText));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (catalogue + "b0050407").c_str());
}

// Random lists through the three edits and every failing write: all layouts stay named as often as
// before and in the same languages (less the product, plus the new one), a removal numbers 1 to n,
// the new or moved one is "1".
TEST_F(LayoutTest, RandomListsKeepTheirLayoutsThroughEveryEditAndFailingWrite)
{
    std::mt19937 random(20261206);
    const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
    const char* substituted[] = {"d0010407", "d0020407", "d0010409", "d001040c", "00000407"};
    const char* plain[] = {"00000407", "00000409", "a0020407", "d0040407"};
    const char* targets[] = {"00000407", "00000409", "a0020407", "a0030407"};
    for (int round = 0; round < 240; ++round) {
        const char edit = "RAM"[round % 3];
        const int count = (edit == 'R' ? 2 : 1) + pick(6);
        const int productPlace = edit == 'A' ? -1 : pick(count);
        Values preloadValues;
        Values substituteValues;
        std::string productName;
        int standardNamed = 0;
        // Each substituted identifier is named once, as Windows leaves them.
        std::shuffle(std::begin(substituted), std::end(substituted), random);
        int substitutedUsed = 0;
        for (int place = 0, number = pick(4) == 0 ? 0 : 1; place < count; ++place, number += 1 + (pick(6) == 0)) {
            const std::string name = (pick(8) == 0 ? "0" : "") + std::to_string(number);
            std::string klid = plain[pick(4)];
            if (place == productPlace || (pick(2) == 0 && substitutedUsed < 3)) {
                klid = substituted[substitutedUsed++];
                substituteValues[pick(3) == 0 ? Upper(klid) : klid] = place == productPlace ? product : targets[pick(4)];
                klid = pick(3) == 0 ? Upper(klid) : klid;
            }
            productName = place == productPlace ? name : productName;
            standardNamed += klid == "00000407";
            preloadValues[name] = klid;
        }
        // Nor is a substituted standard key also named directly.
        if (standardNamed > 1 && substituteValues.count("00000407") != 0)
            continue;
        if (substituteValues.empty() && pick(2) == 0)
            substituteValues = missing;

        SCOPED_TRACE(edit + testing::PrintToString(preloadValues) + " " + testing::PrintToString(substituteValues));
        Layouts expected = EditAndWrite(edit, preloadValues, substituteValues);
        ASSERT_FALSE(HasFailure());
        std::string first;
        const Layouts after = NamedLayouts(false, &first, true);
        if (edit == 'R')
            expected.erase(expected.lower_bound(product));
        if (edit == 'A')
            expected.insert(Upper(newKeyName) + " 0407");
        ASSERT_EQ(expected, after);
        const Values names = ReadRegistryValues(HKEY_CURRENT_USER, preloadPath);
        for (size_t number = 1; edit == 'R' && number <= names.size(); ++number)
            ASSERT_EQ(1u, names.count(std::to_string(number))) << "no " << number;
        // A product named "02" is not moved, one named "0" is.
        const bool moved = edit == 'A' || (edit == 'M' && (productName[0] != '0' || productName == "0"));
        ASSERT_EQ(moved, first == (edit == 'A' ? Upper(newKeyName) : product));
        ASSERT_TRUE(edit != 'M' || ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath) == substituteValues);
    }
}

}
