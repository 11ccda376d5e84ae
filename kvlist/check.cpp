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
    uint64_t start, size;
    enum { fits, tooLarge, empty, pastOriginal, pastEdited } state;
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
        Entry n{escapeControls(e.name), e.address, 0, Entry::fits, inKvpushWindow(e.address)};
        switch (pictureState(e.address, e.width, e.height, originalSize)) {
        case pictureTooLarge:
            n.state = Entry::tooLarge;
            break;
        case pictureEmpty:
            n.state = Entry::empty;
            break;
        case picturePastEnd:
            n.state = Entry::pastOriginal;
            n.size = uint64_t(e.width) * e.height * 2;
            break;
        case pictureRead:
            n.size = uint64_t(e.width) * e.height * 2;
            if (pictureState(e.address, e.width, e.height, editedSize) != pictureRead)
                n.state = Entry::pastEdited;
            break;
        }
        entries.push_back(n);
    }

    std::vector<NamedSpan> spans;
    unsigned changedPictures = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry &e = entries[i];
        switch (e.state) {
        case Entry::fits: {
            uint64_t changed = 0;
            for (uint64_t k = 0; k + 1 < e.size; k += 2)
                changed += original[e.start + k] != edited[e.start + k] ||
                           original[e.start + k + 1] != edited[e.start + k + 1];
            changedPictures += changed > 0;
            c.report +=
                e.name + ": " +
                (changed == 0 ? "unchanged" : plural(changed, "pixel", "pixels") + " changed") +
                "\n";
            break;
        }
        case Entry::tooLarge:
            c.report += e.name + ": too large, kvpush refuses it\n";
            break;
        case Entry::empty:
            c.report += e.name + ": no pixels, kvpush refuses it\n";
            break;
        case Entry::pastOriginal:
            c.report += e.name + ": runs past the end of " + originalName + "\n";
            break;
        case Entry::pastEdited:
            c.report += e.name + ": runs past the end of " + editedName + "\n";
            break;
        }
        // kvpush writes an entry that fits the original, by its first byte in the window.
        if (e.state == Entry::fits || e.state == Entry::pastEdited)
            spans.push_back({e.start, e.start + e.size, e.inWindow ? -1 : long(i)});
    }

    const size_t common = std::min(originalSize, editedSize);
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
