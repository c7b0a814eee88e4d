#include "core/Quality.h"

#include "core/NumberText.h"
#include "core/Settings.h"
#include "platform/Registry.h"
#include "platform/XTPRegistryManager.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>

namespace core {

namespace {

constexpr const char* kMaxSpreadValue = "MaxSpread";
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

// "%.*g" in the C locale, as the dialog shows figures.
std::string Figure(double value, int precision = kProblemPrecision) {
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, r.ptr);
}

std::string LevelName(const CalibrationLevel& level) { return "Уровень " + Figure(level.fraction); }

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
    std::array<double, kCoefficientLevels> k{};
    for (int i = 0; i < kCoefficientLevels; ++i) k[static_cast<size_t>(i)] = c.table[kFirstLevel + i].coefficient;

    double squares = 0;
    for (int i = 0; i < kCoefficientLevels; ++i) {
        const double ki = k[static_cast<size_t>(i)];
        q.deviations[static_cast<size_t>(i)] = Quotient(ki - average, average) * kPercent;
        squares += (ki - average) * (ki - average);
    }
    const double s = std::sqrt(squares / (kCoefficientLevels - 1));
    q.rsd = Quotient(s, average) * kPercent;
    const auto [minimum, maximum] = std::minmax_element(k.begin(), k.end());
    q.spread = Quotient(*maximum - *minimum, average) * kPercent;

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
std::string MissingCoefficientReason(const Calibration& c, const CalibrationLevel& level) {
    if (!(level.standardArea > 0) || !(level.standardAmount > 0))
        return "нет пика изопропанола или масса навески изопропанола не больше 0";
    if (!(level.ethanolArea > c.table[0].ethanolArea)) return "площадь этанола не больше, чем на уровне 0";
    if (!(level.ethanolAmount > 0)) return "масса навески этанола или доля основного вещества не больше 0";
    return "коэффициент не вычислен";
}

// The reasons that refuse acceptance, level by level, then those of the whole calibration.
void FindRefusals(const Calibration& c, CalibrationQuality& q) {
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        std::optional<std::string> problem;
        if (level.file == LevelFile::None)
            problem = "хроматограмма не выбрана";
        else if (level.file == LevelFile::Unreadable)
            problem = "ошибка чтения файла " + FileName(level.path);
        else if (k >= kFirstLevel && !(level.coefficient > 0))
            problem = "нет коэффициента: " + MissingCoefficientReason(c, level);
        if (problem) q.problems.push_back(LevelName(level) + ": " + *problem);
        if (problem || level.sameFileAs >= 0) q.levelMarks[static_cast<size_t>(k)] = LevelMark::Problem;
    }
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        if (level.sameFileAs >= 0 && level.sameFileAs < k)
            q.problems.push_back("Уровни " + Figure(c.table[level.sameFileAs].fraction) + " и " +
                                 Figure(level.fraction) + ": один и тот же файл " + FileName(level.path));
    }
    const double average = c.averageCoefficient;
    if (q.complete && !(std::isfinite(average) && average > 0))
        q.problems.push_back("Средний коэффициент " + Figure(average) + " не является положительным числом");
    if (q.spread > q.maxSpread)
        q.problems.push_back("Разброс коэффициентов " + Figure(q.spread) + " % больше допустимого " +
                             Figure(q.maxSpread) + " %");
}

// What deserves a look without refusing acceptance.
void FindWarnings(const Calibration& c, CalibrationQuality& q) {
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = c.table[k];
        if (level.file != LevelFile::Read || level.calibrationRun) continue;
        q.problems.push_back(LevelName(level) + ": проба «" + level.sampleName + "» не отмечена как градуировочная");
        LevelMark& mark = q.levelMarks[static_cast<size_t>(k)];
        if (mark == LevelMark::None) mark = LevelMark::Warning;
    }
}

}  // namespace

double ReadMaxSpread() {
    const std::string application = platform::ApplicationKeyPath();
    if (application.empty()) return kDefaultMaxSpread;
    const std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(
        platform::RootKey::LocalMachine, application + "\\" + kSettingsSection, platform::RegistryKey::Access::Read);
    if (!key) return kDefaultMaxSpread;
    std::string text;
    platform::ReadRegString(text, *key, kMaxSpreadValue, "");
    const std::optional<double> limit = ParseNumber(text);
    return limit && *limit > 0 ? *limit : kDefaultMaxSpread;
}

CalibrationQuality JudgeCalibration(const Calibration& calibration, double maxSpread) {
    CalibrationQuality q;
    q.maxSpread = maxSpread;
    ComputeStatistics(calibration, q);

    q.complete = true;
    bool noFileTwice = true;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        const CalibrationLevel& level = calibration.table[k];
        if (level.file != LevelFile::Read) q.complete = false;
        if (k >= kFirstLevel && !(level.coefficient > 0)) q.complete = false;
        if (level.sameFileAs >= 0) noFileTwice = false;
    }
    const double average = calibration.averageCoefficient;
    q.accepted = q.complete && std::isfinite(average) && average > 0 && q.spread <= maxSpread && noFileTwice;

    FindRefusals(calibration, q);
    FindWarnings(calibration, q);
    return q;
}

}  // namespace core
