#include "registry/registry.h"

#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>

#include "registry/uninstallentry.h"
#include "support.h"

namespace {

const char uninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { OpenRegistrySandbox(); }
    void TearDown() override { CloseRegistrySandbox(); }

    static bool Exists(const std::string& path)
    {
        const HKEY key = OpenKeyRead(HKEY_LOCAL_MACHINE, path.c_str());
        if (key != nullptr)
            RegCloseKey(key);
        return key != nullptr;
    }

    // Every value of a key, read through the layer.
    static std::map<std::string, std::string> Values(const std::string& path)
    {
        std::map<std::string, std::string> values;
        const HKEY key = OpenKeyRead(HKEY_LOCAL_MACHINE, path.c_str());
        for (int i = 0; i < CountValues(key); ++i) {
            if (EnumValue(key, i))
                values[regValueName] = regValueData;
        }
        RegCloseKey(key);
        return values;
    }
};

TEST_F(RegistryTest, DeleteKeyTreeRemovesEveryLevelButNeverTheParent)
{
    const HKEY deepest = CreateKey(HKEY_LOCAL_MACHINE, "Tree\\A\\B\\C", "tief");
    ASSERT_NE(nullptr, deepest);
    RegCloseKey(deepest);
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Tree\\A\\B2", nullptr));
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, "Tree\\A2", nullptr));
    EXPECT_EQ((std::map<std::string, std::string>{{"", "tief"}}), Values("Tree\\A\\B\\C"));

    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, ""));
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Fehlt"));
    EXPECT_TRUE(Exists("Tree\\A\\B\\C"));
    EXPECT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Tree"));
    EXPECT_FALSE(Exists("Tree"));
    EXPECT_EQ(0, CountSubkeys(HKEY_LOCAL_MACHINE));
}

TEST_F(RegistryTest, EnumerationSkipsWhatDoesNotFitAndTerminatesTexts)
{
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Values", nullptr);
    ASSERT_NE(nullptr, key);
    const std::string longData(300, 'l');
    const std::string fullData(regDataCapacity, 'f');
    // Stored without their terminators, as other programs may store them.
    RegSetValueExA(key, "1 kurz", 0, REG_SZ, reinterpret_cast<const BYTE*>("d0010407"), 8);
    RegSetValueExA(key, "2 lang", 0, REG_SZ, reinterpret_cast<const BYTE*>(longData.data()), longData.size());
    // Data that fills the buffer to its last byte, with no zero of its own.
    RegSetValueExA(key, "3 voll", 0, REG_BINARY, reinterpret_cast<const BYTE*>(fullData.data()), fullData.size());
    ASSERT_EQ(3, CountValues(key));
    EXPECT_TRUE(EnumValue(key, 0));
    EXPECT_STREQ("1 kurz", regValueName);
    EXPECT_STREQ("d0010407", regValueData);
    EXPECT_FALSE(EnumValue(key, 1)) << "300 bytes do not fit";
    EXPECT_TRUE(EnumValue(key, 2));
    EXPECT_EQ(fullData, regValueData) << "260 bytes still come back terminated";
    EXPECT_FALSE(EnumValue(key, 3));
    RegCloseKey(key);

    EXPECT_EQ(nullptr, OpenKeyRead(HKEY_LOCAL_MACHINE, "Fehlt"));
    EXPECT_EQ(nullptr, OpenKeyWrite(HKEY_LOCAL_MACHINE, "Fehlt"));
    EXPECT_EQ(0, CountSubkeys(nullptr));
    EXPECT_EQ(0, CountValues(nullptr));
    EXPECT_FALSE(EnumSubkey(nullptr, 0));
}

TEST_F(RegistryTest, TheHookFailsTheKthWriteAloneAndTheStatusTellsMissingFromRefused)
{
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "Values", nullptr);
    ASSERT_NE(nullptr, key);
    regFailingWrite = 2;
    EXPECT_TRUE(SetStringValue(key, "a", "1"));
    EXPECT_FALSE(SetStringValue(key, "b", "2"));
    EXPECT_TRUE(SetStringValue(key, "c", "3"));
    EXPECT_EQ(0, regFailingWrite);
    regFailingWrite = 1;
    EXPECT_FALSE(DeleteValue(key, "a"));
    EXPECT_TRUE(DeleteValue(key, "c"));
    EXPECT_FALSE(DeleteValue(key, "c")) << "no longer there";
    RegCloseKey(key);
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "1"}}), Values("Values"));
    regFailingWrite = 1;
    EXPECT_EQ(nullptr, CreateKey(HKEY_LOCAL_MACHINE, "Neu", nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, regStatus);
    EXPECT_FALSE(Exists("Neu"));
    regFailingWrite = 1;
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Values"));
    EXPECT_TRUE(Exists("Values"));
    regFailingWrite = 5;
    EXPECT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "Values"));
    EXPECT_EQ(4, regFailingWrite) << "one write, the deletion of the key";
    regFailingWrite = 0;

    EXPECT_EQ(nullptr, OpenKeyRead(HKEY_LOCAL_MACHINE, "Fehlt"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, regStatus);
    WriteRefusedKey(HKEY_LOCAL_MACHINE, "Verweigert");
    EXPECT_EQ(nullptr, OpenKeyRead(HKEY_LOCAL_MACHINE, "Verweigert"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, regStatus);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Verweigert"));
}

TEST_F(RegistryTest, UninstallEntryIsWrittenWithAllValuesAndRemovedWhole)
{
    const std::string entry = std::string(uninstallList) + "\\Tastaturbelegung Pelmora AltGrLinks (V3.04)";
    ASSERT_TRUE(SetUninstallEntry("Tastaturbelegung Pelmora AltGrLinks (V3.04)", "C:\\u.exe d0010407", "Anzeige",
                                  nullptr, "help", "update", "Verlag", "info", "3.04", "C:\\u.exe,0", "Kommentar"));
    EXPECT_EQ((std::map<std::string, std::string>{{"DisplayName", "Anzeige"},
                                                  {"UninstallString", "C:\\u.exe d0010407"},
                                                  {"HelpLink", "help"},
                                                  {"URLUpdateInfo", "update"},
                                                  {"Publisher", "Verlag"},
                                                  {"URLInfoAbout", "info"},
                                                  {"DisplayVersion", "3.04"},
                                                  {"DisplayIcon", "C:\\u.exe,0"},
                                                  {"Comments", "Kommentar"}}),
              Values(entry));

    // Rewritten, the entry holds exactly the values of the latest call.
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, (entry + "\\Unterschlüssel").c_str(), nullptr));
    ASSERT_TRUE(SetUninstallEntry("Tastaturbelegung Pelmora AltGrLinks (V3.04)", "C:\\u.exe", nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ((std::map<std::string, std::string>{{"DisplayName", "Tastaturbelegung Pelmora AltGrLinks (V3.04)"},
                                                  {"UninstallString", "C:\\u.exe"}}),
              Values(entry));
    EXPECT_FALSE(Exists(entry + "\\Unterschlüssel"));

    EXPECT_TRUE(SetUninstallEntry("Tastaturbelegung Pelmora AltGrLinks (V3.04)", nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(Exists(entry));
    EXPECT_TRUE(SetUninstallEntry("Fehlt", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr))
        << "a missing entry is no error";
}

TEST_F(RegistryTest, RemovalPrefixMatchesTheStartOfNamesCaseIgnored)
{
    const char* names[] = {"Pelmora Alt", "PELMORA neu", "Mein Pelmora", "Anderes"};
    for (const char* name : names)
        RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, (std::string(uninstallList) + "\\" + name).c_str(), nullptr));
    EXPECT_TRUE(SetUninstallEntry("Anderes", nullptr, nullptr, "pelmora", nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
    EXPECT_FALSE(Exists(std::string(uninstallList) + "\\Pelmora Alt"));
    EXPECT_FALSE(Exists(std::string(uninstallList) + "\\PELMORA neu"));
    EXPECT_TRUE(Exists(std::string(uninstallList) + "\\Mein Pelmora"));
    EXPECT_FALSE(Exists(std::string(uninstallList) + "\\Anderes"));

    EXPECT_TRUE(SetUninstallEntry("x", nullptr, nullptr, "", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr));
    EXPECT_TRUE(Exists(std::string(uninstallList) + "\\Mein Pelmora")) << "an empty prefix removes nothing";
}

}
