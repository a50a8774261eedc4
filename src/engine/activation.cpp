// Scheme activation with the energy-saver threshold and the minimum-time count.
#include "app/stellmark_form.h"
#include "engine/rounding.h"

namespace app {

using platform::Guid;

void TStellmarkForm::ActivateScheme(const Guid& scheme) {
    // Only a real change reaches the power service; the OS's own choice is never read back.
    if (scheme == ActiveSchemeGuid) return;
    const Guid target = scheme;  // the argument may alias one of our own fields
    ActiveSchemeGuid = target;
    WriteEnergySaverThreshold(target);
    ComputeDwellTicks();
    os_.power.PowerSetActiveScheme(target);
}

void TStellmarkForm::WriteEnergySaverThreshold(const Guid& scheme) {
    const Guid& sub = GUID_ENERGY_SAVER_SUBGROUP;
    const Guid& set = GUID_ENERGY_SAVER_BATTERY_THRESHOLD;
    if (ActionSaver->checked()) {
        os_.power.PowerWriteDCValueIndex(scheme, sub, set, 100);
        os_.power.PowerWriteACValueIndex(scheme, sub, set, 100);
        return;
    }
    // Back to the scheme's own defaults; a side whose default cannot be read keeps its value.
    std::uint32_t v = 0;
    if (os_.power.PowerReadACDefaultIndex(scheme, sub, set, v) == 0) os_.power.PowerWriteACValueIndex(scheme, sub, set, v);
    if (os_.power.PowerReadDCDefaultIndex(scheme, sub, set, v) == 0) os_.power.PowerWriteDCValueIndex(scheme, sub, set, v);
}

void TStellmarkForm::ComputeDwellTicks() {
    // The second branch only guards against a zero or tiny interval.
    const long double q = ChecksTime >= 1000 ? static_cast<long double>(MinTime) / ChecksTime
                                             : static_cast<long double>(MinTime) / 1000;
    DwellTicks = static_cast<std::int32_t>(engine::roundHalfEven(q));
}

void TStellmarkForm::ActionSaverExecute() {
    Guid active;
    if (os_.power.PowerGetActiveScheme(active) != 0) return;
    WriteEnergySaverThreshold(active);
    // Re-activating makes the new threshold take effect at once.
    os_.power.PowerSetActiveScheme(active);
}

}  // namespace app
