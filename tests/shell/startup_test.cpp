#include "shell/startup.h"

#include <gtest/gtest.h>

#include <set>

#include "shell/environment.h"
#include "shell/mainwindow.h"

namespace {

DWORD Rgb(const PALETTEENTRY& entry)
{
    return static_cast<DWORD>(entry.peRed) << 16 | entry.peGreen << 8 | entry.peBlue;
}

bool IsCubeLevel(BYTE level)
{
    return level % 0x33 == 0;
}

bool IsCubeIndex(int index)
{
    return index == 0 || (index >= 10 && index <= 13) || (index >= 29 && index <= 232) || index >= 249;
}

TEST(ProgramPalette, HoldsTheColourCubeAndTheTabledColoursOnce)
{
    const ProgramPalette& palette = programPaletteTable;
    EXPECT_EQ(0x0300, palette.palVersion);
    ASSERT_EQ(paletteSize, palette.palNumEntries);
    std::set<DWORD> colours;
    for (int i = 0; i < paletteSize; ++i) {
        const PALETTEENTRY& entry = palette.palPalEntry[i];
        EXPECT_EQ(0, entry.peFlags) << i;
        EXPECT_TRUE(colours.insert(Rgb(entry)).second) << "colour at " << i << " is there twice";
        const bool cube = IsCubeLevel(entry.peRed) && IsCubeLevel(entry.peGreen) && IsCubeLevel(entry.peBlue);
        EXPECT_EQ(IsCubeIndex(i), cube) << "index " << i << " holds " << std::hex << Rgb(entry);
    }

    const struct {
        int index;
        DWORD rgb;
    } anchors[] = {
        {0, 0x000000},   {1, 0x800000},   {9, 0xD4D0C8},   {10, 0x000033},  {11, 0x330000},  {12, 0x330033},
        {13, 0x003333},  {14, 0x161616},  {21, 0x393939},  {22, 0xFF7C80},  {28, 0xADA990},  {233, 0xA50021},
        {240, 0xD7D7D7}, {241, 0xDDDDDD}, {247, 0x1D3652}, {248, 0x808080}, {249, 0xFF0000}, {250, 0x00FF00},
        {251, 0xFFFF00}, {252, 0x0000FF}, {253, 0xFF00FF}, {254, 0x00FFFF}, {255, 0xFFFFFF},
    };
    for (const auto& anchor : anchors)
        EXPECT_EQ(anchor.rgb, Rgb(palette.palPalEntry[anchor.index])) << "index " << anchor.index;
}

// Start-up state is global: each test starts from what WinMain finds at entry.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
    void TearDown() override
    {
        if (displayDC != nullptr && !shutDownDone)
            ShutDown();
        ResetGlobals();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    static void ResetGlobals()
    {
        shutDownDone = false;
        messageLoopEntered = false;
        usePalette = false;
        appPalette = nullptr;
        previousPalette = nullptr;
        displayDC = nullptr;
        statusBusy = false;
    }
};

TEST_F(StartupTest, DisplayOfMoreThanEightBitsGetsNoPalette)
{
    SetUpDisplay();
    ASSERT_NE(nullptr, displayDC) << GetLastError();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screenHeight);
    EXPECT_GT(colorDepth, 8);
    EXPECT_FALSE(usePalette);
    EXPECT_EQ(nullptr, appPalette);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_APPSTARTING), normalCursor);
    EXPECT_EQ(normalCursor, currentCursor);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_WAIT), waitCursor);
    ShutDown();
    EXPECT_EQ(nullptr, displayDC);
}

TEST_F(StartupTest, PaletteIsSelectedAndGivenBackAtShutDown)
{
    displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, displayDC);
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
    ShutDown();
    EXPECT_EQ(nullptr, appPalette);
    EXPECT_EQ(nullptr, previousPalette);
    EXPECT_EQ(nullptr, displayDC);
    EXPECT_EQ(0u, GetObjectType(created)) << "the program's palette is deleted";
}

TEST_F(StartupTest, ShutDownActsOnlyOnce)
{
    SplitCommandLine(L"u.exe d0010407");
    ShutDown();
    EXPECT_STREQ("", cmdLineTail) << "the command line copies are freed";

    displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ShutDown();
    EXPECT_NE(nullptr, displayDC) << "a second ShutDown released it";
    DeleteDC(displayDC);
    displayDC = nullptr;
}

TEST_F(StartupTest, ShutDownEndsTheMessageLoopOnlyWhenItRuns)
{
    ShutDown();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    shutDownDone = false;
    messageLoopEntered = true;
    ShutDown();
    EXPECT_EQ(0, RunMessageLoop());
}

TEST_F(StartupTest, MessageLoopReturnsTheQuitCode)
{
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    PostQuitMessage(7);
    EXPECT_EQ(7, RunMessageLoop());
}

TEST_F(StartupTest, ReadyCursorWaitsWhileAStatusTextIsShown)
{
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    currentCursor = wait;
    statusBusy = true;
    SetReadyCursor();
    EXPECT_EQ(arrow, normalCursor);
    EXPECT_EQ(wait, currentCursor);

    statusBusy = false;
    SetReadyCursor();
    EXPECT_EQ(arrow, currentCursor);
}

TEST(ProbeWow64, IsFalseForA64BitProcess)
{
    EXPECT_FALSE(ProbeWow64());
}

}
