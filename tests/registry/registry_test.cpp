#include "registry/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/uninstallentry.h"
#include "support.h"

// A refused write leaves the old entry as it was, or none when the new one could not uninstall.
TEST(RegistryTest, UninstallEntryIsWrittenWholeOrSaysSo)
{
    OpenRegistrySandbox();
    // A 32-bit registry view of its own, as on 64-bit Windows.
    WriteRegistryValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node", {});
    const std::string entry = std::string(uninstallListPath) + "\\Pelmora";
    const RegistryValues old = {{"", "alt"}}, none = {{"<missing>", ""}};
    RegistryValues full = {{"DisplayName", "Pelmora"}, {"UninstallString", "u.exe"}}, noPublisher = full, mixed;
    full["Publisher"] = "Verlag";
    (mixed = full)[""] = "alt";
    // Writes: the list's key, the entry's key (or its deletion), the old value, the new values.
    const struct {
        const char* command;
        int refused;
        bool result;
        RegistryValues values;
    } cases[] = {{"u.exe", 1, false, old},  {"u.exe", 2, false, old},         {"u.exe", 3, false, mixed},
                 {"u.exe", 4, false, none}, {"u.exe", 5, false, none},        {"u.exe", 6, true, noPublisher},
                 {nullptr, 1, false, old},  {nullptr, 0, true, none}};
    for (const auto& c : cases) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry.c_str());
        WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, old);
        const HKEY next = NextKeyHandle();
        regFailingWrite = c.refused;
        EXPECT_EQ(c.result, SetUninstallEntry("Pelmora", c.command, nullptr, nullptr, nullptr, nullptr, "Verlag",
                                              nullptr, nullptr, nullptr, nullptr)) << c.refused;
        regFailingWrite = 0;
        EXPECT_EQ(next, NextKeyHandle()) << "a key left open at write " << c.refused;
        EXPECT_EQ(c.values, ReadRegistryValues(HKEY_LOCAL_MACHINE, entry)) << c.refused;
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
    EXPECT_TRUE(SetUninstallEntry("Pelmora", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr)) << "a missing entry is no failure";
    WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, old);
    EXPECT_FALSE(SetUninstallEntry("", "u.exe", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr)) << "never the list itself";
    EXPECT_EQ(old, ReadRegistryValues(HKEY_LOCAL_MACHINE, entry));
    const HKEY key = OpenKeyWrite(HKEY_LOCAL_MACHINE, entry.c_str());
    EXPECT_TRUE(DeleteValue(key, nullptr) && !DeleteValue(key, nullptr)) << "a value goes once";
    RegCloseKey(key);
    EXPECT_FALSE(DeleteKeyTree(HKEY_LOCAL_MACHINE, "")) << "never the parent";
    WriteRefusedKey(HKEY_LOCAL_MACHINE, entry);
    EXPECT_FALSE(SetUninstallEntry("Pelmora", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr)) << "an entry that cannot be opened is still there";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, entry.c_str());
    CloseRegistrySandbox();
}
