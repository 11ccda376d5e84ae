// Fix-ups: a found picture moved onto its true row grid, grown to its margins, or cut.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "steps.h"

// Rows [top, bottom) without the rows of one value at either end, at most
// maxRows each, cut preferably just after a row of one value.
void cutRows(Words w, size_t start, uint32_t width, uint32_t top, uint32_t bottom,
             std::vector<Piece> &out) {
    const uint32_t maxRows = blockMaxRows;
    // A few rows beyond a band of plain rows at either end belong to what
    // lies beyond: a neighbour of the same width (the next frame) or data.
    auto plain = [&](uint32_t r) { return uniformRow(w, start + size_t(r) * width, width); };
    for (uint32_t r = bottom; r > top + 1 && r + beyondBandRows > bottom; r--)
        if (r < bottom && plain(r) && plain(r - 1)) {
            bottom = r + 1;
            break;
        }
    for (uint32_t r = top; r + 1 < bottom && r < top + beyondBandRows; r++)
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
    for (uint32_t k = 0; k < strayWords && !continuesDown(run, first, width); k++)
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
    const size_t end = start + size_t(rows) * width;
    const size_t from = start + otherWidthAfterRows * size_t(width);
    for (size_t b = from / blockWords + 1; b + 1 < label.size() && (b + 1) * blockWords < end;
         b++) {
        const uint32_t other = label[b], then = label[b + 1];
        if (other < findMinWidth || then + labelAgree < other || then > other + labelAgree ||
            (other + widthSlack >= width && other <= width + widthSlack) || other % width == 0 ||
            width % other == 0)
            continue;
        const size_t next = findTop(run, label, from, (b + 1) * blockWords, other);
        if (next < (b + 1) * blockWords + other && next > from)
            return uint32_t((next - start) / width);
    }
    return rows;
}

// An icon on a plain margin: the run of its margin colour at the top
// begins at its first word, the one at the bottom ends at its last, and
// the two agree on the row grid; rows of one value leave no other clue.
void snapToMargins(Words run, size_t &start, uint32_t &rows, uint32_t width, size_t cursor) {
    const size_t end = start + size_t(rows) * width, reach = marginReach * width;
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
    for (uint32_t k = 0; k < extendUpRows && start >= cursor + width; k++) {
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
    auto framed = [&](size_t row, uint32_t bg) { return run[row] == bg && run[row + w - 1] == bg; };
    const size_t end = start + rows * w;
    for (size_t k = 1; k <= marginSearchRows && end + k * w <= run.count; k++) {
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
    for (size_t k = 1; k <= marginSearchRows && start >= cursor + k * w; k++) {
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

size_t alignColumns(Words w, size_t start, uint32_t width, uint32_t rows, size_t cursor) {
    if (rows < alignMinRows || width < alignMinWidth || start < cursor ||
        width > (w.count - start) / rows)
        return start;
    std::vector<uint32_t> seam(width, 0);
    for (uint32_t r = 1; r < rows; r++) {
        const size_t row = start + size_t(r) * width;
        for (uint32_t c = 0; c < width; c++)
            seam[c] += spreadDistance(spread(w[row + c - 1]), spread(w[row + c]));
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
    if (best == 0 || seam[best] < seamOverFirst * seam[0] + seamPerRow * rows ||
        seam[best] * seamOverSecond.den < seamOverSecond.num * second)
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
