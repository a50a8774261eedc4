#include <windows.h>
#include <tlhelp32.h>
// The interface's names are those of the 8-bit calls; this file calls the wide ones.
#undef Process32First
#undef Process32Next

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

HANDLE toHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle fromHandle(HANDLE h) { return reinterpret_cast<Handle>(h); }

std::uint64_t toUint64(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(TokenPrivileges), "one privilege takes 16 bytes");
static_assert(sizeof(PROCESS_POWER_THROTTLING_STATE) == sizeof(PowerThrottlingState), "12 bytes");

void toEntry(const PROCESSENTRY32W& in, ProcessEntry& out) {
    out.processId = in.th32ProcessID;
    out.parentProcessId = in.th32ParentProcessID;
    const std::string name =
        utf16ToUtf8(reinterpret_cast<const char16_t*>(in.szExeFile), sizeof in.szExeFile / sizeof in.szExeFile[0]);
    // Cut on a character boundary so that the name stays valid UTF-8.
    std::size_t n = std::min(name.size(), sizeof out.exeFile - 1);
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    std::memcpy(out.exeFile, name.data(), n);
    out.exeFile[n] = '\0';
}

// One step through a snapshot, with the size field set as the call requires.
bool snapshotEntry(BOOL(WINAPI* step)(HANDLE, PROCESSENTRY32W*), Handle snapshot, ProcessEntry& entry) {
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    if (!step(toHandle(snapshot), &e)) return false;
    toEntry(e, entry);
    return true;
}

}  // namespace

Win32Processes::Win32Processes() {
    ntSetInformationProcess_ = ntdll_.function<decltype(ntSetInformationProcess_)>("NtSetInformationProcess");
}

bool Win32Processes::GetProcessAffinityMask(Handle process, std::uint64_t& processMask, std::uint64_t& systemMask) {
    DWORD_PTR p = 0, s = 0;
    if (!::GetProcessAffinityMask(toHandle(process), &p, &s)) return false;
    processMask = p;
    systemMask = s;
    return true;
}

std::uint32_t Win32Processes::GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) {
    return ::GetEnvironmentVariableA(name, buffer, size);
}

std::uint32_t Win32Processes::GetLastError() { return ::GetLastError(); }

std::uint32_t Win32Processes::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

bool Win32Processes::OpenThreadToken(Handle thread, std::uint32_t access, bool openAsSelf, Handle& token) {
    HANDLE t = nullptr;
    if (!::OpenThreadToken(toHandle(thread), access, openAsSelf, &t)) return false;
    token = fromHandle(t);
    return true;
}

bool Win32Processes::ImpersonateSelf(int impersonationLevel) {
    return ::ImpersonateSelf(static_cast<SECURITY_IMPERSONATION_LEVEL>(impersonationLevel)) != FALSE;
}

bool Win32Processes::LookupPrivilegeValueA(const char* systemName, const char* name, std::uint32_t& luidLow,
                                           std::int32_t& luidHigh) {
    LUID luid{};
    if (!::LookupPrivilegeValueA(systemName, name, &luid)) return false;
    luidLow = luid.LowPart;
    luidHigh = luid.HighPart;
    return true;
}

bool Win32Processes::AdjustTokenPrivileges(Handle token, bool disableAll, const TokenPrivileges* newState,
                                           std::uint32_t bufferLength, TokenPrivileges* previousState,
                                           std::uint32_t* returnLength) {
    TOKEN_PRIVILEGES in{}, previous{};
    if (newState) std::memcpy(&in, static_cast<const void*>(newState), sizeof in);
    DWORD length = 0;
    const BOOL ok = ::AdjustTokenPrivileges(toHandle(token), disableAll, newState ? &in : nullptr, bufferLength,
                                            previousState ? &previous : nullptr, previousState ? &length : nullptr);
    // Read the error before anything else can change it.
    const DWORD error = ::GetLastError();
    if (previousState) std::memcpy(static_cast<void*>(previousState), &previous, sizeof previous);
    if (returnLength) *returnLength = length;
    ::SetLastError(error);
    return ok != FALSE;
}

Module Win32Processes::LoadSystemLibrary(const char* name) {
    const std::u16string wide = utf8ToUtf16(name);
    auto library = std::make_unique<SystemLibrary>(reinterpret_cast<const wchar_t*>(wide.c_str()));
    if (!library->loaded()) return 0;
    const Module m = reinterpret_cast<Module>(library->handle());
    libraries_.push_back(std::move(library));
    return m;
}

Proc Win32Processes::GetProcAddress(Module module, const char* name) {
    return reinterpret_cast<Proc>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

bool Win32Processes::FreeLibrary(Module module) {
    auto it = std::find_if(libraries_.begin(), libraries_.end(),
                           [module](const auto& l) { return reinterpret_cast<Module>(l->handle()) == module; });
    if (it == libraries_.end()) return false;
    libraries_.erase(it);  // its destructor releases the module
    return true;
}

Handle Win32Processes::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    return fromHandle(::OpenProcess(access, inheritHandle, processId));
}

bool Win32Processes::CloseHandle(Handle h) { return ::CloseHandle(toHandle(h)) != FALSE; }

bool Win32Processes::SetPriorityClass(Handle process, std::uint32_t priorityClass) {
    return ::SetPriorityClass(toHandle(process), priorityClass) != FALSE;
}

std::uint32_t Win32Processes::GetPriorityClass(Handle process) { return ::GetPriorityClass(toHandle(process)); }

bool Win32Processes::GetProcessTimes(Handle process, ProcessTimes& times) {
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!::GetProcessTimes(toHandle(process), &creation, &exit, &kernel, &user)) return false;
    times = {toUint64(creation), toUint64(exit), toUint64(kernel), toUint64(user)};
    return true;
}

bool Win32Processes::SetProcessAffinityMask(Handle process, std::uint64_t mask) {
    return ::SetProcessAffinityMask(toHandle(process), static_cast<DWORD_PTR>(mask)) != FALSE;
}

bool Win32Processes::SetProcessInformation(Proc entry, Handle process, std::uint32_t informationClass,
                                           const void* information, std::uint32_t size) {
    if (!entry) return false;
    auto fn = reinterpret_cast<BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD)>(entry);
    return fn(toHandle(process), static_cast<int>(informationClass), const_cast<void*>(information), size) != FALSE;
}

std::int32_t Win32Processes::NtSetInformationProcess(Handle process, std::uint32_t informationClass,
                                                     const void* information, std::uint32_t length) {
    constexpr LONG STATUS_PROCEDURE_NOT_FOUND_ = static_cast<LONG>(0xC000007Au);
    if (!ntSetInformationProcess_) return STATUS_PROCEDURE_NOT_FOUND_;
    return ntSetInformationProcess_(toHandle(process), informationClass, const_cast<void*>(information), length);
}

Handle Win32Processes::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
    HANDLE h = ::CreateToolhelp32Snapshot(flags, processId);
    return h == INVALID_HANDLE_VALUE ? 0 : fromHandle(h);
}

bool Win32Processes::Process32First(Handle snapshot, ProcessEntry& entry) {
    return snapshotEntry(::Process32FirstW, snapshot, entry);
}

bool Win32Processes::Process32Next(Handle snapshot, ProcessEntry& entry) {
    return snapshotEntry(::Process32NextW, snapshot, entry);
}

std::uint32_t Win32Processes::SetThreadExecutionState(std::uint32_t flags) {
    return ::SetThreadExecutionState(flags);
}

}  // namespace platform::win32
