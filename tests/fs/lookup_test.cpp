#include "fs/lookup.h"

#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "support.h"
#include "text/format.h"

namespace {

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override { directory = FreshDirectory("lookup-tests"); }
    void TearDown() override { RemoveDirectoryTree(directory); }
    std::string directory;
};

TEST_F(LookupTest, FileExistsTellsWhatItFound)
{
    const std::string sub = directory + "sub";
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_TRUE(FileExists(sub.c_str(), nullptr, &sharedFindData));
    EXPECT_EQ(0, fileExistsResult);
    EXPECT_TRUE(fileInfo.isDirectory && fileInfo.isExcluded);
    EXPECT_STREQ("VERZEICHNIS", fileInfo.sizeText);

    filesOnly = 1;
    EXPECT_FALSE(FileExists(sub.c_str(), nullptr, &sharedFindData));
    EXPECT_EQ(2, fileExistsResult);
    EXPECT_EQ(0, filesOnly) << "a one-shot switch";
    EXPECT_TRUE(FileExists((sub + "\\.").c_str(), nullptr, &sharedFindData)) << "the . entry of a directory";

    EXPECT_FALSE(FileExists((directory + "fehlt.dll").c_str(), nullptr, &sharedFindData));
    EXPECT_EQ(3, fileExistsResult);
    EXPECT_EQ(0, strncmp(sysErrorText, "Fehlercode 2:\n", 14)) << sysErrorText;

    HANDLE search = nullptr;
    EXPECT_FALSE(FileExists(sub.c_str(), &search, nullptr));
    EXPECT_EQ(1, fileExistsResult);
    EXPECT_STREQ("FEHLAUFRUF FileExists", sysErrorText);

    ASSERT_TRUE(MakeFile(directory + "b.txt", 1234567, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(FileExists((directory + "*.txt").c_str(), &search, &sharedFindData));
    FindClose(search);
    EXPECT_STREQ("1.234.567", fileInfo.sizeText);
    EXPECT_EQ(1234567u, lastFoundSize);
    EXPECT_TRUE(fileInfo.isReadOnly && fileInfo.isHidden && !fileInfo.isDirectory && !fileInfo.isExcluded);
}

TEST_F(LookupTest, DescriptionsOfSizesAndNames)
{
    ASSERT_TRUE(MakeFile(directory + "Thumbs.DB", 10));
    ASSERT_TRUE(MakeFile(directory + "marker.bin", 1073741824));
    ASSERT_TRUE(FileExists((directory + "Thumbs.DB").c_str(), nullptr, &sharedFindData));
    EXPECT_TRUE(fileInfo.isExcluded);
    ASSERT_TRUE(FileExists((directory + "marker.bin").c_str(), nullptr, &sharedFindData));
    EXPECT_STREQ("--", fileInfo.sizeText) << "1 GiB is the number formatting's no-value marker";
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, static_cast<int>(fileInfo.writtenStamp / 1e10));
}

TEST_F(LookupTest, EnumerationDeliversEveryEntryButTheDots)
{
    HANDLE search = reinterpret_cast<HANDLE>(1);
    WIN32_FIND_DATAA findData;
    int count = -1;
    char pattern[MAX_PATH];
    char fullName[MAX_PATH];
    FindFirstEntry(&search, &findData, &count, pattern, fullName, directory.c_str(), "*.*");
    EXPECT_EQ(nullptr, search);
    EXPECT_EQ(0, count);

    std::set<std::string> expected;
    for (const char* name : {"a.pdf", "b.txt", "c.pdf"}) {
        ASSERT_TRUE(MakeFile(directory + name, 1));
        expected.insert(directory + name);
    }
    std::set<std::string> seen;
    for (FindFirstEntry(&search, &findData, &count, pattern, fullName, directory.c_str(), "*.*"); search != nullptr;
         FindNextEntry(&search, &findData, &count, directory.c_str(), fullName)) {
        seen.insert(fullName);
        EXPECT_EQ(static_cast<int>(seen.size()), count);
    }
    EXPECT_EQ(expected, seen);

    FindFirstEntry(&search, &findData, &count, pattern, fullName, directory.c_str(), ".pdf");
    EXPECT_EQ(directory + "*.pdf", pattern);
    int found = 0;
    for (; search != nullptr; FindNextEntry(&search, &findData, &count, directory.c_str(), fullName))
        ++found;
    EXPECT_EQ(2, found);
}

TEST_F(LookupTest, PathsThatWouldNotFitAreRefusedNotCut)
{
    const std::string deep = directory + std::string(MAX_PATH - directory.size() - 2, 'd') + "\\";
    HANDLE search = nullptr;
    WIN32_FIND_DATAA findData;
    int count = 0;
    char pattern[MAX_PATH];
    FindFirstEntry(&search, &findData, &count, pattern, nullptr, deep.c_str(), "*.*");
    EXPECT_EQ(nullptr, search);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);

    const std::string overlong = directory + std::string(300, 'x') + "\\file.txt";
    EXPECT_FALSE(CreateDirPath(overlong.c_str(), true, false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
}

TEST_F(LookupTest, DirectoriesAreCreatedLevelByLevel)
{
    const std::string sub = directory + "sub\\";
    EXPECT_TRUE(CreateDir(sub.c_str(), true, false, false));
    EXPECT_TRUE(CreateDir(sub.c_str(), false, false, false)) << "an existing directory is fine";
    EXPECT_FALSE(CreateDir(sub.c_str(), true, false, false));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, errorCode16);

    const std::string file = directory + "eins\\zwei\\drei\\Schaubild.pdf";
    EXPECT_TRUE(CreateDirPath(file.c_str(), true, false));
    EXPECT_TRUE(FileExists((directory + "eins\\zwei\\drei").c_str(), nullptr, &sharedFindData));
    EXPECT_TRUE(fileInfo.isDirectory);
    EXPECT_FALSE(FileExists(file.c_str(), nullptr, &sharedFindData)) << "the file name is no directory";

    const std::string levels = directory + "vier\\fünf";
    EXPECT_TRUE(CreateDirPath(levels.c_str(), false, true));
    EXPECT_TRUE(FileExists(levels.c_str(), nullptr, &sharedFindData));
    EXPECT_EQ(directory + "vier", lastDirAttempted);
}

}
