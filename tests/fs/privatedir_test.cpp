#include "fs/privatedir.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <string.h>

#include <string>

#include "support.h"
#include "text/format.h"

namespace {

PSID Sid(const char* text)
{
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(text, &sid)) << text;
    return sid;
}

// Each private folder is new and cannot be swapped while held; a file knows it in any form and
// case, when its owner is an administrator or the parent's.
TEST(PrivateDir, IsNewHeldAndKnownOnlyWhereMade)
{
    const std::string parent = FreshDirectory("private-dir");
    char first[pathCapacity];
    char second[pathCapacity];
    char shortParent[pathCapacity];
    ASSERT_NE(0u, GetShortPathNameA(parent.c_str(), shortParent, pathCapacity));
    const HANDLE hold = CreatePrivateDir(first, parent.c_str(), "Pelmora-");
    const HANDLE other = CreatePrivateDir(second, shortParent, "Pelmora-");
    ASSERT_TRUE(hold != nullptr && other != nullptr) << sysErrorText;
    CloseHandle(other);
    EXPECT_STRNE(first, second);
    const std::string folder = std::string(first).substr(0, strlen(first) - 1);
    EXPECT_FALSE(MoveFileA(folder.c_str(), (parent + "weg").c_str()));
    CloseHandle(hold);
    ASSERT_TRUE(MakeFile(folder + "\\Uninstall_Pelmoradrv.exe", 1));
    char shortForm[pathCapacity];
    ASSERT_NE(0u, GetShortPathNameA((folder + "\\Uninstall_Pelmoradrv.exe").c_str(), shortForm, pathCapacity));
    const std::string name = folder.substr(parent.size());
    const struct {
        std::string file;
        const char* owner;  // stands in for the one the system reports
        bool known;
    } cases[] = {
        {shortForm, nullptr, true},
        {shortForm, "S-1-5-32-544", true},
        {shortForm, "S-1-5-21-1-2-3-1001", false},
        {parent + "unten\\" + name + "\\x.exe", nullptr, false},
        {folder.substr(0, folder.size() - 1) + "\\x.exe", nullptr, false},
        {folder + "\\unten\\x.exe", nullptr, false},
    };
    std::string upper = parent;
    CharUpperBuffA(&upper[0], upper.size());
    for (const auto& c : cases) {
        WCHAR file[pathCapacity];
        MultiByteToWideChar(CP_ACP, 0, c.file.c_str(), -1, file, pathCapacity);
        testFolderOwner = c.owner != nullptr ? Sid(c.owner) : nullptr;
        EXPECT_EQ(c.known, InPrivateDir(file, upper.c_str(), "PELMORA-")) << c.file << " " << c.owner;
        LocalFree(testFolderOwner);
    }
    testFolderOwner = nullptr;
    RemoveDirectoryTree(parent);
}

}
