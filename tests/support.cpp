#include "support.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "fs/access.h"
#include "fs/fileops.h"
#include "fs/privatedir.h"
#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "registry/registry.h"
#include "shell/environment.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "text/msgbox.h"

namespace {

const char sandboxPath[] = "Software\\UninstallerTests";
const wchar_t sessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";

std::string TempPath(const char* name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    return directory + std::string(name);
}

void MapRoot(HKEY root, const char* scratch)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, (std::string(sandboxPath) + scratch).c_str(), &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(root, key));
    RegCloseKey(key);
}

void WriteKeyAccess(HKEY root, const std::string& path, const char* access)
{
    HKEY key = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path.c_str(), &key));
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(access, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
    LocalFree(descriptor);
    RegCloseKey(key);
}

HANDLE StartProgram(std::string commandLine, const char* directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// The program's globals that tests set: each test gets them as the one before found them, also
// after a failure half-way through it.
const struct {
    void* address;
    size_t size;
} programGlobals[] = {
    {&useMessageHook, sizeof(useMessageHook)}, {&messageHook, sizeof(messageHook)},
    {&statusHook, sizeof(statusHook)},         {&statusBusy, sizeof(statusBusy)},
    {&statusText, sizeof(statusText)},
    {&mainWindow, sizeof(mainWindow)},         {&ownerWindow, sizeof(ownerWindow)},
    {&programName, sizeof(programName)},       {&appInstance, sizeof(appInstance)},
    {&centerWindow, sizeof(centerWindow)},     {&usePalette, sizeof(usePalette)},
    {&isWow64, sizeof(isWow64)},               {&systemDir, sizeof(systemDir)},
    {&wow64SystemDir, sizeof(wow64SystemDir)}, {&productDir, sizeof(productDir)},
    {&argCount, sizeof(argCount)},             {&argTable, sizeof(argTable)},
    {&layoutKey, sizeof(layoutKey)},           {&driverFileName, sizeof(driverFileName)},
    {&regFailingWrite, sizeof(regFailingWrite)}, {&securityHook, sizeof(securityHook)},
    {&regView, sizeof(regView)},               {&testFolderOwner, sizeof(testFolderOwner)},
    {&testFolderMade, sizeof(testFolderMade)},
};

class GlobalsKeeper : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        saved.clear();
        for (const auto& global : programGlobals)
            saved.emplace_back(static_cast<const char*>(global.address), global.size);
    }
    void OnTestEnd(const testing::TestInfo&) override
    {
        for (size_t i = 0; i < saved.size(); ++i)
            memcpy(programGlobals[i].address, saved[i].data(), saved[i].size());
    }
    std::vector<std::string> saved;
};

}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\";
}

namespace {

// What a run that crashed can leave in the prefix, removed before the first test: the stand-in
// input.dll in the system directory (the installer would take its branch) and beside the tests,
// and the product's shortcut on the desktop. What Wine acts on as it starts (a pending deletion, the display's
// DPI) the test script puts right before it starts Wine.
class LeftoverSweeper : public testing::Environment {
    void SetUp() override
    {
        for (const std::string& file :
             {std::string("C:\\windows\\system32\\input.dll"), BuiltProgramPath("input.dll"),
              ShellFolder(CSIDL_DESKTOPDIRECTORY) + "Tastaturbelegung Pelmora Schaubild.LNK"})
            DeleteFileA(file.c_str());
        testing::UnitTest::GetInstance()->listeners().Append(new GlobalsKeeper);
    }
};

const testing::Environment* const sweeper = testing::AddGlobalTestEnvironment(new LeftoverSweeper);

}

std::vector<std::string> handedAccess;

bool KeepHandedAccess(const char* path, PSECURITY_DESCRIPTOR descriptor)
{
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(
        descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
    handedAccess.push_back(std::string(path) + ": " + (text != nullptr ? text : "?"));
    LocalFree(text);
    return true;
}

bool InChildRun(const char* variable)
{
    return GetEnvironmentVariableA(variable, nullptr, 0) > 0;
}

std::string RunChild(const char* filter, const char* variable, const char* value)
{
    SetEnvironmentVariableA(variable, value);
    const std::string report = ScratchFile("child-run.xml");
    RunProgram("\"" + std::string(_pgmptr) + "\" --gtest_filter=" + filter + " --gtest_output=\"xml:" + report + "\"");
    SetEnvironmentVariableA(variable, nullptr);
    return ReadWholeFile(report);
}

long WaitForExit(HANDLE process)
{
    if (process == nullptr)
        return -1;
    if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0)
        TerminateProcess(process, 1);
    DWORD exitCode = static_cast<DWORD>(-1);
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return static_cast<long>(exitCode);
}

std::string BuiltProgramPath(const char* fileName)
{
    const std::string self = _pgmptr;
    return self.substr(0, self.rfind('\\') + 1) + fileName;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ScratchFile(const char* name)
{
    const std::string path = TempPath(name);
    DeleteFileA(path.c_str());
    return path;
}

long RunProgram(std::string commandLine, const char* directory)
{
    return WaitForExit(StartProgram(commandLine, directory));
}

BoxDriver StartBoxDriver(const char* answers)
{
    const std::string record = ScratchFile("boxdriver-record.txt");
    return {StartProgram("\"" + BuiltProgramPath("boxdriver.exe") + "\" --out \"" + record + "\" " + answers, nullptr),
            record};
}

std::string FinishBoxDriver(BoxDriver& driver)
{
    const long exitCode = WaitForExit(driver.process);
    const std::string records = ReadWholeFile(driver.recordPath);
    EXPECT_EQ(0, exitCode) << records;
    return exitCode == 0 ? records : std::string();
}

void OpenRegistrySandbox()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, sandboxPath);
    MapRoot(HKEY_LOCAL_MACHINE, "\\Machine");
    MapRoot(HKEY_CURRENT_USER, "\\User");
}

void CloseRegistrySandbox()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, sandboxPath);
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveDirectoryTree(const std::string& directory)
{
    // A list of one path, ended by a second zero; the shell clears read-only attributes itself.
    const std::string from = directory.substr(0, directory.find_last_not_of('\\') + 1) + '\0';
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
}

std::string FreshDirectory(const char* name)
{
    const std::string directory = TempPath(name) + "\\";
    RemoveDirectoryTree(directory);
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

bool MakeFile(const std::string& path, DWORD size, DWORD attributes)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LONG high = 0;  // so that sizes above 2 GB count from the start too
    const bool sized = SetFilePointer(file, size, &high, FILE_BEGIN) == size && SetEndOfFile(file);
    CloseHandle(file);
    return sized && SetFileAttributesA(path.c_str(), attributes);
}

void WriteRegistryValues(HKEY root, const std::string& path, const RegistryValues& values, REGSAM view)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    for (const auto& value : values)
        RegSetValueExA(key, value.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.second.c_str()),
                       value.second.size() + 1);
    RegCloseKey(key);
}

RegistryValues ReadRegistryValues(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {{"<missing>", ""}};
    RegistryValues values;
    char name[MAX_PATH];
    BYTE data[MAX_PATH];
    for (DWORD i = 0, nameSize = MAX_PATH, dataSize = MAX_PATH;
         RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data, &dataSize) == ERROR_SUCCESS;
         ++i, nameSize = dataSize = MAX_PATH)
        values[name] = reinterpret_cast<char*>(data);
    RegCloseKey(key);
    return values;
}

bool RegistryKeyExists(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS &&
           RegCloseKey(key) == ERROR_SUCCESS;
}

void WriteRefusedKey(HKEY root, const std::string& path)
{
    WriteKeyAccess(root, path, "D:");
}

void WriteReadOnlyKey(HKEY root, const std::string& path)
{
    WriteKeyAccess(root, path, "D:(A;;KR;;;WD)");
}

HKEY NextKeyHandle()
{
    HKEY keys[32] = {};
    for (HKEY& key : keys)
        RegOpenKeyExA(HKEY_USERS, ".DEFAULT", 0, KEY_READ, &key);
    for (const HKEY key : keys)
        RegCloseKey(key);
    return keys[31];
}

std::wstring ReadPendingRenames()
{
    wchar_t list[8 * MAX_PATH] = L"";
    DWORD size = sizeof(list) - 2 * sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, sessionManager, L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ,
                     nullptr, list, &size) != ERROR_SUCCESS)
        return L"";
    return std::wstring(list, size > sizeof(wchar_t) ? size / sizeof(wchar_t) - 1 : 0);
}

void WritePendingRenames(const std::wstring& list)
{
    if (list.empty()) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, sessionManager, L"PendingFileRenameOperations");
        return;
    }
    const std::wstring value = list + L'\0';
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, sessionManager, L"PendingFileRenameOperations", REG_MULTI_SZ, value.c_str(),
                    value.size() * sizeof(wchar_t));
}

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool System32Redirected()
{
    MakeFile("C:\\windows\\system32\\pelmora-probe.txt", 0);
    const bool redirected = PathExists("C:\\windows\\syswow64\\pelmora-probe.txt");
    DeleteFileA("C:\\windows\\system32\\pelmora-probe.txt");
    DeleteFileA("C:\\windows\\syswow64\\pelmora-probe.txt");
    return redirected;
}
