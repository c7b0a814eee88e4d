// The program around the commands: help, version, unknown commands, and which commands start
// without Qt.
#include "CliRun.h"
#include "support/SettingsHome.h"
#include "support/StgBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;

// The command names that "ostrel-cli --help" lists ("  ostrel-cli NAME ...").
std::vector<std::string> ListedCommands(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        const std::string prefix = "  ostrel-cli ";
        if (line.rfind(prefix, 0) == 0) names.push_back(line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size()));
    }
    return names;
}

TEST(CliProgram, ListsEveryCommandAndTellsItsVersion) {
    const CliResult help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    const std::vector<std::string> listed = ListedCommands(help.out);
    for (const char* name : {"calibrate", "history", "methods", "passport", "pick", "plot", "read", "restore-method",
                             "save-method", "scan"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name << " in\n" << help.out;
    EXPECT_EQ(Cli({"-h"}).out, help.out);
    EXPECT_EQ(Cli({"help"}).out, help.out);

    const CliResult version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("ostrel-cli [0-9]+\\.[0-9]+(\\.[0-9]+)?\n"))) << version.out;
}

// Every command, those of ostrel-cli-gui included, explains itself the same way on both
// requests, and none of them takes --help for an argument (a file, a title).
TEST(CliProgram, EveryCommandHasItsOwnHelp) {
    fixtures::SettingsHome home;
    for (const std::string& name : ListedCommands(Cli({"--help"}).out)) {
        SCOPED_TRACE(name);
        const CliResult help = Cli({"help", name});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: ostrel-cli " + name, 0), 0u) << help.out;
        EXPECT_NE(help.out.find("\nexit status: 0 "), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");
        for (const char* option : {"--help", "-h"}) {
            const CliResult asked = Cli({name, option});
            EXPECT_EQ(asked.status, 0) << option;
            EXPECT_EQ(asked.out, help.out) << option;
        }
        EXPECT_EQ(Cli({name, "x", "--help"}).out, help.out);
    }
    EXPECT_FALSE(std::filesystem::exists(home.UserHive())) << "asking for help writes no settings";
}

TEST(CliProgram, RefusesUnknownCommandsWithAUsageError) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"frobnicate"}, {"help", "frobnicate"}, {}}) {
        const CliResult run = Cli(args);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: ostrel-cli COMMAND"), std::string::npos) << run.err;
    }
    EXPECT_NE(Cli({"frobnicate"}).err.find("ostrel-cli: unknown command 'frobnicate'\n"), std::string::npos);
}

// The commands that only read and compute never load the window and drawing libraries; the
// dynamic loader's own log (LD_DEBUG=libs) shows what a run loaded.
TEST(CliProgram, ReadingAndComputingLoadNoQt) {
    fixtures::SettingsHome home;
    const std::string folder = home.Dir().MakeFolder("methods");
    home.WriteUserHive("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
                       "\"MethodPath\"=\"" + folder + "\"\n");
    std::string method(100, 'm');
    method.replace(10, 7, "\x06\xFD\xF2\xE0\xED\xEE\xEB");  // the ethanol record
    home.Dir().WriteFile("methods/wine.mtd", method);
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 3, 1, 0};
    c.table.peaks = {fixtures::MakePeak(0.5, 3.5, "этанол")};
    const std::string stg = home.Dir().Path() + "/run.stg";
    fixtures::WriteStg(stg, c);
    const auto loadsQt = [](const CliResult& run) {
        return run.err.find("libQt6Gui") != std::string::npos || run.err.find("libQt6Widgets") != std::string::npos;
    };
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"read", stg}, {"passport", stg}, {"calibrate", "--stored", "--level", "1=" + stg},
          {"calibrate", "--level", "1=" + stg, "--csv", home.Dir().Path() + "/levels.csv"}, {"methods"},
          {"save-method", "wine", "0.5"}, {"scan", home.Dir().Path()}, {"read", "--help"}}) {
        const CliResult run = Cli(args, {"LD_DEBUG=libs"});
        EXPECT_EQ(run.status, 0) << args[0];
        EXPECT_NE(run.err.find("libicuuc"), std::string::npos) << "the loader's log is there";
        EXPECT_FALSE(loadsQt(run)) << args[0];
    }
    const CliResult drawing = Cli({"calibrate", "--chart", home.Dir().Path() + "/chart.png"}, {"LD_DEBUG=libs"});
    EXPECT_EQ(drawing.status, 0);
    EXPECT_TRUE(loadsQt(drawing)) << "drawing runs in ostrel-cli-gui";
}

}  // namespace
