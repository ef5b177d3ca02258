#include "uninstall/sequence.h"

#include <shlobj.h>

#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "shell/environment.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"
#include "uninstall/invocation.h"
#include "uninstall/product.h"

namespace {

typedef RegistryValues Values;
typedef std::vector<std::string> Boxes;

const char product[] = "a0010407";
const char driver[] = "Pelmora AltGrLinks (V3.04)";
const char entryPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tastaturbelegung Pelmora AltGrLinks (V3.04)";
const char otherEntryPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Anderes Programm";
const std::string catalogue = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";

// Boxes as "Q:", "I:", "W:" (the program's caption) or "T:" (a file operation's report), then
// the text; the hook answers from `answers` in order.
Boxes shown;
std::vector<int> answers;

int AnswerBox(HWND, const char* text, const char* caption, UINT type)
{
    const bool report = strcmp(caption, "Tastaturtreiber-Deinstallation") == 0;
    EXPECT_TRUE(report || strcmp(caption, "Uninstall_Pelmoradrv") == 0) << caption;
    EXPECT_TRUE(type == (MB_YESNO | MB_ICONQUESTION) || type == MB_ICONINFORMATION || type == MB_ICONEXCLAMATION);
    const char* kind = type == (MB_YESNO | MB_ICONQUESTION) ? "Q:" : type == MB_ICONINFORMATION ? "I:" : report ? "T:" : "W:";
    shown.push_back(kind + std::string(text));
    const int answer = answers.empty() ? IDOK : answers.front();
    if (!answers.empty())
        answers.erase(answers.begin());
    return answer;
}

// A report of a file operation ends in the system's text: a box expected with a final '*'
// needs only to start so.
void ExpectBoxes(const Boxes& expected, const std::string& what)
{
    ASSERT_EQ(expected.size(), shown.size()) << what << testing::PrintToString(shown);
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string& box = expected[i];
        const bool prefix = !box.empty() && box.back() == '*';
        EXPECT_EQ(prefix ? box.substr(0, box.size() - 1) : box, prefix ? shown[i].substr(0, box.size() - 1) : shown[i])
            << what << " " << i;
    }
}

// The sources of the pending renames, taken out of the prefix's real registry so that the
// test program is not deleted at the next start of Wine.
std::vector<std::string> TakePendingDeletions()
{
    std::vector<std::string> paths;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
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

const std::string confirmation = std::string("Q:Soll folgender Tastatur-Treiber deinstalliert werden?\n\n") + driver;
const std::string finalReport = std::string("I:Folgender Tastatur-Treiber wurde deinstalliert:\n") + driver;
const std::string problem = std::string("Q:Problem bei Deinstallation von ") + driver + ":\n";
const std::string warning = std::string("I:Warnung bei Deinstallation von ") + driver + ":\n";

std::string MissingDll(const std::string& path)
{
    return problem + "Treiberdatei nicht (mehr) vorhanden:\n  " + path + "\n\nTrotzdem fortfahren?";
}

Boxes DllInUse(const std::string& path)
{
    return {confirmation, "T:Folgende Datei kann nicht gelöscht werden:\n" + path + "\n\nFehlercode 32:\n*",
            std::string("I:Fehler bei Deinstallation von ") + driver +
                ":\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  " + path};
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
        for (const char* directory : {systemDir, wow64SystemDir, productDir})
            CreateDirectoryA(directory, nullptr);
        dll = std::string(systemDir) + "Pelmoradrv.DLL";
        wow64Dll = std::string(wow64SystemDir) + "Pelmoradrv.DLL";
        ASSERT_TRUE(MakeFile(dll, 4096));
        for (const char* name : {uninstallerCopyName, chartPdfFileName, chartIconFileName})
            ASSERT_TRUE(MakeFile(std::string(productDir) + "\\" + name, 100));
        char desktop[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop));
        shortcut = std::string(desktop) + "\\Tastaturbelegung Pelmora Schaubild.LNK";
        otherDesktopFile = std::string(desktop) + "\\Notizen.txt";
        ASSERT_TRUE(MakeFile(shortcut, 10) && MakeFile(otherDesktopFile, 10));

        WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, {{"1", "00000407"}, {"2", "d0010407"}});
        WriteRegistryValues(HKEY_CURRENT_USER, substitutesPath, {{"d0010407", product}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "00000407", {{"Layout File", "KBDGR.DLL"}});
        SetLayout({{"Layout File", "Pelmoradrv.DLL"}, {"Layout Text", "Deutsch (Pelmora)"}});
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
    static void SetLayout(const Values& values)
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (catalogue + product).c_str());
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + product, values);
    }
    static void SetPreload(const Values& values)
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, preloadPath);
        WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, values);
    }
    void Run(const std::vector<int>& given, const Boxes& boxes, const std::string& what)
    {
        shown.clear();
        answers = given;
        EXPECT_FALSE(RunUninstall()) << what;
        ExpectBoxes(boxes, what);
    }
    void ExpectNothingChanged(const std::string& what)
    {
        EXPECT_EQ((Values{{"1", "00000407"}, {"2", "d0010407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath));
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + product)) << what;
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << what;
        EXPECT_TRUE(PathExists(shortcut) && PathExists(std::string(productDir) + "\\" + uninstallerCopyName)) << what;
    }
    void ExpectUninstalled(const std::string& what)
    {
        EXPECT_FALSE(PathExists(dll)) << what;
        EXPECT_EQ((Values{{"1", "00000407"}}), ReadRegistryValues(HKEY_CURRENT_USER, preloadPath)) << what;
        EXPECT_EQ(Values(), ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath)) << what;
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + product)) << what;
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + "00000407")) << what;
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << what;
        EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, otherEntryPath)) << what;
        EXPECT_FALSE(PathExists(shortcut)) << what;
        EXPECT_TRUE(PathExists(otherDesktopFile)) << what;
    }

    std::string base;
    std::string dll;
    std::string wow64Dll;
    std::string shortcut;
    std::string otherDesktopFile;
};

TEST_F(SequenceTest, UninstallsEverythingAfterTheUsersYes)
{
    Run({IDYES}, {confirmation, finalReport}, "yes");
    ExpectUninstalled("yes");
    EXPECT_FALSE(PathExists(productDir));
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    CloseRegistrySandbox();
    EXPECT_EQ(std::vector<std::string>{std::string("\\??\\") + self}, TakePendingDeletions())
        << "the running program, to be deleted at the next start";
}

TEST_F(SequenceTest, RefusesBeforeAskingWhenTheInstallationIsNotWhatItShouldBe)
{
    const std::string keyLines = std::string("\nTreiber: ") + driver + "\nKey: a0010407\nDLL: Pelmoradrv.DLL";
    const std::string keyText = "W:Der Registry-Key des zu deinstallierenden Tastaturtreibers ";
    const struct {
        const char* what;
        std::function<void()> prepare;
        std::string warning;
    } cases[] = {
        {"no driver file named", [] { SetLayout({{"Layout Text", "x"}}); },
         keyText + "enthält keine Treiberdatei-Angabe." + keyLines},
        {"another driver file", [] { SetLayout({{"Layout File", "Fremd.DLL"}}); },
         keyText + "enthält eine andere Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus "
                   "Sicherheitsgründen wird daher die Deinstallation jetzt nicht durchgeführt.\nTreiber: " +
             driver + "\nKey: a0010407\nDLL bei Installation: Pelmoradrv.DLL\nDLL jetzt: Fremd.DLL"},
        {"the only layout", [] { SetPreload({{"1", "d0010407"}}); },
         "W:In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig "
         "auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie die "
         "hier gewählte deinstallieren."},
        {"no such layout", [] { strcpy(layoutKey, "b0090407"); },
         keyText + "wurde nicht gefunden.\nTreiber: " + driver + "\nKey: b0090407\nDLL: Pelmoradrv.DLL"},
        // A Substitutes key that cannot be read; a missing one is an empty list.
        {"Substitutes refused",
         [] {
             RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
             WriteRefusedKey(HKEY_CURRENT_USER, substitutesPath);
         },
         "W:Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"},
    };
    for (const auto& c : cases) {
        c.prepare();
        Run({}, {c.warning}, c.what);
        EXPECT_TRUE(PathExists(dll) && RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << c.what;
        RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
        TearDown();
        SetUp();
    }
}

TEST_F(SequenceTest, EachAnswerAndEachFailureEndsAsItShould)
{
    const std::string pdf = std::string(productDir) + "\\" + chartPdfFileName;
    HANDLE holder = INVALID_HANDLE_VALUE;
    // A system directory that the system could not name leaves the DLL's bare name, which would
    // reach a file of that name in the current directory: the DLL counts as missing there instead.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    const std::string current = base + "aktuell\\";
    const auto fromCurrent = [&](char* unknownDir) {
        CreateDirectoryA(current.c_str(), nullptr);
        MakeFile(current + "Pelmoradrv.DLL", 4096);
        MakeFile(wow64Dll, 4096);
        unknownDir[0] = '\0';
        isWow64 = true;
        SetCurrentDirectoryA(current.c_str());
    };
    const struct {
        const char* what;
        std::function<void()> prepare;
        std::vector<int> answers;
        Boxes boxes;
        bool uninstalled;
    } cases[] = {
        {"no at the confirmation", [] {}, {IDNO}, {confirmation, "I:Deinstallation abgebrochen."}, false},
        {"driver file named in other letter case", [] { SetLayout({{"Layout File", "PELMORADRV.dll"}}); }, {IDYES},
         {confirmation, finalReport}, true},
        {"driver file missing, no", [this] { DeleteFileA(dll.c_str()); }, {IDYES, IDNO},
         {confirmation, MissingDll(dll)}, false},
        {"driver file missing, yes", [this] { DeleteFileA(dll.c_str()); }, {IDYES, IDYES},
         {confirmation, MissingDll(dll), finalReport}, true},
        {"driver file in use",
         [&] {
             holder = CreateFileA(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         {IDYES}, DllInUse(dll), false},
        {"default layout and the WOW64 copy",
         [this] {
             SetPreload({{"1", "d0010407"}, {"2", "00000407"}});
             isWow64 = true;
             MakeFile(wow64Dll, 4096);
         },
         {IDYES}, {confirmation, finalReport}, true},
        {"system directory unknown",
         [&] {
             fromCurrent(systemDir);
             DeleteFileA(dll.c_str());
         },
         {IDYES, IDYES}, {confirmation, MissingDll("Pelmoradrv.DLL"), finalReport}, true},
        {"WOW64 system directory unknown", [&] { fromCurrent(wow64SystemDir); }, {IDYES}, {confirmation, finalReport},
         true},
        // Leftovers in the product folder and a catalogue key that will not go are warnings only.
        {"leftovers",
         [&] {
             SetFileAttributesA(pdf.c_str(), FILE_ATTRIBUTE_READONLY);
             MakeFile(std::string(productDir) + "\\fremd.txt", 1);
             WriteRefusedKey(HKEY_LOCAL_MACHINE, catalogue + product + "\\gesperrt");
         },
         {IDYES},
         {confirmation,
          "W:Warnung:\nFehler beim Löschen des Registry-Keys System\\CurrentControlSet\\Control\\Keyboard Layouts - "
          "a0010407",
          "T:Folgende Datei kann nicht gelöscht werden:\n" + pdf + "\n\nFehlercode 5:\n*",
          warning + "Folgende Hilfsdatei konnte nicht gelöscht werden:\n  " + pdf,
          std::string("T:Folgendes Verzeichnis kann nicht gelöscht werden:\n") + productDir + "\n\nFehlercode 145:\n*",
          warning + "Folgendes Hilfsverzeichnis konnte nicht entfernt werden (möglicherweise ist es nicht leer):\n  " +
              productDir,
          finalReport},
         false},
    };
    for (const auto& c : cases) {
        c.prepare();
        Run(c.answers, c.boxes, c.what);
        SetCurrentDirectoryA(previous);
        EXPECT_TRUE(!PathExists(current) || PathExists(current + "Pelmoradrv.DLL")) << c.what;
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
        if (c.uninstalled) {
            ExpectUninstalled(c.what);
            EXPECT_EQ(wow64SystemDir[0] == '\0', PathExists(wow64Dll)) << c.what;
        } else if (shown.back() == finalReport) {
            EXPECT_FALSE(PathExists(dll) || PathExists(std::string(productDir) + "\\" + uninstallerCopyName));
            EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath));
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, (catalogue + product + "\\gesperrt").c_str());
        } else {
            ExpectNothingChanged(c.what);
        }
        TearDown();
        SetUp();
    }
}

// Whether this WOW64 process sees System32 redirected: a file made there lands in SysWOW64.
bool System32Redirected()
{
    MakeFile("C:\\windows\\system32\\pelmora-probe.txt", 0);
    const bool redirected = PathExists("C:\\windows\\syswow64\\pelmora-probe.txt");
    DeleteFileA("C:\\windows\\system32\\pelmora-probe.txt");
    DeleteFileA("C:\\windows\\syswow64\\pelmora-probe.txt");
    return redirected;
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
    const struct {
        const char* what;
        bool nativePresent;
        bool locked;
        std::vector<int> answers;
        Boxes boxes;
    } cases[] = {
        {"both present", true, false, {IDYES}, {confirmation, finalReport}},
        {"native in use", true, true, {IDYES}, DllInUse(shownDll)},
        {"native missing", false, false, {IDYES, IDNO}, {confirmation, MissingDll(shownDll)}},
    };
    const std::string fakeProductDir = productDir;
    for (const auto& c : cases) {
        const bool uninstalled = c.boxes.back() == finalReport;
        dll = nativeDll;
        DeleteFileA(nativeDll.c_str());
        ASSERT_TRUE((!c.nativePresent || MakeFile(nativeDll, 4096)) && MakeFile(wowDll, 4096)) << GetLastError();
        const HANDLE holder = c.locked ? CreateFileA(nativeDll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, 0, nullptr)
                                       : INVALID_HANDLE_VALUE;
        isWow64 = true;
        ResolveInstallDirs(productFolderName);
        strcpy(productDir, fakeProductDir.c_str());
        Run(c.answers, c.boxes, c.what);
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        if (uninstalled)
            ExpectUninstalled(c.what);
        EXPECT_NE(uninstalled, RegistryKeyExists(HKEY_LOCAL_MACHINE, entryPath)) << c.what;
        EXPECT_EQ(c.nativePresent && !uninstalled, PathExists(nativeDll)) << c.what;
        EXPECT_EQ(!uninstalled, PathExists(wowDll)) << c.what;
        EXPECT_TRUE(System32Redirected()) << c.what;
        DeleteFileA(nativeDll.c_str());
        DeleteFileA(wowDll.c_str());
        TearDown();
        SetUp();
    }
}

// The installed uninstaller hands over to a copy of itself in the temporary directory; the copy
// knows itself by that folder in any letter case. Every refusal on the way leaves System32
// redirected again.
TEST_F(SequenceTest, InvocationMovesToTheTemporaryDirectoryOrSaysWhyNot)
{
    char savedTmp[MAX_PATH] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH));
    const HINSTANCE savedInstance = appInstance;
    std::string ownFolder = BuiltProgramPath("");
    std::string upperFolder = ownFolder;
    CharUpperBuffA(&upperFolder[0], upperFolder.size());
    const std::string start = "W:Deinstallationsprogramm kann ";
    // A DLL copies well and cannot be started.
    const HINSTANCE library = GetModuleHandleA("kernel32.dll");
    const struct {
        std::string tmp;
        HINSTANCE module;
        bool isCopy;
        Boxes boxes;
    } cases[] = {
        {ownFolder, nullptr, true, {}},
        {upperFolder, nullptr, true, {}},
        {base + "fehlt\\", library, false,
         {"T:Kopieren einer Datei fehlgeschlagen.\n\nQuelle: *",
          start + "nicht in ein temporäres Verzeichnis kopiert werden, um sein Original löschen zu können"}},
        {base, library, false,
         {"W:Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: " + base + "kernel32.dll*",
          start + "Kopie im temporären Verzeichnis nicht starten, um sein Original löschen zu können"}},
    };
    for (const auto& c : cases) {
        SetEnvironmentVariableA("TMP", c.tmp.c_str());
        appInstance = c.module;
        argCount = 1;
        strcpy(argTable[0], "d0010407");
        shown.clear();
        isWow64 = RunsUnderWow64();
        EXPECT_EQ(c.isCopy, CheckInvocation()) << c.tmp;
        SetEnvironmentVariableA("TMP", savedTmp);
        appInstance = savedInstance;
        ExpectBoxes(c.boxes, c.tmp);
        if (isWow64) {
            EXPECT_NE(c.isCopy, System32Redirected()) << c.tmp;
        }
        if (c.isCopy) {
            EXPECT_STREQ("Uninstall_Pelmoradrv V3.04 - Tastaturtreiber-Deinstallation", windowTitle);
            RevertFsRedirection();
        }
    }
}

}
