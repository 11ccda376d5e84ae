// The scan that ties the steps together.
//
// How the finder works. A picture is rows of 16-bit words whose bit 15 does
// not change, whose channels change little from one word to the next, and
// whose every row resembles the row before it: words one row apart are
// alike. So, at either byte parity, each run of words of one bit 15 is cut
// into blocks of 64 words; each smooth block names the distance (the width)
// at which its words resemble the words before them clearly better than at
// nearby distances (widths.cpp). From each block naming a width, the scan
// walks back to where rows begin to continue into one another and down to
// where they stop (bounds.cpp), and moves the result onto the row grid its
// margins, seams and ends agree on (fixups.cpp). What is no picture (text,
// tables, code, padding) is rejected (judge.cpp). Pieces of one width on
// one row grid are joined into blocks; each block is then grown to its
// plain ground, whose run starts where the data before it ends and so fixes
// the row grid, and cut into pictures: where one ground frames several, where
// animation frames repeat, where an unrelated picture begins, and at the
// device's 160 rows (segment.cpp). Last, each picture gets a note saying how
// sure the finder is of it.
#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "pixels.h"
#include "steps.h"

namespace {

// One run of words with one value of bit 15: [first, to).
void scanRun(Words w, Words other, size_t first, size_t to, std::vector<Piece> &out) {
    const Words run{w.bytes + 2 * first, to - first};
    const size_t blocks = (run.count + blockWords - 1) / blockWords;
    // A block's label comes from its own profile and those of the blocks
    // around it, kept in a ring.
    constexpr size_t window = labelBefore + 1 + labelAfter;
    LagProfile ring[window];
    bool flat[window];
    auto compute = [&](size_t b) {
        const size_t s = b * blockWords, e = std::min(run.count, s + blockWords);
        flat[b % window] = isFlat(run, s, e);
        ring[b % window].lags = 0;
        // Words that jump from one to the next (code, compressed data) are
        // no picture: only smoother blocks get a profile.
        if (flat[b % window])
            return;
        // Past the step limit the block is no picture whatever its text.
        const size_t maxSteps = maxMeanStep * (e - s);
        uint32_t steps = 0, text = 0;
        uint32_t previous = spreadAt(run, s);
        for (size_t i = s + 1; i < e && steps <= maxSteps; i++) {
            const uint32_t v = spreadAt(run, i);
            steps += spreadDistance(v, previous);
            previous = v;
        }
        if (steps > maxSteps)
            return;
        for (size_t i = s + 1; i < e; i++) {
            const uint32_t lo = run.bytes[2 * i], hi = run.bytes[2 * i + 1];
            text += (printableByte[lo] && (printableByte[hi] || hi == 0)) ||
                    (lo == 0 && printableByte[hi]);
        }
        if (e - s >= findMinWidth && steps <= maxSteps &&
            text * textShare.den < (e - s) * textShare.num)
            lagProfile(run, s, e, ring[b % window]);
    };
    std::vector<uint32_t> label(blocks);
    for (size_t b = 0; b < blocks && b < labelAfter; b++)
        compute(b);
    for (size_t b = 0; b < blocks; b++) {
        if (b + labelAfter < blocks)
            compute(b + labelAfter);
        if (flat[b % window]) {
            label[b] = flatBlock;
            continue;
        }
        if (ring[b % window].lags == 0) // no picture: label 0
            continue;
        LagProfile sum;
        sum.lags = lagLimit;
        for (uint32_t lag = 0; lag <= lagLimit; lag++)
            sum.sum[lag] = 0;
        size_t n = 0;
        for (size_t k = b >= labelBefore ? b - labelBefore : 0; k < blocks && k <= b + labelAfter;
             k++) {
            const LagProfile &p = ring[k % window];
            if (flat[k % window] || p.lags == 0) // one value, or no picture
                continue;
            sum.lags = std::min(sum.lags, p.lags);
            for (uint32_t lag = 1; lag <= p.lags; lag++)
                sum.sum[lag] += p.sum[lag];
            n += std::min(run.count, (k + 1) * blockWords) - k * blockWords;
        }
        label[b] = n >= minRun && ring[b % window].lags ? bestDip(sum, n) : 0;
    }
    // Each labelled block not yet inside a picture seeds a search: the width
    // most blocks from it on name, the rows back to the picture's top, its
    // first word, and its rows down.
    size_t cursor = 0, seeded = 0;
    for (size_t b = 0; b < blocks; b++) {
        if (label[b] < findMinWidth || (b + 1) * blockWords <= std::max(cursor, seeded))
            continue;
        // The widths the next blocks name most, each tried: the right one
        // covers the most words.
        uint32_t tried[votedWidths] = {}, votes[votedWidths] = {};
        for (size_t j = b; j < blocks && j < b + voteBlocks; j++) {
            const uint32_t l = label[j];
            if (l < findMinWidth || std::find(tried, tried + votedWidths, l) != tried + votedWidths)
                continue;
            uint32_t v = 0;
            for (size_t k = j; k < blocks && k < b + voteBlocks; k++)
                v += label[k] == l;
            for (uint32_t t = 0; t < votedWidths; t++)
                if (v > votes[t]) {
                    for (uint32_t u = votedWidths - 1; u > t; u--) {
                        tried[u] = tried[u - 1];
                        votes[u] = votes[u - 1];
                    }
                    tried[t] = l;
                    votes[t] = v;
                    break;
                }
        }
        const size_t seed = std::max(b * blockWords, cursor);
        uint32_t width = 0, rows = 0;
        size_t start = 0;
        for (uint32_t t = 0; t < triedWidths; t++) {
            const uint32_t guess = tried[t];
            if (guess == 0)
                break;
            // The blocks from the seed on that name about this width.
            size_t regionEnd = seed;
            for (size_t k = b, misses = 0; k < blocks && misses <= regionMisses; k++) {
                const uint32_t l = label[k];
                if (l == flatBlock || (l + widthSlack >= guess && l <= guess + widthSlack)) {
                    regionEnd = std::min(run.count, (k + 1) * blockWords);
                    misses = 0;
                } else {
                    misses++;
                }
            }
            uint32_t w1 = guess, r1 = 0;
            size_t s1 = 0;
            for (uint32_t pass = 0; pass < widthPasses; pass++) {
                s1 = findTop(run, label, cursor, seed, w1);
                r1 = s1 < std::max(seed, cursor) + w1 ? pictureRows(run, s1, run.count, w1) : 0;
                if (r1 < findMinHeight || pass + 1 == widthPasses)
                    break;
                const size_t lo = std::min(s1 + w1, seed);
                const size_t hi = std::max(s1 + size_t(r1) * w1, regionEnd);
                const uint32_t better = refineWidth(run, lo, hi, w1);
                if (better == w1)
                    break;
                w1 = better;
            }
            if (uint64_t(r1) * w1 > uint64_t(rows) * width) {
                width = w1;
                rows = r1;
                start = s1;
            }
            // Many rows well past the seed: no other guess does better.
            if (r1 >= enoughRows && s1 + size_t(r1) * w1 >= seed + enoughBlocks * blockWords)
                break;
        }
        // The next blocks would find what this seed found.
        seeded = std::max(seeded, seed + seedCoverBlocks * blockWords);
        if (rows == 0)
            continue;
        splitWidth(run, start, rows, width);
        snapAfterPadding(run, start, rows, width);
        {
            // A plainer end than start sets the row grid.
            uint32_t endSharp = 0;
            const size_t end = pictureEnd(run, start + size_t(rows) * width, width, endSharp);
            if (end > start && (end - start) % width != 0 &&
                endSharp > startSharpness(run, start, width)) {
                const size_t k = (end - start + width / 2) / width;
                if (k >= findMinHeight && end >= size_t(k) * width + cursor &&
                    gridScore(run, end - k * width, uint32_t(k), width, cursor) >
                        gridScore(run, start, rows, width, cursor)) {
                    start = end - k * width;
                    rows = uint32_t(k);
                }
            }
        }
        rows = std::min(rows, nextPicture(run, label, start, rows, width));
        if (rows == 0)
            continue;
        if (otherParitySmoother(w, other, first + start, width, rows)) {
            seeded = start + size_t(rows) * width;
            continue;
        }
        extendUp(run, start, rows, width, cursor);
        {
            const size_t was = start;
            snapToMargins(run, start, rows, width, cursor);
            if (start == was)
                start = alignColumns(run, start, width, rows, cursor);
        }
        extendToMargin(run, start, rows, width, cursor);
        const size_t before = out.size();
        cutRows(run, start, width, 0, rows, out);
        // Rows of one value after the picture may begin the next one.
        // A few rows too few to keep leave the cursor: they may be the
        // plain top of the picture the next seed finds.
        if (out.size() > before)
            cursor = start + width;
        for (size_t k = before; k < out.size(); k++) {
            cursor = std::max(cursor, out[k].start + size_t(out[k].width) * out[k].height);
            out[k].start += first;
        }
    }
}

} // namespace

uint32_t pixelDistance(uint32_t a, uint32_t b) { return spreadDistance(spread(a), spread(b)); }

std::vector<Candidate> findPictures(const uint8_t *data, size_t size) {
    std::vector<Candidate> all;
    for (size_t parity = 0; parity < 2 && parity < size; parity++) {
        const Words w{data + parity, (size - parity) / 2};
        // The words one byte later, or for the odd parity one byte earlier.
        const Words other =
            parity == 0 ? Words{data + 1, size > 0 ? (size - 1) / 2 : 0} : Words{data, size / 2};
        std::vector<Piece> pieces;
        for (size_t i = 0; i < w.count;) {
            const uint8_t high = w.bytes[2 * i + 1] & 0x80;
            size_t j = i + 1;
            while (j < w.count && (w.bytes[2 * j + 1] & 0x80) == high)
                j++;
            if (j - i >= minRun)
                scanRun(w, other, i, j, pieces);
            i = j;
        }
        for (const Piece &p : pieces)
            if (!rejectReason(w, p.start, p.width, p.height)) {
                // A small run of rows is easily matched by chance.
                const uint32_t sure = sureOf(w, p.start, p.width, p.height);
                const uint32_t pixels = p.width * p.height;
                const uint64_t offset = parity + 2 * uint64_t(p.start);
                if (sure >= (pixels < tinyPixels    ? tinySure
                             : pixels < smallPixels ? smallSure
                                                    : minSure) &&
                    offset <= UINT32_MAX)
                    all.push_back({uint32_t(offset), p.width, p.height, noteUnsure});
            }
    }
    // Where the two byte parities overlap, the larger candidate stays (the
    // earlier when both are as large), larger ones first. Candidates of one
    // parity never overlap, so a new one meets at most the kept one of the
    // other parity that covers its first byte and those that start inside it.
    auto end = [](const Candidate &c) { return uint64_t(c.offset) + 2 * c.width * c.height; };
    std::vector<size_t> order(all.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const uint64_t sa = end(all[a]) - all[a].offset, sb = end(all[b]) - all[b].offset;
        return sa != sb ? sa > sb : all[a].offset < all[b].offset;
    });
    std::map<uint32_t, uint64_t> keptAt[2]; // offset -> end, per parity
    std::vector<Candidate> kept;
    for (size_t i : order) {
        const Candidate &c = all[i];
        const std::map<uint32_t, uint64_t> &others = keptAt[1 - (c.offset & 1)];
        auto it = others.lower_bound(c.offset);
        const bool meets = (it != others.end() && it->first < end(c)) ||
                           (it != others.begin() && std::prev(it)->second > c.offset);
        if (meets)
            continue;
        keptAt[c.offset & 1][c.offset] = end(c);
        kept.push_back(c);
    }
    std::sort(kept.begin(), kept.end(),
              [](const Candidate &a, const Candidate &b) { return a.offset < b.offset; });
    // Pieces of one width on one row grid, next to each other or a few rows
    // apart, are one picture cut at an edge across it.
    std::vector<Candidate> joined;
    for (Candidate c : kept) {
        if (!joined.empty()) {
            Candidate &p = joined.back();
            const uint64_t row = 2 * uint64_t(p.width);
            // Frames of one size back to back: the next one starts on the
            // row grid of the one before, which its content may not show.
            if (c.width == p.width && c.offset >= end(p) && (c.offset - end(p)) % 2 == 0 &&
                c.offset - end(p) < frameGridRows * row && (c.offset - end(p)) % row != 0) {
                const uint64_t off = (c.offset - end(p)) % row;
                if (off * 2 <= row)
                    c.offset -= uint32_t(off);
                else if (uint64_t(c.offset) + (row - off) + 2 * uint64_t(c.width) * c.height <=
                         size)
                    c.offset += uint32_t(row - off);
            }
            const uint64_t gap = c.offset - std::min<uint64_t>(c.offset, end(p));
            const uint64_t rows = uint64_t(p.height) + gap / row + c.height;
            if (c.width == p.width && c.offset >= end(p) && gap % row == 0 &&
                gap / row <= joinMaxGap && rows <= blockMaxRows) {
                p.height = uint32_t(rows);
                continue;
            }
        }
        joined.push_back(c);
    }
    // Each block grown to its ground and cut into pictures, up to where the
    // pictures before it end and the next block starts.
    std::vector<Candidate> out;
    for (size_t i = 0; i < joined.size(); i++) {
        const Candidate &c = joined[i];
        const size_t parity = c.offset & 1;
        const Words w{data + parity, (size - parity) / 2};
        const uint64_t lo = out.empty() ? 0 : end(out.back());
        const uint64_t hi = i + 1 < joined.size() ? joined[i + 1].offset : size;
        std::vector<Piece> pieces;
        segmentBlock(w, (c.offset - parity) / 2, c.width, c.height,
                     lo > parity ? size_t((lo - parity + 1) / 2) : 0, size_t((hi - parity) / 2),
                     pieces);
        for (const Piece &p : pieces) {
            const uint64_t offset = parity + 2 * uint64_t(p.start);
            // A part of a block may be what its other parts made look like a
            // picture: one of one or two values is none.
            if (fewValues(w, p.start, size_t(p.width) * p.height))
                continue;
            const Note note = noteOf(w, p);
            // A few rows, or a few pixels, are no picture on their own.
            if (note == noteUnsure &&
                (p.height < unsureMinRows || p.width * p.height < unsureMinPixels))
                continue;
            if (offset <= UINT32_MAX)
                out.push_back({uint32_t(offset), p.width, p.height, note});
        }
    }
    return out;
}
