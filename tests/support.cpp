#include "support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>
#include <string.h>

#include <algorithm>

std::string BuiltProgramPath(const char* fileName)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *strrchr(path, '\\') = '\0';
    return std::string(path) + "\\" + fileName;
}

std::string ReadWholeFile(const std::string& path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string content(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!content.empty() && !ReadFile(file, &content[0], content.size(), &read, nullptr))
        read = 0;
    CloseHandle(file);
    content.resize(read);
    return content;
}

bool WaitForFileLines(const std::string& path, int lines, DWORD milliseconds)
{
    for (DWORD waited = 0; waited <= milliseconds; waited += 20) {
        const std::string content = ReadWholeFile(path);
        if (std::count(content.begin(), content.end(), '\n') >= lines)
            return true;
        Sleep(20);
    }
    return false;
}

std::string ScratchFile(const char* name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    const std::string path = std::string(directory) + name;
    DeleteFileA(path.c_str());
    return path;
}

BoxDriver StartBoxDriver(const char* answers)
{
    BoxDriver driver = {nullptr, ScratchFile("boxdriver-record.txt")};
    std::string commandLine =
        "\"" + BuiltProgramPath("boxdriver.exe") + "\" --out \"" + driver.recordPath + "\" " + answers;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        driver.process = process.hProcess;
    }
    return driver;
}

std::string FinishBoxDriver(BoxDriver& driver)
{
    if (driver.process == nullptr) {
        ADD_FAILURE() << "boxdriver.exe did not start";
        return std::string();
    }
    DWORD exitCode = 1;
    if (WaitForSingleObject(driver.process, 20000) != WAIT_OBJECT_0)
        TerminateProcess(driver.process, 1);
    GetExitCodeProcess(driver.process, &exitCode);
    CloseHandle(driver.process);
    driver.process = nullptr;
    const std::string records = ReadWholeFile(driver.recordPath);
    EXPECT_EQ(0u, exitCode) << records;
    return exitCode == 0 ? records : std::string();
}

namespace {

const char sandboxPath[] = "Software\\UninstallerTests";

void DeleteSandbox()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, sandboxPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, sandboxPath);
}

void MapRoot(HKEY root, const char* scratch)
{
    HKEY key = nullptr;
    const std::string path = std::string(sandboxPath) + "\\" + scratch;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(root, key));
    RegCloseKey(key);
}

}

void OpenRegistrySandbox()
{
    DeleteSandbox();
    MapRoot(HKEY_LOCAL_MACHINE, "Machine");
    MapRoot(HKEY_CURRENT_USER, "User");
}

void CloseRegistrySandbox()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    DeleteSandbox();
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveDirectoryTree(const std::string& directory)
{
    std::string base = directory;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((base + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = base + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(base.c_str());
}

std::string FreshDirectory(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string directory = std::string(temp) + name + "\\";
    RemoveDirectoryTree(directory);
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory;
}

bool MakeFile(const std::string& path, DWORD size, DWORD attributes)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
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
    char data[MAX_PATH];
    DWORD nameSize = MAX_PATH;
    DWORD dataSize = MAX_PATH;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                    &dataSize) == ERROR_SUCCESS;
         ++i, nameSize = dataSize = MAX_PATH)
        values[name] = data;
    RegCloseKey(key);
    return values;
}

bool RegistryKeyExists(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void WriteRefusedKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    SECURITY_DESCRIPTOR descriptor;
    ACL noAccess;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&noAccess, sizeof(noAccess), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &noAccess, FALSE);
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor));
    RegCloseKey(key);
}

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int EndProcessesNamed(const char* fileName)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int ended = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, fileName) != 0)
            continue;
        const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process != nullptr && TerminateProcess(process, 1))
            ++ended;
        if (process != nullptr)
            CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}
