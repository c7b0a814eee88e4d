#pragma once

#include "core/CalcItem.h"

#include <array>
#include <memory>
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

    CalibrationLevel& operator[](int index) { return *levels_[static_cast<size_t>(index)]; }
    const CalibrationLevel& operator[](int index) const { return *levels_[static_cast<size_t>(index)]; }

private:
    std::array<std::unique_ptr<CalibrationLevel>, kLevelCount> levels_;
};

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
    void ComputeCalibration();
    // The coefficients of levels 1 to 4 and their average, always over four levels.
    void ComputeCoefficient();

private:
    void ReadLevels();
    void FindSharedFiles();
    void ComputePoints(float& minimum, float& maximum);
    void ComputeLine(float minimum, float maximum);
};

}  // namespace core
