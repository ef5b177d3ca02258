#include "uninstall/sequence.h"

#include <shlobj.h>

#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "support.h"
#include "text/msgbox.h"
#include "uninstall/product.h"

namespace {

typedef RegistryValues Values;

const char product[] = "a0010407";
const char driver[] = "Pelmora AltGrLinks (V3.04)";
const char entryPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung Pelmora AltGrLinks (V3.04)";
const char otherEntryPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Anderes Programm";
const char cataloguePath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";

// Boxes as "Q:", "I:", "W:" (the program's caption) or "T:" (a file operation's report), then
// the text; the hook answers from `answers` in order.
std::vector<std::string> shown;
std::vector<int> answers;

int AnswerBox(HWND, const char* text, const char* caption, UINT type)
{
    const bool report = strcmp(caption, "Tastaturtreiber-Deinstallation") == 0;
    EXPECT_TRUE(report || strcmp(caption, "Uninstall_Pelmoradrv") == 0) << caption;
    const char* kind = type == (MB_YESNO | MB_ICONQUESTION) ? "Q:"
                       : type == MB_ICONINFORMATION        ? "I:"
                       : report                            ? "T:"
                                                           : "W:";
    EXPECT_TRUE(type == (MB_YESNO | MB_ICONQUESTION) || type == MB_ICONINFORMATION || type == MB_ICONEXCLAMATION);
    shown.push_back(kind + std::string(text));
    if (answers.empty())
        return IDOK;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

// The sources of the pending renames (up to the first deletion's empty target), taken out of the prefix's real registry so that the test
// program is not deleted at the next start of Wine.
std::vector<std::string> TakePendingDeletions()
{
    const char sessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
    std::vector<std::string> paths;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return paths;
    std::string data(65536, '\0');
    DWORD size = data.size();
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]),
                         &size) == ERROR_SUCCESS) {
        for (const char* text = data.c_str(); *text != '\0' && text < data.c_str() + size; text += strlen(text) + 1)
            paths.push_back(text);
        RegDeleteValueA(key, "PendingFileRenameOperations");
    }
    RegCloseKey(key);
    return paths;
}

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpenRegistrySandbox();
        base = FreshDirectory("sequence-tests");
        strcpy(systemDir, (base + "system32\\").c_str());
        strcpy(wow64SystemDir, (base + "syswow64\\").c_str());
        strcpy(productDir, (base + "Pelmora-Tastatur").c_str());
        CreateDirectoryA(systemDir, nullptr);
        CreateDirectoryA(wow64SystemDir, nullptr);
        CreateDirectoryA(productDir, nullptr);
        dll = std::string(systemDir) + "Pelmoradrv.DLL";
        ASSERT_TRUE(MakeFile(dll, 4096));
        for (const char* name : {"Uninstall_Pelmoradrv.exe", "Tastaturbelegung Pelmora Schaubild.pdf",
                                 "Tastaturbelegung Pelmora Schaubild.ico"})
            ASSERT_TRUE(MakeFile(std::string(productDir) + "\\" + name, 100));
        char desktop[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop));
        shortcut = std::string(desktop) + "\\Tastaturbelegung Pelmora Schaubild.LNK";
        otherDesktopFile = std::string(desktop) + "\\Notizen.txt";
        ASSERT_TRUE(MakeFile(shortcut, 10));
        ASSERT_TRUE(MakeFile(otherDesktopFile, 10));

        WriteRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", {{"1", "00000407"}, {"2", "d0010407"}});
        WriteRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes", {{"d0010407", product}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\00000407", {{"Layout File", "KBDGR.DLL"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product,
                    {{"Layout File", "Pelmoradrv.DLL"}, {"Layout Text", "Deutsch (Pelmora)"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, entryPath, {{"DisplayName", "Pelmora"}, {"UninstallString", "x"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, otherEntryPath, {{"DisplayName", "Anderes"}});

        strcpy(layoutKey, product);
        strcpy(programName, "Uninstall_Pelmoradrv");
        isWow64 = false;
        mainWindow = nullptr;
        useMessageHook = true;
        messageHook = AnswerBox;
        shown.clear();
    }
    void TearDown() override
    {
        useMessageHook = false;
        messageHook = nullptr;
        isWow64 = false;
        CloseRegistrySandbox();
        TakePendingDeletions();
        RemoveDirectoryTree(base);
        DeleteFileA(shortcut.c_str());
        DeleteFileA(otherDesktopFile.c_str());
    }

    void Run(std::vector<int> given)
    {
        answers = given;
        EXPECT_FALSE(RunUninstall());
    }

    static void ExpectBoxes(const std::vector<std::string>& expected)
    {
        ASSERT_EQ(expected.size(), shown.size()) << testing::PrintToString(shown);
        for (size_t i = 0; i < expected.size(); ++i) {
            const std::string& box = expected[i];
            // A report of a file operation ends in the system's text: its start is enough.
            if (!box.empty() && box.back() == '*')
                EXPECT_EQ(box.substr(0, box.size() - 1), shown[i].substr(0, box.size() - 1)) << i;
            else
                EXPECT_EQ(box, shown[i]) << i;
        }
    }

    void ExpectNothingChanged()
    {
        EXPECT_TRUE(PathExists(dll));
        EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload"));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath));
        EXPECT_TRUE(PathExists(shortcut));
        EXPECT_TRUE(PathExists(std::string(productDir) + "\\Uninstall_Pelmoradrv.exe"));
    }

    void ExpectUninstalled()
    {
        EXPECT_FALSE(PathExists(dll));
        EXPECT_EQ((Values{{"1", "00000407"}}), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload"));
        EXPECT_EQ(Values(), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\00000407"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, otherEntryPath));
        EXPECT_FALSE(PathExists(shortcut));
        EXPECT_TRUE(PathExists(otherDesktopFile));
    }

    std::string base;
    std::string dll;
    std::string shortcut;
    std::string otherDesktopFile;
    std::vector<std::string> pending;
};

const std::string confirmation = std::string("Q:Soll folgender Tastatur-Treiber deinstalliert werden?\n\n") + driver;
const std::string finalReport = std::string("I:Folgender Tastatur-Treiber wurde deinstalliert:\n") + driver;

TEST_F(SequenceTest, UninstallsEverythingAfterTheUsersYes)
{
    Run({IDYES});
    ExpectBoxes({confirmation, finalReport});
    ExpectUninstalled();
    EXPECT_FALSE(PathExists(productDir));
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    CloseRegistrySandbox();
    pending = TakePendingDeletions();
    EXPECT_EQ(std::vector<std::string>{std::string("\\??\\") + self}, pending)
        << "the running program, to be deleted at the next start";
}

TEST_F(SequenceTest, NoAtTheConfirmationChangesNothing)
{
    Run({IDNO});
    ExpectBoxes({confirmation, "I:Deinstallation abgebrochen."});
    ExpectNothingChanged();
}

TEST_F(SequenceTest, RefusesBeforeAskingWhenTheInstallationIsNotWhatItShouldBe)
{
    const std::string keyLines = std::string("\nTreiber: ") + driver + "\nKey: a0010407\nDLL: Pelmoradrv.DLL";
    const struct {
        const char* what;
        Values layoutValues;
        Values preload;
        std::string warning;
    } cases[] = {
        {"no driver file named", {{"Layout Text", "x"}}, {{"1", "00000407"}, {"2", "d0010407"}},
         "W:Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine Treiberdatei-Angabe." + keyLines},
        {"another driver file", {{"Layout File", "Fremd.DLL"}}, {{"1", "00000407"}, {"2", "d0010407"}},
         std::string("W:Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere "
                     "Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird daher die "
                     "Deinstallation jetzt nicht durchgeführt.\nTreiber: ") +
             driver + "\nKey: a0010407\nDLL bei Installation: Pelmoradrv.DLL\nDLL jetzt: Fremd.DLL"},
        {"the only layout", {{"Layout File", "Pelmoradrv.DLL"}}, {{"1", "d0010407"}},
         "W:In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig "
         "auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie die "
         "hier gewählte deinstallieren."},
    };
    for (const auto& c : cases) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(cataloguePath) + "\\" + product).c_str());
        WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product, c.layoutValues);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
        WriteRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", c.preload);
        shown.clear();
        Run({});
        ExpectBoxes({c.warning});
        EXPECT_TRUE(PathExists(dll)) << c.what;
    }

    strcpy(layoutKey, "b0090407");
    shown.clear();
    Run({});
    ExpectBoxes({std::string("W:Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht "
                             "gefunden.\nTreiber: ") +
                 driver + "\nKey: b0090407\nDLL: Pelmoradrv.DLL"});

    // A Substitutes key that cannot be read; a missing one is an empty list (below).
    RegDeleteKeyA(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    WriteRefusedKey(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    shown.clear();
    Run({});
    ExpectBoxes({"W:Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"});
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes"));
}

TEST_F(SequenceTest, MissingSubstitutesKeyIsAnEmptyList)
{
    // No Preload entry then stands for the product's layout: the user's lists stay as they are.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    Run({IDYES});
    ExpectBoxes({confirmation, finalReport});
    EXPECT_FALSE(PathExists(dll));
    EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), ReadRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product));
}

TEST_F(SequenceTest, DriverFileNamedInOtherLetterCaseIsAccepted)
{
    WriteRegistryValues(HKEY_LOCAL_MACHINE, std::string(cataloguePath) + "\\" + product, {{"Layout File", "PELMORADRV.dll"}});
    Run({IDYES});
    ExpectBoxes({confirmation, finalReport});
    ExpectUninstalled();
}

TEST_F(SequenceTest, MissingDriverFileAsksWhetherToGoOn)
{
    DeleteFileA(dll.c_str());
    const std::string question = std::string("Q:Problem bei Deinstallation von ") + driver +
                                 ":\nTreiberdatei nicht (mehr) vorhanden:\n  " + dll + "\n\nTrotzdem fortfahren?";
    Run({IDYES, IDNO});
    ExpectBoxes({confirmation, question});
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << "No ends the sequence";

    shown.clear();
    Run({IDYES, IDYES});
    ExpectBoxes({confirmation, question, finalReport});
    ExpectUninstalled();
}

TEST_F(SequenceTest, DriverFileInUseEndsWithTheInstallationWhole)
{
    const HANDLE holder = CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Run({IDYES});
    CloseHandle(holder);
    ExpectBoxes({confirmation, "T:Folgende Datei kann nicht gelöscht werden:\n" + dll + "\n\nFehlercode 32:\n*",
                 std::string("I:Fehler bei Deinstallation von ") + driver +
                     ":\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  " + dll});
    ExpectNothingChanged();
}

TEST_F(SequenceTest, LeftoversInTheProductFolderAreWarningsOnly)
{
    const std::string pdf = std::string(productDir) + "\\Tastaturbelegung Pelmora Schaubild.pdf";
    SetFileAttributesA(pdf.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(MakeFile(std::string(productDir) + "\\fremd.txt", 1));
    Run({IDYES});
    ExpectBoxes({confirmation, "T:Folgende Datei kann nicht gelöscht werden:\n" + pdf + "\n\nFehlercode 5:\n*",
                 std::string("I:Warnung bei Deinstallation von ") + driver +
                     ":\nFolgende Hilfsdatei konnte nicht gelöscht werden:\n  " + pdf,
                 std::string("T:Folgendes Verzeichnis kann nicht gelöscht werden:\n") + productDir +
                     "\n\nFehlercode 145:\n*",
                 std::string("I:Warnung bei Deinstallation von ") + driver +
                     ":\nFolgendes Hilfsverzeichnis konnte nicht entfernt werden (möglicherweise ist es nicht "
                     "leer):\n  " +
                     productDir,
                 finalReport});
    ExpectUninstalled();
    EXPECT_FALSE(PathExists(std::string(productDir) + "\\Uninstall_Pelmoradrv.exe"));
}

TEST_F(SequenceTest, DefaultLayoutRemovedAndTheWow64CopyDeleted)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
    WriteRegistryValues(HKEY_CURRENT_USER, "Keyboard Layout\\Preload", {{"1", "d0010407"}, {"2", "00000407"}});
    const std::string wow64Dll = std::string(wow64SystemDir) + "Pelmoradrv.DLL";
    ASSERT_TRUE(MakeFile(wow64Dll, 4096));
    isWow64 = true;
    Run({IDYES});
    ExpectBoxes({confirmation, finalReport});
    ExpectUninstalled();
    EXPECT_FALSE(PathExists(wow64Dll));
}

// A system directory that the system could not name leaves the DLL's bare name, which would
// reach a file of that name in the current directory: the DLL counts as missing there instead.
TEST_F(SequenceTest, UnknownSystemDirectoryNeverReachesTheCurrentDirectory)
{
    const struct {
        const char* what;
        bool systemDirKnown;
        std::vector<int> answers;
        std::vector<std::string> boxes;
    } cases[] = {
        {"system directory unknown", false, {IDYES, IDYES},
         {confirmation,
          std::string("Q:Problem bei Deinstallation von ") + driver +
              ":\nTreiberdatei nicht (mehr) vorhanden:\n  Pelmoradrv.DLL\n\nTrotzdem fortfahren?",
          finalReport}},
        {"WOW64 system directory unknown", true, {IDYES}, {confirmation, finalReport}},
    };
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    for (const auto& c : cases) {
        if (&c != &cases[0]) {
            TearDown();
            SetUp();
        }
        const std::string current = base + "aktuell\\";
        ASSERT_TRUE(CreateDirectoryA(current.c_str(), nullptr));
        ASSERT_TRUE(MakeFile(current + "Pelmoradrv.DLL", 4096));
        const std::string wow64Dll = std::string(wow64SystemDir) + "Pelmoradrv.DLL";
        ASSERT_TRUE(MakeFile(wow64Dll, 4096));
        if (c.systemDirKnown) {
            wow64SystemDir[0] = '\0';
        } else {
            systemDir[0] = '\0';
            DeleteFileA(dll.c_str());
        }
        isWow64 = true;
        SetCurrentDirectoryA(current.c_str());
        Run(c.answers);
        SetCurrentDirectoryA(previous);
        ExpectBoxes(c.boxes);
        ExpectUninstalled();
        EXPECT_TRUE(PathExists(current + "Pelmoradrv.DLL")) << c.what;
        EXPECT_EQ(c.systemDirKnown, PathExists(wow64Dll)) << c.what;
    }
}

}

// A 32-bit uninstaller on 64-bit Windows works on the real system directories: the native DLL
// decides the outcome and is reported with the path the user knows (System32), the 32-bit copy
// goes with it, and afterwards System32 is redirected again for this 32-bit process.
TEST_F(SequenceTest, UnderWow64TheNativeDllDecidesAndRedirectionIsRestored)
{
    if (!RunsUnderWow64())
        GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
    const std::string nativeDll = "C:\\windows\\sysnative\\Pelmoradrv.DLL";
    const std::string wowDll = "C:\\windows\\syswow64\\Pelmoradrv.DLL";
    const std::string shownDll = "C:\\windows\\system32\\Pelmoradrv.DLL";
    const std::string question = std::string("Q:Problem bei Deinstallation von ") + driver +
                                 ":\nTreiberdatei nicht (mehr) vorhanden:\n  " + shownDll + "\n\nTrotzdem fortfahren?";
    const struct {
        const char* what;
        bool nativePresent;
        bool locked;
        std::vector<int> answers;
        std::vector<std::string> boxes;
        bool uninstalled;
    } cases[] = {
        {"both present", true, false, {IDYES}, {confirmation, finalReport}, true},
        {"native in use", true, true, {IDYES},
         {confirmation, "T:Folgende Datei kann nicht gelöscht werden:\n" + shownDll + "\n\nFehlercode 32:\n*",
          std::string("I:Fehler bei Deinstallation von ") + driver +
              ":\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  " + shownDll},
         false},
        {"native missing", false, false, {IDYES, IDNO}, {confirmation, question}, false},
    };
    const std::string fakeProductDir = productDir;
    for (const auto& c : cases) {
        if (&c != &cases[0]) {
            TearDown();
            SetUp();
        }
        dll = nativeDll;
        DeleteFileA(nativeDll.c_str());
        ASSERT_TRUE(!c.nativePresent || MakeFile(nativeDll, 4096)) << GetLastError();
        ASSERT_TRUE(MakeFile(wowDll, 4096)) << GetLastError();
        const HANDLE holder = c.locked ? CreateFileA(nativeDll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, 0, nullptr)
                                       : INVALID_HANDLE_VALUE;
        isWow64 = true;
        ResolveInstallDirs(productFolderName);
        strcpy(productDir, fakeProductDir.c_str());
        Run(c.answers);
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        ExpectBoxes(c.boxes);
        if (c.uninstalled) {
            ExpectUninstalled();
        } else {
            EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << c.what;
            EXPECT_EQ(c.nativePresent, PathExists(nativeDll)) << c.what;
        }
        EXPECT_EQ(!c.uninstalled, PathExists(wowDll)) << c.what;

        const std::string after = "C:\\windows\\system32\\pelmora-after.txt";
        EXPECT_TRUE(MakeFile(after, 0));
        EXPECT_TRUE(PathExists("C:\\windows\\syswow64\\pelmora-after.txt")) << c.what;
        EXPECT_FALSE(PathExists("C:\\windows\\sysnative\\pelmora-after.txt")) << c.what;
        DeleteFileA(after.c_str());
        DeleteFileA(nativeDll.c_str());
        DeleteFileA(wowDll.c_str());
    }
}
