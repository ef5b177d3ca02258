// Users' hives below HKEY_USERS: which one is the running user's, and a profile's hive file
// loaded for a while under a key of its own.
//
// Loading and unloading need the backup and restore privileges, which an administrator holds
// but must enable first. Every failure leaves its code in regStatus (registry/registry.h).
#pragma once

#include <windows.h>

// The running user's key below HKEY_USERS, its SID as text ("S-1-5-21-..."), into `name`
// (regNameCapacity bytes); empty when the process's token does not tell.
void ReadCurrentUserKeyName(char* name);

// Enables the backup and restore privileges in the process's token; false when it lacks them.
bool EnableHivePrivileges();

// Loads the hive file `file` as HKEY_USERS\`name`; false when it cannot (the file is missing,
// in use or damaged, or the privileges are not enabled).
bool LoadHive(const char* name, const char* file);

// Unloads HKEY_USERS\`name`; false when it stays loaded (a key below it still open, say).
bool UnloadHive(const char* name);

// Reads the path value `valueName` of `key` (REG_SZ, or REG_EXPAND_SZ with the environment's
// variables expanded) into regValueData, terminated; false when it is missing, of another type
// or longer than MAX_PATH - 1 bytes.
bool ReadPathValue(HKEY key, const char* valueName);
