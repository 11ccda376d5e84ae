// kvlist's verbs over random firmware files and lists: find, sheet, view, move
// and check never read outside their input, and keep what they promise.
#include <cstdlib>
#include <string>
#include <vector>

#include "check.h"
#include "find.h"
#include "move.h"
#include "sheet.h"
#include "view.h"

namespace {
// The input as three parts: a firmware file, a list, and a second firmware
// file; the first two bytes give the lengths of the first two parts (mod 4 KiB).
struct Parts {
    std::vector<uint8_t> first, list, second;
};

Parts split(const uint8_t *data, size_t size) {
    Parts p;
    if (size < 4)
        return p;
    size_t a = (size_t(data[0]) | size_t(data[1]) << 8) % 4096,
           b = (size_t(data[2]) | size_t(data[3]) << 8) % 1024;
    data += 4;
    size -= 4;
    a = a < size ? a : size;
    b = b < size - a ? b : size - a;
    p.first.assign(data, data + a);
    p.list.assign(data + a, data + a + b);
    p.second.assign(data + a + b, data + size);
    return p;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Parts p = split(data, size);
    uint64_t lastOffset = 0;
    for (const Candidate &c : findPictures(p.first.data(), p.first.size())) {
        const uint64_t bytes = uint64_t(c.width) * c.height * 2;
        if (c.width < findMinWidth || c.width > findMaxWidth || c.height < findMinHeight ||
            c.height > findMaxHeight || uint64_t(c.width) * c.height > findMaxPixels ||
            c.offset + bytes > p.first.size())
            abort();
        if (c.offset < lastOffset)
            abort();
        lastOffset = c.offset;
    }
    std::string page;
    std::vector<std::string> refusals;
    uint64_t bound = 0;
    const SheetFile list{"l.lst", &p.list};
    sheetPage({{"a.bin", &p.first}}, list, page, refusals, bound);
    sheetPage({{"a.bin", &p.first}, {"b.bin", &p.second}}, list, page, refusals, bound);
    // The view's page, whole and of a range, never larger than it said it could be.
    for (const bool ranged : {false, true}) {
        ViewFiles files = {
            "a.bin", &p.first, {0, 0}, ranged, uint32_t(p.list.size()) / 2, uint32_t(p.list.size()),
            "l.lst", &p.list};
        page.clear();
        const ViewSink keep = [&](const std::string &piece) {
            page += piece;
            return true;
        };
        if (viewRange(p.first.size(), ranged, files.first, files.last, files.range) ==
                viewRangeOk &&
            (writeViewPage(files, keep, refusals, bound) != viewWritten || page.size() > bound))
            abort();
    }
    const Moved moved = moveList(p.first.data(), p.first.size(), p.list.data(), p.list.size(),
                                 p.second.data(), p.second.size());
    unsigned total = 0;
    for (unsigned c : moved.counts)
        total += c;
    if (total != moved.entries.size())
        abort();
    // A file compared with itself differs nowhere.
    if (!checkEdit(p.first.data(), p.first.size(), p.first.data(), p.first.size(), p.list.data(),
                   p.list.size(), "a.bin", "a.bin")
             .onlyInPictures)
        abort();
    checkEdit(p.first.data(), p.first.size(), p.second.data(), p.second.size(), p.list.data(),
              p.list.size(), "a.bin", "b.bin");
    return 0;
}
