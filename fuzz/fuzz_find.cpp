// kvlist find over random firmware files: every candidate lies inside the
// file, within the limits a draft list promises, in offset order, none
// overlapping the one before.
#include <cstdlib>

#include "find.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint64_t end = 0; // of the candidate before
    for (const Candidate &c : findPictures(data, size)) {
        const uint64_t bytes = uint64_t(c.width) * c.height * 2;
        if (c.width < findMinWidth || c.width > findMaxWidth || c.height < findMinHeight ||
            c.height > findMaxHeight || uint64_t(c.width) * c.height > findMaxPixels ||
            c.offset > size || bytes > size - c.offset || c.note > noteSure || c.offset < end)
            abort();
        end = c.offset + bytes;
    }
    return 0;
}
