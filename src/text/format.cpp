#include "text/format.h"

#include "text/convert.h"

DWORD errorCode;
WORD errorCode16;
char sysErrorText[errorTextCapacity];
char errorMessage[errorTextCapacity];

namespace {

const char copyMarker = '\x7F';

// Captures first and formats second, so that the message may show the new sysErrorText.
void RecordError(const char* format, va_list arguments)
{
    CaptureLastError();
    FormatText(errorMessage, errorTextCapacity, format, arguments);
}

}

int FormatInto(char* destination, int capacity, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int length = FormatText(destination, capacity, format, arguments);
    va_end(arguments);
    return length;
}

int FindChar(const char* text, char c)
{
    for (int i = 0; text[i] != '\0'; ++i) {
        if (text[i] == c)
            return i;
    }
    return -1;
}

int FormatText(char* destination, int capacity, const char* format, va_list arguments)
{
    if (format == nullptr) {
        CopyText(destination, capacity, "<INTERNER FEHLER: Formatstring fehlt>");
        return 0;
    }
    if (format[0] == copyMarker && format[1] == copyMarker)
        return CopyText(destination, capacity, format + 2);
    if (FindChar(format, '%') < 0)
        return CopyText(destination, capacity, format);

    // wvsprintfA knows no destination size but stops at formatLimit bytes; it expands into a
    // buffer of that size, which may then be cut to the caller's. The extra byte terminates a
    // text that the platform cut without terminating it.
    char expanded[formatLimit + 1];
    const int count = wvsprintfA(expanded, format, arguments);
    expanded[formatLimit] = '\0';
    if (expanded[0] == '\0') {
        CopyText(destination, capacity, format);
        return count;
    }
    const int stored = CopyText(destination, capacity, expanded);
    return count < 0 || stored < count ? stored : count;
}

void BuildSysErrorText(DWORD code)
{
    errorMessage[0] = '\0';
    char* systemText = nullptr;
    // Texts such as that of 193 hold inserts ("%1") for which no arguments exist: without the
    // flag the system refuses the text; with it "%1" is shown as it stands.
    const DWORD systemLength = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText), 0, nullptr);

    // Codes that look like HRESULTs (top bit set, far from -1) read better in hexadecimal.
    const LONG signedCode = static_cast<LONG>(code);
    const bool decimal = signedCode >= -65534 && signedCode <= 65535;
    int length = FormatInto(sysErrorText, errorTextCapacity, decimal ? "Fehlercode %d" : "Fehlercode %08lX", code);
    if (systemLength > 0 && systemText != nullptr) {
        length += CopyText(sysErrorText + length, errorTextCapacity - length, ":\n");
        CopyText(sysErrorText + length, errorTextCapacity - length, systemText);
    }
    if (systemText != nullptr)
        LocalFree(systemText);
}

WORD CaptureLastError()
{
    return KeepError(GetLastError());
}

WORD KeepError(DWORD code)
{
    errorCode = code;
    errorCode16 = LOWORD(code);
    BuildSysErrorText(code);
    return errorCode16;
}

WORD RecordSysError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    RecordError(format, arguments);
    va_end(arguments);
    return errorCode16;
}

bool SysFailed(DWORD result, const char* format, ...)
{
    if (result != 0)
        return false;
    va_list arguments;
    va_start(arguments, format);
    RecordError(format, arguments);
    va_end(arguments);
    return true;
}
