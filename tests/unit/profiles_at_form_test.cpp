// The profile rows at the main window: what the window tells the rows (its forcing
// state, its scheme choices, the performance-mode option, the processor topology), and
// what the load check and the housekeeping tick do with them.
#include <ostream>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace {

using platform::Guid;
using platform::guidFromText;

constexpr char kQuiet[] = "{5a5a5a5a-1111-4222-8333-944444444444}";  // a scheme of the user's own
constexpr char kDeleted[] = "{0d0d0d0d-2222-4333-8444-955555555555}";  // stored once, in no list now

class ProfilesAtFormTest : public FormTest {
protected:
    ProfilesAtFormTest() {
        win.addScheme(kQuiet, u"Quiet");
        storeSettings();  // low power saver, high balanced, lowest power saver
    }
    app::TStellmarkForm& running() {
        auto& f = start();
        win.clearCalls();
        return f;
    }
    profiles::ProgramProfile& row(int line) { return form->Profiles.ProgramProfiles[line - 1]; }
    // A class typed into the line's class list, as a user types it.
    profiles::ProgramProfile& typeClass(int line, const std::string& cls) {
        form->ProfilePage.line(line).ComboBoxClass->userType(cls);
        return row(line);
    }
    void pickScheme(int line, const char* scheme) { pick(form->ProfilePage.line(line).ComboBoxScheme, scheme); }
    // A scheme picked in one of the window's scheme lists, as a user picks it.
    void pick(ui::ComboBox* list, const char* scheme) {
        const std::int32_t k = form->SchemeIndexOf(guidFromText(scheme));
        ASSERT_LT(k, form->SchemeCount) << scheme;
        list->userPick(k);
    }
    // One load check that is not spent counting down the minimum time.
    void loadCheck() {
        form->DwellTicks = 0;
        form->RefreshTimerTimer();
    }
    std::vector<std::string> activations() const { return win.callsOf("PowerSetActiveScheme"); }
    static std::string activation(const char* scheme) { return std::string("PowerSetActiveScheme ") + scheme; }
    // Which of the three "Active" labels shows; "none" when none does.
    std::string activeLabel() const {
        if (form->LabelLowSelect->caption() == "Active") return "low";
        if (form->Labelhighselect->caption() == "Active") return "high";
        if (form->Labellowestselect->caption() == "Active") return "lowest";
        return "none";
    }
};

// ---- forcing ----

enum class Forcing { Idle, Battery, Heat };

struct ForcingCase {
    const char* name;
    Forcing how;
    friend void PrintTo(const ForcingCase& c, std::ostream* os) { *os << c.name; }
};

class ProfilesWhileForcedTest : public ProfilesAtFormTest, public ::testing::WithParamInterface<ForcingCase> {};

// While the lowest scheme is forced (idle user, battery, or heat), a profile window on
// screen gets its process settings and holds the load rule off, but switches no scheme.
TEST_P(ProfilesWhileForcedTest, AProfileWindowGetsItsSettingsButSwitchesNoScheme) {
    auto& f = running();
    win.addProcess(50);
    win.addProcessWindow(50, "Game", "A game");
    typeClass(1, "Game").ProfileCpuPriority = 3;
    pickScheme(1, sim::kHighPerformance);  // neither the low, the high nor the lowest scheme

    switch (GetParam().how) {
        case Forcing::Idle:
            win.lastInputTick = static_cast<std::uint32_t>(win.tick) - 10 * 60000;
            break;
        case Forcing::Battery:
            f.CheckBoxDC->setChecked(true);
            win.powerStatus.acLineStatus = 0;
            break;
        case Forcing::Heat:
            f.TrackBarTemp->setPosition(80);
            win.thermalRows = {85 * 10 + 2732};
            break;
    }
    f.TimerCpuTempTimer();
    ASSERT_TRUE(f.ForcedLowest || f.Overheated);
    ASSERT_EQ(f.ForcedLowest, GetParam().how != Forcing::Heat);
    ASSERT_EQ(activations(), (std::vector<std::string>{activation(sim::kPowerSaver)}));

    win.clearCalls();
    loadCheck();
    EXPECT_TRUE(activations().empty());
    EXPECT_EQ(f.ActiveSchemeGuid, guidFromText(sim::kPowerSaver));
    EXPECT_EQ(activeLabel(), "lowest");
    EXPECT_EQ(win.process(50)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_);
    EXPECT_TRUE(win.callsOf("GetSystemTimes").empty());  // the load rule waits
}

INSTANTIATE_TEST_SUITE_P(Forcing, ProfilesWhileForcedTest,
                         ::testing::Values(ForcingCase{"IdleUser", Forcing::Idle},
                                           ForcingCase{"Battery", Forcing::Battery},
                                           ForcingCase{"Overheated", Forcing::Heat}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- process settings from the window's options and topology ----

// A high-priority row takes performance mode from "CheckBoxBoostP" alone, read at each
// application; the busy-process option beside it has no say.
TEST_F(ProfilesAtFormTest, AHighPriorityRowTakesPerformanceModeFromItsOption) {
    auto& f = running();
    win.addProcess(60);
    win.addProcessWindow(60, "Game", "A game");
    typeClass(1, "Game").ProfileCpuPriority = 3;
    const struct {
        bool performance, busyToo;
        platform::PowerThrottlingState throttling;
    } cases[] = {
        {true, false, engine::PerformanceMode},
        {false, true, engine::DefaultThrottling},
    };
    for (const auto& c : cases) {
        f.CheckBoxBoostP->setChecked(c.performance);
        f.CheckBoxBoostProc->setChecked(c.busyToo);
        win.process(60)->throttling.reset();
        row(1).ProfileAppliedPid = 0;
        loadCheck();
        ASSERT_TRUE(win.process(60)->throttling.has_value()) << c.performance;
        EXPECT_EQ(*win.process(60)->throttling, c.throttling) << c.performance;
        EXPECT_EQ(win.process(60)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_);
    }
}

// The core range of a row on a machine whose processors are 0, 1 and 3 (mask 0xB):
// four cores are offered, and the range is cut to the processors the system has.
TEST_F(ProfilesAtFormTest, TheRowsCoreRangeIsCutToTheSystemsProcessors) {
    win.systemAffinityMask = win.processAffinityMask = 0xB;
    auto& f = running();
    ASSERT_EQ(f.Primitives.CpuCount, 4);
    win.addProcess(90);
    win.addProcessWindow(90, "Render", "A renderer");
    typeClass(1, "Render");
    const struct {
        std::int32_t start, end;
        bool even;
        std::uint64_t mask;
    } cases[] = {
        {0, 4, false, 0xB},  // 0 to "All Cores"
        {2, 4, false, 0x8},  // 2 and 3
        {1, 3, false, 0xA},  // 1 to 3
        {3, 0, false, 0x9},  // 3, wrapping to 0
        {0, 4, true, 0x1},   // even cores: 0 and 2, of which only 0 exists
    };
    for (const auto& c : cases) {
        auto& r = row(1);
        r.ProfileCoreStart = c.start;
        r.ProfileCoreEnd = c.end;
        r.ProfileEvenCores = c.even;
        r.ProfileAppliedPid = 0;
        win.process(90)->affinity = 0x3;
        win.clearCalls();
        loadCheck();
        char expected[48];
        std::snprintf(expected, sizeof expected, " %#llx", static_cast<unsigned long long>(c.mask));
        const auto set = win.callsOf("SetProcessAffinityMask");
        ASSERT_EQ(set.size(), 1u) << c.start << ".." << c.end;
        EXPECT_TRUE(set[0].ends_with(expected)) << set[0];
        EXPECT_EQ(win.process(90)->affinity, c.mask) << c.start << ".." << c.end;
    }
}

// A process that leaves the process table is forgotten by the rows, so a later process
// with the same id gets the row's settings afresh.
TEST_F(ProfilesAtFormTest, AProcessLeavingTheProcessTableIsForgottenByTheRows) {
    auto& f = running();
    f.CheckBoxCore0->userClick();  // the busiest-process load: processes tracked, none changed
    win.addProcess(70);
    platform::Window game = win.addProcessWindow(70, "Game", "A game");
    typeClass(1, "Game").ProfileCpuPriority = 0;
    f.TimerCpuTempTimer();
    ASSERT_EQ(f.ProcessTable.ProcessCount(), 1);
    loadCheck();
    ASSERT_EQ(row(1).ProfileAppliedPid, 70u);
    ASSERT_EQ(win.process(70)->priorityClass, platform::IDLE_PRIORITY_CLASS_);

    win.removeWindow(game);
    win.endProcess(70);
    f.TimerCpuTempTimer();
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
    EXPECT_EQ(row(1).ProfileAppliedPid, 0u);

    win.addProcess(70);
    game = win.addProcessWindow(70, "Game", "The game again");
    loadCheck();
    EXPECT_EQ(win.process(70)->priorityClass, platform::IDLE_PRIORITY_CLASS_);
    EXPECT_EQ(row(1).ProfileAppliedPid, 70u);
}

// The first load check of a run goes through every window; the next one stops at the
// first match, which gets the row again.
TEST_F(ProfilesAtFormTest, TheFirstScanOfARunGoesThroughEveryWindow) {
    auto& f = running();
    win.addProcess(81);
    win.addProcess(82);
    win.addProcessWindow(81, "Game", "First");
    win.addProcessWindow(82, "Game", "Second");
    typeClass(1, "Game").ProfileIoPriority = 0;
    loadCheck();
    EXPECT_EQ(win.process(81)->ioPriority, 0u);
    EXPECT_EQ(win.process(82)->ioPriority, 0u);
    EXPECT_EQ(row(1).ProfileAppliedPid, 82u);
    loadCheck();
    EXPECT_EQ(row(1).ProfileAppliedPid, 81u);
    loadCheck();
    EXPECT_EQ(row(1).ProfileAppliedPid, 82u);
    EXPECT_EQ(f.ProcessTable.ProcessCount(), 0);
}

// ---- the scheme rule ----

// A row's scheme is compared with the low, the high and the lowest choice in this
// order: the first equal one switches through its own routine (its label shows), any
// other listed scheme is activated as it is.
TEST_F(ProfilesAtFormTest, TheRowsSchemeIsComparedWithLowHighAndLowestInThisOrder) {
    auto& f = running();
    win.addProcess(55);
    win.addProcessWindow(55, "Game", "A game");
    typeClass(1, "Game");
    const struct {
        const char* what;
        const char *low, *high, *lowest, *rowScheme;
        const char* route;
    } cases[] = {
        {"the low scheme", sim::kPowerSaver, sim::kHighPerformance, kQuiet, sim::kPowerSaver, "low"},
        {"the high scheme", sim::kPowerSaver, sim::kHighPerformance, kQuiet, sim::kHighPerformance, "high"},
        {"the lowest scheme", sim::kPowerSaver, sim::kHighPerformance, kQuiet, kQuiet, "lowest"},
        {"another listed scheme", sim::kPowerSaver, sim::kHighPerformance, kQuiet, sim::kBalanced, "none"},
        {"low before lowest", kQuiet, sim::kHighPerformance, kQuiet, kQuiet, "low"},
        {"high before lowest", sim::kPowerSaver, kQuiet, kQuiet, kQuiet, "high"},
        {"low before high", sim::kBalanced, sim::kBalanced, kQuiet, sim::kBalanced, "low"},
    };
    for (const auto& c : cases) {
        pick(f.ComboBoxLow, c.low);
        pick(f.ComboBoxHigh, c.high);
        pick(f.ComboBoxLowest, c.lowest);
        pickScheme(1, c.rowScheme);
        f.ActiveSchemeGuid = Guid{};
        for (ui::Label* l : {f.LabelLowSelect, f.Labelhighselect, f.Labellowestselect}) l->setCaption("");
        win.clearCalls();
        loadCheck();
        EXPECT_EQ(activeLabel(), c.route) << c.what;
        EXPECT_EQ(activations(), (std::vector<std::string>{activation(c.rowScheme)})) << c.what;
    }
}

// A row whose scheme is in no list, typed before any scheme was picked (all zero) or
// stored for a scheme deleted since, is shown as "No prefered scheme" and treated so:
// no activation and nothing recorded, while its process still gets the row's settings
// and the load rule still waits.
TEST_F(ProfilesAtFormTest, ARowWithoutAListedSchemeActivatesNothing) {
    win.setRegString(kKey, "class1", "Stale");
    win.setRegGuid(kKey, "scheme1", guidFromText(kDeleted));
    win.setRegDword(kKey, "CPUpriority1", 1);
    win.addProcess(51);
    win.addProcess(52);
    const platform::Window fresh = win.addProcessWindow(51, "Fresh", "Typed before a scheme was picked");
    auto& f = running();
    EXPECT_EQ(f.ProfilePage.line(2).ComboBoxScheme->itemIndex(), f.SchemeCount);  // "No prefered scheme"
    typeClass(1, "Fresh").ProfileCpuPriority = 3;
    ASSERT_TRUE(row(1).ProfileScheme.isZero());
    f.SwitchToHigh();  // something other than all zero recorded as active
    ASSERT_EQ(f.ActiveSchemeGuid, guidFromText(sim::kBalanced));

    const struct {
        const char* what;
        std::uint32_t pid, priorityClass;
    } cases[] = {
        {"all zero", 51, platform::ABOVE_NORMAL_PRIORITY_CLASS_},
        {"deleted", 52, platform::BELOW_NORMAL_PRIORITY_CLASS_},
    };
    for (const auto& c : cases) {
        if (c.pid == 52) {
            win.window(fresh)->minimized = true;
            win.addProcessWindow(52, "Stale", "Stored with a deleted scheme");
        }
        win.addLoad(50, 0, 950);  // a load the load rule would switch low on
        win.clearCalls();
        loadCheck();
        EXPECT_TRUE(activations().empty()) << c.what;
        EXPECT_TRUE(win.powerChanges().empty()) << c.what;
        EXPECT_EQ(f.ActiveSchemeGuid, guidFromText(sim::kBalanced)) << c.what;
        EXPECT_EQ(win.process(c.pid)->priorityClass, c.priorityClass) << c.what;
        EXPECT_TRUE(win.callsOf("GetSystemTimes").empty()) << c.what;
    }
    // Without the profile windows the load rule is back.
    win.window(fresh)->visible = false;
    for (auto& w : win.windows)
        if (w.className == "Stale") w.visible = false;
    win.clearCalls();
    loadCheck();
    EXPECT_EQ(activations(), (std::vector<std::string>{activation(sim::kPowerSaver)}));
}

}  // namespace
