#include "search.h"

#include <algorithm>

void Places::add(uint64_t at) {
    total++;
    if (!runs.empty()) {
        Run &r = runs.back();
        if (r.count == 1) {
            r.step = at - r.first;
            r.count = 2;
            return;
        }
        if (at == r.first + r.step * r.count) {
            r.count++;
            return;
        }
    }
    runs.push_back({at, 0, 1, total - 1});
}

void Places::addRun(uint64_t first, uint64_t step, uint64_t count) {
    if (count == 1)
        add(first);
    if (count < 2)
        return;
    runs.push_back({first, step, count, total});
    total += count;
}

uint64_t Places::below(uint64_t at) const {
    // The last run starting before at.
    auto it =
        std::partition_point(runs.begin(), runs.end(), [at](const Run &r) { return r.first < at; });
    if (it == runs.begin())
        return 0;
    --it;
    const uint64_t in =
        it->count == 1 ? 1 : std::min(it->count, (at - it->first - 1) / it->step + 1);
    return it->before + in;
}

uint64_t Places::nth(uint64_t k) const {
    auto it =
        std::partition_point(runs.begin(), runs.end(), [k](const Run &r) { return r.before <= k; });
    --it;
    return it->first + (k - it->before) * it->step;
}

Places::Slice Places::inside(uint64_t from, uint64_t to, uint64_t length) const {
    if (to < from || to - from < length)
        return {below(from), 0};
    const uint64_t first = below(from);
    return {first, below(to - length + 1) - first};
}

uint64_t fingerprintAt(const uint8_t *p) {
    uint64_t k = 0;
    for (size_t i = fingerprintBytes; i-- > 0;)
        k = k << 8 | p[i];
    return k;
}

long uniqueWindow(const uint8_t *s, size_t size) {
    if (size < fingerprintBytes)
        return -1;
    // Candidates spread over the string, the most varied first: they hit
    // fewest places of a file by chance.
    const size_t last = size - fingerprintBytes;
    std::vector<std::pair<int, size_t>> tried; // -(distinct bytes), place
    for (size_t k = 0; k < 64; k++) {
        const size_t at = last * k / 63;
        bool seen[256] = {};
        int distinct = 0;
        for (size_t i = 0; i < fingerprintBytes; i++)
            if (!seen[s[at + i]]) {
                seen[s[at + i]] = true;
                distinct++;
            }
        tried.push_back({-distinct, at});
    }
    std::sort(tried.begin(), tried.end());
    tried.erase(std::unique(tried.begin(), tried.end()), tried.end());
    for (size_t k = 0; k < 4 && k < tried.size(); k++) {
        const uint64_t key = fingerprintAt(s + tried[k].second);
        size_t found = 0;
        for (size_t i = 0; i <= last && found < 2; i++)
            found += fingerprintAt(s + i) == key;
        if (found == 1)
            return long(tried[k].second);
    }
    // Every window of the string, the one found once that is most varied.
    std::vector<std::pair<uint64_t, size_t>> keys; // key, place
    for (size_t i = 0; i <= last; i++)
        keys.push_back({fingerprintAt(s + i), i});
    std::sort(keys.begin(), keys.end());
    long best = -1;
    int bestDistinct = 0;
    for (size_t i = 0; i < keys.size();) {
        size_t j = i;
        while (j < keys.size() && keys[j].first == keys[i].first)
            j++;
        if (j - i == 1) {
            bool seen[256] = {};
            int distinct = 0;
            for (size_t b = 0; b < fingerprintBytes; b++) {
                const uint8_t v = s[keys[i].second + b];
                distinct += !seen[v];
                seen[v] = true;
            }
            if (distinct > bestDistinct ||
                (distinct == bestDistinct && long(keys[i].second) < best)) {
                bestDistinct = distinct;
                best = long(keys[i].second);
            }
        }
        i = j;
    }
    return best;
}

Places placesOf(const uint8_t *s, size_t length, const uint8_t *data, size_t size) {
    Places out;
    if (length == 0 || size < length)
        return out;
    // fail[i]: the longest proper border of s[0, i + 1).
    std::vector<uint32_t> fail(length, 0);
    for (size_t i = 1, k = 0; i < length; i++) {
        while (k > 0 && s[i] != s[k])
            k = fail[k - 1];
        k += s[i] == s[k];
        fail[i] = uint32_t(k);
    }
    for (size_t i = 0, k = 0; i < size; i++) {
        while (k > 0 && data[i] != s[k])
            k = fail[k - 1];
        k += data[i] == s[k];
        if (k == length) {
            out.add(i + 1 - length);
            k = fail[k - 1];
        }
    }
    return out;
}

PlainRuns plainRuns(const uint8_t *data, size_t size) {
    constexpr uint64_t least = 8; // the shortest plain colour looked for, in bytes
    PlainRuns out;
    // Every run of least bytes or more holds an aligned block of four bytes
    // that repeat with a period of two: only around those is there anything.
    for (size_t i = 0; i + 4 <= size;) {
        if (data[i] != data[i + 2] || data[i + 1] != data[i + 3]) {
            i += 4;
            continue;
        }
        size_t a = i, b = i + 4; // the longest stretch of period two through the block
        while (a > 0 && data[a - 1] == data[a + 1])
            a--;
        while (b < size && data[b] == data[b - 2])
            b++;
        if (data[a] == data[a + 1]) {
            if (b - a >= least)
                out.bytes.push_back({a, b - a, data[a]});
        } else {
            for (size_t at = a; at < a + 2; at++)
                if (b - at >= least)
                    out.words.push_back({at, (b - at) & ~size_t(1),
                                         uint32_t(data[at]) | uint32_t(data[at + 1]) << 8});
        }
        // A block reaching past b belongs to another stretch.
        i = b & ~size_t(3);
    }
    return out;
}

Places placesOfPlain(uint32_t value, uint64_t length, const PlainRuns &runs) {
    Places out;
    const bool byte = (value & 0xFF) == value >> 8;
    // Runs of a word of two unlike bytes never overlap at the two parities.
    for (const ValueRun &r : byte ? runs.bytes : runs.words)
        if (r.value == (byte ? value & 0xFF : value) && r.length >= length)
            out.addRun(r.start, byte ? 1 : 2, (r.length - length) / (byte ? 1 : 2) + 1);
    return out;
}

void Fingerprints::seal() {
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
