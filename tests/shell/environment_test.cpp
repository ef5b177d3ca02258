#include "shell/environment.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "shell/startup.h"
#include "text/convert.h"

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void TearDown() override { FreeCommandLineCopies(); }

    static void ExpectUnusedEntriesZero()
    {
        for (int i = argCount; i < maxArguments; ++i) {
            for (int unit = 0; unit < argumentCapacity; ++unit) {
                ASSERT_EQ(0, argTableWide[i][unit]) << "entry " << i;
                ASSERT_EQ(0, argTable[i][unit]) << "entry " << i;
            }
        }
    }
};

struct SplitCase {
    const WCHAR* line;
    std::vector<std::string> arguments;
    const char* tail;
};

TEST_F(CommandLineTest, SplitsOnBlanksAndQuotesOnly)
{
    const SplitCase cases[] = {
        {L"Uninstall_Pelmoradrv.exe", {}, ""},
        {L"Uninstall_Pelmoradrv.exe   ", {}, ""},
        {L"\"C:\\Program Files\\Pelmora-Tastatur\\Uninstall_Pelmoradrv.exe\" d0010407", {"d0010407"}, "d0010407"},
        {L"\"C:\\Pro gram\\u.exe\"  \"d0010407\"", {"d0010407"}, "\"d0010407\""},
        {L"u.exe \"a b\"  c", {"a b", "c"}, "\"a b\"  c"},
        {L"u.exe a\tb", {"a\tb"}, "a\tb"},
        {L"u.exe a b   ", {"a", "b"}, "a b   "},
        {L"u.exe \"ab\"cd", {"ab", "cd"}, "\"ab\"cd"},
        {L"u.exe \"open to the end", {"open to the end"}, "\"open to the end"},
        {L"u.exe \"\" x", {"", "x"}, "\"\" x"},
        {L"u.exe J\x00FCrgen", {"Jürgen"}, "Jürgen"},
        // A leading blank leaves the program name empty: the program path becomes an argument.
        {L" C:\\u.exe d0010407", {"C:\\u.exe", "d0010407"}, "C:\\u.exe d0010407"},
        {L"", {}, ""},
    };
    for (const SplitCase& c : cases) {
        SplitCommandLine(c.line);
        ASSERT_EQ(static_cast<int>(c.arguments.size()), argCount) << "line " << testing::PrintToString(c.line);
        for (int i = 0; i < argCount; ++i) {
            EXPECT_EQ(c.arguments[i], argTable[i]) << "argument " << i;
            WCHAR wide[argumentCapacity];
            MultiByteToWideChar(CP_ACP, 0, c.arguments[i].c_str(), -1, wide, argumentCapacity);
            EXPECT_STREQ(wide, argTableWide[i]) << "argument " << i;
        }
        EXPECT_STREQ(c.tail, cmdLineTail);
        ExpectUnusedEntriesZero();
    }
}

TEST_F(CommandLineTest, KeepsTheFirstThirtyArguments)
{
    std::wstring line = L"u.exe";
    for (int i = 0; i < 35; ++i)
        line += L" a" + std::to_wstring(i);
    SplitCommandLine(line.c_str());
    ASSERT_EQ(maxArguments, argCount);
    EXPECT_STREQ("a0", argTable[0]);
    EXPECT_STREQ("a29", argTable[29]);
}

TEST_F(CommandLineTest, CutsAnOverlongArgumentAndSplitsTheRest)
{
    const std::wstring overlong(300, L'x');
    const std::wstring quoted = L"\"" + std::wstring(150, L'y') + L" " + std::wstring(150, L'y') + L"\"";
    SplitCommandLine((L"u.exe " + overlong + L" " + quoted + L" next").c_str());
    ASSERT_EQ(3, argCount);
    EXPECT_EQ(std::wstring(argumentCapacity - 1, L'x'), argTableWide[0]);
    EXPECT_EQ(std::wstring(150, L'y') + L" " + std::wstring(argumentCapacity - 152, L'y'), argTableWide[1]);
    // The ANSI entry keeps room for the conversion's second zero, so a full wide entry does
    // not fit it and converts to an empty text.
    EXPECT_STREQ("", argTable[0]);
    EXPECT_STREQ("", argTable[1]);
    EXPECT_STREQ("next", argTable[2]);
    EXPECT_EQ(overlong.size() + quoted.size() + 6, strlen(cmdLineTail)) << "the tail is kept whole";
}

TEST_F(CommandLineTest, AShorterLineClearsWhatALongerOneLeft)
{
    SplitCommandLine(L"u.exe first second third");
    SplitCommandLine(L"u.exe x");
    ASSERT_EQ(1, argCount);
    ExpectUnusedEntriesZero();
}

TEST_F(CommandLineTest, FreeingTwiceLeavesAnEmptyTail)
{
    SplitCommandLine(L"u.exe d0010407");
    FreeCommandLineCopies();
    FreeCommandLineCopies();
    EXPECT_STREQ("", cmdLineTail);
    EXPECT_EQ(nullptr, cmdLineCopy);
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
        {"C:\\Temp\\setup.de.exe", "C:\\Temp\\", "setup.de"},
        {"C:/Temp/Uninstall_Pelmoradrv", "C:/Temp/", "Uninstall_Pelmoradrv"},
        {"D:prog.exe", "D:", "prog"},
        {"prog.exe", "", "prog"},
        {"C:\\x.y\\.hidden", "C:\\x.y\\", ".hidden"},
        {"C:\\x.y\\prog", "C:\\x.y\\", "prog"},
    };
    for (const auto& c : cases) {
        strcpy(programDir, c.path);
        SplitProgramPath();
        EXPECT_STREQ(c.directory, programDir) << c.path;
        EXPECT_STREQ(c.name, programName) << c.path;
        EXPECT_STREQ(c.name, windowTitle) << c.path;
    }
}

TEST(SetVersionFlags, FollowsTheReleasesOfWindows)
{
    const struct {
        const char* release;
        DWORD platform, major, minor;
        bool nt, v5, v51, v6, v61, v4Early;
    } cases[] = {
        {"95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, false, false, false, false, false, true},
        {"98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, false, false, false, false, false, false},
        {"NT 4", VER_PLATFORM_WIN32_NT, 4, 0, true, false, false, false, false, true},
        {"2000", VER_PLATFORM_WIN32_NT, 5, 0, true, true, false, false, false, false},
        {"XP", VER_PLATFORM_WIN32_NT, 5, 1, true, true, true, false, false, false},
        {"Vista", VER_PLATFORM_WIN32_NT, 6, 0, true, true, true, true, false, false},
        {"7", VER_PLATFORM_WIN32_NT, 6, 1, true, true, true, true, true, false},
        {"8", VER_PLATFORM_WIN32_NT, 6, 2, true, true, true, true, true, false},
        {"10", VER_PLATFORM_WIN32_NT, 10, 0, true, true, true, true, true, false},
    };
    for (const auto& c : cases) {
        OSVERSIONINFOA version = {};
        version.dwPlatformId = c.platform;
        version.dwMajorVersion = c.major;
        version.dwMinorVersion = c.minor;
        SetVersionFlags(version);
        EXPECT_EQ(c.nt, osIsNT) << c.release;
        EXPECT_EQ(c.v5, osVersion5) << c.release;
        EXPECT_EQ(c.v51, osVersion51) << c.release;
        EXPECT_EQ(c.v6, osVersion6) << c.release;
        EXPECT_EQ(c.v61, osVersion61) << c.release;
        EXPECT_EQ(c.v4Early, osVersion4Early) << c.release;
    }
}

class NameFormsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wcscpy(userNameW, L"anna");
        DeriveNameForms(5, userNameW, userNameA, userNameUtf8, &userNameAnsiSafe);
    }
};

TEST_F(NameFormsTest, DerivesAnsiAndUtf8FormsOfTheName)
{
    wcscpy(netUserNameW, L"J\x00FCrgen");
    DeriveNameForms(7, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_STREQ("Jürgen", netUserNameA);
    EXPECT_STREQ("J\xC3\xBCrgen", netUserNameUtf8);
    EXPECT_TRUE(netUserNameAnsiSafe);
}

TEST_F(NameFormsTest, NameOutsideTheAnsiCodePageIsNotAnsiSafe)
{
    wcscpy(netUserNameW, L"\x0391\x03BB\x03C6\x03B1");
    DeriveNameForms(5, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_FALSE(netUserNameAnsiSafe);
    EXPECT_STREQ("\xCE\x91\xCE\xBB\xCF\x86\xCE\xB1", netUserNameUtf8);
}

TEST_F(NameFormsTest, EmptyNetworkNameTakesTheUsersName)
{
    netUserNameW[0] = L'\0';
    DeriveNameForms(MAX_PATH, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_STREQ(L"anna", netUserNameW);
    EXPECT_STREQ("anna", netUserNameA);
    EXPECT_TRUE(netUserNameAnsiSafe);

    userNameW[0] = L'\0';
    DeriveNameForms(1, userNameW, userNameA, userNameUtf8, &userNameAnsiSafe);
    EXPECT_STREQ("", userNameA) << "the user's own empty name stays empty";
}

TEST_F(NameFormsTest, TerminatesAtTheReportedLengthAndNeverBeyondTheBuffer)
{
    wcscpy(netUserNameW, L"abcdef");
    DeriveNameForms(3, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_STREQ("abc", netUserNameA);

    wmemset(netUserNameW, L'n', MAX_PATH);
    DeriveNameForms(5000, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);
    EXPECT_EQ(std::wstring(MAX_PATH - 1, L'n'), netUserNameW);
    EXPECT_EQ(std::string(MAX_PATH - 1, 'n'), netUserNameUtf8);
    EXPECT_STREQ("", netUserNameA) << "259 characters leave no room for the second zero";
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
    EXPECT_STREQ("unit_tests", windowTitle);
    char modulePath[MAX_PATH];
    GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
    EXPECT_EQ(std::string(modulePath), std::string(programDir) + "unit_tests.exe");

    EXPECT_STREQ("C:\\windows", currentDirAsGiven);
    EXPECT_STREQ("C:\\windows\\", currentDir);
    ASSERT_GT(strlen(tempDir), 3u);
    EXPECT_EQ('\\', tempDir[strlen(tempDir) - 1]);
    EXPECT_NE('\\', tempDir[strlen(tempDir) - 2]);

    ASSERT_NE(nullptr, cmdLineCopy);
    EXPECT_STREQ(GetCommandLineA(), cmdLineCopy);

    EXPECT_TRUE(osIsNT);
    EXPECT_TRUE(osVersion51);
    EXPECT_FALSE(osVersion4Early);

    EXPECT_STRNE("", userNameA);
    EXPECT_STRNE("", netUserNameA) << "an empty network name takes the user's";
    EXPECT_TRUE(userNameAnsiSafe);
    char lower[MAX_PATH];
    strcpy(lower, netUserNameA);
    CharLowerA(lower);
    EXPECT_STREQ(lower, netUserNameLower);
    EXPECT_EQ(SameTextNoCaseW(userNameW, netUserNameW), sameUser);
}

TEST_F(ProbeEnvironmentTest, CurrentDirectoryEndingInABackslashGetsNoSecondOne)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\")) << GetLastError();
    ProbeEnvironment();
    EXPECT_STREQ("C:\\", currentDirAsGiven);
    EXPECT_STREQ("C:\\", currentDir);
}

}
