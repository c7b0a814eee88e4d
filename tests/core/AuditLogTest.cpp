#include "core/AuditLog.h"

#include "core/Sha256.h"
#include "support/TempDir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using Kind = core::AuditFinding::Kind;

std::string Findings(const std::vector<core::AuditFinding>& findings) {
    std::string text;
    for (const core::AuditFinding& f : findings)
        text += std::string(f.kind == Kind::ChainBroken ? "broken"
                            : f.kind == Kind::TornLine  ? "torn"
                                                        : "backup") +
                "@" + std::to_string(f.line) + " ";
    return text;
}

// A log of `count` lines appended the way the program appends them.
std::string WriteLog(const fixtures::TempDir& dir, int count) {
    const std::string path = dir.Path() + "/Ostrel/audit.jsonl";
    std::optional<core::AuditLog> log = core::AuditLog::Open(path);
    EXPECT_TRUE(log);
    for (int i = 1; i <= count; ++i) EXPECT_TRUE(log->Append(nlohmann::ordered_json{{"action", "test"}, {"n", i}}));
    return path;
}

TEST(AuditLog, ChainsEveryLineToTheOneBefore) {
    fixtures::TempDir dir;
    const std::string text = fixtures::ReadFileBytes(WriteLog(dir, 3));
    const core::AuditLines log = core::SplitAuditLog(text);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_FALSE(log.lastLineTorn);
    EXPECT_EQ(nlohmann::json::parse(log.lines[0])["prev"],
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")
        << "SHA-256 of nothing";
    EXPECT_EQ(nlohmann::json::parse(log.lines[2])["prev"], core::Sha256Hex(log.lines[1]));
    EXPECT_EQ(nlohmann::json::parse(log.lines[1])["n"], 2) << "the record itself is kept";
    EXPECT_EQ(Findings(core::CheckAuditChain(log)), "");
}

TEST(AuditLog, FindsEditedRemovedAndInsertedLines) {
    fixtures::TempDir dir;
    const core::AuditLines intact = core::SplitAuditLog(fixtures::ReadFileBytes(WriteLog(dir, 4)));
    const std::vector<std::string>& l = intact.lines;
    std::string edited = l[1];
    edited.replace(edited.find("\"n\":2"), 5, "\"n\":7");
    // A line made up with the right "prev" still breaks the chain at the line after it.
    const std::string forged = nlohmann::ordered_json{{"n", 9}, {"prev", core::Sha256Hex(l[1])}}.dump();
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        const char* findings;
    };
    const Case cases[] = {
        {"intact", l, ""},
        {"second line edited", {l[0], edited, l[2], l[3]}, "broken@3 "},
        {"first line edited to no JSON", {"{\"n\":1,", l[1], l[2], l[3]}, "torn@1 broken@2 "},
        {"second line removed", {l[0], l[2], l[3]}, "broken@2 "},
        {"first line removed", {l[1], l[2], l[3]}, "broken@1 "},
        {"line inserted", {l[0], l[1], forged, l[2], l[3]}, "broken@4 "},
        {"line copied in", {l[0], l[1], l[1], l[2], l[3]}, "broken@3 "},
        {"last two swapped", {l[0], l[1], l[3], l[2]}, "broken@3 broken@4 "},
    };
    for (const Case& c : cases) EXPECT_EQ(Findings(core::CheckAuditChain({c.lines, false})), c.findings) << c.what;
}

// A write cut short leaves a last line without its newline: reported, not a break, never
// rewritten; the next line ends it and chains onto its bytes.
TEST(AuditLog, KeepsATornLastLineAndAppendsAfterIt) {
    fixtures::TempDir dir;
    const std::string path = WriteLog(dir, 2);
    const std::string torn = "{\"action\":\"test\",\"n\":3,\"pr";
    std::ofstream(path, std::ios::app) << torn;
    const std::string before = fixtures::ReadFileBytes(path);

    std::optional<core::AuditLog> log = core::AuditLog::Open(path);
    ASSERT_TRUE(log);
    EXPECT_TRUE(log->Lines().lastLineTorn);
    EXPECT_EQ(Findings(core::CheckAuditChain(log->Lines())), "torn@3 ");
    ASSERT_TRUE(log->Append(nlohmann::ordered_json{{"n", 4}}));

    const std::string after = fixtures::ReadFileBytes(path);
    EXPECT_EQ(after.substr(0, before.size()), before) << "nothing written before is changed";
    const core::AuditLines lines = core::SplitAuditLog(after);
    ASSERT_EQ(lines.lines.size(), 4u);
    EXPECT_EQ(lines.lines[2], torn);
    EXPECT_FALSE(lines.lastLineTorn);
    EXPECT_EQ(nlohmann::json::parse(lines.lines[3])["prev"], core::Sha256Hex(torn));
    EXPECT_EQ(Findings(core::CheckAuditChain(lines)), "torn@3 ");
}

TEST(AuditLog, VerifyChecksTheKeptCopiesTheLinesName) {
    fixtures::TempDir dir;
    const std::string copy = dir.WriteFile("copy.mtd", "method bytes");
    const std::string path = dir.Path() + "/audit.jsonl";
    {
        std::optional<core::AuditLog> log = core::AuditLog::Open(path);
        ASSERT_TRUE(log);
        log->Append({{"backup", copy}, {"before", core::Sha256Hex("method bytes")}});
        log->Append({{"backup", dir.Path() + "/gone.mtd"}, {"before", core::Sha256Hex("x")}});
        log->Append({{"backup", nullptr}});
    }
    const core::AuditLines lines = *core::ReadAuditLog(path);
    EXPECT_EQ(Findings(core::VerifyAuditLog(lines)), "backup@2 ");
    dir.WriteFile("copy.mtd", "method bytes, changed");
    const std::vector<core::AuditFinding> findings = core::VerifyAuditLog(lines);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].kind, Kind::BackupChanged);
    EXPECT_EQ(findings[0].line, 1u);
    EXPECT_EQ(findings[1].kind, Kind::BackupMissing);
}

}  // namespace
