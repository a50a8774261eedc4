// Boost and eco mode, the busiest-process load: the options' handlers and the three
// housekeeping steps of the process table.
#include "app/stellmark_form.h"

namespace app {

engine::BoostOptions TStellmarkForm::boostOptions() const {
    return engine::BoostOptions{CheckBoxBoost->checked(), CheckBoxBoostProc->checked(), CheckBoxBoostP->checked(),
                                CheckBoxCore0->checked()};
}

void TStellmarkForm::AccountProcesses() { ProcessTable.AccountProcesses(boostOptions(), ChecksTime, CpuLoad); }

void TStellmarkForm::TrackForeground() { ProcessTable.TrackForeground(boostOptions(), handle()); }

void TStellmarkForm::DiscoverProcesses() { ProcessTable.DiscoverProcesses(); }

void TStellmarkForm::CheckBoxBoostChange() {
    const bool boost = CheckBoxBoost->checked();
    CheckBoxBoostProc->setEnabled(boost);
    CheckBoxBoostP->setEnabled(boost);
    // On: the next housekeeping run boosts the foreground program as new.
    if (boost) ProcessTable.ForgetForeground();
    else ProcessTable.BoostSwitchedOff(CheckBoxCore0->checked());
}

// The throttling choice is read at each boost.
void TStellmarkForm::CheckBoxBoostPChange() {}

void TStellmarkForm::CheckBoxCore0Change() {
    // Without boosting no tracked process was changed.
    if (!CheckBoxCore0->checked() && !CheckBoxBoost->checked()) ProcessTable.Empty();
}

}  // namespace app
