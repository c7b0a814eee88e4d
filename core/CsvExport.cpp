#include "core/CsvExport.h"

#include "core/FileReplace.h"
#include "core/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace core {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kUnits = "# time in minutes (as the data system records it), signal in the detector's unit";
constexpr const char* kHeader = "time_min,signal";
constexpr std::size_t kBytesPerRowGuess = 24;

// The shortest text of a number; "" for one that is not finite.
template <typename T>
std::string NumberField(T value) {
    return std::isfinite(value) ? ShortestText(value) : std::string();
}

std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

std::string SignalCsv(const chromatogram::ChromatogramFile& file) {
    const chromatogram::Lattice& signal = file.signal;
    std::string csv;
    csv.reserve((signal.samples.size() + 4) * kBytesPerRowGuess);
    csv += "# file: " + OneLine(file.path) + kLineEnd;
    csv += "# sample: " + OneLine(file.passport.sampleName) + kLineEnd;
    csv += std::string(kUnits) + kLineEnd;
    csv += std::string(kHeader) + kLineEnd;
    for (std::size_t i = 0; i < signal.samples.size(); ++i) {
        csv += NumberField(signal.TimeAt(static_cast<std::int64_t>(i)));
        csv += ',';
        csv += NumberField(signal.samples[i]);
        csv += kLineEnd;
    }
    return csv;
}

std::optional<std::string> WriteSignalCsv(const std::string& path, const chromatogram::ChromatogramFile& file) {
    return ReplaceFileContents(path, SignalCsv(file));
}

}  // namespace core
