// The simulated Windows' power settings: subgroups and settings with their names,
// ranges and possible values, scheme duplication, and the local machine's registry
// with the power-settings texts.
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/text.h"
#include "sim/sim_windows.h"

namespace sim {

using platform::Guid;

namespace {

std::string text(const Guid* g) { return g ? platform::guidToText(*g) : std::string("null"); }
std::string utf8(const std::u16string& s) { return platform::utf16ToUtf8(s.c_str(), s.size()); }

// A text read as the service does it. Sizes are in bytes, the terminating zero
// included: without a buffer the call succeeds and gives the size; a buffer too small
// for the whole text gets nothing, only the size and ERROR_MORE_DATA. A missing text
// fails.
std::uint32_t copyOut(const std::optional<std::u16string>& t, std::uint8_t* buffer, std::uint32_t* bufferSize) {
    if (!t) return 2;
    if (!bufferSize) return 87;  // ERROR_INVALID_PARAMETER
    const auto bytes = static_cast<std::uint32_t>((t->size() + 1) * 2);
    if (!buffer) {
        *bufferSize = bytes;
        return 0;
    }
    if (*bufferSize < bytes) {
        *bufferSize = bytes;
        return 234;  // ERROR_MORE_DATA
    }
    std::memcpy(buffer, t->c_str(), bytes);
    *bufferSize = bytes;
    return 0;
}

std::u16string keyText(const std::string& braced) {
    std::u16string out;
    for (std::size_t i = 1; i + 1 < braced.size(); ++i) {
        const char c = braced[i];
        out += static_cast<char16_t>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    return out;
}

}  // namespace

std::u16string powerSettingsKey(const std::string& subgroup, const std::string& setting, const std::string& index) {
    std::u16string path = u"\\SYSTEM\\CurrentControlSet\\Control\\Power\\PowerSettings\\" + keyText(subgroup);
    if (!setting.empty()) path += u"\\" + keyText(setting);
    if (!index.empty()) path += u"\\" + std::u16string(index.begin(), index.end());
    return path;
}

// ---- catalogue ----

SimSubgroup& SimWindows::addSubgroup(const std::string& guidText, std::optional<std::u16string> name) {
    catalogue.push_back({platform::guidFromText(guidText), std::move(name), {}, true});
    return catalogue.back();
}

SimSetting& SimWindows::addSetting(SimSubgroup& subgroup, const std::string& guidText,
                                   std::optional<std::u16string> name) {
    SimSetting s;
    s.guid = platform::guidFromText(guidText);
    s.name = std::move(name);
    subgroup.settings.push_back(std::move(s));
    return subgroup.settings.back();
}

SimSetting* SimWindows::setting(const Guid* subgroup, const Guid* settingGuid) {
    if (!subgroup || !settingGuid) return nullptr;
    for (auto& g : catalogue)
        if (g.guid == *subgroup)
            for (auto& t : g.settings)
                if (t.guid == *settingGuid) return &t;
    return nullptr;
}

std::uint32_t SimWindows::readName(const SimScheme& s, const Guid* subgroup, const Guid* settingGuid,
                                   std::uint8_t* buffer, std::uint32_t* bufferSize) {
    if (!subgroup && !settingGuid) return copyOut(s.name, buffer, bufferSize);
    if (settingGuid) {
        SimSetting* t = setting(subgroup, settingGuid);
        return t ? copyOut(t->name, buffer, bufferSize) : 2;
    }
    for (const auto& g : catalogue)
        if (g.guid == *subgroup) return copyOut(g.name, buffer, bufferSize);
    return 2;
}

void SimWindows::addWindowsCatalogue() {
    // The registry's texts of a subgroup, setting or possible value, indirect ones included.
    auto reg = [this](const std::u16string& path, const std::u16string& name, const std::u16string& description) {
        auto& key = machineKey(path);
        key[u"FriendlyName"] = {name, true};
        if (!description.empty()) key[u"Description"] = {description, true};
    };
    auto range = [&](SimSubgroup& group, const std::string& sub, const std::string& guid, const char16_t* name,
                     const char16_t* description, std::uint32_t max, const char16_t* units) {
        SimSetting& s = addSetting(group, guid, name);
        s.description = description;
        s.range = true;
        s.min = 0;
        s.max = max;
        s.units = units;
        reg(powerSettingsKey(sub, guid), name, description);
    };
    auto listed = [&](SimSubgroup& group, const std::string& sub, const std::string& guid, const char16_t* name,
                      const char16_t* description, std::vector<SimPossible> possible) {
        SimSetting& s = addSetting(group, guid, name);
        s.description = description;
        s.possible = std::move(possible);
        reg(powerSettingsKey(sub, guid), name, description);
    };

    const std::string processor = "{54533251-82be-4824-96c1-47b60b740d00}";
    SimSubgroup& cpu = addSubgroup(processor, u"Processor power management");
    reg(powerSettingsKey(processor), u"@%SystemRoot%\\system32\\powrprof.dll,-501,Processor power management",
        u"@%SystemRoot%\\system32\\powrprof.dll,-502,Settings that control processor power management.");
    range(cpu, processor, "{893dee8e-2bef-41e0-89c6-b55d0929964c}", u"Minimum processor state",
          u"Specify the minimum performance state of your processor (in percentage).", 100, u"%");
    range(cpu, processor, "{bc5038f7-23e0-4960-96da-33abaf5935ec}", u"Maximum processor state",
          u"Specify the maximum performance state of your processor (in percentage).", 100, u"%");
    // Hidden from the control panel.
    range(cpu, processor, "{06cadf0e-64ed-448a-8927-ce7bf90eb35d}", u"Processor performance increase threshold",
          u"Specify the busy percentage above which the processor performance is increased.", 100, u"%");
    listed(cpu, processor, "{94d3a615-a899-4ac5-ae2b-e4d8f634367f}", u"System cooling policy",
           u"Specify the cooling mode for your system.",
           {{u"Passive", u"Slow the processor before increasing fan speed"},
            {u"Active", u"Increase fan speed before slowing the processor"}});
    // A hidden setting the service names, but whose possible values only the registry lists.
    const std::string boost = "{be337238-0d82-4146-a960-4f3749d470c7}";
    listed(cpu, processor, boost, u"Processor performance boost mode",
           u"@%SystemRoot%\\system32\\powrprof.dll,-7,Select how processors use performance boost.", {});
    cpu.settings.back().description.reset();  // only the registry describes it
    const char16_t* boostValues[] = {u"Disabled", u"Enabled", u"Aggressive", u"Efficient Enabled",
                                     u"Efficient Aggressive"};
    for (int i = 0; i < 5; ++i)
        reg(powerSettingsKey(processor, boost, std::to_string(i)),
            std::u16string(u"@%SystemRoot%\\system32\\powrprof.dll,-") + char16_t(u'0' + i) + u"," + boostValues[i],
            u"");

    const std::string sleep = "{238c9fa8-0aad-41ed-83f4-97be242c8f20}";
    SimSubgroup& sleepGroup = addSubgroup(sleep, u"Sleep");
    reg(powerSettingsKey(sleep), u"@%SystemRoot%\\system32\\powrprof.dll,-101,Sleep", u"");
    range(sleepGroup, sleep, "{29f6c1db-86da-48c5-9fdb-f2b67b1f44da}", u"Sleep after",
          u"Specify how long your computer is inactive before going to sleep.", 0xFFFFFFFFu, u"Seconds");
    listed(sleepGroup, sleep, "{94ac6d29-73ce-41a6-809f-6363ba21b47e}", u"Allow hybrid sleep",
           u"Specify whether hybrid sleep is used.", {{u"Off", std::nullopt}, {u"On", std::nullopt}});

    const std::string display = "{7516b95f-f776-4464-8c53-06167f40cc99}";
    SimSubgroup& displayGroup = addSubgroup(display, u"Display");
    reg(powerSettingsKey(display), u"Display", u"");
    range(displayGroup, display, "{3c0bc021-c8a8-4e07-a973-6b14cbcb2b7e}", u"Turn off display after",
          u"Specify how long your computer is inactive before your display turns off.", 0xFFFFFFFFu, u"Seconds");

    // A subgroup a graphics driver installs: the service gives it and its setting long
    // names of more than 127 characters; the registry has no name for the subgroup, and
    // for the setting only the short text of an indirect reference.
    const std::string graphics = "{6a4c3b2e-1d0f-4e8a-9b7c-5d6e7f8a9b0c}";
    SimSubgroup& graphicsGroup = addSubgroup(
        graphics, u"Graphics power management of the display adapter, with the settings that its driver installs for "
                  u"mains power and for battery operation");
    machineKey(powerSettingsKey(graphics))[u"Description"] = {u"Settings of the display adapter.", true};
    const std::string frequency = "{7b5d4c3f-2e1a-4f9b-8c0d-6e7f8a9b0c1d}";
    SimSetting& frequencySetting = addSetting(
        graphicsGroup, frequency,
        u"Maximum frequency of the graphics engine while the display adapter runs from mains power or from the "
        u"battery, given in megahertz (MHz)");
    frequencySetting.description =
        u"Specify the highest frequency at which the graphics engine runs; a lower limit saves energy, a higher one "
        u"gives more performance to games and video.";
    frequencySetting.range = true;
    frequencySetting.min = 300;
    frequencySetting.max = 1600;
    frequencySetting.units = u"MHz";
    machineKey(powerSettingsKey(graphics, frequency))[u"FriendlyName"] = {
        u"@%SystemRoot%\\system32\\gfxpower.dll,-2,Graphics frequency", true};

    const std::string saver = "{de830923-a562-41af-a086-e3a2c6bad2da}";
    SimSubgroup& saverGroup = addSubgroup(saver, u"Energy saver settings");
    reg(powerSettingsKey(saver), u"Energy saver settings", u"");
    range(saverGroup, saver, "{e69653ca-cf7f-4f05-aa73-cb833fa90ad4}", u"Charge level",
          u"Specify the battery charge level at which energy saver turns on.", 100, u"%");

    // Settings that belong to no subgroup; the service lists them under the marker.
    const std::string general = "{fea3413e-7e05-4911-9a71-700331f1c294}";
    SimSubgroup& none = addSubgroup(general, u"Settings belonging to no subgroup");
    none.enumerated = false;
    reg(powerSettingsKey(general), u"@%SystemRoot%\\system32\\powrprof.dll,-1,General settings", u"");
    listed(none, general, "{0e796bdb-100d-47d6-a2d5-f7d2daa51f51}", u"Require a password on wakeup", u"",
           {{u"No", std::nullopt}, {u"Yes", std::nullopt}});

    // Schemes hold values for different subgroups: power saver lists neither the
    // display nor the graphics subgroup.
    if (SimScheme* powerSaver = scheme(platform::guidFromText(kPowerSaver)))
        powerSaver->unlistedSubgroups = {display, graphics};
}

// ---- power service ----

std::uint32_t SimWindows::PowerReadDescription(const Guid* schemeGuid, const Guid* subgroup, const Guid* settingGuid,
                                               std::uint8_t* buffer, std::uint32_t* bufferSize) {
    record("PowerReadDescription " + text(schemeGuid) + " " + text(subgroup) + " " + text(settingGuid) + " " +
           std::to_string(bufferSize ? *bufferSize : 0));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadDescription") || !t) return 2;
    return copyOut(t->description, buffer, bufferSize);
}

bool SimWindows::PowerIsSettingRangeDefined(const Guid* subgroup, const Guid* settingGuid) {
    record("PowerIsSettingRangeDefined " + text(subgroup) + " " + text(settingGuid));
    SimSetting* t = setting(subgroup, settingGuid);
    return t && t->range;
}

std::uint32_t SimWindows::PowerReadValueUnitsSpecifier(const Guid* subgroup, const Guid* settingGuid,
                                                       std::uint8_t* buffer, std::uint32_t* bufferSize) {
    record("PowerReadValueUnitsSpecifier " + text(subgroup) + " " + text(settingGuid) + " " +
           std::to_string(bufferSize ? *bufferSize : 0));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadValueUnitsSpecifier") || !t) return 2;
    return copyOut(t->units, buffer, bufferSize);
}

std::uint32_t SimWindows::PowerReadValueMax(const Guid* subgroup, const Guid* settingGuid, std::uint32_t& value) {
    record("PowerReadValueMax " + text(subgroup) + " " + text(settingGuid));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadValueMax") || !t || !t->max) return 2;
    value = *t->max;
    return 0;
}

std::uint32_t SimWindows::PowerReadValueMin(const Guid* subgroup, const Guid* settingGuid, std::uint32_t& value) {
    record("PowerReadValueMin " + text(subgroup) + " " + text(settingGuid));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadValueMin") || !t || !t->min) return 2;
    value = *t->min;
    return 0;
}

std::uint32_t SimWindows::PowerReadPossibleFriendlyName(const Guid* subgroup, const Guid* settingGuid,
                                                        std::uint32_t index, std::uint8_t* buffer,
                                                        std::uint32_t* bufferSize) {
    record("PowerReadPossibleFriendlyName " + text(subgroup) + " " + text(settingGuid) + " " + std::to_string(index) +
           " " + std::to_string(bufferSize ? *bufferSize : 0));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadPossibleFriendlyName") || !t || index >= t->possible.size()) return 2;
    return copyOut(t->possible[index].name, buffer, bufferSize);
}

std::uint32_t SimWindows::PowerReadPossibleDescription(const Guid* subgroup, const Guid* settingGuid,
                                                       std::uint32_t index, std::uint8_t* buffer,
                                                       std::uint32_t* bufferSize) {
    record("PowerReadPossibleDescription " + text(subgroup) + " " + text(settingGuid) + " " + std::to_string(index) +
           " " + std::to_string(bufferSize ? *bufferSize : 0));
    SimSetting* t = setting(subgroup, settingGuid);
    if (fails("PowerReadPossibleDescription") || !t || index >= t->possible.size()) return 2;
    return copyOut(t->possible[index].description, buffer, bufferSize);
}

std::uint32_t SimWindows::PowerDuplicateScheme(const Guid& source, Guid& created) {
    record("PowerDuplicateScheme " + text(&source));
    SimScheme* s = scheme(source);
    if (fails("PowerDuplicateScheme") || !s) return 2;
    char guid[40];
    std::snprintf(guid, sizeof guid, "{5354454c-4d4b-4000-8000-%012x}", nextCreated++);
    SimScheme copy = *s;
    copy.guid = platform::guidFromText(guid);
    copy.enumerated = true;
    schemes.push_back(copy);
    created = copy.guid;
    return 0;
}

std::uint32_t SimWindows::PowerWriteFriendlyName(const Guid* schemeGuid, const Guid* subgroup, const Guid* settingGuid,
                                                 const std::uint8_t* buffer, std::uint32_t bufferSize) {
    std::u16string name(bufferSize / 2, u'\0');
    if (bufferSize >= 2) std::memcpy(name.data(), buffer, name.size() * 2);
    if (!name.empty() && name.back() == u'\0') name.pop_back();
    record("PowerWriteFriendlyName " + text(schemeGuid) + " " + text(subgroup) + " " + text(settingGuid) + " " +
           std::to_string(bufferSize) + " " + utf8(name));
    SimScheme* s = schemeGuid ? scheme(*schemeGuid) : nullptr;
    if (fails("PowerWriteFriendlyName") || !s) return 2;
    s->name = name;
    return 0;
}

// ---- shell ----

void SimWindows::ShellExecuteW(platform::Window owner, const char16_t* verb, const char16_t* file,
                               const char16_t* parameters, const char16_t* directory, int showCommand) {
    auto show = [](const char16_t* s) { return s ? utf8(s) : std::string("null"); };
    char h[32];
    std::snprintf(h, sizeof h, "%#llx", static_cast<unsigned long long>(owner));
    record(std::string("ShellExecuteW ") + h + " " + show(verb) + " " + show(file) + " [" + show(parameters) + "] [" +
           show(directory) + "] " + std::to_string(showCommand));
}

// ---- local machine's registry ----

platform::RegistryKey SimWindows::OpenKeyReadOnly(const std::u16string& path) {
    record("RegOpenKeyExW " + utf8(path));
    const auto it = machineKeys.find(path);
    if (fails("RegOpenKeyExW") || it == machineKeys.end()) return 0;
    openKeys_.push_back(&it->second);
    ++openMachineKeys;
    return openKeys_.size();
}

bool SimWindows::ValueExists(platform::RegistryKey key, const char16_t* name) {
    record("RegQueryValueExW " + utf8(name));
    return openKeys_.at(key - 1)->count(name) != 0;
}

std::u16string SimWindows::ReadString(platform::RegistryKey key, const char16_t* name) {
    const auto& values = *openKeys_.at(key - 1);
    const auto it = values.find(name);
    if (it == values.end() || !it->second.isString) throw std::runtime_error("Invalid data type for the registry value");
    return it->second.text;
}

void SimWindows::CloseKey(platform::RegistryKey key) {
    record("RegCloseKey");
    openKeys_.at(key - 1) = nullptr;
    --openMachineKeys;
}

}  // namespace sim
