#include "core/Quality.h"

#include "core/NumberText.h"
#include "core/ReadFailureMessage.h"
#include "core/Settings.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>

namespace core {

namespace {

constexpr const char* kMaxSpreadValue = "MaxSpread";
constexpr const char* kMaxRetentionShiftValue = "MaxRetentionShift";
// The components as the verdict names them.
constexpr const char* kEthanolName = "этанол";
constexpr const char* kStandardName = "изопропанол";
constexpr double kPercent = 100;
constexpr int kFirstLevel = 1;
constexpr int kLastLevel = CalibrationTable::kLevelCount - 1;
constexpr int kCoefficientLevels = kLastLevel - kFirstLevel + 1;
// Figures inside the problem texts: enough to tell 15.04 % from 15 %.
constexpr int kProblemPrecision = 4;

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// a / b, and not a number when b is 0 or not a number (an infinite quotient would only hide that
// there was nothing to divide by).
double Quotient(double a, double b) { return b == 0 || std::isnan(b) ? kNotANumber : a / b; }

std::string Figure(double value, int precision = kProblemPrecision) { return SignificantText(value, precision); }

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The calibration point of a level in double precision: x the detector response relative to
// the internal standard, y the ethanol amount.
struct Point {
    double x, y;
};

Point CalibrationPoint(const Calibration& c, int k) {
    const CalibrationLevel& level = c.table[k];
    return {Quotient((level.ethanolArea - c.table[0].ethanolArea) * level.standardAmount, level.standardArea),
            level.ethanolAmount};
}

void ComputeStatistics(const Calibration& c, CalibrationQuality& q) {
    const double average = c.averageCoefficient;
    // A share of an average that is not above 0 means nothing: its sign would turn the figures.
    const double relativeTo = average > 0 ? average : kNotANumber;
    std::array<double, kCoefficientLevels> k{};
    for (int i = 0; i < kCoefficientLevels; ++i) k[static_cast<size_t>(i)] = c.table[kFirstLevel + i].coefficient;

    double squares = 0;
    for (int i = 0; i < kCoefficientLevels; ++i) {
        const double ki = k[static_cast<size_t>(i)];
        q.deviations[static_cast<size_t>(i)] = Quotient(ki - average, relativeTo) * kPercent;
        squares += (ki - average) * (ki - average);
    }
    const double s = std::sqrt(squares / (kCoefficientLevels - 1));
    q.rsd = Quotient(s, relativeTo) * kPercent;
    const auto [minimum, maximum] = std::minmax_element(k.begin(), k.end());
    q.spread = Quotient(*maximum - *minimum, relativeTo) * kPercent;

    std::array<Point, kCoefficientLevels> points{};
    double meanY = 0;
    for (int i = 0; i < kCoefficientLevels; ++i) {
        points[static_cast<size_t>(i)] = CalibrationPoint(c, kFirstLevel + i);
        meanY += points[static_cast<size_t>(i)].y / kCoefficientLevels;
    }
    double residual = 0, total = 0;
    for (const Point& p : points) {
        residual += (p.y - average * p.x) * (p.y - average * p.x);
        total += (p.y - meanY) * (p.y - meanY);
    }
    q.r2 = 1 - Quotient(residual, total);

    q.blankRatio = Quotient(c.table[0].ethanolArea, c.table[1].ethanolArea) * kPercent;
}

// Why a level whose file was read has no coefficient, as far as its figures tell.
CalibrationProblem::Kind MissingCoefficientReason(const Calibration& c, const CalibrationLevel& level) {
    using Kind = CalibrationProblem::Kind;
    if (!(level.standardArea > 0) || !(level.standardAmount > 0)) return Kind::NoStandard;
    if (!(level.ethanolArea > c.table[0].ethanolArea)) return Kind::EthanolNotAboveBlank;
    if (!(level.ethanolAmount > 0)) return Kind::NoEthanolAmount;
    return Kind::NoCoefficient;
}

// The reasons that refuse acceptance, level by level, then those of the whole calibration.
void FindRefusals(const Calibration& c, CalibrationQuality& q) {
    using Kind = CalibrationProblem::Kind;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        std::optional<CalibrationProblem> problem;
        if (level.file == LevelFile::None)
            problem = CalibrationProblem{.kind = Kind::NoFile, .fraction = level.fraction};
        else if (level.file == LevelFile::Unreadable)
            problem = CalibrationProblem{.kind = Kind::Unreadable,
                                         .fraction = level.fraction,
                                         .name = FileName(level.path),
                                         .failure = level.readFailure.kind};
        else if (k >= kFirstLevel && !(level.coefficient > 0))
            problem = CalibrationProblem{.kind = MissingCoefficientReason(c, level), .fraction = level.fraction};
        if (problem) q.reasons.push_back(std::move(*problem));
        if (problem || level.sameFileAs >= 0) q.levelMarks[static_cast<size_t>(k)] = LevelMark::Problem;
    }
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        if (level.sameFileAs < 0 || level.sameFileAs >= k) continue;
        // Under a link or another spelling of the path the operator chose two names: both are told.
        const std::string& otherPath = c.table[level.sameFileAs].path;
        const bool twoPaths = otherPath != level.path;
        q.reasons.push_back({.kind = Kind::SameFile,
                             .fraction = level.fraction,
                             .otherFraction = c.table[level.sameFileAs].fraction,
                             .name = twoPaths ? level.path : FileName(level.path),
                             .otherName = twoPaths ? otherPath : std::string()});
    }
    const double average = c.averageCoefficient;
    if (q.complete && !(std::isfinite(average) && average > 0))
        q.reasons.push_back({.kind = Kind::AverageNotPositive, .value = average});
    if (q.spread > q.maxSpread)
        q.reasons.push_back({.kind = Kind::SpreadOverLimit, .value = q.spread, .limit = q.maxSpread});
}

RetentionAgreement CompareRetention(const Calibration& c, double CalibrationLevel::*retention) {
    RetentionAgreement a;
    std::vector<double> found;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const double t = c.table[k].*retention;
        a.times[static_cast<size_t>(k)] = t;
        if (!std::isnan(t)) found.push_back(t);
    }
    std::sort(found.begin(), found.end());
    const std::size_t n = found.size();
    a.median = n == 0 ? kNotANumber : n % 2 == 1 ? found[n / 2] : (found[n / 2 - 1] + found[n / 2]) / 2;
    for (std::size_t k = 0; k < a.times.size(); ++k) a.shifts[k] = Quotient(a.times[k] - a.median, a.median) * kPercent;
    return a;
}

void MarkWarning(CalibrationQuality& q, int level) {
    LevelMark& mark = q.levelMarks[static_cast<size_t>(level)];
    if (mark == LevelMark::None) mark = LevelMark::Warning;
}

// What deserves a look without refusing acceptance: level by level, the passport first, then
// the peaks in the order ethanol, isopropanol.
void FindWarnings(const Calibration& c, CalibrationQuality& q) {
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        if (level.file == LevelFile::Read && !level.calibrationRun) {
            q.reasons.push_back({.kind = CalibrationProblem::Kind::NotCalibrationRun,
                                 .fraction = level.fraction,
                                 .name = level.sampleName});
            MarkWarning(q, k);
        }
        for (const auto& [agreement, name] : {std::pair{&q.ethanolRetention, kEthanolName},
                                              std::pair{&q.standardRetention, kStandardName}}) {
            const double shift = agreement->shifts[static_cast<size_t>(k)];
            if (!(std::fabs(shift) > q.maxRetentionShift)) continue;
            q.reasons.push_back({.kind = CalibrationProblem::Kind::RetentionShift,
                                 .fraction = level.fraction,
                                 .value = shift,
                                 .limit = q.maxRetentionShift,
                                 .name = name});
            MarkWarning(q, k);
        }
    }
}

// The template of a problem's text; %1 is the level, where the problem names one.
const char* ProblemTemplate(const CalibrationProblem& problem) {
    using Kind = CalibrationProblem::Kind;
    switch (problem.kind) {
    case Kind::InputsNotShown:
        return QT_TRANSLATE_NOOP("CalibrationProblem",
                                 "Расчёт сделан не по значениям полей: в поле, отмеченном красным, нет числа");
    case Kind::NoFile: return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровень %1: хроматограмма не выбрана");
    case Kind::Unreadable: return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровень %1: ошибка чтения файла %2: %3");
    case Kind::NoStandard:
        return QT_TRANSLATE_NOOP(
            "CalibrationProblem",
            "Уровень %1: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0");
    case Kind::EthanolNotAboveBlank:
        return QT_TRANSLATE_NOOP("CalibrationProblem",
                                 "Уровень %1: нет коэффициента: площадь этанола не больше, чем на уровне 0");
    case Kind::NoEthanolAmount:
        return QT_TRANSLATE_NOOP(
            "CalibrationProblem",
            "Уровень %1: нет коэффициента: масса навески этанола или доля основного вещества не больше 0");
    case Kind::NoCoefficient:
        return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровень %1: нет коэффициента: коэффициент не вычислен");
    case Kind::SameFile:
        if (!problem.otherName.empty())
            return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровни %1 и %2: один и тот же файл под двумя путями: %4 и %3");
        return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровни %1 и %2: один и тот же файл %3");
    case Kind::AverageNotPositive:
        return QT_TRANSLATE_NOOP("CalibrationProblem", "Средний коэффициент %1 не является положительным числом");
    case Kind::SpreadOverLimit:
        return QT_TRANSLATE_NOOP("CalibrationProblem", "Разброс коэффициентов %1 % больше допустимого %2 %");
    case Kind::NotCalibrationRun:
        return QT_TRANSLATE_NOOP("CalibrationProblem", "Уровень %1: проба «%2» не отмечена как градуировочная");
    case Kind::RetentionShift:
        return QT_TRANSLATE_NOOP("CalibrationProblem",
                                 "Уровень %1: время удерживания пика «%2» отличается от медианы уровней на %3 % "
                                 "(допуск %4 %)");
    }
    return "?";
}

}  // namespace

namespace {

// A limit of the lab: a per-machine string holding a positive number, else `fallback`.
double ReadLimit(const char* valueName, double fallback) {
    const std::string application = platform::ApplicationKeyPath();
    if (application.empty()) return fallback;
    const std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(
        platform::RootKey::LocalMachine, application + "\\" + kSettingsSection, platform::RegistryKey::Access::Read);
    if (!key) return fallback;
    std::string text;
    platform::ReadRegString(text, *key, valueName, "");
    const std::optional<double> limit = ParseNumber(text);
    return limit && *limit > 0 ? *limit : fallback;
}

}  // namespace

double ReadMaxSpread() { return ReadLimit(kMaxSpreadValue, kDefaultMaxSpread); }

double ReadMaxRetentionShift() { return ReadLimit(kMaxRetentionShiftValue, kDefaultMaxRetentionShift); }

CalibrationQuality JudgeCalibration(const Calibration& calibration, double maxSpread, InputsShown inputs,
                                    double maxRetentionShift) {
    CalibrationQuality q;
    q.maxSpread = maxSpread;
    q.maxRetentionShift = maxRetentionShift;
    ComputeStatistics(calibration, q);
    q.ethanolRetention = CompareRetention(calibration, &CalibrationLevel::ethanolRetention);
    q.standardRetention = CompareRetention(calibration, &CalibrationLevel::standardRetention);

    q.complete = true;
    bool noFileTwice = true;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = calibration.table[k];
        if (level.file != LevelFile::Read) q.complete = false;
        if (k >= kFirstLevel && !(level.coefficient > 0)) q.complete = false;
        if (level.sameFileAs >= 0) noFileTwice = false;
    }
    const double average = calibration.averageCoefficient;
    q.accepted = inputs == InputsShown::AsShown && q.complete && std::isfinite(average) && average > 0 &&
                 q.spread <= maxSpread && noFileTwice;

    if (inputs == InputsShown::NotAsShown) q.reasons.push_back({.kind = CalibrationProblem::Kind::InputsNotShown});
    FindRefusals(calibration, q);
    FindWarnings(calibration, q);
    for (const CalibrationProblem& problem : q.reasons) q.problems.push_back(RussianText(ProblemMessage(problem)));
    return q;
}

Message ProblemMessage(const CalibrationProblem& problem) {
    using Kind = CalibrationProblem::Kind;
    Message message{"CalibrationProblem", ProblemTemplate(problem), {}};
    std::vector<Message>& arguments = message.arguments;
    switch (problem.kind) {
    case Kind::SameFile:
        arguments = {Message::Data(Figure(problem.otherFraction)), Message::Data(Figure(problem.fraction)),
                     Message::Data(problem.name), Message::Data(problem.otherName)};
        break;
    case Kind::AverageNotPositive: arguments = {Message::Data(Figure(problem.value))}; break;
    case Kind::SpreadOverLimit:
        arguments = {Message::Data(Figure(problem.value)), Message::Data(Figure(problem.limit))};
        break;
    case Kind::RetentionShift:
        arguments = {Message::Data(Figure(problem.fraction)), Message::Data(problem.name),
                     Message::Data(Figure(std::fabs(problem.value))), Message::Data(Figure(problem.limit))};
        break;
    case Kind::Unreadable:
        arguments = {Message::Data(Figure(problem.fraction)), Message::Data(problem.name),
                     ReadFailureMessage(problem.failure)};
        break;
    case Kind::InputsNotShown: break;
    case Kind::NotCalibrationRun:
        arguments = {Message::Data(Figure(problem.fraction)), Message::Data(problem.name)};
        break;
    case Kind::NoFile:
    case Kind::NoStandard:
    case Kind::EthanolNotAboveBlank:
    case Kind::NoEthanolAmount:
    case Kind::NoCoefficient: arguments = {Message::Data(Figure(problem.fraction))}; break;
    }
    return message;
}

}  // namespace core
