#include "uninstall/sequence.h"

#include <shlobj.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fs/fileops.h"
#include "fs/privatedir.h"
#include "fs/shell.h"
#include "kblayout/layouts.h"
#include "registry/hives.h"
#include "shell/environment.h"
#include "shell/startup.h"
#include "support.h"
#include "text/msgbox.h"
#include "uninstall/invocation.h"
#include "uninstall/otherusers.h"
#include "uninstall/product.h"

namespace {

typedef std::vector<std::string> Boxes;

const char product[] = "a0010407";
const std::string driver = "Pelmora AltGrLinks (V3.04)";
const std::string uninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string catalogue = "System\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const char preloadPath[] = "Keyboard Layout\\Preload";
const char substitutesPath[] = "Keyboard Layout\\Substitutes";
const char sessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const std::string profile = userProfilePath;
const char systemInputDll[] = "C:\\windows\\system32\\input.dll";  // in SysWOW64 for a WOW64 process

const std::string confirmation = "Q:Soll folgender Tastatur-Treiber deinstalliert werden?\n\n" + driver;
const std::string finalReport = "I:Folgender Tastatur-Treiber wurde deinstalliert:\n" + driver;
const std::string atRestart = finalReport + "\n\nDie Treiberdatei wird beim nächsten Neustart von Windows gelöscht.";
const std::string warning = "I:Warnung bei Deinstallation von " + driver + ":\n";
const std::string removed = "dll lists languages layout shortcut folder entry ";  // as Gone() lists them

std::string MissingDll(const std::string& path)
{
    return "Q:Problem bei Deinstallation von " + driver + ":\nTreiberdatei nicht (mehr) vorhanden:\n  " + path +
           "\n\nTrotzdem fortfahren?";
}

Boxes DllInUse(const std::string& path, const char* error)
{
    return {confirmation, "T:Folgende Datei kann nicht gelöscht werden:\n" + path + "\n\nFehlercode " + error,
            "I:Fehler bei Deinstallation von " + driver +
                ":\nFolgende Treiberdatei konnte nicht gelöscht werden:\n  " + path};
}

// Each box as "Q:" (Yes and No), "I:" (information), "W:" (warning) or "T:" (a file operation's
// report) and its text, answered from `answers`, then OK; `whileAsked` runs before the first answer.
Boxes shown;
std::vector<int> answers;
std::function<void()> whileAsked;

// Boxes and the shell need System32 redirected: off, they may load a DLL's 64-bit build.
void ExpectRedirected(const char* where)
{
    if (RunsUnderWow64()) {
        EXPECT_TRUE(System32Redirected()) << where;
    }
}

void CheckStep(const char* format, ...)
{
    ExpectRedirected(format);
}

int AnswerBox(HWND, const char* text, const char* caption, UINT type)
{
    ExpectRedirected(text);
    if (whileAsked && type == (MB_YESNO | MB_ICONQUESTION)) {
        whileAsked();
        whileAsked = nullptr;
    }
    const bool report = strcmp(caption, "Tastaturtreiber-Deinstallation") == 0;
    EXPECT_TRUE(report || strcmp(caption, "Uninstall_Pelmoradrv") == 0) << caption;
    const char* kind = type == (MB_YESNO | MB_ICONQUESTION) ? "Q:"
                       : type == MB_ICONINFORMATION         ? "I:"
                       : type != MB_ICONEXCLAMATION         ? "?:"
                       : report                             ? "T:"
                                                            : "W:";
    shown.push_back(kind + std::string(text));
    return shown.size() <= answers.size() ? answers[shown.size() - 1] : IDOK;
}

bool Matches(const char* pattern, const char* text)
{
    if (*pattern == '*')
        return Matches(pattern + 1, text) || (*text != '\0' && Matches(pattern, text + 1));
    return *pattern == *text && (*text == '\0' || Matches(pattern + 1, text + 1));
}

// A '*' leaves open what varies: the system's text, a random name.
void ExpectBoxes(const Boxes& expected, const std::string& what)
{
    ASSERT_EQ(expected.size(), shown.size()) << what << testing::PrintToString(shown);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(Matches(expected[i].c_str(), shown[i].c_str())) << what << " " << expected[i] << "\n" << shown[i];
}

// The user's language lists: "\\language\\value" = data, User Profile's own values as "\\value".
RegistryValues LanguageLists()
{
    RegistryValues lists;
    for (const std::string language : {"", "\\de-CH", "\\de-DE", "\\en-US"})
        for (const auto& value : ReadRegistryValues(HKEY_CURRENT_USER, profile + language))
            lists[language + "\\" + value.first] = value.second;
    return lists;
}

// Only a WOW64 process can switch redirection off; elsewhere the switch fails.
bool RedirectionSwitches()
{
    PVOID token = nullptr;
    if (!Wow64DisableWow64FsRedirection(&token))
        return false;
    Wow64RevertWow64FsRedirection(token);
    return true;
}

bool ProductValue(const std::pair<const std::string, std::string>& value)
{
    return value.first == "\\de-CH\\0807:A0010407" || value.first == "\\de-DE\\0407:A0010407" ||
           (value.first == "\\InputMethodOverride" && value.second == "0407:A0010407");
}

class SequenceTest : public ::testing::Test {
protected:
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::vector<int> answers;
        Boxes boxes;
        std::string gone;  // as Gone() lists it
        std::string calls = "";  // what the recording input.dll wrote
        std::string pending = "";  // the deletions left to the next restart, one path a line
    };

    void SetUp() override
    {
        // The restart's list is never sandboxed: the system writes it by its full name.
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManager, 0, READ_CONTROL | WRITE_DAC, &sessionKey);
        pendingBefore = ReadPendingRenames();
        DWORD size = sizeof(sessionAccess);
        ASSERT_EQ(ERROR_SUCCESS, RegGetKeySecurity(sessionKey, DACL_SECURITY_INFORMATION, sessionAccess, &size));
        OpenRegistrySandbox();
        base = FreshDirectory("sequence-tests");
        strcpy(systemDir, (base + "system32\\").c_str());
        strcpy(wow64SystemDir, (base + "syswow64\\").c_str());
        strcpy(productDir, (base + "Pelmora-Tastatur").c_str());
        for (const char* directory : {systemDir, wow64SystemDir, productDir})
            CreateDirectoryA(directory, nullptr);
        const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
        dll = std::string(systemDir) + driverDllFileName;
        wow64Dll = std::string(wow64SystemDir) + driverDllFileName;
        shortcut = desktop + "Tastaturbelegung Pelmora Schaubild.LNK";
        desktopShortcut = std::wstring(shortcut.begin(), shortcut.end());
        otherFile = desktop + "Notizen.txt";
        for (const std::string& file : {dll, wow64Dll, shortcut, otherFile, Helper(uninstallerCopyName),
                                        Helper(chartPdfFileName), Helper(chartIconFileName)})
            ASSERT_TRUE(MakeFile(file, 100));
        WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, {{"1", "00000407"}, {"2", "d0010407"}});
        WriteRegistryValues(HKEY_CURRENT_USER, substitutesPath, {{"d0010407", product}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + "00000407", {{"Layout File", "KBDGR.DLL"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, catalogue + product, {{"Layout File", driverDllFileName}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, uninstallList + uninstallEntryName, {{"UninstallString", "x"}});
        WriteRegistryValues(HKEY_LOCAL_MACHINE, uninstallList + "Anderes Programm", {{"DisplayName", "Anderes"}});
        // The product's layout in two languages and as the default; names that only look alike.
        WriteRegistryValues(HKEY_CURRENT_USER, profile,
                            {{"Languages", "de-DE"}, {"InputMethodOverride", "0407:A0010407"}});
        WriteRegistryValues(HKEY_CURRENT_USER, profile + "\\de-CH", {{"0807:A0010407", "1"}});
        WriteRegistryValues(HKEY_CURRENT_USER, profile + "\\de-DE",
                            {{"0407:A0010407", "1"}, {"0407:00000407", "1"}, {"CachedLanguageName", "@x,-1110"},
                             {"0407:A00104079", "1"}, {"G407:A0010407", "1"}, {"0407-A0010407", "1"},
                             {"00407:A0010407", "1"}});
        WriteRegistryValues(HKEY_CURRENT_USER, profile + "\\en-US", {{"0409:00000409", "1"}});
        calls = ScratchFile("input-calls.txt");
        SetEnvironmentVariableA("PELMORA_INPUT_RECORD", calls.c_str());
        strcpy(layoutKey, product);
        strcpy(programName, "Uninstall_Pelmoradrv");
        keptPreload = {{"1", "00000407"}};
        whileAsked = nullptr;
        shown.clear();
        useMessageHook = true;
        messageHook = AnswerBox;
        statusHook = CheckStep;
    }
    void TearDown() override
    {
        isWow64 = false;
        Release();
        RegSetKeySecurity(sessionKey, DACL_SECURITY_INFORMATION, sessionAccess);
        RegCloseKey(sessionKey);
        // The refused keys first: the sandbox goes only as a whole.
        RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (catalogue + product + "\\gesperrt").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (uninstallList + uninstallEntryName + "\\gesperrt").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, (profile + "\\en-US").c_str());
        CloseRegistrySandbox();
        for (const std::string& dll : {std::string(systemInputDll), BuiltProgramPath("input.dll")})
            DeleteFileA(dll.c_str());
        // Out of the real registry, or Wine deletes the files at its next start: what was there before
        // goes back. The new entries are pairs of a file and its new name, empty for a deletion.
        const std::wstring added = ReadPendingRenames().substr(pendingBefore.size());
        WritePendingRenames(pendingBefore);
        pendingDeletion.clear();
        for (const wchar_t* entry = added.c_str(); *entry != L'\0'; entry += wcslen(entry) + 1) {
            pendingDeletion += std::string(entry, entry + wcslen(entry)) + "\n";
            entry += wcslen(entry) + 1;
        }
        RemoveDirectoryTree(base);
        for (const std::string& file : {dll, wow64Dll, dll + ".1.del", wow64Dll + ".1.del", shortcut, otherFile}) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
    }
    static void Rewrite(HKEY root, const std::string& path, const RegistryValues& values)
    {
        RegDeleteTreeA(root, path.c_str());
        WriteRegistryValues(root, path, values);
    }
    std::string Helper(const char* name) const
    {
        return std::string(productDir) + "\\" + name;
    }
    void Hold(const std::string& path)
    {
        holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // Mapped as an image, as Windows maps a layout's DLL: it cannot be deleted, but renamed.
    void Map(const std::string& path)
    {
        ASSERT_TRUE(CopyFileA(BuiltProgramPath("recordinput.dll").c_str(), path.c_str(), FALSE)) << path;
        mapped.push_back(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_NE(nullptr, mapped.back()) << GetLastError();
    }
    void Release()
    {
        CloseHandle(holder);
        holder = nullptr;
        for (const HMODULE module : mapped)
            FreeLibrary(module);
        mapped.clear();
    }
    // The system may read its restart list, and nobody may write it.
    void RefuseScheduling()
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KR;;;WD)(A;;WD;;;WD)", SDDL_REVISION_1,
                                                             &descriptor, nullptr);
        RegSetKeySecurity(sessionKey, DACL_SECURITY_INFORMATION, descriptor);
        LocalFree(descriptor);
    }
    // The product's pieces that are gone; "others" when anything that is not the product's went.
    std::string Gone() const
    {
        RegistryValues languages = LanguageLists();
        const std::pair<const char*, bool> pieces[] = {
            {"dll ", !PathExists(dll)},
            {"lists ", ReadRegistryValues(HKEY_CURRENT_USER, preloadPath) == keptPreload &&
                           ReadRegistryValues(HKEY_CURRENT_USER, substitutesPath).count("d0010407") == 0},
            {"languages ", std::none_of(languages.begin(), languages.end(), ProductValue)},
            {"layout ", !RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + product)},
            {"shortcut ", GetFileAttributesW(desktopShortcut.c_str()) == INVALID_FILE_ATTRIBUTES},
            {"folder ", !PathExists(productDir)},
            {"entry ", !RegistryKeyExists(HKEY_LOCAL_MACHINE, uninstallList + uninstallEntryName)},
            {"wow64-dll ", !PathExists(wow64Dll)},
            {"others ", !RegistryKeyExists(HKEY_LOCAL_MACHINE, uninstallList + "Anderes Programm") ||
                            !RegistryKeyExists(HKEY_LOCAL_MACHINE, catalogue + "00000407") || !PathExists(otherFile) ||
                            std::any_of(languagesBefore.begin(), languagesBefore.end(),
                                        [&](const std::pair<const std::string, std::string>& value) {
                                            return !ProductValue(value) && languages[value.first] != value.second;
                                        })},
        };
        std::string gone;
        for (const auto& piece : pieces)
            gone += piece.second ? piece.first : "";
        return gone;
    }
    void RunCases(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            c.prepare();
            languagesBefore = LanguageLists();
            answers = c.answers;
            const HKEY next = NextKeyHandle();
            EXPECT_FALSE(RunUninstall()) << c.what;
            EXPECT_EQ(next, NextKeyHandle()) << c.what << ": a key left open";
            Release();
            ExpectBoxes(c.boxes, c.what);
            EXPECT_EQ(c.gone, Gone()) << c.what;
            EXPECT_EQ(c.calls, ReadWholeFile(calls)) << c.what;
            EXPECT_EQ(nullptr, GetModuleHandleA("input.dll")) << c.what;
            ExpectRedirected(c.what);
            TearDown();
            EXPECT_EQ(c.pending, pendingDeletion) << c.what;
            SetUp();
        }
    }

    std::string base, dll, wow64Dll, shortcut, otherFile, pendingDeletion, calls;
    std::wstring desktopShortcut;
    std::wstring pendingBefore;
    RegistryValues languagesBefore, keptPreload;
    HANDLE holder = nullptr;
    std::vector<HMODULE> mapped;
    HKEY sessionKey = nullptr;
    alignas(void*) char sessionAccess[1024];
};

TEST_F(SequenceTest, EachAnswerAndEachFailureEndsAsItShould)
{
    const std::string refusal = "W:Der Registry-Key des zu deinstallierenden Tastaturtreibers ";
    const std::string pdf = Helper(chartPdfFileName);
    RunCases({
        {"another file", [] { Rewrite(HKEY_LOCAL_MACHINE, catalogue + product, {{"Layout File", "A.DLL"}}); }, {},
         {refusal + "enthält eine andere*"}, ""},
        {"the only layout, in two entries",
         [] { Rewrite(HKEY_CURRENT_USER, preloadPath, {{"1", "d0010407"}, {"2", "A0010407"}}); }, {},
         {"W:In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit als einzig*"}, ""},
        {"no such layout", [] { strcpy(layoutKey, "b0090407"); }, {},
         {refusal + "wurde nicht gefunden.\nTreiber: " + driver + "\nKey: b0090407\nDLL: Pelmoradrv.DLL"}, ""},
        {"Substitutes refused", [] { WriteRefusedKey(HKEY_CURRENT_USER, substitutesPath); }, {},
         {"W:Fehler beim Öffnen des Registry-Keys HKEY_CURRENT_USER\\Keyboard Layout\\Substitutes"}, ""},
        {"no", [] {}, {IDNO}, {confirmation, "I:Deinstallation abgebrochen."}, ""},
        {"a layout added meanwhile",
         [this] {
             whileAsked = [] { WriteRegistryValues(HKEY_CURRENT_USER, preloadPath, {{"3", "00000409"}}); };
             keptPreload = {{"1", "00000407"}, {"2", "00000409"}};
         },
         {IDYES}, {confirmation, finalReport}, removed},
        {"the driver file named in other letter case, no Substitutes, the layout in no list but one other, no "
         "shortcut, another default input method",
         [this] {
             DeleteFileA(shortcut.c_str());
             WriteRegistryValues(HKEY_CURRENT_USER, profile, {{"InputMethodOverride", "0409:00000409"}});
             RegDeleteKeyA(HKEY_CURRENT_USER, substitutesPath);
             Rewrite(HKEY_CURRENT_USER, preloadPath, {{"1", "00000409"}});
             Rewrite(HKEY_LOCAL_MACHINE, catalogue + product, {{"Layout File", "PELMORADRV.dll"}});
         },
         {IDYES}, {confirmation, finalReport}, "dll languages layout shortcut folder entry "},
        {"driver file missing, yes, no language lists",
         [this] {
             DeleteFileA(dll.c_str());
             RegDeleteTreeA(HKEY_CURRENT_USER, profile.c_str());
         },
         {IDYES, IDYES}, {confirmation, MissingDll(dll), finalReport}, removed},
        // A DLL in use goes at the next restart; renamed, its name is free at once.
        {"driver file open without shared deletion", [this] { Hold(dll); }, {IDYES}, {confirmation, atRestart},
         removed.substr(4), "", "\\??\\" + dll + "\n"},
        {"driver file mapped, the first name aside taken",
         [this] {
             Map(dll);
             MakeFile(dll + ".1.del", 1);
         },
         {IDYES}, {confirmation, atRestart}, removed, "", "\\??\\" + dll + ".2.del\n"},
        {"driver file mapped, no restart list to write",
         [this] {
             Map(dll);
             RefuseScheduling();
         },
         {IDYES}, DllInUse(dll, "5:\n*"), ""},
        {"a desktop outside the code page, beside its look-alike",
         [this] {
             const std::wstring desktop = std::wstring(base.begin(), base.end()) + L"Do\u011Fan";
             ASSERT_TRUE(CreateDirectoryW(desktop.c_str(), nullptr) && CreateDirectoryA((base + "Dogan").c_str(), nullptr));
             ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER,
                                                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                                      L"Desktop", REG_SZ, desktop.c_str(), 2 * desktop.size() + 2));
             desktopShortcut = desktop + L"\\Tastaturbelegung Pelmora Schaubild.LNK";
             CloseHandle(CreateFileW(desktopShortcut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
             otherFile = base + "Dogan\\Tastaturbelegung Pelmora Schaubild.LNK";
             ASSERT_TRUE(MakeFile(otherFile, 1));
         },
         {IDYES}, {confirmation, finalReport}, removed},
        // Outside WOW64 the switch-off fails: the native DLL cannot be told from the 32-bit one.
        {"the default layout, and the WOW64 copy",
         [] {
             Rewrite(HKEY_CURRENT_USER, preloadPath, {{"1", "d0010407"}, {"2", "00000407"}});
             isWow64 = true;
         },
         {IDYES}, RedirectionSwitches() ? Boxes{confirmation, finalReport} : DllInUse(dll, "*"),
         RedirectionSwitches() ? removed + "wow64-dll " : ""},
        // After the driver file every failure is a warning, and the rest goes on.
        {"warnings",
         [&] {
             WriteReadOnlyKey(HKEY_CURRENT_USER, preloadPath);
             WriteReadOnlyKey(HKEY_CURRENT_USER, profile + "\\de-CH");
             WriteRefusedKey(HKEY_CURRENT_USER, profile + "\\en-US");
             WriteRefusedKey(HKEY_LOCAL_MACHINE, catalogue + product + "\\gesperrt");
             WriteRefusedKey(HKEY_LOCAL_MACHINE, uninstallList + uninstallEntryName + "\\gesperrt");
             for (const std::string& file : {shortcut, pdf})
                 SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
             MakeFile(Helper("fremd.txt"), 1);
         },
         {IDYES},
         {confirmation,
          warning + "Problem bei Registry-Key-Update:\n  Warnung:\nFehler beim Öffnen des Registry-Keys "
                    "HKEY_CURRENT_USER\\Keyboard Layout\\Preload",
          warning + "Problem bei Registry-Key-Update:\n  Warnung:\nFehler beim Öffnen des Registry-Keys "
                    "HKEY_CURRENT_USER\\" + profile + "\\en-US\nFehler beim Löschen des Registry-Werts "
                    "HKEY_CURRENT_USER\\" + profile + "\\de-CH - 0807:A0010407",
          "W:Warnung:\nFehler beim Löschen des Registry-Keys " + catalogue.substr(0, catalogue.size() - 1) +
              " - a0010407",
          "T:Folgende Datei kann nicht gelöscht werden:\n" + shortcut + "\n\nFehlercode 5:\n*",
          warning + "Folgende Hilfsdatei konnte nicht gelöscht werden:\n  " + shortcut,
          "T:Folgende Datei kann nicht gelöscht werden:\n" + pdf + "\n\nFehlercode 5:\n*",
          warning + "Folgende Hilfsdatei konnte nicht gelöscht werden:\n  " + pdf,
          "T:Folgendes Verzeichnis kann nicht gelöscht werden:\n" + std::string(productDir) + "\n\nFehlercode 145:\n*",
          warning + "Folgendes Hilfsverzeichnis konnte nicht entfernt werden*",
          warning + "Folgender Eintrag in der Liste der installierten Programme konnte nicht entfernt werden:\n  "
                    "HKEY_LOCAL_MACHINE\\" + uninstallList + uninstallEntryName,
          finalReport},
         "dll "},
    });
}

// Each value goes through the system directory's input.dll first (never one beside the program;
// under WOW64 with redirection on), while the catalogue still has the layout; what it leaves goes.
TEST_F(SequenceTest, LanguageListsGoThroughWindowsFirst)
{
    const auto prepare = [] {
        for (const std::string& copy : {std::string(systemInputDll), BuiltProgramPath("input.dll")})
            ASSERT_TRUE(CopyFileA(BuiltProgramPath("recordinput.dll").c_str(), copy.c_str(), FALSE)) << copy;
        isWow64 = RunsUnderWow64();
    };
    // Windows deletes the value (and the language left without values), leaves it, or fails.
    for (const char* mode : {"delete", "leave", "fail"}) {
        SetEnvironmentVariableA("PELMORA_INPUT_MODE", mode);
        RunCases({{mode, prepare, {IDYES}, {confirmation, finalReport},
                   removed + (RunsUnderWow64() ? "wow64-dll " : ""),
                   systemInputDll + std::string("|0807:A0010407|1|catalogue 1|value 1|file 1\n") + systemInputDll +
                       "|0407:A0010407|1|catalogue 1|value 1|file 1\n"}});
    }
}

// Under WOW64 the native DLL decides, shown as in System32; the 32-bit copy goes with it.
TEST_F(SequenceTest, UnderWow64TheNativeDllDecides)
{
    if (!RunsUnderWow64())
        GTEST_SKIP() << "needs a 32-bit process on 64-bit Windows";
    const std::string shownDll = "C:\\windows\\system32\\Pelmoradrv.DLL";
    // Switched off twice, redirection is on again after one revert.
    isWow64 = true;
    DisableFsRedirection();
    DisableFsRedirection();
    RevertFsRedirection();
    ExpectRedirected("after a second switch-off");
    const auto real = [this](bool native, char use) {
        return [this, native, use] {
            dll = "C:\\windows\\sysnative\\Pelmoradrv.DLL";
            wow64Dll = "C:\\windows\\syswow64\\Pelmoradrv.DLL";
            ASSERT_TRUE((!native || MakeFile(dll, 100)) && MakeFile(wow64Dll, 100));
            if (use == 'h')
                Hold(dll);
            if (use == 'm')
                Map(dll);
            if (use == 'm' || use == 'w')
                Map(wow64Dll);
            const std::string folder = productDir;
            isWow64 = true;
            ResolveInstallDirs(productFolderName);
            strcpy(productDir, folder.c_str());
        };
    };
    RunCases({
        {"both present", real(true, ' '), {IDYES}, {confirmation, finalReport}, removed + "wow64-dll "},
        {"native open without shared deletion", real(true, 'h'), {IDYES}, {confirmation, atRestart},
         removed.substr(4) + "wow64-dll ", "", "\\??\\" + shownDll + "\n"},
        {"both mapped", real(true, 'm'), {IDYES}, {confirmation, atRestart}, removed + "wow64-dll ", "",
         "\\??\\" + shownDll + ".1.del\n\\??\\C:\\windows\\syswow64\\Pelmoradrv.DLL.1.del\n"},
        {"the 32-bit copy mapped", real(true, 'w'), {IDYES}, {confirmation, atRestart}, removed + "wow64-dll ", "",
         "\\??\\C:\\windows\\syswow64\\Pelmoradrv.DLL.1.del\n"},
        {"native missing", real(false, ' '), {IDYES, IDNO}, {confirmation, MissingDll(shownDll)}, "dll "},
    });
}


// The copy knows itself, and leaves itself for the restart, only in a folder of its own in the
// Windows directory's Temp that an administrator owns. Elsewhere the program relocates: a copy
// that cannot start (a DLL stands in for the program) or a folder swapped before it is opened
// starts nothing and leaves no folder behind.
TEST_F(SequenceTest, TheCopyKnowsItselfOnlyInItsOwnFolder)
{
    const std::string temp = "C:\\windows\\Temp\\";
    const std::string own = temp + "Pelmora-0123456789ABCDEF\\";
    const std::string module = own + "recordinput.dll";
    ASSERT_TRUE(CreateDirectoryA(own.c_str(), nullptr) &&
                CopyFileA(BuiltProgramPath("recordinput.dll").c_str(), module.c_str(), FALSE));
    const HINSTANCE inOwn = LoadLibraryExA(module.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    const HINSTANCE savedInstance = appInstance;
    const Boxes noFolder = {"T:Im folgenden Verzeichnis kann kein Unterverzeichnis angelegt werden:\n" + temp + "*",
                            "W:Deinstallationsprogramm kann nicht in ein temporäres Verzeichnis kopiert werden*"};
    const struct {
        HINSTANCE program;
        const char* owner;  // of every folder, as the system would report it
        void (*swap)(const char* path);
        Boxes boxes;
    } cases[] = {
        {inOwn, nullptr, nullptr, {}},
        {inOwn, "S-1-5-21-1-2-3-1001", nullptr, noFolder},
        {GetModuleHandleA("kernel32.dll"), nullptr, nullptr,
         {"W:Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: " + temp + "Pelmora-*",
          "W:Deinstallationsprogramm kann Kopie im temporären Verzeichnis nicht starten*"}},
        {GetModuleHandleA("kernel32.dll"), nullptr,
         [](const char* path) { RemoveDirectoryA(path) && MakeFile(std::string(path, strlen(path) - 1), 1); },
         noFolder},
    };
    for (const auto& c : cases) {
        PSID owner = nullptr;
        ASSERT_TRUE(c.owner == nullptr || ConvertStringSidToSidA(c.owner, &owner));
        testFolderOwner = owner;
        testFolderMade = c.swap;
        appInstance = c.program;
        argCount = 1;
        strcpy(argTable[0], "d0010407");
        EXPECT_EQ(c.boxes.empty(), CheckInvocation());
        ScheduleCopyRemoval();
        testFolderOwner = nullptr;
        testFolderMade = nullptr;
        LocalFree(owner);
        ExpectBoxes(c.boxes, module);
        // No folder but the test's own; what a swap left goes.
        int folders = 0;
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((temp + "Pelmora-*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !DeleteFileA((temp + found.cFileName).c_str()))
                ++folders;
        }
        FindClose(search);
        EXPECT_EQ(1, folders);
        TearDown();
        const std::string restart = "\\??\\" + module + "\n\\??\\" + own.substr(0, own.size() - 1) + "\n";
        EXPECT_EQ(0, _stricmp((c.boxes.empty() ? restart : "").c_str(), pendingDeletion.c_str())) << pendingDeletion;
        SetUp();
    }
    appInstance = savedInstance;
    FreeLibrary(inOwn);
    EXPECT_TRUE(DeleteFileA(module.c_str()) && RemoveDirectoryA(own.c_str()));
}

// Other users: hives loaded below HKEY_USERS under made-up SIDs (they last while the Wine server
// runs), and profiles that are not loaded, whose hive files the sandbox's profile list names.
const std::string otherUser = "S-1-5-21-7-7-7-1001";
const std::string profileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const std::string listPaths[] = {preloadPath, substitutesPath, profile, profile + "\\de-CH", profile + "\\de-DE"};
typedef std::vector<RegistryValues> UserLists;  // in the order of listPaths; empty ones not written
const UserLists withProduct = {{{"1", "00000407"}, {"2", "d0010407"}}, {{"d0010407", "a0010407"}},
                               {{"InputMethodOverride", "0407:A0010407"}}, {},
                               {{"0407:A0010407", "1"}, {"0407:00000407", "1"}}};
// Twice the product, "1" in another language and not first.
const UserLists productOnly = {{{"02", "d0010407"}, {"1", "d0010807"}}, {{"d0010407", "a0010407"}, {"d0010807", "a0010407"}},
                               {}, {{"0807:A0010407", "1"}}};

std::string Lists(HKEY root, const std::string& base)
{
    std::string lists;
    for (const std::string& path : listPaths) {
        for (const auto& value : ReadRegistryValues(root, base + path))
            lists += value.first + "=" + value.second + " ";
        lists += "| ";
    }
    return lists;
}

void WriteLists(HKEY root, const std::string& base, const UserLists& lists)
{
    for (size_t i = 0; i < lists.size(); ++i)
        if (!lists[i].empty())
            WriteRegistryValues(root, base + listPaths[i], lists[i]);
}

std::vector<std::string> seenAtUnload;

class OtherUsersTest : public SequenceTest {
protected:
    void SetUp() override
    {
        SequenceTest::SetUp();
        profiles = FreshDirectory("profiles");
        signInHadLayouts = RegistryKeyExists(HKEY_USERS, ".DEFAULT\\Keyboard Layout");
        for (int i = 0; i < 2; ++i)
            signInLists[i] = ReadRegistryValues(HKEY_USERS, ".DEFAULT\\" + listPaths[i]);
        seenAtUnload.clear();
        beforeHiveUnload = [] { seenAtUnload.push_back(Lists(HKEY_USERS, profileHiveKeyName + std::string("\\"))); };
        // The running user has no entry of the layout, so the boxes are those of every uninstall.
        Rewrite(HKEY_CURRENT_USER, preloadPath, {{"1", "00000407"}, {"2", "00000409"}});
    }
    void TearDown() override
    {
        beforeHiveUnload = nullptr;
        RegUnLoadKeyA(HKEY_USERS, profileHiveKeyName);
        for (const std::string& key : {otherUser, otherUser + "_Classes"})
            RegDeleteTreeA(HKEY_USERS, key.c_str());
        // The sign-in screen's lists as they were, also when a crash left the test's in them.
        if (!signInHadLayouts)
            RegDeleteTreeA(HKEY_USERS, ".DEFAULT\\Keyboard Layout");
        for (int i = 0; i < 2 && signInHadLayouts; ++i) {
            RegDeleteTreeA(HKEY_USERS, (".DEFAULT\\" + listPaths[i]).c_str());
            if (signInLists[i].count("<missing>") == 0)
                WriteRegistryValues(HKEY_USERS, ".DEFAULT\\" + listPaths[i], signInLists[i]);
        }
        SequenceTest::TearDown();
        RemoveDirectoryTree(profiles);
    }
    // A profile whose hive is not loaded, in the folder `name` below profiles, named by the
    // profile list as `sid` or as its "Default"; without lists, its hive file is damaged.
    void SaveProfile(const std::string& sid, const std::string& name, const UserLists& lists)
    {
        const std::string folder = profiles + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        if (sid == "Default")
            WriteRegistryValues(HKEY_LOCAL_MACHINE, profileList, {{"Default", folder}});
        else
            WriteRegistryValues(HKEY_LOCAL_MACHINE, profileList + "\\" + sid, {{"ProfileImagePath", folder}});
        if (lists.empty()) {
            MakeFile(folder + "\\NTUSER.DAT", 100);
            return;
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, "Vorlage");
        WriteLists(HKEY_CURRENT_USER, "Vorlage\\", lists);
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Vorlage", 0, KEY_READ, &key);
        EXPECT_TRUE(EnableHivePrivileges());
        EXPECT_EQ(ERROR_SUCCESS, RegSaveKeyA(key, (folder + "\\NTUSER.DAT").c_str(), nullptr));
        RegCloseKey(key);
    }
    std::string profiles;
    bool signInHadLayouts = false;
    RegistryValues signInLists[2];
};

// Loaded or not, each user loses the layout; one whose only layout it was keeps its language's
// standard layout, and a profile that cannot be loaded is named while the others are edited.
TEST_F(OtherUsersTest, EveryUserLosesTheLayout)
{
    const std::string edited = "1=00000407 | | | <missing>= | 0407:00000407=1 | ";
    const std::string signInEdited = "1=00000407 | | <missing>= | <missing>= | <missing>= | ";
    for (const bool damaged : {false, true}) {
        for (const std::string& key : {otherUser, otherUser + "_Classes"})
            WriteLists(HKEY_USERS, key + "\\", withProduct);
        const std::string before = Lists(HKEY_USERS, otherUser + "\\");
        for (int i = 0; i < 2; ++i)
            Rewrite(HKEY_USERS, ".DEFAULT\\" + listPaths[i], withProduct[i]);
        SaveProfile("S-1-5-21-7-7-7-1002", "anna", damaged ? UserLists() : productOnly);
        if (damaged) {  // and a profile without its folder, a loaded one that refuses, no Default profile
            WriteRegistryValues(HKEY_LOCAL_MACHINE, profileList + "\\S-1-5-21-7-7-7-1000", {});
            WriteReadOnlyKey(HKEY_USERS, otherUser + "\\" + preloadPath);
            WriteRegistryValues(HKEY_LOCAL_MACHINE, profileList, {{"ProfilesDirectory", profiles}});
        } else {
            SaveProfile("Default", "Default", withProduct);
        }
        answers = {IDYES};
        const HKEY next = NextKeyHandle();
        EXPECT_FALSE(RunUninstall());
        EXPECT_EQ(next, NextKeyHandle()) << "a key left open";
        Boxes boxes = {confirmation, finalReport};
        if (damaged)
            boxes.insert(boxes.begin() + 1,
                         warning + "Problem bei Registry-Key-Update weiterer Benutzer:\n  HKEY_USERS\\" + otherUser +
                             ": Fehler beim Öffnen des Registry-Keys HKEY_USERS\\" + otherUser + "\\" + preloadPath +
                             "\n  HKEY_LOCAL_MACHINE\\" + profileList + "\\S-1-5-21-7-7-7-1000: Profil kann nicht "
                             "geladen werden: Fehlercode 2:\n*\n  " + profiles + "anna\\NTUSER.DAT: Profil kann nicht "
                             "geladen werden: Fehlercode 1017:\nKeine Registrierungsdatei.");
        ExpectBoxes(boxes, "");
        // Refused, Preload and Substitutes stay; the language lists do not.
        EXPECT_EQ(damaged ? "1=00000407 2=d0010407 | d0010407=a0010407 " + edited.substr(edited.find("| |") + 2) : edited,
                  Lists(HKEY_USERS, otherUser + "\\"));
        EXPECT_EQ(before, Lists(HKEY_USERS, otherUser + "_Classes\\"));
        EXPECT_EQ(signInEdited, Lists(HKEY_USERS, ".DEFAULT\\"));
        const std::vector<std::string> seen = {"1=00000807 | | | | <missing>= | ", edited};
        EXPECT_EQ(damaged ? std::vector<std::string>() : seen, seenAtUnload);
        EXPECT_FALSE(RegistryKeyExists(HKEY_USERS, profileHiveKeyName));
        TearDown();
        SetUp();
    }
}
}
