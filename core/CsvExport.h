#pragma once

#include "chromatogram/ChmFile.h"

#include <optional>
#include <string>

// A chromatogram's signal as CSV, for a spreadsheet or a script: UTF-8 without a byte order mark,
// lines ended by CR LF as the protocol's level table (core/ProtocolCsv.h). First three lines
// starting with "# " that name the file, the sample and the units, then the header row and one
// row per sample:
//
//   # file: /data/runs/calibration-0.5.stg
//   # sample: Градуировка 0.5
//   # time in minutes (as the data system records it), signal in the detector's unit
//   time_min,signal
//   0,4.981558
//   0.004999999888241291,4.9975295
//
// The time of sample i is the file's startTime + i × step; numbers have a point before the
// decimals and the digits that read back as the same double (the time) or the same float (the
// sample, single precision as stored); a sample that is not a number, or infinite, is an empty
// field. A line break in the file name or the sample name is written as a space, so that the
// heading stays three lines. Plain C++, no thread of its own.
namespace core {

std::string SignalCsv(const chromatogram::ChromatogramFile& file);

// Writes SignalCsv(file) as `path`, whole or not at all (core/FileReplace.h): nothing when
// written; otherwise why not, after the path.
std::optional<std::string> WriteSignalCsv(const std::string& path, const chromatogram::ChromatogramFile& file);

}  // namespace core
