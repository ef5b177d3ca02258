#include "registry/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/uninstallentry.h"
#include "support.h"

namespace {

const std::string uninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { OpenRegistrySandbox(); }
    void TearDown() override
    {
        regFailingWrite = 0;
        CloseRegistrySandbox();
    }

    static bool Exists(const std::string& path) { return RegistryKeyExists(HKEY_LOCAL_MACHINE, path); }

    static bool SetEntry(const char* name, const char* command, const char* prefix = nullptr)
    {
        return SetUninstallEntry(name, command, nullptr, prefix, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr);
    }
};

// The k-th write, the deletion of the k-th key in this order, is refused: that key and the keys
// above it stay, everything else goes all the same, and the result tells.
TEST_F(RegistryTest, DeleteKeyTreeRemovesWhatItCanAndTellsWhenAKeyStays)
{
    const std::string keys[] = {"Tree\\A2", "Tree\\A\\B2", "Tree\\A\\B\\C", "Tree\\A\\B", "Tree\\A", "Tree"};
    for (int k = 1; k <= 7; ++k) {
        for (int i = 0; i < 3; ++i)
            RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, keys[i].c_str(), "tief"));
        EXPECT_EQ((RegistryValues{{"", "tief"}}), ReadRegistryValues(HKEY_LOCAL_MACHINE, keys[2]));
        regFailingWrite = k;
        EXPECT_EQ(k == 7, DeleteKeyTree(HKEY_LOCAL_MACHINE, "Tree")) << k;
        EXPECT_EQ(k == 7 ? 1 : 0, regFailingWrite) << "one write for each key";
        const std::string refused = k <= 6 ? keys[k - 1] + "\\" : "";
        for (const std::string& key : keys)
            EXPECT_EQ(refused.compare(0, key.size() + 1, key + "\\") == 0, Exists(key)) << key << " write " << k;
        regFailingWrite = 0;
        DeleteKeyTree(HKEY_LOCAL_MACHINE, "Tree");
    }
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Tree", nullptr));
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "")) << "never the parent";
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Fehlt"));
    EXPECT_TRUE(Exists("Tree"));
}

TEST_F(RegistryTest, EnumerationSkipsWhatDoesNotFitAndTerminatesTexts)
{
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Values", nullptr);
    ASSERT_NE(nullptr, key) << regStatus;
    const std::string longData(300, 'l');
    const std::string fullData(regDataCapacity, 'f');
    // Stored without their terminators, as other programs may store them; the last fills the
    // buffer to its last byte.
    RegSetValueExA(key, "1 kurz", 0, REG_SZ, reinterpret_cast<const BYTE*>("d0010407"), 8);
    RegSetValueExA(key, "2 lang", 0, REG_SZ, reinterpret_cast<const BYTE*>(longData.data()), longData.size());
    RegSetValueExA(key, "3 voll", 0, REG_BINARY, reinterpret_cast<const BYTE*>(fullData.data()), fullData.size());
    ASSERT_EQ(3, CountValues(key));
    EXPECT_TRUE(EnumValue(key, 0));
    EXPECT_STREQ("1 kurz", regValueName);
    EXPECT_STREQ("d0010407", regValueData);
    EXPECT_FALSE(EnumValue(key, 1)) << "300 bytes do not fit";
    EXPECT_TRUE(EnumValue(key, 2));
    EXPECT_EQ(fullData, regValueData);
    EXPECT_FALSE(EnumValue(key, 3));
    RegCloseKey(key);
}

TEST_F(RegistryTest, UninstallEntryHoldsExactlyTheValuesOfTheLatestCall)
{
    const std::string entry = uninstallList + "Tastaturbelegung Pelmora (V3.04)";
    ASSERT_TRUE(SetUninstallEntry("Tastaturbelegung Pelmora (V3.04)", "C:\\u.exe d0010407", "Anzeige", nullptr, "help",
                                  "update", "Verlag", "info", "3.04", "C:\\u.exe,0", "Kommentar"));
    EXPECT_EQ((RegistryValues{{"DisplayName", "Anzeige"}, {"UninstallString", "C:\\u.exe d0010407"},
                              {"HelpLink", "help"}, {"URLUpdateInfo", "update"}, {"Publisher", "Verlag"},
                              {"URLInfoAbout", "info"}, {"DisplayVersion", "3.04"}, {"DisplayIcon", "C:\\u.exe,0"},
                              {"Comments", "Kommentar"}}),
              ReadRegistryValues(HKEY_LOCAL_MACHINE, entry));
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, (entry + "\\Unterschlüssel").c_str(), nullptr));
    ASSERT_TRUE(SetEntry("Tastaturbelegung Pelmora (V3.04)", "C:\\u.exe"));
    EXPECT_EQ((RegistryValues{{"DisplayName", "Tastaturbelegung Pelmora (V3.04)"}, {"UninstallString", "C:\\u.exe"}}),
              ReadRegistryValues(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(Exists(entry + "\\Unterschlüssel"));
    EXPECT_TRUE(SetEntry("Tastaturbelegung Pelmora (V3.04)", nullptr));
    EXPECT_FALSE(Exists(entry));
    EXPECT_TRUE(SetEntry("Fehlt", nullptr)) << "a missing entry is no error";
}

TEST_F(RegistryTest, RemovalPrefixMatchesTheStartOfNamesCaseIgnored)
{
    const char* names[] = {"Pelmora Alt", "PELMORA neu", "Mein Pelmora", "Anderes"};
    for (const char* name : names)
        RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, (uninstallList + name).c_str(), nullptr));
    EXPECT_TRUE(SetEntry("x", nullptr, ""));
    EXPECT_TRUE(Exists(uninstallList + "Pelmora Alt")) << "an empty prefix removes nothing";
    EXPECT_TRUE(SetEntry("Anderes", nullptr, "pelmora"));
    const bool stays[] = {false, false, true, false};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(stays[i], Exists(uninstallList + names[i])) << names[i];
}

}
