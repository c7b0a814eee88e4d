#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The operations a stream parser needs from an open stream: its size (found by seeking to the
// end), rewinding, and sequential reads.
namespace platform {

class Stream {
public:
    virtual ~Stream() = default;

    // Seeks to the end and returns the position there, which is the stream's size.
    virtual std::uint64_t Size() = 0;
    // Seeks to the start.
    virtual void Rewind() = 0;
    // Reads up to n bytes at the current position; returns how many were delivered (fewer only
    // at the end of the stream, or when the underlying file cannot deliver them).
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
};

// A stream over bytes held in memory (tests, fuzzing).
class MemoryStream final : public Stream {
public:
    explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

    std::uint64_t Size() override {
        position_ = bytes_.size();
        return bytes_.size();
    }
    void Rewind() override { position_ = 0; }
    std::size_t Read(void* buffer, std::size_t n) override;

private:
    std::string bytes_;
    std::size_t position_ = 0;
};

}  // namespace platform
