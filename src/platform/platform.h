// The Windows services the system calls, as portable interfaces. The Win32
// backend forwards each method to the function of the same name; the simulated
// Windows of the tests records every call. Names and argument order follow the
// Windows functions so that a reader can look each one up.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/guid.h"

namespace platform {

using Window = std::uintptr_t;  // HWND; 0 is no window

// Top-level windows and input (user32).
class Windows {
public:
    virtual ~Windows() = default;
    // 8-bit calls: class names and titles in the process code page (UTF-8).
    // A null title matches any title.
    virtual Window FindWindowExA(Window parent, Window childAfter, const char* className, const char* windowName) = 0;
    virtual bool PostMessageA(Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Copies at most maxCount-1 bytes and a terminating zero; returns the bytes copied.
    virtual int GetWindowTextA(Window w, char* buffer, int maxCount) = 0;
    virtual int GetClassNameA(Window w, char* buffer, int maxCount) = 0;
    virtual bool IsWindow(Window w) = 0;
    // The tick of the last keyboard or mouse input; false when it cannot be had.
    virtual bool GetLastInputInfo(std::uint32_t& lastInputTick) = 0;
};

// Tick counters and sleep (kernel32).
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t GetTickCount() = 0;
    virtual std::uint64_t GetTickCount64() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
};

// Processor times and the power source (kernel32).
struct SystemTimes {
    std::uint64_t idle = 0, kernel = 0, user = 0;  // 100-ns units; kernel includes idle
};

struct PowerStatus {
    std::uint8_t acLineStatus = 255;  // 0 offline, 1 online, 255 unknown
    std::uint8_t batteryFlag = 255;
    std::uint8_t batteryLifePercent = 255;
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual bool GetSystemTimes(SystemTimes& times) = 0;
    virtual bool GetSystemPowerStatus(PowerStatus& status) = 0;
};

// The power-management service (powrprof). All calls pass no root key; results are
// Win32 error codes, 0 for success.
constexpr std::uint32_t ACCESS_SCHEME = 16;

class PowerService {
public:
    virtual ~PowerService() = default;
    // Writes the index-th scheme GUID into buffer when bufferSize is at least 16.
    virtual std::uint32_t PowerEnumerate(const Guid* scheme, const Guid* subgroup, std::uint32_t accessFlags,
                                         std::uint32_t index, std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    // Writes a zero-terminated UTF-16 name of at most *bufferSize bytes.
    virtual std::uint32_t PowerReadFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    virtual std::uint32_t PowerGetActiveScheme(Guid& active) = 0;
    virtual std::uint32_t PowerSetActiveScheme(const Guid& scheme) = 0;
    virtual std::uint32_t PowerReadACValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                std::uint32_t& value) = 0;
    virtual std::uint32_t PowerReadDCValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                std::uint32_t& value) = 0;
    virtual std::uint32_t PowerWriteACValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                 std::uint32_t value) = 0;
    virtual std::uint32_t PowerWriteDCValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                 std::uint32_t value) = 0;
    virtual std::uint32_t PowerReadACDefaultIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                  std::uint32_t& value) = 0;
    virtual std::uint32_t PowerReadDCDefaultIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                  std::uint32_t& value) = 0;
};

// Files and the shell (kernel32, shell32).
constexpr int SW_HIDE_ = 0;  // the show command SW_HIDE

class Shell {
public:
    virtual ~Shell() = default;
    // Relative names are looked up in the process's current directory.
    virtual bool FileExists(const char* name) = 0;
    // 8-bit texts in the process code page; a null verb is the default verb.
    virtual void ShellExecuteA(Window owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) = 0;
};

// The ACPI thermal zones through WMI (COM automation, late bound): the
// CurrentTemperature of every row of MSAcpi_ThermalZoneTemperature in root\wmi,
// in tenths of a kelvin, in the order the query returns them; a row whose value
// is null has no value. False when anything on the way fails (no rights, no such
// class, a value that is not a number).
class Wmi {
public:
    virtual ~Wmi() = default;
    virtual bool QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) = 0;
};

// Still to come behind this same cut, each as its own interface here:
//  - processes (snapshots, times, priority classes, affinity, power throttling,
//    I/O priority, thread execution state, privileges, processor topology);
//  - the window listing (EnumWindows with class, style, cloaking, owner process,
//    foreground window);
//  - the current user's and the local machine's registry, typed reads and writes.

// Everything the system's logic may call, handed to the main window at creation.
struct Platform {
    Windows& windows;
    Clock& clock;
    SystemInfo& system;
    PowerService& power;
    Shell& shell;
    Wmi& wmi;
    int argumentCount = 0;  // command-line arguments, the program name not counted
};

}  // namespace platform
