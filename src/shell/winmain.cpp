// The entry point: display, WOW64 probe, environment, then the start-up steps in order.
#include "shell/environment.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    mainWindow = nullptr;
    SetLastError(ERROR_SUCCESS);
    SetUpDisplay();
    isWow64 = ProbeWow64();
    appInstance = instance;
    showCommand = show;
    ProbeEnvironment();
    // The invocation check and the uninstall sequence are not part of the program yet: a run
    // ends once its window is shown.
    if (AppInit())
        CreateMainWindow();
    ShutDown();
    return 0;
}
