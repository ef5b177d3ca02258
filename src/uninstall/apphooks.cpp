// The uninstaller's answers to the shell's application hooks: it needs no set-up of its own,
// leaves nothing of its copy behind, paints nothing but the status line and knows one command,
// closing.
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "uninstall/invocation.h"

bool AppInit()
{
    return true;
}

// Every ending of the program passes here, whatever the user answered.
void AppShutDown()
{
    ScheduleCopyRemoval();
}

bool AppPaint(HDC, const RECT*)
{
    return false;
}

LONG AppCommand(WORD command)
{
    if (command == IDCANCEL) {
        ShutDown();
        return 1;
    }
    return 0;
}
