#pragma once

#include "platform/CompoundFile.h"

#include <stdexcept>
#include <string>
#include <string_view>

// The errors the stream parsers raise. The two top-level reads (ChromatogramFile::Read and
// Passport::ReadFromFile) catch them and report false with a short text of the reason (the
// texts below); nothing else needs to.
namespace chromatogram {

class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bytes do not have the expected form (wrong magic number, unknown version, malformed text
// prefix, short legacy record, missing stream).
class BadFormatError : public ReadError {
public:
    using ReadError::ReadError;
};

// A stream the file must hold cannot be opened: it is missing (NotFound) or its chain is damaged
// (Corrupt), as Error() says. The text names the stream.
class StreamOpenError : public BadFormatError {
public:
    StreamOpenError(const std::string& what, platform::CompoundError error) : BadFormatError(what), error_(error) {}
    platform::CompoundError Error() const { return error_; }

private:
    platform::CompoundError error_;
};

// A value runs past the end of the stream.
class EndOfDataError : public ReadError {
public:
    using ReadError::ReadError;
};

// The stream announced more bytes than it could deliver (a damaged compound file).
class StreamReadError : public ReadError {
public:
    using ReadError::ReadError;
};

// A count read from a file asks for more than the rest of the stream could ever hold, so
// honouring it would only exhaust memory; raised before anything is allocated for it.
class ExhaustedMemoryError : public ReadError {
public:
    using ReadError::ReadError;
};

// Why a chromatogram file could not be read, as an operator is told it: the kinds a window and
// ostrel-cli name in words, each with the short text of the detail (below).
struct ReadFailure {
    enum class Kind {
        None,             // read whole
        NotFound,         // no such file
        AccessDenied,     // it exists but may not be read (or is no regular file)
        Locked,           // another program holds it
        NotChromatogram,  // not a compound file, or one without the signal stream
        Damaged,          // a structure or a stream of it is inconsistent or cut short
    };
    Kind kind = Kind::None;
    std::string text;  // the detail: "no such file", stream "Table": ..., empty on success
};

// The kind of a failure to open the file.
ReadFailure::Kind OpenFailureKind(platform::CompoundError error);

// ---- Reasons, as short texts for whoever reports a failed read (ostrel-cli prints them) ----

// Why the file could not be opened: "no such file", "not a compound file", ...
std::string OpenFailureText(platform::CompoundError error);
// Why a stream could not be opened: missing stream "Table", damaged stream "Table".
std::string StreamOpenFailureText(std::string_view stream, platform::CompoundError error);
// A failure inside a stream: stream "Table": <what the parser said>.
std::string StreamFailureText(std::string_view stream, std::string_view what);

}  // namespace chromatogram
