// The entry point, above every layer: display, WOW64 probe, environment, then the start-up steps
// in order.
#include "fs/shell.h"
#include "shell/environment.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "text/msgbox.h"
#include "uninstall/invocation.h"
#include "uninstall/sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    mainWindow = nullptr;
    SetLastError(ERROR_SUCCESS);
    SetUpDisplay();
    isWow64 = ProbeWow64();
    appInstance = instance;
    showCommand = show;
    ProbeEnvironment();
    if (AppInit() && CheckInvocation() && CreateMainWindow() && RunUninstall()) {
        SetReadyCursor();
        messageLoopEntered = true;
        return RunMessageLoop();
    }
    ShutDown();
    return 0;
}
