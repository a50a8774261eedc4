#include "editor/power_settings_editor.h"

#include <algorithm>

#include "editor/scheme_form.h"
#include "platform/text.h"

namespace editor {

using platform::Guid;

namespace {

constexpr std::uint32_t kBufferBytes = kTextUnits * 2;
constexpr std::uint32_t kRangeCap = 1u << 30;  // the largest maximum a spin box gets

std::uint8_t* bytes(TextBuffer& buffer) { return reinterpret_cast<std::uint8_t*>(buffer); }

std::string toolkitText(const TextBuffer& buffer) { return platform::utf16ToUtf8(buffer, kTextUnits); }

bool inRange(int position, std::int32_t count) { return position >= 0 && position < count; }

}  // namespace

PowerSettingsEditor::PowerSettingsEditor(platform::Platform& os, ui::Form& form, SchemeList schemes)
    : os_(os), form_(form), schemes_(std::move(schemes)) {
    PageControl1 = form.need<ui::PageControl>("PageControl1");
    ComboBoxHiddenScheme = form.need<ui::ComboBox>("ComboBoxHiddenScheme");
    ComboBoxAC = form.need<ui::ComboBox>("ComboBoxAC");
    ComboBoxDC = form.need<ui::ComboBox>("ComboBoxDC");
    ListBoxCategories = form.need<ui::ListBox>("ListBoxCategories");
    ListBoxSettings = form.need<ui::ListBox>("ListBoxSettings");
    LabelDescription = form.need<ui::Label>("LabelDescription");
    LabelAC1 = form.need<ui::Label>("LabelAC1");
    LabelDC1 = form.need<ui::Label>("LabelDC1");
    SpinEditAC = form.need<ui::SpinEdit>("SpinEditAC");
    SpinEditDC = form.need<ui::SpinEdit>("SpinEditDC");
    ButtonApplyScheme = form.need<ui::Button>("ButtonApplyScheme");
    ButtonResetSetting = form.need<ui::Button>("ButtonResetSetting");
    ButtonSearchSetting = form.need<ui::Button>("ButtonSearchSetting");
    ButtonClose = form.need<ui::Button>("ButtonClose");

    ComboBoxHiddenScheme->onChange = [this] { ComboBoxHiddenSchemeChange(); };
    ComboBoxHiddenScheme->onSelect = [this] { ComboBoxHiddenSchemeEditingDone(); };
    ListBoxCategories->onSelectionChange = [this](bool) { ListBoxCategoriesSelectionChange(); };
    ListBoxSettings->onSelectionChange = [this](bool) { ListBoxSettingsSelectionChange(); };
    SpinEditAC->onEditingDone = [this] { SpinEditACEditingDone(); };
    SpinEditDC->onEditingDone = [this] { SpinEditDCEditingDone(); };
    ComboBoxAC->onChange = [this] { ComboBoxACChange(); };
    ComboBoxDC->onChange = [this] { ComboBoxDCChange(); };
    ButtonResetSetting->onClick = [this] { ButtonResetSettingClick(); };
    ButtonApplyScheme->onClick = [this] { ButtonApplySchemeClick(); };
    ButtonSearchSetting->onClick = [this] { ButtonSearchSettingClick(); };
}

bool PowerSettingsEditor::EditedScheme(Guid& scheme) const {
    const int position = ComboBoxHiddenScheme->itemIndex();
    if (!inRange(position, schemes_.SchemeCount)) return false;
    scheme = schemes_.SchemeGuids[position];
    return true;
}

bool PowerSettingsEditor::AddressedSetting(Guid& scheme, Guid& subgroup, Guid& setting) const {
    const int sub = ListBoxCategories->itemIndex(), set = ListBoxSettings->itemIndex();
    if (!EditedScheme(scheme) || !inRange(sub, SubgroupCount) || !inRange(set, SettingCount)) return false;
    subgroup = SubgroupGuids[sub];
    setting = SettingGuids[set];
    return true;
}

// ---- subgroup and setting lists ----

void PowerSettingsEditor::ComboBoxHiddenSchemeChange() {
    Guid scheme;
    if (CreatingScheme || !EditedScheme(scheme)) return;
    const int prev = std::max(ListBoxCategories->itemIndex(), 0);
    ListBoxCategories->clear();
    SubgroupCount = 0;
    TextBuffer name;
    for (std::uint32_t idx = 0; SubgroupCount < kMaxSubgroups; ++idx) {
        Guid& slot = SubgroupGuids[SubgroupCount];
        std::uint32_t size = sizeof(Guid);
        if (os_.power.PowerEnumerate(&scheme, nullptr, platform::ACCESS_SUBGROUP, idx,
                                     reinterpret_cast<std::uint8_t*>(&slot), &size) != 0)
            break;
        FillBuffer(name, u"");
        size = kBufferBytes;
        if (os_.power.PowerReadFriendlyName(&scheme, &slot, nullptr, bytes(name), &size) != 0)
            RegistrySubgroupName(os_.machineRegistry, slot, name);
        name[kTextUnits - 1] = 0;
        // A nameless subgroup is left out: the next one takes its slot.
        if (name[0] == 0) continue;
        ListBoxCategories->addItem(toolkitText(name));
        ++SubgroupCount;
    }
    SubgroupGuids[SubgroupCount] = schemes_.NO_SUBGROUP_GUID;
    ListBoxCategories->addItem("General settings");
    ++SubgroupCount;
    ListBoxCategories->setItemIndex(prev < SubgroupCount ? prev : 0);
}

void PowerSettingsEditor::ListBoxCategoriesSelectionChange() {
    Guid scheme;
    const int sub = ListBoxCategories->itemIndex();
    if (!inRange(sub, SubgroupCount) || !EditedScheme(scheme)) return;
    const Guid subgroup = SubgroupGuids[sub];
    const int prev = std::max(ListBoxSettings->itemIndex(), 0);
    ListBoxSettings->clear();
    SettingCount = 0;
    TextBuffer name;
    while (SettingCount < kMaxSettings) {
        Guid& slot = SettingGuids[SettingCount];
        std::uint32_t size = sizeof(Guid);
        if (os_.power.PowerEnumerate(&scheme, &subgroup, platform::ACCESS_INDIVIDUAL_SETTING,
                                     static_cast<std::uint32_t>(SettingCount), reinterpret_cast<std::uint8_t*>(&slot),
                                     &size) != 0)
            break;
        FillBuffer(name, u"Unknown setting name");
        size = kBufferBytes;
        if (os_.power.PowerReadFriendlyName(&scheme, &subgroup, &slot, bytes(name), &size) != 0)
            RegistrySettingName(os_.machineRegistry, subgroup, slot, name);
        ListBoxSettings->addItem(toolkitText(name));
        ++SettingCount;
    }
    if (SettingCount > 0) ListBoxSettings->setItemIndex(prev < SettingCount ? prev : 0);
}

// ---- value panel ----

void PowerSettingsEditor::ListBoxSettingsSelectionChange() {
    Guid scheme, subgroup, setting;
    if (!AddressedSetting(scheme, subgroup, setting)) return;
    TextBuffer buffer;
    FillBuffer(buffer, u"No description available about this setting");
    std::uint32_t size = kBufferBytes;
    if (os_.power.PowerReadDescription(&scheme, &subgroup, &setting, bytes(buffer), &size) != 0)
        RegistrySettingDescription(os_.machineRegistry, subgroup, setting, buffer);
    LabelDescription->setCaption(toolkitText(buffer));
    LabelDescription->setHint(toolkitText(buffer));
    if (os_.power.PowerIsSettingRangeDefined(&subgroup, &setting))
        LoadRangeSetting(scheme, subgroup, setting);
    else
        LoadListedSetting(scheme, subgroup, setting);
}

void PowerSettingsEditor::LoadRangeSetting(const Guid& scheme, const Guid& subgroup, const Guid& setting) {
    SpinEditAC->setVisible(true);
    SpinEditDC->setVisible(true);
    LabelAC1->setVisible(true);
    LabelDC1->setVisible(true);
    ComboBoxAC->setVisible(false);
    ComboBoxDC->setVisible(false);

    TextBuffer buffer{};
    std::uint32_t size = kBufferBytes;
    if (os_.power.PowerReadValueUnitsSpecifier(&subgroup, &setting, bytes(buffer), &size) == 0) {
        LabelAC1->setCaption(toolkitText(buffer));
        LabelDC1->setCaption(toolkitText(buffer));
    } else {
        LabelAC1->setCaption("Units");
        LabelDC1->setCaption("Units");
    }
    std::uint32_t value = 0;
    if (os_.power.PowerReadValueMax(&subgroup, &setting, value) != 0 || value > kRangeCap) value = kRangeCap;
    SpinEditAC->setMaxValue(value);
    SpinEditDC->setMaxValue(value);
    if (os_.power.PowerReadValueMin(&subgroup, &setting, value) != 0) value = 0;
    SpinEditAC->setMinValue(value);
    SpinEditDC->setMinValue(value);
    if (os_.power.PowerReadACValueIndex(scheme, subgroup, setting, value) != 0)
        value = static_cast<std::uint32_t>(SpinEditAC->minValue());
    SpinEditAC->setValue(value);
    if (os_.power.PowerReadDCValueIndex(scheme, subgroup, setting, value) != 0)
        value = static_cast<std::uint32_t>(SpinEditDC->minValue());
    SpinEditDC->setValue(value);
}

void PowerSettingsEditor::LoadListedSetting(const Guid& scheme, const Guid& subgroup, const Guid& setting) {
    SpinEditAC->setVisible(false);
    SpinEditDC->setVisible(false);
    LabelAC1->setVisible(false);
    LabelDC1->setVisible(false);
    ComboBoxAC->setVisible(true);
    ComboBoxDC->setVisible(true);
    ComboBoxAC->clear();
    ComboBoxDC->clear();

    auto add = [this](const std::string& item) {
        ComboBoxAC->addItem(item);
        ComboBoxDC->addItem(item);
    };
    TextBuffer buffer;
    for (std::uint32_t index = 0;; ++index) {
        FillBuffer(buffer, u"Unknown setting");
        std::uint32_t size = kBufferBytes;
        if (os_.power.PowerReadPossibleFriendlyName(&subgroup, &setting, index, bytes(buffer), &size) != 0) {
            if (index > 0) break;
            // Without a name for the first value the registry lists them all.
            for (std::uint32_t i = 0;; ++i) {
                FillBuffer(buffer, u"Unknown setting");
                if (!RegistryPossibleValue(os_.machineRegistry, subgroup, setting, i, buffer)) break;
                add(toolkitText(buffer));
            }
            break;
        }
        buffer[kTextUnits - 1] = 0;
        const std::size_t n = BufferText(buffer).size();
        std::string item = toolkitText(buffer);
        // The description goes behind the name and " - ", into what is left of the buffer.
        const std::size_t at = n + 3;
        if (at < kTextUnits) {
            size = static_cast<std::uint32_t>((kTextUnits - at) * 2);
            char16_t* place = buffer + at;
            if (os_.power.PowerReadPossibleDescription(&subgroup, &setting, index,
                                                       reinterpret_cast<std::uint8_t*>(place), &size) == 0) {
                buffer[kTextUnits - 1] = 0;
                item += " - " + platform::utf16ToUtf8(place, kTextUnits - at);
            }
        }
        add(item);
    }

    EditorReady = false;
    std::uint32_t value = 0;
    if (os_.power.PowerReadACValueIndex(scheme, subgroup, setting, value) == 0 &&
        value < static_cast<std::uint32_t>(ComboBoxAC->itemCount()))
        ComboBoxAC->setItemIndex(static_cast<int>(value));
    if (os_.power.PowerReadDCValueIndex(scheme, subgroup, setting, value) == 0 &&
        value < static_cast<std::uint32_t>(ComboBoxDC->itemCount()))
        ComboBoxDC->setItemIndex(static_cast<int>(value));
    EditorReady = true;
}

// ---- writes ----

void PowerSettingsEditor::WriteValue(Side side, std::uint32_t value) {
    Guid scheme, subgroup, setting;
    if (!EditorReady || !AddressedSetting(scheme, subgroup, setting)) return;
    if (side == Side::AC)
        os_.power.PowerWriteACValueIndex(scheme, subgroup, setting, value);
    else
        os_.power.PowerWriteDCValueIndex(scheme, subgroup, setting, value);
}

void PowerSettingsEditor::WriteSpinValue(Side side, ui::SpinEdit& box) {
    // Only a value the user changed: the end of an edit also comes with every
    // focus loss, for values the user never touched.
    if (!box.modified() || !EditorReady) return;
    WriteValue(side, static_cast<std::uint32_t>(box.value()));
    box.clearModified();
}

void PowerSettingsEditor::SpinEditACEditingDone() { WriteSpinValue(Side::AC, *SpinEditAC); }

void PowerSettingsEditor::SpinEditDCEditingDone() { WriteSpinValue(Side::DC, *SpinEditDC); }

void PowerSettingsEditor::ComboBoxACChange() {
    if (ComboBoxAC->itemIndex() >= 0) WriteValue(Side::AC, static_cast<std::uint32_t>(ComboBoxAC->itemIndex()));
}

void PowerSettingsEditor::ComboBoxDCChange() {
    if (ComboBoxDC->itemIndex() >= 0) WriteValue(Side::DC, static_cast<std::uint32_t>(ComboBoxDC->itemIndex()));
}

// ---- buttons ----

void PowerSettingsEditor::ButtonResetSettingClick() {
    Guid scheme, subgroup, setting;
    if (!AddressedSetting(scheme, subgroup, setting)) return;
    std::uint32_t value = 0;
    // The edited scheme goes where the service expects a personality, as it always has.
    if (os_.power.PowerReadACDefaultIndex(scheme, subgroup, setting, value) == 0)
        os_.power.PowerWriteACValueIndex(scheme, subgroup, setting, value);
    if (os_.power.PowerReadDCDefaultIndex(scheme, subgroup, setting, value) == 0)
        os_.power.PowerWriteDCValueIndex(scheme, subgroup, setting, value);
    ListBoxSettingsSelectionChange();
}

void PowerSettingsEditor::ButtonApplySchemeClick() {
    Guid scheme;
    if (!EditedScheme(scheme)) return;
    schemes_.ActiveSchemeGuid = scheme;
    os_.power.PowerSetActiveScheme(schemes_.ActiveSchemeGuid);
}

void PowerSettingsEditor::PageControl1Change() {
    ui::Button* const buttons[] = {ButtonApplyScheme, ButtonResetSetting, ButtonSearchSetting};
    const int lefts[] = {172, 348, 524};
    const bool editorPage = PageControl1->activePage() == 2;
    if (editorPage)
        for (ui::Button* b : buttons) b->setVisible(true);
    for (int i = 0; i < 3; ++i) buttons[i]->setBounds(lefts[i], buttons[i]->top(), buttons[i]->width(), buttons[i]->height());
    if (!editorPage)
        for (int i = 2; i >= 0; --i) buttons[i]->setVisible(false);
}

void PowerSettingsEditor::PageControl1Changing(bool& AllowChange) {
    AllowChange = true;
    // A spin box that holds the focus ends its edit, and writes, before the page goes.
    ButtonClose->setFocus();
}

// ---- web search ----

bool PowerSettingsEditor::IsEnglishLocale() {
    static constexpr std::uint32_t english[] = {0x0409, 0x0809, 0x0C09, 0x1009, 0x1409,
                                                0x1809, 0x1C09, 0x2009, 0x2809, 0x2C09};
    const std::uint32_t lcid = os_.system.GetUserDefaultLCID();
    return std::find(std::begin(english), std::end(english), lcid) != std::end(english);
}

std::u16string EncodeQuery(std::u16string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const std::string utf8 = platform::utf16ToUtf8(std::u16string(text).c_str(), text.size());
    std::u16string out;
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char16_t>(c);
        } else {
            out += u'%';
            out += static_cast<char16_t>(hex[c >> 4]);
            out += static_cast<char16_t>(hex[c & 0x0F]);
        }
    }
    return out;
}

void PowerSettingsEditor::ButtonSearchSettingClick() {
    Guid scheme, subgroup, setting;
    if (!AddressedSetting(scheme, subgroup, setting)) return;
    std::u16string query;
    if (IsEnglishLocale()) {
        query = platform::utf8ToUtf16(ListBoxSettings->items()[static_cast<std::size_t>(ListBoxSettings->itemIndex())]) +
                u" " +
                platform::utf8ToUtf16(
                    ListBoxCategories->items()[static_cast<std::size_t>(ListBoxCategories->itemIndex())]);
    } else {
        // The English names, whatever the language of the lists.
        TextBuffer name;
        FillBuffer(name, u"");
        RegistrySettingName(os_.machineRegistry, subgroup, setting, name);
        query = BufferText(name) + u" ";
        FillBuffer(name, u"");
        RegistrySubgroupName(os_.machineRegistry, subgroup, name);
        query += BufferText(name);
    }
    const std::u16string address = SearchBaseAddress + std::u16string(u"/search?q=") + EncodeQuery(query);
    os_.shell.ShellExecuteW(form_.windowHandle(), nullptr, address.c_str(), u"", u"", platform::SW_SHOWNORMAL_);
}

// ---- create-scheme flow ----

void PowerSettingsEditor::ComboBoxHiddenSchemeEditingDone() {
    if (ComboBoxHiddenScheme->itemIndex() != schemes_.SchemeCount || schemes_.SchemeCount >= SchemeList::kMaxSchemes ||
        CreatingScheme) {
        CreatingScheme = false;
        return;
    }
    CreatingScheme = true;
    // The guard is cleared however the flow ends.
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{CreatingScheme};
    CreateScheme();
}

void PowerSettingsEditor::CreateScheme() {
    const std::int32_t count = schemes_.SchemeCount;
    const std::vector<std::string>& items = ComboBoxHiddenScheme->items();
    const std::vector<std::string> names(items.begin(), items.end() - 1);  // all but the create item
    const bool confirmed = ExecuteSchemeDialog(form_.application(), names, SourceSchemeIndex, NewSchemeName);
    Guid created;
    // No source chosen (no schemes at all) counts as a cancel.
    if (!confirmed || !inRange(SourceSchemeIndex, count) ||
        os_.power.PowerDuplicateScheme(schemes_.SchemeGuids[SourceSchemeIndex], created) != 0) {
        ComboBoxHiddenScheme->setItemIndex(0);
        return;
    }
    schemes_.SchemeGuids[count] = created;
    // A slot holds 255 characters and the terminating zero: a longer name is cut.
    TextBuffer& slot = schemes_.SchemeNames[count];
    FillBuffer(slot, NewSchemeName);
    const std::size_t length = BufferText(slot).size();
    os_.power.PowerWriteFriendlyName(&created, nullptr, nullptr, reinterpret_cast<const std::uint8_t*>(slot),
                                     static_cast<std::uint32_t>((length + 1) * 2));
    const std::vector<ui::ComboBox*>& lists = schemes_.lists;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::string text = toolkitText(slot);
        if (i < 3)
            lists[i]->addItem(text);
        else
            lists[i]->insertItem(count, text);
    }
    schemes_.SchemeCount = count + 1;
    schemes_.SchemeGuids[schemes_.SchemeCount] = schemes_.NO_SUBGROUP_GUID;
    ComboBoxHiddenScheme->setItemIndex(schemes_.SchemeCount - 1);
}

}  // namespace editor
