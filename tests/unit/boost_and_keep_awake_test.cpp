// The boost options and keep-awake on the main window: handlers, the housekeeping
// steps in their places, and what the exit gives back.
#include "form_fixture.h"

namespace {

constexpr std::uint32_t kNormal = 0x20, kIdle = 0x40, kAbove = 0x8000;
constexpr std::uint32_t kContinuous = 0x80000000, kSystem = 1, kDisplay = 2;

class BoostTest : public FormTest {
protected:
    app::TStellmarkForm& running() {
        auto& f = start();
        // The main window as the simulated Windows knows it.
        f.setHandle(win.addProcessWindow(win.currentProcessId, "TQuorveltaForm", "Quorvelta Stellmark Pro 2.1.4"));
        win.clearCalls();
        return f;
    }
    std::uint32_t classOf(std::uint32_t pid) { return win.process(pid)->priorityClass; }
};

TEST_F(BoostTest, BoostingOnEnablesItsSubOptionsAndTheNextRunsBoostTheForegroundAndCalmTheRest) {
    auto& f = running();
    EXPECT_FALSE(f.CheckBoxBoostProc->enabled());
    EXPECT_FALSE(f.CheckBoxBoostP->enabled());
    win.addProcess(100);
    win.addProcess(200);
    win.foregroundWindow = win.addProcessWindow(200, "Game", "Game");
    f.CheckBoxBoost->userClick();
    EXPECT_TRUE(f.ActionBoost->checked());
    EXPECT_TRUE(f.CheckBoxBoostProc->enabled());
    EXPECT_TRUE(f.CheckBoxBoostP->enabled());
    EXPECT_EQ(classOf(100), kNormal);  // nothing happens before the next run

    f.TimerCpuTempTimer();  // discovers 100, boosts 200
    EXPECT_EQ(classOf(200), kAbove);
    EXPECT_EQ(classOf(100), kNormal);
    f.TimerCpuTempTimer();  // eco mode one run after discovery
    EXPECT_EQ(classOf(100), kIdle);
    EXPECT_EQ(*win.process(100)->throttling, engine::EcoMode);
    EXPECT_EQ(classOf(200), kAbove);

    // The main window in the foreground is ignored; the program keeps its boost.
    win.foregroundWindow = f.handle();
    f.TimerCpuTempTimer();
    EXPECT_EQ(classOf(200), kAbove);

    // Off: every tracked process back to normal, the table emptied.
    f.get<ui::MenuItem>("MenuBoost")->userClick();
    EXPECT_FALSE(f.CheckBoxBoost->checked());
    EXPECT_FALSE(f.CheckBoxBoostProc->enabled());
    EXPECT_EQ(classOf(100), kNormal);
    EXPECT_EQ(classOf(200), kNormal);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
    EXPECT_EQ(win.openHandles(), 0u);
}

// The busy option decides which processes the busy and calm rules look at, the
// throttling option how a boost is given: each step reads each from its own box.
TEST_F(BoostTest, TheBusyOptionAndTheThrottlingChoiceReachTheProcessStepsEachFromItsOwnBox) {
    auto& f = running();
    win.addProcess(100);
    win.addProcess(200);
    win.foregroundWindow = win.addProcessWindow(200, "Game", "Game");
    f.CheckBoxBoost->userClick();
    f.CheckBoxBoostProc->userClick();  // busy processes too; throttling left to Windows
    f.TimerCpuTempTimer();             // boosts 200, discovers 100
    f.TimerCpuTempTimer();             // 100 into eco mode
    ASSERT_EQ(classOf(100), kIdle);
    win.process(100)->times.user += 25000000;  // one processor busy since the last run
    f.TimerCpuTempTimer();
    EXPECT_EQ(classOf(100), kAbove);
    EXPECT_EQ(*win.process(100)->throttling, engine::DefaultThrottling);

    // Busy option off, throttling explicitly off: another program comes to the front.
    f.CheckBoxBoostProc->userClick();
    f.CheckBoxBoostP->userClick();
    win.addProcess(300);
    win.foregroundWindow = win.addProcessWindow(300, "Editor", "Editor");
    f.TimerCpuTempTimer();
    EXPECT_EQ(classOf(200), kIdle);  // the previous one goes into eco mode at once
    EXPECT_EQ(classOf(300), kAbove);
    EXPECT_EQ(*win.process(300)->throttling, engine::PerformanceMode);
    EXPECT_EQ(classOf(100), kAbove);  // the calm rule is off with the busy option
}

TEST_F(BoostTest, TheSingleCoreOptionAloneMeasuresWithoutChangingAndItsLoadReplacesCpuLoad) {
    auto& f = running();
    // The busy option stays ticked, but greyed, once boosting is off again.
    f.CheckBoxBoost->userClick();
    f.CheckBoxBoostProc->userClick();
    f.CheckBoxBoost->userClick();
    ASSERT_TRUE(f.CheckBoxBoostProc->checked());
    win.addProcess(300);
    win.foregroundWindow = win.addProcessWindow(300, "Game", "Game");
    f.CheckBoxCore0->userClick();
    f.TimerCpuTempTimer();  // empty table: load 0, then 300 discovered
    EXPECT_EQ(f.CpuLoad, 0);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 1);
    win.process(300)->times.user += 12500000;  // half a processor over 2.5 s
    f.TimerCpuTempTimer();
    EXPECT_EQ(f.CpuLoad, 50);
    win.process(300)->times.user += 25000000;  // busy, and in the foreground
    f.TimerCpuTempTimer();
    EXPECT_EQ(f.CpuLoad, 100);
    EXPECT_EQ(classOf(300), kNormal);
    EXPECT_TRUE(win.callsOf("SetPriorityClass").empty());
    EXPECT_TRUE(win.callsOf("GetForegroundWindow").empty());
    // With boosting also off, switching the option off forgets the table.
    f.CheckBoxCore0->userClick();
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
}

TEST_F(BoostTest, BoostingOffWhileTheSingleCoreOptionIsOnKeepsTheTableForItsLoad) {
    auto& f = running();
    win.addProcess(400);
    f.CheckBoxCore0->userClick();
    f.CheckBoxBoost->userClick();
    f.TimerCpuTempTimer();
    f.TimerCpuTempTimer();
    ASSERT_EQ(classOf(400), kIdle);
    f.CheckBoxBoost->userClick();
    EXPECT_EQ(classOf(400), kNormal);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 1);
    f.CheckBoxCore0->userClick();  // boosting off as well now
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
}

// Unticking the single-core option while boosting keeps the table: its processes are
// in eco mode and are given back when boosting is switched off.
TEST_F(BoostTest, UntickingTheSingleCoreOptionWhileBoostingKeepsTheTable) {
    auto& f = running();
    win.addProcess(450);
    f.CheckBoxBoost->userClick();
    f.CheckBoxCore0->userClick();
    f.TimerCpuTempTimer();
    f.TimerCpuTempTimer();
    ASSERT_EQ(classOf(450), kIdle);
    f.CheckBoxCore0->userClick();
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 1);
    f.CheckBoxBoost->userClick();
    EXPECT_EQ(classOf(450), kNormal);
    EXPECT_EQ(*win.process(450)->throttling, engine::DefaultThrottling);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
}

TEST_F(BoostTest, TheExitWithBoostingOnRestoresTrackedProcesses) {
    auto& f = running();
    win.addProcess(500);
    f.CheckBoxBoost->userClick();
    f.TimerCpuTempTimer();
    f.TimerCpuTempTimer();
    ASSERT_EQ(classOf(500), kIdle);
    f.destroy();
    EXPECT_EQ(classOf(500), kNormal);
    EXPECT_EQ(*win.process(500)->throttling, engine::DefaultThrottling);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST_F(BoostTest, AtExitWithBoostingOffNoProcessIsTouchedAndTheTableIsEmptied) {
    auto& f = running();
    win.addProcess(600).priorityClass = kNormal;
    f.CheckBoxCore0->userClick();
    f.TimerCpuTempTimer();
    ASSERT_EQ(f.ProcessTable.ProcessCount(), 1);
    win.clearCalls();
    f.destroy();
    EXPECT_TRUE(win.callsOf("OpenProcess").empty());
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
}

// One tick runs the accounting, the foreground, the discovery, the keep-awake limit and
// then the temperature, in this order.
TEST_F(BoostTest, TheTickTakesItsStepsInOrder) {
    auto& f = running();
    win.addProcess(700);
    f.CheckBoxBoost->userClick();
    f.TimerCpuTempTimer();  // 700 tracked from now on
    f.CheckBoxTimelimit->userClick();
    win.tick += f.KeepAwake->KeepAwakeEndTime;  // far past the end
    win.clearCalls();
    f.TimerCpuTempTimer();
    std::vector<std::ptrdiff_t> firsts;
    for (const char* call : {"OpenProcess 0x600", "GetForegroundWindow", "CreateToolhelp32Snapshot",
                             "SetThreadExecutionState", "QueryThermalZoneTemperatures"}) {
        const auto at = std::find_if(win.calls.begin(), win.calls.end(),
                                     [call](const std::string& c) { return c.rfind(call, 0) == 0; });
        ASSERT_NE(at, win.calls.end()) << call;
        firsts.push_back(at - win.calls.begin());
    }
    EXPECT_TRUE(std::is_sorted(firsts.begin(), firsts.end()));
}

// ---- keep-awake ----

class KeepAwakeTest : public BoostTest {
protected:
    std::vector<std::string> requests() const { return win.callsOf("SetThreadExecutionState"); }
    static std::string request(std::uint32_t flags) {
        char b[64];
        std::snprintf(b, sizeof b, "SetThreadExecutionState %#x", flags);
        return b;
    }
};

TEST_F(KeepAwakeTest, EachToggleSendsTheStateOfBothOptions) {
    auto& f = running();
    f.CheckBoxNoSleep->userClick();
    f.CheckBoxScreen->userClick();
    f.CheckBoxScreen->userClick();
    f.CheckBoxNoSleep->userClick();
    f.CheckBoxScreen->userClick();
    EXPECT_EQ(requests(), (std::vector<std::string>{request(kContinuous | kSystem),
                                                    request(kContinuous | kSystem | kDisplay),
                                                    request(kContinuous | kSystem), request(kContinuous),
                                                    request(kContinuous | kDisplay)}));
    // The menu items are the same actions.
    EXPECT_TRUE(f.ActionScreen->checked());
    EXPECT_EQ(win.executionState, kContinuous | kDisplay);
}

TEST_F(KeepAwakeTest, TheLimitEndsBothOptionsAfterItsEndTimeNotAtIt) {
    auto& f = running();
    f.TrackBarEndTime->userMoveTo(1);
    f.CheckBoxTimelimit->userClick();
    const std::uint64_t armed = win.tick;
    EXPECT_TRUE(f.KeepAwake->KeepAwakeLimitOn);
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, armed + 3600000);
    f.CheckBoxNoSleep->userClick();
    f.CheckBoxScreen->userClick();
    win.tick = armed + 3600000;  // equal: not yet
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.CheckBoxNoSleep->checked());
    win.clearCalls();
    win.tick += 1;
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.KeepAwake->KeepAwakeLimitOn);
    for (ui::CheckBox* box : {f.CheckBoxNoSleep, f.CheckBoxScreen, f.CheckBoxTimelimit}) EXPECT_FALSE(box->checked());
    EXPECT_FALSE(f.ActionNoSleep->checked());
    EXPECT_FALSE(f.ActionScreen->checked());
    EXPECT_EQ(requests(), std::vector<std::string>{request(kContinuous)});
    EXPECT_EQ(win.executionState, kContinuous);
}

// The limit runs on the 64-bit count: armed an hour before the 32-bit count wraps
// (after 2 x 49.7 days up), it ends two hours later, neither at once nor never.
TEST_F(KeepAwakeTest, TheLimitRunsAcrossTheWrapOfThe32BitTickCount) {
    auto& f = running();
    win.tick = 2 * 0x100000000ull - 3600000;
    f.TrackBarEndTime->userMoveTo(2);
    f.CheckBoxTimelimit->userClick();
    f.CheckBoxNoSleep->userClick();
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, 2 * 0x100000000ull + 3600000);
    for (std::uint64_t t : {std::uint64_t{2500}, std::uint64_t{3600000}, std::uint64_t{7200000}}) {
        win.tick = 2 * 0x100000000ull - 3600000 + t;
        f.TimerCpuTempTimer();
        EXPECT_TRUE(f.CheckBoxNoSleep->checked()) << t;
    }
    win.tick += 1;
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.CheckBoxNoSleep->checked());
    EXPECT_FALSE(f.CheckBoxTimelimit->checked());
    EXPECT_EQ(win.executionState, kContinuous);
}

TEST_F(KeepAwakeTest, ArmingTakesTheSlidersHoursFromNowAndTheSliderRestartsTheCount) {
    auto& f = running();
    f.TrackBarEndTime->userMoveTo(48);
    f.CheckBoxTimelimit->userClick();
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, win.tick + 172800000);
    EXPECT_TRUE(requests().empty());  // arming switches no option on
    win.tick += 1000;
    f.TrackBarEndTime->userMoveTo(8);
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, win.tick + 28800000);
    // Off and on again: the count starts afresh.
    f.CheckBoxTimelimit->userClick();
    EXPECT_FALSE(f.KeepAwake->KeepAwakeLimitOn);
    win.tick += 5000;
    f.CheckBoxTimelimit->userClick();
    EXPECT_EQ(f.KeepAwake->KeepAwakeEndTime, win.tick + 28800000);
    // With neither option on, the end only unticks the limit and withdraws the request.
    win.tick += 28800001;
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.CheckBoxTimelimit->checked());
    EXPECT_EQ(requests(), std::vector<std::string>{request(kContinuous)});
}

TEST_F(KeepAwakeTest, TheExitWithdrawsEveryRequest) {
    auto& f = running();
    f.CheckBoxNoSleep->userClick();
    f.destroy();
    EXPECT_EQ(win.executionState, kContinuous);
    EXPECT_EQ(requests().back(), request(kContinuous));
}

}  // namespace
