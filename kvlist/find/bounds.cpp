// Bounds: where a picture of a known width starts and ends.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "steps.h"

// The row continues into the row below: at least half its words do, or it
// differs little from it; and no width up to two words off matches far
// better, which is where a picture of another width begins.
bool rowContinues(Words w, size_t start, uint32_t width, uint32_t rows) {
    const size_t words = size_t(width) * rows;
    if (start + words + width > w.count)
        return false;
    // Half the words matching decides at once; only rows short of it need
    // the sum of nearest distances, in a second pass.
    size_t good = 0;
    for (size_t i = start; i < start + words; i++) {
        const size_t j = i + width;
        const uint32_t v = spreadAt(w, i), down = spreadDistance(v, spreadAt(w, j));
        if (down > nearDistance) {
            // Past the end of the run nothing matches.
            const uint32_t left = spreadDistance(v, spreadAt(w, j - 1));
            const uint32_t right = j + 1 < w.count ? spreadDistance(v, spreadAt(w, j + 1)) : 93;
            // Equal distances from one plain colour to another are no match.
            if (!(down <= left && down <= right &&
                  (down < std::max(left, right) || down <= continueDistance)))
                continue;
        }
        if (++good * rowShare.den >= words * rowShare.num)
            return true;
    }
    size_t near = 0;
    // The words below, spread, slide along with i.
    uint32_t sl = spreadAt(w, start + width - 1), sd = spreadAt(w, start + width);
    for (size_t i = start; i < start + words; i++) {
        const size_t j = i + width;
        const uint32_t sr = j + 1 < w.count ? spreadAt(w, j + 1) : 0;
        const uint32_t v = spreadAt(w, i), down = spreadDistance(v, sd);
        const uint32_t left = spreadDistance(v, sl);
        const uint32_t right = j + 1 < w.count ? spreadDistance(v, sr) : 93;
        sl = sd;
        sd = sr;
        near += std::min(down, std::min(left, right));
    }
    return near <= rowMeanDistance * words;
}

// Narrow rows are judged a few at a time: about testWords words.
uint32_t rowsPerTest(uint32_t width) { return (testWords + width - 1) / width; }

// The first word of the picture of this width around seed: back row by
// row while the rows continue, then the word where continuing begins.
size_t findTop(Words run, const std::vector<uint32_t> &label, size_t cursor, size_t seed,
               uint32_t width) {
    const uint32_t m = rowsPerTest(width);
    size_t top = seed;
    for (uint32_t walked = 0; top >= cursor + width && walked < topWalkRows; walked++) {
        // Blocks that name another width hold another picture.
        const uint32_t named = label[(top - width) / blockWords];
        if (named >= findMinWidth && (named + widthSlack < width || named > width + widthSlack) &&
            named % width != 0 && width % named != 0)
            break;
        if (textRow(run, top - width, width))
            break;
        if (rowContinues(run, top - width, width, m)) {
            top -= width;
            continue;
        }
        if (top >= cursor + 2 * size_t(width) && rowContinues(run, top - 2 * width, width, m) &&
            !uniformRow(run, top - 2 * width, width) && !uniformRow(run, top - width, width)) {
            top -= 2 * width;
            continue;
        }
        break;
    }
    const size_t from = std::max(cursor, top >= width ? top - width : 0);
    const size_t to = std::max(seed, top + width);
    const size_t start = pictureStart(run, from, to, width);
    return start < to ? start : seed + width;
}

// How plainly words continue down after x and not in the row before, in
// percent: 100 when all of the first and none of the second do.
uint32_t startSharpness(Words run, size_t x, uint32_t width) {
    const size_t after = std::max<size_t>(width, sharpWords);
    if (x + after > run.count)
        return 0;
    size_t next = 0, before = 0;
    for (size_t i = x; i < x + after; i++)
        next += continuesDown(run, i, width);
    for (size_t i = x >= width ? x - width : 0; i < x; i++)
        before += continuesDown(run, i, width);
    const int64_t score = int64_t(next) * 100 / int64_t(after) - int64_t(before) * 100 / width;
    return score > 0 ? uint32_t(score) : 0;
}

// How plainly a picture of this width ends at e, scored like startSharpness.
uint32_t endSharpness(Words run, size_t e, uint32_t width) {
    const size_t above = std::max<size_t>(width, sharpWords);
    if (e < width + above || e > run.count)
        return 0;
    size_t kept = 0, lastRow = 0;
    for (size_t i = e - width - above; i < e - width; i++)
        kept += continuesDown(run, i, width);
    for (size_t i = e - width; i < e; i++)
        lastRow += continuesDown(run, i, width);
    const int64_t score = int64_t(kept) * 100 / int64_t(above) - int64_t(lastRow) * 100 / width;
    return score > 0 ? uint32_t(score) : 0;
}

// How plainly a picture on this row grid starts and ends: the plainest
// start and end within gridReach rows of the given ones.
uint32_t gridScore(Words run, size_t start, uint32_t rows, uint32_t width, size_t cursor) {
    uint32_t bestStart = 0, bestEnd = 0;
    for (int d = -gridReach; d <= gridReach; d++) {
        const int64_t s = int64_t(start) + d * int64_t(width);
        if (s >= int64_t(cursor))
            bestStart = std::max(bestStart, startSharpness(run, size_t(s), width));
        const int64_t e = int64_t(start) + (int64_t(rows) + d) * int64_t(width);
        if (e > s)
            bestEnd = std::max(bestEnd, endSharpness(run, size_t(e), width));
    }
    return bestStart + bestEnd;
}

// The end of a picture near approx, found like its start: the words of its
// last row do not continue down, those of the rows above do.
size_t pictureEnd(Words run, size_t approx, uint32_t width, uint32_t &sharpness) {
    const size_t above = std::max<size_t>(width, sharpWords);
    sharpness = 0;
    const size_t first =
        approx > endBefore * width + above ? approx - endBefore * width : above + width;
    const size_t last = std::min(approx + endAfter * width, run.count);
    if (first > last)
        return 0;
    // good[i - base] for words first - width - above .. last
    const size_t base = first - width - above;
    std::vector<uint8_t> good(last - base);
    for (size_t i = base; i < last; i++)
        good[i - base] = continuesDown(run, i, width);
    size_t kept = 0, lastRow = 0, best = 0;
    for (size_t i = base; i < base + above; i++)
        kept += good[i - base];
    for (size_t i = base + above; i < first; i++)
        lastRow += good[i - base];
    for (size_t e = first;; e++) {
        const int64_t score = int64_t(kept) * 100 / int64_t(above) - int64_t(lastRow) * 100 / width;
        if (score > 0 && uint32_t(score) > sharpness) {
            sharpness = uint32_t(score);
            best = e;
        }
        if (e >= last)
            break;
        // Slide: the last row gains word e and loses e - width, which the rows above gain.
        const size_t x = e - width;
        lastRow += good[e - base] - good[x - base];
        kept += good[x - base] - good[x - above - base];
    }
    return best;
}

// Like the word one row below, closely or better than the words beside that one.
bool continuesDown(Words w, size_t i, uint32_t width) {
    if (i + width >= w.count)
        return false;
    const uint32_t v = spreadAt(w, i), down = spreadDistance(v, spreadAt(w, i + width));
    if (down <= nearDistance)
        return true;
    return down <= continueDistance && down < spreadDistance(v, spreadAt(w, i + width - 1)) &&
           (i + width + 1 >= w.count || down < spreadDistance(v, spreadAt(w, i + width + 1)));
}

// The share of words that continue down must rise by startRise from the row
// before a start to the rows after it, with startShare of them after it; the
// best such word within one row of the first is the start.
size_t pictureStart(Words w, size_t from, size_t to, uint32_t width) {
    const size_t after = std::max<size_t>(width, sharpWords);
    const size_t last = std::min(to, w.count);
    if (from >= last)
        return to;
    const size_t lo = from >= width ? from - width : 0;
    const size_t hi = std::min(w.count, last + after);
    // Zeros past hi let the window below slide without a bound check.
    std::vector<uint8_t> good(last + after - lo);
    // continuesDown for each word; words with nothing below stay 0.
    const size_t stop = std::min(hi, w.count > width ? w.count - width : 0);
    for (size_t i = lo; i < stop; i++) {
        const uint32_t v = spreadAt(w, i), d = spreadDistance(v, spreadAt(w, i + width));
        good[i - lo] =
            d <= nearDistance ||
            (d <= continueDistance && d < spreadDistance(v, spreadAt(w, i + width - 1)) &&
             (i + width + 1 >= w.count || d < spreadDistance(v, spreadAt(w, i + width + 1))));
    }
    auto count = [&](size_t a, size_t b) { // [a, b), words before lo count as not continuing
        size_t n = 0;
        for (size_t i = std::max(a, lo); i < b && i < hi; i++)
            n += good[i - lo];
        return n;
    };
    size_t before = from >= width ? count(from - width, from) : count(0, from);
    size_t next = count(from, from + after);
    size_t found = to;
    uint64_t bestScore = 0;
    for (size_t x = from; x < last; x++) {
        if (x > from) {
            // lo <= from < x, and word x - 1 - width counts only from lo on.
            before += good[x - 1 - lo];
            if (x - 1 >= width + lo)
                before -= good[x - 1 - width - lo];
            next -= good[x - 1 - lo];
            next += good[x - 1 + after - lo];
        }
        const uint64_t score = uint64_t(next) * width - uint64_t(before) * after;
        const bool starts = next * startShare.den >= after * startShare.num &&
                            uint64_t(next) * width > uint64_t(before) * after &&
                            score * startRise.den >= uint64_t(after) * width * startRise.num;
        // On a run of equal scores the last word is the start: the words
        // before it that continue by chance belong to what comes before.
        if (starts &&
            (found == to || score > bestScore || (score == bestScore && x == found + 1))) {
            bestScore = score;
            found = x;
        }
    }
    return found;
}

uint32_t pictureRows(Words w, size_t start, size_t end, uint32_t width) {
    // One test that fails (an edge across the picture) is passed over when
    // the next continues and holds more than one value; the last rows are
    // then judged one by one.
    const uint32_t m = rowsPerTest(width);
    uint32_t rows = 0;
    for (uint32_t row = 0;; row++) {
        const size_t s = start + size_t(row) * width;
        if (s + size_t(m + 1) * width > end)
            break;
        if (textRow(w, s + width, width)) // wide text reads as smooth rows
            break;
        if (rowContinues(w, s, width, m)) {
            rows = row + 2;
            continue;
        }
        // A plain row that does not continue is where something else begins.
        const size_t t = s + width;
        if (t + size_t(m + 1) * width > end || !rowContinues(w, t, width, m) ||
            uniformRow(w, t, width) || uniformRow(w, s, width))
            break;
    }
    for (uint32_t k = 1; rows > 0 && k < m; k++) {
        const size_t s = start + size_t(rows - 1) * width;
        if (s + 2 * size_t(width) > end || !rowContinues(w, s, width))
            break;
        rows++;
    }
    return rows;
}
