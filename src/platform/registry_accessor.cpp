#include "platform/registry_accessor.h"

#include <cstring>
#include <vector>

#include "platform/text.h"

namespace platform {

bool RegistryAccessor::keyExists(const char* path) {
    Key k = 0;
    if (registry_.RegOpenKeyExA(path, KEY_READ_, k) != 0) return false;
    registry_.RegCloseKey(k);
    return true;
}

bool RegistryAccessor::createKey(const char* path) {
    Key k = 0;
    if (registry_.RegCreateKeyExA(path, KEY_ALL_ACCESS_, k) != 0) return false;
    registry_.RegCloseKey(k);
    return true;
}

bool RegistryAccessor::openForReading(const char* path) { return open(path, KEY_READ_, false); }

bool RegistryAccessor::openWithCreate(const char* path) { return open(path, KEY_ALL_ACCESS_, true); }

bool RegistryAccessor::open(const char* path, std::uint32_t access, bool create) {
    close();
    Key k = 0;
    const std::int32_t rc = create ? registry_.RegCreateKeyExA(path, access, k) : registry_.RegOpenKeyExA(path, access, k);
    if (rc != 0) return false;
    key_ = k;
    open_ = true;
    return true;
}

void RegistryAccessor::close() {
    if (open_) registry_.RegCloseKey(key_);
    open_ = false;
    key_ = 0;
}

bool RegistryAccessor::valueExists(const char* name) {
    return open_ && registry_.RegQueryValueExA(key_, name, nullptr, nullptr, nullptr) == 0;
}

bool RegistryAccessor::readInteger(const char* name, std::int32_t& value) {
    if (!open_) return false;
    std::uint8_t data[4]{};
    std::uint32_t type = 0, size = sizeof data;
    if (registry_.RegQueryValueExA(key_, name, &type, data, &size) != 0 || type != REG_DWORD_) return false;
    std::memcpy(&value, data, sizeof data);
    return true;
}

bool RegistryAccessor::readBinary(const char* name, void* buffer, std::uint32_t size) {
    if (!open_) return false;
    std::vector<std::uint8_t> data(size);
    std::uint32_t type = 0, got = size;
    if (registry_.RegQueryValueExA(key_, name, &type, data.data(), &got) != 0) return false;
    if (type != REG_BINARY_ && type != REG_NONE_) return false;
    if (got > size) return false;
    if (got) std::memcpy(buffer, data.data(), got);
    return true;
}

bool RegistryAccessor::readText(const char* name, std::string& text) {
    if (!open_) return false;
    text.clear();
    std::uint32_t type = 0, size = 0;
    const std::int32_t rc = registry_.RegQueryValueExA(key_, name, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND_) return true;
    if (rc != 0) return false;
    if (size == 0) return true;
    if (type != REG_SZ_ && type != REG_EXPAND_SZ_) return false;
    // The value may grow between the two calls; the second call then fails.
    std::vector<std::uint8_t> data(size);
    if (registry_.RegQueryValueExA(key_, name, &type, data.data(), &size) != 0) return false;
    std::u16string units(size / 2, u'\0');
    if (!units.empty()) std::memcpy(units.data(), data.data(), units.size() * 2);
    if (!units.empty() && units.back() == u'\0') units.pop_back();
    text = utf16ToUtf8(units);
    return true;
}

bool RegistryAccessor::writeInteger(const char* name, std::int32_t value) {
    std::uint8_t data[4];
    std::memcpy(data, &value, sizeof data);
    return open_ && registry_.RegSetValueExA(key_, name, REG_DWORD_, data, sizeof data) == 0;
}

bool RegistryAccessor::writeBinary(const char* name, const void* data, std::uint32_t size) {
    return open_ && registry_.RegSetValueExA(key_, name, REG_BINARY_, static_cast<const std::uint8_t*>(data), size) == 0;
}

bool RegistryAccessor::writeText(const char* name, const std::string& text) {
    if (!open_) return false;
    const std::u16string units = utf8ToUtf16(text);  // c_str() carries the terminating zero
    const auto bytes = static_cast<std::uint32_t>((units.size() + 1) * sizeof(char16_t));
    std::vector<std::uint8_t> data(bytes);
    std::memcpy(data.data(), units.c_str(), bytes);
    return registry_.RegSetValueExA(key_, name, REG_SZ_, data.data(), bytes) == 0;
}

bool RegistryAccessor::deleteValue(const char* name) {
    return open_ && registry_.RegDeleteValueA(key_, name) == 0;
}

}  // namespace platform
