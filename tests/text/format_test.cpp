#include "text/format.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

int countSeen;

std::string Format(int capacity, const char* format, ...)
{
    std::string destination(capacity + 8, '#');
    va_list arguments;
    va_start(arguments, format);
    countSeen = FormatText(&destination[0], capacity, format, arguments);
    va_end(arguments);
    EXPECT_EQ(std::string(8, '#'), destination.substr(capacity)) << "written beyond the capacity";
    return destination.c_str();
}

TEST(FormatText, ExpandsOrCopiesByItsGuardCases)
{
    EXPECT_EQ("Lösche C:\\x.dll ...", Format(100, "Lösche %s ...", "C:\\x.dll"));
    EXPECT_EQ(19, countSeen);
    EXPECT_EQ("ohne Prozent", Format(100, "ohne Prozent"));
    EXPECT_EQ(12, countSeen);
    EXPECT_EQ("100%", Format(100, "100%%"));
    EXPECT_EQ(4, countSeen);
    EXPECT_EQ("%s", Format(100, "%s", "")) << "an empty expansion shows the format";
    EXPECT_EQ(0, countSeen);
    EXPECT_EQ("50% %s", Format(100, "\x7F\x7F" "50% %s"));
    EXPECT_EQ(6, countSeen);
    EXPECT_EQ("", Format(100, ""));
    EXPECT_EQ(0, countSeen);
    EXPECT_EQ("<INTERNER FEHLER: Formatstring fehlt>", Format(100, nullptr));
    EXPECT_EQ(0, countSeen);
    EXPECT_EQ("07 -3 x", Format(100, "%02d %d %c", 7, -3, 'x'));
}

TEST(FormatText, CutsWhatDoesNotFitTheDestination)
{
    EXPECT_EQ("abcdefg", Format(8, "abcdefghij"));
    EXPECT_EQ(7, countSeen);
    EXPECT_EQ("<-abcde", Format(8, "<-%s", "abcdefghij"));
    EXPECT_EQ(7, countSeen);
    EXPECT_EQ("%%%", Format(4, "\x7F\x7F%%%%%%"));
    // wvsprintfA stops at 1024 bytes; what it leaves is still a terminated text.
    const std::string expanded = Format(5000, "%s!", std::string(3000, 'a').c_str());
    EXPECT_LE(expanded.size(), 1024u);
    EXPECT_GE(expanded.size(), 1000u);
}

// The number as the user reads it, then the system's own text behind ":\n" where it has one.
TEST(BuildSysErrorText, WritesSmallCodesInDecimalAndOthersInHexadecimal)
{
    const struct {
        DWORD code;
        const char* numberText;
        bool systemText;
    } cases[] = {{5, "Fehlercode 5", true},
                 {0, "Fehlercode 0", true},
                 {static_cast<DWORD>(-1), "Fehlercode -1", false},
                 {65535, "Fehlercode 65535", false},
                 {65536, "Fehlercode 00010000", false},
                 {static_cast<DWORD>(-65534), "Fehlercode -65534", false},
                 {static_cast<DWORD>(-65535), "Fehlercode FFFF0001", false},
                 {0x80070005, "Fehlercode 80070005", true}};
    for (const auto& c : cases) {
        strcpy(errorMessage, "old");
        BuildSysErrorText(c.code);
        const std::string text = sysErrorText;
        if (c.systemText) {
            EXPECT_EQ(std::string(c.numberText) + ":\n", text.substr(0, strlen(c.numberText) + 2)) << c.code;
            EXPECT_GT(text.size(), strlen(c.numberText) + 2) << c.code;
        } else {
            EXPECT_EQ(c.numberText, text) << "no system text, no colon";
        }
        EXPECT_STREQ("", errorMessage);
    }
}

// A launch of something that is no program fails with 193, whose text names the file as "%1".
TEST(BuildSysErrorText, KeepsTheSystemsTextWhenItHasInserts)
{
    BuildSysErrorText(ERROR_BAD_EXE_FORMAT);
    const std::string text = sysErrorText;
    EXPECT_EQ("Fehlercode 193:\n", text.substr(0, 16)) << text;
    EXPECT_NE(std::string::npos, text.find("%1")) << text;
}

TEST(CaptureLastError, GivesTheGermanTextOfAFailedCall)
{
    ASSERT_FALSE(DeleteFileA("C:\\gibt-es-nicht.dll"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, CaptureLastError());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), errorCode);
    const std::string text = sysErrorText;
    EXPECT_EQ("Fehlercode 2:\n", text.substr(0, 14));
    EXPECT_NE(std::string::npos, text.find("Datei")) << text;
}

TEST(SysFailed, CapturesFirstAndFormatsSecondOnlyForAFailedResult)
{
    strcpy(errorMessage, "unberührt");
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SysFailed(1, "GetFileSecurity 1 failed"));
    EXPECT_STREQ("unberührt", errorMessage);

    EXPECT_TRUE(SysFailed(0, "SetFileSecurity failed: %s", sysErrorText));
    EXPECT_EQ(ERROR_ACCESS_DENIED, errorCode16);
    EXPECT_EQ(std::string("SetFileSecurity failed: ") + sysErrorText, errorMessage);

    SetLastError(ERROR_INVALID_NAME);
    EXPECT_EQ(ERROR_INVALID_NAME, RecordSysError("%s", "Name"));
    EXPECT_STREQ("Name", errorMessage);
}

}
