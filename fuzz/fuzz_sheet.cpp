// kvlist sheet over random firmware files and lists, one file and two side
// by side: the page is never larger than the bound it was reserved for, has
// one element per entry and refused line, one refusal per refused line, and
// no markup from the list gets into it.
#include <cstdlib>
#include <cstring>

#include "kvlistparts.h"
#include "listfile.h"
#include "sheet.h"

namespace {
size_t count(const std::string &text, const char *what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const KvlistParts p = splitKvlistInput(data, size);
    size_t shown = 0, refused = 0;
    for (const ListItem &it : scanList(p.list.data(), p.list.size())) {
        shown += it.kind != listComment;
        refused += listRefusal(it.kind) != nullptr;
    }
    const SheetFile list{"l.lst", &p.list};
    for (const bool two : {false, true}) {
        std::vector<SheetFile> firmware = {{"a.bin", &p.first}};
        if (two)
            firmware.push_back({"b.bin", &p.second});
        std::string page;
        std::vector<std::string> refusals;
        uint64_t bound = 0;
        if (!sheetPage(firmware, list, page, refusals, bound) || page.size() > bound ||
            refusals.size() != refused || count(page, " id=\"line-") != shown ||
            count(page, "<script") != 0 || count(page, "<") != count(page, ">"))
            abort();
    }
    return 0;
}
