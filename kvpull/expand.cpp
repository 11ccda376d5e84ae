// Device pixels in dakbuf (top row first) to BMP rows in bmpbuf (bottom row first).
#include <cstring>

#include "kvpull.h"
#include "picture.h"
#include "pixel.h"

int32_t bpp = 24;

void convert24() {
    const uint32_t rowBytes = rowBytes24(width);
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t *in = dakbuf + size_t(y) * width * 2;
        uint8_t *out = bmpbuf + size_t(height - 1 - y) * rowBytes;
        for (uint32_t x = 0; x < width; x++, in += 2, out += 3) {
            uint32_t v = getPixel(in);
            out[0] = blueOf(v);
            out[1] = greenOf(v);
            out[2] = redOf(v);
        }
        // Zero fill keeps the output the same for the same input.
        memset(out, 0, rowBytes - 3 * width);
    }
}

void convert32() {
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t *in = dakbuf + size_t(y) * width * 2;
        uint8_t *out = bmpbuf + size_t(height - 1 - y) * width * 4;
        for (uint32_t x = 0; x < width; x++, in += 2, out += 4) {
            uint32_t v = getPixel(in);
            out[0] = blueOf(v);
            out[1] = greenOf(v);
            out[2] = redOf(v);
            out[3] = 0;
        }
    }
}

void expandPicture() {
    if (bpp == 32)
        convert32();
    else
        convert24();
}
