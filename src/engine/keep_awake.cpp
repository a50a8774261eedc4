#include "engine/keep_awake.h"

namespace engine {

void KeepAwake::sendRequest() {
    std::uint32_t flags = platform::ES_CONTINUOUS_;
    if (c_.ActionNoSleep.checked()) flags |= platform::ES_SYSTEM_REQUIRED_;
    if (c_.ActionScreen.checked()) flags |= platform::ES_DISPLAY_REQUIRED_;
    processes_.SetThreadExecutionState(flags);
}

void KeepAwake::RestartEndTime() {
    KeepAwakeEndTime = clock_.GetTickCount64() + static_cast<std::uint64_t>(c_.TrackBarEndTime.position()) * kHour;
}

void KeepAwake::CheckBoxTimelimitChange() {
    KeepAwakeLimitOn = c_.CheckBoxTimelimit.checked();
    if (KeepAwakeLimitOn) RestartEndTime();
}

void KeepAwake::CheckKeepAwakeLimit() {
    if (!KeepAwakeLimitOn || clock_.GetTickCount64() <= KeepAwakeEndTime) return;
    KeepAwakeLimitOn = false;
    c_.CheckBoxScreen.setChecked(false);
    c_.CheckBoxNoSleep.setChecked(false);
    c_.CheckBoxTimelimit.setChecked(false);
    Withdraw();  // last, whatever the boxes' handlers sent
}

}  // namespace engine
