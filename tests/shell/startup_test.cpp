#include "shell/startup.h"

#include <gtest/gtest.h>

#include "support.h"

namespace {

// ShutDown gives back what start-up took, and without a message loop it leaves no quit message
// behind for a later one.
TEST(StartupTest, ShutDownGivesTheDisplayBack)
{
    shutDownDone = messageLoopEntered = false;
    SetUpDisplay();
    const HDC dc = displayDC;
    ShutDown();
    EXPECT_TRUE(displayDC == nullptr && GetObjectType(dc) == 0);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
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
