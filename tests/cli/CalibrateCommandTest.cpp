#include "CliRun.h"
#include "cli/Json.h"
#include "support/DemoProfile.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "platform/LockedFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using clitest::Cli;
using clitest::CliResult;

std::string FreshLevel(const char* fraction) {
    return std::string("{\"fraction\": ") + fraction +
           ", \"sampleName\": \"Не задан\", \"path\": \"\", \"ethanolArea\": 0, \"standardArea\": 0, "
           "\"ethanolAmount\": 0, \"standardAmount\": 0, \"coefficient\": 0}";
}

std::string Stg(const fixtures::TempDir& dir, const std::string& name, const std::string& sample) {
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 4, 1, 0, 0, 2, 5, 2, 0};
    c.table.peaks = {fixtures::MakePeak(0, 4, "этанол"), fixtures::MakePeak(5, 9, "изопропанол")};
    c.passport.sampleName = sample;
    const std::string path = dir.Path() + "/" + name;
    fixtures::WriteStg(path, c);
    return path;
}

TEST(CalibrateCommand, FreshLevelsGiveTheEmptyCalibration) {
    fixtures::SettingsHome home;
    std::string noRetention = "[";
    for (int k = 0; k < 5; ++k) noRetention += std::string(k ? ", " : "") + "{\"time\": \"NaN\", \"shift\": \"NaN\"}";
    noRetention += "]";
    const CliResult run = Cli({"calibrate"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"levels\": [" + FreshLevel("0") + ", " + FreshLevel("0.05") + ", " + FreshLevel("0.1") +
                           ", " + FreshLevel("0.2") + ", " + FreshLevel("0.5") +
                           "], \"averageCoefficient\": 0, \"pointsX\": [\"NaN\", \"NaN\", \"NaN\", \"NaN\"], "
                           "\"pointsY\": [0, 0, 0, 0], \"lineX\": [], \"lineY\": [], "
                           "\"quality\": {\"deviations\": [\"NaN\", \"NaN\", \"NaN\", \"NaN\"], \"rsd\": \"NaN\", "
                           "\"spread\": \"NaN\", \"r2\": \"NaN\", \"blankRatio\": \"NaN\", \"complete\": false, "
                           "\"maxSpread\": 15, \"accepted\": false, \"problems\": [\"Уровень 0: хроматограмма не выбрана\", "
                           "\"Уровень 0.05: хроматограмма не выбрана\", \"Уровень 0.1: хроматограмма не выбрана\", "
                           "\"Уровень 0.2: хроматограмма не выбрана\", \"Уровень 0.5: хроматограмма не выбрана\"], "
                           "\"retention\": {\"этанол\": " + noRetention + ", \"изопропанол\": " + noRetention +
                           ", \"maxShift\": 2}}}\n");
    EXPECT_FALSE(fixtures::ReadFileBytes(home.UserHive()).size()) << "no settings read or written";
}

TEST(CalibrateCommand, AppliesTheOptionsInOrder) {
    fixtures::SettingsHome home;
    const std::string l1 = Stg(home.Dir(), "l1.stg", "Уровень \"1\"");
    const CliResult run = Cli({"calibrate", "--nav", "7", "--nav", "2.5", "--dolya", "9.6e1", "--nav2", " 3.5",
                               "--level", "1=" + l1, "--level", "3=" + l1, "--level", "3="});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"sampleName\": " + cli::JsonQuote("Уровень \"1\"") + ", \"path\": " + cli::JsonQuote(l1)),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"ethanolAmount\": " + cli::JsonDouble(2.5 * 96 * 0.05 / 1980000) +
                           ", \"standardAmount\": " + cli::JsonDouble(3.5 / 1980000)),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find(FreshLevel("0.2")), std::string::npos) << "level 3 emptied again";
}

TEST(CalibrateCommand, StartsFromTheStoredSettingsWithoutWritingThem) {
    fixtures::SettingsHome home;
    const std::string l2 = Stg(home.Dir(), "l2.stg", "Второй");
    const std::string l4 = Stg(home.Dir(), "l4.stg", "Четвёртый");
    const std::string hive = home.WriteUserHive(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\Ostrel]\n"
        "\"nav\"=hex:00,00,00,00,00,00,04,40\n"     // 2.5
        "\"nav2\"=hex:00,00,00,00,00,00,0c,40\n"    // 3.5
        "\"dolya\"=hex:00,00,00,00,00,00,58,40\n"   // 96
        "\"3\"=\"" + l2 + "\"\n"
        "\"5\"=\"" + l4 + "\"\n");
    const std::string before = fixtures::ReadFileBytes(hive);
    const CliResult run = Cli({"calibrate", "--stored", "--nav2", "7", "--level", "4="});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"sampleName\": \"Второй\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"ethanolAmount\": " + cli::JsonDouble(2.5 * 96 * 0.1 / 1980000) +
                           ", \"standardAmount\": " + cli::JsonDouble(7 / 1980000.0)),
              std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Четвёртый"), std::string::npos) << "level 4 emptied by the option";
    EXPECT_EQ(fixtures::ReadFileBytes(hive), before);

    EXPECT_EQ(Cli({"calibrate"}).out.find("Второй"), std::string::npos) << "without --stored, fresh levels";
}

// Reading the settings creates no key and no file: not on a first start, not in a hive that
// lacks the program's section.
TEST(CalibrateCommand, StoredSettingsThatAreMissingAreNotCreated) {
    for (const char* hive : {"", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick]\n"}) {
        fixtures::SettingsHome home;
        if (*hive) home.WriteUserHive(hive);
        const CliResult run = Cli({"calibrate", "--stored", "--nav", "2,5"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\"levels\": [" + FreshLevel("0") + ", "), std::string::npos) << run.out;
        EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), hive);
        EXPECT_EQ(std::filesystem::exists(home.UserHive()), *hive != 0);
    }
}

// The quality block ends the document: the demo calibration is accepted under the default limit,
// refused under the machine's own, and a level whose file is gone is named.
TEST(CalibrateCommand, JudgesTheCalibrationUnderTheMachinesLimit) {
    fixtures::SettingsHome home;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(home.Dir().Path() + "/demo");
    ::setenv("XDG_CONFIG_HOME", demo.userConfig.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", demo.machineConfig.c_str(), 1);
    const auto quality = [](const CliResult& run) {
        const size_t at = run.out.find("\"quality\": ");
        return at == std::string::npos ? std::string("<none>") : run.out.substr(at);
    };
    // From "complete" to the retention block.
    const auto tail = [&](const CliResult& run) {
        const std::string q = quality(run);
        const size_t at = q.find("\"complete\""), end = q.find(", \"retention\": ");
        return at == std::string::npos || end == std::string::npos ? std::string("<none>") : q.substr(at, end - at);
    };
    const auto retention = [&](const CliResult& run) {
        const std::string q = quality(run);
        const size_t at = q.find("\"retention\": ");
        return at == std::string::npos ? std::string("<none>") : q.substr(at);
    };

    const CliResult accepted = Cli({"calibrate", "--stored"});
    ASSERT_EQ(accepted.status, 0);
    EXPECT_EQ(quality(accepted).rfind("\"quality\": {\"deviations\": [-0.7399", 0), 0u) << quality(accepted);
    EXPECT_NE(quality(accepted).find("\"spread\": 1.585"), std::string::npos) << quality(accepted);
    EXPECT_EQ(tail(accepted), "\"complete\": true, \"maxSpread\": 15, \"accepted\": true, \"problems\": []");
    // The demo's runs find both peaks at the same times: every shift 0, under the default limit.
    EXPECT_EQ(retention(accepted).rfind("\"retention\": {\"этанол\": [{\"time\": 2.3", 0), 0u) << retention(accepted);
    EXPECT_NE(retention(accepted).find("\"изопропанол\": [{\"time\": 3.0999"), std::string::npos) << retention(accepted);
    EXPECT_NE(retention(accepted).find("\"shift\": 0}], \"maxShift\": 2}}}\n"), std::string::npos) << retention(accepted);

    std::ofstream(demo.machineConfig + "/Tarnwick/registry.reg", std::ios::app)
        << "\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\Velmora\\Ostrel]\n\"MaxSpread\"=\"1,5\"\n"
        << "\"MaxRetentionShift\"=\"0,5\"\n";
    const CliResult strict = Cli({"calibrate", "--stored"});
    EXPECT_EQ(tail(strict),
              "\"complete\": true, \"maxSpread\": 1.5, \"accepted\": false, "
              "\"problems\": [\"Разброс коэффициентов 1.585 % больше допустимого 1.5 %\"]");
    EXPECT_NE(retention(strict).find("\"maxShift\": 0.5}}}\n"), std::string::npos) << retention(strict);

    const CliResult gone = Cli({"calibrate", "--stored", "--level", "2=" + home.Dir().Path() + "/gone.stg"});
    EXPECT_EQ(tail(gone),
              "\"complete\": false, \"maxSpread\": 1.5, \"accepted\": false, \"problems\": [\"Уровень 0.1: "
              "ошибка чтения файла gone.stg: файл не найден\", \"Разброс коэффициентов 133.7 % больше допустимого 1.5 %\"]");
    EXPECT_NE(retention(gone).find("\"этанол\": [{\"time\": 2.3"), std::string::npos) << retention(gone);
    EXPECT_NE(retention(gone).find("}, {\"time\": \"NaN\", \"shift\": \"NaN\"}, {"), std::string::npos)
        << "level 0.1 has no peaks: " << retention(gone);
    EXPECT_NE(gone.out.find("\"path\": " + cli::JsonQuote(home.Dir().Path() + "/gone.stg")), std::string::npos)
        << "the path is kept";
    EXPECT_EQ(gone.status, 0) << "computed, though not accepted";

    // --check gates a script on the verdict; the JSON is printed all the same.
    const CliResult refused = Cli({"calibrate", "--stored", "--check"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("\"accepted\": false"), std::string::npos) << refused.out;
    EXPECT_EQ(Cli({"calibrate", "--stored", "--check", "--level", "2=" + home.Dir().Path() + "/gone.stg"}).status, 1);
    std::filesystem::remove(demo.machineConfig + "/Tarnwick/registry.reg");
    EXPECT_EQ(Cli({"calibrate", "--stored", "--check"}).status, 0) << "accepted under the default limit";
}

// A level whose file cannot be read says why: in its own "error" (as `read` says it), in the
// problem line and on standard error.
TEST(CalibrateCommand, SaysWhyALevelFileCannotBeRead) {
    fixtures::SettingsHome home;
    const std::string cut = Stg(home.Dir(), "cut.stg", "Обрезанный");
    std::filesystem::resize_file(cut, 1000);
    const std::string locked = Stg(home.Dir(), "locked.stg", "Занятый");
    const auto holder = platform::LockedFile::Open(locked, platform::LockedFile::Mode::ReadOnly);
    ASSERT_TRUE(holder.has_value());
    struct Case {
        std::string path;
        const char* error;  // the level's "error"; nullptr: any text
        const char* reason;
    };
    const Case cases[] = {
        {"/nonexistent.stg", "no such file", "файл не найден"},
        {cut, nullptr, "файл повреждён"},
        {locked, "locked by another program", "файл занят другой программой"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CliResult run = Cli({"calibrate", "--level", "1=" + c.path});
        EXPECT_EQ(run.status, 0);
        const nlohmann::json out = nlohmann::json::parse(run.out);
        const nlohmann::json& level = out["levels"][1];
        ASSERT_TRUE(level.contains("error")) << run.out;
        if (c.error) {
            EXPECT_EQ(level["error"], c.error);
        }
        EXPECT_FALSE(level["error"].get<std::string>().empty());
        EXPECT_FALSE(out["levels"][2].contains("error")) << "a level without a file has no error";
        EXPECT_EQ(out["quality"]["problems"][1],
                  "Уровень 0.05: ошибка чтения файла " + std::filesystem::path(c.path).filename().string() + ": " + c.reason);
        EXPECT_EQ(run.err, "ostrel-cli: level 1: " + c.path + ": " + level["error"].get<std::string>() + "\n");
    }
}

TEST(CalibrateCommand, RefusesBadOptions) {
    fixtures::SettingsHome home;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--nav"}, {"--nav", "inf"}, {"--nav2", "nan"}, {"--dolya", "0x10"}, {"--nav", "1e400"}, {"--nav", "x"}, {"--dolya", ""}, {"--level", "5=/x.stg"},
             {"--level", "1"}, {"--level", "1:/x.stg"}, {"--levels", "1=/x.stg"}, {"stored"}}) {
        std::vector<std::string> command{"calibrate"};
        command.insert(command.end(), args.begin(), args.end());
        const CliResult run = Cli(command);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

}  // namespace
