#include <cstdio>

#include "kvpush.h"
#include "picture.h"

void writeDakData(FILE *firmware) {
    if (!pictureFits(width, height)) {
        puts("picture too large.");
        return;
    }
    const long bytes = long(width) * long(height) * 2;
    if (fseek(firmware, 0, SEEK_END) != 0) {
        puts("firmware file seek failed.");
        return;
    }
    const long end = ftell(firmware);
    if (end < 0 || long(address) > end || bytes > end - long(address)) {
        puts("picture runs past the end of the firmware file.");
        return;
    }
    if (fseek(firmware, long(address), SEEK_SET) != 0) {
        puts("firmware file seek failed.");
        return;
    }
    if (fwrite(dakbuf, 1, size_t(bytes), firmware) != size_t(bytes) || fflush(firmware) != 0)
        puts("firmware file write failed.");
}
