#include "listfile.h"

std::vector<ListItem> scanList(const uint8_t *data, size_t size) {
    std::vector<ListItem> items;
    ListScan scan = {{0, 128, 160, ""}, false};
    ListLineText line;
    size_t pos = listBomSize(data, size);
    while (pos < size) {
        ListItem item;
        item.start = pos;
        item.size = takeListLine(reinterpret_cast<const char *>(data) + pos, size - pos, line);
        item.number = unsigned(items.size() + 1);
        item.kind = scanListLine(line, scan);
        item.entry = scan.entry;
        items.push_back(item);
        pos += item.size;
    }
    return items;
}
