#include "shell/startup.h"

#include "shell/environment.h"
#include "shell/mainwindow.h"

HINSTANCE appInstance;
int showCommand;
HDC displayDC;
int screenWidth;
int screenHeight;
int colorDepth;
bool usePalette;
HPALETTE appPalette;
HPALETTE previousPalette;
HCURSOR normalCursor;
HCURSOR waitCursor;
HCURSOR currentCursor;
bool messageLoopEntered;
bool shutDownDone;

namespace {

struct FixedColor {
    int index;
    DWORD rgb;  // 0xRRGGBB
};

// Colours whose places are fixed: at the ends, where Windows keeps its static colours, and the
// program's own greys and accents at 14 to 28 and 233 to 248.
constexpr FixedColor fixedColors[] = {
    {0, 0x000000},   {1, 0x800000},   {2, 0x008000},   {3, 0x808000},   {4, 0x000080},
    {5, 0x800080},   {6, 0x008080},   {7, 0xC0C0C0},   {8, 0xC0DCC0},   {9, 0xD4D0C8},
    {10, 0x000033},  {11, 0x330000},  {12, 0x330033},  {13, 0x003333},  {14, 0x161616},
    {15, 0x1C1C1C},  {16, 0x222222},  {17, 0x292929},  {18, 0x555555},  {19, 0x4D4D4D},
    {20, 0x424242},  {21, 0x393939},  {22, 0xFF7C80},  {23, 0xFF5050},  {24, 0xD60093},
    {25, 0xCCECFF},  {26, 0xEFD6C6},  {27, 0xE7E7D6},  {28, 0xADA990},  {233, 0xA50021},
    {234, 0x5F5F5F}, {235, 0x777777}, {236, 0x868686}, {237, 0x969696}, {238, 0xCBCBCB},
    {239, 0xB2B2B2}, {240, 0xD7D7D7}, {241, 0xDDDDDD}, {242, 0xE3E3E3}, {243, 0xEAEAEA},
    {244, 0xF1F1F1}, {245, 0xF8F8F8}, {246, 0xFFFBF0}, {247, 0x1D3652}, {248, 0x808080},
    {249, 0xFF0000}, {250, 0x00FF00}, {251, 0xFFFF00}, {252, 0x0000FF}, {253, 0xFF00FF},
    {254, 0x00FFFF}, {255, 0xFFFFFF},
};

constexpr int firstFreeCubeIndex = 29;

constexpr PALETTEENTRY Entry(DWORD rgb)
{
    return PALETTEENTRY{static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb), 0};
}

constexpr bool IsFixedColor(DWORD rgb)
{
    for (const FixedColor& fixed : fixedColors) {
        if (fixed.rgb == rgb)
            return true;
    }
    return false;
}

// The cube colours not placed by the table fill 29 to 232 in cube order.
constexpr ProgramPalette BuildPalette()
{
    ProgramPalette palette{};
    palette.palVersion = 0x0300;
    palette.palNumEntries = paletteSize;
    for (const FixedColor& fixed : fixedColors)
        palette.palPalEntry[fixed.index] = Entry(fixed.rgb);
    int next = firstFreeCubeIndex;
    for (DWORD red = 0; red <= 0xFF; red += 0x33) {
        for (DWORD green = 0; green <= 0xFF; green += 0x33) {
            for (DWORD blue = 0; blue <= 0xFF; blue += 0x33) {
                const DWORD rgb = red << 16 | green << 8 | blue;
                if (!IsFixedColor(rgb))
                    palette.palPalEntry[next++] = Entry(rgb);
            }
        }
    }
    return palette;
}

}

constexpr ProgramPalette builtPalette = BuildPalette();
static_assert(builtPalette.palPalEntry[232].peRed == 0xFF && builtPalette.palPalEntry[232].peGreen == 0xFF &&
                  builtPalette.palPalEntry[232].peBlue == 0xCC,
              "the free cube colours must fill exactly 29 to 232");
const ProgramPalette programPaletteTable = builtPalette;

void SelectProgramPalette()
{
    appPalette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&programPaletteTable));
    previousPalette = SelectPalette(displayDC, appPalette, TRUE);
    RealizePalette(displayDC);
}

void SetUpDisplay()
{
    normalCursor = currentCursor = LoadCursorA(nullptr, IDC_APPSTARTING);
    waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    displayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    SetMapMode(displayDC, MM_TEXT);
    screenWidth = GetDeviceCaps(displayDC, HORZRES);
    screenHeight = GetDeviceCaps(displayDC, VERTRES);
    colorDepth = GetDeviceCaps(displayDC, PLANES) * GetDeviceCaps(displayDC, BITSPIXEL);
    usePalette = colorDepth <= 8;
    if (usePalette)
        SelectProgramPalette();
}

namespace {

// Looked up at run time: a program that imports a function the system lacks does not start.
template <typename Function>
Function KernelFunction(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), name)));
}

}

void RestrictDllSearch()
{
    // Windows 7 without its loader update lacks the function.
    const auto setDefaultDllDirectories = KernelFunction<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool ProbeWow64()
{
    BOOL result = FALSE;
    // Systems before XP SP2 lack the function.
    const auto isWow64Process = KernelFunction<BOOL(WINAPI*)(HANDLE, PBOOL)>("IsWow64Process");
    if (isWow64Process != nullptr)
        isWow64Process(GetCurrentProcess(), &result);
    return result != FALSE;
}

void SetReadyCursor()
{
    normalCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (!statusBusy)
        currentCursor = normalCursor;
}

int RunMessageLoop()
{
    MSG message = {};
    // GetMessageA returns -1 on failure; looping on that would never end.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void ShutDown()
{
    if (shutDownDone)
        return;
    shutDownDone = true;
    AppShutDown();
    if (usePalette) {
        if (previousPalette != nullptr) {
            SelectPalette(displayDC, previousPalette, TRUE);
            RealizePalette(displayDC);
            previousPalette = nullptr;
        }
        if (appPalette != nullptr) {
            DeleteObject(appPalette);
            appPalette = nullptr;
        }
    }
    DeleteDC(displayDC);
    displayDC = nullptr;
    DeleteObject(statusFont);
    statusFont = nullptr;
    FreeCommandLineCopies();
    if (messageLoopEntered)
        PostQuitMessage(0);
}
