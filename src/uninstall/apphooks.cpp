// The uninstaller's answers to the shell's application hooks: it needs no set-up of its own.
#include "shell/startup.h"

bool AppInit()
{
    return true;
}

void AppShutDown()
{
}
