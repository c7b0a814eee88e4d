#include "core/AndiExport.h"

#include "core/FileReplace.h"

#include <netcdf.h>
#include <netcdf_mem.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace core {

namespace {

constexpr const char* kProgram = "Ostrel " OSTREL_VERSION;
constexpr const char* kTemplateRevision = "1.0";
constexpr const char* kLanguages = "Russian; every text is UTF-8";
constexpr const char* kRetentionUnit = "Seconds";
constexpr const char* kAreaUnit =
    "peak_area in detector unit x seconds: 60 times the area the data system shows, which is in "
    "detector unit x minutes; peak_height and baseline values in detector unit";
constexpr std::size_t kNameBytes = 255;  // the template's longest string dimension
constexpr std::size_t kErrorBytes = 64;

class NetcdfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void Check(int status) {
    if (status != NC_NOERR) throw NetcdfError(nc_strerror(status));
}

// A dataset being built in memory. Closing it hands over its bytes; a dataset given up on the way
// is aborted, so no memory or handle stays behind.
class MemoryDataset {
public:
    MemoryDataset() { Check(nc_create_mem("export.cdf", NC_CLOBBER, 0, &id_)); }
    ~MemoryDataset() {
        if (id_ >= 0) nc_abort(id_);
    }
    MemoryDataset(const MemoryDataset&) = delete;
    MemoryDataset& operator=(const MemoryDataset&) = delete;

    int Id() const { return id_; }

    std::string Close() {
        NC_memio memory{};
        const int status = nc_close_memio(id_, &memory);
        id_ = -1;
        const std::unique_ptr<void, decltype(&std::free)> owned(memory.memory, &std::free);
        Check(status);
        return std::string(static_cast<const char*>(memory.memory), memory.size);
    }

private:
    int id_ = -1;
};

void TextAttribute(int dataset, int variable, const char* name, const std::string& text) {
    Check(nc_put_att_text(dataset, variable, name, text.size(), text.data()));
}

int Dimension(int dataset, const char* name, std::size_t length) {
    int id = -1;
    Check(nc_def_dim(dataset, name, length, &id));
    return id;
}

int Variable(int dataset, const char* name, nc_type type, std::vector<int> dimensions = {}) {
    int id = -1;
    Check(nc_def_var(dataset, name, type, static_cast<int>(dimensions.size()), dimensions.data(), &id));
    return id;
}

// `text` cut to at most `bytes` bytes at the start of a UTF-8 character.
std::string CutAtCharacter(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// The version of the libnetcdf that writes ("4.9.0" of "4.9.0 of Oct  1 2022 ...").
std::string NetcdfRevision() {
    const std::string version = nc_inq_libvers();
    return version.substr(0, version.find(' '));
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct PeakVariables {
    int name = -1, retentionTime = -1, startTime = -1, endTime = -1, area = -1, height = -1;
    int baselineStartTime = -1, baselineStartValue = -1, baselineStopTime = -1, baselineStopValue = -1;
};

struct SignalVariables {
    int ordinates = -1, samplingInterval = -1, delayTime = -1, runTimeLength = -1;
    int detectorMinimum = -1, detectorMaximum = -1;
};

struct Range {
    bool any = false;
    float minimum = 0, maximum = 0;
};

Range SampleRange(const chromatogram::Samples& samples) {
    Range range;
    for (const float v : samples) {
        if (!std::isfinite(v)) continue;
        if (!range.any) range = {true, v, v};
        range.minimum = std::min(range.minimum, v);
        range.maximum = std::max(range.maximum, v);
    }
    return range;
}

void DefineGlobalAttributes(int dataset, const chromatogram::ChromatogramFile& file,
                            const AndiExportOptions& options) {
    const chromatogram::Passport& passport = file.passport;
    TextAttribute(dataset, NC_GLOBAL, "dataset_completeness", file.peaks.GetSize() > 0 ? "C1+C2" : "C1");
    TextAttribute(dataset, NC_GLOBAL, "aia_template_revision", kTemplateRevision);
    TextAttribute(dataset, NC_GLOBAL, "netcdf_revision", NetcdfRevision());
    TextAttribute(dataset, NC_GLOBAL, "languages", kLanguages);
    TextAttribute(dataset, NC_GLOBAL, "administrative_comments",
                  std::string("Exported by ") + kProgram + " from the Velmora chromatogram file " + file.path);
    TextAttribute(dataset, NC_GLOBAL, "dataset_origin",
                  std::string("Velmora chromatography data system, exported by ") + kProgram);
    TextAttribute(dataset, NC_GLOBAL, "dataset_date_time_stamp", AndiTimeStamp(options.exportedAt));
    TextAttribute(dataset, NC_GLOBAL, "injection_date_time_stamp", AndiTimeStamp(passport.dateTime));
    TextAttribute(dataset, NC_GLOBAL, "experiment_title", FileName(file.path));
    TextAttribute(dataset, NC_GLOBAL, "source_file_reference", file.path);
    TextAttribute(dataset, NC_GLOBAL, "sample_name", passport.sampleName);
    TextAttribute(dataset, NC_GLOBAL, "detection_method_name", passport.methodName);
    TextAttribute(dataset, NC_GLOBAL, "retention_unit", kRetentionUnit);
    if (file.peaks.GetSize() > 0) TextAttribute(dataset, NC_GLOBAL, "peak_processing_results_comments", kAreaUnit);
}

SignalVariables DefineSignal(int dataset, const chromatogram::Lattice& signal, const Range& range) {
    const int points = Dimension(dataset, "point_number", signal.samples.size());
    SignalVariables v;
    v.samplingInterval = Variable(dataset, "actual_sampling_interval", NC_DOUBLE);
    v.delayTime = Variable(dataset, "actual_delay_time", NC_DOUBLE);
    v.runTimeLength = Variable(dataset, "actual_run_time_length", NC_DOUBLE);
    v.detectorMinimum = range.any ? Variable(dataset, "detector_minimum_value", NC_FLOAT) : -1;
    v.detectorMaximum = range.any ? Variable(dataset, "detector_maximum_value", NC_FLOAT) : -1;
    v.ordinates = Variable(dataset, "ordinate_values", NC_FLOAT, {points});
    const float fill = NC_FILL_FLOAT;
    Check(nc_put_att_float(dataset, v.ordinates, "_FillValue", NC_FLOAT, 1, &fill));
    TextAttribute(dataset, v.ordinates, "uniform_sampling_flag", "Y");
    TextAttribute(dataset, v.ordinates, "autosampler_position", "");
    return v;
}

PeakVariables DefinePeaks(int dataset, std::size_t count) {
    const int peaks = Dimension(dataset, "peak_number", count);
    const int nameBytes = Dimension(dataset, "_255_byte_string", kNameBytes);
    PeakVariables v;
    v.name = Variable(dataset, "peak_name", NC_CHAR, {peaks, nameBytes});
    TextAttribute(dataset, v.name, "_Encoding", "utf-8");
    v.retentionTime = Variable(dataset, "peak_retention_time", NC_DOUBLE, {peaks});
    v.startTime = Variable(dataset, "peak_start_time", NC_DOUBLE, {peaks});
    v.endTime = Variable(dataset, "peak_end_time", NC_DOUBLE, {peaks});
    v.area = Variable(dataset, "peak_area", NC_DOUBLE, {peaks});
    v.height = Variable(dataset, "peak_height", NC_DOUBLE, {peaks});
    v.baselineStartTime = Variable(dataset, "baseline_start_time", NC_DOUBLE, {peaks});
    v.baselineStartValue = Variable(dataset, "baseline_start_value", NC_DOUBLE, {peaks});
    v.baselineStopTime = Variable(dataset, "baseline_stop_time", NC_DOUBLE, {peaks});
    v.baselineStopValue = Variable(dataset, "baseline_stop_value", NC_DOUBLE, {peaks});
    return v;
}

void PutDouble(int dataset, int variable, double value) { Check(nc_put_var_double(dataset, variable, &value)); }

void PutSignal(int dataset, const SignalVariables& v, const chromatogram::Lattice& signal, const Range& range) {
    const double seconds = chromatogram::kSecondsPerMinute;
    PutDouble(dataset, v.samplingInterval, signal.step * seconds);
    PutDouble(dataset, v.delayTime, signal.TimeAt(0) * seconds);
    const std::int64_t last = std::max<std::int64_t>(0, static_cast<std::int64_t>(signal.samples.size()) - 1);
    PutDouble(dataset, v.runTimeLength, signal.TimeAt(last) * seconds);
    if (range.any) {
        Check(nc_put_var_float(dataset, v.detectorMinimum, &range.minimum));
        Check(nc_put_var_float(dataset, v.detectorMaximum, &range.maximum));
    }
    if (signal.samples.empty()) return;
    std::vector<float> ordinates(signal.samples.begin(), signal.samples.end());
    for (float& y : ordinates)
        if (std::isnan(y)) y = NC_FILL_FLOAT;
    Check(nc_put_var_float(dataset, v.ordinates, ordinates.data()));
}

void PutPeaks(int dataset, const PeakVariables& v, const chromatogram::PeakTable& table) {
    const double seconds = chromatogram::kSecondsPerMinute;
    const std::vector<chromatogram::Peak>& peaks = table.Peaks();
    const auto column = [&](int variable, auto field) {
        std::vector<double> values;
        values.reserve(peaks.size());
        for (const chromatogram::Peak& p : peaks) values.push_back(field(p));
        Check(nc_put_var_double(dataset, variable, values.data()));
    };
    column(v.retentionTime, [&](const chromatogram::Peak& p) { return p.retentionTime * seconds; });
    column(v.startTime, [&](const chromatogram::Peak& p) { return p.startTime * seconds; });
    column(v.endTime, [&](const chromatogram::Peak& p) { return p.endTime * seconds; });
    column(v.area, [&](const chromatogram::Peak& p) { return p.area * seconds; });
    column(v.height, [](const chromatogram::Peak& p) { return p.height; });
    column(v.baselineStartTime, [&](const chromatogram::Peak& p) { return p.startTime * seconds; });
    column(v.baselineStartValue, [](const chromatogram::Peak& p) { return p.baselineAtStart; });
    column(v.baselineStopTime, [&](const chromatogram::Peak& p) { return p.endTime * seconds; });
    column(v.baselineStopValue, [](const chromatogram::Peak& p) { return p.baselineAtEnd; });

    std::string names(peaks.size() * kNameBytes, '\0');
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        const std::string name = CutAtCharacter(peaks[i].name, kNameBytes);
        std::copy(name.begin(), name.end(), names.begin() + static_cast<std::ptrdiff_t>(i * kNameBytes));
    }
    Check(nc_put_var_text(dataset, v.name, names.data()));
}

std::string BuildDataset(const chromatogram::ChromatogramFile& file, const AndiExportOptions& options) {
    MemoryDataset dataset;
    const int id = dataset.Id();
    int previousFill = 0;
    Check(nc_set_fill(id, NC_NOFILL, &previousFill));  // every value is written
    DefineGlobalAttributes(id, file, options);
    const int errors = Dimension(id, "error_number", 1);
    const int errorBytes = Dimension(id, "_64_byte_string", kErrorBytes);
    const int errorLog = Variable(id, "error_log", NC_CHAR, {errors, errorBytes});
    const Range range = SampleRange(file.signal.samples);
    const SignalVariables signal = DefineSignal(id, file.signal, range);
    const std::size_t peakCount = file.peaks.Peaks().size();
    const PeakVariables peaks = peakCount > 0 ? DefinePeaks(id, peakCount) : PeakVariables{};
    Check(nc_enddef(id));

    const std::string noErrors(kErrorBytes, '\0');
    Check(nc_put_var_text(id, errorLog, noErrors.data()));
    PutSignal(id, signal, file.signal, range);
    if (peakCount > 0) PutPeaks(id, peaks, file.peaks);
    return dataset.Close();
}

}  // namespace

std::string AndiTimeStamp(chromatogram::Time moment) {
    const std::time_t t = static_cast<std::time_t>(moment.time_since_epoch().count());
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y%m%d%H%M%S%z", &local);
    return std::string(text, n);
}

std::optional<std::string> MakeAndiFile(const chromatogram::ChromatogramFile& file, const AndiExportOptions& options,
                                        std::string& bytes) {
    bytes.clear();
    try {
        bytes = BuildDataset(file, options);
    } catch (const NetcdfError& e) {
        return std::string(e.what());
    } catch (const std::bad_alloc&) {
        return std::string("not enough memory");
    }
    return std::nullopt;
}

std::optional<std::string> WriteAndiFile(const std::string& path, const chromatogram::ChromatogramFile& file,
                                         const AndiExportOptions& options) {
    std::string bytes;
    if (std::optional<std::string> failure = MakeAndiFile(file, options, bytes)) return path + ": " + *failure;
    return ReplaceFileContents(path, bytes);
}

}  // namespace core
