// The processor topology, the two privileges, the optional functions and the
// primitives that change another process, each closing every handle it opens.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/process_primitives.h"
#include "sim/sim_windows.h"

namespace {

using engine::ProcessPrimitives;

class PrimitivesTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    ProcessPrimitives p{win, win};
};

TEST_F(PrimitivesTest, TopologyFromTheSystemMaskOrTheProcessorCount) {
    const struct {
        const char* what;
        std::optional<std::uint64_t> systemMask;  // none: the query fails
        std::optional<std::string> processors;    // NUMBER_OF_PROCESSORS
        std::int32_t count;
        std::uint32_t mask, even;
    } cases[] = {
        {"four cores", 0xF, {}, 4, 0xF, 0x5},
        {"a gap counts up to the highest", 0xB, {}, 4, 0xB, 0x1},
        {"32 cores", 0xFFFFFFFF, {}, 32, 0xFFFFFFFF, 0x55555555},
        {"core 31 alone", 0x80000000, {}, 32, 0x80000000, 0},
        {"beyond 32 bits only the low 32 count", 0x3FFFFFFFFull, {}, 32, 0xFFFFFFFF, 0x55555555},
        {"empty mask", 0, {}, 0, 0, 0},
        {"failed, 64 processors", {}, "64", 32, 0xFFFFFFFF, 0x55555555},
        {"failed, 8 processors", {}, "8", 8, 0xFFFFFFFF, 0x55555555},
        {"failed, no variable", {}, {}, 1, 0xFFFFFFFF, 0x55555555},
        {"failed, not a number", {}, "many", 1, 0xFFFFFFFF, 0x55555555},
        {"failed, zero", {}, "0", 1, 0xFFFFFFFF, 0x55555555},
        {"failed, negative", {}, "-4", 1, 0xFFFFFFFF, 0x55555555},
        {"failed, too large for 32 bits", {}, "99999999999", 32, 0xFFFFFFFF, 0x55555555},
        {"failed, longer than the buffer", {}, std::string(300, '7'), 1, 0xFFFFFFFF, 0x55555555},
    };
    for (const auto& c : cases) {
        sim::SimWindows w;
        if (c.systemMask) w.systemAffinityMask = *c.systemMask;
        else w.failing.insert("GetProcessAffinityMask");
        if (c.processors) w.environment["NUMBER_OF_PROCESSORS"] = *c.processors;
        ProcessPrimitives q(w, w);
        EXPECT_EQ(q.InitCpuTopology(), c.count) << c.what;
        EXPECT_EQ(q.CpuCount, c.count) << c.what;
        EXPECT_EQ(q.SystemAffinityMask, c.mask) << c.what;
        EXPECT_EQ(q.EvenCoreMask, c.even) << c.what;
    }
}

// The first call of each privilege asks for it disabled and keeps what it changed;
// Windows lists only privileges whose state the call changed, so a privilege held
// disabled comes back as an empty record, which the second call must fill to enable.
TEST_F(PrimitivesTest, PrivilegesAreEnabledInTheThreadsOwnToken) {
    const struct {
        const char* what;
        std::set<std::string> enabledBefore;
        const char* debugSecondCall;  // the second AdjustTokenPrivileges of SeDebugPrivilege
    } cases[] = {
        {"both held disabled", {}, "AdjustTokenPrivileges 0x100 0 1 20 0x2 4 null"},
        {"debug held enabled", {"SeDebugPrivilege"}, "AdjustTokenPrivileges 0x100 0 1 20 0x2 16 null"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SimWindows w;
        w.enabledPrivileges = c.enabledBefore;
        ProcessPrimitives q(w, w);
        EXPECT_TRUE(q.EnablePrivileges());
        EXPECT_TRUE(w.impersonating);  // the thread had no token of its own
        EXPECT_EQ(w.enabledPrivileges, (std::set<std::string>{"SeDebugPrivilege", "SeIncreaseBasePriorityPrivilege"}));
        const auto adjust = w.callsOf("AdjustTokenPrivileges");
        ASSERT_EQ(adjust.size(), 4u);
        EXPECT_EQ(adjust[0], "AdjustTokenPrivileges 0x100 0 1 20 0 16 previous");
        EXPECT_EQ(adjust[1], c.debugSecondCall);
        EXPECT_EQ(adjust[3], "AdjustTokenPrivileges 0x100 0 1 14 0x2 4 null");
        EXPECT_EQ(w.callsOf("OpenThreadToken")[0], "OpenThreadToken 0xfffffffffffffffe 0x28 0");
        EXPECT_EQ(w.openHandles(), 0u);
        // The impersonation lasts, and at its level the thread still opens processes.
        w.addProcess(10);
        EXPECT_TRUE(q.RestoreNormal(10));
    }
}

TEST_F(PrimitivesTest, PrivilegesStopAtTheFirstFailure) {
    const struct { const char* what; std::function<void(sim::SimWindows&)> setUp; int lookups, opens; } cases[] = {
        {"the token lacks the debug privilege", [](sim::SimWindows& w) { w.heldPrivileges.erase("SeDebugPrivilege"); }, 1, 2},
        {"the token lacks the second", [](sim::SimWindows& w) { w.heldPrivileges.erase("SeIncreaseBasePriorityPrivilege"); }, 2, 2},
        {"no lookup", [](sim::SimWindows& w) { w.failing.insert("LookupPrivilegeValueA"); }, 1, 2},
        {"no impersonation", [](sim::SimWindows& w) { w.failing.insert("ImpersonateSelf"); }, 0, 1},
    };
    for (const auto& c : cases) {
        sim::SimWindows w;
        c.setUp(w);
        ProcessPrimitives q(w, w);
        EXPECT_FALSE(q.EnablePrivileges()) << c.what;
        EXPECT_EQ(w.callsOf("LookupPrivilegeValueA").size(), static_cast<std::size_t>(c.lookups)) << c.what;
        EXPECT_EQ(w.callsOf("OpenThreadToken").size(), static_cast<std::size_t>(c.opens)) << c.what;
        EXPECT_EQ(w.openHandles(), 0u) << c.what;
    }
    // A thread that already has a token is not made to impersonate.
    sim::SimWindows w;
    w.threadToken = true;
    ProcessPrimitives q(w, w);
    EXPECT_TRUE(q.EnablePrivileges());
    EXPECT_TRUE(w.callsOf("ImpersonateSelf").empty());
}

TEST_F(PrimitivesTest, OptionalFunctionsComeFromTheSystemFolderOrSwitchTheirFeatureOff) {
    p.LoadOptionalFunctions();
    EXPECT_TRUE(p.DwmAvailable);
    EXPECT_TRUE(p.ThrottlingAvailable);
    EXPECT_EQ(win.callsOf("LoadSystemLibrary"),
              (std::vector<std::string>{"LoadSystemLibrary dwmapi.dll", "LoadSystemLibrary kernel32.dll"}));
    p.FreeOptionalLibraries();
    EXPECT_EQ(win.loadedLibraries(), 0u);

    sim::SimWindows w;
    w.systemLibraries.erase("dwmapi.dll");
    w.systemLibraries["kernel32.dll"].clear();  // an old Windows without SetProcessInformation
    ProcessPrimitives q(w, w);
    q.LoadOptionalFunctions();
    EXPECT_FALSE(q.DwmAvailable);
    EXPECT_FALSE(q.ThrottlingAvailable);
    EXPECT_EQ(q.ModuleDwmapi, 0u);
    EXPECT_NE(q.ModuleKernel32, 0u);  // loaded without its function: freed at the end
    const platform::Window cloaked = w.addWindow("C", "c");
    w.window(cloaked)->cloaked = 2;
    EXPECT_FALSE(q.IsWindowCloaked(cloaked));
    EXPECT_TRUE(w.callsOf("DwmGetWindowAttribute").empty());
    w.addProcess(10);
    w.clearCalls();
    EXPECT_TRUE(q.RestoreNormal(10));
    EXPECT_EQ(w.callsOf("Set"), (std::vector<std::string>{"SetPriorityClass 0x100 0x20"}));
    q.FreeOptionalLibraries();
    EXPECT_EQ(w.loadedLibraries(), 0u);
}

TEST_F(PrimitivesTest, CloakingIsTheAttributesValueAndAFailedQueryIsNotCloaked) {
    p.LoadOptionalFunctions();
    const platform::Window w = win.addWindow("C", "c");
    EXPECT_FALSE(p.IsWindowCloaked(w));
    win.window(w)->cloaked = 2;  // cloaked by the shell, e.g. on another virtual desktop
    EXPECT_TRUE(p.IsWindowCloaked(w));
    EXPECT_EQ(win.callsOf("DwmGetWindowAttribute").back(), "DwmGetWindowAttribute 0x1000 14 4");
    win.failing.insert("DwmGetWindowAttribute");
    EXPECT_FALSE(p.IsWindowCloaked(w));
}

TEST_F(PrimitivesTest, ThrottlingFollowsOnlyASuccessfulPriorityChange) {
    p.LoadOptionalFunctions();
    win.addProcess(10);
    const platform::Handle h = win.OpenProcess(platform::PROCESS_SET_INFORMATION_, false, 10);
    EXPECT_TRUE(p.SetPriorityAndThrottling(h, platform::IDLE_PRIORITY_CLASS_, &engine::EcoMode));
    EXPECT_EQ(win.process(10)->throttling, engine::EcoMode);
    EXPECT_EQ(win.callsOf("SetProcessInformation").back(), "SetProcessInformation 0x100 4 1 1 1 12");
    EXPECT_TRUE(p.SetPriorityAndThrottling(h, platform::NORMAL_PRIORITY_CLASS_, nullptr));
    EXPECT_EQ(win.process(10)->throttling, engine::EcoMode);  // no state given: untouched
    win.failing.insert("SetPriorityClass");
    win.clearCalls();
    EXPECT_FALSE(p.SetPriorityAndThrottling(h, platform::ABOVE_NORMAL_PRIORITY_CLASS_, &engine::PerformanceMode));
    EXPECT_EQ(win.calls, (std::vector<std::string>{"SetPriorityClass 0x100 0x8000"}));
    win.CloseHandle(h);
}

TEST_F(PrimitivesTest, EachChangeOpensTheProcessForSettingOnlyAndClosesIt) {
    p.LoadOptionalFunctions();
    sim::SimProcess& proc = win.addProcess(10);
    proc.priorityClass = platform::IDLE_PRIORITY_CLASS_;
    proc.throttling = engine::EcoMode;
    win.clearCalls();
    p.SetIoPriority(10, 0);
    p.SetAffinity(10, 0x3);
    EXPECT_TRUE(p.RestoreNormal(10));
    EXPECT_EQ(win.callsOf("OpenProcess"), std::vector<std::string>(3, "OpenProcess 0x200 0 10"));
    EXPECT_EQ(proc.ioPriority, 0u);
    EXPECT_EQ(proc.affinity, 0x3u);
    EXPECT_EQ(proc.priorityClass, platform::NORMAL_PRIORITY_CLASS_);
    EXPECT_EQ(proc.throttling, engine::DefaultThrottling);
    EXPECT_EQ(win.openHandles(), 0u);

    // A process that is gone, or may not be changed, is left alone.
    win.clearCalls();
    EXPECT_FALSE(p.RestoreNormal(99));
    EXPECT_EQ(win.calls, (std::vector<std::string>{"OpenProcess 0x200 0 99"}));
    proc.allowedAccess = platform::PROCESS_QUERY_INFORMATION_;
    p.SetIoPriority(10, 3);
    p.SetAffinity(10, 0x1);
    EXPECT_FALSE(p.RestoreNormal(10));
    EXPECT_EQ(proc.ioPriority, 0u);
    EXPECT_EQ(proc.affinity, 0x3u);
    EXPECT_EQ(win.openHandles(), 0u);
}

}  // namespace
