#include "registry/registry.h"

#include <string.h>

#include "text/convert.h"

char regKeyName[regNameCapacity];
char regValueName[regNameCapacity];
char regValueData[regDataCapacity + 1];
LONG regStatus;
REGSAM regView;
int regFailingWrite;

namespace {

// True for the write that the test hook makes fail.
bool WriteRefused()
{
    return regFailingWrite > 0 && --regFailingWrite == 0;
}

HKEY OpenKey(HKEY parent, const char* path, REGSAM access)
{
    HKEY key = nullptr;
    regStatus = RegOpenKeyExA(parent, path, 0, access | regView, &key);
    return regStatus == ERROR_SUCCESS ? key : nullptr;
}

}

bool SetStringValue(HKEY key, const char* valueName, const char* text)
{
    return !WriteRefused() &&
           RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), strlen(text) + 1) ==
               ERROR_SUCCESS;
}

HKEY CreateKey(HKEY parent, const char* path, const char* defaultText)
{
    HKEY key = nullptr;
    char noClass[] = "";
    regStatus = WriteRefused() ? ERROR_ACCESS_DENIED
                               : RegCreateKeyExA(parent, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS | regView, nullptr, &key, nullptr);
    if (regStatus != ERROR_SUCCESS)
        return nullptr;
    if (defaultText != nullptr)
        SetStringValue(key, nullptr, defaultText);
    return key;
}

bool DeleteValue(HKEY key, const char* valueName)
{
    regStatus = WriteRefused() ? ERROR_ACCESS_DENIED : RegDeleteValueA(key, valueName);
    return regStatus == ERROR_SUCCESS;
}

bool ReadTextValue(HKEY key, const char* valueName)
{
    memset(regValueData, 0, sizeof(regValueData));
    DWORD type = REG_NONE;
    DWORD size = regDataCapacity;
    return RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(regValueData), &size) ==
               ERROR_SUCCESS &&
           type == REG_SZ;
}

HKEY OpenKeyWrite(HKEY parent, const char* path)
{
    return OpenKey(parent, path, KEY_ALL_ACCESS);
}

HKEY OpenKeyRead(HKEY parent, const char* path)
{
    return OpenKey(parent, path, KEY_READ);
}

int CountSubkeys(HKEY key)
{
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    return static_cast<int>(count);
}

int CountValues(HKEY key)
{
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    return static_cast<int>(count);
}

bool EnumSubkey(HKEY key, int index)
{
    DWORD size = regNameCapacity;
    return RegEnumKeyExA(key, index, regKeyName, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool EnumValue(HKEY key, int index)
{
    memset(regValueName, 0, sizeof(regValueName));
    memset(regValueData, 0, sizeof(regValueData));
    DWORD nameSize = regNameCapacity;
    DWORD dataSize = regDataCapacity;
    return RegEnumValueA(key, index, regValueName, &nameSize, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(regValueData), &dataSize) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY parent, const char* name)
{
    if (name[0] == '\0')
        return false;
    const HKEY key = OpenKeyWrite(parent, name);
    if (key == nullptr)
        return false;
    bool deleted = true;
    // From the highest index down, so that deleting a subkey moves none still to be visited.
    for (int index = CountSubkeys(key) - 1; index >= 0; --index) {
        if (!EnumSubkey(key, index)) {
            deleted = false;
            continue;
        }
        char subkey[regNameCapacity];
        CopyText(subkey, regNameCapacity, regKeyName);
        if (!DeleteKeyTree(key, subkey))
            deleted = false;
    }
    RegCloseKey(key);
    // Callers take false as "still there" and warn: so must a key that refused to go.
    if (WriteRefused() || RegDeleteKeyExA(parent, name, regView, 0) != ERROR_SUCCESS)
        deleted = false;
    return deleted;
}
