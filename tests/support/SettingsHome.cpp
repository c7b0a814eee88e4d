#include "support/SettingsHome.h"

#include "platform/Registry.h"

#include <cstdlib>
#include <filesystem>

namespace fixtures {

SettingsHome::SettingsHome() {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        savedEnvironment_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    savedKey_ = platform::RegistryKeyName();
    savedProfile_ = platform::ProfileName();
    ::setenv("XDG_CONFIG_HOME", dir_.MakeFolder("user").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (dir_.MakeFolder("machine") + ":" + dir_.MakeFolder("machine2")).c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir_.Path() + "/data").c_str(), 1);
    platform::SetRegistryKeyName("Tarnwick");
    platform::SetProfileName("Velmora");
}

SettingsHome::~SettingsHome() {
    for (const auto& [name, value] : savedEnvironment_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    platform::SetRegistryKeyName(savedKey_);
    platform::SetProfileName(savedProfile_);
}

std::string SettingsHome::UserHive() const { return dir_.Path() + "/user/Tarnwick/registry.reg"; }

void SettingsHome::BreakUserFolder() const {
    const std::filesystem::path folder = dir_.Path() + "/user/Tarnwick";
    if (std::filesystem::exists(folder)) std::filesystem::rename(folder, dir_.Path() + "/user/Tarnwick.kept");
    std::filesystem::create_symlink(dir_.Path() + "/no such folder/Tarnwick", folder);
}

std::string SettingsHome::OstrelData() const { return dir_.Path() + "/data/Tarnwick/Ostrel"; }

std::string SettingsHome::WriteMachineHive(const std::string& text) const {
    return dir_.WriteFile("machine/Tarnwick/registry.reg", text);
}

std::string SettingsHome::WriteUserHive(const std::string& text) const {
    return dir_.WriteFile("user/Tarnwick/registry.reg", text);
}

}  // namespace fixtures
