// Test DLL: stands in for Windows' input.dll, which Wine lacks. Tests copy it under that name
// into the system directory (or beside a program, where it must not be loaded).
//
// InstallLayoutOrTip(name, flags) appends one line to the file named by PELMORA_INPUT_RECORD:
//   <this DLL's path>|<name>|<flags in hex>|catalogue <0/1>|value <0/1>|file <0/1>
// telling whether the catalogue key of the name's layout, the value `name` in the user's list
// of the name's language and this DLL's own file were there when it was called. A WOW64 caller
// with redirection off sees the native System32 instead, where the file is not. Then it acts
// as PELMORA_INPUT_MODE says: "delete" deletes that value as Windows does, and the language
// too when it has no value left, and returns TRUE; "leave" returns TRUE and leaves it; anything
// else returns FALSE.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this DLL's own module

namespace {

bool KeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS &&
           RegCloseKey(key) == ERROR_SUCCESS;
}

}

extern "C" __declspec(dllexport) BOOL WINAPI InstallLayoutOrTip(LPCWSTR name, DWORD flags)
{
    // "LLLL:KLID": the language's subkey in the user's lists, and the layout's catalogue key.
    wchar_t language[LOCALE_NAME_MAX_LENGTH] = L"";
    LCIDToLocaleName(wcstoul(name, nullptr, 16), language, LOCALE_NAME_MAX_LENGTH, 0);
    wchar_t languageKey[MAX_PATH];
    wchar_t catalogueKey[MAX_PATH];
    swprintf(languageKey, MAX_PATH, L"Control Panel\\International\\User Profile\\%ls", language);
    swprintf(catalogueKey, MAX_PATH, L"System\\CurrentControlSet\\Control\\Keyboard Layouts\\%ls",
             wcslen(name) > 5 ? name + 5 : L"");
    DWORD type = 0;
    const bool valueThere = RegGetValueW(HKEY_CURRENT_USER, languageKey, name, RRF_RT_ANY, &type, nullptr, nullptr) ==
                            ERROR_SUCCESS;

    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), module, MAX_PATH);
    wchar_t recordPath[MAX_PATH] = L"";
    wchar_t mode[16] = L"";
    GetEnvironmentVariableW(L"PELMORA_INPUT_RECORD", recordPath, MAX_PATH);
    GetEnvironmentVariableW(L"PELMORA_INPUT_MODE", mode, 16);
    char line[4 * MAX_PATH];
    const int length = snprintf(line, sizeof(line), "%ls|%ls|%lx|catalogue %d|value %d|file %d\n", module, name,
                                flags, KeyExists(catalogueKey), valueThere,
                                GetFileAttributesW(module) != INVALID_FILE_ATTRIBUTES);
    const HANDLE record = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(record, line, length, &written, nullptr);
    CloseHandle(record);

    if (wcscmp(mode, L"delete") == 0) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, languageKey, name);
        DWORD values = 1;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, languageKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
        }
        if (values == 0)
            RegDeleteKeyW(HKEY_CURRENT_USER, languageKey);
    }
    return wcscmp(mode, L"delete") == 0 || wcscmp(mode, L"leave") == 0;
}
