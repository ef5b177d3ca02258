#include "fs/shell.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "shell/startup.h"
#include "support.h"

namespace {

// The shell's own answer for a folder, asked another way than the code under test asks it.
std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) << csidl;
    return std::string(path) + "\\";
}

std::wstring Wide(const std::string& ansi)
{
    WCHAR wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, MAX_PATH);
    return wide;
}

// What a saved shortcut holds: path, arguments, working directory, icon location, description
// and show command; empty when there is no shortcut of that name.
std::string ReadShortcut(const std::string& file)
{
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    char text[5][MAX_PATH] = {};
    int iconIndex = -1;
    const bool loaded = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                   reinterpret_cast<void**>(&link))) &&
                        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
                        SUCCEEDED(persist->Load(Wide(file).c_str(), STGM_READ));
    if (loaded) {
        link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetArguments(text[1], MAX_PATH);
        link->GetWorkingDirectory(text[2], MAX_PATH);
        link->GetIconLocation(text[3], MAX_PATH, &iconIndex);
        link->GetDescription(text[4], MAX_PATH);
    }
    if (persist != nullptr)
        persist->Release();
    if (link != nullptr)
        link->Release();
    CoUninitialize();
    // Wine's link object loads every field but the show command, so that is read where the file
    // keeps it: the 32-bit field at offset 60 of the 76-byte header.
    const std::string header = ReadWholeFile(file) + std::string(64, '\0');
    return !loaded ? "" : std::string(text[0]) + "|" + text[1] + "|" + text[2] + "|" + text[3] + "," +
                              std::to_string(iconIndex) + "|" + text[4] + "|" + std::to_string(header[60]);
}

// Whether this process sees System32 redirected: a file made there lands in SysWOW64.
bool System32Redirected()
{
    MakeFile("C:\\windows\\system32\\pelmora-probe.txt", 0);
    const bool redirected = DeleteFileA("C:\\windows\\syswow64\\pelmora-probe.txt");
    DeleteFileA("C:\\windows\\system32\\pelmora-probe.txt");
    return redirected;
}

// Real .LNK files in the folder each selector names, read back through the shell. A shortcut
// that cannot be saved leaves nothing, and deleting it finds nothing either.
TEST(Shortcut, IsSavedInTheSelectedFolderWithEveryFieldOrNotAtAll)
{
    const std::string notepad = Folder(CSIDL_SYSTEM) + "notepad.exe";
    const std::string plain = notepad + "|||" + notepad + ",3||7";  // the icon comes from the target
    const std::string desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    const std::string commonPrograms = Folder(CSIDL_COMMON_PROGRAMS);
    const std::string desktopPath = desktop.substr(0, desktop.size() - 1);
    const std::string longWorkingDir = "C:\\" + std::string(pathCapacity - 3, 'w');
    const std::string longName(pathCapacity - desktop.size() - 4, 'n');  // one too many with ".LNK"
    // A file of the long name without ".LNK" is not the shortcut: it stays.
    ASSERT_TRUE(MakeFile(desktop + longName, 1)) << GetLastError();
    const struct {
        LPCSTR folder;
        bool common;
        const char* name;
        const char* workingDir;  // given: arguments, icon and description as well
        std::string file;
        std::string expected;  // empty: not saved
    } cases[] = {
        {nullptr, false, "Pelmora Verknüpfung", "C:\\windows\\", desktop + "Pelmora Verknüpfung.LNK",
         notepad + "|/p \"Schaubild 1.txt\"|C:\\windows|shell32.dll,3|Schaubild der Belegung|7"},
        // Both levels of the subfolder are missing.
        {"Pelmora Prüfung\\Schaubilder", true, "Schaubild öffnen", nullptr,
         commonPrograms + "Pelmora Prüfung\\Schaubilder\\Schaubild öffnen.LNK", plain},
        {desktopPath.c_str(), false, "Pelmora", nullptr, desktop + "Pelmora.LNK", plain},
        // No such folder, and one without a path: with common the user's Programs menu stands in.
        {MAKEINTRESOURCEA(200), true, "Pelmora", nullptr, Folder(CSIDL_PROGRAMS) + "Pelmora.LNK", plain},
        {MAKEINTRESOURCEA(200), false, "Pelmora", nullptr, "", ""},
        {MAKEINTRESOURCEA(CSIDL_DRIVES), false, "Pelmora", nullptr, "", ""},
        // Paths that would not fit are refused, not cut.
        {nullptr, false, "Pelmora", longWorkingDir.c_str(), desktop + "Pelmora.LNK", ""},
        {nullptr, false, longName.c_str(), nullptr, desktop + longName + ".LNK", ""},
    };
    for (const auto& c : cases) {
        const std::string shown = "row " + std::to_string(&c - cases);
        const bool all = c.workingDir != nullptr;
        EXPECT_EQ(!c.expected.empty(),
                  CreateShortcut(nullptr, notepad.c_str(), all ? "/p \"Schaubild 1.txt\"" : nullptr, c.folder, c.name,
                                 c.workingDir, all ? "shell32.dll" : nullptr, 3,
                                 all ? "Schaubild der Belegung" : nullptr, SW_SHOWMINNOACTIVE, c.common))
            << shown;
        EXPECT_EQ(c.expected, ReadShortcut(c.file)) << shown;
        EXPECT_EQ(!c.expected.empty(), DeleteShortcut(nullptr, c.folder, c.name, c.common)) << shown;
        EXPECT_FALSE(PathExists(c.file) || DeleteShortcut(nullptr, c.folder, c.name, c.common)) << shown;
    }
    // Without a target the steps after it must not hide the failure.
    EXPECT_FALSE(CreateShortcut(nullptr, nullptr, nullptr, nullptr, "Pelmora", nullptr, "shell32.dll", 0,
                                "Beschreibung", SW_SHOWNORMAL, false));
    EXPECT_FALSE(PathExists(desktop + "Pelmora.LNK"));
    EXPECT_TRUE(DeleteFileA((desktop + longName).c_str()));
    EXPECT_TRUE(RemoveDirectoryA((commonPrograms + "Pelmora Prüfung\\Schaubilder").c_str()) &&
                RemoveDirectoryA((commonPrograms + "Pelmora Prüfung").c_str()));
}

// Under WOW64 what the uninstaller does in System32 must reach the native one, and reverting must
// give the caller back what it had: redirection, or none when it had switched it off itself.
TEST(InstallDirs, AreResolvedForThePlatformAndRedirectionIsRestored)
{
    const bool wow64 = RunsUnderWow64();
    EXPECT_EQ(wow64, ProbeWow64());
    const std::string programFiles = Folder(CSIDL_PROGRAM_FILES);
    const bool savedWow64 = isWow64;
    isWow64 = wow64;
    for (const bool callerSwitchedOff : {false, true}) {
        PVOID callers = nullptr;
        if (callerSwitchedOff && wow64) {
            ASSERT_TRUE(Wow64DisableWow64FsRedirection(&callers)) << GetLastError();
        }
        ResolveInstallDirs("Pelmora-Tastatur");
        EXPECT_EQ(0, _stricmp(wow64 ? "C:\\windows\\system32\\" : Folder(CSIDL_SYSTEM).c_str(), systemDir));
        EXPECT_EQ(0, _stricmp(wow64 ? "C:\\windows\\syswow64\\" : "", wow64SystemDir)) << wow64SystemDir;
        EXPECT_EQ(wow64 ? "C:\\Program Files (x86)\\Pelmora-Tastatur" : programFiles + "Pelmora-Tastatur", productDir);
        EXPECT_FALSE(wow64 && System32Redirected()) << callerSwitchedOff;
        RevertFsRedirection();
        EXPECT_EQ(wow64 && !callerSwitchedOff, System32Redirected()) << callerSwitchedOff;
        if (callerSwitchedOff && wow64)
            Wow64RevertWow64FsRedirection(callers);
    }
    isWow64 = savedWow64;
}

// A name outside the code page must not turn into a look-alike ("Dogan") naming another folder.
// The copy put there knows itself by that folder, not by the one above or below it.
TEST(TempDir, IsNamedSoThatAnsiCallsReachItAndTheCopyThereKnowsItsFolder)
{
    char savedTmp[MAX_PATH] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH));
    const std::string root = FreshDirectory("tempdir-tests");
    const std::wstring base = Wide(root);
    RemoveDirectoryW((base + L"Do\u011fan").c_str());  // the ANSI clean-up cannot name it
    WCHAR windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_TRUE(CreateDirectoryW((base + L"Ablage").c_str(), nullptr) &&
                CreateDirectoryW((base + L"Do\u011fan").c_str(), nullptr));
    const struct {
        std::wstring tmp;
        std::wstring expected;  // the long form of the path handed out; empty: refused
    } cases[] = {
        {base + L"Ablage", base + L"Ablage\\"},
        {base + L"Do\u011fan", base + L"Do\u011fan\\"},
        {base + L"Do\u011fan2", std::wstring(windows) + L"\\"},  // no short form of a missing directory
        {base + std::wstring(300, L't'), L""},
    };
    for (const auto& c : cases) {
        SetEnvironmentVariableW(L"TMP", c.tmp.c_str());
        char path[pathCapacity] = "alt";
        WCHAR longForm[MAX_PATH] = L"";
        EXPECT_EQ(!c.expected.empty(), GetTempDir(path)) << path;
        GetLongPathNameW(Wide(path).c_str(), longForm, MAX_PATH);
        EXPECT_EQ(c.expected, longForm) << path;
    }
    SetEnvironmentVariableA("TMP", savedTmp);
    RemoveDirectoryW((base + L"Do\u011fan").c_str());
    RemoveDirectoryTree(root);

    const std::string own = BuiltProgramPath("");
    EXPECT_TRUE(RunsFromDirectory(own.c_str()));
    EXPECT_FALSE(RunsFromDirectory(own.substr(0, own.rfind('\\', own.size() - 2) + 1).c_str()));
    EXPECT_FALSE(RunsFromDirectory((own + "unten\\").c_str()));
}

}
