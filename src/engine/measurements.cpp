// The processor-time baseline and the idle and power-source tests.
#include "app/stellmark_form.h"

namespace app {

void TStellmarkForm::SampleSystemTimes() {
    platform::SystemTimes t;
    if (os_.system.GetSystemTimes(t)) LoadBaseline = t;
}

bool TStellmarkForm::CheckIdleAndBattery() {
    bool ok = true;
    if (CheckBoxIdle->checked()) {
        os_.windows.GetLastInputInfo(LastInputTime);  // a failure measures from the last time read
        // Wrapping 32-bit subtraction read as signed: works across the counter's wrap,
        // and an input time ahead of the counter is not idle.
        const auto elapsed = static_cast<std::int32_t>(os_.clock.GetTickCount() - LastInputTime);
        const std::int32_t limit = TrackBarIdle->position() * 60000;
        UserIdle = limit < elapsed;
        if (UserIdle) ok = false;
    }
    platform::PowerStatus status;
    if (CheckBoxDC->checked() && os_.system.GetSystemPowerStatus(status)) {
        // Offline (0) and not determined (255) both count as off mains.
        OnBattery = status.acLineStatus != 1;
        if (OnBattery) ok = false;
    }
    return ok;
}

}  // namespace app
