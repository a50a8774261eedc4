// The housekeeping tick: temperature parity, paused load, forcing and its release.
#include "form_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char kProcSub[] = "{54533251-82be-4824-96c1-47b60b740d00}";
constexpr char kMaxState[] = "{bc5038f7-23e0-4960-96da-33abaf5935ec}";

class HousekeepingTest : public FormTest {
protected:
    app::TStellmarkForm& running() {
        auto& f = start();
        f.CheckBoxDC->setChecked(true);
        win.clearCalls();
        return f;
    }
    void temperature(int celsius) { win.thermalRows = {static_cast<std::int64_t>(celsius) * 10 + 2732}; }
    void idle() { win.lastInputTick = static_cast<std::uint32_t>(win.tick) - 10 * 60000; }
    void back() { win.lastInputTick = static_cast<std::uint32_t>(win.tick); }
    std::vector<std::string> activations() const { return win.callsOf("PowerSetActiveScheme"); }
    static std::string activation(const char* scheme) { return std::string("PowerSetActiveScheme ") + scheme; }
};

TEST_F(HousekeepingTest, TemperatureIsReadEveryRunWithProtectionAndEverySecondRunWithout) {
    auto& f = running();  // the start made two runs (start sequence, first show)
    f.ActionTemp->setChecked(false);
    int reads = 0;
    for (int run = 0; run < 4; ++run) {
        temperature(40 + run);
        f.TimerCpuTempTimer();
        if (f.TempTickParity) ++reads;
    }
    EXPECT_EQ(win.callsOf("QueryThermalZoneTemperatures").size(), 2u);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(f.CpuTemperature, 42);
    f.ActionTemp->setChecked(true);
    win.clearCalls();
    f.TimerCpuTempTimer();
    f.TimerCpuTempTimer();
    EXPECT_EQ(win.callsOf("QueryThermalZoneTemperatures").size(), 2u);
}

TEST_F(HousekeepingTest, PausedLoadIsSampledEverySecondRunAndTheHintComesLast) {
    auto& f = running();
    f.PauseAction->execute();
    win.clearCalls();
    for (int run = 0; run < 4; ++run) {
        win.addLoad(300, 200, 500);
        f.TimerCpuTempTimer();
    }
    EXPECT_EQ(win.callsOf("GetSystemTimes").size(), 2u);
    EXPECT_EQ(f.CpuLoad, 50);
    EXPECT_EQ(f.theTrayIcon->hint(), "Paused CPU 50% 0C");
    EXPECT_EQ(win.calls.back(), "GetSystemPowerStatus");  // the hint needs no call; forcing was last
}

TEST_F(HousekeepingTest, IdleForcingSavesTheSideAndItsReleaseLeavesTheLoadRuleInCharge) {
    auto& f = running();
    f.SwitchToHigh();
    win.clearCalls();
    idle();
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.ForcedLowest);
    EXPECT_TRUE(f.SavedWasHigh);
    EXPECT_TRUE(f.UserIdle);
    EXPECT_EQ(activations(), (std::vector<std::string>{activation(sim::kPowerSaver)}));
    EXPECT_EQ(f.theTrayIcon->hint(), "Idle CPU 0% 0C");
    f.TimerCpuTempTimer();  // still idle: not activated again, the saved side kept
    EXPECT_EQ(activations().size(), 1u);
    EXPECT_TRUE(f.SavedWasHigh);
    back();
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.ForcedLowest);
    EXPECT_EQ(activations().size(), 1u);  // active: the next load check decides
    EXPECT_EQ(f.theTrayIcon->hint(), "CPU 0% 0C");
}

TEST_F(HousekeepingTest, WhilePausedTheReleaseRestoresTheSavedSideAtOnce) {
    auto& f = running();
    f.SwitchToHigh();
    f.PauseAction->execute();
    win.powerStatus.acLineStatus = 0;
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.ForcedLowest);
    EXPECT_TRUE(f.OnBattery);
    win.powerStatus.acLineStatus = 1;
    win.clearCalls();
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.ForcedLowest);
    EXPECT_EQ(activations(), (std::vector<std::string>{activation(sim::kBalanced)}));
    EXPECT_FALSE(f.InLowState);
}

TEST_F(HousekeepingTest, OverheatingStartsAtTheLimitHoldsAtFiftyAndEndsBelow) {
    auto& f = running();
    auto& max = win.value(sim::kPowerSaver, kProcSub, kMaxState);
    max.ac = max.dc = 100;
    f.TrackBarTemp->setPosition(80);
    temperature(79);
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.Overheated);
    temperature(80);
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.Overheated);
    EXPECT_EQ(f.theTrayIcon->hint(), "Overheated CPU 0% 80C");
    EXPECT_EQ(max.ac, 99u);
    EXPECT_EQ(max.dc, 99u);
    temperature(50);
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.Overheated);
    temperature(49);
    win.clearCalls();
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.Overheated);
    // While active the release makes no switch of its own: the load check decides.
    EXPECT_TRUE(win.powerChanges().empty());
    EXPECT_TRUE(f.InLowState);
    // A failed reading (-1) during overheating also ends it.
    temperature(95);
    f.TimerCpuTempTimer();
    win.failing.insert("QueryThermalZoneTemperatures");
    f.TimerCpuTempTimer();
    EXPECT_EQ(f.CpuTemperature, -1);
    EXPECT_FALSE(f.Overheated);
}

TEST_F(HousekeepingTest, OverheatingDuringIdleForcingSavesTheLowSideAndSkipsTheIdleTest) {
    auto& f = running();
    f.LowSchemeGuid = f.GUID_TYPICAL_POWER_SAVINGS;
    f.HighSchemeGuid = f.GUID_MIN_POWER_SAVINGS;
    f.SwitchToHigh();
    f.PauseAction->execute();
    idle();
    f.TimerCpuTempTimer();
    ASSERT_TRUE(f.ForcedLowest);
    ASSERT_TRUE(f.SavedWasHigh);
    temperature(95);
    win.clearCalls();
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.Overheated);
    EXPECT_TRUE(f.ForcedLowest);
    EXPECT_FALSE(f.SavedWasHigh);  // the lowest scheme made the low side current
    EXPECT_EQ(activations(), (std::vector<std::string>{}));  // already the active scheme
    back();
    win.clearCalls();
    f.TimerCpuTempTimer();  // overheated: no idle test at all
    EXPECT_TRUE(win.callsOf("GetLastInputInfo").empty());
    EXPECT_TRUE(f.ForcedLowest);
    // Ends while paused: the saved low side, although the forcing flag stays.
    temperature(45);
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.Overheated);
    EXPECT_EQ(activations(), (std::vector<std::string>{activation(sim::kBalanced)}));
    EXPECT_EQ(f.LabelLowSelect->caption(), "Active");
}

TEST_F(HousekeepingTest, TogglingProtectionEndsOverheatingWithoutASwitch) {
    auto& f = running();
    temperature(95);
    f.TimerCpuTempTimer();
    ASSERT_TRUE(f.Overheated);
    win.clearCalls();
    f.CheckBoxCPUtemp->userClick();
    EXPECT_FALSE(f.Overheated);
    EXPECT_TRUE(win.powerChanges().empty());
    f.Overheated = true;
    f.get<ui::MenuItem>("MenuTemp")->userClick();  // switched on again: also clears
    EXPECT_FALSE(f.Overheated);
}

TEST_F(HousekeepingTest, SwitchingBothForcingOptionsOffEndsTheForcing) {
    auto& f = running();
    idle();
    f.TimerCpuTempTimer();
    ASSERT_TRUE(f.ForcedLowest);
    f.CheckBoxIdle->setChecked(false);
    f.CheckBoxDC->setChecked(false);
    f.TimerCpuTempTimer();
    EXPECT_FALSE(f.ForcedLowest);
    // The load rule switches again at its next tick.
    win.addLoad(900, 90, 10);
    f.RefreshTimerTimer();
    f.DwellTicks = 0;
    win.addLoad(900, 90, 10);
    f.RefreshTimerTimer();
    EXPECT_FALSE(f.InLowState);
}

TEST_F(HousekeepingTest, AForcingThatBeginsWhilePausedStillSwitches) {
    auto& f = running();
    f.CheckBoxPause->userClick();
    win.powerStatus.acLineStatus = 255;
    win.clearCalls();
    f.TimerCpuTempTimer();
    EXPECT_TRUE(f.ForcedLowest);
    EXPECT_EQ(activations(), (std::vector<std::string>{activation(sim::kPowerSaver)}));
    EXPECT_EQ(f.theTrayIcon->hint(), "Battery CPU 0% 0C");
}

TEST_F(HousekeepingTest, ShowingTheWindowRunsOneTick) {
    auto& f = running();
    f.hide();
    const bool parity = f.TempTickParity;
    f.ShowAction->execute();
    EXPECT_NE(f.TempTickParity, parity);
    f.ShowAction->execute();  // already visible: no tick
    EXPECT_NE(f.TempTickParity, parity);
}

// The temperature query of the tick a show runs waits for another process on Windows, and
// the wait delivers timer ticks: neither timer's tick runs inside it; the next ones do.
TEST_F(HousekeepingTest, TicksFallingDueWhileTheShowsTickWaitsForItsTemperatureAreSkipped) {
    auto& f = running();
    f.hide();
    std::vector<std::string> ticks;
    for (ui::Timer* t : {f.RefreshTimer, f.TimerCpuTemp}) {
        t->onTimer = [this, &ticks, t, inner = t->onTimer] {
            ticks.push_back(t->name() + " " + std::to_string(backend.now()));
            inner();
        };
    }
    const std::uint64_t shown = backend.now();
    win.duringWmiQuery = [&] {
        win.duringWmiQuery = nullptr;
        ticks.push_back("query waits");
        backend.advance(3000);
        ticks.push_back("query returns");
    };
    f.ShowAction->execute();
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks, (std::vector<std::string>{"query waits", "query returns"}));
    backend.advance(3000);
    const auto after = [&](const std::string& timer) {
        return std::count_if(ticks.begin() + 2, ticks.end(),
                             [&](const std::string& t) { return t.rfind(timer + " ", 0) == 0; });
    };
    EXPECT_EQ(after("RefreshTimer"), 3);
    EXPECT_EQ(after("TimerCpuTemp"), 1);
    EXPECT_GE(backend.now(), shown + 6000);
}

}  // namespace
