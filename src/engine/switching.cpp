// The four switch routines through which every scheme change of the engine passes.
#include "app/stellmark_form.h"

namespace app {

using platform::Guid;

namespace {
constexpr char kActive[] = "Active";
constexpr char kBlank[] = " ";
}  // namespace

void TStellmarkForm::SwitchToHigh() {
    InLowState = false;
    LabelLowSelect->setCaption(kBlank);
    Labelhighselect->setCaption(kActive);
    Labellowestselect->setCaption(kBlank);
    ActivateScheme(HighSchemeGuid);
    theTrayIcon->setIcon(ImageUp->icon);
}

void TStellmarkForm::SwitchToLow() {
    InLowState = true;
    LabelLowSelect->setCaption(kActive);
    Labelhighselect->setCaption(kBlank);
    Labellowestselect->setCaption(kBlank);
    ActivateScheme(LowSchemeGuid);
    theTrayIcon->setIcon(ImageDown->icon);
}

void TStellmarkForm::SwitchToLowest() {
    InLowState = true;
    LabelLowSelect->setCaption(kBlank);
    Labellowestselect->setCaption(kActive);
    Labelhighselect->setCaption(kBlank);

    // The lowest scheme keeps a maximum processor state of at most 99 %.
    const Guid& sub = GUID_PROCESSOR_SETTINGS_SUBGROUP;
    const Guid& set = GUID_PROCESSOR_THROTTLE_MAXIMUM;
    std::uint32_t value = 0;
    os_.power.PowerReadDCValueIndex(LowestSchemeGuid, sub, set, value);
    bool cap = value > 99;
    if (!cap) {
        os_.power.PowerReadACValueIndex(LowestSchemeGuid, sub, set, value);
        cap = value > 99;
    }
    if (cap) {
        os_.power.PowerWriteDCValueIndex(LowestSchemeGuid, sub, set, 99);
        os_.power.PowerWriteACValueIndex(LowestSchemeGuid, sub, set, 99);
        // The capped scheme is activated again even when it is already the active one.
        ActiveSchemeGuid = LowestSchemeGuid;
        WriteEnergySaverThreshold(LowestSchemeGuid);
        ComputeDwellTicks();
        os_.power.PowerSetActiveScheme(LowestSchemeGuid);
    } else {
        ActivateScheme(LowestSchemeGuid);
    }
    theTrayIcon->setIcon(ImageDown->icon);
}

void TStellmarkForm::SwitchToProfileScheme(const Guid& scheme) {
    // Only the well-known saver and performance schemes mark a side.
    if (scheme == GUID_MAX_POWER_SAVINGS) {
        InLowState = true;
        LabelLowSelect->setCaption(kActive);
        Labelhighselect->setCaption(kBlank);
        theTrayIcon->setIcon(ImageDown->icon);
    } else if (scheme == GUID_MIN_POWER_SAVINGS || scheme == UltimatePerformanceGuid) {
        InLowState = false;
        LabelLowSelect->setCaption(kBlank);
        Labelhighselect->setCaption(kActive);
        theTrayIcon->setIcon(ImageUp->icon);
    }
    ActivateScheme(scheme);
}

void TStellmarkForm::ToggleSchemeState() {
    if (InLowState) SwitchToHigh();
    else SwitchToLow();
}

// A list without a selection changes nothing.
void TStellmarkForm::ComboBoxLowestChange() {
    const int k = ComboBoxLowest->itemIndex();
    if (k < 0 || k >= SchemeCount) return;
    LowestSchemeGuid = SchemeGuids[k];
    SettingsDirty = true;
}

void TStellmarkForm::ComboBoxHighChange() {
    const int k = ComboBoxHigh->itemIndex();
    if (k < 0 || k >= SchemeCount) return;
    HighSchemeGuid = SchemeGuids[k];
    SettingsDirty = true;
}

void TStellmarkForm::ComboBoxLowChange() {
    const int k = ComboBoxLow->itemIndex();
    if (k < 0 || k >= SchemeCount) return;
    LowSchemeGuid = SchemeGuids[k];
    SettingsDirty = true;
}

}  // namespace app
