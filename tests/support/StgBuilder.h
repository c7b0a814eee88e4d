#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Test-only builder of chromatogram files (".stg"): encodes the values of the "Table" and
// "Passport" streams, the "Raw_data" signal and the "Time" base, and writes whole compound
// files through CompoundFileWriter. It is written independently of the product's reader, so
// the two cannot share a misreading of the format.
//
// Typical use:
//     fixtures::ChromatogramFixture c;
//     c.signal = {0, 1, 3, 1, 0};
//     c.table.peaks = {fixtures::MakePeak(0.5, 3.5, "этанол")};
//     c.passport.sampleName = "Градуировка 0.05";
//     fixtures::WriteStg(dir + "/level1.stg", c);
namespace fixtures {

using TextPairs = std::vector<std::pair<std::string, std::string>>;

enum class TextEncoding {
    Windows1251,  // 8-bit texts, the usual form
    Utf16,        // UTF-16LE behind the 0xFF 0xFE 0xFF marker
};

// Archive encoding: little-endian values appended one after another.
class ArchiveWriter {
public:
    ArchiveWriter& Byte(std::uint8_t value);
    ArchiveWriter& UInt16(std::uint16_t value);
    ArchiveWriter& Int32(std::int32_t value);
    ArchiveWriter& UInt32(std::uint32_t value);
    ArchiveWriter& Double(double value);
    // Seconds since 1970, stored as an unsigned 32-bit count.
    ArchiveWriter& Time(std::int64_t secondsSince1970);
    // A UTF-8 text, stored in the given encoding with the shortest length prefix.
    ArchiveWriter& Text(std::string_view utf8, TextEncoding encoding = TextEncoding::Windows1251);
    // A length prefix alone (for hand-made malformed texts).
    ArchiveWriter& LengthPrefix(std::uint64_t length);
    ArchiveWriter& Bytes(std::string_view raw);

    const std::string& Data() const { return data_; }

private:
    std::string data_;
};

// One peak record as stored; areas are not stored, they are computed by the reader.
struct PeakFixture {
    double startTime = 0;
    double endTime = 0;
    double extraValue = 0;
    std::string name;
    std::int32_t nextInGroup = -1;
    std::int32_t extraCode = 0;  // written from version 2
    TextPairs attributes;        // written from version 3
};

// A peak with the given span, name and successor, everything else at its default.
PeakFixture MakePeak(double startTime, double endTime, std::string name = {}, std::int32_t nextInGroup = -1);

struct TableFixture {
    std::int32_t version = 4;  // header form; version 0 writes 112-byte records after the header
    bool legacy = false;       // the headerless form of bare 112-byte records
    std::vector<PeakFixture> peaks;
    TextPairs attributes;  // written from version 3
    TextEncoding textEncoding = TextEncoding::Windows1251;
};

// The "Table" stream of the table.
std::string EncodeTable(const TableFixture& table);
// One 112-byte record (end time before start time; the name zero-ended within 32 bytes).
std::string EncodeLegacyRecord(const PeakFixture& peak);

// Every field of the sample record in stream order, with the values a fresh record holds in
// the reader, except the dates, which are fixed here so that fixtures are reproducible.
struct PassportFixture {
    std::int32_t version = 3;
    std::uint32_t magic = 0xE04561CC;
    TextEncoding textEncoding = TextEncoding::Windows1251;

    std::string sampleName;
    std::string extraText1;
    double extraReal1 = 1.0;
    double extraReal2 = 1.0;
    double extraReal3 = 100.0;
    std::int64_t dateOnly = 1700006400;  // 2023-11-15 00:00:00 UTC
    std::string samplingPoint;
    std::string methodName;
    double extraReal4 = 0;
    std::int32_t extraInt1 = 1;
    std::int32_t extraInt2 = 0;
    std::int32_t isCalibration = 0;
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
    std::int64_t dateTime = 1700046000;  // 2023-11-15 11:00:00 UTC
    std::int32_t extraInt4 = 0;
    std::string extraText7;
    std::string extraText8;
    std::string samplingSite;  // written from version 2
    double extraReal15 = 0;    // written from version 3
    double extraReal16 = 0;    // written from version 3
};

// The "Passport" stream of the record.
std::string EncodePassport(const PassportFixture& passport);

// The "Raw_data" stream: the samples as little-endian single-precision values.
std::string EncodeRawData(const std::vector<float>& samples);
// The "Time" stream: the times of samples 0, 1 and 2 as single-precision values.
std::string EncodeTimeBase(double startTime, double step);

struct ChromatogramFixture {
    std::vector<float> signal;
    double startTime = 0;
    double step = 1;
    TableFixture table;
    PassportFixture passport;
};

// Named streams of a compound file, in the order they are written.
using NamedStreams = std::vector<std::pair<std::string, std::string>>;

// "Raw_data", "Time", "Table" and "Passport" of the chromatogram.
NamedStreams EncodeStreams(const ChromatogramFixture& chromatogram);
// The streams without the one named `name`, or with its bytes replaced.
NamedStreams Without(NamedStreams streams, std::string_view name);
NamedStreams Replaced(NamedStreams streams, std::string_view name, std::string bytes);

// Whole compound-file images, and writing them; Write... throw std::runtime_error on failure.
std::string BuildCompoundFile(const NamedStreams& streams);
void WriteCompoundFile(const std::string& path, const NamedStreams& streams);
std::string BuildStg(const ChromatogramFixture& chromatogram);
void WriteStg(const std::string& path, const ChromatogramFixture& chromatogram);

// A gas-chromatographic run made up: a baseline with drift and noise, and Gaussian peaks whose
// integration window is the peak's retention time plus and minus `windowSigmas` widths.
struct SyntheticPeak {
    std::string name;
    double retentionTime = 0;
    double sigma = 1;  // width of the Gaussian, in time units
    double area = 0;   // area under the Gaussian, in signal units times time units
};

struct SyntheticRun {
    double startTime = 0;
    double step = 0.05;
    int sampleCount = 0;
    double baseline = 0;     // level at the start
    double drift = 0;        // change of the baseline per time unit
    double noise = 0;        // amplitude of the uniform noise around the baseline
    std::uint32_t seed = 1;  // the same seed gives the same samples
    double windowSigmas = 4;
    std::vector<SyntheticPeak> peaks;
};

// The signal and peak table of the run (the passport is left at its defaults).
ChromatogramFixture Synthesize(const SyntheticRun& run);

}  // namespace fixtures
