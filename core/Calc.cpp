#include "core/Calc.h"

#include "chromatogram/ChmFile.h"
#include "platform/Text.h"

#include <filesystem>
#include <limits>
#include <system_error>

namespace core {

namespace {

// Turns nav × dolya × fraction into the ethanol amount and nav2 into the standard amount, as the
// lab's calculation sheet for this determination has it: 100 takes the mass fraction from per
// cent to a fraction, and the remaining 19800 is the sheet's own factor, kept as it stands. Both
// amounts carry it, so it cancels in every coefficient (K = C · Sст / ((S − S0) · Сст)); it sets
// only the scale of the amounts and of the chart's axes, and the figures the lab compares with
// its earlier calibrations depend on it staying exactly this.
constexpr double kAmountDivisor = 1980000;
// The average is over levels 1 to 4 whether or not each has a coefficient.
constexpr double kCoefficientDivisor = 4;
// Starting values of the running minimum and maximum of the point abscissas.
constexpr float kMinimumStart = 100;
constexpr float kMaximumStart = 0;
// The line reaches from half the smallest abscissa to 1.2 times the largest, in twenty steps.
constexpr double kLowerFactor = 0.5;
constexpr double kUpperFactor = 1.2;
constexpr int kLineSteps = 20;

// The peaks the calibration takes, compared ignoring case: ethanol and the internal standard.
constexpr const char* kEthanol = "этанол";
constexpr const char* kStandard = "изопропанол";

constexpr int kFirstLevel = 1;
constexpr int kLastLevel = CalibrationTable::kLevelCount - 1;

// Two paths name one file when they lead to the same device and inode, whatever their text
// ("./a.stg", "/x/../a.stg", a link). Paths of which neither exists are compared as the
// canonical paths they would have.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    if (!error) return same;
    std::error_code errorA, errorB;
    const std::filesystem::path canonicalA = std::filesystem::weakly_canonical(a, errorA);
    const std::filesystem::path canonicalB = std::filesystem::weakly_canonical(b, errorB);
    if (errorA || errorB)
        return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
    return canonicalA == canonicalB;
}

}  // namespace

void CalibrationTable::ResetLevels() {
    for (int i = 0; i < kLevelCount; ++i) levels_[static_cast<size_t>(i)] = CalibrationLevel(kFractions[static_cast<size_t>(i)]);
}

// One chromatogram object serves the whole pass, as it always has: a level takes its sample
// name and peaks only from a file that was read whole (after a failed read the object may still
// hold parts of the previous level's file).
std::optional<LevelReadings> ReadLevels(const LevelPaths& paths, const BeforeLevelRead& beforeRead) {
    LevelReadings read;
    chromatogram::ChromatogramFile file;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        LevelReading& level = read[static_cast<size_t>(k)];
        level.path = paths[static_cast<size_t>(k)];
        if (level.path.empty()) continue;
        if (beforeRead && !beforeRead(k)) return std::nullopt;
        chromatogram::ReadFailure failure;
        if (!file.Read(level.path, &failure)) {
            level.file = LevelFile::Unreadable;
            level.readFailure = std::move(failure);
            continue;
        }
        level.file = LevelFile::Read;
        level.calibrationRun = file.passport.isCalibration != 0;
        level.sampleName = file.passport.sampleName;
        level.acquired = file.passport.dateTime;
        // Every matching peak overwrites: the last one of each name in table order wins.
        for (const chromatogram::Peak& peak : file.peaks) {
            if (platform::EqualIgnoreCase(peak.name, kEthanol)) {
                level.ethanolArea = peak.area;
                level.ethanolRetention = peak.retentionTime;
            }
            if (platform::EqualIgnoreCase(peak.name, kStandard)) {
                level.standardArea = peak.area;
                level.standardRetention = peak.retentionTime;
            }
        }
    }
    // Telling two paths apart asks the file system too, so it belongs to the reading.
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        LevelReading& level = read[static_cast<size_t>(k)];
        if (level.path.empty()) continue;
        for (int other = 0; other < CalibrationTable::kLevelCount && level.sameFileAs < 0; ++other)
            if (other != k && !paths[static_cast<size_t>(other)].empty() &&
                SameFile(level.path, paths[static_cast<size_t>(other)]))
                level.sameFileAs = other;
    }
    return read;
}

LevelPaths Calibration::Paths() const {
    LevelPaths paths;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) paths[static_cast<size_t>(k)] = table[k].path;
    return paths;
}

void Calibration::ComputeCalibration() { Compute(*ReadLevels(Paths())); }

void Calibration::Compute(const LevelReadings& read) {
    TakeLevels(read);
    ComputeCoefficient();
    float minimum, maximum;
    ComputePoints(minimum, maximum);
    ComputeLine(minimum, maximum);
}

// A level whose file could not be read whole returns to its initial figures (its path stays):
// keeping its old figures would show, under the new path, those of the file chosen before it.
// A level without a path keeps its figures; only what the pass learns about its file is reset.
// A read file without a peak of one name leaves that name's figures as they were.
void Calibration::TakeLevels(const LevelReadings& read) {
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        CalibrationLevel& level = table[k];
        const LevelReading& r = read[static_cast<size_t>(k)];
        level.file = LevelFile::None;
        level.calibrationRun = false;
        level.acquired.reset();
        level.readFailure = {};
        level.ethanolRetention = level.standardRetention = std::numeric_limits<double>::quiet_NaN();
        level.sameFileAs = r.sameFileAs;
        if (level.path.empty()) continue;
        if (r.file != LevelFile::Read) {
            std::string path = std::move(level.path);
            level = CalibrationLevel(level.fraction);
            level.path = std::move(path);
            level.file = LevelFile::Unreadable;
            level.readFailure = r.readFailure;
            level.sameFileAs = r.sameFileAs;
            continue;
        }
        level.file = LevelFile::Read;
        level.calibrationRun = r.calibrationRun;
        level.sampleName = r.sampleName;
        level.acquired = r.acquired;
        if (r.ethanolArea) {
            level.ethanolArea = *r.ethanolArea;
            level.ethanolRetention = r.ethanolRetention;
            level.ethanolAmount = k == 0 ? 0 : nav * dolya * level.fraction / kAmountDivisor;
        }
        if (r.standardArea) {
            level.standardArea = *r.standardArea;
            level.standardRetention = r.standardRetention;
            level.standardAmount = nav2 / kAmountDivisor;
        }
    }
}

void Calibration::ComputeCoefficient() {
    averageCoefficient = 0;
    const double blankArea = table[0].ethanolArea;
    for (int k = kFirstLevel; k <= kLastLevel; ++k) {
        CalibrationLevel& level = table[k];
        const double d = (level.ethanolArea - blankArea) * level.standardAmount;
        // Written as "d > 0" so that a not-a-number d, like zero or less, gives no coefficient.
        level.coefficient = d > 0 ? level.ethanolAmount * level.standardArea / d : 0;
        averageCoefficient += level.coefficient;
    }
    averageCoefficient /= kCoefficientDivisor;
}

void Calibration::ComputePoints(float& minimum, float& maximum) {
    pointsX.clear();
    pointsY.clear();
    minimum = kMinimumStart;
    maximum = kMaximumStart;
    const double blankArea = table[0].ethanolArea;
    for (int k = kFirstLevel; k <= kLastLevel; ++k) {
        const CalibrationLevel& level = table[k];
        const double x = (level.ethanolArea - blankArea) * level.standardAmount / level.standardArea;
        pointsX.push_back(static_cast<float>(x));
        pointsY.push_back(static_cast<float>(level.ethanolAmount));
        // Not-a-number never lowers the minimum but always becomes the maximum.
        if (x <= minimum) minimum = static_cast<float>(x);
        if (!(maximum > x)) maximum = static_cast<float>(x);
    }
}

void Calibration::ComputeLine(float minimum, float maximum) {
    lineX.clear();
    lineY.clear();
    const float lower = static_cast<float>(minimum * kLowerFactor);
    const float upper = static_cast<float>(maximum * kUpperFactor);
    const double step = (static_cast<double>(upper) - lower) / kLineSteps;
    for (double x = lower; upper > x; x += step) {
        lineX.push_back(static_cast<float>(x));
        lineY.push_back(static_cast<float>(x * averageCoefficient));
    }
}

}  // namespace core
