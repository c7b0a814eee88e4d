#include "chromatogram/Archive.h"

#include "chromatogram/Errors.h"
#include "platform/Text.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace chromatogram {

namespace {

// Values are copied byte for byte; the stored byte order is little-endian.
static_assert(std::endian::native == std::endian::little, "archive decoding assumes a little-endian host");

constexpr std::size_t kBufferSize = 16 * 1024;

// Prefix values of a text: a byte below kLongLength is the length itself; kLongLength announces
// a 2-byte length, which may instead be one of the two markers.
constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::uint16_t kUtf16Marker = 0xFFFE;
constexpr std::uint16_t kVeryLongLength = 0xFFFF;

}  // namespace

Archive::Archive(platform::Stream& stream) : stream_(stream) {
    size_ = stream_.Size();
    stream_.Rewind();
}

void Archive::Rewind() {
    stream_.Rewind();
    position_ = 0;
    bufferBegin_ = bufferEnd_ = 0;
    shortDelivery_ = false;
}

void Archive::Refill() {
    if (buffer_.empty()) buffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, size_)));
    const std::uint64_t unread = size_ - position_;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), unread));
    const std::size_t got = want > 0 ? stream_.Read(buffer_.data(), want) : 0;
    if (got < want) shortDelivery_ = true;
    bufferBegin_ = 0;
    bufferEnd_ = got;
}

void Archive::ReadBytesSlow(void* out, std::size_t n) {
    if (n > Remaining()) throw EndOfDataError("a value runs past the end of the stream");
    char* target = static_cast<char*>(out);
    while (n > 0) {
        if (bufferBegin_ == bufferEnd_) {
            if (shortDelivery_) throw StreamReadError("the stream delivered fewer bytes than its size");
            if (n >= kBufferSize) {
                // Large texts go straight into their destination rather than through the buffer.
                const std::size_t got = stream_.Read(target, n);
                position_ += got;
                if (got < n) {
                    shortDelivery_ = true;
                    throw StreamReadError("the stream delivered fewer bytes than its size");
                }
                return;
            }
            Refill();
            continue;
        }
        const std::size_t take = std::min(n, bufferEnd_ - bufferBegin_);
        std::memcpy(target, buffer_.data() + bufferBegin_, take);
        bufferBegin_ += take;
        position_ += take;
        target += take;
        n -= take;
    }
}

Time Archive::ReadTime() { return Time(std::chrono::seconds(ReadUInt32())); }

Archive::TextLength Archive::ReadTextLength() {
    TextLength length;
    for (;;) {
        const std::uint8_t shortLength = ReadByte();
        if (shortLength < kLongLength) {
            length.units = shortLength;
            return length;
        }
        const std::uint16_t longLength = ReadUInt16();
        if (longLength < kUtf16Marker) {
            length.units = longLength;
            return length;
        }
        if (longLength == kVeryLongLength) {
            length.units = ReadUInt32();
            return length;
        }
        // The marker says the length that follows counts UTF-16 code units; a second marker
        // would announce nothing new, so a text that repeats it is malformed.
        if (length.utf16) throw BadFormatError("a text repeats its UTF-16 marker");
        length.utf16 = true;
    }
}

std::string Archive::ReadText() {
    const TextLength length = ReadTextLength();
    const std::uint64_t bytes = length.utf16 ? 2 * length.units : length.units;
    if (bytes > Remaining()) throw EndOfDataError("a text runs past the end of the stream");
    const auto decode = [&](std::string_view raw) {
        return length.utf16 ? platform::DecodeUtf16Le(raw) : platform::DecodeWindows1251(raw);
    };
    if (bytes <= bufferEnd_ - bufferBegin_) {
        // Decoded straight from the buffer: no copy of the raw bytes for the usual short text.
        const std::string_view raw(buffer_.data() + bufferBegin_, static_cast<std::size_t>(bytes));
        bufferBegin_ += raw.size();
        position_ += raw.size();
        return decode(raw);
    }
    std::string raw(static_cast<std::size_t>(bytes), '\0');
    ReadBytes(raw.data(), raw.size());
    return decode(raw);
}

}  // namespace chromatogram
