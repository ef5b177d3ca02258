// The built program itself, started as a user would start it, and the resources it carries.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *strrchr(path, '\\') = '\0';
    return std::string(path) + "\\Uninstall_Pelmoradrv.exe";
}

// Runs the program with `arguments` and returns its exit code; -1 when it did not end in time.
long RunProgram(const std::string& arguments)
{
    std::string commandLine = "\"" + ProgramPath() + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "CreateProcessA failed: " << GetLastError();
        return -1;
    }
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
    const std::string arguments[] = {"", "d0010407", "\"d0010407\" extra", many, std::string(1000, 'k')};
    for (const std::string& argument : arguments)
        EXPECT_EQ(0, RunProgram(argument)) << "arguments: " << argument.substr(0, 40);
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << GetLastError();
    }
    void TearDown() override
    {
        if (module != nullptr)
            FreeLibrary(module);
    }
    std::string Resource(LPCSTR name, LPCSTR type)
    {
        const HRSRC found = FindResourceA(module, name, type);
        if (found == nullptr)
            return std::string();
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconGroupHoldsTwoSixteenColourImages)
{
    const std::string group = Resource("AAPROGRAMICON", RT_GROUP_ICON);
    ASSERT_EQ(6 + 2 * sizeof(IconGroupEntry), group.size());
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(2, count);
    const IconGroupEntry* entries = reinterpret_cast<const IconGroupEntry*>(group.data() + 6);
    const BYTE sizes[] = {48, 32};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(sizes[i], entries[i].width);
        EXPECT_EQ(sizes[i], entries[i].height);
        EXPECT_EQ(16, entries[i].colorCount);
        EXPECT_EQ(4, entries[i].bitCount);
        const std::string image = Resource(MAKEINTRESOURCEA(entries[i].id), RT_ICON);
        EXPECT_EQ(entries[i].bytesInRes, image.size());
    }
}

TEST_F(ProgramResources, ManifestAsksForAdministratorAndWindows10)
{
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), RT_MANIFEST);
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

TEST(ProgramVersion, IsGerman304)
{
    const std::string path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << GetLastError();
    std::string info(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, &info[0])) << GetLastError();

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&info[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0407, translation[0]);
    EXPECT_EQ(1252, translation[1]);

    for (const char* name : {"\\StringFileInfo\\040704E4\\FileVersion", "\\StringFileInfo\\040704E4\\ProductVersion"}) {
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(&info[0], name, reinterpret_cast<void**>(&value), &length)) << name;
        EXPECT_STREQ("3.04", value) << name;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(&info[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(4, 3), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(4, 3), fixed->dwProductVersionMS);
}

}
