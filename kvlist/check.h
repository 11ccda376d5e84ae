#pragma once
// Whether an edited firmware file differs from the original only where kvpush,
// run with a list, may have written; and which checksum of the original the
// edit left stale. Pure: no files, integers only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Checked {
    std::string report;                // standard output, line by line
    std::vector<std::string> warnings; // stale checksums, without line ends
    bool onlyInPictures;               // same length, and no byte changed elsewhere
};

Checked checkEdit(const uint8_t *original, size_t originalSize, const uint8_t *edited,
                  size_t editedSize, const uint8_t *list, size_t listSize,
                  const std::string &originalName, const std::string &editedName);

// The steps, for the unit tests.

// CRC-32 as zip and PNG compute it (reflected polynomial 0xEDB88320).
uint32_t crc32(uint32_t crc, const uint8_t *data, size_t size);

// 32-bit sums of the bytes, of the 16-bit and of the 32-bit words, the words
// read little- and big-endian from the first byte on, a last partial word
// padded with zero bytes.
struct Sums {
    uint32_t bytes, le16, be16, le32, be32;
};
Sums sumsOf(const uint8_t *data, size_t size);

// A checksum the original holds in its first or last 2 or 4 bytes, over the
// rest of the file, that the same computation over the edited file no longer
// matches there: one line per place.
std::vector<std::string> staleChecksums(const uint8_t *original, size_t originalSize,
                                        const uint8_t *edited, size_t editedSize,
                                        const std::string &originalName,
                                        const std::string &editedName);

// A byte range [first, last] of the edited file that differs, and why it matters.
struct Changed {
    uint64_t first, last;
    long picture; // the entry outside the kvpush window it lies in, or -1 for none
};

// The differing bytes of a and b over [0, size), merged into ranges, leaving
// out bytes in covered spans; a range lies wholly in one named span (the first
// of them in list order) or in none. Spans given as [start, end) with a name index.
struct NamedSpan {
    uint64_t start, end;
    long picture; // -1 for a span kvpush may write (covered)
};
std::vector<Changed> changedRanges(const uint8_t *a, const uint8_t *b, size_t size,
                                   const std::vector<NamedSpan> &spans);
