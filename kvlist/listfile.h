#pragma once
// A list file held in memory, line by line, as kvpull reads it, and what
// kvpull makes of each entry.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "list.h"

struct ListItem {
    size_t start, size; // the line's bytes in the file, its line end included
    unsigned number;    // counted from 1
    ListLine kind;
    ListEntry entry; // for listEntry, the fields kvpull takes: its name is entry.name
    bool repeats;    // an entry line of blanks only: the entry before it once more
};

// Every line of the list, in file order, scanned as kvpull scans it (starting
// from offset 0, 128 x 160 and no name).
std::vector<ListItem> scanList(const uint8_t *data, size_t size);

// Whether a line holds nothing but blanks, so that it repeats the entry
// before it whole: the same picture at the same place again.
bool repeatsEntryBefore(const ListLineText &line);

// What kvpull makes of an entry, tested in its order.
enum PictureState { pictureRead, pictureTooLarge, pictureEmpty, picturePastEnd };
PictureState pictureState(uint32_t offset, uint32_t w, uint32_t h, size_t fileSize);

// The most pixels kvpush writes for a w x h entry where room pixels are left
// before the end of the file: its BMP's own size, within the device's limits
// and no wider or taller than the entry, however large the entry is.
uint32_t kvpushPixelsAtMost(uint32_t w, uint32_t h, uint32_t room);
