// Helpers shared by the test suites: the test tools next to the test program, files and the registry.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

std::string BuiltProgramPath(const char* fileName);  // a program built next to the tests
std::string ReadWholeFile(const std::string& path);  // empty when it cannot be read
std::string ScratchFile(const char* name);  // in the prefix's temporary directory, deleted first
// Waits for the process and closes its handle; its exit code, -1 without one, 1 when ended after 20 s.
long WaitForExit(HANDLE process);
long RunProgram(std::string commandLine, const char* directory = nullptr);  // WaitForExit of its start

// For a test that changes the process for good: this test program runs again with `variable` set
// to `value` and only the tests of `filter`; the run's XML report. InChildRun tells the run itself.
std::string RunChild(const char* filter, const char* variable, const char* value);
bool InChildRun(const char* variable);

// boxdriver.exe in its own process, answering real boxes in order ("YES", "OK NO").
struct BoxDriver {
    HANDLE process;  // null when it did not start
    std::string recordPath;
};
BoxDriver StartBoxDriver(const char* answers);
// Waits for the driver; its records, or "" with a test failure when it failed or did not end.
std::string FinishBoxDriver(BoxDriver& driver);

// Maps this process's HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE to fresh scratch keys, and back.
void OpenRegistrySandbox();
void CloseRegistrySandbox();

// A securityHook (fs/access.h) that lets every descriptor through and keeps its owner, if it has
// one, and DACL as "path: O:...D:..." in handedAccess.
extern std::vector<std::string> handedAccess;
bool KeepHandedAccess(const char* path, PSECURITY_DESCRIPTOR descriptor);

bool PathExists(const std::string& path);
std::string ShellFolder(int csidl);  // a shell folder with its final backslash
std::string FreshDirectory(const char* name);  // empty, in the temporary directory; ends in '\'
void RemoveDirectoryTree(const std::string& directory);  // read-only entries included
bool MakeFile(const std::string& path, DWORD size, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

typedef std::map<std::string, std::string> RegistryValues;
// Creates root\path with the values as REG_SZ, in a registry view (KEY_WOW64_64KEY...) if given.
void WriteRegistryValues(HKEY root, const std::string& path, const RegistryValues& values, REGSAM view = 0);
// Every value of root\path; {"<missing>", ""} without the key.
RegistryValues ReadRegistryValues(HKEY root, const std::string& path);
bool RegistryKeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Creates or keeps root\path so that it opens for nothing (RegDeleteKeyA still removes it), or reads.
void WriteRefusedKey(HKEY root, const std::string& path);
void WriteReadOnlyKey(HKEY root, const std::string& path);
// The handle the 32nd of keys opened now gets: Wine hands out the lowest free ones, so a key left
// open below it moves it.
HKEY NextKeyHandle();

// The system's list of renames at the next start (REG_MULTI_SZ: each entry with its zero, not the
// list's final one), never sandboxed; empty when there is none. Written back empty, it is deleted.
std::wstring ReadPendingRenames();
void WritePendingRenames(const std::wstring& list);

bool RunsUnderWow64();  // a 32-bit process on 64-bit Windows
// Whether this WOW64 process sees System32 redirected: a file made there lands in SysWOW64.
bool System32Redirected();
