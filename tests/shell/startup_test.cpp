#include "shell/startup.h"

#include <gtest/gtest.h>
#include <string.h>

#include <set>

#include "shell/environment.h"

namespace {

DWORD Rgb(const PALETTEENTRY& entry)
{
    return static_cast<DWORD>(entry.peRed) << 16 | entry.peGreen << 8 | entry.peBlue;
}

TEST(ProgramPalette, HoldsTheColourCubeInItsPlacesAndEveryColourOnce)
{
    EXPECT_EQ(0x0300, programPaletteTable.palVersion);
    ASSERT_EQ(paletteSize, programPaletteTable.palNumEntries);
    std::set<DWORD> colours;
    for (int i = 0; i < paletteSize; ++i) {
        const PALETTEENTRY& entry = programPaletteTable.palPalEntry[i];
        EXPECT_EQ(0, entry.peFlags) << i;
        EXPECT_TRUE(colours.insert(Rgb(entry)).second) << "colour at " << i << " is there twice";
        const bool cubeColour = entry.peRed % 0x33 == 0 && entry.peGreen % 0x33 == 0 && entry.peBlue % 0x33 == 0;
        const bool cubeIndex = i == 0 || (i >= 10 && i <= 13) || (i >= 29 && i <= 232) || i >= 249;
        EXPECT_EQ(cubeIndex, cubeColour) << "index " << i << " holds " << std::hex << Rgb(entry);
    }
    const DWORD ends[] = {0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ends[i], Rgb(programPaletteTable.palPalEntry[249 + i])) << 249 + i;
    EXPECT_EQ(0x330033u, Rgb(programPaletteTable.palPalEntry[12]));
    EXPECT_EQ(0xD4D0C8u, Rgb(programPaletteTable.palPalEntry[9]));
    EXPECT_EQ(0x1D3652u, Rgb(programPaletteTable.palPalEntry[247]));
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
    EXPECT_TRUE(screenWidth == 1920 && screenHeight == 1080 && colorDepth > 8) << screenWidth << colorDepth;
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
