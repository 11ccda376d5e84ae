// What extraction cannot avoid: read each picture's bytes at its offset,
// create a file of its BMP's size and write it. No conversion.
#include <cstdio>

#include "bmp.h"
#include "list.h"
#include "picture.h"

namespace {
int32_t depth = 24;
uint8_t file[bmpHeaderSize + bmpbufSize];

bool entry(FILE *firmware, const char *path) {
    const size_t bytes = size_t(width) * height * 2;
    if (!pictureFits(width, height) || fseek(firmware, long(address), SEEK_SET) != 0 ||
        fread(dakbuf, 1, bytes, firmware) != bytes)
        return true;
    FILE *out = fopen(path, "wb");
    if (!out)
        return true;
    fwrite(file, 1, bmpHeaderSize + bmpImageSize(uint32_t(depth), width, height), out);
    fclose(out);
    return true;
}
} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 1;
    if (argc > 3)
        sscanf(argv[3], "%d", &depth);
    FILE *firmware = fopen(argv[1], "rb");
    if (!firmware || runList(argv[2], firmware, entry) == listOpenFailed)
        return 1;
    fclose(firmware);
    return 0;
}
