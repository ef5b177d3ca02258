#include "fs/lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/access.h"
#include "support.h"
#include "text/format.h"

namespace {

bool Exists(const std::string& name)
{
    return FileExists(name.c_str(), nullptr, &sharedFindData);
}

TEST(LookupTest, FindsWhatIsThereAndCreatesDirectoriesLevelByLevel)
{
    const std::string directory = FreshDirectory("lookup-tests");
    ASSERT_TRUE(CreateDirPath((directory + "eins\\zwei\\Schaubild.pdf").c_str(), true, false));
    EXPECT_TRUE(Exists(directory + "eins\\zwei") && fileInfo.isDirectory && fileInfo.isExcluded);
    filesOnly = 1;
    EXPECT_FALSE(Exists(directory + "eins\\zwei"));
    EXPECT_FALSE(Exists(directory + "fehlt.dll"));
    EXPECT_EQ(3, fileExistsResult);

    // No false result leaves a handle in the slot, which a caller would close twice.
    HANDLE search = nullptr;
    for (const std::string& miss : {directory + "eins\\zwei\\*", directory + "fehlt", directory}) {
        search = INVALID_HANDLE_VALUE;
        EXPECT_FALSE(FileExists(miss.c_str(), &search, miss == directory ? nullptr : &sharedFindData));
        EXPECT_EQ(nullptr, search) << miss;
    }
    EXPECT_EQ(1, fileExistsResult);
    EXPECT_STREQ("FEHLAUFRUF FileExists", sysErrorText);

    // The last level as asked: neither DELETE nor FILE_DELETE_CHILD, which would let any user delete
    // what is inside. A grant the system refuses fails the creation.
    handedAccess.clear();
    securityHook = KeepHandedAccess;
    EXPECT_TRUE(CreateDirPath((directory + "a\\b").c_str(), false, true) && Exists(directory + "a\\b"));
    ASSERT_EQ(2u, handedAccess.size());
    EXPECT_EQ(0u, handedAccess[1].find(directory + "a\\b: D:")) << handedAccess[1];
    EXPECT_NE(std::string::npos, handedAccess[1].find("(A;;0xe01200af;;;WD)")) << handedAccess[1];
    securityHook = [](const char*, PSECURITY_DESCRIPTOR) { return false; };
    EXPECT_FALSE(CreateDir((directory + "verweigert").c_str(), true, false, false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), errorCode);

    RemoveDirectoryTree(directory);
}

}
