#include "shell/mainwindow.h"

#include <stddef.h>

#include <algorithm>

#include "fs/fileops.h"
#include "fs/shell.h"
#include "shell/environment.h"
#include "shell/launch.h"
#include "shell/startup.h"
#include "text/convert.h"
#include "text/format.h"
#include "text/msgbox.h"

char statusText[statusTextCapacity];
bool statusBusy;
bool centerWindow;
HFONT statusFont;

namespace {

char className[MAX_PATH];

void RepaintNow()
{
    if (mainWindow != nullptr) {
        InvalidateRect(mainWindow, nullptr, TRUE);
        UpdateWindow(mainWindow);
    }
}

void ShowCursorNow(HCURSOR cursor)
{
    currentCursor = cursor;
    SetCursor(cursor);
}

void Paint(HWND window)
{
    RECT update;
    if (!GetUpdateRect(window, &update, FALSE))
        GetClientRect(window, &update);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    if (!AppPaint(dc, &update)) {
        SetBkMode(dc, TRANSPARENT);
        SetViewportOrgEx(dc, 0, 0, nullptr);
        RECT client;
        GetClientRect(window, &client);
        const HGDIOBJ previousFont = SelectObject(dc, statusFont);  // none selected when null
        // Paths may hold a '&' (a user named "Tom&Jerry"): it is shown, not taken as a prefix.
        DrawTextA(dc, statusText, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, previousFont);
    }
    EndPaint(window, &paint);
}

// The boxes' font, the system's message font: the system sizes it for the display's DPI and the
// user's text size. Null when the system does not tell it.
HFONT CreateStatusFont()
{
    NONCLIENTMETRICSA metrics = {};
    // Without the last field, which systems before Vista do not know and refuse.
    metrics.cbSize = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return nullptr;
    return CreateFontIndirectA(&metrics.lfMessageFont);
}

// Realises the program's palette in the window's device context; false when the display needs
// no palette.
bool RealizeWindowPalette(HWND window, bool updateColors)
{
    if (!usePalette || appPalette == nullptr)
        return false;
    const HDC dc = GetDC(window);
    SelectPalette(dc, appPalette, FALSE);
    RealizePalette(dc);
    if (updateColors)
        UpdateColors(dc);
    InvalidateRect(window, nullptr, TRUE);
    ReleaseDC(window, dc);
    return true;
}

}

bool CreateMainWindow()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.hIcon = LoadIconA(appInstance, "aaProgramIcon");
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    // The group's image that suits the title bar best, made at the system's small-icon size.
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(appInstance, "aaProgramIcon", IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    if (windowClass.hIcon == nullptr)
        windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    if (windowClass.hIconSm == nullptr)
        windowClass.hIconSm = windowClass.hIcon;
    CopyText(className, MAX_PATH, programName);
    windowClass.lpszClassName = className;
    RegisterClassExA(&windowClass);

    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    if (centerWindow) {
        // The size at 96 DPI, grown with the display's DPI as the text in it grows, within the screen.
        const int dpi = GetDeviceCaps(displayDC, LOGPIXELSY);
        width = std::min(MulDiv(screenWidth / 4, dpi, 96), screenWidth);
        height = std::min(MulDiv(screenHeight / 6, dpi, 96), screenHeight);
        x = (screenWidth - width) / 2;
        y = (screenHeight - height) / 2;
    }
    mainWindow = CreateWindowExA(0, className, windowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                 x, y, width, height, nullptr, nullptr, appInstance, nullptr);
    ownerWindow = mainWindow;
    statusFont = CreateStatusFont();
    statusHook = SetStatus;
    ShowWindow(mainWindow, showCommand);
    UpdateWindow(mainWindow);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        ShutDown();
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_COMMAND:
        return HandleCommand(LOWORD(wParam));
    case WM_MOUSEMOVE:
        SetCursor(currentCursor);
        return 0;
    case WM_QUERYNEWPALETTE:
        return RealizeWindowPalette(window, false) ? 1 : 0;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != window)
            RealizeWindowPalette(window, true);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void SetStatus(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    FormatText(statusText, statusTextCapacity, format, arguments);
    va_end(arguments);
    RepaintNow();
    ShowCursorNow(waitCursor);
    statusBusy = true;
}

void ClearStatus()
{
    statusText[0] = '\0';
    RepaintNow();
    ShowCursorNow(normalCursor);
    statusBusy = false;
}
