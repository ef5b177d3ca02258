// Test tool: records how it was started. Writes its command line and its current directory, one
// per line, to the file named by the environment variable LAUNCH_RECORD_FILE, and exits 0
// (1 when it cannot write the record).
#include <windows.h>

#include <stdio.h>

int main()
{
    char path[MAX_PATH];
    char directory[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("LAUNCH_RECORD_FILE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || GetCurrentDirectoryA(MAX_PATH, directory) == 0)
        return 1;
    FILE* record = fopen(path, "wb");
    if (record == nullptr)
        return 1;
    fprintf(record, "%s\n%s\n", GetCommandLineA(), directory);
    return fclose(record) == 0 ? 0 : 1;
}
