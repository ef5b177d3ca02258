#include "shell/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace {

// A DLL beside the tests, like one planted beside the program, loads by its bare name only until the
// search is restricted. That lasts for the rest of the process, as in the program: the restricted
// half runs in a process of its own.
TEST(StartupTest, RestrictsLoadsByNameToTheSystemDirectory)
{
    const char restrictedRun[] = "PELMORA_RESTRICTED_RUN";
    const bool restricted = InChildRun(restrictedRun);
    if (restricted)
        RestrictDllSearch();
    const HMODULE module = LoadLibraryA("recordinput.dll");
    EXPECT_EQ(restricted, module == nullptr) << GetLastError();
    FreeLibrary(module);
    if (!restricted) {
        const std::string report = RunChild("StartupTest.*", restrictedRun, "1");
        EXPECT_NE(std::string::npos, report.find("tests=\"1\" failures=\"0\"")) << report;
    }
}

}
