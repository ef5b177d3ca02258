#include "shell/launch.h"

#include <string.h>

#include "shell/environment.h"
#include "shell/mainwindow.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/msgbox.h"
#include "text/paths.h"

char helpViewerPath[MAX_PATH];
bool helpDisabled;
bool helpStarted;

namespace {

char commandLine[commandLineCapacity];
char workingDirectory[MAX_PATH];

const char* OrEmpty(const char* text)
{
    return text != nullptr ? text : "";
}

const char* OrNull(const char* text)
{
    return text != nullptr ? text : "<NULL>";
}

bool AppendToCommandLine(const char* text)
{
    return AppendWhole(commandLine, commandLineCapacity, text);
}

bool BuildCommandLine(const char* program, const char* parameters)
{
    commandLine[0] = '\0';
    if (program != nullptr && !(AppendToCommandLine("\"") && AppendToCommandLine(program) && AppendToCommandLine("\" ")))
        return false;
    return parameters == nullptr || AppendToCommandLine(parameters);
}

}

bool LaunchProgram(const char* program, const char* parameters, const char* directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const char* separator = OrEmpty(program)[0] != '\0' && OrEmpty(parameters)[0] != '\0' ? " " : "";
    SetStatus("Aufruf von %s%s%s ...", OrEmpty(program), separator, OrEmpty(parameters));

    workingDirectory[0] = '\0';
    DWORD refusal = ERROR_SUCCESS;
    if (program == nullptr && parameters == nullptr) {
        // Nothing to start; some systems crash in CreateProcessA on such a call.
        refusal = ERROR_INVALID_PARAMETER;
    } else if ((directory != nullptr && strlen(directory) >= static_cast<size_t>(MAX_PATH)) ||
               !BuildCommandLine(program, parameters)) {
        // A cut command line or directory would start the wrong thing.
        refusal = ERROR_FILENAME_EXCED_RANGE;
    }
    if (directory != nullptr && refusal == ERROR_SUCCESS)
        RemovePathSeparator(strcpy(workingDirectory, directory));
    BOOL created = FALSE;
    if (refusal == ERROR_SUCCESS) {
        created = CreateProcessA(program, parameters != nullptr ? commandLine : nullptr, nullptr, nullptr, TRUE, 0,
                                 nullptr, directory != nullptr ? workingDirectory : nullptr, &startup, &process);
    } else {
        SetLastError(refusal);
    }
    if (!created) {
        CaptureLastError();
        MsgWarning("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: %s\nAusführen in: %s\nParameter: %s\n\n%s",
                   OrNull(program), OrNull(directory), OrNull(parameters), sysErrorText);
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

LONG HandleCommand(WORD command)
{
    if (helpViewerPath[0] != '\0' && command == helpCommand) {
        ShowHelp(nullptr);
        return 1;
    }
    return AppCommand(command);
}

void ShowHelp(const char* topic)
{
    if (helpDisabled)
        return;
    const bool wasIdle = !statusBusy;
    if (wasIdle)
        SetStatus("%s-Hilfe wird geladen ...", programName);
    if (topic == nullptr || topic[0] == '\0') {
        LaunchProgram(helpViewerPath, "", nullptr);
    } else {
        const char extension[] = ".htm";
        char fileName[helpFileNameCapacity];
        const int length = CopyText(fileName, helpFileNameCapacity - (sizeof(extension) - 1), topic);
        for (int i = 0; i < length; ++i) {
            if (fileName[i] == ' ')
                fileName[i] = '_';
        }
        strcpy(fileName + length, extension);
        LaunchProgram(helpViewerPath, fileName, nullptr);
    }
    if (wasIdle)
        ClearStatus();
    helpStarted = true;
}
