// Judgement: what is no picture, and how sure a picture is.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "steps.h"

uint32_t sureOf(Words w, size_t start, uint32_t width, uint32_t height) {
    const size_t words = size_t(width) * (height - 1);
    // A word is matched below when the word under it, or one beside that,
    // is within sureDistance.
    size_t good = 0;
    uint32_t left = spreadAt(w, start + width - 1), down = spreadAt(w, start + width);
    for (size_t i = start; i < start + words; i++) {
        const size_t j = i + width;
        const uint32_t right = j + 1 < w.count ? spreadAt(w, j + 1) : 0;
        const uint32_t v = spreadAt(w, i);
        good += spreadDistance(v, down) <= sureDistance ||
                spreadDistance(v, left) <= sureDistance ||
                (j + 1 < w.count && spreadDistance(v, right) <= sureDistance);
        left = down;
        down = right;
    }
    return uint32_t(good * 100 / words);
}

// Sure: the data before it plainly does not continue into its first row,
// its last row plainly not into the data after it, and its words continue
// down; or its last row is of its ground, whose run ends just there, on the
// row grid its start set. Likely: one end plain, or many words that
// continue down.
Note noteOf(Words w, const Piece &p) {
    const size_t end = p.start + size_t(p.width) * p.height;
    const uint32_t first = startSharpness(w, p.start, p.width);
    const uint32_t last = endSharpness(w, end, p.width);
    const uint32_t continuing = sureOf(w, p.start, p.width, p.height);
    const bool groundEnds =
        uniformRow(w, end - p.width, p.width) && (end == w.count || w[end] != w[end - 1]);
    if ((std::min(first, last) >= sureEnds && continuing >= sureContinuing) || groundEnds)
        return noteSure;
    if (std::max(first, last) >= likelyEnd ||
        (continuing >= likelyContinuing && p.width * p.height >= likelyPixels))
        return noteLikely;
    return noteUnsure;
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

// A dark sprite is small numbers too, but on a background: one value, one
// of the first few met, fills groundShare of it; a table has no such value.
static bool plainBackground(Words w, size_t start, size_t n, const uint32_t *values,
                            uint32_t count) {
    for (uint32_t k = 0; k < count; k++) {
        size_t same = 0;
        for (size_t i = start; i < start + n; i++)
            same += w[i] == values[k];
        if (same * groundShare.den >= n * groundShare.num)
            return true;
    }
    return false;
}

bool fewValues(Words w, size_t start, size_t n) {
    uint32_t a = w[start], b = a;
    for (size_t i = start; i < start + n; i++) {
        const uint32_t v = w[i];
        if (v != a && v != b) {
            if (a != b)
                return false;
            b = v;
        }
    }
    return true;
}

// UTF-16 text of one script: letters from one block of 256 code points
// beside ASCII, with spaces between words.
static bool utf16Text(Words w, size_t start, size_t n) {
    uint32_t blocks[0x30] = {};
    size_t ascii = 0, spaces = 0;
    for (size_t i = start; i < start + n; i++) {
        const uint32_t v = w[i];
        if (v >> 8 == 0) {
            ascii += printable(v);
            spaces += v == 0x20 || v == 0x0A;
        } else if (v >> 8 < 0x30) {
            blocks[v >> 8]++;
        }
    }
    const uint32_t script = *std::max_element(blocks, blocks + 0x30);
    return (ascii + script) * textShare.den >= n * textShare.num &&
           script * scriptShare.den >= n * scriptShare.num &&
           spaces * spaceShare.den >= n * spaceShare.num;
}

const char *rejectReason(Words w, size_t start, uint32_t width, uint32_t height) {
    const size_t n = size_t(width) * height;
    uint32_t values[groundCandidates];
    uint32_t distinct = 0;
    size_t changes = 0, text = 0, wideText = 0, nonzero = 0, smallNumbers = 0, repeats = 0;
    size_t isolated = 0;
    size_t rises = 0, falls = 0, across = 0, down = 0, down2 = 0, downCount = 0;
    std::vector<uint32_t> spreadWords(n);
    for (size_t i = 0; i < n; i++)
        spreadWords[i] = spreadAt(w, start + i);
    for (size_t i = start; i < start + n; i++) {
        const uint32_t v = w[i], sv = spreadWords[i - start];
        if (distinct < groundCandidates &&
            std::find(values, values + distinct, v) == values + distinct)
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
    if (fewValues(w, start, n))
        return "fewer than 3 values";
    if (text * textShare.den >= changes * textShare.num ||
        wideText * textShare.den >= changes * textShare.num || utf16Text(w, start, n))
        return "text";
    // A dark picture on blue has long runs of one value; a table of small
    // numbers has few.
    if (smallNumbers * smallNumbersShare.den >= nonzero * smallNumbersShare.num &&
        repeats * repeatsShare.den < n * repeatsShare.num &&
        !plainBackground(w, start, n, values, distinct))
        return "small numbers";
    if (std::min(rises, falls) * turnsPerRow.den < height * turnsPerRow.num)
        return "monotone";
    // A sprite on black is blobs of colour; records are values scattered
    // among zeros.
    if (isolated * scatteredShare.den > nonzero * scatteredShare.num)
        return "scattered";
    // Pixels change little from one to the next, and less from one row to the
    // next than from one row to the row after: records and periodic tables
    // repeat their rows instead.
    if (across > (n - 1) * roughStep || across > roughOverDown * down + roughSlack * (n - 1))
        return "rough";
    if (downCount && down2 * periodicShare.den < down * periodicShare.num)
        return "periodic";
    return nullptr;
}
