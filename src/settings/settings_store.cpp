#include "settings/settings_store.h"

#include <string>

#include "platform/registry_accessor.h"

namespace settings {

using platform::RegistryAccessor;

namespace {

std::string name(const char* field, int row) { return field + std::to_string(row); }

// A switch is on for any stored value but 0.
bool readSwitch(RegistryAccessor& key, const char* valueName, bool& on) {
    std::int32_t v = 0;
    if (!key.readInteger(valueName, v)) return false;
    on = v != 0;
    return true;
}

// The same for a value read only when it exists, whatever its type.
template <class Set> bool readSwitchIfPresent(RegistryAccessor& key, const char* valueName, Set set) {
    if (!key.valueExists(valueName)) return true;
    bool on = false;
    if (!readSwitch(key, valueName, on)) return false;
    set(on);
    return true;
}

}  // namespace

void SettingsStore::ReadSettings() {
    RegistryAccessor key(registry_);
    if (!key.openForReading(SettingsKey)) {
        ApplyFallback();
        return;
    }
    int rowsRead = 0;
    if (!ReadValues(key, rowsRead)) {
        ApplyFallback();
        // Rows whose stored values were not all read stay as stored at the next save.
        for (int row = rowsRead; row < profiles::kProfileRows; ++row) parts_.Profiles.NotRead[row] = true;
    }
}

// Reads in the stored order and stops at the first value that fails. rowsRead counts
// the rows whose values have all been read.
bool SettingsStore::ReadValues(RegistryAccessor& key, int& rowsRead) {
    SettingsParts& p = parts_;
    std::string text;
    if (!key.readText("MShown0", text)) return false;
    p.MinimizeNoticeShown = text == "yes";
    bool on = false;
    if (!readSwitch(key, "paused", on)) return false;
    p.PauseAction.setChecked(on);
    if (!readSwitch(key, "checktemp", on)) return false;
    p.ActionTemp.setChecked(on);
    if (!readSwitch(key, "checkidle", on)) return false;
    p.CheckBoxIdle.setChecked(on);
    if (!key.readInteger("lowcpu", p.LowCpu) || !key.readInteger("highcpu", p.HighCpu) ||
        !key.readInteger("checkstime", p.ChecksTime) || !key.readInteger("mintime", p.MinTime))
        return false;
    if (!key.readBinary("lowscheme", &p.LowSchemeGuid, 16) || !key.readBinary("highscheme", &p.HighSchemeGuid, 16))
        return false;
    if (!key.valueExists("lowestscheme")) p.LowestSchemeGuid = p.PowerSaver;
    else if (!key.readBinary("lowestscheme", &p.LowestSchemeGuid, 16)) return false;
    if (!readSwitchIfPresent(key, "checkDC", [&](bool v) { p.CheckBoxDC.setChecked(v); })) return false;
    std::int32_t position = 0;
    if (!key.readInteger("templimit", position)) return false;
    p.TrackBarTemp.setPosition(position);
    if (!key.readInteger("idletime", position)) return false;
    p.TrackBarIdle.setPosition(position);
    if (!readSwitchIfPresent(key, "BoostForeground", [&](bool v) { p.ActionBoost.setChecked(v); }) ||
        !readSwitchIfPresent(key, "BoostProcesses", [&](bool v) { p.CheckBoxBoostProc.setChecked(v); }) ||
        !readSwitchIfPresent(key, "BoostMax", [&](bool v) { p.CheckBoxBoostP.setChecked(v); }) ||
        !readSwitchIfPresent(key, "SingleCoreLoad", [&](bool v) { p.CheckBoxCore0.setChecked(v); }) ||
        !readSwitchIfPresent(key, "EnergySaver", [&](bool v) { p.ActionSaver.setChecked(v); }))
        return false;

    // The rows, field by field; each value only when it exists, stored numbers unchecked.
    profiles::ProfileTable& t = p.Profiles;
    auto each = [&](const char* field, auto read) {
        for (int row = 0; row < profiles::kProfileRows; ++row) {
            const std::string n = name(field, row);
            if (key.valueExists(n.c_str()) && !read(n.c_str(), row)) return false;
        }
        return true;
    };
    auto integer = [&](std::int32_t profiles::ProgramProfile::*field) {
        return [&, field](const char* n, int row) { return key.readInteger(n, t.ProgramProfiles[row].*field); };
    };
    const bool fields =
        each("class",
             [&](const char* n, int row) {
                 if (!key.readText(n, text)) return false;
                 t.setClassName(row, text);  // its first 256 bytes
                 return true;
             }) &&
        each("scheme", [&](const char* n, int row) { return key.readBinary(n, &t.ProgramProfiles[row].ProfileScheme, 16); }) &&
        each("Cstart", integer(&profiles::ProgramProfile::ProfileCoreStart)) &&
        each("Cend", integer(&profiles::ProgramProfile::ProfileCoreEnd)) &&
        each("Ceven", [&](const char* n, int row) { return readSwitch(key, n, t.ProgramProfiles[row].ProfileEvenCores); }) &&
        each("CPUpriority", integer(&profiles::ProgramProfile::ProfileCpuPriority));
    if (!fields) return false;
    // The last field: each row is complete once its I/O priority has been read.
    for (int row = 0; row < profiles::kProfileRows; ++row) {
        const std::string n = name("IOpriority", row);
        if (key.valueExists(n.c_str()) && !key.readInteger(n.c_str(), t.ProgramProfiles[row].ProfileIoPriority))
            return false;
        rowsRead = row + 1;
    }
    return true;
}

void SettingsStore::ApplyFallback() {
    SettingsParts& p = parts_;
    p.MinimizeNoticeShown = false;
    p.LowCpu = 20;
    p.HighCpu = 75;
    p.ChecksTime = 1000;
    p.MinTime = 4000;
    p.LowestSchemeGuid = p.PowerSaver;
    p.LowSchemeGuid = p.PowerSaver;
    p.HighSchemeGuid = p.Balanced;
    p.PauseAction.setChecked(false);
}

bool SettingsStore::SaveSettings() {
    SettingsParts& p = parts_;
    if (!p.SettingsDirty) return true;
    RegistryAccessor key(registry_);
    if (!key.keyExists(SettingsKey) && !key.createKey(SettingsKey)) return false;
    if (!key.openWithCreate(SettingsKey)) return false;
    auto flag = [](bool on) { return on ? 1 : 0; };
    const bool options =
        key.writeInteger("lowcpu", p.LowCpu) && key.writeInteger("highcpu", p.HighCpu) &&
        key.writeInteger("checkstime", p.ChecksTime) && key.writeInteger("mintime", p.MinTime) &&
        key.writeBinary("lowestscheme", &p.LowestSchemeGuid, 16) && key.writeBinary("lowscheme", &p.LowSchemeGuid, 16) &&
        key.writeBinary("highscheme", &p.HighSchemeGuid, 16) &&
        key.writeInteger("paused", flag(p.PauseAction.checked())) &&
        key.writeInteger("checktemp", flag(p.ActionTemp.checked())) &&
        key.writeInteger("checkidle", flag(p.CheckBoxIdle.checked())) &&
        key.writeInteger("checkDC", flag(p.CheckBoxDC.checked())) &&
        key.writeInteger("templimit", p.TrackBarTemp.position()) &&
        key.writeInteger("idletime", p.TrackBarIdle.position()) &&
        key.writeInteger("BoostForeground", flag(p.ActionBoost.checked())) &&
        key.writeInteger("BoostProcesses", flag(p.CheckBoxBoostProc.checked())) &&
        key.writeInteger("BoostMax", flag(p.CheckBoxBoostP.checked())) &&
        key.writeInteger("SingleCoreLoad", flag(p.CheckBoxCore0.checked())) &&
        key.writeInteger("EnergySaver", flag(p.ActionSaver.checked()));
    if (!options) return false;
    for (int row = 0; row < profiles::kProfileRows; ++row)
        if (!SaveRow(key, row)) return false;
    return true;
}

bool SettingsStore::SaveRow(RegistryAccessor& key, int row) {
    const profiles::ProfileTable& t = parts_.Profiles;
    if (t.NotRead[row]) return true;
    const profiles::ProgramProfile& r = t.ProgramProfiles[row];
    if (!r.defined()) {
        // Only the class and the scheme go; cores and priorities stay for the next
        // time the row is defined. A failed delete is no failure of the save.
        for (const char* field : {"class", "scheme"}) {
            const std::string n = name(field, row);
            if (key.valueExists(n.c_str())) key.deleteValue(n.c_str());
        }
        return true;
    }
    return key.writeText(name("class", row).c_str(), t.className(row)) &&
           key.writeBinary(name("scheme", row).c_str(), &r.ProfileScheme, 16) &&
           key.writeInteger(name("Cstart", row).c_str(), r.ProfileCoreStart) &&
           key.writeInteger(name("Cend", row).c_str(), r.ProfileCoreEnd) &&
           key.writeInteger(name("Ceven", row).c_str(), r.ProfileEvenCores ? 1 : 0) &&
           key.writeInteger(name("CPUpriority", row).c_str(), r.ProfileCpuPriority) &&
           key.writeInteger(name("IOpriority", row).c_str(), r.ProfileIoPriority);
}

void SettingsStore::WriteNoticeShown() {
    RegistryAccessor key(registry_);
    if (key.openWithCreate(SettingsKey) && key.writeText("MShown0", "yes")) parts_.SettingsDirty = true;
}

}  // namespace settings
