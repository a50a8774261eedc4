/* Looks at fake_reader.exe from another process, the way stellmark.exe does: finds its
 * window by class, reads the title across processes, and closes it with WM_CLOSE.
 *
 *   fake_reader_probe title CLASS                 print the title ("none" if no window)
 *   fake_reader_probe wait CLASS TITLE TIMEOUT_MS wait until the title is TITLE
 *   fake_reader_probe close CLASS TIMEOUT_MS      post WM_CLOSE, wait for the process to end
 *   fake_reader_probe start EXE                   start EXE hidden, without parameters
 *   fake_reader_probe visible CLASS               print "visible" or "hidden"
 *
 * Exit code 0 on success, 1 otherwise. Test fixture only, never shipped.
 */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int get_title(const char *cls, char *out, int size)
{
    HWND hwnd = FindWindowExA(NULL, NULL, cls, NULL);
    if (!hwnd)
        return 0;
    out[0] = '\0';
    GetWindowTextA(hwnd, out, size);
    return 1;
}

static int cmd_title(const char *cls)
{
    char title[256];
    if (!get_title(cls, title, sizeof title)) {
        printf("none\n");
        return 1;
    }
    printf("%s\n", title);
    return 0;
}

static int cmd_wait(const char *cls, const char *want, DWORD timeout_ms)
{
    ULONGLONG start = GetTickCount64();
    char title[256] = "";
    int found = 0;
    for (;;) {
        found = get_title(cls, title, sizeof title);
        ULONGLONG elapsed = GetTickCount64() - start;
        if (found && strcmp(title, want) == 0) {
            printf("title %s after %llu ms\n", title, elapsed);
            return 0;
        }
        if (elapsed >= timeout_ms)
            break;
        Sleep(20);
    }
    printf("timeout: title %s\n", found ? title : "(no window)");
    return 1;
}

static int cmd_close(const char *cls, DWORD timeout_ms)
{
    HWND hwnd = FindWindowExA(NULL, NULL, cls, NULL);
    if (!hwnd) {
        printf("none\n");
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE proc = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!proc) {
        printf("OpenProcess failed %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    ULONGLONG start = GetTickCount64();
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    DWORD w = WaitForSingleObject(proc, timeout_ms);
    ULONGLONG elapsed = GetTickCount64() - start;
    DWORD code = 0;
    GetExitCodeProcess(proc, &code);
    CloseHandle(proc);
    if (w != WAIT_OBJECT_0) {
        printf("timeout: pid %lu still running after %llu ms\n", (unsigned long)pid, elapsed);
        return 1;
    }
    printf("closed pid %lu exit %lu after %llu ms\n", (unsigned long)pid, (unsigned long)code,
           elapsed);
    return 0;
}

/* As stellmark.exe starts the reader: ShellExecute, no parameters, SW_HIDE. */
static int cmd_start(const char *exe)
{
    INT_PTR r = (INT_PTR)ShellExecuteA(NULL, "open", exe, NULL, NULL, SW_HIDE);
    if (r <= 32) {
        printf("ShellExecute failed %d\n", (int)r);
        return 1;
    }
    printf("started\n");
    return 0;
}

static int cmd_visible(const char *cls)
{
    HWND hwnd = FindWindowExA(NULL, NULL, cls, NULL);
    if (!hwnd) {
        printf("none\n");
        return 1;
    }
    printf("%s\n", IsWindowVisible(hwnd) ? "visible" : "hidden");
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "title") == 0)
        return cmd_title(argv[2]);
    if (argc == 5 && strcmp(argv[1], "wait") == 0)
        return cmd_wait(argv[2], argv[3], (DWORD)strtoul(argv[4], NULL, 10));
    if (argc == 4 && strcmp(argv[1], "close") == 0)
        return cmd_close(argv[2], (DWORD)strtoul(argv[3], NULL, 10));
    if (argc == 3 && strcmp(argv[1], "start") == 0)
        return cmd_start(argv[2]);
    if (argc == 3 && strcmp(argv[1], "visible") == 0)
        return cmd_visible(argv[2]);
    fprintf(stderr,
            "usage: %s title CLASS | wait CLASS TITLE TIMEOUT_MS | close CLASS TIMEOUT_MS"
            " | start EXE | visible CLASS\n",
            argv[0]);
    return 2;
}
