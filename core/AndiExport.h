#pragma once

#include "chromatogram/Archive.h"
#include "chromatogram/ChmFile.h"

#include <optional>
#include <string>

// A chromatogram as an ANDI/AIA chromatography netCDF file (Analytical Data Interchange,
// categories 1 and 2: the raw signal and the peak results), the format other chromatography
// programs, R's and Python's netCDF readers and lab information systems take in. The file is
// netCDF classic format, written with libnetcdf, and follows the AIA chromatography template
// revision 1.0 (chrom12.cdl, 1992) for what this system knows of a run:
//
//   global attributes  dataset_completeness "C1+C2" ("C1" for a run without peaks),
//                      aia_template_revision "1.0", netcdf_revision (the writing libnetcdf's),
//                      languages, administrative_comments and dataset_origin (the data
//                      system and this program's version),
//                      dataset_date_time_stamp (the export), injection_date_time_stamp (the
//                      passport's date and time), experiment_title (the file's name),
//                      source_file_reference (its path), sample_name, detection_method_name
//                      (the passport's method), retention_unit "Seconds", and for the peaks
//                      peak_processing_results_comments (the unit of the areas)
//   point_number       ordinate_values: the samples as stored, single precision, bit for bit;
//                      a sample that is not a number becomes the netCDF fill value for floats
//                      (ordinate_values:_FillValue says which); uniform_sampling_flag "Y";
//                      a run without samples has point_number as the (empty) record dimension,
//                      which is how classic netCDF holds a dimension of length 0
//   scalars            actual_sampling_interval (the step), actual_delay_time (the time of
//                      sample 0), actual_run_time_length (the time of the last sample),
//                      detector_minimum_value and detector_maximum_value (over the samples that
//                      are numbers)
//   peak_number        peak_name, peak_retention_time, peak_start_time, peak_end_time,
//                      peak_area, peak_height, baseline_start_time, baseline_start_value,
//                      baseline_stop_time, baseline_stop_value, in table order
//
// Times are seconds: the data system's minutes times chromatogram::kSecondsPerMinute. Areas are
// therefore signal × seconds, 60 times the areas the program shows (signal × minutes); the file
// says so in peak_processing_results_comments. Times, areas, heights and baselines are doubles,
// not the template's floats: a float would lose the figures the program computed with beyond
// their seventh digit. Every text is UTF-8 (languages says so, peak_name:_Encoding "utf-8"); a
// peak name longer than the name dimension (255 bytes) is cut at a character's start.
//
// Plain C++, no thread of its own; the caller decides where it runs (the window's export runs it
// on a worker). Nothing is shared: two exports may run at the same time.
namespace core {

struct AndiExportOptions {
    // The moment of the export, for dataset_date_time_stamp (local time with its offset).
    chromatogram::Time exportedAt;
};

// Makes the bytes of the netCDF file for `file` (as read: its path, signal, peaks and passport)
// into `bytes`: nothing when made; otherwise why not (libnetcdf's reason, such as a signal too
// long for a classic file), and `bytes` is then empty.
std::optional<std::string> MakeAndiFile(const chromatogram::ChromatogramFile& file, const AndiExportOptions& options,
                                        std::string& bytes);

// Writes the netCDF file for `file` as `path`, whole or not at all (core/FileReplace.h): nothing
// when written; otherwise why not, after the path where the path is the reason.
std::optional<std::string> WriteAndiFile(const std::string& path, const chromatogram::ChromatogramFile& file,
                                         const AndiExportOptions& options);

// A moment as the template writes its time stamps: local time, YYYYMMDDhhmmss±hhmm
// ("20240314093007+0300").
std::string AndiTimeStamp(chromatogram::Time moment);

}  // namespace core
