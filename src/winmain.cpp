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

// The program starts here instead of in the C runtime's start-up code, which would make up a
// fifth of its size for work it does not need: the program splits no command line for main (the
// environment probe reads the UTF-16 one itself), has no constructors of globals (a test checks),
// no thread-local data and no DLL data fixed up at run time (the link refuses such imports), and
// msvcrt.dll sets itself up when it is loaded. Kept through the link-time optimisation, which does
// not know that the linker starts the program here.
extern "C" __attribute__((used)) void WinMainCRTStartup()
{
    // First, before anything can load a DLL on demand (the display set-up, the boxes, the shell's
    // objects): so far only the imports are loaded, and Windows takes those from its system
    // directory whatever the search order.
    RestrictDllSearch();
    // The x87 unit's full precision, as the start-up code sets it: the date arithmetic is tested so.
    __asm__ __volatile__("fninit");
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    char noCommandLine[] = "";  // WinMain reads the command line through the environment probe
    ExitProcess(WinMain(GetModuleHandleA(nullptr), nullptr, noCommandLine, show));
}
