#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Typed access to the settings store (platform/Registry.h) in the manner of the program's
// registry manager: values below the application key Software\<registry key>\<profile name>,
// whose names the application object sets with platform::SetRegistryKeyName and
// platform::SetProfileName at start-up.
//
// A value read back must have the type and size the program stores; anything else (a "nav"
// stored as text, a binary value of 7 or 9 bytes, a DWORD of 8 bytes, a string of no bytes) reads
// as missing, so the default stands. A string is read up to its first zero byte, or whole when it
// has none; it is stored with its terminating zero.
namespace platform {

// How a read opens its section. The program's manager creates the keys that are missing, for
// reading as for writing, so that the first start leaves the (empty) keys behind as the data
// system's programs do. A reader that must leave the settings files as they are (ostrel-cli)
// opens existing keys only; a missing key then reads as missing values. Writes always create.
enum class SectionReading { CreateMissingKeys, ExistingKeysOnly };

class XTPRegistryManager {
public:
    // Only the two roots of the store exist, so any root is one the manager accepts.
    explicit XTPRegistryManager(platform::RootKey root = platform::RootKey::CurrentUser,
                                SectionReading reading = SectionReading::CreateMissingKeys)
        : root_(root), reading_(reading) {}

    // The section is a subkey of the application key; "" names the application key itself.
    // A section that begins with "HKCU\" or "HKLM\" is instead a path below that root.
    // Opening a section for a write creates the keys that are missing; for a read, as the
    // manager's SectionReading says.

    // The stored REG_SZ text, or `defaultValue` when the key cannot be opened or the value is
    // missing or not a string.
    std::string GetStringValue(std::string_view section, std::string_view name,
                               std::string_view defaultValue) const;
    // Stores the text (up to a zero it may hold) as REG_SZ with its terminating zero.
    bool SetStringValue(std::string_view section, std::string_view name, std::string_view text) const;
    // Reads an 8-byte REG_BINARY into `value`; false, and `value` unchanged, otherwise.
    bool GetDoubleValue(std::string_view section, std::string_view name, double& value) const;
    // Stores the 8 bytes of `value` (IEEE 754, little-endian) as REG_BINARY.
    bool SetDoubleValue(std::string_view section, std::string_view name, double value) const;

private:
    std::optional<platform::RegistryKey> OpenSection(std::string_view section,
                                                     platform::RegistryKey::Access access) const;

    platform::RootKey root_;
    SectionReading reading_;
};

// Value functions on a key the caller has opened (platform::RegistryKey::Open or ::Create).
// Writes return whether the value was stored.
bool WriteRegDword(const platform::RegistryKey& key, std::string_view name, std::uint32_t value);
// Stored as REG_SZ with its terminating zero (the text is taken up to a zero it may hold).
bool WriteRegString(const platform::RegistryKey& key, std::string_view name, std::string_view text);
// The stored value if it is a REG_DWORD of 4 bytes; otherwise `defaultValue`.
std::uint32_t ReadRegDword(const platform::RegistryKey& key, std::string_view name,
                           std::uint32_t defaultValue);
// `out` := the stored text if the value is a REG_SZ of at least one byte (up to its first zero);
// otherwise `defaultValue`.
void ReadRegString(std::string& out, const platform::RegistryKey& key, std::string_view name,
                   std::string_view defaultValue);

}  // namespace platform
