#include "check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "device.h"
#include "listfile.h"
#include "text.h"

namespace {

struct CrcTable {
    uint32_t t[256];
    CrcTable() {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
    }
};
const CrcTable crcTable;

// The places a checksum is kept, and what each computation is called.
struct Place {
    bool atEnd;
    unsigned bytes;
};
const Place places[4] = {{false, 4}, {true, 4}, {false, 2}, {true, 2}};

enum Sum { sumCrc, sumBytes, sumLe16, sumBe16, sumLe32, sumBe32 };
const char *const sumNames[] = {"CRC-32",
                                "sum of the bytes",
                                "sum of the little-endian 16-bit words",
                                "sum of the big-endian 16-bit words",
                                "sum of the little-endian 32-bit words",
                                "sum of the big-endian 32-bit words"};

struct Computed {
    bool known;
    uint32_t value[6];
};

// Every value over the file but the place.
Computed computeFor(const uint8_t *data, size_t size, const Place &place) {
    Computed c = {false, {}};
    if (size <= place.bytes)
        return c;
    const uint8_t *rest = data + (place.atEnd ? 0 : place.bytes);
    const size_t n = size - place.bytes;
    const Sums s = sumsOf(rest, n);
    c.known = true;
    c.value[sumCrc] = crc32(0, rest, n);
    c.value[sumBytes] = s.bytes;
    c.value[sumLe16] = s.le16;
    c.value[sumBe16] = s.be16;
    c.value[sumLe32] = s.le32;
    c.value[sumBe32] = s.be32;
    return c;
}

uint32_t stored(const uint8_t *data, size_t size, const Place &place, bool bigEndian) {
    const uint8_t *p = data + (place.atEnd ? size - place.bytes : 0);
    uint32_t v = 0;
    for (unsigned i = 0; i < place.bytes; i++)
        v |= uint32_t(p[bigEndian ? place.bytes - 1 - i : i]) << (8 * i);
    return v;
}

// The value a kind of checksum takes: plain or its two's complement, cut to the place.
uint32_t variant(uint32_t value, bool complement, unsigned bytes) {
    const uint32_t v = complement ? ~value + 1 : value;
    return bytes == 4 ? v : v & 0xFFFF;
}

struct Entry {
    std::string name; // escaped
    uint64_t start;
    uint32_t pixels;        // the most kvpush writes there: a BMP no larger than the entry
    bool tooLarge, pastEnd; // why kvpull refuses it: over the limits, past the original's end
    bool empty, pastEdited; // 0 pixels; past the edited file's end (so it differs in length)
    bool inWindow;
};

} // namespace

uint32_t crc32(uint32_t crc, const uint8_t *data, size_t size) {
    uint32_t c = ~crc;
    for (size_t i = 0; i < size; i++)
        c = crcTable.t[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

Sums sumsOf(const uint8_t *data, size_t size) {
    Sums s = {0, 0, 0, 0, 0};
    size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        const uint32_t b0 = data[i], b1 = data[i + 1], b2 = data[i + 2], b3 = data[i + 3];
        s.bytes += b0 + b1 + b2 + b3;
        s.le16 += (b0 | b1 << 8) + (b2 | b3 << 8);
        s.be16 += (b0 << 8 | b1) + (b2 << 8 | b3);
        s.le32 += b0 | b1 << 8 | b2 << 16 | b3 << 24;
        s.be32 += b0 << 24 | b1 << 16 | b2 << 8 | b3;
    }
    if (i < size) {
        uint8_t tail[4] = {0, 0, 0, 0};
        memcpy(tail, data + i, size - i);
        const Sums t = sumsOf(tail, 4);
        s.bytes += t.bytes;
        s.le16 += t.le16;
        s.be16 += t.be16;
        s.le32 += t.le32;
        s.be32 += t.be32;
    }
    return s;
}

std::vector<std::string> staleChecksums(const uint8_t *original, size_t originalSize,
                                        const uint8_t *edited, size_t editedSize,
                                        const std::string &originalName,
                                        const std::string &editedName) {
    std::vector<std::string> out;
    bool endTaken[2] = {false, false}; // a place holds one checksum: the wider one first
    // A two's complement sum at one end makes the whole file sum to zero, so
    // the same sum seems to stand at the other end too: it is said once.
    std::set<unsigned> zeroSums;
    for (const Place &place : places) {
        if (endTaken[place.atEnd])
            continue;
        const Computed o = computeFor(original, originalSize, place);
        if (!o.known || editedSize <= place.bytes)
            continue;
        Computed e = {false, {}};
        for (int sum = sumCrc; sum <= sumBe32 && !endTaken[place.atEnd]; sum++) {
            // Two bytes hold the 16-bit sums of bytes and of 16-bit words only.
            if (place.bytes == 2 && (sum == sumCrc || sum == sumLe32 || sum == sumBe32))
                continue;
            for (int complement = 0; complement < 2 && !endTaken[place.atEnd]; complement++)
                for (int big = 0; big < 2 && !endTaken[place.atEnd]; big++) {
                    const uint32_t want = variant(o.value[sum], complement, place.bytes);
                    const unsigned key = unsigned(sum * 8 + complement * 4 + big * 2) + place.bytes;
                    if (stored(original, originalSize, place, big) != want ||
                        (complement && !zeroSums.insert(key).second))
                        continue;
                    endTaken[place.atEnd] = true;
                    if (!e.known)
                        e = computeFor(edited, editedSize, place);
                    const uint32_t need = variant(e.value[sum], complement, place.bytes);
                    if (stored(edited, editedSize, place, big) == need)
                        continue;
                    const uint64_t at = place.atEnd ? editedSize - place.bytes : 0;
                    const std::string kind =
                        (complement ? "two's complement of the " : "") +
                        (sum == sumCrc ? std::string(sumNames[sum])
                                       : format("%u-bit %s", place.bytes * 8, sumNames[sum]));
                    out.push_back(
                        format("warning: the %s %u bytes of %s hold the %s of the rest, %s-endian; "
                               "%s would need 0x%0*X there (0x%08llX..0x%08llX)",
                               place.atEnd ? "last" : "first", place.bytes, originalName.c_str(),
                               kind.c_str(), big ? "big" : "little", editedName.c_str(),
                               int(place.bytes * 2), need, static_cast<unsigned long long>(at),
                               static_cast<unsigned long long>(at + place.bytes - 1)));
                }
        }
    }
    return out;
}

std::vector<Changed> changedRanges(const uint8_t *a, const uint8_t *b, size_t size,
                                   const std::vector<NamedSpan> &spans) {
    // Cut [0, size) where any span starts or ends; each piece has one label.
    std::vector<uint64_t> cuts = {0, size};
    for (const NamedSpan &s : spans) {
        cuts.push_back(std::min<uint64_t>(s.start, size));
        cuts.push_back(std::min<uint64_t>(s.end, size));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<std::pair<uint64_t, size_t>> starts, ends; // position, span
    for (size_t i = 0; i < spans.size(); i++)
        if (spans[i].start < spans[i].end) {
            starts.push_back({spans[i].start, i});
            ends.push_back({spans[i].end, i});
        }
    std::sort(starts.begin(), starts.end());
    std::sort(ends.begin(), ends.end());
    size_t nextStart = 0, nextEnd = 0, covering = 0;
    std::set<long> named;
    std::vector<Changed> out;
    for (size_t k = 0; k + 1 < cuts.size(); k++) {
        const uint64_t from = cuts[k], to = cuts[k + 1];
        for (; nextEnd < ends.size() && ends[nextEnd].first <= from; nextEnd++) {
            const NamedSpan &s = spans[ends[nextEnd].second];
            if (s.picture < 0)
                covering--;
            else
                named.erase(named.find(s.picture));
        }
        for (; nextStart < starts.size() && starts[nextStart].first <= from; nextStart++) {
            const NamedSpan &s = spans[starts[nextStart].second];
            if (s.picture < 0)
                covering++;
            else
                named.insert(s.picture);
        }
        if (covering > 0)
            continue;
        const long label = named.empty() ? -1 : *named.begin();
        for (uint64_t i = from; i < to;) {
            // Equal blocks are passed over whole.
            if (to - i >= 64 && memcmp(a + i, b + i, 64) == 0) {
                i += 64;
                continue;
            }
            if (a[i] == b[i]) {
                i++;
                continue;
            }
            uint64_t j = i;
            while (j < to && a[j] != b[j])
                j++;
            if (!out.empty() && out.back().last + 1 == i && out.back().picture == label)
                out.back().last = j - 1;
            else
                out.push_back({i, j - 1, label});
            i = j;
        }
    }
    return out;
}

Checked checkEdit(const uint8_t *original, size_t originalSize, const uint8_t *edited,
                  size_t editedSize, const uint8_t *list, size_t listSize,
                  const std::string &originalName, const std::string &editedName) {
    Checked c;
    const std::vector<ListItem> items = scanList(list, listSize);
    std::vector<Entry> entries;
    for (const ListItem &it : items) {
        if (it.kind != listEntry || it.repeats)
            continue;
        const ListEntry &e = it.entry;
        const uint64_t bytes = uint64_t(e.width) * e.height * 2; // both below 2^31
        const uint64_t left = e.address < originalSize ? originalSize - e.address : 0;
        const uint32_t room = uint32_t(std::min<uint64_t>(left / 2, maxPixels));
        Entry n{escapeControls(e.name),
                e.address,
                kvpushPixelsAtMost(e.width, e.height, room),
                !pictureFits(e.width, e.height),
                bytes > left,
                bytes == 0,
                false,
                inKvpushWindow(e.address)};
        n.pastEdited = !n.tooLarge && !n.pastEnd && !n.empty &&
                       pictureState(e.address, e.width, e.height, editedSize) != pictureRead;
        entries.push_back(n);
    }

    const size_t common = std::min(originalSize, editedSize);
    std::vector<NamedSpan> spans;
    unsigned changedPictures = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry &e = entries[i];
        const uint64_t end = e.start + 2 * uint64_t(e.pixels);
        c.report += e.name + ": ";
        if (e.empty) {
            c.report += "no pixels, kvpush refuses it\n";
        } else if (e.pixels == 0) {
            c.report += "runs past the end of " + originalName + ", kvpush refuses it\n";
        } else if (e.pastEdited) {
            c.report += "runs past the end of " + editedName + "\n";
        } else {
            uint64_t changed = 0;
            for (uint64_t k = e.start; k + 1 < std::min<uint64_t>(end, common); k += 2)
                changed += original[k] != edited[k] || original[k + 1] != edited[k + 1];
            changedPictures += changed > 0;
            c.report +=
                changed == 0 ? "unchanged" : plural(changed, "pixel", "pixels") + " changed";
            // kvpush writes its BMP's own size, which only has to fit the entry.
            if (e.tooLarge || e.pastEnd)
                c.report += std::string("; ") + (e.tooLarge ? "too large for kvpull" : "") +
                            (e.tooLarge && e.pastEnd ? " and " : "") +
                            (e.pastEnd ? "runs past the end of " + originalName : "") +
                            ", so kvpush writes at most " + plural(e.pixels, "pixel", "pixels") +
                            " here";
            c.report += "\n";
        }
        // What kvpush may write, by its first byte in the window.
        if (e.pixels > 0)
            spans.push_back({e.start, end, e.inWindow ? -1 : long(i)});
    }

    const std::vector<Changed> ranges = changedRanges(original, edited, common, spans);
    for (const Changed &r : ranges) {
        const std::string where = r.picture < 0 ? "outside every listed picture"
                                                : "inside " + entries[size_t(r.picture)].name +
                                                      ", outside the kvpush window";
        c.report += format("0x%08llX..0x%08llX ", static_cast<unsigned long long>(r.first),
                           static_cast<unsigned long long>(r.last)) +
                    where + "\n";
    }
    if (originalSize != editedSize) {
        const uint64_t d =
            originalSize > editedSize ? originalSize - editedSize : editedSize - originalSize;
        c.report += editedName + " is " + plural(d, "byte", "bytes") +
                    (editedSize > originalSize ? " longer than " : " shorter than ") +
                    originalName + "\n";
    }
    c.onlyInPictures = ranges.empty() && originalSize == editedSize;
    c.report += format("%u of ", changedPictures) + plural(entries.size(), "picture", "pictures") +
                " changed, " + plural(ranges.size(), "range", "ranges") +
                " where kvpush does not write" +
                (originalSize == editedSize ? "" : ", lengths differ") + "\n";
    c.warnings =
        staleChecksums(original, originalSize, edited, editedSize, originalName, editedName);
    return c;
}
