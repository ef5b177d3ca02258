#include "text/paths.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

TEST(PathSeparators, AreAddedAndRemovedOnceButDriveRootsKeepTheirs)
{
    const struct {
        const char* path;
        const char* added;
        const char* removed;
    } cases[] = {
        {"", "\\", ""},
        {"\\", "\\", ""},
        {"C:", "C:\\", "C:"},
        {"C:\\", "C:\\", "C:\\"},
        {"C:/", "C:/", "C:/"},
        {"C:\\Temp", "C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp/", "C:\\Temp/", "C:\\Temp"},
        {"C:\\Temp\\\\", "C:\\Temp\\\\", "C:\\Temp\\"},
    };
    for (const auto& c : cases) {
        char path[pathCapacity];
        EXPECT_STREQ(c.added, AddPathSeparator(strcpy(path, c.path))) << c.path;
        EXPECT_STREQ(c.removed, RemovePathSeparator(strcpy(path, c.path))) << c.path;
    }
}

TEST(PathSeparators, NoSeparatorIsWrittenBeyondAFullBuffer)
{
    char buffer[pathCapacity + 1];
    memset(buffer, 'a', sizeof(buffer));
    buffer[pathCapacity - 2] = '\0';
    EXPECT_EQ(std::string(pathCapacity - 2, 'a') + "\\", AddPathSeparator(buffer));

    memset(buffer, 'a', sizeof(buffer));
    buffer[pathCapacity - 1] = '\0';
    EXPECT_EQ(std::string(pathCapacity - 1, 'a'), AddPathSeparator(buffer));
    EXPECT_EQ('a', buffer[pathCapacity]);
}

}
