// The settings store: what a start reads, what every hide writes, and where a bad or
// missing value ends the read.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

#include "form_fixture.h"
#include "platform/text.h"

namespace {

using platform::Guid;
using platform::guidFromText;
using Bytes = std::vector<std::uint8_t>;

const Guid kSaver = guidFromText(sim::kPowerSaver);
const Guid kBalanced = guidFromText(sim::kBalanced);
const Guid kHigh = guidFromText(sim::kHighPerformance);

Bytes guidBytes(const Guid& g) {
    Bytes b(16);
    std::memcpy(b.data(), &g, 16);
    return b;
}

Bytes utf16z(const std::string& ascii) {
    Bytes b;
    for (unsigned char c : ascii) b.insert(b.end(), {c, 0});
    b.insert(b.end(), {0, 0});
    return b;
}

class SettingsTest : public FormTest {
protected:
    const sim::RegValue* stored(const std::string& name) const { return win.regValue(kKey, name); }
    // A start, then the window hidden: one save.
    app::TStellmarkForm& startAndHide() {
        auto& f = start();
        f.hide();
        return f;
    }
    // A complete store with row 3 defined.
    void storeWithRow() {
        storeSettings();
        win.setRegString(kKey, "class3", "Game");
        win.setRegGuid(kKey, "scheme3", kHigh);
        for (auto [field, v] : {std::pair<const char*, std::uint32_t>{"Cstart3", 1}, {"Cend3", 2}, {"Ceven3", 1},
                                {"CPUpriority3", 3}, {"IOpriority3", 1}})
            win.setRegDword(kKey, field, v);
    }
};

TEST_F(SettingsTest, WithoutAKeyTheDefaultsHoldAndTheFirstHideCreatesIt) {
    auto& f = startAndHide();
    EXPECT_EQ(f.LowCpu, 20);
    EXPECT_EQ(f.HighCpu, 75);
    EXPECT_EQ(f.ChecksTime, 1000);
    EXPECT_EQ(f.MinTime, 4000);
    EXPECT_EQ(f.LowSchemeGuid, kSaver);
    EXPECT_EQ(f.LowestSchemeGuid, kSaver);
    EXPECT_EQ(f.HighSchemeGuid, kBalanced);
    EXPECT_FALSE(f.PauseAction->checked());
    EXPECT_TRUE(f.ActionTemp->checked());
    EXPECT_TRUE(f.CheckBoxIdle->checked());
    EXPECT_EQ(f.TrackBarTemp->position(), 90);
    EXPECT_EQ(f.TrackBarIdle->position(), 5);
    EXPECT_FALSE(f.CheckBoxDC->checked() || f.ActionBoost->checked() || f.CheckBoxBoostProc->checked() ||
                 f.CheckBoxBoostP->checked() || f.CheckBoxCore0->checked() || f.ActionSaver->checked());
    EXPECT_FALSE(f.Profiles.AnyProfileDefined());
    EXPECT_FALSE(f.MinimizeNoticeShown);

    const auto& values = win.registry.at(kKey);
    EXPECT_EQ(values.size(), 18u);
    EXPECT_EQ(win.regDword(kKey, "lowcpu"), 20u);
    EXPECT_EQ(win.regDword(kKey, "checkstime"), 1000u);
    EXPECT_EQ(win.regDword(kKey, "checktemp"), 1u);
    EXPECT_EQ(win.regDword(kKey, "paused"), 0u);
    EXPECT_EQ(win.regDword(kKey, "templimit"), 90u);
    EXPECT_EQ(stored("lowscheme")->type, platform::REG_BINARY_);
    EXPECT_EQ(stored("lowscheme")->data, (Bytes{0x08, 0x13, 0x84, 0xA1, 0x41, 0x35, 0xAB, 0x4F, 0xBC, 0x81, 0xF7, 0x15,
                                                0x56, 0xF2, 0x0B, 0x4A}));
    EXPECT_EQ(win.openKeys(), 0u);
    EXPECT_EQ(win.openHandles(), 0u);
}

// What one run saves the next reads, field by field, with every field holding a value
// no other field holds, so that a value written or read under another field's name
// shows. The switches can hold only on and off: the patterns give every two of them
// a different sequence of states over the round trips (the first two are each other's
// complement, alternating across the switches). Each value is also checked in the key
// by its name, so that a write and a read swapped alike do not cancel out.
TEST_F(SettingsTest, WhatOneRunSavesTheNextReads) {
    using Form = app::TStellmarkForm;
    struct Switch {
        const char* value;
        ui::Action* Form::*action;
        ui::CheckBox* Form::*box;
    };
    // In the order of the save.
    const Switch switches[] = {{"paused", &Form::PauseAction, nullptr},       {"checktemp", &Form::ActionTemp, nullptr},
                               {"checkidle", nullptr, &Form::CheckBoxIdle},   {"checkDC", nullptr, &Form::CheckBoxDC},
                               {"BoostForeground", &Form::ActionBoost, nullptr},
                               {"BoostProcesses", nullptr, &Form::CheckBoxBoostProc},
                               {"BoostMax", nullptr, &Form::CheckBoxBoostP},
                               {"SingleCoreLoad", nullptr, &Form::CheckBoxCore0},
                               {"EnergySaver", &Form::ActionSaver, nullptr}};
    auto isOn = [](Form& f, const Switch& s) { return s.action ? (f.*s.action)->checked() : (f.*s.box)->checked(); };
    auto turn = [](Form& f, const Switch& s, bool on) {
        if (s.action) (f.*s.action)->setChecked(on);
        else (f.*s.box)->setChecked(on);
    };
    const char* patterns[] = {"101010101", "010101010", "001100110", "000011110", "000000001"};
    // Two schemes of the rows besides the three standard ones, so that no row scheme
    // equals a scheme choice.
    const Guid rowSchemes[] = {guidFromText("{5ca1ab1e-0001-4000-8000-000000000001}"),
                               guidFromText("{5ca1ab1e-0002-4000-8000-000000000002}")};
    win.addScheme(platform::guidToText(rowSchemes[0]), u"Games");
    win.addScheme(platform::guidToText(rowSchemes[1]), u"Quiet");
    const Guid standard[] = {kSaver, kBalanced, kHigh};
    // Start core, end core, CPU and I/O priority: four different numbers in a row, and
    // each field different from the same field of the next row.
    const std::int32_t rowNumbers[][4] = {{1, 3, 0, 2}, {2, 0, 3, 1}, {3, 1, 2, 0}, {0, 2, 1, 3}, {4, 1, 3, 0}};
    const int rows[] = {1, 12};  // "class1" is a prefix of "class12"

    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE("pattern " + std::to_string(k));
        win.registry.clear();
        form.reset();
        auto& f = start();
        // Six numbers that differ from each other and from the last pattern's.
        f.TrackBarLow->userMoveTo(21 + k);
        f.TrackBarHigh->userMoveTo(63 + k);
        f.TrackBarTime->userMoveTo(8 + k);
        f.TrackBarChecks->userMoveTo(2 + k);
        f.TrackBarTemp->userMoveTo(71 + k);
        f.TrackBarIdle->userMoveTo(11 + k);
        for (int i = 0; i < 9; ++i) turn(f, switches[i], patterns[k][i] == '1');
        f.LowSchemeGuid = standard[k % 3];
        f.HighSchemeGuid = standard[(k + 1) % 3];
        f.LowestSchemeGuid = standard[(k + 2) % 3];
        for (int r = 0; r < 2; ++r) {
            const std::int32_t* n = rowNumbers[(k + r) % 5];
            auto& row = f.Profiles.ProgramProfiles[rows[r]];
            f.Profiles.setClassName(rows[r], "Program" + std::to_string(rows[r]) + "-" + std::to_string(k));
            row.ProfileScheme = rowSchemes[(k + r) % 2];
            row.ProfileCoreStart = n[0];
            row.ProfileCoreEnd = n[1];
            row.ProfileEvenCores = (k + r) % 2 == 0;
            row.ProfileCpuPriority = n[2];
            row.ProfileIoPriority = n[3];
            row.ProfileAppliedPid = 44;
        }
        f.hide();

        // In the key, by name.
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(win.regDword(kKey, switches[i].value), patterns[k][i] == '1' ? 1u : 0u) << switches[i].value;
        const std::pair<const char*, std::int32_t> numbers[] = {{"lowcpu", 21 + k},          {"highcpu", 63 + k},
                                                                 {"mintime", (8 + k) * 1000}, {"checkstime", (2 + k) * 1000},
                                                                 {"templimit", 71 + k},       {"idletime", 11 + k}};
        for (auto [value, n] : numbers) EXPECT_EQ(win.regDword(kKey, value), static_cast<std::uint32_t>(n)) << value;
        EXPECT_EQ(stored("lowscheme")->data, guidBytes(standard[k % 3]));
        EXPECT_EQ(stored("highscheme")->data, guidBytes(standard[(k + 1) % 3]));
        EXPECT_EQ(stored("lowestscheme")->data, guidBytes(standard[(k + 2) % 3]));
        for (int r = 0; r < 2; ++r) {
            const std::string d = std::to_string(rows[r]);
            const std::int32_t* n = rowNumbers[(k + r) % 5];
            EXPECT_EQ(stored("class" + d)->data, utf16z("Program" + d + "-" + std::to_string(k)));
            EXPECT_EQ(stored("scheme" + d)->data, guidBytes(rowSchemes[(k + r) % 2]));
            EXPECT_EQ(win.regDword(kKey, "Cstart" + d), static_cast<std::uint32_t>(n[0])) << d;
            EXPECT_EQ(win.regDword(kKey, "Cend" + d), static_cast<std::uint32_t>(n[1])) << d;
            EXPECT_EQ(win.regDword(kKey, "Ceven" + d), (k + r) % 2 == 0 ? 1u : 0u) << d;
            EXPECT_EQ(win.regDword(kKey, "CPUpriority" + d), static_cast<std::uint32_t>(n[2])) << d;
            EXPECT_EQ(win.regDword(kKey, "IOpriority" + d), static_cast<std::uint32_t>(n[3])) << d;
        }

        // Read back by the next run.
        form.reset();
        auto& g = create();
        for (int i = 0; i < 9; ++i) EXPECT_EQ(isOn(g, switches[i]), patterns[k][i] == '1') << switches[i].value;
        EXPECT_EQ(g.Active, patterns[k][0] == '0');  // the pause was applied by the start sequence
        EXPECT_EQ(g.LowCpu, 21 + k);
        EXPECT_EQ(g.HighCpu, 63 + k);
        EXPECT_EQ(g.MinTime, (8 + k) * 1000);
        EXPECT_EQ(g.ChecksTime, (2 + k) * 1000);
        EXPECT_EQ(g.TrackBarTemp->position(), 71 + k);
        EXPECT_EQ(g.TrackBarIdle->position(), 11 + k);
        EXPECT_EQ(g.LowSchemeGuid, standard[k % 3]);
        EXPECT_EQ(g.HighSchemeGuid, standard[(k + 1) % 3]);
        EXPECT_EQ(g.LowestSchemeGuid, standard[(k + 2) % 3]);
        for (int r = 0; r < 2; ++r) {
            const std::int32_t* n = rowNumbers[(k + r) % 5];
            const auto& back = g.Profiles.ProgramProfiles[rows[r]];
            EXPECT_EQ(g.Profiles.className(rows[r]), "Program" + std::to_string(rows[r]) + "-" + std::to_string(k));
            EXPECT_EQ(back.ProfileScheme, rowSchemes[(k + r) % 2]);
            EXPECT_EQ(back.ProfileCoreStart, n[0]);
            EXPECT_EQ(back.ProfileCoreEnd, n[1]);
            EXPECT_EQ(back.ProfileEvenCores, (k + r) % 2 == 0);
            EXPECT_EQ(back.ProfileCpuPriority, n[2]);
            EXPECT_EQ(back.ProfileIoPriority, n[3]);
            EXPECT_EQ(back.ProfileAppliedPid, 0u);  // not stored
        }
        for (int i = 0; i < 14; ++i) {
            if (i != rows[0] && i != rows[1]) {
                EXPECT_FALSE(g.Profiles.ProgramProfiles[i].defined()) << i;
            }
        }
    }
}

TEST_F(SettingsTest, EveryHideSavesAndTheFirstCloseWritesTheNoticeFlag) {
    auto& f = start();
    win.clearCalls();
    f.CloseActionExecute();
    EXPECT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(stored("MShown0")->data, utf16z("yes"));
    EXPECT_EQ(win.callsOf("RegSetValueExA lowcpu").size(), 2u);  // the hide, then after the notice
    win.clearCalls();
    f.ShowActionExecute();
    f.CloseActionExecute();
    EXPECT_EQ(win.callsOf("RegSetValueExA lowcpu").size(), 1u);
    EXPECT_EQ(win.callsOf("RegSetValueExA MShown0").size(), 0u);
    EXPECT_EQ(win.openKeys(), 0u);

    // The next start goes to the notification area at once, and saves.
    form.reset();
    win.clearCalls();
    start();
    EXPECT_FALSE(form->visible());
    EXPECT_EQ(win.callsOf("RegSetValueExA lowcpu").size(), 1u);
}

TEST_F(SettingsTest, ANoticeFlagThatCannotBeWrittenShowsTheNoticeAgainNextTime) {
    auto& f = start();
    f.SettingsDirty = false;
    win.failing.insert("RegCreateKeyExA");
    f.CloseActionExecute();
    EXPECT_TRUE(f.MinimizeNoticeShown);
    EXPECT_FALSE(f.SettingsDirty);
    EXPECT_EQ(stored("MShown0"), nullptr);
    EXPECT_TRUE(backend.errors.empty());
    win.failing.clear();
    form.reset();
    start();
    EXPECT_TRUE(form->visible());
}

TEST_F(SettingsTest, ReadFallbacks) {
    struct Case {
        const char* what;
        std::function<void(sim::SimWindows&)> change;
        std::function<void(app::TStellmarkForm&)> check;
    };
    auto setThree = [](sim::SimWindows& w) {
        // Values that differ from the defaults, to see which ones a fall-back resets.
        w.setRegDword(kKey, "lowcpu", 30);
        w.setRegDword(kKey, "highcpu", 60);
        w.setRegDword(kKey, "checktemp", 0);
        w.setRegDword(kKey, "templimit", 70);
        w.setRegDword(kKey, "BoostForeground", 1);
        w.setRegString(kKey, "MShown0", "yes");
        w.setRegGuid(kKey, "highscheme", kHigh);
    };
    auto fellBack = [](app::TStellmarkForm& f) {
        EXPECT_EQ(f.LowCpu, 20);
        EXPECT_EQ(f.HighCpu, 75);
        EXPECT_EQ(f.HighSchemeGuid, kBalanced);
        EXPECT_FALSE(f.MinimizeNoticeShown);
    };
    const Case cases[] = {
        {"a complete store reads", [](sim::SimWindows&) {},
         [](app::TStellmarkForm& f) {
             EXPECT_EQ(f.LowCpu, 30);
             EXPECT_EQ(f.HighSchemeGuid, kHigh);
             EXPECT_TRUE(f.MinimizeNoticeShown);
             EXPECT_TRUE(f.ActionBoost->checked());
             EXPECT_EQ(f.Profiles.className(3), "Game");
             EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCpuPriority, 3);
         }},
        {"without idletime", [](sim::SimWindows& w) { w.registry[kKey].erase("idletime"); },
         [&](app::TStellmarkForm& f) {
             fellBack(f);
             EXPECT_FALSE(f.ActionTemp->checked());  // read before it: kept
             EXPECT_EQ(f.TrackBarTemp->position(), 70);
             EXPECT_FALSE(f.ActionBoost->checked());  // after it: never read
             EXPECT_FALSE(f.Profiles.AnyProfileDefined());
         }},
        {"checkDC as text", [](sim::SimWindows& w) { w.setRegString(kKey, "checkDC", "1"); },
         [&](app::TStellmarkForm& f) {
             fellBack(f);
             EXPECT_FALSE(f.ActionTemp->checked());
             EXPECT_EQ(f.TrackBarTemp->position(), 90);
         }},
        {"a required value as text", [](sim::SimWindows& w) { w.setRegString(kKey, "paused", "0"); }, fellBack},
        {"a number of eight bytes", [](sim::SimWindows& w) { w.setRegValue(kKey, "lowcpu", platform::REG_DWORD_, Bytes(8, 0)); },
         fellBack},
        {"MShown0 as a number", [](sim::SimWindows& w) { w.setRegDword(kKey, "MShown0", 1); },
         [&](app::TStellmarkForm& f) {
             fellBack(f);
             EXPECT_TRUE(f.ActionTemp->checked());  // nothing was read
         }},
        {"MShown0 other than yes", [](sim::SimWindows& w) { w.setRegString(kKey, "MShown0", "Yes"); },
         [](app::TStellmarkForm& f) {
             EXPECT_FALSE(f.MinimizeNoticeShown);
             EXPECT_EQ(f.LowCpu, 30);
         }},
        {"MShown0 of no length and any type", [](sim::SimWindows& w) { w.setRegValue(kKey, "MShown0", platform::REG_DWORD_, {}); },
         [](app::TStellmarkForm& f) { EXPECT_EQ(f.LowCpu, 30); }},
        {"a short scheme replaces its first bytes",
         [](sim::SimWindows& w) { w.setRegValue(kKey, "scheme3", platform::REG_BINARY_, Bytes(8, 0xAB)); },
         [](app::TStellmarkForm& f) {
             Bytes expected(16, 0);
             std::fill_n(expected.begin(), 8, 0xAB);
             EXPECT_EQ(guidBytes(f.Profiles.ProgramProfiles[3].ProfileScheme), expected);
             EXPECT_EQ(f.LowCpu, 30);
         }},
        {"a scheme of 20 bytes", [](sim::SimWindows& w) { w.setRegValue(kKey, "scheme3", platform::REG_BINARY_, Bytes(20, 1)); },
         [&](app::TStellmarkForm& f) {
             fellBack(f);
             EXPECT_EQ(f.Profiles.className(3), "Game");  // classes come before schemes
             EXPECT_TRUE(f.Profiles.ProgramProfiles[3].ProfileScheme.isZero());
             EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCpuPriority, 2);
         }},
        {"a class of 300 characters keeps 256",
         [](sim::SimWindows& w) { w.setRegString(kKey, "class2", std::string(300, 'c')); },
         [](app::TStellmarkForm& f) {
             const char* field = f.Profiles.ProgramProfiles[2].ProfileClass;
             EXPECT_EQ(std::string(field, 256), std::string(256, 'c'));  // no terminating zero
             EXPECT_EQ(f.Profiles.className(2), std::string(256, 'c'));
         }},
        {"a class as a multi-string", [](sim::SimWindows& w) { w.setRegValue(kKey, "class1", platform::REG_MULTI_SZ_, utf16z("A")); },
         fellBack},
        {"a class as an expandable string",
         [](sim::SimWindows& w) { w.setRegValue(kKey, "class1", platform::REG_EXPAND_SZ_, utf16z("%X%")); },
         [](app::TStellmarkForm& f) { EXPECT_EQ(f.Profiles.className(1), "%X%"); }},
        {"a class of no length", [](sim::SimWindows& w) { w.setRegValue(kKey, "class3", platform::REG_BINARY_, {}); },
         [](app::TStellmarkForm& f) {
             EXPECT_FALSE(f.Profiles.ProgramProfiles[3].defined());
             EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCpuPriority, 3);
         }},
        {"stored numbers are kept unchecked",
         [](sim::SimWindows& w) {
             w.setRegDword(kKey, "Cstart3", 40);
             w.setRegDword(kKey, "CPUpriority3", 0xFFFFFFF7);
         },
         [](app::TStellmarkForm& f) {
             EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCoreStart, 40);
             EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCpuPriority, -9);
         }},
        {"no lowest scheme: power saver whatever the low one",
         [](sim::SimWindows& w) {
             w.registry[kKey].erase("lowestscheme");
             w.setRegGuid(kKey, "lowscheme", kHigh);
         },
         [](app::TStellmarkForm& f) {
             EXPECT_EQ(f.LowSchemeGuid, kHigh);
             EXPECT_EQ(f.LowestSchemeGuid, kSaver);
         }},
        {"slider values are clamped",
         [](sim::SimWindows& w) {
             w.setRegDword(kKey, "templimit", 120);
             w.setRegDword(kKey, "idletime", 0);
         },
         [](app::TStellmarkForm& f) {
             EXPECT_EQ(f.TrackBarTemp->position(), 100);
             EXPECT_EQ(f.TrackBarIdle->position(), 1);
         }},
        {"no access to the key", [](sim::SimWindows& w) { w.failing.insert("RegOpenKeyExA"); }, fellBack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        win.registry.clear();
        win.failing.clear();
        storeWithRow();
        win.setRegGuid(kKey, "lowestscheme", kSaver);
        setThree(win);
        c.change(win);
        form.reset();
        c.check(create());
        EXPECT_EQ(win.openKeys(), 0u);
        EXPECT_TRUE(backend.errors.empty());
    }
}

TEST_F(SettingsTest, AnEmptyRowLosesItsClassAndSchemeOnly) {
    storeWithRow();
    auto& f = start();
    EXPECT_TRUE(f.Profiles.ProgramProfiles[3].defined());
    f.Profiles.setClassName(3, "");
    f.Profiles.setClassName(5, "New");  // its scheme was never chosen
    f.hide();
    EXPECT_EQ(stored("class3"), nullptr);
    EXPECT_EQ(stored("scheme3"), nullptr);
    for (const char* kept : {"Cstart3", "Cend3", "Ceven3", "CPUpriority3", "IOpriority3"})
        EXPECT_NE(stored(kept), nullptr) << kept;
    EXPECT_EQ(stored("scheme5")->data, Bytes(16, 0));
    EXPECT_EQ(win.regDword(kKey, "Cstart5"), 4u);  // "All Cores" on this four-core machine
    // A failed delete does not stop the save.
    f.Profiles.setClassName(5, "");
    win.failing.insert("RegDeleteValueA class5");
    f.FormHide();
    EXPECT_NE(stored("class5"), nullptr);
    EXPECT_EQ(stored("scheme5"), nullptr);
}

TEST_F(SettingsTest, AFailedWriteStopsTheSaveAndKeepsWhatWasWritten) {
    auto& f = start();
    f.Profiles.setClassName(0, "App");
    win.failing.insert("RegSetValueExA highscheme");
    f.hide();
    for (const char* written : {"lowcpu", "highcpu", "checkstime", "mintime", "lowestscheme", "lowscheme"})
        EXPECT_NE(stored(written), nullptr) << written;
    for (const char* unwritten : {"highscheme", "paused", "EnergySaver", "class0"})
        EXPECT_EQ(stored(unwritten), nullptr) << unwritten;
    EXPECT_TRUE(backend.errors.empty());

    win.failing = {"RegSetValueExA Cend0"};
    f.FormHide();
    EXPECT_NE(stored("Cstart0"), nullptr);
    EXPECT_EQ(stored("Cend0"), nullptr);
    EXPECT_EQ(stored("IOpriority0"), nullptr);

    win.registry.clear();
    win.failing = {"RegCreateKeyExA"};
    f.FormHide();
    EXPECT_TRUE(win.registry.empty());
    EXPECT_TRUE(backend.errors.empty());
    EXPECT_EQ(win.openKeys(), 0u);
}

TEST_F(SettingsTest, ASaveAfterAStoppedReadLeavesTheUnreadRowsAsStored) {
    storeWithRow();
    win.setRegString(kKey, "class7", "Editor");
    win.setRegDword(kKey, "Cstart7", 2);
    win.setRegString(kKey, "Cstart5", "bad");  // the read stops at row 5's start core
    const auto before = win.registry.at(kKey);
    auto& f = start();
    EXPECT_EQ(f.Profiles.className(3), "Game");  // read
    EXPECT_EQ(f.Profiles.ProgramProfiles[3].ProfileCoreStart, 1);
    EXPECT_EQ(f.Profiles.ProgramProfiles[7].ProfileCoreStart, 4);  // not read
    f.hide();
    for (const auto& [name, value] : before) {
        const bool option = name.find_first_of("0123456789") == std::string::npos || name == "MShown0";
        if (!option) {
            EXPECT_EQ(stored(name)->data, value.data) << name;
        }
    }
    // A row edited in this run is saved again.
    f.Profiles.setClassName(7, "");
    f.Profiles.MarkEdited(7);
    f.FormHide();
    EXPECT_EQ(stored("class7"), nullptr);
    EXPECT_EQ(stored("class3")->data, utf16z("Game"));
}

// Every value of the store with random types, sizes and contents: the read never
// fails outward, never reads outside a field, and ends exactly as the stored order
// and the typed-read rules say.
TEST_F(SettingsTest, FuzzedStoresReadAsTheRulesSay) {
    enum Kind { Text, Switch, Number, Scheme };
    struct Value {
        std::string name;
        Kind kind;
        bool required;
    };
    std::vector<Value> order = {{"MShown0", Text, true},      {"paused", Switch, true},   {"checktemp", Switch, true},
                                {"checkidle", Switch, true},  {"lowcpu", Number, true},   {"highcpu", Number, true},
                                {"checkstime", Number, true}, {"mintime", Number, true},  {"lowscheme", Scheme, true},
                                {"highscheme", Scheme, true}, {"lowestscheme", Scheme, false},
                                {"checkDC", Switch, false},   {"templimit", Number, true}, {"idletime", Number, true},
                                {"BoostForeground", Switch, false}, {"BoostProcesses", Switch, false},
                                {"BoostMax", Switch, false},  {"SingleCoreLoad", Switch, false},
                                {"EnergySaver", Switch, false}};
    const std::pair<const char*, Kind> rowFields[] = {{"class", Text},    {"scheme", Scheme},     {"Cstart", Number},
                                                       {"Cend", Number},   {"Ceven", Switch},      {"CPUpriority", Number},
                                                       {"IOpriority", Number}};
    for (const auto& [field, kind] : rowFields)
        for (int row = 0; row < 14; ++row) order.push_back({field + std::to_string(row), kind, false});

    auto& f = create();
    win.recordCalls = false;
    std::mt19937 random(20261210);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::uint32_t types[] = {platform::REG_NONE_, platform::REG_SZ_, platform::REG_EXPAND_SZ_, platform::REG_BINARY_,
                                   platform::REG_DWORD_, platform::REG_MULTI_SZ_, 11 /* REG_QWORD */};
    const std::uint32_t sizes[] = {0, 1, 2, 3, 4, 5, 8, 15, 16, 17, 20, 255, 256, 257, 300, 600};

    for (int round = 0; round < 3000; ++round) {
        // The store: mostly well-formed values, so that the reads stop at every place,
        // and about one in ten reads everything.
        auto& values = win.registry[kKey];
        values.clear();
        for (const auto& v : order) {
            const int roll = pick(200);
            if (roll < (v.required ? 4 : 40)) continue;  // absent
            sim::RegValue r;
            if (roll < 196) {
                r.type = v.kind == Text     ? (pick(2) ? platform::REG_SZ_ : platform::REG_EXPAND_SZ_)
                         : v.kind == Scheme ? platform::REG_BINARY_
                                            : platform::REG_DWORD_;
                r.data.resize(v.kind == Scheme ? 16 : v.kind == Text ? 2 * static_cast<std::size_t>(pick(140)) : 4);
            } else {
                r.type = types[pick(7)];
                r.data.resize(sizes[pick(16)]);
            }
            for (auto& b : r.data) b = static_cast<std::uint8_t>(pick(4) ? 'A' + pick(26) : pick(256));
            values[v.name] = r;
        }

        // Everything to a state the read visibly changes.
        f.MinimizeNoticeShown = true;
        f.LowCpu = f.HighCpu = f.ChecksTime = f.MinTime = -7;
        f.LowSchemeGuid = f.HighSchemeGuid = f.LowestSchemeGuid = kHigh;
        for (ui::Action* a : {f.PauseAction, f.ActionTemp, f.ActionBoost, f.ActionSaver}) a->setChecked(true);
        for (ui::CheckBox* c : {f.CheckBoxIdle, f.CheckBoxDC, f.CheckBoxBoostProc, f.CheckBoxBoostP, f.CheckBoxCore0})
            c->setChecked(true);
        f.TrackBarTemp->setPosition(61);
        f.TrackBarIdle->setPosition(2);
        f.Profiles.SetDefaultProfileRows();
        for (int row = 0; row < 14; ++row) {
            f.Profiles.ProgramProfiles[row].ProfileScheme = kHigh;
            f.Profiles.NotRead[row] = false;
        }

        // What the rules say: read in order, stop at the first failure.
        struct Expected {
            bool notice = true, pause = true, temp = true, idle = true, dc = true, boost = true, boostProc = true,
                 boostP = true, core0 = true, saver = true;
            std::int32_t low = -7, high = -7, checks = -7, min = -7, tempLimit = 61, idleTime = 2;
            Guid lowScheme = kHigh, highScheme = kHigh, lowestScheme = kHigh;
            std::string cls[14];
            Guid scheme[14];
            std::int32_t start[14], end[14], cpu[14], io[14];
            bool even[14]{};
        } e;
        for (int row = 0; row < 14; ++row) {
            e.scheme[row] = kHigh;
            e.start[row] = e.end[row] = f.Primitives.CpuCount;
            e.cpu[row] = e.io[row] = 2;
        }
        bool failed = false;
        int rowsRead = 0;
        for (const auto& v : order) {
            auto it = values.find(v.name);
            if (it == values.end()) {
                if (v.name == "MShown0") e.notice = false;  // a missing text reads as empty
                if (v.name == "lowestscheme") e.lowestScheme = kSaver;
                if (v.required && v.kind != Text) {
                    failed = true;
                    break;
                }
                if (v.name.rfind("IOpriority", 0) == 0) ++rowsRead;
                continue;
            }
            const sim::RegValue& r = it->second;
            const std::size_t size = r.data.size();
            bool ok = false;
            std::int32_t number = 0;
            std::string text;
            Guid scheme;
            switch (v.kind) {
                case Text:
                    ok = size == 0 || r.type == platform::REG_SZ_ || r.type == platform::REG_EXPAND_SZ_;
                    if (ok && size) {
                        std::u16string units(size / 2, u'\0');
                        std::memcpy(units.data(), r.data.data(), units.size() * 2);
                        if (!units.empty() && units.back() == 0) units.pop_back();
                        text = platform::utf16ToUtf8(units);
                    }
                    break;
                case Switch:
                case Number:
                    ok = r.type == platform::REG_DWORD_ && size <= 4;
                    if (ok && size) std::memcpy(&number, r.data.data(), size);
                    break;
                case Scheme:
                    ok = (r.type == platform::REG_BINARY_ || r.type == platform::REG_NONE_) && size <= 16;
                    break;
            }
            if (!ok) {
                failed = true;
                break;
            }
            const std::string& n = v.name;
            auto guid = [&](Guid g) {
                if (size) std::memcpy(static_cast<void*>(&g), r.data.data(), size);
                return g;
            };
            const int row = std::isdigit(static_cast<unsigned char>(n.back()))
                                ? std::stoi(n.substr(n.find_first_of("0123456789")))
                                : -1;
            if (n == "MShown0") e.notice = text == "yes";
            else if (n == "paused") e.pause = number != 0;
            else if (n == "checktemp") e.temp = number != 0;
            else if (n == "checkidle") e.idle = number != 0;
            else if (n == "lowcpu") e.low = number;
            else if (n == "highcpu") e.high = number;
            else if (n == "checkstime") e.checks = number;
            else if (n == "mintime") e.min = number;
            else if (n == "lowscheme") e.lowScheme = guid(e.lowScheme);
            else if (n == "highscheme") e.highScheme = guid(e.highScheme);
            else if (n == "lowestscheme") e.lowestScheme = guid(e.lowestScheme);
            else if (n == "checkDC") e.dc = number != 0;
            else if (n == "templimit") e.tempLimit = std::clamp(number, 60, 100);
            else if (n == "idletime") e.idleTime = std::clamp(number, 1, 30);
            else if (n == "BoostForeground") e.boost = number != 0;
            else if (n == "BoostProcesses") e.boostProc = number != 0;
            else if (n == "BoostMax") e.boostP = number != 0;
            else if (n == "SingleCoreLoad") e.core0 = number != 0;
            else if (n == "EnergySaver") e.saver = number != 0;
            else if (n.rfind("class", 0) == 0) {
                const std::string field = text.substr(0, 256);  // and read up to its first zero
                e.cls[row] = field.substr(0, field.find('\0'));
            }
            else if (n.rfind("scheme", 0) == 0) e.scheme[row] = guid(e.scheme[row]);
            else if (n.rfind("Cstart", 0) == 0) e.start[row] = number;
            else if (n.rfind("Cend", 0) == 0) e.end[row] = number;
            else if (n.rfind("Ceven", 0) == 0) e.even[row] = number != 0;
            else if (n.rfind("CPUpriority", 0) == 0) e.cpu[row] = number;
            else if (n.rfind("IOpriority", 0) == 0) {
                e.io[row] = number;
                ++rowsRead;
            }
        }
        if (failed) {
            e.notice = e.pause = false;
            e.low = 20, e.high = 75, e.checks = 1000, e.min = 4000;
            e.lowScheme = e.lowestScheme = kSaver;
            e.highScheme = kBalanced;
        }

        f.Settings->ReadSettings();

        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(f.MinimizeNoticeShown, e.notice);
        ASSERT_EQ(f.PauseAction->checked(), e.pause);
        ASSERT_EQ(f.ActionTemp->checked(), e.temp);
        ASSERT_EQ(f.CheckBoxIdle->checked(), e.idle);
        ASSERT_EQ(f.CheckBoxDC->checked(), e.dc);
        ASSERT_EQ(f.ActionBoost->checked(), e.boost);
        ASSERT_EQ(f.CheckBoxBoostProc->checked(), e.boostProc);
        ASSERT_EQ(f.CheckBoxBoostP->checked(), e.boostP);
        ASSERT_EQ(f.CheckBoxCore0->checked(), e.core0);
        ASSERT_EQ(f.ActionSaver->checked(), e.saver);
        ASSERT_EQ(f.LowCpu, e.low);
        ASSERT_EQ(f.HighCpu, e.high);
        ASSERT_EQ(f.ChecksTime, e.checks);
        ASSERT_EQ(f.MinTime, e.min);
        ASSERT_EQ(f.TrackBarTemp->position(), e.tempLimit);
        ASSERT_EQ(f.TrackBarIdle->position(), e.idleTime);
        ASSERT_EQ(f.LowSchemeGuid, e.lowScheme);
        ASSERT_EQ(f.HighSchemeGuid, e.highScheme);
        ASSERT_EQ(f.LowestSchemeGuid, e.lowestScheme);
        for (int row = 0; row < 14; ++row) {
            const auto& p = f.Profiles.ProgramProfiles[row];
            ASSERT_EQ(f.Profiles.className(row), e.cls[row]) << row;
            ASSERT_EQ(p.ProfileScheme, e.scheme[row]) << row;
            ASSERT_EQ(p.ProfileCoreStart, e.start[row]) << row;
            ASSERT_EQ(p.ProfileCoreEnd, e.end[row]) << row;
            ASSERT_EQ(p.ProfileEvenCores, e.even[row]) << row;
            ASSERT_EQ(p.ProfileCpuPriority, e.cpu[row]) << row;
            ASSERT_EQ(p.ProfileIoPriority, e.io[row]) << row;
            ASSERT_EQ(f.Profiles.NotRead[row], failed && row >= rowsRead) << row;
        }
        ASSERT_EQ(win.openKeys(), 0u);
    }
    EXPECT_TRUE(backend.errors.empty());
}

}  // namespace
