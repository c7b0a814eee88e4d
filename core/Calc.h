#pragma once

#include "core/CalcItem.h"

#include <array>
#include <chrono>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace core {

// The five calibration levels: the blank and the four levels with ethanol added.
class CalibrationTable {
public:
    static constexpr int kLevelCount = 5;
    static constexpr std::array<double, kLevelCount> kFractions{0, 0.05, 0.1, 0.2, 0.5};

    CalibrationTable() { ResetLevels(); }

    // All five levels afresh: no chromatogram, sample "Не задан", every figure 0.
    void ResetLevels();

    CalibrationLevel& operator[](int index) { return levels_[static_cast<size_t>(index)]; }
    const CalibrationLevel& operator[](int index) const { return levels_[static_cast<size_t>(index)]; }

private:
    std::array<CalibrationLevel, kLevelCount> levels_{
        CalibrationLevel(kFractions[0]), CalibrationLevel(kFractions[1]), CalibrationLevel(kFractions[2]),
        CalibrationLevel(kFractions[3]), CalibrationLevel(kFractions[4])};
};

// The chromatogram paths of the five levels, in level order; "" for a level without one.
using LevelPaths = std::array<std::string, CalibrationTable::kLevelCount>;

// What a calculation pass takes from one level's chromatogram file, and nothing else: reading
// is kept apart from the calculation, so that the files can be read on another thread (a share
// may take seconds to answer) and the figures made afterwards from what was read.
struct LevelReading {
    std::string path;                   // the path read; "" for a level without a chromatogram
    LevelFile file = LevelFile::None;   // Read only when the file was read whole
    bool calibrationRun = false;        // the passport's flag (read files only)
    std::string sampleName;             // the passport's sample (read files only)
    std::optional<std::chrono::sys_seconds> acquired;  // the passport's date and time (read files only)
    // The area of the last peak named "этанол" and of the last named "изопропанол", in table
    // order; none when the table holds no such peak.
    std::optional<double> ethanolArea;
    std::optional<double> standardArea;
    // The retention times of those two peaks, in the file's time unit; NaN without such a peak.
    double ethanolRetention = std::numeric_limits<double>::quiet_NaN();
    double standardRetention = std::numeric_limits<double>::quiet_NaN();
    int sameFileAs = -1;  // the first other level whose path names the same file; -1: none
    chromatogram::ReadFailure readFailure;  // why an Unreadable file was not read; else none
};
using LevelReadings = std::array<LevelReading, CalibrationTable::kLevelCount>;

// Called before each level's file is read, with the level's index (levels without a path are
// not read); returning false stops the pass. Runs on the reading thread.
using BeforeLevelRead = std::function<bool(int level)>;

// Reads the chromatograms at `paths`, one after another in level order, and tells which paths
// name the same file. Touches no calibration and no window: safe on any thread. Nothing when
// `beforeRead` stopped the pass.
std::optional<LevelReadings> ReadLevels(const LevelPaths& paths, const BeforeLevelRead& beforeRead = {});

// The calibration the main dialog holds and shows: the levels, the operator's three inputs and
// the results. The chart draws the four arrays by address, so they change only inside
// ComputeCalibration, and whoever shows them hands their addresses over again after each pass.
class Calibration {
public:
    CalibrationTable table;
    double nav = 0;    // mass of the ethanol sample
    double nav2 = 0;   // mass of the isopropanol sample
    double dolya = 0;  // mass fraction of the main substance
    double averageCoefficient = 0;
    std::vector<float> pointsX, pointsY;  // one calibration point per level 1 to 4
    std::vector<float> lineX, lineY;      // the sampled calibration line

    // Reads the chromatogram of every level that has a path, computes each level, the average
    // coefficient, the points and the line. Each level also learns whether its file was read
    // whole, whether it is a calibration run and whether another level holds the same file.
    // The same as Compute(*ReadLevels(Paths())).
    void ComputeCalibration();
    // The calculation over what a pass read, without a file: the levels take their figures from
    // `read` (which must have been read from Paths()), then the coefficients, the points and the
    // line follow. Gives bit for bit what ComputeCalibration gives over the same files.
    void Compute(const LevelReadings& read);
    // The coefficients of levels 1 to 4 and their average, always over four levels.
    void ComputeCoefficient();

    LevelPaths Paths() const;

private:
    void TakeLevels(const LevelReadings& read);
    void ComputePoints(float& minimum, float& maximum);
    void ComputeLine(float minimum, float maximum);
};

}  // namespace core
