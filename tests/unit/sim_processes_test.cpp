// The simulated Windows answers the process and window calls as Windows does, so
// that the tests built on it prove something.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sim/sim_windows.h"

namespace {

TEST(SimProcesses, AProcessOpensOnlyWithRightsItAllowsAndEachCallNeedsItsRight) {
    sim::SimWindows win;
    win.addProcess(10).allowedAccess = platform::PROCESS_QUERY_INFORMATION_;
    win.addProcess(11);
    EXPECT_EQ(win.OpenProcess(0x600, false, 10), 0u);
    EXPECT_EQ(win.OpenProcess(0x200, false, 99), 0u);
    const platform::Handle query = win.OpenProcess(0x400, false, 10);
    ASSERT_NE(query, 0u);
    EXPECT_FALSE(win.SetPriorityClass(query, platform::IDLE_PRIORITY_CLASS_));
    EXPECT_EQ(win.GetPriorityClass(query), platform::NORMAL_PRIORITY_CLASS_);
    const platform::Handle set = win.OpenProcess(0x200, false, 11);
    EXPECT_EQ(win.GetPriorityClass(set), 0u);
    EXPECT_TRUE(win.SetPriorityClass(set, platform::IDLE_PRIORITY_CLASS_));
    EXPECT_FALSE(win.SetProcessAffinityMask(set, 0));
    EXPECT_FALSE(win.SetProcessAffinityMask(set, 0x10));  // beyond the system mask 0xF
    EXPECT_TRUE(win.SetProcessAffinityMask(set, 0x5));
    const std::uint32_t high = 3, tooHigh = 4;
    EXPECT_EQ(win.NtSetInformationProcess(set, platform::ProcessIoPriority_, &high, 4), 0);
    EXPECT_NE(win.NtSetInformationProcess(set, platform::ProcessIoPriority_, &tooHigh, 4), 0);
    EXPECT_EQ(win.process(11)->priorityClass, platform::IDLE_PRIORITY_CLASS_);
    EXPECT_EQ(win.process(11)->affinity, 0x5u);
    EXPECT_EQ(win.process(11)->ioPriority, 3u);
    EXPECT_EQ(win.openHandles(), 2u);
    EXPECT_TRUE(win.CloseHandle(query));
    EXPECT_TRUE(win.CloseHandle(set));
    EXPECT_FALSE(win.CloseHandle(set));
    EXPECT_EQ(win.openHandles(), 0u);
}

// The previous state lists only what the call changed; a record too small for it
// fails the call and changes nothing.
TEST(SimProcesses, AdjustTokenPrivilegesReportsOnlyTheChangedPrivileges) {
    sim::SimWindows win;
    win.ImpersonateSelf(platform::SecurityImpersonation_);
    platform::Handle token = 0;
    ASSERT_TRUE(win.OpenThreadToken(platform::CURRENT_THREAD, 0x28, false, token));
    const platform::TokenPrivileges disable{1, 20, 0, 0}, enable{1, 20, 0, platform::SE_PRIVILEGE_ENABLED_};
    platform::TokenPrivileges previous{7, 7, 7, 7};
    std::uint32_t size = 0;
    // Held disabled, asked disabled: nothing changed, only the count is written.
    EXPECT_TRUE(win.AdjustTokenPrivileges(token, false, &disable, 16, &previous, &size));
    EXPECT_EQ(win.GetLastError(), 0u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(previous.privilegeCount, 0u);
    EXPECT_EQ(previous.luidLow, 7u);
    EXPECT_TRUE(win.AdjustTokenPrivileges(token, false, &enable, 16, &previous, &size));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(previous.privilegeCount, 1u);
    EXPECT_EQ(previous.luidLow, 20u);
    EXPECT_EQ(previous.attributes, 0u);  // it was disabled
    EXPECT_EQ(win.enabledPrivileges, std::set<std::string>{"SeDebugPrivilege"});
    // Disabling it now needs room for one entry.
    EXPECT_FALSE(win.AdjustTokenPrivileges(token, false, &disable, 4, &previous, &size));
    EXPECT_EQ(win.GetLastError(), 122u);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(win.enabledPrivileges.size(), 1u);
    // An empty record changes nothing and succeeds.
    const platform::TokenPrivileges none{0, 20, 0, 0};
    EXPECT_TRUE(win.AdjustTokenPrivileges(token, false, &none, 4, nullptr, nullptr));
    EXPECT_EQ(win.GetLastError(), 0u);
    EXPECT_EQ(win.enabledPrivileges.size(), 1u);
    // A privilege the token lacks: success with ERROR_NOT_ALL_ASSIGNED, nothing listed.
    win.heldPrivileges.erase("SeIncreaseBasePriorityPrivilege");
    const platform::TokenPrivileges lacking{1, 14, 0, platform::SE_PRIVILEGE_ENABLED_};
    EXPECT_TRUE(win.AdjustTokenPrivileges(token, false, &lacking, 16, &previous, &size));
    EXPECT_EQ(win.GetLastError(), 1300u);
    EXPECT_EQ(previous.privilegeCount, 0u);
    win.CloseHandle(token);
}

TEST(SimProcesses, ImpersonatingBelowImpersonationLevelOpensNoProcess) {
    for (int level = 0; level <= 3; ++level) {
        sim::SimWindows win;
        win.addProcess(10);
        ASSERT_TRUE(win.ImpersonateSelf(level));
        const platform::Handle h = win.OpenProcess(0x200, false, 10);
        EXPECT_EQ(h != 0, level >= platform::SecurityImpersonation_) << level;
        if (h) win.CloseHandle(h);
        else EXPECT_EQ(win.GetLastError(), 1346u) << level;  // ERROR_BAD_IMPERSONATION_LEVEL
    }
}

TEST(SimProcesses, ThrottlingGoesOnlyThroughTheResolvedEntryPoint) {
    sim::SimWindows win;
    win.addProcess(10);
    const platform::Handle h = win.OpenProcess(0x200, false, 10);
    const platform::PowerThrottlingState eco{1, 1, 1};
    EXPECT_FALSE(win.SetProcessInformation(0x1234, h, platform::ProcessPowerThrottling_, &eco, 12));
    const platform::Module kernel32 = win.LoadSystemLibrary("KERNEL32.DLL");
    const platform::Proc entry = win.GetProcAddress(kernel32, "SetProcessInformation");
    ASSERT_NE(entry, 0u);
    EXPECT_EQ(win.GetProcAddress(kernel32, "NoSuchFunction"), 0u);
    EXPECT_TRUE(win.SetProcessInformation(entry, h, platform::ProcessPowerThrottling_, &eco, 12));
    EXPECT_EQ(win.process(10)->throttling, eco);
    // kernel32 stays loaded after its handle is freed; a library not in the system
    // folder never loads.
    EXPECT_TRUE(win.FreeLibrary(kernel32));
    EXPECT_TRUE(win.SetProcessInformation(entry, h, platform::ProcessPowerThrottling_, &eco, 12));
    EXPECT_EQ(win.LoadSystemLibrary("planted.dll"), 0u);
    EXPECT_EQ(win.loadedLibraries(), 0u);
    win.CloseHandle(h);
}

TEST(SimProcesses, SnapshotsListRunningProcessesAndTimesReportTheEnd) {
    sim::SimWindows win;
    win.addProcess(30, "c.exe");
    win.addProcess(10, "a.exe").parentProcessId = 4;
    win.addProcess(20, "b.exe");
    win.process(20)->times.user = 5000;
    win.endProcess(30, true);
    const platform::Handle snap = win.CreateToolhelp32Snapshot(platform::TH32CS_SNAPPROCESS_, 0);
    platform::ProcessEntry e;
    std::vector<std::string> seen;
    for (bool ok = win.Process32First(snap, e); ok; ok = win.Process32Next(snap, e))
        seen.push_back(std::to_string(e.processId) + " " + std::to_string(e.parentProcessId) + " " + e.exeFile);
    EXPECT_EQ(seen, (std::vector<std::string>{"10 4 a.exe", "20 0 b.exe"}));
    win.CloseHandle(snap);
    const platform::Handle ended = win.OpenProcess(0x400, false, 30);
    platform::ProcessTimes t;
    ASSERT_TRUE(win.GetProcessTimes(ended, t));
    EXPECT_NE(t.exit, 0u);
    win.CloseHandle(ended);
    win.endProcess(20);
    EXPECT_EQ(win.OpenProcess(0x400, false, 20), 0u);
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST(SimWindowsList, EnumerationFollowsTheZOrderAndStopsWhenAsked) {
    sim::SimWindows win;
    const platform::Window a = win.addProcessWindow(10, "A", "a");
    const platform::Window b = win.addProcessWindow(20, "B", "b");
    win.raise(b);
    std::vector<platform::Window> seen;
    win.EnumWindows([&](platform::Window w) {
        seen.push_back(w);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<platform::Window>{b, a}));
    seen.clear();
    win.EnumWindows([&](platform::Window w) {
        seen.push_back(w);
        return false;
    });
    EXPECT_EQ(seen, (std::vector<platform::Window>{b}));
    win.window(a)->minimized = true;
    platform::WindowInfo info;
    ASSERT_TRUE(win.GetWindowInfo(a, info));
    EXPECT_EQ(info.style, platform::WS_VISIBLE_ | platform::WS_MINIMIZE_);
    std::uint32_t pid = 0;
    EXPECT_NE(win.GetWindowThreadProcessId(a, &pid), 0u);
    EXPECT_EQ(pid, 10u);
    EXPECT_EQ(win.GetWindowThreadProcessId(0x9999, &pid), 0u);
}

}  // namespace
