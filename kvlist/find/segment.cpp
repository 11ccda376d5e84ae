// Segments: a block of rows of one width, as the scan finds it, holds one
// picture or several back to back. Its plain ground is part of its pictures
// and starts where the data before it ends; pictures on one ground, or the
// frames of an animation, repeat with their height; no picture is taller
// than the device's.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "steps.h"

namespace {

bool plainRowOf(Words w, size_t row, uint32_t width, uint32_t value) {
    for (size_t i = row; i < row + width; i++)
        if (w[i] != value)
            return false;
    return true;
}

// The smallest height h that cuts the block into cells each holding
// something on the ground, no cell boundary cutting through something, and
// the things starting at about the same row of their cells: pictures of one
// size on one ground. 0 when there is none.
uint32_t groundPeriod(Words w, size_t start, uint32_t width, uint32_t rows, uint32_t ground) {
    std::vector<uint8_t> plain(rows);
    for (uint32_t r = 0; r < rows; r++)
        plain[r] = plainRowOf(w, start + size_t(r) * width, width, ground);
    // A row or two past the last cell are what lies after the pictures: the
    // fewest such rows first, then the smallest height.
    for (uint32_t past = 0; past <= pastRows; past++)
        for (uint32_t h = findMinHeight; h <= findMaxHeight && 2 * h <= rows; h++) {
            if (rows % h != past)
                continue;
            bool ok = true;
            uint32_t firstMin = h, firstMax = 0;
            for (uint32_t cell = 0; cell < rows / h && ok; cell++) {
                const uint32_t top = cell * h;
                // A boundary inside something: the rows either side both hold it.
                if (cell > 0 && !plain[top - 1] && !plain[top])
                    ok = false;
                uint32_t first = h;
                for (uint32_t r = 0; r < h && first == h; r++)
                    if (!plain[top + r])
                        first = r;
                if (first == h)
                    ok = false;
                firstMin = std::min(firstMin, first);
                firstMax = std::max(firstMax, first);
            }
            if (ok && (firstMax - firstMin) * firstRowSpread.den <= h * firstRowSpread.num)
                return h;
        }
    return 0;
}

// Frames of an animation back to back: words one frame apart match far
// better than words one row apart. The height of the frames, or 0.
uint32_t framePeriod(Words w, size_t start, uint32_t width, uint32_t rows) {
    // A ground matches at any distance: only the other words count, a third
    // of them, each spread once.
    const uint32_t ground = w[start];
    std::vector<uint32_t> spreadWords(size_t(rows) * width);
    for (size_t i = 0; i < spreadWords.size(); i++)
        spreadWords[i] = w[start + i] == ground ? UINT32_MAX : spreadAt(w, start + i);
    auto matching = [&](uint32_t h, size_t stride) { // in 1/1000 of the words compared
        const size_t n = size_t(rows - h) * width, lag = size_t(h) * width;
        size_t near = 0, seen = 0;
        for (size_t i = 0; i < n; i += stride)
            if (spreadWords[i] != UINT32_MAX) {
                seen++;
                near += spreadWords[i + lag] != UINT32_MAX &&
                        spreadDistance(spreadWords[i], spreadWords[i + lag]) <= frameDistance;
            }
        return seen ? uint32_t(near * 1000 / seen) : 0;
    };
    // A rough look at every height first; a close one only where frames
    // may be.
    std::vector<uint32_t> score(std::min(findMaxHeight, rows / 2) + 1, 0);
    bool any = false;
    for (uint32_t h = findMinHeight; h < score.size(); h++)
        any = (score[h] = matching(h, frameLookStride)) >= frameLook || any;
    if (!any)
        return 0;
    const uint32_t oneRow = matching(1, frameStride);
    uint32_t best = 0, bestScore = 0;
    for (uint32_t h = findMinHeight; h < score.size(); h++) {
        score[h] = score[h] >= frameLook ? matching(h, frameStride) : 0;
        if (score[h] > bestScore) {
            bestScore = score[h];
            best = h;
        }
    }
    if (best == 0 || bestScore < frameMin || bestScore < oneRow + frameOverRow)
        return 0;
    // The frame itself, not two of them: the smallest height nearly as good,
    // one that the block's rows are a multiple of if there is such.
    uint32_t fitting = 0, smallest = 0;
    for (uint32_t h = findMinHeight; h < score.size(); h++)
        if (score[h] * frameNearly.den >= bestScore * frameNearly.num) {
            smallest = smallest ? smallest : h;
            if (rows % h == 0 && fitting == 0)
                fitting = h;
        }
    return fitting ? fitting : smallest;
}

// Whether two rows are unrelated: their difference changes along the row
// about as much as the rows themselves do. An edge across one picture
// changes the rows by much the same from word to word (an edge of a cell, a
// shadow); two pictures that meet share nothing.
bool unrelatedRows(Words w, size_t a, size_t b, uint32_t width) {
    uint32_t own = 0, apart = 0;
    for (size_t i = 1; i < width; i++)
        for (uint32_t shift : {0u, 5u, 10u}) {
            const int a0 = int(w[a + i - 1] >> shift & 31), a1 = int(w[a + i] >> shift & 31);
            const int b0 = int(w[b + i - 1] >> shift & 31), b1 = int(w[b + i] >> shift & 31);
            own += uint32_t(std::abs(a1 - a0) + std::abs(b1 - b0));
            apart += uint32_t(std::abs((a1 - b1) - (a0 - b0)));
        }
    return own > 0 && apart * unrelatedShare.den >= own * unrelatedShare.num;
}

// The rows where one picture ends and an unrelated one begins: hardly a
// word continues into the next row, and the rows are unrelated; and no row
// near does the same, as in a texture of cells.
std::vector<uint32_t> breakRows(Words w, size_t start, uint32_t width, uint32_t rows) {
    std::vector<uint32_t> breaks, cuts;
    for (uint32_t r = 1; r < rows; r++) {
        const size_t row = start + size_t(r - 1) * width;
        size_t kept = 0;
        for (size_t i = row; i < row + width; i++)
            kept += continuesDown(w, i, width);
        if (kept * breakKept.den <= width * breakKept.num &&
            unrelatedRows(w, row, row + width, width))
            breaks.push_back(r);
    }
    for (size_t k = 0; k < breaks.size(); k++) {
        const uint32_t r = breaks[k];
        if (r >= findMinHeight && r + findMinHeight <= rows &&
            (k == 0 || breaks[k - 1] + breakApart <= r) &&
            (k + 1 == breaks.size() || r + breakApart <= breaks[k + 1]))
            cuts.push_back(r);
    }
    return cuts;
}

// A ground inside the block that frames what is on it: the first run of
// one colour a row long at least, and the last such run of that colour,
// hold something between them, and the first begins and the last ends a
// whole number of rows apart. That is the picture (or the pictures on one
// ground), whatever data around it read as rows of the same width, and
// whichever word the block started at.
bool groundFrame(Words w, size_t &start, uint32_t width, uint32_t &rows, size_t lo, size_t hi) {
    const size_t wd = width, end = start + size_t(rows) * wd;
    // The run through word i: [from, to).
    auto runAt = [&](size_t i, size_t &from, size_t &to) {
        from = i;
        to = i + 1;
        while (from > lo && w[from - 1] == w[i])
            from--;
        while (to < hi && w[to] == w[i])
            to++;
    };
    size_t p = 0, firstEnd = 0, i = start;
    for (; i < end; i = firstEnd) {
        runAt(i, p, firstEnd);
        if (firstEnd - p >= wd)
            break;
    }
    const uint32_t ground = i < end ? w[i] : 0;
    if (i >= end || ground == 0 || ground == 0xFFFF)
        return false;
    // The frame may reach past the block: the last rows of a picture on a
    // ground often continue too little to be found.
    const size_t reach = std::min(hi, end + size_t(findMaxHeight) * wd);
    size_t q = 0, lastStart = 0;
    for (size_t j = firstEnd; j < reach;) {
        size_t from, to;
        runAt(j, from, to);
        if (w[j] == ground && to - from >= wd) {
            lastStart = from;
            q = to;
        }
        j = to;
    }
    if (q == 0 || lastStart <= firstEnd || (q - p) % wd != 0 || (q - p) / wd < findMinHeight ||
        (p == start && q == end) || (q - p) / wd > blockMaxRows)
        return false;
    start = p;
    rows = uint32_t((q - p) / wd);
    return true;
}

} // namespace

void segmentBlock(Words w, size_t start, uint32_t width, uint32_t rows, size_t lo, size_t hi,
                  std::vector<Piece> &out) {
    // The whole block judges its width better than the blocks of words it
    // was found from: a word or two off shears it.
    {
        const size_t words = size_t(width) * rows;
        const uint32_t better = refineWidth(w, start + width + widthSlack, start + words, width);
        if (better != width) {
            width = better;
            rows = uint32_t(words / width);
        }
    }
    const size_t wd = width;
    {
        // Whole rows of the block before the frame are a picture of their own.
        const size_t was = start;
        if (groundFrame(w, start, width, rows, lo, hi) && start >= was + findMinHeight * wd)
            out.push_back({was, width, uint32_t((start - was) / wd)});
    }
    // Whole rows of the top-left colour above, then back to where its run
    // begins; whole rows of the bottom-right colour below. A ground running
    // on farther than a picture is tall is filling, not ground.
    const uint32_t top = w[start];
    // Black and all-ones are padding as often: a short run of them only.
    auto reach = [&](uint32_t ground) {
        return ground == 0 || ground == 0xFFFF ? rows * paddingReach.num / paddingReach.den
                                               : findMaxHeight;
    };
    {
        const uint32_t most = reach(top);
        size_t s = start;
        uint32_t added = 0;
        while (s >= lo + wd && added <= most && plainRowOf(w, s - wd, width, top)) {
            s -= wd;
            added++;
        }
        size_t k = 0;
        while (k + 1 < wd && s > lo + k && w[s - k - 1] == top)
            k++;
        if (added <= most) {
            start = s - k;
            rows += added;
        }
    }
    {
        const uint32_t bottom = w[start + size_t(rows) * wd - 1];
        const uint32_t most = reach(bottom);
        uint32_t added = 0;
        while (start + size_t(rows + added + 1) * wd <= hi && added <= most &&
               plainRowOf(w, start + size_t(rows + added) * wd, width, bottom))
            added++;
        if (added <= most)
            rows += added;
    }
    // A ground that runs on before the start (black padding before an icon on
    // black) leaves the row grid to the end: where the ground's run ends a
    // few words past the last row, the picture ends there.
    {
        const size_t end = start + size_t(rows) * wd;
        const uint32_t ground = w[end - 1];
        size_t k = 0;
        while (k + 1 < wd && end + k < hi && w[end + k] == ground)
            k++;
        if (k > 0 && k + 1 < wd && start > lo && w[start - 1] == w[start] && w[start] == ground &&
            plainRowOf(w, end - wd, width, ground))
            start += k;
    }
    // Pictures on one ground, back to back; frames of an animation.
    uint32_t h = 0;
    if (plainRowOf(w, start, width, top))
        h = groundPeriod(w, start, width, rows, top);
    if (h) {
        rows -= rows % h;
    } else if (rows >= 2 * findMinHeight) {
        h = framePeriod(w, start, width, rows);
        // The last frame cut short is whole where the data allows.
        const uint32_t tail = h ? rows % h : 0;
        if (tail > 0 && start + size_t(rows + h - tail) * wd <= hi)
            rows += h - tail;
        else
            rows -= tail;
    }
    if (h) {
        for (uint32_t r = 0; r + findMinHeight <= rows; r += h)
            out.push_back({start + size_t(r) * wd, width, std::min(h, rows - r)});
        return;
    }
    // Otherwise pictures back to back meet where no word continues into the
    // row below; a part still taller than a picture is cut into equal parts.
    std::vector<uint32_t> cuts = breakRows(w, start, width, rows);
    cuts.push_back(rows);
    uint32_t from = 0;
    for (const uint32_t to : cuts) {
        const uint32_t n = to - from, parts = (n + findMaxHeight - 1) / findMaxHeight;
        for (uint32_t k = 0; k < parts; k++) {
            const uint32_t a = from + n * k / parts, b = from + n * (k + 1) / parts;
            if (b - a >= findMinHeight)
                out.push_back({start + size_t(a) * wd, width, b - a});
        }
        from = to;
    }
}
