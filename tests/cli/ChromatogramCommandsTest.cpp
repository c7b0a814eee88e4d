#include "CliRun.h"
#include "support/StgBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using clitest::Cli;
using clitest::CliResult;

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// The worked example: samples 0, 1, 3, 1, 0 and one peak from 0.5 to 3.5 with area 3.25.
fixtures::ChromatogramFixture Example() {
    fixtures::ChromatogramFixture c;
    c.signal = {0, 1, 3, 1, 0};
    fixtures::PeakFixture peak = fixtures::MakePeak(0.5, 3.5, "этанол");
    peak.extraValue = std::numeric_limits<double>::quiet_NaN();
    peak.attributes = {{"key", "value"}};
    c.table.peaks = {peak};
    c.passport.sampleName = "Градуировка 0.05";
    c.passport.methodName = "Метод";
    c.passport.textEncoding = fixtures::TextEncoding::Utf16;
    c.passport.dateTime = 3000000000;
    c.passport.extraReal16 = -std::numeric_limits<double>::infinity();
    return c;
}

}  // namespace

TEST(CliRead, PrintsTheWholeStateOfTheObjectAfterEachRead) {
    fixtures::TempDir dir;
    const std::string good = dir.Path() + "/good.stg";
    fixtures::WriteStg(good, Example());
    fixtures::ChromatogramFixture other = Example();
    other.signal = {1, 1, 1};
    other.passport.sampleName = "Другая";
    const std::string noPassport = dir.Path() + "/no-passport.stg";
    fixtures::WriteCompoundFile(noPassport, fixtures::Without(fixtures::EncodeStreams(other), "Passport"));
    const std::string missing = dir.Path() + "/missing.stg";

    const CliResult r = Cli({"read", good, noPassport, missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ostrel-cli: " + noPassport + ": missing stream \"Passport\"\n"
                     "ostrel-cli: " + missing + ": no such file\n");
    ASSERT_EQ(r.out.substr(0, 2), "[{");
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(Count(r.out, "{\"ok\": "), 3u);
    EXPECT_NE(r.out.find("{\"ok\": true, \"path\": \"" + good + "\", \"signal\": {\"count\": 5, \"startTime\": 0, \"step\": 1}"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"index\": 0, \"name\": \"этанол\", \"startTime\": 0.5, \"endTime\": 3.5, \"extraValue\": \"NaN\", "
                         "\"extraCode\": 0, \"prevInGroup\": -1, \"nextInGroup\": -1, \"baselineAtStart\": 0.5, "
                         "\"baselineAtEnd\": 0.5, \"area\": 3.25, \"height\": 2.5, \"retentionTime\": 2, "
                         "\"attributes\": [[\"key\", \"value\"]]}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"passport\": {\"sampleName\": \"Градуировка 0.05\", \"extraText1\": \"\", \"extraReal1\": 1"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"dateTime\": 3000000000, "), std::string::npos);
    EXPECT_NE(r.out.find("\"extraReal15\": 0, \"extraReal16\": \"-Infinity\"}"), std::string::npos);
    // The second file lacks its passport: its signal is read, the passport is still the first
    // file's. The third does not exist: only the path changes.
    EXPECT_NE(r.out.find("{\"ok\": false, \"error\": \"missing stream \\\"Passport\\\"\", \"path\": \"" + noPassport +
                         "\", \"signal\": {\"count\": 3,"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"ok\": false, \"error\": \"no such file\", \"path\": \"" + missing + "\", \"signal\": {\"count\": 3,"),
              std::string::npos);
    EXPECT_EQ(Count(r.out, "\"error\""), 2u) << "a file that was read carries no error";
    EXPECT_EQ(Count(r.out, "\"sampleName\": \"Градуировка 0.05\""), 3u);
    EXPECT_EQ(Count(r.out, "Другая"), 0u);

    const CliResult one = Cli({"read", good});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.err, "");
}

TEST(CliPassport, PrintsThePassportAndWhetherItWasRead) {
    fixtures::TempDir dir;
    const std::string good = dir.Path() + "/good.stg";
    fixtures::WriteStg(good, Example());
    const CliResult ok = Cli({"passport", good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out.rfind("{\"ok\": true, \"passport\": {\"sampleName\": \"Градуировка 0.05\", ", 0), 0u) << ok.out;
    EXPECT_NE(ok.out.find("\"methodName\": \"Метод\""), std::string::npos);

    const CliResult failed = Cli({"passport", dir.Path() + "/missing.stg"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out.rfind("{\"ok\": false, \"error\": \"no such file\", \"passport\": {\"sampleName\": \"\", ", 0), 0u)
        << failed.out;
    EXPECT_EQ(failed.err, "ostrel-cli: " + dir.Path() + "/missing.stg: no such file\n");

    // A record cut short: the fields before the cut are shown, and why the rest is not.
    fixtures::ChromatogramFixture example = Example();
    example.passport.textEncoding = fixtures::TextEncoding::Windows1251;
    const std::string passport = fixtures::EncodePassport(example.passport);
    const std::string cut = dir.Path() + "/cut.stg";
    fixtures::WriteCompoundFile(cut, fixtures::Replaced(fixtures::EncodeStreams(example), "Passport",
                                                        passport.substr(0, passport.size() / 2)));
    const CliResult partial = Cli({"passport", cut});
    EXPECT_EQ(partial.status, 1);
    EXPECT_EQ(partial.out.rfind("{\"ok\": false, \"error\": \"stream \\\"Passport\\\": ", 0), 0u) << partial.out;
    EXPECT_NE(partial.out.find("\"sampleName\": \"Градуировка 0.05\""), std::string::npos) << partial.out;
    EXPECT_EQ(partial.err.rfind("ostrel-cli: " + cut + ": stream \"Passport\": ", 0), 0u) << partial.err;
}

TEST(CliChromatogramCommands, RefuseWrongArgumentsWithoutPrintingAnything) {
    fixtures::TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"read"}, std::vector<std::string>{"passport"}, std::vector<std::string>{"passport", "a", "b"}}) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_NE(r.err.find("usage: ostrel-cli " + args[0]), std::string::npos) << r.err;
    }
}
