// Power-setting names from the local machine's registry, and the reduction of the
// indirect texts found there.
#include <gtest/gtest.h>

#include "editor/registry_names.h"
#include "platform/text.h"
#include "sim/sim_windows.h"

namespace {

using editor::TextBuffer;

const std::string kSub = "{54533251-82be-4824-96c1-47b60b740d00}";
const std::string kSet = "{bc5038f7-23e0-4960-96da-33abaf5935ec}";
const platform::Guid sub = platform::guidFromText(kSub), set = platform::guidFromText(kSet);

std::string utf8(const TextBuffer& b) { return platform::utf16ToUtf8(b, editor::kTextUnits); }

TEST(StripIndirectPrefix, KeepsWhatFollowsTheSecondSeparator) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"@A,B,C", u"C"},
        {u"@A;B,C;D", u"C;D"},
        {u"@A,,B", u"B"},
        {u"@A,B, C", u" C"},
        {u"Plain, with commas", u"Plain, with commas"},
        {u"", u""},
        {u"@A,B,", u""},
        // Fewer than two separators: nothing to reduce, the text stays whole.
        {u"@A,B", u"@A,B"},
        {u"@", u"@"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(editor::StripIndirectPrefix(in), out) << platform::utf16ToUtf8(in.c_str(), in.size());
    EXPECT_EQ(editor::StripIndirectPrefix(std::u16string(300, u'x')), std::u16string(255, u'x'));
    // A cut never leaves half of a surrogate pair behind.
    std::u16string pairs = std::u16string(254, u'x') + u"\U0001F600";
    EXPECT_EQ(editor::StripIndirectPrefix(pairs), std::u16string(254, u'x'));
}

class RegistryNames : public ::testing::Test {
protected:
    sim::SimWindows win;
    TextBuffer buffer;
    RegistryNames() { editor::FillBuffer(buffer, u"default"); }
    std::map<std::u16string, sim::SimRegistryValue>& key(const std::string& index = "") {
        return win.machineKey(sim::powerSettingsKey(kSub, kSet, index));
    }
};

TEST_F(RegistryNames, ReadsTheUpperCaseKeyOfSubgroupSettingAndIndex) {
    win.machineKey(sim::powerSettingsKey(kSub))[u"FriendlyName"] = {u"@x.dll,-1,Processor power management"};
    editor::RegistrySubgroupName(win, sub, buffer);
    EXPECT_EQ(utf8(buffer), "Processor power management");
    EXPECT_EQ(win.calls.front(),
              "RegOpenKeyExW \\SYSTEM\\CurrentControlSet\\Control\\Power\\PowerSettings\\"
              "54533251-82BE-4824-96C1-47B60B740D00");

    key("12")[u"FriendlyName"] = {u"Twelve"};
    EXPECT_TRUE(editor::RegistryPossibleValue(win, sub, set, 12, buffer));
    EXPECT_EQ(utf8(buffer), "Twelve");  // no description: no " - "
    EXPECT_EQ(win.callsOf("RegOpenKeyExW").back(),
              "RegOpenKeyExW \\SYSTEM\\CurrentControlSet\\Control\\Power\\PowerSettings\\"
              "54533251-82BE-4824-96C1-47B60B740D00\\BC5038F7-23E0-4960-96DA-33ABAF5935EC\\12");
    EXPECT_EQ(win.openMachineKeys, 0);
}

TEST_F(RegistryNames, WhatTheRegistryLacksLeavesTheCallersText) {
    key()[u"FriendlyName"] = {u"Maximum processor state"};
    editor::RegistrySettingDescription(win, sub, set, buffer);  // key without "Description"
    EXPECT_EQ(utf8(buffer), "default");
    editor::RegistrySettingName(win, sub, set, buffer);
    EXPECT_EQ(utf8(buffer), "Maximum processor state");
    editor::RegistrySubgroupName(win, sub, buffer);  // no such key: the last text stays
    EXPECT_EQ(utf8(buffer), "Maximum processor state");

    key("0")[u"Description"] = {u"no name"};
    editor::FillBuffer(buffer, u"Unknown setting");
    EXPECT_TRUE(editor::RegistryPossibleValue(win, sub, set, 0, buffer));
    EXPECT_EQ(utf8(buffer), "Unknown setting");
    EXPECT_FALSE(editor::RegistryPossibleValue(win, sub, set, 1, buffer));
    EXPECT_EQ(win.openMachineKeys, 0);
}

TEST_F(RegistryNames, APossibleValueIsItsNameADashAndItsDescriptionCutTo255) {
    key("0")[u"FriendlyName"] = {u"@f,-1,Passive"};
    key("0")[u"Description"] = {u"@f;-2;Slow the processor"};
    ASSERT_TRUE(editor::RegistryPossibleValue(win, sub, set, 0, buffer));
    EXPECT_EQ(utf8(buffer), "Passive - Slow the processor");
    key("1")[u"FriendlyName"] = {u""};
    key("1")[u"Description"] = {std::u16string(300, u'd')};
    ASSERT_TRUE(editor::RegistryPossibleValue(win, sub, set, 1, buffer));
    EXPECT_EQ(utf8(buffer), " - " + std::string(252, 'd'));
}

TEST_F(RegistryNames, AValueOfAnotherTypeFailsTheLookUpAndTheKeyIsClosed) {
    key()[u"FriendlyName"] = {u"", false};
    EXPECT_THROW(editor::RegistrySettingName(win, sub, set, buffer), std::runtime_error);
    EXPECT_EQ(win.openMachineKeys, 0);
    EXPECT_EQ(utf8(buffer), "default");
}

}  // namespace
