#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace {

const std::string program = BuiltProgramPath("Uninstall_Pelmoradrv.exe");

// Runs `command` with TEMP at `temp`, answers the boxes and waits for the copy; the records. The copy
// and its new folder in the Windows directory's Temp are left for the restart, after the native DLL when it was
// `held`: deleted here, or Wine would delete them.
std::string RunUninstaller(const std::string& command, const std::wstring& temp, const char* answers, const char* directory, bool held = false)
{
    const std::wstring before = ReadPendingRenames();
    BoxDriver driver = StartBoxDriver(answers);
    wchar_t ownTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, ownTemp);
    for (const wchar_t* name : {L"TEMP", L"TMP"})
        SetEnvironmentVariableW(name, temp.c_str());
    EXPECT_EQ(0, RunProgram(command, directory)) << "the installed uninstaller ends at once";
    for (const wchar_t* name : {L"TEMP", L"TMP"})
        SetEnvironmentVariableW(name, ownTemp);
    const std::string records = FinishBoxDriver(driver);
    // The copy ends once its last box is answered; one still waiting is ended, not to hold the run.
    const size_t pidAt = records.rfind("pid: ");
    const DWORD copyId = pidAt == std::string::npos ? 0 : strtoul(records.c_str() + pidAt + 5, nullptr, 10);
    EXPECT_EQ(0, WaitForExit(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                         FALSE, copyId)))
        << "the copy did not end, or ended with an error";

    const std::wstring list = ReadPendingRenames();
    WritePendingRenames(before);
    const std::wstring added = list.substr(before.size());
    const wchar_t* pending = added.c_str();
    const std::wstring dll = held ? L"\\??\\C:\\windows\\system32\\Pelmoradrv.DLL" : L"";
    EXPECT_EQ(dll, std::wstring(pending, dll.size()));
    // Its file and then its folder, each with an empty target, and nothing else.
    const wchar_t* copyEntries = pending + (held ? dll.size() + 2 : 0);
    const std::wstring file = copyEntries;
    const std::wstring folder = file.substr(0, file.rfind(L'\\'));
    const std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
    EXPECT_EQ(0, _wcsicmp((L"\\??\\C:\\windows\\Temp\\" + name + L"\\Uninstall_Pelmoradrv.exe").c_str(), copyEntries));
    EXPECT_TRUE(name.size() == 24 && name.compare(0, 8, L"Pelmora-") == 0 &&
                wcsspn(name.c_str() + 8, L"0123456789ABCDEF") == 16)
        << testing::PrintToString(file);
    EXPECT_EQ(folder, copyEntries + file.size() + 2);
    EXPECT_EQ(file.size() + folder.size() + 4 + (held ? dll.size() + 2 : 0), added.size());
    EXPECT_TRUE(DeleteFileW(file.c_str() + 4) && RemoveDirectoryW(folder.c_str() + 4)) << GetLastError();
    return records;
}

// The installer sets the product up (the layout in a language list, as Settings adds it); the uninstall
// entry's command uninstalls it through the copy in real boxes. A first "Nein" leaves everything.
// With `held` the native DLL is open in this process, as a layout's DLL in use is: it goes at the restart.
void UninstallWhatTheInstallerInstalled(const std::wstring& temp, bool cancelFirst, bool held)
{
    const bool wow64 = RunsUnderWow64();
    const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung Pelmora "
                              "AltGrLinks (V3.04)";
    const std::string folder = "C:\\Program Files" + std::string(wow64 ? " (x86)" : "") + "\\Pelmora-Tastatur";
    // Under WOW64 this process sees SysWOW64 as System32, and the native one as Sysnative.
    std::vector<std::string> installed = {folder, ShellFolder(CSIDL_DESKTOPDIRECTORY) + "Tastaturbelegung Pelmora Schaubild.LNK",
                                          "C:\\windows\\system32\\Pelmoradrv.DLL"};
    // Under WOW64 an entry in the 64-bit view goes as well.
    if (wow64) {
        installed.push_back("C:\\windows\\sysnative\\Pelmoradrv.DLL");
        WriteRegistryValues(HKEY_LOCAL_MACHINE, entry, {{"DisplayName", "64-Bit-Eintrag"}}, KEY_WOW64_64KEY);
    }

    RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Control Panel\\International\\User Profile");
    ASSERT_EQ(0, RunProgram("\"" + BuiltProgramPath("installer.exe") + "\" \"" + program + "\""));
    const std::string command = ReadRegistryValues(HKEY_LOCAL_MACHINE, entry)["UninstallString"];
    const std::string layout =
        "System\\CurrentControlSet\\Control\\Keyboard Layouts\\" + command.substr(command.rfind(' ') + 1);
    ASSERT_TRUE(command.size() > 8 && RegistryKeyExists(HKEY_LOCAL_MACHINE, layout)) << command;
    const std::string german = "Control Panel\\International\\User Profile\\de-DE";
    const std::string inputMethod = "0407:" + command.substr(command.rfind(' ') + 1);
    ASSERT_EQ(0, _stricmp(inputMethod.c_str(), ReadRegistryValues(HKEY_CURRENT_USER, german).begin()->first.c_str()));
    for (const std::string& path : installed)
        ASSERT_TRUE(PathExists(path)) << path;

    if (cancelFirst) {
        const std::string records = RunUninstaller(command, temp, "NO OK", nullptr);
        EXPECT_NE(std::string::npos, records.find("text: Deinstallation abgebrochen.\n")) << records;
        for (const std::string& path : installed)
            EXPECT_TRUE(PathExists(path)) << path;
    }
    const std::string nativeDll = installed.back();
    const HANDLE holder = held ? CreateFileA(nativeDll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr)
                               : nullptr;
    const std::string records = RunUninstaller(command, temp, "YES OK", folder.c_str(), held);
    CloseHandle(holder);
    for (const char* box : {"caption: Uninstall_Pelmoradrv\ntext: Soll folgender Tastatur-Treiber deinstalliert werden?"
                            "\\n\\nPelmora AltGrLinks (V3.04)\nbuttons: YES NO\nicon: question\n"
                            "window: Uninstall_Pelmoradrv V3.04 - Tastaturtreiber-Deinstallation 480x180\n",
                            held ? "wurde deinstalliert:\\nPelmora AltGrLinks (V3.04)\\n\\nDie Treiberdatei wird beim "
                                   "nächsten Neustart von Windows gelöscht.\nbuttons: OK\nicon: information\n"
                                 : "wurde deinstalliert:\\nPelmora AltGrLinks (V3.04)\nbuttons: OK\nicon: information\n"})
        EXPECT_NE(std::string::npos, records.find(box)) << records;
    EXPECT_EQ(held, PathExists(nativeDll) && DeleteFileA(nativeDll.c_str()));
    for (const std::string& path : installed)
        EXPECT_FALSE(PathExists(path)) << path;
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, layout));
    EXPECT_EQ(RegistryValues(), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes"));
    EXPECT_EQ(RegistryValues(), ReadRegistryValues(HKEY_CURRENT_USER, german)) << "the language itself stays";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entry, KEY_WOW64_64KEY));
}

// Elevated, as every process under Wine, the copy's folder lies in the Windows directory's Temp
// whatever TEMP names (here a folder outside the code page that is not there).
TEST(Program, UninstallsWhatTheInstallerInstalled)
{
    wchar_t ownTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, ownTemp);
    // The second time the native DLL is in use: it goes at the restart.
    for (const bool cancelFirst : {true, false}) {
        const std::wstring temp = cancelFirst ? std::wstring(ownTemp) + L"Do\u011Fan-fehlt" : ownTemp;
        UninstallWhatTheInstallerInstalled(temp, cancelFirst, !cancelFirst);
    }
}

TEST(Program, RefusesKeysThatCannotBeTheProducts)
{
    const std::string refusal = "text: Deinstallationsprogramm nicht mit gültigem Registry-Key für die Tastatur "
                                "aufgerufen (";
    const std::pair<const char*, const char*> cases[] = {
        {"", "Angabe fehlt)"},
        {" a001040", "Länge nicht 8 Zeichen):\\na001040"},
        {" a0010408", "endet nicht in \"0407\", also kein deutsches Layout):\\na0010408"},
        {" 00000407", "Schlüssel für Standardtastatur: nicht deinstallierbar):\\n00000407"},
    };
    for (const auto& c : cases) {
        BoxDriver driver = StartBoxDriver("OK");
        EXPECT_EQ(0, RunProgram("\"" + program + "\"" + c.first));
        const std::string records = FinishBoxDriver(driver);
        EXPECT_NE(std::string::npos, records.find(refusal + c.second + "\nbuttons: OK\nicon: exclamation\n")) << records;
    }
}


}
