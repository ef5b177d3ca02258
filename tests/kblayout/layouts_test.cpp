#include "kblayout/layouts.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "support.h"

namespace {

typedef RegistryValues Values;

const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";
const char cataloguePath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
const char product[] = "a0010407";
const Values missing = {{"<missing>", ""}};  // a key that is not there, as ReadRegistryValues gives it

struct CatalogueKey {
    std::string name;
    const char* file;
    const char* id;
};

const std::vector<CatalogueKey> standardCatalogue = {
    {"00000407", "KBDGR.DLL", nullptr},
    {"00000409", "KBDUS.DLL", nullptr},
    {product, "Pelmoradrv.DLL", "00c1"},
    {"a0020407", "KBDOTHER.DLL", "00c2"},
    {"a0030407", "KBDTHIRD.DLL", "0bff"},
};

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

// The layouts of `before`, but the product's, that `after` no longer names.
std::vector<std::string> Lost(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    std::vector<std::string> lost;
    for (const std::string& layout : before) {
        if (layout != Upper(product) && std::find(after.begin(), after.end(), layout) == after.end())
            lost.push_back(layout);
    }
    return lost;
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpenRegistrySandbox();
        strcpy(layoutKey, product);
        driverFileName[0] = '\0';
    }
    void TearDown() override { CloseRegistrySandbox(); }

    // The user's lists afresh; substitutes {{"<missing>", ""}} leave out the Substitutes key.
    static void WriteState(const Values& preloadValues, const Values& substituteValues,
                           const std::vector<CatalogueKey>& catalogue = standardCatalogue)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout");
        WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, preloadValues);
        if (substituteValues != missing)
            WriteRegistryValues(HKEY_CURRENT_USER, substitutesPath, substituteValues);
        for (const CatalogueKey& key : catalogue) {
            Values values;
            if (key.file != nullptr)
                values["Layout File"] = key.file;
            if (key.id != nullptr)
                values["Layout Id"] = key.id;
            values["Layout Text"] = "Deutsch (" + key.name + ")";
            WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + key.name, values);
        }
    }

    // Load, remove the product's layout, write back; the user's lists as they are then.
    static void Remove(const Values& preloadValues, const Values& substituteValues, const Values& expectedPreload,
                       const Values& expectedSubstitutes)
    {
        WriteState(preloadValues, substituteValues);
        ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
        ASSERT_TRUE(RemoveUserLayout()) << errorText;
        EXPECT_TRUE(WriteUserLayoutLists()) << errorText;
        EXPECT_EQ(expectedPreload, ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
        EXPECT_EQ(expectedSubstitutes, ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
    }

    // Writes the lists (and the standard catalogue), edits them (R: removal of the product, A:
    // a new layout b0040407 added, M: the product made default) and writes them back with the
    // `failingWrite`-th write failing (0: none). Gives the layouts named before; false when the
    // failure came.
    static bool EditAndWrite(char edit, const Values& preloadValues, const Values& substituteValues, int failingWrite,
                             std::vector<std::string>* before)
    {
        WriteState(preloadValues, substituteValues);
        strcpy(layoutKey, edit == 'A' ? "b0990407" : product);
        strcpy(driverFileName, "Pelmoradrv.DLL");
        EXPECT_TRUE(LoadLayoutRegistry()) << errorText;
        *before = Sorted(NamedLayouts());
        EXPECT_TRUE(edit == 'R' ? RemoveUserLayout() : edit == 'A' ? AddUserLayout(-1) : MakeUserLayoutDefault())
            << errorText;
        regFailingWrite = failingWrite;
        const bool written = WriteUserLayoutLists();
        const bool failed = failingWrite > 0 && regFailingWrite == 0;
        regFailingWrite = 0;
        EXPECT_EQ(!failed, written) << errorText;
        if (failed) {
            EXPECT_STRNE("", errorText);
        }
        return !failed;
    }
};

TEST_F(LayoutTest, SnapshotReadsTheListsAndTheGermanCatalogue)
{
    std::vector<CatalogueKey> catalogue = standardCatalogue;
    catalogue.push_back({"b0050C07", "KBDAT.DLL", "0c07"});
    catalogue.push_back({"b0060c07", "KBDLOWER.DLL", "0fff"});
    catalogue.push_back({"b0070807", nullptr, nullptr});
    WriteState({{"1", "00000407"}, {"01", "d0010407"}, {"2", "d0010407"}, {"1a2", "00000409"}, {"x", "d0020407"}},
               {{"d0010407", "a0010407"}, {"D0020407", "a0020407"}}, catalogue);
    strcpy(layoutKey, "A0010407");
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;

    // Wine enumerates by name: 01, 1, 1a2, 2, x.
    ASSERT_EQ(5u, preloadcount);
    const struct {
        const char* name;
        int number;
        BYTE canonical;
        const char* substitute;
    } expected[] = {{"01", 1, 0, "a0010407"},
                    {"1", 1, 1, nullptr},
                    {"1a2", 12, 0, nullptr},
                    {"2", 2, 1, nullptr},  // the same data again: only the first is substituted
                    {"x", 0, 0, "a0020407"}};  // named in another letter case, as the registry allows
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(expected[i].name, preload[i].name);
        EXPECT_EQ(expected[i].number, preload[i].number) << expected[i].name;
        EXPECT_EQ(expected[i].canonical, preload[i].canonical) << expected[i].name;
        EXPECT_TRUE(SameLayoutKey(expected[i].substitute, preload[i].substitute)) << expected[i].name;
    }
    EXPECT_EQ(2u, substitutecount);

    // The language part is compared with its case: b0060c07 is not German, b0050C07 is.
    ASSERT_EQ(6u, layoutcount);
    ASSERT_EQ(1, layoutKeyIndex);
    EXPECT_STREQ(product, layouts[1].keyName);
    EXPECT_STREQ("Pelmoradrv.DLL", layouts[1].layoutFile);
    EXPECT_EQ(&preload[0], layouts[1].preloadEntry);
    EXPECT_EQ(0xc1, layouts[1].layoutId);
    EXPECT_EQ(1, layouts[1].keyNumber);
    EXPECT_STREQ("b0070807", layouts[5].keyName);
    EXPECT_EQ(nullptr, layouts[5].layoutFile);
    EXPECT_EQ(0x7, maxKeyNumber);
    EXPECT_EQ(0xc07, maxLayoutId);
    EXPECT_EQ(-1, layoutFileIndex) << "no catalogue key has an empty \"Layout File\"";

    strcpy(driverFileName, "kbdgr.dll");
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_EQ(0, layoutFileIndex);
    EXPECT_TRUE(layoutInUse) << "00000407 is named in Preload";
}

TEST_F(LayoutTest, CatalogueValueNamesCountOnlyWithTheirExactCase)
{
    WriteState({{"1", "00000407"}}, {}, {});
    WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product,
                {{"layout file", "Pelmoradrv.DLL"}, {"LAYOUT ID", "0fff"}});
    strcpy(driverFileName, "PELMORADRV.dll");
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
    ASSERT_EQ(1u, layoutcount);
    EXPECT_EQ(nullptr, layouts[0].layoutFile);
    EXPECT_EQ(0, maxLayoutId);
    EXPECT_EQ(-1, layoutFileIndex);
}

TEST_F(LayoutTest, LoadFailsWhenAListCannotBeOpenedButSubstitutesMayBeMissing)
{
    const struct {
        const char* missing;
        HKEY root;
        const char* text;
    } cases[] = {
        {preloadPath, HKEY_CURRENT_USER, "Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Preload"},
        {cataloguePath, HKEY_LOCAL_MACHINE,
         "Fehler beim Öffnen des Registry-Keys HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Keyboard Layouts"},
    };
    for (const auto& c : cases) {
        WriteState({{"1", "00000407"}}, {});
        RegDeleteTreeA(c.root, c.missing);
        RegDeleteKeyA(c.root, c.missing);
        EXPECT_FALSE(LoadLayoutRegistry()) << c.missing;
        EXPECT_STREQ(c.text, errorText);
    }

    WriteState({{"1", "00000407"}, {"2", "d0010407"}}, missing);
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
    EXPECT_EQ(0u, substitutecount);
    EXPECT_EQ(2u, preloadcount);

    WriteRefusedKey(HKEY_CURRENT_USER, substitutesPath);
    EXPECT_FALSE(LoadLayoutRegistry());
    EXPECT_STREQ("Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes", errorText);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath));
}

TEST_F(LayoutTest, ListsLongerThanTheTablesAreRefusedWhole)
{
    Values many;
    for (int i = 1; i <= layoutTableCapacity + 1; ++i)
        many[std::to_string(i)] = "00000407";
    WriteState(many, {});
    EXPECT_FALSE(LoadLayoutRegistry());
    EXPECT_STREQ("Zu viele Einträge im Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\Preload (höchstens 100)",
                 errorText);

    RegDeleteTreeA(HKEY_CURRENT_USER, preloadPath);
    WriteState({{"1", "00000407"}}, many);
    EXPECT_FALSE(LoadLayoutRegistry());
    EXPECT_STREQ("Zu viele Einträge im Registry-Key HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes (höchstens 100)",
                 errorText);
}

TEST_F(LayoutTest, CatalogueKeysBeyondTheTableArePassedOverButStillCount)
{
    std::vector<CatalogueKey> catalogue;
    char name[16];
    for (int i = 1; i <= layoutTableCapacity + 1; ++i) {
        wsprintfA(name, "a%03x0407", i);
        catalogue.push_back({name, "KBD.DLL", i == layoutTableCapacity + 1 ? "0f00" : "0100"});
    }
    WriteState({{"1", "00000407"}}, {}, catalogue);
    strcpy(layoutKey, "b0010407");
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
    EXPECT_EQ(static_cast<DWORD>(layoutTableCapacity), layoutcount);
    EXPECT_EQ(layoutTableCapacity + 1, maxKeyNumber);
    EXPECT_EQ(0xf00, maxLayoutId);
    ASSERT_TRUE(AddUserLayout(-1)) << errorText;
    EXPECT_STREQ("b0660407", newKeyName) << "never the name of a key passed over";
    EXPECT_STREQ("0f01", newLayoutId);
}

TEST_F(LayoutTest, RemovalKeepsTheStandardLayoutAndDropsUnusedSubstitutes)
{
    Remove({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", product}}, {{"1", "00000407"}}, {});
    // Substitutes names match Preload data in any letter case.
    Remove({{"1", "00000407"}, {"2", "d0010407"}, {"3", "D0020407"}}, {{"D0010407", "a0020407"}, {"d0020407", product}},
           {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0020407"}});
}

TEST_F(LayoutTest, RemovingTheDefaultMakesTheStandardLayoutsDefault)
{
    Remove({{"1", "d0010407"}, {"2", "d0020407"}, {"3", "00000407"}, {"4", "00000409"}},
           {{"d0010407", product}, {"d0020407", "a0020407"}},
           {{"1", "00000407"}, {"2", "d0010407"}, {"3", "00000409"}}, {{"d0010407", "a0020407"}});
}

TEST_F(LayoutTest, WhenEverythingIsSubstitutedAnHeirCarriesTheStandardKey)
{
    // The product's entry holds the standard key: the entry before it inherits it.
    Remove({{"1", "d0010407"}, {"2", "00000407"}}, {{"d0010407", "a0020407"}, {"00000407", product}},
           {{"1", "00000407"}}, {{"00000407", "a0020407"}});
    // The product's entry comes first: the entry after it inherits.
    Remove({{"1", "00000407"}, {"2", "d0020407"}}, {{"00000407", product}, {"d0020407", "a0030407"}},
           {{"1", "00000407"}}, {{"00000407", "a0030407"}});
    // Another entry holds the standard key: it keeps it.
    Remove({{"1", "00000407"}, {"2", "d0010407"}}, {{"00000407", "a0020407"}, {"d0010407", product}},
           {{"1", "00000407"}}, {{"00000407", "a0020407"}});
}

TEST_F(LayoutTest, OddNamesAreKeptAfterTheRegularOnes)
{
    Remove({{"01", "a0020407"}, {"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", product}},
           {{"1", "00000407"}, {"2", "a0020407"}}, {});
    Remove({{"-3", "a0030407"}, {"1", "00000407"}, {"2", "d0010407"}, {"250", "a0020407"}},
           {{"d0010407", product}}, {{"1", "00000407"}, {"2", "a0030407"}, {"3", "a0020407"}}, {});
}

TEST_F(LayoutTest, OnlyTheLastEntryOfTheProductIsRemoved)
{
    Remove({{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}}, {{"d0010407", product}, {"d0020407", product}},
           {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", product}});
}

TEST_F(LayoutTest, GeneratedKeysNeverRedirectAnEntryNamedDirectly)
{
    Remove({{"1", "d0010407"}, {"2", "d0020407"}, {"3", "d0030407"}},
           {{"d0020407", product}, {"d0030407", "a0020407"}}, {{"1", "d0010407"}, {"2", "d0020407"}},
           {{"d0020407", "a0020407"}});
}

TEST_F(LayoutTest, ProductNamedDirectlyLeavesTheListsAlone)
{
    WriteState({{"1", "00000407"}, {"2", product}}, {{"x", "y"}});
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_TRUE(RemoveUserLayout());
    EXPECT_TRUE(notInPreload);
    EXPECT_TRUE(WriteUserLayoutLists());
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", product}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"x", "y"}}), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
}

TEST_F(LayoutTest, RefusedRemovalWritesNothingAndSaysSo)
{
    WriteState({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "b0090407"}});
    strcpy(layoutKey, "b0090407");
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_FALSE(RemoveUserLayout());
    EXPECT_STREQ("Schlüssel nicht vorhanden", errorText);
    EXPECT_FALSE(WriteUserLayoutLists());
    EXPECT_STREQ("INTERNER FEHLER: newpreloadcount ist 0!", errorText);
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));

    strcpy(layoutKey, "00000407");
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_FALSE(RemoveUserLayout());
    EXPECT_STREQ("Standard-Layout kann nicht entfernt werden", errorText);
}

TEST_F(LayoutTest, VanishedPreloadKeyIsAWarningAndVanishedSubstitutesAreCreatedOnlyWhenNeeded)
{
    const Values preloadValues = {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}};
    const Values substituteValues = {{"d0010407", "a0020407"}, {"d0020407", product}};
    WriteState(preloadValues, substituteValues);
    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(RemoveUserLayout());
    RegDeleteKeyA(HKEY_CURRENT_USER, preloadPath);
    EXPECT_FALSE(WriteUserLayoutLists());
    EXPECT_STREQ("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Preload", errorText);
    EXPECT_EQ(missing, ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ(substituteValues, ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));

    // Gone before the write-back, Substitutes is created for the pair it is to hold.
    WriteState(preloadValues, substituteValues);
    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(RemoveUserLayout());
    RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
    EXPECT_TRUE(WriteUserLayoutLists()) << errorText;
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"d0010407", "a0020407"}}), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));

    // With nothing to hold, it stays away.
    WriteState({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", product}});
    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(RemoveUserLayout());
    RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
    EXPECT_TRUE(WriteUserLayoutLists()) << errorText;
    EXPECT_EQ((Values{{"1", "00000407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ(missing, ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));

    WriteRefusedKey(HKEY_CURRENT_USER, substitutesPath);
    EXPECT_FALSE(WriteUserLayoutLists());
    EXPECT_STREQ("Warnung:\nFehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes",
                 errorText);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath));
}

TEST_F(LayoutTest, AddedLayoutBecomesTheDefault)
{
    WriteState({{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0030407"}});
    strcpy(layoutKey, "b0990407");
    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(AddUserLayout(-1)) << errorText;
    EXPECT_STREQ("b0040407", newKeyName);
    EXPECT_STREQ("0c00", newLayoutId);
    ASSERT_TRUE(WriteUserLayoutLists()) << errorText;
    EXPECT_EQ((Values{{"1", "d0010407"}, {"2", "00000407"}, {"3", "d0020407"}}),
              ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"d0010407", "b0040407"}, {"d0020407", "a0030407"}}),
              ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));

    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(AddUserLayout(3)) << errorText;
    EXPECT_STREQ("a0030407", newKeyName);
    EXPECT_STREQ("0bff", newLayoutId);
}

TEST_F(LayoutTest, AddedLayoutMovesOnlyTheNamesUpToTheFirstGap)
{
    // "0", the names after the gap at 3 and "01" keep theirs; Substitutes is created.
    WriteState({{"0", "00000409"}, {"1", "00000407"}, {"2", "a0020407"}, {"4", "a0030407"}, {"5", "0000040c"},
                {"01", "00000807"}},
               missing);
    strcpy(layoutKey, "b0990407");
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
    ASSERT_TRUE(AddUserLayout(-1)) << errorText;
    ASSERT_TRUE(WriteUserLayoutLists()) << errorText;
    EXPECT_EQ((Values{{"0", "00000409"},
                      {"1", "d0010407"},
                      {"2", "00000407"},
                      {"3", "a0020407"},
                      {"4", "a0030407"},
                      {"5", "0000040c"},
                      {"01", "00000807"}}),
              ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"d0010407", "b0040407"}}), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
}

TEST_F(LayoutTest, AddingRefusesWhatWouldNotFit)
{
    WriteState({{"1", "00000407"}}, {});
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_FALSE(AddUserLayout(-1));
    EXPECT_STREQ("Schlüssel schon vorhanden", errorText);

    strcpy(layoutKey, "b0990407");
    ASSERT_TRUE(LoadLayoutRegistry());
    EXPECT_FALSE(AddUserLayout(0)) << "00000407 has no \"Layout Id\"";
    EXPECT_FALSE(AddUserLayout(static_cast<int>(layoutcount)));
    EXPECT_EQ(0u, newpreloadcount);

    Values full;
    for (int i = 1; i <= layoutTableCapacity; ++i)
        full[std::to_string(i)] = "00000407";
    WriteState(full, {});
    ASSERT_TRUE(LoadLayoutRegistry()) << errorText;
    EXPECT_FALSE(AddUserLayout(-1));
    EXPECT_STREQ("Kein Platz für ein weiteres Layout in HKEY_CURRENT_USER\\Keyboard Layout\\Preload (höchstens 100)",
                 errorText);
}

TEST_F(LayoutTest, ProductMovesToTheFrontAndSubstitutesStay)
{
    WriteState({{"1", "00000407"}, {"2", "a0020407"}, {"3", "d0010407"}, {"4", "00000409"}},
               {{"d0010407", product}, {"x", "y"}});
    strcpy(driverFileName, "PELMORADRV.dll");
    ASSERT_TRUE(LoadLayoutRegistry());
    ASSERT_TRUE(MakeUserLayoutDefault()) << errorText;
    ASSERT_TRUE(WriteUserLayoutLists()) << errorText;
    EXPECT_EQ((Values{{"1", "d0010407"}, {"2", "00000407"}, {"3", "a0020407"}, {"4", "00000409"}}),
              ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"d0010407", product}, {"x", "y"}}), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
}

// The k-th write of the write-back fails, for every k in turn: it says so, and Preload still
// names every layout it named, but the product's.
TEST_F(LayoutTest, AFailingWriteIsReportedAndLosesNoLayout)
{
    const struct {
        char edit;
        Values preload;
        Values substitutes;
        Values expectedPreload;
        Values expectedSubstitutes;
    } cases[] = {
        {'R', {{"1", "00000407"}, {"2", "d0010407"}, {"3", "d0020407"}}, {{"d0010407", product}, {"d0020407", "a0020407"}},
         {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0020407"}}},
        // The new lists give both substitute keys to each other's layout.
        {'R', {{"1", "d0020407"}, {"2", "d0010407"}, {"3", "d0030407"}, {"4", "00000409"}},
         {{"d0020407", "a0020407"}, {"d0010407", "a0030407"}, {"d0030407", product}},
         {{"1", "d0010407"}, {"2", "d0020407"}, {"3", "00000409"}}, {{"d0010407", "a0020407"}, {"d0020407", "a0030407"}}},
        // The heir takes the standard key from the product.
        {'R', {{"1", "d0010407"}, {"2", "00000407"}}, {{"d0010407", "a0020407"}, {"00000407", product}},
         {{"1", "00000407"}}, {{"00000407", "a0020407"}}},
        // The standard layout, named through d0010407, is kept named through another substitute
        // while "00000407" itself stands for a0020407.
        {'R', {{"1", "d0030407"}, {"2", "00000407"}, {"3", "d0010407"}},
         {{"d0030407", product}, {"00000407", "a0020407"}, {"d0010407", "00000407"}},
         {{"1", "00000407"}, {"2", "d0010407"}}, {{"00000407", "a0020407"}, {"d0010407", "00000407"}}},
        // A Substitutes name kept in another letter case is written anew.
        {'R', {{"1", "D0020407"}, {"2", "d0010407"}, {"3", "00000407"}}, {{"d0020407", product}, {"D0010407", "a0020407"}},
         {{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0020407"}}},
        {'A', {{"0", "00000409"}, {"1", "00000407"}, {"2", "d0010407"}, {"4", "d0020407"}},
         {{"d0010407", "a0020407"}, {"d0020407", "a0030407"}},
         {{"0", "00000409"}, {"1", "d0010407"}, {"2", "00000407"}, {"3", "d0020407"}, {"4", "d0030407"}},
         {{"d0010407", "b0040407"}, {"d0020407", "a0020407"}, {"d0030407", "a0030407"}}},
        {'A', {{"1", "00000407"}}, missing, {{"1", "d0010407"}, {"2", "00000407"}}, {{"d0010407", "b0040407"}}},
        {'M', {{"1", "00000407"}, {"2", "a0020407"}, {"3", "d0010407"}}, {{"d0010407", product}, {"x", "y"}},
         {{"1", "d0010407"}, {"2", "00000407"}, {"3", "a0020407"}}, {{"d0010407", product}, {"x", "y"}}},
    };
    for (const auto& c : cases) {
        const std::string state = c.edit + testing::PrintToString(c.preload);
        for (int k = 1;; ++k) {
            std::vector<std::string> before;
            if (EditAndWrite(c.edit, c.preload, c.substitutes, k, &before)) {
                EXPECT_EQ(c.expectedPreload, ReadRegistryValues(HKEY_CURRENT_USER, preloadPath)) << state;
                EXPECT_EQ(c.expectedSubstitutes, ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath)) << state;
                break;
            }
            EXPECT_EQ(std::vector<std::string>(), Lost(before, Sorted(NamedLayouts()))) << state << " write " << k;
        }
    }
}

TEST_F(LayoutTest, SubstitutesNamedByAStandardKeyAreWrittenFirst)
{
    // The heir takes "00000407" after d0010407 has been given to the first entry.
    const Values preloadValues = {{"1", "d0020407"}, {"2", "d0030407"}, {"3", "00000407"}};
    const Values substituteValues = {{"d0020407", "a0030407"}, {"d0030407", "a0020407"}, {"00000407", product}};
    for (int k = 1;; ++k) {
        std::vector<std::string> before;
        const bool written = EditAndWrite('R', preloadValues, substituteValues, k, &before);
        Values substitutesNow = ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath);
        if (substitutesNow["d0010407"] == "a0030407") {
            EXPECT_EQ("a0020407", substitutesNow["00000407"]) << "write " << k;
        }
        if (written)
            break;
    }
    EXPECT_EQ((Values{{"1", "d0010407"}, {"2", "00000407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
    EXPECT_EQ((Values{{"00000407", "a0020407"}, {"d0010407", "a0030407"}}),
              ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath));
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
        const Values substitutesBefore = substituteValues;
        std::vector<std::string> before;
        const bool written = EditAndWrite(edit, preloadValues, substituteValues, failingWrite, &before);
        const std::map<std::string, std::string> after = NamedLayouts();
        const std::string state = edit + testing::PrintToString(preloadValues) + " " +
                                  testing::PrintToString(substituteValues) + " write " + std::to_string(failingWrite);
        ASSERT_FALSE(HasFailure()) << state;
        if (!written) {
            ASSERT_EQ(std::vector<std::string>(), Lost(before, Sorted(after))) << state;
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
            ASSERT_EQ(ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath), substitutesBefore) << state;
        }
    }
}

}
