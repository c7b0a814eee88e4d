#include "core/MethodWrite.h"

#include "core/AuditLog.h"
#include "core/MethodHistory.h"
#include "core/Sha256.h"
#include "core/WriteSteps.h"
#include "platform/LockedFile.h"
#include "platform/XTPRegistryManager.h"
#include "support/SettingsHome.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace {

using core::MethodFault;
using Json = nlohmann::json;

const std::string kKey = "\x06\xFD\xF2\xE0\xED\xEE\xEB";
constexpr std::size_t kRecord = 40;

// The clock stands still at 2026-12-10 10:15:00 UTC unless a test moves it.
std::chrono::system_clock::time_point clockNow =
    std::chrono::sys_days{std::chrono::December / 10 / 2026} + std::chrono::hours(10) + std::chrono::minutes(15);
std::chrono::system_clock::time_point FixedClock() { return clockNow; }

// A method whose ethanol record holds `coefficient`; `flagged` as the write leaves it.
std::string MethodBytes(double coefficient, bool flagged = false) {
    std::string bytes(120, 'm');
    bytes.replace(kRecord, kKey.size(), kKey);
    std::memcpy(bytes.data() + kRecord + 31, &coefficient, 8);
    if (flagged) bytes.replace(kRecord + 43, 4, std::string("\x01\0\0\0", 4));
    return bytes;
}

double CoefficientIn(const std::string& bytes) {
    double value;
    std::memcpy(&value, bytes.data() + kRecord + 31, 8);
    return value;
}

// A private settings store and data folder, a method folder with the method "wine" holding 50.
class MethodWrite : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = home_.Dir().MakeFolder("methods");
        platform::XTPRegistryManager().SetStringValue("", "MethodPath", folder_);
        wine_ = home_.Dir().WriteFile("methods/wine.mtd", MethodBytes(50));
        previousClock_ = core::SetClock(FixedClock);
    }
    void TearDown() override { core::SetClock(previousClock_); }

    std::string Wine() const { return fixtures::ReadFileBytes(wine_); }
    std::string LogPath() const { return home_.OstrelData() + "/audit.jsonl"; }
    core::AuditLines Log() const { return core::SplitAuditLog(fixtures::ReadFileBytes(LogPath())); }
    std::vector<Json> Records() const {
        std::vector<Json> records;
        for (const std::string& line : Log().lines)
            if (Json::accept(line)) records.push_back(Json::parse(line));  // torn lines left out
        return records;
    }
    std::vector<core::AuditFinding> Faults() const {
        std::vector<core::AuditFinding> faults;
        for (const core::AuditFinding& f : core::VerifyAuditLog(Log()))
            if (f.kind != core::AuditFinding::Kind::TornLine) faults.push_back(f);
        return faults;
    }

    static core::MethodWriteReport Save(double coefficient, const char* title = "wine") {
        return core::SaveCoefficient(title, coefficient, {"ostrel-cli"});
    }

    fixtures::SettingsHome home_;
    std::string folder_, wine_;
    core::Clock previousClock_ = nullptr;
};

TEST_F(MethodWrite, KeepsACopyThenWritesAndRecordsTheChange) {
    const std::string before = Wine();
    const core::MethodWriteReport report = Save(100.60439621282);
    ASSERT_TRUE(report.Written()) << core::MethodFaultText(report.fault);
    EXPECT_EQ(report.path, wine_);
    EXPECT_EQ(report.oldCoefficient.value, 50);
    EXPECT_EQ(CoefficientIn(Wine()), 100.60439621282);
    EXPECT_EQ(report.backup, home_.OstrelData() + "/methods/wine/20261210T101500Z.mtd");
    EXPECT_EQ(fixtures::ReadFileBytes(report.backup), before);
    EXPECT_TRUE(report.notices.empty());

    const std::vector<Json> records = Records();
    ASSERT_EQ(records.size(), 2u);
    for (const Json& r : records) {
        EXPECT_EQ(r["time"], "2026-12-10T10:15:00Z");
        EXPECT_EQ(r["action"], "save-method");
        EXPECT_EQ(r["method"], "wine");
        EXPECT_EQ(r["file"], wine_);
        EXPECT_EQ(r["old"], 50);
        EXPECT_EQ(r["new"], 100.60439621282);
        EXPECT_EQ(r["backup"], report.backup);
        EXPECT_EQ(r["before"], core::Sha256Hex(before));
        EXPECT_EQ(r["after"], core::Sha256Hex(Wine()));
        EXPECT_EQ(r["version"], core::ProgramVersion());
        EXPECT_FALSE(r["user"].get<std::string>().empty());
        EXPECT_EQ(r["id"], records[0]["id"]);
    }
    EXPECT_EQ(records[0]["outcome"], "attempt");
    EXPECT_EQ(records[1]["outcome"], "written");

    // A second write in the same second keeps its own copy.
    const core::MethodWriteReport again = Save(101);
    ASSERT_TRUE(again.Written());
    EXPECT_EQ(again.backup, home_.OstrelData() + "/methods/wine/20261210T101500Z-1.mtd");
    EXPECT_EQ(CoefficientIn(fixtures::ReadFileBytes(again.backup)), 100.60439621282);
    EXPECT_EQ(fixtures::ReadFileBytes(report.backup), before);
    EXPECT_EQ(core::ListKeptCopies("wine").back().path, again.backup);
    EXPECT_TRUE(Faults().empty());
}

TEST_F(MethodWrite, RefusesAndRecordsEveryFaultWithoutChangingAnything) {
    home_.Dir().WriteFile("methods/plain.mtd", std::string(100, 'x'));
    std::string cut = MethodBytes(50).substr(0, kRecord + 20);
    home_.Dir().WriteFile("methods/cut.mtd", cut);
    const std::string readOnly = home_.Dir().WriteFile("methods/ro.mtd", MethodBytes(50));
    ::chmod(readOnly.c_str(), 0444);
    const auto holder = platform::LockedFile::Open(home_.Dir().WriteFile("methods/locked.mtd", MethodBytes(50)),
                                                   platform::LockedFile::Mode::ReadOnly);
    ASSERT_TRUE(holder);

    struct Case {
        const char* title;
        double coefficient;
        MethodFault fault;
    };
    std::vector<Case> cases = {
        {"missing", 1, MethodFault::NoSuchFile},
        {"plain", 1, MethodFault::NoEthanolRecord},
        {"cut", 1, MethodFault::RecordCutShort},
        {"locked", 1, MethodFault::Locked},
        {"wine", 0, MethodFault::BadCoefficient},
        {"wine", -2, MethodFault::BadCoefficient},
        {"wine", std::numeric_limits<double>::quiet_NaN(), MethodFault::BadCoefficient},
        {"wine", std::numeric_limits<double>::infinity(), MethodFault::BadCoefficient},
    };
    if (::geteuid() != 0) cases.push_back({"ro", 1, MethodFault::NotWritable});  // root may write anything
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        contents[entry.path()] = fixtures::ReadFileBytes(entry.path());

    for (const Case& c : cases) {
        const core::MethodWriteReport report = Save(c.coefficient, c.title);
        EXPECT_EQ(report.fault, c.fault) << c.title << " " << c.coefficient;
        EXPECT_EQ(report.backup, "");
        const Json last = Records().back();
        EXPECT_EQ(last["outcome"], core::MethodFaultCode(c.fault));
        EXPECT_EQ(last["error"], core::MethodFaultText(c.fault));
        EXPECT_EQ(last["method"], c.title);
        // A method that may be read though not written: the record keeps the value it holds.
        if (c.fault == MethodFault::NotWritable) {
            EXPECT_EQ(last["old"], 50.0);
        }
    }
    EXPECT_EQ(Records().size(), cases.size()) << "one line for each refusal";
    for (const auto& [path, bytes] : contents) EXPECT_EQ(fixtures::ReadFileBytes(path), bytes) << path;
    EXPECT_FALSE(std::filesystem::exists(home_.OstrelData() + "/methods")) << "no copy of a method not changed";

    platform::XTPRegistryManager().SetStringValue("", "MethodPath", folder_ + "/gone");
    EXPECT_EQ(Save(1).fault, MethodFault::MethodFolderMissing);
    platform::XTPRegistryManager().SetStringValue("", "MethodPath", "");
    EXPECT_EQ(Save(1).fault, MethodFault::NoMethodFolder);
    EXPECT_EQ(Records().back()["outcome"], "no-method-folder");
    EXPECT_TRUE(Faults().empty());
}

// Without a trail to record it in, nothing is written.
TEST_F(MethodWrite, WritesNothingItCannotRecord) {
    std::filesystem::create_directories(home_.Dir().Path() + "/data/Tarnwick");
    home_.Dir().WriteFile("data/Tarnwick/Ostrel", "a file where the folder should be");
    const std::string before = Wine();
    EXPECT_EQ(Save(7).fault, MethodFault::AuditUnavailable);
    EXPECT_EQ(Wine(), before);
}

TEST_F(MethodWrite, RestorePutsAKeptCopyBackAndIsItselfUndoable) {
    const std::string first = Wine();
    ASSERT_TRUE(Save(60).Written());
    const std::string second = Wine();
    ASSERT_TRUE(Save(70).Written());
    const std::string third = Wine();
    // The data system changed something else in the method since: a restore puts the whole
    // copy back.
    std::string edited = third;
    edited[5] = 'E';
    home_.Dir().WriteFile("methods/wine.mtd", edited);
    ::chmod(wine_.c_str(), 0640);

    const core::MethodWriteReport undo = core::RestoreMethod("wine", "", {"ostrel"});
    ASSERT_TRUE(undo.Written()) << core::MethodFaultText(undo.fault);
    EXPECT_EQ(Wine(), second) << "the newest copy: the method before the last write";
    EXPECT_EQ(undo.oldCoefficient.value, 70);
    EXPECT_EQ(undo.newCoefficient.value, 60);
    EXPECT_EQ(fixtures::ReadFileBytes(undo.backup), edited);
    struct stat st;
    ASSERT_EQ(::stat(wine_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the method keeps its permissions";
    const Json record = Records().back();
    EXPECT_EQ(record["action"], "restore-method");
    EXPECT_EQ(record["outcome"], "written");
    EXPECT_EQ(record["from"], undo.from);
    EXPECT_EQ(record["backup"], undo.backup);

    // Undoing the undo brings the edited method back; an older copy can be named.
    ASSERT_TRUE(core::RestoreMethod("wine", "", {"ostrel"}).Written());
    EXPECT_EQ(Wine(), edited);
    ASSERT_TRUE(core::RestoreMethod("wine", core::ListKeptCopies("wine").front().path, {"ostrel"}).Written());
    EXPECT_EQ(Wine(), first);
    EXPECT_TRUE(Faults().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1) << "no file left beside it";

    EXPECT_EQ(core::RestoreMethod("wine", folder_ + "/none.mtd", {"ostrel"}).fault, MethodFault::NoKeptCopy);
    home_.Dir().WriteFile("methods/new.mtd", MethodBytes(1));
    EXPECT_EQ(core::RestoreMethod("new", "", {"ostrel"}).fault, MethodFault::NoKeptCopy);
    EXPECT_EQ(Records().back()["outcome"], "no-kept-copy");
    EXPECT_EQ(Wine(), first);
}

// A chain broken by hand is said once, never rewritten, and the trail goes on after it.
TEST_F(MethodWrite, SaysABrokenChainOnceAndAppendsAfterIt) {
    ASSERT_TRUE(Save(60).Written());
    std::string text = fixtures::ReadFileBytes(LogPath());
    text.replace(text.find("\"new\":60"), 8, "\"new\":66");
    std::ofstream(LogPath(), std::ios::trunc | std::ios::binary) << text;

    const core::MethodWriteReport report = Save(70);
    ASSERT_TRUE(report.Written());
    ASSERT_EQ(report.notices.size(), 1u);
    EXPECT_NE(report.notices[0].find("строка 2: цепочка нарушена"), std::string::npos) << report.notices[0];
    EXPECT_EQ(fixtures::ReadFileBytes(LogPath()).substr(0, text.size()), text);
    EXPECT_EQ(Records()[2]["action"], "audit-check");
    EXPECT_EQ(Records()[2]["line"], 2);

    EXPECT_TRUE(Save(80).notices.empty()) << "said once";
    const std::vector<core::AuditFinding> faults = Faults();
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].line, 2u) << "the trail itself stays broken there";
}

// ---------------------------------------------------------------------------------------------
// A writer killed at each step of the write, round after round on the same method and trail.

const char* killAt = nullptr;
void KillAtStep(const char* step) {
    if (std::strcmp(step, killAt) == 0) ::_exit(77);
}

// Runs `write` in a child process that dies at `step`; whether it got there.
bool KilledAt(const char* step, const std::function<void()>& write) {
    const pid_t child = ::fork();
    if (child == 0) {
        killAt = step;
        core::SetWriteStepHook(KillAtStep);
        write();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 77;
}

TEST_F(MethodWrite, AKilledWriterLeavesMethodCopiesAndTrailConsistent) {
    struct Step {
        const char* name;
        bool methodWritten;   // the method holds what was written
        const char* settled;  // how the next write settles the attempt; nullptr: no attempt line
    };
    const std::vector<Step> steps = {
        {"backup-partial", false, nullptr},       {"backup-kept", false, nullptr},
        {"attempt-partial", false, nullptr},      {"attempt-recorded", false, "interrupted"},
        {"method-partial", false, "interrupted"},  // a restore's new file half written
        {"method-written", true, "written"},      {"outcome-partial", true, "written"},
        {"outcome-recorded", true, nullptr},
    };
    std::set<std::string> versions = {Wine()};  // every state the method has been in
    double coefficient = 100;
    // Rounds of writes and of restores (each putting back the copy kept by the write before).
    for (const bool restore : {false, true, false, true}) {
        for (const Step& step : steps) {
            if (!restore && std::strcmp(step.name, "method-partial") == 0) continue;  // one write in place
            SCOPED_TRACE(std::string(step.name) + (restore ? " restore" : " save"));
            const std::string before = Wine();
            const std::size_t linesBefore = Log().lines.size();
            coefficient += 1;
            const std::string newest = core::ListKeptCopies("wine").empty()
                                           ? std::string()
                                           : fixtures::ReadFileBytes(core::ListKeptCopies("wine").back().path);
            const double written = restore ? CoefficientIn(newest) : coefficient;
            ASSERT_TRUE(KilledAt(step.name, [&] {
                if (restore)
                    core::RestoreMethod("wine", "", {"ostrel-cli"});
                else
                    core::SaveCoefficient("wine", coefficient, {"ostrel-cli"});
            }));

            const std::string after = Wine();
            EXPECT_EQ(after, step.methodWritten ? (restore ? newest : MethodBytes(coefficient, true)) : before);
            versions.insert(after);
            for (const core::KeptCopy& copy : core::ListKeptCopies("wine"))
                EXPECT_TRUE(versions.contains(fixtures::ReadFileBytes(copy.path))) << copy.path << " is whole";
            const core::AuditLines log = Log();
            for (std::size_t i = 0; i < log.lines.size(); ++i) {
                const bool last = i + 1 == log.lines.size();
                if (last && log.lastLineTorn) continue;
                EXPECT_TRUE(Json::accept(log.lines[i]) || i < linesBefore) << "line " << i + 1;
            }
            EXPECT_TRUE(Faults().empty());

            // The next write settles what the killed one left and goes through.
            coefficient += 1;
            const core::MethodWriteReport next = Save(coefficient);
            ASSERT_TRUE(next.Written()) << core::MethodFaultText(next.fault);
            EXPECT_EQ(Wine(), MethodBytes(coefficient, true));
            versions.insert(Wine());
            EXPECT_EQ(fixtures::ReadFileBytes(next.backup), after);
            EXPECT_TRUE(Faults().empty());
            if (step.settled) {
                bool found = false;
                for (const Json& r : Records())
                    found = found || (r.contains("attempt") && r["outcome"] == step.settled && r["new"] == written);
                EXPECT_TRUE(found) << "the attempt is settled as " << step.settled;
                EXPECT_FALSE(next.notices.empty());
            }
        }
    }
}

}  // namespace
