#include "fs/fileops.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "fs/lookup.h"
#include "shell/mainwindow.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

std::vector<std::string> boxes;

int KeepBox(HWND, const char* text, const char* caption, UINT type)
{
    EXPECT_STREQ("Tastaturtreiber-Deinstallation", caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), type);
    boxes.push_back(text);
    return IDOK;
}

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = FreshDirectory("fileops-tests");
        boxes.clear();
        mainWindow = nullptr;
        strcpy(statusText, "vorher");
        statusHook = SetStatus;
        useMessageHook = true;
        messageHook = KeepBox;
    }
    void TearDown() override
    {
        useMessageHook = false;
        messageHook = nullptr;
        statusHook = nullptr;
        RemoveDirectoryTree(directory);
    }
    // The box `index` starts with `start` (the system's text follows).
    static void ExpectBox(size_t index, const std::string& start)
    {
        ASSERT_LT(index, boxes.size()) << start;
        EXPECT_EQ(start, boxes[index].substr(0, start.size()));
    }
    // The report on a file (or a directory) that could not be deleted, up to the error's number.
    static std::string DeleteReport(const std::string& name, int error, const char* kind = "Folgende Datei")
    {
        return std::string(kind) + " kann nicht gelöscht werden:\n" + name + "\n\nFehlercode " +
               std::to_string(error) + ":\n";
    }
    std::string directory;
};

TEST_F(FileOpsTest, DeletionReportsFailuresWithTheSystemsReason)
{
    EXPECT_TRUE(DeleteFileReported((directory + "fehlt.dll").c_str(), true));
    EXPECT_STREQ("vorher", statusText) << "nothing to delete, nothing shown";

    const std::string locked = directory + "schreibgeschützt.dll";
    ASSERT_TRUE(MakeFile(locked, 10, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileReported(locked.c_str(), false));
    EXPECT_TRUE(boxes.empty()) << "silent without report";
    EXPECT_FALSE(DeleteFileReported(locked.c_str(), true));
    EXPECT_EQ("Lösche " + locked + " ...", statusText);
    ExpectBox(0, DeleteReport(locked, 5));

    const std::string open = directory + "offen.dll";
    ASSERT_TRUE(MakeFile(open, 10));
    const HANDLE holder = CreateFileA(open.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(DeleteFileInDir(directory.c_str(), "offen.dll", true));
    CloseHandle(holder);
    ExpectBox(1, DeleteReport(open, 32));  // sharing violation
    EXPECT_TRUE(DeleteFileInDir(directory.c_str(), "offen.dll", true));
    EXPECT_FALSE(PathExists(open));

    const std::string tooLong(MAX_PATH, 'n');
    EXPECT_FALSE(DeleteFileInDir(directory.c_str(), tooLong.c_str(), true));
    ExpectBox(2, DeleteReport(directory + tooLong, 206));
    EXPECT_EQ(3u, boxes.size());
}

TEST_F(FileOpsTest, CopiesArePlainFilesAndFailuresNameBothPaths)
{
    const std::string source = directory + "quelle.exe";
    const std::string target = directory + "ziel.exe";
    ASSERT_TRUE(MakeFile(source, 100, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(CopyFileReported(source.c_str(), target.c_str(), true, true));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(target.c_str()));

    EXPECT_FALSE(CopyFileReported(source.c_str(), target.c_str(), true, false));
    ExpectBox(0, "Kopieren einer Datei fehlgeschlagen.\n\nQuelle: " + source + "\nZiel: " + target + "\n\nFehlercode 80:\n");
    // Wine, unlike Windows, overwrites a read-only target: a missing directory fails instead.
    const std::string nowhere = directory + "fehlt\\ziel.exe";
    EXPECT_FALSE(CopyFileReported(source.c_str(), nowhere.c_str(), true, true));
    ASSERT_EQ(2u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[1].find("\n\nFehlercode 3:\n")) << boxes[1];
    EXPECT_FALSE(CopyFileReported(source.c_str(), nowhere.c_str(), false, true));
    EXPECT_EQ(2u, boxes.size());
}

TEST_F(FileOpsTest, TreeIsDeletedDepthFirstAndEachFailureIsReportedUpTheChain)
{
    for (const bool withLockedFile : {false, true}) {
        CreateDirectoryA(directory.c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryA((directory + "eins").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((directory + "eins\\zwei").c_str(), nullptr));
        ASSERT_TRUE(MakeFile(directory + "eins\\zwei\\fest.txt", 1, withLockedFile ? FILE_ATTRIBUTE_READONLY : 0));
        ASSERT_TRUE(MakeFile(directory + "eins\\lose.txt", 1));
        // The longest directory path that still takes a final backslash.
        const std::string longest = directory + std::string(MAX_PATH - 2 - directory.size(), 'd');
        ASSERT_TRUE(CreateDirectoryA(longest.c_str(), nullptr)) << GetLastError();
        boxes.clear();
        EXPECT_EQ(!withLockedFile, DeleteTree(directory.c_str()));
        EXPECT_EQ(withLockedFile, PathExists(directory));
        EXPECT_FALSE(PathExists(longest));
        EXPECT_FALSE(PathExists(directory + "eins\\lose.txt")) << "the walk goes on after a failure";
        if (!withLockedFile) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ("Lösche Verzeichnis " + directory.substr(0, directory.size() - 1) + " ...", statusText);
        }
    }
    ASSERT_EQ(4u, boxes.size()) << "the file, then zwei, eins and the start directory";
    ExpectBox(0, DeleteReport(directory + "eins\\zwei\\fest.txt", 5));
    ExpectBox(1, DeleteReport(directory + "eins\\zwei", 145, "Folgendes Verzeichnis"));
    ExpectBox(3, DeleteReport(directory.substr(0, directory.size() - 1), 145, "Folgendes Verzeichnis"));
}

// Wine cannot make a link: CreateSymbolicLinkW claims success and makes nothing, and a junction
// through FSCTL_SET_REPARSE_POINT is refused. So each entry is real, and its find record carries
// the attributes Windows reports for a junction or a symbolic link.
TEST_F(FileOpsTest, LinksInATreeAreRemovedThemselvesAndNeverEntered)
{
    const struct {
        const char* what;
        DWORD attributes;
        bool removed;
        bool targetKept;
    } cases[] = {
        {"junction", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, false, true},
        {"plain directory", FILE_ATTRIBUTE_DIRECTORY, true, false},
        {"link to a file", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, true, false},
    };
    for (const auto& c : cases) {
        const std::string entry = directory + "verweis";
        const std::string target = entry + "\\ziel.txt";
        const bool isDirectory = (c.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        ASSERT_TRUE(isDirectory ? CreateDirectoryA(entry.c_str(), nullptr) && MakeFile(target, 1) : MakeFile(entry, 1));
        WIN32_FIND_DATAA record = {};
        record.dwFileAttributes = c.attributes;
        strcpy(record.cFileName, "verweis");
        DescribeFile(&record);
        boxes.clear();
        EXPECT_EQ(c.removed, DeleteFoundEntry(entry.c_str())) << c.what;
        EXPECT_EQ(!c.removed, PathExists(entry)) << c.what;
        EXPECT_EQ(c.targetKept, PathExists(target)) << c.what;
        // Standing in for the link, the directory is not empty: the removal of the link itself
        // is what fails.
        EXPECT_EQ(c.removed ? 0u : 1u, boxes.size()) << c.what;
        if (!c.removed)
            ExpectBox(0, DeleteReport(entry, 145, "Folgendes Verzeichnis"));
        RemoveDirectoryTree(entry);
    }
}

}
