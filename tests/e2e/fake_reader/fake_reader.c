/* Stand-in for the external temperature reader of the Wine end-to-end tests.
 *
 * The real reader shows the CPU temperature in its main window title; stellmark.exe
 * starts it hidden, finds the window by class and title, reads the title, and closes it
 * with WM_CLOSE at exit. This fixture does the same with a temperature a test controls
 * through a text file. Test fixture only, never shipped.
 *
 * Environment:
 *   STELLMARK_FAKE_READER_CLASS       window class (default WindowsForms10...r6_ad1)
 *   STELLMARK_FAKE_READER_TESTING_MS  how long the title stays "testing" (default 2400)
 *   STELLMARK_FAKE_READER_FILE        text file whose first token becomes the title
 *   STELLMARK_FAKE_READER_LOG         file to append one line per event to
 */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define DEFAULT_CLASS "WindowsForms10.Window.8.app.0.141b42a_r6_ad1"
#define DEFAULT_TESTING_MS 2400u
#define POLL_MS 200u

enum { TIMER_TESTING_OVER = 1, TIMER_POLL = 2 };

static char g_log_path[MAX_PATH];
static char g_file_path[MAX_PATH];
static char g_title[64] = "testing";

/* Opened and closed per line so a test can read the log while we run, and nothing is
 * lost if the process is killed. */
static void log_line(const char *fmt, ...)
{
    if (!g_log_path[0])
        return;
    FILE *f = fopen(g_log_path, "a");
    if (!f)
        return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(f, fmt, ap);
    va_end(ap);
    fputc('\n', f);
    fflush(f);
    fclose(f);
}

static void read_env(const char *name, char *buf, DWORD size)
{
    DWORD n = GetEnvironmentVariableA(name, buf, size);
    if (n == 0 || n >= size)
        buf[0] = '\0';
}

/* The file's first whitespace-separated token, verbatim, so a test can feed junk as
 * well as numbers. 0 when the file is missing, unreadable or holds no token: the caller
 * then keeps the last title, as the real reader keeps its last reading. */
static int read_token(char *out, size_t out_size)
{
    if (!g_file_path[0])
        return 0;
    FILE *f = fopen(g_file_path, "rb");
    if (!f)
        return 0;
    char buf[256];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = '\0';
    const char *p = buf;
    if ((unsigned char)p[0] == 0xEF && (unsigned char)p[1] == 0xBB && (unsigned char)p[2] == 0xBF)
        p += 3; /* Notepad's and PowerShell's UTF-8 mark */
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    size_t len = 0;
    while (p[len] && p[len] != ' ' && p[len] != '\t' && p[len] != '\r' && p[len] != '\n')
        ++len;
    if (len == 0 || len >= out_size)
        return 0;
    memcpy(out, p, len);
    out[len] = '\0';
    return 1;
}

static void poll_file(HWND hwnd)
{
    char token[sizeof g_title];
    if (!read_token(token, sizeof token) || strcmp(token, g_title) == 0)
        return;
    strcpy(g_title, token);
    SetWindowTextA(hwnd, g_title);
    log_line("title %s", g_title);
}

static LRESULT CALLBACK wnd_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        if (wp == TIMER_TESTING_OVER) {
            KillTimer(hwnd, TIMER_TESTING_OVER);
            poll_file(hwnd);
            SetTimer(hwnd, TIMER_POLL, POLL_MS, NULL);
        } else if (wp == TIMER_POLL) {
            poll_file(hwnd);
        }
        return 0;
    case WM_CLOSE:
        log_line("WM_CLOSE received");
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, TIMER_TESTING_OVER);
        KillTimer(hwnd, TIMER_POLL);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd_line, int cmd_show)
{
    (void)prev;
    (void)cmd_line;
    char class_name[256];
    char testing_ms_text[32];
    read_env("STELLMARK_FAKE_READER_CLASS", class_name, sizeof class_name);
    if (!class_name[0])
        strcpy(class_name, DEFAULT_CLASS);
    read_env("STELLMARK_FAKE_READER_TESTING_MS", testing_ms_text, sizeof testing_ms_text);
    UINT testing_ms = DEFAULT_TESTING_MS;
    if (testing_ms_text[0]) {
        char *end;
        unsigned long v = strtoul(testing_ms_text, &end, 10);
        if (end != testing_ms_text && *end == '\0')
            testing_ms = (UINT)v;
    }
    read_env("STELLMARK_FAKE_READER_FILE", g_file_path, sizeof g_file_path);
    read_env("STELLMARK_FAKE_READER_LOG", g_log_path, sizeof g_log_path);

    log_line("started pid=%lu", (unsigned long)GetCurrentProcessId());

    WNDCLASSA wc = {0};
    wc.lpfnWndProc = wnd_proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = class_name;
    if (!RegisterClassA(&wc)) {
        log_line("RegisterClass failed %lu", (unsigned long)GetLastError());
        return 1;
    }
    HWND hwnd = CreateWindowExA(0, class_name, g_title, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 240, 80, NULL, NULL, inst, NULL);
    if (!hwnd) {
        log_line("CreateWindow failed %lu", (unsigned long)GetLastError());
        return 1;
    }
    log_line("title %s", g_title);
    /* Started with SW_HIDE by the program under test: stay invisible then. */
    ShowWindow(hwnd, cmd_show);

    /* A zero delay still goes through the timer so the first reading happens inside the
     * message loop, like every later one. */
    SetTimer(hwnd, TIMER_TESTING_OVER, testing_ms ? testing_ms : USER_TIMER_MINIMUM, NULL);

    /* The loop also answers other processes' GetWindowText on this window. */
    MSG msg;
    BOOL r;
    while ((r = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (r == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    log_line("exit");
    return 0;
}
