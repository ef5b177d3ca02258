// Directory paths as the program keeps them: zero-terminated ANSI texts in buffers of
// `pathCapacity` bytes. The backslash and the slash both count as separators.
#pragma once

#include <windows.h>

const int pathCapacity = MAX_PATH;

// Makes `path` (a buffer of pathCapacity bytes) end in a separator so that a name can be
// appended: an empty path becomes "\", a drive alone gets its backslash. A path with no room
// left for the backslash is left as it is. Returns `path`.
char* AddPathSeparator(char* path);

// Removes one trailing separator, except from a drive root such as "C:\". Returns `path`.
char* RemovePathSeparator(char* path);

// True for the backslash and the slash.
bool IsPathSeparator(char c);

// `directory` immediately followed by `name` in `path`, a buffer of 2 * pathCapacity bytes, so
// that even a path too long to use can still be shown whole. True when it fits pathCapacity.
bool ComposePath(char* path, const char* directory, const char* name);

// The UTF-16 directory path `wide` as an ANSI path with a final separator in `path`
// (pathCapacity bytes), only when that names the same path: a letter the code page lacks would
// become a look-alike ("Doğan" becomes "Dogan"), naming another folder. False leaves `path` empty.
bool AnsiDirForm(char* path, const WCHAR* wide);
