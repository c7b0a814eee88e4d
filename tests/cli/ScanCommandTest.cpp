#include "support/MixedFolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

CliResult RunCli(const fixtures::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = std::string("'") + OSTREL_CLI + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + dir.Path() + "/stdout' 2>'" + dir.Path() + "/stderr'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, fixtures::ReadFileBytes(dir.Path() + "/stdout"),
            fixtures::ReadFileBytes(dir.Path() + "/stderr")};
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The listing as the command should print it, written out by hand from what the folder holds.
std::string ExpectedJson(const std::vector<fixtures::ExpectedScanEntry>& entries, const std::string& folder) {
    std::string out = "[";
    for (const auto& e : entries) {
        if (out.size() > 1) out += ", ";
        out += "{\"fileTitle\": " + Quoted(e.fileName.substr(0, e.fileName.rfind('.'))) +
               ", \"path\": " + Quoted(folder + "/" + e.fileName) + ", \"sampleName\": " + Quoted(e.sampleName) +
               ", \"methodName\": " + Quoted(e.methodName) + ", \"samplingSite\": " + Quoted(e.samplingSite) +
               ", \"samplingPoint\": " + Quoted(e.samplingPoint) + ", \"dateTime\": " + std::to_string(e.dateTime) +
               ", \"isCalibration\": " + (e.isCalibration ? "1" : "0") +
               ", \"readable\": " + (e.readable ? "true" : "false") + "}";
    }
    return out + "]\n";
}

TEST(CliScan, ListsAFolderAsTheOpenDialogDoes) {
    fixtures::TempDir dir;
    const std::string folder = dir.MakeFolder("runs");
    const fixtures::MixedFolder mix = fixtures::WriteMixedFolder(folder);
    const struct {
        std::vector<std::string> args;
        int type;
    } cases[] = {{{"scan", folder}, 0},
                 {{"scan", "--type", "calibration", folder + "/"}, 1},
                 {{"scan", folder, "--type", "analysis"}, 2},
                 {{"scan", folder, "--type", "any"}, 0}};
    for (const auto& c : cases) {
        const CliResult r = RunCli(dir, c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, ExpectedJson(mix.ExpectedOfType(c.type), folder)) << c.args.back();
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
}

TEST(CliScan, SaysWhatItCouldNotList) {
    fixtures::TempDir dir;
    const CliResult missing = RunCli(dir, {"scan", dir.Path() + "/missing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "[]\n");
    EXPECT_NE(missing.err.find("cannot list " + dir.Path() + "/missing"), std::string::npos) << missing.err;

    for (const std::vector<std::string>& args : {std::vector<std::string>{"scan"},
                                                 std::vector<std::string>{"scan", dir.Path(), "--type", "all"},
                                                 std::vector<std::string>{"scan", dir.Path(), "--type"},
                                                 std::vector<std::string>{"scan", dir.Path(), dir.Path()}}) {
        const CliResult r = RunCli(dir, args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("usage: ostrel-cli scan FOLDER"), std::string::npos) << r.err;
    }
}

}  // namespace
