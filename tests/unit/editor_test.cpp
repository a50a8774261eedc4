// The "Edit hidden settings" page: the subgroup and setting lists, the value panel,
// the editor's buttons, the web search and the create-scheme dialog.
#include <cstdio>
#include <cstring>

#include "editor/scheme_form.h"
#include "form_fixture.h"
#include "platform/text.h"

namespace {

using platform::guidFromText;

const std::string kProcessor = "{54533251-82be-4824-96c1-47b60b740d00}";
const std::string kMinState = "{893dee8e-2bef-41e0-89c6-b55d0929964c}";
const std::string kMaxState = "{bc5038f7-23e0-4960-96da-33abaf5935ec}";
const std::string kCooling = "{94d3a615-a899-4ac5-ae2b-e4d8f634367f}";
const std::string kBoostMode = "{be337238-0d82-4146-a960-4f3749d470c7}";
const std::string kSleep = "{238c9fa8-0aad-41ed-83f4-97be242c8f20}";
const std::string kSaverGroup = "{de830923-a562-41af-a086-e3a2c6bad2da}";
// A driver's subgroup and setting, with names of more than 127 characters.
const std::string kGraphics = "{6a4c3b2e-1d0f-4e8a-9b7c-5d6e7f8a9b0c}";
const std::string kFrequency = "{7b5d4c3f-2e1a-4f9b-8c0d-6e7f8a9b0c1d}";
const std::string kGraphicsName =
    "Graphics power management of the display adapter, with the settings that its driver installs for mains power "
    "and for battery operation";
const std::string kFrequencyName =
    "Maximum frequency of the graphics engine while the display adapter runs from mains power or from the battery, "
    "given in megahertz (MHz)";
const std::string kFrequencyDescription =
    "Specify the highest frequency at which the graphics engine runs; a lower limit saves energy, a higher one gives "
    "more performance to games and video.";

std::string guidN(int n, int kind = 0) {
    char b[40];
    std::snprintf(b, sizeof b, "{%08x-%04x-4000-8000-000000000000}", n, kind);
    return b;
}

// Records the order in which code shows and hides a control.
class VisibilityLog : public ui::Peer {
public:
    VisibilityLog(std::vector<std::string>& log, ui::Control& c) : log_(log), c_(c) {}
    void changed(ui::Prop what) override {
        if (what == ui::Prop::Visible) log_.push_back((c_.visible() ? "show " : "hide ") + c_.caption());
    }

private:
    std::vector<std::string>& log_;
    ui::Control& c_;
};

class EditorTest : public FormTest {
protected:
    EditorTest() {
        win.addWindowsCatalogue();
        // Every standard scheme holds a value for every setting of the catalogue.
        int n = 0;
        for (auto& s : win.schemes)
            for (auto& g : win.catalogue)
                for (auto& t : g.settings) {
                    auto& v = s.settings[{platform::guidToText(g.guid), platform::guidToText(t.guid)}];
                    v.ac = static_cast<std::uint32_t>(n % 2);
                    v.dc = static_cast<std::uint32_t>((n + 1) % 2);
                    v.acDefault = 1;
                    v.dcDefault = 0;
                    ++n;
                }
    }
    editor::PowerSettingsEditor& ed() { return *form->Editor; }
    sim::SettingValue& value(const char* scheme, const std::string& sub, const std::string& set) {
        return win.value(scheme, sub, set);
    }
    // Selects a subgroup and a setting as the user would.
    void pick(int subgroup, int setting) {
        ed().ListBoxCategories->userSelect(subgroup);
        ed().ListBoxSettings->userSelect(setting);
    }
    std::string edited() const { return platform::guidToText(form->SchemeGuids[form->ComboBoxHiddenScheme->itemIndex()]); }
};

// ---- lists ----

TEST_F(EditorTest, StartListsTheFirstSchemesSubgroupsAndLoadsItsFirstSetting) {
    value(sim::kBalanced, kProcessor, kMinState) = {5, 7, 0, 0, true, true};
    auto& f = start();
    auto& e = ed();
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    EXPECT_EQ(e.ListBoxCategories->items(),
              (std::vector<std::string>{"Processor power management", "Sleep", "Display", kGraphicsName,
                                        "Energy saver settings", "General settings"}));
    EXPECT_EQ(e.SubgroupCount, 6);
    EXPECT_EQ(e.SubgroupGuids[1], guidFromText(kSleep));
    EXPECT_EQ(e.SubgroupGuids[3], guidFromText(kGraphics));
    EXPECT_EQ(e.SubgroupGuids[5], f.NO_SUBGROUP_GUID);
    EXPECT_EQ(e.ListBoxSettings->items(),
              (std::vector<std::string>{"Minimum processor state", "Maximum processor state",
                                        "Processor performance increase threshold", "System cooling policy",
                                        "Processor performance boost mode"}));
    EXPECT_EQ(e.ListBoxCategories->itemIndex(), 0);
    EXPECT_EQ(e.ListBoxSettings->itemIndex(), 0);
    EXPECT_EQ(e.LabelDescription->caption(), "Specify the minimum performance state of your processor (in percentage).");
    EXPECT_EQ(e.LabelDescription->hint(), e.LabelDescription->caption());
    EXPECT_EQ(e.SpinEditAC->value(), 5);
    EXPECT_EQ(e.SpinEditDC->value(), 7);
    EXPECT_EQ(e.LabelAC1->caption(), "%");
    EXPECT_FALSE(e.ComboBoxAC->visible());
    EXPECT_TRUE(e.SpinEditAC->visible());
    // The lists only read: nothing was written or activated by the editor.
    for (const auto& c : win.powerChanges()) EXPECT_EQ(c.find(kMinState), std::string::npos) << c;
    EXPECT_TRUE(backend.errors.empty());
}

// The service's names and texts are read into 256 characters, 512 bytes: a name of
// 128 characters or more needs more than 256 bytes.
TEST_F(EditorTest, NamesAndTextsOfMoreThan127CharactersFromTheServiceAreShownWhole) {
    ASSERT_GE(kGraphicsName.size(), 128u);
    ASSERT_GE(kFrequencyName.size(), 128u);
    ASSERT_GE(kFrequencyDescription.size(), 128u);
    start();
    pick(3, 0);
    // The registry names neither the subgroup nor the setting in full.
    EXPECT_EQ(ed().ListBoxCategories->items().at(3), kGraphicsName);
    EXPECT_EQ(ed().ListBoxSettings->items(), std::vector<std::string>{kFrequencyName});
    EXPECT_EQ(ed().LabelDescription->caption(), kFrequencyDescription);
    EXPECT_EQ(ed().LabelAC1->caption(), "MHz");
    EXPECT_EQ(ed().SpinEditAC->maxValue(), 1600);
    for (const char* read : {"PowerReadFriendlyName", "PowerReadDescription", "PowerReadValueUnitsSpecifier",
                             "PowerReadPossibleFriendlyName"})
        for (const auto& c : win.callsOf(read)) EXPECT_EQ(c.substr(c.rfind(' ')), " 512") << c;
}

TEST_F(EditorTest, NamelessSubgroupsAreLeftOutAndTheNextOneTakesTheirSlot) {
    win.catalogue.clear();
    win.addSubgroup(guidN(1), u"");              // delivered empty: no registry look-up
    win.addSubgroup(guidN(2), std::nullopt);     // unreadable: the registry's name
    win.addSubgroup(guidN(3), std::nullopt);     // unreadable and unknown: left out
    win.addSubgroup(guidN(4), u"Four");
    win.machineKey(sim::powerSettingsKey(guidN(1)))[u"FriendlyName"] = {u"Never asked"};
    win.machineKey(sim::powerSettingsKey(guidN(2)))[u"FriendlyName"] = {u"@f,-2,From the registry"};
    auto& f = start();
    EXPECT_EQ(ed().ListBoxCategories->items(),
              (std::vector<std::string>{"From the registry", "Four", "General settings"}));
    EXPECT_EQ(ed().SubgroupGuids[0], guidFromText(guidN(2)));
    EXPECT_EQ(ed().SubgroupGuids[1], guidFromText(guidN(4)));
    EXPECT_EQ(ed().SubgroupGuids[2], f.NO_SUBGROUP_GUID);
    for (const auto& c : win.callsOf("RegOpenKeyExW")) EXPECT_EQ(c.find("00000001-"), std::string::npos) << c;
}

TEST_F(EditorTest, SeventySubgroupsGiveSixtyFourAndGeneralSettingsAndThreeHundredSettings256) {
    win.catalogue.clear();
    for (int i = 1; i <= 70; ++i) {
        auto& g = win.addSubgroup(guidN(i), u"Subgroup " + std::u16string(1, char16_t(u'A' + i % 26)));
        if (i == 1)
            for (int k = 1; k <= 300; ++k) win.addSetting(g, guidN(k, 1), u"Setting");
    }
    auto& f = start();
    EXPECT_EQ(ed().SubgroupCount, 65);
    ASSERT_EQ(ed().ListBoxCategories->itemCount(), 65);
    EXPECT_EQ(ed().ListBoxCategories->items()[64], "General settings");
    EXPECT_EQ(ed().SubgroupGuids[63], guidFromText(guidN(64)));
    EXPECT_EQ(ed().SubgroupGuids[64], f.NO_SUBGROUP_GUID);
    EXPECT_EQ(ed().SettingCount, 256);
    EXPECT_EQ(ed().ListBoxSettings->itemCount(), 256);
    EXPECT_EQ(ed().SettingGuids[255], guidFromText(guidN(256, 1)));
    EXPECT_EQ(win.callsOf("PowerEnumerate {" + std::string(sim::kBalanced).substr(1) + " {00000001").size(), 256u);
}

TEST_F(EditorTest, SettingNamesComeFromTheServiceThenTheRegistryElseUnknown) {
    win.catalogue.clear();
    auto& g = win.addSubgroup(guidN(1), u"Group");
    win.addSetting(g, guidN(1, 1), std::nullopt);
    win.addSetting(g, guidN(2, 1), std::nullopt);
    win.addSetting(g, guidN(3, 1), u"");
    win.addSetting(g, guidN(4, 1), u"Named");
    win.addSetting(g, guidN(5, 1), std::nullopt);  // each setting starts from the default text
    win.machineKey(sim::powerSettingsKey(guidN(1), guidN(2, 1)))[u"FriendlyName"] = {u"@f,-3;From the registry"};
    start();
    EXPECT_EQ(ed().ListBoxSettings->items(), (std::vector<std::string>{"Unknown setting name", "From the registry", "",
                                                                        "Named", "Unknown setting name"}));
    EXPECT_EQ(ed().SettingCount, 5);
}

TEST_F(EditorTest, PositionsCarryOverToTheNextSchemePicked) {
    value(sim::kHighPerformance, kProcessor, kMaxState) = {80, 60, 100, 100, true, true};
    auto& f = start();
    pick(0, 1);
    f.ComboBoxHiddenScheme->userPick(1);
    EXPECT_EQ(ed().ListBoxCategories->itemIndex(), 0);
    EXPECT_EQ(ed().ListBoxSettings->itemIndex(), 1);
    EXPECT_EQ(ed().SpinEditAC->value(), 80);
    EXPECT_EQ(ed().SpinEditDC->value(), 60);
    pick(1, 1);
    f.ComboBoxHiddenScheme->userPick(2);
    EXPECT_EQ(ed().ListBoxCategories->itemIndex(), 1);
    EXPECT_EQ(ed().ListBoxSettings->items()[1], "Allow hybrid sleep");
    EXPECT_EQ(ed().ListBoxSettings->itemIndex(), 1);
}

// Power saver lists the processor, sleep and energy saver subgroups only.
TEST_F(EditorTest, ASchemeWithFewerSubgroupsThanTheSelectedPositionSelectsTheFirst) {
    value(sim::kPowerSaver, kProcessor, kMinState) = {15, 25, 0, 0, true, true};
    auto& f = start();
    pick(4, 0);  // energy saver settings in balanced
    f.ComboBoxHiddenScheme->userPick(2);
    EXPECT_EQ(ed().ListBoxCategories->items(),
              (std::vector<std::string>{"Processor power management", "Sleep", "Energy saver settings",
                                        "General settings"}));
    EXPECT_EQ(ed().SubgroupGuids[2], guidFromText(kSaverGroup));
    EXPECT_EQ(ed().ListBoxCategories->itemIndex(), 0);
    EXPECT_EQ(ed().ListBoxSettings->itemIndex(), 0);
    EXPECT_EQ(ed().ListBoxSettings->items()[0], "Minimum processor state");
    EXPECT_EQ(ed().SpinEditAC->value(), 15);
    EXPECT_EQ(ed().SpinEditDC->value(), 25);
    // A position the shorter list has carries over, whatever subgroup it holds there.
    f.ComboBoxHiddenScheme->userPick(0);
    ed().ListBoxCategories->userSelect(2);  // display in balanced
    f.ComboBoxHiddenScheme->userPick(2);
    EXPECT_EQ(ed().ListBoxCategories->itemIndex(), 2);
    EXPECT_EQ(ed().ListBoxSettings->items(), std::vector<std::string>{"Charge level"});
}

TEST_F(EditorTest, TheCreateItemAndTheCreationGuardLeaveTheListsAsTheyWere) {
    auto& f = start();
    pick(1, 1);
    const auto subgroups = ed().ListBoxCategories->items();
    const auto settings = ed().ListBoxSettings->items();
    win.clearCalls();
    ed().CreatingScheme = true;
    f.ComboBoxHiddenScheme->userPick(2);
    EXPECT_TRUE(win.callsOf("PowerEnumerate").empty());
    EXPECT_FALSE(ed().CreatingScheme);  // the select handler of the same pick clears it
    f.ComboBoxHiddenScheme->userPick(f.SchemeCount);  // the create item; the dialog is cancelled
    EXPECT_EQ(backend.dialogs, (std::vector<std::string>{"FormScheme"}));
    EXPECT_TRUE(win.callsOf("PowerEnumerate").empty());
    EXPECT_EQ(ed().ListBoxCategories->items(), subgroups);
    EXPECT_EQ(ed().ListBoxSettings->items(), settings);
    EXPECT_EQ(ed().ListBoxSettings->itemIndex(), 1);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    // The next pick rebuilds as any pick does.
    f.ComboBoxHiddenScheme->userPick(1);
    EXPECT_FALSE(win.callsOf("PowerEnumerate").empty());
}

TEST_F(EditorTest, ARegistryValueOfAnotherTypeStopsTheRebuildAndIsReported) {
    win.catalogue.clear();
    win.addSubgroup(guidN(1), u"First");
    win.addSubgroup(guidN(2), std::nullopt);
    win.addSubgroup(guidN(3), u"Third");
    win.machineKey(sim::powerSettingsKey(guidN(2)))[u"FriendlyName"] = {u"", false};
    create();
    // The start sequence does not catch it: the toolkit reports it, the items so far stay.
    EXPECT_EQ(backend.errors, (std::vector<std::string>{"Invalid data type for the registry value"}));
    EXPECT_EQ(ed().ListBoxCategories->items(), (std::vector<std::string>{"First"}));
    EXPECT_EQ(win.openMachineKeys, 0);
}

// ---- value panel ----

TEST_F(EditorTest, RangeSettingsFallBackOnEveryFailedRead) {
    value(sim::kBalanced, kProcessor, kMinState) = {50, 40, 0, 0, true, true};
    start();
    auto& min = win.catalogue[0].settings[0];
    min.min = 10;
    struct Case {
        const char* fails;
        std::uint32_t max;
        std::string units;
        std::int64_t maxShown, minShown, ac, dc;
    } cases[] = {
        {"", 100, "%", 100, 10, 50, 40},
        {"PowerReadValueUnitsSpecifier", 100, "Units", 100, 10, 50, 40},
        {"PowerReadValueMax", 100, "%", 1 << 30, 10, 50, 40},
        {"", 0xFFFFFFFFu, "%", 1 << 30, 10, 50, 40},
        {"", (1u << 30) + 1, "%", 1 << 30, 10, 50, 40},
        {"PowerReadValueMin", 100, "%", 100, 0, 50, 40},
        {"PowerReadACValueIndex", 100, "%", 100, 10, 10, 40},
        {"PowerReadDCValueIndex", 100, "%", 100, 10, 50, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fails) + " " + std::to_string(c.max));
        win.failing = {c.fails};
        min.max = c.max;
        ed().ListBoxSettingsSelectionChange();
        EXPECT_EQ(ed().LabelAC1->caption(), c.units);
        EXPECT_EQ(ed().LabelDC1->caption(), c.units);
        EXPECT_EQ(ed().SpinEditAC->maxValue(), c.maxShown);
        EXPECT_EQ(ed().SpinEditDC->maxValue(), c.maxShown);
        EXPECT_EQ(ed().SpinEditAC->minValue(), c.minShown);
        EXPECT_EQ(ed().SpinEditAC->value(), c.ac);
        EXPECT_EQ(ed().SpinEditDC->value(), c.dc);
    }
}

TEST_F(EditorTest, TheDescriptionComesFromTheServiceThenTheRegistryElseADefault) {
    start();
    win.failing = {"PowerReadDescription"};
    win.machineKey(sim::powerSettingsKey(kProcessor, kMinState))[u"Description"] = {u"@f,-9,Registry text"};
    ed().ListBoxSettingsSelectionChange();
    EXPECT_EQ(ed().LabelDescription->caption(), "Registry text");
    win.machineKey(sim::powerSettingsKey(kProcessor, kMinState)).erase(u"Description");
    ed().ListBoxSettingsSelectionChange();
    EXPECT_EQ(ed().LabelDescription->caption(), "No description available about this setting");
    EXPECT_EQ(ed().LabelDescription->hint(), "No description available about this setting");
}

TEST_F(EditorTest, ListedSettingsShowTheirValuesWithDescriptionsAndSelectTheCurrentOnes) {
    value(sim::kBalanced, kProcessor, kCooling) = {1, 0, 0, 0, true, true};
    start();
    pick(0, 3);
    auto& e = ed();
    EXPECT_TRUE(e.ComboBoxAC->visible());
    EXPECT_FALSE(e.SpinEditAC->visible());
    EXPECT_FALSE(e.LabelDC1->visible());
    const std::vector<std::string> items{"Passive - Slow the processor before increasing fan speed",
                                         "Active - Increase fan speed before slowing the processor"};
    EXPECT_EQ(e.ComboBoxAC->items(), items);
    EXPECT_EQ(e.ComboBoxDC->items(), items);
    EXPECT_EQ(e.ComboBoxAC->itemIndex(), 1);
    EXPECT_EQ(e.ComboBoxDC->itemIndex(), 0);
    EXPECT_TRUE(e.EditorReady);

    win.failing = {"PowerReadPossibleDescription", "PowerReadACValueIndex"};
    value(sim::kBalanced, kProcessor, kCooling).dc = 2;  // beyond the last value
    e.ListBoxSettingsSelectionChange();
    EXPECT_EQ(e.ComboBoxAC->items(), (std::vector<std::string>{"Passive", "Active"}));
    EXPECT_EQ(e.ComboBoxAC->itemIndex(), -1);
    EXPECT_EQ(e.ComboBoxDC->itemIndex(), -1);

    // The DC side on its own: a failed read leaves the list without a selection, not at
    // the AC value just read.
    win.failing = {"PowerReadDCValueIndex"};
    e.ListBoxSettingsSelectionChange();
    EXPECT_EQ(e.ComboBoxAC->itemIndex(), 1);
    EXPECT_EQ(e.ComboBoxDC->itemIndex(), -1);

    // The service names the values: the registry's values are not added behind them.
    for (const char* index : {"0", "1", "2"})
        win.machineKey(sim::powerSettingsKey(kProcessor, kCooling, index))[u"FriendlyName"] = {u"From the registry"};
    win.failing.clear();
    e.ListBoxSettingsSelectionChange();
    EXPECT_EQ(e.ComboBoxAC->items(), items);
    EXPECT_EQ(e.ComboBoxDC->items(), items);
}

TEST_F(EditorTest, WithoutAFirstPossibleNameTheRegistryListsTheValues) {
    start();
    pick(0, 4);  // the boost mode: the service names none of its values
    EXPECT_EQ(ed().ComboBoxAC->items(), (std::vector<std::string>{"Disabled", "Enabled", "Aggressive",
                                                                   "Efficient Enabled", "Efficient Aggressive"}));
    win.machineKey(sim::powerSettingsKey(kProcessor, kBoostMode, "1")).erase(u"FriendlyName");
    ed().ListBoxSettingsSelectionChange();
    ASSERT_EQ(ed().ComboBoxDC->itemCount(), 5);
    EXPECT_EQ(ed().ComboBoxDC->items()[1], "Unknown setting");
    win.machineKeys.erase(sim::powerSettingsKey(kProcessor, kBoostMode, "0"));
    ed().EditorReady = false;
    ed().ListBoxSettingsSelectionChange();
    EXPECT_EQ(ed().ComboBoxAC->itemCount(), 0);
    EXPECT_EQ(ed().ComboBoxDC->itemCount(), 0);
    EXPECT_TRUE(ed().EditorReady);
}

TEST_F(EditorTest, APossibleValuesDescriptionGetsOnlyTheRoomLeftBehindItsName) {
    start();
    auto& cooling = win.catalogue[0].settings[3];
    const std::pair<std::size_t, const char*> cases[] = {{250, " 6"}, {252, " 2"}, {253, nullptr}, {255, nullptr}};
    for (auto [length, size] : cases) {
        SCOPED_TRACE(length);
        cooling.possible[0] = {std::u16string(length, u'n'), u""};
        win.clearCalls();
        pick(0, 3);
        ed().ListBoxSettingsSelectionChange();
        const auto reads = win.callsOf("PowerReadPossibleDescription " + kProcessor + " " + kCooling + " 0 ");
        if (size) {
            ASSERT_FALSE(reads.empty());
            EXPECT_TRUE(reads.back().size() > 2 && reads.back().compare(reads.back().size() - std::strlen(size),
                                                                         std::strlen(size), size) == 0)
                << reads.back();
        } else {
            EXPECT_TRUE(reads.empty());
        }
        // The name, as much of it as the buffer holds, and " - " only with a description.
        ASSERT_EQ(ed().ComboBoxAC->itemCount(), 2);
        const std::string& item = ed().ComboBoxAC->items()[0];
        EXPECT_EQ(item.substr(0, 3), "nnn");
        EXPECT_LE(item.size(), 255u + 3u);
    }
}

// ---- writes ----

TEST_F(EditorTest, ARangeSettingLoadedFirstCanBeEditedAndOnlyUserChangesAreWritten) {
    start();
    auto& spin = *ed().SpinEditAC;
    win.clearCalls();
    spin.userFocus();
    spin.userBlur();  // touched, not changed
    spin.userFocus();
    spin.userType(spin.value());
    spin.userPressEnter();
    EXPECT_TRUE(win.powerChanges().empty());
    spin.userType(42);
    spin.userPressEnter();
    spin.userBlur();  // the same edit ends once more: written once
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerWriteACValueIndex " + edited() + " " + kProcessor +
                                                            " " + kMinState + " 42"}));
    ed().SpinEditDC->userFocus();
    ed().SpinEditDC->userType(500);  // beyond the maximum: the box keeps it in range
    ed().SpinEditDC->userBlur();
    ASSERT_EQ(win.powerChanges().size(), 2u);
    EXPECT_EQ(win.powerChanges().back(),
              "PowerWriteDCValueIndex " + edited() + " " + kProcessor + " " + kMinState + " 100");
    EXPECT_TRUE(win.callsOf("PowerSetActiveScheme").empty());
}

TEST_F(EditorTest, NothingIsWrittenWhileTheEditorIsNotReady) {
    start();
    pick(0, 3);
    ed().EditorReady = false;
    ed().ComboBoxAC->userPick(0);
    ed().ComboBoxDC->userPick(1);
    pick(0, 0);
    ed().EditorReady = false;
    ed().SpinEditAC->userType(3);
    ed().SpinEditAC->userPressEnter();
    EXPECT_TRUE(win.powerChanges().empty());
    ed().EditorReady = true;
    ed().SpinEditAC->userPressEnter();  // the change still stands
    EXPECT_EQ(win.powerChanges().size(), 1u);
}

TEST_F(EditorTest, APickInAValueListWritesItsPositionAtOnceWithoutActivating) {
    start();
    pick(0, 3);
    win.clearCalls();
    ed().ComboBoxAC->userPick(0);
    ed().ComboBoxDC->userPick(1);
    EXPECT_EQ(win.powerChanges(),
              (std::vector<std::string>{"PowerWriteACValueIndex " + edited() + " " + kProcessor + " " + kCooling + " 0",
                                        "PowerWriteDCValueIndex " + edited() + " " + kProcessor + " " + kCooling + " 1"}));
}

TEST_F(EditorTest, ResetWritesTheDefaultsItCanReadThenReloads) {
    start();
    const std::string triple = edited() + " " + kProcessor + " " + kMinState;
    struct Case {
        bool acDefault, dcDefault;
        std::vector<std::string> writes;
        std::int64_t ac, dc;  // shown after the reload
    } cases[] = {
        {true, true, {"PowerWriteACValueIndex " + triple + " 5", "PowerWriteDCValueIndex " + triple + " 3"}, 5, 3},
        {false, true, {"PowerWriteDCValueIndex " + triple + " 3"}, 50, 3},
        {true, false, {"PowerWriteACValueIndex " + triple + " 5"}, 5, 40},
        {false, false, {}, 50, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.acDefault) + std::to_string(c.dcDefault));
        value(sim::kBalanced, kProcessor, kMinState) = {50, 40, 5, 3, c.acDefault, c.dcDefault};
        ed().ListBoxSettingsSelectionChange();
        win.clearCalls();
        ed().ButtonResetSetting->userClick();
        EXPECT_EQ(win.powerChanges(), c.writes);
        EXPECT_EQ(win.callsOf("PowerReadDescription").size(), 1u);  // the reload
        EXPECT_EQ(ed().SpinEditAC->value(), c.ac);
        EXPECT_EQ(ed().SpinEditDC->value(), c.dc);
    }
}

// The apply button does not go through the engine's activation: it activates also a
// scheme already recorded as active, and writes nothing else.
TEST_F(EditorTest, ApplyActivatesAlsoTheSchemeAlreadyRecordedAsActive) {
    auto& f = start();
    f.ComboBoxHiddenScheme->userPick(1);
    f.ActiveSchemeGuid = f.SchemeGuids[1];
    win.activeScheme = f.SchemeGuids[1];
    win.clearCalls();
    ed().ButtonApplyScheme->userClick();
    EXPECT_EQ(win.powerChanges(),
              (std::vector<std::string>{"PowerSetActiveScheme " + std::string(sim::kHighPerformance)}));
    EXPECT_EQ(f.ActiveSchemeGuid, f.SchemeGuids[1]);
}

TEST_F(EditorTest, ApplyRecordsTheEditedSchemeEvenWhenTheActivationFails) {
    auto& f = start();
    f.ComboBoxHiddenScheme->userPick(2);
    win.failing = {"PowerSetActiveScheme"};
    win.clearCalls();
    ed().ButtonApplyScheme->userClick();
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerSetActiveScheme " + edited()}));
    EXPECT_EQ(f.ActiveSchemeGuid, f.SchemeGuids[2]);
    win.clearCalls();
    f.ActivateScheme(f.SchemeGuids[2]);  // the engine then takes it as active already
    EXPECT_TRUE(win.powerChanges().empty());
}

TEST_F(EditorTest, TheEditorPageShowsItsButtonsInOrderAndAPageChangeEndsAnEdit) {
    auto& f = start();
    std::vector<std::string> log;
    for (ui::Button* b : {ed().ButtonApplyScheme, ed().ButtonResetSetting, ed().ButtonSearchSetting}) {
        EXPECT_FALSE(b->visible());
        b->setPeer(std::make_unique<VisibilityLog>(log, *b));
    }
    f.PageControl1->userSelectTab(2);
    EXPECT_EQ(log, (std::vector<std::string>{"show &Activate Scheme", "show &Reset setting",
                                             "show &Search for information"}));
    EXPECT_EQ(ed().ButtonApplyScheme->left(), 172);
    EXPECT_EQ(ed().ButtonResetSetting->left(), 348);
    EXPECT_EQ(ed().ButtonSearchSetting->left(), 524);

    ed().SpinEditAC->userFocus();
    ed().SpinEditAC->userType(33);
    std::size_t writesWhenChanged = 0;
    auto change = f.PageControl1->onChange;
    f.PageControl1->onChange = [&] { writesWhenChanged = win.powerChanges().size(); change(); };
    win.clearCalls();
    log.clear();
    f.PageControl1->userSelectTab(1);
    EXPECT_EQ(writesWhenChanged, 1u);
    EXPECT_EQ(f.focusedControl(), f.ButtonClose);
    EXPECT_EQ(log, (std::vector<std::string>{"hide &Search for information", "hide &Reset setting",
                                             "hide &Activate Scheme"}));
    EXPECT_EQ(ed().ButtonSearchSetting->left(), 524);
}

// ---- operations without a scheme, subgroup or setting to address ----

TEST_F(EditorTest, NoOperationRunsWhileTheCreateItemOrNoSettingIsSelected) {
    auto& f = start();
    pick(0, 3);
    f.ComboBoxHiddenScheme->setItemIndex(f.SchemeCount);  // stays there when 31 schemes exist
    win.clearCalls();
    ed().ComboBoxAC->userPick(1);
    ed().ButtonResetSetting->userClick();
    ed().ButtonApplyScheme->userClick();
    ed().ButtonSearchSetting->userClick();
    ed().ListBoxCategories->userSelect(1);
    ed().ListBoxSettingsSelectionChange();
    EXPECT_TRUE(win.calls.empty()) << win.calls.front();

    f.ComboBoxHiddenScheme->setItemIndex(0);
    ed().ListBoxSettings->clear();  // as a subgroup without settings leaves it
    ed().ComboBoxAC->userPick(0);
    ed().ButtonResetSetting->userClick();
    ed().ButtonSearchSetting->userClick();
    EXPECT_TRUE(win.calls.empty()) << win.calls.front();
}

// ---- web search ----

TEST_F(EditorTest, AnEnglishUserSearchesForTheListedNamesPercentEncoded) {
    win.catalogue[0].settings[1].name = u"Max & #1 + 100% caf\u00e9";
    auto& f = start();
    pick(0, 1);
    ed().ButtonSearchSetting->userClick();
    char owner[32];
    std::snprintf(owner, sizeof owner, "%#llx", static_cast<unsigned long long>(f.windowHandle()));
    EXPECT_EQ(win.callsOf("ShellExecute"),
              (std::vector<std::string>{std::string("ShellExecuteW ") + owner +
                                        " null https://www.google.com/search?q=Max%20%26%20%231%20%2B%20100%25%20caf%"
                                        "C3%A9%20Processor%20power%20management [] [] 1"}));
    win.clearCalls();
    ed().ListBoxCategories->userSelect(5);  // "General settings"
    ed().ButtonSearchSetting->userClick();
    EXPECT_EQ(win.callsOf("ShellExecuteW").back().find("search?q=Require%20a%20password%20on%20wakeup%20General%"
                                                       "20settings ["),
              win.callsOf("ShellExecuteW").back().find("search?q="));
}

// The listed names for the ten English locales, compared whole; the registry's names
// for every other locale. The locale is asked at every click.
TEST_F(EditorTest, EveryEnglishLocaleAndNoOtherSearchesForTheListedNames) {
    win.catalogue[0].name = u"Listed group";
    win.catalogue[0].settings[1].name = u"Listed setting";
    start();
    pick(0, 1);
    const std::string listed = "search?q=Listed%20setting%20Listed%20group [";
    const std::string registry = "search?q=Maximum%20processor%20state%20Processor%20power%20management [";
    const std::pair<std::uint32_t, bool> locales[] = {
        {0x0409, true},  {0x0407, false}, {0x0809, true},  {0x0C09, true},  {0x2409, false}, {0x1009, true},
        {0x1409, true},  {0x1809, true},  {0x3009, false}, {0x1C09, true},  {0x2009, true},  {0x2809, true},
        {0x10409, false}, {0x2C09, true}, {0x4009, false}, {0x0009, false}};
    for (auto [lcid, english] : locales) {
        SCOPED_TRACE(lcid);
        win.lcid = lcid;
        win.clearCalls();
        ed().ButtonSearchSetting->userClick();
        ASSERT_EQ(win.callsOf("ShellExecuteW").size(), 1u);
        EXPECT_NE(win.callsOf("ShellExecuteW")[0].find(english ? listed : registry), std::string::npos)
            << win.callsOf("ShellExecuteW")[0];
    }
}

TEST_F(EditorTest, OtherUsersSearchForTheRegistrysEnglishNames) {
    win.catalogue[0].name = u"Prozessorenergieverwaltung";
    win.catalogue[0].settings[1].name = u"Maximaler Leistungszustand des Prozessors";
    win.catalogue[0].settings[0].name = u"Unnamed";
    win.machineKeys.erase(sim::powerSettingsKey(kProcessor, kMinState));
    for (std::uint32_t lcid : {0x0407u, 0x4009u, 0x0c0au}) {
        SCOPED_TRACE(lcid);
        win.lcid = lcid;
        if (!form) start();
        pick(0, 1);
        win.clearCalls();
        ed().ButtonSearchSetting->userClick();
        EXPECT_NE(win.callsOf("ShellExecuteW").at(0).find(
                      " https://www.google.com/search?q=Maximum%20processor%20state%20Processor%20power%20management "),
                  std::string::npos)
            << win.callsOf("ShellExecuteW").at(0);
        // A setting the registry does not name: the query starts with the blank.
        pick(0, 0);
        win.clearCalls();
        ed().ButtonSearchSetting->userClick();
        EXPECT_NE(win.callsOf("ShellExecuteW").at(0).find("search?q=%20Processor%20power%20management "),
                  std::string::npos);
        // A subgroup the registry does not name: the query ends in the blank.
        pick(3, 0);
        win.clearCalls();
        ed().ButtonSearchSetting->userClick();
        EXPECT_NE(win.callsOf("ShellExecuteW").at(0).find("search?q=Graphics%20frequency%20 "), std::string::npos)
            << win.callsOf("ShellExecuteW").at(0);
    }
    EXPECT_EQ(win.openMachineKeys, 0);
}

// ---- create-scheme dialog ----

class CreateSchemeTest : public EditorTest {
protected:
    // The user in the dialog: picks a source, types a name, confirms.
    void answer(int source, const std::string& name, bool confirm = true) {
        backend.whileDialog = [=, this](ui::Form& dialog) {
            auto& d = static_cast<editor::TFormScheme&>(dialog);
            seenItems = d.ComboBox1->items();
            seenIndex = d.ComboBox1->itemIndex();
            seenName = d.EditScheme->text();
            d.ComboBox1->userPick(source);
            d.EditScheme->userType(name);
            (confirm ? d.ButtonOK : d.ButtonCancel)->userClick();
        };
    }
    void create(int count) {
        for (int i = 0; i < count; ++i) form->ComboBoxHiddenScheme->userPick(form->SchemeCount);
    }
    std::vector<std::string> seenItems;
    int seenIndex = -2;
    std::string seenName;
};

TEST_F(CreateSchemeTest, TheCopyOfTheChosenSchemeAppearsLastInEveryList) {
    auto& f = start();
    pick(1, 1);
    const auto settings = ed().ListBoxSettings->items();
    answer(1, "Quiet");
    win.clearCalls();
    create(1);
    EXPECT_EQ(seenItems, (std::vector<std::string>{"Balanced", "High performance", "Power saver"}));
    EXPECT_EQ(seenIndex, 0);
    EXPECT_EQ(seenName, "New scheme name");
    const std::string created = "{5354454c-4d4b-4000-8000-000000000001}";
    EXPECT_EQ(win.calls.front(), "PowerDuplicateScheme " + std::string(sim::kHighPerformance));
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerWriteFriendlyName " + created + " null null 12 Quiet"}));
    EXPECT_EQ(f.SchemeCount, 4);
    EXPECT_EQ(f.SchemeGuids[3], guidFromText(created));
    EXPECT_EQ(f.SchemeGuids[4], f.NO_SUBGROUP_GUID);
    for (ui::ComboBox* list : f.SchemeLists()) EXPECT_EQ(list->items().at(3), "Quiet") << list->name();
    EXPECT_EQ(f.ComboBoxScheme[13]->items().at(4), "No prefered scheme");
    EXPECT_EQ(f.ComboBoxHiddenScheme->items().at(4), "Create new power scheme");
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 3);
    EXPECT_FALSE(ed().CreatingScheme);
    // The lists still show the previous scheme; the operations address the new one.
    EXPECT_EQ(ed().ListBoxSettings->items(), settings);
    EXPECT_TRUE(win.callsOf("PowerEnumerate").empty());
    win.clearCalls();
    ed().ButtonApplyScheme->userClick();
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerSetActiveScheme " + created}));

    answer(3, "");  // an earlier creation is offered as a source too
    create(1);
    EXPECT_EQ(seenItems.back(), "Quiet");
    EXPECT_EQ(win.callsOf("PowerDuplicateScheme").back(), "PowerDuplicateScheme " + created);
    EXPECT_EQ(win.powerChanges().back(),
              "PowerWriteFriendlyName {5354454c-4d4b-4000-8000-000000000002} null null 2 ");
    for (ui::ComboBox* list : f.SchemeLists()) EXPECT_EQ(list->items().at(4), "") << list->name();
}

// The new scheme goes in at position SchemeCount of the profile lines, where "No
// prefered scheme" sits: a line there moves on with its item, a line on a scheme stays,
// and every row still holds the scheme its line shows. The options lists, appended to,
// keep their last scheme; the editor's list goes to the new one.
TEST_F(CreateSchemeTest, EverySelectionKeepsItsItemAndEveryRowTheSchemeItsLineShows) {
    storeSettings();
    win.setRegString(kKey, "class6", "stored");  // line 7: a class stored without a scheme
    auto& f = start();
    ASSERT_EQ(f.SchemeCount, 3);
    const platform::Guid none{}, marker = f.NO_SUBGROUP_GUID, balanced = guidFromText(sim::kBalanced),
                         high = guidFromText(sim::kHighPerformance), saver = guidFromText(sim::kPowerSaver);
    struct LineCase {
        int line;
        int picked;  // -1: the user picks nothing on the line
        int before, after;
        const char* shown;
        const platform::Guid& row;
    };
    const LineCase lines[] = {
        {1, 3, 3, 4, "No prefered scheme", marker},
        {2, 2, 2, 2, "Power saver", saver},  // the last scheme, just ahead of the insert
        {3, 1, 1, 1, "High performance", high},
        {4, 0, 0, 0, "Balanced", balanced},
        {5, -1, -1, -1, "", none},
        {7, -1, 3, 4, "No prefered scheme", none},  // as the stored row is shown
    };
    for (const LineCase& c : lines) {
        if (c.picked < 0) continue;
        const auto& l = f.ProfilePage.line(c.line);
        l.ComboBoxClass->userType("game" + std::to_string(c.line));
        l.ComboBoxScheme->userPick(c.picked);
    }
    ui::ComboBox* const options[] = {f.ComboBoxHigh, f.ComboBoxLow, f.ComboBoxLowest};
    for (ui::ComboBox* list : options) list->userPick(2);
    f.ComboBoxHiddenScheme->userPick(2);
    for (const LineCase& c : lines)
        ASSERT_EQ(f.ProfilePage.line(c.line).ComboBoxScheme->itemIndex(), c.before) << "line " << c.line;

    answer(0, "Quiet");
    create(1);
    ASSERT_EQ(f.SchemeCount, 4);
    const platform::Guid created = f.SchemeGuids[3];
    ASSERT_EQ(f.SchemeGuids[4], marker);
    for (const LineCase& c : lines) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        const ui::ComboBox& list = *f.ProfilePage.line(c.line).ComboBoxScheme;
        EXPECT_EQ(list.itemIndex(), c.after);
        EXPECT_EQ(list.text(), c.shown);
        const platform::Guid& held = f.Profiles.ProgramProfiles[c.line - 1].ProfileScheme;
        EXPECT_EQ(held, c.row);
        if (c.after >= 0) {
            EXPECT_EQ(f.SchemeIndexOf(held), c.after);
        }
    }
    for (ui::ComboBox* list : options) {
        EXPECT_EQ(list->itemIndex(), 2) << list->name();
        EXPECT_EQ(list->text(), "Power saver") << list->name();
    }
    EXPECT_EQ(f.HighSchemeGuid, saver);
    EXPECT_EQ(f.LowSchemeGuid, saver);
    EXPECT_EQ(f.LowestSchemeGuid, saver);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 3);
    EXPECT_EQ(f.ComboBoxHiddenScheme->text(), "Quiet");

    // Picked after the creation: the new scheme gives its GUID, "No prefered scheme"
    // the marker.
    f.ProfilePage.line(5).ComboBoxScheme->userPick(3);
    EXPECT_EQ(f.Profiles.ProgramProfiles[4].ProfileScheme, created);
    f.ProfilePage.line(2).ComboBoxScheme->userPick(4);
    EXPECT_EQ(f.Profiles.ProgramProfiles[1].ProfileScheme, marker);
}

// The lists keep showing the scheme loaded before; writes and the reset go to the
// scheme the editor's list selects: the first after a cancel, the new one after a
// creation.
TEST_F(CreateSchemeTest, AfterACancelOrACreationWritesAndResetGoToTheSelectedScheme) {
    value(sim::kBalanced, kProcessor, kCooling) = {0, 0, 1, 0, true, true};
    value(sim::kHighPerformance, kProcessor, kCooling) = {1, 1, 0, 1, true, true};
    auto& f = start();
    f.ComboBoxHiddenScheme->userPick(2);
    pick(0, 3);  // the cooling policy of power saver
    const std::string cooling = " " + kProcessor + " " + kCooling;
    answer(1, "Kept", false);
    create(1);
    ASSERT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    win.clearCalls();
    ed().ComboBoxAC->userPick(1);
    ed().ButtonResetSetting->userClick();
    const std::string balanced = sim::kBalanced;
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerWriteACValueIndex " + balanced + cooling + " 1",
                                                            "PowerWriteACValueIndex " + balanced + cooling + " 1",
                                                            "PowerWriteDCValueIndex " + balanced + cooling + " 0"}));

    answer(1, "Copy");  // of high performance
    create(1);
    const std::string created = "{5354454c-4d4b-4000-8000-000000000001}";
    win.clearCalls();
    ed().ComboBoxDC->userPick(0);
    ed().ButtonResetSetting->userClick();
    EXPECT_EQ(win.powerChanges(), (std::vector<std::string>{"PowerWriteDCValueIndex " + created + cooling + " 0",
                                                            "PowerWriteACValueIndex " + created + cooling + " 0",
                                                            "PowerWriteDCValueIndex " + created + cooling + " 1"}));
    EXPECT_EQ(win.callsOf("PowerReadACValueIndex"),
              std::vector<std::string>{"PowerReadACValueIndex " + created + cooling});  // the reload
}

TEST_F(CreateSchemeTest, ANameOf256CharactersOrMoreIsCutTo255) {
    auto& f = start();
    answer(0, std::string(300, 'n'));
    create(1);
    EXPECT_EQ(win.powerChanges().back().substr(0, 72),
              "PowerWriteFriendlyName {5354454c-4d4b-4000-8000-000000000001} null null ");
    EXPECT_EQ(win.powerChanges().back().substr(72), "512 " + std::string(255, 'n'));
    EXPECT_EQ(f.SchemeNames[3][254], u'n');
    EXPECT_EQ(f.SchemeNames[3][255], u'\0');
    EXPECT_EQ(f.ComboBoxLow->items()[3], std::string(255, 'n'));
}

TEST_F(CreateSchemeTest, ACancelOrAFailedCopyCreatesNothingAndGoesBackToTheFirstScheme) {
    auto& f = start();
    f.ComboBoxHiddenScheme->userPick(2);
    answer(1, "Kept", false);
    create(1);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    EXPECT_TRUE(win.callsOf("PowerDuplicateScheme").empty());
    win.failing = {"PowerDuplicateScheme"};
    answer(1, "Kept");
    create(1);
    EXPECT_EQ(win.callsOf("PowerDuplicateScheme").size(), 1u);
    EXPECT_EQ(f.SchemeCount, 3);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    EXPECT_EQ(f.ComboBoxLow->itemCount(), 3);
    EXPECT_TRUE(win.powerChanges().empty());
    EXPECT_FALSE(ed().CreatingScheme);
    // Confirmed without a source (a list without schemes): as a cancel.
    win.failing.clear();
    backend.whileDialog = [](ui::Form& dialog) {
        auto& d = static_cast<editor::TFormScheme&>(dialog);
        d.ComboBox1->setItemIndex(-1);
        d.ButtonOK->userClick();
    };
    create(1);
    EXPECT_EQ(win.callsOf("PowerDuplicateScheme").size(), 1u);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
}

TEST_F(CreateSchemeTest, ThirtyOneSchemesAreTheLimit) {
    win.schemes.clear();
    for (int i = 1; i <= 27; ++i) win.addScheme(guidN(i, 9), u"Scheme");
    win.addStandardSchemes();  // 30 schemes
    auto& f = start();
    ASSERT_EQ(f.SchemeCount, 30);
    answer(0, "Last");
    create(1);
    EXPECT_EQ(f.SchemeCount, 31);
    EXPECT_EQ(f.SchemeGuids[31], f.NO_SUBGROUP_GUID);
    backend.dialogs.clear();
    const auto subgroups = ed().ListBoxCategories->items();
    create(1);
    EXPECT_TRUE(backend.dialogs.empty());
    EXPECT_EQ(f.SchemeCount, 31);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 31);  // the create item stays selected
    EXPECT_EQ(ed().ListBoxCategories->items(), subgroups);
}

}  // namespace
