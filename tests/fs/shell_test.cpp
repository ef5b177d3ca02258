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

// Real .LNK files in the folder each selector names, or none at all.
TEST(Shortcut, IsSavedInTheSelectedFolderOrNotAtAll)
{
    const std::string notepad = ShellFolder(CSIDL_SYSTEM) + "notepad.exe";
    const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    const std::string commonPrograms = ShellFolder(CSIDL_COMMON_PROGRAMS);
    handedAccess.clear();
    securityHook = KeepHandedAccess;
    const struct {
        LPCSTR folder;
        bool common;
        const char* name;
        std::string file;
    } cases[] = {
        {nullptr, false, "Pelmora Verknüpfung", desktop + "Pelmora Verknüpfung.LNK"},
        {"Pelmora Prüfung\\Schaubilder", true, "Schaubild öffnen",
         commonPrograms + "Pelmora Prüfung\\Schaubilder\\Schaubild öffnen.LNK"},
        // No such folder: with common the user's Programs menu stands in.
        {MAKEINTRESOURCEA(200), true, "Pelmora", ShellFolder(CSIDL_PROGRAMS) + "Pelmora.LNK"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(CreateShortcut(nullptr, notepad.c_str(), "/p", c.folder, c.name, "C:\\windows\\", nullptr, 3,
                                   "Schaubild der Belegung", SW_SHOWMINNOACTIVE, c.common) &&
                    PathExists(c.file))
            << c.file;
        EXPECT_TRUE(DeleteShortcut(nullptr, c.folder, c.name, c.common)) << c.file;
        EXPECT_FALSE(PathExists(c.file) || DeleteShortcut(nullptr, c.folder, c.name, c.common)) << c.file;
    }
    EXPECT_EQ(std::vector<std::string>(), handedAccess)
        << "granted to everyone, a new folder would let any user replace its shortcuts";
    EXPECT_TRUE(RemoveDirectoryA((commonPrograms + "Pelmora Prüfung\\Schaubilder").c_str()) &&
                RemoveDirectoryA((commonPrograms + "Pelmora Prüfung").c_str()));
}

}
