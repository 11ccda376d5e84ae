#pragma once
// The input of a kvlist fuzz target as the files a verb reads: a firmware
// file, a list, and a second firmware file. The first four bytes give the
// lengths of the first two parts (mod 4 KiB and 1 KiB); the second file takes
// the rest.
#include <cstddef>
#include <cstdint>
#include <vector>

struct KvlistParts {
    std::vector<uint8_t> first, list, second;
};

inline KvlistParts splitKvlistInput(const uint8_t *data, size_t size) {
    KvlistParts p;
    if (size < 4)
        return p;
    size_t a = (size_t(data[0]) | size_t(data[1]) << 8) % 4096;
    size_t b = (size_t(data[2]) | size_t(data[3]) << 8) % 1024;
    data += 4;
    size -= 4;
    a = a < size ? a : size;
    b = b < size - a ? b : size - a;
    p.first.assign(data, data + a);
    p.list.assign(data + a, data + a + b);
    p.second.assign(data + a + b, data + size);
    return p;
}
