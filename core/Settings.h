#pragma once

#include "core/Calc.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"

#include <string>
#include <string_view>

// The settings that survive between runs, in the section "Ostrel" of the application key:
// "nav", "nav2", "dolya" (8-byte binary doubles), "mtd" (the chosen method's title) and "1" to
// "5" (the chromatogram paths of levels 0 to 4).
namespace core {

// The data system's key, Software\Tarnwick\Velmora: the registry key and profile name that the
// application object sets at start-up (and every other front end with it).
inline constexpr const char* kRegistryKey = "Tarnwick";
inline constexpr const char* kProfileName = "Velmora";
inline void UseApplicationRegistryKey() {
    platform::SetRegistryKeyName(kRegistryKey);
    platform::SetProfileName(kProfileName);
}

inline constexpr const char* kSettingsSection = "Ostrel";

// Reads the inputs and the level paths into `calibration`; an input whose value is missing keeps
// what it holds, a missing path becomes empty. Returns the stored method title ("" if none).
// The dialog's load creates the settings keys that are missing; ExistingKeysOnly never writes.
std::string LoadSettings(Calibration& calibration,
                         platform::SectionReading reading = platform::SectionReading::CreateMissingKeys);

// Writes the three inputs, the method title and the five level paths (empty ones included).
// Returns whether every value was stored; on false (a folder that cannot be written, a full disk,
// a hive that cannot be read) the values that could be written are, and the others keep what
// the store held. The caller tells the operator: nothing else does. On false `systemError`, when
// given, receives the system's reason for the first value that failed (an errno value, 0 when
// none is known).
[[nodiscard]] bool SaveSettings(const Calibration& calibration, std::string_view methodTitle,
                                int* systemError = nullptr);

}  // namespace core
