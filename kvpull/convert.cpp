// Device pixels in dakbuf (top row first) to BMP rows in bmpbuf (bottom row first).
// Width and height are passed as values: byte stores into the buffers could
// otherwise alias them, and the loops would reload them at every pixel.
#include <cassert>
#include <cstring>

#include "bmp.h"
#include "kvpull.h"
#include "picture.h"
#include "pixel.h"

int32_t bpp = 24;

namespace {

PIXEL_LOOP void expand24(uint32_t w, uint32_t h) {
    const uint32_t rowBytes = bmpRowBytes(24, w);
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = dakbuf + size_t(y) * w * 2;
        uint8_t *out = bmpbuf + size_t(h - 1 - y) * rowBytes;
        for (size_t x = 0; x < w; x++) {
            const uint32_t p = expandPixel(getPixel(in + 2 * x));
            out[3 * x] = uint8_t(p);
            out[3 * x + 1] = uint8_t(p >> 8);
            out[3 * x + 2] = uint8_t(p >> 16);
        }
        // Zero fill keeps the output the same for the same input.
        memset(out + 3 * w, 0, rowBytes - 3 * w);
    }
}

PIXEL_LOOP void expand32(uint32_t w, uint32_t h) {
    const uint32_t rowBytes = bmpRowBytes(32, w);
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = dakbuf + size_t(y) * w * 2;
        uint8_t *out = bmpbuf + size_t(h - 1 - y) * rowBytes;
        for (size_t x = 0; x < w; x++)
            putLe32(out + 4 * x, expandPixel(getPixel(in + 2 * x)));
    }
}

} // namespace

void convert24() {
    assert(pictureFits(width, height));
    expand24(width, height);
}

void convert32() {
    assert(pictureFits(width, height));
    expand32(width, height);
}

void expandPicture() {
    if (bpp == 32)
        convert32();
    else
        convert24();
}
