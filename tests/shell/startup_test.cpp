#include "shell/startup.h"

#include <gtest/gtest.h>

#include "support.h"

namespace {

// A DLL beside the tests, like one planted beside the program, loads by its bare name only until the
// search is restricted (for the rest of the run, as in the program).
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
