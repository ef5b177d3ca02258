#include "text/paths.h"

#include <string.h>
#include <wchar.h>

#include "text/convert.h"

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

char* AddPathSeparator(char* path)
{
    const size_t length = strlen(path);
    if (length > 0 && IsPathSeparator(path[length - 1]))
        return path;
    if (length + 2 > static_cast<size_t>(pathCapacity))
        return path;
    path[length] = '\\';
    path[length + 1] = '\0';
    return path;
}

char* RemovePathSeparator(char* path)
{
    const size_t length = strlen(path);
    if (length == 0)
        return path;
    if (length > 1 && path[length - 2] == ':')
        return path;
    if (IsPathSeparator(path[length - 1]))
        path[length - 1] = '\0';
    return path;
}

bool ComposePath(char* path, const char* directory, const char* name)
{
    const int length = CopyText(path, 2 * pathCapacity, directory);
    CopyText(path + length, 2 * pathCapacity - length, name);
    return strlen(path) < static_cast<size_t>(pathCapacity);
}

bool AnsiDirForm(char* path, const WCHAR* wide)
{
    WCHAR back[pathCapacity];
    if (WideToAnsi(path, wide, pathCapacity) > 0 && AnsiToWide(back, path, pathCapacity) > 0 &&
        wcscmp(back, wide) == 0 && IsPathSeparator(AddPathSeparator(path)[strlen(path) - 1]))
        return true;
    path[0] = '\0';
    return false;
}
