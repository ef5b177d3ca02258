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
    messageHook = [](HWND, const char* text, const char*, UINT type) {
        warning = (type == MB_ICONEXCLAMATION ? "" : "not a warning: ") + std::string(text);
        return IDOK;
    };
    // Refused: nothing to start, a command line one unit too long, a missing program.
    const std::string overlong(commandLineCapacity, 'p');
    const char* refused[][2] = {{nullptr, nullptr}, {recorder.c_str(), overlong.c_str()}, {"C:\\fehlt.exe", "x"}};
    const DWORD errors[] = {ERROR_INVALID_PARAMETER, ERROR_FILENAME_EXCED_RANGE, ERROR_FILE_NOT_FOUND};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(LaunchProgram(refused[i][0], refused[i][1], i == 2 ? "C:\\" : nullptr));
        EXPECT_EQ(errors[i], errorCode);
    }
    EXPECT_EQ(0u, warning.find("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: C:\\fehlt.exe\n"
                               "Ausführen in: C:\\\nParameter: x\n\nFehlercode 2:\n")) << warning;
    EXPECT_STREQ("Aufruf von C:\\fehlt.exe x ...", statusText);
    EXPECT_FALSE(WaitForFileLines(record, 1, 200));

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
