// e2e_driver: the end-to-end tests' hands and eyes on the Windows side.
//
// Each run does one small thing to or about the windows of the program under test
// and prints what it saw as "key=value" lines on stdout, so a shell test can read
// them from a file (under Wine a pipe would be held open by Wine's helpers). The exit
// code says whether the wish came true: 0 yes, 1 no or timed out, 2 usage error.
//
// Windows are named either by handle (hex "0x1234" or decimal) or as "class:caption"
// (first top-level window with exactly that class and caption, hidden ones included).
// Times are milliseconds. "clock" values come from QueryPerformanceCounter, which is
// one machine-wide clock, so values printed by different driver runs can be compared.

#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---- small helpers ----

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), s.data(), n, nullptr, nullptr);
    return s;
}

// Output goes to a file the shell reads back; one value per line, so line breaks
// inside a window text are escaped.
std::string oneLine(const std::wstring& w) {
    std::string s = utf8(w), out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

void put(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void put(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
void putHwnd(const char* key, HWND h) { std::printf("%s=0x%llx\n", key, (unsigned long long)(UINT_PTR)h); }

double clockMs() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)freq.QuadPart;
}

void putClock(const char* key, double ms) { std::printf("%s=%.3f\n", key, ms); }

bool parseNumber(const wchar_t* text, unsigned long long& out) {
    if (!text || !*text) return false;
    wchar_t* end = nullptr;
    out = std::wcstoull(text, &end, 0);
    return end && *end == L'\0';
}

unsigned long long number(const wchar_t* text) {
    unsigned long long v = 0;
    if (!parseNumber(text, v)) {
        std::fprintf(stderr, "not a number: %s\n", utf8(text).c_str());
        std::exit(2);
    }
    return v;
}

std::wstring className(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

// The text as the owning thread answers it; a window whose thread does not answer
// in time gets the text the window manager keeps for it.
std::wstring windowText(HWND h) {
    std::vector<wchar_t> buf(4096, L'\0');
    DWORD_PTR got = 0;
    if (SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), (LPARAM)buf.data(), SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000,
                            &got))
        return std::wstring(buf.data(), wcsnlen(buf.data(), buf.size()));
    int n = InternalGetWindowText(h, buf.data(), (int)buf.size());
    return std::wstring(buf.data(), n > 0 ? n : 0);
}

DWORD processOf(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

// "class:caption" or a handle. Class names of ours have no colon; a caption may.
HWND resolve(const wchar_t* spec) {
    unsigned long long v = 0;
    if (parseNumber(spec, v)) return (HWND)(UINT_PTR)v;
    const wchar_t* colon = std::wcschr(spec, L':');
    if (!colon) return nullptr;
    std::wstring cls(spec, colon);
    return FindWindowExW(nullptr, nullptr, cls.c_str(), colon + 1);
}

// A process named by its id (decimal) or by one of its windows (hex "0x..." or
// "class:caption"). A decimal number is always the id: Wine takes a small number such
// as a process id for the window whose handle has the same low bits.
DWORD processArg(const wchar_t* spec) {
    unsigned long long v = 0;
    const bool hex = spec[0] == L'0' && (spec[1] == L'x' || spec[1] == L'X');
    if (!hex && parseNumber(spec, v)) return (DWORD)v;
    return processOf(resolve(spec));
}

// Every top-level window with this class and caption, in Z order; "*" matches any.
std::vector<HWND> findAll(const wchar_t* cls, const wchar_t* caption) {
    const wchar_t* c = std::wcscmp(cls, L"*") == 0 ? nullptr : cls;
    const wchar_t* t = std::wcscmp(caption, L"*") == 0 ? nullptr : caption;
    std::vector<HWND> found;
    HWND h = nullptr;
    while ((h = FindWindowExW(nullptr, h, c, t)) != nullptr) found.push_back(h);
    return found;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> all;
    EnumWindows([](HWND h, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
    }, (LPARAM)&all);
    return all;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, [](HWND h, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
    }, (LPARAM)&all);
    return all;
}

// The first visible top-level window in Z order: the one in front.
HWND frontWindow() {
    for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
        if (IsWindowVisible(h)) return h;
    return nullptr;
}

std::wstring stripAmpersands(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'&') {
            if (i + 1 < s.size() && s[i + 1] == L'&') out += L'&', ++i;
            continue;
        }
        out += s[i];
    }
    return out;
}

void printWindowLine(HWND h) {
    std::printf("window=0x%llx pid=%lu visible=%d class=%s text=%s\n", (unsigned long long)(UINT_PTR)h,
                processOf(h), IsWindowVisible(h) ? 1 : 0, oneLine(className(h)).c_str(),
                oneLine(windowText(h)).c_str());
}

std::wstring quoteArg(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') { ++slashes; continue; }
        if (c == L'"') q.append(slashes * 2 + 1, L'\\');
        else q.append(slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, L'\\');
    return q + L"\"";
}

bool spawn(int argc, wchar_t** argv, PROCESS_INFORMATION& pi) {
    std::wstring cmd;
    for (int i = 0; i < argc; ++i) {
        if (i) cmd += L' ';
        cmd += quoteArg(argv[i]);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(argv[0], cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "CreateProcess %s failed: %lu\n", utf8(argv[0]).c_str(), GetLastError());
        return false;
    }
    return true;
}

// ---- subcommands ----

// find <class|*> <caption|*>
int cmdFind(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    auto all = findAll(argv[0], argv[1]);
    putHwnd("hwnd", all.empty() ? nullptr : all.front());
    put("count", (long long)all.size());
    for (HWND h : all) printWindowLine(h);
    return all.empty() ? 1 : 0;
}

// wait-window <class> <caption> <timeout> [exists|visible|hidden|gone]
int cmdWaitWindow(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4) return 2;
    std::wstring want = argc == 4 ? argv[3] : L"exists";
    if (want != L"exists" && want != L"visible" && want != L"hidden" && want != L"gone") return 2;
    double until = clockMs() + (double)number(argv[2]);
    double started = clockMs();
    for (;;) {
        HWND h = FindWindowExW(nullptr, nullptr, argv[0], argv[1]);
        bool ok = want == L"gone"      ? h == nullptr
                  : want == L"exists"  ? h != nullptr
                  : want == L"visible" ? h && IsWindowVisible(h)
                                       : h && !IsWindowVisible(h);
        if (ok || clockMs() >= until) {
            putHwnd("hwnd", h);
            put("visible", h && IsWindowVisible(h) ? 1 : 0);
            put("waited_ms", (long long)(clockMs() - started));
            put("result", ok ? "ok" : "timeout");
            return ok ? 0 : 1;
        }
        Sleep(15);
    }
}

// wait-gone <window> <timeout>: a window named by handle stops existing.
int cmdWaitGone(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    double started = clockMs(), until = started + (double)number(argv[1]);
    while (h && IsWindow(h) && clockMs() < until) Sleep(15);
    bool gone = !h || !IsWindow(h);
    put("waited_ms", (long long)(clockMs() - started));
    put("result", gone ? "gone" : "timeout");
    return gone ? 0 : 1;
}

// post <window> <message> <wparam> <lparam>
int cmdPost(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) {
        std::fprintf(stderr, "no such window: %s\n", utf8(argv[0]).c_str());
        return 1;
    }
    BOOL ok = PostMessageW(h, (UINT)number(argv[1]), (WPARAM)number(argv[2]), (LPARAM)number(argv[3]));
    putHwnd("hwnd", h);
    putClock("clock", clockMs());
    return ok ? 0 : 1;
}

// send <window> <message> <wparam> <lparam>: sent, waiting at most 2 s for the answer,
// which is printed as result.
int cmdSend(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) {
        std::fprintf(stderr, "no such window: %s\n", utf8(argv[0]).c_str());
        return 1;
    }
    DWORD_PTR result = 0;
    bool answered = SendMessageTimeoutW(h, (UINT)number(argv[1]), (WPARAM)number(argv[2]), (LPARAM)number(argv[3]),
                                        SMTO_ABORTIFHUNG, 2000, &result) != 0;
    put("result", (long long)(LONG_PTR)result);
    return answered ? 0 : 1;
}

// wait-popup <pid|window> <timeout>: the open popup menu (class #32768) of a process.
int cmdWaitPopup(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    DWORD pid = processArg(argv[0]);
    double until = clockMs() + (double)number(argv[1]);
    for (;;) {
        for (HWND h : topLevelWindows()) {
            if (!IsWindowVisible(h) || className(h) != L"#32768" || processOf(h) != pid) continue;
            putHwnd("hwnd", h);
            return 0;
        }
        if (clockMs() >= until) break;
        Sleep(20);
    }
    putHwnd("hwnd", nullptr);
    return 1;
}

// state <window>
int cmdState(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    bool exists = h && IsWindow(h);
    putHwnd("hwnd", exists ? h : nullptr);
    put("exists", exists ? 1 : 0);
    if (!exists) return 1;
    RECT wr{}, cr{};
    GetWindowRect(h, &wr);
    GetClientRect(h, &cr);
    // The thread answers at all: a hung or dead message loop shows here.
    DWORD_PTR dummy = 0;
    bool responds = SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &dummy) != 0;
    put("pid", (long long)processOf(h));
    put("class", oneLine(className(h)));
    put("caption", oneLine(windowText(h)));
    put("visible", IsWindowVisible(h) ? 1 : 0);
    put("iconic", IsIconic(h) ? 1 : 0);
    put("foreground", GetForegroundWindow() == h ? 1 : 0);
    put("front", frontWindow() == h ? 1 : 0);
    putHwnd("front_hwnd", frontWindow());
    put("responds", responds ? 1 : 0);
    put("client_w", cr.right - cr.left);
    put("client_h", cr.bottom - cr.top);
    put("x", wr.left);
    put("y", wr.top);
    put("w", wr.right - wr.left);
    put("h", wr.bottom - wr.top);
    return 0;
}

// list-children <window>: every descendant, one per line.
int cmdChildren(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    for (HWND c : childWindows(h)) {
        std::printf("child=0x%llx parent=0x%llx id=%ld visible=%d class=%s text=%s\n",
                    (unsigned long long)(UINT_PTR)c, (unsigned long long)(UINT_PTR)GetParent(c),
                    (long)GetDlgCtrlID(c), IsWindowVisible(c) ? 1 : 0, oneLine(className(c)).c_str(),
                    oneLine(windowText(c)).c_str());
    }
    return 0;
}

// windows <pid|window>: the top-level windows of one process.
int cmdWindows(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    DWORD pid = processArg(argv[0]);
    int n = 0;
    for (HWND h : topLevelWindows())
        if (processOf(h) == pid) printWindowLine(h), ++n;
    put("count", n);
    return 0;
}

// find-dialog <text-substring> <timeout> [pid|window]: a visible top-level dialog
// (message boxes and task dialogs are class #32770) whose own text or one of whose
// controls' texts contains the substring.
int cmdFindDialog(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3) return 2;
    std::wstring needle = argv[0];
    DWORD pid = 0;
    if (argc == 3 && (pid = processArg(argv[2])) == 0) return 1;
    double started = clockMs(), until = started + (double)number(argv[1]);
    for (;;) {
        for (HWND h : topLevelWindows()) {
            if (!IsWindowVisible(h) || className(h) != L"#32770") continue;
            if (pid && processOf(h) != pid) continue;
            std::vector<std::wstring> texts{windowText(h)};
            for (HWND c : childWindows(h)) texts.push_back(windowText(c));
            for (const auto& t : texts) {
                if (t.find(needle) == std::wstring::npos) continue;
                putHwnd("hwnd", h);
                put("pid", (long long)processOf(h));
                put("caption", oneLine(texts[0]));
                put("text", oneLine(t));
                put("owner_visible", IsWindowVisible(GetWindow(h, GW_OWNER)) ? 1 : 0);
                put("waited_ms", (long long)(clockMs() - started));
                return 0;
            }
        }
        if (clockMs() >= until) break;
        Sleep(20);
    }
    putHwnd("hwnd", nullptr);
    put("result", "timeout");
    return 1;
}

// press <dialog> <button id or text>: what a click on the button would tell its
// dialog, posted so that a modal loop on the other side is never blocked by us.
int cmdPress(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND dlg = resolve(argv[0]);
    if (!dlg || !IsWindow(dlg)) return 1;
    unsigned long long id = 0;
    bool byId = parseNumber(argv[1], id);
    for (HWND c : childWindows(dlg)) {
        if (GetParent(c) != dlg || className(c) != L"Button") continue;
        bool match = byId ? (unsigned long long)GetDlgCtrlID(c) == id
                          : _wcsicmp(stripAmpersands(windowText(c)).c_str(), argv[1]) == 0;
        if (!match) continue;
        putHwnd("button", c);
        put("id", (long long)GetDlgCtrlID(c));
        put("text", oneLine(windowText(c)));
        return PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED), (LPARAM)c) ? 0 : 1;
    }
    std::fprintf(stderr, "no button %s in dialog\n", utf8(argv[1]).c_str());
    return 1;
}

// start <exe> [args...]: start a program and leave it running.
int cmdStart(int argc, wchar_t** argv) {
    if (argc < 1) return 2;
    PROCESS_INFORMATION pi{};
    if (!spawn(argc, argv, pi)) return 1;
    put("pid", (long long)pi.dwProcessId);
    putClock("clock", clockMs());
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

// run <timeout> <exe> [args...]: start a program, wait for its end, and watch
// meanwhile which of its top-level windows ever became visible.
int cmdRun(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    DWORD timeout = (DWORD)number(argv[0]);
    PROCESS_INFORMATION pi{};
    double before = clockMs();
    if (!spawn(argc - 1, argv + 1, pi)) return 1;
    CloseHandle(pi.hThread);
    std::vector<HWND> seen;
    std::vector<std::string> seenText;
    DWORD wait;
    for (;;) {
        wait = WaitForSingleObject(pi.hProcess, 5);
        if (wait != WAIT_TIMEOUT || clockMs() - before >= timeout) break;
        for (HWND h : topLevelWindows()) {
            if (processOf(h) != pi.dwProcessId || !IsWindowVisible(h)) continue;
            bool known = false;
            for (HWND s : seen) known = known || s == h;
            if (known) continue;
            seen.push_back(h);
            seenText.push_back(oneLine(className(h)) + " | " + oneLine(windowText(h)));
        }
    }
    double after = clockMs();
    put("pid", (long long)pi.dwProcessId);
    putClock("start_clock", before);
    putClock("end_clock", after);
    put("elapsed_ms", (long long)(after - before));
    put("visible_windows", (long long)seen.size());
    for (auto& t : seenText) put("visible_window", t);
    if (wait == WAIT_TIMEOUT) {
        put("result", "timeout");
        TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hProcess);
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    put("exit_code", (long long)code);
    put("result", "exited");
    return 0;
}

// wait-exit <pid> <timeout>
int cmdWaitExit(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    DWORD pid = (DWORD)number(argv[0]);
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) {
        put("result", "gone");
        return 0;
    }
    double started = clockMs();
    DWORD wait = WaitForSingleObject(p, (DWORD)number(argv[1]));
    put("waited_ms", (long long)(clockMs() - started));
    putClock("clock", clockMs());
    if (wait != WAIT_OBJECT_0) {
        put("result", "running");
        CloseHandle(p);
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    put("result", "exited");
    put("exit_code", (long long)code);
    return 0;
}

// alive <pid>
int cmdAlive(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)number(argv[0]));
    bool alive = p && WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    if (p) CloseHandle(p);
    put("alive", alive ? 1 : 0);
    return alive ? 0 : 1;
}

// priority <pid>: the process's priority class, as another program reads it.
int cmdPriority(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (DWORD)number(argv[0]));
    if (!p) return 1;
    DWORD priority = GetPriorityClass(p);
    CloseHandle(p);
    if (!priority) return 1;
    std::printf("priority=0x%lx\n", (unsigned long)priority);
    return 0;
}

// kill <pid>: the last resort of a test's clean-up.
int cmdKill(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, (DWORD)number(argv[0]));
    if (!p) return 0;
    TerminateProcess(p, 98);
    WaitForSingleObject(p, 5000);
    CloseHandle(p);
    return 0;
}

// A message to another process's control, answered within 2 s.
bool askWindow(HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& out) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &r)) return false;
    out = (LRESULT)r;
    return true;
}

// Prints the count, the selected position and every item of a drop-down list or a
// list box, asked with that kind's messages (they are marshalled across processes).
// The selected item's text goes to selectedText.
bool printItems(HWND h, UINT countMsg, UINT selectedMsg, UINT lengthMsg, UINT textMsg, std::wstring& selectedText) {
    LRESULT count = 0, selected = 0;
    if (!askWindow(h, countMsg, 0, 0, count) || !askWindow(h, selectedMsg, 0, 0, selected)) return false;
    put("count", (long long)count);
    put("selected", (long long)selected);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = 0;
        if (!askWindow(h, lengthMsg, (WPARAM)i, 0, len) || len < 0) return false;
        std::vector<wchar_t> buf((size_t)len + 1, L'\0');
        LRESULT got = 0;
        if (!askWindow(h, textMsg, (WPARAM)i, (LPARAM)buf.data(), got) || got < 0) return false;
        std::wstring text(buf.data(), (size_t)got);
        if (i == selected) selectedText = text;
        put("item", oneLine(text));
    }
    return true;
}

// combo <combo box>: the items of a drop-down list in their order and its selection,
// as the owning thread answers them.
int cmdCombo(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    std::wstring selectedText;
    if (!printItems(h, CB_GETCOUNT, CB_GETCURSEL, CB_GETLBTEXTLEN, CB_GETLBTEXT, selectedText)) return 1;
    put("selected_text", oneLine(selectedText));
    return 0;
}

// listbox <list box>: its items and the selected position (-1: none).
int cmdListBox(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    std::wstring selectedText;
    return printItems(h, LB_GETCOUNT, LB_GETCURSEL, LB_GETTEXTLEN, LB_GETTEXT, selectedText) ? 0 : 1;
}

// set-text <edit> <text>: the text as if typed (the edit reports the change).
int cmdSetText(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(h, WM_SETTEXT, 0, (LPARAM)argv[1], SMTO_ABORTIFHUNG, 2000, &r) && r ? 0 : 1;
}

// key <window> <virtual key>: a key press posted to the window.
int cmdKey(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    const auto vk = (WPARAM)number(argv[1]);
    return PostMessageW(h, WM_KEYDOWN, vk, 1) && PostMessageW(h, WM_KEYUP, vk, 0xC0000001) ? 0 : 1;
}

// A click of the left mouse button at a point of the screen, as a user makes it; prints
// the point.
bool clickAt(POINT at) {
    SetCursorPos(at.x, at.y);
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    put("x", at.x);
    put("y", at.y);
    return SendInput(2, in, sizeof(INPUT)) == 2;
}

// tab <tab control> <position>: a mouse click on that tab, as a user makes it: the tab's
// rectangle is asked for in the program's own memory, then the pointer goes there.
int cmdTab(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processOf(h));
    if (!process) return 1;
    RECT r{};
    void* remote = VirtualAllocEx(process, nullptr, sizeof r, MEM_COMMIT, PAGE_READWRITE);
    DWORD_PTR ok = 0;
    bool got = remote && SendMessageTimeoutW(h, TCM_GETITEMRECT, (WPARAM)number(argv[1]), (LPARAM)remote,
                                             SMTO_ABORTIFHUNG, 2000, &ok) &&
               ok && ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!got) return 1;
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(h, &at);
    return clickAt(at) ? 0 : 1;
}

// wait-text <window> <regex> <timeout>: the window's text matches the whole ECMAScript
// pattern. Every distinct text seen on the way is printed, so a failure shows what the
// window said instead.
// ---- the program's controls used as a user would ----

// foreground <window>: makes the window the foreground window.
int cmdForeground(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    SetForegroundWindow(h);
    for (int i = 0; i < 100 && GetForegroundWindow() != h; ++i) Sleep(20);
    put("foreground", GetForegroundWindow() == h ? 1 : 0);
    return GetForegroundWindow() == h ? 0 : 1;
}

// Sends a control's notification to its parent, as the control itself does.
bool notifyParent(HWND control, WORD code) {
    DWORD_PTR r = 0;
    const WPARAM w = MAKEWPARAM((WORD)GetDlgCtrlID(control), code);
    return SendMessageTimeoutW(GetParent(control), WM_COMMAND, w, (LPARAM)control, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000,
                               &r) != 0;
}

// click <button>: a click on a button or check box, as its parent hears of it.
int cmdClick(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    return notifyParent(h, BN_CLICKED) ? 0 : 1;
}

// enter <combo box>: the list receives the focus, as its parent hears of it.
int cmdEnter(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    return notifyParent(h, CBN_SETFOCUS) ? 0 : 1;
}

// pick <drop-down list|list box> <index> [posted]: a user's pick of the item, as the
// parent hears of it. "posted" does not wait for the parent, for a pick that opens a
// dialog.
int cmdPick(int argc, wchar_t** argv) {
    if (argc != 2 && !(argc == 3 && std::wcscmp(argv[2], L"posted") == 0)) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    const bool list = _wcsicmp(className(h).c_str(), L"ListBox") == 0;
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(h, list ? LB_SETCURSEL : CB_SETCURSEL, (WPARAM)number(argv[1]), 0,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &r) ||
        (LRESULT)r == (list ? LB_ERR : CB_ERR))
        return 1;
    const WORD code = list ? LBN_SELCHANGE : CBN_SELCHANGE;
    if (argc == 3)
        return PostMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), code), (LPARAM)h) ? 0 : 1;
    return notifyParent(h, code) ? 0 : 1;
}

// type <combo box> <text>: replaces the text of a drop-down list's text field key by key.
int cmdType(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    HWND edit = h ? FindWindowExW(h, nullptr, L"Edit", nullptr) : nullptr;
    if (!edit) return 1;
    DWORD_PTR r = 0;
    SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &r);
    for (const wchar_t* c = argv[1]; *c; ++c)
        if (!SendMessageTimeoutW(edit, WM_CHAR, *c, 1, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &r)) return 1;
    put("text", oneLine(windowText(h)));
    return 0;
}

int cmdWaitText(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HWND h = resolve(argv[0]);
    std::regex pattern;
    try {
        pattern = std::regex(utf8(argv[1]));
    } catch (const std::regex_error&) {
        std::fprintf(stderr, "bad pattern: %s\n", utf8(argv[1]).c_str());
        return 2;
    }
    double started = clockMs(), until = started + (double)number(argv[2]);
    std::string last;
    bool first = true, ok = false;
    for (;;) {
        if (!h || !IsWindow(h)) break;
        std::string text = oneLine(windowText(h));
        if (first || text != last) put("seen", text);
        first = false;
        last = text;
        if (std::regex_match(text, pattern)) {
            ok = true;
            break;
        }
        if (clockMs() >= until) break;
        Sleep(20);
    }
    put("text", last);
    put("waited_ms", (long long)(clockMs() - started));
    putClock("clock", clockMs());
    put("result", ok ? "ok" : (!h || !IsWindow(h)) ? "gone" : "timeout");
    return ok ? 0 : 1;
}

// watch-text <window> <timeout>: every change of the window's text with the clock, until
// the window goes or the time is up. Run in the background into a file, it records what a
// status line showed during a whole case.
int cmdWatchText(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HWND h = resolve(argv[0]);
    double until = clockMs() + (double)number(argv[1]);
    std::string last;
    bool first = true;
    while (h && IsWindow(h) && clockMs() < until) {
        std::string text = oneLine(windowText(h));
        if (first || text != last) {
            std::printf("text=%s clock=%.3f\n", text.c_str(), clockMs());
            std::fflush(stdout);
        }
        first = false;
        last = text;
        Sleep(20);
    }
    put("ended", 1);
    return 0;
}

// idle: what the idle-time test of a program would see now.
int cmdIdle(int argc, wchar_t**) {
    if (argc != 0) return 2;
    LASTINPUTINFO li{};
    li.cbSize = sizeof li;
    BOOL ok = GetLastInputInfo(&li);
    DWORD now = GetTickCount();
    put("ok", ok ? 1 : 0);
    put("tick", (long long)now);
    put("last_input", (long long)li.dwTime);
    put("idle_ms", (long long)(int)(now - li.dwTime));
    return ok ? 0 : 1;
}

// nudge: a mouse move there and back through SendInput, the input a user would give;
// then the same as idle.
int cmdNudge(int argc, wchar_t**) {
    if (argc != 0) return 2;
    INPUT in[2]{};
    for (int i = 0; i < 2; ++i) {
        in[i].type = INPUT_MOUSE;
        in[i].mi.dx = i == 0 ? 1 : -1;
        in[i].mi.dwFlags = MOUSEEVENTF_MOVE;
    }
    UINT sent = SendInput(2, in, sizeof(INPUT));
    put("sent", (long long)sent);
    if (sent != 2) return 1;
    return cmdIdle(0, nullptr);
}

// ---- the keyboard, as a user at it ----
//
// Keys go through SendInput to whatever has the focus in the foreground window, as a
// user's keys do; the program's own message loop decides what they do.

// One key of a "keys" list: "tab", "space", "enter", "escape", the arrows ("left",
// "right", "up", "down"), "home", "end", a letter or digit, or "0x.." for any virtual key, with "shift+", "ctrl+" and
// "alt+" before it for keys held down meanwhile; or "text:..." for characters typed
// as themselves.
struct Key {
    WORD vk = 0;
    std::vector<WORD> held;
    std::wstring text;
};

bool parseKey(const wchar_t* spec, Key& key) {
    std::wstring s = spec;
    if (s.rfind(L"text:", 0) == 0) {
        key.text = s.substr(5);
        return !key.text.empty();
    }
    const std::pair<const wchar_t*, WORD> modifiers[] = {{L"shift+", VK_SHIFT}, {L"ctrl+", VK_CONTROL},
                                                          {L"alt+", VK_MENU}};
    for (bool found = true; found;) {
        found = false;
        for (const auto& [prefix, vk] : modifiers) {
            const size_t n = std::wcslen(prefix);
            if (s.size() > n && _wcsnicmp(s.c_str(), prefix, n) == 0) {
                key.held.push_back(vk);
                s.erase(0, n);
                found = true;
            }
        }
    }
    const std::pair<const wchar_t*, WORD> names[] = {
        {L"tab", VK_TAB},     {L"space", VK_SPACE}, {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE},
        {L"left", VK_LEFT},   {L"right", VK_RIGHT}, {L"up", VK_UP},        {L"down", VK_DOWN},
        {L"home", VK_HOME},   {L"end", VK_END}};
    for (const auto& [name, vk] : names)
        if (_wcsicmp(s.c_str(), name) == 0) return key.vk = vk, true;
    if (s.size() == 1 && std::iswalnum(s[0]) && s[0] < 0x80) return key.vk = (WORD)std::towupper(s[0]), true;
    unsigned long long v = 0;
    if (s.size() > 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X') && parseNumber(s.c_str(), v) && v > 0 &&
        v < 0xFF)
        return key.vk = (WORD)v, true;
    return false;
}

void addKey(std::vector<INPUT>& in, WORD vk, wchar_t ch, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = ch ? ch : (WORD)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    i.ki.dwFlags = (ch ? KEYEVENTF_UNICODE : 0) | (up ? KEYEVENTF_KEYUP : 0);
    in.push_back(i);
}

bool sendKey(const Key& key) {
    std::vector<INPUT> in;
    for (wchar_t ch : key.text) addKey(in, 0, ch, false), addKey(in, 0, ch, true);
    if (key.vk) {
        for (WORD vk : key.held) addKey(in, vk, 0, false);
        addKey(in, key.vk, 0, false);
        addKey(in, key.vk, 0, true);
        for (auto it = key.held.rbegin(); it != key.held.rend(); ++it) addKey(in, *it, 0, true);
    }
    return SendInput((UINT)in.size(), in.data(), sizeof(INPUT)) == in.size();
}

bool bringToFront(HWND h) {
    SetForegroundWindow(h);
    for (int i = 0; i < 100 && GetForegroundWindow() != h; ++i) Sleep(20);
    return GetForegroundWindow() == h;
}

// How long a wait for a state the program reaches by itself may take: the suite's limit
// from the environment, else 3 s.
DWORD programWaitMs() {
    wchar_t text[16] = L"";
    const DWORD n = GetEnvironmentVariableW(L"PROGRAM_WAIT_MS", text, 16);
    const unsigned long ms = n > 0 && n < 16 ? std::wcstoul(text, nullptr, 10) : 0;
    return ms > 0 ? (DWORD)ms : 3000;
}

// The window with the keyboard focus in the thread of a window, or null.
HWND focusOf(HWND h) {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gti)) return nullptr;
    return gti.hwndFocus;
}

// Waits up to `timeout` ms for the focus to leave `from`; the focus then.
HWND focusAfter(HWND window, HWND from, DWORD timeout) {
    double until = clockMs() + timeout;
    HWND now = focusOf(window);
    while (now == from && clockMs() < until) {
        Sleep(10);
        now = focusOf(window);
    }
    return now;
}

// One line about the focused window and the control it belongs to (the text field of
// a drop-down list stands for the list): the control, its parent, class and text.
void putFocus(const char* key, HWND f) {
    HWND control = f;
    if (f && _wcsicmp(className(f).c_str(), L"Edit") == 0 && GetParent(f) &&
        _wcsicmp(className(GetParent(f)).c_str(), L"ComboBox") == 0)
        control = GetParent(f);
    HWND parent = control ? GetParent(control) : nullptr;
    std::printf("%s=0x%llx control=0x%llx parent=0x%llx class=%s text=%s\n", key, (unsigned long long)(UINT_PTR)f,
                (unsigned long long)(UINT_PTR)control, (unsigned long long)(UINT_PTR)parent,
                control ? oneLine(className(control)).c_str() : "", control ? oneLine(windowText(control)).c_str() : "");
}

// focus <window>: the control that has the keyboard focus in the window's thread.
int cmdFocus(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    HWND f = focusOf(h);
    putFocus("focus", f);
    return f ? 0 : 1;
}

// keys <window> <key>...: the window to the front, then the keys one after the other.
// Prints where the focus is once the program has taken them (it stays put for 300 ms).
int cmdKeys(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    std::vector<Key> keys(argc - 1);
    for (int i = 1; i < argc; ++i)
        if (!parseKey(argv[i], keys[i - 1])) {
            std::fprintf(stderr, "unknown key %s\n", utf8(argv[i]).c_str());
            return 2;
        }
    if (!bringToFront(h)) {
        std::fprintf(stderr, "the window does not come to the front\n");
        return 1;
    }
    for (const Key& k : keys)
        if (!sendKey(k)) return 1;
    HWND f = focusOf(h);
    for (double stable = clockMs(); clockMs() - stable < 300;) {
        Sleep(20);
        HWND now = focusOf(h);
        if (now != f) f = now, stable = clockMs();
    }
    putFocus("focus", f);
    return 0;
}

// mouse-click <control> [inactive]: its window to the front, then a click of the left
// mouse button at the control's middle, as a user makes it. With "inactive" the window
// stays where it is among the others, and the click itself activates it.
int cmdMouseClick(int argc, wchar_t** argv) {
    if (argc < 1 || argc > 2 || (argc == 2 && std::wcscmp(argv[1], L"inactive") != 0)) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    if (argc == 1 && !bringToFront(GetAncestor(h, GA_ROOT))) {
        std::fprintf(stderr, "the window does not come to the front\n");
        return 1;
    }
    RECT r{};
    GetWindowRect(h, &r);
    return clickAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}) ? 0 : 1;
}

// Whether the thread of a window is in a move or size loop.
bool inMoveLoop(HWND h) {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    return GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gti) && (gti.flags & GUI_INMOVESIZE);
}

bool mouseInput(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.dx = dx;
    in.mi.dy = dy;
    return SendInput(1, &in, sizeof in) == 1;
}

// drag <window> <dx> <dy>: the window to the front, then the left mouse button pressed on
// its title bar, the mouse moved by dx, dy in small steps and the button let go, as a user
// drags it. Once the program has left its move loop and answers again, prints where the
// pointer went and the window's rectangle.
int cmdDrag(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    const LONG dx = std::wcstol(argv[1], nullptr, 10), dy = std::wcstol(argv[2], nullptr, 10);
    h = GetAncestor(h, GA_ROOT);
    if (!bringToFront(h)) {
        std::fprintf(stderr, "the window does not come to the front\n");
        return 1;
    }
    RECT r{};
    GetWindowRect(h, &r);
    POINT client{0, 0};
    ClientToScreen(h, &client);
    const POINT grab{(r.left + r.right) / 2, (r.top + client.y) / 2};
    DWORD_PTR hit = 0;
    if (!SendMessageTimeoutW(h, WM_NCHITTEST, 0, MAKELPARAM(grab.x, grab.y), SMTO_ABORTIFHUNG, 2000, &hit) ||
        hit != HTCAPTION) {
        std::fprintf(stderr, "the point %ld,%ld is not on the title bar (hit test %llu)\n", grab.x, grab.y,
                     (unsigned long long)hit);
        return 1;
    }
    SetCursorPos(grab.x, grab.y);
    if (!mouseInput(MOUSEEVENTF_LEFTDOWN)) return 1;
    const double until = clockMs() + programWaitMs();
    while (!inMoveLoop(h) && clockMs() < until) Sleep(10);
    put("move_loop", inMoveLoop(h) ? 1 : 0);
    // Steps of at most 5 pixels: the system doubles a faster move, as for a user's mouse.
    const LONG steps = std::max<LONG>(1, (std::max(std::labs(dx), std::labs(dy)) + 4) / 5);
    for (LONG i = 1; i <= steps; ++i) {
        if (!mouseInput(MOUSEEVENTF_MOVE, dx * i / steps - dx * (i - 1) / steps, dy * i / steps - dy * (i - 1) / steps))
            return 1;
        Sleep(10);
    }
    if (!mouseInput(MOUSEEVENTF_LEFTUP)) return 1;
    while (inMoveLoop(h) && clockMs() < until) Sleep(10);
    DWORD_PTR answer = 0;
    if (inMoveLoop(h) || !SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
        std::fprintf(stderr, "the program did not end the move\n");
        return 1;
    }
    POINT at{};
    GetCursorPos(&at);
    put("moved_x", at.x - grab.x);
    put("moved_y", at.y - grab.y);
    GetWindowRect(h, &r);
    put("x", r.left);
    put("y", r.top);
    put("w", r.right - r.left);
    put("h", r.bottom - r.top);
    return 0;
}

// tab-walk <window> <presses> [back]: the window to the front, then Tab (Shift+Tab with
// "back") that many times, each once the focus has moved on from the last one; prints
// every control the focus reached, in order. A focus that stays put for the suite's
// wait for the program (PROGRAM_WAIT_MS, else 3 s) ends the walk ("stuck=1").
int cmdTabWalk(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::wcscmp(argv[2], L"back") != 0)) return 2;
    HWND h = resolve(argv[0]);
    if (!h || !IsWindow(h)) return 1;
    const auto presses = number(argv[1]);
    Key tab;
    tab.vk = VK_TAB;
    if (argc == 3) tab.held.push_back(VK_SHIFT);
    if (!bringToFront(h)) {
        std::fprintf(stderr, "the window does not come to the front\n");
        return 1;
    }
    HWND f = focusOf(h);
    putFocus("start", f);
    for (unsigned long long i = 0; i < presses; ++i) {
        if (!sendKey(tab)) return 1;
        HWND next = focusAfter(h, f, programWaitMs());
        if (next == f) {
            put("stuck", 1);
            break;
        }
        f = next;
        putFocus("focus", f);
    }
    return 0;
}

// ---- stand-in window ----
//
// window <class> <caption> [visible|hidden|small] [seconds]: a top-level window of our
// own that logs every message of the private range (WM_APP and up) it is sent or posted,
// with the clock, until it gets WM_CLOSE or its time runs out. It stands in for a
// running copy (to see exactly what a second start tells it), for another program's
// window of the same class, or covers the screen so that a raise can be seen. A small
// one lies in the screen's top left corner, beside the program's window, which stays
// in reach of the mouse while the other window is the active one.

LRESULT CALLBACK standInProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_APP && msg <= 0xBFFF) {
        std::printf("message=0x%x wparam=0x%llx lparam=0x%llx clock=%.3f\n", msg, (unsigned long long)wp,
                    (unsigned long long)lp, clockMs());
        std::fflush(stdout);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

int cmdWindow(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 4) return 2;
    const bool visible = argc < 3 || std::wcscmp(argv[2], L"hidden") != 0;
    const bool small = argc >= 3 && std::wcscmp(argv[2], L"small") == 0;
    DWORD seconds = argc == 4 ? (DWORD)number(argv[3]) : 120;
    WNDCLASSW wc{};
    wc.lpfnWndProc = standInProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    wc.lpszClassName = argv[0];
    if (!RegisterClassW(&wc)) return 1;
    HWND h = CreateWindowExW(0, argv[0], argv[1], WS_OVERLAPPEDWINDOW, 0, 0, small ? 120 : 1600, small ? 100 : 1000,
                             nullptr, nullptr, wc.hInstance, nullptr);
    if (!h) return 1;
    if (visible) {
        ShowWindow(h, SW_SHOW);
        SetForegroundWindow(h);
    }
    SetTimer(h, 1, seconds * 1000, [](HWND w, UINT, UINT_PTR, DWORD) { DestroyWindow(w); });
    putHwnd("hwnd", h);
    put("pid", (long long)GetCurrentProcessId());
    std::fflush(stdout);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    put("closed", 1);
    return 0;
}

// ---- settings store ----

HKEY splitKey(const wchar_t* path, std::wstring& sub) {
    std::wstring p = path;
    size_t slash = p.find(L'\\');
    std::wstring root = p.substr(0, slash);
    sub = slash == std::wstring::npos ? L"" : p.substr(slash + 1);
    if (root == L"HKCU" || root == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    std::fprintf(stderr, "unknown root key %s\n", utf8(root).c_str());
    std::exit(2);
}

// reg-get <key> <value>
int cmdRegGet(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    std::wstring sub;
    HKEY root = splitKey(argv[0], sub);
    DWORD type = 0, size = 0;
    if (RegGetValueW(root, sub.c_str(), argv[1], RRF_RT_ANY, &type, nullptr, &size) != ERROR_SUCCESS) {
        put("found", 0);
        return 1;
    }
    std::vector<BYTE> data(size + 2, 0);
    RegGetValueW(root, sub.c_str(), argv[1], RRF_RT_ANY, &type, data.data(), &size);
    put("found", 1);
    put("type", (long long)type);
    put("size", (long long)size);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        put("value", oneLine(reinterpret_cast<const wchar_t*>(data.data())));
    } else if (type == REG_DWORD) {
        put("value", (long long)*reinterpret_cast<const DWORD*>(data.data()));
    } else {
        std::string hex;
        char b[4];
        for (DWORD i = 0; i < size; ++i) std::snprintf(b, sizeof b, "%02x", data[i]), hex += b;
        put("value", hex);
    }
    return 0;
}

// reg-delete <key>: the key and everything below it; a missing key is no error.
int cmdRegDelete(int argc, wchar_t** argv) {
    if (argc != 1) return 2;
    std::wstring sub;
    HKEY root = splitKey(argv[0], sub);
    LSTATUS s = RegDeleteTreeW(root, sub.c_str());
    if (s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND) RegDeleteKeyW(root, sub.c_str());
    return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

struct Command {
    const wchar_t* name;
    int (*run)(int, wchar_t**);
    const char* usage;
};

const Command kCommands[] = {
    {L"find", cmdFind, "find <class|*> <caption|*>"},
    {L"wait-window", cmdWaitWindow, "wait-window <class> <caption> <timeout> [exists|visible|hidden|gone]"},
    {L"wait-gone", cmdWaitGone, "wait-gone <window> <timeout>"},
    {L"post", cmdPost, "post <window> <message> <wparam> <lparam>"},
    {L"send", cmdSend, "send <window> <message> <wparam> <lparam>"},
    {L"wait-popup", cmdWaitPopup, "wait-popup <pid|window> <timeout>"},
    {L"state", cmdState, "state <window>"},
    {L"list-children", cmdChildren, "list-children <window>"},
    {L"windows", cmdWindows, "windows <pid|window>"},
    {L"find-dialog", cmdFindDialog, "find-dialog <text> <timeout> [pid|window]"},
    {L"press", cmdPress, "press <dialog> <button id|text>"},
    {L"start", cmdStart, "start <exe> [args...]"},
    {L"run", cmdRun, "run <timeout> <exe> [args...]"},
    {L"wait-exit", cmdWaitExit, "wait-exit <pid> <timeout>"},
    {L"alive", cmdAlive, "alive <pid>"},
    {L"priority", cmdPriority, "priority <pid>"},
    {L"kill", cmdKill, "kill <pid>"},
    {L"combo", cmdCombo, "combo <combo box>"},
    {L"foreground", cmdForeground, "foreground <window>"},
    {L"click", cmdClick, "click <button>"},
    {L"enter", cmdEnter, "enter <combo box>"},
    {L"pick", cmdPick, "pick <drop-down list|list box> <index> [posted]"},
    {L"type", cmdType, "type <combo box> <text>"},
    {L"listbox", cmdListBox, "listbox <list box>"},
    {L"set-text", cmdSetText, "set-text <edit> <text>"},
    {L"key", cmdKey, "key <window> <virtual key>"},
    {L"tab", cmdTab, "tab <tab control> <position>"},
    {L"mouse-click", cmdMouseClick, "mouse-click <control> [inactive]"},
    {L"drag", cmdDrag, "drag <window> <dx> <dy>"},
    {L"focus", cmdFocus, "focus <window>"},
    {L"keys", cmdKeys, "keys <window> <key>..."},
    {L"tab-walk", cmdTabWalk, "tab-walk <window> <presses> [back]"},
    {L"wait-text", cmdWaitText, "wait-text <window> <regex> <timeout>"},
    {L"watch-text", cmdWatchText, "watch-text <window> <timeout>"},
    {L"idle", cmdIdle, "idle"},
    {L"nudge", cmdNudge, "nudge"},
    {L"window", cmdWindow, "window <class> <caption> [visible|hidden] [seconds]"},
    {L"reg-get", cmdRegGet, "reg-get <key> <value>"},
    {L"reg-delete", cmdRegDelete, "reg-delete <key>"},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Plain "\n" line ends: the shell side reads these lines with sed and read.
    _setmode(_fileno(stdout), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IOLBF, 4096);
    if (argc >= 2) {
        for (const auto& c : kCommands) {
            if (std::wcscmp(argv[1], c.name) != 0) continue;
            int rc = c.run(argc - 2, argv + 2);
            if (rc == 2) std::fprintf(stderr, "usage: e2e_driver %s\n", c.usage);
            std::fflush(stdout);
            return rc;
        }
    }
    std::fprintf(stderr, "usage: e2e_driver <command> ...\n");
    for (const auto& c : kCommands) std::fprintf(stderr, "  %s\n", c.usage);
    return 2;
}
