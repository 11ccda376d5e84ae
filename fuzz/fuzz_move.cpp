// kvlist move over random pairs of firmware files and lists: the counts add
// up; the new list has as many lines as the old; an entry said same or moved
// has exactly its old bytes at the place its new line gives, a changed one
// lies inside the new file there; an entry not found and a refused line are
// commented out; every other line is copied as it was.
#include <cstdlib>
#include <cstring>

#include "kvlistparts.h"
#include "listfile.h"
#include "move.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const KvlistParts p = splitKvlistInput(data, size);
    const std::vector<ListItem> items = scanList(p.list.data(), p.list.size());
    const Moved m = moveList(p.first.data(), p.first.size(), p.list.data(), p.list.size(),
                             p.second.data(), p.second.size());
    unsigned total = 0, reported = 0;
    for (const unsigned c : m.counts)
        total += c;
    for (const ListItem &it : items)
        reported += (it.kind == listEntry && !it.repeats) || listRefusal(it.kind) != nullptr;
    if (total != m.entries.size() || reported != m.entries.size())
        abort();
    const std::vector<ListItem> now =
        scanList(reinterpret_cast<const uint8_t *>(m.list.data()), m.list.size());
    if (now.size() != items.size())
        abort();
    std::vector<bool> seen(items.size(), false);
    unsigned lastLine = 0;
    for (const MoveReport &r : m.entries) {
        if (r.line <= lastLine || r.line > items.size())
            abort();
        lastLine = r.line;
        seen[r.line - 1] = true;
        const ListItem &it = items[r.line - 1], &out = now[r.line - 1];
        if ((r.word == moveRefused) != (listRefusal(it.kind) != nullptr))
            abort();
        if (r.word == moveRefused || r.word == moveNotFound) {
            if (m.list[out.start] != '#')
                abort();
            continue;
        }
        const ListEntry &e = it.entry;
        const uint64_t bytes = uint64_t(e.width) * e.height * 2;
        const int64_t at = int64_t(e.address) + r.by;
        if (pictureState(e.address, e.width, e.height, p.first.size()) != pictureRead || at < 0 ||
            uint64_t(at) > p.second.size() || bytes > p.second.size() - uint64_t(at) ||
            out.kind != listEntry || out.entry.address != uint64_t(at) ||
            out.entry.width != e.width || out.entry.height != e.height ||
            strcmp(out.entry.name, e.name) != 0)
            abort();
        const bool same = memcmp(p.first.data() + e.address, p.second.data() + at, bytes) == 0;
        if (same != (r.word != moveChanged) || (r.word == moveSame) != (r.by == 0 && same))
            abort();
    }
    // Comments and lines that repeat the entry before go over as they were.
    for (size_t i = 0; i < items.size(); i++)
        if (!seen[i] && (items[i].size != now[i].size ||
                         memcmp(p.list.data() + items[i].start, m.list.data() + now[i].start,
                                items[i].size) != 0))
            abort();
    return 0;
}
