#include "move.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

#include "listfile.h"
#include "text.h"

namespace {

constexpr size_t window = 8;             // bytes of one fingerprint
constexpr size_t placesKept = 16;        // exact places kept per block found everywhere
constexpr unsigned failedChecksMax = 64; // fingerprint hits that were no place
constexpr uint64_t directSearchMax = uint64_t(4) << 20; // widest range searched one block at a time
constexpr size_t redrawnMinBytes = 16; // smaller blocks are too few pixels to judge
constexpr size_t probeWindows = 64;
constexpr size_t probeCandidates = 8;
constexpr size_t probeRepeats = 4;
constexpr size_t votesKept = 1 << 16;

uint64_t keyAt(const uint8_t *p) {
    uint64_t k = 0;
    for (size_t i = window; i-- > 0;)
        k = k << 8 | p[i];
    return k;
}

// Fingerprints of blocks, looked up at every position of a file: a bit
// filter in front, as nearly every position holds none of them.
class KeyTable {
  public:
    struct Entry {
        uint64_t key;
        uint32_t id, at; // whose fingerprint, and where it lies in its block
    };
    void add(uint64_t key, uint32_t id, uint32_t at) { entries.push_back({key, id, at}); }
    void seal() {
        std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
            return a.key != b.key ? a.key < b.key : a.id != b.id ? a.id < b.id : a.at < b.at;
        });
        bitsLog = 12;
        while (bitsLog < 24 && (uint64_t(1) << bitsLog) < 16 * uint64_t(entries.size()))
            bitsLog++;
        bits.assign((size_t(1) << bitsLog) / 64, 0);
        for (const Entry &e : entries) {
            const uint64_t s = slot(e.key);
            bits[s / 64] |= uint64_t(1) << (s % 64);
        }
    }
    // Calls hit(q, entry) for every fingerprint at position q, from <= q, q + window <= to.
    template <class Hit> void scan(const uint8_t *data, size_t from, size_t to, Hit hit) const {
        if (entries.empty() || to < from || to - from < window)
            return;
        uint64_t key = keyAt(data + from);
        for (size_t q = from;; q++) {
            const uint64_t s = slot(key);
            if (bits[s / 64] >> (s % 64) & 1) {
                auto it = std::lower_bound(entries.begin(), entries.end(), key,
                                           [](const Entry &e, uint64_t k) { return e.key < k; });
                for (; it != entries.end() && it->key == key; ++it)
                    hit(q, *it);
            }
            if (q + window >= to)
                break;
            key = key >> 8 | uint64_t(data[q + window]) << 56;
        }
    }

  private:
    uint64_t slot(uint64_t key) const { return (key * 0x9E3779B97F4A7C15u) >> (64 - bitsLog); }
    std::vector<Entry> entries;
    std::vector<uint64_t> bits;
    unsigned bitsLog = 12;
};

// Where the block's most varied fingerprint lies: the one that hits fewest places by chance.
uint32_t bestWindow(const uint8_t *p, size_t size) {
    const size_t last = size - window;
    uint32_t best = 0;
    int bestScore = -1;
    for (size_t k = 0; k < 32; k++) {
        const size_t at = last * k / 31;
        bool seen[256] = {};
        int score = 0;
        for (size_t i = 0; i < window; i++)
            if (!seen[p[at + i]]) {
                seen[p[at + i]] = true;
                score++;
            }
        if (score > bestScore) {
            bestScore = score;
            best = uint32_t(at);
        }
    }
    return best;
}

uint64_t pixelsEqual(const uint8_t *a, const uint8_t *b, uint64_t size) {
    uint64_t n = 0;
    for (uint64_t i = 0; i + 1 < size; i += 2)
        n += a[i] == b[i] && a[i + 1] == b[i + 1];
    if (size % 2)
        n += a[size - 1] == b[size - 1];
    return n;
}

struct Pattern {
    uint64_t start, size; // its first block's bytes in the old file
    uint32_t fingerprint; // where in it
    bool plain;           // one 16-bit value repeated
    bool everywhere;      // more places than kept: found only within a range
    unsigned failedChecks;
    std::vector<uint64_t> places; // every exact place in the new file, ascending
};

class Placer {
  public:
    Placer(const uint8_t *old, const std::vector<Span> &blocks, const uint8_t *now, size_t nowSize)
        : old(old), now(now), nowSize(nowSize), blocks(blocks),
          placed(blocks.size(), Placement{-1, false}), pattern(blocks.size()) {}

    std::vector<Placement> run() {
        groupPatterns();
        findEverywhere();
        for (;;) {
            while (exactRound()) {
            }
            if (!redrawnRound())
                break;
        }
        return placed;
    }

  private:
    uint64_t sizeOf(size_t b) const { return blocks[b].end - blocks[b].start; }
    const uint8_t *bytesOf(const Pattern &p) const { return old + p.start; }

    // Blocks with the same bytes share one pattern: they compete for the same places.
    void groupPatterns() {
        std::unordered_map<uint64_t, std::vector<uint32_t>> byHash;
        for (size_t b = 0; b < blocks.size(); b++) {
            const uint8_t *p = old + blocks[b].start;
            const uint64_t size = sizeOf(b);
            uint64_t h = 1469598103934665603u ^ size;
            for (uint64_t k = 0; k < 64; k++)
                h = (h ^ p[size * k / 64]) * 1099511628211u;
            std::vector<uint32_t> &same = byHash[h];
            uint32_t id = uint32_t(patterns.size());
            for (const uint32_t q : same)
                if (patterns[q].size == size && memcmp(bytesOf(patterns[q]), p, size) == 0)
                    id = q;
            if (id == patterns.size()) {
                Pattern n{blocks[b].start, size, 0, true, false, 0, {}};
                for (uint64_t i = 2; i < size && n.plain; i++)
                    n.plain = p[i] == p[i - 2];
                n.plain = n.plain && size >= 2;
                if (size >= window)
                    n.fingerprint = bestWindow(p, size);
                patterns.push_back(n);
                same.push_back(id);
            }
            pattern[b] = id;
        }
    }

    // Every exact place of every pattern, in one pass over the new file; a
    // pattern with too many is later looked for only between its neighbours.
    void findEverywhere() {
        KeyTable table;
        for (size_t id = 0; id < patterns.size(); id++) {
            Pattern &p = patterns[id];
            if (p.size < window || p.plain) {
                p.everywhere = true;
                continue;
            }
            table.add(keyAt(bytesOf(p) + p.fingerprint), uint32_t(id), p.fingerprint);
        }
        table.seal();
        table.scan(now, 0, nowSize, [&](size_t q, const KeyTable::Entry &e) {
            Pattern &p = patterns[e.id];
            if (p.everywhere || q < e.at || p.size > nowSize - (q - e.at))
                return;
            const uint64_t s = q - e.at;
            if (memcmp(now + s, bytesOf(p), p.size) != 0) {
                if (++p.failedChecks > failedChecksMax) {
                    p.everywhere = true;
                    p.places.clear();
                }
                return;
            }
            if (p.places.size() == placesKept) {
                p.everywhere = true;
                p.places.clear();
                return;
            }
            p.places.push_back(s);
        });
    }

    // placesIn, remembered for patterns searched byte by byte: the same gap
    // comes up again in every round until one of its neighbours changes.
    const std::vector<uint64_t> &placesBetween(uint32_t id, uint64_t lo, uint64_t hi, size_t cap) {
        const std::tuple<uint32_t, uint64_t, uint64_t, size_t> key(id, lo, hi, cap);
        auto it = searched.find(key);
        if (it == searched.end())
            it = searched.emplace(key, placesIn(patterns[id], lo, hi, cap)).first;
        return it->second;
    }

    // The exact places of a pattern in [lo, hi), up to cap + 1 of them (cap
    // + 1 meaning "more than cap", also when the range is too wide to search).
    std::vector<uint64_t> placesIn(const Pattern &p, uint64_t lo, uint64_t hi, size_t cap) const {
        std::vector<uint64_t> out;
        if (hi < lo || hi - lo < p.size)
            return out;
        const uint64_t lastStart = hi - p.size;
        if (!p.everywhere) {
            auto it = std::lower_bound(p.places.begin(), p.places.end(), lo);
            for (; it != p.places.end() && *it <= lastStart && out.size() <= cap; ++it)
                out.push_back(*it);
            return out;
        }
        if (hi - lo > directSearchMax) {
            out.assign(cap + 1, lo);
            return out;
        }
        const uint8_t *b = bytesOf(p);
        if (p.plain) {
            for (uint64_t s = lo; s <= lastStart && out.size() <= cap;) {
                uint64_t i = 0;
                while (i < p.size && now[s + i] == b[i % 2])
                    i++;
                if (i == p.size) {
                    out.push_back(s);
                    s++;
                } else {
                    // Every start before the mismatch would meet it, or the
                    // other value of the pair, at a byte already seen.
                    s += std::max<uint64_t>(i, 1);
                }
            }
            return out;
        }
        if (p.size < window) {
            for (uint64_t s = lo; s <= lastStart && out.size() <= cap; s++)
                if (memcmp(now + s, b, p.size) == 0)
                    out.push_back(s);
            return out;
        }
        const uint64_t key = keyAt(b + p.fingerprint);
        for (uint64_t s = lo; s <= lastStart && out.size() <= cap; s++)
            if (keyAt(now + s + p.fingerprint) == key && memcmp(now + s, b, p.size) == 0)
                out.push_back(s);
        return out;
    }

    struct Gap {
        uint64_t lo, hi;
        std::vector<uint32_t> pending; // blocks not placed between two placed ones
    };

    std::vector<Gap> gaps() const {
        std::vector<Gap> out;
        Gap g{0, 0, {}};
        for (size_t b = 0; b < blocks.size(); b++) {
            if (placed[b].offset < 0) {
                g.pending.push_back(uint32_t(b));
                continue;
            }
            if (!g.pending.empty()) {
                g.hi = uint64_t(placed[b].offset);
                out.push_back(g);
                g.pending.clear();
            }
            g.lo = uint64_t(placed[b].offset) + sizeOf(b);
        }
        if (!g.pending.empty()) {
            g.hi = nowSize;
            out.push_back(g);
        }
        return out;
    }

    bool exactRound() {
        bool progress = false;
        for (const Gap &g : gaps()) {
            std::unordered_map<uint32_t, unsigned> members;
            for (const uint32_t b : g.pending)
                members[pattern[b]]++;
            std::unordered_map<uint32_t, std::vector<uint64_t>> places;
            for (const auto &m : members)
                places[m.first] = placesBetween(m.first, g.lo, g.hi, std::max<size_t>(m.second, 1));
            // Blocks of their own bytes with one place here: those on every
            // longest chain of such places in order are settled.
            std::vector<uint32_t> singles;
            std::vector<Span> spans;
            for (const uint32_t b : g.pending) {
                const std::vector<uint64_t> &at = places[pattern[b]];
                if (members[pattern[b]] == 1 && at.size() == 1) {
                    singles.push_back(b);
                    spans.push_back({at[0], at[0] + sizeOf(b)});
                }
            }
            const std::vector<bool> settled = inEveryLongestChain(spans);
            bool anchored = false;
            for (size_t i = 0; i < singles.size(); i++)
                if (settled[i]) {
                    placed[singles[i]] = {int64_t(spans[i].start), true};
                    anchored = true;
                }
            if (anchored) {
                progress = true;
                continue;
            }
            // Blocks of the same bytes take as many places, in order, or none.
            for (const auto &m : members) {
                const std::vector<uint64_t> &at = places[m.first];
                if (m.second < 2 || at.size() != m.second)
                    continue;
                const uint64_t size = patterns[m.first].size;
                bool apart = true;
                for (size_t i = 1; i < at.size(); i++)
                    apart = apart && at[i - 1] + size <= at[i];
                if (!apart)
                    continue;
                size_t k = 0;
                for (const uint32_t b : g.pending)
                    if (pattern[b] == m.first)
                        placed[b] = {int64_t(at[k++]), true};
                progress = true;
            }
        }
        return progress;
    }

    struct Probe {
        uint32_t pattern;
        std::vector<uint32_t> members; // its pending blocks in the gap, in order
        uint64_t lo, lastStart;
        std::vector<uint64_t> votes; // a start per fingerprint hit
    };

    // The fingerprints a redrawn block is looked for by: at pixel boundaries,
    // each with more than one pixel value and found at most a few times in the
    // block (each time votes), spread over it.
    void addProbeWindows(KeyTable &table, const Pattern &p, uint32_t id) const {
        const uint8_t *b = bytesOf(p);
        std::vector<std::pair<uint64_t, uint32_t>> keys;
        for (uint64_t at = 0; at + window <= p.size; at += 2) {
            const uint8_t *w = b + at;
            if (memcmp(w, w + 2, 2) != 0 || memcmp(w, w + 4, 2) != 0 || memcmp(w, w + 6, 2) != 0)
                keys.push_back({keyAt(w), uint32_t(at)});
        }
        std::sort(keys.begin(), keys.end());
        std::vector<uint32_t> once;
        for (size_t k = 0; k < keys.size();) {
            size_t j = k;
            while (j < keys.size() && keys[j].first == keys[k].first)
                j++;
            for (size_t i = k; i < j && j - k <= probeRepeats; i++)
                once.push_back(keys[i].second);
            k = j;
        }
        std::sort(once.begin(), once.end());
        const size_t count = std::min(once.size(), probeWindows);
        for (size_t k = 0; k < count; k++) {
            const uint32_t at = once[count > 1 ? (once.size() - 1) * k / (count - 1) : 0];
            table.add(keyAt(b + at), id, at);
        }
    }

    // The places of a probe's bytes, exact or redrawn: each place matches in
    // most pixels and clearly better than every start overlapping it.
    std::vector<std::pair<uint64_t, uint64_t>> probePlaces(Probe &pr) const {
        const Pattern &p = patterns[pr.pattern];
        std::sort(pr.votes.begin(), pr.votes.end());
        std::vector<std::pair<uint64_t, uint64_t>> tally; // votes, start
        for (size_t i = 0; i < pr.votes.size();) {
            size_t j = i;
            while (j < pr.votes.size() && pr.votes[j] == pr.votes[i])
                j++;
            if (j - i >= 2)
                tally.push_back({j - i, pr.votes[i]});
            i = j;
        }
        std::sort(tally.begin(), tally.end(), [](const auto &a, const auto &b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        if (tally.size() > probeCandidates * pr.members.size())
            tally.resize(probeCandidates * pr.members.size());
        std::vector<std::pair<uint64_t, uint64_t>> tried; // start, pixels equal
        for (const auto &t : tally)
            tried.push_back({t.second, pixelsEqual(bytesOf(p), now + t.second, p.size)});
        std::sort(tried.begin(), tried.end());
        const uint64_t pixels = (p.size + 1) / 2;
        std::vector<std::pair<uint64_t, uint64_t>> out; // start, pixels equal
        for (size_t i = 0; i < tried.size(); i++) {
            uint64_t next = 0;
            for (size_t j = 0; j < tried.size(); j++) {
                const uint64_t a = tried[i].first, b = tried[j].first;
                if (j != i && (a > b ? a - b : b - a) < p.size)
                    next = std::max(next, tried[j].second);
            }
            if (redrawnFound(pixels, tried[i].second, next))
                out.push_back(tried[i]);
        }
        return out;
    }

    // A place some pattern holds: exactly, or redrawn in some of its pixels.
    struct Claim {
        uint64_t start, end;
        uint32_t pattern;
        uint64_t differ, pixels;
    };

    // Whether a redrawn place resembles its pattern clearly better than
    // another pattern resembles what overlaps it: differing in at most half
    // the share of pixels.
    static bool beats(const Claim &a, const Claim &b) {
        return 2 * a.differ * b.pixels <= b.differ * a.pixels;
    }

    // Blocks with too few exact places between their neighbours were redrawn:
    // they are looked for there by many fingerprints, where most of their
    // pixels match and no start near comes close, nor a place of another
    // pending block; blocks of the same bytes take as many such places, in
    // order, or none.
    bool redrawnRound() {
        std::vector<Probe> probes;
        std::vector<Claim> claims;
        for (const Gap &g : gaps()) {
            std::vector<uint32_t> order; // patterns by their first pending block
            std::unordered_map<uint32_t, std::vector<uint32_t>> members;
            for (const uint32_t b : g.pending) {
                std::vector<uint32_t> &m = members[pattern[b]];
                if (m.empty())
                    order.push_back(pattern[b]);
                m.push_back(b);
            }
            for (const uint32_t id : order) {
                const Pattern &p = patterns[id];
                const std::vector<uint32_t> &m = members[id];
                const std::vector<uint64_t> &exact = placesBetween(id, g.lo, g.hi, m.size());
                if (exact.size() <= m.size())
                    for (const uint64_t at : exact)
                        claims.push_back({at, at + p.size, id, 0, (p.size + 1) / 2});
                if (p.size < redrawnMinBytes || g.hi - g.lo < p.size || exact.size() >= m.size() ||
                    (m.size() == 1 && !exact.empty()))
                    continue;
                probes.push_back({id, m, g.lo, g.hi - p.size, {}});
            }
        }
        if (probes.empty())
            return false;
        KeyTable table;
        for (size_t i = 0; i < probes.size(); i++)
            addProbeWindows(table, patterns[probes[i].pattern], uint32_t(i));
        table.seal();
        // Each probe's range, merged, scanned once.
        std::vector<Span> ranges;
        for (const Probe &pr : probes)
            ranges.push_back({pr.lo, pr.lastStart + patterns[pr.pattern].size});
        std::sort(ranges.begin(), ranges.end(),
                  [](const Span &a, const Span &b) { return a.start < b.start; });
        std::vector<Span> merged;
        for (const Span &r : ranges)
            if (!merged.empty() && r.start <= merged.back().end)
                merged.back().end = std::max(merged.back().end, r.end);
            else
                merged.push_back(r);
        for (const Span &r : merged)
            table.scan(now, r.start, r.end, [&](size_t q, const KeyTable::Entry &e) {
                Probe &pr = probes[e.id];
                if (q < e.at)
                    return;
                const uint64_t s = q - e.at;
                if (s >= pr.lo && s <= pr.lastStart && pr.votes.size() < votesKept)
                    pr.votes.push_back(s);
            });
        std::vector<std::vector<Claim>> found(probes.size());
        for (size_t i = 0; i < probes.size(); i++) {
            const Pattern &p = patterns[probes[i].pattern];
            const uint64_t pixels = (p.size + 1) / 2;
            for (const auto &at : probePlaces(probes[i])) {
                found[i].push_back(
                    {at.first, at.first + p.size, probes[i].pattern, pixels - at.second, pixels});
                if (at.second < pixels)
                    claims.push_back(found[i].back());
            }
        }
        std::sort(claims.begin(), claims.end(),
                  [](const Claim &a, const Claim &b) { return a.start < b.start; });
        uint64_t widest = 0;
        for (const Claim &c : claims)
            widest = std::max(widest, c.end - c.start);
        std::vector<std::pair<uint32_t, Placement>> winners; // block, place
        std::vector<size_t> probeOf;
        for (size_t i = 0; i < probes.size(); i++) {
            std::vector<Claim> kept;
            for (const Claim &c : found[i]) {
                bool clear = true;
                auto it = std::lower_bound(
                    claims.begin(), claims.end(), c.start > widest ? c.start - widest : 0,
                    [](const Claim &a, uint64_t at) { return a.start < at; });
                for (; it != claims.end() && it->start < c.end && clear; ++it)
                    clear = it->end <= c.start || it->pattern == c.pattern || beats(c, *it);
                if (clear)
                    kept.push_back(c);
            }
            if (kept.size() != probes[i].members.size())
                continue;
            for (size_t k = 0; k < kept.size(); k++) {
                winners.push_back(
                    {probes[i].members[k], {int64_t(kept[k].start), kept[k].differ == 0}});
                probeOf.push_back(i);
            }
        }
        std::vector<size_t> byBlock(winners.size());
        for (size_t i = 0; i < byBlock.size(); i++)
            byBlock[i] = i;
        std::sort(byBlock.begin(), byBlock.end(),
                  [&](size_t a, size_t b) { return winners[a].first < winners[b].first; });
        std::vector<Span> spans;
        for (const size_t i : byBlock) {
            const Placement &w = winners[i].second;
            spans.push_back({uint64_t(w.offset), uint64_t(w.offset) + sizeOf(winners[i].first)});
        }
        const std::vector<bool> chained = inEveryLongestChain(spans);
        // Blocks of the same bytes are settled all together or not at all.
        std::vector<bool> whole(probes.size(), true);
        for (size_t k = 0; k < byBlock.size(); k++)
            if (!chained[k])
                whole[probeOf[byBlock[k]]] = false;
        bool progress = false;
        for (size_t k = 0; k < byBlock.size(); k++)
            if (whole[probeOf[byBlock[k]]]) {
                placed[winners[byBlock[k]].first] = winners[byBlock[k]].second;
                progress = true;
            }
        return progress;
    }

    const uint8_t *old, *now;
    size_t nowSize;
    const std::vector<Span> &blocks;
    std::vector<Placement> placed;
    std::vector<uint32_t> pattern; // per block
    std::vector<Pattern> patterns;
    std::map<std::tuple<uint32_t, uint64_t, uint64_t, size_t>, std::vector<uint64_t>> searched;
};

// Longest chains by a prefix-maximum tree over compressed coordinates.
class MaxTree {
  public:
    explicit MaxTree(size_t n) : t(n + 1, 0) {}
    void raise(size_t i, unsigned v) {
        for (i++; i < t.size(); i += i & (~i + 1))
            t[i] = std::max(t[i], v);
    }
    unsigned upTo(size_t i) const { // maximum over [0, i)
        unsigned m = 0;
        for (; i > 0; i -= i & (~i + 1))
            m = std::max(m, t[i]);
        return m;
    }

  private:
    std::vector<unsigned> t;
};

std::string lineEnd(const uint8_t *p, size_t size) {
    if (size >= 2 && p[size - 2] == '\r' && p[size - 1] == '\n')
        return "\r\n";
    if (size >= 1 && p[size - 1] == '\n')
        return "\n";
    return "";
}

bool sameEntry(const ListEntry &a, const ListEntry &b) {
    return a.address == b.address && a.width == b.width && a.height == b.height &&
           strcmp(a.name, b.name) == 0;
}

} // namespace

bool redrawnFound(uint64_t pixels, uint64_t equal, uint64_t next) {
    // Most pixels match, and every other place differs in more than twice as
    // many pixels, and in a sixty-fourth of them more.
    if (equal > pixels || next > equal || 2 * equal <= pixels)
        return false;
    return pixels - next >= 2 * (pixels - equal) + pixels / 64 + 2;
}

std::vector<bool> inEveryLongestChain(const std::vector<Span> &spans) {
    const size_t n = spans.size();
    std::vector<uint64_t> starts, ends;
    for (const Span &s : spans) {
        starts.push_back(s.start);
        ends.push_back(s.end);
    }
    std::sort(starts.begin(), starts.end());
    std::sort(ends.begin(), ends.end());
    // ending[i]: the longest chain ending with span i; starting[i]: starting with it.
    std::vector<unsigned> ending(n), starting(n);
    MaxTree byEnd(n), byStart(n);
    for (size_t i = 0; i < n; i++) {
        const size_t before =
            size_t(std::upper_bound(ends.begin(), ends.end(), spans[i].start) - ends.begin());
        ending[i] = byEnd.upTo(before) + 1;
        byEnd.raise(size_t(std::lower_bound(ends.begin(), ends.end(), spans[i].end) - ends.begin()),
                    ending[i]);
    }
    for (size_t i = n; i-- > 0;) {
        // Spans starting at or after this one's end, counted from the top.
        const size_t from =
            size_t(std::lower_bound(starts.begin(), starts.end(), spans[i].end) - starts.begin());
        starting[i] = byStart.upTo(n - from) + 1;
        const size_t at =
            size_t(std::lower_bound(starts.begin(), starts.end(), spans[i].start) - starts.begin());
        byStart.raise(n - 1 - at, starting[i]);
    }
    unsigned longest = 0;
    for (size_t i = 0; i < n; i++)
        longest = std::max(longest, ending[i] + starting[i] - 1);
    // A span on some longest chain is on all of them when no other such span
    // can take its place in the chain.
    std::vector<unsigned> atLevel(longest + 2, 0);
    for (size_t i = 0; i < n; i++)
        if (ending[i] + starting[i] - 1 == longest)
            atLevel[ending[i]]++;
    std::vector<bool> out(n);
    for (size_t i = 0; i < n; i++)
        out[i] = ending[i] + starting[i] - 1 == longest && atLevel[ending[i]] == 1;
    return out;
}

std::vector<Placement> placeBlocks(const uint8_t *old, const std::vector<Span> &blocks,
                                   const uint8_t *now, size_t nowSize) {
    return Placer(old, blocks, now, nowSize).run();
}

Moved moveList(const uint8_t *old, size_t oldSize, const uint8_t *list, size_t listSize,
               const uint8_t *now, size_t nowSize) {
    const std::vector<ListItem> items = scanList(list, listSize);
    // The entries to carry over: lines that repeat the entry before in full
    // (blank ones) follow it in the new list by themselves.
    struct Job {
        size_t item;
        uint64_t start, size; // 0 size: nothing kvpull would read
        size_t block;
    };
    std::vector<Job> jobs;
    for (size_t i = 0; i < items.size(); i++) {
        const ListItem &it = items[i];
        if (it.kind != listEntry || it.repeats)
            continue;
        const ListEntry &e = it.entry;
        const bool read = pictureState(e.address, e.width, e.height, oldSize) == pictureRead;
        jobs.push_back({i, e.address, read ? uint64_t(e.width) * e.height * 2 : 0, 0});
    }
    // Entries that overlap in the old file move as one block.
    std::vector<size_t> order;
    for (size_t j = 0; j < jobs.size(); j++)
        if (jobs[j].size > 0)
            order.push_back(j);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return jobs[a].start < jobs[b].start; });
    std::vector<Span> blocks;
    for (const size_t j : order) {
        if (blocks.empty() || jobs[j].start >= blocks.back().end)
            blocks.push_back({jobs[j].start, jobs[j].start + jobs[j].size});
        else
            blocks.back().end = std::max(blocks.back().end, jobs[j].start + jobs[j].size);
        jobs[j].block = blocks.size() - 1;
    }
    const std::vector<Placement> placed = placeBlocks(old, blocks, now, nowSize);

    Moved m;
    std::fill(m.counts, m.counts + 4, 0u);
    std::vector<int64_t> newStart(items.size(), -1);
    std::vector<bool> isJob(items.size(), false);
    for (const Job &j : jobs) {
        const ListEntry &e = items[j.item].entry;
        MoveReport r{e.name, moveNotFound, 0, 0, 0};
        if (j.size > 0 && placed[j.block].offset >= 0) {
            r.by = placed[j.block].offset - int64_t(blocks[j.block].start);
            const uint64_t to = uint64_t(int64_t(j.start) + r.by);
            newStart[j.item] = int64_t(to);
            if (memcmp(old + j.start, now + to, j.size) == 0) {
                r.word = r.by == 0 ? moveSame : moveMoved;
            } else {
                r.word = moveChanged;
                const uint64_t row = uint64_t(e.width) * 2;
                r.rows = e.height;
                for (uint64_t y = 0; y < e.height; y++)
                    r.rowsEqual += memcmp(old + j.start + y * row, now + to + y * row, row) == 0;
            }
        }
        isJob[j.item] = true;
        m.counts[r.word]++;
        m.entries.push_back(r);
    }

    // The new list, read back as it is written: a line that would now take
    // another entry's fields is written out in full.
    ListLineText text;
    const size_t bom = listBomSize(list, listSize);
    m.list.assign(reinterpret_cast<const char *>(list), bom);
    ListScan scan = {{0, 128, 160, ""}, false};
    for (size_t i = 0; i < items.size(); i++) {
        const ListItem &it = items[i];
        const char *line = reinterpret_cast<const char *>(list) + it.start;
        std::string out;
        if (!isJob[i]) {
            out.assign(line, it.size);
        } else if (newStart[i] < 0) {
            out = "#" + std::string(line, it.size);
        } else {
            takeListLine(line, it.size, text);
            unsigned a = 0;
            int field = 0;
            if (sscanf(text.text, "0x%08X%n", &a, &field) < 1 || field <= 0)
                field = 0; // an entry line always starts with its offset
            out = format("0x%08X", unsigned(newStart[i])) +
                  std::string(line + field, it.size - size_t(field));
        }
        ListScan before = scan;
        takeListLine(out.data(), out.size(), text);
        const ListLine kind = scanListLine(text, scan);
        if (isJob[i] && newStart[i] >= 0) {
            ListEntry want = it.entry;
            want.address = uint32_t(newStart[i]);
            if (kind != listEntry || !sameEntry(scan.entry, want)) {
                out = format("0x%08X 0x0000 %d %d %s", want.address, int(want.width),
                             int(want.height), want.name) +
                      lineEnd(reinterpret_cast<const uint8_t *>(line), it.size);
                scan = before;
                takeListLine(out.data(), out.size(), text);
                scanListLine(text, scan);
            }
        }
        m.list += out;
    }
    return m;
}

std::string moveReportLine(const MoveReport &r) {
    const std::string by = format("moved by %c%llu", r.by < 0 ? '-' : '+',
                                  static_cast<unsigned long long>(r.by < 0 ? -r.by : r.by));
    std::string out = escapeControls(r.name) + ": ";
    switch (r.word) {
    case moveSame:
        return out + "same";
    case moveMoved:
        return out + by;
    case moveChanged:
        return out + "changed, " + by + format(" (%u of %u rows equal)", r.rowsEqual, r.rows);
    case moveNotFound:
        return out + "not found";
    }
    return out + "?";
}

std::string moveSummary(const unsigned c[4]) {
    const unsigned all = c[0] + c[1] + c[2] + c[3];
    return plural(all, "entry", "entries") + format(": %u same, %u moved, %u changed, %u not found",
                                                    c[moveSame], c[moveMoved], c[moveChanged],
                                                    c[moveNotFound]);
}
