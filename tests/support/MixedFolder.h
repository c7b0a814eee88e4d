#pragma once

#include "platform/LockedFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A folder of chromatograms as a lab's folder may hold them: readable passports of every
// version, damaged files of every kind (no passport, a passport cut short or of an unknown
// version, a truncated file, no compound file at all, an empty file), a file another program
// holds locked, a FIFO, a dangling link, a link to a good file, and entries a scan must pass by
// (a folder named *.stg, other extensions). Each file that fails is last written on a day of
// its own, so the order of a listing is fixed.
namespace fixtures {

struct ExpectedScanEntry {
    std::string fileName;
    std::string sampleName;  // "????" when the passport cannot be read
    std::string methodName;
    std::string samplingSite;
    std::string samplingPoint;
    std::int64_t dateTime = 0;  // the passport's, or the file's last-write time when unreadable
    bool isCalibration = false; // what the read left, also when it failed
    bool readable = false;
};

struct MixedFolder {
    std::string path;
    // The entries that a scan of every type lists, newest first (files of the same second by
    // title ignoring case).
    std::vector<ExpectedScanEntry> expected;
    // Holds "locked.stg" as another program would; the file reads again once this is reset.
    std::optional<platform::LockedFile> lockHolder;

    std::vector<ExpectedScanEntry> ExpectedOfType(int type) const;  // 0 any, 1 calibration, 2 analysis
};

// Writes the mix into `folder` (which must exist and be empty).
MixedFolder WriteMixedFolder(const std::string& folder);

}  // namespace fixtures
