#include "shell/launch.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/mainwindow.h"
#include "text/format.h"
#include "text/msgbox.h"

namespace {

// A start that cannot work is refused with a warning and its reason, as a missing program is; the
// status line keeps naming it, one blank before the dots. The program's own copy shows a start that works.
TEST(LaunchTest, RefusesWhatCannotStartAndSaysWhy)
{
    useMessageHook = true;
    messageHook = [](HWND, const char*, const char*, UINT) { return IDOK; };
    EXPECT_FALSE(LaunchProgram(nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), errorCode);
    EXPECT_FALSE(LaunchProgram("C:\\windows\\notepad.exe", std::string(commandLineCapacity, 'p').c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
    EXPECT_FALSE(LaunchProgram("C:\\fehlt.exe", nullptr, "C:\\"));
    EXPECT_EQ(0u, std::string(messageText).find("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: "
                                                "C:\\fehlt.exe\nAusführen in: C:\\\nParameter: <NULL>\n\nFehlercode 2:\n"))
        << messageText;
    EXPECT_TRUE(statusBusy && strcmp("Aufruf von C:\\fehlt.exe ...", statusText) == 0) << statusText;
}

}
