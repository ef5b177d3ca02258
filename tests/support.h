// Helpers shared by the test suites: the test tools next to the test program, files and the registry.
#pragma once

#include <windows.h>

#include <map>
#include <string>

std::string BuiltProgramPath(const char* fileName);  // a program built next to the tests
std::string ReadWholeFile(const std::string& path);  // empty when it cannot be read
// Waits up to `milliseconds` for the file to exist with at least `lines` line feeds in it.
bool WaitForFileLines(const std::string& path, int lines, DWORD milliseconds);
std::string ScratchFile(const char* name);  // in the prefix's temporary directory, deleted first
// Runs a program with the current environment, in `directory` when given; its exit code, -1
// when it could not start, non-zero when it did not end within 20 seconds.
long RunProgram(std::string commandLine, const char* directory = nullptr);

// boxdriver.exe in its own process, answering real boxes in order ("YES", "OK NO").
struct BoxDriver {
    HANDLE process;  // null when it did not start
    std::string recordPath;
};
BoxDriver StartBoxDriver(const char* answers);
// Waits for the driver to end; its records, or "" with a test failure when it did not end in
// time or ended with an error.
std::string FinishBoxDriver(BoxDriver& driver);

// Maps HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process to fresh scratch keys below the
// prefix's real HKEY_CURRENT_USER; CloseRegistrySandbox maps them back and deletes the scratch.
void OpenRegistrySandbox();
void CloseRegistrySandbox();

bool PathExists(const std::string& path);
std::string FreshDirectory(const char* name);  // empty, in the temporary directory; ends in '\'
void RemoveDirectoryTree(const std::string& directory);  // read-only entries included
// Creates a file of `size` bytes (sparse where the file system allows) with the attributes.
bool MakeFile(const std::string& path, DWORD size, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

typedef std::map<std::string, std::string> RegistryValues;
// Creates root\path with the values as REG_SZ, in a registry view (KEY_WOW64_64KEY...) if given.
void WriteRegistryValues(HKEY root, const std::string& path, const RegistryValues& values, REGSAM view = 0);
// Every value of root\path; {"<missing>", ""} without the key.
RegistryValues ReadRegistryValues(HKEY root, const std::string& path);
bool RegistryKeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Creates root\path, or keeps it with its values, so that it opens for nothing (a leaf that
// RegDeleteKeyA still removes) or for reading only.
void WriteRefusedKey(HKEY root, const std::string& path);
void WriteReadOnlyKey(HKEY root, const std::string& path);
// The handle a key opened now gets. Wine hands out the lowest free one, so a key that an
// operation leaves open shows as another handle afterwards.
HKEY NextKeyHandle();

bool RunsUnderWow64();  // a 32-bit process on 64-bit Windows
// Whether this WOW64 process sees System32 redirected: a file made there lands in SysWOW64.
bool System32Redirected();
