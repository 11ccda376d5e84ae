// What insertion cannot avoid: read each BMP file and write the picture's
// bytes at its offset. No checks, no packing.
#include <cstdio>

#include "bmp.h"
#include "list.h"
#include "picture.h"

namespace {
uint8_t file[bmpHeaderSize + bmpbufSize];

bool entry(FILE *firmware, const char *path) {
    FILE *in = fopen(path, "rb");
    if (!in)
        return true;
    fread(file, 1, sizeof file, in);
    fclose(in);
    fseek(firmware, long(address), SEEK_SET);
    fwrite(dakbuf, 1, size_t(width) * height * 2, firmware);
    fflush(firmware);
    return true;
}
} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 1;
    FILE *firmware = fopen(argv[1], "rb+");
    if (!firmware || runList(argv[2], firmware, entry) == listOpenFailed)
        return 1;
    fclose(firmware);
    return 0;
}
