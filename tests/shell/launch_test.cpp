#include "shell/launch.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/mainwindow.h"
#include "support.h"
#include "text/format.h"
#include "text/msgbox.h"

namespace {

std::string warning;  // the last box's text

// recordlaunch.exe writes its command line and its current directory into the record file.
TEST(LaunchTest, StartsProgramsOrSaysWhyNot)
{
    const std::string record = ScratchFile("launch-record.txt");
    const std::string recorder = BuiltProgramPath("recordlaunch.exe");
    SetEnvironmentVariableA("LAUNCH_RECORD_FILE", record.c_str());
    useMessageHook = true;
    messageHook = [](HWND, const char* text, const char*, UINT) {
        warning = text;
        return IDOK;
    };
    EXPECT_FALSE(LaunchProgram(nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), errorCode);
    EXPECT_FALSE(LaunchProgram(recorder.c_str(), std::string(commandLineCapacity, 'p').c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
    EXPECT_FALSE(LaunchProgram("C:\\fehlt.exe", "x", "C:\\"));
    EXPECT_EQ(0u, warning.find("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: C:\\fehlt.exe\n"
                               "Ausführen in: C:\\\nParameter: x\n\nFehlercode 2:\n")) << warning;
    EXPECT_STREQ("Aufruf von C:\\fehlt.exe x ...", statusText);

    // Null parameters pass no command line: the program sees its bare name. The status text stays.
    EXPECT_TRUE(LaunchProgram(recorder.c_str(), nullptr, "C:\\windows\\")) << warning;
    EXPECT_TRUE(WaitForFileLines(record, 2, 10000)) << "the started program left no record";
    EXPECT_EQ("\"" + recorder + "\"\nC:\\windows\n", ReadWholeFile(record));
    EXPECT_TRUE(statusBusy && "Aufruf von " + recorder + " ..." == statusText);
    useMessageHook = false;
    DeleteFileA(record.c_str());
    SetEnvironmentVariableA("LAUNCH_RECORD_FILE", nullptr);
}

}
