#pragma once

#include "support/TempDir.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A private settings store for one test: XDG_CONFIG_HOME, XDG_CONFIG_DIRS and XDG_DATA_HOME
// point into a temporary folder (never at the real ~/.config or ~/.local/share), and the registry
// key and profile name are the data system's ("Tarnwick", "Velmora"). Everything, HOME included,
// is put back when the object goes.
namespace fixtures {

class SettingsHome {
public:
    SettingsHome();
    ~SettingsHome();
    SettingsHome(const SettingsHome&) = delete;
    SettingsHome& operator=(const SettingsHome&) = delete;

    // The per-user hive file (it may not exist yet).
    std::string UserHive() const;
    // Writes the per-machine hive file with `text`; returns its path.
    std::string WriteMachineHive(const std::string& text) const;
    // Writes the per-user hive file with `text`; returns its path.
    std::string WriteUserHive(const std::string& text) const;

    // Makes the per-user settings folder unwritable for every user, root included (permissions
    // would not stop root): the folder becomes a symbolic link to nowhere, so that neither it nor
    // a file in it can be created. What it held is kept beside it as "Tarnwick.kept".
    void BreakUserFolder() const;
    // Where the program keeps method copies and the audit trail ($XDG_DATA_HOME/Tarnwick/Ostrel).
    std::string OstrelData() const;

    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
    std::string savedKey_, savedProfile_;
};

}  // namespace fixtures
