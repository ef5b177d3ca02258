#include "text/convert.h"

#include <string.h>
#include <wchar.h>

namespace {

// The conversion calls take an output limit of capacity - 1 so that a second zero always fits
// behind the converted terminator. A limit of 0 would turn the call into a size query that
// writes nothing but reports the size needed, so capacities below 2 convert nothing.
template <typename Unit>
int Terminate(Unit* destination, int capacity, int written)
{
    if (capacity > 0)
        destination[written] = 0;
    return written;
}

}

int AnsiToWide(WCHAR* destination, const char* source, int capacity)
{
    int written = 0;
    if (capacity >= 2)
        written = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, source, -1, destination, capacity - 1);
    return Terminate(destination, capacity, written);
}

int WideToUtf8(char* destination, const WCHAR* source, int capacity)
{
    int written = 0;
    if (capacity >= 2)
        written = WideCharToMultiByte(CP_UTF8, 0, source, -1, destination, capacity - 1, nullptr, nullptr);
    return Terminate(destination, capacity, written);
}

int WideToAnsi(char* destination, const WCHAR* source, int capacity)
{
    int written = 0;
    if (capacity >= 2)
        written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, source, -1, destination, capacity - 1,
                                      nullptr, nullptr);
    return Terminate(destination, capacity, written);
}

bool SameTextNoCaseW(const WCHAR* first, const WCHAR* second)
{
    const int capacity = MAX_PATH;
    WCHAR upperFirst[capacity];
    WCHAR upperSecond[capacity];
    lstrcpynW(upperFirst, first, capacity);
    lstrcpynW(upperSecond, second, capacity);
    CharUpperBuffW(upperFirst, lstrlenW(upperFirst));
    CharUpperBuffW(upperSecond, lstrlenW(upperSecond));
    return wcscmp(upperFirst, upperSecond) == 0;
}

DWORD ParseHex(const char* text)
{
    DWORD value = 0;
    if (text == nullptr)
        return 0;
    for (; *text != '\0'; ++text) {
        const char c = *text;
        DWORD digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        value = value * 16 + digit;
    }
    return value;
}

int CopyText(char* destination, int capacity, const char* source)
{
    if (capacity <= 0)
        return 0;
    int length = 0;
    while (source[length] != '\0') {
        const int size = IsDBCSLeadByte(static_cast<BYTE>(source[length])) && source[length + 1] != '\0' ? 2 : 1;
        if (length + size > capacity - 1)
            break;
        length += size;
    }
    memcpy(destination, source, length);
    destination[length] = '\0';
    return length;
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    const size_t length = strlen(prefix);
    if (length >= MAX_PATH || strlen(text) < length)
        return false;
    char upperText[MAX_PATH];
    char upperPrefix[MAX_PATH];
    memcpy(upperText, text, length);
    memcpy(upperPrefix, prefix, length);
    CharUpperBuffA(upperText, length);
    CharUpperBuffA(upperPrefix, length);
    return memcmp(upperText, upperPrefix, length) == 0;
}

bool SameTextNoCase(const char* first, const char* second)
{
    return strlen(first) == strlen(second) && StartsWithNoCase(first, second);
}

char* HeapText(const char* text)
{
    const size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (copy != nullptr)
        memcpy(copy, text, size);
    return copy;
}

bool AppendWhole(char* destination, int capacity, const char* text)
{
    const size_t length = strlen(destination);
    const size_t added = strlen(text);
    if (length + added >= static_cast<size_t>(capacity))
        return false;
    memcpy(destination + length, text, added + 1);
    return true;
}
