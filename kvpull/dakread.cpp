#include <cstdio>

#include "kvpull.h"
#include "picture.h"

bool readDakData(FILE *firmware) {
    if (!pictureFits(width, height)) {
        puts("picture too large.");
        return false;
    }
    if (fseek(firmware, long(address), SEEK_SET) != 0) {
        puts("input file seek failed.");
        return false;
    }
    size_t bytes = size_t(width) * height * 2;
    if (bytes == 0 || fread(dakbuf, 1, bytes, firmware) != bytes) {
        puts("input file read failed.");
        return false;
    }
    return true;
}
