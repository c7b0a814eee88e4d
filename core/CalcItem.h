#pragma once

#include "chromatogram/Errors.h"
#include "platform/Translatable.h"

#include <chrono>
#include <limits>
#include <optional>
#include <string>

namespace core {

// What became of a level's chromatogram in the last calculation pass.
enum class LevelFile {
    None,        // no path: no chromatogram chosen
    Read,        // read whole; the level's figures are the file's
    Unreadable,  // it could not be read whole (missing, damaged, locked): the figures are the initial ones,
                 // readFailure says why
};

// One calibration level: the chromatogram chosen for it and what the calculation took from it.
class CalibrationLevel {
public:
    explicit CalibrationLevel(double levelFraction) : fraction(levelFraction) {}
    virtual ~CalibrationLevel() = default;

    std::string sampleName = kNoSample;  // from the chromatogram's passport
    std::string path;                    // full path of the chromatogram file; empty: none
    double fraction;                     // fraction of ethanol added at this level
    double ethanolArea = 0;              // area of the peak "этанол"
    double standardArea = 0;             // area of the internal standard "изопропанол"
    double ethanolAmount = 0;
    double standardAmount = 0;
    double coefficient = 0;  // stays 0 for the blank

    // Set by each pass from the file itself; they change none of the figures above.
    LevelFile file = LevelFile::None;
    bool calibrationRun = false;  // the passport flags the chromatogram as a calibration run (read files only)
    int sameFileAs = -1;          // the first other level whose path names the same file; -1: none
    std::optional<std::chrono::sys_seconds> acquired;  // the passport's date and time (read files only)
    chromatogram::ReadFailure readFailure;             // why an Unreadable file was not read; else none
    // The retention times of the peaks whose areas were taken (the last "этанол" and the last
    // "изопропанол" of the table), in the file's time unit; not a number (NaN) without such a peak
    // or a file read whole.
    double ethanolRetention = std::numeric_limits<double>::quiet_NaN();
    double standardRetention = std::numeric_limits<double>::quiet_NaN();

    // The sample name of a level without a chromatogram. Stored and printed as it is; the
    // dialog shows it translated in the context kTranslationContext.
    static constexpr const char* kNoSample = QT_TRANSLATE_NOOP("CalibrationLevel", "Не задан");
    static constexpr const char* kTranslationContext = "CalibrationLevel";
};

}  // namespace core
