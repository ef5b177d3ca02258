#include "text/append.h"

#include <stdarg.h>
#include <string.h>

#include "text/convert.h"
#include "text/format.h"
#include "text/numbers.h"

char itemList[itemListCapacity];

char* AppendFormatted(char* destination, int capacity, const char* format, ...)
{
    char text[appendScratchCapacity];
    va_list arguments;
    va_start(arguments, format);
    FormatText(text, appendScratchCapacity, format, arguments);
    va_end(arguments);
    const int length = static_cast<int>(strlen(destination));
    CopyText(destination + length, capacity - length, text);
    return destination;
}

void AppendCents(char* destination, int capacity, int cents, int style)
{
    if (cents > 0 || style == 1 || style == 2)
        AppendFormatted(destination, capacity, ",%02d", cents);
    else if (style == 3)
        AppendFormatted(destination, capacity, ",-");
    else if (style == 4)
        AppendFormatted(destination, capacity, ",- ");
}

bool AppendNumberItem(int thousandths)
{
    char item[thousandthsTextCapacity + 1];
    char* number = item;
    if (itemList[0] != '\0') {
        item[0] = '/';
        number = item + 1;
    }
    if (thousandths == noValueMarker)
        strcpy(number, "-");
    else
        FormatThousandths(number, thousandths);
    // Half a number would read as another number.
    if (strlen(itemList) + strlen(item) >= static_cast<size_t>(itemListCapacity))
        return false;
    strcat(itemList, item);
    return true;
}
