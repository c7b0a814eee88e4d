#pragma once

#include "platform/Stream.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The little-endian value encoding of the "Table" and "Passport" streams: a plain concatenation
// of int32, uint32, double, 4-byte times and length-prefixed texts, without padding.
namespace chromatogram {

// A point in time with one-second resolution, counted from 1970-01-01 00:00:00 UTC.
using Time = std::chrono::sys_seconds;

// Decodes archive values from a stream, from its start. Every value is checked against the
// stream's size before it is read: a value that runs past the end raises EndOfDataError, and no
// length read from the stream is ever allocated before the rest of the stream is known to hold
// it. A stream that delivers fewer bytes than its size announced raises StreamReadError.
class Archive {
public:
    // Measures the stream (seek to the end) and rewinds it.
    explicit Archive(platform::Stream& stream);

    // Back to the first byte, for a reader that looked at the start before deciding the form.
    void Rewind();

    std::uint64_t Size() const { return size_; }
    std::uint64_t Remaining() const { return size_ - position_; }

    std::uint8_t ReadByte() { return ReadValue<std::uint8_t>(); }
    std::uint16_t ReadUInt16() { return ReadValue<std::uint16_t>(); }
    std::int32_t ReadInt32() { return ReadValue<std::int32_t>(); }
    std::uint32_t ReadUInt32() { return ReadValue<std::uint32_t>(); }
    double ReadDouble() { return ReadValue<double>(); }
    // Seconds since 1970 as an unsigned 32-bit count: the files come from a recording system,
    // so no time before 1970 occurs, while dates after January 2038 must keep reading right.
    Time ReadTime();
    // A length-prefixed text in Windows-1251 or UTF-16LE, returned as UTF-8.
    std::string ReadText();

    // Exactly n bytes, or EndOfDataError when fewer than n remain.
    void ReadBytes(void* out, std::size_t n) {
        // Inline for the common case of a value already in the buffer: a peak table is tens of
        // thousands of small values.
        if (n <= bufferEnd_ - bufferBegin_) {
            std::memcpy(out, buffer_.data() + bufferBegin_, n);
            bufferBegin_ += n;
            position_ += n;
            return;
        }
        ReadBytesSlow(out, n);
    }

private:
    template <typename T>
    T ReadValue() {
        T value;
        ReadBytes(&value, sizeof value);
        return value;
    }
    void ReadBytesSlow(void* out, std::size_t n);
    // The length of a text and whether it counts UTF-16 code units.
    struct TextLength {
        std::uint64_t units = 0;
        bool utf16 = false;
    };
    TextLength ReadTextLength();
    void Refill();

    platform::Stream& stream_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;  // bytes handed out so far
    std::vector<char> buffer_;
    std::size_t bufferBegin_ = 0;
    std::size_t bufferEnd_ = 0;
    bool shortDelivery_ = false;  // the stream stopped before its announced size
};

}  // namespace chromatogram
