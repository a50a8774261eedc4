// Names and descriptions of power subgroups, settings and possible values, read from
// the operating system's own power-settings key of the local machine. The power
// service names these in the user's language; the key holds the English texts, some
// of them as indirect references ("@file,-id,text") of which only the text is kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/guid.h"
#include "platform/platform.h"

namespace editor {

// Every look-up writes into its caller's buffer of 256 UTF-16 units (255 characters
// and a terminating zero); finding nothing leaves the buffer as it was, so the
// caller's default text stands.
constexpr std::size_t kTextUnits = 256;
using TextBuffer = char16_t[kTextUnits];

inline constexpr char16_t kPowerSettingsPath[] = u"\\SYSTEM\\CurrentControlSet\\Control\\Power\\PowerSettings\\";

// The text behind an indirect reference: what follows the second comma or semicolon
// of a text that starts with "@"; any other text whole. Cut to 255 characters.
std::u16string StripIndirectPrefix(std::u16string_view text);

// The GUID as the key names it: upper-case digits without braces.
std::u16string GuidKeyText(const platform::Guid& g);

void RegistrySubgroupName(platform::MachineRegistry& registry, const platform::Guid& subgroup, TextBuffer& buffer);
void RegistrySettingName(platform::MachineRegistry& registry, const platform::Guid& subgroup,
                         const platform::Guid& setting, TextBuffer& buffer);
void RegistrySettingDescription(platform::MachineRegistry& registry, const platform::Guid& subgroup,
                                const platform::Guid& setting, TextBuffer& buffer);
// The name of possible value `index`, followed by " - " and its description when the
// key has one. True when the key of that index exists.
bool RegistryPossibleValue(platform::MachineRegistry& registry, const platform::Guid& subgroup,
                           const platform::Guid& setting, std::uint32_t index, TextBuffer& buffer);

// The text of a buffer up to its first zero (all of it when there is none).
std::u16string BufferText(const TextBuffer& buffer);
// The text into the buffer from its start, cut to 255 characters, the rest zero.
void FillBuffer(TextBuffer& buffer, std::u16string_view text);

}  // namespace editor
