#pragma once
// A list file held in memory, line by line, as kvpull reads it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "list.h"

struct ListItem {
    size_t start, size; // the line's bytes in the file, its line end included
    unsigned number;    // counted from 1
    ListLine kind;
    ListEntry entry; // for listEntry, the fields kvpull takes: its name is entry.name
};

// Every line of the list, in file order, scanned as kvpull scans it (starting
// from offset 0, 128 x 160 and no name).
std::vector<ListItem> scanList(const uint8_t *data, size_t size);
