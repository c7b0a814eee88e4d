#pragma once

#include "chromatogram/Lattice.h"
#include "platform/Stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// A stream that announces more bytes than it delivers, as a damaged compound-file stream does.
class ShortStream final : public platform::Stream {
public:
    ShortStream(std::string bytes, std::uint64_t announcedSize)
        : bytes_(std::move(bytes)), announced_(announcedSize) {}

    std::uint64_t Size() override {
        position_ = announced_;
        return announced_;
    }
    void Rewind() override { position_ = 0; }
    std::size_t Read(void* buffer, std::size_t n) override {
        const std::size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
        const std::size_t count = std::min(n, available);
        std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += n;
        return count;
    }

private:
    std::string bytes_;
    std::uint64_t announced_;
    std::uint64_t position_ = 0;
};

// A signal of the given samples and time base.
inline chromatogram::Lattice MakeSignal(std::vector<float> samples, double startTime = 0, double step = 1) {
    chromatogram::Lattice signal;
    signal.samples.assign(samples.begin(), samples.end());
    signal.SetTimeBase(step, startTime);
    return signal;
}
