#include "picture.h"

#include <cstdio>

uint32_t address = 0;
uint32_t width = maxWidth;
uint32_t height = maxHeight;
uint8_t dakbuf[dakbufSize];
uint8_t bmpbuf[bmpbufSize];

FILE *openBlockFile(const char *path, const char *mode) {
    FILE *file = fopen(path, mode);
    if (file)
        setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

void printAddressLine(const char *file) {
    printf("address:0x%08X, width:%d, height:%d, output:%s\n", address, int(width), int(height),
           file);
}

namespace {
void scanSize(const char *arg, uint32_t &value, uint32_t limit, const char *warning) {
    int v = int(value);
    sscanf(arg, "%d", &v);
    value = uint32_t(v);
    if (value > limit)
        puts(warning);
}
} // namespace

void scanPictureArgs(const char *offset, const char *w, const char *h) {
    sscanf(offset, "%x", &address);
    scanSize(w, width, maxWidth, "parameter error : width");
    scanSize(h, height, maxHeight, "parameter error : height");
}
