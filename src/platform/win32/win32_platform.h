// The platform interfaces bound to the real Windows functions of the same names.
#pragma once

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
};

}  // namespace platform::win32
