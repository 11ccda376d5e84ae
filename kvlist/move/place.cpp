// Where each block of the old file lies in the new one. A block is found
// only where nothing else could be it: its bytes where no other occurrence
// of them competes (occurrences of the same bytes settled by order alone),
// or redrawn where its distinctive pixels match, clearly better than
// anywhere else. Blocks keep their order: a place out of order is no answer.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "move.h"
#include "search.h"

namespace {

constexpr uint32_t redrawnMinDistinctive = 8; // fewer pixels are too few to judge a redrawing
constexpr size_t probeWindows = 64;           // fingerprints a redrawn block is looked for by
constexpr size_t probeCandidates = 8;         // best voted starts tried per block
constexpr size_t probeRepeats = 4;            // a fingerprint found more often in it does not vote
constexpr size_t votesKept = 1 << 16;
constexpr uint64_t nearRows = 4; // rows (and pixels) off a redrawn place that compete with it

uint32_t wordAt(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

struct Pattern {
    uint64_t start, size;              // its first block's bytes in the old file
    Places inOld, inNow;               // every place of those bytes in either file
    std::vector<uint32_t> distinctive; // pixels unlike its most common colour,
    bool distinctiveKnown;             // known once it is looked for redrawn
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

class Placer {
  public:
    Placer(const uint8_t *old, size_t oldSize, const std::vector<Span> &blocks, const uint8_t *now,
           size_t nowSize)
        : old(old), now(now), oldSize(oldSize), nowSize(nowSize), blocks(blocks),
          placed(blocks.size(), -1), pattern(blocks.size()) {}

    std::vector<int64_t> run() {
        groupPatterns();
        findPlaces();
        for (;;) {
            while (exactRound()) {
            }
            if (!redrawnRound())
                break;
        }
        return placed;
    }

  private:
    const uint8_t *bytesOf(const Pattern &p) const { return old + p.start; }

    // Blocks with the same bytes share one pattern: they compete for the same places.
    void groupPatterns() {
        std::unordered_map<uint64_t, std::vector<uint32_t>> byHash;
        for (size_t b = 0; b < blocks.size(); b++) {
            const uint8_t *p = old + blocks[b].start;
            const uint64_t size = blocks[b].end - blocks[b].start;
            uint64_t h = 1469598103934665603u ^ size;
            for (uint64_t k = 0; k < 64; k++)
                h = (h ^ p[size * k / 64]) * 1099511628211u;
            std::vector<uint32_t> &same = byHash[h];
            uint32_t id = uint32_t(patterns.size());
            for (const uint32_t q : same)
                if (patterns[q].size == size && memcmp(bytesOf(patterns[q]), p, size) == 0)
                    id = q;
            if (id == patterns.size()) {
                patterns.push_back({blocks[b].start, size, {}, {}, {}, false});
                same.push_back(id);
            }
            pattern[b] = id;
        }
    }

    static std::vector<uint32_t> distinctivePixels(const uint8_t *p, uint64_t size) {
        std::vector<uint32_t> words;
        for (uint64_t i = 0; i + 1 < size; i += 2)
            words.push_back(wordAt(p + i));
        std::vector<uint32_t> sorted = words;
        std::sort(sorted.begin(), sorted.end());
        uint32_t mode = 0;
        size_t most = 0;
        for (size_t i = 0; i < sorted.size();) {
            size_t j = i;
            while (j < sorted.size() && sorted[j] == sorted[i])
                j++;
            if (j - i > most) {
                most = j - i;
                mode = sorted[i];
            }
            i = j;
        }
        std::vector<uint32_t> out;
        for (size_t i = 0; i < words.size(); i++)
            if (words[i] != mode)
                out.push_back(uint32_t(i));
        return out;
    }

    // Every place of every pattern in both files: a pass over each file for
    // all patterns with a fingerprint of their own, one for each other.
    void findPlaces() {
        Fingerprints table;
        std::vector<uint32_t> repeating;
        for (size_t id = 0; id < patterns.size(); id++) {
            const Pattern &p = patterns[id];
            const long w = uniqueWindow(bytesOf(p), p.size);
            if (w < 0)
                repeating.push_back(uint32_t(id));
            else
                table.add(fingerprintAt(bytesOf(p) + w), uint32_t(id), uint32_t(w));
        }
        table.seal();
        for (const bool inOld : {true, false}) {
            const uint8_t *data = inOld ? old : now;
            const size_t size = inOld ? oldSize : nowSize;
            table.scan(data, 0, size, [&](size_t q, const Fingerprints::Entry &e) {
                Pattern &p = patterns[e.id];
                if (q < e.at || p.size > size - (q - e.at))
                    return;
                const uint64_t s = q - e.at;
                if (memcmp(data + s, bytesOf(p), p.size) == 0)
                    (inOld ? p.inOld : p.inNow).add(s);
            });
        }
        // A plain colour is found by the runs of its value, anything else that
        // repeats inside itself by a scan of its own.
        PlainRuns runsOld, runsNow;
        bool runsKnown = false;
        for (const uint32_t id : repeating) {
            Pattern &p = patterns[id];
            const uint8_t *b = bytesOf(p);
            const bool plain = p.size >= 8 && p.size % 2 == 0 && memcmp(b, b + 2, p.size - 2) == 0;
            if (plain && !runsKnown) {
                runsOld = plainRuns(old, oldSize);
                runsNow = plainRuns(now, nowSize);
                runsKnown = true;
            }
            p.inOld = plain ? placesOfPlain(wordAt(b), p.size, runsOld)
                            : placesOf(b, p.size, old, oldSize);
            p.inNow = plain ? placesOfPlain(wordAt(b), p.size, runsNow)
                            : placesOf(b, p.size, now, nowSize);
        }
    }

    // The blocks not placed between two placed ones, and the bytes between
    // those in either file.
    struct Gap {
        uint64_t oldLo, oldHi, nowLo, nowHi;
        std::vector<uint32_t> pending;
    };

    std::vector<Gap> gaps() const {
        std::vector<Gap> out;
        Gap g{0, 0, 0, 0, {}};
        for (size_t b = 0; b < blocks.size(); b++) {
            if (placed[b] < 0) {
                g.pending.push_back(uint32_t(b));
                continue;
            }
            if (!g.pending.empty()) {
                g.oldHi = blocks[b].start;
                g.nowHi = uint64_t(placed[b]);
                out.push_back(g);
                g.pending.clear();
            }
            g.oldLo = blocks[b].end;
            g.nowLo = uint64_t(placed[b]) + (blocks[b].end - blocks[b].start);
        }
        if (!g.pending.empty()) {
            g.oldHi = oldSize;
            g.nowHi = nowSize;
            out.push_back(g);
        }
        return out;
    }

    // The pending blocks of each pattern in a gap, patterns in the order of
    // their first block, with the pattern's places in the gap in either file.
    struct Group {
        uint32_t id;
        std::vector<uint32_t> members;
        Places::Slice inOld, inNow;
    };

    std::vector<Group> groups(const Gap &g) const {
        std::vector<Group> out;
        std::unordered_map<uint32_t, size_t> at;
        for (const uint32_t b : g.pending) {
            auto it = at.find(pattern[b]);
            if (it == at.end()) {
                const Pattern &p = patterns[pattern[b]];
                it = at.emplace(pattern[b], out.size()).first;
                out.push_back({pattern[b],
                               {},
                               p.inOld.inside(g.oldLo, g.oldHi, p.size),
                               p.inNow.inside(g.nowLo, g.nowHi, p.size)});
            }
            out[it->second].members.push_back(b);
        }
        return out;
    }

    // Where the block lies among the places of its bytes in the old gap
    // corresponds to where it lies in the new one.
    uint64_t inOrder(const Group &gr, uint32_t b) const {
        const Pattern &p = patterns[gr.id];
        const uint64_t k = p.inOld.below(blocks[b].start) - gr.inOld.first;
        return p.inNow.nth(gr.inNow.first + k);
    }

    // A place proposed for a block, on behalf of a pattern or a probe.
    struct Proposal {
        uint32_t block;
        uint64_t place;
        uint32_t whose;
    };

    // Proposals that are each on every longest chain in block order are
    // settled, all of one pattern's (or probe's) together or none of them.
    bool settle(std::vector<Proposal> proposed) {
        std::sort(proposed.begin(), proposed.end(),
                  [](const Proposal &a, const Proposal &b) { return a.block < b.block; });
        std::vector<Span> spans;
        for (const Proposal &pr : proposed)
            spans.push_back({pr.place, pr.place + (blocks[pr.block].end - blocks[pr.block].start)});
        const std::vector<bool> chained = inEveryLongestChain(spans);
        std::unordered_map<uint32_t, bool> whole;
        for (size_t i = 0; i < proposed.size(); i++) {
            auto it = whole.emplace(proposed[i].whose, true).first;
            it->second = it->second && chained[i];
        }
        bool progress = false;
        for (const Proposal &pr : proposed)
            if (whole[pr.whose]) {
                placed[pr.block] = int64_t(pr.place);
                progress = true;
            }
        return progress;
    }

    // Bytes found once in the old gap and once in the new settle first; then
    // bytes found as often in either gap, which correspond in order.
    bool exactRound() {
        bool progress = false;
        for (const Gap &g : gaps()) {
            const std::vector<Group> all = groups(g);
            for (const bool once : {true, false}) {
                std::vector<Proposal> proposed;
                for (const Group &gr : all) {
                    const bool single = gr.inOld.count == 1 && gr.inNow.count == 1;
                    if (single == once && gr.inOld.count == gr.inNow.count && gr.inOld.count > 0)
                        for (const uint32_t b : gr.members)
                            proposed.push_back({b, inOrder(gr, b), gr.id});
                }
                if (settle(proposed)) {
                    progress = true;
                    break;
                }
            }
        }
        return progress;
    }

    // Distinctive pixels of the pattern equal at start.
    uint64_t distinctiveEqual(const Pattern &p, uint64_t start) const {
        uint64_t n = 0;
        const uint8_t *a = bytesOf(p), *b = now + start;
        for (const uint32_t i : p.distinctive)
            n += a[2 * i] == b[2 * i] && a[2 * i + 1] == b[2 * i + 1];
        return n;
    }

    struct Probe {
        Group group;
        uint64_t lo, lastStart;
        std::vector<uint64_t> votes; // a start per fingerprint hit, and where the neighbours say
    };

    // The fingerprints a redrawn block is looked for by: at pixel boundaries,
    // each with more than one pixel value and found at most a few times in the
    // block (each time votes), spread over it.
    void addProbeWindows(Fingerprints &table, const Pattern &p, uint32_t id) const {
        const uint8_t *b = bytesOf(p);
        std::vector<std::pair<uint64_t, uint32_t>> keys;
        for (uint64_t at = 0; at + fingerprintBytes <= p.size; at += 2) {
            const uint8_t *w = b + at;
            if (memcmp(w, w + 2, 2) != 0 || memcmp(w, w + 4, 2) != 0 || memcmp(w, w + 6, 2) != 0)
                keys.push_back({fingerprintAt(w), uint32_t(at)});
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
            table.add(fingerprintAt(b + at), id, at);
        }
    }

    // The places of a probe's bytes, exact or redrawn: each matches in most
    // distinctive pixels, and clearly better than every start overlapping it.
    // Start and distinctive pixels equal, ascending.
    std::vector<std::pair<uint64_t, uint64_t>> probePlaces(Probe &pr) const {
        const Pattern &p = patterns[pr.group.id];
        const uint64_t pixels = p.distinctive.size();
        std::sort(pr.votes.begin(), pr.votes.end());
        std::vector<std::pair<uint64_t, uint64_t>> tally; // votes, start
        for (size_t i = 0; i < pr.votes.size();) {
            size_t j = i;
            while (j < pr.votes.size() && pr.votes[j] == pr.votes[i])
                j++;
            tally.push_back({j - i, pr.votes[i]});
            i = j;
        }
        std::sort(tally.begin(), tally.end(), [](const auto &a, const auto &b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        if (tally.size() > probeCandidates * pr.group.inOld.count)
            tally.resize(probeCandidates * pr.group.inOld.count);
        std::vector<std::pair<uint64_t, uint64_t>> tried; // start, distinctive pixels equal
        for (const auto &t : tally)
            tried.push_back({t.second, distinctiveEqual(p, t.second)});
        for (uint64_t k = 0; k < pr.group.inNow.count; k++)
            tried.push_back({p.inNow.nth(pr.group.inNow.first + k), pixels});
        std::sort(tried.begin(), tried.end());
        tried.erase(std::unique(tried.begin(), tried.end()), tried.end());
        std::vector<std::pair<uint64_t, uint64_t>> out;
        for (size_t i = 0; i < tried.size(); i++) {
            uint64_t next = 0;
            const uint64_t a = tried[i].first;
            for (size_t j = 0; j < tried.size(); j++) {
                const uint64_t b = tried[j].first;
                if (j != i && (a > b ? a - b : b - a) < p.size)
                    next = std::max(next, tried[j].second);
            }
            if (!redrawnFound(pixels, tried[i].second, next))
                continue;
            // The starts near it that no fingerprint voted for (in a picture
            // of rows alike every fingerprint repeats) compete too: a few
            // pixels and a few rows off.
            const uint64_t row = blocks[pr.group.members[0]].row;
            for (uint64_t k = 1; k <= nearRows; k++)
                for (const uint64_t d : {2 * k, row * k})
                    for (const int sign : {-1, 1}) {
                        if (d == 0 || (sign < 0 && a < pr.lo + d) ||
                            (sign > 0 && a + d > pr.lastStart))
                            continue;
                        const uint64_t b = sign < 0 ? a - d : a + d;
                        next = std::max(next, distinctiveEqual(p, b));
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
        uint64_t differ, pixels; // distinctive pixels
    };

    // Whether a redrawn place resembles its pattern clearly better than
    // another pattern resembles what overlaps it: differing in at most half
    // the share of pixels.
    static bool beats(const Claim &a, const Claim &b) {
        return 2 * a.differ * b.pixels <= b.differ * a.pixels;
    }

    // Blocks whose bytes are found fewer times in the new gap than in the old
    // were redrawn (or gone): they are looked for there by many fingerprints
    // and where their neighbours moved them. A place is one where most of
    // their distinctive pixels match and no start overlapping it comes close,
    // nor a place of another pending pattern. When the places, exact and
    // redrawn, are exactly as many as the bytes' places in the old gap
    // (listed or not), they correspond in order; otherwise none is taken.
    bool redrawnRound() {
        std::vector<Probe> probes;
        std::vector<Claim> claims;
        for (const Gap &g : gaps()) {
            for (const Group &gr : groups(g)) {
                Pattern &p = patterns[gr.id];
                if (!p.distinctiveKnown)
                    p.distinctive = distinctivePixels(bytesOf(p), p.size);
                p.distinctiveKnown = true;
                const uint64_t pixels = p.distinctive.size();
                if (gr.inNow.count <= gr.inOld.count)
                    for (uint64_t k = 0; k < gr.inNow.count; k++) {
                        const uint64_t at = p.inNow.nth(gr.inNow.first + k);
                        claims.push_back({at, at + p.size, gr.id, 0, pixels});
                    }
                if (pixels < redrawnMinDistinctive || gr.inNow.count >= gr.inOld.count ||
                    g.nowHi < g.nowLo || g.nowHi - g.nowLo < p.size)
                    continue;
                Probe pr{gr, g.nowLo, g.nowHi - p.size, {}};
                // Where the neighbours on either side say the blocks went.
                for (const uint32_t b : gr.members)
                    for (const int64_t shift : {int64_t(g.nowLo) - int64_t(g.oldLo),
                                                int64_t(g.nowHi) - int64_t(g.oldHi)}) {
                        const int64_t at = int64_t(blocks[b].start) + shift;
                        if (at >= int64_t(pr.lo) && at <= int64_t(pr.lastStart))
                            pr.votes.insert(pr.votes.end(), 2, uint64_t(at));
                    }
                probes.push_back(pr);
            }
        }
        if (probes.empty())
            return false;
        Fingerprints table;
        for (size_t i = 0; i < probes.size(); i++)
            addProbeWindows(table, patterns[probes[i].group.id], uint32_t(i));
        table.seal();
        // Each probe's range, merged, scanned once.
        std::vector<Span> ranges;
        for (const Probe &pr : probes)
            ranges.push_back({pr.lo, pr.lastStart + patterns[pr.group.id].size});
        std::sort(ranges.begin(), ranges.end(),
                  [](const Span &a, const Span &b) { return a.start < b.start; });
        std::vector<Span> merged;
        for (const Span &r : ranges)
            if (!merged.empty() && r.start <= merged.back().end)
                merged.back().end = std::max(merged.back().end, r.end);
            else
                merged.push_back(r);
        for (const Span &r : merged)
            table.scan(now, r.start, r.end, [&](size_t q, const Fingerprints::Entry &e) {
                Probe &pr = probes[e.id];
                if (q < e.at)
                    return;
                const uint64_t s = q - e.at;
                if (s >= pr.lo && s <= pr.lastStart && pr.votes.size() < votesKept)
                    pr.votes.push_back(s);
            });
        std::vector<std::vector<Claim>> found(probes.size());
        for (size_t i = 0; i < probes.size(); i++) {
            const Pattern &p = patterns[probes[i].group.id];
            const uint64_t pixels = p.distinctive.size();
            for (const auto &at : probePlaces(probes[i])) {
                found[i].push_back(
                    {at.first, at.first + p.size, probes[i].group.id, pixels - at.second, pixels});
                claims.push_back(found[i].back());
            }
        }
        std::sort(claims.begin(), claims.end(),
                  [](const Claim &a, const Claim &b) { return a.start < b.start; });
        uint64_t widest = 0;
        for (const Claim &c : claims)
            widest = std::max(widest, c.end - c.start);
        std::vector<Proposal> proposed;
        for (size_t i = 0; i < probes.size(); i++) {
            const Group &gr = probes[i].group;
            std::vector<Claim> kept;
            for (const Claim &c : found[i]) {
                bool clear = kept.empty() || kept.back().end <= c.start;
                auto it = std::lower_bound(
                    claims.begin(), claims.end(), c.start > widest ? c.start - widest : 0,
                    [](const Claim &a, uint64_t at) { return a.start < at; });
                for (; it != claims.end() && it->start < c.end && clear; ++it)
                    clear = it->end <= c.start || it->pattern == c.pattern || beats(c, *it);
                if (clear)
                    kept.push_back(c);
            }
            if (kept.size() != gr.inOld.count)
                continue;
            const Pattern &p = patterns[gr.id];
            for (const uint32_t b : gr.members) {
                const Claim &c = kept[p.inOld.below(blocks[b].start) - gr.inOld.first];
                proposed.push_back({b, c.start, uint32_t(i)});
            }
        }
        return settle(proposed);
    }

    const uint8_t *old, *now;
    size_t oldSize, nowSize;
    const std::vector<Span> &blocks;
    std::vector<int64_t> placed;   // per block, -1 while not placed
    std::vector<uint32_t> pattern; // per block
    std::vector<Pattern> patterns;
};

} // namespace

bool redrawnFound(uint64_t pixels, uint64_t equal, uint64_t next) {
    // Three in four pixels match (a look-alike on the same ground matches
    // half), and every other place differs in more than twice as many
    // pixels, and in a sixty-fourth of them more.
    if (equal > pixels || next > equal || 4 * equal < 3 * pixels)
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

std::vector<int64_t> placeBlocks(const uint8_t *old, size_t oldSize,
                                 const std::vector<Span> &blocks, const uint8_t *now,
                                 size_t nowSize) {
    return Placer(old, oldSize, blocks, now, nowSize).run();
}
