#include "core/Settings.h"

#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"

namespace core {

namespace {

// The value that holds the path of level `index`: "1" for the blank up to "5".
std::string LevelValueName(int index) { return std::to_string(index + 1); }

}  // namespace

std::string LoadSettings(Calibration& calibration, platform::SectionReading reading) {
    const platform::XTPRegistryManager registry(platform::RootKey::CurrentUser, reading);
    registry.GetDoubleValue(kSettingsSection, "nav", calibration.nav);
    registry.GetDoubleValue(kSettingsSection, "nav2", calibration.nav2);
    registry.GetDoubleValue(kSettingsSection, "dolya", calibration.dolya);
    std::string methodTitle = registry.GetStringValue(kSettingsSection, "mtd", "");
    for (int i = 0; i < CalibrationTable::kLevelCount; ++i)
        calibration.table[i].path = registry.GetStringValue(kSettingsSection, LevelValueName(i), "");
    return methodTitle;
}

bool SaveSettings(const Calibration& calibration, std::string_view methodTitle, int* systemError) {
    const platform::XTPRegistryManager registry;
    // Every value is tried, so that one that fails costs no other.
    bool stored = true;
    int firstError = 0;
    const auto note = [&](bool written) {
        if (!written && stored) firstError = platform::LastHiveWriteError();
        stored &= written;
    };
    note(registry.SetDoubleValue(kSettingsSection, "nav", calibration.nav));
    note(registry.SetDoubleValue(kSettingsSection, "nav2", calibration.nav2));
    note(registry.SetDoubleValue(kSettingsSection, "dolya", calibration.dolya));
    note(registry.SetStringValue(kSettingsSection, "mtd", methodTitle));
    for (int i = 0; i < CalibrationTable::kLevelCount; ++i)
        note(registry.SetStringValue(kSettingsSection, LevelValueName(i), calibration.table[i].path));
    if (systemError) *systemError = stored ? 0 : firstError;
    return stored;
}

}  // namespace core
