#pragma once

#include <stdexcept>
#include <string>

// The errors the stream parsers raise. The two top-level reads (ChromatogramFile::Read and
// Passport::ReadFromFile) catch them and report a plain false; nothing else needs to.
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

}  // namespace chromatogram
