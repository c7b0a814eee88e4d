#pragma once

#include <array>
#include <string>
#include <vector>

// The demonstration profile a newcomer starts the program on (tools/ostrel-demo) and the dialog
// tests start from: a complete, realistic calibration the program shows at once.
//
//     FOLDER/chromatograms/  the five calibration runs (calibration-0.stg ... calibration-0.5.stg,
//                            sample "Градуировка 0.05" and so on, recorded 7 seconds apart) and two
//                            analyses of the next day
//     FOLDER/methods/        "Этанол.mtd" with an ethanol record, "Метанол.mtd" and
//                            "Сивушные масла.mtd" without one
//     FOLDER/config/         the per-user hive (point XDG_CONFIG_HOME here): the five level paths,
//                            the three masses, the method title "Этанол", "MethodPath", and where
//                            the open dialog starts (root mode, the chromatogram folder)
//     FOLDER/machine/        the machine hive (point XDG_CONFIG_DIRS here): "OpenPath" = FOLDER and
//                            the lab's name "LabName" (kDemoLabName), which heads its protocols
//
// Writing replaces the files of an earlier profile in the same folder, so every run starts from
// the same state; anything else in the folder is left alone.
namespace fixtures {

inline constexpr const char* kDemoLabName = "Испытательная лаборатория ООО «Пример»";

struct DemoProfile {
    std::string folder;         // absolute
    std::string chromatograms;  // folder of the .stg files
    std::string methods;        // the method folder
    std::string userConfig;     // XDG_CONFIG_HOME
    std::string machineConfig;  // XDG_CONFIG_DIRS
    std::array<std::string, 5> levelPaths;  // the chromatograms of levels 0 to 4
    std::vector<std::string> analysisPaths;
    double nav = 0, nav2 = 0, dolya = 0;
    std::string methodTitle;  // the method the profile has chosen

    std::string MethodFile(const std::string& title) const { return methods + "/" + title + ".mtd"; }
    std::string UserHive() const { return userConfig + "/Tarnwick/registry.reg"; }
};

// The method file of the demo's ethanol method as written, and the offset of its ethanol record
// (the key 06 FD F2 E0 ED EE EB).
std::string DemoEthanolMethod();
std::size_t DemoEthanolRecordOffset();

// Writes the profile into `folder` (created if need be). The per-user hive is written through the
// settings store itself, with XDG_CONFIG_HOME and the registry key name set for the call and put
// back afterwards. Throws std::runtime_error when a file cannot be written.
DemoProfile WriteDemoProfile(const std::string& folder);

}  // namespace fixtures
