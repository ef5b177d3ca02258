// Benchmark tool: the layout module on the largest state its tables admit (100 Preload values,
// 100 Substitutes, 100 German catalogue keys) against reading the same keys with bare registry
// calls. Works in scratch keys below HKEY_CURRENT_USER\Software\LayoutBench, mapped in for
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, and deletes them at the end.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "kblayout/layouts.h"

namespace {

const char scratch[] = "Software\\LayoutBench";
const char cataloguePath[] = "System\\CurrentControlSet\\Control\\Keyboard Layouts";
const int entries = 100;
const int rounds = 15;

void SetValue(HKEY key, const char* name, const char* data)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), strlen(data) + 1);
}

HKEY Create(HKEY root, const char* path)
{
    HKEY key = nullptr;
    RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

void WriteState()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Keyboard Layout");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, cataloguePath);
    const HKEY preloadKey = Create(HKEY_CURRENT_USER, "Keyboard Layout\\Preload");
    const HKEY substitutesKey = Create(HKEY_CURRENT_USER, "Keyboard Layout\\Substitutes");
    const HKEY catalogue = Create(HKEY_LOCAL_MACHINE, cataloguePath);
    for (int i = 1; i <= entries; ++i) {
        char name[16];
        char substitute[16];
        char layout[16];
        wsprintfA(name, "%d", i);
        wsprintfA(substitute, "d%03x0407", i);
        wsprintfA(layout, "a%03x0407", i);
        SetValue(preloadKey, name, substitute);
        SetValue(substitutesKey, substitute, layout);
        const HKEY layoutKey = Create(catalogue, layout);
        SetValue(layoutKey, "Layout File", i == 1 ? "Pelmoradrv.DLL" : "KBDBENCH.DLL");
        SetValue(layoutKey, "Layout Text", "Deutsch (Messung)");
        char id[16];
        wsprintfA(id, "%04x", 0xc00 + i);
        SetValue(layoutKey, "Layout Id", id);
        RegCloseKey(layoutKey);
    }
    RegCloseKey(preloadKey);
    RegCloseKey(substitutesKey);
    RegCloseKey(catalogue);
}

// Reads every value of `key`, as the snapshot does, and counts them.
int ReadValues(HKEY key)
{
    char name[MAX_PATH];
    BYTE data[MAX_PATH];
    int count = 0;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = MAX_PATH;
        DWORD dataSize = MAX_PATH;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, data, &dataSize) != ERROR_SUCCESS)
            return count;
        ++count;
    }
}

int BareReads()
{
    HKEY key = nullptr;
    int count = 0;
    for (const char* path : {"Keyboard Layout\\Preload", "Keyboard Layout\\Substitutes"}) {
        RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
        count += ReadValues(key);
        RegCloseKey(key);
    }
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, cataloguePath, 0, KEY_READ, &key);
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = MAX_PATH;
        if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY layoutKey = nullptr;
        RegOpenKeyExA(key, name, 0, KEY_READ, &layoutKey);
        count += ReadValues(layoutKey);
        RegCloseKey(layoutKey);
    }
    RegCloseKey(key);
    return count;
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}

int main()
{
    const HKEY user = Create(HKEY_CURRENT_USER, "Software\\LayoutBench\\User");
    const HKEY machine = Create(HKEY_CURRENT_USER, "Software\\LayoutBench\\Machine");
    RegOverridePredefKey(HKEY_CURRENT_USER, user);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
    strcpy(layoutKey, "a0010407");

    std::vector<double> bare;
    std::vector<double> load;
    std::vector<double> edited;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        WriteState();
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        ok = BareReads() == 2 * entries + 3 * entries;
        QueryPerformanceCounter(&t1);
        ok = ok && LoadLayoutRegistry();
        QueryPerformanceCounter(&t2);
        ok = ok && RemoveUserLayout() && WriteUserLayoutLists() && newpreloadcount == entries - 1;
        QueryPerformanceCounter(&t3);
        bare.push_back(Milliseconds(t0, t1));
        load.push_back(Milliseconds(t1, t2));
        edited.push_back(Milliseconds(t1, t3));
    }

    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(user);
    RegCloseKey(machine);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch);
    RegDeleteKeyA(HKEY_CURRENT_USER, scratch);
    if (!ok) {
        fprintf(stderr, "layoutbench: the layout module did not do its work (%s)\n", errorText);
        return 1;
    }
    printf("bare reads of the three lists:                %8.2f ms (median of %d)\n", Median(bare), rounds);
    printf("LoadLayoutRegistry alone:                     %8.2f ms (%.2fx bare reads)\n", Median(load),
           Median(load) / Median(bare));
    printf("LoadLayoutRegistry + RemoveUserLayout + WriteUserLayoutLists: %8.2f ms (%.2fx bare reads)\n",
           Median(edited), Median(edited) / Median(bare));
    return 0;
}
