// The process table: the life of a tracked process under the busy, calm and eco rules,
// the foreground boost, discovery, the full table and the busiest-process load.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/process_table.h"
#include "sim/sim_windows.h"

namespace {

using engine::BoostOptions;
using engine::ProcessTable;

constexpr std::uint32_t kNormal = 0x20, kIdle = 0x40, kAbove = 0x8000;
constexpr platform::Window kMainWindow = 0x9990;

class ProcessTableTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    engine::ProcessPrimitives primitives{win, win};
    std::vector<std::uint32_t> forgotten;
    ProcessTable table{win, win, primitives, [this](std::uint32_t pid) { forgotten.push_back(pid); }};
    std::int32_t cpuLoad = 0;

    ProcessTableTest() {
        primitives.LoadOptionalFunctions();
    }

    static BoostOptions boosting(bool busyToo = false, bool performance = false) {
        return BoostOptions{true, busyToo, performance, false};
    }
    void account(const BoostOptions& o, std::int32_t checksTime = 1000) { table.AccountProcesses(o, checksTime, cpuLoad); }
    // Busy for the given processor time (100-ns units) since the last run.
    void gain(std::uint32_t pid, std::uint64_t t) { win.process(pid)->times.user += t; }
    std::uint32_t classOf(std::uint32_t pid) { return win.process(pid)->priorityClass; }
    platform::PowerThrottlingState throttlingOf(std::uint32_t pid) { return *win.process(pid)->throttling; }
    std::uint32_t recorded(std::uint32_t pid) {
        for (int k = 0; k < table.ProcessCount(); ++k)
            if (table[k].Pid == pid) return table[k].PriorityClass;
        return 0;
    }
    // A program whose window the user brings to the front.
    platform::Window front(std::uint32_t pid) {
        if (!win.process(pid)) win.addProcess(pid);
        const platform::Window w = win.addProcessWindow(pid, "Program", "Program");
        win.foregroundWindow = w;
        return w;
    }
};

TEST_F(ProcessTableTest, DiscoveryTracksNormalPriorityProcessesOnlyAndEcoModeComesOneRunLater) {
    win.addProcess(100);
    win.addProcess(104).priorityClass = kAbove;
    win.addProcess(108).allowedAccess = platform::PROCESS_SET_INFORMATION_;  // cannot be queried
    win.addProcess(win.currentProcessId);
    table.DiscoverProcesses();
    ASSERT_EQ(table.ProcessCount(), 1);
    EXPECT_EQ(table[0].Pid, 100u);
    EXPECT_EQ(classOf(100), kNormal);
    EXPECT_EQ(win.openHandles(), 0u);

    account(boosting());
    EXPECT_EQ(recorded(100), kIdle);
    EXPECT_EQ(classOf(100), kIdle);
    EXPECT_EQ(throttlingOf(100), engine::EcoMode);
    EXPECT_EQ(classOf(104), kAbove);
    EXPECT_EQ(win.openHandles(), 0u);
}

// The life table of a tracked process with the busy option on.
TEST_F(ProcessTableTest, BusyAboveTwentyMillionAndCalmBelowFiveMillionExactly) {
    win.addProcess(200);
    table.DiscoverProcesses();
    struct Step {
        std::uint64_t gain;
        std::uint32_t expected;
    };
    const Step steps[] = {
        {20000000, kIdle},   // exactly 20,000,000 is not busy: the eco rule
        {20000001, kAbove},  // busy
        {5000000, kAbove},   // exactly 5,000,000 is not calm
        {4999999, kIdle},    // calm
        {25000000, kAbove},  // busy again from eco mode
    };
    for (const Step& s : steps) {
        gain(200, s.gain);
        account(boosting(true));
        EXPECT_EQ(recorded(200), s.expected) << s.gain;
        EXPECT_EQ(classOf(200), s.expected) << s.gain;
    }
    EXPECT_EQ(throttlingOf(200), engine::DefaultThrottling);
    gain(200, 1);
    account(boosting(true));
    gain(200, 30000000);
    account(boosting(true, true));
    EXPECT_EQ(throttlingOf(200), engine::PerformanceMode);
}

TEST_F(ProcessTableTest, TheForegroundProcessIsNeverCalmedAndWithoutTheBusyOptionBusyProcessesStay) {
    front(300);
    table.TrackForeground(boosting(true), kMainWindow);
    EXPECT_EQ(recorded(300), kAbove);
    account(boosting(true));  // no gain at all, but it is the foreground process
    EXPECT_EQ(recorded(300), kAbove);

    win.addProcess(304);
    table.DiscoverProcesses();
    gain(304, 30000000);
    account(boosting());  // busy option off: the eco rule
    EXPECT_EQ(recorded(304), kIdle);
    // With only the single-core option on, processes are measured but never changed.
    win.addProcess(308);
    table.DiscoverProcesses();
    win.clearCalls();
    account(BoostOptions{false, false, false, true});
    EXPECT_EQ(recorded(308), kNormal);
    EXPECT_TRUE(win.callsOf("SetPriorityClass").empty());
}

TEST_F(ProcessTableTest, TheForegroundIsBoostedAndThePreviousOneGoesIntoEcoMode) {
    const platform::Window first = front(400);
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(classOf(400), kAbove);
    EXPECT_EQ(table.ForegroundPid, 400u);
    EXPECT_EQ(table.ForegroundWindow, first);

    // The same window again changes nothing; the main window of this system is ignored.
    win.clearCalls();
    table.TrackForeground(boosting(), kMainWindow);
    win.foregroundWindow = kMainWindow;
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(win.callsOf("OpenProcess").size(), 0u);
    EXPECT_EQ(table.ForegroundWindow, first);

    front(404);
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(classOf(400), kIdle);
    EXPECT_EQ(recorded(400), kIdle);
    EXPECT_EQ(classOf(404), kAbove);

    // With the busy option the previous one stays boosted until it is calm.
    front(408);
    table.TrackForeground(boosting(true), kMainWindow);
    EXPECT_EQ(classOf(404), kAbove);

    // No foreground window at all: the previous one goes into eco mode, none is boosted.
    win.foregroundWindow = 0;
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(classOf(408), kIdle);
    EXPECT_EQ(table.ForegroundPid, 0u);
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST_F(ProcessTableTest, TwoWindowsOfOneProcessEndWithItBoosted) {
    front(500);
    table.TrackForeground(boosting(), kMainWindow);
    win.foregroundWindow = win.addProcessWindow(500, "Other", "Other");
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(recorded(500), kAbove);
    EXPECT_EQ(classOf(500), kAbove);
    const auto changes = win.callsOf("SetPriorityClass");
    ASSERT_EQ(changes.size(), 3u);  // boost, eco as the previous one, boost as the new one
    EXPECT_NE(changes[1].find(" 0x40"), std::string::npos);
}

TEST_F(ProcessTableTest, AProcessThatCannotBeOpenedOrHasEndedLeavesTheTableAndIsForgotten) {
    for (std::uint32_t pid : {600u, 604u, 608u, 612u}) win.addProcess(pid);
    table.DiscoverProcesses();
    win.process(604)->allowedAccess = platform::PROCESS_QUERY_INFORMATION_;  // queried, not changed
    win.endProcess(608, true);                                              // ended, object still there
    win.endProcess(612);                                                    // gone
    account(boosting());
    ASSERT_EQ(table.ProcessCount(), 1);
    EXPECT_EQ(table[0].Pid, 600u);
    EXPECT_EQ(forgotten, (std::vector<std::uint32_t>{612, 608, 604}));  // from the last entry down
    EXPECT_EQ(win.openHandles(), 0u);
    // The one that can be queried but not changed comes back at every discovery.
    table.DiscoverProcesses();
    EXPECT_EQ(table.ProcessCount(), 2);
}

TEST_F(ProcessTableTest, AReusedProcessIdInheritsTheEntry) {
    win.addProcess(700);
    table.DiscoverProcesses();
    gain(700, 30000000);
    account(boosting(true));
    EXPECT_EQ(recorded(700), kAbove);
    win.endProcess(700);
    win.addProcess(700);  // a new process with the old id and less processor time
    account(boosting(true));
    EXPECT_EQ(recorded(700), kIdle);  // a negative gain is calm
    EXPECT_EQ(classOf(700), kIdle);
}

TEST_F(ProcessTableTest, AFullTableAddsNothingAndAForegroundProgramIsBoostedUnrecorded) {
    auto id = [](std::uint32_t n) { return 10000 + n * 4; };
    for (std::uint32_t n = 1; n <= 2100; ++n) win.addProcess(id(n));
    win.recordCalls = false;
    table.DiscoverProcesses();
    EXPECT_EQ(table.ProcessCount(), ProcessTable::kCapacity);
    EXPECT_EQ(table[ProcessTable::kCapacity - 1].Pid, id(2048));
    table.DiscoverProcesses();
    EXPECT_EQ(table.ProcessCount(), ProcessTable::kCapacity);

    front(id(2100));
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(classOf(id(2100)), kAbove);
    EXPECT_EQ(table.ProcessCount(), ProcessTable::kCapacity);
    EXPECT_EQ(recorded(id(2100)), 0u);
    front(id(1));
    table.TrackForeground(boosting(), kMainWindow);
    EXPECT_EQ(classOf(id(2100)), kAbove);  // never recorded: never sent to eco mode
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST_F(ProcessTableTest, TheBusiestProcessLoadIsCappedAndSmoothedByTheCheckInterval) {
    win.addProcess(800);
    win.addProcess(804);
    table.DiscoverProcesses();
    gain(800, 25000000);  // one processor fully busy for 2.5 s
    gain(804, 100);
    account(boosting());
    EXPECT_EQ(table.MaxCpuDelta, 100);
    EXPECT_EQ(cpuLoad, 100);
    gain(800, 4 * 25000000);  // four processors
    account(boosting());
    EXPECT_EQ(table.MaxCpuDelta, 100);

    // 1 s takes the new load, 2 and 3 s the mean, 4 to 6 s two parts old to one part
    // new; every division cuts off, none rounds.
    struct Case {
        std::int32_t checksTime, old;
        std::uint64_t gain;
        std::int32_t expected;
    };
    const Case cases[] = {
        {1000, 40, 20249999, 80},  // 80.99 %: 80
        {2000, 41, 20249999, 60},  // (41 + 80) / 2 = 60.5
        {3000, 40, 20000001, 60},
        {4000, 40, 20250000, 53},  // (80 + 81) / 3 = 53.67
        {5000, 41, 20000000, 54},
        {6000, 40, 20000000, 53},
    };
    for (const Case& c : cases) {
        cpuLoad = c.old;
        gain(800, c.gain);
        account(boosting(), c.checksTime);
        EXPECT_EQ(cpuLoad, c.expected) << c.checksTime;
    }
    // An empty table gives 0.
    table.Empty();
    cpuLoad = 50;
    account(BoostOptions{false, false, false, true});
    EXPECT_EQ(cpuLoad, 0);
}

// A program that becomes the foreground has run before: its entry starts from the
// processor time it has used so far, so the next accounting counts only its gain.
TEST_F(ProcessTableTest, ANewForegroundEntryStartsFromItsProcessorTimeSoFar) {
    front(950);
    table.TrackForeground(boosting(), kMainWindow);
    ASSERT_EQ(table.ProcessCount(), 1);
    EXPECT_EQ(table[0].CpuTime, static_cast<std::int64_t>(sim::kProcessKernelTime + sim::kProcessUserTime + 950));
    gain(950, 7500000);  // 30 % of one processor over 2.5 s
    account(boosting());
    EXPECT_EQ(table.MaxCpuDelta, 30);
    EXPECT_EQ(cpuLoad, 30);
}

TEST_F(ProcessTableTest, AFirstMeasurementOfItsWholeProcessorTimeStillGivesAtMostOneHundred) {
    // A foreground process whose times could not be read starts at 0; its first
    // accounting brings hours of processor time, beyond any 32-bit count.
    front(900);
    win.failing.insert("GetProcessTimes");
    table.TrackForeground(boosting(), kMainWindow);
    win.failing.clear();
    ASSERT_EQ(table[0].CpuTime, 0);
    // About three hours, of which a 32-bit count would keep 1000 units: a load of 0.
    win.process(900)->times.user = (std::uint64_t{25} << 32) + 1000;
    account(boosting());
    EXPECT_EQ(table.MaxCpuDelta, 100);
    EXPECT_EQ(cpuLoad, 100);
}

TEST_F(ProcessTableTest, BoostingOffRestoresEveryEntryAndKeepsTheTableOnlyForTheSingleCoreLoad) {
    for (std::uint32_t pid : {1000u, 1004u}) win.addProcess(pid);
    table.DiscoverProcesses();
    account(boosting());
    front(1008);
    table.TrackForeground(boosting(), kMainWindow);
    win.clearCalls();
    table.BoostSwitchedOff(true);
    for (std::uint32_t pid : {1000u, 1004u, 1008u}) {
        EXPECT_EQ(classOf(pid), kNormal);
        EXPECT_EQ(throttlingOf(pid), engine::DefaultThrottling);
        EXPECT_EQ(recorded(pid), kNormal);
    }
    EXPECT_EQ(table.ProcessCount(), 3);
    EXPECT_EQ(table.ForegroundPid, 0u);
    EXPECT_EQ(table.ForegroundWindow, 0u);
    // From the last entry to the first.
    const auto opened = win.callsOf("OpenProcess");
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], "OpenProcess 0x200 0 1008");
    // The exit restores in the same order.
    win.clearCalls();
    table.RestoreTrackedProcesses();
    EXPECT_EQ(win.callsOf("OpenProcess"), opened);
    // Switched on again: the next accounting puts every entry into eco mode.
    account(boosting());
    EXPECT_EQ(classOf(1004), kIdle);
    table.BoostSwitchedOff(false);
    EXPECT_EQ(table.ProcessCount(), 0);
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST_F(ProcessTableTest, DiscoveryStopsAtASnapshotThatCannotBeTakenOrRead) {
    win.addProcess(1100);
    for (const char* call : {"CreateToolhelp32Snapshot", "Process32First"}) {
        win.failing = {call};
        table.DiscoverProcesses();
        EXPECT_EQ(table.ProcessCount(), 0) << call;
        EXPECT_EQ(win.openHandles(), 0u) << call;
    }
}

// The id index is a fixed array of 4096 slots with linear probing; a removal moves back
// the ids after it that could not sit in their home slot. These cases are built from
// the home slots as the index computes them; were its hash changed, they would only
// lose their aim.
class IdIndexTest : public ProcessTableTest {
protected:
    static std::size_t home(std::uint32_t pid) {
        return static_cast<std::size_t>(((std::uint64_t{pid} + 1) * 0x9E3779B97F4A7C15ull) >> 52);
    }
    // Process ids (multiples of 4, as Windows gives them) by their home slot.
    std::map<std::size_t, std::vector<std::uint32_t>> byHome;
    IdIndexTest() {
        for (std::uint32_t pid = 4; pid < 400000; pid += 4)
            if (pid != win.currentProcessId) byHome[home(pid)].push_back(pid);  // discovery skips its own
    }
    // Tracked one after the other, so that each takes the next free slot of its run.
    void track(std::initializer_list<std::uint32_t> pids) {
        for (std::uint32_t pid : pids) {
            win.addProcess(pid);
            table.DiscoverProcesses();
        }
    }
    void drop(std::uint32_t pid) {
        win.endProcess(pid);
        account(BoostOptions{false, false, false, true});
    }
    // Every id still in the table is found: discovery adds none of them again, and as
    // the foreground each is boosted in its entry.
    void expectEachFound(std::initializer_list<std::uint32_t> pids) {
        const int count = table.ProcessCount();
        ASSERT_EQ(count, static_cast<int>(pids.size()));
        table.DiscoverProcesses();
        EXPECT_EQ(table.ProcessCount(), count);
        for (std::uint32_t pid : pids) {
            front(pid);
            table.TrackForeground(boosting(), kMainWindow);
            EXPECT_EQ(table.ProcessCount(), count) << pid;
            EXPECT_EQ(recorded(pid), kAbove) << pid;
        }
    }
};

TEST_F(IdIndexTest, ARemovalMovesBackTheIdsOfTheSameHomeSlotAfterIt) {
    std::uint32_t a = 0, b = 0, c = 0, x = 0;
    for (const auto& [h, pids] : byHome)
        if (h + 1 < 4095 && pids.size() >= 3 && !byHome[h + 1].empty()) {
            a = pids[0], b = pids[1], c = pids[2], x = byHome[h + 1][0];
            break;
        }
    ASSERT_NE(x, 0u);
    track({a, b, c, x});  // slots h, h+1, h+2 and, its home taken, h+3
    drop(a);
    expectEachFound({b, c, x});
    drop(c);  // from the middle of the run
    expectEachFound({b, x});
}

TEST_F(IdIndexTest, ARunWrapsPastTheLastSlot) {
    ASSERT_GE(byHome[4095].size(), 2u);
    ASSERT_FALSE(byHome[0].empty());
    const std::uint32_t a = byHome[4095][0], c = byHome[4095][1], d = byHome[0][0];
    track({a, d, c});  // slots 4095, 0 (d's own) and 1
    drop(a);           // c moves back to 4095; d stays in its home slot 0
    expectEachFound({d, c});
    drop(c);
    expectEachFound({d});
}

// The id index finds exactly the entries the table holds, whatever leaves it.
TEST_F(ProcessTableTest, TheIdIndexFollowsEveryRemoval) {
    for (std::uint32_t pid = 0; pid < 600; ++pid) win.addProcess(pid * 4 + 4096 * (pid % 3));
    table.DiscoverProcesses();
    for (std::uint32_t pid = 0; pid < 600; pid += 3) win.endProcess(pid * 4 + 4096 * (pid % 3));
    account(BoostOptions{false, false, false, true});
    EXPECT_EQ(table.ProcessCount(), 400);
    for (std::uint32_t pid = 0; pid < 600; pid += 3) win.addProcess(pid * 4 + 4096 * (pid % 3));
    table.DiscoverProcesses();
    ASSERT_EQ(table.ProcessCount(), 600);
    std::set<std::uint32_t> seen;
    for (int k = 0; k < table.ProcessCount(); ++k) seen.insert(table[k].Pid);
    EXPECT_EQ(seen.size(), 600u);  // no id twice
}

}  // namespace
