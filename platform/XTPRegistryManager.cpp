#include "platform/XTPRegistryManager.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace platform {

namespace {

using platform::RegistryKey;
using platform::RegistryValue;

// A C string's text: everything before its first zero.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string StoredString(std::string_view text) {
    std::string bytes(UpToZero(text));
    bytes.push_back('\0');
    return bytes;
}

bool IsStoredString(const std::optional<RegistryValue>& value) {
    return value && value->type == platform::REG_SZ && !value->data.empty();
}

bool StartsWithRoot(std::string_view section, std::string_view root) {
    if (section.size() < root.size()) return false;
    for (size_t i = 0; i < root.size(); ++i)
        if ((section[i] & ~0x20) != root[i]) return false;
    return section.size() == root.size() || section[root.size()] == '\\';
}

}  // namespace

std::optional<RegistryKey> XTPRegistryManager::OpenSection(std::string_view section,
                                                           RegistryKey::Access access) const {
    const bool create = access == RegistryKey::Access::ReadWrite || reading_ == SectionReading::CreateMissingKeys;
    const auto open = [&](platform::RootKey root, std::string_view path) {
        return create ? RegistryKey::Create(root, path, access) : RegistryKey::Open(root, path, access);
    };
    for (const auto& [prefix, root] : {std::pair{"HKCU", platform::RootKey::CurrentUser},
                                       std::pair{"HKLM", platform::RootKey::LocalMachine}}) {
        if (StartsWithRoot(section, prefix)) {
            section.remove_prefix(std::min(section.size(), std::string_view(prefix).size() + 1));
            return open(root, section);
        }
    }
    const std::string application = platform::ApplicationKeyPath();
    if (application.empty()) return std::nullopt;
    // "Software" exists in every Windows profile; a fresh hive has none, so it is created like
    // the keys below it.
    std::string path = application;
    if (!section.empty()) path += "\\" + std::string(section);
    return open(root_, path);
}

std::string XTPRegistryManager::GetStringValue(std::string_view section, std::string_view name,
                                               std::string_view defaultValue) const {
    std::string text;
    if (const auto key = OpenSection(section, RegistryKey::Access::Read))
        ReadRegString(text, *key, name, defaultValue);
    else
        text = defaultValue;
    return text;
}

bool XTPRegistryManager::SetStringValue(std::string_view section, std::string_view name,
                                        std::string_view text) const {
    const auto key = OpenSection(section, RegistryKey::Access::ReadWrite);
    return key && WriteRegString(*key, name, text);
}

bool XTPRegistryManager::GetDoubleValue(std::string_view section, std::string_view name,
                                        double& value) const {
    const auto key = OpenSection(section, RegistryKey::Access::Read);
    if (!key) return false;
    const std::optional<RegistryValue> stored = key->Query(name);
    if (!stored || stored->type != platform::REG_BINARY || stored->data.size() != sizeof(double))
        return false;
    value = std::bit_cast<double>(FromLittleEndian(stored->data));
    return true;
}

bool XTPRegistryManager::SetDoubleValue(std::string_view section, std::string_view name,
                                        double value) const {
    const auto key = OpenSection(section, RegistryKey::Access::ReadWrite);
    return key && key->Set(name, platform::REG_BINARY,
                           LittleEndianBytes(std::bit_cast<std::uint64_t>(value), sizeof(double)));
}

bool WriteRegDword(const RegistryKey& key, std::string_view name, std::uint32_t value) {
    return key.Set(name, platform::REG_DWORD, LittleEndianBytes(value, 4));
}

bool WriteRegString(const RegistryKey& key, std::string_view name, std::string_view text) {
    return key.Set(name, platform::REG_SZ, StoredString(text));
}

std::uint32_t ReadRegDword(const RegistryKey& key, std::string_view name, std::uint32_t defaultValue) {
    const std::optional<RegistryValue> stored = key.Query(name);
    if (!stored || stored->type != platform::REG_DWORD || stored->data.size() != 4) return defaultValue;
    return static_cast<std::uint32_t>(FromLittleEndian(stored->data));
}

void ReadRegString(std::string& out, const RegistryKey& key, std::string_view name,
                   std::string_view defaultValue) {
    const std::optional<RegistryValue> stored = key.Query(name);
    out = IsStoredString(stored) ? std::string(UpToZero(stored->data)) : std::string(defaultValue);
}

}  // namespace platform
