#include "CliRun.h"
#include "support/SettingsHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;
using clitest::PngSize;

TEST(CalibrateChart, WritesThePictureBesidesTheSameJson) {
    fixtures::SettingsHome home;
    const std::string png = home.Dir().Path() + "/chart.png";
    const CliResult plain = Cli({"calibrate", "--nav", "2"});
    const CliResult run = Cli({"calibrate", "--nav", "2", "--chart", png});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, plain.out);
    EXPECT_EQ(PngSize(fixtures::ReadFileBytes(png)), (std::pair<std::uint32_t, std::uint32_t>{560, 300}));

    ASSERT_EQ(Cli({"calibrate", "--chart", png, "--size", "200x120"}).status, 0);
    EXPECT_EQ(PngSize(fixtures::ReadFileBytes(png)), (std::pair<std::uint32_t, std::uint32_t>{200, 120}));
}

TEST(CalibrateChart, RefusesBadChartOptionsAndReportsAFileItCannotWrite) {
    fixtures::SettingsHome home;
    const std::string png = home.Dir().Path() + "/chart.png";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--size", "200x100"}, {"--chart"}, {"--chart", ""}, {"--chart", png, "--size", "0x5"},
             {"--chart", png, "--size", "200"}, {"--chart", png, "--size", "200x"}, {"--chart", png, "--size", "x100"},
             {"--chart", png, "--size", "9000x10"}, {"--chart", png, "--size", "-5x10"}, {"--chart", png, "--size", "2e2x10"}}) {
        std::vector<std::string> command{"calibrate"};
        command.insert(command.end(), args.begin(), args.end());
        const CliResult run = Cli(command);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
    EXPECT_TRUE(fixtures::ReadFileBytes(png).empty());

    const CliResult failed = Cli({"calibrate", "--chart", home.Dir().Path() + "/missing/chart.png"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, Cli({"calibrate"}).out);  // the JSON is still printed
}

}  // namespace
