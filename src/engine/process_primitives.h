// What the system learns about the processors at start, the privileges and optional
// functions it sets up, and the small operations through which it changes other
// processes. Which process gets which setting is decided by the profile rows and the
// boost rules; every operation here opens and closes its own handles.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace engine {

using platform::PowerThrottlingState;

// The throttling states passed with the priority classes.
inline constexpr PowerThrottlingState EcoMode{1, 1, 1};            // execution speed throttled
inline constexpr PowerThrottlingState PerformanceMode{1, 1, 0};    // throttling explicitly off
inline constexpr PowerThrottlingState DefaultThrottling{1, 0, 0};  // the operating system decides

// A kernel handle closed when it goes out of scope, also when the operation that
// opened it is left by an error. 0 is no handle.
class ScopedHandle {
public:
    ScopedHandle(platform::Processes& processes, platform::Handle handle) : processes_(processes), handle_(handle) {}
    ~ScopedHandle() {
        if (handle_) processes_.CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    explicit operator bool() const { return handle_ != 0; }
    platform::Handle get() const { return handle_; }

private:
    platform::Processes& processes_;
    platform::Handle handle_;
};

// A process opened, not inheritably, with exactly the access given.
class ProcessHandle : public ScopedHandle {
public:
    ProcessHandle(platform::Processes& processes, std::uint32_t access, std::uint32_t processId)
        : ScopedHandle(processes, processes.OpenProcess(access, false, processId)) {}
};

class ProcessPrimitives {
public:
    ProcessPrimitives(platform::Processes& processes, platform::Windows& windows)
        : processes_(processes), windows_(windows) {}

    // Start steps, in this order within the start sequence.
    std::int32_t InitCpuTopology();
    bool EnablePrivileges();
    void LoadOptionalFunctions();
    // At the end of the run: releases the two libraries. The throttling function stays
    // callable, since kernel32 stays loaded for the life of the process.
    void FreeOptionalLibraries();

    bool IsWindowCloaked(platform::Window w);
    // The state is applied only after the priority class was set, and only when the
    // throttling function exists; null leaves the throttling state alone.
    bool SetPriorityAndThrottling(platform::Handle process, std::uint32_t priorityClass,
                                  const PowerThrottlingState* state);
    void SetIoPriority(std::uint32_t processId, std::int32_t hint);
    void SetAffinity(std::uint32_t processId, std::uint32_t mask);
    bool RestoreNormal(std::uint32_t processId);

    platform::Processes& processes() const { return processes_; }

    // The processor topology.
    std::int32_t CpuCount = 0;  // highest processor number in the system mask plus one, at most 32
    std::uint32_t SystemAffinityMask = 0;
    std::uint32_t EvenCoreMask = 0;
    // The optional functions.
    bool DwmAvailable = false, ThrottlingAvailable = false;
    platform::Proc DwmGetWindowAttributePtr = 0, SetProcessInformationPtr = 0;
    platform::Module ModuleDwmapi = 0, ModuleKernel32 = 0;

private:
    bool EnablePrivilege(platform::Handle token, const char* name);

    platform::Processes& processes_;
    platform::Windows& windows_;
};

}  // namespace engine
