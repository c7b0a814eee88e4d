// ostrel-cli calibrate --report and --csv on the demo profile: the protocol the dialog would make,
// its level table read back, and files that cannot be written.
#include "CliRun.h"

#include "support/DemoProfile.h"
#include "support/PdfText.h"
#include "support/SettingsHome.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace {

using clitest::Cli;
using clitest::CliResult;
namespace fs = std::filesystem;

std::string Squeezed(const std::string& text) { return std::regex_replace(text, std::regex(R"(\s+)"), " "); }

std::string Sha256Sum(const std::string& path) {
    return fixtures::CommandOutput("sha256sum " + fixtures::ShellQuoted(path)).substr(0, 64);
}

double Number(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << "'" << text << "'";
    return value;
}

class DemoProfileCli : public ::testing::Test {
protected:
    void SetUp() override {
        demo = fixtures::WriteDemoProfile(home.Dir().Path() + "/demo");
        ::setenv("XDG_CONFIG_HOME", demo.userConfig.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", demo.machineConfig.c_str(), 1);
    }
    fixtures::SettingsHome home;
    fixtures::DemoProfile demo;
};

TEST_F(DemoProfileCli, ReportAndCsvOfTheStoredCalibration) {
    const std::string hive = fixtures::ReadFileBytes(demo.UserHive());
    const std::string pdf = home.Dir().Path() + "/протокол.pdf";
    const std::string csv = home.Dir().Path() + "/уровни.csv";
    const CliResult run = Cli({"calibrate", "--stored", "--report", pdf, "--csv", csv});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"accepted\": true"), std::string::npos) << "the JSON as ever";
    EXPECT_EQ(fixtures::ReadFileBytes(demo.UserHive()), hive) << "the settings are only read";

    EXPECT_EQ(fixtures::ReadPdfInfo(pdf).pages, 1);
    const std::string text = Squeezed(fixtures::PdfText(pdf));
    const passwd* account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    for (const std::string& what :
         {std::string(fixtures::kDemoLabName), std::string("Протокол градуировки"), std::string("Метод Этанол"),
          "Файл метода " + demo.MethodFile("Этанол"), std::string(account->pw_name), std::string("Калибровка принята"),
          std::string("Выполнил"), std::string("Проверил"), std::string("Стр. 1 из 1")})
        EXPECT_NE(text.find(what), std::string::npos) << "'" << what << "' missing from:\n" << text;
    for (const std::string& path : demo.levelPaths)
        EXPECT_NE(text.find(Sha256Sum(path).substr(0, 16)), std::string::npos) << path;

    // The table: every level's file, whole hash and figures, the very doubles of the JSON.
    const std::vector<std::vector<std::string>> rows = fixtures::ParseCsv(fixtures::ReadFileBytes(csv));
    ASSERT_EQ(rows.size(), 6u);
    ASSERT_EQ(rows[0].size(), 13u);
    EXPECT_EQ(rows[0][10], "coefficient");
    std::vector<double> coefficients;
    static const std::regex coefficient(R"re("coefficient": ([-0-9.e+]+))re");
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), coefficient), end; it != end; ++it)
        coefficients.push_back(Number((*it)[1]));
    ASSERT_EQ(coefficients.size(), 5u) << run.out;
    for (std::size_t k = 0; k < 5; ++k) {
        const std::vector<std::string>& row = rows[k + 1];
        SCOPED_TRACE("level " + std::to_string(k));
        EXPECT_EQ(row[1], "read");
        EXPECT_EQ(row[2], demo.levelPaths[k]);
        EXPECT_EQ(row[3], fs::path(demo.levelPaths[k]).filename().string());
        EXPECT_EQ(row[12], Sha256Sum(demo.levelPaths[k]));
        if (k == 0)
            EXPECT_EQ(row[10], "") << "the blank has no coefficient";
        else
            EXPECT_EQ(Number(row[10]), coefficients[k]);
    }
}

TEST_F(DemoProfileCli, FilesThatCannotBeWrittenFailWithTheReasonAndLeaveNothing) {
    const std::string regular = home.Dir().WriteFile("regular", "x");
    const CliResult both = Cli({"calibrate", "--stored", "--report", regular + "/p.pdf", "--csv", regular + "/t.csv"});
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.err.find("ostrel-cli: cannot write the protocol: " + regular + "/p.pdf: Not a directory"),
              std::string::npos)
        << both.err;
    EXPECT_NE(both.err.find("ostrel-cli: cannot write the level table: " + regular + "/t.csv: Not a directory"),
              std::string::npos)
        << both.err;
    EXPECT_NE(both.out.find("\"quality\""), std::string::npos) << "the JSON is printed all the same";

    const std::string folder = home.Dir().MakeFolder("a folder.csv");
    const CliResult table = Cli({"calibrate", "--stored", "--csv", folder});
    EXPECT_EQ(table.status, 1);
    EXPECT_NE(table.err.find("Is a directory"), std::string::npos) << table.err;
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(fixtures::ReadFileBytes(regular), "x");

    EXPECT_EQ(Cli({"calibrate", "--report"}).status, 2);
    EXPECT_EQ(Cli({"calibrate", "--csv", ""}).status, 2);
}

}  // namespace
