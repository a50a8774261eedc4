// A long run of housekeeping ticks on the simulated Windows: processes start, end,
// get busy and calm down, the foreground moves, the boost and single-core options are
// toggled, and now and then more processes run than the table can hold. Under the
// sanitizers nothing may go wrong, no handle may stay open, the table never holds more
// than it can, and the exit gives every tracked process its normal priority back.
#include <random>
#include <set>

#include "form_fixture.h"

namespace {

class ProcessSoakTest : public FormTest {};

TEST_F(ProcessSoakTest, OneHundredThousandTicks) {
    auto& f = start();
    f.setHandle(win.addProcessWindow(win.currentProcessId, "TQuorveltaForm", "Quorvelta Stellmark Pro 2.1.4"));
    win.recordCalls = false;

    std::mt19937 random(20261210);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    std::uint32_t nextPid = 8;
    std::vector<std::uint32_t> live;
    std::vector<platform::Window> programWindows;
    std::vector<std::uint32_t> ended;
    auto startProcess = [&] {
        const std::uint32_t pid = nextPid;
        nextPid += 4;
        win.addProcess(pid);
        live.push_back(pid);
        if (chance(30)) programWindows.push_back(win.addProcessWindow(pid, "Program", "Program"));
        return pid;
    };
    auto endProcess = [&](std::size_t at) {
        const std::uint32_t pid = live[at];
        live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
        for (auto it = programWindows.begin(); it != programWindows.end();) {
            if (win.window(*it)->processId == pid) {
                win.removeWindow(*it);
                it = programWindows.erase(it);
            } else {
                ++it;
            }
        }
        // Half of them leave an ended process object behind for a while.
        const bool keepObject = chance(50);
        win.endProcess(pid, keepObject);
        if (keepObject) ended.push_back(pid);
    };
    for (int i = 0; i < 40; ++i) startProcess();

    constexpr int kTicks = 100000;
    int largest = 0;
    for (int tick = 0; tick < kTicks; ++tick) {
        for (std::uint32_t pid : ended) win.endProcess(pid);
        ended.clear();
        const int starts = static_cast<int>(random() % 3), ends = static_cast<int>(random() % 3);
        for (int i = 0; i < starts && live.size() < 50; ++i) startProcess();
        for (int i = 0; i < ends && live.size() > 5; ++i) endProcess(random() % live.size());
        // Busy, calm and in between.
        for (int i = 0; i < 5 && !live.empty(); ++i) {
            static constexpr std::uint64_t kGains[] = {0, 4999999, 5000000, 20000000, 20000001, 60000000};
            win.process(live[random() % live.size()])->times.user += kGains[random() % 6];
        }
        // Some processes may be queried but not changed, for a while.
        if (chance(5) && !live.empty())
            win.process(live[random() % live.size()])->allowedAccess ^= platform::PROCESS_SET_INFORMATION_;
        // Another program comes to the front, or none, or the main window.
        if (chance(20)) {
            const int pick = static_cast<int>(random() % (programWindows.size() + 2));
            win.foregroundWindow = pick == 0                          ? 0
                                   : pick == 1                        ? f.handle()
                                                                      : programWindows[static_cast<std::size_t>(pick - 2)];
        }
        if (chance(1)) f.CheckBoxBoost->userClick();
        if (chance(1)) f.CheckBoxCore0->userClick();
        if (chance(1)) f.CheckBoxBoostProc->setChecked(!f.CheckBoxBoostProc->checked());
        if (chance(1)) f.CheckBoxBoostP->setChecked(!f.CheckBoxBoostP->checked());
        // Now and then more processes than the table holds, for a few ticks.
        std::vector<std::uint32_t> crowd;
        if (tick % 20000 == 19997) {
            if (!f.CheckBoxCore0->checked()) f.CheckBoxCore0->userClick();
            for (int i = 0; i < 2100; ++i) crowd.push_back(startProcess());
        }

        f.TimerCpuTempTimer();

        largest = std::max(largest, f.ProcessTable.ProcessCount());
        ASSERT_LE(f.ProcessTable.ProcessCount(), engine::ProcessTable::kCapacity) << "tick " << tick;
        ASSERT_EQ(win.openHandles(), 0u) << "tick " << tick;
        for (std::uint32_t pid : crowd) endProcess(static_cast<std::size_t>(std::find(live.begin(), live.end(), pid) - live.begin()));
        if (!crowd.empty()) f.TimerCpuTempTimer();
    }
    EXPECT_EQ(largest, engine::ProcessTable::kCapacity);
    EXPECT_TRUE(backend.errors.empty());

    // Boosting on at exit, every process changeable again: all tracked ones come back.
    for (std::uint32_t pid : live) win.process(pid)->allowedAccess = 0x1FFFFF;
    if (!f.CheckBoxBoost->checked()) f.CheckBoxBoost->userClick();
    for (int i = 0; i < 3; ++i) f.TimerCpuTempTimer();
    std::set<std::uint32_t> tracked;
    for (int k = 0; k < f.ProcessTable.ProcessCount(); ++k) tracked.insert(f.ProcessTable[k].Pid);
    ASSERT_FALSE(tracked.empty());
    f.destroy();
    for (std::uint32_t pid : tracked) {
        const sim::SimProcess* p = win.process(pid);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->priorityClass, 0x20u) << pid;
        ASSERT_TRUE(p->throttling.has_value()) << pid;
        EXPECT_EQ(*p->throttling, engine::DefaultThrottling) << pid;
    }
    EXPECT_EQ(win.openHandles(), 0u);
}

}  // namespace
