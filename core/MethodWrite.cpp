#include "core/MethodWrite.h"

#include "chromatogram/Passport.h"
#include "core/AuditLog.h"
#include "core/Calc.h"
#include "core/FileIo.h"
#include "core/MethodHistory.h"
#include "core/Quality.h"
#include "core/Sha256.h"
#include "core/WriteSteps.h"
#include "platform/Account.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <utility>

#ifndef OSTREL_VERSION
#error "OSTREL_VERSION (the project's version) must be defined by the build"
#endif

namespace core {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kAttempt = "attempt";
constexpr const char* kPassportStream = "Passport";

Clock installedClock = nullptr;

std::chrono::system_clock::time_point Now() {
    return installedClock ? installedClock() : std::chrono::system_clock::now();
}

// "2026-12-10T10:15:00Z"; `zone` false for a time the data system recorded without its zone.
std::string IsoTime(std::chrono::sys_seconds moment, bool zone) {
    const std::time_t seconds = moment.time_since_epoch().count();
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec, zone ? "Z" : "");
    return text;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// A number as the command line's JSON writes it: not-a-number and the infinities as strings.
Json Number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    return value;
}

Json Coefficient(const StoredCoefficient& stored) {
    return stored.fault == MethodFault::None ? Number(stored.value) : Json(nullptr);
}

Json OptionalText(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// Ties a write's attempt line to its outcome line.
std::string NewId() {
    std::random_device device;
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", device(), device(), device(), device());
    return text;
}

Json Header(const WriteOrigin& origin, const char* action) {
    return Json{{"time", IsoTime(std::chrono::floor<std::chrono::seconds>(Now()), true)},
                {"user", platform::LoginName()},
                {"host", HostName()},
                {"version", ProgramVersion()},
                {"program", origin.program},
                {"action", action}};
}

Json LevelsRecord(const Calibration& calibration) {
    Json levels = Json::array();
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = calibration.table[k];
        Json entry{{"level", level.fraction},
                   {"path", level.path},
                   {"sha256", nullptr},
                   {"dateTime", nullptr},
                   {"sample", level.sampleName}};
        if (!level.path.empty()) {
            if (const std::optional<std::string> hash = Sha256OfFile(level.path)) entry["sha256"] = *hash;
            chromatogram::Passport passport;
            if (passport.ReadFromFile(level.path, kPassportStream))
                entry["dateTime"] = IsoTime(passport.dateTime, false);
        }
        levels.push_back(std::move(entry));
    }
    return levels;
}

Json QualityRecord(const CalibrationQuality& quality) {
    Json deviations = Json::array();
    for (double d : quality.deviations) deviations.push_back(Number(d));
    return Json{{"deviations", std::move(deviations)},
                {"rsd", Number(quality.rsd)},
                {"spread", Number(quality.spread)},
                {"r2", Number(quality.r2)},
                {"blankRatio", Number(quality.blankRatio)},
                {"complete", quality.complete},
                {"maxSpread", Number(quality.maxSpread)},
                {"accepted", quality.accepted},
                {"problems", quality.problems}};
}

std::string StringField(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string FindingCode(AuditFinding::Kind kind) {
    return kind == AuditFinding::Kind::ChainBroken ? "chain-broken" : "torn-line";
}

// One method change from the opened trail to the outcome line.
class MethodChange {
public:
    MethodChange(std::string_view title, const char* action, const WriteOrigin& origin)
        : action_(action), origin_(origin), id_(NewId()) {
        report_.title = title;
        report_.path = MethodFilePath(title);
    }

    MethodWriteReport& Report() { return report_; }

    // Steps 1 and 2: false when the change ends here (Report() tells why).
    bool Begin(MethodFile::Mode mode) {
        std::optional<AuditLog> log = AuditLog::Open(AuditLogPath());
        if (!log) return Refuse(MethodFault::AuditUnavailable);
        log_.emplace(std::move(*log));
        SettleTrail();
        method_.emplace(MethodFile::Open(report_.title, mode));
        report_.oldCoefficient = method_->Stored();
        return method_->Fault() == MethodFault::None || Refuse(method_->Fault());
    }

    MethodFile& Method() { return *method_; }

    // Records a change refused before anything was kept; returns false.
    bool Refuse(MethodFault fault) {
        report_.fault = fault;
        if (log_) {
            Json record = Record(MethodFaultCode(fault));
            record["error"] = MethodFaultText(fault);
            if (!log_->Append(std::move(record))) Notice({.kind = MethodWriteNotice::Kind::RefusalNotRecorded});
        }
        return false;
    }

    // Steps 3 to 6: keeps the method's bytes, records the attempt, lets `change` make the method
    // hold `after`, records the outcome.
    void Commit(const std::string& after, const std::function<MethodFault()>& change) {
        const std::string& before = method_->Bytes();
        before_ = Sha256Hex(before);
        after_ = Sha256Hex(after);
        report_.backup = KeepCopy(report_.title, before, Now());
        if (report_.backup.empty()) {
            Refuse(MethodFault::BackupFailed);
            return;
        }
        if (!log_->Append(Record(kAttempt), "attempt-partial")) {
            // The copy stays: a kept copy that no line names is harmless, and removing it could
            // be cut short as well.
            report_.fault = MethodFault::AuditUnavailable;
            return;
        }
        PassWriteStep("attempt-recorded");
        report_.fault = change();
        PassWriteStep("method-written");
        if (report_.fault != MethodFault::None) after_ = Sha256OfFile(report_.path).value_or("");
        Json outcome = Record(MethodFaultCode(report_.fault));
        if (report_.fault != MethodFault::None) outcome["error"] = MethodFaultText(report_.fault);
        if (!log_->Append(std::move(outcome), "outcome-partial"))
            Notice({.kind = MethodWriteNotice::Kind::OutcomeNotRecorded});
        PassWriteStep("outcome-recorded");
    }

private:
    void Notice(MethodWriteNotice notice) {
        report_.notices.push_back(RussianText(NoticeMessage(notice)));
        report_.trailNotices.push_back(std::move(notice));
    }

    Json Record(const std::string& outcome) {
        Json record = Header(origin_, action_);
        record["method"] = report_.title;
        record["file"] = report_.path;
        record["outcome"] = outcome;
        record["old"] = Coefficient(report_.oldCoefficient);
        record["new"] = Coefficient(report_.newCoefficient);
        record["backup"] = OptionalText(report_.backup);
        if (!report_.from.empty()) record["from"] = report_.from;
        record["before"] = OptionalText(before_);
        record["after"] = OptionalText(after_);
        if (origin_.calibration) {
            const Calibration& c = *origin_.calibration;
            record["inputs"] = Json{{"nav", Number(c.nav)}, {"nav2", Number(c.nav2)}, {"dolya", Number(c.dolya)}};
            if (levels_.is_null()) levels_ = LevelsRecord(c);
            record["levels"] = levels_;
        }
        if (origin_.quality) record["quality"] = QualityRecord(*origin_.quality);
        record["id"] = id_;
        return record;
    }

    // Step 1: what the trail shows that nobody was told yet.
    void SettleTrail() {
        std::vector<Json> lines;
        for (const std::string& text : log_->Lines().lines) {
            Json line = Json::parse(text, nullptr, false);
            lines.push_back(line.is_object() ? std::move(line) : Json());
        }
        ReportFindings(lines);
        SettleInterruptedWrites(lines);
    }

    // A chain break or torn line is said once: the "audit-check" line that says it keeps it from
    // being said again.
    void ReportFindings(const std::vector<Json>& lines) {
        std::set<std::pair<std::string, std::size_t>> said;
        for (const Json& line : lines)
            if (StringField(line, "action") == "audit-check" && line.contains("line") &&
                line["line"].is_number_unsigned())
                said.emplace(StringField(line, "outcome"), line["line"].get<std::size_t>());
        for (const AuditFinding& finding : CheckAuditChain(log_->Lines())) {
            const std::string code = FindingCode(finding.kind);
            if (said.contains({code, finding.line})) continue;
            Json record = Header(origin_, "audit-check");
            record["file"] = log_->Path();
            record["outcome"] = code;
            record["line"] = finding.line;
            record["error"] = AuditFindingText(finding);
            log_->Append(std::move(record));
            Notice({.kind = MethodWriteNotice::Kind::TrailFinding, .finding = finding});
        }
    }

    // An attempt line without an outcome line after it: its writer was killed. What became of the
    // method shows in its hash: the "before" of the next change of the same file, or else its
    // hash now.
    void SettleInterruptedWrites(const std::vector<Json>& lines) {
        std::map<std::string, std::size_t> open;  // id -> index of the attempt line
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string id = StringField(lines[i], "id");
            if (id.empty()) continue;
            if (StringField(lines[i], "outcome") == kAttempt)
                open[id] = i;
            else
                open.erase(id);
        }
        std::vector<std::size_t> attempts;
        for (const auto& [id, index] : open) attempts.push_back(index);
        std::sort(attempts.begin(), attempts.end());
        for (const std::size_t index : attempts) {
            const Json& attempt = lines[index];
            const std::string file = StringField(attempt, "file");
            std::optional<std::string> state;
            for (std::size_t j = index + 1; j < lines.size() && !state; ++j)
                if (StringField(lines[j], "file") == file && !StringField(lines[j], "before").empty())
                    state = StringField(lines[j], "before");
            if (!state) state = Sha256OfFile(file).value_or("");
            const char* outcome = *state == StringField(attempt, "after")    ? "written"
                                  : *state == StringField(attempt, "before") ? "interrupted"
                                                                             : "unknown";
            Json record = Header(origin_, StringField(attempt, "action").c_str());
            for (const auto& [key, value] : attempt.items())
                if (!record.contains(key) && key != "prev") record[key] = value;
            record["outcome"] = outcome;
            record["attempt"] = index + 1;
            log_->Append(std::move(record));
            using Kind = MethodWriteNotice::Kind;
            Notice({.kind = outcome == std::string("written")       ? Kind::InterruptedWritten
                            : outcome == std::string("interrupted") ? Kind::InterruptedUnchanged
                                                                    : Kind::InterruptedUnknown,
                    .method = StringField(attempt, "method"),
                    .line = index + 1});
        }
    }

    const char* action_;
    const WriteOrigin& origin_;
    std::string id_;
    MethodWriteReport report_;
    std::optional<AuditLog> log_;
    std::optional<MethodFile> method_;
    std::string before_, after_;
    Json levels_;
};

}  // namespace

Message NoticeMessage(const MethodWriteNotice& notice) {
    using Kind = MethodWriteNotice::Kind;
    const auto text = [](const char* russian, std::vector<Message> arguments = {}) {
        return Message{"MethodWriteNotice", russian, std::move(arguments)};
    };
    const std::vector<Message> write = {Message::Data(notice.method), Message::Data(std::to_string(notice.line))};
    switch (notice.kind) {
    case Kind::TrailFinding:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice", "Журнал изменений, %1."),
                    {AuditFindingMessage(notice.finding)});
    case Kind::InterruptedWritten:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice",
                                      "Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод был "
                                      "записан."),
                    write);
    case Kind::InterruptedUnchanged:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice",
                                      "Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод "
                                      "остался прежним."),
                    write);
    case Kind::InterruptedUnknown:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice",
                                      "Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод с "
                                      "тех пор изменён, исход неизвестен."),
                    write);
    case Kind::RefusalNotRecorded:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice", "Отказ не удалось записать в журнал изменений."));
    case Kind::OutcomeNotRecorded:
        return text(QT_TRANSLATE_NOOP("MethodWriteNotice",
                                      "Исход записи не удалось внести в журнал изменений; строка попытки в "
                                      "журнале есть, исход будет внесён при следующей записи."));
    }
    return Message::Data("?");
}

std::string ProgramVersion() { return OSTREL_VERSION; }

Clock SetClock(Clock clock) { return std::exchange(installedClock, clock); }

MethodWriteReport SaveCoefficient(std::string_view title, double coefficient, const WriteOrigin& origin) {
    MethodChange change(title, "save-method", origin);
    change.Report().newCoefficient = {MethodFault::None, coefficient};
    if (!change.Begin(MethodFile::Mode::ReadWrite)) return change.Report();
    if (!std::isfinite(coefficient) || coefficient <= 0) {
        change.Refuse(MethodFault::BadCoefficient);
        return change.Report();
    }
    std::size_t p = 0;
    if (const MethodFault fault = change.Method().FindRecord(p); fault != MethodFault::None) {
        change.Refuse(fault);
        return change.Report();
    }
    change.Commit(change.Method().Patched(coefficient), [&] { return change.Method().Patch(coefficient); });
    return change.Report();
}

MethodWriteReport RestoreMethod(std::string_view title, std::string_view from, const WriteOrigin& origin) {
    MethodChange change(title, "restore-method", origin);
    MethodWriteReport& report = change.Report();
    if (from.empty()) {
        const std::vector<KeptCopy> copies = ListKeptCopies(title);
        if (!copies.empty()) report.from = copies.back().path;
    } else {
        report.from = from;
    }
    if (!change.Begin(MethodFile::Mode::ReadWrite)) return report;
    std::optional<std::string> copy;
    if (!report.from.empty()) {
        const int fd = ::open(report.from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            copy = ReadAll(fd);
            ::close(fd);
        }
    }
    if (!copy) {
        change.Refuse(MethodFault::NoKeptCopy);
        return report;
    }
    report.newCoefficient = StoredCoefficientOf(*copy);
    change.Commit(*copy, [&] { return change.Method().Replace(*copy); });
    return report;
}

}  // namespace core
