#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstring>
#include <exception>
#include <optional>

namespace platform::win32 {

namespace {

HWND toHwnd(Window w) { return reinterpret_cast<HWND>(w); }
Window fromHwnd(HWND h) { return reinterpret_cast<Window>(h); }

// Our Guid has the Windows layout, but the two are distinct types: copy, never alias.
GUID toGuid(const Guid& g) {
    GUID out;
    static_assert(sizeof out == sizeof g, "GUID layouts differ");
    std::memcpy(&out, &g, sizeof out);
    return out;
}

Guid fromGuid(const GUID& g) {
    Guid out;
    std::memcpy(static_cast<void*>(&out), &g, sizeof out);
    return out;
}

// An optional GUID argument: null stays null.
class GuidArg {
public:
    explicit GuidArg(const Guid* g) {
        if (g) value_ = toGuid(*g);
    }
    const GUID* get() const { return value_ ? &*value_ : nullptr; }

private:
    std::optional<GUID> value_;
};

std::uint64_t toUint64(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

// ---- Windows ----

Window Win32Windows::FindWindowExA(Window parent, Window childAfter, const char* className, const char* windowName) {
    return fromHwnd(::FindWindowExA(toHwnd(parent), toHwnd(childAfter), className, windowName));
}

bool Win32Windows::PostMessageA(Window w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return ::PostMessageA(toHwnd(w), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
}

int Win32Windows::GetWindowTextA(Window w, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = '\0';
    return ::GetWindowTextA(toHwnd(w), buffer, maxCount);
}

int Win32Windows::GetClassNameA(Window w, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = '\0';
    return ::GetClassNameA(toHwnd(w), buffer, maxCount);
}

bool Win32Windows::IsWindow(Window w) { return ::IsWindow(toHwnd(w)) != FALSE; }

bool Win32Windows::GetLastInputInfo(std::uint32_t& lastInputTick) {
    LASTINPUTINFO info{};
    info.cbSize = sizeof info;
    if (!::GetLastInputInfo(&info)) return false;
    lastInputTick = info.dwTime;
    return true;
}

namespace {
struct EnumState {
    const std::function<bool(Window)>* callback;
    bool stopped = false;
    std::exception_ptr error;
};

// An exception must not unwind through the operating system's frames: it is kept and
// thrown again once EnumWindows has returned.
BOOL CALLBACK enumWindowsProc(HWND h, LPARAM parameter) {
    auto* state = reinterpret_cast<EnumState*>(parameter);
    try {
        if ((*state->callback)(fromHwnd(h))) return TRUE;
    } catch (...) {
        state->error = std::current_exception();
    }
    state->stopped = true;
    return FALSE;
}
}  // namespace

bool Win32Windows::EnumWindows(const std::function<bool(Window)>& callback) {
    EnumState state{&callback, false, nullptr};
    const BOOL ok = ::EnumWindows(enumWindowsProc, reinterpret_cast<LPARAM>(&state));
    if (state.error) std::rethrow_exception(state.error);
    return ok != FALSE || state.stopped;
}

bool Win32Windows::GetWindowInfo(Window w, WindowInfo& info) {
    WINDOWINFO wi{};
    wi.cbSize = sizeof wi;
    if (!::GetWindowInfo(toHwnd(w), &wi)) return false;
    info.style = wi.dwStyle;
    info.exStyle = wi.dwExStyle;
    return true;
}

std::uint32_t Win32Windows::GetWindowThreadProcessId(Window w, std::uint32_t* processId) {
    DWORD pid = 0;
    const DWORD thread = ::GetWindowThreadProcessId(toHwnd(w), &pid);
    if (thread && processId) *processId = pid;
    return thread;
}

Window Win32Windows::GetForegroundWindow() { return fromHwnd(::GetForegroundWindow()); }

Window Win32Windows::GetShellWindow() { return fromHwnd(::GetShellWindow()); }

Window Win32Windows::GetDesktopWindow() { return fromHwnd(::GetDesktopWindow()); }

std::int32_t Win32Windows::DwmGetWindowAttribute(Proc entry, Window w, std::uint32_t attribute, void* value,
                                                 std::uint32_t size) {
    if (!entry) return E_POINTER;
    auto fn = reinterpret_cast<HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD)>(entry);
    return fn(toHwnd(w), attribute, value, size);
}

// ---- Clock ----

std::uint32_t Win32Clock::GetTickCount() { return ::GetTickCount(); }

std::uint64_t Win32Clock::GetTickCount64() { return ::GetTickCount64(); }

void Win32Clock::Sleep(std::uint32_t ms) { ::Sleep(ms); }

// ---- SystemInfo ----

bool Win32SystemInfo::GetSystemTimes(SystemTimes& times) {
    FILETIME idle{}, kernel{}, user{};
    if (!::GetSystemTimes(&idle, &kernel, &user)) return false;
    times.idle = toUint64(idle);
    times.kernel = toUint64(kernel);
    times.user = toUint64(user);
    return true;
}

bool Win32SystemInfo::GetSystemPowerStatus(PowerStatus& status) {
    SYSTEM_POWER_STATUS s{};
    if (!::GetSystemPowerStatus(&s)) return false;
    status.acLineStatus = s.ACLineStatus;
    status.batteryFlag = s.BatteryFlag;
    status.batteryLifePercent = s.BatteryLifePercent;
    return true;
}

// ---- PowerService ----

Win32PowerService::Win32PowerService() {
    enumerate_ = powrprof_.function<decltype(enumerate_)>("PowerEnumerate");
    readFriendlyName_ = powrprof_.function<decltype(readFriendlyName_)>("PowerReadFriendlyName");
    getActiveScheme_ = powrprof_.function<decltype(getActiveScheme_)>("PowerGetActiveScheme");
    setActiveScheme_ = powrprof_.function<decltype(setActiveScheme_)>("PowerSetActiveScheme");
    readACValueIndex_ = powrprof_.function<ReadIndex>("PowerReadACValueIndex");
    readDCValueIndex_ = powrprof_.function<ReadIndex>("PowerReadDCValueIndex");
    readACDefaultIndex_ = powrprof_.function<ReadIndex>("PowerReadACDefaultIndex");
    readDCDefaultIndex_ = powrprof_.function<ReadIndex>("PowerReadDCDefaultIndex");
    writeACValueIndex_ = powrprof_.function<WriteIndex>("PowerWriteACValueIndex");
    writeDCValueIndex_ = powrprof_.function<WriteIndex>("PowerWriteDCValueIndex");
}

std::uint32_t Win32PowerService::PowerEnumerate(const Guid* scheme, const Guid* subgroup, std::uint32_t accessFlags,
                                                std::uint32_t index, std::uint8_t* buffer,
                                                std::uint32_t* bufferSize) {
    if (!enumerate_) return ERROR_PROC_NOT_FOUND;
    GuidArg s(scheme), g(subgroup);
    DWORD size = bufferSize ? *bufferSize : 0;
    DWORD rc = enumerate_(nullptr, s.get(), g.get(), accessFlags, index, buffer, bufferSize ? &size : nullptr);
    if (bufferSize) *bufferSize = size;
    return rc;
}

std::uint32_t Win32PowerService::PowerReadFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                       std::uint8_t* buffer, std::uint32_t* bufferSize) {
    if (!readFriendlyName_) return ERROR_PROC_NOT_FOUND;
    GuidArg s(scheme), g(subgroup), t(setting);
    DWORD size = bufferSize ? *bufferSize : 0;
    DWORD rc = readFriendlyName_(nullptr, s.get(), g.get(), t.get(), buffer, bufferSize ? &size : nullptr);
    if (bufferSize) *bufferSize = size;
    return rc;
}

std::uint32_t Win32PowerService::PowerGetActiveScheme(Guid& active) {
    if (!getActiveScheme_) return ERROR_PROC_NOT_FOUND;
    GUID* scheme = nullptr;
    DWORD rc = getActiveScheme_(nullptr, &scheme);
    if (scheme) {
        if (rc == ERROR_SUCCESS) active = fromGuid(*scheme);
        ::LocalFree(scheme);  // the service allocates the result with LocalAlloc
    }
    return rc;
}

std::uint32_t Win32PowerService::PowerSetActiveScheme(const Guid& scheme) {
    if (!setActiveScheme_) return ERROR_PROC_NOT_FOUND;
    GUID s = toGuid(scheme);
    return setActiveScheme_(nullptr, &s);
}

// The value calls all take (no root key, scheme, subgroup, setting, value); a read
// leaves the caller's value as it was when it fails.
std::uint32_t Win32PowerService::readIndex(ReadIndex read, const Guid& scheme, const Guid& subgroup,
                                           const Guid& setting, std::uint32_t& value) {
    if (!read) return ERROR_PROC_NOT_FOUND;
    GUID s = toGuid(scheme), g = toGuid(subgroup), t = toGuid(setting);
    DWORD v = 0;
    DWORD rc = read(nullptr, &s, &g, &t, &v);
    if (rc == ERROR_SUCCESS) value = v;
    return rc;
}

std::uint32_t Win32PowerService::writeIndex(WriteIndex write, const Guid& scheme, const Guid& subgroup,
                                            const Guid& setting, std::uint32_t value) {
    if (!write) return ERROR_PROC_NOT_FOUND;
    GUID s = toGuid(scheme), g = toGuid(subgroup), t = toGuid(setting);
    return write(nullptr, &s, &g, &t, value);
}

std::uint32_t Win32PowerService::PowerReadACValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                       std::uint32_t& value) {
    return readIndex(readACValueIndex_, scheme, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerReadDCValueIndex(const Guid& scheme, const Guid& subgroup, const Guid& setting,
                                                       std::uint32_t& value) {
    return readIndex(readDCValueIndex_, scheme, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerWriteACValueIndex(const Guid& scheme, const Guid& subgroup,
                                                        const Guid& setting, std::uint32_t value) {
    return writeIndex(writeACValueIndex_, scheme, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerWriteDCValueIndex(const Guid& scheme, const Guid& subgroup,
                                                        const Guid& setting, std::uint32_t value) {
    return writeIndex(writeDCValueIndex_, scheme, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerReadACDefaultIndex(const Guid& scheme, const Guid& subgroup,
                                                         const Guid& setting, std::uint32_t& value) {
    return readIndex(readACDefaultIndex_, scheme, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerReadDCDefaultIndex(const Guid& scheme, const Guid& subgroup,
                                                         const Guid& setting, std::uint32_t& value) {
    return readIndex(readDCDefaultIndex_, scheme, subgroup, setting, value);
}

}  // namespace platform::win32
