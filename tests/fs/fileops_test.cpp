#include "fs/fileops.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "fs/lookup.h"
#include "shell/mainwindow.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

// The boxes shown, each up to the number of the system's error (its text follows).
std::vector<std::string> boxes;

int KeepBox(HWND, const char* text, const char* caption, UINT type)
{
    EXPECT_STREQ("Tastaturtreiber-Deinstallation", caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), type);
    const std::string whole = text;
    boxes.push_back(whole.substr(0, whole.find(":\n", whole.find("Fehlercode"))));
    return IDOK;
}

std::string DeleteReport(const std::string& name, int error, const char* kind = "Folgende Datei")
{
    return std::string(kind) + " kann nicht gelöscht werden:\n" + name + "\n\nFehlercode " + std::to_string(error);
}

// The status line while roots are refused: a broken guard ends the program before it empties a drive.
void StopBeforeDeleting(const char*, ...)
{
    fputs("DeleteTree went on with a path it must refuse\n", stderr);
    ExitProcess(3);
}

class FileOpsTest : public ::testing::Test {
protected:
    // The current directory is C:'s root, never the build tree on the host's drive Z:, whose root is
    // the host's: a bare separator handed to a deletion names at most the prefix's drive.
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, savedDirectory);
        SetCurrentDirectoryA("C:\\");
        directory = FreshDirectory("fileops-tests");
        boxes.clear();
        statusText[0] = '\0';
        statusHook = SetStatus;
        useMessageHook = true;
        messageHook = KeepBox;
    }
    void TearDown() override
    {
        RemoveDirectoryTree(directory);
        SetCurrentDirectoryA(savedDirectory);
    }
    std::string directory;
    char savedDirectory[MAX_PATH] = "";
};

TEST_F(FileOpsTest, DeletionsAndCopiesReportFailuresWithTheSystemsReason)
{
    EXPECT_TRUE(DeleteFileReported((directory + "fehlt.dll").c_str(), true));
    EXPECT_STREQ("", statusText) << "nothing to delete, nothing shown";
    const std::string locked = directory + "schreibgeschützt.dll";
    const std::string copy = directory + "kopie.dll";
    ASSERT_TRUE(MakeFile(locked, 10, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(DeleteFileReported(locked.c_str(), false) || DeleteFileReported(locked.c_str(), true));
    EXPECT_EQ("Lösche " + locked + " ...", statusText);
    EXPECT_TRUE(CopyFileReported(locked.c_str(), copy.c_str(), true, true));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(copy.c_str())) << "a plain copy";
    EXPECT_FALSE(CopyFileReported(locked.c_str(), copy.c_str(), true, false));
    // A name the system will not even look for is no missing file: its deletion fails and says why.
    EXPECT_FALSE(DeleteFileReported((directory + "a*b\\x.dll").c_str(), true));
    const std::vector<std::string> expected = {
        DeleteReport(locked, 5),
        "Kopieren einer Datei fehlgeschlagen.\n\nQuelle: " + locked + "\nZiel: " + copy + "\n\nFehlercode 80",
        DeleteReport(directory + "a*b\\x.dll", ERROR_INVALID_NAME),
    };
    EXPECT_EQ(expected, boxes);
}

TEST_F(FileOpsTest, PathsWithoutTheirSeparatorAndRootsAreRefusedBeforeAnyStep)
{
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_STREQ("C:\\", current);
    statusHook = StopBeforeDeleting;
    std::vector<std::string> expected;
    for (const char* path : {"", "C:", "C:\\windows", "\\", "/", "C:\\", "C:/", "C:\\windows\\..\\",
                             "\\\\server\\share\\", "\\\\?\\UNC\\server\\share\\"}) {
        EXPECT_FALSE(DeleteTree(path)) << path;
        expected.push_back(DeleteReport(path, ERROR_DIRECTORY, "Folgendes Verzeichnis"));
    }
    EXPECT_EQ(expected, boxes);
    // A folder right below a root goes, in the long form too ("\\?\C:" counts as a share's two names).
    statusHook = nullptr;
    CreateDirectoryA("C:\\pelmora-fileops-tests", nullptr);
    EXPECT_TRUE(DeleteTree("\\\\?\\C:\\pelmora-fileops-tests\\") && !PathExists("C:\\pelmora-fileops-tests"));
}

// A tree goes with what is in it, but a link in it is never entered. Wine makes no links, so a link
// is a real entry whose find record carries a junction's attributes.
TEST_F(FileOpsTest, TreesAreDeletedButLinksAreNeverEntered)
{
    ASSERT_TRUE(CreateDirectoryA((directory + "eins").c_str(), nullptr) && MakeFile(directory + "eins\\fest.txt", 1));
    EXPECT_TRUE(DeleteTree(directory.c_str()) && !PathExists(directory));

    const std::string link = FreshDirectory("fileops-tests") + "verweis";
    ASSERT_TRUE(CreateDirectoryA(link.c_str(), nullptr) && MakeFile(link + "\\ziel.txt", 1));
    WIN32_FIND_DATAA record = {};
    record.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    DescribeFile(&record);
    // Standing in for the junction, the directory is not empty: removing the link itself fails.
    EXPECT_FALSE(DeleteFoundEntry(link.c_str()) || !PathExists(link + "\\ziel.txt"));
    EXPECT_EQ(std::vector<std::string>{DeleteReport(link, 145, "Folgendes Verzeichnis")}, boxes);
}

}
