#include "core/Settings.h"

#include "platform/Registry.h"
#include "support/SettingsHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace {

TEST(Settings, FirstStartCreatesTheKeysAndLoadsNothing) {
    fixtures::SettingsHome home;
    core::Calibration calibration;
    EXPECT_EQ(core::LoadSettings(calibration), "");
    EXPECT_EQ(calibration.nav, 0);
    EXPECT_EQ(calibration.nav2, 0);
    EXPECT_EQ(calibration.dolya, 0);
    for (int i = 0; i < core::CalibrationTable::kLevelCount; ++i) EXPECT_EQ(calibration.table[i].path, "");
    EXPECT_TRUE(platform::RegistryKey::Open(platform::RootKey::CurrentUser, "Software\\Tarnwick\\Velmora\\Ostrel"));
}

TEST(Settings, WhatIsSavedLoadsBack) {
    fixtures::SettingsHome home;
    core::Calibration saved;
    saved.nav = 0.1;
    saved.nav2 = 1e-7;
    saved.dolya = 96.5;
    for (int i = 0; i < core::CalibrationTable::kLevelCount; ++i)
        saved.table[i].path = "/srv/data/уровень " + std::to_string(i) + ".stg";
    EXPECT_TRUE(core::SaveSettings(saved, "wine"));

    core::Calibration loaded;
    EXPECT_EQ(core::LoadSettings(loaded), "wine");
    EXPECT_EQ(loaded.nav, 0.1);
    EXPECT_EQ(loaded.nav2, 1e-7);
    EXPECT_EQ(loaded.dolya, 96.5);
    for (int i = 0; i < core::CalibrationTable::kLevelCount; ++i) EXPECT_EQ(loaded.table[i].path, saved.table[i].path);
    const std::string hive = fixtures::ReadFileBytes(home.UserHive());
    EXPECT_NE(hive.find("\"1\"=\"/srv/data/уровень 0.stg\"\n"), std::string::npos) << hive;
    EXPECT_NE(hive.find("\"5\"=\"/srv/data/уровень 4.stg\"\n"), std::string::npos) << hive;

    // Closing after the levels were cleared stores five empty paths.
    saved.table.ResetLevels();
    EXPECT_TRUE(core::SaveSettings(saved, ""));
    EXPECT_EQ(core::LoadSettings(loaded), "");
    for (int i = 0; i < core::CalibrationTable::kLevelCount; ++i) EXPECT_EQ(loaded.table[i].path, "");
}

TEST(Settings, AMissingInputKeepsItsValue) {
    fixtures::SettingsHome home;
    home.WriteUserHive(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
        "\"nav2\"=hex:00,00,00,00,00,00,00,40\n"
        "\"dolya\"=\"96\"\n"
        "\"3\"=\"/srv/data/b.stg\"\n");
    core::Calibration calibration;
    calibration.nav = 5;
    calibration.dolya = 7;
    calibration.table[0].path = "/old.stg";
    EXPECT_EQ(core::LoadSettings(calibration), "");
    EXPECT_EQ(calibration.nav, 5);
    EXPECT_EQ(calibration.nav2, 2);
    EXPECT_EQ(calibration.dolya, 7) << "a text is not a double";
    EXPECT_EQ(calibration.table[0].path, "") << "a missing path is empty";
    EXPECT_EQ(calibration.table[2].path, "/srv/data/b.stg");
}

// Settings that cannot be stored are reported as such, and nothing is half-written. The ways
// chosen fail for root as well: the suite may run as root, whom permissions do not stop.
TEST(Settings, SavingReportsAStoreThatCannotBeWritten) {
    core::Calibration calibration;
    calibration.nav = 1.5;
    const std::vector<std::pair<const char*, std::function<void(const fixtures::SettingsHome&)>>> breaks = {
        {"the folder is a link to nowhere", [](const fixtures::SettingsHome& home) { home.BreakUserFolder(); }},
        {"the configuration folder is a file",
         [](const fixtures::SettingsHome& home) {
             ::setenv("XDG_CONFIG_HOME", home.Dir().WriteFile("config-file", "x").c_str(), 1);
         }},
        {"the hive is a folder", [](const fixtures::SettingsHome& home) { home.Dir().MakeFolder("user/Tarnwick/registry.reg"); }},
    };
    for (const auto& [what, breakStore] : breaks) {
        SCOPED_TRACE(what);
        fixtures::SettingsHome home;
        breakStore(home);
        EXPECT_FALSE(core::SaveSettings(calibration, "wine"));
        core::Calibration loaded;
        EXPECT_EQ(core::LoadSettings(loaded), "");
        EXPECT_EQ(loaded.nav, 0);
    }
}

}  // namespace
