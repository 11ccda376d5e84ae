// Device pixels in dakbuf (top row first) to BMP rows in bmpbuf (bottom row first).
// Width and height are copied to locals: byte stores into the buffers could
// otherwise alias them, and the loops would reload them at every pixel.
#include <cstring>

#include "kvpull.h"
#include "picture.h"
#include "pixel.h"

int32_t bpp = 24;

void convert24() {
    const uint32_t w = width, h = height, rowBytes = rowBytes24(w);
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = dakbuf + size_t(y) * w * 2;
        uint8_t *out = bmpbuf + size_t(h - 1 - y) * rowBytes;
        uint32_t x = 0;
        // Four pixels make twelve bytes, stored as three words.
        for (; x + 4 <= w; x += 4, in += 8, out += 12) {
            const uint32_t p0 = expandPixel(getPixel(in)), p1 = expandPixel(getPixel(in + 2));
            const uint32_t p2 = expandPixel(getPixel(in + 4)), p3 = expandPixel(getPixel(in + 6));
            putLe32(out, p0 | p1 << 24);
            putLe32(out + 4, p1 >> 8 | p2 << 16);
            putLe32(out + 8, p2 >> 16 | p3 << 8);
        }
        for (; x < w; x++, in += 2, out += 3) {
            const uint32_t p = expandPixel(getPixel(in));
            putLe16(out, p);
            out[2] = uint8_t(p >> 16);
        }
        // Zero fill keeps the output the same for the same input.
        memset(out, 0, rowBytes - 3 * w);
    }
}

void convert32() {
    const uint32_t w = width, h = height;
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = dakbuf + size_t(y) * w * 2;
        uint8_t *out = bmpbuf + size_t(h - 1 - y) * w * 4;
        for (size_t x = 0; x < w; x++)
            putLe32(out + 4 * x, expandPixel(getPixel(in + 2 * x)));
    }
}

void expandPicture() {
    if (bpp == 32)
        convert32();
    else
        convert24();
}
