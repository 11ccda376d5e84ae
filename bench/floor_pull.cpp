// What extraction cannot avoid: read each picture's bytes at its offset,
// create a file of its BMP's size and write it. No conversion.
#include <cstdio>

#include "bmp.h"
#include "listfile.h"
#include "picture.h"

namespace {
int32_t depth = 24;
uint8_t file[bmpHeaderSize + bmpbufSize];

void entry(FILE *firmware, const char *path) {
    const size_t bytes = size_t(width) * height * 2;
    const size_t image =
        depth == 32 ? size_t(width) * height * 4 : size_t(rowBytes24(width)) * height;
    if (!pictureFits(width, height) || fseek(firmware, long(address), SEEK_SET) != 0 ||
        fread(dakbuf, 1, bytes, firmware) != bytes)
        return;
    FILE *out = fopen(path, "wb");
    if (!out)
        return;
    fwrite(file, 1, bmpHeaderSize + image, out);
    fclose(out);
}
} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 1;
    if (argc > 3)
        sscanf(argv[3], "%d", &depth);
    FILE *firmware = fopen(argv[1], "rb");
    if (!firmware || !runList(argv[2], firmware, entry))
        return 1;
    fclose(firmware);
    return 0;
}
