#pragma once

#include "chromatogram/Cmpeeks.h"
#include "chromatogram/Errors.h"
#include "chromatogram/Lattice.h"
#include "chromatogram/Passport.h"
#include "platform/CompoundFile.h"

#include <string>

// The in-memory image of one chromatogram file: its detector signal ("Raw_data" and "Time"),
// its peak table ("Table") and its sample record ("Passport").
namespace chromatogram {

class ChromatogramFile {
public:
    ChromatogramFile();
    virtual ~ChromatogramFile() = default;
    // The peak table refers to this object's own signal, so the object stays where it is.
    ChromatogramFile(const ChromatogramFile&) = delete;
    ChromatogramFile& operator=(const ChromatogramFile&) = delete;

    // Fills the object from the file at `path`; true when all four streams were read. `path`
    // is taken first, whatever follows. When the file cannot be opened nothing else changes;
    // otherwise the streams are read in the order "Raw_data", "Time", "Table", "Passport", each
    // replacing its part, and a failure keeps the parts of the later streams as they were.
    // When `failure` is given it receives the reason: its kind and a short text (chromatogram/
    // Errors.h: "no such file", "not a compound file", missing stream "Table", stream "Table": a
    // value runs past the end of the stream, ...); on success kind None and an empty text. The file is held as `sharing`
    // says while it is read: a calibration holds it alone; a look at it (the open dialog's
    // preview) shares it with other readers, such as the dialog's own passport reads, and still
    // keeps writers out.
    bool Read(const std::string& path, ReadFailure* failure = nullptr,
              platform::CompoundSharing sharing = platform::CompoundSharing::Exclusive);

    Lattice signal;
    std::string path;
    Passport passport;
    PeakTable peaks;
};

}  // namespace chromatogram
