#include "shell/environment.h"

#include <string.h>

#include "fs/shell.h"
#include "shell/startup.h"
#include "text/convert.h"
#include "text/msgbox.h"
#include "text/paths.h"

int argCount;
WCHAR argTableWide[maxArguments][argumentCapacity];
char argTable[maxArguments][argumentCapacity];
char* cmdLineCopy;
static char emptyText[1];
char* cmdLineTail;

char programDir[MAX_PATH];
char windowTitle[MAX_PATH];

char currentDir[MAX_PATH];
char currentDirAsGiven[MAX_PATH];
char tempDir[MAX_PATH];

bool osIsNT;
bool osVersion5;
bool osVersion51;
bool osVersion6;
bool osVersion61;
bool osVersion4Early;
bool osVersion10;

WCHAR userNameW[MAX_PATH];
char userNameA[MAX_PATH];
char userNameUtf8[utf8NameCapacity];
bool userNameAnsiSafe;
WCHAR netUserNameW[MAX_PATH];
char netUserNameA[MAX_PATH];
char netUserNameUtf8[utf8NameCapacity];
bool netUserNameAnsiSafe;
char netUserNameLower[MAX_PATH];
bool sameUser;

namespace {

// The ANSI form of a UTF-16 text in a heap buffer of its own size; null when it cannot be had.
char* HeapAnsiCopy(const WCHAR* text)
{
    const int needed = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return nullptr;
    // WideToAnsi converts into capacity - 1 bytes and terminates behind that.
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, needed + 1));
    if (copy != nullptr && WideToAnsi(copy, text, needed + 1) == 0) {
        HeapFree(GetProcessHeap(), 0, copy);
        copy = nullptr;
    }
    return copy;
}

void FreeTail()
{
    if (cmdLineTail != nullptr && cmdLineTail != emptyText)
        HeapFree(GetProcessHeap(), 0, cmdLineTail);
    cmdLineTail = emptyText;
}

// Copies one word into `word` (argumentCapacity units) and returns the position behind it. The
// rest of an overlong word is skipped, so the words behind it still split where they should.
const WCHAR* CopyWord(const WCHAR* position, WCHAR* word)
{
    WCHAR end = L' ';
    if (*position == L'"') {
        end = L'"';
        ++position;
    }
    int length = 0;
    for (; *position != L'\0' && *position != end; ++position) {
        if (length < argumentCapacity - 1)
            word[length++] = *position;
    }
    word[length] = L'\0';
    if (end == L'"' && *position == L'"')
        ++position;
    return position;
}

// Directory texts get their trailing separator only when the call filled them.
void FinishDirectory(char* directory, DWORD reported)
{
    if (reported == 0 || reported >= MAX_PATH)
        directory[0] = '\0';
    if (directory[0] != '\0')
        AddPathSeparator(directory);
}

}

void SplitCommandLine(const WCHAR* commandLine)
{
    FreeTail();
    memset(argTableWide, 0, sizeof(argTableWide));
    memset(argTable, 0, sizeof(argTable));

    WCHAR programWord[argumentCapacity];
    int counter = -1;
    const WCHAR* position = commandLine;
    while (*position != L'\0' && counter < maxArguments) {
        position = CopyWord(position, counter < 0 ? programWord : argTableWide[counter]);
        while (*position == L' ')
            ++position;
        ++counter;
        if (counter == 0 && *position != L'\0') {
            char* tail = HeapAnsiCopy(position);
            if (tail != nullptr)
                cmdLineTail = tail;
        }
    }
    argCount = counter < 0 ? 0 : counter;
    for (int i = 0; i < argCount; ++i)
        WideToAnsi(argTable[i], argTableWide[i], argumentCapacity);
}

void SplitProgramPath()
{
    programDir[MAX_PATH - 1] = '\0';
    size_t nameStart = 0;
    for (size_t i = strlen(programDir); i > 0; --i) {
        const char c = programDir[i - 1];
        if (c == ':' || IsPathSeparator(c)) {
            nameStart = i;
            break;
        }
    }
    lstrcpynA(programName, programDir + nameStart, MAX_PATH);
    programDir[nameStart] = '\0';

    // A leading dot (".profile") does not start an extension.
    for (size_t i = strlen(programName); i > 1; --i) {
        if (programName[i - 1] == '.') {
            programName[i - 1] = '\0';
            break;
        }
    }
    lstrcpynA(windowTitle, programName, MAX_PATH);
}

void SetVersionFlags(const OSVERSIONINFOA& version)
{
    const DWORD major = version.dwMajorVersion;
    const DWORD minor = version.dwMinorVersion;
    osIsNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    osVersion61 = (major >= 6 && minor >= 1) || major >= 7;
    osVersion6 = major >= 6;
    osVersion51 = (major >= 5 && minor >= 1) || major >= 6;
    osVersion5 = major >= 5;
    osVersion4Early = major == 4 && minor < 10;
}

void DeriveNameForms(DWORD reportedLength, WCHAR* nameW, char* nameA, char* nameUtf8, bool* ansiSafe)
{
    nameW[reportedLength < MAX_PATH - 1 ? reportedLength : MAX_PATH - 1] = L'\0';
    if (nameW[0] == L'\0' && nameW != userNameW)
        lstrcpynW(nameW, userNameW, MAX_PATH);
    WideToAnsi(nameA, nameW, MAX_PATH);
    WideToUtf8(nameUtf8, nameW, utf8NameCapacity);
    WCHAR roundTrip[MAX_PATH];
    AnsiToWide(roundTrip, nameA, MAX_PATH);
    *ansiSafe = SameTextNoCaseW(roundTrip, nameW);
}

void FreeCommandLineCopies()
{
    FreeTail();
    if (cmdLineCopy != nullptr)
        HeapFree(GetProcessHeap(), 0, cmdLineCopy);
    cmdLineCopy = nullptr;
}

bool ProbeEnvironment()
{
    currentDirAsGiven[0] = '\0';
    const DWORD currentLength = GetCurrentDirectoryA(MAX_PATH, currentDirAsGiven);
    if (currentLength == 0 || currentLength >= MAX_PATH)
        currentDirAsGiven[0] = '\0';
    lstrcpynA(currentDir, currentDirAsGiven, MAX_PATH);
    FinishDirectory(currentDir, currentLength);
    tempDir[0] = '\0';
    FinishDirectory(tempDir, GetTempPathA(MAX_PATH, tempDir));

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    SetVersionFlags(version);

    // GetVersionExA stops at the version the program's manifest declares; VerifyVersionInfoA
    // confirms the real one.
    OSVERSIONINFOEXA wanted = {};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = 10;
    DWORDLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);
    osVersion10 = VerifyVersionInfoA(&wanted,
                                     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR |
                                         VER_SERVICEPACKMINOR,
                                     conditions) != FALSE;

    FreeCommandLineCopies();
    cmdLineCopy = HeapText(GetCommandLineA());
    SplitCommandLine(GetCommandLineW());

    programDir[0] = '\0';
    GetModuleFileNameA(appInstance, programDir, MAX_PATH);
    SplitProgramPath();

    DWORD length = MAX_PATH;
    userNameW[0] = L'\0';
    GetUserNameW(userNameW, &length);
    DeriveNameForms(length, userNameW, userNameA, userNameUtf8, &userNameAnsiSafe);

    // The network provider's DLL is not one that Windows always takes from its system directory:
    // imported, it would be looked for beside the program first.
    length = MAX_PATH;
    netUserNameW[0] = L'\0';
    const HMODULE mpr = LoadSystemDll(L"mpr.dll");
    if (mpr != nullptr) {
        typedef DWORD(WINAPI * WNetGetUserFunction)(LPCWSTR, LPWSTR, LPDWORD);
        const auto getUser =
            reinterpret_cast<WNetGetUserFunction>(reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetUserW")));
        if (getUser != nullptr)
            getUser(nullptr, netUserNameW, &length);
        FreeLibrary(mpr);
    }
    DeriveNameForms(length, netUserNameW, netUserNameA, netUserNameUtf8, &netUserNameAnsiSafe);

    lstrcpynA(netUserNameLower, netUserNameA, MAX_PATH);
    CharLowerA(netUserNameLower);
    sameUser = SameTextNoCaseW(userNameW, netUserNameW);
    return true;
}
