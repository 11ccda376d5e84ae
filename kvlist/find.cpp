#include "find.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>

namespace {

// Words are judged in blocks: each block names the width at which it
// resembles the row before it, and runs of blocks naming one width are then
// searched word by word for the exact rows.
constexpr size_t blockWords = 64;
constexpr size_t minRun = findMinWidth * findMinHeight;
constexpr uint32_t flatBlock = 1; // a block of one value throughout: it names no width
constexpr uint32_t lagLimit = findMaxWidth + 3;
constexpr uint32_t minSure = 60;

bool printable(uint32_t byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte == 9 || byte == 10 || byte == 13;
}

struct PrintableTable {
    bool byte[256];
};

constexpr PrintableTable makePrintableTable() {
    PrintableTable t{};
    for (uint32_t b = 0; b < 256; b++)
        t.byte[b] = (b >= 0x20 && b < 0x7F) || b == 9 || b == 10 || b == 13;
    return t;
}

constexpr PrintableTable printableTable = makePrintableTable();
constexpr const bool *printableByte = printableTable.byte;

// The three 5-bit channels of a word ten bits apart, so that one
// subtraction compares all three.
constexpr uint32_t spread(uint32_t v) { return (v & 31) | (v & 0x3E0) << 5 | (v & 0x7C00) << 10; }

// spread() of a word from its two bytes, by table.
struct SpreadTables {
    uint32_t low[256], high[256];
};

constexpr SpreadTables makeSpreadTables() {
    SpreadTables t{};
    for (uint32_t b = 0; b < 256; b++) {
        t.low[b] = spread(b);
        t.high[b] = spread(b << 8);
    }
    return t;
}

constexpr SpreadTables spreadTables = makeSpreadTables();

uint32_t spreadAt(Words w, size_t i) {
    return spreadTables.low[w.bytes[2 * i]] | spreadTables.high[w.bytes[2 * i + 1]];
}

// pixelDistance of two spread words: each field holds 512 plus the
// difference, its bit 9 tells the sign, and the absolute values are summed
// by one multiplication (each field and the sum stay below 1024).
uint32_t spreadDistance(uint32_t a, uint32_t b) {
    constexpr uint32_t guard = 0x20080200;
    const uint32_t d = (a | guard) - b, negative = (~d & guard) >> 9;
    const uint32_t gaps = (d ^ (negative * 0x3FF)) - (guard - negative);
    return (gaps * 0x100401u) >> 20 & 0x3FF;
}

// A brightness of 0..124 in a byte, so the row comparisons of a block run as
// byte sums of absolute differences.
uint8_t brightness(uint32_t v) { return uint8_t((v & 31) + (v >> 4 & 62) + (v >> 10 & 31)); }

bool uniformRow(Words w, size_t start, uint32_t width) {
    for (size_t i = start + 1; i < start + width; i++)
        if (w[i] != w[start])
            return false;
    return true;
}

// The row-to-row differences of a block for every lag from 1 to lagLimit.
struct LagProfile {
    uint32_t sum[lagLimit + 1];
    uint32_t lags; // sum[1..lags] are valid
};

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
        int s = 0; // at most 64 * 124
        for (size_t i = 0; i < n; i++)
            s += std::abs(int(block[i]) - int(row[i]));
        p.sum[lag] = uint32_t(s);
    }
}

// A dip: below both neighbouring lags, at least a quarter below the lags
// three away (anti-aliased edges blur the neighbours), and close enough in
// absolute terms (an average brightness step of at most 16) to be rows.
uint32_t dipBase(const LagProfile &p, uint32_t lag) {
    return std::min(p.sum[lag - 3], p.sum[lag + 3]);
}

bool isDip(const LagProfile &p, uint32_t lag, size_t n) {
    if (lag < findMinWidth || lag + 3 > p.lags)
        return false;
    const uint32_t s = p.sum[lag];
    return s < p.sum[lag - 1] && s < p.sum[lag + 1] &&
           uint64_t(s) * 4 < uint64_t(dipBase(p, lag)) * 3 && s <= n * 16;
}

uint32_t bestDip(const LagProfile &p, size_t n) {
    uint32_t best = 0;
    uint64_t bestNum = 1, bestDen = 1; // the best ratio sum / neighbours so far
    for (uint32_t lag = findMinWidth; lag + 3 <= p.lags; lag++) {
        if (!isDip(p, lag, n))
            continue;
        const uint64_t num = p.sum[lag], den = dipBase(p, lag);
        if (num * bestDen < bestNum * den) {
            best = lag;
            bestNum = num;
            bestDen = den;
        }
    }
    // A picture also resembles the row two or three above: prefer the
    // smallest width whose dip is as plain.
    for (uint32_t d = 4; best && d >= 2; d--) {
        const uint32_t lag = best / d;
        if (best % d == 0 && isDip(p, lag, n) &&
            uint64_t(p.sum[lag]) * bestDen * 4 <= uint64_t(dipBase(p, lag)) * bestNum * 5)
            return lag;
    }
    return best;
}

bool isFlat(Words w, size_t from, size_t to) {
    for (size_t i = from + 1; i < to; i++)
        if (w[i] != w[from])
            return false;
    return true;
}

// Wide text continues from row to row like a smooth picture; a row of it
// ends one.
bool textRow(Words w, size_t start, uint32_t width) {
    uint32_t text = 0;
    for (size_t i = start; i < start + width; i++) {
        const uint32_t lo = w.bytes[2 * i], hi = w.bytes[2 * i + 1];
        text += (printableByte[lo] && hi == 0) || (lo == 0 && printableByte[hi]);
    }
    return text * 4 >= width * 3;
}

struct Piece {
    size_t start;
    uint32_t width, height;
};

uint32_t sureOf(Words w, size_t start, uint32_t width, uint32_t height) {
    const size_t words = size_t(width) * (height - 1);
    // A word is matched below when the word under it, or one beside that,
    // is within a few levels.
    size_t good = 0;
    uint32_t left = spreadAt(w, start + width - 1), down = spreadAt(w, start + width);
    for (size_t i = start; i < start + words; i++) {
        const size_t j = i + width;
        const uint32_t right = j + 1 < w.count ? spreadAt(w, j + 1) : 0;
        const uint32_t v = spreadAt(w, i);
        good += spreadDistance(v, down) <= 6 || spreadDistance(v, left) <= 6 ||
                (j + 1 < w.count && spreadDistance(v, right) <= 6);
        left = down;
        down = right;
    }
    return uint32_t(good * 100 / words);
}

// Rows [top, bottom) without the rows of one value at either end, at most
// maxRows each, cut preferably just after a row of one value.
void cutRows(Words w, size_t start, uint32_t width, uint32_t top, uint32_t bottom,
             std::vector<Piece> &out) {
    const uint32_t maxRows = std::min(findMaxHeight, findMaxPixels / width);
    // A few rows beyond a band of plain rows at either end belong to what
    // lies beyond: a neighbour of the same width (the next frame) or data.
    auto plain = [&](uint32_t r) { return uniformRow(w, start + size_t(r) * width, width); };
    for (uint32_t r = bottom; r > top + 1 && r + 4 > bottom; r--)
        if (r < bottom && plain(r) && plain(r - 1)) {
            bottom = r + 1;
            break;
        }
    for (uint32_t r = top; r + 1 < bottom && r < top + 4; r++)
        if (r > top && plain(r) && plain(r + 1)) {
            top = r;
            break;
        }
    while (top < bottom && (uniformRow(w, start + size_t(top) * width, width) ||
                            textRow(w, start + size_t(top) * width, width)))
        top++;
    while (bottom > top && (uniformRow(w, start + size_t(bottom - 1) * width, width) ||
                            textRow(w, start + size_t(bottom - 1) * width, width)))
        bottom--;
    while (bottom - top >= findMinHeight) {
        uint32_t end = bottom;
        if (bottom - top > maxRows) {
            end = top + maxRows;
            for (uint32_t r = end; r > top + findMinHeight; r--)
                if (uniformRow(w, start + size_t(r - 1) * width, width)) {
                    end = r;
                    break;
                }
        }
        uint32_t last = end;
        while (last > top && uniformRow(w, start + size_t(last - 1) * width, width))
            last--;
        if (last - top >= findMinHeight)
            out.push_back({start + size_t(top) * width, width, last - top});
        top = end;
        while (top < bottom && uniformRow(w, start + size_t(top) * width, width))
            top++;
    }
}

// The row continues into the row below: at least half its words do, or it
// differs little from it; and no width up to two words off matches far
// better, which is where a picture of another width begins.
bool rowContinues(Words w, size_t start, uint32_t width, uint32_t rows = 1) {
    const size_t words = size_t(width) * rows;
    if (start + words + width > w.count)
        return false;
    // Half the words matching decides at once; only rows short of it need
    // the sum of nearest distances, in a second pass.
    size_t good = 0;
    for (size_t i = start; i < start + words; i++) {
        const size_t j = i + width;
        const uint32_t v = spreadAt(w, i), down = spreadDistance(v, spreadAt(w, j));
        if (down > 3) {
            // Past the end of the run nothing matches.
            const uint32_t left = spreadDistance(v, spreadAt(w, j - 1));
            const uint32_t right = j + 1 < w.count ? spreadDistance(v, spreadAt(w, j + 1)) : 93;
            // Equal distances from one plain colour to another are no match.
            if (!(down <= left && down <= right && (down < std::max(left, right) || down <= 24)))
                continue;
        }
        if (++good * 2 >= words)
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
    return near <= 10 * words;
}

// Narrow rows are judged a few at a time: about 24 words.
uint32_t rowsPerTest(uint32_t width) { return (24 + width - 1) / width; }

// The first word of the picture of this width around seed: back row by
// row while the rows continue, then the word where continuing begins.
size_t findTop(Words run, const std::vector<uint32_t> &label, size_t cursor, size_t seed,
               uint32_t width) {
    const uint32_t m = rowsPerTest(width);
    size_t top = seed;
    for (uint32_t walked = 0; top >= cursor + width && walked < 160; walked++) {
        // Blocks that name another width hold another picture.
        const uint32_t named = label[(top - width) / blockWords];
        if (named >= findMinWidth && (named + 3 < width || named > width + 3) &&
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

// The width within three of a guess whose rows differ least over [from, to):
// a block's dip may sit a word or two off, the whole picture's does not.
uint32_t refineWidth(Words w, size_t from, size_t to, uint32_t guess) {
    to = std::min(to, from + 8192); // enough rows to judge, in bounded time
    const uint32_t lo = std::max(findMinWidth, guess - std::min(guess, 3u));
    const uint32_t hi = std::min(findMaxWidth, guess + 3);
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

// How plainly words continue down after x and not in the row before, in
// percent: 100 when all of the first and none of the second do.
uint32_t startSharpness(Words run, size_t x, uint32_t width) {
    const size_t after = std::max<size_t>(width, 32);
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
    const size_t above = std::max<size_t>(width, 32);
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
// start and end within two rows of the given ones.
uint32_t gridScore(Words run, size_t start, uint32_t rows, uint32_t width, size_t cursor) {
    uint32_t bestStart = 0, bestEnd = 0;
    for (int d = -2; d <= 2; d++) {
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
    const size_t above = std::max<size_t>(width, 32);
    sharpness = 0;
    const size_t first =
        approx > 2 * size_t(width) + above ? approx - 2 * size_t(width) : above + width;
    const size_t last = std::min(approx + width, run.count);
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

// Rows of one value that end in a row whose other values run to its end are
// padding before a picture that starts at the first of them: its rows
// continue the padding's at any width, so the row grid came from the padding.
void snapAfterPadding(Words run, size_t &start, uint32_t &rows, uint32_t width) {
    uint32_t top = 0;
    while (top < rows && uniformRow(run, start + size_t(top) * width, width))
        top++;
    if (top == 0 || top >= rows)
        return;
    const size_t row = start + size_t(top) * width;
    const uint32_t pad = run[row - 1];
    if (run[row] != pad || run[row + width - 1] == pad)
        return;
    size_t first = row;
    while (run[first] == pad)
        first++;
    // A stray word between padding and picture does not continue down.
    for (int k = 0; k < 2 && !continuesDown(run, first, width); k++)
        first++;
    const uint32_t moved = pictureRows(run, first, run.count, width);
    if (moved >= findMinHeight) {
        start = first;
        rows = moved;
    }
}

// The rows of a picture found from start, cut where blocks inside it name
// another width and a picture of that width starts.
uint32_t nextPicture(Words run, const std::vector<uint32_t> &label, size_t start, uint32_t rows,
                     uint32_t width) {
    const size_t end = start + size_t(rows) * width, from = start + 4 * size_t(width);
    for (size_t b = from / blockWords + 1; b + 1 < label.size() && (b + 1) * blockWords < end;
         b++) {
        const uint32_t other = label[b], then = label[b + 1];
        if (other < findMinWidth || then + 1 < other || then > other + 1 ||
            (other + 3 >= width && other <= width + 3) || other % width == 0 || width % other == 0)
            continue;
        const size_t next = findTop(run, label, from, (b + 1) * blockWords, other);
        if (next < (b + 1) * blockWords + other && next > from)
            return uint32_t((next - start) / width);
    }
    return rows;
}

// Whether the same bytes read one byte later (or earlier) change less from
// word to word in most rows: then the picture lies at the other byte parity.
bool otherParitySmoother(Words w, Words other, size_t at, uint32_t width, uint32_t rows) {
    const size_t words = size_t(width) * rows;
    size_t o = at; // other's word o holds the bytes one byte after (or before) w's word at
    if (o + words > other.count) {
        if (o == 0)
            return false;
        o--;
        if (o + words > other.count)
            return false;
    }
    // A row where the other reading's bit 15 changes is ours.
    uint32_t ownWins = 0, otherWins = 0;
    for (size_t r = 0; r < rows; r++) {
        uint32_t own = 0, shifted = 0;
        bool mixed = false;
        uint32_t ownLast = spreadAt(w, at + r * width), otherLast = spreadAt(other, o + r * width);
        for (size_t i = r * width + 1; i < (r + 1) * width; i++) {
            const uint32_t ownNow = spreadAt(w, at + i), otherNow = spreadAt(other, o + i);
            own += spreadDistance(ownNow, ownLast);
            shifted += spreadDistance(otherNow, otherLast);
            ownLast = ownNow;
            otherLast = otherNow;
            mixed = mixed || ((other[o + i] ^ other[o + r * width]) & 0x8000) != 0;
        }
        ownWins += mixed || own < shifted;
        otherWins += !mixed && shifted < own;
    }
    return otherWins > ownWins;
}

// An icon on a plain margin: the run of its margin colour at the top
// begins at its first word, the one at the bottom ends at its last, and
// the two agree on the row grid; rows of one value leave no other clue.
void snapToMargins(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor) {
    const size_t end = start + size_t(rows) * width, reach = 8 * size_t(width);
    // The nearest run of one value a row long at least, back from the
    // second row and on from the row before the last.
    size_t first = 0, last = 0;
    for (size_t j = std::min(end, start + width);
         j > cursor && start - std::min(start, j) < reach;) {
        size_t k = j - 1;
        while (k > cursor && run[k - 1] == run[j - 1] && j - k < reach)
            k--;
        if (j - k >= width) {
            first = k;
            break;
        }
        j = k;
    }
    for (size_t j = end - width; j < run.count && j < end + reach;) {
        size_t k = j + 1;
        while (k < run.count && run[k] == run[j] && k - j < reach)
            k++;
        if (k - j >= width) {
            last = k;
            break;
        }
        j = k;
    }
    if (last <= first || (first == cursor && cursor > 0) || (last - first) % width != 0 ||
        last - first < findMinHeight * size_t(width))
        return;
    // The word nearest start on the margins' grid.
    const size_t ahead =
        first > start ? (first - start) % width : (width - (start - first) % width) % width;
    if (ahead == 0)
        return;
    const size_t s = ahead * 2 < width ? start + ahead : start - (width - ahead);
    if (s < cursor || s < first)
        return;
    const size_t r = (last - s) / width;
    if (r < findMinHeight)
        return;
    start = s;
    rows = uint32_t(std::min<size_t>(r, rows + 1));
}

// Rows above the start that continue into it row by row (a band of one
// colour per row, which no single word's test accepts) up to a row of one
// value or a row that does not.
void extendUp(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor) {
    for (uint32_t k = 0; k < 64 && start >= cursor + width; k++) {
        const size_t above = start - width;
        if (uniformRow(run, above, width) || textRow(run, above, width) ||
            !rowContinues(run, above, width))
            return;
        start = above;
        rows++;
    }
}

// An icon's edge rows often change too much to continue, but they lie
// inside its margin: rows whose first and last words have the colour of
// a plain row a few rows on join the picture, up to that row.
void extendToMargin(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor) {
    const size_t w = width;
    constexpr size_t kMax = 64;
    auto framed = [&](size_t row, uint32_t bg) { return run[row] == bg && run[row + w - 1] == bg; };
    const size_t end = start + rows * w;
    for (size_t k = 1; k <= kMax && end + k * w <= run.count; k++) {
        const size_t row = end + (k - 1) * w;
        if (!uniformRow(run, row, width))
            continue;
        const uint32_t bg = run[row];
        bool inside = k > 1 && framed(end - w, bg);
        for (size_t r = end; inside && r < row; r += w)
            inside = framed(r, bg) && !uniformRow(run, r, width) && !textRow(run, r, width);
        if (inside)
            rows += uint32_t(k - 1);
        break;
    }
    for (size_t k = 1; k <= kMax && start >= cursor + k * w; k++) {
        const size_t row = start - k * w;
        if (!uniformRow(run, row, width))
            continue;
        const uint32_t bg = run[row];
        bool inside = k > 1 && framed(start, bg);
        for (size_t r = row + w; inside && r < start; r += w)
            inside = framed(r, bg) && !uniformRow(run, r, width) && !textRow(run, r, width);
        if (inside) {
            start = row + w;
            rows += uint32_t(k - 1);
        }
        break;
    }
}

// One run of words with one value of bit 15: [first, to).
void scanRun(Words w, Words other, size_t first, size_t to, std::vector<Piece> &out) {
    const Words run{w.bytes + 2 * first, to - first};
    const size_t blocks = (run.count + blockWords - 1) / blockWords;
    // A block's label comes from its own profile and those of the block
    // before and the two after, so that a width shows through flat parts.
    constexpr size_t window = 4;
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
        const size_t maxSteps = 24 * (e - s);
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
        if (e - s >= findMinWidth && steps <= maxSteps && text * 8 < (e - s) * 7)
            lagProfile(run, s, e, ring[b % window]);
    };
    std::vector<uint32_t> label(blocks);
    for (size_t b = 0; b < blocks && b < 2; b++)
        compute(b);
    for (size_t b = 0; b < blocks; b++) {
        if (b + 2 < blocks)
            compute(b + 2);
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
        for (size_t k = b > 0 ? b - 1 : 0; k < blocks && k <= b + 2; k++) {
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
        uint32_t tried[3] = {}, votes[3] = {};
        for (size_t j = b; j < blocks && j < b + 16; j++) {
            const uint32_t l = label[j];
            if (l < findMinWidth || std::find(tried, tried + 3, l) != tried + 3)
                continue;
            uint32_t v = 0;
            for (size_t k = j; k < blocks && k < b + 16; k++)
                v += label[k] == l;
            for (int t = 0; t < 3; t++)
                if (v > votes[t]) {
                    for (int u = 2; u > t; u--) {
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
        for (uint32_t guess : {tried[0], tried[1]}) {
            if (guess == 0)
                break;
            // The blocks from the seed on that name about this width.
            size_t regionEnd = seed;
            for (size_t k = b, misses = 0; k < blocks && misses <= 2; k++) {
                const uint32_t l = label[k];
                if (l == flatBlock || (l + 3 >= guess && l <= guess + 3)) {
                    regionEnd = std::min(run.count, (k + 1) * blockWords);
                    misses = 0;
                } else {
                    misses++;
                }
            }
            uint32_t w1 = guess, r1 = 0;
            size_t s1 = 0;
            for (int pass = 0; pass < 3; pass++) {
                s1 = findTop(run, label, cursor, seed, w1);
                r1 = s1 < std::max(seed, cursor) + w1 ? pictureRows(run, s1, run.count, w1) : 0;
                if (r1 < findMinHeight || pass == 2)
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
            if (r1 >= 16 && s1 + size_t(r1) * w1 >= seed + 4 * blockWords)
                break;
        }
        // The next two blocks would find what this seed found.
        seeded = std::max(seeded, seed + 2 * blockWords);
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

size_t alignColumns(Words w, size_t start, uint32_t width, uint32_t rows, size_t cursor) {
    if (rows < 8 || width < 8 || start < cursor || width > (w.count - start) / rows)
        return start;
    std::vector<uint32_t> seam(width, 0);
    for (uint32_t r = 1; r < rows; r++) {
        const size_t row = start + size_t(r) * width;
        for (uint32_t c = 0; c < width; c++)
            seam[c] += pixelDistance(w[row + c - 1], w[row + c]);
    }
    uint32_t best = 0;
    for (uint32_t c = 1; c < width; c++)
        if (seam[c] > seam[best])
            best = c;
    // Its neighbours may share a wide seam; other columns must not come near.
    uint32_t second = 0;
    for (uint32_t c = 0; c < width; c++)
        if (c != best && c + 1 != best && c != best + 1)
            second = std::max(second, seam[c]);
    if (best == 0 || seam[best] < 2 * seam[0] + 4 * rows || seam[best] * 4 < 5 * second)
        return start;
    size_t s = start;
    if (best > width / 2 && start >= cursor + (width - best))
        s = start - (width - best);
    else if (best <= width / 2 && start + size_t(rows) * width + best <= w.count)
        s = start + best;
    // An edge inside the picture also makes a seam: the start must get plainer.
    return gridScore(w, s, rows, width, cursor) > gridScore(w, start, rows, width, cursor) ? s
                                                                                           : start;
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

// Like the word one row below, closely or better than the words beside that one.
bool continuesDown(Words w, size_t i, uint32_t width) {
    if (i + width >= w.count)
        return false;
    const uint32_t v = spreadAt(w, i), down = spreadDistance(v, spreadAt(w, i + width));
    if (down <= 3)
        return true;
    // Unrelated words differ by about 40; neighbours in a picture by less.
    return down <= 24 && down < spreadDistance(v, spreadAt(w, i + width - 1)) &&
           (i + width + 1 >= w.count || down < spreadDistance(v, spreadAt(w, i + width + 1)));
}

// The share of words that continue down must rise by a third from the row
// before a start to the rows after it, with three quarters after it; the
// best such word within one row of the first is the start.
size_t pictureStart(Words w, size_t from, size_t to, uint32_t width) {
    const size_t after = std::max<size_t>(width, 32);
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
            d <= 3 ||
            (d <= 24 && d < spreadDistance(v, spreadAt(w, i + width - 1)) &&
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
        const bool starts = next * 2 >= after &&
                            uint64_t(next) * width > uint64_t(before) * after &&
                            score * 3 >= uint64_t(after) * width;
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

// Two or three rows of a narrower picture read as one resemble their own
// other half (or third) better than the row above.
void splitWidth(Words run, size_t start, uint32_t &rows, uint32_t &width) {
    const size_t end = std::min(start + size_t(rows) * width, start + 8192);
    for (uint32_t d = 2; d <= 3; d++) {
        if (width % d != 0 || width / d < findMinWidth || end < start + width)
            continue;
        const uint32_t narrow = width / d;
        uint64_t wide = 0, part = 0;
        for (size_t i = start + width; i < end; i++) {
            wide += pixelDistance(run[i], run[i - width]);
            part += pixelDistance(run[i], run[i - narrow]);
        }
        if (part < wide) {
            rows *= d;
            width = narrow;
            return;
        }
    }
}

// A dark sprite is small numbers too, but on a background: one value, one
// of the first few met, fills a quarter of it; a table has no such value.
bool plainBackground(Words w, size_t start, size_t n, const uint32_t *values, uint32_t count) {
    for (uint32_t k = 0; k < count; k++) {
        size_t same = 0;
        for (size_t i = start; i < start + n; i++)
            same += w[i] == values[k];
        if (same * 4 >= n)
            return true;
    }
    return false;
}

const char *rejectReason(Words w, size_t start, uint32_t width, uint32_t height) {
    const size_t n = size_t(width) * height;
    uint32_t values[8];
    uint32_t distinct = 0;
    size_t changes = 0, text = 0, wideText = 0, nonzero = 0, smallNumbers = 0, repeats = 0;
    size_t isolated = 0;
    size_t rises = 0, falls = 0, across = 0, down = 0, down2 = 0, downCount = 0;
    std::vector<uint32_t> spreadWords(n);
    for (size_t i = 0; i < n; i++)
        spreadWords[i] = spreadAt(w, start + i);
    for (size_t i = start; i < start + n; i++) {
        const uint32_t v = w[i], sv = spreadWords[i - start];
        if (distinct < 8 && std::find(values, values + distinct, v) == values + distinct)
            values[distinct++] = v;
        if (v != 0) {
            nonzero++;
            smallNumbers += (v >> 8) == 0;
            isolated += i > start && i + 1 < start + n && w[i - 1] == 0 && w[i + 1] == 0;
        }
        if (i >= start + 2 * size_t(width)) {
            down += spreadDistance(sv, spreadWords[i - start - width]);
            down2 += spreadDistance(sv, spreadWords[i - start - 2 * width]);
            downCount++;
        }
        if (i == start)
            continue;
        const uint32_t prev = w[i - 1];
        across += spreadDistance(sv, spreadWords[i - start - 1]);
        if (v == prev) {
            repeats++;
            continue;
        }
        changes++;
        text += printable(v & 0xFF) && printable(v >> 8);
        wideText += printable(v & 0xFF) && (v >> 8) == 0;
        rises += v > prev;
        falls += v < prev;
    }
    if (distinct < 8)
        return "fewer than 8 values";
    if (text * 8 >= changes * 7 || wideText * 8 >= changes * 7)
        return "text";
    // A dark picture on blue has long runs of one value; a table of small
    // numbers has few.
    if (smallNumbers * 32 >= nonzero * 31 && repeats * 2 < n &&
        !plainBackground(w, start, n, values, distinct))
        return "small numbers";
    if (std::min(rises, falls) * 2 < height)
        return "monotone";
    // A sprite on black is blobs of colour; records are values scattered
    // among zeros.
    if (isolated * 4 > nonzero)
        return "scattered";
    // Pixels change little from one to the next, and less from one row to the
    // next than from one row to the row after: records and periodic tables
    // repeat their rows instead.
    if (across > (n - 1) * 20 || across > 3 * down + 6 * (n - 1))
        return "rough";
    if (downCount && down2 * 4 < down * 3)
        return "periodic";
    return nullptr;
}

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
                if (sure >= (pixels < 128   ? 90
                             : pixels < 512 ? 70
                                            : minSure) &&
                    offset <= UINT32_MAX)
                    all.push_back({uint32_t(offset), p.width, p.height, sure});
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
    constexpr uint64_t maxGap = 8;
    for (Candidate c : kept) {
        if (!joined.empty()) {
            Candidate &p = joined.back();
            const uint64_t row = 2 * uint64_t(p.width);
            // Frames of one size back to back: the next one starts on the
            // row grid of the one before, which its content may not show.
            if (c.width == p.width && c.offset >= end(p) && (c.offset - end(p)) % 2 == 0 &&
                c.offset - end(p) < 16 * row && (c.offset - end(p)) % row != 0) {
                const uint64_t off = (c.offset - end(p)) % row;
                if (off * 2 <= row)
                    c.offset -= uint32_t(off);
                else if (uint64_t(c.offset) + (row - off) + 2 * uint64_t(c.width) * c.height <=
                         size)
                    c.offset += uint32_t(row - off);
            }
            const uint64_t gap = c.offset - std::min<uint64_t>(c.offset, end(p));
            const uint64_t rows = uint64_t(p.height) + gap / row + c.height;
            if (c.width == p.width && c.offset >= end(p) && gap % row == 0 && gap / row <= maxGap &&
                rows <= findMaxHeight && rows * p.width <= findMaxPixels) {
                p.height = uint32_t(rows);
                p.sure = std::min(p.sure, c.sure);
                continue;
            }
        }
        joined.push_back(c);
    }
    return joined;
}
