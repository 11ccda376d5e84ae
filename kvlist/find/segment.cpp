// Segments: a block of rows of one width, as the scan finds it, holds one
// picture or several back to back. Its plain ground is part of its pictures
// and starts where the data before it ends; pictures on one ground, or the
// frames of an animation, repeat with their height; no picture is taller
// than the device's.
#include <algorithm>
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
    for (uint32_t past = 0; past <= 2; past++)
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
            if (ok && (firstMax - firstMin) * 4 <= h)
                return h;
        }
    return 0;
}

// Frames of an animation back to back: words one frame apart match far
// better than words one row apart. The height of the frames, or 0.
uint32_t framePeriod(Words w, size_t start, uint32_t width, uint32_t rows) {
    // A ground matches at any distance: only the other words count.
    const uint32_t ground = w[start];
    auto matching = [&](uint32_t h) { // in 1/1000 of the words compared
        const size_t n = size_t(rows - h) * width, lag = size_t(h) * width;
        size_t near = 0, seen = 0;
        for (size_t i = start; i < start + n; i += 3)
            if (w[i] != ground) {
                seen++;
                near += pixelDistance(w[i], w[i + lag]) <= 2;
            }
        return seen ? uint32_t(near * 1000 / seen) : 0;
    };
    const uint32_t oneRow = matching(1);
    uint32_t best = 0, bestScore = 0;
    std::vector<uint32_t> score(std::min(findMaxHeight, rows / 2) + 1, 0);
    for (uint32_t h = findMinHeight; h < score.size(); h++) {
        score[h] = matching(h);
        if (score[h] > bestScore) {
            bestScore = score[h];
            best = h;
        }
    }
    if (best == 0 || bestScore < 600 || bestScore < oneRow + 250)
        return 0;
    // The frame itself, not two of them: the smallest height nearly as good,
    // one that the block's rows are a multiple of if there is such.
    uint32_t fitting = 0, any = 0;
    for (uint32_t h = findMinHeight; h < score.size(); h++)
        if (score[h] * 20 >= bestScore * 17) {
            any = any ? any : h;
            if (rows % h == 0 && fitting == 0)
                fitting = h;
        }
    return fitting ? fitting : any;
}

} // namespace

void segmentBlock(Words w, size_t start, uint32_t width, uint32_t rows, size_t lo, size_t hi,
                  std::vector<Piece> &out) {
    const size_t wd = width;
    // Whole rows of the top-left colour above, then back to where its run
    // begins; whole rows of the bottom-right colour below. A ground running
    // on farther than a picture is tall is filling, not ground.
    const uint32_t top = w[start];
    // Black and all-ones are padding as often: a short run of them only.
    auto reach = [&](uint32_t ground) {
        return ground == 0 || ground == 0xFFFF ? rows / 2 : findMaxHeight;
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
    // Pictures on one ground, back to back.
    uint32_t h = 0;
    if (plainRowOf(w, start, width, top))
        h = groundPeriod(w, start, width, rows, top);
    if (h)
        rows -= rows % h;
    uint32_t phase = 0;
    if (h == 0 && rows >= 2 * findMinHeight) {
        h = framePeriod(w, start, width, rows);
        if (h) {
            phase = 0;
            // The frame cut short at either end is whole where the data allows.
            if (phase > 0 && start >= lo + size_t(h - phase) * wd) {
                start -= size_t(h - phase) * wd;
                rows += h - phase;
            } else if (phase > 0) {
                start += size_t(phase) * wd;
                rows -= phase;
            }
            const uint32_t tail = rows % h;
            if (tail > 0 && start + size_t(rows + h - tail) * wd <= hi)
                rows += h - tail;
            else
                rows -= tail;
        }
    }
    if (h == 0)
        h = rows <= findMaxHeight ? rows
                                  : (rows + (rows + findMaxHeight - 1) / findMaxHeight - 1) /
                                        ((rows + findMaxHeight - 1) / findMaxHeight);
    for (uint32_t r = 0; r + findMinHeight <= rows; r += h)
        out.push_back({start + size_t(r) * wd, width, std::min(h, rows - r)});
}
