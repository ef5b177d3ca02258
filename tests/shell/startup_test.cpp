#include "shell/startup.h"

#include <gtest/gtest.h>

#include <set>

#include "support.h"

namespace {

// The table's layout is checked at compile time; that no colour stands in it twice is not.
TEST(ProgramPalette, HoldsEveryColourOnce)
{
    std::set<COLORREF> colours;
    for (const PALETTEENTRY& entry : programPaletteTable.palPalEntry)
        colours.insert(RGB(entry.peRed, entry.peGreen, entry.peBlue));
    EXPECT_EQ(static_cast<size_t>(paletteSize), colours.size());
}

// A display of more than 8 bits gets no palette. ShutDown gives back what start-up took.
TEST(StartupTest, SetsUpTheDisplayAndShutDownGivesItBack)
{
    shutDownDone = messageLoopEntered = false;
    SetUpDisplay();
    EXPECT_TRUE(colorDepth > 8 && !usePalette && appPalette == nullptr);
    EXPECT_EQ(RunsUnderWow64(), ProbeWow64());
    const HDC dc = displayDC;
    ShutDown();
    EXPECT_TRUE(displayDC == nullptr && GetObjectType(dc) == 0);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "a quit message without a loop";
}

// The test DLL beside the tests, like a DLL planted beside the program, is loaded by its bare name
// until the search is restricted, and then no more. The tests after this one load their DLLs as
// the program does.
TEST(StartupTest, RestrictsLoadsByNameToTheSystemDirectory)
{
    for (const bool restricted : {false, true}) {
        if (restricted)
            RestrictDllSearch();
        const HMODULE module = LoadLibraryA("recordinput.dll");
        EXPECT_EQ(restricted, module == nullptr) << GetLastError();
        FreeLibrary(module);
    }
}

}
