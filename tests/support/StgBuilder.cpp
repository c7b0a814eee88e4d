#include "support/StgBuilder.h"

#include "chromatogram/PassportFields.h"
#include "platform/Text.h"
#include "support/CompoundFileWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <type_traits>

namespace fixtures {

namespace {

constexpr std::uint32_t kTableMagic1 = 0x125FFE11;
constexpr std::uint32_t kTableMagic2 = 0xA2D28C45;
constexpr std::size_t kLegacyRecordSize = 112;
constexpr std::size_t kLegacyNameSize = 32;

template <typename T>
void AppendLittleEndian(std::string& out, T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

// UTF-8 to UTF-16LE bytes; enough for fixture texts, which are valid UTF-8.
std::string Utf16Le(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char b0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        std::size_t length;
        if (b0 < 0x80) { cp = b0; length = 1; }
        else if ((b0 & 0xE0) == 0xC0) { cp = b0 & 0x1F; length = 2; }
        else if ((b0 & 0xF0) == 0xE0) { cp = b0 & 0x0F; length = 3; }
        else { cp = b0 & 0x07; length = 4; }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        const auto unit = [&](char16_t u) { AppendLittleEndian<std::uint16_t>(out, u); };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            unit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void WriteAttributes(ArchiveWriter& out, const TextPairs& pairs, TextEncoding encoding) {
    out.UInt32(static_cast<std::uint32_t>(pairs.size()));
    for (const auto& [key, value] : pairs) out.Text(key, encoding).Text(value, encoding);
}

}  // namespace

ArchiveWriter& ArchiveWriter::Byte(std::uint8_t value) { AppendLittleEndian(data_, value); return *this; }
ArchiveWriter& ArchiveWriter::UInt16(std::uint16_t value) { AppendLittleEndian(data_, value); return *this; }
ArchiveWriter& ArchiveWriter::Int32(std::int32_t value) { AppendLittleEndian(data_, value); return *this; }
ArchiveWriter& ArchiveWriter::UInt32(std::uint32_t value) { AppendLittleEndian(data_, value); return *this; }
ArchiveWriter& ArchiveWriter::Double(double value) { AppendLittleEndian(data_, value); return *this; }
ArchiveWriter& ArchiveWriter::Time(std::int64_t seconds) { return UInt32(static_cast<std::uint32_t>(seconds)); }
ArchiveWriter& ArchiveWriter::Bytes(std::string_view raw) { data_.append(raw); return *this; }

ArchiveWriter& ArchiveWriter::LengthPrefix(std::uint64_t length) {
    if (length < 0xFF) return Byte(static_cast<std::uint8_t>(length));
    Byte(0xFF);
    if (length < 0xFFFE) return UInt16(static_cast<std::uint16_t>(length));
    return UInt16(0xFFFF).UInt32(static_cast<std::uint32_t>(length));
}

ArchiveWriter& ArchiveWriter::Text(std::string_view utf8, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf16) {
        const std::string units = Utf16Le(utf8);
        Byte(0xFF).UInt16(0xFFFE).LengthPrefix(units.size() / 2);
        return Bytes(units);
    }
    const std::string bytes = platform::EncodeWindows1251(utf8);
    return LengthPrefix(bytes.size()).Bytes(bytes);
}

PeakFixture MakePeak(double startTime, double endTime, std::string name, std::int32_t nextInGroup) {
    PeakFixture peak;
    peak.startTime = startTime;
    peak.endTime = endTime;
    peak.name = std::move(name);
    peak.nextInGroup = nextInGroup;
    return peak;
}

std::string EncodeLegacyRecord(const PeakFixture& peak) {
    std::string record;
    AppendLittleEndian(record, peak.endTime);
    AppendLittleEndian(record, peak.startTime);
    AppendLittleEndian(record, peak.extraValue);
    std::string name = platform::EncodeWindows1251(peak.name);
    name.resize(kLegacyNameSize, '\0');
    record += name;
    AppendLittleEndian(record, peak.nextInGroup);
    // The rest of the record holds data this system never reads; fill it with something that
    // is not zero so that a reader that looks at it is noticed.
    record.resize(kLegacyRecordSize, '\x5A');
    return record;
}

std::string EncodeTable(const TableFixture& table) {
    if (table.legacy) {
        std::string out;
        for (const PeakFixture& peak : table.peaks) out += EncodeLegacyRecord(peak);
        return out;
    }
    ArchiveWriter out;
    out.UInt32(kTableMagic1).UInt32(kTableMagic2).Int32(table.version);
    out.Int32(static_cast<std::int32_t>(table.peaks.size()));
    for (const PeakFixture& peak : table.peaks) {
        if (table.version == 0) {
            out.Bytes(EncodeLegacyRecord(peak));
            continue;
        }
        out.Double(peak.startTime).Double(peak.endTime).Double(peak.extraValue);
        out.Text(peak.name, table.textEncoding).Int32(peak.nextInGroup);
        if (table.version >= 2) out.Int32(peak.extraCode);
        if (table.version >= 3) WriteAttributes(out, peak.attributes, table.textEncoding);
    }
    if (table.version >= 3) WriteAttributes(out, table.attributes, table.textEncoding);
    return out.Data();
}

std::string EncodePassport(const PassportFixture& p) {
    const TextEncoding e = p.textEncoding;
    ArchiveWriter out;
    out.UInt32(p.magic).Int32(p.version);
    chromatogram::VisitPassportFields(
        [&](const char*, std::int32_t since, const auto& field) {
            if (p.version < since) return;
            using Field = std::remove_cvref_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, std::string>)
                out.Text(field, e);
            else if constexpr (std::is_same_v<Field, double>)
                out.Double(field);
            else if constexpr (std::is_same_v<Field, std::int32_t>)
                out.Int32(field);
            else
                out.Time(field);  // the seconds of a time
        },
        p);
    return out.Data();
}

std::string EncodeRawData(const std::vector<float>& samples) {
    std::string out;
    out.reserve(samples.size() * sizeof(float));
    for (float sample : samples) AppendLittleEndian(out, sample);
    return out;
}

std::string EncodeTimeBase(double startTime, double step) {
    std::string out;
    for (int i = 0; i < 3; ++i) AppendLittleEndian(out, static_cast<float>(startTime + i * step));
    return out;
}

NamedStreams EncodeStreams(const ChromatogramFixture& c) {
    return {
        {"Raw_data", EncodeRawData(c.signal)},
        {"Time", EncodeTimeBase(c.startTime, c.step)},
        {"Table", EncodeTable(c.table)},
        {"Passport", EncodePassport(c.passport)},
    };
}

NamedStreams Without(NamedStreams streams, std::string_view name) {
    std::erase_if(streams, [&](const auto& stream) { return stream.first == name; });
    return streams;
}

NamedStreams Replaced(NamedStreams streams, std::string_view name, std::string bytes) {
    for (auto& stream : streams)
        if (stream.first == name) stream.second = bytes;
    return streams;
}

std::string BuildCompoundFile(const NamedStreams& streams) {
    CompoundFileWriter writer;
    for (const auto& [name, bytes] : streams) writer.AddStream(name, bytes);
    return writer.Build();
}

void WriteCompoundFile(const std::string& path, const NamedStreams& streams) {
    CompoundFileWriter writer;
    for (const auto& [name, bytes] : streams) writer.AddStream(name, bytes);
    if (!writer.WriteTo(path)) throw std::runtime_error("cannot write " + path);
}

std::string BuildStg(const ChromatogramFixture& chromatogram) { return BuildCompoundFile(EncodeStreams(chromatogram)); }

void WriteStg(const std::string& path, const ChromatogramFixture& chromatogram) {
    WriteCompoundFile(path, EncodeStreams(chromatogram));
}

ChromatogramFixture Synthesize(const SyntheticRun& run) {
    ChromatogramFixture c;
    c.startTime = run.startTime;
    c.step = run.step;
    c.signal.resize(static_cast<std::size_t>(std::max(run.sampleCount, 0)));
    // A generator whose output is fixed by the standard, and a noise shape computed here, so
    // that a seed gives the same samples with every library.
    std::mt19937 random(run.seed);
    const double twoPi = 2 * std::acos(-1.0);
    std::vector<double> y(c.signal.size());
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double t = static_cast<double>(i) * run.step;
        y[i] = run.baseline + run.drift * t + run.noise * (2.0 * random() / 4294967295.0 - 1.0);
    }
    // Each peak only reaches the samples within twelve widths of its centre.
    const double reach = 12;
    for (const SyntheticPeak& peak : run.peaks) {
        const double from = std::ceil((peak.retentionTime - reach * peak.sigma - run.startTime) / run.step);
        const double to = std::floor((peak.retentionTime + reach * peak.sigma - run.startTime) / run.step);
        const double scale = peak.area / (peak.sigma * std::sqrt(twoPi));
        for (double k = std::max(from, 0.0); k <= to && k < static_cast<double>(y.size()); ++k) {
            const double z = (run.startTime + k * run.step - peak.retentionTime) / peak.sigma;
            y[static_cast<std::size_t>(k)] += scale * std::exp(-z * z / 2);
        }
    }
    for (std::size_t i = 0; i < y.size(); ++i) c.signal[i] = static_cast<float>(y[i]);
    for (const SyntheticPeak& peak : run.peaks) {
        PeakFixture p;
        p.name = peak.name;
        p.startTime = peak.retentionTime - run.windowSigmas * peak.sigma;
        p.endTime = peak.retentionTime + run.windowSigmas * peak.sigma;
        c.table.peaks.push_back(p);
    }
    return c;
}

}  // namespace fixtures
