// The scheme list: enumeration order, limits, fall-backs and the start selection.
#include <cstdio>

#include "form_fixture.h"

namespace {

std::string guidN(int n) {
    char b[40];
    std::snprintf(b, sizeof b, "{%08x-0000-4000-8000-000000000000}", n);
    return b;
}

std::vector<std::string> itemsOf(const ui::ComboBox* c) { return c->items(); }

class SchemeListTest : public FormTest {
protected:
    SchemeListTest() { win.schemes.clear(); }
    void named(int count, int first = 1) {
        for (int i = first; i < first + count; ++i) {
            std::string n = "Scheme " + std::to_string(i);
            win.addScheme(guidN(i), std::u16string(n.begin(), n.end()));
        }
    }
};

TEST_F(SchemeListTest, TwentyEightNamedSchemesPlusTheThreeFallBacksGiveThirtyOne) {
    named(30);  // more than 28: cut in enumeration order
    auto& f = start();
    ASSERT_EQ(f.SchemeCount, 31);
    EXPECT_EQ(f.ComboBoxLow->items()[27], "Scheme 28");
    EXPECT_EQ(std::vector<std::string>(f.ComboBoxLow->items().begin() + 28, f.ComboBoxLow->items().end()),
              (std::vector<std::string>{"", "", ""}));  // the fall-backs are unknown to this machine: empty names
    EXPECT_EQ(f.SchemeGuids[28], f.GUID_MAX_POWER_SAVINGS);
    EXPECT_EQ(f.SchemeGuids[29], f.GUID_TYPICAL_POWER_SAVINGS);
    EXPECT_EQ(f.SchemeGuids[30], f.GUID_MIN_POWER_SAVINGS);
    EXPECT_EQ(f.SchemeGuids[31], f.NO_SUBGROUP_GUID);
    EXPECT_EQ(f.ComboBoxScheme[13]->itemCount(), 33);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemCount(), 32);
    EXPECT_EQ(win.callsOf("PowerEnumerate null null 16 ").size(), 28u);
}

// Room for one GUID per enumeration, and for 256 UTF-16 units per name, on every call.
TEST_F(SchemeListTest, ThePowerServiceIsHandedTheSizeOfEachBuffer) {
    named(3);
    start();
    const auto sizeOf = [](const std::string& call) { return call.substr(call.rfind(' ') + 1); };
    ASSERT_EQ(win.callsOf("PowerEnumerate null null 16 ").size(), 4u);  // the schemes
    for (const auto& c : win.callsOf("PowerEnumerate")) EXPECT_EQ(sizeOf(c), "16") << c;
    ASSERT_EQ(win.callsOf("PowerReadFriendlyName").size(), 6u);  // the fall-backs' names too
    for (const auto& c : win.callsOf("PowerReadFriendlyName")) EXPECT_EQ(sizeOf(c), "512") << c;
}

TEST_F(SchemeListTest, NamelessSchemesAreLeftOutAndDoNotUseUpTheLimit) {
    named(3, 1);
    win.addScheme(guidN(100), u"");
    win.addScheme(guidN(101), u"Unreadable").nameReadable = false;
    named(26, 4);
    auto& f = start();
    EXPECT_EQ(f.SchemeCount, 31);
    EXPECT_EQ(f.SchemeGuids[3], platform::guidFromText(guidN(4)));
    EXPECT_EQ(f.ComboBoxHigh->items()[27], "Scheme 28");
    EXPECT_EQ(win.callsOf("PowerEnumerate null null 16 ").size(), 30u);  // the index kept counting
}

TEST_F(SchemeListTest, FiveNamedWithOnlyBalancedAddPowerSaverThenHighPerformance) {
    named(2, 1);
    win.addScheme(sim::kBalanced, u"Balanced");
    named(2, 3);
    // Known to the service by GUID, but not enumerated.
    win.addScheme(sim::kHighPerformance, u"High performance").enumerated = false;
    win.addScheme(sim::kPowerSaver, u"Power saver").enumerated = false;
    auto& f = start();
    EXPECT_EQ(itemsOf(f.ComboBoxLow), (std::vector<std::string>{"Scheme 1", "Scheme 2", "Balanced", "Scheme 3",
                                                                "Scheme 4", "Power saver", "High performance"}));
    EXPECT_EQ(f.ComboBoxScheme[0]->itemCount(), 9);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemCount(), 8);
    EXPECT_EQ(f.ComboBoxLow->itemIndex(), 5);
    EXPECT_EQ(f.ComboBoxHigh->itemIndex(), 2);
}

TEST_F(SchemeListTest, ListsHoldTheSchemesInOneOrderThenTheirFixedItems) {
    win.addStandardSchemes();  // balanced, high performance, power saver
    auto& f = start();
    const std::vector<std::string> schemes{"Balanced", "High performance", "Power saver"};
    for (ui::ComboBox* list : {f.ComboBoxLowest, f.ComboBoxLow, f.ComboBoxHigh}) EXPECT_EQ(itemsOf(list), schemes);
    auto profile = schemes;
    profile.insert(profile.end(), {"No prefered scheme", "Remove this entry"});
    for (ui::ComboBox* list : f.ComboBoxScheme) EXPECT_EQ(itemsOf(list), profile);
    auto editor = schemes;
    editor.push_back("Create new power scheme");
    EXPECT_EQ(itemsOf(f.ComboBoxHiddenScheme), editor);
    EXPECT_EQ(f.ComboBoxHiddenScheme->itemIndex(), 0);
    // Defaults selected: power saver low and lowest, balanced high.
    EXPECT_EQ(f.ComboBoxLow->itemIndex(), 2);
    EXPECT_EQ(f.ComboBoxLowest->itemIndex(), 2);
    EXPECT_EQ(f.ComboBoxHigh->itemIndex(), 0);
    EXPECT_TRUE(win.powerChanges().empty());  // the start activates nothing
}

TEST_F(SchemeListTest, SchemeIndexOfGivesSchemeCountWhenAbsent) {
    win.addStandardSchemes();
    auto& f = start();
    EXPECT_EQ(f.SchemeIndexOf(f.GUID_MIN_POWER_SAVINGS), 1);
    EXPECT_EQ(f.SchemeIndexOf(platform::Guid{}), 3);
    EXPECT_EQ(f.SchemeIndexOf(f.NO_SUBGROUP_GUID), 3);
    EXPECT_EQ(f.SchemeIndexOf(platform::guidFromText(guidN(7))), 3);
}

TEST_F(SchemeListTest, AStandardSchemeWithAnEmptyNameIsAbsentAndItsChoiceFallsBack) {
    win.addScheme(sim::kPowerSaver, u"");
    win.addScheme(sim::kBalanced, u"Balanced");
    win.addScheme(sim::kHighPerformance, u"High performance");
    auto& f = start();
    EXPECT_EQ(f.SchemeCount, 2);
    EXPECT_EQ(f.SchemeIndexOf(f.GUID_MAX_POWER_SAVINGS), 2);
    // Low and lowest default to power saver, which is not listed: no selection.
    EXPECT_EQ(f.ComboBoxLow->itemIndex(), -1);
    EXPECT_EQ(f.ComboBoxLowest->itemIndex(), -1);
    EXPECT_EQ(f.LowSchemeGuid, f.GUID_MAX_POWER_SAVINGS);
    EXPECT_EQ(f.ComboBoxHigh->itemIndex(), 0);
}

TEST_F(SchemeListTest, AStoredChoiceThatNoLongerExistsFallsBackToItsDefault) {
    win.addStandardSchemes();
    named(1, 9);
    auto& f = start();
    f.LowSchemeGuid = platform::guidFromText(guidN(55));      // gone
    f.LowestSchemeGuid = platform::guidFromText(guidN(9));    // still there
    f.HighSchemeGuid = f.GUID_MIN_POWER_SAVINGS;
    for (auto* c : {f.ComboBoxLow, f.ComboBoxLowest, f.ComboBoxHigh}) c->setItemIndex(-1);
    win.clearCalls();
    f.SelectStartSchemes();
    EXPECT_EQ(f.ComboBoxLow->itemIndex(), 2);
    EXPECT_EQ(f.LowSchemeGuid, f.GUID_MAX_POWER_SAVINGS);
    EXPECT_EQ(f.ComboBoxLowest->itemIndex(), 3);
    EXPECT_EQ(f.ComboBoxHigh->itemIndex(), 1);
    EXPECT_TRUE(win.calls.empty());
}

TEST_F(SchemeListTest, PickingASchemeSetsTheChoiceWithoutActivating) {
    win.addStandardSchemes();
    auto& f = start();
    f.SettingsDirty = false;
    f.ComboBoxHigh->userPick(1);
    f.ComboBoxLow->userPick(0);
    f.ComboBoxLowest->userPick(1);
    EXPECT_EQ(f.HighSchemeGuid, f.GUID_MIN_POWER_SAVINGS);
    EXPECT_EQ(f.LowSchemeGuid, f.GUID_TYPICAL_POWER_SAVINGS);
    EXPECT_EQ(f.LowestSchemeGuid, f.GUID_MIN_POWER_SAVINGS);
    EXPECT_TRUE(f.SettingsDirty);
    EXPECT_TRUE(win.powerChanges().empty());
}

}  // namespace
