#pragma once

#include <cstddef>
#include <vector>

// The extremes of a long array of values, kept per block of kBlock values, so that the extremes
// of any range of it take a look at the blocks it covers and a scan of at most two partial
// blocks: a chromatogram's million samples are drawn per pixel column, fitted to a view and
// filled under, each needing the extremes of ranges of thousands of samples, at every drawing.
// Built with one scan of the values; the values must stay as they are while it is used.
//
// Extremes are of the finite values; a range also tells whether it holds a value that is not
// finite (not a number, or infinite), which callers treat point by point.
class BlockExtremes {
public:
    static constexpr std::size_t kBlock = 64;

    BlockExtremes() = default;
    BlockExtremes(const float* values, std::size_t count);

    const float* Values() const { return values_; }
    std::size_t Count() const { return count_; }

    struct Range {
        float lowest, highest;  // lowest > highest: no finite value
        bool notFinite;         // a value that is not finite lies in the range
    };
    // Block b, the values [b * kBlock, (b + 1) * kBlock) (fewer in the last block).
    const Range& OfBlock(std::size_t b) const { return blocks_[b]; }
    // The range [first, last] (first <= last < Count()).
    Range Extremes(std::size_t first, std::size_t last) const;
    // The extremes of the whole blocks that [first, last] touches: at least as far apart as the
    // range's own, found without reading a value.
    Range Covering(std::size_t first, std::size_t last) const;
    // The first index in [first, last] whose value is `v` (a finite number), or last + 1.
    std::size_t Find(float v, std::size_t first, std::size_t last) const;

private:
    using Block = Range;
    static Block Summarize(const float* values, std::size_t count);

    const float* values_ = nullptr;
    std::size_t count_ = 0;
    std::vector<Block> blocks_;
};
