#include "kblayout/layouts.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "support.h"

namespace {

typedef RegistryValues Values;

const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";
const char product[] = "a0010407";
const Values missing = {{"<missing>", ""}};  // a key that is not there, as ReadRegistryValues gives it

struct CatalogueKey {
    std::string name;
    const char* file;
    const char* id;
};

const std::vector<CatalogueKey> standardCatalogue = {
    {"00000407", "KBDGR.DLL", nullptr},      {"00000409", "KBDUS.DLL", nullptr},
    {product, "Pelmoradrv.DLL", "00c1"},     {"a0020407", "KBDOTHER.DLL", "00c2"},
    {"a0030407", "KBDTHIRD.DLL", "0bff"},
};

// "1=00000407 2=d0010407" as values; "-" is a missing key.
Values V(const std::string& text)
{
    if (text == "-")
        return missing;
    Values values;
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        values[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
    return values;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// The layout that each Preload value names now, by value name, through Substitutes as Windows
// looks it up (names ignoring letter case); layouts in upper case.
std::map<std::string, std::string> NamedLayouts()
{
    std::map<std::string, std::string> standsFor;
    for (const auto& pair : ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath))
        standsFor[Upper(pair.first)] = Upper(pair.second);
    std::map<std::string, std::string> layouts;
    for (const auto& entry : ReadRegistryValues(HKEY_CURRENT_USER, preloadPath)) {
        const auto substitute = standsFor.find(Upper(entry.second));
        layouts[entry.first] = substitute != standsFor.end() ? substitute->second : Upper(entry.second);
    }
    layouts.erase(missing.begin()->first);
    return layouts;
}

// The layouts named, each as often as it is named, sorted.
std::vector<std::string> Sorted(const std::map<std::string, std::string>& layouts)
{
    std::vector<std::string> sorted;
    for (const auto& entry : layouts)
        sorted.push_back(entry.second);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// The layouts of `before`, but the product's, that Preload no longer names.
std::vector<std::string> Lost(const std::vector<std::string>& before)
{
    const std::vector<std::string> after = Sorted(NamedLayouts());
    std::vector<std::string> lost;
    for (const std::string& layout : before) {
        if (layout != Upper(product) && std::find(after.begin(), after.end(), layout) == after.end())
            lost.push_back(layout);
    }
    return lost;
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { OpenRegistrySandbox(); }
    void TearDown() override { CloseRegistrySandbox(); }

    // Writes the user's lists afresh (substitutes `missing` leave out the Substitutes key) and the
    // catalogue, and loads them for the edit (R: removal of the product, A: a new layout b0990407
    // added, M: the product made default); `key` replaces the layout key, or for M the driver file.
    static bool Load(char edit, const Values& preloadValues, const Values& substituteValues,
                     const char* key = nullptr, const std::vector<CatalogueKey>& catalogue = standardCatalogue)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout");
        WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, preloadValues);
        if (substituteValues != missing)
            WriteRegistryValues(HKEY_CURRENT_USER, substitutesPath, substituteValues);
        for (const CatalogueKey& catalogueKey : catalogue) {
            Values values = {{"Layout Text", "Deutsch"}};
            if (catalogueKey.file != nullptr)
                values["Layout File"] = catalogueKey.file;
            if (catalogueKey.id != nullptr)
                values["Layout Id"] = catalogueKey.id;
            WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(layoutCataloguePath) + "\\" + catalogueKey.name, values);
        }
        strcpy(layoutKey, edit == 'A' ? "b0990407" : product);
        strcpy(driverFileName, "PELMORADRV.dll");
        if (key != nullptr)
            strcpy(edit == 'M' ? driverFileName : layoutKey, key);
        return LoadLayoutRegistry();
    }

    static bool Edit(char edit, int index = -1)
    {
        return edit == 'R' ? RemoveUserLayout() : edit == 'A' ? AddUserLayout(index) : MakeUserLayoutDefault();
    }

    // Loads and edits the lists and writes them back with the `failingWrite`-th write failing
    // (0: none). Gives the layouts named before; false when the failure came.
    static bool EditAndWrite(char edit, const Values& preloadValues, const Values& substituteValues, int failingWrite,
                             std::vector<std::string>* before)
    {
        EXPECT_TRUE(Load(edit, preloadValues, substituteValues)) << errorText;
        *before = Sorted(NamedLayouts());
        EXPECT_TRUE(Edit(edit)) << errorText;
        regFailingWrite = failingWrite;
        const bool written = WriteUserLayoutLists();
        const bool failed = failingWrite > 0 && regFailingWrite == 0;
        regFailingWrite = 0;
        EXPECT_EQ(!failed, written) << errorText;
        // The warning names what could not be written.
        if (failed) {
            const std::string text = errorText;
            EXPECT_TRUE(text.rfind("Warnung:\nFehler beim ", 0) == 0 && text.substr(text.size() - 3) != " - ") << text;
        }
        return !failed;
    }
};

TEST_F(LayoutTest, SnapshotReadsTheListsAndTheGermanCatalogue)
{
    std::vector<CatalogueKey> catalogue = standardCatalogue;
    catalogue.push_back({"b0050C07", "KBDAT.DLL", "0c07"});
    catalogue.push_back({"b0060c07", "KBDLOWER.DLL", "0fff"});  // the language part keeps its case: not German
    catalogue.push_back({"b0070807", nullptr, nullptr});
    ASSERT_TRUE(Load('R', V("1=00000407 01=d0010407 2=d0010407 1a2=00000409 x=d0020407"),
                     V("d0010407=a0010407 D0020407=a0020407"), "A0010407", catalogue));
    // Catalogue value names count only in their exact case.
    WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(layoutCataloguePath) + "\\b0080407",
                        {{"layout file", "kbdgr.dll"}, {"LAYOUT ID", "0fff"}});
    strcpy(driverFileName, "kbdgr.dll");
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;

    // Name=number, "~" when not canonical, ">" the substitute: only the first entry of the same
    // data is substituted, the Substitutes name matching in any letter case.
    std::string read;
    for (DWORD i = 0; i < preloadcount; ++i)
        read += std::string(preload[i].name) + "=" + std::to_string(preload[i].number) + (preload[i].canonical ? "" : "~") +
                (preload[i].substitute != nullptr ? ">" + Upper(preload[i].substitute) : "") + " ";
    EXPECT_EQ("01=1~>A0010407 1=1 1a2=12~ 2=2 x=0~>A0020407 ", read);
    read.clear();
    for (DWORD i = 0; i < layoutcount; ++i)
        read += std::string(layouts[i].keyName) + ":" + (layouts[i].layoutFile != nullptr ? layouts[i].layoutFile : "-") +
                ":" + std::to_string(layouts[i].layoutId) + " ";
    EXPECT_EQ("00000407:KBDGR.DLL:0 a0010407:Pelmoradrv.DLL:193 a0020407:KBDOTHER.DLL:194 a0030407:KBDTHIRD.DLL:3071 "
              "b0050C07:KBDAT.DLL:3079 b0070807:-:0 b0080407:-:0 ",
              read);
    EXPECT_EQ(1, layoutKeyIndex);
    EXPECT_EQ(&preload[0], layouts[1].preloadEntry);
    EXPECT_EQ(0x8, maxKeyNumber);
    EXPECT_EQ(0xc07, maxLayoutId);
    EXPECT_EQ(0, layoutFileIndex);
    EXPECT_TRUE(layoutInUse) << "00000407 is named in Preload";
    // Layout keys match in any letter case, and a missing one only a missing one.
    EXPECT_TRUE(SameLayoutKey(nullptr, nullptr) && SameLayoutKey("d0010407", "D0010407"));
    EXPECT_FALSE(SameLayoutKey("d0010407", nullptr) || SameLayoutKey(nullptr, "d0010407"));
}

TEST_F(LayoutTest, CatalogueKeysBeyondTheTableArePassedOverButStillCount)
{
    std::vector<CatalogueKey> catalogue;
    char name[16];
    for (int i = 1; i <= layoutTableCapacity + 1; ++i) {
        wsprintfA(name, "a%03x0407", i);
        catalogue.push_back({name, "KBD.DLL", i == layoutTableCapacity + 1 ? "0f00" : "0100"});
    }
    ASSERT_TRUE(Load('A', {{"1", "00000407"}}, {}, nullptr, catalogue)) << errorText;
    EXPECT_EQ(static_cast<DWORD>(layoutTableCapacity), layoutcount);
    ASSERT_TRUE(AddUserLayout(-1)) << errorText;
    EXPECT_STREQ("b0660407", newKeyName) << "never the name of a key passed over";
    EXPECT_STREQ("0f01", newLayoutId);
}

// Each edit, written back with its k-th write failing for every k in turn: a failure is
// reported and loses no layout but the product's; the complete write-back gives the lists.
TEST_F(LayoutTest, EditsGiveTheirListsAndAFailingWriteLosesNoLayout)
{
    const struct {
        char edit;
        const char* preload;
        const char* substitutes;
        const char* expectedPreload;
        const char* expectedSubstitutes;
    } cases[] = {
        // Substitutes names match Preload data in any letter case; unused ones go.
        {'R', "1=00000407 2=d0010407 3=D0020407", "D0010407=a0020407 d0020407=a0010407", "1=00000407 2=d0010407",
         "d0010407=a0020407"},
        // Removing the default makes the standard layouts default.
        {'R', "1=d0010407 2=d0020407 3=00000407 4=00000409", "d0010407=a0010407 d0020407=a0020407",
         "1=00000407 2=d0010407 3=00000409", "d0010407=a0020407"},
        // The new lists give both substitute keys to each other's layout.
        {'R', "1=d0020407 2=d0010407 3=d0030407 4=00000409", "d0020407=a0020407 d0010407=a0030407 d0030407=a0010407",
         "1=d0010407 2=d0020407 3=00000409", "d0010407=a0020407 d0020407=a0030407"},
        // Everything substituted: the standard key goes to the entry before the product's, or
        // after it when it is first, or stays with the entry that holds it; the heir takes it
        // while d0010407 goes to the first entry.
        {'R', "1=d0010407 2=00000407", "d0010407=a0020407 00000407=a0010407", "1=00000407", "00000407=a0020407"},
        {'R', "1=00000407 2=d0020407", "00000407=a0010407 d0020407=a0030407", "1=00000407", "00000407=a0030407"},
        {'R', "1=00000407 2=d0010407", "00000407=a0020407 d0010407=a0010407", "1=00000407", "00000407=a0020407"},
        {'R', "1=d0020407 2=d0030407 3=00000407", "d0020407=a0030407 d0030407=a0020407 00000407=a0010407",
         "1=d0010407 2=00000407", "00000407=a0020407 d0010407=a0030407"},
        // The standard layout, named through d0010407, stays named while "00000407" itself
        // stands for a0020407.
        {'R', "1=d0030407 2=00000407 3=d0010407", "d0030407=a0010407 00000407=a0020407 d0010407=00000407",
         "1=00000407 2=d0010407", "00000407=a0020407 d0010407=00000407"},
        // Odd names follow the regular ones; only the product's last entry goes.
        {'R', "-3=a0030407 01=d0010407 1=00000407 250=a0020407 3=d0020407", "d0010407=a0010407 d0020407=a0010407",
         "1=00000407 2=d0010407 3=a0030407 4=a0020407", "d0010407=a0010407"},
        // A generated key never redirects an entry that names it directly.
        {'R', "1=d0010407 2=d0020407 3=d0030407", "d0020407=a0010407 d0030407=a0020407", "1=d0010407 2=d0020407",
         "d0020407=a0020407"},
        // The product named directly, or not at all: the lists stay as they are.
        {'R', "1=00000407 2=a0010407", "x=y", "1=00000407 2=a0010407", "x=y"},
        {'M', "1=00000407 2=a0010407", "x=y", "1=00000407 2=a0010407", "x=y"},
        // A name kept in another letter case is written anew.
        {'R', "1=D0020407 2=d0010407 3=00000407", "d0020407=a0010407 D0010407=a0020407", "1=00000407 2=d0010407",
         "d0010407=a0020407"},
        // Only names 1 to the first gap move; "0" and "01" keep theirs; Substitutes is created.
        {'A', "0=00000409 1=00000407 2=a0020407 4=a0030407 01=00000807", "-",
         "0=00000409 1=d0010407 2=00000407 3=a0020407 4=a0030407 01=00000807", "d0010407=b0040407"},
        {'A', "0=00000409 1=00000407 2=d0010407 4=d0020407", "d0010407=a0020407 d0020407=a0030407",
         "0=00000409 1=d0010407 2=00000407 3=d0020407 4=d0030407",
         "d0010407=b0040407 d0020407=a0020407 d0030407=a0030407"},
        // Entries naming a standard layout take the first generated keys.
        {'A', "1=d0020407", "d0020407=00000407", "1=d0020407 2=d0010407", "d0010407=00000407 d0020407=b0040407"},
        {'M', "1=00000407 2=a0020407 3=d0010407 4=00000409", "d0010407=a0010407 x=y",
         "1=d0010407 2=00000407 3=a0020407 4=00000409", "d0010407=a0010407 x=y"},
    };
    for (const auto& c : cases) {
        const std::string state = c.edit + std::string(" ") + c.preload;
        for (int k = 1;; ++k) {
            std::vector<std::string> before;
            if (EditAndWrite(c.edit, V(c.preload), V(c.substitutes), k, &before)) {
                EXPECT_EQ(V(c.expectedPreload), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath)) << state;
                EXPECT_EQ(V(c.expectedSubstitutes), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath)) << state;
                break;
            }
            EXPECT_EQ(std::vector<std::string>(), Lost(before)) << state << " write " << k;
        }
    }
}

TEST_F(LayoutTest, SubstitutesNamedByAStandardKeyAreWrittenFirst)
{
    // The heir takes "00000407" while d0010407 goes to the first entry: never both on a0030407.
    for (int k = 1;; ++k) {
        std::vector<std::string> before;
        const bool written = EditAndWrite('R', V("1=d0020407 2=d0030407 3=00000407"),
                                          V("d0020407=a0030407 d0030407=a0020407 00000407=a0010407"), k, &before);
        Values substitutesNow = ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath);
        if (substitutesNow["d0010407"] == "a0030407") {
            EXPECT_EQ("a0020407", substitutesNow["00000407"]) << "write " << k;
        }
        if (written)
            break;
    }
}

// A refused edit says why, and the write-back after it leaves the lists alone.
TEST_F(LayoutTest, RefusedEditsWriteNothing)
{
    const Values usual = {{"1", "00000407"}, {"2", "d0010407"}};
    Values full;
    for (int i = 1; i <= layoutTableCapacity; ++i)
        full[std::to_string(i)] = "00000407";
    const struct {
        char edit;
        const char* key;
        int index;
        const Values& preload;
        const char* text;
    } cases[] = {
        {'R', "b0090407", -1, usual, "Schlüssel nicht vorhanden"},
        {'R', "00000407", -1, usual, "Standard-Layout kann nicht entfernt werden"},
        {'A', product, -1, usual, "Schlüssel schon vorhanden"},
        {'A', nullptr, -1, full, "Kein Platz für ein weiteres Layout in HKEY_CURRENT_USER\\Keyboard Layout\\Preload (höchstens 100)"},
        {'A', nullptr, 0, usual, "Layout-Eintrag 0 kann nicht übernommen werden (Name oder \"Layout Id\" fehlt oder ist zu lang)"},
        {'M', "Fehlt.DLL", -1, usual, "Schlüssel nicht vorhanden"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.edit, c.preload, {{"d0010407", product}}, c.key)) << errorText;
        EXPECT_FALSE(Edit(c.edit, c.index)) << c.text;
        EXPECT_STREQ(c.text, errorText);
        EXPECT_EQ(c.edit == 'M', WriteUserLayoutLists()) << c.text;
        EXPECT_EQ(c.preload, ReadRegistryValues(HKEY_CURRENT_USER, preloadPath)) << c.text;
        EXPECT_EQ((Values{{"d0010407", product}}), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath)) << c.text;
    }
}

// A reused catalogue entry needs a name and an id that fit newKeyName and newLayoutId; an index
// past the catalogue is refused even when the table holds an entry there.
TEST_F(LayoutTest, AddingReusesOnlyACatalogueEntryThatFits)
{
    const std::vector<CatalogueKey> catalogue = {
        {"a0020407", "A.DLL", "00c2"},
        {"a0030407", "B.DLL", nullptr},
        {"a0040407", "C.DLL", "0000000000000000c04"},
        {"a0050407", "D.DLL", "00000000000000000c05"},
        {"a0060407xxxxxxxxxxx", "E.DLL", "0c06"},
        {"a0070407xxxxxxxxxxxx", "F.DLL", "0c07"},
    };
    const bool fits[] = {true, false, true, false, true, false};
    for (int index = 0; index < 6; ++index) {
        ASSERT_TRUE(Load('A', {{"1", "00000407"}}, {}, nullptr, catalogue)) << errorText;
        ASSERT_STREQ(catalogue[index].name.c_str(), layouts[index].keyName);
        EXPECT_EQ(fits[index], AddUserLayout(index)) << index;
        if (fits[index]) {
            EXPECT_STREQ(catalogue[index].name.c_str(), newKeyName);
            EXPECT_STREQ(catalogue[index].id, newLayoutId);
        }
    }
    layouts[layoutcount] = layouts[0];
    EXPECT_FALSE(AddUserLayout(static_cast<int>(layoutcount)));
}

// A list that cannot be opened, or is longer than its table, is refused at the load; one gone or
// refused before the write-back gives a warning, and nothing is written. Substitutes with
// nothing to hold may stay away.
TEST_F(LayoutTest, SpoiledListsAreNeitherReadNorWrittenInPart)
{
    Values many;
    for (int i = 1; i <= layoutTableCapacity + 1; ++i)
        many[std::to_string(i)] = "00000407";
    const Values usual = V("1=00000407 2=d0010407 3=d0020407");
    const Values substituted = V("d0010407=a0020407 d0020407=a0010407");
    const Values productOnly = V("d0020407=a0010407");
    const std::string open = "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\";
    const std::string full = "Zu viele Einträge im Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\";
    const struct {
        bool atWriteBack;
        const Values& preload;
        const Values& substitutes;
        const char* spoiled;  // the key deleted, or refused when it is Substitutes and there is a text
        std::string text;     // empty: loaded or written
    } cases[] = {
        {false, usual, substituted, preloadPath, open + "Preload"},
        {false, usual, substituted, substitutesPath, open + "Substitutes"},
        {false, usual, substituted, layoutCataloguePath,
         "Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts"},
        {false, usual, productOnly, substitutesPath, ""},
        {false, many, substituted, nullptr, full + "Preload (höchstens 100)"},
        {false, usual, many, nullptr, full + "Substitutes (höchstens 100)"},
        {true, usual, substituted, preloadPath, "Warnung:\n" + open + "Preload"},
        {true, usual, substituted, substitutesPath, "Warnung:\n" + open + "Substitutes"},
        {true, usual, productOnly, substitutesPath, ""},
    };
    for (const auto& c : cases) {
        const bool loaded = Load('R', c.preload, c.substitutes);
        if (c.atWriteBack) {
            ASSERT_TRUE(loaded && RemoveUserLayout()) << errorText;
        }
        const HKEY root = c.spoiled == layoutCataloguePath ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        if (c.spoiled != nullptr)
            RegDeleteTreeA(root, c.spoiled);
        if (c.spoiled == substitutesPath && !c.text.empty())
            WriteRefusedKey(root, c.spoiled);
        EXPECT_EQ(c.text.empty(), c.atWriteBack ? WriteUserLayoutLists() : LoadLayoutRegistry()) << c.text;
        EXPECT_EQ(c.text, c.text.empty() ? "" : errorText);
        if (c.atWriteBack) {
            EXPECT_EQ(c.text.empty() ? V("1=00000407 2=d0010407") : c.spoiled == preloadPath ? missing : usual,
                      ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
        }
        if (c.spoiled != substitutesPath) {
            EXPECT_EQ(c.substitutes, ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
        }
        RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);  // a refused key goes only so
    }
}

// Random lists through the three edits and the write-back, whose k-th write fails in every
// other round. Few keys in either letter case make the new lists reuse keys for other layouts;
// names start at "0", skip numbers or are not canonical; a list without substitutions may lack
// its Substitutes key. A failed write-back loses no layout; a complete one names every layout
// as often as before, less the product or plus the added layout, numbers Preload 1 to n after a
// removal, and puts the added layout, or the moved product, at "1".
TEST_F(LayoutTest, RandomListsKeepTheirLayoutsThroughEveryEditAndFailingWrite)
{
    std::mt19937 random(20261206);
    const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
    const char* substituted[] = {"d0010407", "d0020407", "d0030407", "00000407"};
    const char* plain[] = {"00000407", "00000409", "a0020407", "d0040407"};
    const char* layoutsTo[] = {"00000407", "00000409", "a0020407", "a0030407"};
    for (int round = 0; round < 240; ++round) {
        const char edit = "RAM"[round % 3];
        const int count = (edit == 'R' ? 2 : 1) + pick(6);
        const int productPlace = edit == 'A' ? -1 : pick(count);
        Values preloadValues;
        Values substituteValues;
        std::string productName;
        // Each substituted identifier is named once, as Windows leaves them.
        std::shuffle(std::begin(substituted), std::end(substituted), random);
        int substitutedUsed = 0;
        for (int place = 0, number = pick(4) == 0 ? 0 : 1; place < count; ++place, number += 1 + (pick(6) == 0)) {
            const std::string name = (pick(8) == 0 ? "0" : "") + std::to_string(number);
            std::string klid = plain[pick(4)];
            if (place == productPlace || (pick(2) == 0 && substitutedUsed < 3)) {
                klid = substituted[substitutedUsed++];
                substituteValues[pick(3) == 0 ? Upper(klid) : klid] = place == productPlace ? product : layoutsTo[pick(4)];
                klid = pick(3) == 0 ? Upper(klid) : klid;
            }
            if (place == productPlace)
                productName = name;
            preloadValues[name] = klid;
        }
        // Nor is a substituted standard key also named directly.
        if (substituteValues.count("00000407") != 0 &&
            std::count_if(preloadValues.begin(), preloadValues.end(),
                          [](const Values::value_type& entry) { return entry.second == "00000407"; }) > 1)
            continue;
        if (substituteValues.empty() && pick(2) == 0)
            substituteValues = missing;

        const int failingWrite = round % 2 == 0 ? 1 + pick(8) : 0;
        std::vector<std::string> before;
        const bool written = EditAndWrite(edit, preloadValues, substituteValues, failingWrite, &before);
        const std::map<std::string, std::string> after = NamedLayouts();
        const std::string state = edit + testing::PrintToString(preloadValues) + " " +
                                  testing::PrintToString(substituteValues) + " write " + std::to_string(failingWrite);
        ASSERT_FALSE(HasFailure()) << state;
        if (!written) {
            ASSERT_EQ(std::vector<std::string>(), Lost(before)) << state;
            continue;
        }
        std::vector<std::string> expected = before;
        if (edit == 'R')
            expected.erase(std::find(expected.begin(), expected.end(), Upper(product)));
        if (edit == 'A')
            expected.push_back(Upper(newKeyName));
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(expected, Sorted(after)) << state;
        if (edit == 'R') {
            for (size_t number = 1; number <= after.size(); ++number)
                ASSERT_EQ(1u, after.count(std::to_string(number))) << "no " << number << " in " << state;
        }
        // A product named "0" or "02" is not moved.
        if (edit == 'A' || (edit == 'M' && productName[0] != '0')) {
            ASSERT_EQ(edit == 'A' ? Upper(newKeyName) : Upper(product), after.at("1")) << state;
        }
        if (edit == 'M') {
            ASSERT_EQ(ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath), substituteValues) << state;
        }
    }
}

}
