// Carrying a list over: its entries' pictures become blocks of the old file
// (overlapping entries one block), the blocks are placed in the new file, and
// the list is written again with the new offsets.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "listfile.h"
#include "move.h"
#include "text.h"

namespace {

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
            blocks.push_back({jobs[j].start, jobs[j].start + jobs[j].size,
                              2 * uint64_t(items[jobs[j].item].entry.width)});
        else
            blocks.back().end = std::max(blocks.back().end, jobs[j].start + jobs[j].size);
        jobs[j].block = blocks.size() - 1;
    }
    const std::vector<int64_t> placed = placeBlocks(old, oldSize, blocks, now, nowSize);

    Moved m;
    std::fill(m.counts, m.counts + moveWords, 0u);
    // Per line: the new offset, -1 for a line written as a comment (an entry
    // not found, a refused line), -2 for a line copied as it is.
    std::vector<int64_t> newStart(items.size(), -2);
    size_t next = 0;
    for (size_t i = 0; i < items.size(); i++) {
        const ListItem &it = items[i];
        if (const char *refusal = listRefusal(it.kind)) {
            // Once mended, such a line would send a picture to a stale offset.
            newStart[i] = -1;
            m.entries.push_back({refusal, moveRefused, 0, 0, 0, it.number});
            m.counts[moveRefused]++;
            continue;
        }
        if (next == jobs.size() || jobs[next].item != i)
            continue;
        const Job &j = jobs[next++];
        const ListEntry &e = it.entry;
        MoveReport r{e.name, moveNotFound, 0, 0, 0, it.number};
        newStart[i] = -1;
        if (j.size > 0 && placed[j.block] >= 0) {
            r.by = placed[j.block] - int64_t(blocks[j.block].start);
            const uint64_t to = uint64_t(int64_t(j.start) + r.by);
            newStart[i] = int64_t(to);
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
        if (newStart[i] == -2) {
            out.assign(line, it.size);
        } else if (newStart[i] == -1) {
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
        if (newStart[i] >= 0) {
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
    const std::string out = escapeControls(r.name) + ": ";
    switch (r.word) {
    case moveSame:
        return out + "same";
    case moveMoved:
        return out + by;
    case moveChanged:
        return out + "changed, " + by + format(" (%u of %u rows equal)", r.rowsEqual, r.rows);
    case moveNotFound:
        return out + "not found";
    case moveRefused:
        return format("line %u: ", r.line) + r.name;
    case moveWords:
        break;
    }
    return out + "?";
}

std::string moveSummary(const unsigned c[moveWords]) {
    const unsigned all = c[moveSame] + c[moveMoved] + c[moveChanged] + c[moveNotFound];
    return plural(all, "entry", "entries") +
           format(": %u same, %u moved, %u changed, %u not found", c[moveSame], c[moveMoved],
                  c[moveChanged], c[moveNotFound]) +
           (c[moveRefused] ? ", " + plural(c[moveRefused], "line", "lines") + " refused" : "");
}
