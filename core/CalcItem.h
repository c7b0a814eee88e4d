#pragma once

#include "platform/Translatable.h"

#include <string>

namespace core {

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

    // The sample name of a level without a chromatogram. Stored and printed as it is; the
    // dialog shows it translated in the context kTranslationContext.
    static constexpr const char* kNoSample = QT_TRANSLATE_NOOP("CalibrationLevel", "Не задан");
    static constexpr const char* kTranslationContext = "CalibrationLevel";
};

}  // namespace core
