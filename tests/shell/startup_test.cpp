#include "shell/startup.h"

#include <gtest/gtest.h>
#include <string.h>

#include <set>

#include "shell/environment.h"

namespace {

// The layout of the table is fixed at compile time; that no colour stands in it twice is not.
TEST(ProgramPalette, HoldsEveryColourOnce)
{
    ASSERT_EQ(paletteSize, programPaletteTable.palNumEntries);
    std::set<DWORD> colours;
    for (const PALETTEENTRY& entry : programPaletteTable.palPalEntry)
        EXPECT_TRUE(colours.insert(RGB(entry.peRed, entry.peGreen, entry.peBlue)).second)
            << std::hex << RGB(entry.peRed, entry.peGreen, entry.peBlue) << " is there twice";
}

// Start-up state is global: each test starts from what WinMain finds at entry.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shutDownDone = messageLoopEntered = usePalette = false;
        appPalette = previousPalette = nullptr;
        displayDC = nullptr;
    }
    void TearDown() override
    {
        ShutDown();
        // A quit message left in the queue would end every later message box at once.
        messageLoopEntered = false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

TEST_F(StartupTest, DisplayOfMoreThanEightBitsGetsNoPalette)
{
    SetUpDisplay();
    ASSERT_NE(nullptr, displayDC) << GetLastError();
    EXPECT_GT(colorDepth, 8);
    EXPECT_TRUE(!usePalette && appPalette == nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_APPSTARTING), currentCursor);
}

TEST_F(StartupTest, PaletteIsSelectedAndGivenBackByTheFirstShutDownOnly)
{
    displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    const HGDIOBJ original = GetCurrentObject(displayDC, OBJ_PAL);
    usePalette = true;
    SelectProgramPalette();
    ASSERT_NE(nullptr, appPalette) << GetLastError();
    EXPECT_EQ(original, previousPalette);
    EXPECT_EQ(appPalette, GetCurrentObject(displayDC, OBJ_PAL));
    PALETTEENTRY entries[paletteSize];
    ASSERT_EQ(static_cast<UINT>(paletteSize), GetPaletteEntries(appPalette, 0, paletteSize, entries));
    EXPECT_EQ(0, memcmp(entries, programPaletteTable.palPalEntry, sizeof(entries)));

    const HPALETTE created = appPalette;
    SplitCommandLine(L"u.exe d0010407");
    ShutDown();
    EXPECT_TRUE(appPalette == nullptr && previousPalette == nullptr && displayDC == nullptr);
    EXPECT_EQ(0u, GetObjectType(created)) << "the program's palette is deleted";
    EXPECT_STREQ("", cmdLineTail) << "the command line copies are freed";

    displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ShutDown();
    EXPECT_NE(nullptr, displayDC) << "a second ShutDown released it";
    DeleteDC(displayDC);
}

TEST_F(StartupTest, ShutDownEndsTheMessageLoopOnlyWhenItRuns)
{
    ShutDown();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    shutDownDone = false;
    messageLoopEntered = true;
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    ShutDown();
    EXPECT_EQ(0, RunMessageLoop());
    PostQuitMessage(7);
    EXPECT_EQ(7, RunMessageLoop());
}

}
