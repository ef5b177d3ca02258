// boxdriver.exe --out FILE [--timeout MS] [--handshake DIR] ANSWER...
//
// Test tool: finds real message boxes of any process and answers them.
//
// - Each ANSWER (OK, CANCEL, YES or NO) answers the next message box that
//   appears, in order. A message box is a visible top-level window of class
//   "#32770" of any process with a static control of id 0xFFFF (the message
//   text). Boxes already on the screen when the tool starts count too; when
//   several are present, the first one in EnumWindows order (top of the
//   Z-order) is taken. A box is handled once: after answering it, the tool
//   waits until the window is gone (IsWindow false) before looking for the
//   next one.
// - FILE is created/truncated at start. For every box handled a record is
//   appended to FILE (flushed after each record) and printed to stdout:
//       caption: <window text of the box>
//       text: <text of control 0xFFFF>
//       buttons: <present among OK CANCEL ABORT RETRY IGNORE YES NO, in this
//                 order, separated by one blank>
//       icon: <information|question|exclamation|error|none|unknown>
//       owner: <GetWindow(box, GW_OWNER) as 0x%llX, or 0>
//       pid: <process id of the box>
//       answered: <the ANSWER used>
//       (one empty line)
//   In caption and text, backslash is written as \\, CR as \r, LF as \n and
//   TAB as \t; all other bytes are written as they are (ANSI code page).
//   Lines end in LF only, in FILE and on stdout.
// - icon: "none" when the box has no icon (no visible SS_ICON static, or
//   STM_GETICON gives no icon). Otherwise the icon's pixels are read from the
//   screen and compared with the standard icons (IDI_ASTERISK, IDI_QUESTION,
//   IDI_EXCLAMATION, IDI_HAND) drawn on the box's background; the handle
//   itself is useless because icon handles belong to the box's process.
//   "unknown" when no standard icon matches within about one second (e.g. a
//   custom icon, or the box stays covered by a topmost window).
// - Answering: the button with the answer's id must exist in the box; the
//   tool posts WM_COMMAND(MAKEWPARAM(id, BN_CLICKED), button) to the box.
//   If it does not exist, the record says "answered: NONE (no such button)",
//   the box is closed with its first button present (order as above) and the
//   tool exits with code 3.
// - --timeout MS (default 10000) is how long to wait for EACH box to appear.
//   When it runs out, "timeout: no box appeared for answer <ANSWER>" goes to
//   FILE and stdout, exit code 2. The same time bounds the wait for an
//   answered box to close: "timeout: box did not close after answer
//   <ANSWER>", exit code 2.
// - Exit codes: 0 every answer used, 2 timeout, 3 no such button, 64 bad
//   usage (message on stderr), 1 FILE cannot be written.
// - --handshake DIR: before answering box N (counted from 1), the tool creates
//   DIR\box-N.ready and waits (up to the timeout) until DIR\box-N.shot exists,
//   so that a script can take a screenshot of the box first.
// - Polls every 20 ms with EnumWindows.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const DWORD pollMs = 20;
static const LRESULT maxText = 65536;
static const UINT sendTimeoutMs = 2000;

// Buttons in the order the record lists them.
static const int buttonIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
static const char* const buttonNames[] = {"OK", "CANCEL", "ABORT", "RETRY", "IGNORE", "YES", "NO"};
static const int buttonCount = 7;

static FILE* recordFile = nullptr;
static DWORD timeoutMs = 10000;
static const char* handshakeDir = nullptr;
static int boxNumber = 0;
static std::vector<int> answers;  // button ids, in order

static int Usage(const char* why) {
    fprintf(stderr, "boxdriver: %s\nusage: boxdriver.exe --out FILE [--timeout MS] [--handshake DIR] ANSWER...\n"
                    "  ANSWER: OK, CANCEL, YES or NO\n", why);
    return 64;
}

static const char* ButtonName(int id) {
    for (int i = 0; i < buttonCount; ++i) {
        if (buttonIds[i] == id) return buttonNames[i];
    }
    return "?";
}

// Returns the button id for an answer word, or 0.
static int AnswerId(const char* word) {
    static const char* const names[] = {"OK", "CANCEL", "YES", "NO"};
    static const int ids[] = {IDOK, IDCANCEL, IDYES, IDNO};
    for (int i = 0; i < 4; ++i) {
        if (strcmp(word, names[i]) == 0) return ids[i];
    }
    return 0;
}

// Writes to FILE and stdout; flushes both so a reader sees whole records.
static void Emit(const std::string& s) {
    fwrite(s.data(), 1, s.size(), recordFile);
    fflush(recordFile);
    fwrite(s.data(), 1, s.size(), stdout);
    fflush(stdout);
}

static std::string EscapeText(const std::string& in) {
    std::string out;
    out.reserve(in.size() + 16);
    for (char c : in) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default: out += c; break;
        }
    }
    return out;
}

// ANSI text of a window of any process. SendMessageTimeout so that a hung
// box process cannot hang the tool; the length bounds the buffer.
static std::string WindowText(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs, &len)) {
        return std::string();
    }
    if ((LRESULT)len >= maxText) len = maxText - 1;
    std::vector<char> buf(len + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, (WPARAM)buf.size(), (LPARAM)buf.data(), SMTO_ABORTIFHUNG,
                             sendTimeoutMs, &got)) {
        return std::string();
    }
    if (got > len) got = len;
    return std::string(buf.data(), got);
}

static bool HasClass(HWND hwnd, const char* cls) {
    char name[64] = {};
    if (!GetClassNameA(hwnd, name, sizeof name)) return false;
    return lstrcmpiA(name, cls) == 0;
}

// The message text control: a static child with id 0xFFFF (compared on the
// low word because the id may read back as -1).
static HWND TextControl(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetDlgCtrlID(c) & 0xFFFF) == 0xFFFF && HasClass(c, "Static")) return c;
    }
    return nullptr;
}

static BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lp) {
    if (!IsWindowVisible(hwnd) || !HasClass(hwnd, "#32770") || !TextControl(hwnd)) return TRUE;
    *(HWND*)lp = hwnd;
    return FALSE;
}

static HWND FindBox() {
    HWND found = nullptr;
    EnumWindows(FindBoxProc, (LPARAM)&found);  // returns FALSE when stopped early: not an error
    return found;
}

static std::string ButtonList(HWND box) {
    std::string s;
    for (int i = 0; i < buttonCount; ++i) {
        if (!GetDlgItem(box, buttonIds[i])) continue;
        if (!s.empty()) s += ' ';
        s += buttonNames[i];
    }
    return s;
}

static HWND IconControl(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(c, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON && HasClass(c, "Static")) return c;
    }
    return nullptr;
}

// A 32-bit top-down DIB selected into a memory DC; pixels are 0x00RRGGBB.
static HDC MakeCanvas(int w, int h, DWORD** bits, HBITMAP* bmp) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    *bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void**)bits, nullptr, 0);
    if (!*bmp || !SelectObject(dc, *bmp)) {
        if (*bmp) DeleteObject(*bmp);
        DeleteDC(dc);
        return nullptr;
    }
    return dc;
}

static void FreeCanvas(HDC dc, HBITMAP bmp) {
    DeleteDC(dc);
    DeleteObject(bmp);
}

static long long PixelDistance(const DWORD* a, const DWORD* b, int n) {
    long long sum = 0;
    for (int i = 0; i < n; ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            sum += abs((int)((a[i] >> shift) & 0xFF) - (int)((b[i] >> shift) & 0xFF));
        }
    }
    return sum;
}

// One attempt: reads the icon's pixels from the screen and returns the name
// of the standard icon they match, or nullptr. Each reference is drawn on
// the colour just left of the control, so alpha edges blend the same way.
static const char* MatchIconOnScreen(HWND icon) {
    static const LPCSTR ids[] = {IDI_ASTERISK, IDI_QUESTION, IDI_EXCLAMATION, IDI_HAND};
    static const char* const names[] = {"information", "question", "exclamation", "error"};
    RECT r;
    if (!GetWindowRect(icon, &r)) return nullptr;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || w > 256 || h > 256) return nullptr;
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    DWORD* shot = nullptr;
    HBITMAP shotBmp = nullptr;
    HDC shotDc = MakeCanvas(w, h, &shot, &shotBmp);
    const char* result = nullptr;
    COLORREF bg = GetPixel(screen, r.left - 1, r.top);
    if (shotDc && bg != CLR_INVALID && BitBlt(shotDc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) {
        GdiFlush();  // DIB bits are read directly below
        long long best = -1;
        int bestIdx = -1;
        for (int k = 0; k < 4; ++k) {
            DWORD* ref = nullptr;
            HBITMAP refBmp = nullptr;
            HDC refDc = MakeCanvas(w, h, &ref, &refBmp);
            if (!refDc) continue;
            HBRUSH brush = CreateSolidBrush(bg);
            RECT all = {0, 0, w, h};
            HICON stdIcon = LoadIcon(nullptr, ids[k]);
            if (brush && stdIcon && FillRect(refDc, &all, brush) &&
                DrawIconEx(refDc, 0, 0, stdIcon, w, h, 0, nullptr, DI_NORMAL)) {
                GdiFlush();
                long long d = PixelDistance(shot, ref, w * h);
                if (best < 0 || d < best) {
                    best = d;
                    bestIdx = k;
                }
            }
            if (brush) DeleteObject(brush);
            FreeCanvas(refDc, refBmp);
        }
        // Accept at most 1 per colour channel on average: the standard icons
        // differ from each other by far more (information vs question ~5).
        if (bestIdx >= 0 && best <= 3LL * w * h) result = names[bestIdx];
    }
    if (shotDc) FreeCanvas(shotDc, shotBmp);
    ReleaseDC(nullptr, screen);
    return result;
}

static const char* DetectIcon(HWND box) {
    HWND icon = IconControl(box);
    if (!icon || !IsWindowVisible(icon)) return "none";
    DWORD_PTR handle = 0;
    if (!SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs, &handle)) return "unknown";
    if (!handle) return "none";
    // The box may not be painted yet or may be covered by another box:
    // retry, and bring it to the top of the Z-order once.
    bool raised = false;
    for (int attempt = 0; attempt < 50 && IsWindow(box); ++attempt) {
        const char* name = MatchIconOnScreen(icon);
        if (name) return name;
        if (!raised) {
            raised = true;
            if (!SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
                fprintf(stderr, "boxdriver: cannot raise box (error %lu)\n", GetLastError());
            }
        }
        Sleep(pollMs);
    }
    return "unknown";
}

// Presses a button by posting the notification the button itself would send.
static bool Press(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (!button) return false;
    if (!PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button)) {
        fprintf(stderr, "boxdriver: cannot post to box (error %lu)\n", GetLastError());
        return false;
    }
    return true;
}

static bool WaitGone(HWND box) {
    ULONGLONG start = GetTickCount64();
    while (IsWindow(box)) {
        if (GetTickCount64() - start >= timeoutMs) return false;
        Sleep(pollMs);
    }
    return true;
}

static HWND WaitForBox() {
    ULONGLONG start = GetTickCount64();
    for (;;) {
        HWND box = FindBox();
        if (box) return box;
        if (GetTickCount64() - start >= timeoutMs) return nullptr;
        Sleep(pollMs);
    }
}

static std::string HexHandle(HWND h) {
    if (!h) return "0";
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llX", (unsigned long long)(ULONG_PTR)h);
    return buf;
}

// Tells the script that box N is on the screen and waits until it has taken its picture.
static void Handshake() {
    if (!handshakeDir) return;
    ++boxNumber;
    const std::string base = std::string(handshakeDir) + "\\box-" + std::to_string(boxNumber);
    FILE* ready = fopen((base + ".ready").c_str(), "wb");
    if (ready) fclose(ready);
    const ULONGLONG start = GetTickCount64();
    while (GetFileAttributesA((base + ".shot").c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount64() - start < timeoutMs)
        Sleep(pollMs);
}

// Handles one answer; returns the exit code to stop with, or -1 to go on.
static int HandleAnswer(int answer) {
    for (;;) {
        HWND box = WaitForBox();
        if (!box) {
            Emit(std::string("timeout: no box appeared for answer ") + ButtonName(answer) + "\n");
            return 2;
        }
        HWND textCtl = TextControl(box);
        std::string caption = WindowText(box);
        std::string text = textCtl ? WindowText(textCtl) : std::string();
        std::string buttons = ButtonList(box);
        const char* icon = DetectIcon(box);
        HWND owner = GetWindow(box, GW_OWNER);
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        // Closed by someone else while being read: not answered, look again.
        if (!IsWindow(box)) continue;

        bool exists = GetDlgItem(box, answer) != nullptr;
        std::string rec = "caption: " + EscapeText(caption) + "\n" + "text: " + EscapeText(text) + "\n" +
                          "buttons: " + buttons + "\n" + "icon: " + icon + "\n" + "owner: " + HexHandle(owner) +
                          "\n" + "pid: " + std::to_string(pid) + "\n" + "answered: " +
                          (exists ? ButtonName(answer) : "NONE (no such button)") + "\n\n";
        Emit(rec);
        Handshake();

        if (!exists) {
            bool closed = false;
            for (int i = 0; i < buttonCount && !closed; ++i) closed = Press(box, buttonIds[i]);
            if (!closed) PostMessageA(box, WM_CLOSE, 0, 0);  // no standard button at all
            WaitGone(box);
            return 3;
        }
        if (!Press(box, answer) || !WaitGone(box)) {
            Emit(std::string("timeout: box did not close after answer ") + ButtonName(answer) + "\n");
            return 2;
        }
        return -1;
    }
}

int main(int argc, char** argv) {
    const char* outPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--out") == 0) {
            if (++i >= argc) return Usage("--out needs a file name");
            outPath = argv[i];
        } else if (strcmp(argv[i], "--handshake") == 0) {
            if (++i >= argc) return Usage("--handshake needs a directory");
            handshakeDir = argv[i];
        } else if (strcmp(argv[i], "--timeout") == 0) {
            if (++i >= argc) return Usage("--timeout needs milliseconds");
            char* end = nullptr;
            unsigned long ms = strtoul(argv[i], &end, 10);
            if (!*argv[i] || *end || argv[i][0] == '-' || ms > 0x7FFFFFFFUL) return Usage("bad --timeout value");
            timeoutMs = (DWORD)ms;
        } else {
            int id = AnswerId(argv[i]);
            if (!id) return Usage((std::string("unknown argument: ") + argv[i]).c_str());
            answers.push_back(id);
        }
    }
    if (!outPath) return Usage("--out FILE is required");
    if (answers.empty()) return Usage("at least one ANSWER is required");

    // Binary mode: records end in LF on stdout as in FILE.
    if (_setmode(_fileno(stdout), _O_BINARY) == -1) fprintf(stderr, "boxdriver: stdout stays in text mode\n");
    recordFile = fopen(outPath, "wb");
    if (!recordFile) {
        fprintf(stderr, "boxdriver: cannot write %s\n", outPath);
        return 1;
    }
    int code = 0;
    for (int answer : answers) {
        int r = HandleAnswer(answer);
        if (r >= 0) {
            code = r;
            break;
        }
    }
    fclose(recordFile);
    return code;
}
