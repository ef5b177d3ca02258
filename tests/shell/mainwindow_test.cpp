#include "shell/mainwindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

// The dark pixels of the client area, where the status line is drawn: how many, and the rows
// and columns they span.
struct Ink {
    int pixels;
    int top;
    int bottom;  // below the last dark row
    int left;
    int right;   // right of the last dark column
};

Ink DarkInk()
{
    RECT client;
    GetClientRect(mainWindow, &client);
    const HDC dc = GetDC(mainWindow);
    Ink ink = {0, client.bottom, 0, client.right, 0};
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if ((GetPixel(dc, x, y) & 0x808080) == 0) {
                ++ink.pixels;
                ink.top = std::min(ink.top, y);
                ink.bottom = y + 1;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
            }
        }
    }
    ReleaseDC(mainWindow, dc);
    return ink;
}

// The test screen at 100 %, and at 150 %: the display's LogPixels, which Wine reads when a process
// starts, and the window's frame.
struct Scaling {
    DWORD logPixels;
    RECT frame;
};
const Scaling scalings[] = {{96, {720, 450, 1200, 630}}, {144, {600, 405, 1320, 675}}};
const char inkHeightAt96[] = "STATUS_INK_HEIGHT_AT_96";  // set in the run at 150 %

// Runs the test again in a process started at 150 %, handing down the status text's height; the
// prefix's LogPixels is put back whatever happened. The run's report, empty when it made none.
std::string RunAt150Percent(int inkHeight)
{
    const char desktop[] = "Control Panel\\Desktop";
    DWORD saved = 0;
    DWORD size = sizeof(saved);
    const bool had = RegGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", RRF_RT_REG_DWORD, nullptr, &saved,
                                  &size) == ERROR_SUCCESS;
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &scalings[1].logPixels, sizeof(DWORD));
    SetEnvironmentVariableA(inkHeightAt96, std::to_string(inkHeight).c_str());
    const std::string report = ScratchFile("scaled-run.xml");
    RunProgram("\"" + std::string(_pgmptr) + "\" --gtest_filter=MainWindowTest.* --gtest_output=\"xml:" + report +
               "\"");
    SetEnvironmentVariableA(inkHeightAt96, nullptr);
    if (had)
        RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &saved, sizeof(saved));
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    return ReadWholeFile(report);
}

// At 100 % and at 150 % (window and text grown by half) on the 1920 x 1080 screen. No message loop
// runs while the uninstaller works: the status line paints at once.
TEST(MainWindowTest, ShowsTheStatusLineAtOnceAndShutsDownWhenClosed)
{
    char handedDown[16] = "";
    const bool scaled = GetEnvironmentVariableA(inkHeightAt96, handedDown, sizeof(handedDown)) > 0;
    const Scaling& scaling = scalings[scaled ? 1 : 0];
    SetUpDisplay();
    ASSERT_EQ(static_cast<int>(scaling.logPixels), GetDeviceCaps(displayDC, LOGPIXELSY));
    appInstance = GetModuleHandleA(nullptr);
    lstrcpyA(programName, "Uninstall_Pelmoradrv");
    showCommand = SW_SHOWNORMAL;
    shutDownDone = false;
    centerWindow = true;
    CreateMainWindow();
    centerWindow = false;
    RECT frame = {};
    GetWindowRect(mainWindow, &frame);
    EXPECT_TRUE(EqualRect(&frame, &scaling.frame))
        << frame.left << ' ' << frame.top << ' ' << frame.right << ' ' << frame.bottom;
    // The title bar's icon is made small from the program's icon group, which this test program
    // carries too, not the large icon again.
    EXPECT_NE(GetClassLongPtrA(mainWindow, GCLP_HICON), GetClassLongPtrA(mainWindow, GCLP_HICONSM));

    const std::string file = ScratchFile("status-probe.txt");
    EXPECT_TRUE(MakeFile(file, 1) && DeleteFileReported(file.c_str(), true));
    EXPECT_EQ("Lösche " + file + " ...", statusText);
    const Ink ink = DarkInk();
    RECT client = {};
    GetClientRect(mainWindow, &client);
    EXPECT_GT(ink.pixels, 50);
    EXPECT_NEAR(client.bottom, ink.top + ink.bottom, 4) << "centred";
    if (scaled) {
        EXPECT_NEAR(3 * atoi(handedDown), 2 * (ink.bottom - ink.top), 4) << "grown by half";
    }
    EXPECT_TRUE(statusBusy && currentCursor == waitCursor && ownerWindow == mainWindow &&
                GetObjectType(statusFont) == OBJ_FONT);
    // A '&' in a path is drawn, not taken for the next letter's underline.
    SetStatus("Tom&Jerry");
    const Ink withAmpersand = DarkInk();
    SetStatus("TomJerry");
    const Ink without = DarkInk();
    EXPECT_GT(withAmpersand.right - withAmpersand.left, without.right - without.left + 3);
    SetStatus("%s", std::string(900, 'x').c_str());
    EXPECT_EQ(std::string(statusTextCapacity - 1, 'x'), statusText) << "cut to fit";
    ClearStatus();
    EXPECT_EQ(0, DarkInk().pixels);
    EXPECT_TRUE(statusText[0] == '\0' && !statusBusy && currentCursor == normalCursor);

    // No palette on this display; the branch of a display of 256 colours, taken by hand, realises one
    // for the window, and closing gives it back.
    EXPECT_TRUE(!usePalette && SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0) == 0);
    usePalette = true;
    SelectProgramPalette();
    const HPALETTE palette = appPalette;
    EXPECT_TRUE(GetCurrentObject(displayDC, OBJ_PAL) == palette && SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0));
    const HFONT font = statusFont;
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(!IsWindow(mainWindow) && shutDownDone && GetObjectType(font) == 0);
    EXPECT_TRUE(appPalette == nullptr && GetObjectType(palette) == 0);
    usePalette = false;
    statusHook = nullptr;
    if (!scaled) {
        const std::string report = RunAt150Percent(ink.bottom - ink.top);
        EXPECT_NE(std::string::npos, report.find("tests=\"1\" failures=\"0\"")) << report;
    }
}

}
