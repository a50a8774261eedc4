// The catalogue of power schemes that every scheme list of the window shows.
#include <cstring>

#include "app/stellmark_form.h"
#include "platform/text.h"

namespace app {

using platform::Guid;
using platform::guidFromText;

void TStellmarkForm::InitStandardSchemes() {
    GUID_MAX_POWER_SAVINGS = guidFromText("{a1841308-3541-4fab-bc81-f71556f20b4a}");
    GUID_TYPICAL_POWER_SAVINGS = guidFromText("{381b4222-f694-41f0-9685-ff5bb260df2e}");
    GUID_MIN_POWER_SAVINGS = guidFromText("{8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c}");
    UltimatePerformanceGuid = guidFromText("{e9a42b02-d5df-448d-aa00-03f14749eb61}");
    LowestSchemeGuid = GUID_MAX_POWER_SAVINGS;
    LowSchemeGuid = GUID_MAX_POWER_SAVINGS;
    HighSchemeGuid = GUID_TYPICAL_POWER_SAVINGS;
}

void TStellmarkForm::InitSettingGuids() {
    GUID_ENERGY_SAVER_SUBGROUP = guidFromText("{de830923-a562-41af-a086-e3a2c6bad2da}");
    GUID_ENERGY_SAVER_BATTERY_THRESHOLD = guidFromText("{e69653ca-cf7f-4f05-aa73-cb833fa90ad4}");
    GUID_PROCESSOR_SETTINGS_SUBGROUP = guidFromText("{54533251-82be-4824-96c1-47b60b740d00}");
    GUID_PROCESSOR_THROTTLE_MAXIMUM = guidFromText("{bc5038f7-23e0-4960-96da-33abaf5935ec}");
    NO_SUBGROUP_GUID = guidFromText("{fea3413e-7e05-4911-9a71-700331f1c294}");
}

std::vector<ui::ComboBox*> TStellmarkForm::SchemeLists() const {
    std::vector<ui::ComboBox*> lists{ComboBoxLowest, ComboBoxLow, ComboBoxHigh};
    lists.insert(lists.end(), std::begin(ComboBoxScheme), std::end(ComboBoxScheme));
    lists.push_back(ComboBoxHiddenScheme);
    return lists;
}

void TStellmarkForm::FillSchemeLists() {
    const std::vector<ui::ComboBox*> lists = SchemeLists();
    auto readName = [this](const Guid& scheme) {
        char16_t* name = SchemeNames[SchemeCount];
        std::memset(name, 0, sizeof SchemeNames[0]);
        std::uint32_t size = sizeof SchemeNames[0];
        os_.power.PowerReadFriendlyName(&scheme, nullptr, nullptr, reinterpret_cast<std::uint8_t*>(name), &size);
        // Whatever the service wrote, the slot ends with a terminator.
        name[kNameUnits - 1] = 0;
    };
    auto append = [&] {
        const std::string text = platform::utf16ToUtf8(SchemeNames[SchemeCount], kNameUnits);
        for (ui::ComboBox* list : lists) list->addItem(text);
        ++SchemeCount;
    };

    SchemeCount = 0;
    std::uint32_t index = 0;
    bool sawSaver = false, sawBalanced = false, sawHigh = false;
    while (SchemeCount < kMaxEnumeratedSchemes) {
        Guid& slot = SchemeGuids[SchemeCount];
        std::uint32_t size = sizeof(Guid);
        if (os_.power.PowerEnumerate(nullptr, nullptr, platform::ACCESS_SCHEME, index,
                                     reinterpret_cast<std::uint8_t*>(&slot), &size) != 0)
            break;
        if (slot == GUID_MAX_POWER_SAVINGS) sawSaver = true;
        if (slot == GUID_TYPICAL_POWER_SAVINGS) sawBalanced = true;
        if (slot == GUID_MIN_POWER_SAVINGS) sawHigh = true;
        readName(slot);
        // A nameless scheme is left out; the next one takes its slot.
        if (SchemeNames[SchemeCount][0] != 0) append();
        ++index;
    }
    const std::pair<bool, const Guid*> fallbacks[] = {
        {sawSaver, &GUID_MAX_POWER_SAVINGS}, {sawBalanced, &GUID_TYPICAL_POWER_SAVINGS}, {sawHigh, &GUID_MIN_POWER_SAVINGS}};
    for (auto [seen, guid] : fallbacks) {
        if (seen) continue;
        SchemeGuids[SchemeCount] = *guid;
        readName(*guid);
        append();  // also when the name is empty
    }
    SchemeGuids[SchemeCount] = NO_SUBGROUP_GUID;

    for (ui::ComboBox* list : ComboBoxScheme) list->addItem("No prefered scheme");
    for (ui::ComboBox* list : ComboBoxScheme) list->addItem("Remove this entry");
    ComboBoxHiddenScheme->addItem("Create new power scheme");
}

std::int32_t TStellmarkForm::SchemeIndexOf(const Guid& g) const {
    for (std::int32_t k = 0; k < SchemeCount; ++k)
        if (SchemeGuids[k] == g) return k;
    return SchemeCount;
}

void TStellmarkForm::SelectStartSchemes() {
    for (std::int32_t k = 0; k < SchemeCount; ++k) {
        if (SchemeGuids[k] == LowestSchemeGuid) ComboBoxLowest->setItemIndex(k);
        if (SchemeGuids[k] == LowSchemeGuid) ComboBoxLow->setItemIndex(k);
        if (SchemeGuids[k] == HighSchemeGuid) ComboBoxHigh->setItemIndex(k);
    }
    // A stored choice that is not in the list falls back to its default.
    const std::pair<ui::ComboBox*, std::pair<Guid*, const Guid*>> choices[] = {
        {ComboBoxLowest, {&LowestSchemeGuid, &GUID_MAX_POWER_SAVINGS}},
        {ComboBoxLow, {&LowSchemeGuid, &GUID_MAX_POWER_SAVINGS}},
        {ComboBoxHigh, {&HighSchemeGuid, &GUID_TYPICAL_POWER_SAVINGS}}};
    for (auto [list, choice] : choices) {
        if (list->itemIndex() >= 0) continue;
        *choice.first = *choice.second;
        std::int32_t k = SchemeIndexOf(*choice.second);
        if (k < SchemeCount) list->setItemIndex(k);
    }
}

}  // namespace app
