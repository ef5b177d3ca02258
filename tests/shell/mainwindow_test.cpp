#include "shell/mainwindow.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

// Dark pixels in the nine middle rows of the client area, where the status line is drawn.
int DarkPixelsInTheMiddle()
{
    RECT client;
    GetClientRect(mainWindow, &client);
    const HDC dc = GetDC(mainWindow);
    int dark = 0;
    for (int i = 0; i < 9 * client.right; ++i)
        dark += (GetPixel(dc, i % client.right, client.bottom / 2 - 4 + i / client.right) & 0x808080) == 0;
    ReleaseDC(mainWindow, dc);
    return dark;
}

// On the 1920 x 1080 test screen. No message loop runs while the uninstaller works: the status
// line paints at once. The file operations show theirs there; the window owns the boxes.
TEST(MainWindowTest, ShowsTheStatusLineAtOnceAndShutsDownWhenClosed)
{
    SetUpDisplay();
    appInstance = GetModuleHandleA(nullptr);
    lstrcpyA(programName, "Uninstall_Pelmoradrv");
    showCommand = SW_SHOWNORMAL;
    shutDownDone = false;
    centerWindow = true;
    CreateMainWindow();
    centerWindow = false;
    RECT frame = {};
    GetWindowRect(mainWindow, &frame);
    EXPECT_TRUE(frame.left == 720 && frame.top == 450 && frame.right == 1200 && frame.bottom == 630) << frame.left;

    const std::string file = ScratchFile("status-probe.txt");
    EXPECT_TRUE(MakeFile(file, 1) && DeleteFileReported(file.c_str(), true));
    EXPECT_EQ("Lösche " + file + " ...", statusText);
    EXPECT_GT(DarkPixelsInTheMiddle(), 50);
    EXPECT_TRUE(statusBusy && currentCursor == waitCursor && ownerWindow == mainWindow);
    SetStatus("%s", std::string(900, 'x').c_str());
    EXPECT_EQ(std::string(statusTextCapacity - 1, 'x'), statusText) << "cut to fit";
    ClearStatus();
    EXPECT_EQ(0, DarkPixelsInTheMiddle());
    EXPECT_TRUE(statusText[0] == '\0' && !statusBusy && currentCursor == normalCursor);

    EXPECT_EQ(0, SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0)) << "no palette on this display";
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(!IsWindow(mainWindow) && shutDownDone);
    statusHook = nullptr;
}

// Runs only on an 8-bit display (the test script starts one): the palette branch for real.
TEST(EightBitDisplay, PaletteIsRealisedForTheWindowAndGivenBack)
{
    SetUpDisplay();
    ASSERT_TRUE(colorDepth <= 8 && usePalette && previousPalette != nullptr) << "needs an 8-bit display";
    EXPECT_EQ(appPalette, GetCurrentObject(displayDC, OBJ_PAL));
    appInstance = GetModuleHandleA(nullptr);
    lstrcpyA(programName, "Uninstall_Pelmoradrv");
    CreateMainWindow();
    EXPECT_EQ(1, SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0));
    SendMessageA(mainWindow, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(GetDesktopWindow()), 0);
    const HPALETTE created = appPalette;
    DestroyWindow(mainWindow);
    EXPECT_TRUE(shutDownDone && appPalette == nullptr && GetObjectType(created) == 0) << "closing gives it back";
}

}
