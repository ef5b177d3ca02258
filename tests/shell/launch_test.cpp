#include "shell/launch.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "shell/environment.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "support.h"
#include "text/format.h"
#include "text/msgbox.h"

namespace {

std::string warning;

int KeepWarning(HWND, const char* text, const char*, UINT type)
{
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), type);
    warning = text;
    return IDOK;
}

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        strcpy(programName, "Uninstall_Pelmoradrv");
        mainWindow = nullptr;
        statusBusy = false;
        warning.clear();
        useMessageHook = true;
        messageHook = KeepWarning;
        record = ScratchFile("launch-record.txt");
        SetEnvironmentVariableA("LAUNCH_RECORD_FILE", record.c_str());
    }
    void TearDown() override
    {
        useMessageHook = false;
        messageHook = nullptr;
        helpViewerPath[0] = '\0';
        SetEnvironmentVariableA("LAUNCH_RECORD_FILE", nullptr);
    }

    // The command line and directory the recording tool was started with.
    std::string Recorded()
    {
        EXPECT_TRUE(WaitForFileLines(record, 2, 10000)) << "the started program left no record";
        return ReadWholeFile(record);
    }

    std::string record;
    const std::string recorder = BuiltProgramPath("recordlaunch.exe");
};

TEST_F(LaunchTest, StartsTheProgramWithItsParametersInTheGivenDirectory)
{
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(LaunchProgram(recorder.c_str(), "d0010407", nullptr)) << warning;
    EXPECT_EQ("\"" + recorder + "\" d0010407\n" + current + "\n", Recorded());
    EXPECT_EQ("Aufruf von " + recorder + " d0010407 ...", statusText);
    EXPECT_TRUE(statusBusy) << "the status text stays";

    const struct {
        const char* given;
        const char* started;
    } directories[] = {{"C:\\windows\\", "C:\\windows"}, {"C:\\", "C:\\"}};
    for (const auto& directory : directories) {
        DeleteFileA(record.c_str());
        ASSERT_TRUE(LaunchProgram(recorder.c_str(), "", directory.given)) << warning;
        EXPECT_EQ("\"" + recorder + "\" \n" + directory.started + "\n", Recorded());
    }
}

TEST_F(LaunchTest, NullParametersPassNoCommandLine)
{
    ASSERT_TRUE(LaunchProgram(recorder.c_str(), nullptr, nullptr)) << warning;
    const std::string commandLine = Recorded();
    EXPECT_EQ(std::string::npos, commandLine.find("\" ")) << commandLine;
}

TEST_F(LaunchTest, FailedStartNamesWhatWasMeantAndWhy)
{
    EXPECT_FALSE(LaunchProgram(nullptr, nullptr, nullptr));
    EXPECT_EQ("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: <NULL>\nAusführen in: <NULL>\n"
              "Parameter: <NULL>\n\nFehlercode ",
              warning.substr(0, warning.find("Fehlercode") + 11));

    EXPECT_FALSE(LaunchProgram("C:\\fehlt.exe", "x", "C:\\"));
    EXPECT_EQ("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: C:\\fehlt.exe\nAusführen in: C:\\\n"
              "Parameter: x\n\nFehlercode 2:\n",
              warning.substr(0, warning.find(":\n", warning.find("Fehlercode")) + 2));

    // A command line or directory one unit too long is refused, not cut.
    const std::string overlong(commandLineCapacity, 'p');
    const std::string longDirectory = "C:\\" + std::string(MAX_PATH - 3, 'd');
    const char* tooLong[][2] = {{overlong.c_str(), nullptr}, {"x", longDirectory.c_str()}};
    for (const auto& c : tooLong) {
        warning.clear();
        EXPECT_FALSE(LaunchProgram(recorder.c_str(), c[0], c[1]));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), errorCode);
        EXPECT_EQ(0u, warning.find("Folgender Programmstart"));
    }
    EXPECT_FALSE(WaitForFileLines(record, 1, 200));
}

TEST_F(LaunchTest, HelpTopicBecomesAPageNameAndTheStatusLineIsRestored)
{
    strcpy(helpViewerPath, recorder.c_str());
    helpStarted = false;
    ShowHelp("Erste Schritte");
    EXPECT_EQ("\"" + recorder + "\" Erste_Schritte.htm\n", Recorded().substr(0, recorder.size() + 22));
    EXPECT_TRUE(helpStarted);
    EXPECT_FALSE(statusBusy);

    DeleteFileA(record.c_str());
    ShowHelp(std::string(300, 't').c_str());
    const std::string commandLine = Recorded();
    EXPECT_EQ(std::string(helpFileNameCapacity - 5, 't') + ".htm\n", commandLine.substr(recorder.size() + 3, 200));

    DeleteFileA(record.c_str());
    EXPECT_EQ(1, HandleCommand(helpCommand));
    EXPECT_EQ("\"" + recorder + "\" \n", Recorded().substr(0, recorder.size() + 4));
}

}
