#include "CliRun.h"
#include "support/DemoProfile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;
using clitest::PngSize;
using nlohmann::json;

TEST(PlotCommand, DrawsADemoChromatogramAndSaysWhatItDrew) {
    fixtures::TempDir dir;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(dir.Path() + "/demo");
    const std::string png = dir.Path() + "/plot.png";

    const CliResult whole = Cli({"plot", demo.levelPaths[4], "--png", png, "--size", "400x250"});
    ASSERT_EQ(whole.status, 0) << whole.out;
    EXPECT_EQ(PngSize(fixtures::ReadFileBytes(png)), (std::pair<std::uint32_t, std::uint32_t>{400, 250}));
    const json all = json::parse(whole.out);
    EXPECT_TRUE(all["ok"].get<bool>());
    const auto total = all["samples"]["total"].get<std::int64_t>();
    EXPECT_GT(total, 100);
    EXPECT_EQ(all["samples"]["drawn"].get<std::int64_t>(), total);
    const double from = all["timeRange"][0], to = all["timeRange"][1];
    ASSERT_LT(from, to);
    std::vector<std::string> filled;
    for (const json& peak : all["peaks"])
        if (peak["filled"].get<bool>()) filled.push_back(peak["name"]);
    EXPECT_EQ(filled, (std::vector<std::string>{"этанол", "изопропанол"}));
    ASSERT_GT(all["peaks"].size(), filled.size()) << "the demo has unnamed peaks too";

    // A part of the run: fewer samples, only the peaks that reach into it.
    const double a = all["peaks"][1]["startTime"], b = all["peaks"][1]["endTime"];
    const CliResult part = Cli({"plot", demo.levelPaths[4], "--png", png, "--from", std::to_string(a), "--to",
                                std::to_string(b)});
    ASSERT_EQ(part.status, 0) << part.out;
    const json some = json::parse(part.out);
    EXPECT_LT(some["samples"]["drawn"].get<std::int64_t>(), total);
    EXPECT_GT(some["samples"]["drawn"].get<std::int64_t>(), 0);
    EXPECT_NEAR(some["timeRange"][0].get<double>(), a, 1e-6);
    for (const json& peak : some["peaks"]) {
        EXPECT_LE(peak["startTime"].get<double>(), b);
        EXPECT_GE(peak["endTime"].get<double>(), a);
    }
    EXPECT_LT(some["peaks"].size(), all["peaks"].size());
    EXPECT_LT(some["valueRange"][1].get<double>(), all["valueRange"][1].get<double>() + 1e-9);
}

TEST(PlotCommand, RefusesWrongUseAndAFileItCannotRead) {
    fixtures::TempDir dir;
    const std::string damaged = dir.WriteFile("damaged.stg", "not a compound file");
    const std::string png = dir.Path() + "/plot.png";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"plot"}, {"plot", damaged}, {"plot", "--png", png}, {"plot", damaged, "--png"},
             {"plot", damaged, damaged, "--png", png}, {"plot", damaged, "--png", png, "--size", "0x5"},
             {"plot", damaged, "--png", png, "--from", "x"}, {"plot", damaged, "--png", png, "--to", "inf"},
             {"plot", damaged, "--png", png, "--from", "5", "--to", "5"}, {"plot", damaged, "--png", png, "--zoom"}}) {
        EXPECT_EQ(Cli(args).status, 2) << args.back();
    }
    const CliResult run = Cli({"plot", damaged, "--png", png});
    EXPECT_EQ(run.status, 1);
    const json result = json::parse(run.out);
    EXPECT_FALSE(result["ok"].get<bool>());
    EXPECT_EQ(result["error"], "Ошибка чтения");
    EXPECT_TRUE(fixtures::ReadFileBytes(png).empty());
}

// Under root or cron XDG_RUNTIME_DIR is unset: the drawing commands print nothing of Qt's, and
// every message they do print is the program's own, with its reason.
TEST(PlotCommand, StandardErrorHoldsOnlyTheProgramsOwnMessages) {
    fixtures::TempDir dir;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(dir.Path() + "/demo");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    const CliResult plot = Cli({"plot", demo.levelPaths[4], "--png", dir.Path() + "/plot.png"});
    const CliResult chart = Cli({"calibrate", "--level", "1=" + demo.levelPaths[1], "--chart", dir.Path() + "/c.png"});
    const CliResult nowhere = Cli({"plot", demo.levelPaths[4], "--png", "/nonexistent-dir/z.png"});
    const CliResult chartNowhere = Cli({"calibrate", "--chart", "/nonexistent-dir/c.png"});
    if (runtime) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    EXPECT_EQ(plot.status, 0);
    EXPECT_EQ(plot.err, "");
    EXPECT_EQ(chart.status, 0);
    EXPECT_EQ(chart.err, "");
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.err, "ostrel-cli: cannot write the picture: /nonexistent-dir/z.png: No such file or directory\n");
    EXPECT_EQ(chartNowhere.status, 1);
    EXPECT_EQ(chartNowhere.err, "ostrel-cli: cannot write the chart: /nonexistent-dir/c.png: No such file or directory\n");
}

// Several files: a picture each, named after the file, and their overlay as calibration levels;
// a file that cannot be read is named in both and fails the call, the others are drawn.
TEST(PlotCommand, DrawsEachFileIntoAFolderAndTheirOverlay) {
    fixtures::TempDir dir;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(dir.Path() + "/demo");
    const std::string pictures = dir.Path() + "/pictures", overlay = dir.Path() + "/overlay.png";
    std::vector<std::string> args{"plot"};
    args.insert(args.end(), demo.levelPaths.begin(), demo.levelPaths.end());
    args.insert(args.end(), {"--png-dir", pictures, "--overlay", overlay, "--size", "600x400"});

    const CliResult run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const json result = json::parse(run.out);
    EXPECT_TRUE(result["ok"].get<bool>());
    ASSERT_EQ(result["files"].size(), 5u);
    const char* fractions[] = {"0", "0.05", "0.1", "0.2", "0.5"};
    for (std::size_t k = 0; k < 5; ++k) {
        const json& file = result["files"][k];
        const std::string png = pictures + "/calibration-" + fractions[k] + ".png";
        EXPECT_EQ(file["path"], demo.levelPaths[k]);
        EXPECT_EQ(file["png"], png);
        EXPECT_GT(file["samples"]["total"].get<std::int64_t>(), 100);
        EXPECT_EQ(PngSize(fixtures::ReadFileBytes(png)), (std::pair<std::uint32_t, std::uint32_t>{600, 400})) << png;
        EXPECT_EQ(result["overlay"]["legend"][k], std::string("Уровень ") + fractions[k] + ": Градуировка " +
                                                      fractions[k] + " (calibration-" + fractions[k] + ".stg)");
    }
    EXPECT_TRUE(result["overlay"]["ok"].get<bool>());
    EXPECT_EQ(PngSize(fixtures::ReadFileBytes(overlay)), (std::pair<std::uint32_t, std::uint32_t>{600, 400}));

    const std::string damaged = dir.WriteFile("damaged.stg", "not a compound file");
    const CliResult partly = Cli({"plot", demo.levelPaths[1], damaged, "--overlay", overlay});
    EXPECT_EQ(partly.status, 1);
    const json some = json::parse(partly.out);
    EXPECT_FALSE(some["ok"].get<bool>());
    EXPECT_TRUE(some["files"][0]["ok"].get<bool>());
    EXPECT_FALSE(some["files"][0].contains("png")) << "no picture of its own without --png-dir";
    EXPECT_EQ(some["files"][1]["error"], "Ошибка чтения");
    EXPECT_EQ(some["overlay"]["legend"][1], "Уровень 0.05: ошибка чтения файла damaged.stg (not a compound file)");
    EXPECT_TRUE(some["overlay"]["ok"].get<bool>());

    const std::string other = dir.Path() + "/other";
    std::filesystem::create_directory(other);
    std::filesystem::copy_file(demo.levelPaths[1], other + "/calibration-0.05.stg");
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"plot", demo.levelPaths[1], other + "/calibration-0.05.stg", "--png-dir", pictures},
             {"plot", damaged, damaged, damaged, damaged, damaged, damaged, "--overlay", overlay},
             {"plot", damaged, "--png", overlay, "--png-dir", pictures},
             {"plot", damaged, "--overlay", ""}}) {
        EXPECT_EQ(Cli(wrong).status, 2) << wrong[2];
    }
}

}  // namespace
