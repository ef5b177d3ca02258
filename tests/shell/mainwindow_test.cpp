#include "shell/mainwindow.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"

namespace {

struct Scaling {
    DWORD logPixels;
    RECT frame;
};
const Scaling scalings[] = {{96, {720, 450, 1200, 630}}, {144, {600, 405, 1320, 675}}};
const char scaledRun[] = "PELMORA_SCALED_RUN";  // set in the run at 150 %

std::string RunAt150Percent()
{
    const char desktop[] = "Control Panel\\Desktop";
    DWORD saved = 0;
    DWORD size = sizeof(saved);
    const bool had = RegGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", RRF_RT_REG_DWORD, nullptr, &saved,
                                  &size) == ERROR_SUCCESS;
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &scalings[1].logPixels, sizeof(DWORD));
    const std::string report = RunChild("MainWindowTest.*", scaledRun, "1");
    if (had)
        RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &saved, sizeof(saved));
    else
        RegDeleteKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    return report;
}

// At 100 % and at 150 % (the window grown by half) on the 1920 x 1080 screen.
TEST(MainWindowTest, ShowsTheStatusLineAndShutsDownWhenClosed)
{
    const bool scaled = InChildRun(scaledRun);
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
    EXPECT_TRUE(statusBusy && currentCursor == waitCursor && GetCursor() == waitCursor && ownerWindow == mainWindow &&
                GetObjectType(statusFont) == OBJ_FONT);
    ClearStatus();
    EXPECT_TRUE(statusText[0] == '\0' && !statusBusy && currentCursor == normalCursor && GetCursor() == normalCursor);

    const HFONT font = statusFont;
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(!IsWindow(mainWindow) && shutDownDone && GetObjectType(font) == 0);
    if (!scaled) {
        const std::string report = RunAt150Percent();
        EXPECT_NE(std::string::npos, report.find("tests=\"1\" failures=\"0\"")) << report;
    }
}

}
