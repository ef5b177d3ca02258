#include "fs/shell.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <string>

#include "shell/startup.h"

namespace {

// The shell's own answer for a folder, asked another way than the code under test asks it.
std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) << csidl;
    return path;
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What a saved shortcut holds: path, arguments, working directory, icon location, show command.
std::string ReadShortcut(const std::wstring& file)
{
    const HRESULT comState = CoInitialize(nullptr);
    std::string fields;
    IShellLinkA* link = nullptr;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
        char text[4][MAX_PATH] = {};
        int iconIndex = -1;
        link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetArguments(text[1], MAX_PATH);
        link->GetWorkingDirectory(text[2], MAX_PATH);
        link->GetIconLocation(text[3], MAX_PATH, &iconIndex);
        fields = std::string(text[0]) + "|" + text[1] + "|" + text[2] + "|" + text[3] + "," + std::to_string(iconIndex);
    }
    if (persist != nullptr)
        persist->Release();
    if (link != nullptr)
        link->Release();
    if (SUCCEEDED(comState))
        CoUninitialize();
    // Wine's link object loads every field but the show command, so that is read where the
    // file keeps it: the 32-bit field at offset 60 of the 76-byte header.
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BYTE header[76] = {};
    DWORD read = 0;
    ReadFile(handle, header, sizeof(header), &read, nullptr);
    CloseHandle(handle);
    int showCmd = 0;
    memcpy(&showCmd, header + 60, sizeof(showCmd));
    return fields + "|" + std::to_string(showCmd);
}

TEST(ShortcutFolder, EverySelectorNamesItsFolderWithAFinalBackslash)
{
    const std::string programs = Folder(CSIDL_PROGRAMS) + "\\";
    const std::string commonPrograms = Folder(CSIDL_COMMON_PROGRAMS) + "\\";
    EXPECT_EQ(0, _stricmp("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\", commonPrograms.c_str()));
    // With its final backslash the first fills a path exactly; the others are one too long.
    const std::string fullDrive = "Q:\\" + std::string(pathCapacity - 5, 'a');
    const std::string longDrive = fullDrive + "a";
    const std::string longSubfolder(pathCapacity - commonPrograms.size() - 1, 'b');
    const struct {
        LPCSTR folder;
        bool common;
        std::string expected;  // empty: refused
    } cases[] = {
        {nullptr, false, Folder(CSIDL_DESKTOPDIRECTORY) + "\\"},
        {nullptr, true, Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\"},
        {MAKEINTRESOURCEA(CSIDL_PERSONAL), true, Folder(CSIDL_PERSONAL) + "\\"},
        // The shell cannot name these (no such folder; a folder without a path): with common
        // the user's Programs menu stands in.
        {MAKEINTRESOURCEA(200), false, ""},
        {MAKEINTRESOURCEA(200), true, programs},
        {MAKEINTRESOURCEA(CSIDL_DRIVES), false, ""},
        {MAKEINTRESOURCEA(CSIDL_DRIVES), true, programs},
        {"Q:\\Ablage", true, "Q:\\Ablage\\"},
        {"Q:\\Ablage\\", false, "Q:\\Ablage\\"},
        {"Pelmora-Tastatur", true, commonPrograms + "Pelmora-Tastatur\\"},
        {"Pelmora-Tastatur", false, programs + "Pelmora-Tastatur\\"},
        {"", true, commonPrograms},
        {fullDrive.c_str(), false, fullDrive + "\\"},
        {longDrive.c_str(), false, ""},
        {longSubfolder.c_str(), true, ""},
    };
    for (const auto& c : cases) {
        const std::string shown = IS_INTRESOURCE(c.folder) ? std::to_string(reinterpret_cast<ULONG_PTR>(c.folder))
                                                            : std::string(c.folder).substr(0, 20);
        char path[pathCapacity + 1];
        memset(path, 'x', sizeof(path));
        EXPECT_EQ(!c.expected.empty(), GetShortcutFolder(path, nullptr, c.folder, c.common)) << shown << c.common;
        EXPECT_EQ(c.expected, path) << shown << c.common;
        EXPECT_EQ('x', path[pathCapacity]) << shown;
    }
    char path[pathCapacity] = "stale";
    EXPECT_FALSE(GetSpecialFolder(path, CSIDL_DRIVES));
    EXPECT_STREQ("", path);
}

TEST(Shortcut, IsSavedFoundAgainAndDeletedOnce)
{
    const std::string notepad = Folder(CSIDL_SYSTEM) + "\\notepad.exe";
    const std::wstring subfolder = Wide(Folder(CSIDL_COMMON_PROGRAMS)) + L"\\Pelmora Prüfung";
    const struct {
        LPCSTR folder;
        bool common;
        const char* name;
        const char* arguments;
        const char* workingDir;
        const char* iconPath;
        int showCmd;
        std::wstring file;  // the name as the shell should see it in UTF-16
        std::string expected;
    } cases[] = {
        {nullptr, false, "Pelmora Verknüpfung", "/p \"Schaubild 1.txt\"", "C:\\windows\\", "shell32.dll",
         SW_SHOWMINNOACTIVE, Wide(Folder(CSIDL_DESKTOPDIRECTORY)) + L"\\Pelmora Verknüpfung.LNK",
         notepad + "|/p \"Schaubild 1.txt\"|C:\\windows|shell32.dll,3|7"},
        // Both levels of the subfolder are missing; the icon comes from the target.
        {"Pelmora Prüfung\\Schaubilder", true, "Schaubild öffnen", nullptr, nullptr, nullptr, SW_SHOWMAXIMIZED,
         subfolder + L"\\Schaubilder\\Schaubild öffnen.LNK", notepad + "|||" + notepad + ",3|3"},
    };
    for (const auto& c : cases)
        DeleteFileW(c.file.c_str());
    RemoveDirectoryW((subfolder + L"\\Schaubilder").c_str());
    RemoveDirectoryW(subfolder.c_str());
    ASSERT_FALSE(Exists(subfolder));
    for (const auto& c : cases) {
        EXPECT_TRUE(CreateShortcut(nullptr, notepad.c_str(), c.arguments, c.folder, c.name, c.workingDir, c.iconPath,
                                   3, nullptr, c.showCmd, c.common))
            << c.name;
        EXPECT_EQ(c.expected, ReadShortcut(c.file)) << c.name;
        EXPECT_TRUE(DeleteShortcut(nullptr, c.folder, c.name, c.common)) << c.name;
        EXPECT_FALSE(Exists(c.file)) << c.name;
        EXPECT_FALSE(DeleteShortcut(nullptr, c.folder, c.name, c.common)) << c.name;
    }
    RemoveDirectoryW((subfolder + L"\\Schaubilder").c_str());
    RemoveDirectoryW(subfolder.c_str());
}

TEST(Shortcut, IsReportedAsFailedWhenNothingIsSaved)
{
    const std::string notepad = Folder(CSIDL_SYSTEM) + "\\notepad.exe";
    const std::string desktop = Folder(CSIDL_DESKTOPDIRECTORY) + "\\";
    ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("Q:\\"));
    const std::string longWorkingDir = "C:\\" + std::string(pathCapacity - 3, 'w');
    const std::string longName(pathCapacity - desktop.size() - 4, 'n');  // one too many with ".LNK"
    const struct {
        LPCSTR folder;
        const char* name;
        const char* workingDir;
    } cases[] = {
        {MAKEINTRESOURCEA(CSIDL_DRIVES), "Pelmora Nirgends", nullptr},
        {"Q:\\Ablage", "Pelmora Nirgends", nullptr},  // a drive that is not there
        {nullptr, "Pelmora Nirgends", longWorkingDir.c_str()},
        {nullptr, longName.c_str(), nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(CreateShortcut(nullptr, notepad.c_str(), nullptr, c.folder, c.name, c.workingDir, nullptr, 0,
                                    nullptr, SW_SHOWNORMAL, false))
            << std::string(c.name).substr(0, 20);
        EXPECT_FALSE(DeleteShortcut(nullptr, c.folder, c.name, false));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((desktop + "Pelmora Nirgends.LNK").c_str()));
}

// A 64-bit process is never under WOW64, so Wine refuses both redirection calls with error 1:
// the token cannot be watched travelling into the calls, only whether they are made.
TEST(InstallDirs, AreResolvedAndRedirectionIsTouchedOnlyUnderWow64)
{
    char saved[3][pathCapacity];
    memcpy(saved[0], systemDir, pathCapacity);
    memcpy(saved[1], wow64SystemDir, pathCapacity);
    memcpy(saved[2], productDir, pathCapacity);
    const PVOID savedToken = savedRedirection;
    const bool savedWow64 = isWow64;

    PVOID const untouched = reinterpret_cast<PVOID>(0x5A5A);
    const struct {
        bool wow64;
        const char* wow64Dir;
        PVOID token;
        DWORD errorAfterRevert;
    } cases[] = {
        {false, "", untouched, 0xBEEF},
        {true, "C:\\windows\\syswow64\\", nullptr, ERROR_INVALID_FUNCTION},
    };
    for (const auto& c : cases) {
        isWow64 = c.wow64;
        savedRedirection = untouched;
        strcpy(wow64SystemDir, "stale");
        ResolveInstallDirs();
        EXPECT_EQ(Folder(CSIDL_SYSTEM) + "\\", systemDir) << c.wow64;
        EXPECT_EQ(0, _stricmp(c.wow64Dir, wow64SystemDir)) << wow64SystemDir;
        EXPECT_EQ(Folder(CSIDL_PROGRAM_FILES) + "\\Pelmora-Tastatur", productDir) << c.wow64;
        EXPECT_EQ(c.token, savedRedirection) << c.wow64;

        SetLastError(0xBEEF);
        RevertFsRedirection();
        EXPECT_EQ(c.errorAfterRevert, GetLastError()) << c.wow64;
        EXPECT_EQ(c.token, savedRedirection) << c.wow64;
    }

    memcpy(systemDir, saved[0], pathCapacity);
    memcpy(wow64SystemDir, saved[1], pathCapacity);
    memcpy(productDir, saved[2], pathCapacity);
    savedRedirection = savedToken;
    isWow64 = savedWow64;
}

}
