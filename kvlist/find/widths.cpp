// Widths: the row length at which words resemble the words one row before.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "steps.h"

void lagProfile(Words w, size_t from, size_t to, LagProfile &p) {
    p.lags = uint32_t(std::min<size_t>(lagLimit, from));
    uint8_t y[blockWords + lagLimit];
    const size_t base = from - p.lags;
    for (size_t i = base; i < to; i++)
        y[i - base] = brightness(w[i]);
    const uint8_t *block = y + p.lags;
    const size_t n = to - from;
    for (uint32_t lag = 1; lag <= p.lags; lag++) {
        const uint8_t *row = block - lag;
        int s = 0; // at most blockWords * 124
        for (size_t i = 0; i < n; i++)
            s += std::abs(int(block[i]) - int(row[i]));
        p.sum[lag] = uint32_t(s);
    }
}

// A dip: below both neighbouring lags, plainly below the lags dipReach
// away, and close enough in absolute terms to be rows.
static uint32_t dipBase(const LagProfile &p, uint32_t lag) {
    return std::min(p.sum[lag - dipReach], p.sum[lag + dipReach]);
}

static bool isDip(const LagProfile &p, uint32_t lag, size_t n) {
    if (lag < findMinWidth || lag + dipReach > p.lags)
        return false;
    const uint32_t s = p.sum[lag];
    return s < p.sum[lag - 1] && s < p.sum[lag + 1] &&
           uint64_t(s) * dipDepth.den < uint64_t(dipBase(p, lag)) * dipDepth.num &&
           s <= n * dipMaxStep;
}

uint32_t bestDip(const LagProfile &p, size_t n) {
    uint32_t best = 0;
    uint64_t bestNum = 1, bestDen = 1; // the best ratio sum / neighbours so far
    for (uint32_t lag = findMinWidth; lag + dipReach <= p.lags; lag++) {
        if (!isDip(p, lag, n))
            continue;
        const uint64_t num = p.sum[lag], den = dipBase(p, lag);
        if (num * bestDen < bestNum * den) {
            best = lag;
            bestNum = num;
            bestDen = den;
        }
    }
    // A picture also resembles the rows two to rowMultiples above: prefer
    // the smallest width whose dip is about as plain.
    for (uint32_t d = rowMultiples; best && d >= 2; d--) {
        const uint32_t lag = best / d;
        if (best % d == 0 && isDip(p, lag, n) &&
            uint64_t(p.sum[lag]) * bestDen * multipleDip.den <=
                uint64_t(dipBase(p, lag)) * bestNum * multipleDip.num)
            return lag;
    }
    return best;
}

// The width within widthSlack of a guess whose rows differ least over
// [from, to): a block's dip may sit a word or two off, the whole picture's
// does not.
uint32_t refineWidth(Words w, size_t from, size_t to, uint32_t guess) {
    to = std::min(to, from + judgeWords);
    const uint32_t lo = std::max(findMinWidth, guess - std::min(guess, widthSlack));
    const uint32_t hi = std::min(findMaxWidth, guess + widthSlack);
    uint32_t best = guess;
    uint64_t bestSum = UINT64_MAX;
    // Each word spread once for all the widths.
    const size_t base = from - std::min<size_t>(from, hi);
    std::vector<uint32_t> spreadWords(to > base ? to - base : 0);
    for (size_t i = base; i < to; i++)
        spreadWords[i - base] = spreadAt(w, i);
    for (uint32_t width = lo; width <= hi; width++) {
        if (from < width)
            continue;
        uint64_t sum = 0;
        for (size_t i = from; i < to; i++)
            sum += spreadDistance(spreadWords[i - base], spreadWords[i - base - width]);
        if (sum < bestSum) {
            bestSum = sum;
            best = width;
        }
    }
    return best;
}

uint32_t dipWidth(Words w, size_t from, size_t to) {
    LagProfile sum, p;
    sum.lags = lagLimit;
    for (uint32_t lag = 0; lag <= lagLimit; lag++)
        sum.sum[lag] = 0;
    for (size_t s = from; s < to; s += blockWords) {
        const size_t e = std::min(to, s + blockWords);
        lagProfile(w, s, e, p);
        sum.lags = std::min(sum.lags, p.lags);
        for (uint32_t lag = 1; lag <= p.lags; lag++)
            sum.sum[lag] += p.sum[lag];
    }
    return bestDip(sum, to - from);
}

// Two or three rows of a narrower picture read as one resemble their own
// other half (or third) better than the row above.
void splitWidth(Words run, size_t start, uint32_t &rows, uint32_t &width) {
    const size_t end = std::min(start + size_t(rows) * width, start + judgeWords);
    for (uint32_t d = 2; d <= splitMost; d++) {
        if (width % d != 0 || width / d < findMinWidth || end < start + width)
            continue;
        const uint32_t narrow = width / d;
        uint64_t wide = 0, part = 0;
        for (size_t i = start + width; i < end; i++) {
            wide += spreadDistance(spread(run[i]), spread(run[i - width]));
            part += spreadDistance(spread(run[i]), spread(run[i - narrow]));
        }
        if (part < wide) {
            rows *= d;
            width = narrow;
            return;
        }
    }
}
