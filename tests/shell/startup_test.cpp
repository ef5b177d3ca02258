#include "shell/startup.h"

#include <gtest/gtest.h>

#include "support.h"

namespace {

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
