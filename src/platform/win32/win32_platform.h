// The platform interfaces bound to the real Windows functions of the same names.
#pragma once

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/system_library.h"

namespace platform::win32 {

class Win32Windows final : public Windows {
public:
    Window FindWindowExA(Window parent, Window childAfter, const char* className, const char* windowName) override;
    bool PostMessageA(Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    int GetWindowTextA(Window w, char* buffer, int maxCount) override;
    int GetClassNameA(Window w, char* buffer, int maxCount) override;
    bool IsWindow(Window w) override;
    bool GetLastInputInfo(std::uint32_t& lastInputTick) override;
    bool EnumWindows(const std::function<bool(Window)>& callback) override;
    bool GetWindowInfo(Window w, WindowInfo& info) override;
    std::uint32_t GetWindowThreadProcessId(Window w, std::uint32_t* processId) override;
    Window GetForegroundWindow() override;
    Window GetShellWindow() override;
    Window GetDesktopWindow() override;
    std::int32_t DwmGetWindowAttribute(Proc entry, Window w, std::uint32_t attribute, void* value,
                                       std::uint32_t size) override;
};

class Win32Clock final : public Clock {
public:
    std::uint32_t GetTickCount() override;
    std::uint64_t GetTickCount64() override;
    void Sleep(std::uint32_t ms) override;
};

class Win32SystemInfo final : public SystemInfo {
public:
    bool GetSystemTimes(SystemTimes& times) override;
    bool GetSystemPowerStatus(PowerStatus& status) override;
    std::uint32_t GetUserDefaultLCID() override;
};

// Every call passes no root key, so the power service works on the machine's own schemes.
// powrprof.dll is not a known system library: it is loaded from the system folder only,
// and a call whose function cannot be had fails with ERROR_PROC_NOT_FOUND.
class Win32PowerService final : public PowerService {
public:
    Win32PowerService();
    std::uint32_t PowerEnumerate(const Guid* scheme, const Guid* subgroup, std::uint32_t accessFlags,
                                 std::uint32_t index, std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                        std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    std::uint32_t PowerGetActiveScheme(Guid& active) override;
    std::uint32_t PowerSetActiveScheme(const Guid& scheme) override;
    std::uint32_t PowerReadACValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                        std::uint32_t& value) override;
    std::uint32_t PowerReadDCValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                        std::uint32_t& value) override;
    std::uint32_t PowerWriteACValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                         std::uint32_t value) override;
    std::uint32_t PowerWriteDCValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                         std::uint32_t value) override;
    std::uint32_t PowerReadACDefaultIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                          std::uint32_t& value) override;
    std::uint32_t PowerReadDCDefaultIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                          std::uint32_t& value) override;
    std::uint32_t PowerReadDescription(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                       std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    bool PowerIsSettingRangeDefined(const Guid* subgroup, const Guid* setting) override;
    std::uint32_t PowerReadValueUnitsSpecifier(const Guid* subgroup, const Guid* setting, std::uint8_t* buffer,
                                               std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadValueMax(const Guid* subgroup, const Guid* setting, std::uint32_t& value) override;
    std::uint32_t PowerReadValueMin(const Guid* subgroup, const Guid* setting, std::uint32_t& value) override;
    std::uint32_t PowerReadPossibleFriendlyName(const Guid* subgroup, const Guid* setting, std::uint32_t index,
                                                std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    std::uint32_t PowerReadPossibleDescription(const Guid* subgroup, const Guid* setting, std::uint32_t index,
                                               std::uint8_t* buffer, std::uint32_t* bufferSize) override;
    std::uint32_t PowerDuplicateScheme(const Guid& source, Guid& created) override;
    std::uint32_t PowerWriteFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                         const std::uint8_t* buffer, std::uint32_t bufferSize) override;

private:
    using ReadIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);
    using WriteIndex = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, DWORD);
    static std::uint32_t readIndex(ReadIndex read, const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                   std::uint32_t& value);
    static std::uint32_t writeIndex(WriteIndex write, const Guid& scheme, const Guid& subgroup,
                                    const Guid& setting, std::uint32_t value);

    SystemLibrary powrprof_{L"powrprof.dll"};
    // Resolved once; a null entry is a function the library does not have.
    DWORD(WINAPI* enumerate_)(HKEY, const GUID*, const GUID*, DWORD, ULONG, UCHAR*, DWORD*) = nullptr;
    DWORD(WINAPI* readFriendlyName_)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD*) = nullptr;
    DWORD(WINAPI* getActiveScheme_)(HKEY, GUID**) = nullptr;
    DWORD(WINAPI* setActiveScheme_)(HKEY, const GUID*) = nullptr;
    ReadIndex readACValueIndex_ = nullptr, readDCValueIndex_ = nullptr;
    ReadIndex readACDefaultIndex_ = nullptr, readDCDefaultIndex_ = nullptr;
    WriteIndex writeACValueIndex_ = nullptr, writeDCValueIndex_ = nullptr;
    using ReadText = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD*);
    using ReadSettingText = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, UCHAR*, DWORD*);
    using ReadPossibleText = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, ULONG, UCHAR*, DWORD*);
    using ReadLimit = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, DWORD*);
    static std::uint32_t readPossibleText(ReadPossibleText read, const Guid* subgroup, const Guid* setting,
                                          std::uint32_t index, std::uint8_t* buffer, std::uint32_t* bufferSize);
    static std::uint32_t readLimit(ReadLimit read, const Guid* subgroup, const Guid* setting, std::uint32_t& value);
    ReadText readDescription_ = nullptr;
    BOOLEAN(WINAPI* isSettingRangeDefined_)(const GUID*, const GUID*) = nullptr;
    ReadSettingText readValueUnitsSpecifier_ = nullptr;
    ReadLimit readValueMax_ = nullptr, readValueMin_ = nullptr;
    ReadPossibleText readPossibleFriendlyName_ = nullptr, readPossibleDescription_ = nullptr;
    DWORD(WINAPI* duplicateScheme_)(HKEY, const GUID*, GUID**) = nullptr;
    DWORD(WINAPI* writeFriendlyName_)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD) = nullptr;
};

// HKEY_LOCAL_MACHINE, read only.
class Win32MachineRegistry final : public MachineRegistry {
public:
    RegistryKey OpenKeyReadOnly(const std::u16string& path) override;
    bool ValueExists(RegistryKey key, const char16_t* name) override;
    std::u16string ReadString(RegistryKey key, const char16_t* name) override;
    void CloseKey(RegistryKey key) override;
};

// Processes, the thread's token and the optional functions (win32_processes.cpp).
// ntdll is a known library, but NtSetInformationProcess is not documented for
// linking, so it is looked up at run time too.
class Win32Processes final : public Processes {
public:
    Win32Processes();
    bool GetProcessAffinityMask(Handle process, std::uint64_t& processMask, std::uint64_t& systemMask) override;
    std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) override;
    std::uint32_t GetLastError() override;
    std::uint32_t GetCurrentProcessId() override;
    bool OpenThreadToken(Handle thread, std::uint32_t access, bool openAsSelf, Handle& token) override;
    bool ImpersonateSelf(int impersonationLevel) override;
    bool LookupPrivilegeValueA(const char* systemName, const char* name, std::uint32_t& luidLow,
                               std::int32_t& luidHigh) override;
    bool AdjustTokenPrivileges(Handle token, bool disableAll, const TokenPrivileges* newState,
                               std::uint32_t bufferLength, TokenPrivileges* previousState,
                               std::uint32_t* returnLength) override;
    Module LoadSystemLibrary(const char* name) override;
    Proc GetProcAddress(Module module, const char* name) override;
    bool FreeLibrary(Module module) override;
    Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool CloseHandle(Handle h) override;
    bool SetPriorityClass(Handle process, std::uint32_t priorityClass) override;
    std::uint32_t GetPriorityClass(Handle process) override;
    bool GetProcessTimes(Handle process, ProcessTimes& times) override;
    bool SetProcessAffinityMask(Handle process, std::uint64_t mask) override;
    bool SetProcessInformation(Proc entry, Handle process, std::uint32_t informationClass, const void* information,
                               std::uint32_t size) override;
    std::int32_t NtSetInformationProcess(Handle process, std::uint32_t informationClass, const void* information,
                                         std::uint32_t length) override;
    Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
    bool Process32First(Handle snapshot, ProcessEntry& entry) override;
    bool Process32Next(Handle snapshot, ProcessEntry& entry) override;
    std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;

private:
    SystemLibrary ntdll_{L"ntdll.dll"};
    LONG(NTAPI* ntSetInformationProcess_)(HANDLE, ULONG, PVOID, ULONG) = nullptr;
    // The libraries loaded for the system's optional functions, until freed.
    std::vector<std::unique_ptr<SystemLibrary>> libraries_;
};

// The current user's registry (win32_registry.cpp).
class Win32UserRegistry final : public UserRegistry {
public:
    std::int32_t RegOpenKeyExA(const char* subKey, std::uint32_t access, Key& key) override;
    std::int32_t RegCreateKeyExA(const char* subKey, std::uint32_t access, Key& key) override;
    std::int32_t RegCloseKey(Key key) override;
    std::int32_t RegQueryValueExA(Key key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                 std::uint32_t* size) override;
    std::int32_t RegSetValueExA(Key key, const char* name, std::uint32_t type, const std::uint8_t* data,
                               std::uint32_t size) override;
    std::int32_t RegDeleteValueA(Key key, const char* name) override;
};

}  // namespace platform::win32
