#include "chromatogram/ChmFile.h"

#include "chromatogram/Errors.h"
#include "platform/CompoundFile.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace chromatogram {

namespace {

constexpr const char* kRawDataStream = "Raw_data";
constexpr const char* kTimeStream = "Time";
constexpr const char* kTableStream = "Table";
constexpr const char* kPassportStream = "Passport";

// The time base is taken from the first two of three stored times; a shorter stream keeps the
// default time base.
constexpr std::uint64_t kTimeBaseBytes = 3 * sizeof(float);

std::unique_ptr<platform::Stream> OpenStream(platform::CompoundFile& file, const char* name) {
    platform::CompoundError error = platform::CompoundError::None;
    std::unique_ptr<platform::Stream> stream = file.OpenStream(name, &error);
    if (!stream) throw StreamOpenError(StreamOpenFailureText(name, error), error);
    return stream;
}

bool Failed(ReadFailure* failure, ReadFailure::Kind kind, std::string reason) {
    if (failure) *failure = ReadFailure{kind, std::move(reason)};
    return false;
}

// Reads exactly n bytes. A stream that delivers fewer than its size announced is damaged, and
// integrating what it left out as if it were signal would give wrong areas, so it fails.
void ReadExactly(platform::Stream& stream, void* buffer, std::size_t n) {
    if (stream.Read(buffer, n) != n) throw StreamReadError("the stream delivered fewer bytes than its size");
}

void ReadSignal(platform::CompoundFile& file, Lattice& signal) {
    const std::unique_ptr<platform::Stream> stream = OpenStream(file, kRawDataStream);
    const std::uint64_t size = stream->Size();
    stream->Rewind();
    const std::uint64_t count = size / sizeof(float);
    if (count > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        throw ExhaustedMemoryError("the signal holds more samples than can be indexed");
    // The samples added by growing are left as they are: the read fills them.
    signal.samples.resize(static_cast<std::size_t>(count));
    const std::size_t bytes = signal.samples.size() * sizeof(float);
    const std::size_t got = bytes > 0 ? stream->Read(signal.samples.data(), bytes) : 0;
    if (got < bytes) {
        // Leave neither a sample of an earlier file nor whatever the memory held behind the
        // samples delivered.
        std::memset(reinterpret_cast<char*>(signal.samples.data()) + got, 0, bytes - got);
        throw StreamReadError("the signal stream delivered fewer bytes than its size");
    }
}

void ReadTimeBase(platform::CompoundFile& file, Lattice& signal) {
    const std::unique_ptr<platform::Stream> stream = OpenStream(file, kTimeStream);
    if (stream->Size() < kTimeBaseBytes) {
        signal.SetTimeBase(1.0, 0.0);
        return;
    }
    stream->Rewind();
    float times[3];
    ReadExactly(*stream, times, sizeof times);
    signal.SetTimeBase(static_cast<double>(times[1]) - static_cast<double>(times[0]), times[0]);
}

}  // namespace

ChromatogramFile::ChromatogramFile() { peaks.SetSignal(&signal); }

bool ChromatogramFile::Read(const std::string& newPath, ReadFailure* failure, platform::CompoundSharing sharing) {
    using Kind = ReadFailure::Kind;
    path = newPath;
    if (failure) *failure = ReadFailure{};
    platform::CompoundError error = platform::CompoundError::None;
    const std::unique_ptr<platform::CompoundFile> file = platform::CompoundFile::Open(path, &error, sharing);
    if (!file) return Failed(failure, OpenFailureKind(error), OpenFailureText(error));
    const char* stream = kRawDataStream;  // the one being read, to name in the reason
    try {
        ReadSignal(*file, signal);
        stream = kTimeStream;
        ReadTimeBase(*file, signal);
        peaks.SetSignal(&signal);
        stream = kTableStream;
        peaks.ReadFromStream(*OpenStream(*file, kTableStream));
        stream = kPassportStream;
        passport.ReadFromStream(*OpenStream(*file, kPassportStream));
        return true;
    } catch (const StreamOpenError& e) {
        // A compound file without the signal is some other program's file; one without a later
        // stream, or with a damaged chain, is a damaged chromatogram.
        const bool noSignal = stream == kRawDataStream && e.Error() == platform::CompoundError::NotFound;
        return Failed(failure, noSignal ? Kind::NotChromatogram : Kind::Damaged, e.what());
    } catch (const std::bad_alloc&) {
        return Failed(failure, Kind::Damaged, StreamFailureText(stream, "out of memory"));
    } catch (const std::exception& e) {
        // Whatever went wrong inside the streams (malformed data, end of data, a damaged
        // stream, exhausted memory) the answer is the same: this file could not be read.
        return Failed(failure, Kind::Damaged, StreamFailureText(stream, e.what()));
    }
}

}  // namespace chromatogram
