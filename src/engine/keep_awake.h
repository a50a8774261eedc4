// Keeping the computer awake and the display on, through the execution state of the
// user-interface thread, optionally until a time limit ends both requests.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "ui/ui.h"

namespace engine {

class KeepAwake {
public:
    // The options page's controls of keep-awake.
    struct Controls {
        ui::Action& ActionNoSleep;
        ui::Action& ActionScreen;
        ui::CheckBox& CheckBoxNoSleep;
        ui::CheckBox& CheckBoxScreen;
        ui::CheckBox& CheckBoxTimelimit;
        ui::TrackBar& TrackBarEndTime;
    };
    static constexpr std::uint64_t kHour = 3600000;  // ms

    KeepAwake(platform::Processes& processes, platform::Clock& clock, Controls controls)
        : processes_(processes), clock_(clock), c_(controls) {}

    // Both send the request of both options as they are now.
    void ActionNoSleepExecute() { sendRequest(); }
    void ActionScreenExecute() { sendRequest(); }
    void CheckBoxTimelimitChange();
    // The end time from now with the slider's hours, armed or not.
    void RestartEndTime();
    // A housekeeping step: past the end time both options and the limit end.
    void CheckKeepAwakeLimit();
    // No request outlives the system.
    void Withdraw() { processes_.SetThreadExecutionState(platform::ES_CONTINUOUS_); }

    bool KeepAwakeLimitOn = false;
    std::uint64_t KeepAwakeEndTime = 0;  // on the 64-bit millisecond tick

private:
    void sendRequest();

    platform::Processes& processes_;
    platform::Clock& clock_;
    Controls c_;
};

}  // namespace engine
