// One key of the current user's registry with typed reads and writes. The reads fail
// as the runtime's registry class does: a missing value, a value of another type or
// one larger than its buffer fails, except that a missing or empty text reads as
// empty. Nothing here throws; every failure is a false result.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform {

class RegistryAccessor {
public:
    explicit RegistryAccessor(UserRegistry& registry) : registry_(registry) {}
    ~RegistryAccessor() { close(); }
    RegistryAccessor(const RegistryAccessor&) = delete;
    RegistryAccessor& operator=(const RegistryAccessor&) = delete;

    // The key path is relative to HKEY_CURRENT_USER, e.g. "Software\\Vendor".
    bool keyExists(const char* path);
    // Creates the key with its parents; the accessor's open key is not changed.
    bool createKey(const char* path);
    // Read access (KEY_READ), no creation.
    bool openForReading(const char* path);
    // Full access (KEY_ALL_ACCESS), creating the key when missing.
    bool openWithCreate(const char* path);
    void close();

    // True when a value of that name can be queried, whatever its type.
    bool valueExists(const char* name);
    // REG_DWORD of at most 4 bytes (a shorter one fills the low bytes).
    bool readInteger(const char* name, std::int32_t& value);
    // REG_BINARY or REG_NONE of at most size bytes; a shorter value replaces only the
    // first bytes of the buffer.
    bool readBinary(const char* name, void* buffer, std::uint32_t size);
    // REG_SZ or REG_EXPAND_SZ (not expanded) as UTF-8, one trailing zero dropped; a
    // missing or empty value of any type is empty text.
    bool readText(const char* name, std::string& text);

    bool writeInteger(const char* name, std::int32_t value);
    bool writeBinary(const char* name, const void* data, std::uint32_t size);
    // REG_SZ in UTF-16 with its terminating zero.
    bool writeText(const char* name, const std::string& text);
    bool deleteValue(const char* name);

private:
    bool open(const char* path, std::uint32_t access, bool create);

    UserRegistry& registry_;
    Key key_ = 0;
    bool open_ = false;
};

}  // namespace platform
