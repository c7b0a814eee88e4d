#pragma once

#include "core/Calc.h"
#include "core/Message.h"

#include <array>
#include <string>
#include <vector>

// The judgement of a calibration: how well the four coefficients agree, whether the levels are
// complete, and whether the average coefficient may be written into a method. It judges what
// the calculation computed and changes none of it.
namespace core {

// How a level's row is marked: a reason that refuses acceptance, or only a warning.
enum class LevelMark { None, Warning, Problem };

// A reason the calibration is not accepted, or a remark on it: what it is and the figures and
// names it speaks of. ProblemMessage gives its text.
struct CalibrationProblem {
    enum class Kind {
        InputsNotShown,        // a field does not hold a number: the figures are not those of the fields as shown
        NoFile,                // a level has no chromatogram
        Unreadable,            // a level's file could not be read whole (`name`: the file name, `failure` why)
        NoStandard,            // no coefficient: no isopropanol peak, or its mass is not above 0
        EthanolNotAboveBlank,  // no coefficient: the ethanol area is not above the blank's
        NoEthanolAmount,       // no coefficient: the ethanol mass or the mass fraction is not above 0
        NoCoefficient,         // no coefficient, for none of the reasons above
        SameFile,              // one file on two levels (`otherFraction` the earlier, `name` the file name;
                               // `otherName` the earlier level's path where the two paths differ, and
                               // then `name` this level's path)
        AverageNotPositive,    // K̄ (`value`) is not a finite number above 0
        SpreadOverLimit,       // the spread (`value`, %) is over the limit (`limit`, %)
        NotCalibrationRun,     // a remark: the passport does not flag the sample (`name`) as a calibration run
        RetentionShift,        // a remark: the peak `name` lies `value` % off the levels' median (`limit`, %)
    };
    Kind kind = Kind::NoFile;
    double fraction = 0;       // the level's fraction (0 … 0.5), for the kinds that name a level
    double otherFraction = 0;  // SameFile: the earlier level's
    double value = 0;
    double limit = 0;
    std::string name{};
    std::string otherName{};
    chromatogram::ReadFailure::Kind failure = chromatogram::ReadFailure::Kind::None;
};

// The problem's text: "Уровень 0.05: хроматограмма не выбрана", "Разброс коэффициентов 23.53 %
// больше допустимого 10 %"… Figures are written as "%.4g" in the C locale, enough to tell 15.04 %
// from 15 %, in every language. Templates in the translation context "CalibrationProblem".
Message ProblemMessage(const CalibrationProblem& problem);

// The limit on the spread of the coefficients, in percent, unless the lab sets its own.
inline constexpr double kDefaultMaxSpread = 15;
// The limit on a peak's retention time off the median of the levels, in percent, likewise.
inline constexpr double kDefaultMaxRetentionShift = 2;

// Where one component's peak was found on each level: a chromatographer trusts the areas only
// when the five runs found the peak at about the same time.
struct RetentionAgreement {
    // Levels 0 to 4: the retention time of the peak whose area was taken, in the file's time
    // unit; NaN where the level has no such peak (or no file read whole).
    std::array<double, CalibrationTable::kLevelCount> times{};
    // The median of the times that are numbers (of an even count, the mean of the middle two);
    // NaN when no level has one.
    double median = 0;
    // (tᵢ − median) / median × 100, in percent; NaN where tᵢ is, or the median is 0 or NaN.
    std::array<double, CalibrationTable::kLevelCount> shifts{};
};

struct CalibrationQuality {
    // (Kᵢ − K̄) / K̄ × 100 for levels 1 to 4, in percent.
    std::array<double, 4> deviations{};
    // deviations, rsd and spread are relative to K̄: not a number (NaN) unless K̄ > 0, never a
    // percentage of a negative or zero average.
    double rsd = 0;         // sample standard deviation (n − 1) of the four Kᵢ over K̄, in percent
    double spread = 0;      // (max Kᵢ − min Kᵢ) / K̄ × 100, in percent
    double r2 = 0;          // 1 − Σ(yᵢ − K̄·xᵢ)² / Σ(yᵢ − ȳ)² over the four calibration points
    double blankRatio = 0;  // the blank's ethanol area over that of level 0.05, in percent
    bool complete = false;  // five chromatograms read whole, levels 1 to 4 each with K > 0
    double maxSpread = kDefaultMaxSpread;  // the limit in force, in percent
    // "этанол" and "изопропанол". A shift whose magnitude is over maxRetentionShift is a
    // RetentionShift remark: it asks for a look and does not refuse acceptance by itself.
    RetentionAgreement ethanolRetention, standardRetention;
    double maxRetentionShift = kDefaultMaxRetentionShift;  // the limit in force, in percent
    bool accepted = false;  // inputs as shown, complete, K̄ finite and > 0, spread ≤ maxSpread, no file twice
    // Each reason the calibration is not accepted or deserves a look, the reasons that refuse
    // acceptance first; empty when there is nothing to say.
    std::vector<CalibrationProblem> reasons;
    // The same reasons as one line of Russian text each (RussianText of their ProblemMessage),
    // as ostrel-cli, the audit trail and the protocol give them.
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
// The lab's "MaxRetentionShift" beside it, read alike; kDefaultMaxRetentionShift otherwise.
double ReadMaxRetentionShift();

// Whether the calculation's three inputs are what the operator's fields show. A window whose field
// holds no number keeps calculating with the field's last number, and says so.
enum class InputsShown { AsShown, NotAsShown };

// Judges the calibration as the last ComputeCalibration left it: K̄ is its averageCoefficient,
// the points are its levels' (x, y) computed afresh in double precision, the retention times
// its levels'. A quotient whose divisor is 0 or not a number is not a number (NaN), never an error.
// With inputs NotAsShown it is never accepted, and InputsNotShown is the first reason.
CalibrationQuality JudgeCalibration(const Calibration& calibration, double maxSpread,
                                    InputsShown inputs = InputsShown::AsShown,
                                    double maxRetentionShift = kDefaultMaxRetentionShift);

}  // namespace core
