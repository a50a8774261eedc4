#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/text.h"

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

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide calls take UTF-16");

// Another program's window text or class as UTF-8. Read with the wide call and
// converted here: the 8-bit calls answer in the ANSI code page on systems that ignore
// the manifest's UTF-8 code page (Windows 10 before 1903). One unit more than the
// bytes kept is read, so a pair the read cuts lies beyond them (every unit gives at
// least one byte).
template <class Read> int readAsUtf8(Read read, char* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = '\0';
    const int room = maxCount < INT_MAX ? maxCount + 1 : maxCount;
    std::u16string wide(static_cast<std::size_t>(room), u'\0');
    const int units = read(reinterpret_cast<wchar_t*>(wide.data()), room);
    if (units <= 0) return 0;
    wide.resize(std::min(static_cast<std::size_t>(units), wide.size()));
    return copyAsUtf8(wide, buffer, maxCount);
}

}  // namespace

int Win32Windows::GetWindowTextA(Window w, char* buffer, int maxCount) {
    return readAsUtf8([w](wchar_t* text, int room) { return ::GetWindowTextW(toHwnd(w), text, room); }, buffer,
                      maxCount);
}

int Win32Windows::GetClassNameA(Window w, char* buffer, int maxCount) {
    return readAsUtf8([w](wchar_t* text, int room) { return ::GetClassNameW(toHwnd(w), text, room); }, buffer,
                      maxCount);
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

std::uint32_t Win32SystemInfo::GetUserDefaultLCID() { return ::GetUserDefaultLCID(); }

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
    readDescription_ = powrprof_.function<ReadText>("PowerReadDescription");
    isSettingRangeDefined_ = powrprof_.function<decltype(isSettingRangeDefined_)>("PowerIsSettingRangeDefined");
    readValueUnitsSpecifier_ = powrprof_.function<ReadSettingText>("PowerReadValueUnitsSpecifier");
    readValueMax_ = powrprof_.function<ReadLimit>("PowerReadValueMax");
    readValueMin_ = powrprof_.function<ReadLimit>("PowerReadValueMin");
    readPossibleFriendlyName_ = powrprof_.function<ReadPossibleText>("PowerReadPossibleFriendlyName");
    readPossibleDescription_ = powrprof_.function<ReadPossibleText>("PowerReadPossibleDescription");
    duplicateScheme_ = powrprof_.function<decltype(duplicateScheme_)>("PowerDuplicateScheme");
    writeFriendlyName_ = powrprof_.function<decltype(writeFriendlyName_)>("PowerWriteFriendlyName");
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

std::uint32_t Win32PowerService::PowerReadDescription(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                      std::uint8_t* buffer, std::uint32_t* bufferSize) {
    if (!readDescription_) return ERROR_PROC_NOT_FOUND;
    GuidArg s(scheme), g(subgroup), t(setting);
    DWORD size = bufferSize ? *bufferSize : 0;
    DWORD rc = readDescription_(nullptr, s.get(), g.get(), t.get(), buffer, bufferSize ? &size : nullptr);
    if (bufferSize) *bufferSize = size;
    return rc;
}

bool Win32PowerService::PowerIsSettingRangeDefined(const Guid* subgroup, const Guid* setting) {
    if (!isSettingRangeDefined_) return false;
    GuidArg g(subgroup), t(setting);
    return isSettingRangeDefined_(g.get(), t.get()) != FALSE;
}

std::uint32_t Win32PowerService::PowerReadValueUnitsSpecifier(const Guid* subgroup, const Guid* setting,
                                                              std::uint8_t* buffer, std::uint32_t* bufferSize) {
    if (!readValueUnitsSpecifier_) return ERROR_PROC_NOT_FOUND;
    GuidArg g(subgroup), t(setting);
    DWORD size = bufferSize ? *bufferSize : 0;
    DWORD rc = readValueUnitsSpecifier_(nullptr, g.get(), t.get(), buffer, bufferSize ? &size : nullptr);
    if (bufferSize) *bufferSize = size;
    return rc;
}

std::uint32_t Win32PowerService::readLimit(ReadLimit read, const Guid* subgroup, const Guid* setting,
                                           std::uint32_t& value) {
    if (!read) return ERROR_PROC_NOT_FOUND;
    GuidArg g(subgroup), t(setting);
    DWORD v = 0;
    DWORD rc = read(nullptr, g.get(), t.get(), &v);
    if (rc == ERROR_SUCCESS) value = v;
    return rc;
}

std::uint32_t Win32PowerService::PowerReadValueMax(const Guid* subgroup, const Guid* setting, std::uint32_t& value) {
    return readLimit(readValueMax_, subgroup, setting, value);
}

std::uint32_t Win32PowerService::PowerReadValueMin(const Guid* subgroup, const Guid* setting, std::uint32_t& value) {
    return readLimit(readValueMin_, subgroup, setting, value);
}

std::uint32_t Win32PowerService::readPossibleText(ReadPossibleText read, const Guid* subgroup, const Guid* setting,
                                                  std::uint32_t index, std::uint8_t* buffer,
                                                  std::uint32_t* bufferSize) {
    if (!read) return ERROR_PROC_NOT_FOUND;
    GuidArg g(subgroup), t(setting);
    DWORD size = bufferSize ? *bufferSize : 0;
    DWORD rc = read(nullptr, g.get(), t.get(), index, buffer, bufferSize ? &size : nullptr);
    if (bufferSize) *bufferSize = size;
    return rc;
}

std::uint32_t Win32PowerService::PowerReadPossibleFriendlyName(const Guid* subgroup, const Guid* setting,
                                                               std::uint32_t index, std::uint8_t* buffer,
                                                               std::uint32_t* bufferSize) {
    return readPossibleText(readPossibleFriendlyName_, subgroup, setting, index, buffer, bufferSize);
}

std::uint32_t Win32PowerService::PowerReadPossibleDescription(const Guid* subgroup, const Guid* setting,
                                                              std::uint32_t index, std::uint8_t* buffer,
                                                              std::uint32_t* bufferSize) {
    return readPossibleText(readPossibleDescription_, subgroup, setting, index, buffer, bufferSize);
}

std::uint32_t Win32PowerService::PowerDuplicateScheme(const Guid& source, Guid& created) {
    if (!duplicateScheme_) return ERROR_PROC_NOT_FOUND;
    GUID s = toGuid(source);
    GUID* result = nullptr;  // null on entry: the service allocates the new GUID
    DWORD rc = duplicateScheme_(nullptr, &s, &result);
    if (result) {
        if (rc == ERROR_SUCCESS) created = fromGuid(*result);
        ::LocalFree(result);
    }
    return rc == ERROR_SUCCESS && !result ? ERROR_INVALID_DATA : rc;
}

std::uint32_t Win32PowerService::PowerWriteFriendlyName(const Guid* scheme, const Guid* subgroup, const Guid* setting,
                                                        const std::uint8_t* buffer, std::uint32_t bufferSize) {
    if (!writeFriendlyName_) return ERROR_PROC_NOT_FOUND;
    GuidArg s(scheme), g(subgroup), t(setting);
    // The service only reads the buffer; its declaration lacks the const.
    return writeFriendlyName_(nullptr, s.get(), g.get(), t.get(), const_cast<UCHAR*>(buffer), bufferSize);
}

// ---- MachineRegistry ----

namespace {
HKEY toHkey(RegistryKey k) { return reinterpret_cast<HKEY>(k); }
const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
}  // namespace

RegistryKey Win32MachineRegistry::OpenKeyReadOnly(const std::u16string& path) {
    // The path is taken from the root: a leading backslash names the root itself.
    std::u16string relative = path;
    if (!relative.empty() && relative.front() == u'\\') relative.erase(0, 1);
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(relative.c_str()), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    return reinterpret_cast<RegistryKey>(key);
}

bool Win32MachineRegistry::ValueExists(RegistryKey key, const char16_t* name) {
    return ::RegQueryValueExW(toHkey(key), wide(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::u16string Win32MachineRegistry::ReadString(RegistryKey key, const char16_t* name) {
    DWORD type = 0, bytes = 0;
    LONG rc = ::RegQueryValueExW(toHkey(key), wide(name), nullptr, &type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
        throw std::runtime_error("Invalid data type for the registry value");
    std::u16string text;
    // The value may grow between the two calls; ask again with the new size then.
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4; ++attempt) {
        text.assign((bytes + 1) / 2, u'\0');
        DWORD got = static_cast<DWORD>(text.size() * 2);
        rc = ::RegQueryValueExW(toHkey(key), wide(name), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            bytes = got;
            rc = ERROR_SUCCESS;
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw std::runtime_error("Invalid data type for the registry value");
        text.resize(got / 2);
        if (!text.empty() && text.back() == u'\0') text.pop_back();
        return text;
    }
    throw std::runtime_error("Cannot read the registry value");
}

void Win32MachineRegistry::CloseKey(RegistryKey key) {
    if (key) ::RegCloseKey(toHkey(key));
}

}  // namespace platform::win32
