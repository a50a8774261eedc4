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

// Handles of the kernel (processes, tokens, snapshots); 0 is no handle.
using Handle = std::uintptr_t;
// A loaded library and an entry point found in it; 0 is none.
using Module = std::uintptr_t;
using Proc = std::uintptr_t;

// Window styles and the cloaking attribute the window scans test.
constexpr std::uint32_t WS_VISIBLE_ = 0x10000000;
constexpr std::uint32_t WS_MINIMIZE_ = 0x20000000;
constexpr std::uint32_t DWMWA_CLOAKED_ = 14;

struct WindowInfo {
    std::uint32_t style = 0, exStyle = 0;
};

// Top-level windows and input (user32, dwmapi).
class Windows {
public:
    virtual ~Windows() = default;
    // 8-bit calls: class names and titles in the process code page (UTF-8).
    // A null title matches any title.
    virtual Window FindWindowExA(Window parent, Window childAfter, const char* className, const char* windowName) = 0;
    virtual bool PostMessageA(Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Copies at most maxCount-1 bytes and a terminating zero, never cutting a character;
    // returns the bytes copied.
    virtual int GetWindowTextA(Window w, char* buffer, int maxCount) = 0;
    // As GetWindowTextA; 0 when the class cannot be read.
    virtual int GetClassNameA(Window w, char* buffer, int maxCount) = 0;
    virtual bool IsWindow(Window w) = 0;
    // The tick of the last keyboard or mouse input; false when it cannot be had.
    virtual bool GetLastInputInfo(std::uint32_t& lastInputTick) = 0;

    // Calls the callback for every top-level window in z-order, front first, while it
    // returns true. An exception thrown by the callback ends the enumeration and leaves
    // this call after the operating system's own call has returned.
    virtual bool EnumWindows(const std::function<bool(Window)>& callback) = 0;
    virtual bool GetWindowInfo(Window w, WindowInfo& info) = 0;
    // The thread that created the window (0 when it cannot be had) and its process.
    virtual std::uint32_t GetWindowThreadProcessId(Window w, std::uint32_t* processId) = 0;
    virtual Window GetForegroundWindow() = 0;
    virtual Window GetShellWindow() = 0;
    virtual Window GetDesktopWindow() = 0;
    // Through the entry point found by GetProcAddress in dwmapi.dll; an HRESULT, 0 for
    // success.
    virtual std::int32_t DwmGetWindowAttribute(Proc entry, Window w, std::uint32_t attribute, void* value,
                                               std::uint32_t size) = 0;
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
    // The user's locale identifier, sort bits included.
    virtual std::uint32_t GetUserDefaultLCID() = 0;
};

// The power-management service (powrprof). All calls pass no root key; results are
// Win32 error codes, 0 for success.
constexpr std::uint32_t ACCESS_SCHEME = 16;
constexpr std::uint32_t ACCESS_SUBGROUP = 17;
constexpr std::uint32_t ACCESS_INDIVIDUAL_SETTING = 18;

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

    // Settings and their possible values, as the editor shows them. Texts are UTF-16
    // with a terminator, at most *bufferSize bytes.
    virtual std::uint32_t PowerReadDescription(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                               std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    // True when the setting takes a number from a range, false when it has a list of values.
    virtual bool PowerIsSettingRangeDefined(const Guid* subgroup, const Guid* setting) = 0;
    virtual std::uint32_t PowerReadValueUnitsSpecifier(const Guid* subgroup, const Guid* setting,
                                                       std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    virtual std::uint32_t PowerReadValueMax(const Guid* subgroup, const Guid* setting, std::uint32_t& value) = 0;
    virtual std::uint32_t PowerReadValueMin(const Guid* subgroup, const Guid* setting, std::uint32_t& value) = 0;
    virtual std::uint32_t PowerReadPossibleFriendlyName(const Guid* subgroup, const Guid* setting, std::uint32_t index,
                                                        std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    virtual std::uint32_t PowerReadPossibleDescription(const Guid* subgroup, const Guid* setting, std::uint32_t index,
                                                       std::uint8_t* buffer, std::uint32_t* bufferSize) = 0;
    // A copy of the source scheme under a GUID the service chooses, written to created.
    virtual std::uint32_t PowerDuplicateScheme(const Guid& source, Guid& created) = 0;
    virtual std::uint32_t PowerWriteFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                 const std::uint8_t* buffer, std::uint32_t bufferSize) = 0;
};

// The local machine's registry, read only (advapi32): what the operating system keeps
// about its power settings. Paths are taken from HKEY_LOCAL_MACHINE.
using RegistryKey = std::uintptr_t;  // HKEY; 0 is none

class MachineRegistry {
public:
    virtual ~MachineRegistry() = default;
    // RegOpenKeyExW with KEY_READ; 0 when the key does not open.
    virtual RegistryKey OpenKeyReadOnly(const std::u16string& path) = 0;
    virtual bool ValueExists(RegistryKey key, const char16_t* name) = 0;
    // REG_SZ, or REG_EXPAND_SZ without expanding; one trailing zero is not part of the
    // text. A value of another type, or one that cannot be read, throws std::runtime_error.
    virtual std::u16string ReadString(RegistryKey key, const char16_t* name) = 0;
    virtual void CloseKey(RegistryKey key) = 0;
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
    virtual void ShellExecuteW(Window owner, const char16_t* verb, const char16_t* file, const char16_t* parameters,
                               const char16_t* directory, int showCommand) = 0;
};

constexpr int SW_SHOWNORMAL_ = 1;  // the show command SW_SHOWNORMAL

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

// Processes, the thread's token and optional functions (kernel32, advapi32, ntdll).
constexpr Handle CURRENT_PROCESS = ~Handle(0);  // the pseudo-handle GetCurrentProcess returns
constexpr Handle CURRENT_THREAD = ~Handle(1);   // the pseudo-handle GetCurrentThread returns

constexpr std::uint32_t PROCESS_SET_INFORMATION_ = 0x0200;
constexpr std::uint32_t PROCESS_QUERY_INFORMATION_ = 0x0400;
constexpr std::uint32_t IDLE_PRIORITY_CLASS_ = 0x40;
constexpr std::uint32_t BELOW_NORMAL_PRIORITY_CLASS_ = 0x4000;
constexpr std::uint32_t NORMAL_PRIORITY_CLASS_ = 0x20;
constexpr std::uint32_t ABOVE_NORMAL_PRIORITY_CLASS_ = 0x8000;
constexpr std::uint32_t TOKEN_ADJUST_PRIVILEGES_ = 0x20;
constexpr std::uint32_t TOKEN_QUERY_ = 0x8;
constexpr std::uint32_t SE_PRIVILEGE_ENABLED_ = 2;
constexpr int SecurityImpersonation_ = 2;
constexpr std::uint32_t ProcessPowerThrottling_ = 4;  // SetProcessInformation
constexpr std::uint32_t ProcessIoPriority_ = 33;      // NtSetInformationProcess
constexpr std::uint32_t TH32CS_SNAPPROCESS_ = 2;
constexpr std::uint32_t ES_CONTINUOUS_ = 0x80000000;
constexpr std::uint32_t ES_SYSTEM_REQUIRED_ = 0x1;
constexpr std::uint32_t ES_DISPLAY_REQUIRED_ = 0x2;

// The record of TOKEN_PRIVILEGES with one privilege, in its Windows layout (16 bytes).
struct TokenPrivileges {
    std::uint32_t privilegeCount = 0;
    std::uint32_t luidLow = 0;
    std::int32_t luidHigh = 0;
    std::uint32_t attributes = 0;
};
static_assert(sizeof(TokenPrivileges) == 16, "TOKEN_PRIVILEGES with one entry is 16 bytes");

// PROCESS_POWER_THROTTLING_STATE (12 bytes).
struct PowerThrottlingState {
    std::uint32_t version = 0, controlMask = 0, stateMask = 0;
    friend bool operator==(const PowerThrottlingState&, const PowerThrottlingState&) = default;
};
static_assert(sizeof(PowerThrottlingState) == 12, "PROCESS_POWER_THROTTLING_STATE is 12 bytes");

// GetProcessTimes: points in time and durations in 100-ns units; exit is 0 while the
// process runs.
struct ProcessTimes {
    std::uint64_t creation = 0, exit = 0, kernel = 0, user = 0;
};

// One entry of a process snapshot; the file name is UTF-8, cut to fit.
struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t parentProcessId = 0;
    char exeFile[260]{};
};

class Processes {
public:
    virtual ~Processes() = default;
    virtual bool GetProcessAffinityMask(Handle process, std::uint64_t& processMask, std::uint64_t& systemMask) = 0;
    // The length copied without its zero; when the buffer is too small, the size needed
    // with the zero; 0 when the variable does not exist.
    virtual std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) = 0;
    virtual std::uint32_t GetLastError() = 0;
    virtual std::uint32_t GetCurrentProcessId() = 0;

    virtual bool OpenThreadToken(Handle thread, std::uint32_t access, bool openAsSelf, Handle& token) = 0;
    virtual bool ImpersonateSelf(int impersonationLevel) = 0;
    // luid receives the privilege's identifier; a null system name is the local system.
    virtual bool LookupPrivilegeValueA(const char* systemName, const char* name, std::uint32_t& luidLow,
                                       std::int32_t& luidHigh) = 0;
    // True also when not every privilege was assigned: GetLastError tells.
    virtual bool AdjustTokenPrivileges(Handle token, bool disableAll, const TokenPrivileges* newState,
                                       std::uint32_t bufferLength, TokenPrivileges* previousState,
                                       std::uint32_t* returnLength) = 0;

    // Libraries from the system folder only (LoadLibraryExW with
    // LOAD_LIBRARY_SEARCH_SYSTEM32): a file of that name beside the program is never
    // loaded. 0 when the library cannot be loaded.
    virtual Module LoadSystemLibrary(const char* name) = 0;
    virtual Proc GetProcAddress(Module module, const char* name) = 0;
    virtual bool FreeLibrary(Module module) = 0;

    // 0 when the process cannot be opened with exactly that access.
    virtual Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) = 0;
    virtual bool CloseHandle(Handle h) = 0;
    virtual bool SetPriorityClass(Handle process, std::uint32_t priorityClass) = 0;
    // 0 when it fails.
    virtual std::uint32_t GetPriorityClass(Handle process) = 0;
    virtual bool GetProcessTimes(Handle process, ProcessTimes& times) = 0;
    virtual bool SetProcessAffinityMask(Handle process, std::uint64_t mask) = 0;
    // Through the entry point found by GetProcAddress in kernel32.dll.
    virtual bool SetProcessInformation(Proc entry, Handle process, std::uint32_t informationClass,
                                       const void* information, std::uint32_t size) = 0;
    // ntdll's function, looked up at run time; an NTSTATUS, 0 for success.
    virtual std::int32_t NtSetInformationProcess(Handle process, std::uint32_t informationClass,
                                                 const void* information, std::uint32_t length) = 0;

    // 0 when no snapshot can be taken (Windows itself answers INVALID_HANDLE_VALUE).
    virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
    virtual bool Process32First(Handle snapshot, ProcessEntry& entry) = 0;
    virtual bool Process32Next(Handle snapshot, ProcessEntry& entry) = 0;

    // The previous state, 0 when it fails.
    virtual std::uint32_t SetThreadExecutionState(std::uint32_t flags) = 0;
};

// The current user's registry (advapi32), every key under HKEY_CURRENT_USER. Key and
// value names are UTF-8, as the A calls take them in the process code page; data are
// the raw bytes as stored (texts in UTF-16LE), as the W calls give them, which the
// Win32 backend uses. Results are Win32 error codes, 0 for success.
using Key = std::uintptr_t;
constexpr std::uint32_t KEY_READ_ = 0x20019;
constexpr std::uint32_t KEY_ALL_ACCESS_ = 0xF003F;
constexpr std::uint32_t REG_NONE_ = 0;
constexpr std::uint32_t REG_SZ_ = 1;
constexpr std::uint32_t REG_EXPAND_SZ_ = 2;
constexpr std::uint32_t REG_BINARY_ = 3;
constexpr std::uint32_t REG_DWORD_ = 4;
constexpr std::uint32_t REG_MULTI_SZ_ = 7;
constexpr std::int32_t ERROR_FILE_NOT_FOUND_ = 2;
constexpr std::int32_t ERROR_MORE_DATA_ = 234;

class UserRegistry {
public:
    virtual ~UserRegistry() = default;
    virtual std::int32_t RegOpenKeyExA(const char* subKey, std::uint32_t access, Key& key) = 0;
    // Opens the key, creating it and its parents when missing.
    virtual std::int32_t RegCreateKeyExA(const char* subKey, std::uint32_t access, Key& key) = 0;
    virtual std::int32_t RegCloseKey(Key key) = 0;
    // As the Windows call: type, data and size may each be null; when data is not null
    // and *size is too small, ERROR_MORE_DATA with *size set to the size needed.
    virtual std::int32_t RegQueryValueExA(Key key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                         std::uint32_t* size) = 0;
    virtual std::int32_t RegSetValueExA(Key key, const char* name, std::uint32_t type, const std::uint8_t* data,
                                       std::uint32_t size) = 0;
    virtual std::int32_t RegDeleteValueA(Key key, const char* name) = 0;
};

// Everything the system's logic may call, handed to the main window at creation.
struct Platform {
    Windows& windows;
    Clock& clock;
    SystemInfo& system;
    PowerService& power;
    Shell& shell;
    Wmi& wmi;
    Processes& processes;
    UserRegistry& registry;
    MachineRegistry& machineRegistry;
    int argumentCount = 0;  // command-line arguments, the program name not counted
};

}  // namespace platform
