#include "registry/hives.h"

#include <sddl.h>

#include "registry/registry.h"
#include "text/convert.h"

namespace {

// The token's user: a TOKEN_USER record followed by the SID it points to.
union TokenUserBuffer {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

// Both privileges at once: TOKEN_PRIVILEGES declares room for one.
struct HivePrivileges {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[2];
};

}

void ReadCurrentUserKeyName(char* name)
{
    name[0] = '\0';
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    TokenUserBuffer buffer;
    DWORD size = 0;
    char* text = nullptr;
    const bool read = GetTokenInformation(token, TokenUser, &buffer, sizeof(buffer), &size) &&
                      ConvertSidToStringSidA(buffer.user.User.Sid, &text);
    CloseHandle(token);
    if (read) {
        CopyText(name, regNameCapacity, text);
        LocalFree(text);
    }
}

bool EnableHivePrivileges()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        regStatus = static_cast<LONG>(GetLastError());
        return false;
    }
    HivePrivileges privileges = {2, {{{0, 0}, SE_PRIVILEGE_ENABLED}, {{0, 0}, SE_PRIVILEGE_ENABLED}}};
    // Without a privilege the call still succeeds, enabling only what the token holds.
    const bool enabled =
        LookupPrivilegeValueA(nullptr, SE_BACKUP_NAME, &privileges.Privileges[0].Luid) &&
        LookupPrivilegeValueA(nullptr, SE_RESTORE_NAME, &privileges.Privileges[1].Luid) &&
        AdjustTokenPrivileges(token, FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&privileges), 0, nullptr, nullptr) &&
        GetLastError() == ERROR_SUCCESS;
    regStatus = enabled ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
    CloseHandle(token);
    return enabled;
}

bool LoadHive(const char* name, const char* file)
{
    regStatus = RegLoadKeyA(HKEY_USERS, name, file);
    return regStatus == ERROR_SUCCESS;
}

bool UnloadHive(const char* name)
{
    regStatus = RegUnLoadKeyA(HKEY_USERS, name);
    return regStatus == ERROR_SUCCESS;
}

bool ReadPathValue(HKEY key, const char* valueName)
{
    char raw[MAX_PATH] = "";
    DWORD type = REG_NONE;
    DWORD size = MAX_PATH - 1;  // the last byte stays zero
    regStatus = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(raw), &size);
    if (regStatus != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        if (regStatus == ERROR_SUCCESS || regStatus == ERROR_MORE_DATA)
            regStatus = ERROR_BAD_PATHNAME;
        return false;
    }
    if (type == REG_SZ) {
        CopyText(regValueData, MAX_PATH, raw);
        return true;
    }
    const DWORD expanded = ExpandEnvironmentStringsA(raw, regValueData, MAX_PATH);
    if (expanded == 0 || expanded > MAX_PATH) {
        regStatus = ERROR_BAD_PATHNAME;
        return false;
    }
    return true;
}
