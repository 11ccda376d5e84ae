#pragma once
// Where byte strings occur in a file, every place counted, overlapping ones
// too: many strings at once by a fingerprint of each, one string alone by a
// scan that no repetition inside it can slow down. Pure: no files.
#include <cstddef>
#include <cstdint>
#include <vector>

// The places of one string, ascending, kept as runs of equal steps, so that a
// plain colour inside a long run of it takes one run, not a place per byte.
class Places {
  public:
    void add(uint64_t at); // at beyond every place added so far
    // count places from first on, step apart, first beyond every place so far.
    void addRun(uint64_t first, uint64_t step, uint64_t count);
    uint64_t size() const { return total; }
    uint64_t below(uint64_t at) const; // how many places lie before at
    uint64_t nth(uint64_t k) const;    // the k-th place from 0, k < size()
    // The places where a string of this length lies wholly in [from, to): the
    // index of the first, and how many.
    struct Slice {
        uint64_t first, count;
    };
    Slice inside(uint64_t from, uint64_t to, uint64_t length) const;

  private:
    struct Run {
        uint64_t first, step, count, before;
    };
    std::vector<Run> runs;
    uint64_t total = 0;
};

constexpr size_t fingerprintBytes = 8;

// The fingerprint at p: fingerprintBytes bytes read little-endian.
uint64_t fingerprintAt(const uint8_t *p);

// A fingerprint window that occurs once in the string, chosen among the most
// varied: every place of the string then has its own place of the window.
// -1 when the string is shorter or every window repeats in it (a plain
// colour, identical rows).
long uniqueWindow(const uint8_t *s, size_t size);

// Every place of the string in data[0, size), by Knuth, Morris and Pratt: in
// one pass, whatever the string repeats.
Places placesOf(const uint8_t *s, size_t length, const uint8_t *data, size_t size);

// The runs of one value in a file that a plain colour can lie in: runs of
// one byte, and runs of one 16-bit word of two unlike bytes at either parity.
struct ValueRun {
    uint64_t start, length; // in bytes
    uint32_t value;         // a byte, or a little-endian word
};
struct PlainRuns {
    std::vector<ValueRun> bytes, words; // each by start
};
PlainRuns plainRuns(const uint8_t *data, size_t size);

// Every place of a plain colour, length bytes (even, at least 8) of one word
// value, in the file the runs are of.
Places placesOfPlain(uint32_t value, uint64_t length, const PlainRuns &runs);

// Fingerprints of many strings, looked up at every position of a file: a bit
// filter in front, as nearly every position holds none of them.
class Fingerprints {
  public:
    struct Entry {
        uint64_t key;
        uint32_t id, at; // whose fingerprint, and where it lies in its string
    };
    void add(uint64_t key, uint32_t id, uint32_t at) { entries.push_back({key, id, at}); }
    void seal();
    // Calls hit(q, entry) for every fingerprint at position q, from <= q, q +
    // fingerprintBytes <= to, q ascending.
    template <class Hit> void scan(const uint8_t *data, size_t from, size_t to, Hit hit) const;

  private:
    uint64_t slot(uint64_t key) const { return (key * 0x9E3779B97F4A7C15u) >> (64 - bitsLog); }
    std::vector<Entry> entries;
    std::vector<uint64_t> bits;
    unsigned bitsLog = 12;
};

template <class Hit>
void Fingerprints::scan(const uint8_t *data, size_t from, size_t to, Hit hit) const {
    if (entries.empty() || to < from || to - from < fingerprintBytes)
        return;
    uint64_t key = fingerprintAt(data + from);
    for (size_t q = from;; q++) {
        const uint64_t s = slot(key);
        if (bits[s / 64] >> (s % 64) & 1) {
            size_t lo = 0, hi = entries.size();
            while (lo < hi) { // the first entry of this key
                const size_t mid = lo + (hi - lo) / 2;
                if (entries[mid].key < key)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            for (; lo < entries.size() && entries[lo].key == key; lo++)
                hit(q, entries[lo]);
        }
        if (q + fingerprintBytes >= to)
            break;
        key = key >> 8 | uint64_t(data[q + fingerprintBytes]) << 56;
    }
}
