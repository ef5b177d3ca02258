// The built program itself, started as a user would start it, and the resources it carries.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "support.h"
#include "text/convert.h"

namespace {

std::string ProgramPath()
{
    return BuiltProgramPath("Uninstall_Pelmoradrv.exe");
}

// The program's exit code; -1 when it could not start or did not end in time. An environment
// block (UTF-16) replaces this process's environment for it.
long RunProgram(std::string commandLine, const std::wstring& environment = std::wstring())
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    void* block = environment.empty() ? nullptr : const_cast<wchar_t*>(environment.c_str());
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block, nullptr,
                        &startup, &process))
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

// This process's environment with TEMP and TMP naming `folder`, as a block for RunProgram.
std::wstring EnvironmentWithTemp(const std::wstring& folder)
{
    std::wstring block;
    const LPWCH strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"TEMP=", 5) != 0 && _wcsnicmp(entry, L"TMP=", 4) != 0)
            block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const wchar_t* name : {L"TEMP=", L"TMP="})
        block.append(name).append(folder).push_back(L'\0');
    return block;
}

// The first line of each box the driver answered: "text: ..." with line breaks as \n.
std::string BoxText(const std::string& records)
{
    const size_t start = records.find("text: ");
    return start == std::string::npos ? records : records.substr(start + 6, records.find('\n', start) - start - 6);
}

TEST(Program, RefusesEveryBadKeyWithItsOwnMessageAndEndsWithZero)
{
    const std::string prefix = "Deinstallationsprogramm nicht mit gültigem Registry-Key für die Tastatur aufgerufen (";
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"", prefix + "Angabe fehlt)"},
        {" a0010407 zwei", prefix + "Angabe fehlt)"},
        {" a001040", prefix + "Länge nicht 8 Zeichen):\\na001040"},
        {" " + std::string(1000, 'k'), prefix + "Länge nicht 8 Zeichen):\\n"},
        {" a0010408", prefix + "endet nicht in \"0407\", also kein deutsches Layout):\\na0010408"},
        {" \"00000407\"", prefix + "Schlüssel für Standardtastatur: nicht deinstallierbar):\\n00000407"},
    };
    for (const auto& c : cases) {
        BoxDriver driver = StartBoxDriver("OK");
        EXPECT_EQ(0, RunProgram("\"" + ProgramPath() + "\"" + c.arguments)) << c.arguments.substr(0, 40);
        const std::string records = FinishBoxDriver(driver);
        EXPECT_EQ(c.message, BoxText(records)) << c.arguments.substr(0, 40);
        EXPECT_EQ(0u, records.find("caption: Uninstall_Pelmoradrv\n")) << records;
        EXPECT_NE(std::string::npos, records.find("buttons: OK\nicon: exclamation\n")) << records;
    }
}

// The whole job: the installer sets the product up as it is found on a user's machine, then the
// uninstall entry's command starts the installed uninstaller, which copies itself to the
// temporary directory (`temp`, or this process's own when empty) and ends; the copy, which must
// land in `copyFolder`, asks, uninstalls and reports in real boxes. A 32-bit build on 64-bit
// Windows installs as every 32-bit installer does: the DLL into the native System32 and
// SysWOW64, the folder under Program Files (x86), the entry in the 32-bit registry view. A
// same-named entry in the 64-bit view is another program's and stays.
void UninstallWhatTheInstallerInstalled(const std::wstring& temp, const std::wstring& copyFolder)
{
    const bool wow64 = RunsUnderWow64();
    const std::string catalogue = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\";
    const std::string uninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::string entry = uninstallList + "Tastaturbelegung Pelmora AltGrLinks (V3.04)";
    const std::string folder = std::string(wow64 ? "C:\\Program Files (x86)" : "C:\\Program Files") + "\\Pelmora-Tastatur";
    // What this process sees as System32 is SysWOW64 under WOW64; the native one is Sysnative.
    std::vector<std::string> dlls = {wow64 ? "C:\\windows\\sysnative\\Pelmoradrv.DLL" : "C:\\windows\\system32\\Pelmoradrv.DLL"};
    if (wow64)
        dlls.push_back("C:\\windows\\syswow64\\Pelmoradrv.DLL");
    char desktop[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop));
    const std::string shortcut = std::string(desktop) + "\\Tastaturbelegung Pelmora Schaubild.LNK";
    const std::string otherFile = std::string(desktop) + "\\Einkaufsliste.txt";
    const std::wstring copy = copyFolder + L"Uninstall_Pelmoradrv.exe";
    const RegistryValues usersLayouts = {{"1", "00000407"}, {"2", "00000409"}};

    RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    WriteRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", usersLayouts);
    WriteRegistryValues(HKEY_LOCAL_MACHINE, uninstallList + "Anderes Programm", {{"DisplayName", "Anderes"}});
    if (wow64)
        WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, {{"DisplayName", "64-Bit-Eintrag"}}, KEY_WOW64_64KEY);
    ASSERT_TRUE(MakeFile(otherFile, 10));

    const std::string keyFile = ScratchFile("installed-key.txt");
    ASSERT_EQ(0, RunProgram("\"" + BuiltProgramPath("installer.exe") + "\" \"" + ProgramPath() + "\" --key-file \"" +
                            keyFile + "\""));
    const std::string key = ReadWholeFile(keyFile).substr(0, 8);
    ASSERT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + key)) << key;
    ASSERT_TRUE(PathExists(shortcut));
    for (const std::string& dll : dlls)
        ASSERT_TRUE(PathExists(dll)) << dll;
    const std::string command = ReadRegistryValues(HKEY_LOCAL_MACHINE, entry)["UninstallString"];
    EXPECT_EQ("\"" + folder + "\\Uninstall_Pelmoradrv.exe\" " + key, command);

    BoxDriver driver = StartBoxDriver("YES OK");
    EXPECT_EQ(0, RunProgram(command, temp.empty() ? std::wstring() : EnvironmentWithTemp(temp)))
        << "the installed uninstaller ends at once";
    const std::string records = FinishBoxDriver(driver);
    EXPECT_NE(std::string::npos, records.find("text: Soll folgender Tastatur-Treiber deinstalliert werden?\\n\\n"
                                              "Pelmora AltGrLinks (V3.04)\nbuttons: YES NO\nicon: question\n"))
        << records;
    EXPECT_NE(std::string::npos, records.find("text: Folgender Tastatur-Treiber wurde deinstalliert:\\n"
                                              "Pelmora AltGrLinks (V3.04)\nbuttons: OK\nicon: information\n"))
        << records;
    // The copy ends once its last box is answered; one that still waits for an answer is a
    // failure, and is ended so that it does not hold the test run.
    const size_t pidAt = records.rfind("pid: ");
    const HANDLE copyProcess =
        pidAt == std::string::npos ? nullptr
                                   : OpenProcess(SYNCHRONIZE, FALSE, strtoul(records.c_str() + pidAt + 5, nullptr, 10));
    if (copyProcess != nullptr) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(copyProcess, 20000));
        CloseHandle(copyProcess);
    }
    EXPECT_EQ(0, EndProcessesNamed("Uninstall_Pelmoradrv.exe")) << "an uninstaller was still running";

    for (const std::string& gone : dlls)
        EXPECT_FALSE(PathExists(gone)) << gone;
    for (const std::string& gone : {folder, shortcut})
        EXPECT_FALSE(PathExists(gone)) << gone;
    EXPECT_TRUE(PathExists(otherFile));
    EXPECT_EQ(usersLayouts, ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload"));
    EXPECT_EQ(RegistryValues(), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + key));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, uninstallList + "Anderes Programm"));
    if (wow64) {
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_32KEY));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_64KEY));
    }

    // The copy is left for Windows to delete at the next start.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(copy.c_str()));
    wchar_t pending[4096] = {};
    DWORD size = sizeof(pending) - 4;
    HKEY session = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_ALL_ACCESS,
                  &session);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(session, L"PendingFileRenameOperations", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(pending), &size));
    EXPECT_EQ(0, _wcsicmp((L"\\??\\" + copy).c_str(), pending)) << testing::PrintToString(std::wstring(pending));
    RegDeleteValueA(session, "PendingFileRenameOperations");
    RegCloseKey(session);

    DeleteFileW(copy.c_str());
    DeleteFileA(otherFile.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (uninstallList + "Anderes Programm").c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (uninstallList + "Anderes Programm").c_str());
    if (wow64)
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, entry.c_str(), KEY_WOW64_64KEY, 0);
}

// The ANSI form of a temporary folder outside code page 1252 names another folder ("Doğan"
// becomes "Dogan"): the copy goes to its short form, and where there is none (here: the folder
// is missing) into the Windows directory. Either way the copy knows itself and uninstalls.
TEST(Program, UninstallsWhatTheInstallerInstalledAndNothingElse)
{
    wchar_t ownTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, ownTemp);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring turkish = std::wstring(ownTemp) + L"Do\u011Fan";
    ASSERT_TRUE(CreateDirectoryW(turkish.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << GetLastError();
    const struct {
        const char* what;
        std::wstring temp;
        std::wstring copyFolder;
    } cases[] = {
        {"the user's own temporary folder", L"", ownTemp},
        {"a folder outside the code page", turkish, turkish + L"\\"},
        {"a missing folder outside the code page", std::wstring(ownTemp) + L"Do\u011Fan-fehlt", std::wstring(windows) + L"\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UninstallWhatTheInstallerInstalled(c.temp, c.copyFolder);
    }
    RemoveDirectoryW(turkish.c_str());
}

}
