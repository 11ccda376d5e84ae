#include "listfile.h"

#include <algorithm>
#include <cstring>

#include "device.h"

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
        item.repeats = item.kind == listEntry && repeatsEntryBefore(line);
        items.push_back(item);
        pos += item.size;
    }
    return items;
}

bool repeatsEntryBefore(const ListLineText &line) {
    return strspn(line.text, " \t\r") == size_t(line.length);
}

PictureState pictureState(uint32_t offset, uint32_t w, uint32_t h, size_t fileSize) {
    if (!pictureFits(w, h))
        return pictureTooLarge;
    const size_t bytes = size_t(w) * h * 2;
    if (bytes == 0)
        return pictureEmpty;
    if (offset > fileSize || bytes > fileSize - offset)
        return picturePastEnd;
    return pictureRead;
}

uint32_t kvpushPixelsAtMost(uint32_t w, uint32_t h, uint32_t room) {
    room = std::min(room, maxPixels);
    if (h <= room && w <= room / std::max<uint32_t>(h, 1))
        return w * h;
    uint32_t most = 0;
    for (uint32_t rows = 1; rows <= std::min(h, room); rows++)
        most = std::max(most, rows * std::min(w, room / rows));
    return most;
}
