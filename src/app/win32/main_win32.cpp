// The Windows entry: the real platform and the Win32 toolkit around MainProgram.
#include "app/main_program.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>

#include "ui/win32/win32_backend.h"

namespace {

// The arguments after the program name; only their number matters.
int argumentCount() {
    int count = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) LocalFree(args);
    return std::max(0, count - 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Single-threaded apartment: the temperature query talks to WMI through COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    platform::win32::Win32Windows windows;
    platform::win32::Win32Clock clock;
    platform::win32::Win32SystemInfo system;
    platform::win32::Win32PowerService power;
    platform::win32::Win32Shell shell;
    platform::win32::Win32Wmi wmi;
    platform::win32::Win32Processes processes;
    platform::win32::Win32UserRegistry registry;
    platform::win32::Win32MachineRegistry machineRegistry;
    platform::Platform os{windows, clock, system, power, shell, wmi, processes, registry, machineRegistry,
                          argumentCount()};
    // A second start, which the user has just brought up, passes the foreground on
    // to the running copy that it asks to show its window.
    AllowSetForegroundWindow(ASFW_ANY);
    int exitCode = 0;
    {
        ui::win32::Win32Backend backend(instance);
        // Handlers are caught by the toolkit; this catches what happens outside them
        // (building the window from its design), so no exception leaves the program.
        try {
            app::MainProgram(os, backend);
        } catch (const std::exception& e) {
            backend.reportError(e.what());
            exitCode = 1;
        } catch (...) {
            backend.reportError("Unknown error");
            exitCode = 1;
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
