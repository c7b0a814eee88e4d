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

// A stream the file must hold cannot be opened: it is missing or its chain is damaged. The text
// names the stream.
class StreamOpenError : public BadFormatError {
public:
    using BadFormatError::BadFormatError;
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

// ---- Reasons, as short texts for whoever reports a failed read (ostrel-cli prints them) ----

// Why the file could not be opened: "no such file", "not a compound file", ...
std::string OpenFailureText(platform::CompoundError error);
// Why a stream could not be opened: missing stream "Table", damaged stream "Table".
std::string StreamOpenFailureText(std::string_view stream, platform::CompoundError error);
// A failure inside a stream: stream "Table": <what the parser said>.
std::string StreamFailureText(std::string_view stream, std::string_view what);

}  // namespace chromatogram
