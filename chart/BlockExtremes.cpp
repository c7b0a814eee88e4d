#include "chart/BlockExtremes.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
float LowestOf(__m128 v) {
    v = _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtss_f32(_mm_min_ss(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1))));
}
float HighestOf(__m128 v) {
    v = _mm_max_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtss_f32(_mm_max_ss(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1))));
}
#endif

}  // namespace

// Whole blocks in a loop of their own, reduced across the vector without leaving it; a block
// with a value that is not a number or an infinite extreme (rare) is summarised value by value.
BlockExtremes::BlockExtremes(const float* values, std::size_t count) : values_(values), count_(count) {
    blocks_.resize((count + kBlock - 1) / kBlock);
    std::size_t b = 0;
#if defined(__SSE2__)
    static_assert(kBlock % 16 == 0);
    for (; (b + 1) * kBlock <= count; ++b) {
        const float* y = values + b * kBlock;
        __m128 lo0 = _mm_loadu_ps(y), lo1 = _mm_loadu_ps(y + 4), hi0 = lo0, hi1 = lo1;
        __m128 nan = _mm_or_ps(_mm_cmpunord_ps(lo0, lo0), _mm_cmpunord_ps(lo1, lo1));
        for (std::size_t i = 8; i < kBlock; i += 8) {
            const __m128 v0 = _mm_loadu_ps(y + i), v1 = _mm_loadu_ps(y + i + 4);
            nan = _mm_or_ps(nan, _mm_or_ps(_mm_cmpunord_ps(v0, v0), _mm_cmpunord_ps(v1, v1)));
            lo0 = _mm_min_ps(v0, lo0), lo1 = _mm_min_ps(v1, lo1);
            hi0 = _mm_max_ps(v0, hi0), hi1 = _mm_max_ps(v1, hi1);
        }
        const float lowest = LowestOf(_mm_min_ps(lo0, lo1)), highest = HighestOf(_mm_max_ps(hi0, hi1));
        if (_mm_movemask_ps(nan) != 0 || lowest == -INFINITY || highest == INFINITY)
            blocks_[b] = Summarize(y, kBlock);
        else
            blocks_[b] = {lowest, highest, false};
    }
#endif
    for (; b < blocks_.size(); ++b) {
        const std::size_t first = b * kBlock;
        blocks_[b] = Summarize(values + first, std::min(kBlock, count - first));
    }
}

// The raw extremes first, passing over values that are not a number (min and max keep their
// second operand where the first is not a number); an infinite extreme, rare, sends the values
// through the finite-only loop again. Four accumulators each way keep the vector unit busy.
BlockExtremes::Block BlockExtremes::Summarize(const float* y, std::size_t count) {
    float lowest = INFINITY, highest = -INFINITY;
    bool notANumber = false;
    std::size_t i = 0;
#if defined(__SSE2__)
    if (count >= 16) {
        __m128 lo0 = _mm_set1_ps(INFINITY), lo1 = lo0, lo2 = lo0, lo3 = lo0;
        __m128 hi0 = _mm_set1_ps(-INFINITY), hi1 = hi0, hi2 = hi0, hi3 = hi0;
        __m128 nan = _mm_setzero_ps();
        for (; i + 16 <= count; i += 16) {
            const __m128 v0 = _mm_loadu_ps(y + i), v1 = _mm_loadu_ps(y + i + 4);
            const __m128 v2 = _mm_loadu_ps(y + i + 8), v3 = _mm_loadu_ps(y + i + 12);
            nan = _mm_or_ps(nan, _mm_or_ps(_mm_or_ps(_mm_cmpunord_ps(v0, v0), _mm_cmpunord_ps(v1, v1)),
                                           _mm_or_ps(_mm_cmpunord_ps(v2, v2), _mm_cmpunord_ps(v3, v3))));
            lo0 = _mm_min_ps(v0, lo0), lo1 = _mm_min_ps(v1, lo1), lo2 = _mm_min_ps(v2, lo2), lo3 = _mm_min_ps(v3, lo3);
            hi0 = _mm_max_ps(v0, hi0), hi1 = _mm_max_ps(v1, hi1), hi2 = _mm_max_ps(v2, hi2), hi3 = _mm_max_ps(v3, hi3);
        }
        alignas(16) float los[4], his[4];
        _mm_store_ps(los, _mm_min_ps(_mm_min_ps(lo0, lo1), _mm_min_ps(lo2, lo3)));
        _mm_store_ps(his, _mm_max_ps(_mm_max_ps(hi0, hi1), _mm_max_ps(hi2, hi3)));
        for (int k = 0; k < 4; ++k) {
            lowest = std::min(lowest, los[k]);
            highest = std::max(highest, his[k]);
        }
        notANumber = _mm_movemask_ps(nan) != 0;
    }
#endif
    for (; i < count; ++i) {
        const float v = y[i];
        if (v != v) {
            notANumber = true;
            continue;
        }
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    const bool infinite = lowest == -INFINITY || highest == INFINITY;
    if (infinite) {
        lowest = INFINITY;
        highest = -INFINITY;
        for (std::size_t k = 0; k < count; ++k) {
            if (!std::isfinite(y[k])) continue;
            lowest = std::min(lowest, y[k]);
            highest = std::max(highest, y[k]);
        }
    }
    return {lowest, highest, notANumber || infinite};
}

BlockExtremes::Range BlockExtremes::Extremes(std::size_t first, std::size_t last) const {
    Range r{INFINITY, -INFINITY, false};
    const auto take = [&r](const Block& b) {
        r.lowest = std::min(r.lowest, b.lowest);
        r.highest = std::max(r.highest, b.highest);
        r.notFinite = r.notFinite || b.notFinite;
    };
    std::size_t i = first;
    while (i <= last) {
        const std::size_t b = i / kBlock;
        const std::size_t blockEnd = std::min((b + 1) * kBlock, count_) - 1;
        const std::size_t end = std::min(blockEnd, last);
        if (i == b * kBlock && end == blockEnd)
            take(blocks_[b]);
        else
            take(Summarize(values_ + i, end - i + 1));
        i = end + 1;
    }
    return r;
}

BlockExtremes::Range BlockExtremes::Covering(std::size_t first, std::size_t last) const {
    Range r{INFINITY, -INFINITY, false};
    for (std::size_t b = first / kBlock; b <= last / kBlock; ++b) {
        r.lowest = std::min(r.lowest, blocks_[b].lowest);
        r.highest = std::max(r.highest, blocks_[b].highest);
        r.notFinite = r.notFinite || blocks_[b].notFinite;
    }
    return r;
}

std::size_t BlockExtremes::Find(float v, std::size_t first, std::size_t last) const {
    std::size_t i = first;
    while (i <= last) {
        const std::size_t b = i / kBlock;
        const std::size_t end = std::min(std::min((b + 1) * kBlock, count_) - 1, last);
        const Block& block = blocks_[b];
        if (block.lowest <= v && v <= block.highest) {
            for (std::size_t k = i; k <= end; ++k)
                if (values_[k] == v) return k;
        }
        i = end + 1;
    }
    return last + 1;
}
