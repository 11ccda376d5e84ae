#include <cstdio>

#include "kvpull.h"
#include "os.h"
#include "picture.h"

bool readDakData(FILE *firmware) {
    if (!pictureFits(width, height)) {
        puts("picture too large.");
        return false;
    }
    if (!seekTo(firmware, address)) {
        puts("input file seek failed.");
        return false;
    }
    const size_t bytes = size_t(width) * height * 2;
    if (bytes == 0 || fread(dakbuf, 1, bytes, firmware) != bytes) {
        puts("input file read failed.");
        return false;
    }
    return true;
}
