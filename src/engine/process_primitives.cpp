#include "engine/process_primitives.h"

#include <charconv>
#include <cstring>

namespace engine {

namespace {

constexpr std::uint32_t kEvenCores = 0x55555555;
constexpr std::int32_t kMaxCpuCount = 32;

// The processor count from "NUMBER_OF_PROCESSORS": a whole decimal number, capped at
// 32; anything else, or a number below 1, counts as one processor.
std::int32_t parseProcessorCount(const char* text, std::size_t length) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text, text + length, value);
    if (end != text + length) return 1;
    if (error == std::errc::result_out_of_range) return text[0] == '-' ? 1 : kMaxCpuCount;
    if (error != std::errc() || value < 1) return 1;
    return value > kMaxCpuCount ? kMaxCpuCount : value;
}

}  // namespace

std::int32_t ProcessPrimitives::InitCpuTopology() {
    std::uint64_t processMask = 0, systemMask = 0;
    if (processes_.GetProcessAffinityMask(platform::CURRENT_PROCESS, processMask, systemMask)) {
        SystemAffinityMask = static_cast<std::uint32_t>(systemMask);
        for (std::int32_t bit = 31; bit >= 0; --bit)
            if (SystemAffinityMask & (1u << bit)) {
                CpuCount = bit + 1;
                break;
            }
        EvenCoreMask = SystemAffinityMask & kEvenCores;
    } else {
        char buffer[256];
        const std::uint32_t length = processes_.GetEnvironmentVariableA("NUMBER_OF_PROCESSORS", buffer, sizeof buffer);
        // 0: no such variable; sizeof buffer or more: it did not fit.
        CpuCount = length == 0 || length >= sizeof buffer ? 1 : parseProcessorCount(buffer, length);
        SystemAffinityMask = 0xFFFFFFFF;
        EvenCoreMask = kEvenCores;
    }
    return CpuCount;
}

bool ProcessPrimitives::EnablePrivileges() {
    constexpr std::uint32_t access = platform::TOKEN_ADJUST_PRIVILEGES_ | platform::TOKEN_QUERY_;
    platform::Handle token = 0;
    if (!processes_.OpenThreadToken(platform::CURRENT_THREAD, access, false, token)) {
        // The thread has no token of its own: it impersonates itself for the rest of the
        // run, so that the privileges serve the process calls made from this thread.
        if (!processes_.ImpersonateSelf(platform::SecurityImpersonation_)) return false;
        if (!processes_.OpenThreadToken(platform::CURRENT_THREAD, access, false, token)) return false;
    }
    const ScopedHandle closer(processes_, token);
    return EnablePrivilege(token, "SeDebugPrivilege") && EnablePrivilege(token, "SeIncreaseBasePriorityPrivilege");
}

bool ProcessPrimitives::EnablePrivilege(platform::Handle token, const char* name) {
    platform::TokenPrivileges privilege;
    if (!processes_.LookupPrivilegeValueA(nullptr, name, privilege.luidLow, privilege.luidHigh)) return false;
    privilege.privilegeCount = 1;
    privilege.attributes = 0;
    platform::TokenPrivileges previous;
    std::uint32_t previousSize = sizeof previous;
    processes_.AdjustTokenPrivileges(token, false, &privilege, sizeof privilege, &previous, &previousSize);
    // Also "not all assigned": the token does not hold the privilege.
    if (processes_.GetLastError() != 0) return false;
    previous.privilegeCount = 1;
    previous.luidLow = privilege.luidLow;
    previous.luidHigh = privilege.luidHigh;
    previous.attributes |= platform::SE_PRIVILEGE_ENABLED_;
    processes_.AdjustTokenPrivileges(token, false, &previous, previousSize, nullptr, nullptr);
    return processes_.GetLastError() == 0;
}

void ProcessPrimitives::LoadOptionalFunctions() {
    DwmAvailable = false;
    ModuleDwmapi = processes_.LoadSystemLibrary("dwmapi.dll");
    if (ModuleDwmapi) {
        DwmGetWindowAttributePtr = processes_.GetProcAddress(ModuleDwmapi, "DwmGetWindowAttribute");
        DwmAvailable = DwmGetWindowAttributePtr != 0;
    }
    ThrottlingAvailable = false;
    ModuleKernel32 = processes_.LoadSystemLibrary("kernel32.dll");
    if (ModuleKernel32) {
        SetProcessInformationPtr = processes_.GetProcAddress(ModuleKernel32, "SetProcessInformation");
        ThrottlingAvailable = SetProcessInformationPtr != 0;
    }
}

void ProcessPrimitives::FreeOptionalLibraries() {
    if (ModuleDwmapi) processes_.FreeLibrary(ModuleDwmapi);
    if (ModuleKernel32) processes_.FreeLibrary(ModuleKernel32);
    ModuleDwmapi = ModuleKernel32 = 0;
}

bool ProcessPrimitives::IsWindowCloaked(platform::Window w) {
    if (!DwmAvailable) return false;
    std::uint32_t cloaked = 0;
    const std::int32_t hr =
        windows_.DwmGetWindowAttribute(DwmGetWindowAttributePtr, w, platform::DWMWA_CLOAKED_, &cloaked, sizeof cloaked);
    return hr >= 0 && cloaked != 0;
}

bool ProcessPrimitives::SetPriorityAndThrottling(platform::Handle process, std::uint32_t priorityClass,
                                                 const PowerThrottlingState* state) {
    const bool ok = processes_.SetPriorityClass(process, priorityClass);
    if (ok && ThrottlingAvailable && state)
        processes_.SetProcessInformation(SetProcessInformationPtr, process, platform::ProcessPowerThrottling_, state,
                                         sizeof *state);
    return ok;
}

void ProcessPrimitives::SetIoPriority(std::uint32_t processId, std::int32_t hint) {
    ProcessHandle process(processes_, platform::PROCESS_SET_INFORMATION_, processId);
    if (process) processes_.NtSetInformationProcess(process.get(), platform::ProcessIoPriority_, &hint, sizeof hint);
}

void ProcessPrimitives::SetAffinity(std::uint32_t processId, std::uint32_t mask) {
    ProcessHandle process(processes_, platform::PROCESS_SET_INFORMATION_, processId);
    if (process) processes_.SetProcessAffinityMask(process.get(), mask);
}

bool ProcessPrimitives::RestoreNormal(std::uint32_t processId) {
    ProcessHandle process(processes_, platform::PROCESS_SET_INFORMATION_, processId);
    if (!process) return false;
    return SetPriorityAndThrottling(process.get(), platform::NORMAL_PRIORITY_CLASS_, &DefaultThrottling);
}

}  // namespace engine
