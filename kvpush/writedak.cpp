#include <cassert>
#include <cstdio>

#include "kvpush.h"
#include "os.h"
#include "picture.h"

bool isValidAddress(uint32_t offset) { return inKvpushWindow(offset); }

bool writeDakData(FILE *firmware) {
    assert(pictureFits(width, height));
    const uint64_t bytes = uint64_t(width) * height * 2;
    uint64_t end = 0;
    if (!fileLength(firmware, end)) {
        puts("firmware file seek failed.");
        return true;
    }
    if (address > end || bytes > end - address) {
        puts("picture runs past the end of the firmware file.");
        return true;
    }
    if (!seekTo(firmware, address)) {
        puts("firmware file seek failed.");
        return true;
    }
    if (fwrite(dakbuf, 1, size_t(bytes), firmware) != size_t(bytes) || fflush(firmware) != 0) {
        puts("firmware file write failed.");
        return false;
    }
    return true;
}
