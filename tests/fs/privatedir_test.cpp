#include "fs/privatedir.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <string.h>

#include <string>
#include <utility>

#include "support.h"
#include "text/format.h"

namespace {

PSID Sid(const char* text)
{
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(text, &sid)) << text;
    return sid;
}

// Unelevated, the user's temporary folder as the ANSI calls name it: outside the code page by its
// short form, without one by the Windows directory. Elevated (every process under Wine), never
// where the environment points.
TEST(PrivateDir, LiesInTheWindowsTempUnlessUnelevated)
{
    wchar_t ownTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, ownTemp);
    wchar_t savedTmp[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
    const std::wstring turkish = std::wstring(ownTemp) + L"Do\u011Fan\\";
    ASSERT_TRUE(CreateDirectoryW(turkish.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::pair<std::wstring, std::wstring> cases[] = {
        {ownTemp, ownTemp}, {turkish, turkish}, {std::wstring(ownTemp) + L"Do\u011Fan-fehlt\\", L"C:\\windows\\"}};
    for (const auto& c : cases) {
        char path[pathCapacity];
        WCHAR named[pathCapacity];
        SetEnvironmentVariableW(L"TMP", c.first.c_str());
        EXPECT_TRUE(GetTempDir(path));
        MultiByteToWideChar(CP_ACP, 0, path, -1, named, pathCapacity);
        GetLongPathNameW(named, named, pathCapacity);
        EXPECT_EQ(c.second, named) << path;
    }
    char parent[pathCapacity];
    EXPECT_TRUE(GetPrivateParent(parent));
    EXPECT_STREQ("C:\\windows\\Temp\\", parent);
    SetEnvironmentVariableW(L"TMP", savedTmp);
    RemoveDirectoryW(turkish.c_str());
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
        {shortForm, "S-1-5-18", true},
        {shortForm, "S-1-5-21-1-2-3-1001", false},
        {parent + "unten\\" + name + "\\x.exe", nullptr, false},
        {folder.substr(0, folder.size() - 1) + "\\x.exe", nullptr, false},
        {parent + "Pelmora-0123456789ABCDEG\\x.exe", nullptr, false},
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

// What another process puts in the new folder's place before it is opened is never taken.
TEST(PrivateDir, SwappedBeforeItIsOpenedIsRefused)
{
    const std::string parent = FreshDirectory("private-swap");
    const struct {
        void (*swap)(const char* path);
        const char* owner;
    } cases[] = {
        {[](const char* path) {
             std::string folder = path;
             folder.pop_back();
             RemoveDirectoryA(folder.c_str());
             MakeFile(folder, 1);
         },
         nullptr},
        {nullptr, "S-1-5-21-1-2-3-1001"},  // a folder the user made in its place
    };
    for (const auto& c : cases) {
        testFolderMade = c.swap;
        testFolderOwner = c.owner != nullptr ? Sid(c.owner) : nullptr;
        char path[pathCapacity] = "x";
        EXPECT_EQ(nullptr, CreatePrivateDir(path, parent.c_str(), "Pelmora-"));
        EXPECT_STREQ("", path);
        EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), errorCode);
        LocalFree(testFolderOwner);
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((parent + "Pelmora-*").c_str(), &found);
        EXPECT_TRUE(search == INVALID_HANDLE_VALUE || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0);
        FindClose(search);
    }
    testFolderMade = nullptr;
    testFolderOwner = nullptr;
    RemoveDirectoryTree(parent);
}

}
