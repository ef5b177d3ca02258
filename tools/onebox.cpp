// Benchmark tool: the least a boxed Windows program does. Shows one message box and exits 0.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "Ein Kasten", "onebox", MB_OK | MB_ICONINFORMATION);
    return 0;
}
