// Helpers shared by the test suites: the test tools next to the test program, and files.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// Full path of a program built next to the tests ("Uninstall_Pelmoradrv.exe", "boxdriver.exe").
std::string BuiltProgramPath(const char* fileName);

// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Waits up to `milliseconds` for the file to exist with at least `lines` line feeds in it.
bool WaitForFileLines(const std::string& path, int lines, DWORD milliseconds);

// A scratch file path in the test prefix's temporary directory, deleted first.
std::string ScratchFile(const char* name);

// The message-box driver running in its own process, answering boxes in order.
struct BoxDriver {
    HANDLE process;
    std::string recordPath;
};

// Starts boxdriver.exe with answers such as "YES" or "OK NO"; the process is null on failure.
BoxDriver StartBoxDriver(const char* answers);

// Waits for the driver to end; returns its records, or "" with a test failure when it did not
// end in time or ended with an error.
std::string FinishBoxDriver(BoxDriver& driver);

// Maps HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process to fresh scratch keys below the
// prefix's real HKEY_CURRENT_USER; CloseRegistrySandbox maps them back and deletes the scratch.
void OpenRegistrySandbox();
void CloseRegistrySandbox();

// True when a file or directory of that path exists.
bool PathExists(const std::string& path);

// A fresh, empty directory in the prefix's temporary directory, with a trailing backslash.
std::string FreshDirectory(const char* name);

// Removes a directory tree with plain system calls, read-only entries included.
void RemoveDirectoryTree(const std::string& directory);

// Creates a file of `size` bytes (sparse where the file system allows) with the attributes.
bool MakeFile(const std::string& path, DWORD size, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

typedef std::map<std::string, std::string> RegistryValues;

// Creates root\path and stores the values as REG_SZ; `view` may name a registry view
// (KEY_WOW64_64KEY, KEY_WOW64_32KEY).
void WriteRegistryValues(HKEY root, const std::string& path, const RegistryValues& values, REGSAM view = 0);

// Every value of root\path read with the plain registry calls; {"<missing>", ""} without the key.
RegistryValues ReadRegistryValues(HKEY root, const std::string& path);

bool RegistryKeyExists(HKEY root, const std::string& path, REGSAM view = 0);

// Creates root\path (no subkeys) with an empty access list, so that opening it is refused
// (ERROR_ACCESS_DENIED); RegDeleteKeyA still removes it.
void WriteRefusedKey(HKEY root, const std::string& path);

// True when this process is a 32-bit process on 64-bit Windows, as the system reports it.
bool RunsUnderWow64();

// Ends every process of that file name (a program that a failed test left waiting for an
// answer, say); returns how many there were.
int EndProcessesNamed(const char* fileName);
