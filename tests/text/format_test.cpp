#include "text/format.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>

// What does not fit is cut and counted as stored; an empty expansion leaves the format itself.
TEST(FormatText, ExpandsCopiesOrCutsByItsGuardCases)
{
    const struct {
        int capacity;
        const char* format;
        const char* argument;
        const char* expected;
        int count;
    } cases[] = {{100, "%s", "", "%s", 0}, {100, "\x7F\x7F" "50% %s", "", "50% %s", 6},
                 {8, "<-%s", "abcdefghij", "<-abcde", 7}, {100, nullptr, "", "<INTERNER FEHLER: Formatstring fehlt>", 0}};
    for (const auto& c : cases) {
        std::string destination(c.capacity + 8, '#');
        EXPECT_EQ(c.count, FormatInto(&destination[0], c.capacity, c.format, c.argument)) << c.expected;
        EXPECT_EQ(std::string(c.expected) + '\0' + std::string(c.capacity + 7 - strlen(c.expected), '#'), destination);
    }
}

// A failure is captured before its message is formatted; HRESULTs in hexadecimal, inserts ("%1") kept.
TEST(SysFailed, CapturesFirstAndFormatsSecondOnlyForAFailedResult)
{
    strcpy(errorMessage, "unberührt");
    EXPECT_TRUE(!SysFailed(1, "%s", "Erfolg") && strcmp(errorMessage, "unberührt") == 0) << errorMessage;
    EXPECT_TRUE(SysFailed(DeleteFileA("C:\\gibt-es-nicht.dll"), "Löschen: %s", sysErrorText));
    EXPECT_EQ(0u, std::string(errorMessage).find("Löschen: Fehlercode 2:\n")) << errorMessage;
    const std::pair<DWORD, const char*> codes[] = {{ERROR_BAD_EXE_FORMAT, "Fehlercode 193:\n"},
                                                   {0x80070005, "Fehlercode 80070005:\n"}};
    for (const auto& c : codes) {
        SetLastError(c.first);
        EXPECT_TRUE(RecordSysError("%s", "x") == LOWORD(c.first) && errorCode == c.first && !strcmp(errorMessage, "x"));
        EXPECT_EQ(c.second, std::string(sysErrorText).substr(0, strlen(c.second)));
        EXPECT_EQ(c.first == ERROR_BAD_EXE_FORMAT, strstr(sysErrorText, "%1") != nullptr) << sysErrorText;
    }
}
