#include "text/paths.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

struct PathCase {
    const char* path;
    const char* expected;
};

TEST(AddPathSeparator, EndsEveryPathInOneSeparator)
{
    const PathCase cases[] = {
        {"", "\\"},
        {"C:", "C:\\"},
        {"C:\\", "C:\\"},
        {"C:\\Programme\\Pelmora-Tastatur", "C:\\Programme\\Pelmora-Tastatur\\"},
        {"C:\\Programme\\", "C:\\Programme\\"},
        {"C:/Programme/", "C:/Programme/"},
        {"\\\\server\\share", "\\\\server\\share\\"},
    };
    for (const PathCase& c : cases) {
        char path[pathCapacity];
        strcpy(path, c.path);
        EXPECT_EQ(path, AddPathSeparator(path));
        EXPECT_STREQ(c.expected, path) << "from " << c.path;
    }
}

TEST(AddPathSeparator, NeverWritesBeyondAFullBuffer)
{
    char buffer[pathCapacity + 1];
    memset(buffer, 'a', sizeof(buffer));
    buffer[pathCapacity - 2] = '\0';  // 258 characters: the backslash still fits
    AddPathSeparator(buffer);
    EXPECT_EQ(std::string(pathCapacity - 2, 'a') + "\\", buffer);

    memset(buffer, 'a', sizeof(buffer));
    buffer[pathCapacity - 1] = '\0';  // 259 characters: no room left
    AddPathSeparator(buffer);
    EXPECT_EQ(std::string(pathCapacity - 1, 'a'), buffer);
    EXPECT_EQ('a', buffer[pathCapacity]);
}

TEST(RemovePathSeparator, RemovesOneTrailingSeparatorButKeepsDriveRoots)
{
    const PathCase cases[] = {
        {"", ""},
        {"\\", ""},
        {"/", ""},
        {"C:\\", "C:\\"},
        {"C:/", "C:/"},
        {"C:", "C:"},
        {"C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp/", "C:\\Temp"},
        {"C:\\Temp\\\\", "C:\\Temp\\"},
        {"C:\\Temp", "C:\\Temp"},
    };
    for (const PathCase& c : cases) {
        char path[pathCapacity];
        strcpy(path, c.path);
        EXPECT_EQ(path, RemovePathSeparator(path));
        EXPECT_STREQ(c.expected, path) << "from " << c.path;
    }
}

}
