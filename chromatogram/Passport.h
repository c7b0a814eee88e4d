#pragma once

#include "chromatogram/Archive.h"
#include "platform/Stream.h"

#include <cstdint>
#include <string>

// The sample record of a chromatogram (its "Passport" stream): the sample, the method, where
// the sample was taken, when the chromatogram was recorded and whether it is a calibration
// run. The fields named extra... are read so that the ones after them can be reached and are
// kept, but nothing in the system interprets them.
namespace chromatogram {

class Passport {
public:
    // A record in its initial state; dateTime is the moment of creation and dateOnly the same
    // day at local midnight, both from one reading of the clock.
    Passport();
    // The same, created at `created` (for tests: no clock is read).
    explicit Passport(Time created);
    virtual ~Passport() = default;
    Passport(const Passport&) = default;
    Passport& operator=(const Passport&) = default;

    // Loads the record from the start of the stream, field by field in stream order. Raises
    // BadFormatError (wrong magic number or a version above 3, before any field changes),
    // EndOfDataError (the fields before the cut hold the new values), StreamReadError.
    void ReadFromStream(platform::Stream& stream);

    // Opens the compound file at `path` and loads the record from its root stream `streamName`.
    // False when the file or the stream cannot be opened (the record is then unchanged) or the
    // record cannot be read in full (see ReadFromStream for what it then holds). The file is
    // held denying writes rather than exclusively: a file that another program holds fails, as
    // it must, while passport reads of the same file (a folder scan's readers meeting at a linked
    // file, two dialogs on one folder) do not fail each other. When `failure` is given it
    // receives a short text of the reason (as ChromatogramFile::Read gives it), and is emptied
    // on success.
    bool ReadFromFile(const std::string& path, const std::string& streamName, std::string* failure = nullptr);

    // Fields in stream order.
    std::string sampleName;
    std::string extraText1;
    double extraReal1 = 1.0;
    double extraReal2 = 1.0;
    double extraReal3 = 100.0;
    Time dateOnly;
    std::string samplingPoint;
    std::string methodName;
    double extraReal4 = 0;
    std::int32_t extraInt1 = 1;
    std::int32_t extraInt2 = 0;
    std::int32_t isCalibration = 0;  // nonzero: a calibration run
    std::string extraText2;
    std::string extraText3;
    std::string extraText4;
    std::int32_t extraInt3 = 0;
    double extraReal5 = 0;
    double extraReal6 = 0;
    double extraReal7 = 0;
    double extraReal8 = 0;
    std::string extraText5;
    double extraReal9 = 0;
    double extraReal10 = 0;
    double extraReal11 = 0;
    std::string extraText6;
    double extraReal12 = 0;
    double extraReal13 = 0;
    double extraReal14 = 0;
    Time dateTime;
    std::int32_t extraInt4 = 0;
    std::string extraText7;
    std::string extraText8;
    std::string samplingSite;  // version 2 and later
    double extraReal15 = 0;    // version 3
    double extraReal16 = 0;    // version 3
};

// Local midnight of the day that `moment` falls on.
Time LocalMidnight(Time moment);

}  // namespace chromatogram
