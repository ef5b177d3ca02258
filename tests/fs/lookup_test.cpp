#include "fs/lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "support.h"
#include "text/format.h"

namespace {

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override { directory = FreshDirectory("lookup-tests"); }
    void TearDown() override { RemoveDirectoryTree(directory); }
    bool Exists(const std::string& name) { return FileExists(name.c_str(), nullptr, &sharedFindData); }
    std::string directory;
};

TEST_F(LookupTest, FileExistsTellsWhatItFound)
{
    ASSERT_TRUE(CreateDirectoryA((directory + "sub").c_str(), nullptr)) << GetLastError();
    EXPECT_TRUE(Exists(directory + "sub") && fileInfo.isDirectory && fileInfo.isExcluded);
    EXPECT_STREQ("VERZEICHNIS", fileInfo.sizeText);
    // The written stamp is local time: this year, not the 1601 of an unconverted zero.
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, static_cast<int>(fileInfo.writtenStamp / 1e10));
    filesOnly = 1;
    EXPECT_FALSE(Exists(directory + "sub"));
    EXPECT_EQ(2, fileExistsResult);
    EXPECT_EQ(0, filesOnly) << "a one-shot switch";
    // An empty directory holds only its dot entries; a pattern ending in a dot accepts them.
    EXPECT_FALSE(Exists(directory + "sub\\*"));
    EXPECT_TRUE(Exists(directory + "sub\\*."));
    EXPECT_FALSE(Exists(directory + "fehlt.dll"));
    EXPECT_EQ(3, fileExistsResult);
    EXPECT_EQ("Fehlercode 2:\n", std::string(sysErrorText).substr(0, 14));

    HANDLE search = nullptr;
    EXPECT_FALSE(FileExists(directory.c_str(), &search, nullptr));
    EXPECT_EQ(1, fileExistsResult);
    EXPECT_STREQ("FEHLAUFRUF FileExists", sysErrorText);
    ASSERT_TRUE(MakeFile(directory + "Thumbs.DB", 1234567, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(FileExists((directory + "*.db").c_str(), &search, &sharedFindData));
    FindClose(search);
    EXPECT_STREQ("1.234.567", fileInfo.sizeText);
    EXPECT_EQ(1234567u, lastFoundSize);
    EXPECT_TRUE(fileInfo.isReadOnly && fileInfo.isHidden && !fileInfo.isDirectory && fileInfo.isExcluded);
}

// Only the directories of a file's path are created, the second time all there already; a path
// from the root of the current drive (the prefix's C:) and one relative to the current directory
// start with a directory, not a server to pass over. Paths that would not fit are refused, not cut.
TEST_F(LookupTest, DirectoriesAreCreatedLevelByLevel)
{
    EXPECT_TRUE(CreateDir((directory + "sub\\").c_str(), true, false, false)) << GetLastError();
    EXPECT_FALSE(CreateDir((directory + "sub").c_str(), true, false, false));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, errorCode16);
    for (const int pass : {1, 2}) {
        lastDirAttempted[0] = '\0';
        EXPECT_TRUE(CreateDirPath((directory + "eins\\zwei\\Schaubild.pdf").c_str(), true, false)) << pass;
        EXPECT_EQ(directory + "eins\\zwei", lastDirAttempted) << pass;
    }
    EXPECT_FALSE(Exists(directory + "eins\\zwei\\*"));
    EXPECT_TRUE(CreateDirPath("Schaubild.pdf", true, false));
    EXPECT_TRUE(CreateDirPath((directory + "vier\\fünf").c_str(), false, true) && Exists(directory + "vier\\fünf"));
    EXPECT_EQ(directory + "vier", lastDirAttempted);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str())) << GetLastError();
    EXPECT_TRUE(CreateDirPath("\\pelmora-lookup-tests\\eins", false, false) && CreateDirPath("a\\b\\c", false, false));
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(Exists("C:\\pelmora-lookup-tests\\eins") && Exists(directory + "a\\b\\c"));
    RemoveDirectoryTree("C:\\pelmora-lookup-tests\\");

    HANDLE search = nullptr;
    WIN32_FIND_DATAA findData;
    int count = 0;
    char pattern[MAX_PATH];
    const std::string deep = directory + std::string(MAX_PATH - directory.size() - 2, 'd') + "\\";
    FindFirstEntry(&search, &findData, &count, pattern, nullptr, deep.c_str(), "*.*");
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
    errorCode = 0;
    EXPECT_FALSE(CreateDirPath((deep + "Schaubild.pdf").c_str(), true, false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
}

}
