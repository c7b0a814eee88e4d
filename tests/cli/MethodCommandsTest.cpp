#include "CliRun.h"
#include "support/SettingsHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;

// A settings store whose method folder holds "вино" (an ethanol record holding 0.5) and "beer"
// (none).
struct Methods {
    Methods() {
        const std::string folder = home.Dir().MakeFolder("methods");
        home.WriteUserHive("Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora]\n"
                           "\"MethodPath\"=\"" + folder + "\"\n");
        std::string method(100, 'm');
        method.replace(10, 7, "\x06\xFD\xF2\xE0\xED\xEE\xEB");
        method.replace(41, 8, std::string("\0\0\0\0\0\0\xE0\x3F", 8));
        wine = home.Dir().WriteFile("methods/вино.mtd", method);
        home.Dir().WriteFile("methods/beer.mtd", "no record");
    }
    std::string Copies() const { return home.OstrelData() + "/methods/вино"; }

    fixtures::SettingsHome home;
    std::string wine;
};

std::size_t FilesIn(const std::string& folder) {
    return std::filesystem::exists(folder)
               ? static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}))
               : 0;
}

TEST(MethodCommands, ListAndPatchTheMethodsOfTheStoredFolder) {
    Methods methods;
    const std::string settings = fixtures::ReadFileBytes(methods.home.UserHive());
    EXPECT_EQ(Cli({"methods"}).out, "[\"beer\", \"вино\"]\n");
    const CliResult patched = Cli({"save-method", "вино", "0,25"});
    EXPECT_EQ(patched.status, 0);
    const std::string start = "{\"patched\": true, \"old\": 0.5, \"new\": 0.25, \"backup\": \"" + methods.Copies() + "/";
    EXPECT_EQ(patched.out.substr(0, start.size()), start);
    EXPECT_TRUE(patched.out.ends_with(".mtd\"}\n")) << patched.out;
    EXPECT_EQ(fixtures::ReadFileBytes(methods.wine).substr(41, 8), std::string("\0\0\0\0\0\0\xD0\x3F", 8));
    EXPECT_EQ(FilesIn(methods.Copies()), 1u);

    struct Case {
        const char* title;
        const char* out;
    };
    for (const Case c : {Case{"beer", "{\"patched\": false, \"old\": null, \"new\": 0.25, \"backup\": null, "
                                     "\"error\": \"нет записи этанола\"}\n"},
                         Case{"missing", "{\"patched\": false, \"old\": null, \"new\": 0.25, \"backup\": null, "
                                        "\"error\": \"файл метода не найден\"}\n"}}) {
        const CliResult run = Cli({"save-method", c.title, "0.25"});
        EXPECT_EQ(run.status, 1) << c.title;
        EXPECT_EQ(run.out, c.out) << c.title;
        EXPECT_NE(run.err.find("ostrel-cli: "), std::string::npos) << c.title << ": exit status 1 says why";
    }
    EXPECT_EQ(fixtures::ReadFileBytes(methods.home.Dir().Path() + "/methods/beer.mtd"), "no record");
    EXPECT_EQ(Cli({"save-method", "вино", "0"}).status, 1) << "a coefficient of 0 is refused";
    EXPECT_EQ(fixtures::ReadFileBytes(methods.home.UserHive()), settings) << "the settings are only read";
}

// Without a method folder the dialog would list the root folder; the commands say so instead,
// and leave the settings as they were (no hive, or one without the keys).
TEST(MethodCommands, FailWithoutAMethodFolderAndWriteNoSettings) {
    for (const char* hive : {"", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n"}) {
        fixtures::SettingsHome home;
        if (*hive) home.WriteUserHive(hive);
        const CliResult methods = Cli({"methods"});
        EXPECT_EQ(methods.status, 1);
        EXPECT_EQ(methods.out, "");
        EXPECT_EQ(methods.err, "ostrel-cli: no method folder is set (the value \"MethodPath\" of "
                               "HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora)\n");
        const CliResult save = Cli({"save-method", "wine", "0.25"});
        EXPECT_EQ(save.status, 1);
        EXPECT_NE(save.out.find("\"error\": \"папка методов не задана\""), std::string::npos) << save.out;
        EXPECT_EQ(save.err, "ostrel-cli: папка методов не задана\n");
        EXPECT_EQ(fixtures::ReadFileBytes(home.UserHive()), hive);
        EXPECT_EQ(std::filesystem::exists(home.UserHive()), *hive != 0);
    }
}

TEST(MethodCommands, RestoreAndVerifyTheHistory) {
    Methods methods;
    const std::string original = fixtures::ReadFileBytes(methods.wine);
    ASSERT_EQ(Cli({"save-method", "вино", "0.25"}).status, 0);
    const std::string written = fixtures::ReadFileBytes(methods.wine);

    const CliResult restored = Cli({"restore-method", "вино"});
    EXPECT_EQ(restored.status, 0) << restored.out;
    EXPECT_NE(restored.out.find("\"old\": 0.25, \"new\": 0.5,"), std::string::npos) << restored.out;
    EXPECT_EQ(fixtures::ReadFileBytes(methods.wine), original);
    EXPECT_EQ(FilesIn(methods.Copies()), 2u) << "the restore kept the written method too";
    ASSERT_EQ(Cli({"restore-method", "вино"}).status, 0) << "a restore is undone as a write is";
    EXPECT_EQ(fixtures::ReadFileBytes(methods.wine), written);
    EXPECT_EQ(Cli({"restore-method", "вино", "--from", methods.home.Dir().Path() + "/none.mtd"}).status, 1);
    EXPECT_EQ(Cli({"restore-method", "beer"}).status, 1) << "nothing kept of it";

    const CliResult history = Cli({"history", "--verify"});
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 2 + 3 * 2 + 2) << history.out;
    EXPECT_NE(history.out.find("\"action\":\"restore-method\""), std::string::npos);

    // A hand-edited line, a kept copy changed: --verify fails, history alone still prints.
    const std::string log = methods.home.OstrelData() + "/audit.jsonl";
    std::string text = fixtures::ReadFileBytes(log);
    text.replace(text.find("\"new\":0.25"), 11, "\"new\":0.35");
    methods.home.Dir().WriteFile("data/Tarnwick/Ostrel/audit.jsonl", text);
    EXPECT_EQ(Cli({"history", "--verify"}).status, 1);
    EXPECT_EQ(Cli({"history"}).status, 0);
    EXPECT_EQ(Cli({"history", "--verify", "--verify"}).status, 2);
}

TEST(MethodCommands, RefuseBadArguments) {
    fixtures::SettingsHome home;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"save-method", "wine"}, {"save-method", "wine", "0.25x"}, {"save-method", "wine", ""},
             {"save-method", "wine", "inf"}, {"save-method", "wine", "0x10"}, {"save-method", "wine", "nan"},
             {"save-method", "wine", "1", "2"}, {"methods", "x"}, {"restore-method"},
             {"restore-method", "wine", "--from"}, {"restore-method", "a", "b"}, {"history", "x"}}) {
        const CliResult run = Cli(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

}  // namespace
