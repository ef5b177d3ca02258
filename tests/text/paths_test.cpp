#include "text/paths.h"

#include <gtest/gtest.h>
#include <string.h>

TEST(PathSeparators, AreAddedAndRemovedOnceButDriveRootsKeepTheirs)
{
    // A path, with a separator added, with one removed.
    const char* cases[][3] = {{"", "\\", ""}, {"C:", "C:\\", "C:"}, {"C:/", "C:/", "C:/"},
                              {"C:\\Temp", "C:\\Temp\\", "C:\\Temp"}, {"C:\\Temp/", "C:\\Temp/", "C:\\Temp"}};
    for (const auto& c : cases) {
        char path[pathCapacity];
        EXPECT_STREQ(c[1], AddPathSeparator(strcpy(path, c[0]))) << c[0];
        EXPECT_STREQ(c[2], RemovePathSeparator(strcpy(path, c[0]))) << c[0];
    }
}
