// The uninstaller's answers to the shell's application hooks: it needs no set-up of its own,
// paints nothing but the status line and knows one command, closing.
#include "shell/mainwindow.h"
#include "shell/startup.h"

bool AppInit()
{
    return true;
}

void AppShutDown()
{
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
