#include "CliRun.h"
#include "support/SettingsHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;

TEST(MethodCommands, ListAndPatchTheMethodsOfTheStoredFolder) {
    fixtures::SettingsHome home;
    const std::string folder = home.Dir().MakeFolder("methods");
    home.WriteUserHive("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
                       "\"MethodPath\"=\"" + folder + "\"\n");
    std::string method(100, 'm');
    method.replace(10, 7, "\x06\xFD\xF2\xE0\xED\xEE\xEB");
    const std::string path = home.Dir().WriteFile("methods/вино.mtd", method);
    home.Dir().WriteFile("methods/beer.mtd", "no record");

    const std::string settings = fixtures::ReadFileBytes(home.UserHive());
    EXPECT_EQ(Cli({"methods"}).out, "[\"beer\", \"вино\"]\n");
    const CliResult patched = Cli({"save-method", "вино", "0,25"});
    EXPECT_EQ(patched.status, 0);
    EXPECT_EQ(patched.out, "{\"patched\": true}\n");
    EXPECT_EQ(fixtures::ReadFileBytes(path).substr(41, 8), std::string("\0\0\0\0\0\0\xD0\x3F", 8));

    for (const char* title : {"beer", "missing"}) {
        const CliResult run = Cli({"save-method", title, "0.25"});
        EXPECT_EQ(run.status, 0) << title;
        EXPECT_EQ(run.out, "{\"patched\": false}\n") << title;
    }
    EXPECT_EQ(fixtures::ReadFileBytes(home.Dir().Path() + "/methods/beer.mtd"), "no record");
    EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), settings) << "the settings are only read";
}

// Without a method folder the dialog would list the root folder; the commands say so instead,
// and leave the settings as they were (no hive, or one without the keys).
TEST(MethodCommands, FailWithoutAMethodFolderAndWriteNoSettings) {
    for (const char* hive : {"", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n"}) {
        fixtures::SettingsHome home;
        if (*hive) home.WriteUserHive(hive);
        for (const auto& args : std::vector<std::vector<std::string>>{{"methods"}, {"save-method", "wine", "0.25"}}) {
            const CliResult run = Cli(args);
            EXPECT_EQ(run.status, 1) << args[0];
            EXPECT_EQ(run.out, "") << args[0];
            EXPECT_EQ(run.err, "ostrel-cli: no method folder is set (the value \"MethodPath\" of "
                               "HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora)\n")
                << args[0];
        }
        EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), hive);
        EXPECT_EQ(std::filesystem::exists(home.UserHive()), *hive != 0);
    }
}

TEST(MethodCommands, RefuseBadArguments) {
    fixtures::SettingsHome home;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"save-method", "wine"}, {"save-method", "wine", "inf"}, {"save-method", "wine", "0x10"},
             {"save-method", "wine", "nan"}, {"save-method", "wine", "0.2.5"}, {"save-method", "wine", ""},
             {"save-method", "wine", "1", "2"}, {"methods", "x"}}) {
        const CliResult run = Cli(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

}  // namespace
