// boxdriver.exe --out FILE [--timeout MS] [--handshake DIR] ANSWER...
//
// Test tool: answers real message boxes of any process in order, one ANSWER (OK, CANCEL, YES or
// NO) each: a visible top-level "#32770" window with a static control of id 0xFFFF (its text),
// the top of the Z-order first. For each box FILE gets, flushed at once, the lines
//     caption: <box title>, text: <text of control 0xFFFF>, buttons: <present among OK CANCEL
//     ABORT RETRY IGNORE YES NO, in this order, one blank apart>, icon: <information|question|
//     exclamation|error|none|unknown>, window: <the owner's title and size such as "480x180", or
//     nothing>, owner: <as 0x%llX, or 0>, pid: <of the box's process>,
//     answered: <the ANSWER, or "NONE (no such button)">, then an empty line;
// caption and text as ANSI with \\, \r, \n and \t for backslash, CR, LF and TAB; lines end in LF.
// A box without the answer's button is closed with its first one: exit code 3. Each box, and its
// closing, is waited for up to MS milliseconds (default 10000); then "timeout: no box appeared for
// answer <ANSWER>" or "timeout: box did not close after answer <ANSWER>" ends FILE: exit code 2.
// With --handshake, DIR\box-N.ready is created before answering box N (from 1) and DIR\box-N.shot
// waited for, for a screenshot. Exit codes: 0 done, 1 FILE not writable, 2 timeout, 3 no such
// button, 64 bad usage.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int buttonIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
const char* const buttonNames[] = {"OK", "CANCEL", "ABORT", "RETRY", "IGNORE", "YES", "NO"};
const int buttonCount = 7;

FILE* recordFile;
DWORD timeoutMs = 10000;
const char* handshakeDir;

int Usage(const std::string& why)
{
    fprintf(stderr, "boxdriver: %s\nusage: boxdriver.exe --out FILE [--timeout MS] [--handshake DIR] ANSWER...\n",
            why.c_str());
    return 64;
}

void Emit(const std::string& text)
{
    fwrite(text.data(), 1, text.size(), recordFile);
    fflush(recordFile);
}

// Polls every 20 ms until `done` holds; false when the timeout runs out first.
template <typename Condition>
bool WaitUntil(Condition done)
{
    for (const ULONGLONG start = GetTickCount64(); !done(); Sleep(20)) {
        if (GetTickCount64() - start >= timeoutMs)
            return false;
    }
    return true;
}

// The window's text, escaped for the record. The system keeps the text of every window, so
// reading it sends nothing to the box's process, which may hang.
std::string EscapedText(HWND window)
{
    std::vector<char> text(65536);
    std::string escaped;
    for (int i = 0, length = GetWindowTextA(window, text.data(), text.size()); i < length; ++i) {
        const char c = text[i];
        const char* escape = c == '\\' ? "\\\\" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : nullptr;
        escaped += escape != nullptr ? std::string(escape) : std::string(1, c);
    }
    return escaped;
}

// The box's icon, or its text (its id compared on the low word, as it may read back as -1).
HWND StaticChild(HWND box, bool icon)
{
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const bool wanted = icon ? (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON
                                 : (GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF;
        char name[8] = "";
        if (wanted && GetClassNameA(child, name, sizeof(name)) && lstrcmpiA(name, "Static") == 0)
            return child;
    }
    return nullptr;
}

BOOL CALLBACK FindBox(HWND window, LPARAM found)
{
    if (!IsWindowVisible(window) || GetClassLongA(window, GCW_ATOM) != 32770 || StaticChild(window, false) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The icon handle belongs to the box's process: the control's pixels on the screen are compared
// with each standard icon drawn on the colour just left of the control, so that alpha edges
// blend alike. The closest one that differs by at most 1 per colour channel on average (the
// standard icons differ from each other by far more); null when none does.
const char* MatchIconOnScreen(HWND icon)
{
    static const LPCSTR ids[] = {IDI_ASTERISK, IDI_QUESTION, IDI_EXCLAMATION, IDI_HAND};
    static const char* const names[] = {"information", "question", "exclamation", "error"};
    RECT rect = {};
    GetWindowRect(icon, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // One 32-bit top-down bitmap, pixels 0x00RRGGBB: the shot, and the four standard icons beside it.
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), 5 * width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    BYTE* bits = nullptr;
    const HDC canvas = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(canvas, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    const HDC screen = GetDC(nullptr);
    const HBRUSH brush = CreateSolidBrush(GetPixel(screen, rect.left - 1, rect.top));
    const RECT all = {0, 0, 5 * width, height};
    bool drawn = bits != nullptr && SelectObject(canvas, bitmap) && FillRect(canvas, &all, brush) &&
                 BitBlt(canvas, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    for (int k = 0; k < 4; ++k)
        drawn = drawn && DrawIconEx(canvas, (k + 1) * width, 0, LoadIcon(nullptr, ids[k]), width, height, 0, nullptr,
                                    DI_NORMAL);
    GdiFlush();
    const char* match = nullptr;
    long long least = 3LL * width * height + 1;
    for (int k = 0; drawn && k < 4; ++k) {
        long long distance = 0;
        for (int y = 0; y < height; ++y) {
            const BYTE* row = bits + 20 * width * y;
            for (int i = 0; i < 4 * width; ++i)
                distance += i % 4 == 3 ? 0 : abs(row[i] - row[4 * width * (k + 1) + i]);
        }
        if (distance < least) {
            least = distance;
            match = names[k];
        }
    }
    DeleteDC(canvas);
    DeleteObject(bitmap);
    DeleteObject(brush);
    return match;
}

const char* DetectIcon(HWND box)
{
    const HWND icon = StaticChild(box, true);
    DWORD_PTR handle = 0;
    const bool shown = icon != nullptr && IsWindowVisible(icon);
    if (shown && !SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &handle))
        return "unknown";
    if (handle == 0)
        return "none";
    // The box may not be painted yet, or covered by another box: look again for about a second,
    // bringing it to the top of the Z-order once; a custom icon stays "unknown".
    for (int attempt = 0; attempt < 50 && IsWindow(box); ++attempt) {
        const char* name = MatchIconOnScreen(icon);
        if (name != nullptr)
            return name;
        if (attempt == 0)
            SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Sleep(20);
    }
    return "unknown";
}

// The record of a box up to the answer.
std::string Record(HWND box)
{
    std::string buttons;
    for (int i = 0; i < buttonCount; ++i) {
        if (GetDlgItem(box, buttonIds[i]) != nullptr)
            buttons += std::string(buttons.empty() ? "" : " ") + buttonNames[i];
    }
    const HWND owner = GetWindow(box, GW_OWNER);
    char ownerText[32] = "0";
    std::string window;
    if (owner != nullptr) {
        snprintf(ownerText, sizeof(ownerText), "0x%llX", static_cast<unsigned long long>(ULONG_PTR(owner)));
        RECT frame = {};
        GetWindowRect(owner, &frame);
        window = EscapedText(owner) + " " + std::to_string(frame.right - frame.left) + "x" +
                 std::to_string(frame.bottom - frame.top);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    return "caption: " + EscapedText(box) + "\ntext: " + EscapedText(StaticChild(box, false)) + "\nbuttons: " +
           buttons + "\nicon: " + DetectIcon(box) + "\nwindow: " + window +
           "\nowner: " + ownerText + "\npid: " + std::to_string(pid) + "\n";
}

// Presses a button by posting the notification the button itself would send.
bool Press(HWND box, int button)
{
    const HWND control = GetDlgItem(box, buttonIds[button]);
    return control != nullptr && PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonIds[button], BN_CLICKED),
                                              reinterpret_cast<LPARAM>(control));
}

// Answers box `number` with the button at `answer` in buttonIds; the exit code to stop with,
// or -1 to go on.
int Answer(int answer, int number)
{
    const std::string name = buttonNames[answer];
    HWND box = nullptr;
    std::string record;
    // A box closed by someone else while being read is not answered: look again.
    do {
        const auto found = [&box] {
            box = nullptr;
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
            return box != nullptr;
        };
        if (!WaitUntil(found)) {
            Emit("timeout: no box appeared for answer " + name + "\n");
            return 2;
        }
        record = Record(box);
    } while (!IsWindow(box));
    const bool exists = GetDlgItem(box, buttonIds[answer]) != nullptr;
    Emit(record + "answered: " + (exists ? name : "NONE (no such button)") + "\n\n");
    if (handshakeDir != nullptr) {
        const std::string base = std::string(handshakeDir) + "\\box-" + std::to_string(number);
        CloseHandle(CreateFileA((base + ".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        WaitUntil([&base] { return GetFileAttributesA((base + ".shot").c_str()) != INVALID_FILE_ATTRIBUTES; });
    }
    const auto gone = [box] { return !IsWindow(box); };
    if (!exists) {
        int first = 0;
        while (!Press(box, first) && first + 1 < buttonCount)
            ++first;
        WaitUntil(gone);
        return 3;
    }
    if (!Press(box, answer) || !WaitUntil(gone)) {
        Emit("timeout: box did not close after answer " + name + "\n");
        return 2;
    }
    return -1;
}

}

int main(int argc, char** argv)
{
    const char* outPath = nullptr;
    std::vector<int> answers;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const int button = std::find(buttonNames, buttonNames + buttonCount, argument) - buttonNames;
        const bool valued = i + 1 < argc;
        char* end = nullptr;
        if (argument == "--out" && valued)
            outPath = argv[++i];
        else if (argument == "--handshake" && valued)
            handshakeDir = argv[++i];
        else if (argument == "--timeout" && valued && *argv[i + 1] >= '0' && *argv[i + 1] <= '9')
            timeoutMs = strtoul(argv[++i], &end, 10);
        else if (button < buttonCount && (buttonIds[button] <= IDCANCEL || buttonIds[button] >= IDYES))
            answers.push_back(button);
        else
            return Usage("bad argument: " + argument);
        if (end != nullptr && (*end != '\0' || timeoutMs > 0x7FFFFFFFUL))
            return Usage("bad --timeout value");
    }
    if (outPath == nullptr || answers.empty())
        return Usage("--out FILE and at least one ANSWER are required");
    recordFile = fopen(outPath, "wb");
    if (recordFile == nullptr) {
        fprintf(stderr, "boxdriver: cannot write %s\n", outPath);
        return 1;
    }
    int code = -1;
    for (size_t i = 0; i < answers.size() && code < 0; ++i)
        code = Answer(answers[i], static_cast<int>(i) + 1);
    fclose(recordFile);
    return code < 0 ? 0 : code;
}
