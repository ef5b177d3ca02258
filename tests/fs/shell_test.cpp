#include "fs/shell.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string.h>

#include <string>

#include "fs/access.h"
#include "fs/lookup.h"
#include "support.h"
#include "text/format.h"

namespace {

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
    // Wine loads no show command: it is read from the file's header, at offset 60.
    const std::string header = ReadWholeFile(file) + std::string(64, '\0');
    return !loaded ? "" : std::string(text[0]) + "|" + text[1] + "|" + text[2] + "|" + text[3] + "," +
                              std::to_string(iconIndex) + "|" + text[4] + "|" + std::to_string(header[60]);
}

// Real .LNK files in the folder each selector names, read back through the shell, or none at all.
TEST(Shortcut, IsSavedInTheSelectedFolderWithEveryFieldOrNotAtAll)
{
    const std::string notepad = Folder(CSIDL_SYSTEM) + "notepad.exe";
    const std::string plain = notepad + "|||" + notepad + ",3||7";  // the icon comes from the target
    const std::string desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    const std::string commonPrograms = Folder(CSIDL_COMMON_PROGRAMS);
    handedAccess.clear();
    securityHook = KeepHandedAccess;
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
        {"Pelmora Prüfung\\Schaubilder", true, "Schaubild öffnen", nullptr,
         commonPrograms + "Pelmora Prüfung\\Schaubilder\\Schaubild öffnen.LNK", plain},
        // No such folder: with common the user's Programs menu stands in.
        {MAKEINTRESOURCEA(200), true, "Pelmora", nullptr, Folder(CSIDL_PROGRAMS) + "Pelmora.LNK", plain},
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
    EXPECT_EQ(std::vector<std::string>(), handedAccess)
        << "granted to everyone, a new folder would let any user replace its shortcuts";
    EXPECT_TRUE(RemoveDirectoryA((commonPrograms + "Pelmora Prüfung\\Schaubilder").c_str()) &&
                RemoveDirectoryA((commonPrograms + "Pelmora Prüfung").c_str()));
}

}
