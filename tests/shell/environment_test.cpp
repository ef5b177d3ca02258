#include "shell/environment.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "shell/startup.h"
#include "text/msgbox.h"

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void TearDown() override { FreeCommandLineCopies(); }

    static void Split(const std::wstring& line, const std::vector<std::string>& arguments, const char* tail)
    {
        SplitCommandLine(line.c_str());
        ASSERT_EQ(static_cast<int>(arguments.size()), argCount) << testing::PrintToString(line);
        for (int i = 0; i < argCount; ++i)
            EXPECT_EQ(arguments[i], argTable[i]) << testing::PrintToString(line) << ", argument " << i;
        if (tail != nullptr) {
            EXPECT_STREQ(tail, cmdLineTail);
        }
        // Entries behind the last argument are all zero, also after a longer line.
        for (int i = argCount; i < maxArguments; ++i) {
            for (int unit = 0; unit < argumentCapacity; ++unit) {
                ASSERT_TRUE(argTableWide[i][unit] == 0 && argTable[i][unit] == 0) << "entry " << i;
            }
        }
    }
};

TEST_F(CommandLineTest, SplitsOnBlanksAndQuotesOnly)
{
    Split(L"\"C:\\Program Files\\Pelmora-Tastatur\\Uninstall_Pelmoradrv.exe\" d0010407", {"d0010407"}, "d0010407");
    Split(L"u.exe a b \"c d\"  e", {"a", "b", "c d", "e"}, "a b \"c d\"  e");
    Split(L"\"C:\\Pro gram\\u.exe\"  \"d0010407\"", {"d0010407"}, "\"d0010407\"");
    Split(L"Uninstall_Pelmoradrv.exe   ", {}, "");
    Split(L"u.exe a\tb c   ", {"a\tb", "c"}, "a\tb c   ");
    Split(L"u.exe \"ab\"cd \"\" \"open to the end", {"ab", "cd", "", "open to the end"}, nullptr);
    Split(L"u.exe J\x00FCrgen", {"Jürgen"}, "Jürgen");
    // A leading blank leaves the program name empty: the program path becomes an argument.
    Split(L" C:\\u.exe d0010407", {"C:\\u.exe", "d0010407"}, nullptr);
    Split(L"", {}, "");
}

TEST_F(CommandLineTest, KeepsThirtyArgumentsAndCutsOverlongOnes)
{
    std::wstring line = L"u.exe";
    std::vector<std::string> kept;
    for (int i = 0; i < 35; ++i) {
        line += L" a" + std::to_wstring(i);
        if (i < maxArguments)
            kept.push_back("a" + std::to_string(i));
    }
    Split(line, kept, nullptr);

    // The words after an overlong one still split where they should. The ANSI entry keeps room
    // for the conversion's second zero, so a full wide entry converts to an empty text.
    const std::wstring overlong(300, L'x');
    const std::wstring quoted = L"\"" + std::wstring(150, L'y') + L" " + std::wstring(150, L'y') + L"\"";
    Split(L"u.exe " + overlong + L" " + quoted + L" next", {"", "", "next"}, nullptr);
    EXPECT_EQ(std::wstring(argumentCapacity - 1, L'x'), argTableWide[0]);
    EXPECT_EQ(std::wstring(150, L'y') + L" " + std::wstring(argumentCapacity - 152, L'y'), argTableWide[1]);
    EXPECT_EQ(overlong.size() + quoted.size() + 6, strlen(cmdLineTail)) << "the tail is kept whole";
}

TEST(SplitProgramPath, TakesTheNameBehindTheLastSeparatorWithoutItsLastExtension)
{
    const struct {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {
        {"C:\\Program Files\\Pelmora-Tastatur\\Uninstall_Pelmoradrv.exe", "C:\\Program Files\\Pelmora-Tastatur\\",
         "Uninstall_Pelmoradrv"},
        {"C:/x.y/setup.de.exe", "C:/x.y/", "setup.de"},
        {"D:prog", "D:", "prog"},
        {".hidden", "", ".hidden"},
    };
    for (const auto& c : cases) {
        strcpy(programDir, c.path);
        SplitProgramPath();
        EXPECT_STREQ(c.directory, programDir) << c.path;
        EXPECT_STREQ(c.name, programName) << c.path;
        EXPECT_STREQ(c.name, windowTitle) << c.path;
    }
}

TEST(DeriveNameForms, CompletesEachGroupFromItsUtf16Name)
{
    wcscpy(userNameW, L"J\x00FCrgen");
    DeriveNameForms(7, userNameW, userNameA, userNameUtf8, &userNameAnsiSafe);
    EXPECT_STREQ("Jürgen", userNameA);
    EXPECT_STREQ("J\xC3\xBCrgen", userNameUtf8);
    EXPECT_TRUE(userNameAnsiSafe);

    netUserNameW[0] = L'\0';
    DeriveNameForms(MAX_PATH, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_STREQ("Jürgen", netUserNameA) << "an empty network name takes the user's";

    wcscpy(netUserNameW, L"\x0391\x03BB\x03C6\x03B1s");
    DeriveNameForms(4, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_STREQ("\xCE\x91\xCE\xBB\xCF\x86\xCE\xB1", netUserNameUtf8) << "terminated at the reported length";
    EXPECT_FALSE(netUserNameAnsiSafe);

    wmemset(netUserNameW, L'n', MAX_PATH);
    DeriveNameForms(5000, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_EQ(std::string(MAX_PATH - 1, 'n'), netUserNameUtf8) << "terminated at the buffer's last unit";
}

class ProbeEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        GetCurrentDirectoryA(MAX_PATH, savedDirectory);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(savedDirectory);
        FreeCommandLineCopies();
    }
    char savedDirectory[MAX_PATH];
};

TEST_F(ProbeEnvironmentTest, DescribesThisProcess)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows")) << GetLastError();
    ProbeEnvironment();
    EXPECT_STREQ("unit_tests", programName);
    char modulePath[MAX_PATH];
    GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    EXPECT_EQ(std::string(modulePath), std::string(programDir) + "unit_tests.exe");
    EXPECT_STREQ("C:\\windows", currentDirAsGiven);
    EXPECT_STREQ("C:\\windows\\", currentDir);
    EXPECT_STREQ(GetCommandLineA(), cmdLineCopy);
    EXPECT_TRUE(osIsNT && osVersion61);
    EXPECT_TRUE(userNameA[0] != '\0' && sameUser);

    ASSERT_TRUE(SetCurrentDirectoryA("C:\\")) << GetLastError();
    ProbeEnvironment();
    EXPECT_STREQ("C:\\", currentDir) << "no second backslash";
}

}
