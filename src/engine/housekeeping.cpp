// The housekeeping tick: processes, keep-awake, temperature, forcing, hint.
#include "app/stellmark_form.h"

namespace app {

namespace {
constexpr std::int32_t kReleaseTemperature = 50;
}

void TStellmarkForm::TimerCpuTempTimer() {
    if (CheckBoxBoost->checked() || CheckBoxCore0->checked()) AccountProcesses();
    if (CheckBoxBoost->checked()) TrackForeground();
    if (CheckBoxBoost->checked() || CheckBoxCore0->checked()) DiscoverProcesses();
    KeepAwake->CheckKeepAwakeLimit();

    // With protection off the temperature is read on every second run only.
    TempTickParity = !TempTickParity;
    if (TempTickParity || CheckBoxCPUtemp->checked()) CpuTemperature = ReadCpuTemperature();

    if (!Active && TempTickParity && !CheckBoxCore0->checked()) ComputeTotalLoad();

    auto restoreWhilePaused = [this] {
        if (Active) return;  // the load check decides from its next tick on
        if (SavedWasHigh) SwitchToHigh();
        else SwitchToLow();
    };

    if (!Overheated) {
        if (CheckBoxIdle->checked() || CheckBoxDC->checked()) {
            const bool ok = CheckIdleAndBattery();
            if (!ok && !ForcedLowest) {
                ForcedLowest = true;
                SavedWasHigh = !InLowState;
                SwitchToLowest();
            } else if (ok && ForcedLowest) {
                ForcedLowest = false;
                restoreWhilePaused();
            }
        } else if (ForcedLowest) {
            // Both forcing options switched off: nothing forces any more, so the
            // forcing ends as if its condition had ended.
            ForcedLowest = false;
            restoreWhilePaused();
        }
    }

    if (CheckBoxCPUtemp->checked()) {
        if (Overheated) {
            if (CpuTemperature < kReleaseTemperature) {
                Overheated = false;
                restoreWhilePaused();
            }
        } else if (TrackBarTemp->position() <= CpuTemperature) {
            SavedWasHigh = !InLowState;
            SwitchToLowest();
            Overheated = true;
        }
    }

    UpdateTrayHint();
}

void TStellmarkForm::ActionTempExecute() { Overheated = false; }

}  // namespace app
