// The built program itself, started as a user would start it, and the resources it carries.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "support.h"

namespace {

std::string ProgramPath()
{
    return BuiltProgramPath("Uninstall_Pelmoradrv.exe");
}

// The program's exit code; -1 when it could not start or did not end in time.
long RunProgram(std::string commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(exitCode);
}

TEST(Program, EndsWithExitCodeZeroWhateverItIsGiven)
{
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += " a" + std::to_string(i);
    for (const std::string& arguments : {std::string(), std::string(" d0010407"), many, " " + std::string(1000, 'k')})
        EXPECT_EQ(0, RunProgram("\"" + ProgramPath() + "\"" + arguments)) << arguments.substr(0, 40);
}

TEST(Program, CarriesItsIconVersionAndManifest)
{
    const std::string path = ProgramPath();
    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << GetLastError();
    const HRSRC group = FindResourceA(module, "AAPROGRAMICON", RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    // GRPICONDIR: three words, then 14-byte entries of width, height, colours, reserved,
    // planes, bits per pixel, size and id.
    const BYTE* icons = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_EQ(2, icons[4]);
    for (int i = 0; i < 2; ++i) {
        const BYTE* entry = icons + 6 + 14 * i;
        EXPECT_EQ(i == 0 ? 48 : 32, entry[0]);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(16, entry[2]);
        EXPECT_EQ(4, entry[6]);
    }
    const HRSRC manifestResource = FindResourceA(module, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(nullptr, manifestResource);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, manifestResource))),
                               SizeofResource(module, manifestResource));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")) << "Windows 10";
    FreeLibrary(module);

    DWORD ignored = 0;
    std::string info(GetFileVersionInfoSizeA(path.c_str(), &ignored), '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, info.size(), &info[0])) << GetLastError();
    WORD* translation = nullptr;
    char* version = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&info[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(MAKELONG(0x0407, 1252), *reinterpret_cast<DWORD*>(translation));
    ASSERT_TRUE(VerQueryValueA(&info[0], "\\StringFileInfo\\040704E4\\FileVersion", reinterpret_cast<void**>(&version),
                               &length));
    EXPECT_STREQ("3.04", version);
}

}
