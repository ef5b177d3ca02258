#include "shell/mainwindow.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "shell/environment.h"
#include "shell/launch.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        strcpy(programName, "Uninstall_Pelmoradrv");
        strcpy(windowTitle, "Uninstall_Pelmoradrv V3.04 - Tastaturtreiber-Deinstallation");
        showCommand = SW_SHOWNORMAL;
        screenWidth = 1920;
        screenHeight = 1080;
        centerWindow = true;
        shutDownDone = statusBusy = false;
        statusText[0] = '\0';
        normalCursor = LoadCursorA(nullptr, IDC_ARROW);
        waitCursor = LoadCursorA(nullptr, IDC_WAIT);
        ASSERT_TRUE(CreateMainWindow());
        ASSERT_NE(nullptr, mainWindow) << GetLastError();
    }
    void TearDown() override
    {
        if (IsWindow(mainWindow))
            DestroyWindow(mainWindow);
        mainWindow = ownerWindow = nullptr;
        statusHook = nullptr;
        centerWindow = false;
    }

    // Dark pixels along the middle row of the client area, where the status line is drawn.
    static int DarkPixelsInTheMiddle()
    {
        RECT client;
        GetClientRect(mainWindow, &client);
        const HDC dc = GetDC(mainWindow);
        int dark = 0;
        for (int y = client.bottom / 2 - 4; y <= client.bottom / 2 + 4; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF colour = GetPixel(dc, x, y);
                if (GetRValue(colour) + GetGValue(colour) + GetBValue(colour) < 3 * 128)
                    ++dark;
            }
        }
        ReleaseDC(mainWindow, dc);
        return dark;
    }
};

TEST_F(MainWindowTest, CentredWindowIsAQuarterWideAndASixthHigh)
{
    RECT frame;
    GetWindowRect(mainWindow, &frame);
    EXPECT_EQ(720, frame.left);
    EXPECT_EQ(450, frame.top);
    EXPECT_EQ(480, frame.right - frame.left);
    EXPECT_EQ(180, frame.bottom - frame.top);
    EXPECT_EQ(mainWindow, ownerWindow);
    char text[MAX_PATH];
    GetWindowTextA(mainWindow, text, MAX_PATH);
    EXPECT_STREQ(windowTitle, text);
    GetClassNameA(mainWindow, text, MAX_PATH);
    EXPECT_STREQ("Uninstall_Pelmoradrv", text);

    // The window hands its status line to the file operations.
    const std::string file = ScratchFile("status-probe.txt");
    ASSERT_TRUE(MakeFile(file, 1));
    EXPECT_TRUE(DeleteFileReported(file.c_str(), true));
    EXPECT_EQ("Lösche " + file + " ...", statusText);
}

TEST_F(MainWindowTest, StatusLinePaintsAtOnceAndClearsToWhite)
{
    EXPECT_EQ(0, DarkPixelsInTheMiddle());
    SetStatus("Lösche %s ...", "C:\\Windows\\system32\\Pelmoradrv.DLL");
    EXPECT_STREQ("Lösche C:\\Windows\\system32\\Pelmoradrv.DLL ...", statusText);
    EXPECT_GT(DarkPixelsInTheMiddle(), 50);
    EXPECT_TRUE(statusBusy);
    EXPECT_EQ(waitCursor, currentCursor);

    ClearStatus();
    EXPECT_STREQ("", statusText);
    EXPECT_EQ(0, DarkPixelsInTheMiddle());
    EXPECT_FALSE(statusBusy);
    EXPECT_EQ(normalCursor, currentCursor);
}

TEST_F(MainWindowTest, OverlongStatusTextIsCut)
{
    SetStatus("%s", std::string(900, 'x').c_str());
    EXPECT_EQ(std::string(statusTextCapacity - 1, 'x'), statusText);
}

TEST_F(MainWindowTest, AnswersCommandsAndPaletteMessages)
{
    EXPECT_EQ(0, SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0)) << "no palette on this display";
    EXPECT_EQ(0, SendMessageA(mainWindow, WM_COMMAND, helpCommand, 0)) << "no help viewer set";
    EXPECT_EQ(0, SendMessageA(mainWindow, WM_COMMAND, 1, 0));
    EXPECT_FALSE(shutDownDone);
    EXPECT_EQ(1, SendMessageA(mainWindow, WM_COMMAND, 2, 0));
    EXPECT_TRUE(shutDownDone);
}

TEST_F(MainWindowTest, ClosingTheWindowShutsDown)
{
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_TRUE(shutDownDone);
}

// Runs only on an 8-bit display (the test script starts one): the palette branch for real.
TEST(EightBitDisplay, PaletteIsRealisedForTheWindowAndGivenBack)
{
    shutDownDone = false;
    SetUpDisplay();
    ASSERT_LE(colorDepth, 8) << "needs an 8-bit display";
    ASSERT_TRUE(usePalette);
    ASSERT_NE(nullptr, appPalette);
    EXPECT_EQ(appPalette, GetCurrentObject(displayDC, OBJ_PAL));
    const HGDIOBJ previous = previousPalette;

    appInstance = GetModuleHandleA(nullptr);
    strcpy(programName, "Uninstall_Pelmoradrv");
    CreateMainWindow();
    EXPECT_EQ(1, SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0));
    SendMessageA(mainWindow, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(GetDesktopWindow()), 0);

    const HPALETTE created = appPalette;
    const HDC dc = displayDC;
    DestroyWindow(mainWindow);
    EXPECT_TRUE(shutDownDone) << "closing the window shuts down";
    EXPECT_EQ(nullptr, appPalette);
    EXPECT_EQ(0u, GetObjectType(created));
    EXPECT_EQ(0u, GetObjectType(dc)) << "display context deleted";
    EXPECT_NE(nullptr, previous);
}

}
