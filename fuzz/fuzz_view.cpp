// kvlist view over random firmware files and lists, the whole file and a
// range of it: the page is written whole and never larger than the bound it
// said it could take.
#include <cstdlib>
#include <string>
#include <vector>

#include "kvlistparts.h"
#include "view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const KvlistParts p = splitKvlistInput(data, size);
    std::string page;
    std::vector<std::string> refusals;
    uint64_t bound = 0;
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
    return 0;
}
