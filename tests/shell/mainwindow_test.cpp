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

// The dark pixels of the status line: how many, and the rectangle they span.
struct Ink {
    int pixels;
    RECT box;
};

Ink DarkInk()
{
    RECT client;
    GetClientRect(mainWindow, &client);
    const HDC dc = GetDC(mainWindow);
    Ink ink = {0, {client.right, client.bottom, 0, 0}};
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            if ((GetPixel(dc, x, y) & 0x808080) == 0) {
                ++ink.pixels;
                ink.box = {std::min<LONG>(ink.box.left, x), std::min<LONG>(ink.box.top, y),
                           std::max<LONG>(ink.box.right, x + 1), y + 1};
            }
        }
    }
    ReleaseDC(mainWindow, dc);
    return ink;
}

struct Scaling {
    DWORD logPixels;
    RECT frame;
};
const Scaling scalings[] = {{96, {720, 450, 1200, 630}}, {144, {600, 405, 1320, 675}}};
const char inkHeightAt96[] = "STATUS_INK_HEIGHT_AT_96";  // set in the run at 150 %

std::string RunAt150Percent(int inkHeight)
{
    const char desktop[] = "Control Panel\\Desktop";
    DWORD saved = 0;
    DWORD size = sizeof(saved);
    const bool had = RegGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", RRF_RT_REG_DWORD, nullptr, &saved,
                                  &size) == ERROR_SUCCESS;
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &scalings[1].logPixels, sizeof(DWORD));
    const std::string report = RunChild("MainWindowTest.*", inkHeightAt96, std::to_string(inkHeight).c_str());
    if (had)
        RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &saved, sizeof(saved));
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    return report;
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

    const std::string file = ScratchFile("status-probe.txt");
    EXPECT_TRUE(MakeFile(file, 1) && DeleteFileReported(file.c_str(), true));
    EXPECT_EQ("Lösche " + file + " ...", statusText);
    const Ink ink = DarkInk();
    RECT client = {};
    GetClientRect(mainWindow, &client);
    EXPECT_GT(ink.pixels, 50);
    EXPECT_NEAR(client.bottom, ink.box.top + ink.box.bottom, 4) << "centred";
    if (scaled) {
        EXPECT_NEAR(3 * atoi(handedDown), 2 * (ink.box.bottom - ink.box.top), 4) << "grown by half";
    }
    EXPECT_TRUE(statusBusy && currentCursor == waitCursor && GetCursor() == waitCursor && ownerWindow == mainWindow &&
                GetObjectType(statusFont) == OBJ_FONT);
    ClearStatus();
    EXPECT_EQ(0, DarkInk().pixels);
    EXPECT_TRUE(statusText[0] == '\0' && !statusBusy && currentCursor == normalCursor && GetCursor() == normalCursor);

    // No palette on a display of more than 256 colours, the only kind Windows 10 and 11 drive.
    EXPECT_TRUE(!usePalette && SendMessageA(mainWindow, WM_QUERYNEWPALETTE, 0, 0) == 0);
    const HFONT font = statusFont;
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(!IsWindow(mainWindow) && shutDownDone && GetObjectType(font) == 0);
    if (!scaled) {
        const std::string report = RunAt150Percent(ink.box.bottom - ink.box.top);
        EXPECT_NE(std::string::npos, report.find("tests=\"1\" failures=\"0\"")) << report;
    }
}

}
