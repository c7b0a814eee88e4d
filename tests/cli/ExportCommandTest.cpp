// ostrel-cli export: the demo's calibration runs and a small hostile run out as ANDI/AIA netCDF
// and CSV, read back by readers nobody here wrote (ncdump of netcdf-bin, SciPy's netCDF reader,
// olefile for the chromatogram's own samples), and files that cannot be written.
#include "CliRun.h"

#include "support/DemoProfile.h"
#include "support/PdfText.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;
namespace fs = std::filesystem;

const std::string kReadBack = std::string(OSTREL_SOURCE_DIR) + "/tests/cli/andi_readback.py";

// What andi_readback.py finds: "ok SAMPLES PEAKS" or the differences, one a line.
std::string ReadBack(const std::string& cdf, const std::string& stg, const fixtures::TempDir& dir) {
    const CliResult read = Cli({"read", stg});
    EXPECT_EQ(read.status, 0) << read.err;
    const std::string json = dir.WriteFile("read.json", read.out);
    return fixtures::CommandOutput("/usr/bin/python3 " + fixtures::ShellQuoted(kReadBack) + " " + fixtures::ShellQuoted(cdf) +
                                   " " + fixtures::ShellQuoted(stg) + " " + fixtures::ShellQuoted(json) + " 2>&1");
}

std::string Ncdump(const std::string& options, const std::string& cdf) {
    return fixtures::CommandOutput("ncdump " + options + " " + fixtures::ShellQuoted(cdf) + " 2>&1");
}

// The names the file must carry, as ncdump's header shows them.
const std::vector<std::string> kHeaderNames = {
    ":dataset_completeness = \"C1+C2\"", ":aia_template_revision = \"1.0\"", ":netcdf_revision = \"",
    ":languages = \"", ":administrative_comments = \"", ":dataset_origin = \"", ":injection_date_time_stamp = \"",
    ":sample_name = \"", ":detection_method_name = \"", ":retention_unit = \"Seconds\"",
    "float ordinate_values(point_number)", "double actual_sampling_interval", "double actual_delay_time",
    "double actual_run_time_length", "char peak_name(peak_number, _255_byte_string)", "double peak_retention_time(peak_number)",
    "double peak_start_time(peak_number)", "double peak_end_time(peak_number)", "double peak_area(peak_number)",
    "double peak_height(peak_number)", "double baseline_start_time(peak_number)", "double baseline_start_value(peak_number)",
    "double baseline_stop_time(peak_number)", "double baseline_stop_value(peak_number)",
};

}  // namespace

TEST(CliExport, DemoCalibrationRunsReadBackByNcdumpAndScipy) {
    const fixtures::SettingsHome home;
    const fixtures::DemoProfile demo = fixtures::WriteDemoProfile(home.Dir().Path() + "/demo");
    for (const std::string& stg : demo.levelPaths) {
        SCOPED_TRACE(stg);
        const std::string cdf = home.Dir().Path() + "/уровень.cdf";
        const std::string csv = home.Dir().Path() + "/уровень.csv";
        const CliResult run = Cli({"export", stg, "--andi", cdf, "--csv", csv});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\"andi\": \"" + cdf + "\", \"csv\": \"" + csv + "\"}"), std::string::npos) << run.out;

        EXPECT_EQ(Ncdump("-k", cdf), "classic\n");
        const std::string header = Ncdump("-h", cdf);
        for (const std::string& name : kHeaderNames) EXPECT_NE(header.find(name), std::string::npos) << name << "\n" << header;

        const std::string readBack = ReadBack(cdf, stg, home.Dir());
        EXPECT_EQ(readBack.substr(0, 3), "ok ") << readBack;
        EXPECT_EQ(readBack.find(" 0\n"), std::string::npos) << "a calibration run has peaks: " << readBack;

        // The CSV: the heading, then one row per sample (as many as the netCDF file holds).
        const std::string table = fixtures::ReadFileBytes(csv);
        EXPECT_EQ(table.rfind("# file: " + stg + "\r\n# sample: Градуировка", 0), 0u) << table.substr(0, 200);
        const std::size_t rows = static_cast<std::size_t>(std::count(table.begin(), table.end(), '\n')) - 4;
        EXPECT_EQ("ok " + std::to_string(rows), readBack.substr(0, readBack.find(' ', 3))) << "one row per sample";
    }
}

// A run with what other programs trip over: a sample that is not a number, Cyrillic texts held
// as UTF-16 in the file, a peak name longer than the name dimension, a start time not at 0.
TEST(CliExport, NotANumberSamplesAndUtf8TextsReadBackAsTheyAre) {
    const fixtures::TempDir dir;
    fixtures::ChromatogramFixture c;
    c.signal = {0.25f, 1, std::numeric_limits<float>::quiet_NaN(), 3, 1.0e-7f, 0};
    c.startTime = 0.125;
    c.step = 0.0078125;  // times a float holds exactly, so that the CSV's texts are short
    c.table.peaks = {fixtures::MakePeak(0.13, 0.16, "этанол"), fixtures::MakePeak(0.14, 0.15, "Пик «№2»")};
    c.passport.sampleName = "Проба «Ёлка» №1";
    c.passport.methodName = "Метод: этанол";
    c.passport.textEncoding = fixtures::TextEncoding::Utf16;
    const std::string stg = dir.Path() + "/проба.stg";
    fixtures::WriteStg(stg, c);
    const std::string cdf = dir.Path() + "/проба.cdf";
    const std::string csv = dir.Path() + "/проба.csv";
    const CliResult run = Cli({"export", stg, "--andi", cdf, "--csv", csv});
    ASSERT_EQ(run.status, 0) << run.err;

    EXPECT_EQ(ReadBack(cdf, stg, dir), "ok 6 2\n");
    const std::string data = Ncdump("-v ordinate_values", cdf);
    EXPECT_NE(data.find("ordinate_values = 0.25, 1, _, 3, 1e-07, 0 ;"), std::string::npos) << data;
    EXPECT_NE(data.find(":sample_name = \"Проба «Ёлка» №1\" ;"), std::string::npos) << data;
    EXPECT_NE(data.find("peak_name:_Encoding = \"utf-8\""), std::string::npos) << data;

    EXPECT_EQ(fixtures::ReadFileBytes(csv), "# file: " + stg + "\r\n# sample: Проба «Ёлка» №1\r\n"
              "# time in minutes (as the data system records it), signal in the detector's unit\r\n"
              "time_min,signal\r\n0.125,0.25\r\n0.1328125,1\r\n0.140625,\r\n0.1484375,3\r\n0.15625,1e-07\r\n"
              "0.1640625,0\r\n");
}

// A peak name longer than the name dimension is cut at the start of a character, never inside one.
TEST(CliExport, LongPeakNameIsCutAtACharacter) {
    const fixtures::TempDir dir;
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 3, 1, 0};
    std::string longName;
    while (longName.size() < 300) longName += "ё";  // two bytes each: byte 255 is inside one
    c.table.peaks = {fixtures::MakePeak(0.5, 3.5, longName)};
    c.table.textEncoding = fixtures::TextEncoding::Utf16;
    const std::string stg = dir.Path() + "/long.stg";
    fixtures::WriteStg(stg, c);
    const std::string cdf = dir.Path() + "/long.cdf";
    ASSERT_EQ(Cli({"export", stg, "--andi", cdf}).status, 0);
    const std::string names = fixtures::CommandOutput(
        "/usr/bin/python3 -c \"import sys; from scipy.io import netcdf_file; "
        "n = netcdf_file(sys.argv[1], 'r', mmap=False).variables['peak_name'][0]; "
        "print(bytes(n).rstrip(b'\\\\0').decode('utf-8'))\" " + fixtures::ShellQuoted(cdf) + " 2>&1");
    EXPECT_EQ(names, longName.substr(0, 254) + "\n") << "127 whole characters";
}

TEST(CliExport, FileThatCannotBeWrittenIsExitOneAndLeavesNoFile) {
    const fixtures::TempDir dir;
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 3, 1, 0};
    c.table.peaks = {fixtures::MakePeak(0.5, 3.5, "этанол")};
    const std::string stg = dir.Path() + "/run.stg";
    fixtures::WriteStg(stg, c);
    const std::string regular = dir.WriteFile("regular", "x");
    const std::string folder = dir.MakeFolder("folder");
    struct Case {
        std::string option, path, kind, reason;
    };
    const std::vector<Case> cases = {
        {"--andi", regular + "/out.cdf", "ANDI", "Not a directory"},
        {"--csv", dir.Path() + "/missing/out.csv", "CSV", "No such file or directory"},
        {"--andi", folder, "ANDI", "Is a directory"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        const CliResult r = Cli({"export", stg, k.option, k.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "") << "no JSON for a failed export";
        EXPECT_NE(r.err.find("ostrel-cli: cannot write the " + k.kind + " file: " + k.path + ": " + k.reason), std::string::npos)
            << r.err;
    }
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(dir.Path() + "/missing"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "regular", "run.stg"})) << "no temporary file left";

    const CliResult unreadable = Cli({"export", dir.Path() + "/none.stg", "--csv", dir.Path() + "/none.csv"});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_EQ(unreadable.err, "ostrel-cli: " + dir.Path() + "/none.stg: no such file\n");
    EXPECT_FALSE(fs::exists(dir.Path() + "/none.csv"));
    for (const std::vector<std::string>& usage : {std::vector<std::string>{"export", stg},
                                                  std::vector<std::string>{"export", "--andi", "x.cdf"},
                                                  std::vector<std::string>{"export", stg, "--csv"},
                                                  std::vector<std::string>{"export", stg, stg, "--csv", "x.csv"}})
        EXPECT_EQ(Cli(usage).status, 2) << usage.size();
}
