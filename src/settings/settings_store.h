// The settings store: the options, the three scheme choices and the profile rows, per
// user in one registry key. Read once at start, saved at every hide of the main
// window; the close notice's flag is written on its own.
#pragma once

#include <cstdint>

#include "platform/guid.h"
#include "platform/platform.h"
#include "profiles/program_profiles.h"
#include "ui/ui.h"

namespace platform {
class RegistryAccessor;
}

namespace settings {

// Under HKEY_CURRENT_USER.
inline constexpr char SettingsKey[] = "Software\\KZQStellmark";

// The places the settings are read into and saved from.
struct SettingsParts {
    bool& MinimizeNoticeShown;
    bool& SettingsDirty;
    std::int32_t &LowCpu, &HighCpu, &ChecksTime, &MinTime;
    platform::Guid &LowSchemeGuid, &HighSchemeGuid, &LowestSchemeGuid;
    // The standard choices the read falls back to.
    const platform::Guid &PowerSaver, &Balanced;
    ui::Action &PauseAction, &ActionTemp, &ActionBoost, &ActionSaver;
    ui::CheckBox &CheckBoxIdle, &CheckBoxDC, &CheckBoxBoostProc, &CheckBoxBoostP, &CheckBoxCore0;
    ui::TrackBar &TrackBarTemp, &TrackBarIdle;
    profiles::ProfileTable& Profiles;
};

class SettingsStore {
public:
    SettingsStore(platform::UserRegistry& registry, const SettingsParts& parts) : registry_(registry), parts_(parts) {}

    // Never fails outward: a missing key, a missing required value or a value of the
    // wrong type or size ends the read with the fall-back.
    void ReadSettings();
    // The save of the hide handler, only while SettingsDirty. A key that cannot be
    // created or a value that cannot be written ends it there, keeping what was
    // written; false then.
    bool SaveSettings();
    // "MShown0" = "yes" once the close notice was shown; sets SettingsDirty.
    void WriteNoticeShown();

private:
    bool ReadValues(platform::RegistryAccessor& key, int& rowsRead);
    void ApplyFallback();
    bool SaveRow(platform::RegistryAccessor& key, int row);

    platform::UserRegistry& registry_;
    SettingsParts parts_;
};

}  // namespace settings
