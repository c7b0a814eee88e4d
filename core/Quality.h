#pragma once

#include "core/Calc.h"

#include <array>
#include <string>
#include <vector>

// The judgement of a calibration: how well the four coefficients agree, whether the levels are
// complete, and whether the average coefficient may be written into a method. It judges what
// the calculation computed and changes none of it.
namespace core {

// How a level's row is marked: a reason that refuses acceptance, or only a warning.
enum class LevelMark { None, Warning, Problem };

// The limit on the spread of the coefficients, in percent, unless the lab sets its own.
inline constexpr double kDefaultMaxSpread = 15;

struct CalibrationQuality {
    // (Kᵢ − K̄) / K̄ × 100 for levels 1 to 4, in percent.
    std::array<double, 4> deviations{};
    double rsd = 0;         // sample standard deviation (n − 1) of the four Kᵢ over K̄, in percent
    double spread = 0;      // (max Kᵢ − min Kᵢ) / K̄ × 100, in percent
    double r2 = 0;          // 1 − Σ(yᵢ − K̄·xᵢ)² / Σ(yᵢ − ȳ)² over the four calibration points
    double blankRatio = 0;  // the blank's ethanol area over that of level 0.05, in percent
    bool complete = false;  // five chromatograms read whole, levels 1 to 4 each with K > 0
    double maxSpread = kDefaultMaxSpread;  // the limit in force, in percent
    bool accepted = false;  // complete, K̄ finite and > 0, spread ≤ maxSpread, no file twice
    // One line of Russian text per reason the calibration is not accepted or deserves a look,
    // the reasons that refuse acceptance first; empty when there is nothing to say.
    std::vector<std::string> problems;
    // Levels 0 to 4: whether a problem above is the level's own (no file, a file not read, no
    // coefficient, its file on another level too) or it has only a warning.
    std::array<LevelMark, CalibrationTable::kLevelCount> levelMarks{};
};

// The lab's limit: the per-machine value "MaxSpread" (a string holding a number, in percent, read
// as core::ParseNumber reads it) of HKEY_LOCAL_MACHINE\Software\Tarnwick\Velmora\Ostrel, that is
// the section "Ostrel" of the application key (core::UseApplicationRegistryKey must be in force).
// kDefaultMaxSpread when it is missing, not a string or not a positive number. Reads only; never
// creates a key.
double ReadMaxSpread();

// Judges the calibration as the last ComputeCalibration left it: K̄ is its averageCoefficient,
// the points are its levels' (x, y) computed afresh in double precision. A quotient whose divisor
// is 0 or not a number is not a number (NaN), never an error.
CalibrationQuality JudgeCalibration(const Calibration& calibration, double maxSpread);

}  // namespace core
