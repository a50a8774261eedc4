// The simulated processes, the thread's token and the system folder's libraries.
#include <algorithm>
#include <cstring>

#include "sim/sim_windows.h"

namespace sim {

using platform::Handle;

namespace {
std::string hex(std::uint64_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "%#llx", static_cast<unsigned long long>(v));
    return b;
}

constexpr std::uint32_t ERROR_ACCESS_DENIED_ = 5;
constexpr std::uint32_t ERROR_INVALID_PARAMETER_ = 87;
constexpr std::uint32_t ERROR_NOT_ALL_ASSIGNED_ = 1300;
constexpr std::uint32_t ERROR_NO_SUCH_PRIVILEGE_ = 1313;
constexpr std::uint32_t ERROR_NO_TOKEN_ = 1008;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER_ = 122;
constexpr std::uint32_t ERROR_BAD_IMPERSONATION_LEVEL_ = 1346;
constexpr std::uint32_t ERROR_ENVVAR_NOT_FOUND_ = 203;
constexpr std::int32_t STATUS_ACCESS_DENIED_ = static_cast<std::int32_t>(0xC0000022u);
constexpr std::int32_t STATUS_INVALID_PARAMETER_ = static_cast<std::int32_t>(0xC000000Du);
constexpr std::int32_t STATUS_PROCEDURE_NOT_FOUND_ = static_cast<std::int32_t>(0xC000007Au);
constexpr std::uint32_t PROCESS_QUERY_LIMITED_INFORMATION_ = 0x1000;

// The identifiers Windows gives the two privileges the system enables, and one more
// that a test may look up.
struct PrivilegeId {
    const char* name;
    std::uint32_t luid;
};
constexpr PrivilegeId kPrivileges[] = {
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeShutdownPrivilege", 19}, {"SeDebugPrivilege", 20}};

const char* privilegeName(std::uint32_t luid) {
    for (const auto& p : kPrivileges)
        if (p.luid == luid) return p.name;
    return nullptr;
}

bool validPriorityClass(std::uint32_t c) {
    return c == 0x40 || c == 0x4000 || c == 0x20 || c == 0x8000 || c == 0x80 || c == 0x100;
}
}  // namespace

// ---- processes ----

SimProcess& SimWindows::addProcess(std::uint32_t processId, const std::string& exeFile) {
    SimProcess& p = processes[processId];
    p.processId = processId;
    p.exeFile = exeFile;
    p.affinity = systemAffinityMask;
    // Started now, in FILETIME units since 1601, as Windows counts.
    p.times.creation = 116444736000000000ull + tick * 10000;
    p.times.kernel = kProcessKernelTime;
    p.times.user = kProcessUserTime + processId;
    return p;
}

SimProcess* SimWindows::process(std::uint32_t processId) {
    auto it = processes.find(processId);
    return it == processes.end() ? nullptr : &it->second;
}

void SimWindows::endProcess(std::uint32_t processId, bool keepObject) {
    if (!keepObject) {
        processes.erase(processId);
        return;
    }
    if (SimProcess* p = process(processId)) {
        p->exited = true;
        p->times.exit = 116444736000000000ull + tick * 10000;
    }
}

std::uint32_t SimWindows::handleAccess(Handle h) const {
    auto it = handles_.find(h);
    return it != handles_.end() && it->second.kind == SimHandle::Process ? it->second.access : 0;
}

Handle SimWindows::newHandle(SimHandle h) {
    Handle value = nextKernelHandle_;
    nextKernelHandle_ += 4;
    handles_.emplace(value, std::move(h));
    return value;
}

// The process behind a handle that carries one of the needed rights; null otherwise.
SimProcess* SimWindows::openedProcess(Handle h, std::uint32_t needed) {
    auto it = handles_.find(h);
    if (it == handles_.end() || it->second.kind != SimHandle::Process || (it->second.access & needed) == 0) {
        lastError = ERROR_ACCESS_DENIED_;
        return nullptr;
    }
    return process(it->second.processId);
}

bool SimWindows::GetProcessAffinityMask(Handle h, std::uint64_t& processMask, std::uint64_t& systemMask) {
    record("GetProcessAffinityMask " + hex(h));
    if (fails("GetProcessAffinityMask")) return false;
    if (h == platform::CURRENT_PROCESS) {
        processMask = processAffinityMask;
    } else {
        SimProcess* p = openedProcess(h, platform::PROCESS_QUERY_INFORMATION_ | PROCESS_QUERY_LIMITED_INFORMATION_);
        if (!p) return false;
        processMask = p->affinity;
    }
    systemMask = systemAffinityMask;
    return true;
}

std::uint32_t SimWindows::GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) {
    record(std::string("GetEnvironmentVariableA ") + name + " " + std::to_string(size));
    auto it = environment.find(name);
    if (it == environment.end()) {
        lastError = ERROR_ENVVAR_NOT_FOUND_;
        return 0;
    }
    const auto length = static_cast<std::uint32_t>(it->second.size());
    if (length + 1 > size) return length + 1;
    std::memcpy(buffer, it->second.c_str(), length + 1);
    return length;
}

std::uint32_t SimWindows::GetCurrentProcessId() {
    record("GetCurrentProcessId");
    return currentProcessId;
}

// ---- the thread's token ----

bool SimWindows::OpenThreadToken(Handle thread, std::uint32_t access, bool openAsSelf, Handle& token) {
    record("OpenThreadToken " + hex(thread) + " " + hex(access) + " " + (openAsSelf ? "1" : "0"));
    if (fails("OpenThreadToken") || thread != platform::CURRENT_THREAD || !threadToken) {
        lastError = ERROR_NO_TOKEN_;
        return false;
    }
    token = newHandle({SimHandle::Token, 0, access, {}, 0});
    return true;
}

bool SimWindows::ImpersonateSelf(int level) {
    record("ImpersonateSelf " + std::to_string(level));
    if (fails("ImpersonateSelf")) return false;
    threadToken = impersonating = true;
    impersonationLevel = level;
    return true;
}

bool SimWindows::LookupPrivilegeValueA(const char* systemName, const char* name, std::uint32_t& luidLow,
                                       std::int32_t& luidHigh) {
    record(std::string("LookupPrivilegeValueA ") + (systemName ? systemName : "null") + " " + name);
    if (!fails("LookupPrivilegeValueA"))
        for (const auto& p : kPrivileges)
            if (std::strcmp(p.name, name) == 0) {
                luidLow = p.luid;
                luidHigh = 0;
                return true;
            }
    lastError = ERROR_NO_SUCH_PRIVILEGE_;
    return false;
}

bool SimWindows::AdjustTokenPrivileges(Handle token, bool disableAll, const platform::TokenPrivileges* newState,
                                       std::uint32_t bufferLength, platform::TokenPrivileges* previousState,
                                       std::uint32_t* returnLength) {
    record("AdjustTokenPrivileges " + hex(token) + " " + (disableAll ? "1" : "0") + " " +
           (newState ? std::to_string(newState->privilegeCount) + " " + std::to_string(newState->luidLow) + " " +
                           hex(newState->attributes)
                     : std::string("null")) +
           " " + std::to_string(bufferLength) + " " + (previousState ? "previous" : "null"));
    auto it = handles_.find(token);
    const std::uint32_t needed = platform::TOKEN_ADJUST_PRIVILEGES_ | (previousState ? platform::TOKEN_QUERY_ : 0);
    if (fails("AdjustTokenPrivileges") || it == handles_.end() || it->second.kind != SimHandle::Token ||
        (it->second.access & needed) != needed || !newState || newState->privilegeCount > 1) {
        lastError = ERROR_ACCESS_DENIED_;
        return false;
    }
    // A record of no privileges changes nothing and succeeds.
    const char* name = newState->privilegeCount == 1 ? privilegeName(newState->luidLow) : nullptr;
    const bool held = name && heldPrivileges.count(name) != 0;
    const bool enable = (newState->attributes & platform::SE_PRIVILEGE_ENABLED_) != 0;
    const bool wasEnabled = held && enabledPrivileges.count(name) != 0;
    // The previous state lists only the privileges whose state this call changes: a
    // privilege asked for the state it already has is not in it (count 0).
    const bool changes = held && enable != wasEnabled;
    const std::uint32_t required = changes ? 16 : 4;
    if (returnLength) *returnLength = required;
    if (previousState) {
        if (bufferLength < required) {
            lastError = ERROR_INSUFFICIENT_BUFFER_;  // and nothing is adjusted
            return false;
        }
        // Windows writes the count and the entries it lists, nothing else.
        previousState->privilegeCount = changes ? 1 : 0;
        if (changes) {
            previousState->luidLow = newState->luidLow;
            previousState->luidHigh = newState->luidHigh;
            previousState->attributes = wasEnabled ? platform::SE_PRIVILEGE_ENABLED_ : 0u;
        }
    }
    if (newState->privilegeCount == 1 && !held) {
        lastError = ERROR_NOT_ALL_ASSIGNED_;  // the call itself succeeds
        return true;
    }
    if (changes) {
        if (enable) enabledPrivileges.insert(name);
        else enabledPrivileges.erase(name);
    }
    lastError = 0;
    return true;
}

// ---- libraries ----

platform::Module SimWindows::LoadSystemLibrary(const char* name) {
    record(std::string("LoadSystemLibrary ") + name);
    if (fails("LoadSystemLibrary") || fails(std::string("LoadSystemLibrary ") + name) ||
        systemLibraries.count(name) == 0)
        return 0;
    platform::Module m = nextModule_;
    nextModule_ += 0x10000;
    modules_[m] = systemLibraries.find(name)->first;
    return m;
}

platform::Proc SimWindows::GetProcAddress(platform::Module module, const char* name) {
    record(std::string("GetProcAddress ") + name);
    auto m = modules_.find(module);
    if (m == modules_.end() || systemLibraries[m->second].count(name) == 0) return 0;
    const std::string full = m->second + "!" + name;
    for (const auto& [entry, n] : procs_)
        if (n == full) return entry;
    const platform::Proc entry = module + 0x100 + procs_.size() * 0x10;
    procs_[entry] = full;
    return entry;
}

bool SimWindows::FreeLibrary(platform::Module module) {
    auto m = modules_.find(module);
    record("FreeLibrary " + (m == modules_.end() ? hex(module) : m->second));
    if (m == modules_.end()) return false;
    const std::string library = m->second;
    modules_.erase(m);
    // kernel32 stays in every process for its whole life; the entry points of another
    // library die with its last module handle.
    auto same = [](const std::string& a, const std::string& b) { return !CaseLess{}(a, b) && !CaseLess{}(b, a); };
    if (same(library, "kernel32.dll") ||
        std::any_of(modules_.begin(), modules_.end(), [&](const auto& e) { return same(e.second, library); }))
        return true;
    for (auto it = procs_.begin(); it != procs_.end();)
        it = it->second.rfind(library + "!", 0) == 0 ? procs_.erase(it) : std::next(it);
    return true;
}

// ---- process calls ----

Handle SimWindows::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
    record("OpenProcess " + hex(access) + " " + (inheritHandle ? "1" : "0") + " " + std::to_string(processId));
    // A thread that impersonates at identification level or below may learn who it is
    // but open nothing in that name.
    if (impersonating && impersonationLevel < platform::SecurityImpersonation_) {
        lastError = ERROR_BAD_IMPERSONATION_LEVEL_;
        return 0;
    }
    SimProcess* p = process(processId);
    if (!p) {
        lastError = ERROR_INVALID_PARAMETER_;
        return 0;
    }
    if (fails("OpenProcess") || (access & ~p->allowedAccess) != 0) {
        lastError = ERROR_ACCESS_DENIED_;
        return 0;
    }
    return newHandle({SimHandle::Process, processId, access, {}, 0});
}

bool SimWindows::CloseHandle(Handle h) {
    record("CloseHandle " + hex(h));
    return handles_.erase(h) != 0;
}

bool SimWindows::SetPriorityClass(Handle h, std::uint32_t priorityClass) {
    record("SetPriorityClass " + hex(h) + " " + hex(priorityClass));
    SimProcess* p = openedProcess(h, platform::PROCESS_SET_INFORMATION_);
    if (!p || fails("SetPriorityClass") || !validPriorityClass(priorityClass)) return false;
    p->priorityClass = priorityClass;
    return true;
}

std::uint32_t SimWindows::GetPriorityClass(Handle h) {
    record("GetPriorityClass " + hex(h));
    SimProcess* p = openedProcess(h, platform::PROCESS_QUERY_INFORMATION_ | PROCESS_QUERY_LIMITED_INFORMATION_);
    if (!p || fails("GetPriorityClass")) return 0;
    return p->priorityClass;
}

bool SimWindows::GetProcessTimes(Handle h, platform::ProcessTimes& times) {
    record("GetProcessTimes " + hex(h));
    SimProcess* p = openedProcess(h, platform::PROCESS_QUERY_INFORMATION_ | PROCESS_QUERY_LIMITED_INFORMATION_);
    if (!p || fails("GetProcessTimes")) return false;
    times = p->times;
    return true;
}

bool SimWindows::SetProcessAffinityMask(Handle h, std::uint64_t mask) {
    record("SetProcessAffinityMask " + hex(h) + " " + hex(mask));
    SimProcess* p = openedProcess(h, platform::PROCESS_SET_INFORMATION_);
    if (!p || fails("SetProcessAffinityMask")) return false;
    if (mask == 0 || (mask & ~systemAffinityMask) != 0) {
        lastError = ERROR_INVALID_PARAMETER_;
        return false;
    }
    p->affinity = mask;
    return true;
}

bool SimWindows::SetProcessInformation(platform::Proc entry, Handle h, std::uint32_t informationClass,
                                       const void* information, std::uint32_t size) {
    platform::PowerThrottlingState state;
    if (information && size == sizeof state) std::memcpy(&state, information, sizeof state);
    record("SetProcessInformation " + hex(h) + " " + std::to_string(informationClass) + " " +
           std::to_string(state.version) + " " + std::to_string(state.controlMask) + " " +
           std::to_string(state.stateMask) + " " + std::to_string(size));
    auto p = procs_.find(entry);
    if (p == procs_.end() || p->second != "kernel32.dll!SetProcessInformation") return false;
    SimProcess* process = openedProcess(h, platform::PROCESS_SET_INFORMATION_);
    if (!process || fails("SetProcessInformation")) return false;
    if (informationClass != platform::ProcessPowerThrottling_ || size != sizeof state || state.version != 1) {
        lastError = ERROR_INVALID_PARAMETER_;
        return false;
    }
    process->throttling = state;
    return true;
}

std::int32_t SimWindows::NtSetInformationProcess(Handle h, std::uint32_t informationClass, const void* information,
                                                 std::uint32_t length) {
    std::uint32_t hint = 0;
    if (information && length == 4) std::memcpy(&hint, information, 4);
    record("NtSetInformationProcess " + hex(h) + " " + std::to_string(informationClass) + " " +
           std::to_string(hint) + " " + std::to_string(length));
    if (!ntSetInformationProcessFound) return STATUS_PROCEDURE_NOT_FOUND_;
    SimProcess* p = openedProcess(h, platform::PROCESS_SET_INFORMATION_);
    if (!p || fails("NtSetInformationProcess")) return STATUS_ACCESS_DENIED_;
    if (informationClass != platform::ProcessIoPriority_ || length != 4 || hint > 3) return STATUS_INVALID_PARAMETER_;
    p->ioPriority = hint;
    return 0;
}

// ---- snapshots ----

Handle SimWindows::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
    record("CreateToolhelp32Snapshot " + hex(flags) + " " + std::to_string(processId));
    if (fails("CreateToolhelp32Snapshot") || !(flags & platform::TH32CS_SNAPPROCESS_)) return 0;
    SimHandle h{SimHandle::Snapshot, 0, 0, {}, 0};
    h.entries.reserve(processes.size());
    for (const auto& [id, p] : processes) {
        if (p.exited) continue;
        platform::ProcessEntry e;
        e.processId = id;
        e.parentProcessId = p.parentProcessId;
        std::snprintf(e.exeFile, sizeof e.exeFile, "%s", p.exeFile.c_str());
        h.entries.push_back(e);
    }
    return newHandle(std::move(h));
}

bool SimWindows::nextEntry(Handle snapshot, platform::ProcessEntry& entry, bool first) {
    auto it = handles_.find(snapshot);
    if (it == handles_.end() || it->second.kind != SimHandle::Snapshot) return false;
    SimHandle& h = it->second;
    if (first) h.next = 0;
    if (h.next >= h.entries.size()) return false;
    entry = h.entries[h.next++];
    return true;
}

bool SimWindows::Process32First(Handle snapshot, platform::ProcessEntry& entry) {
    record("Process32First " + hex(snapshot));
    return !fails("Process32First") && nextEntry(snapshot, entry, true);
}

bool SimWindows::Process32Next(Handle snapshot, platform::ProcessEntry& entry) {
    record("Process32Next " + hex(snapshot));
    return !fails("Process32Next") && nextEntry(snapshot, entry, false);
}

std::uint32_t SimWindows::SetThreadExecutionState(std::uint32_t flags) {
    record("SetThreadExecutionState " + hex(flags));
    if (fails("SetThreadExecutionState")) return 0;
    const std::uint32_t previous = executionState;
    if (flags & platform::ES_CONTINUOUS_) executionState = flags;
    return previous;
}

}  // namespace sim
