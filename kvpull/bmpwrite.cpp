#include <cstdio>
#include <cstring>

#include "bmp.h"
#include "kvpull.h"
#include "picture.h"

const char *firmwarePath = nullptr;

void writeBMP(const char *path) {
    // Opening for writing would empty the firmware file: a typo must not cost it.
    if (firmwarePath && strcmp(path, firmwarePath) == 0) {
        puts("output file is the firmware file.");
        return;
    }
    fillBmpHeader(uint32_t(bpp));
    uint8_t header[bmpHeaderSize];
    storeBmpHeader(bmpFileHeader, bmpInfoHeader, header);
    FILE *out = openBlockFile(path, "wb");
    if (!out) {
        puts("output file open failed.");
        return;
    }
    const size_t imageSize = bmpInfoHeader.biSizeImage;
    bool ok = fwrite(header, 1, sizeof header, out) == sizeof header;
    ok = fwrite(bmpbuf, 1, imageSize, out) == imageSize && ok;
    ok = fclose(out) == 0 && ok;
    if (!ok)
        puts("output file write failed.");
}
