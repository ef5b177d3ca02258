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
TEST(LaunchTest, StartsProgramsAndTheHelpViewerOrSaysWhyNot)
{
    const std::string record = ScratchFile("launch-record.txt");
    const std::string recorder = BuiltProgramPath("recordlaunch.exe");
    SetEnvironmentVariableA("LAUNCH_RECORD_FILE", record.c_str());
    const auto recorded = [&record]() {
        EXPECT_TRUE(WaitForFileLines(record, 2, 10000)) << "the started program left no record";
        const std::string content = ReadWholeFile(record);
        DeleteFileA(record.c_str());
        return content;
    };
    useMessageHook = true;
    messageHook = [](HWND, const char* text, const char*, UINT type) {
        warning = (type == MB_ICONEXCLAMATION ? "" : "not a warning: ") + std::string(text);
        return IDOK;
    };
    // Refused: nothing to start, a command line or a directory one unit too long, a missing program.
    const std::string overlong(commandLineCapacity, 'p');
    const std::string longDirectory = "C:\\" + std::string(MAX_PATH - 3, 'd');
    const char* refused[][3] = {{nullptr, nullptr, nullptr}, {recorder.c_str(), overlong.c_str(), nullptr},
                                {recorder.c_str(), "x", longDirectory.c_str()}, {"C:\\fehlt.exe", "x", "C:\\"}};
    const DWORD errors[] = {ERROR_INVALID_PARAMETER, ERROR_FILENAME_EXCED_RANGE, ERROR_FILENAME_EXCED_RANGE,
                            ERROR_FILE_NOT_FOUND};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(LaunchProgram(refused[i][0], refused[i][1], refused[i][2]));
        EXPECT_EQ(errors[i], errorCode);
    }
    EXPECT_EQ(0u, warning.find("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: C:\\fehlt.exe\n"
                               "Ausführen in: C:\\\nParameter: x\n\nFehlercode 2:\n")) << warning;
    EXPECT_STREQ("Aufruf von C:\\fehlt.exe x ...", statusText);
    EXPECT_FALSE(WaitForFileLines(record, 1, 200));

    // Null parameters pass no command line: the program sees its bare name. The status text stays.
    const std::string name = "\"" + recorder + "\"";
    EXPECT_TRUE(LaunchProgram(recorder.c_str(), nullptr, "C:\\windows\\")) << warning;
    EXPECT_EQ(name + "\nC:\\windows\n", recorded());
    EXPECT_TRUE(statusBusy && "Aufruf von " + recorder + " ..." == statusText);

    // A help topic becomes a page name that fits; the idle status line is given back.
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    lstrcpyA(helpViewerPath, recorder.c_str());
    statusBusy = helpStarted = false;
    ShowHelp(std::string(300, 't').replace(0, 6, "Erste ").c_str());
    EXPECT_EQ(name + " Erste_" + std::string(helpFileNameCapacity - 11, 't') + ".htm\n" + current + "\n", recorded());
    EXPECT_EQ(1, HandleCommand(helpCommand));
    EXPECT_EQ(name + " \n" + current + "\n", recorded());
    EXPECT_TRUE(helpStarted && !statusBusy);
    useMessageHook = false;
    helpViewerPath[0] = '\0';
    SetEnvironmentVariableA("LAUNCH_RECORD_FILE", nullptr);
}

}
