#include "text/msgbox.h"

#include "text/convert.h"
#include "text/format.h"

HWND mainWindow;
char programName[MAX_PATH];
char messageText[messageTextCapacity];
bool useMessageHook;
MessageHook messageHook;
bool quietMessages;

namespace {

int ShowFormatted(const char* caption, UINT type, const char* format, va_list arguments)
{
    char text[messageFormatCapacity];
    FormatText(text, messageFormatCapacity, format, arguments);
    if (useMessageHook)
        CopyText(messageText, messageTextCapacity, text);
    else
        ConvertControlChars(messageText, messageTextCapacity, text);
    if (quietMessages)
        return IDOK;
    return MsgBox(messageText, caption, type);
}

}

int MsgBox(const char* text, const char* caption, UINT type)
{
    if (useMessageHook && messageHook != nullptr)
        return messageHook(mainWindow, text, caption, type);
    return MessageBoxA(mainWindow, text, caption, type);
}

int MsgInfo(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int result = ShowFormatted(programName, MB_OK | MB_ICONINFORMATION, format, arguments);
    va_end(arguments);
    return result;
}

int MsgAskYesNo(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int result = ShowFormatted(programName, MB_YESNO | MB_ICONQUESTION, format, arguments);
    va_end(arguments);
    return result;
}

int MsgWarning(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int result = ShowFormatted(programName, MB_OK | MB_ICONEXCLAMATION, format, arguments);
    va_end(arguments);
    return result;
}

int MsgWarningTitled(const char* caption, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int result = ShowFormatted(caption, MB_OK | MB_ICONEXCLAMATION, format, arguments);
    va_end(arguments);
    return result;
}

void ConvertControlChars(char* target, int capacity, const char* source)
{
    if (capacity <= 0)
        return;
    int length = 0;
    for (; *source != '\0'; ++source) {
        const BYTE c = static_cast<BYTE>(*source);
        const bool lineBreak = c < ' ' && c != '\r' && c != '\n';
        if (length + (lineBreak ? 2 : 1) > capacity - 1)
            break;
        if (lineBreak) {
            target[length++] = '\r';
            target[length++] = '\n';
        } else {
            target[length++] = *source;
        }
    }
    target[length] = '\0';
}
