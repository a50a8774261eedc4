// The load-check tick: minimum time, profiles first, then the load rule.
#include "app/stellmark_form.h"
#include "engine/rounding.h"

namespace app {

void TStellmarkForm::RefreshTimerTimer() {
    // After an activation the next DwellTicks ticks only count; the last of them
    // takes a fresh baseline so the first load measured covers one interval.
    if (DwellTicks == 1) {
        SampleSystemTimes();
        DwellTicks = 0;
        return;
    }
    if (DwellTicks > 1) {
        --DwellTicks;
        return;
    }
    if (Profiles.AnyProfileDefined()) {
        Profiles.ProfileApplied = false;
        Profiles.EnumToggle = !Profiles.EnumToggle;
        Profiles.ScanProfileWindows();
        if (Profiles.ProfileApplied) return;  // a profile window on screen suspends the load rule
    }
    if (!CheckBoxCore0->checked()) ComputeTotalLoad();
    UpdateTrayHint();
    if (!ForcedLowest && !Overheated) {
        if (CpuLoad > HighCpu) SwitchToHigh();
        else if (CpuLoad < LowCpu) SwitchToLow();
    }
}

void TStellmarkForm::ComputeTotalLoad() {
    platform::SystemTimes now = LoadBaseline;
    os_.system.GetSystemTimes(now);
    const auto dIdle = static_cast<std::int64_t>(now.idle - LoadBaseline.idle);
    const auto dKernel = static_cast<std::int64_t>(now.kernel - LoadBaseline.kernel);
    const auto dUser = static_cast<std::int64_t>(now.user - LoadBaseline.user);
    // Sums in wider arithmetic: counters that ran backwards must not overflow.
    const long double total = static_cast<long double>(dKernel) + static_cast<long double>(dUser);
    const long double busy = static_cast<long double>(dKernel) - static_cast<long double>(dIdle);
    if (total > 0) CpuLoad = engine::low32(engine::roundHalfEven((busy + static_cast<long double>(dUser)) * 100 / total));
    LoadBaseline = now;
}

void TStellmarkForm::UpdateTrayHint() {
    const char* state = Overheated ? "Overheated CPU "
                        : OnBattery ? "Battery CPU "
                        : UserIdle  ? "Idle CPU "
                        : Active    ? "CPU "
                                    : "Paused CPU ";
    theTrayIcon->setTrayHint(state + std::to_string(CpuLoad) + "% " + std::to_string(CpuTemperature) + "C");
    if (visible()) LabelCPU->setCaption(theTrayIcon->hint());
}

void TStellmarkForm::PauseActionExecute() {
    Active = !PauseAction->checked();
    if (Active) SampleSystemTimes();
    RefreshTimer->setEnabled(Active);
    LabelCPU->setCaption(Active ? "Calculating." : "Paused.");
    theTrayIcon->setTrayHint(LabelCPU->caption());
}

}  // namespace app
