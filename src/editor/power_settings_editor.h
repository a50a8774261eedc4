// The "Edit hidden settings" page: the subgroups and settings of any power scheme,
// the value panel that reads and writes a setting's AC and DC values, the editor's
// three buttons on the bottom panel, the web search about a setting and the creation
// of a new scheme as a named copy of another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editor/registry_names.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace editor {

// The main window's scheme list, which the editor reads and the create flow extends.
struct SchemeList {
    static constexpr int kSlots = 32;
    static constexpr int kMaxSchemes = 31;  // the slot after the last one holds the marker
    platform::Guid (&SchemeGuids)[kSlots];
    char16_t (&SchemeNames)[kSlots][kTextUnits];
    std::int32_t& SchemeCount;
    const platform::Guid& NO_SUBGROUP_GUID;
    platform::Guid& ActiveSchemeGuid;
    // The window's 18 scheme lists: lowest, low, high, the 14 profile rows, the editor's.
    std::vector<ui::ComboBox*> lists;
};

class PowerSettingsEditor {
public:
    // Takes the editor's controls from the form and binds their handlers.
    PowerSettingsEditor(platform::Platform& os, ui::Form& form, SchemeList schemes);

    // ---- subgroup and setting lists ----
    void ComboBoxHiddenSchemeChange();
    void ListBoxCategoriesSelectionChange();

    // ---- value panel and editor buttons ----
    void ListBoxSettingsSelectionChange();
    void SpinEditACEditingDone();
    void SpinEditDCEditingDone();
    void ComboBoxACChange();
    void ComboBoxDCChange();
    void ButtonResetSettingClick();
    void ButtonApplySchemeClick();
    void PageControl1Change();
    void PageControl1Changing(bool& AllowChange);

    // ---- web search ----
    void ButtonSearchSettingClick();
    bool IsEnglishLocale();

    // ---- create-scheme flow ----
    void ComboBoxHiddenSchemeEditingDone();

    // ---- state ----
    static constexpr int kMaxSubgroups = 64;   // then "General settings"
    static constexpr int kMaxSettings = 256;
    platform::Guid SubgroupGuids[kMaxSubgroups + 1]{};
    std::int32_t SubgroupCount = 0;
    platform::Guid SettingGuids[kMaxSettings]{};
    std::int32_t SettingCount = 0;
    bool CreatingScheme = false;
    // Edits are written only while set. It starts set, so that a setting with a range
    // that is loaded first can be edited.
    bool EditorReady = true;
    std::int32_t SourceSchemeIndex = 0;
    std::u16string NewSchemeName;

    // ---- controls ----
    ui::PageControl* PageControl1;
    ui::ComboBox *ComboBoxHiddenScheme, *ComboBoxAC, *ComboBoxDC;
    ui::ListBox *ListBoxCategories, *ListBoxSettings;
    ui::Label *LabelDescription, *LabelAC1, *LabelDC1;
    ui::SpinEdit *SpinEditAC, *SpinEditDC;
    ui::Button *ButtonApplyScheme, *ButtonResetSetting, *ButtonSearchSetting, *ButtonClose;

private:
    // The scheme selected in the editor's list, when it is one of the schemes.
    bool EditedScheme(platform::Guid& scheme) const;
    // The scheme, subgroup and setting the panel addresses, when all three lists
    // stand on one of their entries.
    bool AddressedSetting(platform::Guid& scheme, platform::Guid& subgroup, platform::Guid& setting) const;
    void LoadRangeSetting(const platform::Guid& scheme, const platform::Guid& subgroup, const platform::Guid& setting);
    void LoadListedSetting(const platform::Guid& scheme, const platform::Guid& subgroup,
                           const platform::Guid& setting);
    enum class Side { AC, DC };
    void WriteValue(Side side, std::uint32_t value);
    void WriteSpinValue(Side side, ui::SpinEdit& box);
    void CreateScheme();

    platform::Platform& os_;
    ui::Form& form_;
    SchemeList schemes_;
};

// The search service; a search is this, "/search?q=" and the encoded query.
inline constexpr char16_t SearchBaseAddress[] = u"https://www.google.com";

// The query text as it goes into an address: the UTF-8 bytes of everything but
// letters, digits and "-._~" percent-encoded.
std::u16string EncodeQuery(std::u16string_view text);

}  // namespace editor
