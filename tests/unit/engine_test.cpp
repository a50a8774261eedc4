// Activation, energy saver, switch routines and the load-check tick.
#include "form_fixture.h"

namespace {

constexpr char kSaverSub[] = "{de830923-a562-41af-a086-e3a2c6bad2da}";
constexpr char kSaverSet[] = "{e69653ca-cf7f-4f05-aa73-cb833fa90ad4}";
constexpr char kProcSub[] = "{54533251-82be-4824-96c1-47b60b740d00}";
constexpr char kMaxState[] = "{bc5038f7-23e0-4960-96da-33abaf5935ec}";

std::string call(const std::string& name, const std::string& scheme, const char* sub, const char* set, int v) {
    return name + " " + scheme + " " + sub + " " + set + " " + std::to_string(v);
}
std::string activate(const std::string& scheme) { return "PowerSetActiveScheme " + scheme; }

class EngineTest : public FormTest {
protected:
    EngineTest() {
        for (const char* s : {sim::kBalanced, sim::kHighPerformance, sim::kPowerSaver}) {
            auto& v = win.value(s, kSaverSub, kSaverSet);
            v.acDefault = 30;
            v.dcDefault = 20;
        }
    }
    app::TStellmarkForm& running() {
        auto& f = start();
        win.clearCalls();
        return f;
    }
    // One load-check interval with the given busy share in percent (of 1000 units).
    void load(int busyPercent) {
        win.addLoad(static_cast<std::uint64_t>(busyPercent) * 5, static_cast<std::uint64_t>(busyPercent) * 5,
                    static_cast<std::uint64_t>(100 - busyPercent) * 10);
    }
};

TEST_F(EngineTest, ActivateSchemeWritesTheSaverDefaultsThenActivatesOnlyOnAChange) {
    auto& f = running();
    f.ActivateScheme(f.GUID_MAX_POWER_SAVINGS);
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{call("PowerWriteACValueIndex", sim::kPowerSaver, kSaverSub, kSaverSet, 30),
                                                            call("PowerWriteDCValueIndex", sim::kPowerSaver, kSaverSub, kSaverSet, 20),
                                                            activate(sim::kPowerSaver)}));
    EXPECT_EQ(f.DwellTicks, 4);  // 4000 ms / 1000 ms
    // Already recorded: no call at all, even though someone else changed the OS's scheme.
    win.activeScheme = platform::guidFromText(sim::kBalanced);
    win.clearCalls();
    f.DwellTicks = 0;
    f.ActivateScheme(f.GUID_MAX_POWER_SAVINGS);
    EXPECT_TRUE(win.calls.empty());
    EXPECT_EQ(f.DwellTicks, 0);
}

TEST_F(EngineTest, TheTickedSaverWritesHundredDcFirstAndAnUnreadableDefaultIsLeftAlone) {
    auto& f = running();
    f.ActionSaver->setChecked(true);
    f.ActivateScheme(f.GUID_MIN_POWER_SAVINGS);
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{call("PowerWriteDCValueIndex", sim::kHighPerformance, kSaverSub, kSaverSet, 100),
                                                            call("PowerWriteACValueIndex", sim::kHighPerformance, kSaverSub, kSaverSet, 100),
                                                            activate(sim::kHighPerformance)}));
    f.ActionSaver->setChecked(false);
    win.value(sim::kBalanced, kSaverSub, kSaverSet).hasAcDefault = false;
    win.clearCalls();
    f.ActivateScheme(f.GUID_TYPICAL_POWER_SAVINGS);
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{call("PowerWriteDCValueIndex", sim::kBalanced, kSaverSub, kSaverSet, 20),
                                                            activate(sim::kBalanced)}));
}

TEST_F(EngineTest, TogglingTheSaverRewritesAndReactivatesTheOsScheme) {
    auto& f = running();
    f.ActiveSchemeGuid = f.GUID_MAX_POWER_SAVINGS;
    f.DwellTicks = 7;
    f.CheckBoxSaver->userClick();
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{call("PowerWriteDCValueIndex", sim::kBalanced, kSaverSub, kSaverSet, 100),
                                                            call("PowerWriteACValueIndex", sim::kBalanced, kSaverSub, kSaverSet, 100),
                                                            activate(sim::kBalanced)}));
    EXPECT_EQ(f.ActiveSchemeGuid, f.GUID_MAX_POWER_SAVINGS);
    EXPECT_EQ(f.DwellTicks, 7);
    win.failing.insert("PowerGetActiveScheme");
    win.clearCalls();
    f.CheckBoxSaver->userClick();
    EXPECT_TRUE(win.powerChanges().empty());
}

TEST_F(EngineTest, DwellTicksRoundHalfToEven) {
    auto& f = running();
    const struct { int min, checks, ticks; } cases[] = {{3000, 2000, 2}, {5000, 2000, 2}, {7000, 2000, 4},
                                                        {10000, 4000, 2}, {9000, 6000, 2}, {15000, 6000, 2},
                                                        {3000, 6000, 0}, {4000, 1000, 4}, {20000, 6000, 3},
                                                        {5000, 0, 5}};
    for (auto c : cases) {
        f.MinTime = c.min;
        f.ChecksTime = c.checks;
        f.ComputeDwellTicks();
        EXPECT_EQ(f.DwellTicks, c.ticks) << c.min << "/" << c.checks;
    }
}

TEST_F(EngineTest, SwitchRoutinesSetSideLabelsAndIcon) {
    auto& f = running();
    EXPECT_EQ(f.theTrayIcon->icon(), 1);  // the design icon until the first switch
    f.SwitchToHigh();
    EXPECT_FALSE(f.InLowState);
    EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    EXPECT_EQ(f.LabelLowSelect->caption(), " ");
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageUp->icon);
    f.SwitchToLow();
    EXPECT_TRUE(f.InLowState);
    EXPECT_EQ(f.LabelLowSelect->caption(), "Active");
    EXPECT_EQ(f.Labelhighselect->caption(), " ");
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageDown->icon);
    EXPECT_EQ(win.callsOf("PowerSetActiveScheme"),
              (std::vector<std::string>{activate(sim::kBalanced), activate(sim::kPowerSaver)}));
    // The toggle goes to the other side; from the lowest scheme it goes high.
    f.SwitchToLowest();
    EXPECT_EQ(f.Labellowestselect->caption(), "Active");
    f.LabelLowSelect->userClick();
    EXPECT_FALSE(f.InLowState);
    f.theTrayIcon->userLeftUp();
    EXPECT_TRUE(f.InLowState);
}

TEST_F(EngineTest, EachSwitchRoutineBlanksTheOtherTwoActiveLabels) {
    auto& f = running();
    const struct {
        const char* name;
        void (app::TStellmarkForm::*routine)();
        ui::Label* active;
    } cases[] = {{"high", &app::TStellmarkForm::SwitchToHigh, f.Labelhighselect},
                 {"low", &app::TStellmarkForm::SwitchToLow, f.LabelLowSelect},
                 {"lowest", &app::TStellmarkForm::SwitchToLowest, f.Labellowestselect}};
    for (const auto& c : cases) {
        for (ui::Label* l : {f.Labelhighselect, f.LabelLowSelect, f.Labellowestselect}) l->setCaption("Active");
        (f.*c.routine)();
        for (ui::Label* l : {f.Labelhighselect, f.LabelLowSelect, f.Labellowestselect})
            EXPECT_EQ(l->caption(), l == c.active ? "Active" : " ") << c.name << ": " << l->name();
    }
}

// The cap is written when either value is above 99, and the capped scheme is then the
// one recorded as active, so the next switch to another scheme activates that one.
TEST_F(EngineTest, TheLowestSchemeIsCappedWhenEitherValueIsAbove99AndRecordedAsActive) {
    auto& f = running();
    auto& max = win.value(sim::kPowerSaver, kProcSub, kMaxState);
    const struct { std::uint32_t dc, ac; bool capped; } cases[] = {{100, 50, true}, {99, 100, true}, {99, 99, false}};
    for (auto c : cases) {
        max.dc = c.dc;
        max.ac = c.ac;
        f.ActiveSchemeGuid = f.GUID_TYPICAL_POWER_SAVINGS;  // balanced recorded before
        win.clearCalls();
        f.SwitchToLowest();
        const std::string at = std::to_string(c.dc) + "/" + std::to_string(c.ac);
        EXPECT_EQ(win.callsOf("PowerWriteACValueIndex " + std::string(sim::kPowerSaver) + " " + kProcSub).size(),
                  c.capped ? 1u : 0u) << at;
        EXPECT_EQ(f.ActiveSchemeGuid, f.GUID_MAX_POWER_SAVINGS) << at;
        win.clearCalls();
        f.SwitchToHigh();
        EXPECT_EQ(win.callsOf("PowerSetActiveScheme"), (std::vector<std::string>{activate(sim::kBalanced)})) << at;
    }
}

TEST_F(EngineTest, ForcingOrOverheatingKeepsTheLoadRuleFromSwitching) {
    auto& f = running();
    const struct { const char* name; bool forced, overheated; } cases[] = {{"forced", true, false},
                                                                          {"overheated", false, true}};
    for (auto c : cases) {
        f.ForcedLowest = c.forced;
        f.Overheated = c.overheated;
        load(90);
        f.RefreshTimerTimer();
        EXPECT_EQ(f.CpuLoad, 90) << c.name;
        load(5);
        f.RefreshTimerTimer();
        EXPECT_EQ(f.CpuLoad, 5) << c.name;
        EXPECT_TRUE(win.powerChanges().empty()) << c.name;
    }
    f.ForcedLowest = f.Overheated = false;
    load(90);
    f.RefreshTimerTimer();
    EXPECT_EQ(win.callsOf("PowerSetActiveScheme"), (std::vector<std::string>{activate(sim::kBalanced)}));
}

TEST_F(EngineTest, SwitchToLowestCapsTheMaximumStateAndActivatesAgain) {
    auto& f = running();
    auto& max = win.value(sim::kPowerSaver, kProcSub, kMaxState);
    max.dc = 100;
    max.ac = 50;
    f.ActiveSchemeGuid = f.GUID_MAX_POWER_SAVINGS;  // already active: activated all the same
    f.SwitchToLowest();
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{call("PowerWriteDCValueIndex", sim::kPowerSaver, kProcSub, kMaxState, 99),
                                                            call("PowerWriteACValueIndex", sim::kPowerSaver, kProcSub, kMaxState, 99),
                                                            call("PowerWriteACValueIndex", sim::kPowerSaver, kSaverSub, kSaverSet, 30),
                                                            call("PowerWriteDCValueIndex", sim::kPowerSaver, kSaverSub, kSaverSet, 20),
                                                            activate(sim::kPowerSaver)}));
    EXPECT_EQ(f.DwellTicks, 4);
    EXPECT_EQ(max.ac, 99u);
    EXPECT_EQ(max.dc, 99u);
    // Capped now: a second call only sets labels and icon.
    win.clearCalls();
    f.SwitchToLowest();
    EXPECT_TRUE(win.powerChanges().empty());
    EXPECT_TRUE(f.InLowState);
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageDown->icon);
}

TEST_F(EngineTest, SwitchToProfileSchemeMarksASideOnlyForWellKnownSchemes) {
    auto& f = running();
    f.Labellowestselect->setCaption("Active");
    f.SwitchToProfileScheme(f.GUID_MAX_POWER_SAVINGS);
    EXPECT_TRUE(f.InLowState);
    EXPECT_EQ(f.LabelLowSelect->caption(), "Active");
    EXPECT_EQ(f.Labellowestselect->caption(), "Active");  // never touched
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageDown->icon);

    f.SwitchToProfileScheme(f.UltimatePerformanceGuid);
    EXPECT_FALSE(f.InLowState);
    EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageUp->icon);

    f.SwitchToProfileScheme(f.GUID_TYPICAL_POWER_SAVINGS);  // any other: side untouched
    EXPECT_FALSE(f.InLowState);
    EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    EXPECT_EQ(f.theTrayIcon->icon(), f.ImageUp->icon);
    EXPECT_EQ(f.ActiveSchemeGuid, f.GUID_TYPICAL_POWER_SAVINGS);
}

TEST_F(EngineTest, LoadCheckSwitchesStrictlyBeyondTheThresholdsAndCountsTheMinimumTime) {
    auto& f = running();  // low 20, high 75, minimum 4 s, checks every 1 s
    load(20);
    f.RefreshTimerTimer();  // exactly the low threshold: nothing
    EXPECT_EQ(f.CpuLoad, 20);
    EXPECT_TRUE(win.powerChanges().empty());
    load(75);
    f.RefreshTimerTimer();  // exactly the high threshold: nothing
    EXPECT_EQ(f.CpuLoad, 75);
    EXPECT_TRUE(win.powerChanges().empty());
    load(76);
    f.RefreshTimerTimer();
    EXPECT_EQ(win.callsOf("PowerSetActiveScheme"), (std::vector<std::string>{activate(sim::kBalanced)}));
    EXPECT_EQ(f.DwellTicks, 4);
    // Four ticks only count; the last takes a fresh baseline.
    for (int expected : {3, 2, 1}) {
        load(0);
        f.RefreshTimerTimer();
        EXPECT_EQ(f.DwellTicks, expected);
    }
    load(0);
    win.clearCalls();
    f.RefreshTimerTimer();
    EXPECT_EQ(f.DwellTicks, 0);
    EXPECT_EQ(win.calls, (std::vector<std::string>{"GetSystemTimes"}));
    EXPECT_EQ(f.CpuLoad, 76);  // not measured while counting
    load(19);
    f.RefreshTimerTimer();
    EXPECT_EQ(f.CpuLoad, 19);  // only the interval since the fresh baseline
    EXPECT_EQ(win.callsOf("PowerSetActiveScheme"), (std::vector<std::string>{activate(sim::kPowerSaver)}));
    EXPECT_TRUE(f.InLowState);
}

TEST_F(EngineTest, LoadCheckSwitchesOnEveryQualifyingTickButActivatesOnce) {
    auto& f = running();
    f.MinTime = 3000;
    f.ChecksTime = 6000;  // no tick skipped
    for (int i = 0; i < 3; ++i) {
        load(90);
        f.RefreshTimerTimer();
        EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    }
    EXPECT_EQ(win.callsOf("PowerSetActiveScheme").size(), 1u);
    f.ForcedLowest = true;  // forcing blocks the thresholds, not the measurement
    load(5);
    f.RefreshTimerTimer();
    EXPECT_EQ(f.CpuLoad, 5);
    EXPECT_FALSE(f.InLowState);
}

TEST_F(EngineTest, TotalLoadRoundsHalfToEvenAndKeepsItsValueWithoutTime) {
    auto& f = running();
    const struct { std::uint64_t busyKernel, user, idle; int load; } cases[] = {
        {100, 25, 875, 12}, {100, 35, 865, 14}, {0, 0, 1000, 0}, {600, 400, 0, 100}};
    for (auto c : cases) {
        win.addLoad(c.busyKernel, c.user, c.idle);
        f.ComputeTotalLoad();
        EXPECT_EQ(f.CpuLoad, c.load) << c.busyKernel << "/" << c.user;
    }
    f.ComputeTotalLoad();  // no time passed: the load stays
    EXPECT_EQ(f.CpuLoad, 100);
    EXPECT_EQ(f.LoadBaseline.kernel, win.times.kernel);
}

TEST_F(EngineTest, BusiestProcessChoiceLeavesTheBaselineAlone) {
    auto& f = running();
    f.CheckBoxCore0->setChecked(true);
    f.CpuLoad = 88;
    auto before = f.LoadBaseline.kernel;
    load(10);
    f.RefreshTimerTimer();
    EXPECT_EQ(f.CpuLoad, 88);
    EXPECT_EQ(f.LoadBaseline.kernel, before);
    EXPECT_FALSE(f.InLowState);
}

TEST_F(EngineTest, HintTextNamesTheFirstStateThatApplies) {
    auto& f = running();
    f.CpuLoad = 37;
    f.CpuTemperature = 52;
    struct Case { bool overheated, battery, idle, active; const char* hint; };
    for (auto c : {Case{true, true, true, true, "Overheated CPU 37% 52C"}, Case{false, true, true, true, "Battery CPU 37% 52C"},
                   Case{false, false, true, false, "Idle CPU 37% 52C"}, Case{false, false, false, true, "CPU 37% 52C"},
                   Case{false, false, false, false, "Paused CPU 37% 52C"}}) {
        f.Overheated = c.overheated;
        f.OnBattery = c.battery;
        f.UserIdle = c.idle;
        f.Active = c.active;
        f.UpdateTrayHint();
        EXPECT_EQ(f.theTrayIcon->hint(), c.hint);
        EXPECT_EQ(f.LabelCPU->caption(), c.hint);
    }
    f.Overheated = f.OnBattery = false;
    f.UserIdle = true;
    f.CpuLoad = 5;
    f.CpuTemperature = -1;
    f.hide();
    f.UpdateTrayHint();
    EXPECT_EQ(f.theTrayIcon->hint(), "Idle CPU 5% -1C");
    EXPECT_EQ(f.LabelCPU->caption(), "Paused CPU 37% 52C");  // a hidden window keeps its label
}

TEST_F(EngineTest, PauseStopsTheLoadCheckAndShowsItsText) {
    auto& f = running();
    f.hide();
    win.clearCalls();
    f.CheckBoxPause->userClick();
    EXPECT_FALSE(f.Active);
    EXPECT_FALSE(f.RefreshTimer->isEnabled());
    EXPECT_EQ(f.LabelCPU->caption(), "Paused.");
    EXPECT_EQ(f.theTrayIcon->hint(), "Paused.");
    EXPECT_TRUE(win.calls.empty());  // no baseline while paused
    f.get<ui::MenuItem>("MenuPause")->userClick();
    EXPECT_TRUE(f.Active);
    EXPECT_TRUE(f.RefreshTimer->isEnabled());
    EXPECT_EQ(f.theTrayIcon->hint(), "Calculating.");
    EXPECT_EQ(win.calls, (std::vector<std::string>{"GetSystemTimes"}));
}

TEST_F(EngineTest, TheLoadCheckRunsOnItsTimerOnlyWhileActive) {
    auto& f = running();
    load(90);
    backend.advance(1000);
    EXPECT_EQ(f.CpuLoad, 90);
    EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    f.PauseAction->execute();
    load(3);
    win.clearCalls();
    backend.advance(1000);
    EXPECT_TRUE(win.callsOf("GetSystemTimes").empty());
}

struct IdleCase {
    const char* name;
    bool idleOption, dcOption;
    std::uint32_t sinceInput;  // ms
    std::uint8_t acLine;
    bool ok, userIdle, onBattery;
};
void PrintTo(const IdleCase& c, std::ostream* os) { *os << c.name; }

class IdleAndBattery : public EngineTest, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(IdleAndBattery, JudgesEachConditionOnlyWhenItsOptionIsTicked) {
    const IdleCase& c = GetParam();
    auto& f = running();
    f.UserIdle = f.OnBattery = true;  // a flag whose option is off keeps its value
    f.CheckBoxIdle->setChecked(c.idleOption);
    f.CheckBoxDC->setChecked(c.dcOption);
    f.TrackBarIdle->setPosition(5);
    win.lastInputTick = static_cast<std::uint32_t>(win.tick) - c.sinceInput;
    win.powerStatus.acLineStatus = c.acLine;
    EXPECT_EQ(f.CheckIdleAndBattery(), c.ok);
    EXPECT_EQ(f.UserIdle, c.userIdle);
    EXPECT_EQ(f.OnBattery, c.onBattery);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IdleAndBattery,
    ::testing::Values(IdleCase{"ExactlyTheLimitIsNotIdle", true, true, 300000, 1, true, false, false},
                      IdleCase{"OneMillisecondMoreIsIdle", true, true, 300001, 1, false, true, false},
                      IdleCase{"InputAheadOfTheCounterIsNotIdle", true, false, 0xFFFFFFF0u, 1, true, false, true},
                      IdleCase{"ActiveOnBattery", true, true, 10, 0, false, false, true},
                      IdleCase{"UnknownPowerSourceCountsAsBattery", false, true, 10, 255, false, true, true},
                      IdleCase{"NothingTicked", false, false, 999999, 0, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, IdleTestWorksAcrossTheWrapOfTheTickCounter) {
    auto& f = running();
    f.CheckBoxDC->setChecked(false);
    win.tick = 0x100000000ull + 1000;  // the 32-bit counter has wrapped to 1000
    win.lastInputTick = 0xFFFFFFFFu - 500;  // 1501 ms ago
    EXPECT_TRUE(f.CheckIdleAndBattery());
    win.lastInputTick = 0xFFFFFFFFu - 400000;  // 401001 ms ago: beyond the 5 minutes
    EXPECT_FALSE(f.CheckIdleAndBattery());
    EXPECT_TRUE(f.UserIdle);
    win.lastInputTick = 0xFFFFFFFFu - 500;
    win.failing.insert("GetSystemPowerStatus");
    f.CheckBoxDC->setChecked(true);
    f.OnBattery = true;
    EXPECT_TRUE(f.CheckIdleAndBattery());  // no status: the power source is ignored
    EXPECT_TRUE(f.OnBattery);
}

}  // namespace

namespace {

// A visible window of a profiled program: its process gets the row's settings, the
// scheme switches once, and the load rule waits while the window is on screen.
TEST_F(EngineTest, AProfileWindowOnScreenSuspendsTheLoadRule) {
    storeSettings();
    win.setRegString(kKey, "class0", "Game");
    win.setRegGuid(kKey, "scheme0", platform::guidFromText(sim::kHighPerformance));
    win.setRegDword(kKey, "CPUpriority0", 3);
    win.addProcess(50);
    const platform::Window game = win.addProcessWindow(50, "Game", "A game");
    auto& f = running();
    EXPECT_EQ(win.process(50)->priorityClass, platform::NORMAL_PRIORITY_CLASS_);  // not before the first check
    load(99);
    f.RefreshTimerTimer();
    EXPECT_TRUE(f.Profiles.EnumToggle);  // the first scan of a run goes through every window
    EXPECT_EQ(win.process(50)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_);
    EXPECT_EQ(win.activeScheme, platform::guidFromText(sim::kHighPerformance));
    EXPECT_EQ(f.Labelhighselect->caption(), "Active");
    EXPECT_TRUE(win.callsOf("GetSystemTimes").empty());  // no load measured
    // While the window stays, ticks pass without load, hint or switch.
    f.DwellTicks = 0;
    win.clearCalls();
    f.RefreshTimerTimer();
    EXPECT_TRUE(win.callsOf("GetSystemTimes").empty());
    EXPECT_TRUE(win.powerChanges().empty());
    EXPECT_EQ(win.openHandles(), 0u);
    // Minimised, it no longer counts: the load rule is back.
    win.window(game)->minimized = true;
    f.RefreshTimerTimer();
    EXPECT_EQ(win.callsOf("GetSystemTimes").size(), 1u);
}

}  // namespace
