#include "registry/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/uninstallentry.h"
#include "support.h"

// Whichever write is refused, the entry is the old one whole, none, or a usable new one; never half
// written, and never a failure taken for success. Entries of the removal prefix go, no other program's.
TEST(RegistryTest, UninstallEntryIsWrittenWholeOrSaysSo)
{
    OpenRegistrySandbox();
    // A 32-bit registry view of its own, as on 64-bit Windows.
    WriteRegistryValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node", {});
    const std::string list = std::string(uninstallListPath) + "\\";
    const std::string entry = list + "Pelmora";
    const RegistryValues old = {{"", "alt"}}, none = {{"<missing>", ""}};
    const RegistryValues full = {{"DisplayName", "Pelmora"}, {"UninstallString", "u.exe"}, {"Publisher", "Verlag"}};
    for (int refused = 1; refused > 0; ++refused) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry.c_str());
        WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, old);
        const HKEY next = NextKeyHandle();
        regFailingWrite = refused;
        const bool written = SetUninstallEntry("Pelmora", "u.exe", nullptr, nullptr, nullptr, nullptr, "Verlag",
                                               nullptr, nullptr, nullptr, nullptr);
        const bool noneRefused = regFailingWrite > 0;
        regFailingWrite = 0;
        EXPECT_EQ(next, NextKeyHandle()) << "a key left open at write " << refused;
        const RegistryValues now = ReadRegistryValues(HKEY_LOCAL_MACHINE, entry);
        const auto holds = [&now](const char* name, const char* data) {
            return now.count(name) == 1 && now.at(name) == data;
        };
        const bool usable = holds("DisplayName", "Pelmora") && holds("UninstallString", "u.exe");
        // Publisher may be left out; an old value beside the new ones is a failure.
        EXPECT_EQ(written, usable && now.size() == 2 + now.count("Publisher")) << "at write " << refused;
        EXPECT_TRUE(usable || now == old || now == none) << "at write " << refused;
        if (noneRefused) {
            EXPECT_TRUE(written && now == full);
            refused = -1;
        }
    }
    // It goes from both registry views, the 32-bit one first; one that stays in either is a failure.
    for (int refused : {0, 1, 2}) {
        for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, old, view);
        regFailingWrite = refused;
        EXPECT_EQ(refused == 0, SetUninstallEntry("Pelmora", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr)) << refused;
        regFailingWrite = 0;
        EXPECT_EQ(refused == 1, RegistryKeyExists(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_32KEY)) << refused;
        EXPECT_EQ(refused == 2, RegistryKeyExists(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_64KEY)) << refused;
    }
    for (const char* other : {"PELMORA alt", "Pelmora 2", "Anderes Pelmora", "Pelmor"})
        WriteRegistryValues(HKEY_LOCAL_MACHINE, list + other, {{"DisplayName", other}});
    EXPECT_TRUE(SetUninstallEntry("Pelmora", "u.exe", nullptr, "pelmora", nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, list + "PELMORA alt") ||
                 RegistryKeyExists(HKEY_LOCAL_MACHINE, list + "Pelmora 2"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry) && RegistryKeyExists(HKEY_LOCAL_MACHINE, list + "Pelmor") &&
                RegistryKeyExists(HKEY_LOCAL_MACHINE, list + "Anderes Pelmora"));
    EXPECT_TRUE(SetUninstallEntry("Pelmora", nullptr, nullptr, "", nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, list + "Pelmor")) << "an empty prefix matches nothing";
    EXPECT_TRUE(SetUninstallEntry("Pelmora", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr)) << "a missing entry is no failure";
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "")) << "never the parent";
    WriteRefusedKey(HKEY_LOCAL_MACHINE, entry);
    EXPECT_FALSE(SetUninstallEntry("Pelmora", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr)) << "an entry that cannot be opened is still there";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, entry.c_str());
    CloseRegistrySandbox();
}
