// The program profile rows: which windows match, what a match does to the window's
// process, and when the first match of a scan switches the scheme.
#include <gtest/gtest.h>

#include <algorithm>

#include "profiles/program_profiles.h"
#include "sim/sim_windows.h"

namespace {

using platform::Guid;
using platform::guidFromText;
using profiles::ProfileTable;

const Guid kSaver = guidFromText(sim::kPowerSaver);
const Guid kBalanced = guidFromText(sim::kBalanced);
const Guid kHigh = guidFromText(sim::kHighPerformance);
const Guid kOther = guidFromText("{11111111-2222-3333-4444-555555555555}");
const Guid kNoSubgroup = guidFromText("{fea3413e-7e05-4911-9a71-700331f1c294}");
const Guid kDeleted = guidFromText("{66666666-7777-8888-9999-aaaaaaaaaaaa}");  // in no list

// The scheme list: the three standard schemes and one more.
class FakeSchemes : public profiles::SchemeChoices {
public:
    std::vector<Guid> listed{kSaver, kBalanced, kHigh, kOther};

    std::int32_t schemeCount() const override { return static_cast<std::int32_t>(listed.size()); }
    const Guid& schemeAt(std::int32_t position) const override { return listed[static_cast<std::size_t>(position)]; }
    std::int32_t schemeIndexOf(const Guid& scheme) const override {
        const auto at = std::find(listed.begin(), listed.end(), scheme);
        return static_cast<std::int32_t>(at - listed.begin());
    }
};

// The engine's side, recording the switches asked for.
class FakeEngine : public profiles::ProfileEngine {
public:
    Guid active = kBalanced, low = kSaver, high = kBalanced, lowest = kSaver;
    bool forced = false, hot = false, performance = false;
    std::vector<std::string> switches;

    const Guid& activeScheme() const override { return active; }
    const Guid& lowScheme() const override { return low; }
    const Guid& highScheme() const override { return high; }
    const Guid& lowestScheme() const override { return lowest; }
    bool forcedLowest() const override { return forced; }
    bool overheated() const override { return hot; }
    bool performanceModeChosen() const override { return performance; }
    void switchToLow() override { switches.push_back("low"); }
    void switchToHigh() override { switches.push_back("high"); }
    void switchToLowest() override { switches.push_back("lowest"); }
    void switchToProfileScheme(const Guid& g) override { switches.push_back(platform::guidToText(g)); }
};

class ProfilesTest : public ::testing::Test {
protected:
    sim::SimWindows win;
    engine::ProcessPrimitives primitives{win, win};
    FakeEngine engine;
    FakeSchemes schemes;
    ProfileTable table{win, primitives, engine, schemes};

    ProfilesTest() {
        win.systemAffinityMask = 0xFF;
        primitives.InitCpuTopology();  // eight cores
        primitives.LoadOptionalFunctions();
        table.SetDefaultProfileRows();
    }
    profiles::ProgramProfile& row(int i, const char* cls, const Guid& scheme = kNoSubgroup) {
        table.setClassName(i, cls);
        table.ProgramProfiles[i].ProfileScheme = scheme;
        return table.ProgramProfiles[i];
    }
    // One load check's scan, as the load check runs it.
    void scan() {
        table.ProfileApplied = false;
        table.EnumToggle = !table.EnumToggle;
        table.ScanProfileWindows();
    }
};

TEST_F(ProfilesTest, RowsStartEmptyWithAllCoresAndDefaultPriorities) {
    EXPECT_FALSE(table.AnyProfileDefined());
    for (const auto& r : table.ProgramProfiles) {
        EXPECT_EQ(r.ProfileCoreStart, 8);
        EXPECT_EQ(r.ProfileCoreEnd, 8);
        EXPECT_FALSE(r.ProfileEvenCores);
        EXPECT_EQ(r.ProfileCpuPriority, 2);
        EXPECT_EQ(r.ProfileIoPriority, 2);
        EXPECT_TRUE(r.ProfileScheme.isZero());
    }
    row(13, "Last");
    EXPECT_TRUE(table.AnyProfileDefined());
}

TEST_F(ProfilesTest, TheCoreRangeGivesTheAffinityMask) {
    const struct {
        const char* what;
        std::int32_t start, end;
        bool even;
        std::optional<std::uint64_t> mask;  // none: the affinity is not touched
        std::uint64_t affinityAfter;
    } cases[] = {
        {"6 to 1 wraps", 6, 1, false, 0xC3, 0xC3},
        {"2 to all cores", 2, 8, false, 0xFC, 0xFC},
        {"even cores of 0 to 7", 0, 7, true, 0x55, 0x55},
        {"even cores of 3 to 3 is empty: no change", 3, 3, true, 0x0, 0xFF},
        {"all cores as start leaves the affinity", 8, 1, true, std::nullopt, 0xFF},
        {"a negative start leaves it", -1, 3, false, std::nullopt, 0xFF},
        {"a start beyond the cores leaves it", 40, 3, false, std::nullopt, 0xFF},
        {"an end beyond the cores is the last core", 5, 1000, false, 0xE0, 0xE0},
        {"a negative end after a wrap adds nothing more", 5, -4, false, 0xE0, 0xE0},
    };
    for (const auto& c : cases) {
        sim::SimProcess& p = win.addProcess(10);
        auto& r = row(0, "App");
        r.ProfileCoreStart = c.start;
        r.ProfileCoreEnd = c.end;
        r.ProfileEvenCores = c.even;
        r.ProfileAppliedPid = 0;
        win.clearCalls();
        table.ApplyProfile(0, 10);
        const auto set = win.callsOf("SetProcessAffinityMask");
        if (c.mask) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%#llx", static_cast<unsigned long long>(*c.mask));
            ASSERT_EQ(set.size(), 1u) << c.what;
            EXPECT_EQ(set[0].substr(set[0].rfind(' ') + 1), expected) << c.what;
        } else {
            EXPECT_TRUE(set.empty()) << c.what;
        }
        EXPECT_EQ(p.affinity, c.affinityAfter) << c.what;
        EXPECT_EQ(win.openHandles(), 0u) << c.what;
    }
}

TEST_F(ProfilesTest, Core31IsAnOrdinaryUnsignedBit) {
    win.systemAffinityMask = 0xFFFFFFFF;
    primitives.InitCpuTopology();
    win.addProcess(10);
    auto& r = row(0, "App");
    r.ProfileCoreStart = 30;
    r.ProfileCoreEnd = 32;  // all cores: up to core 31
    table.ApplyProfile(0, 10);
    EXPECT_EQ(win.process(10)->affinity, 0xC0000000u);
    r.ProfileAppliedPid = 0;
    r.ProfileCoreStart = 31;
    r.ProfileCoreEnd = 0;  // wraps from core 31 to core 0
    table.ApplyProfile(0, 10);
    EXPECT_EQ(win.process(10)->affinity, 0x80000001u);
}

TEST_F(ProfilesTest, ThePriorityLevelPicksClassAndThrottling) {
    using platform::PowerThrottlingState;
    const PowerThrottlingState untouched{9, 9, 9};
    const struct {
        std::int32_t level;
        bool performance;
        std::uint32_t priorityClass;
        PowerThrottlingState throttling;
    } cases[] = {
        {0, false, platform::IDLE_PRIORITY_CLASS_, engine::EcoMode},
        {1, false, platform::BELOW_NORMAL_PRIORITY_CLASS_, untouched},
        {2, false, platform::NORMAL_PRIORITY_CLASS_, untouched},
        {3, false, platform::ABOVE_NORMAL_PRIORITY_CLASS_, engine::DefaultThrottling},
        {3, true, platform::ABOVE_NORMAL_PRIORITY_CLASS_, engine::PerformanceMode},
        {4, false, 0x1234, untouched},  // outside the table: nothing
        {-1, false, 0x1234, untouched},
        {INT32_MAX, false, 0x1234, untouched},
    };
    for (const auto& c : cases) {
        sim::SimProcess& p = win.addProcess(10);
        p.priorityClass = 0x1234;
        p.throttling = untouched;
        engine.performance = c.performance;
        auto& r = row(0, "App");
        r.ProfileCpuPriority = c.level;
        r.ProfileAppliedPid = 0;
        table.ApplyProfile(0, 10);
        EXPECT_EQ(p.priorityClass, c.priorityClass) << c.level;
        EXPECT_EQ(p.throttling, c.throttling) << c.level;
        EXPECT_EQ(win.openHandles(), 0u);
    }
    // From idle back to default: the normal class, but eco mode stays.
    win.addProcess(20);
    auto& r = row(1, "Other");
    r.ProfileCpuPriority = 0;
    table.ApplyProfile(1, 20);
    r.ProfileCpuPriority = 2;
    r.ProfileAppliedPid = 0;
    table.ApplyProfile(1, 20);
    EXPECT_EQ(win.process(20)->priorityClass, platform::NORMAL_PRIORITY_CLASS_);
    EXPECT_EQ(win.process(20)->throttling, engine::EcoMode);
}

TEST_F(ProfilesTest, ProcessSettingsGoOncePerProcessAndAllThreeOpenForSettingOnly) {
    win.addProcess(10);
    auto& r = row(0, "App");
    r.ProfileIoPriority = 3;
    r.ProfileCpuPriority = 3;
    r.ProfileCoreStart = 0;
    r.ProfileCoreEnd = 1;
    table.ApplyProfile(0, 10);
    EXPECT_EQ(win.callsOf("OpenProcess"), std::vector<std::string>(3, "OpenProcess 0x200 0 10"));
    EXPECT_EQ(win.process(10)->ioPriority, 3u);
    EXPECT_EQ(r.ProfileAppliedPid, 10u);
    win.clearCalls();
    table.ApplyProfile(0, 10);
    EXPECT_TRUE(win.callsOf("OpenProcess").empty());
    // A process that cannot be opened still counts as applied: no retry.
    win.clearCalls();
    table.ApplyProfile(0, 77);
    EXPECT_EQ(r.ProfileAppliedPid, 77u);
    table.ApplyProfile(0, 77);
    EXPECT_EQ(win.callsOf("OpenProcess").size(), 3u);
    // The I/O priority goes as stored, whatever it is.
    r.ProfileIoPriority = 9;
    table.ApplyProfile(0, 10);
    EXPECT_TRUE(win.callsOf("NtSetInformationProcess").back().ends_with(" 33 9 4"));
    EXPECT_EQ(win.openHandles(), 0u);
    // Forgetting a process makes the next match apply afresh.
    table.ProgramProfiles[5].ProfileAppliedPid = 10;
    table.ForgetProcessId(10);
    EXPECT_EQ(r.ProfileAppliedPid, 0u);
    EXPECT_EQ(table.ProgramProfiles[5].ProfileAppliedPid, 0u);
}

TEST_F(ProfilesTest, OnlyVisibleUnminimisedUncloakedWindowsOfAnExactClassMatch) {
    const std::string longClass(126, 'L');
    const struct {
        const char* what;
        std::string windowClass, rowClass;
        bool visible, minimized;
        std::uint32_t cloaked;
        bool matches;
    } cases[] = {
        {"visible", "App", "App", true, false, 0, true},
        {"hidden", "App", "App", false, false, 0, false},
        {"minimised", "App", "App", true, true, 0, false},
        {"cloaked", "App", "App", true, false, 2, false},
        {"case differs", "app", "App", true, false, 0, false},
        {"a longer row class", "App", "AppX", true, false, 0, false},
        {"126 characters", longClass, longClass, true, false, 0, true},
        {"a longer class is read cut to 126", longClass + "XYZ", longClass, true, false, 0, true},
        {"a row of 127 never matches", longClass + "X", longClass + "X", true, false, 0, false},
        {"a row filling its 256 bytes never matches", longClass, std::string(256, 'L'), true, false, 0, false},
        {"UTF-8 text compares bytewise", "Caf\xC3\xA9", "Caf\xC3\xA9", true, false, 0, true},
    };
    for (const auto& c : cases) {
        sim::SimWindows w;
        engine::ProcessPrimitives prim(w, w);
        prim.InitCpuTopology();
        prim.LoadOptionalFunctions();
        FakeEngine e;
        FakeSchemes schemes;
        ProfileTable t(w, prim, e, schemes);
        t.SetDefaultProfileRows();
        t.setClassName(4, c.rowClass);
        w.addProcess(10);
        const platform::Window h = w.addProcessWindow(10, c.windowClass, "title");
        w.window(h)->visible = c.visible;
        w.window(h)->minimized = c.minimized;
        w.window(h)->cloaked = c.cloaked;
        t.EnumToggle = true;
        EXPECT_TRUE(t.ProfileWindowProc(h)) << c.what;
        EXPECT_EQ(t.ProfileApplied, c.matches) << c.what;
        EXPECT_EQ(t.ProgramProfiles[4].ProfileAppliedPid, c.matches ? 10u : 0u) << c.what;
        EXPECT_EQ(w.callsOf("GetClassNameA").empty(), !c.visible || c.minimized || c.cloaked) << c.what;
    }
}

TEST_F(ProfilesTest, WindowsWithoutInformationOrClassAreSkipped) {
    win.addProcess(10);
    const platform::Window h = win.addProcessWindow(10, "App", "t");
    row(0, "App");
    table.EnumToggle = false;
    win.window(h)->infoReadable = false;
    EXPECT_TRUE(table.ProfileWindowProc(h));
    win.window(h)->infoReadable = true;
    win.window(h)->className = "";
    row(1, "");
    EXPECT_TRUE(table.ProfileWindowProc(h));
    EXPECT_FALSE(table.ProfileApplied);
    win.window(h)->className = "App";
    EXPECT_FALSE(table.ProfileWindowProc(h));  // a match returns EnumToggle
    EXPECT_TRUE(table.ProfileApplied);
}

TEST_F(ProfilesTest, TheLowerRowWinsAndScansAlternateBetweenAllAndFirstMatch) {
    win.addProcess(10);
    win.addProcess(20);
    win.addProcessWindow(10, "Game", "first");
    win.addProcessWindow(20, "Game", "second");
    row(2, "Game", kHigh).ProfileCpuPriority = 3;
    row(7, "Game", kOther);
    // First scan of the run: through every window; the later window's process is last.
    scan();
    EXPECT_TRUE(table.ProfileApplied);
    EXPECT_EQ(table.ProgramProfiles[2].ProfileAppliedPid, 20u);
    EXPECT_EQ(table.ProgramProfiles[7].ProfileAppliedPid, 0u);
    EXPECT_EQ(win.process(10)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_);
    EXPECT_EQ(win.process(20)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_);
    // Only the first match of a scan switches the scheme.
    EXPECT_EQ(engine.switches, (std::vector<std::string>{"{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}"}));
    // The next scan stops at the first window and applies the row to it again.
    win.clearCalls();
    scan();
    EXPECT_EQ(table.ProgramProfiles[2].ProfileAppliedPid, 10u);
    EXPECT_EQ(win.callsOf("GetWindowInfo").size(), 1u);
    scan();
    EXPECT_EQ(table.ProgramProfiles[2].ProfileAppliedPid, 20u);
    EXPECT_EQ(engine.switches.size(), 3u);
    EXPECT_EQ(win.openHandles(), 0u);
}

TEST_F(ProfilesTest, TheSchemeRuleOfTheFirstMatch) {
    const struct {
        const char* what;
        Guid scheme;
        std::function<void(FakeEngine&)> setUp;
        std::vector<std::string> switches;
    } cases[] = {
        {"the low scheme", kSaver, [](FakeEngine&) {}, {"low"}},
        {"the high scheme", kHigh, [](FakeEngine& e) { e.high = kHigh; }, {"high"}},
        {"the lowest scheme", kOther, [](FakeEngine& e) { e.lowest = kOther; }, {"lowest"}},
        {"low before lowest when both are one", kSaver, [](FakeEngine& e) { e.lowest = kSaver; }, {"low"}},
        {"any other scheme", kOther, [](FakeEngine&) {}, {"{11111111-2222-3333-4444-555555555555}"}},
        {"a never chosen scheme", Guid{}, [](FakeEngine&) {}, {}},
        {"a scheme no longer listed", kDeleted, [](FakeEngine&) {}, {}},
        {"an unlisted low scheme", kDeleted, [](FakeEngine& e) { e.low = kDeleted; }, {}},
        {"already active", kSaver, [](FakeEngine& e) { e.active = kSaver; }, {}},
        {"no preferred scheme", kNoSubgroup, [](FakeEngine&) {}, {}},
        {"forced lowest", kSaver, [](FakeEngine& e) { e.forced = true; }, {}},
        {"overheated", kSaver, [](FakeEngine& e) { e.hot = true; }, {}},
    };
    for (const auto& c : cases) {
        FakeEngine e;
        c.setUp(e);
        ProfileTable t(win, primitives, e, schemes);
        t.SetDefaultProfileRows();
        t.setClassName(0, "App");
        t.ProgramProfiles[0].ProfileScheme = c.scheme;
        t.ProgramProfiles[0].ProfileAppliedPid = 10;  // the process settings are applied already
        t.ApplyProfile(0, 10);
        EXPECT_TRUE(t.ProfileApplied) << c.what;  // the load rule waits in every case
        EXPECT_EQ(e.switches, c.switches) << c.what;
        t.ApplyProfile(0, 10);
        EXPECT_EQ(e.switches, c.switches) << c.what;  // not again in the same scan
    }
}

// A row whose scheme is in no list (never chosen, or deleted since it was stored) has no
// preferred scheme, as the profile page shows it: its process settings still go to the
// process and it still holds the load rule off.
TEST_F(ProfilesTest, ARowWithoutAListedSchemeKeepsItsProcessSettingsAndSwitchesNothing) {
    for (const Guid& scheme : {Guid{}, kDeleted}) {
        const std::uint32_t pid = scheme.isZero() ? 30 : 40;
        win.addProcess(pid);
        auto& r = row(3, "App", scheme);
        r.ProfileCpuPriority = 3;
        r.ProfileIoPriority = 1;
        table.ProfileApplied = false;
        table.ApplyProfile(3, pid);
        EXPECT_TRUE(table.ProfileApplied) << pid;
        EXPECT_EQ(r.ProfileAppliedPid, pid);
        EXPECT_EQ(win.process(pid)->priorityClass, platform::ABOVE_NORMAL_PRIORITY_CLASS_) << pid;
        EXPECT_EQ(win.process(pid)->ioPriority, 1u) << pid;
    }
    EXPECT_TRUE(engine.switches.empty());
}

}  // namespace
