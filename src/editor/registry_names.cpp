#include "editor/registry_names.h"

#include <algorithm>

namespace editor {

using platform::Guid;
using platform::MachineRegistry;
using platform::RegistryKey;

namespace {

constexpr std::size_t kMaxChars = kTextUnits - 1;

// One key opened read-only for one look-up, closed however the look-up ends.
class OpenKey {
public:
    OpenKey(MachineRegistry& registry, const std::u16string& path)
        : registry_(registry), key_(registry.OpenKeyReadOnly(path)) {}
    ~OpenKey() {
        if (key_) registry_.CloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    bool opened() const { return key_ != 0; }
    bool has(const char16_t* name) { return registry_.ValueExists(key_, name); }
    std::u16string read(const char16_t* name) { return StripIndirectPrefix(registry_.ReadString(key_, name)); }

private:
    MachineRegistry& registry_;
    RegistryKey key_;
};

std::u16string keyOf(const Guid& subgroup) { return kPowerSettingsPath + GuidKeyText(subgroup); }
std::u16string keyOf(const Guid& subgroup, const Guid& setting) {
    return keyOf(subgroup) + u"\\" + GuidKeyText(setting);
}

// The value's reduced text into the buffer, when the key and the value exist.
void lookUp(MachineRegistry& registry, const std::u16string& path, const char16_t* value, TextBuffer& buffer) {
    OpenKey key(registry, path);
    if (!key.opened() || !key.has(value)) return;
    FillBuffer(buffer, key.read(value));
}

bool isSeparator(char16_t c) { return c == u',' || c == u';'; }

}  // namespace

std::u16string StripIndirectPrefix(std::u16string_view text) {
    std::u16string_view result = text;
    if (!text.empty() && text[0] == u'@') {
        std::size_t first = 1;
        while (first < text.size() && !isSeparator(text[first])) ++first;
        std::size_t second = first + 1;
        while (second < text.size() && !isSeparator(text[second])) ++second;
        // A reference without its two separators carries no plain text: keep it whole.
        if (second < text.size()) result = text.substr(second + 1);
    }
    TextBuffer cut;
    FillBuffer(cut, result);
    return BufferText(cut);
}

std::u16string GuidKeyText(const Guid& g) {
    const std::string braced = platform::guidToText(g);
    std::u16string out;
    for (std::size_t i = 1; i + 1 < braced.size(); ++i) {
        const char c = braced[i];
        out += static_cast<char16_t>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
    }
    return out;
}

std::u16string BufferText(const TextBuffer& buffer) {
    const auto* end = std::find(buffer, buffer + kTextUnits, u'\0');
    return std::u16string(buffer, end);
}

void FillBuffer(TextBuffer& buffer, std::u16string_view text) {
    std::size_t n = std::min(text.size(), kMaxChars);
    // Never half a character: a cut between the two halves of a pair drops both.
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    std::copy_n(text.begin(), n, buffer);
    std::fill(buffer + n, buffer + kTextUnits, u'\0');
}

void RegistrySubgroupName(MachineRegistry& registry, const Guid& subgroup, TextBuffer& buffer) {
    lookUp(registry, keyOf(subgroup), u"FriendlyName", buffer);
}

void RegistrySettingName(MachineRegistry& registry, const Guid& subgroup, const Guid& setting, TextBuffer& buffer) {
    lookUp(registry, keyOf(subgroup, setting), u"FriendlyName", buffer);
}

void RegistrySettingDescription(MachineRegistry& registry, const Guid& subgroup, const Guid& setting,
                                TextBuffer& buffer) {
    lookUp(registry, keyOf(subgroup, setting), u"Description", buffer);
}

bool RegistryPossibleValue(MachineRegistry& registry, const Guid& subgroup, const Guid& setting, std::uint32_t index,
                           TextBuffer& buffer) {
    std::u16string path = keyOf(subgroup, setting) + u"\\";
    for (char c : std::to_string(index)) path += static_cast<char16_t>(c);
    OpenKey key(registry, path);
    if (!key.opened()) return false;
    if (!key.has(u"FriendlyName")) return true;
    std::u16string text = key.read(u"FriendlyName");
    if (key.has(u"Description")) text += u" - " + key.read(u"Description");
    FillBuffer(buffer, text);
    return true;
}

}  // namespace editor
