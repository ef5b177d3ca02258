#include "text/numbers.h"

#include <string.h>

#include "text/convert.h"

char* FormatNumber(char* target, int capacity, int value, int width, bool money)
{
    char text[numberTextCapacity];
    if (value == noValueMarker) {
        strcpy(text, "--");
    } else if (money && width == 0 && value == 0) {
        strcpy(text, "-");
    } else if (value < -99999999 || value > 999999999) {
        wsprintfA(text, "%d", value);
    } else {
        const int magnitude = value < 0 ? -value : value;
        const char* sign = value < 0 ? "-" : "";
        if (magnitude < 1000)
            wsprintfA(text, "%d", value);
        else if (magnitude < 1000000)
            wsprintfA(text, "%s%d.%03d", sign, magnitude / 1000, magnitude % 1000);
        else
            wsprintfA(text, "%s%d.%03d.%03d", sign, magnitude / 1000000, magnitude / 1000 % 1000, magnitude % 1000);
    }
    if (money) {
        if (value != noValueMarker && value != 0)
            strcat(text, ",-");
        else if (width > 0)
            strcat(text, "  ");
    }

    // wvsprintfA has no "%*s": the padding is ours, and stops where the capacity ends.
    const int length = static_cast<int>(strlen(text));
    int padding = width > length ? width - length : 0;
    if (padding > capacity - 1 - length)
        padding = capacity - 1 - length > 0 ? capacity - 1 - length : 0;
    memset(target, ' ', padding);
    CopyText(target + padding, capacity - padding, text);
    return target;
}

int ParseInt(const char* text)
{
    while (*text == ' ')
        ++text;
    const bool negative = *text == '-';
    if (negative)
        ++text;
    // Unsigned, so that an overlong number wraps as a 32-bit value instead of overflowing.
    DWORD value = 0;
    for (; *text != '\0'; ++text) {
        if (*text >= '0' && *text <= '9')
            value = value * 10 + (*text - '0');
    }
    return static_cast<int>(negative ? 0u - value : value);
}

char* FormatThousandths(char* target, int value)
{
    target[0] = '\0';
    if (value == noValueMarker)
        return target;
    if (value == cannotShowMarker) {
        strcpy(target, "XXXX");
        return target;
    }
    // Unsigned, so that the smallest int has a magnitude too.
    const DWORD magnitude = value < 0 ? 0u - static_cast<DWORD>(value) : static_cast<DWORD>(value);
    int length = wsprintfA(target, "%s%u", value < 0 ? "-" : "", magnitude / 1000);
    const DWORD rest = magnitude % 1000;
    if (rest > 0)
        length += wsprintfA(target + length, ",%u", rest / 100);
    if (rest % 100 > 0)
        length += wsprintfA(target + length, "%u", rest % 100 / 10);
    if (rest % 10 > 0)
        wsprintfA(target + length, "%u", rest % 10);
    return target;
}
