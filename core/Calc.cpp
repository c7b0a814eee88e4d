#include "core/Calc.h"

#include "chromatogram/ChmFile.h"
#include "platform/Text.h"

#include <filesystem>
#include <limits>
#include <system_error>

namespace core {

namespace {

// Turns nav × dolya × fraction into the ethanol amount and nav2 into the standard amount.
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
    for (int i = 0; i < kLevelCount; ++i)
        levels_[static_cast<size_t>(i)] = std::make_unique<CalibrationLevel>(kFractions[static_cast<size_t>(i)]);
}

void Calibration::ComputeCalibration() {
    ReadLevels();
    ComputeCoefficient();
    float minimum, maximum;
    ComputePoints(minimum, maximum);
    ComputeLine(minimum, maximum);
}

// One chromatogram object serves the whole pass. A level takes its sample name and peaks only
// from a file that was read whole: after a failed read the object may still hold parts of the
// previous level's file. Such a level returns to its initial figures instead (its path stays):
// keeping its old figures would show, under the new path, those of the file chosen before it.
// A level without a path keeps its figures; only what the pass learns about its file is reset.
void Calibration::ReadLevels() {
    chromatogram::ChromatogramFile file;
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        CalibrationLevel& level = table[k];
        level.file = LevelFile::None;
        level.calibrationRun = false;
        level.acquired.reset();
        level.ethanolRetention = level.standardRetention = std::numeric_limits<double>::quiet_NaN();
        if (level.path.empty()) continue;
        if (!file.Read(level.path)) {
            std::string path = std::move(level.path);
            level = CalibrationLevel(level.fraction);
            level.path = std::move(path);
            level.file = LevelFile::Unreadable;
            continue;
        }
        level.file = LevelFile::Read;
        level.calibrationRun = file.passport.isCalibration != 0;
        level.sampleName = file.passport.sampleName;
        level.acquired = file.passport.dateTime;
        for (const chromatogram::Peak& peak : file.peaks) {
            if (platform::EqualIgnoreCase(peak.name, kEthanol)) {
                level.ethanolArea = peak.area;
                level.ethanolRetention = peak.retentionTime;
                level.ethanolAmount = k == 0 ? 0 : nav * dolya * level.fraction / kAmountDivisor;
            }
            if (platform::EqualIgnoreCase(peak.name, kStandard)) {
                level.standardArea = peak.area;
                level.standardRetention = peak.retentionTime;
                level.standardAmount = nav2 / kAmountDivisor;
            }
        }
    }
    FindSharedFiles();
}

void Calibration::FindSharedFiles() {
    for (int k = 0; k < CalibrationTable::kLevelCount; ++k) {
        CalibrationLevel& level = table[k];
        level.sameFileAs = -1;
        if (level.path.empty()) continue;
        for (int other = 0; other < CalibrationTable::kLevelCount && level.sameFileAs < 0; ++other)
            if (other != k && !table[other].path.empty() && SameFile(level.path, table[other].path))
                level.sameFileAs = other;
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
